// The removal: the uninstall controller's outcomes, the removal sequence over a
// planted installation, its deletion rules, and its behaviour under failing
// platform calls.
#include "app/deferred.h"
#include "app/main.h"
#include "app/workfolder.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"
#include "progman/progman.h"
#include "removal/removal.h"
#include "removal/uninstall.h"
#include "rules_fixture.h"

namespace {

const char kRunOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kRunServicesOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";
const char kUninstall[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantroPro";
const char kExplorerEntry[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\Namespace\\"
    "{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f01}";
const char kClassicEntry[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace\\"
    "{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f0a}";
const char kBaseClass[] = "HKCR\\CLSID\\{5B3E91C4-0D27-4A6F-8E15-C2A07D9B3F10}";
const char kSchedulerKey[] = "HKCU\\Software\\Brenmoor\\Vantro\\Scheduler";
const char kShortDest[] = "C:\\PROGRA~1\\VANTRO~1";
// What the user keeps: never in the catalogue nor the sweep's reach.
const char *const kUserFiles[] = {"C:\\Program Files\\Vantro Pro\\notes.txt",
                                  "C:\\Program Files\\Vantro Pro\\logs\\old.bak",
                                  "C:\\Program Files\\Vantro Pro\\mysites.ini", "C:\\Program Files\\other.bak",
                                  "C:\\TEMP\\keep.tmp"};

std::string Value(const char *key, const char *name)
{
    std::string data;
    if (!HostRegGetValue(key, name, nullptr, &data)) return "(absent)";
    return data.substr(0, data.find('\0'));
}

std::vector<std::string> ItemNames(const char *group)
{
    std::vector<std::string> names;
    if (const HostProgmanGroup *g = HostProgmanFindGroup(group))
        for (const HostProgmanItem &item : g->items) names.push_back(item.name);
    return names;
}

}  // namespace

class Removal : public RulesTest {
protected:
    void SetUp() override
    {
        RulesTest::SetUp();
        g_hInstance = GetModuleHandleA(nullptr);
        g_bWinNT = 1;
        LoadCatalogueCaptions();
        SetCurrentDirectoryA("C:\\TEMP");
    }

    std::string Path(const char *name) const { return std::string(kDest) + "\\" + name; }

    // An installation of every component as the install leaves it, with the
    // product's icons in `group` (null: no GROUP key, the default group).
    void Plant(const char *group = nullptr, bool withIni = true)
    {
        HostMakeFolder(kDest);
        for (const RulesTable &t : kRulesTables)
            for (int i = 0; i < t.count; i++)
                if (withIni || t.rows != g_siteFiles) ASSERT_TRUE(HostWriteFile(Path(t.rows[i].szInstallFile).c_str(), "x"));
        WriteProfileStringA("Vantro", "DIR", kDest);
        WriteProfileStringA("Vantro", "INSTOPTS", "12");
        if (group) WriteProfileStringA("Vantro", "GROUP", group);
        HostRegSetString(kUninstall, "DisplayName", "Brenmoor Vantro Pro Uninstall");
        HostRegSetString(kUninstall, "UninstallString", "x");
        HostRegSetString(kExplorerEntry, "", "Vantro Pro Explorer");
        HostRegSetString(kClassicEntry, "", "Vantro Pro");
        HostRegSetString((std::string(kBaseClass) + "\\InProcServer32").c_str(), "", Path("tclassic.exe").c_str());
        HostRegSetString((std::string(kBaseClass) + "\\InProcServer32").c_str(), "ThreadingModel", "Apartment");
        for (const char *library : {"tstub.dll", "shellext.dll", "vnbho2k0.dll"}) {
            HMODULE m = LoadLibraryA(Path(library).c_str());
            ASSERT_NE(m, nullptr);
            ((HRESULT(*)(void))(void (*)(void))GetProcAddress(m, "DllRegisterServer"))();
            FreeLibrary(m);
        }
        WinExec(("\"" + Path("tsched.exe") + "\" -install").c_str(), SW_SHOWNORMAL);
        // What an unquoted path with blanks would start instead.
        ASSERT_TRUE(HostWriteFile("C:\\Program.exe", "x"));
        const char *g = group ? group : "Vantro Pro";
        if (g[0]) {
            ASSERT_EQ(ProgmanCreateGroup(g), 1);
            ProgmanAddItem("Other Tool", "C:\\Other", "tool.exe", "");
            ProgmanAddItem("Vantro Pro Explorer", kDest, "", "Vantro Pro Explorer.{x}");
            for (const RulesTable &t : kRulesTables)
                for (int i = 0; i < t.count; i++)
                    if (t.rows[i].bIcon == 1) ProgmanAddItem(t.rows[i].szCaption, kDest, t.rows[i].szInstallFile, "");
            ProgmanClose();
        }
        HostProgmanNewSession();  // the removal comes in a later session
        HostMakeFolder((std::string(kDest) + "\\logs").c_str());
        for (const char *f : kUserFiles) ASSERT_TRUE(HostWriteFile(f, "mine"));
        commandsBefore_ = HostProgmanCommands().size();
        runsBefore_ = HostComponentCallsOf("run").size();
    }
    // Takes the user's own files away again, for a folder that can go.
    void RemoveUserFiles()
    {
        for (const char *f : kUserFiles) DeleteFileA(f);
        RemoveDirectoryA((std::string(kDest) + "\\logs").c_str());
    }
    bool AnyCatalogueFileLeft() const
    {
        for (const RulesTable &t : kRulesTables)
            for (int i = 0; i < t.count; i++)
                if (HostFileExists(Path(t.rows[i].szInstallFile).c_str())) return true;
        return false;
    }
    std::vector<std::string> CommandsSincePlant() const
    {
        return std::vector<std::string>(HostProgmanCommands().begin() + (long)commandsBefore_,
                                        HostProgmanCommands().end());
    }
    std::vector<std::string> RunsSincePlant() const
    {
        std::vector<std::string> runs = HostComponentCallsOf("run");
        return std::vector<std::string>(runs.begin() + (long)runsBefore_, runs.end());
    }
    // Runs the sequence with a status window of its own; returns the texts shown.
    std::vector<std::string> Remove(int flags, char *note, HWND owner = nullptr)
    {
        HWND status = CreateStatusWindow(nullptr);
        HWND text = GetDlgItem(status, IDC_STATUS_TEXT);
        EXPECT_EQ(RemoveProduct(kDest, flags, note, owner, text), 1);
        std::vector<std::string> texts = HostWindowTexts(text);
        DestroyWindow(status);
        return texts;
    }
    size_t commandsBefore_ = 0, runsBefore_ = 0;
};

// Everything the install made goes, in the order of the steps, each shown.
TEST_F(Removal, APlantedInstallationGoesEntirely)
{
    Plant();
    RemoveUserFiles();
    HostAnswerMessageBox(IDYES);  // the INI files go too
    char note[REMOVAL_NOTE_SIZE];
    std::vector<std::string> texts = Remove(REMOVE_ALL, note);
    EXPECT_FALSE(AnyCatalogueFileLeft());
    EXPECT_EQ(RemoveDirectoryA(kDest), TRUE);  // nothing else was left in it
    EXPECT_STREQ(note, "");
    for (const char *key : {kUninstall, kExplorerEntry, kClassicEntry})
        EXPECT_FALSE(HostRegKeyExists(key)) << key;
    EXPECT_FALSE(HostRegKeyExists((std::string(kBaseClass) + "\\InProcServer32").c_str()));
    EXPECT_TRUE(HostRegKeyExists(kBaseClass));  // the class key above it stays
    EXPECT_EQ(HostComponentCallsOf("DllUnregisterServer"),
              (std::vector<std::string>{"shellext.dll", "vnbho2k0.dll", "tstub.dll"}));
    for (const HostComponentCall &c : HostComponentCalls())
        if (c.what == "DllUnregisterServer") EXPECT_STRCASEEQ(c.cwd.c_str(), kDest);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(cwd, "C:\\TEMP");
    EXPECT_EQ(HostLoadedLibraries(), 0);
    // Stopped, then removed twice; the paths quoted.
    EXPECT_EQ(RunsSincePlant(), (std::vector<std::string>{"tsched.exe -stop", "tsched.exe -remove", "tsched.exe -remove"}));
    EXPECT_EQ(Value(kSchedulerKey, "Installed"), "0");
    EXPECT_EQ(Value("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Vantro Queue Scheduler"), "(absent)");
    EXPECT_EQ(HostProgmanFindGroup("Vantro Pro"), nullptr);
    EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
    EXPECT_EQ(g_bRebootNeeded, 0);
    ASSERT_GE(texts.size(), 12u);
    EXPECT_EQ(texts[0], "Removing uninstall info");
    EXPECT_EQ(texts[1], "Removing desktop icons");
    EXPECT_EQ(texts[2], "Unregistering explorer");
    EXPECT_EQ(texts[3], Path("shellext.dll"));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Stopping Vantro Queue Scheduler"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Unregistering base product"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Deleting icon Vantro Pro"), 1);
    EXPECT_EQ(texts.back(), "completed");
    EXPECT_EQ(HostRegOpenHandles(), 0);
    EXPECT_EQ(HostOpenSearches(), 0);
    EXPECT_EQ(HostDdeOpenInstances(), 0);
}

// The controller's outcomes: the record check, the folder removed or deferred,
// and the closing message.
TEST_F(Removal, TheControllerEndsWithTheMessageOfItsOutcome)
{
    const std::string excess = "Removal process complete.\nCheck the folder " + std::string(kDest) +
                               " for excess files\nthat caused the removal process to not cleanup entirely.";
    const std::string restart = HostStringTableText(95);
    struct Row {
        const char *name;
        int plant;          // 0 nothing, 1 the record without INSTOPTS, 2 a whole installation
        bool userFiles;     // the user's own files stay in the folder
        bool held;          // tclassic.exe runs during the removal
        bool nt;
        int answer;         // to the closing message
        std::string text, caption;
        unsigned type;
        bool folderGone, reboot;
        int exitCode;
        // What waits for the next start: NT's deletions in the order the system
        // makes them; on 95, WININIT.INI (run first) and the folder's rmdir.
        std::vector<std::string> pending;
        const char *wininit, *rmdir;
    } rows[] = {
        {"no record", 0, false, false, true, IDOK, "Insufficient information available to\nremove this application.",
         "Remove", MB_ICONINFORMATION, false, false, 1605, {}, nullptr, nullptr},
        {"no INSTOPTS", 1, false, false, true, IDOK,
         "Insufficient information available to\nremove this application.", "Remove", MB_ICONINFORMATION, false,
         false, 1605, {}, nullptr, nullptr},
        {"clean", 2, false, false, true, IDOK, "Removal process complete.\nAll files removed.", "Remove",
         MB_ICONINFORMATION, true, false, 0, {}, nullptr, nullptr},
        {"user's file", 2, true, false, true, IDOK, excess, "Remove", MB_ICONINFORMATION, false, false, 0, {}, nullptr,
         nullptr},
        {"in use, Cancel", 2, false, true, true, IDCANCEL, restart, "Congratulations!", MB_SYSTEMMODAL | MB_OKCANCEL,
         false, false, 3010, {"\\??\\C:\\Program Files\\Vantro Pro\\tclassic.del|", "\\??\\C:\\Program Files\\Vantro Pro|"},
         nullptr, nullptr},
        {"in use, OK", 2, false, true, true, IDOK, restart, "Congratulations!", MB_SYSTEMMODAL | MB_OKCANCEL, false,
         true, 0, {"\\??\\C:\\Program Files\\Vantro Pro\\tclassic.del|", "\\??\\C:\\Program Files\\Vantro Pro|"},
         nullptr, nullptr},
        {"in use on 95", 2, false, true, false, IDOK, restart, "Congratulations!", MB_SYSTEMMODAL | MB_OKCANCEL,
         false, true, 0, {}, "[rename]\r\nNUL=C:\\PROGRA~1\\VANTRO~1\\tclassic.del\r\n",
         "command.com /c rmdir C:\\PROGRA~1\\VANTRO~1 "},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        if (!row.nt) HostSetVersion(4, 0, 950, VER_PLATFORM_WIN32_WINDOWS);
        g_bWinNT = row.nt;
        if (row.plant < 2) ASSERT_TRUE(HostWriteFile(Path("tclassic.exe").c_str(), "x"));  // stays
        if (row.plant == 1) WriteProfileStringA("Vantro", "DIR", kDest);
        if (row.plant == 2) {
            Plant(nullptr, false);
            if (!row.userFiles) RemoveUserFiles();
        }
        if (row.held) ASSERT_TRUE(HostHoldFile(Path("tclassic.exe").c_str(), FILE_SHARE_READ, true));
        std::string winIni = ReadText("C:\\WINDOWS\\WIN.INI");
        HostAnswerMessageBox(row.answer);
        EXPECT_EQ(RunUninstall(nullptr, 31, 31), row.exitCode);
        ASSERT_EQ(HostMessageBoxes().size(), 1u);
        EXPECT_EQ(HostMessageBoxes()[0].text, row.text);
        EXPECT_EQ(HostMessageBoxes()[0].caption, row.caption);
        EXPECT_EQ(HostMessageBoxes()[0].type, row.type);
        EXPECT_EQ(g_bRebootNeeded, row.reboot ? 1 : 0);
        EXPECT_EQ(GetFileAttributesA(kDest) == INVALID_FILE_ATTRIBUTES, row.folderGone);
        EXPECT_EQ(HostPendingRenames(), row.pending);
        EXPECT_EQ(ReadText("C:\\WINDOWS\\wininit.ini"), row.wininit ? row.wininit : "");
        EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
        EXPECT_EQ(Value(kRunServicesOnce, "Brenmoor0"), row.rmdir ? row.rmdir : "(absent)");
        EXPECT_EQ(Value(kRunServicesOnce, "Brenmoor1"), "(absent)");
        if (row.nt && !row.pending.empty()) {
            // The next start works through them in order, whatever else it runs:
            // the folder goes after its last file.
            HostReleaseFile(Path("tclassic.del").c_str());
            HostRunPendingRenames();
            EXPECT_EQ(GetFileAttributesA(kDest), INVALID_FILE_ATTRIBUTES);
        }
        if (row.plant < 2) {
            EXPECT_EQ(ReadText("C:\\WINDOWS\\WIN.INI"), winIni);  // untouched
            EXPECT_TRUE(HostDialogsShown().empty());
        } else {
            EXPECT_EQ(Record("DIR"), "(none)");
            EXPECT_EQ(Record("INSTOPTS"), "(none)");
            // The status window: its title, and no way to cancel.
            ASSERT_EQ(HostDialogsShown().size(), 1u);
            EXPECT_EQ(HostDialogsShown()[0].templateName, "DLG_COPY");
            EXPECT_TRUE(HostDialogsShown()[0].destroyed);
            bool cancelSeen = false;
            for (const HostWindowInfo &w : HostWindows()) {
                if (w.title == "Removal process") EXPECT_EQ(w.className, "#32770");
                if (w.className == "Button" && w.title == "Cancel") {
                    cancelSeen = true;
                    EXPECT_FALSE(w.visible);
                    EXPECT_TRUE(w.style & WS_DISABLED);
                }
            }
            EXPECT_TRUE(cancelSeen);
        }
        for (const char *f : kUserFiles)
            if (row.userFiles) EXPECT_TRUE(HostFileExists(f)) << f;
        HostReleaseFile(Path("tclassic.del").c_str());
    }
}

// The removal's own edge cases, over the same planted installation.
TEST_F(Removal, NothingToDoDeletesOnlyTheUninstallEntry)
{
    Plant();
    char note[REMOVAL_NOTE_SIZE];
    EXPECT_EQ(Remove(0, note), (std::vector<std::string>{"Removing uninstall info", "completed"}));
    EXPECT_STREQ(note, "Nothing to do!");
    EXPECT_FALSE(HostRegKeyExists(kUninstall));
    EXPECT_TRUE(HostRegKeyExists(kExplorerEntry));
    EXPECT_TRUE(DestHas("tclassic.exe"));
    EXPECT_TRUE(CommandsSincePlant().empty());
    EXPECT_TRUE(HostMessageBoxes().empty());
}

TEST_F(Removal, MissingFilesAreNothingToDefer)
{
    HostMakeFolder(kDest);
    char note[REMOVAL_NOTE_SIZE];
    Remove(REMOVE_ALL, note);
    EXPECT_STREQ(note, "");
    EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
    EXPECT_EQ(g_bRebootNeeded, 0);
    EXPECT_TRUE(HostMessageBoxes().empty());  // no product INI, no question
}

// GROUP names the group whose product items go; only the default group goes
// itself, and an empty GROUP sends nothing at all.
TEST_F(Removal, TheIconsGoFromTheRecordedGroup)
{
    struct Row {
        const char *group;
        bool groupStays;
    } rows[] = {{nullptr, false}, {"", false}, {"My Tools", true}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.group ? row.group : "(no GROUP)");
        FreshSequence();
        if (row.group && row.group[0]) HostProgmanAddGroup("Vantro Pro");  // a group the user has
        Plant(row.group);
        HostAnswerMessageBox(IDNO);
        char note[REMOVAL_NOTE_SIZE];
        Remove(REMOVE_ALL, note);
        if (row.group && !row.group[0]) {
            EXPECT_TRUE(CommandsSincePlant().empty());
            EXPECT_EQ(HostProgmanConversations(), 0);
        } else {
            const char *g = row.group ? row.group : "Vantro Pro";
            EXPECT_EQ(HostProgmanFindGroup(g) != nullptr, row.groupStays);
            if (row.groupStays) {
                EXPECT_EQ(ItemNames(g), std::vector<std::string>{"Other Tool"});
                EXPECT_NE(HostProgmanFindGroup("Vantro Pro"), nullptr);
            }
            std::vector<std::string> sent = CommandsSincePlant();
            // The shell's current group is the recorded one before any item goes.
            ASSERT_GE(sent.size(), 2u);
            EXPECT_EQ(sent[0], std::string("[ShowGroup(") + g + ",1)]" + '\0');
            EXPECT_EQ(sent[1], std::string("[DeleteItem(\"Vantro Pro Explorer\")]") + '\0');
            EXPECT_EQ(sent.back() == std::string("[DeleteGroup(Vantro Pro)]") + '\0', !row.groupStays);
        }
        EXPECT_EQ(HostDdeOpenInstances(), 0);
    }
}

// The sweep takes the working files of the folder itself, the INI files only
// after a Yes, and never looks into a subfolder.
TEST_F(Removal, TheSweepKeepsToItsRules)
{
    struct Row {
        bool productIni;
        int answer;  // 0: no question expected
        bool iniGone;
    } rows[] = {{true, IDYES, true}, {true, IDNO, false}, {false, 0, false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.productIni << row.answer);
        FreshSequence();
        HostMakeFolder((std::string(kDest) + "\\logs.log").c_str());
        for (const char *f : {"OLD.BAK", "Setup.Log", "a.TMP", "help.GID", "scanners.ini", "notes.txt", "README",
                              "logs.log\\inner.bak"})
            ASSERT_TRUE(HostWriteFile(Path(f).c_str(), "x"));
        if (row.productIni) ASSERT_TRUE(HostWriteFile(Path("Vantro.ini").c_str(), "x"));
        if (row.answer) HostAnswerMessageBox(row.answer);
        char note[REMOVAL_NOTE_SIZE];
        Remove(REMOVE_ALL, note);
        ASSERT_EQ(HostMessageBoxes().size(), row.answer ? 1u : 0u);
        if (row.answer) {
            EXPECT_EQ(HostMessageBoxes()[0].text, HostStringTableText(10052));
            EXPECT_EQ(HostMessageBoxes()[0].caption, "Vantro Pro Installation");
            EXPECT_EQ(HostMessageBoxes()[0].type, (unsigned)MB_YESNO);
        }
        for (const char *f : {"OLD.BAK", "Setup.Log", "a.TMP", "help.GID"}) EXPECT_FALSE(DestHas(f)) << f;
        for (const char *f : {"notes.txt", "README", "logs.log\\inner.bak"}) EXPECT_TRUE(DestHas(f)) << f;
        EXPECT_EQ(DestHas("scanners.ini"), !row.iniGone);
        EXPECT_EQ(row.productIni && DestHas("Vantro.ini"), row.productIni && !row.iniGone);
        EXPECT_EQ(HostOpenSearches(), 0);
    }
}

// Every way a file goes, or waits for the next start of Windows.
TEST_F(Removal, DeleteOrDeferTakesEveryPath)
{
    struct Row {
        const char *name;
        bool nt;
        bool exists;
        int hold;       // 0 none, 1 a running program's image (renamed, not deleted), 2 open without delete sharing
        bool storeFails;
        int result;
        const char *left;      // the file name left in the folder, null for none
        const char *deferred;  // NT: the deletion the system makes at the next start; 95: WININIT.INI
    } rows[] = {
        {"missing", true, false, 0, false, 1, nullptr, nullptr},
        {"deleted", true, true, 0, false, 1, nullptr, nullptr},
        {"moved and deferred", true, true, 1, false, 0, "tcore32.del", "\\??\\C:\\Program Files\\Vantro Pro\\tcore32.del|"},
        {"own path deferred", true, true, 2, false, 0, "tcore32.dll", "\\??\\C:\\Program Files\\Vantro Pro\\tcore32.dll|"},
        {"not stored", true, true, 1, true, 0, "tcore32.del", nullptr},
        // Windows 95 and 98 delete from WININIT.INI, by short path, before anything runs.
        {"95: moved and deferred", false, true, 1, false, 0, "tcore32.del",
         "[rename]\r\nNUL=C:\\PROGRA~1\\VANTRO~1\\tcore32.del\r\n"},
        {"95: not stored", false, true, 1, true, 0, "tcore32.del", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        if (!row.nt) HostSetVersion(4, 10, 2222, VER_PLATFORM_WIN32_WINDOWS);
        g_bWinNT = row.nt;
        std::string path = Path("tcore32.dll");
        if (row.exists) ASSERT_TRUE(HostWriteFile(path.c_str(), "x"));
        if (row.hold) ASSERT_TRUE(HostHoldFile(path.c_str(), FILE_SHARE_READ, row.hold == 1));
        if (row.storeFails) {
            HostSetAdministrator(false);  // NT keeps the deletions in the machine's registry
            HostFailCallOn("CreateFileA", "C:\\WINDOWS\\wininit.ini", 0, ERROR_ACCESS_DENIED);
        }
        char note[REMOVAL_NOTE_SIZE] = "earlier note";
        EXPECT_EQ(DeleteOrDefer(path.c_str(), note), row.result);
        EXPECT_EQ(DestHas("tcore32.dll"), row.left && std::string(row.left) == "tcore32.dll");
        EXPECT_EQ(DestHas("tcore32.del"), row.left && std::string(row.left) == "tcore32.del");
        std::vector<std::string> pending = HostPendingRenames();
        EXPECT_EQ(pending, row.nt && row.deferred ? std::vector<std::string>{row.deferred} : std::vector<std::string>{});
        EXPECT_EQ(ReadText("C:\\WINDOWS\\wininit.ini"), !row.nt && row.deferred ? row.deferred : "");
        // Nothing is left to a command whose order Windows does not keep.
        EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
        EXPECT_EQ(g_bRebootNeeded, row.deferred ? 1 : 0);
        EXPECT_EQ(g_bDeferredStored, row.deferred ? 1 : 0);
        EXPECT_STREQ(note, row.result ? "earlier note" : ("failed to delete " + path).c_str());
        HostReleaseFile(Path(row.left ? row.left : "x").c_str());
    }
}

// WININIT.INI keeps whatever else it holds: a line goes at the end of its
// [rename] section, which is made when missing.
TEST_F(Removal, WininitKeepsItsOtherLines)
{
    struct Row {
        const char *before, *after;
    } rows[] = {
        {"", "[rename]\r\nNUL=C:\\A.DEL\r\n"},
        {"[other]\r\nx=1", "[other]\r\nx=1\r\n[rename]\r\nNUL=C:\\A.DEL\r\n"},
        {"[Rename]\r\nNUL=C:\\OLD.DEL\r\n[other]\r\nx=1\r\n",
         "[Rename]\r\nNUL=C:\\OLD.DEL\r\nNUL=C:\\A.DEL\r\n[other]\r\nx=1\r\n"},
        {"  [rename]  \nNUL=C:\\OLD.DEL\n", "  [rename]  \nNUL=C:\\OLD.DEL\nNUL=C:\\A.DEL\r\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.before);
        FreshSequence();
        HostSetVersion(4, 0, 950, VER_PLATFORM_WIN32_WINDOWS);
        g_bWinNT = 0;
        ASSERT_TRUE(HostWriteFile("C:\\A.DEL", "x"));
        if (row.before[0]) ASSERT_TRUE(HostWriteFile("C:\\WINDOWS\\wininit.ini", row.before));
        EXPECT_EQ(DeferDeletion("C:\\A.DEL"), 1);
        EXPECT_EQ(ReadText("C:\\WINDOWS\\wininit.ini"), row.after);
    }
}

TEST_F(Removal, TheWaitingNameReplacesOnlyTheFileNamesExtension)
{
    struct Row {
        const char *path;
        int size;
        const char *waiting;  // null: does not fit
    } rows[] = {
        {"C:\\V\\a.dll", 64, "C:\\V\\a.del"},         {"C:\\V\\README", 64, "C:\\V\\README.del"},
        {"C:\\V.1\\README", 64, "C:\\V.1\\README.del"}, {"C:\\V\\a.b.txt", 64, "C:\\V\\a.b.del"},
        {"C:\\V\\a.dll", 11, "C:\\V\\a.del"},         {"C:\\V\\a.dll", 10, nullptr},
    };
    for (const Row &row : rows) {
        char out[64];
        EXPECT_EQ(MakeWaitingName(row.path, out, row.size), row.waiting ? 1 : 0) << row.path << " " << row.size;
        if (row.waiting) EXPECT_STREQ(out, row.waiting);
    }
}

// A tree goes on both platforms' rules; a child that resists leaves 0 and
// its siblings gone, and the walk ends.
TEST_F(Removal, DeleteKeyTreeOnBothRules)
{
    struct Row {
        const char *name;
        int platform;
        bool stubborn;
    } rows[] = {{"NT", VER_PLATFORM_WIN32_NT, false},
                {"95", VER_PLATFORM_WIN32_WINDOWS, false},
                {"NT, a stubborn child", VER_PLATFORM_WIN32_NT, true}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        HostSetVersion(4, 0, 1381, row.platform);
        for (const char *k : {"HKLM\\T\\A\\A1\\A11", "HKLM\\T\\B\\B1", "HKLM\\T\\C"}) HostRegCreateKey(k);
        HostRegSetString("HKLM\\T\\B", "v", "x");
        if (row.stubborn) HostFailCallOn("RegOpenKeyExA", "T\\B", 0, ERROR_ACCESS_DENIED);
        HostFailCall("RegEnumKeyA", 100, ERROR_NO_MORE_ITEMS);  // ends an endless walk, which is the fault
        EXPECT_EQ(DeleteKeyTree(HKEY_LOCAL_MACHINE, "T"), row.stubborn ? 0 : 1);
        EXPECT_LT(HostCallCount("RegEnumKeyA"), 20);
        EXPECT_FALSE(HostRegKeyExists("HKLM\\T\\A"));
        EXPECT_FALSE(HostRegKeyExists("HKLM\\T\\C"));
        EXPECT_EQ(HostRegKeyExists("HKLM\\T\\B\\B1"), row.stubborn);
        EXPECT_EQ(HostRegKeyExists("HKLM\\T"), row.stubborn);
        EXPECT_EQ(HostRegOpenHandles(), 0);
        EXPECT_EQ(DeleteKeyTree(HKEY_LOCAL_MACHINE, "Missing"), 0);
    }
}

// Under any failing platform call the removal ends, releases what it took,
// restores the current folder, and deletes nothing it should not.
TEST_F(Removal, FailingPlatformCallsNeverWidenTheRemoval)
{
    const char *apis[] = {"RegDeleteKeyA", "RegOpenKeyExA", "RegEnumKeyA", "RegDeleteValueA", "RegQueryValueExA",
                          "RegSetValueExA", "RegCreateKeyA", "GetCurrentDirectoryA", "SetCurrentDirectoryA",
                          "LoadLibraryExA", "GetProcAddress", "FreeLibrary", "WinExec", "GetProfileStringA",
                          "GetProfileIntA", "WriteProfileStringA", "GetFileAttributesA", "DeleteFileA", "MoveFileA",
                          "GetShortPathNameA", "FindFirstFileA", "FindNextFileA", "RemoveDirectoryA", "LoadStringA",
                          "CreateDialogParamA", "MessageBoxA", "DdeInitializeA", "DdeConnect", "DdeClientTransaction",
                          "DdeCreateStringHandleA"};
    for (const char *api : apis)
        for (int nth : {1, 2, 0}) {
            SCOPED_TRACE(testing::Message() << api << " call " << nth);
            FreshSequence();
            Plant(nullptr, false);
            ASSERT_TRUE(HostHoldFile(Path("tcore32.dll").c_str(), FILE_SHARE_READ, true));
            HostFailCall("RegEnumKeyA", 1000, ERROR_NO_MORE_ITEMS);  // a bound on any walk
            HostFailCall(api, nth, ERROR_ACCESS_DENIED);
            HostAnswerMessageBox(IDCANCEL);
            int code = RunUninstall(nullptr, 0, 0);
            // Cancel on the restart question: deletions wait, and say so.
            EXPECT_TRUE(code == 0 || code == 3010 || code == 1603 || code == 1605) << code;
            EXPECT_LE(HostMessageBoxes().size(), 1u);
            for (const char *f : kUserFiles) EXPECT_TRUE(HostFileExists(f)) << f;
            char cwd[MAX_PATH];
            HostClearFaults();
            GetCurrentDirectoryA(sizeof cwd, cwd);
            // (A failing return to it leaves the process where it was.)
            if (strcmp(api, "SetCurrentDirectoryA") != 0) EXPECT_STREQ(cwd, "C:\\TEMP");
            EXPECT_EQ(HostRegOpenHandles(), 0);
            if (strcmp(api, "FreeLibrary") != 0) EXPECT_EQ(HostLoadedLibraries(), 0);
            EXPECT_EQ(HostOpenSearches(), 0);
            EXPECT_EQ(HostDdeOpenInstances(), 0);
            HostReleaseFile(Path("tcore32.del").c_str());
            HostReleaseFile(Path("tcore32.dll").c_str());
            HostClearProblems();  // an unanswered box under a failing call is not this test's question
        }
}

// The uninstall entry's command: the folder twice, unquoted, then the group.
TEST_F(Removal, TheUninstallCommandIsReadWithBlanksInItsPaths)
{
    struct Row {
        const char *line, *folder, *group;  // folder null: not readable
    } rows[] = {
        {"-f C:\\Program Files\\Vantro Pro -d C:\\Program Files\\Vantro Pro -g Vantro Pro", kDest, "Vantro Pro"},
        {"  -F C:\\A -d C:\\A -G My Tools \r\n", "C:\\A", "My Tools"},
        {"-f C:\\x -d y -d C:\\x -d y -g G", "C:\\x -d y", "G"},
        {"-f \"C:\\Program Files\\Vantro Pro\" -d \"C:\\Program Files\\Vantro Pro\" -g \"Net Tools\"", kDest,
         "Net Tools"},
        {"-f \"\" -d \"\" -g G", nullptr, nullptr},
        {"-f C:\\A -d C:\\B -g G", nullptr, nullptr},
        {"-f C:\\A -d C:\\A -g ", nullptr, nullptr},
        {"-f C:\\A -g G", nullptr, nullptr},
        {"", nullptr, nullptr},
        {"/close", nullptr, nullptr},
    };
    for (const Row &row : rows) {
        char folder[UNINSTALL_FOLDER_SIZE], group[UNINSTALL_GROUP_SIZE];
        EXPECT_EQ(ParseUninstallCommand(row.line, folder, group), row.folder ? 1 : 0) << row.line;
        if (!row.folder) continue;
        EXPECT_STREQ(folder, row.folder);
        EXPECT_STREQ(group, row.group);
    }
    std::string longFolder = "C:\\" + std::string(UNINSTALL_FOLDER_SIZE, 'a');
    char folder[UNINSTALL_FOLDER_SIZE], group[UNINSTALL_GROUP_SIZE];
    EXPECT_EQ(ParseUninstallCommand(("-f " + longFolder + " -d " + longFolder + " -g G").c_str(), folder, group), 0);
}

// The product's own uninstaller, started from the product folder as Add/Remove
// Programs starts it: it copies itself into a folder of its own, starts the
// copy with the same command, waits for it and ends with its exit code; the
// copy and its folder go afterwards.
TEST_F(Removal, TheUninstallerRunsFromACopyAndWaitsForIt)
{
    const char *line = "-f C:\\Program Files\\Vantro Pro -d C:\\Program Files\\Vantro Pro -g Vantro Pro";
    for (DWORD childCode : {0u, 3010u}) {
        SCOPED_TRACE(childCode);
        FreshSequence();
        Plant(nullptr, false);
        HostSetModulePath(Path("uninst32.exe").c_str());
        HostSetChildExitCode(childCode);
        g_hInstance = nullptr;
        EXPECT_EQ(RunStandAloneUninstall(GetModuleHandleA(nullptr), line), (int)childCode);
        ASSERT_EQ(HostProcessesStarted().size(), 1u);
        // An elevated run's copy lies in a folder only SYSTEM and Administrators open.
        std::string copy = std::string(g_szWorkFolder) + "\\uninst32.exe";
        EXPECT_EQ(copy.rfind("C:\\TEMP\\VNS", 0), 0u) << copy;
        EXPECT_EQ(HostProcessesStarted()[0], copy + "|\"" + copy + "\" " + line);
        EXPECT_EQ(HostOpenProcessHandles(), 0);
        EXPECT_EQ(GetFileAttributesA(g_szWorkFolder), INVALID_FILE_ATTRIBUTES);
        // This process removed nothing itself.
        EXPECT_TRUE(DestHas("tclassic.exe"));
        EXPECT_EQ(Record("DIR"), kDest);
        EXPECT_TRUE(HostMessageBoxes().empty());
    }
    // A copy that cannot be made: the removal runs here, as it always could.
    FreshSequence();
    Plant(nullptr, false);
    RemoveUserFiles();
    HostSetModulePath(Path("uninst32.exe").c_str());
    HostFailCall("CopyFileA", 0, ERROR_ACCESS_DENIED);
    HostAnswerMessageBox(IDCANCEL);
    g_hInstance = nullptr;
    EXPECT_EQ(RunStandAloneUninstall(GetModuleHandleA(nullptr), line), 0);
    EXPECT_TRUE(HostProcessesStarted().empty());
    EXPECT_FALSE(DestHas("tclassic.exe"));
}

// The copy: it moves the original (in use by the waiting first process) out of
// the product folder into its own, so that the folder goes at once, with
// message 10014 and no restart.
TEST_F(Removal, TheCopyParksTheOriginalAndTheFolderGoesAtOnce)
{
    FreshSequence();
    Plant(nullptr, false);
    RemoveUserFiles();
    HostMakeFolder("C:\\TEMP\\VNS1234.TMP");
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\VNS1234.TMP\\uninst32.exe", "x"));
    HostSetModulePath("C:\\TEMP\\VNS1234.TMP\\uninst32.exe");
    ASSERT_TRUE(HostHoldFile(Path("uninst32.exe").c_str(), FILE_SHARE_READ, true));  // the first process
    HostAnswerMessageBox(IDOK);
    g_hInstance = nullptr;
    EXPECT_EQ(RunStandAloneUninstall(GetModuleHandleA(nullptr),
                                     "-f C:\\Program Files\\Vantro Pro -d C:\\Program Files\\Vantro Pro -g Vantro Pro"),
              0);
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Removal process complete.\nAll files removed.");
    EXPECT_EQ(GetFileAttributesA(kDest), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\VNS1234.TMP\\uninst32.run"));
    EXPECT_TRUE(HostPendingRenames().empty());
    EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
    EXPECT_EQ(Record("DIR"), "(none)");
    EXPECT_EQ(HostRestartState().requests, 0);
    EXPECT_TRUE(HostProcessesStarted().empty());
    HostReleaseFile("C:\\TEMP\\VNS1234.TMP\\uninst32.run");
}

// Outcomes of the product's own uninstaller, asked and unattended ("-q": no
// window, no message, the INI files kept, no restart, the exit code alone).
TEST_F(Removal, TheUninstallersOutcomesAndItsExitCodes)
{
    const std::string restart = HostStringTableText(95);
    const std::string unreadable =
        "The uninstall command cannot be read:\nC:\\Program Files\\Vantro Pro\n\nIt must read: uninst32.exe -f "
        "<folder> -d <folder> -g <group>\nNothing was removed.";
    const std::string noInstallation = "Insufficient information available to\nremove this application.";
    struct Row {
        const char *name;
        const char *line;
        bool held;          // a product library is in use
        int answer;         // to the one message box; 0 none shown
        std::string text;
        int exitCode;
        bool removed;
    } rows[] = {
        {"clean", "-f C:\\Program Files\\Vantro Pro -d C:\\Program Files\\Vantro Pro -g Vantro Pro", false, IDOK,
         "Removal process complete.\nAll files removed.", 0, true},
        {"in use, restart declined", "-f C:\\Program Files\\Vantro Pro -d C:\\Program Files\\Vantro Pro -g Vantro Pro",
         true, IDCANCEL, restart, 3010, true},
        {"another folder", "-f C:\\Other -d C:\\Other -g Vantro Pro", false, IDOK, noInstallation, 1605, false},
        {"unreadable", "C:\\Program Files\\Vantro Pro", false, IDOK, unreadable, 1639, false},
        {"quiet, clean", "-q -f C:\\Program Files\\Vantro Pro -d C:\\Program Files\\Vantro Pro -g Vantro Pro", false, 0,
         "", 0, true},
        {"quiet, in use", "-q -f C:\\Program Files\\Vantro Pro -d C:\\Program Files\\Vantro Pro -g Vantro Pro", true, 0,
         "", 3010, true},
        {"quiet, another folder", "-q -f C:\\Other -d C:\\Other -g Vantro Pro", false, 0, "", 1605, false},
        {"quiet, unreadable", "-q C:\\Program Files\\Vantro Pro", false, 0, "", 1639, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        Plant(nullptr, false);
        RemoveUserFiles();
        HostSetModulePath("C:\\SETUP\\uninst32.exe");  // run from elsewhere: no copy
        if (row.held) ASSERT_TRUE(HostHoldFile(Path("tcore32.dll").c_str(), FILE_SHARE_READ, true));
        if (row.answer) HostAnswerMessageBox(row.answer);
        g_hInstance = nullptr;
        EXPECT_EQ(RunStandAloneUninstall(GetModuleHandleA(nullptr), row.line), row.exitCode);
        ASSERT_EQ(HostMessageBoxes().size(), row.answer ? 1u : 0u);
        if (row.answer) EXPECT_EQ(HostMessageBoxes()[0].text, row.text);
        if (!row.answer) EXPECT_TRUE(HostDialogsShown().empty());
        EXPECT_EQ(DestHas("tclassic.exe"), !row.removed);
        EXPECT_EQ(Record("DIR"), row.removed ? "(none)" : kDest);
        EXPECT_EQ(HostRestartState().requests, 0);
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(sizeof cwd, cwd);
        EXPECT_STREQ(cwd, "C:\\TEMP");  // not the folder it removes
        HostReleaseFile(Path("tcore32.del").c_str());
    }
}

// Unattended, the user's site lists stay with their folder, as after No; the
// log, asked for by the options beside the uninstaller, names each step and
// ends with the outcome.
TEST_F(Removal, AQuietRemovalKeepsTheSiteListsAndLogsWhenAsked)
{
    FreshSequence();
    Plant(nullptr, true);
    RemoveUserFiles();
    ASSERT_TRUE(HostWriteFile(Path("install.ini").c_str(), "[INSTALL]\r\nLOGGING=1\r\n"));
    HostSetModulePath("C:\\SETUP\\uninst32.exe");
    g_hInstance = nullptr;
    EXPECT_EQ(RunStandAloneUninstall(GetModuleHandleA(nullptr),
                                     "-q -f C:\\Program Files\\Vantro Pro -d C:\\Program Files\\Vantro Pro -g Vantro Pro"),
              0);
    EXPECT_TRUE(HostMessageBoxes().empty());
    EXPECT_TRUE(DestHas("Vantro.ini"));
    EXPECT_TRUE(DestHas("scanners.ini"));
    EXPECT_FALSE(DestHas("tclassic.exe"));
    std::string log = ReadText("C:\\TEMP\\setup.log");
    EXPECT_NE(log.find("Removing uninstall info\r\n"), std::string::npos);
    EXPECT_NE(log.find(Path("tclassic.exe") + "\r\n"), std::string::npos);
    EXPECT_NE(log.find("Removal process complete.\r\nCheck the folder"), std::string::npos);
    // The group the items go from is shown minimised and not active.
    std::vector<std::string> sent = CommandsSincePlant();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], std::string("[ShowGroup(Vantro Pro,7)]") + '\0');
    const std::string last = "Exit code 0: removed.\r\n";
    ASSERT_GE(log.size(), last.size());
    EXPECT_EQ(log.substr(log.size() - last.size()), last);
}

// A record that names a folder no installation may take is not the product's,
// whoever wrote it: nothing is removed there, and the record stays.
TEST_F(Removal, ARecordNamingASystemFolderRemovesNothing)
{
    struct Row {
        const char *name;
        const char *dir;
    } rows[] = {
        {"the Windows folder", "C:\\WINDOWS"},
        {"the system folder", "C:\\WINDOWS\\SYSTEM32"},
        {"a drive's root", "C:\\"},
        {"the Program Files folder", "C:\\Program Files"},
        {"a relative folder", "Vantro Pro"},
        {"a way round", "C:\\Program Files\\..\\WINDOWS"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        Plant(nullptr, false);
        for (const char *f : {"C:\\WINDOWS\\setup.log", "C:\\WINDOWS\\old.bak", "C:\\WINDOWS\\SYSTEM32\\a.tmp",
                              "C:\\help.gid", "C:\\Program Files\\x.log", "C:\\WINDOWS\\tclassic.exe"})
            ASSERT_TRUE(HostWriteFile(f, "the system's"));
        WriteProfileStringA("Vantro", "DIR", row.dir);
        HostAnswerMessageBox(IDOK);
        EXPECT_EQ(RunUninstall(nullptr, 31, 31), 1605);
        ASSERT_EQ(HostMessageBoxes().size(), 1u);
        EXPECT_EQ(HostMessageBoxes()[0].text, "Insufficient information available to\nremove this application.");
        for (const char *f : {"C:\\WINDOWS\\setup.log", "C:\\WINDOWS\\old.bak", "C:\\WINDOWS\\SYSTEM32\\a.tmp",
                              "C:\\help.gid", "C:\\Program Files\\x.log", "C:\\WINDOWS\\tclassic.exe"})
            EXPECT_EQ(ReadText(f), "the system's") << f;
        EXPECT_EQ(Record("DIR"), row.dir);
        EXPECT_EQ(Record("INSTOPTS"), "12");
        EXPECT_TRUE(HostRegKeyExists(kUninstall));  // nothing of the removal ran
        EXPECT_TRUE(HostDialogsShown().empty());
    }
}

// The copies the install left beside programs and libraries that were in use
// go with the folder; a ".new" file of the user's stays.
TEST_F(Removal, TheSweepTakesTheCopiesLeftForANextStart)
{
    Plant(nullptr, false);
    RemoveUserFiles();
    for (const char *f : {"tcore32.new", "tlink.new", "shellext.new", "uninst32.new", "mine.new"})
        ASSERT_TRUE(HostWriteFile(Path(f).c_str(), "x"));
    char note[REMOVAL_NOTE_SIZE];
    Remove(REMOVE_ALL, note);
    for (const char *f : {"tcore32.new", "tlink.new", "shellext.new", "uninst32.new"}) EXPECT_FALSE(DestHas(f)) << f;
    EXPECT_TRUE(DestHas("mine.new"));
    EXPECT_TRUE(HostPendingRenames().empty());
}

// A recorded group that Program Manager would read as more than a name was not
// written by an install: nothing is sent.
TEST_F(Removal, ARecordedGroupThatWouldEndACommandIsNotSent)
{
    Plant("Vantro Pro", false);
    WriteProfileStringA("Vantro", "GROUP", "Vantro Pro)][DeleteGroup(Accessories");
    char note[REMOVAL_NOTE_SIZE];
    Remove(REMOVE_ALL, note);
    EXPECT_TRUE(CommandsSincePlant().empty());
}
