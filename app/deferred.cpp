// Deferred commands and the restart.
#include "app/deferred.h"

#include "app/libraries.h"
#include "app/state.h"

int g_bRebootNeeded;
int g_bDeferredStored;

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
    if (result) g_bDeferredStored = 1;
    return result;
}

typedef BOOL(WINAPI *MoveFileExProc)(LPCSTR, LPCSTR, DWORD);

#define WININIT_SIZE 32768  // the whole of WININIT.INI: it only ever holds a few lines

static char g_wininit[WININIT_SIZE];

// Case-insensitive search for a line that is exactly "[rename]" (blanks
// around it allowed); returns the offset just after that line, or -1.
static int FindRenameSection(const char *text, int length)
{
    for (int start = 0; start < length;) {
        int end = start;
        while (end < length && text[end] != '\n') end++;
        int a = start, b = end;
        while (a < b && (text[a] == ' ' || text[a] == '\t')) a++;
        while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t' || text[b - 1] == '\r')) b--;
        if (b - a == 8) {
            char head[9];
            lstrcpynA(head, text + a, 9);
            if (lstrcmpiA(head, "[rename]") == 0) return end < length ? end + 1 : length;
        }
        start = end + 1;
    }
    return -1;
}

// Adds "NUL=<short path>" to WININIT.INI's [rename] section, at its end.
static int AddWininitDeletion(const char *path)
{
    char shortPath[MAX_PATH + 1], file[MAX_PATH + 16], line[MAX_PATH + 16];
    DWORD n = GetShortPathNameA(path, shortPath, MAX_PATH);
    UINT w = GetWindowsDirectoryA(file, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || w == 0 || w >= MAX_PATH) return 0;
    lstrcatA(file, w > 0 && file[w - 1] == '\\' ? "wininit.ini" : "\\wininit.ini");
    wsprintfA(line, "NUL=%s\r\n", shortPath);
    // Read what is there: the system's own lines must all stay.
    int length = 0;
    HANDLE in = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (in != INVALID_HANDLE_VALUE) {
        DWORD size = GetFileSize(in, NULL), got = 0;
        int ok = size != INVALID_FILE_ATTRIBUTES && size < WININIT_SIZE - 2 * sizeof line &&
                 ReadFile(in, g_wininit, size, &got, NULL) && got == size;
        CloseHandle(in);
        if (!ok) return 0;
        length = (int)size;
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return 0;
    }
    if (length > 0 && g_wininit[length - 1] != '\n') {
        g_wininit[length++] = '\r';
        g_wininit[length++] = '\n';
    }
    int at = FindRenameSection(g_wininit, length);
    if (at < 0) {
        lstrcpyA(g_wininit + length, "[rename]\r\n");
        length += 10;
        at = length;
    } else {
        // The end of the section: the next line that opens another one.
        while (at < length) {
            int a = at;
            while (a < length && (g_wininit[a] == ' ' || g_wininit[a] == '\t')) a++;
            if (a < length && g_wininit[a] == '[') break;
            while (at < length && g_wininit[at] != '\n') at++;
            if (at < length) at++;
        }
    }
    int add = lstrlenA(line);
    for (int i = length - 1; i >= at; i--) g_wininit[i + add] = g_wininit[i];
    for (int i = 0; i < add; i++) g_wininit[at + i] = line[i];
    length += add;
    HANDLE out = CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    int ok = WriteFile(out, g_wininit, (DWORD)length, &written, NULL) && written == (DWORD)length;
    CloseHandle(out);
    return ok;
}

int DeleteAtNextStart(const char *path)
{
    if (!g_bWinNT) return AddWininitDeletion(path);
    // Looked up: Windows 95 and 98 have it only as a stub.
    MoveFileExProc moveFileEx = SystemFunction<MoveFileExProc>("kernel32.dll", "MoveFileExA");
    return moveFileEx && moveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int DeferDeletion(const char *path)
{
    int stored = DeleteAtNextStart(path);
    if (stored) g_bDeferredStored = 1;
    return stored;
}

int RestartWindows(void)
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
    // The run ends normally either way; the result only names the outcome.
    return ExitWindowsEx(EWX_REBOOT, 0) ? 1 : 0;
}
