// The temporary folder in use and the run's own working folder.
#include "app/workfolder.h"

#include "app/deferred.h"
#include "app/libraries.h"
#include "app/paths.h"
#include "app/state.h"

char g_szTempFolder[WORK_FOLDER_SIZE];
char g_szWorkFolder[WORK_FOLDER_SIZE];
int g_bPrivateFolder;

HANDLE g_hWorkFolder = INVALID_HANDLE_VALUE;

typedef BOOL(WINAPI *GetTokenInformationProc)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef DWORD(WINAPI *GetTempPathWProc)(DWORD, LPWSTR);
typedef DWORD(WINAPI *GetShortPathNameWProc)(LPCWSTR, LPWSTR, DWORD);

// The private folder's security, self-relative: revision 1, a DACL present and
// protected from inheritance, at offset 20; the DACL (revision 2, 52 bytes, two
// entries) allows full control (FILE_ALL_ACCESS) to SYSTEM (S-1-5-18) and to
// Administrators (S-1-5-32-544), each inherited by files and folders made
// inside. No owner is named: the folder's owner is the elevated token's
// default, the Administrators group.
static const BYTE kPrivateSecurity[] = {
    1, 0, 0x04, 0x90,  // SE_DACL_PRESENT | SE_DACL_PROTECTED | SE_SELF_RELATIVE
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0,
    2, 0, 52, 0, 2, 0, 0, 0,
    0, 3, 20, 0, 0xFF, 0x01, 0x1F, 0x00, 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
    0, 3, 24, 0, 0xFF, 0x01, 0x1F, 0x00, 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};

// The Administrators group, as a SID: S-1-5-32-544.
static const BYTE kAdministrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};

int PrivateFolderSecurity(const BYTE **descriptor)
{
    *descriptor = kPrivateSecurity;
    return (int)sizeof kPrivateSecurity;
}

static int IsAdministratorsSid(const BYTE *sid)
{
    for (int i = 0; i < (int)sizeof kAdministrators; i++)
        if (sid[i] != kAdministrators[i]) return 0;
    return 1;
}

int HasAdministratorRights(void)
{
    if (!g_bWinNT) return 0;
    GetTokenInformationProc tokenInformation =
        SystemFunction<GetTokenInformationProc>("advapi32.dll", "GetTokenInformation");
    HANDLE token;
    if (!tokenInformation || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
    int admin = 0;
    // Room for the groups of most accounts; a domain account's many groups get
    // a block of the size the system asks for.
    DWORD local[1024], needed = 0;
    void *buffer = local;
    int read = tokenInformation(token, TokenGroups, buffer, sizeof local, &needed);
    if (!read && GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > sizeof local &&
        (buffer = LocalAlloc(LMEM_FIXED, needed)) != NULL)
        read = tokenInformation(token, TokenGroups, buffer, needed, &needed);
    if (read) {
        const TOKEN_GROUPS *groups = (const TOKEN_GROUPS *)buffer;
        for (DWORD i = 0; i < groups->GroupCount; i++) {
            const BYTE *sid = (const BYTE *)groups->Groups[i].Sid;
            DWORD attributes = groups->Groups[i].Attributes;
            // A filtered token keeps the group for deny only: no rights from it.
            if (sid[1] == 2 && IsAdministratorsSid(sid) && (attributes & SE_GROUP_ENABLED) &&
                !(attributes & SE_GROUP_USE_FOR_DENY_ONLY))
                admin = 1;
        }
    }
    if (buffer != local) LocalFree(buffer);
    CloseHandle(token);
    return admin;
}

// Converts a wide path to the ANSI code page only when every character has
// its own form there (no "?", no best-fit look-alike naming another folder).
static int AnsiPathOf(const WCHAR *wide, char *out, int size)
{
    BOOL replaced = FALSE;
    // NT 4 knows no such flag (and refuses the call with it); its look-alikes
    // are few, and "?" is still reported.
    DWORD flags = g_winMajor >= 5 ? WC_NO_BEST_FIT_CHARS : 0;
    int n = WideCharToMultiByte(CP_ACP, flags, wide, -1, out, size, NULL, &replaced);
    return n > 0 && !replaced;
}

// The temporary folder the system names, as the program can use it: 1 with
// the folder in `out` (no final backslash).
static int SystemTempFolder(char *out)
{
    char path[MAX_PATH + 1];
    int found = 0;
    GetTempPathWProc tempPathW = SystemFunction<GetTempPathWProc>("kernel32.dll", "GetTempPathW");
    GetShortPathNameWProc shortPathW = SystemFunction<GetShortPathNameWProc>("kernel32.dll", "GetShortPathNameW");
    if (g_bWinNT && tempPathW) {
        // The real path is wide: an ANSI program can use it only in a form whose
        // every character the code page has, which its 8.3 form always is.
        WCHAR wide[MAX_PATH + 1], shortWide[MAX_PATH + 1];
        DWORD n = tempPathW(MAX_PATH, wide);
        if (n > 0 && n < MAX_PATH) {
            found = AnsiPathOf(wide, path, sizeof path);
            if (!found && shortPathW) {
                DWORD m = shortPathW(wide, shortWide, MAX_PATH);
                found = m > 0 && m < MAX_PATH && AnsiPathOf(shortWide, path, sizeof path);
            }
        }
    } else {
        DWORD n = GetTempPathA(MAX_PATH, path);
        found = n > 0 && n < MAX_PATH;
    }
    if (!found) return 0;
    // What no folder's name may hold: the code page's stand-in for what it lacks.
    for (const char *p = path; *p; p++)
        if (*p == '?') return 0;
    int length = lstrlenA(path);
    if (length > 0 && (path[length - 1] == '\\' || path[length - 1] == '/')) path[--length] = 0;
    if (length == 0 || length >= WORK_FOLDER_SIZE) return 0;
    lstrcpyA(out, path);
    return 1;
}

// The Windows folder's Temp, into `out` (MAX_PATH + 1 bytes); 0 when unknown.
static int WindowsTemp(char *out)
{
    char windows[MAX_PATH + 1];
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    return n > 0 && n < MAX_PATH && JoinPath(out, MAX_PATH + 1, windows, "Temp");
}

// The user names the temporary folder (TEMP): an administrator's run makes its
// folder and writes its log only where that is no one else's. The Windows
// folder's Temp is the system's own (the one of a run as SYSTEM); any other
// folder must be one an installation could take as well (not a drive's root,
// not inside the Windows or system folder, not Program Files itself), and
// none of it may be reached through a junction or a link.
static int FitForTemporaryFiles(const char *folder)
{
    char windowsTemp[MAX_PATH + 1];
    if (HasReparsePoint(folder)) return 0;
    return (WindowsTemp(windowsTemp) && SameFolder(folder, windowsTemp)) || FolderProblem(folder) == FOLDER_OK;
}

// Whether a file can be made (and removed again) in `folder`.
static int CanWriteIn(const char *folder)
{
    char probe[MAX_PATH + 1];
    if (!GetTempFileNameA(folder, "VNT", 0, probe)) return 0;
    DeleteFileA(probe);
    return 1;
}

int FindTempFolder(char *out)
{
    char folder[MAX_PATH + 1];
    out[0] = 0;
    if (SystemTempFolder(folder) && FitForTemporaryFiles(folder) && CanWriteIn(folder)) {
        lstrcpyA(out, folder);
        return 1;
    }
    // The Windows folder's Temp, made when it is missing.
    if (!WindowsTemp(folder) || lstrlenA(folder) >= WORK_FOLDER_SIZE) return 0;
    CreateDirectoryA(folder, NULL);  // an existing one is as good
    if (!FitForTemporaryFiles(folder) || !CanWriteIn(folder)) return 0;
    lstrcpyA(out, folder);
    return 1;
}

int MakeWorkFolder(const char *temp, int always)
{
    lstrcpynA(g_szTempFolder, temp, WORK_FOLDER_SIZE);
    lstrcpynA(g_szWorkFolder, temp, WORK_FOLDER_SIZE);
    g_bPrivateFolder = 0;
    int admin = HasAdministratorRights();
    if (!admin && !always) return 1;
    SECURITY_ATTRIBUTES security;
    security.nLength = sizeof security;
    security.lpSecurityDescriptor = (LPVOID)kPrivateSecurity;
    security.bInheritHandle = FALSE;
    // A name no one made before: a folder that is there already, whoever made
    // it, is never taken.
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 8);
    for (DWORD attempt = 0; attempt < 64; attempt++) {
        char name[16], path[WORK_FOLDER_SIZE];
        wsprintfA(name, "VNS%04X.TMP", (unsigned)((seed + attempt) & 0xFFFF));
        if (!JoinPath(path, sizeof path, temp, name)) return 0;
        // Without administrator rights there is nothing to protect it from:
        // the user's own programs could open it whatever it said.
        if (!CreateDirectoryA(path, admin ? &security : NULL)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
            return 0;
        }
        // Held without delete sharing, it can be neither renamed nor replaced by
        // a folder of someone else's while the run lasts (Windows 95 and 98
        // open no folder as a file; there is no one to keep out there).
        if (g_bWinNT) {
            g_hWorkFolder = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, NULL);
            if (g_hWorkFolder == INVALID_HANDLE_VALUE) {
                RemoveDirectoryA(path);
                return 0;
            }
        }
        lstrcpyA(g_szWorkFolder, path);
        g_bPrivateFolder = 1;
        return 1;
    }
    return 0;
}

void RemoveWorkFolder(void)
{
    if (!g_bPrivateFolder) return;
    char pattern[WORK_FOLDER_SIZE + 4], path[MAX_PATH + 1];
    if (JoinPath(pattern, sizeof pattern, g_szWorkFolder, "*.*")) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                // Only the run's own files are in it; it never holds a folder.
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                if (JoinPath(path, sizeof path, g_szWorkFolder, found.cFileName) && !DeleteFileA(path))
                    DeleteAtNextStart(path);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    if (g_hWorkFolder != INVALID_HANDLE_VALUE) CloseHandle(g_hWorkFolder);
    g_hWorkFolder = INVALID_HANDLE_VALUE;
    // The working folder must not stay current, or it could not be removed.
    if (g_szTempFolder[0]) SetCurrentDirectoryA(g_szTempFolder);
    // (Windows 95 and 98 delete only files at their next start.)
    if (!RemoveDirectoryA(g_szWorkFolder) && g_bWinNT) DeleteAtNextStart(g_szWorkFolder);
    g_bPrivateFolder = 0;
}
