// Deferred commands and the restart.
#include "app/deferred.h"

#include "app/main.h"

int g_bRebootNeeded;

static const char kRunParent[] = "Software\\Microsoft\\Windows\\CurrentVersion";
static const char kRunOnceNT[] = "RunOnce";
static const char kRunOnce9x[] = "RunServicesOnce";

int AddDeferredCommand(const char *command)
{
    HKEY parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunParent, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) return 0;
    const char *subkey = g_bWinNT ? kRunOnceNT : kRunOnce9x;
    HKEY run;
    if (RegOpenKeyExA(parent, subkey, 0, KEY_ALL_ACCESS, &run) != ERROR_SUCCESS &&
        RegCreateKeyA(parent, subkey, &run) != ERROR_SUCCESS) {
        RegCloseKey(parent);
        return 0;
    }
    // Never overwrite: commands of earlier calls and earlier runs all stay.
    char name[32];
    unsigned counter = 0;
    DWORD type;
    wsprintfA(name, "Brenmoor%u", counter);
    while (RegQueryValueExA(run, name, NULL, &type, NULL, NULL) == ERROR_SUCCESS)
        wsprintfA(name, "Brenmoor%u", ++counter);
    int result = RegSetValueExA(run, name, 0, REG_SZ, (const BYTE *)command, (DWORD)lstrlenA(command) + 1) ==
                 ERROR_SUCCESS;
    RegCloseKey(run);
    RegCloseKey(parent);
    return result;
}

void RestartWindows(void)
{
    if (g_bWinNT) {
        HANDLE token;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
            TOKEN_PRIVILEGES privileges;
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            if (LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
                AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
            CloseHandle(token);
        }
    }
    // The result is not tested: the run ends normally either way.
    ExitWindowsEx(EWX_REBOOT, 0);
}
