// What the simulated disk does as Windows does where Wine, run as root or in
// its own way, is laxer, so that the shared cases cannot pin it: writing a
// read-only file, opening a file whose deletion is pending, deleting a running
// program, and the numbering of short names.
#include "machine_fixture.h"

class Files : public MachineTest {};

static HANDLE Open(const char *path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(Files, ReadOnlyFileCannotBeWrittenOrReplaced)
{
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\ro.txt", "kept"));
    ASSERT_TRUE(SetFileAttributesA("C:\\TEMP\\ro.txt", FILE_ATTRIBUTE_READONLY));
    for (DWORD disposition : {(DWORD)OPEN_EXISTING, (DWORD)OPEN_ALWAYS, (DWORD)CREATE_ALWAYS, (DWORD)TRUNCATE_EXISTING}) {
        SCOPED_TRACE(disposition);
        SetLastError(0);
        EXPECT_EQ(Open("C:\\TEMP\\ro.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(ReadText("C:\\TEMP\\ro.txt"), "kept");
    ASSERT_TRUE(SetFileAttributesA("C:\\TEMP\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    HANDLE h = Open("C:\\TEMP\\ro.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(Files, DeletePendingFileCannotBeOpened)
{
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\p.txt", "x"));
    HANDLE h = Open("C:\\TEMP\\p.txt", GENERIC_READ, all, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(DeleteFileA("C:\\TEMP\\p.txt"));
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\p.txt"));
    for (DWORD disposition : {(DWORD)OPEN_EXISTING, (DWORD)CREATE_ALWAYS, (DWORD)OPEN_ALWAYS}) {
        SCOPED_TRACE(disposition);
        SetLastError(0);
        EXPECT_EQ(Open("C:\\TEMP\\p.txt", GENERIC_READ, all, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    CloseHandle(h);
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\p.txt"));

    // Another program's hold with delete sharing: gone when it lets go.
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\q.txt", "x"));
    ASSERT_TRUE(HostHoldFile("C:\\TEMP\\q.txt", all, false));
    ASSERT_TRUE(DeleteFileA("C:\\TEMP\\q.txt"));
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\q.txt"));
    HostReleaseFile("C:\\TEMP\\q.txt");
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\q.txt"));
}

// A running program's image can be renamed but not deleted: ERROR_ACCESS_DENIED
// (the system's "cannot delete"), not a sharing violation.
TEST_F(Files, RunningProgramCannotBeDeleted)
{
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\prog.exe", "MZ"));
    ASSERT_TRUE(HostHoldFile("C:\\TEMP\\prog.exe", FILE_SHARE_READ, true));
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA("C:\\TEMP\\prog.exe"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(MoveFileA("C:\\TEMP\\prog.exe", "C:\\TEMP\\prog.old"));
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA("C:\\TEMP\\prog.old"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    HostReleaseFile("C:\\TEMP\\prog.old");
    EXPECT_TRUE(DeleteFileA("C:\\TEMP\\prog.old"));
}

// Long names alike are numbered in the order they were made, as FAT and NTFS
// do: ~1, ~2, ~3; a short path opens the file it stands for.
TEST_F(Files, ShortNamesAreNumberedAndOpen)
{
    HostMakeFolder("C:\\Program Files\\Vantro Pro");
    const char *names[] = {"Long File Name One.text", "Long File Name Two.text", "Long File Name Three.text"};
    const char *expected[] = {"C:\\PROGRA~1\\VANTRO~1\\LONGFI~1.TEX", "C:\\PROGRA~1\\VANTRO~1\\LONGFI~2.TEX",
                              "C:\\PROGRA~1\\VANTRO~1\\LONGFI~3.TEX"};
    for (int i = 0; i < 3; i++) {
        std::string path = std::string("C:\\Program Files\\Vantro Pro\\") + names[i];
        ASSERT_TRUE(HostWriteFile(path.c_str(), names[i]));
        char out[MAX_PATH];
        ASSERT_GT(GetShortPathNameA(path.c_str(), out, sizeof out), 0u);
        EXPECT_STREQ(out, expected[i]);
    }
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(ReadText(expected[i]), names[i]);
        HANDLE h = Open(expected[i], GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    // A name keeps its alias when an earlier one goes.
    ASSERT_TRUE(DeleteFileA(expected[0]));
    char out[MAX_PATH];
    ASSERT_GT(GetShortPathNameA("C:\\Program Files\\Vantro Pro\\Long File Name Three.text", out, sizeof out), 0u);
    EXPECT_STREQ(out, expected[2]);
}
