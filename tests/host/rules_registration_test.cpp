// The install after its files, over the simulated machine: the registrations,
// the record, the group and icons, the namespace and uninstall entries, browser
// integration and the scheduler; how each failure ends the sequence, which text
// it leaves and which report bits it gives.
#include <string.h>

#include "app/main.h"
#include "app/options.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"
#include "payload/sequence.h"
#include "rules_fixture.h"

namespace {

class RulesRegistration : public RulesTest {};

const DWORD kAll = 0x1 | 0x2 | 0x4 | 0x8;
const DWORD kUnattended = 0x10000000;
const char kDestPath[] = "C:\\Program Files\\Vantro Pro";
const char kBaseClass[] = "HKCR\\CLSID\\{5B3E91C4-0D27-4A6F-8E15-C2A07D9B3F10}\\InProcServer32";
const char kUninstall[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantroPro";
const char kDesktopExplorer[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace\\{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f01}";
const char kMyComputerExplorer[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\Namespace\\{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f01}";
const char kDesktopClassic[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace\\{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f0a}";
const char kMyComputerClassic[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\Namespace\\{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f0a}";
const char kNetscapeKey[] = "HKLM\\SOFTWARE\\Brenmoor\\Vantro\\Browser\\Netscape";

std::string RegText(const char *key, const char *name)
{
    std::string data;
    DWORD type = 0;
    if (!HostRegGetValue(key, name, &type, &data)) return "(none)";
    if (type == REG_DWORD && data.size() == 4) {
        DWORD value;
        memcpy(&value, data.data(), 4);
        return "dword:" + std::to_string(value);
    }
    if (!data.empty() && data.back() == '\0') data.pop_back();
    return data;
}

void Marker(const char *name, const char *text)
{
    HostWriteFile((std::string(kDestPath) + "\\" + name).c_str(), text);
}

struct Outcome {
    int result;
    DWORD report;
    std::string failure;
};

Outcome Sequence(DWORD flags)
{
    char failure[512];
    Outcome o;
    o.report = 0;
    o.result = RunInstallSequence("C:\\TEMP\\", kDestPath, flags, &o.report, nullptr, nullptr, failure);
    o.failure = failure;
    return o;
}

// The names of the items of a Program Manager group, in order.
std::vector<std::string> Items(const char *group)
{
    std::vector<std::string> names;
    if (const HostProgmanGroup *g = HostProgmanFindGroup(group))
        for (const HostProgmanItem &item : g->items) names.push_back(item.name);
    return names;
}

bool HasItem(const char *group, const std::string &name)
{
    for (const std::string &n : Items(group))
        if (n == name) return true;
    return false;
}

}  // namespace

// Every failure of the later phases: what it does to the success flag, the
// failure text it leaves, and the report bits the caller sees.
TEST_F(RulesRegistration, EachFailureEndsAsItsPhaseSays)
{
    struct Row {
        const char *name;
        void (*arrange)();
        int result;
        const char *failure;
        DWORD reportBits;  // of 0x1, 0x2, 0x4, 0x8, 0x10000
        bool dir, group, uninstallEntry, scheduler;
    } rows[] = {
        {"all well", [] {}, 1, "", 0x1 | 0x2 | 0x4 | 0x10000, true, true, true, true},
        {"SSL library refuses to load", [] { Marker("secsvc.fail", "load\r\n"); }, 0, "", 0x8, false, false, false,
         false},
        {"SSL registration returns 0", [] { Marker("secsvc.fail", "DLLRegisterSSL\r\n"); }, 0, "", 0x8, false, false,
         false, false},
        {"SSL library missing", [] { HostFailCallOn("LoadLibraryExA", "C:\\Program Files\\Vantro Pro\\secsvc.dll", 0, ERROR_MOD_NOT_FOUND); },
         0, "", 0x8, false, false, false, false},
        {"base class cannot be written",
         [] { HostFailCallOn("RegCreateKeyA", "CLSID\\{5B3E91C4-0D27-4A6F-8E15-C2A07D9B3F10}\\InProcServer32", 0, ERROR_ACCESS_DENIED); },
         0, "Failed to registered base product.", 0x8, false, false, false, false},
        {"no DDE client", [] { HostFailCall("DdeInitializeA", 0, 0); }, 0, "Failed to create icon group.", 0x4 | 0x8,
         true, true, false, false},
        {"uninstall entry cannot be made",
         [] { HostFailCallOn("RegCreateKeyA", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantroPro", 0, ERROR_ACCESS_DENIED); },
         1, "", 0x1 | 0x2 | 0x4 | 0x10000, true, true, false, true},
        // The stub's text stays while the install goes on, and is never shown.
        {"stub registration fails", [] { Marker("tstub.fail", "DllRegisterServer\r\n"); }, 1, "Failed to registered stub.",
         0x1 | 0x2 | 0x4 | 0x10000, true, true, true, true},
        {"stub fails, then the Explorer extension: the later text wins",
         [] {
             Marker("tstub.fail", "DllRegisterServer\r\n");
             Marker("shellext.fail", "*\r\n");
         },
         0, "Failed to registered explorer.", 0x2 | 0x4 | 0x8, true, true, true, false},
        {"Explorer extension fails", [] { Marker("shellext.fail", ""); }, 0, "Failed to registered explorer.",
         0x2 | 0x4 | 0x8, true, true, true, false},
        {"browser library fails: the scheduler is still installed",
         [] { Marker("vnbho2k0.fail", "DllRegisterServer\r\n"); }, 0, "Failed to registered Browser DLL.",
         0x2 | 0x4 | 0x8 | 0x10000, true, true, true, true},
        // A text left by the file phases shows when a later phase fails with none.
        {"configuration not written, then the SSL library fails",
         [] {
             HostRemoveResource("EXE", "INIFILE1");
             Marker("secsvc.fail", "load\r\n");
         },
         0, "Failed to install INI files.", 0x8, false, false, false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        row.arrange();
        Outcome o = Sequence(kAll | kUnattended);
        EXPECT_EQ(o.result != 0, row.result != 0);
        EXPECT_EQ(o.failure, row.failure);
        EXPECT_EQ(o.report, row.reportBits);
        EXPECT_EQ(Record("DIR") != "(none)", row.dir);
        EXPECT_EQ(Record("GROUP") != "(none)", row.group);
        EXPECT_EQ(HostRegKeyExists(kUninstall), row.uninstallEntry);
        EXPECT_EQ(!HostComponentCallsOf("run").empty(), row.scheduler);
        EXPECT_EQ(HostLoadedLibraries(), 0);
        EXPECT_EQ(HostRegOpenHandles(), 0);
        EXPECT_EQ(HostDdeOpenInstances(), 0);
        // The browser keys only after the browser library registered.
        EXPECT_EQ(HostRegKeyExists(kNetscapeKey), row.result != 0);
        HostClearFaults();
    }
}

// What a complete unattended install leaves: every registration, the record,
// the group with an icon per file that asks for one, and the uninstall entry.
TEST_F(RulesRegistration, ACompleteInstallRecordsEverything)
{
    FreshSequence();
    g_bNoPass = 1;
    Outcome o = Sequence(kAll | kUnattended);
    ASSERT_EQ(o.result, 1);
    EXPECT_EQ(RegText(kBaseClass, ""), std::string(kDestPath) + "\\tclassic.exe");
    EXPECT_EQ(RegText(kBaseClass, "ThreadingModel"), "Apartment");
    EXPECT_EQ(RegText("HKLM\\SOFTWARE\\Brenmoor\\Vantro\\SSL", "Folder"), kDestPath);
    // The SSL library got a copy of its key path, the folder and 0.
    EXPECT_EQ(HostComponentCallsOf("DLLRegisterSSL"),
              std::vector<std::string>{"secsvc.dll SOFTWARE\\Brenmoor\\Vantro\\SSL|C:\\Program Files\\Vantro Pro|0"});
    EXPECT_EQ(Record("DIR"), kDestPath);
    EXPECT_EQ(Record("SPFLAGS"), "1");
    EXPECT_EQ(Record("GROUP"), "Vantro Pro");

    const std::string dest = kDestPath;
    EXPECT_EQ(RegText(kUninstall, "DisplayName"), "Brenmoor Vantro Pro Uninstall");
    EXPECT_EQ(RegText(kUninstall, "UninstallString"),
              "\"" + dest + "\\uninst32.exe\" -f " + dest + " -d " + dest + " -g Vantro Pro");
    // The same with the quiet switch first, for administrators.
    EXPECT_EQ(RegText(kUninstall, "QuietUninstallString"),
              "\"" + dest + "\\uninst32.exe\" -q -f " + dest + " -d " + dest + " -g Vantro Pro");
    EXPECT_EQ(RegText(kUninstall, "DisplayIcon"), dest + "\\uninst32.exe");
    EXPECT_EQ(RegText(kUninstall, "Publisher"), "Brenmoor");
    EXPECT_EQ(RegText(kUninstall, "InstallLocation"), dest);
    EXPECT_EQ(RegText(kUninstall, "NoModify"), "dword:1");
    EXPECT_EQ(RegText(kUninstall, "NoRepair"), "dword:1");
    // The size of the installed files, each counted once, rounded up to KB.
    unsigned long long bytes = 0;
    std::string text;
    for (const RulesTable &t : kRulesTables)
        for (int i = 0; i < t.count; i++)
            if (HostReadFile((dest + "\\" + t.rows[i].szInstallFile).c_str(), text)) bytes += text.size();
    EXPECT_EQ(RegText(kUninstall, "EstimatedSize"), "dword:" + std::to_string((bytes + 1023) / 1024));

    // One icon per row that asks for one, target and working folder the destination.
    const HostProgmanGroup *group = HostProgmanFindGroup("Vantro Pro");
    ASSERT_NE(group, nullptr);
    size_t icons = 1;  // the Explorer interface's namespace item
    for (const RulesTable &t : kRulesTables)
        for (int i = 0; i < t.count; i++)
            if (t.rows[i].bIcon == 1) {
                icons++;
                std::string name = t.rows[i].szCaption[0] ? t.rows[i].szCaption : t.rows[i].szInstallFile;
                EXPECT_TRUE(HasItem("Vantro Pro", name)) << name;
                EXPECT_EQ(t.rows[i].dwState & FILE_ICON, (DWORD)FILE_ICON) << name;
            }
    EXPECT_EQ(group->items.size(), icons);
    for (const HostProgmanItem &item : group->items) {
        EXPECT_EQ(item.workDir, dest) << item.name;
        if (item.name == "Vantro Pro Explorer")
            EXPECT_EQ(item.command, "Vantro Pro Explorer.{5B3E91C4-0D27-4A6F-8E15-c2a07d9b3f01}");
        else
            EXPECT_EQ(item.command.rfind(dest + "\\", 0), 0u) << item.name;
    }
    // The libraries registered in the destination folder, which was current
    // only while they worked.
    for (const HostComponentCall &call : HostComponentCalls())
        if (call.what == "DllRegisterServer") EXPECT_EQ(lstrcmpiA(call.cwd.c_str(), dest.c_str()), 0) << call.module;
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(current, "C:\\TEMP");
    EXPECT_EQ(HostComponentCallsOf("DllRegisterServer"),
              (std::vector<std::string>{"tstub.dll", "shellext.dll", "vnbho2k0.dll"}));
    EXPECT_EQ(HostComponentCallsOf("AddNetscapeBhoKey").size(), 1u);
    EXPECT_EQ(HostComponentCallsOf("AddExplorerBhoKey").size(), 1u);
}

// The uninstall command names the destination three times: a long one is
// written whole.
TEST_F(RulesRegistration, ALongDestinationGivesTheWholeUninstallCommand)
{
    std::string dest = "C:\\" + std::string(50, 'p') + "\\" + std::string(45, 'q');  // 99 characters: a command of over 300
    FreshSequence();
    HostMakeFolder(dest.c_str());
    char failure[512];
    DWORD report;
    ASSERT_EQ(RunInstallSequence("C:\\TEMP\\", dest.c_str(), 0x1 | kUnattended, &report, nullptr, nullptr, failure), 1);
    EXPECT_EQ(RegText(kUninstall, "UninstallString"),
              "\"" + dest + "\\uninst32.exe\" -f " + dest + " -d " + dest + " -g Vantro Pro");
}

// Unattended, the group comes from the options file's GROUP32, else the
// recorded GROUP, else the product's own name; an empty name is the product's.
TEST_F(RulesRegistration, TheGroupsProposal)
{
    struct Row {
        const char *name;
        const char *group32;  // null: no options file
        const char *recorded; // null: none
        const char *group;
    } rows[] = {
        {"GROUP32 first", "[Vantro]\r\nGROUP32=Net Tools\r\n", "Old Group", "Net Tools"},
        {"then GROUP", "[Vantro]\r\n", "Old Group", "Old Group"},
        {"no options file", nullptr, "Old Group", "Old Group"},
        {"nothing", nullptr, nullptr, "Vantro Pro"},
        {"empty GROUP32", "[Vantro]\r\nGROUP32=\r\n", "Old Group", "Vantro Pro"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        g_szIniFile[0] = 0;
        if (row.group32) {
            HostWriteFile("C:\\SETUP\\Install.ini", row.group32);
            lstrcpyA(g_szIniFile, "C:\\SETUP\\Install.ini");
        }
        if (row.recorded) WriteProfileStringA("Vantro", "GROUP", row.recorded);
        ASSERT_EQ(Sequence(0x1 | kUnattended).result, 1);
        EXPECT_EQ(Record("GROUP"), row.group);
        EXPECT_NE(HostProgmanFindGroup(row.group), nullptr);
        EXPECT_NE(RegText(kUninstall, "UninstallString").find(std::string(" -g ") + row.group), std::string::npos);
    }
    g_szIniFile[0] = 0;
}

// The namespace entries go where an earlier install put them; the user is
// asked only on a first install, and the options file decides unattended.
TEST_F(RulesRegistration, NamespaceEntriesAndThePlacementQuestion)
{
    struct Row {
        const char *name;
        bool interactive;
        int iconLocation;        // before the run (the options file's)
        const char *existing;    // a key that holds an entry already, or null
        int answer;              // interactive and asked: 1851 desktop, 1852 My Computer
        const char *explorerAt;  // where the two entries are afterwards
        const char *classicAt;
    } rows[] = {
        {"unattended, desktop", false, 0, nullptr, 0, kDesktopExplorer, kDesktopClassic},
        {"unattended, My Computer", false, 1, nullptr, 0, kMyComputerExplorer, kMyComputerClassic},
        {"first install, asked: My Computer", true, 0, nullptr, 1852, kMyComputerExplorer, kMyComputerClassic},
        {"reinstall under My Computer: no question", true, 0, kMyComputerExplorer, 0, kMyComputerExplorer,
         kMyComputerClassic},
        {"reinstall on the desktop, unattended option says My Computer", false, 1, kDesktopExplorer, 0,
         kDesktopExplorer, kDesktopClassic},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FreshSequence();
        g_iconLocation = row.iconLocation;
        if (row.existing) HostRegSetString(row.existing, "", "kept");
        if (row.interactive) {
            HostDialogScript("DLG_GETGROUP", {HostClick(IDOK)});
            if (row.answer) HostDialogScript("#307", {HostCheck(row.answer), HostClick(IDOK)});
        }
        ASSERT_EQ(Sequence(0x1 | 0x2 | (row.interactive ? 0 : kUnattended)).result, 1);
        size_t asked = 0;
        for (const HostDialogRecord &d : HostDialogsShown()) asked += d.templateName == "#307";
        EXPECT_EQ(asked, row.answer ? 1u : 0u);
        EXPECT_EQ(RegText(row.explorerAt, ""), row.existing ? "kept" : "Vantro Pro Explorer");
        EXPECT_EQ(RegText(row.classicAt, ""), "Vantro Pro");
        // Nothing at the other place.
        for (const char *key : {kDesktopExplorer, kMyComputerExplorer, kDesktopClassic, kMyComputerClassic})
            if (key != row.explorerAt && key != row.classicAt) EXPECT_FALSE(HostRegKeyExists(key)) << key;
    }
}

// Which rows get registrations and icons depends on what this run installed
// and on the platform.
TEST_F(RulesRegistration, RowsNotInstalledInThisRunAndOldNT)
{
    // Without the classic interface, over an existing tclassic.exe.
    FreshSequence();
    for (const char *file : {"tclassic.exe", "tcore32.dll"}) Marker(file, "earlier");
    ASSERT_EQ(Sequence(0x2 | kUnattended).result, 1);
    EXPECT_FALSE(HostRegKeyExists(kBaseClass));
    EXPECT_FALSE(HasItem("Vantro Pro", "tclassic.exe"));
    EXPECT_FALSE(HostRegKeyExists(kDesktopClassic));
    EXPECT_EQ(HostComponentCallsOf("run").size(), 0u);  // no utilities: no scheduler

    // A file not required that this run could not install, though an earlier
    // copy is there: no icon for it.
    FreshSequence();
    Marker("tscript.hlp", "earlier");
    HostRemoveResource("EXE", "HLPFILE3");
    ASSERT_EQ(Sequence(kAll | kUnattended).result, 1);
    EXPECT_FALSE(HasItem("Vantro Pro", "Vantro Scripting Help"));
    EXPECT_TRUE(HasItem("Vantro Pro", "Vantro Scripting Utility"));

    // Windows NT 3.51: tlink.exe gets no icon and the stub is not registered.
    FreshSequence();
    g_bWinNT = 1;
    g_winMajor = 3;
    ASSERT_EQ(Sequence(kAll | kUnattended).result, 1);
    g_winMajor = 4;
    EXPECT_TRUE(DestHas("tlink.exe"));
    EXPECT_FALSE(HasItem("Vantro Pro", g_commonFiles[0].szCaption[0] ? g_commonFiles[0].szCaption : "tlink.exe"));
    for (const std::string &call : HostComponentCallsOf("DllRegisterServer")) EXPECT_NE(call, "tstub.dll");
}

// The queue scheduler: "-install", then "-install_no_start" unless the queue
// starts with Windows; its path quoted.
TEST_F(RulesRegistration, TheSchedulerIsToldWhatWasChosen)
{
    for (DWORD queue : {0u, 0x10u}) {
        SCOPED_TRACE(queue ? "queue on start-up" : "no queue on start-up");
        FreshSequence();
        // A program where the unquoted path would stop at its first blank.
        HostWriteFile("C:\\Program.exe", "MZ");
        ASSERT_EQ(Sequence(kAll | queue | kUnattended).result, 1);
        std::vector<std::string> runs = HostComponentCallsOf("run");
        std::vector<std::string> expected = {"tsched.exe -install"};
        if (!queue) expected.push_back("tsched.exe -install_no_start");
        EXPECT_EQ(runs, expected);
        EXPECT_EQ(RegText("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Vantro Queue Scheduler") != "(none)",
                  queue != 0);
    }
}

// A group dialog cancelled: no group, no icons, nothing after it; the record's
// DIR is written already; the controller shows 10028 alone.
TEST_F(RulesRegistration, TheGroupDialogCancelled)
{
    HostDialogScript("DLG_INSTALL", {HostClick(IDOK)});
    HostDialogScript("DLG_GETDIR", {HostClick(IDOK)});
    HostDialogScript("DLG_VERS_32", {HostClick(IDOK)});
    HostDialogScript("DLG_GETGROUP", {HostClick(IDCANCEL)});
    HostAnswerMessageBox(IDOK);
    EXPECT_EQ(RunSetup(), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    EXPECT_EQ(HostMessageBoxes()[0].text, "Some portion of installation process failed.");
    EXPECT_EQ(Record("DIR"), kDest);
    EXPECT_EQ(Record("GROUP"), "(none)");
    EXPECT_EQ(Record("INSTOPTS"), "(none)");
    EXPECT_TRUE(HostProgmanCommands().empty());
    EXPECT_FALSE(HostRegKeyExists(kUninstall));
    EXPECT_FALSE(HostRegKeyExists(kDesktopExplorer));
    EXPECT_TRUE(HostComponentCallsOf("DllRegisterServer").empty());
}
