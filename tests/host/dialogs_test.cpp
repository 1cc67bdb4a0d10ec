// The rules of each dialog of the install dialogue, worked by the scripted user.
#include <string.h>

#include "app/main.h"
#include "app/options.h"
#include "controller/destination.h"
#include "controller/dialogs.h"
#include "controller/install.h"
#include "machine_fixture.h"
#include "resource.h"

class InstallDialogs : public MachineTest {
protected:
    void TearDown() override
    {
        EXPECT_TRUE(HostDialogErrors().empty());
        MachineTest::TearDown();
    }
    const HostDialogRecord &Shown(size_t i = 0)
    {
        static HostDialogRecord none;
        return i < HostDialogsShown().size() ? HostDialogsShown()[i] : none;
    }
    HostControl Initial(int id, size_t dialog = 0)
    {
        const HostControl *c = HostFindControl(Shown(dialog).shown, id);
        return c ? *c : HostControl{};
    }
};

TEST_F(InstallDialogs, RemoveIsOfferedOnlyForARecordedInstallation)
{
    struct Row {
        const char *name, *defdir, *instopts;
        bool removable;
    } rows[] = {
        {"no record", nullptr, nullptr, false},
        {"folder without options", "C:\\Vantro", nullptr, false},
        {"options 0", "C:\\Vantro", "0", false},
        {"empty folder", "", "12", false},
        {"both", "C:\\Vantro", "12", true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        MachineTest::SetUp();
        if (row.defdir) WriteProfileStringA("Vantro", "DEFDIR", row.defdir);
        if (row.instopts) WriteProfileStringA("Vantro", "INSTOPTS", row.instopts);
        HostDialogScript("DLG_INSTALL", {HostCheck(IDC_ACTION_REMOVE), HostClick(IDOK)});
        int action = AskAction(nullptr);
        EXPECT_TRUE(Initial(IDC_ACTION_INSTALL).checked);
        EXPECT_EQ(Initial(IDC_ACTION_INSTALL).text, "&Install or update Vantro Pro");
        EXPECT_EQ(Initial(IDC_ACTION_REMOVE).text, "&Uninstall Vantro Pro");
        EXPECT_EQ(Initial(IDC_ACTION_REMOVE).enabled, row.removable);
        EXPECT_EQ(action, row.removable ? ACTION_REMOVE : ACTION_INSTALL);
    }
    HostDialogScript("DLG_INSTALL", {HostPressEsc()});
    EXPECT_EQ(AskAction(nullptr), ACTION_LEAVE);
    HostDialogScript("DLG_INSTALL", {HostCloseBox()});
    EXPECT_EQ(AskAction(nullptr), ACTION_LEAVE);
}

TEST_F(InstallDialogs, ComponentStatesFollowTheOfferedSet)
{
    struct Box {
        bool checked, enabled;
    };
    struct Row {
        int selection, choosable;
        Box classic, explorer, utilities, browser, queue;
    } rows[] = {
        {1, 3, {1, 1}, {0, 1}, {0, 0}, {0, 0}, {0, 0}},
        {5, 5, {1, 1}, {0, 0}, {1, 1}, {0, 0}, {0, 0}},
        {29, 31, {1, 1}, {0, 1}, {1, 1}, {1, 1}, {1, 1}},
        {31, 31, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}},
        {3, 1, {1, 1}, {1, 0}, {0, 0}, {0, 0}, {0, 0}},
    };
    const int ids[] = {IDC_CLASSIC, IDC_EXPLORER, IDC_UTILITIES, IDC_BROWSER, IDC_QUEUE};
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.selection) + "/" + std::to_string(row.choosable));
        MachineTest::TearDown();
        MachineTest::SetUp();
        HostDialogScript("DLG_VERS_32", {HostClick(IDOK)});
        int chosen = AskComponents(nullptr, row.selection, row.choosable);
        const Box *boxes[] = {&row.classic, &row.explorer, &row.utilities, &row.browser, &row.queue};
        int expected = 0;
        for (int i = 0; i < 5; i++) {
            EXPECT_EQ(Initial(ids[i]).checked, boxes[i]->checked) << ids[i];
            EXPECT_EQ(Initial(ids[i]).enabled, boxes[i]->enabled) << ids[i];
            if (boxes[i]->checked) expected |= 1 << i;
        }
        // A greyed interface box still counts on OK.
        EXPECT_EQ(chosen, expected);
        EXPECT_EQ(gbInstallBonusPack, (expected & 4) ? 1 : 0);
    }
    // The dialog shows only when the classic interface is proposed.
    EXPECT_EQ(AskComponents(nullptr, 2, 31), 0);
    EXPECT_EQ(HostDialogsShown().size(), 1u);
}

TEST_F(InstallDialogs, UtilitiesGovernBrowserIntegration)
{
    // NT 3.51: unchecking and checking the utilities enables browser integration
    // although it is not offered.
    HostDialogScript("DLG_VERS_32", {HostUncheck(IDC_UTILITIES),
                                      HostCall([](HWND d) {
                                          EXPECT_FALSE(HostControlState(d, IDC_BROWSER).enabled);
                                          EXPECT_FALSE(HostControlState(d, IDC_QUEUE).enabled);
                                      }),
                                      HostCheck(IDC_UTILITIES),
                                      HostCall([](HWND d) { EXPECT_TRUE(HostControlState(d, IDC_BROWSER).enabled); }),
                                      HostClick(IDOK)});
    EXPECT_EQ(AskComponents(nullptr, 5, 5), 5);

    // Unchecked utilities: browser integration off, the queue keeps its state,
    // and neither counts.
    HostDialogScript("DLG_VERS_32", {HostUncheck(IDC_UTILITIES),
                                      HostCall([](HWND d) {
                                          EXPECT_FALSE(HostControlState(d, IDC_BROWSER).enabled);
                                          EXPECT_TRUE(HostControlState(d, IDC_QUEUE).enabled);
                                      }),
                                      HostClick(IDOK)});
    EXPECT_EQ(AskComponents(nullptr, 31, 31), 3);
    EXPECT_EQ(gbInstallBonusPack, 0);
}

TEST_F(InstallDialogs, NothingSelectedKeepsTheDialogOpen)
{
    HostDialogScript("DLG_VERS_32", {HostUncheck(IDC_CLASSIC), HostUncheck(IDC_EXPLORER), HostUncheck(IDC_UTILITIES),
                                      HostClick(IDOK), HostCall([](HWND d) { EXPECT_TRUE(IsWindow(d)); }),
                                      HostClick(IDC_COMPONENT_HELP), HostClick(IDCANCEL)});
    HostDialogScript("DLG_32_HELP", {HostPressEnter()});
    HostAnswerMessageBox(IDOK);  // the user acknowledges "Nothing Selected!"
    gbInstallBonusPack = 1;
    EXPECT_EQ(AskComponents(nullptr, 31, 31), 0);
    EXPECT_EQ(gbInstallBonusPack, 0);  // Cancel clears it
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Nothing Selected!");
    EXPECT_TRUE(HostMessageBoxes()[0].nullCaption);
    EXPECT_EQ(HostMessageBoxes()[0].type, (unsigned)MB_ICONERROR);
    EXPECT_EQ(HostMessageBoxes()[0].owner, Shown(0).wnd);
    ASSERT_EQ(HostDialogsShown().size(), 2u);
    EXPECT_EQ(Shown(1).templateName, "DLG_32_HELP");
    EXPECT_EQ(Shown(1).owner, Shown(0).wnd);
}

TEST_F(InstallDialogs, IconPlacement)
{
    g_iconLocation = 1;
    HostDialogScript("#307", {HostPressEsc()});
    EXPECT_EQ(AskIconPlacement(nullptr), 0);
    EXPECT_TRUE(Initial(IDC_ICON_MYCOMPUTER).checked);
    EXPECT_FALSE(Initial(IDC_ICON_DESKTOP).checked);
    EXPECT_EQ(g_iconLocation, 1);
    HostDialogScript("#307", {HostCheck(IDC_ICON_DESKTOP), HostClick(IDOK)});
    EXPECT_EQ(AskIconPlacement(nullptr), 1);
    EXPECT_EQ(g_iconLocation, 0);
    EXPECT_EQ(Shown(0).caption, "Icon Placement");
}

TEST_F(InstallDialogs, DialogsAreCentredOnTheDesktop)
{
    HostSetDesktop(800, 600);
    HostDialogScript("DLG_INSTALL", {HostClick(IDCANCEL)});
    AskAction(nullptr);
    const RECT &r = Shown(0).rect;
    EXPECT_EQ(r.left, 400 - (r.right - r.left) / 2);
    EXPECT_EQ(r.top, 300 - (r.bottom - r.top) / 2);
}

TEST_F(InstallDialogs, StatusWindowCancelOnlyRaisesTheFlag)
{
    HWND status = CreateStatusWindow(nullptr);
    ASSERT_NE(status, nullptr);
    g_hStatusWnd = status;
    PostMessageA(status, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(status, WM_COMMAND, IDCANCEL, 0);
    PumpMessages();
    EXPECT_EQ(g_bCancelled, 1);
    EXPECT_TRUE(IsWindow(status));
    EXPECT_NE(GetDlgItem(status, IDC_STATUS_TEXT), nullptr);
    DestroyWindow(status);
    g_hStatusWnd = nullptr;
}

TEST_F(InstallDialogs, DestinationAndFolderPicker)
{
    HostMakeFolder("C:\\Program Files");
    HostMakeFolder("C:\\Apps\\OldVantroFiles");
    HostAddDrive('D');
    struct Row {
        const char *name;
        HostDialogStep pick;
        const char *field;
    } rows[] = {
        {"a general folder gets the product folder", HostPick("C:\\Program Files"), "C:\\Program Files\\Vantro"},
        {"a folder naming the product stays", HostPick("C:\\Apps\\OldVantroFiles"), "C:\\Apps\\OldVantroFiles"},
        {"a drive's root", HostPick("D:\\"), "D:\\Vantro"},
        {"cancel keeps the typed text", HostCancelPicker(), "C:\\Typed"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        char folder[512] = "C:\\Proposed";
        HostDialogScript("DLG_GETDIR", {HostType(IDC_DEST_FOLDER, "C:\\Typed"), HostClick(IDC_DEST_BROWSE),
                                         HostCall([&](HWND d) {
                                             EXPECT_EQ(HostControlState(d, IDC_DEST_FOLDER).text, row.field);
                                         }),
                                         HostClick(IDOK)});
        HostDialogScript("DLG_BROWSE", {HostCall([](HWND d) {
                                            EXPECT_EQ(HostControlState(d, IDC_BROWSE_PROMPT).text, "Where to?");
                                        }),
                                        row.pick});
        SetCurrentDirectoryA("C:\\TEMP");
        EXPECT_EQ(AskDestination(nullptr, "Where to?", folder, sizeof folder), 1);
        EXPECT_STREQ(folder, row.field);
        // The picker moved the current folder; the working folder is back.
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(sizeof cwd, cwd);
        EXPECT_STREQ(cwd, "C:\\TEMP");
    }
    // Cancel leaves the caller's text alone; OK with an empty field returns it empty.
    char folder[512] = "C:\\Proposed";
    HostDialogScript("DLG_GETDIR", {HostClick(IDCANCEL)});
    EXPECT_EQ(AskDestination(nullptr, "Where to?", folder, sizeof folder), 0);
    EXPECT_STREQ(folder, "C:\\Proposed");
    HostDialogScript("DLG_GETDIR", {HostType(IDC_DEST_FOLDER, ""), HostClick(IDOK)});
    EXPECT_EQ(AskDestination(nullptr, "Where to?", folder, sizeof folder), 1);
    EXPECT_STREQ(folder, "");
}

TEST_F(InstallDialogs, SourceFolderIsRefusedAndProposedAgain)
{
    SetCurrentDirectoryA("C:\\TEMP");
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    // The folder itself, one inside it, and one that merely starts the same way
    // are refused; each time the dialog comes back with the refused text.
    const char *refused[] = {"C:\\TEMP", "c:\\temp\\sub", "C:\\Temp2"};
    const char *shown = "C:\\Program Files\\Vantro Pro";
    for (const char *text : refused) {
        std::string expect = shown;
        HostDialogScript("DLG_GETDIR", {HostCall([expect](HWND d) {
                                             EXPECT_EQ(HostControlState(d, IDC_DEST_FOLDER).text, expect);
                                         }),
                                         HostType(IDC_DEST_FOLDER, text), HostClick(IDOK)});
        shown = text;
    }
    // Then an empty destination, which is no folder at all; then Cancel.
    HostDialogScript("DLG_GETDIR", {HostType(IDC_DEST_FOLDER, ""), HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostClick(IDCANCEL)});
    // Each refusal and the final word are error boxes with OK alone.
    for (int i = 0; i < 5; i++) HostAnswerMessageBox(IDOK);
    EXPECT_EQ(RunInstall(nullptr, 31, 31), 0);
    const auto &boxes = HostMessageBoxes();
    ASSERT_EQ(boxes.size(), 5u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(boxes[i].text, "You cannot install to the folder that contains the installation files.");
        EXPECT_EQ(boxes[i].caption, "Vantro Pro Installation");
        EXPECT_EQ(boxes[i].type, (unsigned)MB_ICONERROR);
    }
    EXPECT_EQ(boxes[3].text, "You cannot install to :\nit is not a plain absolute folder.\nPlease choose a folder of its "
                             "own for Vantro Pro.");
    EXPECT_EQ(boxes[3].caption, "Vantro Pro Installation");
    EXPECT_EQ(boxes[3].type, (unsigned)MB_ICONERROR);
    EXPECT_EQ(boxes[4].text, "Can't continue without a destination folder!");
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\tclassic.exe"));
}
