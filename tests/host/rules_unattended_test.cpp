// How a run ends: the restart rules of the unattended mode and the exit codes
// deployment tools read from it, a failure that shows nothing unattended,
// Cancel in the component dialog, and the outcome bits the install sequence
// reports.
#include "app/deferred.h"
#include "app/main.h"
#include "app/options.h"
#include "controller/dialogs.h"
#include "payload/sequence.h"
#include "rules_fixture.h"

namespace {

class RulesEnding : public RulesTest {
protected:
    // A library of an earlier installation that a running program has mapped
    // (it is moved aside), or holds open (its copy waits for the next start).
    void LibraryInUse(bool image = true)
    {
        HostMakeFolder(kDest);
        HostWriteFile("C:\\Program Files\\Vantro Pro\\tcore32.dll", "old");
        HostHoldFile("C:\\Program Files\\Vantro Pro\\tcore32.dll", FILE_SHARE_READ, image);
    }
    // The last line of setup.log.
    std::string LastLogLine() const
    {
        std::string log = ReadText("C:\\TEMP\\setup.log");
        if (log.size() < 2) return "";
        size_t start = log.rfind("\r\n", log.size() - 3);
        return log.substr(start == std::string::npos ? 0 : start + 2, log.size() - (start == std::string::npos ? 0 : start + 2) - 2);
    }
};

// Work deferred while the install sequence runs, as a registration that needs a
// restart would raise it.
void RaiseRestartWhileCopying()
{
    if (HostFileExists("C:\\Program Files\\Vantro Pro\\tclassic.exe")) g_bRebootNeeded = 1;
}

TEST_F(RulesEnding, UnattendedRestartRules)
{
    enum { NONE, IMAGE, OPEN };
    struct Row {
        const char *name;
        const char *options;
        int hold;
        bool raiseDuringSequence, failLater;
        int restarts;
        int rebootNeededAfter;
        int exitCode;
        const char *lastLine;
    } rows[] = {
        {"ALLOWRBT, file in use: restart without a question", "ALLOWRBT=1\r\nEXPLORER=FALSE\r\n", IMAGE, false, false, 1,
         1, 1641, "Exit code 1641: installed; Windows is restarting."},
        {"ALLOWRBT true, file in use", "ALLOWRBT=TRUE\r\nEXPLORER=FALSE\r\n", IMAGE, false, false, 1, 1, 1641,
         "Exit code 1641: installed; Windows is restarting."},
        // Moved aside, the new library is in place: the install is complete.
        {"no ALLOWRBT, file in use: no restart", "EXPLORER=FALSE\r\n", IMAGE, false, false, 0, 0, 0,
         "Exit code 0: installed."},
        // Its copy waits for the next start, which is not made.
        {"no ALLOWRBT, file held open: copy deferred", "EXPLORER=FALSE\r\n", OPEN, false, false, 0, 0, 3010,
         "Exit code 3010: installed; files wait for the next start of Windows."},
        {"ALLOWRBT, file held open: restart", "ALLOWRBT=1\r\nEXPLORER=FALSE\r\n", OPEN, false, false, 1, 1, 1641,
         "Exit code 1641: installed; Windows is restarting."},
        {"ALLOWRBT, restart wanted by the sequence", "ALLOWRBT=1\r\nEXPLORER=FALSE\r\n", NONE, true, false, 1, 1, 1641,
         "Exit code 1641: installed; Windows is restarting."},
        {"no ALLOWRBT, restart wanted by the sequence: flag cleared", "EXPLORER=FALSE\r\n", NONE, true, false, 0, 0, 0,
         "Exit code 0: installed."},
        {"ALLOWRBT=yes is not true", "ALLOWRBT=yes\r\nEXPLORER=FALSE\r\n", NONE, true, false, 0, 0, 0,
         "Exit code 0: installed."},
        {"ALLOWRBT, file in use, then a failure: no restart", "ALLOWRBT=1\r\nEXPLORER=FALSE\r\n", IMAGE, false, true, 0,
         0, 1603, "Exit code 1603: the installation failed."},
        {"ALLOWRBT, restart wanted, then a failure: no restart", "ALLOWRBT=1\r\nEXPLORER=FALSE\r\n", NONE, true, true,
         0, 0, 1603, "Exit code 1603: the installation failed."},
        {"ALLOWRBT, nothing deferred", "ALLOWRBT=1\r\nEXPLORER=FALSE\r\n", NONE, false, false, 0, 0, 0,
         "Exit code 0: installed."},
        // The shell loads the Explorer interface's extension only after a restart.
        {"ALLOWRBT, Explorer extension registered", "ALLOWRBT=1\r\n", NONE, false, false, 1, 1, 1641,
         "Exit code 1641: installed; Windows is restarting."},
        {"no ALLOWRBT, Explorer extension registered: flag cleared", "", NONE, false, false, 0, 0, 0,
         "Exit code 0: installed."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        Options(std::string("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n") + row.options);
        if (row.hold != NONE) LibraryInUse(row.hold == IMAGE);
        if (row.raiseDuringSequence) HostOnIdle(RaiseRestartWhileCopying);
        if (row.failLater) HostRemoveResource("EXE", "EXEFILE5");  // tlink.exe, a required common file
        EXPECT_EQ(RunSetup(), row.exitCode);
        EXPECT_EQ(HostRestartState().requests, row.restarts);
        EXPECT_EQ(g_bRebootNeeded, row.rebootNeededAfter);
        ExpectNothingShown();
        EXPECT_EQ(Record("INSTOPTS"), row.failLater ? "(none)" : "12");
        EXPECT_EQ(LastLogLine(), row.lastLine);
        if (row.hold == IMAGE) EXPECT_EQ(Dest("tcore32.bak"), "old");
        if (row.hold == OPEN) EXPECT_EQ(Dest("tcore32.dll"), "old");
    }
}

// A restart Windows refuses is no restart: the outcome stays what it was.
TEST_F(RulesEnding, ARefusedRestartKeepsTheOutcome)
{
    Options("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\nALLOWRBT=1\r\nEXPLORER=FALSE\r\n");
    LibraryInUse(false);
    HostFailCall("ExitWindowsEx", 1, ERROR_PRIVILEGE_NOT_HELD);
    EXPECT_EQ(RunSetup(), 3010);
    EXPECT_EQ(HostRestartState().requests, 1);
    EXPECT_EQ(LastLogLine(), "Exit code 3010: installed; files wait for the next start of Windows.");
}

// Cancelled by the end of the session (the hidden main window closed), an
// unattended install says so.
TEST_F(RulesEnding, AnUnattendedRunEndedFromOutsideIsCancelled)
{
    Options("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n");
    static int closed;
    closed = 0;
    HostOnIdle([] {
        if (!closed && HostFileExists("C:\\Program Files\\Vantro Pro\\tclassic.exe")) {
            closed = 1;
            PostMessageA(g_hMainWnd, WM_CLOSE, 0, 0);
        }
    });
    EXPECT_EQ(RunSetup(), 1602);
    EXPECT_EQ(LastLogLine(), "Exit code 1602: the installation was cancelled.");
    EXPECT_EQ(Record("INSTOPTS"), "(none)");
}

// The main window's own guard, after the controller: with the flag raised and
// a controller that returns before it settles anything (the destination is the
// source folder), only ALLOWRBT lets an unattended run restart.
TEST_F(RulesEnding, MainWindowRestartsUnattendedOnlyWhenAllowed)
{
    struct Row {
        const char *allow;
        int restarts;
    } rows[] = {{"", 0}, {"ALLOWRBT=0\r\n", 0}, {"ALLOWRBT=1\r\n", 1}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.allow);
        MachineTest::TearDown();
        SetUp();
        Options(std::string("[INSTALL]\r\nQUIET=1\r\n") + row.allow + "[Vantro]\r\nDIR32=C:\\TEMP\\\r\n");
        g_bRebootNeeded = 1;
        EXPECT_EQ(RunSetup(), 1603);  // the destination was refused
        EXPECT_EQ(HostRestartState().requests, row.restarts);
        ExpectNothingShown();
    }
}

TEST_F(RulesEnding, InteractiveFailureNeverRestarts)
{
    LibraryInUse();
    HostRemoveResource("EXE", "EXEFILE5");
    ScriptInteractive();
    HostAnswerMessageBox(IDCANCEL);  // Retry or Cancel for tlink.exe
    HostAnswerMessageBox(IDOK);      // the failure message
    EXPECT_EQ(RunSetup(), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 2u);
    EXPECT_EQ(HostMessageBoxes()[1].text,
              "Some portion of installation process failed.\r\nFailed to install required file tlink.exe.");
    EXPECT_EQ(HostRestartState().requests, 0);
    EXPECT_EQ(g_bRebootNeeded, 0);
}

TEST_F(RulesEnding, UnattendedFailureShowsNothing)
{
    struct Row {
        const char *name;
        const char *resource;  // removed: a required file of that table
    } rows[] = {{"classic", "EXEFILE2"}, {"Explorer", "DLLFILE2"}, {"utility", "EXEFILE3"}, {"common", "DLLFILE7"}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        Options("[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n");
        HostRemoveResource("EXE", row.resource);
        EXPECT_EQ(RunSetup(), 1603);
        ExpectNothingShown();
        EXPECT_EQ(Record("DEFDIR"), "(none)");
        EXPECT_EQ(LastLogLine(), "Exit code 1603: the installation failed.");
        // The copy failure went to the log instead; the controller's own failure
        // text goes nowhere.
        std::string log = ReadText("C:\\TEMP\\setup.log");
        EXPECT_NE(log.find("Copy of "), std::string::npos);
        EXPECT_EQ(log.find("Some portion"), std::string::npos);
    }
}

TEST_F(RulesEnding, CancelInTheComponentDialogInstallsNothing)
{
    struct Row {
        const char *name;
        HostDialogStep step;
    } rows[] = {{"Cancel", HostClick(IDCANCEL)}, {"Esc", HostPressEsc()}, {"close box", HostCloseBox()}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        // A restart left wanted from before must not survive a cancelled run.
        g_bRebootNeeded = 1;
        ScriptInteractive({row.step}, false);
        EXPECT_EQ(RunSetup(), 0);
        EXPECT_EQ(g_bRebootNeeded, 0);
        EXPECT_EQ(HostRestartState().requests, 0);
        EXPECT_TRUE(HostMessageBoxes().empty());
        EXPECT_EQ(HostOpenDialog("DLG_COPY"), nullptr);
        for (const HostDialogRecord &d : HostDialogsShown()) EXPECT_NE(d.templateName, "DLG_COPY");
        for (const char *file : {"tclassic.exe", "shellext.dll", "tscript.exe", "tlink.exe", "Vantro.ini"})
            EXPECT_FALSE(DestHas(file)) << file;
        for (const char *key : {"DEFDIR", "INSTOPTS", "PRO", "DIR"}) EXPECT_EQ(Record(key), "(none)") << key;
    }
}

TEST_F(RulesEnding, ReportBitsOfTheSequence)
{
    struct Row {
        const char *name;
        const char *missingResource;  // null: nothing missing
        bool cancel;
        int success;
        const char *damagedResource;  // one byte flipped after the build
    } rows[] = {
        {"success", nullptr, false, 1, nullptr},
        {"a required file fails", "DLLFILE1", false, 0, nullptr},
        {"a file not required fails", "CNTFILE1", false, 1, nullptr},
        {"Cancel", nullptr, true, 0, nullptr},
        {"a required file damaged", nullptr, false, 0, "DLLFILE1"},
        {"a file not required damaged", nullptr, false, 1, "CNTFILE1"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        if (row.missingResource) HostRemoveResource("EXE", row.missingResource);
        if (row.damagedResource) {
            ASSERT_TRUE(HostDamageResource("EXE", row.damagedResource, 20));
        }
        g_bCancelled = row.cancel;
        g_bSilent = 1;  // a required failure is logged, not asked
        char failure[512];
        DWORD report = 0x8 | 0x1 | 0x10000;  // left over: the sequence starts from 0
        int result = RunInstallSequence("C:\\TEMP\\", kDest, 0x1 | 0x2 | 0x4 | 0x10000000, &report, nullptr, nullptr,
                                        failure);
        EXPECT_EQ(result != 0, row.success != 0);
        EXPECT_EQ((report & 0x1) != 0, row.success != 0);
        EXPECT_EQ((report & 0x8) != 0, row.success == 0);
        // The Explorer extension registered itself: the shell wants a restart.
        EXPECT_EQ((report & 0x10000) != 0, row.success != 0);
        // A damaged file is not installed; every other file is.
        if (row.damagedResource) {
            const char *file = strcmp(row.damagedResource, "DLLFILE1") == 0 ? "tcore32.dll" : "TCore32.cnt";
            EXPECT_FALSE(DestHas(file));
            if (row.success) EXPECT_TRUE(DestHas("tcore32.hlp") && DestHas("tlink.exe") && DestHas("publicag.ini"));
            if (!row.success) EXPECT_STREQ(failure, "Failed to install required file tcore32.dll.");
        }
    }
}

}  // namespace
