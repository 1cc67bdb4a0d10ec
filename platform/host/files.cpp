// Files and folders of the simulated machine: handles with Windows' sharing
// rules, scratch names, attributes, and files held open by other programs.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

struct HostFile {
    bool used;
    int fd;
    std::string real;  // resolved path, the identity of the file for sharing
    DWORD access;
    DWORD share;
    std::string path;  // the Windows path it was opened by, for faults chosen by path
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

void HostResetFiles()
{
    for (auto &f : g_files) {
        if (f.used) close(f.fd);
        f = HostFile();
    }
    g_holds.clear();
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
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE)
{
    if (HostFaultOnPath("CreateFileA", path)) return INVALID_HANDLE_VALUE;
    std::string real;
    if (!HostResolvePath(path, real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!ParentExists(real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (RealIsDir(real)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    bool exists = RealExists(real);
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
    int slot = -1;
    for (int i = 0; i < kMaxFiles; i++)
        if (!g_files[i].used) {
            slot = i;
            break;
        }
    if (slot < 0) {
        SetLastError(4);  // ERROR_TOO_MANY_OPEN_FILES
        return INVALID_HANDLE_VALUE;
    }
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
        flags |= O_CREAT;
    if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) flags |= O_TRUNC;
    int fd = open(real.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    std::string absolute;
    HostAbsolutePath(path, absolute);  // succeeded above, in HostResolvePath
    g_files[slot] = HostFile{true, fd, real, access, share, absolute};
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

BOOL CloseHandle(HANDLE handle)
{
    if (HostCloseToken(handle)) return TRUE;
    HostFile *f = FileFromHandle(handle);
    if (!f) return FALSE;
    close(f->fd);
    *f = HostFile();
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    if (HostFaultOnPath("GetFileAttributesA", path)) return INVALID_FILE_ATTRIBUTES;
    std::string real;
    struct stat st;
    if (!HostResolvePath(path, real) || stat(real.c_str(), &st) != 0) {
        SetLastError(ParentExists(real) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return (st.st_mode & 0200) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

BOOL DeleteFileA(LPCSTR path)
{
    if (HostFaultOnPath("DeleteFileA", path)) return FALSE;
    std::string real;
    if (!HostResolvePath(path, real) || !RealExists(real)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (RealIsDir(real)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (SharingConflict(real, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    struct stat st;
    if (stat(real.c_str(), &st) == 0 && !(st.st_mode & 0200)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(real.c_str()) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES)
{
    if (HostFaultOnPath("CreateDirectoryA", path)) return FALSE;
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
    if (mkdir(real.c_str(), 0777) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path)
{
    if (HostFaultOnPath("RemoveDirectoryA", path)) return FALSE;
    std::string real;
    if (!HostResolvePath(path, real) || !RealIsDir(real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (rmdir(real.c_str()) != 0) {
        SetLastError(145);  // ERROR_DIR_NOT_EMPTY
        return FALSE;
    }
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
    return TRUE;
}

// msvcrt's rename goes through the same system call as MoveFileA.
extern "C" int rename(const char *from, const char *to) noexcept
{
    if (HostFaultOnPath("rename", from, to)) return -1;
    return MoveFileA(from, to) ? 0 : -1;
}

// The 8.3 alias of one name: a valid short name is its own alias; a long one
// becomes the first six usable characters, "~1" and the first three of its
// extension, upper-cased, as the FAT file systems form them.
static std::string ShortAlias(const std::string &name)
{
    size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    auto plain = [](const std::string &s) {
        for (char c : s)
            if (c == ' ' || c == '.' || c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']')
                return false;
        return true;
    };
    if (!base.empty() && base.size() <= 8 && ext.size() <= 3 && plain(base) && plain(ext)) return name;
    auto clean = [](const std::string &s, size_t max) {
        std::string out;
        for (char c : s) {
            if (c == ' ' || c == '.') continue;
            if (c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']') c = '_';
            out += c;
            if (out.size() == max) break;
        }
        return HostUpper(out);
    };
    std::string alias = clean(base, 6) + "~1";
    std::string shortExt = clean(ext, 3);
    return shortExt.empty() ? alias : alias + "." + shortExt;
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size)
{
    if (HostFaultOnPath("GetShortPathNameA", longPath)) return 0;
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
    while (i < rest.size()) {
        size_t start = i + 1, end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        out += "\\" + ShortAlias(rest.substr(start, end - start));
        i = end;
    }
    if (out.size() == 2) out += "\\";
    if (out.size() + 1 > size) return (DWORD)out.size() + 1;
    memcpy(shortPath, out.c_str(), out.size() + 1);
    return (DWORD)out.size();
}
