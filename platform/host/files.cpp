// Files and folders of the simulated machine: handles with Windows' sharing
// rules, scratch names, attributes, and files held open by other programs.
#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "internal.h"

struct HostFile {
    bool used;
    int fd;
    std::string real;  // resolved path, the identity of the file for sharing
    DWORD access;
    DWORD share;
    std::string path;  // the Windows path it was opened by, for faults chosen by path
    bool link;         // the reparse point itself (FILE_FLAG_OPEN_REPARSE_POINT)
};

// Opens by "other programs" (see HostHoldFile).
struct HostHold {
    std::string real;
    DWORD share;
    bool image;
};

static const int kMaxFiles = 64;
static HostFile g_files[kMaxFiles];
static std::vector<HostHold> g_holds;
// The read-only attribute, kept here rather than in Unix permissions, which do
// not stop a test run as root.
static std::set<std::string> g_readOnly;
// Files deleted while open with delete sharing: the name stays until the last
// handle (or another program's hold) goes.
static std::set<std::string> g_deletePending;
// 8.3 aliases given so far, by real path (see FolderAliases).
static std::map<std::string, std::string> g_aliases;
// The security folders were created with, by real path (see HostFolderSecurity).
static std::map<std::string, std::string> g_folderSecurity;

// The ANSI calls convert their path into a buffer of MAX_PATH + 1 characters:
// a path of more than 260 characters fails before the disk is looked at (seen
// under Wine: 260 works, 261 gives ERROR_FILENAME_EXCED_RANGE).
static bool PathTooLong(const char *path)
{
    if (path && strlen(path) > MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return true;
    }
    return false;
}

static bool IsReadOnly(const std::string &real) { return g_readOnly.count(real) != 0; }
static bool IsDeletePending(const std::string &real) { return g_deletePending.count(real) != 0; }

// Removes a delete-pending file once nothing holds it any more.
static void FinishPendingDelete(const std::string &real)
{
    if (!IsDeletePending(real)) return;
    for (auto &f : g_files)
        if (f.used && f.real == real) return;
    for (auto &h : g_holds)
        if (h.real == real) return;
    unlink(real.c_str());
    g_deletePending.erase(real);
    g_readOnly.erase(real);
}

void HostResetFiles()
{
    HostResetSearches();
    for (auto &f : g_files) {
        if (f.used) close(f.fd);
        f = HostFile();
    }
    g_holds.clear();
    // The process is gone with its handles: what it deleted is gone too.
    for (const std::string &real : g_deletePending) unlink(real.c_str());
    g_deletePending.clear();
}

// Called by HostReset only: a new machine has no read-only files.
void HostResetFileAttributes()
{
    g_readOnly.clear();
    g_aliases.clear();
    g_folderSecurity.clear();
}

static HostFile *FileFromHandle(HANDLE h)
{
    uintptr_t i = (uintptr_t)h;
    if (i < 1 || i > (uintptr_t)kMaxFiles || !g_files[i - 1].used) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &g_files[i - 1];
}

static bool RealIsDir(const std::string &real)
{
    struct stat st;
    return stat(real.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool RealExists(const std::string &real)
{
    struct stat st;
    return stat(real.c_str(), &st) == 0;
}

// The parent folder of a resolved path exists.
static bool ParentExists(const std::string &real)
{
    size_t slash = real.rfind('/');
    return slash != std::string::npos && RealIsDir(real.substr(0, slash));
}

// Would an open with this access and sharing conflict with the opens already made?
// Windows' rule: each open's sharing must admit every other open's access.
static bool SharingConflict(const std::string &real, DWORD access, DWORD share, bool deleting)
{
    DWORD wantsRead = access & GENERIC_READ, wantsWrite = access & GENERIC_WRITE;
    auto conflicts = [&](DWORD otherAccess, DWORD otherShare) {
        if (wantsRead && !(otherShare & FILE_SHARE_READ)) return true;
        if (wantsWrite && !(otherShare & FILE_SHARE_WRITE)) return true;
        if (deleting && !(otherShare & FILE_SHARE_DELETE)) return true;
        if ((otherAccess & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
        if ((otherAccess & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
        return false;
    };
    for (auto &f : g_files)
        if (f.used && f.real == real && conflicts(f.access, f.share)) return true;
    for (auto &h : g_holds) {
        if (h.real != real) continue;
        // A mapped image admits readers only; it can be renamed but not replaced.
        if (h.image) {
            if (wantsWrite || deleting) return true;
        } else if (conflicts(GENERIC_READ, h.share)) {
            return true;
        }
    }
    return false;
}

bool HostFileHeldAgainstRename(const std::string &real)
{
    for (auto &h : g_holds)
        if (h.real == real && !h.image && !(h.share & FILE_SHARE_DELETE)) return true;
    for (auto &f : g_files)
        if (f.used && f.real == real && !(f.share & FILE_SHARE_DELETE)) return true;
    return false;
}

bool HostHoldFile(const char *winPath, DWORD share, bool image)
{
    std::string real;
    if (!HostResolvePath(winPath, real) || !RealExists(real)) return false;
    g_holds.push_back(HostHold{real, share, image});
    return true;
}

void HostReleaseFile(const char *winPath)
{
    std::string real;
    if (!HostResolvePath(winPath, real)) return;
    for (size_t i = 0; i < g_holds.size();)
        if (g_holds[i].real == real)
            g_holds.erase(g_holds.begin() + (long)i);
        else
            i++;
    FinishPendingDelete(real);
}

// A symbolic link on the real disk: the simulated disk's reparse point.
static bool RealIsLink(const std::string &real)
{
    struct stat st;
    return lstat(real.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

static int FreeSlot()
{
    for (int i = 0; i < kMaxFiles; i++)
        if (!g_files[i].used) return i;
    SetLastError(4);  // ERROR_TOO_MANY_OPEN_FILES
    return -1;
}

// A handle on a folder or on a link itself, opened with the Unix flags given;
// `error` is the last error on success.
static HANDLE OpenAsItIs(const std::string &real, int flags, DWORD access, DWORD share, const std::string &absolute,
                         bool link, DWORD error)
{
    int slot = FreeSlot();
    if (slot < 0) return INVALID_HANDLE_VALUE;
    int fd = open(real.c_str(), flags);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    g_files[slot] = HostFile{true, fd, real, access, share, absolute, link};
    SetLastError(error);
    return (HANDLE)(uintptr_t)(slot + 1);
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD attributes, HANDLE)
{
    if (HostFaultOnPath("CreateFileA", path)) return INVALID_HANDLE_VALUE;
    if (PathTooLong(path)) return INVALID_HANDLE_VALUE;
    std::string real;
    if (!HostResolvePath(path, real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!ParentExists(real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string absolute;
    HostAbsolutePath(path, absolute);  // succeeded in HostResolvePath
    if (RealIsDir(real) && !RealIsLink(real)) {
        // A folder opens only for its handle (backup semantics), and only as it is.
        if (!(attributes & FILE_FLAG_BACKUP_SEMANTICS) || disposition != OPEN_EXISTING) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (SharingConflict(real, access, share, false)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        return OpenAsItIs(real, O_RDONLY | O_DIRECTORY, access, share, absolute, false, 0);
    }
    // The link itself, not what it names, when the caller asks for it.
    if ((attributes & FILE_FLAG_OPEN_REPARSE_POINT) && RealIsLink(real)) {
        if (disposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        return OpenAsItIs(real, O_PATH | O_NOFOLLOW, access, share, absolute, true,
                          disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS ? ERROR_ALREADY_EXISTS : 0);
    }
    bool exists = RealExists(real);
    // A deleted file still open elsewhere cannot be opened again, nor made anew
    // under its name, until it is gone (Windows: STATUS_DELETE_PENDING).
    if (exists && IsDeletePending(real)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    switch (disposition) {
    case CREATE_NEW:
        if (exists) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        break;
    case OPEN_EXISTING:
    case TRUNCATE_EXISTING:
        if (!exists) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (exists && SharingConflict(real, access, share, false)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    // Windows refuses to write or replace a read-only file, whoever asks.
    if (exists && IsReadOnly(real) &&
        ((access & GENERIC_WRITE) || disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int slot = FreeSlot();
    if (slot < 0) return INVALID_HANDLE_VALUE;
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
        flags |= O_CREAT;
    if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) flags |= O_TRUNC;
    int fd = open(real.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    g_files[slot] = HostFile{true, fd, real, access, share, absolute, false};
    // Windows reports an existing file for CREATE_ALWAYS and OPEN_ALWAYS.
    SetLastError((exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)) ? ERROR_ALREADY_EXISTS
                                                                                         : 0);
    return (HANDLE)(uintptr_t)(slot + 1);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED)
{
    if (written) *written = 0;
    HostFile *f = FileFromHandle(file);
    if (!f) return FALSE;
    if (HostFaultOnPath("WriteFile", f->path.c_str())) return FALSE;
    if (!(f->access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const char *p = (const char *)data;
    DWORD done = 0;
    while (done < size) {
        ssize_t n = write(f->fd, p + done, size - done);
        if (n <= 0) {
            SetLastError(ERROR_HANDLE_DISK_FULL);
            if (written) *written = done;
            return FALSE;
        }
        done += (DWORD)n;
    }
    if (written) *written = done;
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED)
{
    if (read) *read = 0;
    HostFile *f = FileFromHandle(file);
    if (!f) return FALSE;
    if (HostFaultOnPath("ReadFile", f->path.c_str())) return FALSE;
    if (!(f->access & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    char *p = (char *)data;
    DWORD done = 0;
    while (done < size) {
        ssize_t n = ::read(f->fd, p + done, size - done);
        if (n < 0) {
            SetLastError(ERROR_READ_FAULT);
            return FALSE;
        }
        if (n == 0) break;
        done += (DWORD)n;
    }
    if (read) *read = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG high, DWORD method)
{
    HostFile *f = FileFromHandle(file);
    if (!f) return INVALID_SET_FILE_POINTER;
    off_t offset = distance;
    if (high) offset = (off_t)(((uint64_t)(uint32_t)*high << 32) | (uint32_t)distance);
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t pos = lseek(f->fd, offset, whence);
    if (pos < 0) {
        SetLastError(131);  // ERROR_NEGATIVE_SEEK
        return INVALID_SET_FILE_POINTER;
    }
    if (high) *high = (LONG)((uint64_t)pos >> 32);
    return (DWORD)pos;
}

DWORD GetFileSize(HANDLE file, LPDWORD high)
{
    HostFile *f = FileFromHandle(file);
    if (!f) return INVALID_SET_FILE_POINTER;
    struct stat st;
    if (fstat(f->fd, &st) != 0) return INVALID_SET_FILE_POINTER;
    if (high) *high = (DWORD)((uint64_t)st.st_size >> 32);
    return (DWORD)st.st_size;
}

bool HostCloseToken(HANDLE handle);

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    if (HostFault("GetFileInformationByHandle")) return FALSE;
    HostFile *f = FileFromHandle(file);
    if (!f) return FALSE;
    struct stat st;
    if ((f->link ? lstat(f->real.c_str(), &st) : fstat(f->fd, &st)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    memset(info, 0, sizeof *info);
    if (f->link) info->dwFileAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
    else if (S_ISDIR(st.st_mode)) info->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    else info->dwFileAttributes = IsReadOnly(f->real) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    info->nFileSizeLow = (DWORD)st.st_size;
    info->nFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
    info->nNumberOfLinks = (DWORD)st.st_nlink;
    info->nFileIndexLow = (DWORD)st.st_ino;
    info->nFileIndexHigh = (DWORD)((uint64_t)st.st_ino >> 32);
    return TRUE;
}

BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists)
{
    if (HostFaultOnPath("CopyFileA", from, to)) return FALSE;
    HANDLE in = CreateFileA(from, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (in == INVALID_HANDLE_VALUE) return FALSE;
    HANDLE out = CreateFileA(to, GENERIC_WRITE, 0, NULL, failIfExists ? CREATE_NEW : CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(in);
        SetLastError(error);
        return FALSE;
    }
    char buffer[8192];
    DWORD got = 0, put = 0;
    BOOL ok = TRUE;
    while (ok && ReadFile(in, buffer, sizeof buffer, &got, NULL) && got > 0)
        ok = WriteFile(out, buffer, got, &put, NULL) && put == got;
    CloseHandle(out);
    CloseHandle(in);
    if (!ok) DeleteFileA(to);
    return ok;
}

BOOL CloseHandle(HANDLE handle)
{
    if (HostCloseToken(handle) || HostCloseProcessHandle(handle)) return TRUE;
    HostFile *f = FileFromHandle(handle);
    if (!f) return FALSE;
    close(f->fd);
    std::string real = f->real;
    *f = HostFile();
    FinishPendingDelete(real);
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    if (HostFaultOnPath("GetFileAttributesA", path)) return INVALID_FILE_ATTRIBUTES;
    if (PathTooLong(path)) return INVALID_FILE_ATTRIBUTES;
    std::string real;
    struct stat st;
    if (!HostResolvePath(path, real) || stat(real.c_str(), &st) != 0) {
        SetLastError(ParentExists(real) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD link = RealIsLink(real) ? FILE_ATTRIBUTE_REPARSE_POINT : 0;
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY | link;
    return (IsReadOnly(real) ? FILE_ATTRIBUTE_READONLY : link ? 0 : FILE_ATTRIBUTE_NORMAL) | link;
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    if (HostFaultOnPath("SetFileAttributesA", path)) return FALSE;
    if (PathTooLong(path)) return FALSE;
    std::string real;
    if (!HostResolvePath(path, real) || !RealExists(real)) {
        SetLastError(ParentExists(real) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (RealIsDir(real)) return TRUE;  // folders keep no read-only mark here
    if (attributes & FILE_ATTRIBUTE_READONLY)
        g_readOnly.insert(real);
    else
        g_readOnly.erase(real);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path)
{
    if (HostFaultOnPath("DeleteFileA", path)) return FALSE;
    if (PathTooLong(path)) return FALSE;
    std::string real;
    if (!HostResolvePath(path, real) || !RealExists(real)) {
        SetLastError(ParentExists(real) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (RealIsDir(real)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A running program's image cannot be deleted (STATUS_CANNOT_DELETE).
    for (auto &h : g_holds)
        if (h.real == real && h.image) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    if (SharingConflict(real, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (IsReadOnly(real)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Open elsewhere with delete sharing: the name goes when the last handle does.
    g_deletePending.insert(real);
    FinishPendingDelete(real);
    return TRUE;
}

// The SID at `p` ("S-1-5-32-544"), or "" when it does not fit in `end`.
static std::string SidText(const BYTE *p, const BYTE *end)
{
    if (end - p < 8 || p[0] != 1 || end - p < 8 + 4 * p[1]) return "";
    uint64_t authority = 0;
    for (int i = 2; i < 8; i++) authority = (authority << 8) | p[i];
    std::string text = "S-1-" + std::to_string(authority);
    for (int i = 0; i < p[1]; i++) {
        const BYTE *s = p + 8 + 4 * i;
        text += "-" + std::to_string((uint32_t)s[0] | ((uint32_t)s[1] << 8) | ((uint32_t)s[2] << 16) |
                                     ((uint32_t)s[3] << 24));
    }
    return text;
}

static uint32_t Le32(const BYTE *p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24); }
static uint16_t Le16(const BYTE *p) { return (uint16_t)(p[0] | (p[1] << 8)); }

// A self-relative security descriptor's DACL as text (see HostFolderSecurity);
// "invalid" for one the layer cannot read (the program must build it whole).
static std::string DaclText(const BYTE *sd, size_t size)
{
    const uint16_t kDaclPresent = 0x4, kDaclProtected = 0x1000, kSelfRelative = 0x8000;
    if (size < 20 || sd[0] != 1) return "invalid";
    uint16_t control = Le16(sd + 2);
    if (!(control & kSelfRelative) || !(control & kDaclPresent)) return "invalid";
    uint32_t at = Le32(sd + 16);
    if (at < 20 || at + 8 > size) return "invalid";
    const BYTE *acl = sd + at, *end = sd + size;
    uint16_t aclSize = Le16(acl + 2), count = Le16(acl + 4);
    if (acl[0] != 2 || at + aclSize > size) return "invalid";
    end = acl + aclSize;
    std::string text = std::string("D:") + ((control & kDaclProtected) ? "P" : "");
    const BYTE *ace = acl + 8;
    for (int i = 0; i < count; i++) {
        if (end - ace < 8) return "invalid";
        uint16_t aceSize = Le16(ace + 2);
        if (aceSize < 8 || ace + aceSize > end || ace[0] != 0) return "invalid";  // access allowed only
        std::string flags = std::string((ace[1] & 1) ? "OI" : "") + ((ace[1] & 2) ? "CI" : "");
        std::string sid = SidText(ace + 8, ace + aceSize);
        if (sid.empty()) return "invalid";
        char mask[16];
        snprintf(mask, sizeof mask, "0x%x", Le32(ace + 4));
        text += "(A;" + flags + ";" + mask + ";;;" + sid + ")";
        ace += aceSize;
    }
    return text;
}

std::string HostFolderSecurity(const char *winPath)
{
    std::string real;
    if (!HostResolvePath(winPath, real)) return "";
    auto it = g_folderSecurity.find(real);
    return it == g_folderSecurity.end() ? "" : it->second;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES sa)
{
    if (HostFaultOnPath("CreateDirectoryA", path)) return FALSE;
    if (PathTooLong(path)) return FALSE;
    std::string real;
    if (!HostResolvePath(path, real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (RealExists(real)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!ParentExists(real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string security;
    if (sa && sa->lpSecurityDescriptor) {
        // The descriptor is read as Windows would: its size from its own fields.
        const BYTE *sd = (const BYTE *)sa->lpSecurityDescriptor;
        size_t size = 20;
        if (Le16(sd + 2) & 0x8000) {
            uint32_t at = Le32(sd + 16);
            size = at + 8 <= 4096 ? at + Le16(sd + at + 2) : 0;
        }
        security = size ? DaclText(sd, size) : "invalid";
        if (security == "invalid") {
            SetLastError(1338);  // ERROR_INVALID_SECURITY_DESCR
            return FALSE;
        }
    }
    if (mkdir(real.c_str(), 0777) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!security.empty()) g_folderSecurity[real] = security;
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path)
{
    if (HostFaultOnPath("RemoveDirectoryA", path)) return FALSE;
    if (PathTooLong(path)) return FALSE;
    std::string real;
    if (!HostResolvePath(path, real) || !RealIsDir(real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    // A folder open without delete sharing (its handle held) cannot go.
    if (HostFileHeldAgainstRename(real)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (rmdir(real.c_str()) != 0) {
        SetLastError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    g_folderSecurity.erase(real);
    return TRUE;
}

UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR buffer)
{
    if (HostFaultOnPath("GetTempFileNameA", folder)) return 0;
    std::string base = folder ? folder : "";
    if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += "\\";
    std::string pre = prefix ? std::string(prefix).substr(0, 3) : "";
    HostMachine &m = HostState();
    for (int attempt = 0; attempt < 0x10000; attempt++) {
        UINT number = unique ? unique : (m.tempUnique++ & 0xFFFF);
        if (number == 0) continue;
        char name[32];
        snprintf(name, sizeof name, "%s%X.TMP", pre.c_str(), number);
        std::string full = base + name;
        if (full.size() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        if (unique) {  // a given number only forms the name
            memcpy(buffer, full.c_str(), full.size() + 1);
            return number;
        }
        HANDLE h = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            memcpy(buffer, full.c_str(), full.size() + 1);
            return number;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return 0;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

// ---- test conveniences -------------------------------------------------------------

bool HostWriteFile(const char *winPath, const std::string &bytes)
{
    std::string real;
    if (!HostResolvePath(winPath, real)) return false;
    FILE *f = fopen(real.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool HostReadFile(const char *winPath, std::string &bytes)
{
    std::string real;
    if (!HostResolvePath(winPath, real)) return false;
    FILE *f = fopen(real.c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    fclose(f);
    return true;
}

bool HostFileExists(const char *winPath)
{
    std::string real;
    return HostResolvePath(winPath, real) && RealExists(real) && !RealIsDir(real);
}

// ---- moving and short names ------------------------------------------------------

BOOL MoveFileA(LPCSTR from, LPCSTR to)
{
    if (HostFaultOnPath("MoveFileA", from, to)) return FALSE;
    if (PathTooLong(from)) return FALSE;  // the new name has no such limit (seen under Wine)
    std::string src, dst;
    if (!HostResolvePath(from, src) || !RealExists(src)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!HostResolvePath(to, dst) || !ParentExists(dst)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    // The same file under another letter case is a rename in place.
    if (RealExists(dst) && HostUpper(src) != HostUpper(dst)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (HostFileHeldAgainstRename(src)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    // renameat, not rename: this layer replaces rename for the simulated disk.
    if (renameat(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str()) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    for (auto &f : g_files)
        if (f.used && f.real == src) f.real = dst;
    for (auto &h : g_holds)
        if (h.real == src) h.real = dst;
    if (g_readOnly.erase(src)) g_readOnly.insert(dst);  // the attribute goes with the file
    return TRUE;
}

// msvcrt's rename goes through the same system call as MoveFileA.
extern "C" int rename(const char *from, const char *to) noexcept
{
    if (HostFaultOnPath("rename", from, to)) return -1;
    return MoveFileA(from, to) ? 0 : -1;
}

// 8.3 aliases. A valid short name is its own alias; a long one gets the first
// usable characters of its name, "~n" and the first three of its extension,
// upper-cased, as the FAT and NTFS file systems form them: n is the lowest
// number that no other name of the folder has taken ("LONGFI~1.TXT",
// "LONGFI~2.TXT", ...; the base gives way to the number as it grows). Names get
// their alias in the order they were made, and keep it.

static bool IsShortName(const std::string &name)
{
    size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    auto plain = [](const std::string &t) {
        for (char c : t)
            if (c == ' ' || c == '.' || c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']')
                return false;
        return true;
    };
    return !base.empty() && base.size() <= 8 && ext.size() <= 3 && plain(base) && plain(ext);
}

static std::string CleanForAlias(const std::string &t, size_t max)
{
    std::string out;
    for (char c : t) {
        if (out.size() == max) break;
        if (c == ' ' || c == '.') continue;
        if (c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']') c = '_';
        out += c;
    }
    return HostUpper(out);
}

// Gives every long name of a folder that has none its alias; returns the
// folder's names by alias (upper-cased).
static std::map<std::string, std::string> FolderAliases(const std::string &realDir)
{
    struct Entry {
        std::string name;
        struct timespec made;
    };
    std::vector<Entry> entries;
    std::set<std::string> taken;
    if (DIR *d = opendir(realDir.c_str())) {
        while (struct dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            struct stat st;
            if (stat((realDir + "/" + n).c_str(), &st) != 0) continue;
            entries.push_back(Entry{n, st.st_ctim});
        }
        closedir(d);
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.made.tv_sec != b.made.tv_sec) return a.made.tv_sec < b.made.tv_sec;
        if (a.made.tv_nsec != b.made.tv_nsec) return a.made.tv_nsec < b.made.tv_nsec;
        return a.name < b.name;
    });
    for (auto &e : entries) {
        if (IsShortName(e.name)) {
            taken.insert(HostUpper(e.name));
            continue;
        }
        auto it = g_aliases.find(realDir + "/" + e.name);
        if (it != g_aliases.end()) taken.insert(it->second);
    }
    std::map<std::string, std::string> byAlias;
    for (auto &e : entries) {
        std::string real = realDir + "/" + e.name;
        if (IsShortName(e.name)) {
            byAlias[HostUpper(e.name)] = e.name;
            continue;
        }
        auto it = g_aliases.find(real);
        if (it == g_aliases.end()) {
            size_t dot = e.name.rfind('.');
            std::string base = dot == std::string::npos ? e.name : e.name.substr(0, dot);
            std::string ext = dot == std::string::npos ? "" : CleanForAlias(e.name.substr(dot + 1), 3);
            for (unsigned n = 1; n < 1000000; n++) {
                std::string tail = "~" + std::to_string(n);
                std::string alias = CleanForAlias(base, std::min<size_t>(6, 8 - tail.size())) + tail;
                if (!ext.empty()) alias += "." + ext;
                if (taken.insert(alias).second) {
                    it = g_aliases.emplace(real, alias).first;
                    break;
                }
            }
        }
        if (it != g_aliases.end()) byAlias[it->second] = e.name;
    }
    return byAlias;
}

static std::string AliasOf(const std::string &realDir, const std::string &name)
{
    if (IsShortName(name)) return name;
    FolderAliases(realDir);
    auto it = g_aliases.find(realDir + "/" + name);
    return it == g_aliases.end() ? name : it->second;
}

bool HostAliasLookup(const std::string &realDir, const std::string &component, std::string &name)
{
    if (component.find('~') == std::string::npos) return false;
    auto byAlias = FolderAliases(realDir);
    auto it = byAlias.find(HostUpper(component));
    if (it == byAlias.end()) return false;
    name = it->second;
    return true;
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size)
{
    if (HostFaultOnPath("GetShortPathNameA", longPath)) return 0;
    if (PathTooLong(longPath)) return 0;
    std::string absolute, real;
    if (!HostAbsolutePath(longPath, absolute) || !HostResolvePath(absolute.c_str(), real) || !RealExists(real)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    // Real names on disk, component by component, each turned into its alias.
    std::string out = absolute.substr(0, 2);
    std::string realPrefix = HostRoot() + "/" + (char)(absolute[0] - 'A' + 'a');
    std::string rest = real.substr(realPrefix.size());
    size_t i = 0;
    std::string dir = realPrefix;
    while (i < rest.size()) {
        size_t start = i + 1, end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        std::string name = rest.substr(start, end - start);
        out += "\\" + AliasOf(dir, name);
        dir += "/" + name;
        i = end;
    }
    if (out.size() == 2) out += "\\";
    if (out.size() + 1 > size) return (DWORD)out.size() + 1;
    memcpy(shortPath, out.c_str(), out.size() + 1);
    return (DWORD)out.size();
}

// ---- file search -------------------------------------------------------------------

struct HostSearch {
    bool used;
    std::vector<std::string> names;  // matches, in the order they are returned
    std::vector<bool> folders;
    std::string realDir;
    size_t next;
};
static const int kMaxSearches = 16;
static HostSearch g_searches[kMaxSearches];
static const uintptr_t kSearchBase = 0x5000;  // apart from file and token handles

void HostResetSearches()
{
    for (auto &s : g_searches) s = HostSearch();
}

// Windows' wildcard match, ignoring case: "*" any run, "?" one character.
static bool WildMatch(const char *pattern, const char *name)
{
    if (!*pattern) return !*name;
    if (*pattern == '*') return WildMatch(pattern + 1, name) || (*name && WildMatch(pattern, name + 1));
    if (!*name) return false;
    if (*pattern != '?' && toupper((unsigned char)*pattern) != toupper((unsigned char)*name)) return false;
    return WildMatch(pattern + 1, name + 1);
}

static bool PatternMatches(const std::string &pattern, const std::string &name)
{
    if (pattern == "*" || pattern == "*.*") return true;
    // A trailing ".*" also takes names without an extension, as on Windows.
    if (pattern.size() > 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 && name.find('.') == std::string::npos &&
        WildMatch(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str()))
        return true;
    return WildMatch(pattern.c_str(), name.c_str());
}

static void FillFindData(HostSearch &s, LPWIN32_FIND_DATAA data)
{
    memset(data, 0, sizeof *data);
    const std::string &name = s.names[s.next];
    bool folder = s.folders[s.next];
    s.next++;
    data->dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (!folder && IsReadOnly(s.realDir + "/" + name)) data->dwFileAttributes = FILE_ATTRIBUTE_READONLY;
    snprintf(data->cFileName, sizeof data->cFileName, "%s", name.c_str());
    if (name != "." && name != ".." && !IsShortName(name))
        snprintf(data->cAlternateFileName, sizeof data->cAlternateFileName, "%s",
                 AliasOf(s.realDir, name).c_str());
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    if (HostFaultOnPath("FindFirstFileA", pattern)) return INVALID_HANDLE_VALUE;
    if (PathTooLong(pattern)) return INVALID_HANDLE_VALUE;
    std::string p = pattern ? pattern : "";
    size_t slash = p.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? "." : p.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? p : p.substr(slash + 1);
    std::string realDir;
    if (mask.empty() || !HostResolvePath(folder.c_str(), realDir) || !RealIsDir(realDir)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HostSearch s = HostSearch();
    s.used = true;
    s.realDir = realDir;
    std::string absolute;
    bool driveRoot = HostAbsolutePath(folder.c_str(), absolute) && absolute.size() <= 3;
    std::vector<std::string> entries;
    if (DIR *d = opendir(realDir.c_str())) {
        while (struct dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") entries.push_back(n);
        }
        closedir(d);
    }
    std::sort(entries.begin(), entries.end(),
              [](const std::string &a, const std::string &b) { return HostUpper(a) < HostUpper(b); });
    if (!driveRoot) entries.insert(entries.begin(), {".", ".."});
    for (const std::string &n : entries) {
        // A short alias matches too, as Windows matches both names.
        bool match = PatternMatches(mask, n) ||
                     (n != "." && n != ".." && !IsShortName(n) && PatternMatches(mask, AliasOf(realDir, n)));
        if (!match) continue;
        s.names.push_back(n);
        s.folders.push_back(n == "." || n == ".." || RealIsDir(realDir + "/" + n));
    }
    if (s.names.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    for (int i = 0; i < kMaxSearches; i++)
        if (!g_searches[i].used) {
            g_searches[i] = s;
            FillFindData(g_searches[i], data);
            return (HANDLE)(kSearchBase + (uintptr_t)i);
        }
    SetLastError(4);  // ERROR_TOO_MANY_OPEN_FILES
    return INVALID_HANDLE_VALUE;
}

static HostSearch *SearchFromHandle(HANDLE h)
{
    uintptr_t i = (uintptr_t)h - kSearchBase;
    if ((uintptr_t)h < kSearchBase || i >= (uintptr_t)kMaxSearches || !g_searches[i].used) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &g_searches[i];
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data)
{
    HostSearch *s = SearchFromHandle(find);
    if (!s) return FALSE;
    if (HostFault("FindNextFileA")) return FALSE;
    if (s->next >= s->names.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    FillFindData(*s, data);
    return TRUE;
}

BOOL FindClose(HANDLE find)
{
    HostSearch *s = SearchFromHandle(find);
    if (!s) return FALSE;
    *s = HostSearch();
    return TRUE;
}

int HostOpenSearches()
{
    int n = 0;
    for (auto &s : g_searches) n += s.used;
    return n;
}
