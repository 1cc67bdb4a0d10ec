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

#define WININIT_MAX 65536  // WININIT.INI only ever holds a few lines: a larger one is not the system's

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

// Inserts `line` into `text` (its `length` bytes, with room for the line and a
// section head) at the end of the [rename] section, made when missing; returns
// the new length.
static int InsertRenameLine(char *text, int length, const char *line)
{
    if (length > 0 && text[length - 1] != '\n') {
        text[length++] = '\r';
        text[length++] = '\n';
    }
    int at = FindRenameSection(text, length);
    if (at < 0) {
        lstrcpyA(text + length, "[rename]\r\n");
        length += 10;
        at = length;
    } else {
        // The end of the section: the next line that opens another one.
        while (at < length) {
            int a = at;
            while (a < length && (text[a] == ' ' || text[a] == '\t')) a++;
            if (a < length && text[a] == '[') break;
            while (at < length && text[at] != '\n') at++;
            if (at < length) at++;
        }
    }
    int add = lstrlenA(line);
    for (int i = length - 1; i >= at; i--) text[i + add] = text[i];
    for (int i = 0; i < add; i++) text[at + i] = line[i];
    return length + add;
}

// Adds "NUL=<short path>" to WININIT.INI's [rename] section, at its end, and
// keeps every other line of the file as it was.
static int AddWininitDeletion(const char *path)
{
    char shortPath[MAX_PATH + 1], file[MAX_PATH + 16], line[MAX_PATH + 16];
    DWORD n = GetShortPathNameA(path, shortPath, MAX_PATH);
    UINT w = GetWindowsDirectoryA(file, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || w == 0 || w >= MAX_PATH) return 0;
    lstrcatA(file, file[w - 1] == '\\' ? "wininit.ini" : "\\wininit.ini");
    wsprintfA(line, "NUL=%s\r\n", shortPath);
    DWORD size = 0;
    HANDLE in = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (in != INVALID_HANDLE_VALUE) {
        size = GetFileSize(in, NULL);
        if (size == INVALID_FILE_ATTRIBUTES || size > WININIT_MAX) {
            CloseHandle(in);
            return 0;
        }
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return 0;
    }
    // Room for the file, a line break, a section head and the line.
    char *text = (char *)LocalAlloc(LMEM_FIXED, size + sizeof line + 16);
    DWORD got = 0;
    int ok = text != NULL;
    if (in != INVALID_HANDLE_VALUE) {
        ok = ok && ReadFile(in, text, size, &got, NULL) && got == size;
        CloseHandle(in);
    }
    if (ok) {
        int length = InsertRenameLine(text, (int)size, line);
        HANDLE out = CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written = 0;
        ok = out != INVALID_HANDLE_VALUE;
        if (ok) {
            ok = WriteFile(out, text, (DWORD)length, &written, NULL) && written == (DWORD)length;
            CloseHandle(out);
        }
    }
    if (text) LocalFree(text);
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
