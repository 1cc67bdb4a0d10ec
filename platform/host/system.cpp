// What a program finds of the system beyond its imports: the functions it
// looks up in the system's modules because older systems lack them, the
// process token's groups, moves left for the next start of Windows, wide text,
// and the processes it starts.
#include <stdlib.h>
#include <string.h>

#include <set>

#include "internal.h"

namespace {

struct SystemModule {
    const char *name;  // upper case, without ".dll"
};
SystemModule g_kernel32 = {"KERNEL32"};
SystemModule g_advapi32 = {"ADVAPI32"};

struct ProcessRecord {
    std::string application, commandLine, directory;
};

struct SystemState {
    HostLibrarySearch search;
    std::set<std::string> hidden;
    bool admin = true;
    std::string tempPathWide;                         // UTF-8; empty: the ANSI temporary folder
    std::map<std::string, std::string> shortNamesWide;  // upper-cased UTF-8 long path -> short path
    std::vector<std::string> started;                 // command lines of the processes started
    DWORD childExitCode = 0;
    int processesOpen = 0;
};
SystemState g_system;

const char kSessionManager[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

bool IsNT() { return HostState().platform == VER_PLATFORM_WIN32_NT; }
bool AtLeast(int major, int minor)
{
    const HostMachine &m = HostState();
    return m.major > major || (m.major == major && m.minor >= minor);
}

}  // namespace

void HostResetSystem() { g_system = SystemState(); }
void HostResetSystemProcess()
{
    g_system.search = HostLibrarySearch();
    g_system.processesOpen = 0;
}

const std::string &HostTempPathWide() { return g_system.tempPathWide; }
const HostLibrarySearch &HostLibrarySearchState() { return g_system.search; }
void HostHideSystemFunction(const char *name) { g_system.hidden.insert(name); }
void HostSetAdministrator(bool admin) { g_system.admin = admin; }
bool HostIsAdministrator() { return g_system.admin; }

HMODULE HostSystemModuleHandle(const char *name)
{
    std::string n = HostUpper(name);
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".DLL") == 0) n.resize(n.size() - 4);
    if (n == g_kernel32.name) return (HMODULE)&g_kernel32;
    if (n == g_advapi32.name) return (HMODULE)&g_advapi32;
    return nullptr;
}

bool HostIsSystemModule(HMODULE module)
{
    return module == (HMODULE)&g_kernel32 || module == (HMODULE)&g_advapi32;
}

// ---- the functions looked up -------------------------------------------------------------

static BOOL WINAPI HostSetDefaultDllDirectories(DWORD flags)
{
    if (HostFault("SetDefaultDllDirectories")) return FALSE;
    if (flags == 0 || (flags & ~(DWORD)0x1F00)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_system.search.defaultDirectories = flags;
    return TRUE;
}

static BOOL WINAPI HostSetDllDirectoryA(LPCSTR path)
{
    if (HostFault("SetDllDirectoryA")) return FALSE;
    g_system.search.dllDirectorySet = true;
    g_system.search.dllDirectory = path ? path : "(null)";
    return TRUE;
}

// The Administrators group (S-1-5-32-544) and Users (S-1-5-32-545) as SIDs.
static const BYTE kAdministratorsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
static const BYTE kUsersSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 0x02, 0, 0};

static BOOL WINAPI HostGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD size,
                                           LPDWORD needed)
{
    if (HostFault("GetTokenInformation")) return FALSE;
    if (!HostTokenIsOpen(token) || kind != TokenGroups) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Two groups: Users, and Administrators, enabled when the process has
    // administrator rights, else for deny only (as in the filtered token of an
    // administrator who did not elevate).
    DWORD header = (DWORD)(sizeof(TOKEN_GROUPS) + sizeof(SID_AND_ATTRIBUTES));
    DWORD total = header + (DWORD)sizeof kAdministratorsSid + (DWORD)sizeof kUsersSid;
    if (needed) *needed = total;
    if (!data || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    TOKEN_GROUPS *groups = (TOKEN_GROUPS *)data;
    BYTE *sids = (BYTE *)data + header;
    memcpy(sids, kUsersSid, sizeof kUsersSid);
    memcpy(sids + sizeof kUsersSid, kAdministratorsSid, sizeof kAdministratorsSid);
    groups->GroupCount = 2;
    groups->Groups[0].Sid = sids;
    groups->Groups[0].Attributes = SE_GROUP_ENABLED | 0x3;  // mandatory, enabled by default
    groups->Groups[1].Sid = sids + sizeof kUsersSid;
    groups->Groups[1].Attributes = g_system.admin ? (SE_GROUP_ENABLED | 0x3 | 0x8) : SE_GROUP_USE_FOR_DENY_ONLY;
    return TRUE;
}

// Appends one operation to the value Windows works through, in order, at its
// next start, as MoveFileEx stores it: "\??\" and the source, then the target
// ("!" first when it may replace a file), or an empty one to delete.
static bool AppendPendingRename(const std::string &from, const std::string &to, bool replace)
{
    DWORD type = 0;
    std::string value;
    if (!HostRegGetValue(kSessionManager, kPendingRenames, &type, &value)) value.clear();
    // Pairs of texts, each with its terminator, and one more after the last.
    if (!value.empty() && value.back() == '\0') value.pop_back();
    value += "\\??\\" + from + '\0';
    if (!to.empty()) value += (replace ? "!" : "") + std::string("\\??\\") + to;
    value += '\0';
    value += '\0';
    HostRegSetBytes(kSessionManager, kPendingRenames, 7 /* REG_MULTI_SZ */, value);
    return true;
}

static BOOL WINAPI HostMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (HostFaultOnPath("MoveFileExA", from, to)) return FALSE;
    std::string src, dst;
    if (!from || !HostAbsolutePath(from, src)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (to && *to && !HostAbsolutePath(to, dst)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        // The value lives in the machine's registry: administrators only.
        if (!g_system.admin) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (GetFileAttributesA(src.c_str()) == INVALID_FILE_ATTRIBUTES) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        return AppendPendingRename(src, dst, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
    }
    if (dst.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((flags & MOVEFILE_REPLACE_EXISTING) && HostFileExists(dst.c_str()) && !DeleteFileA(dst.c_str())) return FALSE;
    return MoveFileA(src.c_str(), dst.c_str());
}

// UTF-8 to UTF-16, for the wide temporary folder.
static std::vector<WCHAR> Utf16(const std::string &text)
{
    std::vector<WCHAR> out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        unsigned code = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra) code = c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < text.size(); k++) code = (code << 6) | ((unsigned char)text[i + k] & 0x3F);
        i += 1 + extra;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back((WCHAR)(0xD800 + (code >> 10)));
            out.push_back((WCHAR)(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back((WCHAR)code);
        }
    }
    out.push_back(0);
    return out;
}

static std::string Utf8(LPCWSTR wide)
{
    std::string out;
    for (; wide && *wide; wide++) {
        unsigned code = *wide;
        if (code >= 0xD800 && code < 0xDC00 && wide[1] >= 0xDC00 && wide[1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[1] - 0xDC00);
            wide++;
        }
        if (code < 0x80) {
            out += (char)code;
        } else if (code < 0x800) {
            out += (char)(0xC0 | (code >> 6));
            out += (char)(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += (char)(0xE0 | (code >> 12));
            out += (char)(0x80 | ((code >> 6) & 0x3F));
            out += (char)(0x80 | (code & 0x3F));
        } else {
            out += (char)(0xF0 | (code >> 18));
            out += (char)(0x80 | ((code >> 12) & 0x3F));
            out += (char)(0x80 | ((code >> 6) & 0x3F));
            out += (char)(0x80 | (code & 0x3F));
        }
    }
    return out;
}

static DWORD CopyWide(const std::vector<WCHAR> &text, LPWSTR buffer, DWORD size)
{
    DWORD length = (DWORD)text.size() - 1;
    if (!buffer || size <= length) return length + 1;
    for (DWORD i = 0; i <= length; i++) buffer[i] = text[i];
    return length;
}

static DWORD WINAPI HostGetTempPathW(DWORD size, LPWSTR buffer)
{
    if (HostFault("GetTempPathW")) return 0;
    const std::string &path = g_system.tempPathWide.empty() ? HostState().tempPath : g_system.tempPathWide;
    return CopyWide(Utf16(path), buffer, size);
}

static DWORD WINAPI HostGetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD size)
{
    if (HostFault("GetShortPathNameW")) return 0;
    std::string path = Utf8(longPath);
    auto it = g_system.shortNamesWide.find(HostUpper(path));
    if (it != g_system.shortNamesWide.end()) return CopyWide(Utf16(it->second), shortPath, size);
    // An ANSI path: as GetShortPathNameA finds it.
    char shortAnsi[MAX_PATH + 1];
    DWORD n = GetShortPathNameA(path.c_str(), shortAnsi, sizeof shortAnsi);
    if (n == 0 || n >= sizeof shortAnsi) return 0;
    return CopyWide(Utf16(shortAnsi), shortPath, size);
}

struct SystemFunction {
    SystemModule *module;
    const char *name;
    FARPROC proc;
    bool (*present)();
};

static const SystemFunction kFunctions[] = {
    {&g_kernel32, "SetDefaultDllDirectories", (FARPROC)HostSetDefaultDllDirectories,
     [] { return IsNT() && AtLeast(6, 1); }},
    {&g_kernel32, "SetDllDirectoryA", (FARPROC)HostSetDllDirectoryA, [] { return IsNT() && AtLeast(5, 1); }},
    {&g_kernel32, "MoveFileExA", (FARPROC)HostMoveFileExA, IsNT},
    {&g_kernel32, "GetTempPathW", (FARPROC)HostGetTempPathW, IsNT},
    {&g_kernel32, "GetShortPathNameW", (FARPROC)HostGetShortPathNameW, IsNT},
    {&g_advapi32, "GetTokenInformation", (FARPROC)HostGetTokenInformation, IsNT},
};

FARPROC HostSystemProc(HMODULE module, const char *name)
{
    for (const SystemFunction &f : kFunctions)
        if ((HMODULE)f.module == module && strcmp(f.name, name) == 0 && f.present() && !g_system.hidden.count(name))
            return f.proc;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

// ---- wide text ------------------------------------------------------------------------

void HostSetTempPathWide(const char *utf8Path) { g_system.tempPathWide = utf8Path ? utf8Path : ""; }
void HostSetShortNameWide(const char *utf8LongPath, const char *shortPath)
{
    g_system.shortNamesWide[HostUpper(utf8LongPath)] = shortPath;
}

// The ANSI form of a UTF-8 text, as Windows-1252 has it ("?" for the rest).
std::string HostAnsiOf(const std::string &utf8)
{
    std::vector<WCHAR> wide = Utf16(utf8);
    std::string out;
    for (size_t i = 0; i + 1 < wide.size(); i++) out += wide[i] < 0x80 || (wide[i] >= 0xA0 && wide[i] <= 0xFF) ? (char)wide[i] : '?';
    return out;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text, int size,
                        LPCSTR defaultChar, LPBOOL usedDefault)
{
    if (HostFault("WideCharToMultiByte")) return 0;
    // The flag came with Windows 2000: NT 4 refuses the call.
    if ((flags & WC_NO_BEST_FIT_CHARS) && HostState().major < 5) {
        SetLastError(1004);  // ERROR_INVALID_FLAGS
        return 0;
    }
    if (codePage != CP_ACP || !wide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string out;
    bool replaced = false;
    for (int i = 0; wideLength < 0 ? wide[i] != 0 : i < wideLength; i++) {
        WCHAR c = wide[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += (char)c;
        } else {
            out += defaultChar ? *defaultChar : '?';
            replaced = true;
        }
    }
    if (wideLength < 0) out += '\0';
    if (usedDefault) *usedDefault = replaced;
    if (size == 0) return (int)out.size();
    if ((int)out.size() > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(text, out.data(), out.size());
    return (int)out.size();
}

// ---- processes --------------------------------------------------------------------------

static const uintptr_t kChildProcess = 0x7100;

BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                    DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION info)
{
    if (HostFaultOnPath("CreateProcessA", application)) return FALSE;
    std::string line = commandLine ? commandLine : "";
    g_system.started.push_back((application ? std::string(application) + "|" : std::string("|")) + line);
    g_system.processesOpen += 2;
    info->hProcess = (HANDLE)kChildProcess;
    info->hThread = (HANDLE)(kChildProcess + 1);
    info->dwProcessId = 0x200;
    info->dwThreadId = 0x204;
    return TRUE;
}

bool HostCloseProcessHandle(HANDLE handle)
{
    if ((handle != (HANDLE)kChildProcess && handle != (HANDLE)(kChildProcess + 1)) || g_system.processesOpen <= 0)
        return false;
    g_system.processesOpen--;
    return true;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD)
{
    if (HostFault("WaitForSingleObject")) return WAIT_FAILED;
    if (handle != (HANDLE)kChildProcess) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return WAIT_OBJECT_0;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD code)
{
    if (HostFault("GetExitCodeProcess")) return FALSE;
    if (process != (HANDLE)kChildProcess) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *code = g_system.childExitCode;
    return TRUE;
}

DWORD GetCurrentProcessId(void) { return 0x1F4; }

static int g_localBlocks;

HGLOBAL LocalAlloc(UINT flags, size_t bytes)
{
    if (HostFault("LocalAlloc")) return nullptr;
    void *block = (flags & LMEM_ZEROINIT) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    g_localBlocks++;
    return block;
}

HGLOBAL LocalFree(HGLOBAL block)
{
    if (block) {
        free(block);
        g_localBlocks--;
    }
    return nullptr;
}

int HostLocalBlocks() { return g_localBlocks; }
DWORD GetTickCount(void) { return 0x12345678; }

const std::vector<std::string> &HostProcessesStarted() { return g_system.started; }
void HostSetChildExitCode(DWORD code) { g_system.childExitCode = code; }
int HostOpenProcessHandles() { return g_system.processesOpen; }

// ---- the next start -----------------------------------------------------------------------

std::vector<std::string> HostPendingRenames()
{
    std::vector<std::string> out;
    DWORD type = 0;
    std::string value;
    if (!HostRegGetValue(kSessionManager, kPendingRenames, &type, &value)) return out;
    size_t at = 0;
    while (at < value.size() && value[at]) {
        std::string from = value.c_str() + at;
        at += from.size() + 1;
        std::string to = at < value.size() ? value.c_str() + at : "";
        at += to.size() + 1;
        out.push_back(from + "|" + to);
    }
    return out;
}

void HostRunPendingRenames()
{
    for (const std::string &op : HostPendingRenames()) {
        size_t bar = op.find('|');
        std::string from = op.substr(0, bar), to = op.substr(bar + 1);
        if (from.compare(0, 4, "\\??\\") == 0) from = from.substr(4);
        bool replace = !to.empty() && to[0] == '!';
        if (replace) to = to.substr(1);
        if (to.compare(0, 4, "\\??\\") == 0) to = to.substr(4);
        if (to.empty()) {
            if (!RemoveDirectoryA(from.c_str())) DeleteFileA(from.c_str());
        } else {
            if (replace) DeleteFileA(to.c_str());
            MoveFileA(from.c_str(), to.c_str());
        }
    }
    HostRegDeleteValue(kSessionManager, kPendingRenames);
}
