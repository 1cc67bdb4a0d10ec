// tsched.exe: the queue scheduler. The stand-in shows no window and never
// stays resident: it carries out one switch and exits.
//
//   -install           run at logon: HKCU\...\Run "Vantro Queue Scheduler" =
//                      "<own path>" -start; StartAtLogon "1"
//   -install_no_start  installed without the start at logon: the Run value is
//                      deleted; StartAtLogon "0"
//   -remove            the Run value is deleted; Installed "0"
//   -stop, -start, no switch   nothing to change (nothing resident to stop or start)
//
// Every run records what it was told under its own key
// HKEY_CURRENT_USER\Software\Brenmoor\Vantro\Scheduler:
//   LastCommand  the switch ("" for none)       LastResult  "ok" or "failed"
//   History      the switches of every run, oldest first, separated by spaces
//                (the oldest are dropped beyond 900 characters)
//   Installed, StartAtLogon, Path (its own path), as the switches set them.
// Exit code: 0 done, 1 failed (registry or failure marker "tsched.fail"),
// 2 unknown switch (nothing changed except the record).
//
// The installer starts "-install" and "-install_no_start" one after the other
// with WinExec, which returns once the started program first waits for input.
// So the work is done before the message queue is first looked at, and a named
// mutex keeps two runs from interleaving: the switches take effect in order.
#include "standin.h"

static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kRunValue[] = "Vantro Queue Scheduler";
static const char kOwnKey[] = "Software\\Brenmoor\\Vantro\\Scheduler";
static const char kMutexName[] = "Brenmoor.Vantro.Scheduler.Setup";
static const int kHistoryLimit = 900;

// Returns 1 when the Run value is gone (deleted or never there); 0 otherwise.
static int DeleteRunValue(void) {
  HKEY h;
  LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &h);
  if (rc == ERROR_FILE_NOT_FOUND) return 1;
  if (rc != ERROR_SUCCESS) return 0;
  rc = RegDeleteValueA(h, kRunValue);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// Returns 1 when `word` was appended to History (older entries dropped to stay
// within the limit); 0 when the registry refuses.
static int AppendHistory(const char* word) {
  char history[1024] = "";
  HKEY h;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kOwnKey, 0, KEY_QUERY_VALUE, &h) == ERROR_SUCCESS) {
    DWORD type = 0, size = sizeof history - 1;
    if (RegQueryValueExA(h, "History", 0, &type, reinterpret_cast<BYTE*>(history), &size) !=
            ERROR_SUCCESS || type != REG_SZ)
      history[0] = '\0';
    history[sizeof history - 1] = '\0';
    RegCloseKey(h);
  }
  const char* entry = *word ? word : "(none)";
  int need = lstrlenA(entry) + 1;
  char* keep = history;
  while (lstrlenA(keep) + need > kHistoryLimit && *keep) {  // drop the oldest entries
    while (*keep && *keep != ' ') ++keep;
    while (*keep == ' ') ++keep;
  }
  char updated[1024];
  lstrcpyA(updated, keep);
  if (*updated) lstrcatA(updated, " ");
  lstrcatA(updated, entry);
  return StandInSetString(HKEY_CURRENT_USER, kOwnKey, "History", updated);
}

// Returns 1 when the switch `command` was carried out; 0 on failure; 2 when unknown.
static int Carry(const char* command, const char* ownPath) {
  if (lstrcmpiA(command, "-install") == 0) {
    char run[STANDIN_MAX_PATH + 16];
    if (lstrlenA(ownPath) + 10 >= static_cast<int>(sizeof run)) return 0;
    wsprintfA(run, "\"%s\" -start", ownPath);
    return StandInSetString(HKEY_CURRENT_USER, kRunKey, kRunValue, run) &&
           StandInSetString(HKEY_CURRENT_USER, kOwnKey, "Installed", "1") &&
           StandInSetString(HKEY_CURRENT_USER, kOwnKey, "StartAtLogon", "1") &&
           StandInSetString(HKEY_CURRENT_USER, kOwnKey, "Path", ownPath);
  }
  if (lstrcmpiA(command, "-install_no_start") == 0)
    return DeleteRunValue() && StandInSetString(HKEY_CURRENT_USER, kOwnKey, "Installed", "1") &&
           StandInSetString(HKEY_CURRENT_USER, kOwnKey, "StartAtLogon", "0") &&
           StandInSetString(HKEY_CURRENT_USER, kOwnKey, "Path", ownPath);
  if (lstrcmpiA(command, "-remove") == 0)
    return DeleteRunValue() && StandInSetString(HKEY_CURRENT_USER, kOwnKey, "Installed", "0");
  if (lstrcmpiA(command, "-stop") == 0 || lstrcmpiA(command, "-start") == 0 || !*command)
    return 1;
  return 2;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  // The first word of the command line is the switch.
  char command[64] = "";
  const char* p = commandLine ? commandLine : "";
  while (*p == ' ' || *p == '\t') ++p;
  int n = 0;
  while (p[n] && p[n] != ' ' && p[n] != '\t') ++n;
  if (n >= static_cast<int>(sizeof command)) n = sizeof command - 1;  // an unknown switch anyway
  lstrcpynA(command, p, n + 1);

  HANDLE mutex = CreateMutexA(0, FALSE, kMutexName);
  // A run that cannot get the mutex within 10 s goes ahead alone.
  DWORD waited = mutex ? WaitForSingleObject(mutex, 10000) : WAIT_FAILED;

  char ownPath[STANDIN_MAX_PATH];
  int result;
  if (!StandInModulePath(instance, ownPath, sizeof ownPath))
    result = 0;
  else if (StandInShouldFail(instance, *command ? command : "(none)", 1))
    result = 0;
  else
    result = Carry(command, ownPath);

  // The record: a failure to write it turns a success into a failure.
  int recorded = StandInSetString(HKEY_CURRENT_USER, kOwnKey, "LastCommand", command) &&
                 StandInSetString(HKEY_CURRENT_USER, kOwnKey, "LastResult",
                                  result == 1 ? "ok" : "failed") &&
                 AppendHistory(command);
  if (result == 1 && !recorded) result = 0;

  if (mutex) {
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  // Only now look at the message queue: this is when WinExec in the starting
  // program returns, so the work above is complete by then.
  MSG msg;
  PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE);
  return result == 1 ? 0 : (result == 2 ? 2 : 1);
}
