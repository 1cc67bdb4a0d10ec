// How the file calls the installer makes answer at the edges: the path limit,
// the read-only attribute, a file deleted while still open, and short names.
// The same cases run on the host against the simulated machine and under Wine
// against the real calls; both must give the same answers.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "platform.h"
#include "shared/xplat.h"

namespace {

// A path in the scratch folder of exactly `length` characters.
std::string PathOfLength(size_t length)
{
    std::string folder = XplatScratchFolder();
    std::string name(length - folder.size() - 1, 'p');
    name[name.size() - 4] = '.';  // "ppp...p.ppp"
    return folder + "\\" + name;
}

HANDLE Open(const std::string &path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

// What one call did: "ok" or its error code.
std::string Outcome(bool ok)
{
    return ok ? "ok" : std::to_string(GetLastError());
}

// The ANSI file calls at the path limit: for paths of 259 to 262 characters,
// what CreateFileA, GetFileAttributesA, DeleteFileA, MoveFileA (to the path and
// back), GetShortPathNameA, SetFileAttributesA, CreateDirectoryA and
// RemoveDirectoryA answer. Seen under Wine: 260 characters work (the ANSI path
// is converted into a buffer of MAX_PATH + 1 characters), 261 fail with
// ERROR_FILENAME_EXCED_RANGE; only MoveFileA's new name has no such limit.
TEST(FileCases, PathLimit)
{
    XplatSetUp();
    std::string source = XplatScratchPath("source.txt");
    std::string seen;
    for (size_t length = 259; length <= 262; length++) {
        std::string path = PathOfLength(length);
        ASSERT_EQ(path.size(), length);
        ASSERT_TRUE(XplatWriteFile(source, "x"));
        seen += std::to_string(length) + ":";
        SetLastError(0);
        HANDLE h = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
        seen += " create " + Outcome(h != INVALID_HANDLE_VALUE);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        SetLastError(0);
        seen += " attributes " + Outcome(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
        SetLastError(0);
        seen += " delete " + Outcome(DeleteFileA(path.c_str()) != FALSE);
        SetLastError(0);
        seen += " move " + Outcome(MoveFileA(source.c_str(), path.c_str()) != FALSE);
        SetLastError(0);
        seen += " move-back " + Outcome(MoveFileA(path.c_str(), source.c_str()) != FALSE);
        char shortPath[MAX_PATH + 8];
        SetLastError(0);
        DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
        seen += " short " + Outcome(n > 0);
        SetLastError(0);
        seen += " attrs " + Outcome(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE);
        DeleteFileA(path.c_str());
        SetLastError(0);
        seen += " mkdir " + Outcome(CreateDirectoryA(path.c_str(), nullptr) != FALSE);
        SetLastError(0);
        seen += " rmdir " + Outcome(RemoveDirectoryA(path.c_str()) != FALSE);
        seen += "\n";
    }
    DeleteFileA(source.c_str());
    EXPECT_EQ(seen,
              "259: create ok attributes ok delete ok move ok move-back ok short 2 attrs 2 mkdir ok rmdir ok\n"
              "260: create ok attributes ok delete ok move ok move-back ok short 2 attrs 2 mkdir ok rmdir ok\n"
              "261: create 206 attributes 206 delete 206 move ok move-back 206 short 206 attrs 206 mkdir 206 rmdir 206\n"
              "262: create 206 attributes 206 delete 206 move ok move-back 206 short 206 attrs 206 mkdir 206 rmdir 206\n");
}

// The read-only attribute: a read-only file can be read and renamed (keeping
// the attribute) but not deleted, whoever runs the program. (Writing it is
// refused too on Windows, but Wine run as root lets root write it, so that
// line is pinned on the host only.)
TEST(FileCases, ReadOnlyAttribute)
{
    XplatSetUp();
    std::string path = XplatScratchPath("locked.txt"), moved = XplatScratchPath("moved.txt");
    ASSERT_TRUE(XplatWriteFile(path, "kept"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    DWORD attributes = GetFileAttributesA(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
    std::string seen;
    SetLastError(0);
    HANDLE h = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    seen += "read " + Outcome(h != INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    SetLastError(0);
    seen += " delete " + Outcome(DeleteFileA(path.c_str()) != FALSE);
    SetLastError(0);
    seen += " move " + Outcome(MoveFileA(path.c_str(), moved.c_str()) != FALSE);
    attributes = GetFileAttributesA(moved.c_str());
    seen += std::string(" moved-readonly ") +
            (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) ? "yes" : "no");
    EXPECT_EQ(seen, "read ok delete 5 move ok moved-readonly yes");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(moved.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    DeleteFileA(moved.c_str());
}

// A file deleted while a handle that shares deletion holds it open keeps its
// name until the handle closes, and the handle still reads it. (Windows also
// refuses to open the name meanwhile; Wine 8 lets it open, so that line is
// pinned on the host only.)
TEST(FileCases, DeletePending)
{
    XplatSetUp();
    std::string path = XplatScratchPath("pending.txt");
    ASSERT_TRUE(XplatWriteFile(path, "soon gone"));
    HANDLE h = Open(path, GENERIC_READ, kShareAll, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::string seen;
    SetLastError(0);
    seen += "delete " + Outcome(DeleteFileA(path.c_str()) != FALSE);
    SetLastError(0);
    seen += " attributes " + Outcome(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    SetLastError(0);
    seen += " delete-again " + Outcome(DeleteFileA(path.c_str()) != FALSE);
    char buffer[16] = {};
    DWORD got = 0;
    SetLastError(0);
    seen += " read " + Outcome(ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got == 9);
    CloseHandle(h);
    SetLastError(0);
    seen += " | closed: attributes " + Outcome(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(seen, "delete ok attributes ok delete-again ok read ok | closed: attributes 2");

    // Without delete sharing the deletion is refused at once.
    ASSERT_TRUE(XplatWriteFile(path, "again"));
    h = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(h);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

// Long names that begin alike get distinct 8.3 names, and a short path opens
// the file it stands for.
TEST(FileCases, ShortNames)
{
    XplatSetUp();
    const char *names[] = {"Long File Name One.text", "Long File Name Two.text", "Long File Name Three.text"};
    std::string shorts[3];
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(names[i]);
        std::string path = XplatScratchPath(names[i]);
        ASSERT_TRUE(XplatWriteFile(path, std::string("contents ") + names[i]));
        char out[MAX_PATH];
        DWORD n = GetShortPathNameA(path.c_str(), out, sizeof out);
        ASSERT_TRUE(n > 0 && n < sizeof out) << GetLastError();
        EXPECT_EQ(n, strlen(out));
        std::string s = out;
        std::string name = s.substr(s.rfind('\\') + 1);
        size_t dot = name.find('.');
        ASSERT_NE(dot, std::string::npos) << name;
        EXPECT_LE(dot, 8u) << name;
        EXPECT_EQ(name.size() - dot - 1, 3u) << name;
        EXPECT_EQ(name.find(' '), std::string::npos) << name;
        for (int j = 0; j < i; j++) EXPECT_NE(name, shorts[j]);
        shorts[i] = name;
        std::string bytes;
        EXPECT_TRUE(XplatReadFile(s, bytes)) << s;
        EXPECT_EQ(bytes, std::string("contents ") + names[i]);
    }
    char out[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(GetShortPathNameA(XplatScratchPath("no such file.text").c_str(), out, sizeof out), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}
