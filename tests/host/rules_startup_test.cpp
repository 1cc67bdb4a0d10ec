// Start-up works in a temporary folder it can write to, or not at all: a
// temporary folder that cannot be named or written gives way to the Windows
// folder's Temp; with neither, nothing is installed and the run says so (a
// message, or the failure exit code unattended). The temporary folder loses
// one final separator of either kind; with administrator rights the run's
// files go into a folder of its own inside it.
#include <string.h>

#include "app/main.h"
#include "app/options.h"
#include "app/workfolder.h"
#include "resource.h"
#include "rules_fixture.h"

namespace {

class RulesStartup : public RulesTest {};

TEST_F(RulesStartup, ATemporaryFolderThatFailsGivesWayToTheWindowsTemp)
{
    struct Row {
        const char *name;
        const char *api;
        int nth;
        const char *temp;  // the temporary folder the run used, null: none
    } rows[] = {
        {"the system names none", "GetTempPathW", 0, "C:\\WINDOWS\\Temp"},
        {"a file cannot be made in it", "GetTempFileNameA", 1, "C:\\WINDOWS\\Temp"},
        {"the change of folder fails", "SetCurrentDirectoryA", 0, "C:\\TEMP"},
        {"no folder can be written", "GetTempFileNameA", 0, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        Options("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n");
        HostFailCall(row.api, row.nth, ERROR_ACCESS_DENIED);
        EXPECT_EQ(RunSetup(), row.temp ? 0 : 1603);
        ExpectNothingShown();
        EXPECT_EQ(g_bSilent, 1);  // the options beside the program were read
        EXPECT_EQ(HostFileExists("C:\\Program Files\\Vantro Pro\\tclassic.exe"), row.temp != nullptr);
        if (row.temp) {
            EXPECT_STREQ(g_szTempFolder, row.temp);
            EXPECT_NE(ReadText((std::string(row.temp) + "\\setup.log").c_str()).find("Exit code 0: installed."),
                      std::string::npos);
        }
    }
}

TEST_F(RulesStartup, NoWritableTemporaryFolderIsTold)
{
    HostFailCall("GetTempFileNameA", 0, ERROR_ACCESS_DENIED);
    HostAnswerMessageBox(IDOK);
    EXPECT_EQ(RunSetup(), 1603);
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, HostStringTableText(MSG_NO_TEMP_FOLDER));
    EXPECT_EQ(HostMessageBoxes()[0].caption, "Install");
    EXPECT_EQ(HostMessageBoxes()[0].type, MB_OK | MB_ICONERROR);
    EXPECT_TRUE(HostWindows().empty());  // nothing else started
    // An installer that carries its options is made to run unattended: it
    // asks no one even when they cannot be read.
    HostStartProcess();
    ResetInstallerState();
    HostSetResource("EXE", "INSTINI", "[INSTALL]\r\nQUIET=0\r\n");
    HostFailCall("GetTempFileNameA", 0, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunSetup(), 1603);
    EXPECT_TRUE(HostMessageBoxes().empty());
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
        EXPECT_STREQ(g_szTempFolder, row.current);
        // The run works in a folder of its own inside it, made current.
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(sizeof cwd, cwd);
        EXPECT_STREQ(cwd, g_szWorkFolder);
        EXPECT_EQ(std::string(cwd).substr(0, strlen(row.current) + 1), std::string(row.current) + "\\");
        // The scratch file's bare name, made in that folder.
        EXPECT_EQ(strncmp(g_szTempName, "WFT", 3), 0);
        EXPECT_EQ(strchr(g_szTempName, '\\'), nullptr);
        EXPECT_EQ(strchr(g_szTempName, '/'), nullptr);
        EXPECT_TRUE(HostFileExists((std::string(cwd) + "\\" + g_szTempName).c_str()));
        // The embedded options file was written there and read.
        EXPECT_TRUE(HostFileExists((std::string(cwd) + "\\Install.ini").c_str()));
        EXPECT_STREQ(g_szLine1, "embedded");
        DestroyWindow(g_hMainWnd);
        RemoveWorkFolder();
    }
}

}  // namespace
