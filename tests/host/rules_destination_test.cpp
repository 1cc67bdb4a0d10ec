// Where the install goes: the proposal from the options file and the install
// record, the refusal of the folder that holds the installation files in both
// modes; and the status window, its owner and its keys.
#include <string.h>

#include "app/main.h"
#include "controller/dialogs.h"
#include "controller/install.h"
#include "rules_fixture.h"

namespace {

class RulesDestination : public RulesTest {};

TEST_F(RulesDestination, TheProposal)
{
    struct Row {
        const char *name;
        const char *dir32;  // null: no options file
        const char *dir;    // WIN.INI DIR, null: no key
        const char *proposed;
    } rows[] = {
        {"computed default", nullptr, nullptr, "C:\\Program Files\\Vantro Pro"},
        {"options file without DIR32", "", nullptr, "C:\\Program Files\\Vantro Pro"},
        {"DIR32", "DIR32=C:\\Tools\\FTP\r\n", nullptr, "C:\\Tools\\FTP"},
        {"empty DIR32 empties the proposal", "DIR32=\r\n", nullptr, ""},
        {"DIR32 equal to the default", "DIR32=C:\\Program Files\\Vantro Pro\r\n", nullptr,
         "C:\\Program Files\\Vantro Pro"},
        {"DIR replaces DIR32", "DIR32=C:\\Tools\\FTP\r\n", "C:\\Old\\Vantro", "C:\\Old\\Vantro"},
        {"DIR replaces the default", nullptr, "D:\\Vantro", "D:\\Vantro"},
        {"empty DIR leaves DIR32", "DIR32=C:\\Tools\\FTP\r\n", "", "C:\\Tools\\FTP"},
        {"empty DIR leaves the default", nullptr, "", "C:\\Program Files\\Vantro Pro"},
        {"empty DIR and empty DIR32", "DIR32=\r\n", "", ""},
        {"empty DIR32, DIR set", "DIR32=\r\n", "C:\\Old\\Vantro", "C:\\Old\\Vantro"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        if (row.dir32) Options(std::string("[Vantro]\r\n") + row.dir32);
        if (row.dir) WriteProfileStringA("Vantro", "DIR", row.dir);
        std::string proposed = row.proposed;
        HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
        HostDialogScript("DLG_GETDIR", {HostCall([proposed](HWND d) {
                                             EXPECT_EQ(HostControlState(d, 954).text, proposed);
                                         }),
                                         HostClick(IDCANCEL)});
        HostAnswerMessageBox(IDOK);  // "Can't continue without a destination folder!"
        EXPECT_EQ(RunSetup(), 0);
        ASSERT_EQ(HostMessageBoxes().size(), 1u);
        EXPECT_EQ(HostMessageBoxes()[0].text, "Can't continue without a destination folder!");
    }
}

TEST_F(RulesDestination, UnattendedSourceFolderTestIsExact)
{
    struct Row {
        const char *name;
        const char *dir32;
        bool refused;
        const char *installedAt;  // where tclassic.exe lands when not refused
    } rows[] = {
        {"the source folder with its final backslash", "C:\\TEMP\\", true, nullptr},
        {"without its final backslash", "C:\\TEMP", false, "C:\\TEMP\\tclassic.exe"},
        {"another letter case", "c:\\temp\\", false, "C:\\TEMP\\tclassic.exe"},
        {"a folder inside it", "C:\\TEMP\\Vantro", false, "C:\\TEMP\\Vantro\\tclassic.exe"},
        {"a folder starting the same way", "C:\\TEMP2", false, "C:\\TEMP2\\tclassic.exe"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        Options(std::string("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n[Vantro]\r\nDIR32=") + row.dir32 + "\r\n");
        EXPECT_EQ(RunSetup(), row.refused ? 1603 : 0);
        ExpectNothingShown();
        std::string log = ReadText("C:\\TEMP\\setup.log");
        EXPECT_EQ(log.find("SourceDir=DestDir \"C:\\TEMP\\\"\r\n") != std::string::npos, row.refused);
        EXPECT_EQ(log.find("Copying") != std::string::npos, !row.refused);
        if (row.installedAt) {
            EXPECT_TRUE(HostFileExists(row.installedAt));
        }
        EXPECT_EQ(Record("INSTOPTS"), row.refused ? "(none)" : "12");
    }
}

TEST_F(RulesDestination, SourceFolderAtADriveRootRefusesTheWholeDrive)
{
    HostAddDrive('D');
    SetCurrentDirectoryA("C:\\");
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    const char *typed[] = {"C:\\Program Files\\Vantro Pro", "c:\\vantro", "C:\\", "C:"};
    HostDialogScript("DLG_GETDIR", {HostClick(IDOK)});  // the proposal, on drive C
    for (int i = 1; i < 4; i++) HostDialogScript("DLG_GETDIR", {HostType(954, typed[i]), HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostType(954, "D:\\Vantro"), HostClick(IDOK)});
    HostDialogScript("DLG_VERS_32", {HostClick(IDCANCEL)});
    for (int i = 0; i < 4; i++) HostAnswerMessageBox(IDOK);
    EXPECT_EQ(RunInstall(nullptr, 31, 31), 0);
    const auto &boxes = HostMessageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(typed[i]);
        EXPECT_EQ(boxes[i].text, "You cannot install to the folder that contains the installation files.");
        EXPECT_EQ(boxes[i].caption, "Vantro Pro Installation");
        EXPECT_EQ(boxes[i].type, (unsigned)MB_ICONERROR);
    }
    // A folder on another drive is taken and made.
    EXPECT_NE(GetFileAttributesA("D:\\Vantro"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(HostFileExists("C:\\Program Files\\Vantro Pro"));
}

TEST_F(RulesDestination, StatusWindowBelongsToTheMainWindowAndTakesEsc)
{
    ScriptInteractive();
    // The user presses Esc in the status window as soon as it is up.
    HostDialogScript("DLG_COPY", {HostPressEsc()});
    HostAnswerMessageBox(IDOK);  // the failure message
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(g_bCancelled, 1);
    const HostDialogRecord *status = nullptr;
    for (const HostDialogRecord &d : HostDialogsShown())
        if (d.templateName == "DLG_COPY") status = &d;
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->modal);
    HWND main = MainWindow();
    EXPECT_NE(main, nullptr);
    EXPECT_EQ(status->owner, main);
    ASSERT_EQ(status->actions.size(), 1u);
    EXPECT_EQ(status->actions[0].step, "esc");
    EXPECT_FALSE(status->actions[0].ignored);
    EXPECT_TRUE(status->destroyed);
    EXPECT_EQ(g_hStatusWnd, nullptr);
    // The install stopped after the file being copied.
    EXPECT_FALSE(DestHas("shellext.dll"));
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Some portion of installation process failed.");
    EXPECT_EQ(Record("DEFDIR"), "(none)");
}

}  // namespace

// A destination no command run at the next start of Windows could name as one
// argument (its 8.3 form holds "&") is refused before anything is copied: a
// log line and the failure unattended, a message and the question again when
// asked. A folder no installation may take is refused before it is made.
TEST_F(RulesDestination, DestinationsACommandCannotNameAreRefused)
{
    struct Row {
        const char *dir32;
        const char *line;  // the log line
    } rows[] = {
        {"C:\\R&D", "DestDir \"C:\\R&D\" refused: it is a folder whose short name holds & | < > ^ % ( ) ! or \"."},
        {"C:\\WINDOWS\\Vantro", "DestDir \"C:\\WINDOWS\\Vantro\" refused: it is the Windows folder or a folder inside it."},
        {"C:\\", "DestDir \"C:\\\" refused: it is the root of a drive."},
        {"Vantro", "DestDir \"Vantro\" refused: it is not a plain absolute folder."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.dir32);
        MachineTest::TearDown();
        SetUp();
        Options(std::string("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n[Vantro]\r\nDIR32=") + row.dir32 + "\r\n");
        EXPECT_EQ(RunSetup(), 1603);
        ExpectNothingShown();
        std::string log = ReadText("C:\\TEMP\\setup.log");
        EXPECT_NE(log.find(std::string(row.line) + "\r\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("Copying"), std::string::npos);
        EXPECT_EQ(Record("DIR"), "(none)");
        EXPECT_FALSE(HostFileExists("C:\\WINDOWS\\Vantro"));  // never made
    }
    // Asked: the message, then the question again with the refused text.
    MachineTest::TearDown();
    SetUp();
    SetCurrentDirectoryA("C:\\TEMP");  // the installation files' folder
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostType(954, "C:\\R&D"), HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostCall([](HWND d) { EXPECT_EQ(HostControlState(d, 954).text, "C:\\R&D"); }),
                                    HostClick(IDCANCEL)});
    HostAnswerMessageBox(IDOK);
    HostAnswerMessageBox(IDOK);
    EXPECT_EQ(RunInstall(nullptr, 31, 31), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 2u);
    EXPECT_EQ(HostMessageBoxes()[0].text,
              "You cannot install to C:\\R&D:\nit is a folder whose short name holds & | < > ^ % ( ) ! or \".\n"
              "Please choose a folder of its own for Vantro Pro.");
    EXPECT_EQ(HostMessageBoxes()[1].text, "Can't continue without a destination folder!");
    EXPECT_FALSE(HostFileExists("C:\\R&D\\tclassic.exe"));
}
