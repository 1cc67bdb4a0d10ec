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
//   LastStarted  when the run that carried out LastCommand was started (the
//                process's creation time, 16 hex digits of a FILETIME)
//   Installed, StartAtLogon, Path (its own path), as the switches set them.
// Exit code: 0 done (or overtaken, below), 1 failed (registry or failure
// marker "tsched.fail"), 2 unknown switch (nothing changed except the record).
//
// The installer starts "-install" and "-install_no_start" one after the other
// with WinExec. WinExec does not always wait for the first program before it
// starts the second, so two runs may be under way at once, and the one started
// second may even get to work first. The switches must still take effect in
// the order the runs were started: under a named mutex each run compares its
// own start with LastStarted. A run started before the one that last took
// effect has been overtaken: it changes nothing, leaves LastCommand and
// LastResult alone, and only puts its switch into History in front of the
// entry of the run that overtook it.
#include "standin.h"

static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kRunValue[] = "Vantro Queue Scheduler";
static const char kOwnKey[] = "Software\\Brenmoor\\Vantro\\Scheduler";
static const char kMutexName[] = "Brenmoor.Vantro.Scheduler.Setup";
static const int kHistoryLimit = 900;
// Long enough for a run held up behind another one on a slow machine.
static const DWORD kMutexWait = 60000;

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

// Reads the REG_SZ value `name` of the own key into `out` ("" when missing).
static void ReadOwnValue(const char* name, char* out, DWORD size) {
  out[0] = '\0';
  HKEY h;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kOwnKey, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return;
  DWORD type = 0, got = size - 1;
  if (RegQueryValueExA(h, name, 0, &type, reinterpret_cast<BYTE*>(out), &got) != ERROR_SUCCESS ||
      type != REG_SZ)
    got = 0;
  out[got < size ? got : size - 1] = '\0';
  RegCloseKey(h);
}

// Returns 1 when `word` was added to History: at its end, or, for a run that
// was overtaken, in front of the last entry (the run that overtook it). Older
// entries are dropped to stay within the limit. 0 when the registry refuses.
static int AddHistory(const char* word, int overtaken) {
  char history[1024];
  ReadOwnValue("History", history, sizeof history);
  const char* entry = *word ? word : "(none)";
  int need = lstrlenA(entry) + 1;
  char* keep = history;
  while (lstrlenA(keep) + need > kHistoryLimit && *keep) {  // drop the oldest entries
    while (*keep && *keep != ' ') ++keep;
    while (*keep == ' ') ++keep;
  }
  char last[1024] = "";
  if (overtaken) {  // take the last entry off, to put it back after this one
    char* space = 0;
    for (char* p = keep; *p; ++p)
      if (*p == ' ') space = p;
    lstrcpyA(last, space ? space + 1 : keep);
    if (space)
      *space = '\0';
    else
      *keep = '\0';
  }
  char updated[1024];
  lstrcpyA(updated, keep);
  if (*updated) lstrcatA(updated, " ");
  lstrcatA(updated, entry);
  if (*last) {
    lstrcatA(updated, " ");
    lstrcatA(updated, last);
  }
  return StandInSetString(HKEY_CURRENT_USER, kOwnKey, "History", updated);
}

// The start of this process as the system recorded it, as 16 hex digits
// (which compare as the times do); 0 when the system does not tell.
static int OwnStart(char* out) {
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  wsprintfA(out, "%08lX%08lX", static_cast<unsigned long>(created.dwHighDateTime),
            static_cast<unsigned long>(created.dwLowDateTime));
  return 1;
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
  // A run that cannot get the mutex in time goes ahead alone.
  DWORD waited = mutex ? WaitForSingleObject(mutex, kMutexWait) : WAIT_FAILED;

  // Overtaken: a run started after this one has already taken effect.
  char started[20] = "", lastStarted[64];
  int known = OwnStart(started);
  ReadOwnValue("LastStarted", lastStarted, sizeof lastStarted);
  int overtaken = known && lstrlenA(lastStarted) == 16 && lstrcmpA(started, lastStarted) < 0;

  char ownPath[STANDIN_MAX_PATH];
  int result;
  if (overtaken) {
    result = AddHistory(command, 1);
  } else {
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
                   (!known || StandInSetString(HKEY_CURRENT_USER, kOwnKey, "LastStarted", started)) &&
                   AddHistory(command, 0);
    if (result == 1 && !recorded) result = 0;
  }

  if (mutex) {
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  // Only now look at the message queue: where WinExec in the starting program
  // waits for this, it returns once the work above is complete.
  MSG msg;
  PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE);
  return result == 1 ? 0 : (result == 2 ? 2 : 1);
}
