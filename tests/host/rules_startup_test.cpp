// Start-up reports none of its own failures: a missing temporary folder, a
// change of folder or a scratch file that fails; the run goes on with what it
// finds. And the temporary folder loses one final separator of either kind.
#include <string.h>

#include "app/main.h"
#include "app/options.h"
#include "rules_fixture.h"

namespace {

class RulesStartup : public RulesTest {};

TEST_F(RulesStartup, FailuresOfTheTemporaryFolderAreNotReported)
{
    struct Row {
        const char *name;
        const char *api;
        bool installs;  // the files still reach the destination
    } rows[] = {
        {"no temporary folder", "GetTempPathA", true},
        {"the change of folder fails", "SetCurrentDirectoryA", true},
        {"no scratch file", "GetTempFileNameA", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        Options("[INSTALL]\r\nQUIET=1\r\n");
        HostFailCall(row.api, 0, ERROR_ACCESS_DENIED);
        EXPECT_EQ(RunSetup(), 0);
        ExpectNothingShown();
        // The main window was made and the start command ran to its end.
        std::vector<HostWindowInfo> windows = HostWindows();
        ASSERT_GE(windows.size(), 1u);
        EXPECT_EQ(windows[0].className, "VNInstal");
        EXPECT_TRUE(windows[0].destroyed);
        EXPECT_EQ(g_bSilent, 1);  // the options beside the program were read
        EXPECT_EQ(HostFileExists("C:\\Program Files\\Vantro Pro\\tclassic.exe"), row.installs);
    }
}

TEST_F(RulesStartup, OneFinalSeparatorComesOffTheTemporaryFolder)
{
    struct Row {
        const char *temp;
        const char *current;
    } rows[] = {
        {"C:\\Users\\Me\\Temp/", "C:\\Users\\Me\\Temp"},
        {"C:\\Users\\Me\\Temp\\", "C:\\Users\\Me\\Temp"},
        {"C:\\Users\\Me\\Temp", "C:\\Users\\Me\\Temp"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.temp);
        MachineTest::TearDown();
        SetUp();
        HostMakeFolder("C:\\Users\\Me\\Temp");
        HostSetTempPath(row.temp);
        HostSetResource("EXE", "INSTINI", "[INSTALL]\r\nQUIET=1\r\nLINE1=embedded\r\n");
        int exitCode;
        ASSERT_EQ(InitSetup(GetModuleHandleA(nullptr), nullptr, &exitCode), 1);
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(sizeof cwd, cwd);
        EXPECT_STREQ(cwd, row.current);
        // The scratch file's bare name, made in that folder.
        EXPECT_EQ(strncmp(g_szTempName, "WFT", 3), 0);
        EXPECT_EQ(strchr(g_szTempName, '\\'), nullptr);
        EXPECT_EQ(strchr(g_szTempName, '/'), nullptr);
        EXPECT_TRUE(HostFileExists((std::string(row.current) + "\\" + g_szTempName).c_str()));
        // The embedded options file was written there and read.
        EXPECT_TRUE(HostFileExists("C:\\Users\\Me\\Temp\\Install.ini"));
        EXPECT_STREQ(g_szLine1, "embedded");
        DestroyWindow(g_hMainWnd);
    }
}

}  // namespace
