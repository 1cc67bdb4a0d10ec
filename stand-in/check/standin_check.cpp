// standin_check.exe: runs the stand-in product's contracts on a Windows (or
// Wine) machine. It must sit in a writable copy of the built files/ folder: it
// plants failure markers beside the libraries and removes them again.
//   standin_check.exe        prints one line per case, exit code = failures
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

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

// Runs tsched.exe with `switches` to its end; returns its exit code (or -1).
DWORD RunScheduler(const char* switches) {
  std::string line = "\"" + Path("tsched.exe") + "\" " + switches;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(0, &line[0], 0, 0, FALSE, 0, 0, g_folder.c_str(), &si, &pi)) return DWORD(-1);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = DWORD(-1);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
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
  // The second must win, because WinExec returns only once the first is done.
  // Both orders, a few times over, so that a lucky interleaving is not taken
  // for the rule.
  struct PairRow { const char* first; const char* second; bool runValue; };
  const PairRow kPairs[] = {{"-install", "-install_no_start", false},
                            {"-install_no_start", "-install", true}};
  for (int round = 0; round < 3; ++round)
    for (const PairRow& pair : kPairs) {
      std::string label = std::string("WinExec ") + pair.first + " then " + pair.second;
      std::string first = "\"" + Path("tsched.exe") + "\" " + pair.first;
      std::string second = "\"" + Path("tsched.exe") + "\" " + pair.second;
      RunScheduler("-stop");  // a known LastCommand to wait against
      UINT a = WinExec(first.c_str(), SW_SHOWNORMAL);
      UINT b = WinExec(second.c_str(), SW_SHOWNORMAL);
      Check((label + ": both start").c_str(), a > 31 && b > 31);
      // Wait (bounded, a safeguard only) until both runs have recorded themselves.
      const std::string tail = std::string(pair.first) + " " + pair.second;
      std::string history;
      for (int i = 0; i < 200; ++i) {
        history = ReadValue(HKEY_CURRENT_USER, kOwnKey, "History");
        if (history.size() >= tail.size() &&
            history.compare(history.size() - tail.size(), tail.size(), tail) == 0)
          break;
        Sleep(50);
      }
      Check((label + ": applied in order").c_str(),
            history.size() >= tail.size() &&
                history.compare(history.size() - tail.size(), tail.size(), tail) == 0,
            history.substr(history.size() > 60 ? history.size() - 60 : 0));
      std::string run = ReadValue(HKEY_CURRENT_USER, kRunKey, "Vantro Queue Scheduler");
      Check((label + ": Run value").c_str(), (run != "<missing>") == pair.runValue, run);
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
