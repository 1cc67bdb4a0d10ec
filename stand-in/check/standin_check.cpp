// standin_check.exe: runs the stand-in product's contracts on a Windows (or
// Wine) machine. It must sit in a writable copy of the built files/ folder: it
// plants failure markers beside the libraries and removes them again.
//   standin_check.exe        prints one line per case, exit code = failures
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef HRESULT(WINAPI* PlainEntry)(void);
typedef int(WINAPI* RegisterSslEntry)(char*, const char*, int);

std::string g_folder;
int g_failures = 0;

void Check(const char* name, bool ok, const std::string& detail = "") {
  std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", name, detail.empty() ? "" : ": ",
              detail.c_str());
  if (!ok) ++g_failures;
}

std::string Path(const char* name) { return g_folder + "\\" + name; }

// Returns the text of a REG_SZ value, or "<missing>".
std::string ReadValue(HKEY root, const std::string& key, const char* name) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
    return "<missing>";
  char buf[1024];
  DWORD type = 0, size = sizeof buf - 1;
  LONG rc = RegQueryValueExA(h, name, 0, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return "<missing>";
  buf[size] = '\0';
  return buf;
}

bool KeyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

void WriteMarker(const char* base, const char* text) {
  std::string path = Path(base) + ".fail";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    std::fputs(text, f);
    std::fclose(f);
  }
}

void RemoveMarker(const char* base) { DeleteFileA((Path(base) + ".fail").c_str()); }

HRESULT CallPlain(HMODULE lib, const char* entry) {
  PlainEntry fn = reinterpret_cast<PlainEntry>(reinterpret_cast<void*>(GetProcAddress(lib, entry)));
  return fn ? fn() : E_NOTIMPL;
}

struct ClassServerRow {
  const char* file;
  const char* base;
  const char* classId;
};
const ClassServerRow kServers[] = {
  {"tstub.dll", "tstub", "{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A301}"},
  {"shellext.dll", "shellext", "{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A302}"},
  {"vnbho2k0.dll", "vnbho2k0", "{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A303}"},
};

void CheckClassServer(const ClassServerRow& row) {
  std::string server = std::string("CLSID\\") + row.classId + "\\InprocServer32";
  std::string label = row.file;
  HMODULE lib = LoadLibraryA(Path(row.file).c_str());
  Check((label + " loads").c_str(), lib != 0);
  if (!lib) return;
  HRESULT hr = CallPlain(lib, "DllRegisterServer");
  Check((label + " DllRegisterServer succeeds").c_str(), SUCCEEDED(hr));
  std::string value = ReadValue(HKEY_CLASSES_ROOT, server, 0);
  Check((label + " InprocServer32 is its own path").c_str(),
        lstrcmpiA(value.c_str(), Path(row.file).c_str()) == 0, value);
  Check((label + " ThreadingModel").c_str(),
        ReadValue(HKEY_CLASSES_ROOT, server, "ThreadingModel") == "Apartment");
  hr = CallPlain(lib, "DllUnregisterServer");
  Check((label + " DllUnregisterServer succeeds").c_str(), SUCCEEDED(hr));
  Check((label + " class key removed").c_str(),
        !KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + row.classId));

  WriteMarker(row.base, "");
  hr = CallPlain(lib, "DllRegisterServer");
  Check((label + " empty marker: registration fails").c_str(), FAILED(hr));
  Check((label + " empty marker: nothing written").c_str(), !KeyExists(HKEY_CLASSES_ROOT, server));
  WriteMarker(row.base, "DllUnregisterServer\r\n");
  hr = CallPlain(lib, "DllRegisterServer");
  Check((label + " named marker: other entry still works").c_str(), SUCCEEDED(hr));
  hr = CallPlain(lib, "DllUnregisterServer");
  Check((label + " named marker: named entry fails").c_str(), FAILED(hr));
  Check((label + " named marker: class kept").c_str(), KeyExists(HKEY_CLASSES_ROOT, server));
  RemoveMarker(row.base);
  CallPlain(lib, "DllUnregisterServer");
  FreeLibrary(lib);

  WriteMarker(row.base, "load\n");
  HMODULE refused = LoadLibraryA(Path(row.file).c_str());
  Check((label + " marker \"load\": does not load").c_str(), refused == 0);
  if (refused) FreeLibrary(refused);
  RemoveMarker(row.base);
}

void CheckBrowserKeys() {
  HMODULE lib = LoadLibraryA(Path("vnbho2k0.dll").c_str());
  if (!lib) {
    Check("vnbho2k0.dll loads for the browser keys", false);
    return;
  }
  const std::string netscape = "SOFTWARE\\Brenmoor\\Vantro\\Browser\\Netscape";
  const std::string explorer = "SOFTWARE\\Brenmoor\\Vantro\\Browser\\Explorer";
  Check("DllRegisterServer before the browser keys", SUCCEEDED(CallPlain(lib, "DllRegisterServer")));
  Check("AddNetscapeBhoKey succeeds", SUCCEEDED(CallPlain(lib, "AddNetscapeBhoKey")));
  Check("AddExplorerBhoKey succeeds", SUCCEEDED(CallPlain(lib, "AddExplorerBhoKey")));
  Check("Netscape key names the library",
        lstrcmpiA(ReadValue(HKEY_LOCAL_MACHINE, netscape, "Plugin").c_str(),
                  Path("vnbho2k0.dll").c_str()) == 0);
  Check("Explorer key names the class",
        ReadValue(HKEY_LOCAL_MACHINE, explorer, "CLSID") == kServers[2].classId);
  Check("DllUnregisterServer after the browser keys",
        SUCCEEDED(CallPlain(lib, "DllUnregisterServer")));
  Check("browser keys removed", !KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brenmoor\\Vantro\\Browser"));
  FreeLibrary(lib);
}

void CheckSsl() {
  const char* kKey = "SOFTWARE\\Brenmoor\\Vantro\\SSL";
  HMODULE lib = LoadLibraryA(Path("secsvc.dll").c_str());
  Check("secsvc.dll loads", lib != 0);
  if (!lib) return;
  // Through void*: FARPROC and the entry's real type are unrelated function types.
  RegisterSslEntry fn =
      reinterpret_cast<RegisterSslEntry>(reinterpret_cast<void*>(GetProcAddress(lib, "DLLRegisterSSL")));
  Check("secsvc.dll exports DLLRegisterSSL", fn != 0);
  if (fn) {
    char key[64];
    lstrcpyA(key, kKey);
    Check("DLLRegisterSSL returns non-zero", fn(key, g_folder.c_str(), 0) != 0);
    Check("DLLRegisterSSL wrote the folder", ReadValue(HKEY_LOCAL_MACHINE, kKey, "Folder") == g_folder);
    Check("DLLRegisterSSL wrote the certificate path",
          ReadValue(HKEY_LOCAL_MACHINE, kKey, "CertFile") == Path("peer.crt"));
    Check("DLLRegisterSSL left its key path as it was", lstrcmpA(key, kKey) == 0);
    WriteMarker("secsvc", "DLLRegisterSSL");
    lstrcpyA(key, "SOFTWARE\\Brenmoor\\Vantro\\SSLFail");
    Check("marker: DLLRegisterSSL returns 0", fn(key, g_folder.c_str(), 0) == 0);
    Check("marker: nothing written", !KeyExists(HKEY_LOCAL_MACHINE, key));
    RemoveMarker("secsvc");
    Check("empty folder: DLLRegisterSSL returns 0", fn(key, "", 0) == 0);
  }
  FreeLibrary(lib);
}

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kOwnKey[] = "Software\\Brenmoor\\Vantro\\Scheduler";

// Runs tsched.exe with `switches` to its end (bounded); returns its exit code
// (or -1 when it did not start or end in time).
DWORD RunScheduler(const char* switches) {
  std::string line = "\"" + Path("tsched.exe") + "\" " + switches;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(0, &line[0], 0, 0, FALSE, 0, 0, g_folder.c_str(), &si, &pi)) return DWORD(-1);
  DWORD code = DWORD(-1);
  if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  else
    TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

// The end of a long History, enough to show the last few runs.
std::string Tail(const std::string& history) {
  return history.size() > 60 ? "..." + history.substr(history.size() - 60) : history;
}

// The History entries after the last "-stop" (the marker each pair case
// starts from).
std::vector<std::string> RunsSinceStop(const std::string& history) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < history.size()) {
    size_t space = history.find(' ', at);
    if (space == std::string::npos) space = history.size();
    std::string word = history.substr(at, space - at);
    if (word == "-stop")
      words.clear();
    else if (!word.empty())
      words.push_back(word);
    at = space + 1;
  }
  return words;
}

// Waits until `count` runs have recorded themselves in History since the last
// "-stop" (bounded: a slow machine takes seconds to start a program). Returns
// true when they did; `history` is the last History seen.
bool WaitForRuns(size_t count, std::string* history) {
  DWORD limit = GetTickCount() + 120000;
  for (;;) {
    *history = ReadValue(HKEY_CURRENT_USER, kOwnKey, "History");
    if (RunsSinceStop(*history).size() >= count) return true;
    if (static_cast<LONG>(GetTickCount() - limit) >= 0) return false;
    Sleep(50);
  }
}

// The end state after two scheduler runs: the one started second took effect.
void CheckPairOutcome(const std::string& label, const char* first, const char* second, bool runValue,
                      const char* atLogon, const std::string& history) {
  std::vector<std::string> runs = RunsSinceStop(history);
  Check((label + ": recorded in the order started").c_str(),
        runs.size() == 2 && runs[0] == first && runs[1] == second,
        Tail(history));
  Check((label + ": LastCommand is the second").c_str(),
        ReadValue(HKEY_CURRENT_USER, kOwnKey, "LastCommand") == second);
  Check((label + ": LastResult").c_str(), ReadValue(HKEY_CURRENT_USER, kOwnKey, "LastResult") == "ok");
  Check((label + ": StartAtLogon").c_str(),
        ReadValue(HKEY_CURRENT_USER, kOwnKey, "StartAtLogon") == atLogon);
  std::string run = ReadValue(HKEY_CURRENT_USER, kRunKey, "Vantro Queue Scheduler");
  Check((label + ": Run value").c_str(), (run != "<missing>") == runValue, run);
}

// Creates a tsched.exe process with `switches`, suspended before its first
// instruction, so that its start time is fixed now and its work comes later.
bool StartSuspended(const char* switches, PROCESS_INFORMATION* pi) {
  std::string line = "\"" + Path("tsched.exe") + "\" " + switches;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  return CreateProcessA(0, &line[0], 0, 0, FALSE, CREATE_SUSPENDED, 0, g_folder.c_str(), &si, pi) != 0;
}

// Lets a suspended process run and waits (bounded) for its end; returns its
// exit code, or -1 when it did not end in time.
DWORD FinishProcess(PROCESS_INFORMATION* pi) {
  ResumeThread(pi->hThread);
  DWORD code = DWORD(-1);
  if (WaitForSingleObject(pi->hProcess, 120000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi->hProcess, &code);
  else
    TerminateProcess(pi->hProcess, 1);
  CloseHandle(pi->hThread);
  CloseHandle(pi->hProcess);
  return code;
}

struct SchedulerRow {
  const char* name;
  const char* switches;
  const char* marker;  // 0: no failure marker
  DWORD exitCode;
  bool runValue;       // the Run value exists afterwards
  const char* last;    // LastCommand afterwards
  const char* result;  // LastResult afterwards
};
const SchedulerRow kScheduler[] = {
  {"install", "-install", 0, 0, true, "-install", "ok"},
  {"stop leaves the Run value", "-stop", 0, 0, true, "-stop", "ok"},
  {"install without start", "-install_no_start", 0, 0, false, "-install_no_start", "ok"},
  {"install again", "-install", 0, 0, true, "-install", "ok"},
  {"remove", "-remove", 0, 0, false, "-remove", "ok"},
  {"unknown switch", "-bogus", 0, 2, false, "-bogus", "failed"},
  {"marker fails install", "-install", "-install", 1, false, "-install", "failed"},
  {"marker for another switch", "-install", "-remove", 0, true, "-install", "ok"},
  {"empty marker fails remove", "-remove", "", 1, true, "-remove", "failed"},
  {"remove at last", "-remove", 0, 0, false, "-remove", "ok"},
};

void CheckScheduler() {
  for (const SchedulerRow& row : kScheduler) {
    if (row.marker) WriteMarker("tsched", row.marker);
    DWORD code = RunScheduler(row.switches);
    RemoveMarker("tsched");
    std::string label = std::string("tsched ") + row.name;
    Check((label + ": exit code").c_str(), code == row.exitCode, std::to_string(code));
    std::string run = ReadValue(HKEY_CURRENT_USER, kRunKey, "Vantro Queue Scheduler");
    Check((label + ": Run value").c_str(), (run != "<missing>") == row.runValue, run);
    if (row.runValue)
      Check((label + ": Run command").c_str(), run == "\"" + Path("tsched.exe") + "\" -start", run);
    Check((label + ": LastCommand").c_str(),
          ReadValue(HKEY_CURRENT_USER, kOwnKey, "LastCommand") == row.last);
    Check((label + ": LastResult").c_str(),
          ReadValue(HKEY_CURRENT_USER, kOwnKey, "LastResult") == row.result);
  }

  // The installer's own way: two WinExec calls, one right after the other.
  // WinExec may return before the first run is done, so the two may race; the
  // one started second must still win. Both orders, a few times over, so that
  // a lucky interleaving is not taken for the rule.
  struct PairRow { const char* first; const char* second; bool runValue; const char* atLogon; };
  const PairRow kPairs[] = {{"-install", "-install_no_start", false, "0"},
                            {"-install_no_start", "-install", true, "1"}};
  for (int round = 0; round < 3; ++round)
    for (const PairRow& pair : kPairs) {
      std::string label = std::string("WinExec ") + pair.first + " then " + pair.second;
      std::string first = "\"" + Path("tsched.exe") + "\" " + pair.first;
      std::string second = "\"" + Path("tsched.exe") + "\" " + pair.second;
      RunScheduler("-stop");  // a known History entry to count from
      UINT a = WinExec(first.c_str(), SW_SHOWNORMAL);
      UINT b = WinExec(second.c_str(), SW_SHOWNORMAL);
      Check((label + ": both start").c_str(), a > 31 && b > 31);
      std::string history;
      Check((label + ": both runs recorded").c_str(), WaitForRuns(2, &history), Tail(history));
      CheckPairOutcome(label, pair.first, pair.second, pair.runValue, pair.atLogon, history);
    }

  // The race made certain: both processes exist, the one started second runs
  // to its end first, and only then does the first one run. It has been
  // overtaken and must change nothing.
  for (const PairRow& pair : kPairs) {
    std::string label = std::string("started ") + pair.first + " then " + pair.second + ", run the other way";
    RunScheduler("-stop");
    PROCESS_INFORMATION early, late;
    bool started = StartSuspended(pair.first, &early);
    if (started && !StartSuspended(pair.second, &late)) {
      TerminateProcess(early.hProcess, 1);
      CloseHandle(early.hThread);
      CloseHandle(early.hProcess);
      started = false;
    }
    Check((label + ": both start").c_str(), started);
    if (!started) continue;
    DWORD lateCode = FinishProcess(&late);
    DWORD earlyCode = FinishProcess(&early);
    Check((label + ": exit codes").c_str(), lateCode == 0 && earlyCode == 0,
          std::to_string(lateCode) + " " + std::to_string(earlyCode));
    std::string history;
    Check((label + ": both runs recorded").c_str(), WaitForRuns(2, &history), Tail(history));
    CheckPairOutcome(label, pair.first, pair.second, pair.runValue, pair.atLogon, history);
  }
  RunScheduler("-remove");
}

}  // namespace

int main() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(0, self, sizeof self);
  if (n == 0 || n >= sizeof self) return 100;
  g_folder.assign(self, n);
  g_folder.erase(g_folder.find_last_of('\\'));

  for (const ClassServerRow& row : kServers) CheckClassServer(row);
  CheckBrowserKeys();
  CheckSsl();
  CheckScheduler();
  std::printf("%d failure(s)\n", g_failures);
  return g_failures;
}
