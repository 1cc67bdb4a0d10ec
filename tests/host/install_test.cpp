// The install controller and the install sequence over the simulated machine:
// what only the interactive mode does (questions and closing messages), the
// site-list decision, the mail address fix-up, folders and proposals.
#include <string.h>

#include "app/deferred.h"
#include "app/main.h"
#include "app/options.h"
#include "controller/dialogs.h"
#include "controller/install.h"
#include "machine_fixture.h"
#include "payload/catalogue.h"
#include "payload/sequence.h"
#include "resource.h"

static const char kDest[] = "C:\\Program Files\\Vantro Pro";

class Install : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
    }
    // A run of the whole program, interactive unless told otherwise; the user
    // takes what each dialog proposes.
    int Run(const char *options = nullptr)
    {
        if (options) {
            HostWriteFile("C:\\SETUP\\Install.ini", options);
        } else {
            HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
            HostDialogScript("DLG_GETDIR", {HostClick(IDOK)});
            HostDialogScript("DLG_VERS_32", {HostClick(IDOK)});
            HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
            HostDialogScript("#307", {HostClick(IDOK)});
        }
        int code = RunSetup();
        EXPECT_TRUE(HostDialogErrors().empty());
        return code;
    }
    std::string Dest(const char *name) { return ReadText((std::string(kDest) + "\\" + name).c_str()); }
    bool DestHas(const char *name) { return HostFileExists((std::string(kDest) + "\\" + name).c_str()); }
    std::string Record(const char *key)
    {
        char value[256];
        GetProfileStringA("Vantro", key, "(none)", value, sizeof value);
        return value;
    }
    // An earlier installation whose topic lists the user deleted.
    void EarlierConfiguration()
    {
        HostMakeFolder(kDest);
        HostWriteFile((std::string(kDest) + "\\Vantro.ini").c_str(),
                      "[MySites]\r\nFILENAME=C:\\Program Files\\Vantro Pro\\original.ini\r\n"
                      "[_config_]\r\nMAILADDR=me@example.net\r\nSITE=mine\r\n");
    }
};

TEST_F(Install, InteractiveSuccessEndsWithCongratulations)
{
    // Without the Explorer interface no shell extension asks for a restart.
    HostDialogScript("DLG_VERS_32", {HostUncheck(IDC_EXPLORER)});
    HostAnswerMessageBox(IDOK);  // the closing message has OK alone
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(DestHas("tclassic.exe"));
    EXPECT_FALSE(DestHas("shellext.dll"));
    EXPECT_TRUE(DestHas("tscript.exe"));
    EXPECT_TRUE(DestHas("publicag.ini"));
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Installation successful!\nHappy FTP'ing!");
    EXPECT_EQ(HostMessageBoxes()[0].caption, "Congratulations!");
    EXPECT_EQ(HostMessageBoxes()[0].type, (unsigned)MB_OK);
    EXPECT_EQ(Record("DEFDIR"), kDest);
    EXPECT_EQ(Record("INSTOPTS"), "12");
    EXPECT_EQ(Record("PRO"), "20001004");
    // The template's placeholder address became the product's own.
    char mail[128];
    GetPrivateProfileStringA("_config_", "MAILADDR", "", mail, sizeof mail, "C:\\Program Files\\Vantro Pro\\Vantro.ini");
    EXPECT_STREQ(mail, "kvrnd66@");
    EXPECT_EQ(HostRestartState().requests, 0);
}

TEST_F(Install, SiteListQuestion)
{
    struct Row {
        const char *name;
        const char *options;  // null: interactive
        int answer;
        bool merged;
    } rows[] = {
        {"Yes keeps the old sites as original.ini", nullptr, IDYES, true},
        {"No changes nothing", nullptr, IDNO, false},
        {"unattended takes No", "[INSTALL]\r\nQUIET=1\r\n", 0, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        EarlierConfiguration();
        std::string before = Dest("Vantro.ini");
        if (row.answer) {
            HostAnswerMessageBox(row.answer);
            HostAnswerMessageBox(IDOK);  // then the closing message
        }
        EXPECT_EQ(Run(row.options), 0);
        if (!row.options) {
            ASSERT_GE(HostMessageBoxes().size(), 1u);
            const HostMessageBox &q = HostMessageBoxes()[0];
            EXPECT_EQ(q.caption, "Vantro Sites");
            EXPECT_EQ(q.type, (unsigned)(MB_YESNO | MB_ICONQUESTION));
            EXPECT_EQ(q.text.substr(0, 44), "Do you wish to install additional FTP sites?");
        } else {
            EXPECT_TRUE(HostMessageBoxes().empty());
        }
        EXPECT_EQ(DestHas("scanners.ini"), row.merged);
        EXPECT_EQ(DestHas("original.ini"), row.merged);
        if (row.merged) {
            EXPECT_EQ(Dest("original.ini"), "[_config_]\r\nMAILADDR=me@example.net\r\nSITE=mine\r\n");
            EXPECT_NE(Dest("Vantro.ini").find("FILENAME=C:\\Program Files\\Vantro Pro\\original.ini"), std::string::npos);
        } else {
            EXPECT_EQ(Dest("Vantro.ini"), before);
        }
    }
}

// The user presses Cancel as the first common file, tlink.exe, starts copying:
// the last utility file is in place by then.
static void CancelDuringCommonFiles()
{
    static bool pressed;
    if (!HostFileExists("C:\\Program Files\\Vantro Pro\\vnbho2k0.dll")) {
        pressed = false;
        return;
    }
    if (pressed) return;
    pressed = true;
    PostMessageA(HostOpenDialog("DLG_COPY"), WM_COMMAND, IDCANCEL, 0);
}

TEST_F(Install, CancelStopsAfterTheCurrentFile)
{
    // The user presses the status window's Cancel as tlink.exe, the first common
    // file, starts copying (the last utility file is in place by then).
    HostOnIdle(CancelDuringCommonFiles);
    HostAnswerMessageBox(IDOK);  // the partial-failure message has OK alone
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(g_bCancelled, 1);
    EXPECT_EQ(g_hStatusWnd, nullptr);
    EXPECT_TRUE(DestHas("tlink.exe"));
    EXPECT_FALSE(DestHas("tstub.dll"));
    EXPECT_FALSE(DestHas("Vantro.ini"));
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Some portion of installation process failed.");
    EXPECT_TRUE(HostMessageBoxes()[0].nullCaption);
    EXPECT_EQ(HostMessageBoxes()[0].type, (unsigned)MB_OK);
    EXPECT_EQ(Record("DEFDIR"), "(none)");
}

TEST_F(Install, FailureNamesTheRequiredFile)
{
    HostRemoveResource("EXE", "EXEFILE5");  // tlink.exe
    HostAnswerMessageBox(IDCANCEL);         // the copy failure's Retry or Cancel
    HostAnswerMessageBox(IDOK);             // the partial-failure message
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 2u);
    EXPECT_EQ(HostMessageBoxes()[0].type, (unsigned)(MB_RETRYCANCEL | MB_ICONERROR));
    EXPECT_EQ(HostMessageBoxes()[1].text,
              "Some portion of installation process failed.\r\nFailed to install required file tlink.exe.");
    EXPECT_EQ(Record("INSTOPTS"), "(none)");
    EXPECT_EQ(g_bRebootNeeded, 0);

    // On NT 3.51 the same file is no longer required: no question, no failure.
    MachineTest::TearDown();
    SetUp();
    HostSetVersion(3, 51, 1057, VER_PLATFORM_WIN32_NT);
    HostRemoveResource("EXE", "EXEFILE5");
    HostAnswerMessageBox(IDOK);  // the closing message
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Installation successful!\nHappy FTP'ing!");
    EXPECT_TRUE(HostFileExists("C:\\WIN32APP\\Vantro\\tclassic.exe"));
}

// Each test starts as a fresh process would: an NT 3.51 install rewrites two
// flags of three common rows and the run's flags, and the next test sees the
// catalogue's own values (tlink.exe 1 and 1, tstub.dll 0 and 1, tlink.hlp 0
// and 0) and cleared flags again.
TEST_F(Install, NextTestStartsFromTheProgramsOwnState)
{
    HostSetVersion(3, 51, 1057, VER_PLATFORM_WIN32_NT);
    HostAnswerMessageBox(IDOK);  // the closing message
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(g_commonFiles[0].bRequired, 0u);  // the run did rewrite the row
    g_bCancelled = 1;
    g_bRebootNeeded = 1;
    g_bSilent = g_bLogging = 1;
    g_bAllowReboot = g_bExplore = gbInstallBonusPack = 0;
    MachineTest::TearDown();
    SetUp();
    EXPECT_EQ(g_commonFiles[0].bIcon, 1u);
    EXPECT_EQ(g_commonFiles[0].bRequired, 1u);
    EXPECT_EQ(g_commonFiles[1].bIcon, 0u);
    EXPECT_EQ(g_commonFiles[1].bRequired, 1u);
    EXPECT_EQ(g_commonFiles[4].bIcon, 0u);
    EXPECT_EQ(g_commonFiles[4].bRequired, 0u);
    CatalogueEntry *tables[] = {g_classicFiles, g_explorerFiles, g_utilityFiles, g_commonFiles, g_siteFiles};
    int counts[] = {CLASSIC_COUNT, EXPLORER_COUNT, UTILITY_COUNT, COMMON_COUNT, SITE_COUNT};
    for (int t = 0; t < 5; t++)
        for (int i = 0; i < counts[t]; i++) {
            EXPECT_EQ(tables[t][i].dwState, 0u) << t << " " << i;
            EXPECT_EQ(tables[t][i].iResult, 0) << t << " " << i;
        }
    EXPECT_EQ(g_bCancelled, 0);
    EXPECT_EQ(g_bRebootNeeded, 0);
    EXPECT_EQ(g_bSilent, 0);
    EXPECT_EQ(g_bLogging, 0);
    EXPECT_EQ(g_bAllowReboot, 1);  // ALLOWRBT's default
    EXPECT_EQ(g_bExplore, 1);
    EXPECT_EQ(gbInstallBonusPack, 1);
    EXPECT_EQ(g_winMajor, 0);
    EXPECT_STREQ(g_szHelpCaption, "");
}

TEST_F(Install, RestartQuestion)
{
    struct Row {
        const char *name;
        int answer;
        int restarts;
    } rows[] = {{"OK restarts", IDOK, 1}, {"Cancel does not", IDCANCEL, 0}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        // A library of an earlier installation is in use by a running program.
        HostMakeFolder(kDest);
        HostWriteFile("C:\\Program Files\\Vantro Pro\\tcore32.dll", "old");
        HostHoldFile("C:\\Program Files\\Vantro Pro\\tcore32.dll", FILE_SHARE_READ, true);
        HostAnswerMessageBox(row.answer);
        EXPECT_EQ(Run(), 0);
        ASSERT_EQ(HostMessageBoxes().size(), 1u);
        const HostMessageBox &box = HostMessageBoxes()[0];
        EXPECT_EQ(box.text.substr(0, 26), "Installation successful!\n\n");
        EXPECT_EQ(box.caption, "Congratulations!");
        EXPECT_EQ(box.type, (unsigned)(MB_SYSTEMMODAL | MB_OKCANCEL));
        EXPECT_EQ(HostRestartState().requests, row.restarts);
        EXPECT_EQ(Dest("tcore32.bak"), "old");
    }
}

TEST_F(Install, MailAddressFixUp)
{
    struct Row {
        const char *name;
        const char *config;    // Vantro.ini's [_config_] lines
        const char *expected;  // MAILADDR afterwards, null: file untouched
    } rows[] = {
        {"missing", "SITE=x\r\n", nullptr},
        {"placeholder, any case, text after it", "MAILADDR=NAME@Your.ISP.old\r\n", "kvrnd66@"},
        {"already fixed", "MAILADDR=KVRND66@\r\n", "KVRND66@"},
        {"a real address", "MAILADDR=pat@example.org\r\n", nullptr},
        {"too short to be the placeholder", "MAILADDR=name@your.is\r\n", nullptr},
    };
    HostMakeFolder("C:\\V");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::string text = std::string("[_config_]\r\n") + row.config;
        HostWriteFile("C:\\V\\Vantro.ini", text);
        FixMailAddress("C:\\V");
        if (!row.expected) {
            EXPECT_EQ(ReadText("C:\\V\\Vantro.ini"), text);
            continue;
        }
        char mail[128];
        GetPrivateProfileStringA("_config_", "MAILADDR", "", mail, sizeof mail, "C:\\V\\Vantro.ini");
        EXPECT_STREQ(mail, row.expected);
    }
}

TEST_F(Install, FoldersAreCreatedOutermostFirst)
{
    char path[] = "C:\\Apps\\Net\\Vantro";
    EXPECT_EQ(CreateFolderPath(path), 1);
    EXPECT_STREQ(path, "C:\\Apps\\Net\\Vantro");
    EXPECT_NE(GetFileAttributesA("C:\\Apps\\Net\\Vantro"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(CreateFolderPath(path), 1);  // already there

    // Unattended, each level that cannot be made is logged; interactive, a box each.
    SetCurrentDirectoryA("C:\\TEMP");
    g_bSilent = 1;
    g_bLogging = 1;
    char bad[] = "Q:\\Apps\\Vantro";
    EXPECT_EQ(CreateFolderPath(bad), 0);
    EXPECT_STREQ(bad, "Q:\\Apps\\Vantro");
    EXPECT_EQ(ReadText("C:\\TEMP\\setup.log"),
              "Creation of Q: failed. (3)\r\nCreation of Q:\\Apps failed. (3)\r\n"
              "Creation of Q:\\Apps\\Vantro failed. (3)\r\n");
    g_bSilent = 0;
    for (int i = 0; i < 3; i++) HostAnswerMessageBox(IDOK);  // error boxes with OK alone
    EXPECT_EQ(CreateFolderPath(bad), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 3u);
    EXPECT_EQ(HostMessageBoxes()[1].caption, "Install");
    EXPECT_EQ(HostMessageBoxes()[1].owner, nullptr);
    EXPECT_EQ(HostMessageBoxes()[1].type, (unsigned)MB_ICONERROR);
}

TEST_F(Install, DefaultDestinationFollowsThePlatform)
{
    struct Row {
        int major, minor, platform;
        const char *system, *expected;
    } rows[] = {
        {4, 0, VER_PLATFORM_WIN32_WINDOWS, "C:\\WINDOWS\\SYSTEM", "C:\\Program Files\\Vantro Pro"},
        {5, 0, VER_PLATFORM_WIN32_NT, "D:\\WINNT\\system32", "D:\\Program Files\\Vantro Pro"},
        {3, 51, VER_PLATFORM_WIN32_NT, "C:\\WINNT35\\system32", "C:\\WIN32APP\\Vantro"},
        {3, 95, VER_PLATFORM_WIN32_WINDOWS, "C:\\WINDOWS\\SYSTEM", "C:\\Vantro"},
        {4, 0, VER_PLATFORM_WIN32s, "C:\\WINDOWS\\SYSTEM", "C:\\Vantro"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.expected);
        HostSetVersion(row.major, row.minor, 0, row.platform);
        HostSetWindowsFolders("C:\\WINDOWS", row.system);
        char folder[512];
        DefaultDestination(folder, sizeof folder);
        EXPECT_STREQ(folder, row.expected);
    }
    HostFailCall("GetVersionExA", 0, ERROR_INVALID_PARAMETER);
    char folder[512];
    DefaultDestination(folder, sizeof folder);
    EXPECT_STREQ(folder, "C:\\Vantro");
}

TEST_F(Install, SequenceWithNothingToDo)
{
    char failure[512];
    DWORD report = 99;
    EXPECT_EQ(RunInstallSequence("C:\\TEMP\\", kDest, INSTALL_QUEUE, &report, nullptr, nullptr, failure), 1);
    EXPECT_STREQ(failure, "Nothing to do!");
    EXPECT_EQ(report, 0u);
}

TEST_F(Install, TemplatePiecesAndLongLines)
{
    SetCurrentDirectoryA("C:\\TEMP");
    lstrcpyA(g_szTempName, "WFT9.TMP");
    HostMakeFolder("C:\\V");
    // A placeholder that straddles the 511-character piece boundary stays; every
    // other is replaced, however long the result grows.
    std::string straddle = std::string(510, 'a') + "$$" + "\r\n";
    std::string many;
    for (int i = 0; i < 200; i++) many += "$$";
    std::string text = "X=$$\\a\r\n" + straddle + many + "\nlast";
    HostSetResource("EXE", "INIFILE1", text);
    EXPECT_EQ(InstallIniTemplate("C:\\TEMP\\", "C:\\V\\Vantro.ini", "$$", std::string(300, 'D').c_str(), SITE_FIRST), 0);
    std::string replaced;
    for (int i = 0; i < 200; i++) replaced += std::string(300, 'D');
    EXPECT_EQ(ReadText("C:\\V\\Vantro.ini"),
              "X=" + std::string(300, 'D') + "\\a\r\n" + straddle + replaced + "\r\nlast");
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\WFT9.TMP"));
    // An empty template writes nothing and fails.
    HostSetResource("EXE", "INIFILE1", "");
    EXPECT_EQ(InstallIniTemplate("C:\\TEMP\\", "C:\\V\\Vantro.ini", "$$", "D", SITE_FIRST), -1);
}
