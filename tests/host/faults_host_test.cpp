// Fault injection of the simulated machine: a call chosen by its API, or by its
// API and argument (a path, a registry subkey or value name), and the counts of
// calls that let a test see that its fault was met.
#include "machine_fixture.h"

class Faults : public MachineTest {};

static HANDLE Create(const char *path)
{
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(Faults, ByPathIgnoringCaseAndForm)
{
    HostMakeFolder("C:\\DEST");
    HostFailCallOn("CreateFileA", "C:\\DEST\\tcore32.dll", 2, ERROR_WRITE_FAULT);
    HANDLE h = Create("C:\\TEMP\\other.dll");  // another path: not counted
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    h = Create("c:\\dest\\TCORE32.DLL");  // first call on that path
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    SetCurrentDirectoryA("C:\\DEST");
    EXPECT_EQ(Create("tcore32.dll"), INVALID_HANDLE_VALUE);  // the second, named relatively
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_WRITE_FAULT);
    EXPECT_EQ(HostFaultsFired(), 1);
    h = Create("C:\\DEST\\tcore32.dll");
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(HostCallCount("CreateFileA"), 4);
    EXPECT_EQ(HostCallCount("CreateFileA", "C:\\DEST\\TCORE32.dll"), 3);
    EXPECT_EQ(HostCallCount("CreateFileA", "C:\\TEMP\\other.dll"), 1);
    EXPECT_EQ(HostCallCount("DeleteFileA"), 0);
}

TEST_F(Faults, ReadsAndWritesByTheirFilesPath)
{
    HostFailCallOn("WriteFile", "C:\\TEMP\\b.txt", 0, ERROR_HANDLE_DISK_FULL);
    HANDLE a = Create("C:\\TEMP\\a.txt");
    HANDLE b = Create("C:\\TEMP\\B.TXT");
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(a, "x", 1, &n, nullptr));
    EXPECT_FALSE(WriteFile(b, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_HANDLE_DISK_FULL);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(HostCallCount("WriteFile", "c:\\temp\\b.txt"), 1);
    // A move is chosen by either of its names.
    HostFailCallOn("MoveFileA", "C:\\TEMP\\c.txt", 1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(MoveFileA("C:\\TEMP\\a.txt", "C:\\TEMP\\c.txt"));
    EXPECT_TRUE(MoveFileA("C:\\TEMP\\a.txt", "C:\\TEMP\\d.txt"));
}

TEST_F(Faults, RegistryBySubkeyAndValueName)
{
    HostFailCallOn("RegSetValueExA", "brenmoor1", 1, ERROR_ACCESS_DENIED);
    HostFailCallOn("RegOpenKeyExA", "RunOnce", 0, ERROR_ACCESS_DENIED);
    HKEY parent;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_ALL_ACCESS,
                            &parent),
              ERROR_SUCCESS);
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(parent, "runonce", 0, KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegOpenKeyExA(parent, "Run", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Brenmoor0", 0, REG_SZ, (const BYTE *)"a", 2), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Brenmoor1", 0, REG_SZ, (const BYTE *)"b", 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueExA(key, "Brenmoor1", 0, REG_SZ, (const BYTE *)"b", 2), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(parent);
    EXPECT_EQ(HostFaultsFired(), 2);
    EXPECT_EQ(HostCallCount("RegSetValueExA"), 3);
    EXPECT_EQ(HostCallCount("RegSetValueExA", "BRENMOOR1"), 2);
}

TEST_F(Faults, ByCallNumberAsBefore)
{
    HostFailCall("GetFileAttributesA", 2, ERROR_ACCESS_DENIED);
    EXPECT_NE(GetFileAttributesA("C:\\TEMP"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA("C:\\TEMP"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_NE(GetFileAttributesA("C:\\TEMP"), INVALID_FILE_ATTRIBUTES);
    HostClearFaults();
    EXPECT_EQ(HostFaultsFired(), 0);
    EXPECT_EQ(HostCallCount("GetFileAttributesA"), 3);
}
