// The Program Manager link over the simulated Program Manager: the exact
// command texts, one conversation each, the results the callers rely on, the
// group list, and the group-name dialog worked by the scripted user.
#include <string>
#include <vector>

#include "app/main.h"
#include "machine_fixture.h"
#include "progman/progman.h"
#include "tests/shared/progman_rows.h"
#include "resource.h"

using Commands = std::vector<std::string>;

// A command as it travels: its text and the terminator.
static std::string Sent(const std::string &text) { return text + std::string(1, '\0'); }

class Progman : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        g_bDdeOpen = 0;
        g_dwDdeInstance = 0;
        g_hInstance = GetModuleHandleA(nullptr);
    }
    void TearDown() override
    {
        ProgmanClose();
        EXPECT_EQ(HostDdeOpenInstances(), 0);
        EXPECT_EQ(HostDdeOpenConversations(), 0);
        EXPECT_TRUE(HostDialogErrors().empty());
        MachineTest::TearDown();
    }
};

TEST_F(Progman, CommandTextsAndTheirOrder)
{
    for (const ProgmanItemRow &row : kProgmanItemRows) {
        SCOPED_TRACE(row.name);
        SetUp();
        SetCurrentDirectoryA("C:\\TEMP");
        EXPECT_EQ(ProgmanCreateGroup("Vantro Pro"), 1);
        EXPECT_EQ(ProgmanAddItem(row.caption, row.folder, row.file, row.commandLine), 1);
        EXPECT_EQ(ProgmanDeleteItem(row.caption, row.file), 1);
        EXPECT_EQ(ProgmanDeleteGroup("Vantro Pro"), 1);
        std::string item = row.caption[0] ? row.caption : row.file;
        EXPECT_EQ(HostProgmanCommands(),
                  (Commands{Sent("[CreateGroup(Vantro Pro)]"), Sent(row.deleted), Sent(row.added),
                            Sent("[DeleteItem(\"" + item + "\")]"), Sent("[DeleteGroup(Vantro Pro)]")}));
        // One conversation per command, none left open.
        EXPECT_EQ(HostProgmanConversations(), 5);
        TearDown();
    }
}

// What Program Manager keeps after the install's commands, and after the removal's.
TEST_F(Progman, GroupAndItemsAsProgramManagerKeepsThem)
{
    HostProgmanAddGroup("Accessories");
    ASSERT_EQ(ProgmanCreateGroup("Vantro Pro"), 1);
    ProgmanAddItem("Vantro Pro", "C:\\V", "tclassic.exe", "");
    ProgmanAddItem("Vantro Pro", "C:\\V", "tclassic.exe", "");  // a repeated install replaces it
    ProgmanAddItem("", "C:\\V", "relnotes.txt", "");
    ProgmanClose();
    const HostProgmanGroup *group = HostProgmanFindGroup("Vantro Pro");
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->items.size(), 2u);
    EXPECT_EQ(group->items[0].command, "C:\\V\\tclassic.exe");
    EXPECT_EQ(group->items[0].workDir, "C:\\V");
    EXPECT_EQ(group->items[1].name, "relnotes.txt");
    // The removal: items, then the group.
    ASSERT_EQ(ProgmanOpen(), 1);
    ProgmanDeleteItem("Vantro Pro", "tclassic.exe");
    ProgmanDeleteItem("", "relnotes.txt");
    ProgmanDeleteGroup("Vantro Pro");
    EXPECT_EQ(HostProgmanFindGroup("Vantro Pro"), nullptr);
    EXPECT_NE(HostProgmanFindGroup("Accessories"), nullptr);
}

// As the shell does: ShowGroup makes a group current for the item commands
// after it, also in a new session, which has none; a group the shell does not
// have leaves none current, and the items find nothing.
TEST_F(Progman, ShowGroupMakesTheGroupTheOneItemsGoFrom)
{
    ASSERT_EQ(ProgmanCreateGroup("My Tools"), 1);
    ProgmanAddItem("Vantro Pro", "C:\\V", "tclassic.exe", "");
    ProgmanAddItem("Other Tool", "C:\\Other", "tool.exe", "");
    ProgmanClose();
    ProgmanCreateGroup("Vantro Pro");
    ProgmanAddItem("Vantro Pro", "C:\\V", "tclassic.exe", "");
    ProgmanClose();
    HostProgmanNewSession();

    ASSERT_EQ(ProgmanOpen(), 1);
    EXPECT_EQ(ProgmanShowGroup("My Tools", PROGMAN_SHOW_NORMAL), 1);
    EXPECT_EQ(HostProgmanCommands().back(), std::string("[ShowGroup(My Tools,1)]") + '\0');
    ProgmanDeleteItem("Vantro Pro", "tclassic.exe");
    ProgmanShowGroup("Gone", PROGMAN_SHOW_NORMAL);
    EXPECT_EQ(ProgmanExecute("[DeleteItem(\"Other Tool\")]"), 0);
    ProgmanClose();
    ASSERT_EQ(HostProgmanFindGroup("My Tools")->items.size(), 1u);
    EXPECT_EQ(HostProgmanFindGroup("My Tools")->items[0].name, "Other Tool");
    EXPECT_EQ(HostProgmanFindGroup("Vantro Pro")->items.size(), 1u);
}

// Only the product's own group is ever deleted; the client is closed either way.
TEST_F(Progman, OnlyTheProductGroupIsDeleted)
{
    struct Row {
        const char *group;
        bool deleted;
    } rows[] = {{"Vantro Pro", true}, {"VANTRO PRO", true}, {"vantro pro", true}, {"Accessories", false},
                {"Vantro Pro 2", false}, {"Vantro", false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.group);
        SetUp();
        ASSERT_EQ(ProgmanOpen(), 1);
        EXPECT_EQ(ProgmanDeleteGroup(row.group), 1);
        EXPECT_EQ(g_bDdeOpen, 0);
        EXPECT_EQ(HostDdeOpenInstances(), 0);
        Commands expected;
        if (row.deleted) expected.push_back(Sent(std::string("[DeleteGroup(") + row.group + ")]"));
        EXPECT_EQ(HostProgmanCommands(), expected);
        TearDown();
    }
}

// A closed client sends nothing: before it is opened, and after it is closed.
TEST_F(Progman, NothingIsSentWhileTheClientIsClosed)
{
    EXPECT_EQ(ProgmanExecute("[CreateGroup(X)]"), 0);
    EXPECT_EQ(ProgmanAddItem("A", "C:\\V", "a.exe", ""), 1);
    EXPECT_EQ(ProgmanDeleteItem("A", "a.exe"), 1);
    ASSERT_EQ(ProgmanOpen(), 1);
    ProgmanClose();
    EXPECT_EQ(ProgmanExecute("[CreateGroup(X)]"), 0);
    EXPECT_EQ(ProgmanDeleteGroup("Vantro Pro"), 1);
    EXPECT_TRUE(HostProgmanCommands().empty());
    EXPECT_EQ(HostProgmanConversations(), 0);
}

// A missing, refusing or slow Program Manager never stops the caller; only a DDE
// library that cannot be initialised makes the group fail.
TEST_F(Progman, ResultsWhateverTheServerDoes)
{
    enum Server { Absent, Refusing, Slow, NoLibrary };
    struct Row {
        const char *name;
        Server server;
        int created, executed;
    } rows[] = {
        {"no server", Absent, 1, 0},
        {"a server that refuses", Refusing, 1, 0},
        {"a server that answers after the timeout", Slow, 1, 0},
        {"no DDE library", NoLibrary, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        if (row.server == Absent) HostProgmanSetPresent(false);
        if (row.server == Refusing) HostProgmanSetRefusing(true);
        if (row.server == Slow) HostProgmanSetDelay(1001);
        if (row.server == NoLibrary) HostFailCall("DdeInitializeA", 0, 0);
        EXPECT_EQ(ProgmanCreateGroup("Vantro Pro"), row.created);
        EXPECT_EQ(ProgmanExecute("[CreateGroup(Vantro Pro)]"), row.executed);
        EXPECT_EQ(ProgmanAddItem("Vantro Pro", "C:\\V", "tclassic.exe", ""), 1);
        EXPECT_EQ(ProgmanDeleteItem("Vantro Pro", "tclassic.exe"), 1);
        EXPECT_EQ(ProgmanDeleteGroup("Vantro Pro"), 1);
        EXPECT_EQ(ProgmanClose(), 1);
        EXPECT_EQ(ProgmanOpen(), row.server == NoLibrary ? 0 : 1);
        ProgmanClose();
        if (row.server == NoLibrary || row.server == Absent) EXPECT_TRUE(HostProgmanCommands().empty());
        HostClearFaults();
        TearDown();
    }
    // A server that answers just within the timeout is heard.
    SetUp();
    HostProgmanSetDelay(1000);
    ASSERT_EQ(ProgmanOpen(), 1);
    EXPECT_EQ(ProgmanExecute("[CreateGroup(Vantro Pro)]"), 1);
}

// A command that does not fit the 516-byte buffer is not sent, never cut; the
// operation still reports what it always reports.
TEST_F(Progman, AnOverlongCommandIsNotSent)
{
    // "[CreateGroup(" + name + ")]" is 15 characters besides the name.
    std::string fits(500, 'g'), over(501, 'g');
    EXPECT_EQ(ProgmanCreateGroup(over.c_str()), 1);
    ProgmanClose();
    EXPECT_EQ(ProgmanCreateGroup(fits.c_str()), 1);
    ASSERT_EQ(HostProgmanCommands().size(), 1u);
    EXPECT_EQ(HostProgmanCommands()[0], Sent("[CreateGroup(" + fits + ")]"));
    EXPECT_EQ(HostProgmanCommands()[0].size(), 516u);
    // An item whose AddItem would not fit: its DeleteItem still goes, the AddItem does not.
    std::string folder = "C:\\" + std::string(240, 'f');
    EXPECT_EQ(ProgmanAddItem("Vantro Pro", folder.c_str(), "tclassic.exe", ""), 1);
    ASSERT_EQ(HostProgmanCommands().size(), 2u);
    EXPECT_EQ(HostProgmanCommands()[1], Sent("[DeleteItem(\"Vantro Pro\")]"));
}

// ---- the group list and the dialog ---------------------------------------------------

class GroupDialog : public Progman {
protected:
    // The combo box's items right after the dialog started.
    std::vector<std::string> Listed()
    {
        const HostDialogRecord &r = HostDialogsShown().at(0);
        const HostControl *c = HostFindControl(r.shown, IDC_GROUP_NAME);
        return c ? c->items : std::vector<std::string>{};
    }
    std::string Proposed()
    {
        const HostControl *c = HostFindControl(HostDialogsShown().at(0).shown, IDC_GROUP_NAME);
        return c ? c->text : "(no control)";
    }
};

TEST_F(GroupDialog, ListsTheGroupsButStartup)
{
    HostProgmanAddGroup("Main");
    HostProgmanAddGroup("StartUp");
    HostProgmanAddGroup("Accessories");
    char name[PROGMAN_GROUP_SIZE] = "Vantro Pro";
    HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
    EXPECT_EQ(AskGroupName(nullptr, name), 1);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Accessories", "Main"}));
    // The proposal stands in the edit field although no such group exists.
    EXPECT_EQ(Proposed(), "Vantro Pro");
    EXPECT_STREQ(name, "Vantro Pro");
    EXPECT_EQ(HostProgmanGroupRequests(), 1);
    EXPECT_EQ(g_bDdeOpen, 0);
}

TEST_F(GroupDialog, TheUsersChoice)
{
    struct Row {
        const char *name;
        std::vector<HostDialogStep> steps;
        int result;
        const char *chosen;  // the caller's buffer afterwards
    };
    std::vector<Row> rows = {
        {"a listed group picked", {HostSelect(IDC_GROUP_NAME, "Main"), HostClick(IDOK)}, 1, "Main"},
        {"a new name typed", {HostType(IDC_GROUP_NAME, "My Tools"), HostClick(IDOK)}, 1, "My Tools"},
        {"the field cleared", {HostType(IDC_GROUP_NAME, ""), HostClick(IDOK)}, 1, ""},
        {"Cancel", {HostType(IDC_GROUP_NAME, "Other"), HostClick(IDCANCEL)}, 0, "Vantro Pro"},
        {"Esc", {HostPressEsc()}, 0, "Vantro Pro"},
        {"the close box", {HostCloseBox()}, 0, "Vantro Pro"},
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        HostProgmanAddGroup("Main");
        char name[PROGMAN_GROUP_SIZE] = "Vantro Pro";
        HostDialogScript("DLG_GETGROUP", row.steps);
        EXPECT_EQ(AskGroupName(nullptr, name), row.result);
        EXPECT_STREQ(name, row.chosen);
        TearDown();
    }
}

TEST_F(GroupDialog, TheDialogAsDrawn)
{
    char name[PROGMAN_GROUP_SIZE] = "Vantro Pro";
    HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
    AskGroupName(nullptr, name);
    const HostDialogRecord &r = HostDialogsShown().at(0);
    EXPECT_EQ(r.caption, "Program Manager Group");
    EXPECT_TRUE(r.modal);
    // Centred on the 1024 x 768 desktop.
    int w = r.rect.right - r.rect.left, h = r.rect.bottom - r.rect.top;
    EXPECT_EQ(r.rect.left, 512 - w / 2);
    EXPECT_EQ(r.rect.top, 384 - h / 2);
    ASSERT_EQ(r.shown.size(), 4u);
    const int order[] = {IDC_GROUP_PROMPT, IDOK, IDCANCEL, IDC_GROUP_NAME};
    for (int i = 0; i < 4; i++) EXPECT_EQ(r.shown[i].id, order[i]);
    EXPECT_EQ(r.shown[0].text, "Please enter the name of the Program Manager group for this software:");
    EXPECT_EQ(r.shown[1].text, "OK");
    EXPECT_EQ(r.shown[2].text, "Cancel");
    EXPECT_EQ(r.shown[3].className, "ComboBox");
    EXPECT_EQ(r.shown[3].style & 0x3u, 2u);      // CBS_DROPDOWN: an edit field with a list
    EXPECT_NE(r.shown[3].style & 0x100u, 0u);    // CBS_SORT
}

// No Program Manager, or one that cannot be reached: the list stays empty and
// the proposal is still returned by OK.
TEST_F(GroupDialog, WithoutProgramManager)
{
    for (int failLibrary = 0; failLibrary < 2; failLibrary++) {
        SCOPED_TRACE(failLibrary ? "no DDE library" : "no server");
        SetUp();
        if (failLibrary) HostFailCall("DdeInitializeA", 0, 0);
        else HostProgmanSetPresent(false);
        char name[PROGMAN_GROUP_SIZE] = "Vantro Pro";
        HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
        EXPECT_EQ(AskGroupName(nullptr, name), 1);
        EXPECT_TRUE(Listed().empty());
        EXPECT_STREQ(name, "Vantro Pro");
        HostClearFaults();
        TearDown();
    }
}

// A dialog that cannot be shown is Cancel: the caller's buffer stays.
TEST_F(GroupDialog, AnUnshownDialogIsCancel)
{
    char name[PROGMAN_GROUP_SIZE] = "Vantro Pro";
    HostFailCall("DialogBoxParamA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(AskGroupName(nullptr, name), 0);
    EXPECT_STREQ(name, "Vantro Pro");
}

// Replies of every shape stay inside the list buffer and are always ended.
TEST_F(GroupDialog, RepliesOfEveryShape)
{
    std::string many;
    for (int i = 0; i < 400; i++) many += "Group " + std::to_string(1000 + i) + "\r\n";  // 12 bytes each
    struct Row {
        const char *name;
        std::string reply;
        std::vector<std::string> listed;
    } rows[] = {
        {"no terminator", std::string("Alpha\r\nBeta"), {"Alpha", "Beta"}},
        {"runs of line breaks, LF alone", std::string("\r\n\nAlpha\n\n\r\nBeta\r\n") + '\0', {"Alpha", "Beta"}},
        {"Startup in any case", std::string("STARTUP\r\nstartup\r\nStartups\r\n") + '\0', {"Startups"}},
        {"empty", std::string(), {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        HostProgmanSetGroupsReply(row.reply);
        char name[PROGMAN_GROUP_SIZE] = "Vantro Pro";
        HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
        EXPECT_EQ(AskGroupName(nullptr, name), 1);
        EXPECT_EQ(Listed(), row.listed);
        TearDown();
    }
    // Longer than the buffer (and no terminator): cut at 2,095 bytes.
    SetUp();
    HostProgmanSetGroupsReply(many);
    char name[PROGMAN_GROUP_SIZE] = "Vantro Pro";
    HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
    EXPECT_EQ(AskGroupName(nullptr, name), 1);
    std::vector<std::string> listed = Listed();
    // 174 whole names fit in 2,088 bytes; the 175th is cut to "Group 1" (7 bytes).
    ASSERT_EQ(listed.size(), 175u);
    EXPECT_EQ(listed.front(), "Group 1");
    EXPECT_EQ(listed.back(), "Group 1173");
}
