// What only the simulated machine can show of the profile functions: where
// WIN.INI really lives, and how injected faults look to the caller. (Their
// answers on INI files are pinned in shared/profile_cases.cpp.)
#include <string>

#include <gtest/gtest.h>

#include "machine.h"
#include "platform.h"
#include "shared/xplat.h"

namespace {

class ProfileHost : public testing::Test {
protected:
    void SetUp() override
    {
        XplatSetUp();
        if (HasFatalFailure()) return;
        path = XplatScratchPath("opts.ini");
        ASSERT_TRUE(XplatWriteFile(path, "[INSTALL]\r\nQUIET=TRUE\r\n"));
    }
    std::string path;
};

TEST_F(ProfileHost, WinIniIsTheWindowsFoldersFile)
{
    ASSERT_TRUE(WriteProfileStringA("Vantro", "DIR", "C:\\VANTRO"));
    std::string bytes;
    ASSERT_TRUE(HostReadFile("C:\\WINDOWS\\WIN.INI", bytes));
    EXPECT_EQ(bytes, "[Vantro]\r\nDIR=C:\\VANTRO\r\n");
}

TEST_F(ProfileHost, FailedReadGivesTheDefault)
{
    char value[32];
    HostFailCall("GetPrivateProfileStringA", 1, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetPrivateProfileStringA("INSTALL", "QUIET", "FALSE", value, sizeof value, path.c_str()), 5u);
    EXPECT_STREQ(value, "FALSE");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    // Only the nth call fails.
    EXPECT_EQ(GetPrivateProfileStringA("INSTALL", "QUIET", "FALSE", value, sizeof value, path.c_str()), 4u);
    EXPECT_STREQ(value, "TRUE");

    HostFailCall("GetPrivateProfileStringA", 1, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetPrivateProfileStringA(NULL, NULL, "", value, sizeof value, path.c_str()), 0u);
    EXPECT_STREQ(value, "");
}

TEST_F(ProfileHost, FailedWriteLeavesTheFile)
{
    HostFailCall("WritePrivateProfileStringA", 0, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WritePrivateProfileStringA("INSTALL", "QUIET", "FALSE", path.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WritePrivateProfileStringA("INSTALL", NULL, NULL, path.c_str()));
    std::string bytes;
    ASSERT_TRUE(XplatReadFile(path, bytes));
    EXPECT_EQ(bytes, "[INSTALL]\r\nQUIET=TRUE\r\n");
}

TEST_F(ProfileHost, FileHeldForReadingOnlyCanBeReadNotWritten)
{
    ASSERT_TRUE(HostHoldFile(path.c_str(), FILE_SHARE_READ, false));
    char value[32];
    EXPECT_EQ(GetPrivateProfileStringA("INSTALL", "QUIET", "FALSE", value, sizeof value, path.c_str()), 4u);
    EXPECT_STREQ(value, "TRUE");
    EXPECT_FALSE(WritePrivateProfileStringA("INSTALL", "QUIET", "FALSE", path.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    HostReleaseFile(path.c_str());
    std::string bytes;
    ASSERT_TRUE(XplatReadFile(path, bytes));
    EXPECT_EQ(bytes, "[INSTALL]\r\nQUIET=TRUE\r\n");
}

TEST_F(ProfileHost, WinIniFaultsAreTheirOwn)
{
    ASSERT_TRUE(WriteProfileStringA("Vantro", "INSTOPTS", "12"));
    char value[32];
    HostFailCall("GetProfileStringA", 1, ERROR_READ_FAULT);
    EXPECT_EQ(GetProfileStringA("Vantro", "INSTOPTS", "none", value, sizeof value), 4u);
    EXPECT_STREQ(value, "none");
    HostFailCall("GetProfileIntA", 1, ERROR_READ_FAULT);
    EXPECT_EQ(GetProfileIntA("Vantro", "INSTOPTS", 0), 0u);
    EXPECT_EQ(GetProfileIntA("Vantro", "INSTOPTS", 0), 12u);

    HostFailCall("WriteProfileStringA", 1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteProfileStringA("Vantro", NULL, NULL));
    EXPECT_EQ(GetProfileIntA("Vantro", "INSTOPTS", 0), 12u);
    // A fault on the private-file call does not touch WIN.INI's.
    HostFailCall("WritePrivateProfileStringA", 0, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(WriteProfileStringA("Vantro", NULL, NULL));
    EXPECT_EQ(GetProfileIntA("Vantro", "INSTOPTS", 0), 0u);
}

}  // namespace
