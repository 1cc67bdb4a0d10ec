// What the installer must never do to a user: overwrite the user's files on a
// doubtful answer, take a failure for success or for consent, overrun a buffer,
// or hang when its window is closed.
#include <dirent.h>
#include <string.h>

#include <string>

#include "app/deferred.h"
#include "app/main.h"
#include "app/messages.h"
#include "app/options.h"
#include "controller/destination.h"
#include "controller/dialogs.h"
#include "controller/install.h"
#include "machine_fixture.h"
#include "payload/catalogue.h"
#include "payload/extract.h"
#include "payload/filecopy.h"
#include "payload/sequence.h"
#include "resource.h"

static const char kDest[] = "C:\\Program Files\\Vantro Pro";
static const char kRunServicesOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";

class Safeguards : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        g_bCancelled = 0;
        SetCurrentDirectoryA("C:\\TEMP");
        lstrcpyA(g_szTempName, "WFT1A2B.TMP");
        g_hInstance = GetModuleHandleA(nullptr);
        HostMakeFolder(kDest);
    }
    void TearDown() override
    {
        EXPECT_TRUE(HostDialogErrors().empty());
        MachineTest::TearDown();
    }
    static std::string At(const char *name) { return std::string(kDest) + "\\" + name; }
    // Names in the destination folder other than the given ones.
    static std::vector<std::string> Strangers(std::initializer_list<const char *> known)
    {
        std::vector<std::string> found;
        std::string folder;
        if (!HostResolvePath(kDest, folder)) return found;
        DIR *dir = opendir(folder.c_str());
        if (!dir) return found;
        while (struct dirent *e = readdir(dir)) {
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            bool isKnown = false;
            for (const char *k : known) isKnown = isKnown || lstrcmpiA(k, name.c_str()) == 0;
            if (!isKnown) found.push_back(name);
        }
        closedir(dir);
        return found;
    }
};

// ---- the user's configuration ------------------------------------------------------

// Only "not found" means a file is missing. With any other answer the merge and
// the topic lists are skipped, so the user's configuration survives.
TEST_F(Safeguards, ADoubtfulPresenceTestWritesNothing)
{
    const std::string config = "[_config_]\r\nMAILADDR=me@example.org\r\n[MySites]\r\nFILENAME=mine.ini\r\n";
    struct Row {
        const char *name;
        unsigned long error;  // of every GetFileAttributesA call
        bool configThere, listThere;
    } rows[] = {
        {"access denied, configuration there", ERROR_ACCESS_DENIED, true, false},
        {"access denied, nothing there", ERROR_ACCESS_DENIED, false, false},
        {"sharing violation, configuration there", ERROR_SHARING_VIOLATION, true, false},
        {"drive not ready, list there", 21, true, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        if (row.configThere) HostWriteFile(At("Vantro.ini").c_str(), config);
        if (row.listThere) HostWriteFile(At("collects.ini").c_str(), "the user's own list");
        HostFailCall("GetFileAttributesA", 0, row.error);
        char failure[FAILURE_TEXT_SIZE];
        DWORD report = 0;
        EXPECT_EQ(RunInstallSequence("C:\\TEMP\\", kDest, INSTALL_CLASSIC | INSTALL_UNATTENDED, &report, nullptr,
                                     nullptr, failure),
                  1);
        HostClearFaults();
        EXPECT_EQ(ReadText(At("Vantro.ini").c_str()), row.configThere ? config : "");
        EXPECT_EQ(HostFileExists(At("Vantro.ini").c_str()), row.configThere);
        EXPECT_EQ(ReadText(At("collects.ini").c_str()), row.listThere ? "the user's own list" : "");
        EXPECT_FALSE(HostFileExists(At("scanners.ini").c_str()));
        EXPECT_FALSE(HostFileExists(At("original.ini").c_str()));
        EXPECT_STREQ(failure, "");
        EXPECT_TRUE(HostMessageBoxes().empty());
        TearDown();
    }
}

// A configuration the presence test missed is still never truncated: the
// template is written only where no file is.
TEST_F(Safeguards, TheTemplateNeverTruncatesAConfiguration)
{
    const std::string config = "[_config_]\r\nMAILADDR=me@example.org\r\n";
    HostWriteFile(At("Vantro.ini").c_str(), config);
    EXPECT_EQ(InstallIniTemplate("C:\\TEMP\\", At("Vantro.ini").c_str(), "$$", kDest, SITE_FIRST), -1);
    EXPECT_EQ(ReadText(At("Vantro.ini").c_str()), config);
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\WFT1A2B.TMP"));
    // Where no file is, it is written.
    EXPECT_EQ(InstallIniTemplate("C:\\TEMP\\", At("fresh.ini").c_str(), "$$", kDest, SITE_FIRST), 0);
    EXPECT_NE(ReadText(At("fresh.ini").c_str()).find(std::string("FILENAME=") + kDest + "\\original.ini"),
              std::string::npos);
}

// ---- a product file that fails to expand ---------------------------------------------

// A failed expansion over an existing product file leaves the old file as it
// was, leaves nothing half-made beside it, and names the failing call's own error.
TEST_F(Safeguards, AFailedExpansionKeepsTheOldFile)
{
    // A help file, which no running program holds: no in-use fallback applies.
    const int kHelp = 3;  // tcore32.hlp, required
    struct Row {
        const char *name;
        const char *api;
        int nth;
        unsigned long error;     // injected
        unsigned long reported;  // in message 10008
    } rows[] = {
        // The library's own failure sets no error: the message names the failure, not a stale 183.
        {"the expansion fails", "LZCopy", 1, 0, ERROR_READ_FAULT},
        {"the expansion fails with the disk full", "LZCopy", 1, 112, 112},
        // The third open: the packed name, the scratch file, then the new file.
        {"the new file cannot be opened", "LZOpenFileA", 3, 0, ERROR_INVALID_HANDLE},
        {"no name for the new file", "GetTempFileNameA", 1, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {"the old file cannot be removed", "DeleteFileA", 1, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        g_bWinNT = 0;
        HostSetResource("EXE", g_payloadResources[kHelp].szResName, "the new help");
        HostWriteFile(At("tcore32.hlp").c_str(), "the working help");
        HostFailCall(row.api, row.nth, row.error);
        HostAnswerMessageBox(IDCANCEL);
        EXPECT_EQ(InstallFile("C:\\TEMP\\", "tcore32.hlp", kDest, nullptr, nullptr, kHelp, 1), 1);
        HostClearFaults();
        EXPECT_EQ(ReadText(At("tcore32.hlp").c_str()), "the working help");
        EXPECT_EQ(Strangers({"tcore32.hlp"}), std::vector<std::string>{});
        ASSERT_EQ(HostMessageBoxes().size(), 1u);
        EXPECT_NE(HostMessageBoxes()[0].text.find(std::string("(") + std::to_string(row.reported) + ")"),
                  std::string::npos)
            << HostMessageBoxes()[0].text;
        TearDown();
    }
}

// The replacement itself: the new file takes the old one's place, and nothing
// else is left in the folder.
TEST_F(Safeguards, AnExistingFileIsReplacedWhole)
{
    g_bWinNT = 1;
    HostSetResource("EXE", g_payloadResources[1].szResName, "the new library");
    HostWriteFile(At("tcore32.dll").c_str(), "the old library, which was longer");
    EXPECT_EQ(InstallFile("C:\\TEMP\\", "tcore32.dll", kDest, nullptr, nullptr, 1, 1), 0);
    EXPECT_EQ(ReadText(At("tcore32.dll").c_str()), "the new library");
    EXPECT_EQ(Strangers({"tcore32.dll"}), std::vector<std::string>{});
    EXPECT_TRUE(HostMessageBoxes().empty());
}

// ---- the deferred copy without short names -------------------------------------------

// Where the file system gives no short names, the paths of the deferred copy
// are quoted: blanks in them would split the command at the next start.
TEST_F(Safeguards, LongPathsOfTheDeferredCopyAreQuoted)
{
    g_bWinNT = 0;  // Windows 95: the copy is always deferred
    HostSetResource("EXE", g_payloadResources[1].szResName, "the new library");
    HostWriteFile(At("tcore32.dll").c_str(), "old");
    ASSERT_TRUE(HostHoldFile(At("tcore32.dll").c_str(), FILE_SHARE_READ, true));
    HostFailCall("GetShortPathNameA", 0, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(InstallFile("C:\\TEMP\\", "tcore32.dll", kDest, nullptr, nullptr, 1, 1), 0);
    HostClearFaults();
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(HostRegGetValue(kRunServicesOnce, "Brenmoor0", &type, &data));
    EXPECT_EQ(std::string(data.c_str()), std::string("command.com /c copy /Y \"") + kDest + "\\tcore32.new\" \"" +
                                             kDest + "\\tcore32.dll\"");
}

// ---- dialogs and prompts that cannot be shown ------------------------------------------

// A question the user never saw is never taken as the user's consent: a dialog
// that cannot be shown (-1) or a prompt that cannot be shown (0) means Cancel.
TEST_F(Safeguards, AnUnshownQuestionIsCancel)
{
    // The action dialog: nothing happens.
    HostFailCall("DialogBoxParamA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(AskAction(nullptr), ACTION_LEAVE);
    // The destination: the caller's proposal stays and nothing is settled.
    char folder[512] = "C:\\Proposed";
    HostFailCall("DialogBoxParamA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(AskDestination(nullptr, "prompt", folder, sizeof folder), 0);
    EXPECT_STREQ(folder, "C:\\Proposed");
    // The components: none, and not the utilities either.
    gbInstallBonusPack = 1;
    HostFailCall("DialogBoxParamA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(AskComponents(nullptr, 31, 31), 0);
    EXPECT_EQ(gbInstallBonusPack, 0);
    // The icon placement: not confirmed.
    HostFailCall("DialogBoxParamA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(AskIconPlacement(nullptr), 0);
    HostClearFaults();
}

TEST_F(Safeguards, AnUnshownComponentDialogInstallsNothing)
{
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostClick(IDOK)});
    HostFailCall("DialogBoxParamA", 3, ERROR_NOT_ENOUGH_MEMORY);  // the third dialog: the components
    EXPECT_EQ(RunInstall(nullptr, 31, 31), 0);
    HostClearFaults();
    EXPECT_FALSE(HostFileExists(At("tclassic.exe").c_str()));
    char value[16];
    EXPECT_EQ(GetProfileStringA("Vantro", "DEFDIR", "", value, sizeof value), 0u);
}

// The restart prompt: only the user's OK restarts Windows.
TEST_F(Safeguards, AnUnshownRestartPromptDoesNotRestart)
{
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostClick(IDOK)});
    HostDialogScript("DLG_VERS_32", {HostClick(IDOK)});
    HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
    HostDialogScript("#307", {HostClick(IDOK)});
    g_bWinNT = 1;
    HostMakeFolder(kDest);
    HostWriteFile(At("tcore32.dll").c_str(), "old");
    ASSERT_TRUE(HostHoldFile(At("tcore32.dll").c_str(), FILE_SHARE_READ, true));
    // Every message box before the restart prompt is answered; the prompt fails.
    HostFailCall("MessageBoxA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_NE(RunInstall(nullptr, 1, 31), 0);
    HostClearFaults();
    EXPECT_EQ(g_bRebootNeeded, 0);
}

// ---- the setup log --------------------------------------------------------------------

// Lines of every length around the log's buffer, with line feeds where the
// buffer fills, reach the file whole with CR LF and never write past the buffer.
TEST_F(Safeguards, LogLinesOfEveryLengthAroundTheBuffer)
{
    g_bLogging = 1;
    std::string expected;
    for (int length = 1016; length <= 1030; length++) {
        for (int feedAt : {length - 1, length - 2}) {
            std::string line(length, 'x');
            line[feedAt] = '\n';
            SetupLog(line.c_str());
            std::string disk = line.substr(0, feedAt) + "\r\n" + line.substr(feedAt + 1) + "\r\n";
            expected += disk;
        }
    }
    std::string big(3 * 1024 + 5, '\n');  // every character doubles
    SetupLog(big.c_str());
    for (size_t i = 0; i < big.size(); i++) expected += "\r\n";
    expected += "\r\n";
    EXPECT_EQ(ReadText("C:\\TEMP\\setup.log"), expected);
}

// ---- the main window closed during the copy ---------------------------------------------

static void CloseMainWindow(HWND) { PostMessageA(g_hMainWnd, WM_CLOSE, 0, 0); }

// Closing the main window while the files are copied stops the copy after the
// current file, as Cancel does, and the program ends.
TEST_F(Safeguards, ClosingTheMainWindowEndsTheRun)
{
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostClick(IDOK)});
    HostDialogScript("DLG_VERS_32", {HostClick(IDOK)});
    HostDialogScript("DLG_COPY", {HostWaitIdle(3), HostCall(CloseMainWindow)});
    HostAnswerMessageBox(IDOK);  // the partial-failure message
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(g_bCancelled, 1);
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Some portion of installation process failed.");
    // The copy stopped early: the common files were never reached.
    EXPECT_TRUE(HostFileExists(At("tclassic.exe").c_str()));
    EXPECT_FALSE(HostFileExists(At("tlink.exe").c_str()));
    char value[16];
    EXPECT_EQ(GetProfileStringA("Vantro", "DEFDIR", "", value, sizeof value), 0u);
    // The window went when the dialogue had ended.
    for (const HostWindowInfo &w : HostWindows())
        if (w.className == "VNInstal") EXPECT_TRUE(w.destroyed);
}

// A quit that the copy's message pumping meets is kept for the main loop, and
// the copy stops.
TEST_F(Safeguards, AQuitMetWhilePumpingIsKept)
{
    PostQuitMessage(7);
    EXPECT_EQ(PumpMessages(), 1);
    EXPECT_EQ(g_bCancelled, 1);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ((int)msg.wParam, 7);
}

// ---- folders -----------------------------------------------------------------------------

// A destination written with its final backslash is created with its parents,
// and is not refused as already existing.
TEST_F(Safeguards, AFinalBackslashIsTheSameFolder)
{
    g_bSilent = 1;
    const char *rows[] = {"C:\\New\\Deeper\\Vantro\\", "C:\\Program Files\\Vantro Pro\\", "C:\\Fresh\\"};
    for (const char *row : rows) {
        SCOPED_TRACE(row);
        char path[512];
        lstrcpyA(path, row);
        EXPECT_EQ(CreateFolderPath(path), 1);
        EXPECT_STREQ(path, row);
        std::string folder(row);
        folder.pop_back();
        DWORD attributes = GetFileAttributesA(folder.c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    }
    EXPECT_TRUE(HostMessageBoxes().empty());
}

// The folder of the installation files is refused without regard to case, as
// the code page folds letters: accented ones too.
TEST_F(Safeguards, TheSourceFolderIsFoundInAnyCase)
{
    HostMakeFolder("C:\\T\xC9MP");
    SetCurrentDirectoryA("C:\\T\xC9MP");
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostType(IDC_DEST_FOLDER, "c:\\t\xE9mp\\Vantro"), HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostClick(IDCANCEL)});
    HostAnswerMessageBox(IDOK);
    HostAnswerMessageBox(IDOK);
    EXPECT_EQ(RunInstall(nullptr, 31, 31), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 2u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "You cannot install to the folder that contains the installation files.");
    EXPECT_EQ(HostMessageBoxes()[1].text, "Can't continue without a destination folder!");
}
