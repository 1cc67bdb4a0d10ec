// An elevated run that no other program of the user can take over: the
// library search, the run's own working folder, the temporary folder it can
// use whatever the user's name, the log never written through a link, and the
// values that reach Program Manager's commands.
#include <string.h>
#include <unistd.h>

#include "app/libraries.h"
#include "app/main.h"
#include "app/options.h"
#include "app/workfolder.h"
#include "progman/progman.h"
#include "removal/uninstall.h"
#include "resource.h"
#include "rules_fixture.h"

namespace {

// A value of the uninstall entry, "" when missing.
std::string RegText(const char *name)
{
    std::string data;
    if (!HostRegGetValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantroPro", name, nullptr,
                         &data))
        return "";
    return data.substr(0, data.find('\0'));
}

class Elevated : public RulesTest {
protected:
    // The unattended options beside the program, with the log on.
    void Unattended(const std::string &more = "")
    {
        Options("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n" + more);
    }
    // The run's own folders left in C:\TEMP (there should be none after a run).
    std::vector<std::string> OwnFoldersLeft(const char *temp = "C:\\TEMP")
    {
        std::vector<std::string> left;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((std::string(temp) + "\\VNS*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return left;
        do left.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
        return left;
    }
};

// The search is restricted before anything is loaded, as far as the system
// allows; product libraries are loaded with their own folder and the system
// for what they import.
TEST_F(Elevated, LibrariesComeFromTheSystemOrTheProductFolder)
{
    struct Row {
        const char *name;
        int major, minor;
        DWORD defaultDirectories;  // what SetDefaultDllDirectories was given, 0: not called
        const char *dllDirectory;  // what SetDllDirectoryA was given, null: not called
        DWORD loadFlags;           // every product library's LoadLibraryExA flags
    } rows[] = {
        {"Windows 10", 10, 0, 0x800, nullptr, 0x900},
        {"Windows 7 with the update", 6, 1, 0x800, nullptr, 0x900},
        {"Windows XP", 5, 1, 0, "", 0x8},
        {"NT 4", 4, 0, 0, nullptr, 0x8},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        HostSetVersion(row.major, row.minor, 1000, VER_PLATFORM_WIN32_NT);
        Unattended();
        EXPECT_EQ(RunSetup(), 0);
        const HostLibrarySearch &search = HostLibrarySearchState();
        EXPECT_EQ(search.defaultDirectories, row.defaultDirectories);
        EXPECT_EQ(search.dllDirectorySet, row.dllDirectory != nullptr);
        if (row.dllDirectory) EXPECT_EQ(search.dllDirectory, row.dllDirectory);
        int loads = 0;
        for (const HostComponentCall &c : HostComponentCalls())
            if (c.what == "load") {
                loads++;
                EXPECT_EQ(c.flags, row.loadFlags) << c.module;
                EXPECT_EQ(c.module.rfind(kDest, 0), 0u) << c.module;  // by full path, in the product folder
            }
        EXPECT_GE(loads, 4);  // secsvc, tstub, shellext, vnbho2k0
    }
}

// With administrator rights the run's files are in a folder of its own that
// no one else made and no one else can open; it is gone at the end.
TEST_F(Elevated, TheRunWorksInAFolderOfItsOwn)
{
    Unattended();
    // Another program made the folder the first name would be, and put a file
    // in it: that folder is never taken, nor is anything in it read.
    HostMakeFolder("C:\\TEMP\\VNSA278.TMP");
    HostWriteFile("C:\\TEMP\\VNSA278.TMP\\Install.ini", "[INSTALL]\r\nQUIET=0\r\n");
    std::string work, security;
    static std::string *workSeen, *securitySeen;
    workSeen = &work;
    securitySeen = &security;
    HostOnIdle([] {
        if (workSeen->empty() && g_szWorkFolder[0]) {
            *workSeen = g_szWorkFolder;
            *securitySeen = HostFolderSecurity(g_szWorkFolder);
            // Swapping it while the run lasts is refused: it is held open.
            EXPECT_FALSE(MoveFileA(g_szWorkFolder, "C:\\TEMP\\swapped"));
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
            EXPECT_FALSE(RemoveDirectoryA(g_szWorkFolder));
        }
    });
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(work, "C:\\TEMP\\VNSA279.TMP");
    EXPECT_EQ(security, "D:P(A;OICI;0x1f01ff;;;S-1-5-18)(A;OICI;0x1f01ff;;;S-1-5-32-544)");
    EXPECT_EQ(g_bSilent, 1);
    EXPECT_TRUE(DestHas("tclassic.exe"));
    EXPECT_EQ(OwnFoldersLeft(), std::vector<std::string>{"VNSA278.TMP"});  // only the other program's
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\VNSA278.TMP\\Install.ini"));
    // Nothing of the run's own is left in the temporary folder itself.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("C:\\TEMP\\WFT*", &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
}

// Without administrator rights (nothing to protect), and on Windows 95 and 98
// (no file security at all), the run works in the temporary folder itself.
TEST_F(Elevated, WithoutRightsTheTemporaryFolderItself)
{
    struct Row {
        const char *name;
        bool admin;
        int platform;
    } rows[] = {{"a user", false, VER_PLATFORM_WIN32_NT}, {"Windows 98", true, VER_PLATFORM_WIN32_WINDOWS}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        HostSetAdministrator(row.admin);
        HostSetVersion(4, 10, 1998, row.platform);
        if (row.platform != VER_PLATFORM_WIN32_NT) HostSetEnv("OS", nullptr);
        HostSetResource("EXE", "INSTINI", "[INSTALL]\r\nQUIET=1\r\n");
        int exitCode;
        ASSERT_EQ(InitSetup(GetModuleHandleA(nullptr), nullptr, &exitCode), 1);
        EXPECT_STREQ(g_szWorkFolder, "C:\\TEMP");
        EXPECT_EQ(g_bPrivateFolder, 0);
        EXPECT_STREQ(g_szIniFile, "C:\\TEMP\\Install.ini");
        EXPECT_TRUE(HostFileExists((std::string("C:\\TEMP\\") + g_szTempName).c_str()));
        DestroyWindow(g_hMainWnd);
        EXPECT_TRUE(OwnFoldersLeft().empty());
    }
}

// A user whose name the ANSI code page cannot show: the temporary folder's
// short form, which is ASCII; where there is none, the Windows folder's Temp.
TEST_F(Elevated, AnyUserNameFindsATemporaryFolder)
{
    const char *wide = "C:\\Users\\\xC5\x81ukasz\\Temp";  // "Łukasz", outside Windows-1252
    struct Row {
        const char *name;
        const char *shortName;  // null: the file system has none
        int platform;
        const char *temp;
    } rows[] = {
        {"its short form", "C:\\Users\\UKASZ~1\\Temp", VER_PLATFORM_WIN32_NT, "C:\\Users\\UKASZ~1\\Temp"},
        {"no short form", nullptr, VER_PLATFORM_WIN32_NT, "C:\\WINDOWS\\Temp"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        HostSetTempPathWide(wide);
        if (row.shortName) {
            HostSetShortNameWide(wide, row.shortName);
            HostMakeFolder(row.shortName);
        }
        char ansi[MAX_PATH];
        GetTempPathA(sizeof ansi, ansi);
        ASSERT_STREQ(ansi, "C:\\Users\\?ukasz\\Temp");  // what an ANSI program is told
        Unattended();
        EXPECT_EQ(RunSetup(), 0);
        EXPECT_TRUE(DestHas("tclassic.exe"));
        EXPECT_TRUE(DestHas("tcore32.dll"));
        std::string log = ReadText((std::string(row.temp) + "\\setup.log").c_str());
        EXPECT_NE(log.find("Exit code 0: installed."), std::string::npos) << row.temp;
    }
    // Windows 98 knows no wide paths: its "?" path is no folder, and the
    // Windows folder's Temp is taken.
    MachineTest::TearDown();
    SetUp();
    HostSetVersion(4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS);
    HostSetEnv("OS", nullptr);
    HostSetTempPath("C:\\Users\\?ukasz\\Temp\\");
    Unattended();
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_TRUE(DestHas("tclassic.exe"));
    EXPECT_NE(ReadText("C:\\WINDOWS\\Temp\\setup.log").find("Exit code 0: installed."), std::string::npos);
}

// The user names the temporary folder: one that is a system folder, a drive's
// root or Program Files, or reached through a link, is not where an
// administrator's run makes its folder and writes its log; the Windows
// folder's Temp is.
TEST_F(Elevated, ATemporaryFolderPointedAtTheSystemIsNotTaken)
{
    struct Row {
        const char *temp;
        bool link;  // the folder is a link to C:\WINDOWS\SYSTEM32
    } rows[] = {
        {"C:\\WINDOWS\\SYSTEM32\\", false}, {"C:\\WINDOWS\\", false}, {"C:\\", false},
        {"C:\\Program Files\\", false},     {"C:\\Users\\Me\\Temp\\", true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.temp);
        MachineTest::TearDown();
        SetUp();
        HostMakeFolder("C:\\Program Files");
        if (row.link) {
            HostMakeFolder("C:\\Users\\Me");
            ASSERT_EQ(symlink((HostRoot() + "/c/WINDOWS/SYSTEM32").c_str(), (HostRoot() + "/c/Users/Me/Temp").c_str()), 0);
        }
        HostSetTempPath(row.temp);
        Unattended();
        EXPECT_EQ(RunSetup(), 0);
        EXPECT_STREQ(g_szTempFolder, "C:\\WINDOWS\\Temp");
        EXPECT_NE(ReadText("C:\\WINDOWS\\Temp\\setup.log").find("Exit code 0: installed."), std::string::npos);
        for (const char *f : {"C:\\WINDOWS\\SYSTEM32\\setup.log", "C:\\WINDOWS\\setup.log", "C:\\setup.log",
                              "C:\\Program Files\\setup.log"})
            EXPECT_FALSE(HostFileExists(f)) << f;
        EXPECT_TRUE(DestHas("tclassic.exe"));
    }
}

// setup.log is written in the user's temporary folder, never through a link:
// not when its name is a symbolic link or a second name of another file, nor
// when the folder it is in is a link itself.
TEST_F(Elevated, TheLogIsNeverWrittenThroughALink)
{
    const std::string real = HostRoot() + "/c";
    struct Row {
        const char *name;
        void (*plant)(const std::string &real);
        const char *logFolder;  // where the log lands, or the log's link: the temporary folder
    } rows[] = {
        {"a symbolic link to a system file",
         [](const std::string &r) { ASSERT_EQ(symlink((r + "/WINDOWS/SYSTEM32/kernel.dll").c_str(), (r + "/TEMP/setup.log").c_str()), 0); },
         nullptr},
        {"a dangling link", [](const std::string &r) { ASSERT_EQ(symlink((r + "/WINDOWS/SYSTEM32/new.dll").c_str(), (r + "/TEMP/setup.log").c_str()), 0); },
         nullptr},
        {"a hard link", [](const std::string &r) { ASSERT_EQ(link((r + "/WINDOWS/SYSTEM32/kernel.dll").c_str(), (r + "/TEMP/setup.log").c_str()), 0); },
         nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        HostSetVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT);
        ASSERT_TRUE(HostWriteFile("C:\\WINDOWS\\SYSTEM32\\kernel.dll", "system"));
        row.plant(HostRoot() + "/c");
        Unattended();
        EXPECT_EQ(RunSetup(), 0);
        EXPECT_EQ(ReadText("C:\\WINDOWS\\SYSTEM32\\kernel.dll"), "system");
        EXPECT_FALSE(HostFileExists("C:\\WINDOWS\\SYSTEM32\\new.dll"));
        EXPECT_TRUE(DestHas("tclassic.exe"));  // the install itself goes on
    }
    // The temporary folder a link to a system folder: no log at all.
    MachineTest::TearDown();
    SetUp();
    HostSetVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT);
    HostMakeFolder("C:\\Users\\Me");
    ASSERT_EQ(symlink((HostRoot() + "/c/WINDOWS/SYSTEM32").c_str(), (HostRoot() + "/c/Users/Me/Temp").c_str()), 0);
    HostSetTempPath("C:\\Users\\Me\\Temp\\");
    Unattended();
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_FALSE(HostFileExists("C:\\WINDOWS\\SYSTEM32\\setup.log"));
    (void)real;
}

TEST_F(Elevated, GroupNamesThatWouldEndACommandAreRefused)
{
    struct Row {
        const char *name;
        int safe;
    } rows[] = {
        {"Vantro Pro", 1}, {"", 1}, {"Net Tools & More", 1}, {"Caf\xE9", 1},
        {"A)B", 0}, {"A(B", 0}, {"A]B", 0}, {"A[B", 0}, {"A,B", 0}, {"A\"B", 0}, {"A\tB", 0}, {"A\x7F", 0},
        {"Vantro Pro)][CreateGroup(Startup)][AddItem(C:\\windows\\notepad.exe,Injected)][CreateGroup(Vantro Pro", 0},
    };
    for (const Row &row : rows) EXPECT_EQ(IsSafeGroupName(row.name), row.safe) << row.name;
}

// Unattended: the product's own group instead, and a log line. The name is
// never sent, and never recorded.
TEST_F(Elevated, AnUnattendedInstallTakesTheProductsGroupInstead)
{
    const char *smuggled =
        "Vantro Pro)][CreateGroup(Startup)][AddItem(C:\\windows\\notepad.exe,Injected)][CreateGroup(Vantro Pro";
    Unattended(std::string("[Vantro]\r\nGROUP32=") + smuggled + "\r\n");
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(Record("GROUP"), "Vantro Pro");
    for (const std::string &command : HostProgmanCommands()) {
        EXPECT_EQ(command.find("Startup"), std::string::npos) << command;
        EXPECT_EQ(command.find("Injected"), std::string::npos) << command;
    }
    EXPECT_NE(HostProgmanFindGroup("Vantro Pro"), nullptr);
    EXPECT_NE(ReadText("C:\\TEMP\\setup.log")
                  .find(std::string("Group name \"") + smuggled +
                        "\" refused: it holds [ ] ( ) \" , or a control character; the group is \"Vantro Pro\".\r\n"),
              std::string::npos);
    EXPECT_NE(RegText("UninstallString").find(" -g Vantro Pro"), std::string::npos);
}

// Asked: the user is told and asked again; the refused name is proposed again.
TEST_F(Elevated, AnInteractiveInstallAsksAgain)
{
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostClick(IDOK)});
    HostDialogScript("DLG_VERS_32", {HostClick(IDOK)});
    HostDialogScript("#307", {HostClick(IDOK)});
    HostDialogScript("DLG_GETGROUP", {HostType(IDC_GROUP_NAME, "Tools (old)"), HostClick(IDOK)});
    HostDialogScript("DLG_GETGROUP", {HostCall([](HWND d) {
                                          EXPECT_EQ(HostControlState(d, IDC_GROUP_NAME).text, "Tools (old)");
                                      }),
                                      HostType(IDC_GROUP_NAME, "Tools old"), HostClick(IDOK)});
    HostAnswerMessageBox(IDOK);      // the refusal
    HostAnswerMessageBox(IDCANCEL);  // the closing message: no restart now
    EXPECT_EQ(RunSetup(), 0);
    ASSERT_GE(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, HostStringTableText(MSG_GROUP_REFUSED));
    EXPECT_EQ(HostMessageBoxes()[0].caption, "Vantro Pro Installation");
    EXPECT_EQ(HostMessageBoxes()[0].type, (unsigned)MB_ICONERROR);
    EXPECT_EQ(Record("GROUP"), "Tools old");
    EXPECT_NE(HostProgmanFindGroup("Tools old"), nullptr);
}

// The Program Manager link itself never sends an unsafe group name, and quotes
// a working folder that would end the AddItem command's last argument.
TEST_F(Elevated, TheLinkQuotesWhatWouldEndAnArgument)
{
    ASSERT_EQ(ProgmanCreateGroup("A)][DeleteGroup(B"), 1);
    ProgmanShowGroup("A)][DeleteGroup(B", PROGMAN_SHOW_NORMAL);
    ProgmanAddItem("Vantro Pro", "C:\\Program Files (x86)\\Vantro Pro", "tclassic.exe", "");
    ProgmanAddItem("Vantro Pro", "C:\\Program Files\\Vantro Pro", "tclassic.exe", "");
    ProgmanClose();
    std::vector<std::string> sent;
    for (const std::string &c : HostProgmanCommands()) sent.push_back(c.substr(0, c.find('\0')));
    EXPECT_EQ(sent, (std::vector<std::string>{
                        "[DeleteItem(\"Vantro Pro\")]",
                        "[AddItem(\"C:\\Program Files (x86)\\Vantro Pro\\tclassic.exe\",\"Vantro Pro\",,,,,\"C:\\Program "
                        "Files (x86)\\Vantro Pro\")]",
                        "[DeleteItem(\"Vantro Pro\")]",
                        "[AddItem(\"C:\\Program Files\\Vantro Pro\\tclassic.exe\",\"Vantro Pro\",,,,,C:\\Program "
                        "Files\\Vantro Pro)]"}));
}

}  // namespace
