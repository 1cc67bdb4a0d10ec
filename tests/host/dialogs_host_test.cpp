// The simulated machine's dialogs: templates read from the resource script,
// dialogs and controls made from them, the dialog manager's rules (radio
// groups, check boxes, disabled controls, Esc, Enter and the close box), modal
// and modeless dialogs worked by the scripted user, and the old-style open-file
// dialog used as a folder picker.
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "machine_fixture.h"

namespace {

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kTabStop = 0x00010000, kGroup = 0x00020000;
const DWORD kPush = 0x0, kDefPush = 0x1, kCheckBox = 0x2, kAutoCheckBox = 0x3, kAutoRadio = 0x9;
const WORD kEnChange = 0x0300;
const UINT kCbAddString = 0x0143, kCbGetCount = 0x0146;
const DWORD kCbsDropDown = 0x2, kCbsSort = 0x100;

// What the test dialog procedure heard.
struct Heard {
    UINT msg;
    int id;
    int code;
};
std::vector<Heard> g_heard;
LPARAM g_initParam;

// Ends on IDOK and IDCANCEL with the command's id (IDOK answers 100 + the
// number of checked controls among 10..19, so tests see the state at OK).
INT_PTR CALLBACK TestProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        g_initParam = lParam;
        g_heard.push_back({msg, 0, 0});
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        g_heard.push_back({msg, (short)LOWORD(wParam), HIWORD(wParam)});
        if (LOWORD(wParam) == IDOK) {
            int checked = 0;
            for (int id = 10; id < 20; id++) checked += IsDlgButtonChecked(dlg, id) == BST_CHECKED;
            EndDialog(dlg, 100 + checked);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
        }
        return TRUE;
    }
    return FALSE;
}

std::vector<int> Commands()
{
    std::vector<int> ids;
    for (auto &h : g_heard)
        if (h.msg == WM_COMMAND) ids.push_back(h.id);
    return ids;
}

// DLG_TEST: OK, Cancel, two radio groups, two auto check boxes, a plain check
// box, an edit field, a hidden button and a static text.
HostDialogTemplate TestTemplate()
{
    return HostDialogTemplate{
        "DLG_TEST",
        "Test Dialog",
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
        0, 0, 200, 120,
        {
            {IDOK, "Button", "OK", kChild | kTabStop | kDefPush, 140, 6, 50, 14},
            {IDCANCEL, "Button", "Cancel", kChild | kTabStop | kPush, 140, 24, 50, 14},
            {10, "Button", "A1", kChild | kTabStop | kGroup | kAutoRadio, 6, 6, 60, 10},
            {11, "Button", "A2", kChild | kAutoRadio, 6, 18, 60, 10},
            {12, "Button", "A3", kChild | kAutoRadio, 6, 30, 60, 10},
            {13, "Button", "B1", kChild | kTabStop | kGroup | kAutoRadio, 6, 42, 60, 10},
            {14, "Button", "B2", kChild | kAutoRadio, 6, 54, 60, 10},
            {15, "Button", "Auto", kChild | kTabStop | kGroup | kAutoCheckBox, 6, 66, 60, 10},
            {16, "Button", "Auto too", kChild | kTabStop | kAutoCheckBox, 6, 78, 60, 10},
            {17, "Button", "Manual", kChild | kTabStop | kCheckBox, 6, 90, 60, 10},
            {30, "Edit", "start", kChild | kTabStop | WS_BORDER | ES_AUTOHSCROLL, 70, 6, 60, 12},
            {31, "Button", "Hidden", WS_CHILD | kTabStop, 140, 46, 50, 14},
            {-1, "Static", "Label", kChild, 70, 24, 60, 8},
        }};
}

class Dialogs : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        g_heard.clear();
        g_initParam = 0;
        HostSetDialogTemplate(TestTemplate());
    }
};

// ---- the resource script ------------------------------------------------------------------

std::string RunHostrc(const std::string &dir, const std::string &script, const std::string &header)
{
    std::ofstream(dir + "/t.rc") << script;
    std::ofstream(dir + "/ids.h") << header;
    std::string cmd = std::string(VANTRO_BINARY_DIR) + "/tools/hostrc " + dir + "/t.rc " + dir + "/t.cpp 2>" + dir +
                      "/err.txt";
    if (system(cmd.c_str()) != 0) {
        std::ifstream err(dir + "/err.txt");
        std::stringstream ss;
        ss << err.rdbuf();
        return "FAILED: " + ss.str();
    }
    std::ifstream in(dir + "/t.cpp");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The styles are those windres writes for the same statements.
TEST_F(Dialogs, HostrcReadsDialogTemplatesAsWindresDoes)
{
    std::string out = RunHostrc(root_,
                                "#include <windows.h>\n"
                                "#include \"ids.h\"\n"
                                "DLG_NUMBERED DIALOG 1, 2, 30, 40\n"
                                "STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION\n"
                                "CAPTION \"Quoted \"\"text\"\"\"\n"
                                "FONT 8, \"MS Sans Serif\"\n"
                                "BEGIN\n"
                                "    DEFPUSHBUTTON \"OK\", IDOK, 1, 2, 3, 4\n"
                                "    PUSHBUTTON \"Cancel\", IDCANCEL, 1, 2, 3, 4\n"
                                "    LTEXT \"\", IDC_NAMED, 1, 2, 3, 4, SS_NOPREFIX\n"
                                "    RTEXT \"r\", -1, 1, 2, 3, 4\n"
                                "    CTEXT \"c\", IDC_STATIC, 1, 2, 3, 4\n"
                                "    AUTORADIOBUTTON \"a\", 5, 1, 2, 3, 4\n"
                                "    AUTORADIOBUTTON \"g\", 6, 1, 2, 3, 4, WS_GROUP\n"
                                "    AUTOCHECKBOX \"k\", 7, 1, 2, 3, 4, NOT WS_TABSTOP\n"
                                "    RADIOBUTTON \"r\", 8, 1, 2, 3, 4\n"
                                "    CHECKBOX \"c\", 9, 1, 2, 3, 4\n"
                                "    GROUPBOX \"g\", 10, 1, 2, 3, 4\n"
                                "    EDITTEXT 11, -100, -100, 3, 4, ES_AUTOHSCROLL | NOT WS_VISIBLE\n"
                                "    LISTBOX 12, 1, 2, 3, 4\n"
                                "    COMBOBOX 13, 1, 2, 3, 4, CBS_DROPDOWN | WS_VSCROLL\n"
                                "    CONTROL \"b\", 14, \"button\", BS_AUTORADIOBUTTON, 1, 2, 3, 4\n"
                                "END\n"
                                "PLAIN DIALOGEX 0, 0, 10, 10\n"
                                "CAPTION \"x\"\n"
                                "FONT 8, \"MS Sans Serif\", 400, 0, 1\n"
                                "BEGIN\n"
                                "    LTEXT \"x\", 5, 1, 1, 1, 1, SS_NOPREFIX, WS_EX_CLIENTEDGE\n"
                                "END\n",
                                "#ifndef IDS_H\n#define IDS_H\n#define DLG_NUMBERED 307 // the numbered one\n"
                                "#define IDC_NAMED 954\n#define IDC_STATIC (-1)\n#endif\n");
    ASSERT_EQ(out.find("FAILED"), std::string::npos) << out;
    struct Row {
        const char *name;
        const char *expected;
    } rows[] = {
        {"numbered dialog, STYLE replaces the default, CAPTION and FONT add theirs",
         "{\"#307\", \"Quoted \\\"text\\\"\", 0x80C000C0u, 0x00000000u, 1, 2, 30, 40, \"MS Sans Serif\", 8"},
        {"DIALOGEX without STYLE", "{\"PLAIN\", \"x\", 0x80C80040u, 0x00000000u, 0, 0, 10, 10, \"MS Sans Serif\", 8"},
        {"DEFPUSHBUTTON", "{1, \"Button\", \"OK\", 0x50010001u, 0x00000000u, 1, 2, 3, 4}"},
        {"PUSHBUTTON", "{2, \"Button\", \"Cancel\", 0x50010000u, 0x00000000u, 1, 2, 3, 4}"},
        {"LTEXT with a style loses WS_GROUP; id from the header", "{954, \"Static\", \"\", 0x50000080u,"},
        {"RTEXT", "{-1, \"Static\", \"r\", 0x50020002u,"},
        {"CTEXT, IDC_STATIC", "{-1, \"Static\", \"c\", 0x50020001u,"},
        {"AUTORADIOBUTTON", "{5, \"Button\", \"a\", 0x50010009u,"},
        {"AUTORADIOBUTTON with a style loses WS_TABSTOP", "{6, \"Button\", \"g\", 0x50020009u,"},
        {"AUTOCHECKBOX, NOT", "{7, \"Button\", \"k\", 0x50000003u,"},
        {"RADIOBUTTON", "{8, \"Button\", \"r\", 0x50010004u,"},
        {"CHECKBOX", "{9, \"Button\", \"c\", 0x50010002u,"},
        {"GROUPBOX", "{10, \"Button\", \"g\", 0x50000007u,"},
        {"EDITTEXT hidden, parked", "{11, \"Edit\", \"\", 0x40810080u, 0x00000000u, -100, -100, 3, 4}"},
        {"LISTBOX", "{12, \"ListBox\", \"\", 0x50800001u,"},
        {"COMBOBOX with a style", "{13, \"ComboBox\", \"\", 0x50200002u,"},
        {"CONTROL: class name, WS_CHILD | WS_VISIBLE added", "{14, \"Button\", \"b\", 0x50000009u,"},
        {"DIALOGEX control's extended style", "{5, \"Static\", \"x\", 0x50000080u, 0x00000200u,"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_NE(out.find(row.expected), std::string::npos) << out;
    }

    struct Bad {
        const char *name;
        const char *script;
        const char *message;
    } bad[] = {
        {"unknown style name", "D DIALOG 0, 0, 1, 1\nSTYLE WS_NOSUCH\nBEGIN\nEND\n", "unknown name WS_NOSUCH"},
        {"unknown control statement", "D DIALOG 0, 0, 1, 1\nBEGIN\n ICONX \"a\", 1, 1, 1, 1, 1\nEND\n",
         "unsupported control statement ICONX"},
        {"missing comma", "D DIALOG 0, 0, 1, 1\nBEGIN\n LTEXT \"a\" 1, 1, 1, 1, 1\nEND\n", "',' expected"},
    };
    for (const Bad &b : bad) {
        SCOPED_TRACE(b.name);
        std::string result = RunHostrc(root_, b.script, "");
        EXPECT_EQ(result.find("FAILED"), 0u) << result;
        EXPECT_NE(result.find(b.message), std::string::npos) << result;
    }
}

// ---- templates to windows --------------------------------------------------------------------

TEST_F(Dialogs, TemplateBecomesADialogWindowWithChildControls)
{
    HostSetDesktop(800, 600);
    HWND seen = nullptr;
    HostDialogScript("dlg_test", {HostCall([&seen](HWND dlg) {
                                      seen = dlg;
                                      EXPECT_TRUE(IsWindowVisible(dlg));
                                      RECT client;
                                      GetClientRect(dlg, &client);
                                      EXPECT_EQ(client.right, 300);   // 200 units * 6 / 4
                                      EXPECT_EQ(client.bottom, 195);  // 120 units * 13 / 8
                                      char caption[64];
                                      GetWindowTextA(dlg, caption, sizeof caption);
                                      EXPECT_STREQ(caption, "Test Dialog");
                                      HWND ok = GetDlgItem(dlg, IDOK);
                                      ASSERT_NE(ok, nullptr);
                                      EXPECT_EQ(GetParent(ok), dlg);
                                      HostControl label = HostControlState(dlg, -1);
                                      EXPECT_TRUE(label.found);
                                      EXPECT_EQ(label.className, "Static");
                                      EXPECT_EQ(label.text, "Label");
                                      HostControl hidden = HostControlState(dlg, 31);
                                      EXPECT_FALSE(hidden.visible);
                                      EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 31)));
                                      EXPECT_FALSE(HostControlState(dlg, 99).found);
                                      char text[4];
                                      EXPECT_EQ(GetDlgItemTextA(dlg, 30, text, sizeof text), 3u);  // cut to the buffer
                                      EXPECT_STREQ(text, "sta");
                                  }),
                                  HostClick(IDOK)});
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_TEST", nullptr, TestProc, 1234), 100);
    EXPECT_EQ(g_initParam, 1234);
    ASSERT_EQ(HostDialogsShown().size(), 1u);
    const HostDialogRecord &r = HostDialogsShown()[0];
    EXPECT_EQ(r.templateName, "DLG_TEST");
    EXPECT_EQ(r.wnd, seen);
    EXPECT_TRUE(r.modal);
    EXPECT_TRUE(r.ended);
    EXPECT_TRUE(r.destroyed);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(r.rect.right - r.rect.left, 300 + 6);       // the client plus the frame
    EXPECT_EQ(r.rect.bottom - r.rect.top, 195 + 6 + 18);  // and the caption
    ASSERT_EQ(r.shown.size(), 13u);                       // every control, in template order
    EXPECT_EQ(r.shown[0].id, IDOK);
    EXPECT_EQ(r.shown[12].id, -1);
    EXPECT_EQ(r.shown[10].text, "start");
    EXPECT_EQ(HostFindWindow("#32770", "Test Dialog"), nullptr);  // gone
    EXPECT_TRUE(HostDialogErrors().empty());
}

TEST_F(Dialogs, MissingTemplateFailsAsWindowsDoes)
{
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_NONE", nullptr, TestProc, 0), -1);
    EXPECT_EQ(CreateDialogParamA(nullptr, "DLG_NONE", nullptr, TestProc, 0), nullptr);
    EXPECT_TRUE(g_heard.empty());
    HostFailCall("DialogBoxParamA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_TEST", nullptr, TestProc, 0), -1);
    EXPECT_TRUE(HostDialogsShown().empty());
}

// ---- the dialog manager's rules ---------------------------------------------------------

TEST_F(Dialogs, RadioGroupsAndCheckBoxes)
{
    struct Row {
        const char *name;
        std::vector<HostDialogStep> steps;
        std::vector<int> checked;   // ids checked when OK is pressed
        std::vector<int> commands;  // BN_CLICKED commands heard before OK
    } rows[] = {
        {"a radio clears the others of its group only", {HostClick(10), HostClick(13), HostClick(11)}, {11, 13},
         {10, 13, 11}},
        {"clicking a checked radio keeps it and still tells", {HostClick(12), HostClick(12)}, {12}, {12, 12}},
        {"auto check boxes toggle", {HostClick(15), HostClick(16), HostClick(15)}, {16}, {15, 16, 15}},
        {"check clicks only an unchecked box", {HostCheck(15), HostCheck(15), HostUncheck(16)}, {15}, {15}},
        {"a plain check box tells but keeps its state", {HostClick(17)}, {}, {17}},
        {"check on a radio selects it", {HostCheck(14), HostCheck(14)}, {14}, {14}},
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.name);
        g_heard.clear();
        std::vector<int> checkedAtOk;
        row.steps.push_back(HostCall([&checkedAtOk](HWND dlg) {
            for (int id = 10; id < 20; id++)
                if (HostControlState(dlg, id).checked) checkedAtOk.push_back(id);
        }));
        row.steps.push_back(HostClick(IDOK));
        HostDialogScript("DLG_TEST", row.steps);
        EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_TEST", nullptr, TestProc, 0), 100 + (INT_PTR)row.checked.size());
        EXPECT_EQ(checkedAtOk, row.checked);
        std::vector<int> expected = row.commands;
        expected.push_back(IDOK);
        EXPECT_EQ(Commands(), expected);
        EXPECT_EQ(HostDialogStepsLeft("DLG_TEST"), 0);
    }
    EXPECT_TRUE(HostDialogErrors().empty());
}

TEST_F(Dialogs, ProgramSetsButtonStates)
{
    HostDialogScript("DLG_TEST",
                     {HostCall([](HWND dlg) {
                          EXPECT_TRUE(CheckRadioButton(dlg, 10, 12, 11));
                          EXPECT_EQ(IsDlgButtonChecked(dlg, 11), (UINT)BST_CHECKED);
                          EXPECT_TRUE(CheckRadioButton(dlg, 10, 12, 12));
                          EXPECT_EQ(IsDlgButtonChecked(dlg, 11), (UINT)BST_UNCHECKED);
                          EXPECT_TRUE(CheckDlgButton(dlg, 17, BST_CHECKED));
                          EXPECT_EQ(SendDlgItemMessageA(dlg, 17, BM_GETCHECK, 0, 0), BST_CHECKED);
                          SendDlgItemMessageA(dlg, 15, BM_SETCHECK, BST_CHECKED, 0);
                          EXPECT_TRUE(HostControlState(dlg, 15).checked);
                          SendDlgItemMessageA(dlg, IDOK, BM_SETCHECK, BST_CHECKED, 0);  // a push button has none
                          EXPECT_EQ(IsDlgButtonChecked(dlg, IDOK), (UINT)BST_UNCHECKED);
                          EXPECT_FALSE(CheckDlgButton(dlg, 99, BST_CHECKED));
                          EXPECT_EQ(IsDlgButtonChecked(dlg, 99), 0u);
                      }),
                      HostClick(IDOK)});
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_TEST", nullptr, TestProc, 0), 103);  // 12, 15, 17
    // The program's own settings are no clicks: the procedure heard only OK.
    EXPECT_EQ(Commands(), std::vector<int>{IDOK});
}

TEST_F(Dialogs, DisabledAndHiddenControlsIgnoreTheUser)
{
    HostDialogScript("DLG_TEST", {HostCall([](HWND dlg) {
                                      EXPECT_FALSE(EnableWindow(GetDlgItem(dlg, 15), FALSE));  // was enabled
                                      EnableWindow(GetDlgItem(dlg, 10), FALSE);
                                      SetDlgItemTextA(dlg, 30, "kept");
                                      EnableWindow(GetDlgItem(dlg, 30), FALSE);
                                  }),
                                  HostClick(15), HostCheck(10), HostClick(31), HostType(30, "typed"),
                                  HostCall([](HWND dlg) {
                                      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 15)));
                                      EXPECT_TRUE(EnableWindow(GetDlgItem(dlg, 15), TRUE));  // was disabled
                                      ShowWindow(GetDlgItem(dlg, 31), SW_SHOW);
                                  }),
                                  HostClick(15), HostClick(31), HostClick(IDOK)});
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_TEST", nullptr, TestProc, 0), 101);
    // Of all the commands only the enabled check box, the shown button and OK
    // reached the procedure (and the program's own change of the edit field).
    EXPECT_EQ(Commands(), (std::vector<int>{30, 15, 31, IDOK}));
    const HostDialogRecord &r = HostDialogsShown()[0];
    ASSERT_EQ(r.actions.size(), 9u);
    struct Row {
        size_t action;
        const char *step;
        bool ignored;
    } rows[] = {{1, "click 15", true},  {2, "check 10", true},   {3, "click 31", true},  {4, "type 30 typed", true},
                {6, "click 15", false}, {7, "click 31", false}, {8, "click 1", false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.step);
        EXPECT_EQ(r.actions[row.action].step, row.step);
        EXPECT_EQ(r.actions[row.action].ignored, row.ignored);
    }
    // The snapshot taken when the user acted shows why.
    EXPECT_FALSE(HostFindControl(r.actions[1].before, 15)->enabled);
    EXPECT_EQ(HostFindControl(r.actions[4].before, 30)->text, "kept");
    EXPECT_TRUE(HostFindControl(r.actions[6].before, 15)->enabled);
    EXPECT_TRUE(HostDialogErrors().empty());
}

TEST_F(Dialogs, TypingAndSettingAnEditFieldTellTheDialog)
{
    std::string atOk;
    HostDialogScript("DLG_TEST", {HostType(30, "C:\\Typed Folder"), HostCall([&atOk](HWND dlg) {
                                      char buf[64];
                                      GetDlgItemTextA(dlg, 30, buf, sizeof buf);
                                      atOk = buf;
                                  }),
                                  HostClick(IDOK)});
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_TEST", nullptr, TestProc, 0), 100);
    EXPECT_EQ(atOk, "C:\\Typed Folder");
    ASSERT_GE(g_heard.size(), 2u);
    EXPECT_EQ(g_heard[1].id, 30);
    EXPECT_EQ(g_heard[1].code, kEnChange);
}

TEST_F(Dialogs, EscEnterAndTheCloseBox)
{
    HostDialogTemplate noMenu = TestTemplate();
    noMenu.name = "DLG_NOMENU";
    noMenu.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    HostSetDialogTemplate(noMenu);
    struct Row {
        const char *name;
        const char *dialog;
        std::vector<HostDialogStep> steps;
        INT_PTR result;
        std::vector<int> commands;
        size_t errors;
    } rows[] = {
        {"Esc is the Cancel command", "DLG_TEST", {HostPressEsc()}, IDCANCEL, {IDCANCEL}, 0},
        {"Enter presses the default button", "DLG_TEST", {HostClick(15), HostPressEnter()}, 101, {15, IDOK}, 0},
        {"the close box is the Cancel command", "DLG_TEST", {HostCloseBox()}, IDCANCEL, {IDCANCEL}, 0},
        {"Esc works without a system menu", "DLG_NOMENU", {HostPressEsc()}, IDCANCEL, {IDCANCEL}, 0},
        // No close box: the step is an error, and the unfinished dialog is ended.
        {"no close box without a system menu", "DLG_NOMENU", {HostCloseBox()}, IDCANCEL, {}, 2},
        {"a disabled Cancel button disables the close box",
         "DLG_TEST",
         {HostCall([](HWND dlg) { EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE); }), HostCloseBox(), HostClick(IDOK)},
         100,
         {IDOK},
         0},
        {"a disabled Cancel button does not stop Esc",
         "DLG_TEST",
         {HostCall([](HWND dlg) { EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE); }), HostPressEsc()},
         IDCANCEL,
         {IDCANCEL},
         0},
        {"an unfinished script ends the dialog with IDCANCEL", "DLG_TEST", {HostClick(15)}, IDCANCEL, {15}, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        g_heard.clear();
        size_t errorsBefore = HostDialogErrors().size();
        HostDialogScript(row.dialog, row.steps);
        EXPECT_EQ(DialogBoxParamA(nullptr, row.dialog, nullptr, TestProc, 0), row.result);
        EXPECT_EQ(Commands(), row.commands);
        EXPECT_EQ(HostDialogErrors().size() - errorsBefore, row.errors);
        // The expected problems are the test's subject here, not a fault of it.
        EXPECT_EQ(HostProblems().size(), row.errors);
        HostClearProblems();
    }
}

// ---- modal and modeless ---------------------------------------------------------------------

LRESULT CALLBACK OwnerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

HWND MakeOwner()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = "TestOwner";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "TestOwner", "Owner", WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 50, 400, 300, nullptr,
                           nullptr, nullptr, nullptr);
}

// The help box inside the component dialog: a nested modal dialog with steps of
// its own, while its owner takes no input.
INT_PTR CALLBACK NestingProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND && LOWORD(wParam) == 31) {
        g_heard.push_back({msg, 31, 0});
        g_heard.push_back({msg, (int)DialogBoxParamA(nullptr, "DLG_INNER", dlg, TestProc, 0), -1});
        return TRUE;
    }
    return TestProc(dlg, msg, wParam, lParam);
}

TEST_F(Dialogs, ModalDialogsDisableTheirOwnerAndNest)
{
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    HostDialogTemplate inner = TestTemplate();
    inner.name = "DLG_INNER";
    HostSetDialogTemplate(inner);
    HWND outer = nullptr;
    HostDialogScript("DLG_TEST", {HostCall([&](HWND dlg) {
                                      outer = dlg;
                                      EXPECT_FALSE(IsWindowEnabled(owner));
                                      ShowWindow(GetDlgItem(dlg, 31), SW_SHOW);
                                  }),
                                  HostClick(31), HostClick(15), HostClick(IDOK)});
    HostDialogScript("DLG_INNER", {HostCall([&](HWND dlg) {
                                       EXPECT_EQ(GetParent(dlg), outer);
                                       EXPECT_FALSE(IsWindowEnabled(outer));
                                   }),
                                   HostClick(16), HostClick(IDOK)});
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_TEST", owner, NestingProc, 0), 101);
    EXPECT_TRUE(IsWindowEnabled(owner));
    // The inner dialog's check was its own; its OK gave 101 to the outer procedure.
    std::vector<int> ids;
    for (auto &h : g_heard)
        if (h.msg == WM_COMMAND) ids.push_back(h.code == -1 ? 1000 + h.id : h.id);
    EXPECT_EQ(ids, (std::vector<int>{31, 16, IDOK, 1101, 15, IDOK}));
    ASSERT_EQ(HostDialogsShown().size(), 2u);
    EXPECT_EQ(HostDialogsShown()[1].owner, HostDialogsShown()[0].wnd);
    // The template's place is relative to the owner's client area.
    EXPECT_EQ(HostDialogsShown()[0].rect.left, 100 + 3 - 3);
    EXPECT_EQ(HostDialogsShown()[0].rect.top, 50 + 3 + 18 - 3 - 18);
    EXPECT_TRUE(HostDialogErrors().empty());
}

int g_cancelled;
INT_PTR CALLBACK StatusProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        g_cancelled++;
        return TRUE;
    }
    (void)dlg;
    return FALSE;
}

// The program's pump: routes through IsDialogMessageA when asked to. Returns
// the pump round in which the first Cancel arrived, 0 if none did.
int Pump(HWND status, bool route, int rounds)
{
    int first = 0;
    for (int round = 1; round <= rounds; round++) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (route && IsDialogMessageA(status, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (g_cancelled && !first) first = round;
    }
    return first;
}

TEST_F(Dialogs, ModelessDialogTakesItsStepsWhenTheProgramLooksForMessages)
{
    HostDialogTemplate status = TestTemplate();
    status.name = "DLG_STATUS";
    status.style |= WS_VISIBLE;
    HostSetDialogTemplate(status);
    struct Row {
        const char *name;
        std::vector<HostDialogStep> steps;
        bool route;
        int firstCancelRound;
        int cancels;
    } rows[] = {
        {"a click at the first idle moment", {HostClick(IDCANCEL)}, true, 1, 1},
        {"a click at the third idle moment", {HostWaitIdle(3), HostClick(IDCANCEL)}, true, 3, 1},
        {"two clicks, two moments apart", {HostClick(IDCANCEL), HostWaitIdle(2), HostClick(IDCANCEL)}, true, 1, 2},
        {"Esc through IsDialogMessageA", {HostWaitIdle(2), HostPressEsc()}, true, 2, 1},
        {"Esc is lost without IsDialogMessageA", {HostPressEsc()}, false, 0, 0},
        {"a click arrives without IsDialogMessageA", {HostClick(IDCANCEL)}, false, 1, 1},
        {"the close box", {HostCloseBox()}, true, 1, 1},
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.name);
        g_cancelled = 0;
        HostDialogScript("DLG_STATUS", row.steps);
        HWND dlg = CreateDialogParamA(nullptr, "DLG_STATUS", nullptr, StatusProc, 0);
        ASSERT_NE(dlg, nullptr);
        EXPECT_TRUE(IsWindowVisible(dlg));  // WS_VISIBLE in the template
        EXPECT_EQ(Pump(dlg, row.route, 6), row.firstCancelRound);
        EXPECT_EQ(g_cancelled, row.cancels);
        EXPECT_TRUE(IsWindow(dlg));  // Cancel is only a command; the dialog stays
        EXPECT_EQ(HostOpenDialog("DLG_STATUS"), dlg);
        DestroyWindow(dlg);
        EXPECT_EQ(HostOpenDialog("DLG_STATUS"), nullptr);
        EXPECT_TRUE(HostDialogsShown().back().destroyed);
        EXPECT_FALSE(HostDialogsShown().back().modal);
        EXPECT_EQ(HostDialogStepsLeft("DLG_STATUS"), 0);
    }
    EXPECT_TRUE(HostDialogErrors().empty());

    // A modeless dialog without WS_VISIBLE stays hidden until shown.
    HWND hidden = CreateDialogParamA(nullptr, "DLG_TEST", nullptr, StatusProc, 0);
    EXPECT_FALSE(IsWindowVisible(hidden));
    DestroyWindow(hidden);
}

// ---- the open-file dialog as a folder picker -------------------------------------------------

HWND g_hookDialog;
LPARAM g_hookInit;
UINT_PTR CALLBACK PickerHook(HWND dlg, UINT msg, WPARAM, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        g_hookDialog = dlg;
        g_hookInit = lParam;
        SetDlgItemTextA(dlg, 1511, "Where to?");
    }
    return FALSE;
}

HostDialogTemplate BrowseTemplate()
{
    return HostDialogTemplate{"DLG_PICK",
                              "Picker",
                              WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                              0, 0, 188, 190,
                              {
                                  {1511, "Static", "prompt", kChild, 5, 7, 177, 20},
                                  {1152, "Edit", "", WS_CHILD | WS_BORDER, 81, 4, 60, 12},
                                  {1088, "Static", "", kChild, 5, 33, 162, 9},
                                  {IDOK, "Button", "OK", kChild | kDefPush, 133, 61, 50, 14},
                                  {IDCANCEL, "Button", "Cancel", kChild, 133, 79, 50, 14},
                                  {1038, "Button", "&Help", kChild, 133, 119, 50, 14},
                              }};
}

TEST_F(Dialogs, OpenFileDialogPicksAFolder)
{
    HostSetDialogTemplate(BrowseTemplate());
    HostMakeFolder("C:\\Program Files");
    HostMakeFolder("C:\\Start");
    HostAddDrive('D');
    struct Row {
        const char *name;
        std::vector<HostDialogStep> steps;
        DWORD size;
        BOOL result;
        const char *file;
        size_t errors;
    } rows[] = {
        {"pick a folder", {HostPick("C:\\Program Files")}, 76, TRUE, "C:\\Program Files\\a", 0},
        {"pick a drive root", {HostPick("d:\\")}, 76, TRUE, "D:\\a", 0},
        {"OK where it starts", {HostClick(IDOK)}, 76, TRUE, "C:\\START\\a", 0},
        {"cancel", {HostCancelPicker()}, 76, FALSE, "a", 0},
        {"a folder that does not exist, then cancel", {HostPick("C:\\Nowhere"), HostCancelPicker()}, 76, FALSE, "a",
         1},
        {"the host structure's own size is refused", {}, (DWORD)sizeof(OPENFILENAMEA), FALSE, "a", 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        size_t errorsBefore = HostDialogErrors().size();
        size_t shownBefore = HostDialogsShown().size();
        g_hookDialog = nullptr;
        HostDialogScript("DLG_PICK", row.steps);
        char file[MAX_PATH] = "a";
        OPENFILENAMEA ofn;
        memset(&ofn, 0, sizeof ofn);
        ofn.lStructSize = row.size;
        ofn.lpstrFile = file;
        ofn.nMaxFile = sizeof file;
        ofn.lpstrInitialDir = "C:\\START";
        ofn.lpstrTitle = "Locate";
        ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
        ofn.lpfnHook = PickerHook;
        ofn.lpTemplateName = "DLG_PICK";
        EXPECT_EQ(GetOpenFileNameA(&ofn), row.result);
        EXPECT_STREQ(file, row.file);
        EXPECT_EQ(HostDialogErrors().size() - errorsBefore, row.errors);
        EXPECT_EQ(HostProblems().size(), row.errors);
        HostClearProblems();
        if (row.size != 76) {
            EXPECT_EQ(HostDialogsShown().size(), shownBefore);
            continue;
        }
        ASSERT_EQ(HostDialogsShown().size(), shownBefore + 1);
        const HostDialogRecord &r = HostDialogsShown().back();
        EXPECT_EQ(r.templateName, "DLG_PICK");
        EXPECT_EQ(r.caption, "Locate");
        EXPECT_EQ(g_hookDialog, r.wnd);
        EXPECT_EQ(g_hookInit, (LPARAM)&ofn);
        // The hook's prompt, the file name and the folder the dialog started in.
        EXPECT_EQ(HostFindControl(r.shown, 1511)->text, "Where to?");
        EXPECT_EQ(HostFindControl(r.shown, 1152)->text, "a");
        EXPECT_EQ(HostFindControl(r.shown, 1088)->text, "c:\\start");
        EXPECT_FALSE(HostFindControl(r.shown, 1038)->visible);  // no OFN_SHOWHELP
        if (row.result) {
            EXPECT_EQ(ofn.nFileOffset, strlen(row.file) - 1);
        }
    }
}

TEST_F(Dialogs, ComboBoxListAndSelection)
{
    HostDialogTemplate t = TestTemplate();
    t.name = "DLG_COMBO";
    t.controls.push_back({40, "ComboBox", "", kChild | kTabStop | kCbsDropDown | kCbsSort, 6, 102, 100, 60});
    HostSetDialogTemplate(t);
    std::string atOk;
    HostDialogScript("DLG_COMBO", {HostCall([](HWND dlg) {
                                       HWND combo = GetDlgItem(dlg, 40);
                                       SendMessageA(combo, kCbAddString, 0, (LPARAM) "Main");
                                       SendMessageA(combo, kCbAddString, 0, (LPARAM) "Accessories");
                                       SendMessageA(combo, kCbAddString, 0, (LPARAM) "Games");
                                       EXPECT_EQ(SendMessageA(combo, kCbGetCount, 0, 0), 3);
                                       SetDlgItemTextA(dlg, 40, "Proposed");
                                   }),
                                   HostSelect(40, "games"), HostCall([&atOk](HWND dlg) {
                                       HostControl c = HostControlState(dlg, 40);
                                       EXPECT_EQ(c.items, (std::vector<std::string>{"Accessories", "Games", "Main"}));
                                       EXPECT_EQ(c.selection, 1);
                                       atOk = c.text;
                                   }),
                                   HostSelect(40, "Nothing"), HostClick(IDOK)});
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_COMBO", nullptr, TestProc, 0), 100);
    EXPECT_EQ(atOk, "Games");
    ASSERT_EQ(HostDialogErrors().size(), 1u);  // no item "Nothing"
    EXPECT_EQ(HostProblems().size(), 1u);
    HostClearProblems();
}

// A message box nobody scripted is the test's fault: it is recorded with its
// caption and text, and answered with the button that goes no further, so that
// a Retry loop ends instead of hanging the test.
TEST_F(Dialogs, UnscriptedMessageBoxIsAProblemAnsweredToEndTheRun)
{
    struct Row {
        UINT type;
        int answer;
    } rows[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDCANCEL},
        {MB_ABORTRETRYIGNORE, IDABORT},
        {MB_YESNOCANCEL, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDNO},
        {MB_RETRYCANCEL | MB_ICONERROR, IDCANCEL},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(MessageBoxA(nullptr, "Copy of a.dll failed.", "Install", row.type), row.answer);
        ASSERT_EQ(HostProblems().size(), 1u);
        EXPECT_NE(HostProblems()[0].find("\"Install\""), std::string::npos) << HostProblems()[0];
        EXPECT_NE(HostProblems()[0].find("Copy of a.dll failed."), std::string::npos) << HostProblems()[0];
        HostClearProblems();
    }
    // A queued answer is no problem, and a new process does not forget one.
    HostAnswerMessageBox(IDRETRY);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_RETRYCANCEL), IDRETRY);
    EXPECT_TRUE(HostProblems().empty());
    MessageBoxA(nullptr, "unanswered", nullptr, MB_OK);
    HostStartProcess();
    ASSERT_EQ(HostProblems().size(), 1u);
    EXPECT_NE(HostProblems()[0].find("(no caption)"), std::string::npos);
    HostClearProblems();
}

// A modal dialog left with nothing to do is a problem too, naming its template.
TEST_F(Dialogs, UnfinishedModalDialogIsAProblem)
{
    EXPECT_EQ(DialogBoxParamA(nullptr, "DLG_TEST", nullptr, TestProc, 0), IDCANCEL);
    ASSERT_EQ(HostProblems().size(), 1u);
    EXPECT_NE(HostProblems()[0].find("DLG_TEST"), std::string::npos) << HostProblems()[0];
    HostClearProblems();
}

}  // namespace
