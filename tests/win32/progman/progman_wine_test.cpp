// The Program Manager link on Windows, against a real DDE server.
//
// ShellProgman.*: Wine's shell answers "PROGMAN" and keeps groups as folders of
// the Start Menu and items as shortcuts in them. VANTRO_PROGRAMS names that
// Programs folder (the script knows it from the prefix's layout): the groups
// and shortcuts are looked for there, and each shortcut is read back through
// IShellLink to see the target and the working folder that were sent.
//
// RecordedProgman.*: tools/progman_recorder.exe answers "PROGMAN" instead and
// writes down every conversation and the exact bytes of every command in the
// file VANTRO_PROGMAN_RECORD.
//
// tests/wine/run-progman-tests runs each group in a prefix of its own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform.h"
#include "progman/progman.h"
#include "tests/shared/progman_rows.h"
#include "../win_files.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

using Names = std::vector<std::string>;

static std::string Env(const char *name)
{
    const char *value = getenv(name);
    return value ? value : "";
}

static bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

static bool IsFolder(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The names in a folder, sorted, without "." and "..".
static Names Listing(const std::string &folder, bool foldersOnly = false)
{
    Names names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
        if (foldersOnly && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

static void MakeFile(const std::string &path)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
    CloseHandle(f);
}

// What a shortcut says.
struct Shortcut {
    bool read = false;
    std::string target, workDir;
};

static Shortcut ReadShortcut(const std::string &path)
{
    Shortcut s;
    IShellLinkA *link = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link)))
        return s;
    IPersistFile *file = NULL;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            char text[MAX_PATH * 2];
            text[0] = 0;
            if (SUCCEEDED(link->GetPath(text, sizeof text, NULL, SLGP_RAWPATH))) s.target = text;
            text[0] = 0;
            if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text))) s.workDir = text;
            s.read = true;
        }
        file->Release();
    }
    link->Release();
    return s;
}

// ---- against Wine's shell ----------------------------------------------------------------

class ShellProgman : public ::testing::Test {
protected:
    std::string programs;  // the Start Menu's Programs folder

    void SetUp() override
    {
        programs = Env("VANTRO_PROGRAMS");
        ASSERT_FALSE(programs.empty()) << "VANTRO_PROGRAMS names the Start Menu's Programs folder";
        ASSERT_TRUE(IsFolder(programs)) << programs;
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        g_bDdeOpen = 0;
        g_dwDdeInstance = 0;
        // The shell makes a shortcut only to a file that exists.
        CreateDirectoryA("C:\\Program Files\\Vantro Pro", NULL);
        CreateDirectoryA("C:\\V", NULL);
        CreateDirectoryA("C:\\V\\Current", NULL);
        CreateDirectoryA("C:\\Other", NULL);
        MakeFile("C:\\Program Files\\Vantro Pro\\tclassic.exe");
        MakeFile("C:\\Program Files\\Vantro Pro\\relnotes.txt");
        MakeFile("C:\\V\\tfind.exe");
        MakeFile("C:\\V\\x.exe");
        MakeFile("C:\\V\\Current\\tcore32.hlp");
        MakeFile("C:\\Other\\tool.exe");
    }
    void TearDown() override
    {
        ProgmanClose();
        CoUninitialize();
        // The next test finds the Start Menu as the prefix came.
        for (const char *group : {"Vantro Pro", "My Tools", "Accessories", "Main"}) RemoveGroupFolder(Group(group));
    }
    static void RemoveGroupFolder(const std::string &folder)
    {
        if (!Exists(folder)) return;
        for (const std::string &name : Listing(folder)) DeleteFileA((folder + "\\" + name).c_str());
        EXPECT_TRUE(RemoveDirectoryA(folder.c_str())) << folder << " error " << GetLastError();
    }
    std::string Group(const std::string &name) { return programs + "\\" + name; }
    std::string Link(const std::string &group, const std::string &item) { return Group(group) + "\\" + item + ".lnk"; }
};

TEST_F(ShellProgman, CreateGroupMakesTheGroupFolder)
{
    ASSERT_FALSE(Exists(Group("Vantro Pro")));
    EXPECT_EQ(ProgmanCreateGroup("Vantro Pro"), 1);
    EXPECT_EQ(g_bDdeOpen, 1);
    EXPECT_TRUE(IsFolder(Group("Vantro Pro")));
    EXPECT_EQ(Listing(Group("Vantro Pro")), Names{});
    EXPECT_EQ(ProgmanClose(), 1);
}

// Each item's shortcut points at the target sent and starts in the folder sent.
TEST_F(ShellProgman, AddItemMakesShortcutsWithTheTargetsAndFoldersSent)
{
    SetCurrentDirectoryA("C:\\V\\Current");
    struct Row {
        const char *name;
        const char *caption, *folder, *file, *commandLine;
        const char *link, *target, *workDir;
    } rows[] = {
        {"the install's own icon", "Vantro Pro", "C:\\Program Files\\Vantro Pro", "tclassic.exe", "", "Vantro Pro",
         "C:\\Program Files\\Vantro Pro\\tclassic.exe", "C:\\Program Files\\Vantro Pro"},
        {"empty caption: the file names the item", "", "C:\\V", "tfind.exe", "", "tfind.exe", "C:\\V\\tfind.exe",
         "C:\\V"},
        {"empty folder: the current one", "Help", "", "tcore32.hlp", "", "Help", "C:\\V\\Current\\tcore32.hlp",
         "C:\\V\\Current"},
        {"a folder ending with a backslash", "Root", "C:\\V\\", "x.exe", "", "Root", "C:\\V\\x.exe", "C:\\V\\"},
        {"a file name with a backslash is the target", "Tool", "C:\\V", "C:\\Other\\tool.exe", "", "Tool",
         "C:\\Other\\tool.exe", "C:\\V"},
        {"a command line given is the target", "Icons", "C:\\V", "tlink.exe", "C:\\Other\\tool.exe", "Icons",
         "C:\\Other\\tool.exe", "C:\\V"},
    };
    ASSERT_EQ(ProgmanCreateGroup("Vantro Pro"), 1);
    Names links;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ProgmanAddItem(row.caption, row.folder, row.file, row.commandLine), 1);
        Shortcut s = ReadShortcut(Link("Vantro Pro", row.link));
        ASSERT_TRUE(s.read) << Link("Vantro Pro", row.link) << " in " << ::testing::PrintToString(
                                   Listing(Group("Vantro Pro")));
        EXPECT_STRCASEEQ(s.target.c_str(), row.target);
        EXPECT_STRCASEEQ(s.workDir.c_str(), row.workDir);
        links.push_back(std::string(row.link) + ".lnk");
    }
    std::sort(links.begin(), links.end());
    EXPECT_EQ(Listing(Group("Vantro Pro")), links);

    // DeleteItem takes each one away again, by caption or else by file name.
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ProgmanDeleteItem(row.caption, row.file), 1);
        EXPECT_FALSE(Exists(Link("Vantro Pro", row.link)));
    }
    EXPECT_EQ(Listing(Group("Vantro Pro")), Names{});
    EXPECT_TRUE(IsFolder(Group("Vantro Pro")));
    ProgmanClose();
}

// A repeated install replaces its item: one shortcut, the one sent last.
TEST_F(ShellProgman, ARepeatedItemReplacesTheShortcut)
{
    ASSERT_EQ(ProgmanCreateGroup("Vantro Pro"), 1);
    ProgmanAddItem("Vantro Pro", "C:\\Program Files\\Vantro Pro", "tclassic.exe", "");
    ProgmanAddItem("Vantro Pro", "C:\\Other", "tool.exe", "");
    ProgmanClose();
    EXPECT_EQ(Listing(Group("Vantro Pro")), Names{"Vantro Pro.lnk"});
    Shortcut s = ReadShortcut(Link("Vantro Pro", "Vantro Pro"));
    ASSERT_TRUE(s.read);
    EXPECT_STRCASEEQ(s.target.c_str(), "C:\\Other\\tool.exe");
    EXPECT_STRCASEEQ(s.workDir.c_str(), "C:\\Other");
}

// The install's pattern then the removal's: the product's group goes, with its items.
TEST_F(ShellProgman, DeleteGroupRemovesTheProductGroup)
{
    ASSERT_EQ(ProgmanCreateGroup("Vantro Pro"), 1);
    ProgmanAddItem("Vantro Pro", "C:\\Program Files\\Vantro Pro", "tclassic.exe", "");
    ProgmanAddItem("", "C:\\Program Files\\Vantro Pro", "relnotes.txt", "");
    ProgmanClose();
    ASSERT_EQ(Listing(Group("Vantro Pro")), (Names{"Vantro Pro.lnk", "relnotes.txt.lnk"}));

    ASSERT_EQ(ProgmanOpen(), 1);
    ProgmanDeleteItem("Vantro Pro", "tclassic.exe");
    ProgmanDeleteItem("", "relnotes.txt");
    EXPECT_EQ(Listing(Group("Vantro Pro")), Names{});
    EXPECT_EQ(ProgmanDeleteGroup("Vantro Pro"), 1);
    EXPECT_EQ(g_bDdeOpen, 0);
    EXPECT_FALSE(Exists(Group("Vantro Pro")));
}

// The product's items in a group the user picked: the removal takes the items
// out and leaves the group, with what else it holds. The shell deletes an item
// from the group last created or shown since it started; the removal names no
// group, so here that is the group of the install just before.
TEST_F(ShellProgman, DeleteGroupKeepsAGroupOfAnotherName)
{
    ASSERT_EQ(ProgmanCreateGroup("My Tools"), 1);
    ProgmanAddItem("Other Tool", "C:\\Other", "tool.exe", "");
    ProgmanAddItem("Vantro Pro", "C:\\Program Files\\Vantro Pro", "tclassic.exe", "");
    ProgmanClose();
    ASSERT_EQ(Listing(Group("My Tools")), (Names{"Other Tool.lnk", "Vantro Pro.lnk"}));

    ASSERT_EQ(ProgmanOpen(), 1);
    ProgmanDeleteItem("Vantro Pro", "tclassic.exe");
    EXPECT_EQ(ProgmanDeleteGroup("My Tools"), 1);
    EXPECT_EQ(g_bDdeOpen, 0);
    EXPECT_EQ(Listing(Group("My Tools")), Names{"Other Tool.lnk"});
    Shortcut s = ReadShortcut(Link("My Tools", "Other Tool"));
    ASSERT_TRUE(s.read);
    EXPECT_STRCASEEQ(s.target.c_str(), "C:\\Other\\tool.exe");
}

// ShowGroup makes a group the shell's current one: the item commands after it
// work on that group, not on the one created last. The removal, which comes
// in a later session with no current group, relies on it.
TEST_F(ShellProgman, ShowGroupMakesTheGroupTheOneItemsGoFrom)
{
    ASSERT_EQ(ProgmanCreateGroup("My Tools"), 1);
    ProgmanAddItem("Vantro Pro", "C:\\Program Files\\Vantro Pro", "tclassic.exe", "");
    ProgmanAddItem("Other Tool", "C:\\Other", "tool.exe", "");
    ProgmanClose();
    ProgmanCreateGroup("Vantro Pro");
    ProgmanAddItem("Vantro Pro", "C:\\Program Files\\Vantro Pro", "tclassic.exe", "");
    ProgmanClose();

    ASSERT_EQ(ProgmanOpen(), 1);
    EXPECT_EQ(ProgmanShowGroup("My Tools", PROGMAN_SHOW_NORMAL), 1);
    ProgmanDeleteItem("Vantro Pro", "tclassic.exe");
    ProgmanClose();
    EXPECT_EQ(Listing(Group("My Tools")), Names{"Other Tool.lnk"});
    EXPECT_EQ(Listing(Group("Vantro Pro")), Names{"Vantro Pro.lnk"});
}

// The combo box of the group dialog, filled from the shell's "Groups" reply:
// the Programs folder's subfolders, sorted, without the startup folder.
TEST_F(ShellProgman, ListGroupsGivesThePrefixsGroupsButStartup)
{
    ASSERT_EQ(ProgmanCreateGroup("Accessories"), 1);
    ASSERT_EQ(ProgmanCreateGroup("Main"), 1);
    ProgmanClose();
    Names folders = Listing(programs, true);
    Names expected;
    bool startup = false;
    for (const std::string &name : folders) {
        if (lstrcmpiA(name.c_str(), "Startup") == 0) startup = true;
        else expected.push_back(name);
    }
    ASSERT_TRUE(startup) << "the prefix has a startup group: " << ::testing::PrintToString(folders);
    std::sort(expected.begin(), expected.end(),
              [](const std::string &a, const std::string &b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    ASSERT_GE(expected.size(), 3u) << ::testing::PrintToString(folders);  // Accessories, Main and the prefix's own

    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    ASSERT_NE(owner, (HWND)NULL);
    HWND combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL, 0, 0, 100, 100,
                                 owner, (HMENU)2405, NULL, NULL);
    ASSERT_NE(combo, (HWND)NULL);
    ProgmanListGroups(combo);
    EXPECT_EQ(g_bDdeOpen, 0);
    Names listed;
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        char text[PROGMAN_GROUP_SIZE];
        text[0] = 0;
        SendMessageA(combo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)text);
        listed.push_back(text);
    }
    EXPECT_EQ(listed, expected);
    DestroyWindow(owner);
}

// ---- against the recorder ------------------------------------------------------------------

// A command as the recorder writes it: printable bytes as they are, every
// other byte and the backslash as \xHH.
static std::string Recorded(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += (char)c;
        } else {
            char hex[8];
            wsprintfA(hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

static Names Lines(const std::string &text)
{
    Names lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

static int CountStarting(const Names &lines, const std::string &start)
{
    int n = 0;
    for (const std::string &line : lines)
        if (line.compare(0, start.size(), start) == 0) n++;
    return n;
}

class RecordedProgman : public ::testing::Test {
protected:
    std::string record;
    size_t seen = 0;  // record lines already looked at
    int conversations = 0;

    void SetUp() override
    {
        record = Env("VANTRO_PROGMAN_RECORD");
        ASSERT_FALSE(record.empty()) << "VANTRO_PROGMAN_RECORD names the recorder's file";
        ASSERT_TRUE(Exists(record)) << record;
        g_bDdeOpen = 0;
        g_dwDdeInstance = 0;
        Names lines = Lines(ReadAll(record));
        seen = lines.size();
        conversations = CountStarting(lines, "connect ");
    }
    void TearDown() override { ProgmanClose(); }

    // The records since the last call, once `ended` more conversations have
    // ended (the recorder sees each end after the client has gone on).
    Names NewRecords(int ended)
    {
        Names lines, fresh;
        DWORD limit = GetTickCount() + 30000;
        for (;;) {
            lines = Lines(ReadAll(record));
            fresh.assign(lines.begin() + std::min(seen, lines.size()), lines.end());
            if (CountStarting(fresh, "disconnect ") >= ended || (LONG)(GetTickCount() - limit) >= 0) break;
            Sleep(20);
        }
        seen = lines.size();
        return fresh;
    }

    // The records of one conversation per command, in order.
    Names Expected(const Names &commands)
    {
        Names lines;
        for (const std::string &text : commands) {
            std::string n = std::to_string(++conversations);
            lines.push_back("connect " + n);
            lines.push_back("execute " + n + " " + std::to_string(text.size() + 1) + " " +
                            Recorded(text + std::string(1, '\0')));
            lines.push_back("disconnect " + n);
        }
        return lines;
    }
};

TEST_F(RecordedProgman, CommandTextsAndTheirOrder)
{
    CreateDirectoryA("C:\\TEMP", NULL);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\TEMP"));
    for (const ProgmanItemRow &row : kProgmanItemRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ProgmanCreateGroup("Vantro Pro"), 1);
        EXPECT_EQ(ProgmanAddItem(row.caption, row.folder, row.file, row.commandLine), 1);
        EXPECT_EQ(ProgmanDeleteItem(row.caption, row.file), 1);
        EXPECT_EQ(ProgmanDeleteGroup("Vantro Pro"), 1);
        std::string item = row.caption[0] ? row.caption : row.file;
        Names expected = Expected({"[CreateGroup(Vantro Pro)]", row.deleted, row.added,
                                   "[DeleteItem(\"" + item + "\")]", "[DeleteGroup(Vantro Pro)]"});
        EXPECT_EQ(NewRecords(5), expected);
    }
}

// Only the product's own group is deleted; a closed client sends nothing (a
// marker command sent afterwards shows that nothing came before it).
TEST_F(RecordedProgman, OnlyTheProductGroupIsDeletedAndAClosedClientIsSilent)
{
    struct Row {
        const char *group;
        bool deleted;
    } rows[] = {{"Vantro Pro", true}, {"VANTRO PRO", true}, {"Accessories", false}, {"Vantro", false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.group);
        ASSERT_EQ(ProgmanOpen(), 1);
        EXPECT_EQ(ProgmanDeleteGroup(row.group), 1);
        EXPECT_EQ(g_bDdeOpen, 0);
        EXPECT_EQ(ProgmanAddItem("A", "C:\\V", "a.exe", ""), 1);  // closed: nothing goes out
        EXPECT_EQ(ProgmanDeleteItem("A", "a.exe"), 1);
        EXPECT_EQ(ProgmanExecute("[CreateGroup(X)]"), 0);
        ASSERT_EQ(ProgmanOpen(), 1);
        EXPECT_EQ(ProgmanExecute("[Marker()]"), 1);  // the recorder acknowledges every command
        ProgmanClose();
        Names commands;
        if (row.deleted) commands.push_back(std::string("[DeleteGroup(") + row.group + ")]");
        commands.push_back("[Marker()]");
        Names expected = Expected(commands);
        EXPECT_EQ(NewRecords((int)commands.size()), expected);
    }
}

// The group list asks for the item "Groups" in a conversation of its own; a
// server that gives no data leaves the list empty.
TEST_F(RecordedProgman, ListGroupsRequestsGroups)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    ASSERT_NE(owner, (HWND)NULL);
    HWND combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL, 0, 0, 100, 100,
                                 owner, (HMENU)2405, NULL, NULL);
    ASSERT_NE(combo, (HWND)NULL);
    ProgmanListGroups(combo);
    EXPECT_EQ(g_bDdeOpen, 0);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
    std::string n = std::to_string(++conversations);
    EXPECT_EQ(NewRecords(1), (Names{"connect " + n, "request " + n + " Groups", "disconnect " + n}));
    DestroyWindow(owner);
}
