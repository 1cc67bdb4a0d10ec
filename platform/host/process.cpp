// The process token and the restart of the simulated machine: privileges are
// recorded, and ExitWindowsEx records the request instead of restarting.
#include <string.h>

#include "internal.h"

static HostRestart g_restart;
static int g_tokenOpen;

void HostResetProcess()
{
    g_restart = HostRestart();
    g_tokenOpen = 0;
}

const HostRestart &HostRestartState() { return g_restart; }

HANDLE GetCurrentProcess(void) { return (HANDLE)(intptr_t)-1; }

BOOL OpenProcessToken(HANDLE, DWORD access, HANDLE *token)
{
    if (HostFault("OpenProcessToken")) return FALSE;
    if (!(access & (TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    g_tokenOpen++;
    *token = (HANDLE)(intptr_t)0x7000;
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR, LPCSTR name, PLUID luid)
{
    if (HostFault("LookupPrivilegeValueA")) return FALSE;
    if (!name || strcmp(name, SE_SHUTDOWN_NAME) != 0) {
        SetLastError(1313);  // ERROR_NO_SUCH_PRIVILEGE
        return FALSE;
    }
    luid->LowPart = 19;  // the shutdown privilege's LUID on Windows
    luid->HighPart = 0;
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD, PTOKEN_PRIVILEGES,
                           LPDWORD)
{
    if (HostFault("AdjustTokenPrivileges")) return FALSE;
    if (token != (HANDLE)(intptr_t)0x7000 || !g_tokenOpen || disableAll || !state) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (DWORD i = 0; i < state->PrivilegeCount; i++)
        if (state->Privileges[i].Luid.LowPart == 19 && (state->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED))
            g_restart.shutdownPrivilege = true;
    return TRUE;
}

BOOL ExitWindowsEx(UINT flags, DWORD)
{
    g_restart.requests++;
    g_restart.lastFlags = flags;
    g_restart.privilegeBeforeRequest = g_restart.shutdownPrivilege;
    if (HostFault("ExitWindowsEx")) return FALSE;
    return TRUE;
}

void Sleep(DWORD) {}

bool HostTokenIsOpen(HANDLE token) { return token == (HANDLE)(intptr_t)0x7000 && g_tokenOpen > 0; }

bool HostCloseToken(HANDLE handle)
{
    if (handle != (HANDLE)(intptr_t)0x7000 || !g_tokenOpen) return false;
    g_tokenOpen--;
    return true;
}
