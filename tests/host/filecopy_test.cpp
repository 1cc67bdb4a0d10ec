// Installing one file, with the fallbacks for files in use.
#include <dirent.h>
#include <string.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "app/deferred.h"
#include "app/main.h"
#include "app/options.h"
#include "machine_fixture.h"
#include "payload/catalogue.h"
#include "payload/filecopy.h"

static const char kRunOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
static const char kRunServicesOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";
static const int kDll = 1;   // tcore32.dll, required
static const int kHelp = 3;  // tcore32.hlp, required
static const int kCnt = 2;   // TCore32.cnt, not required

TEST(SideName, ReplacesTheExtensionOfTheFileNameOnly)
{
    struct Row {
        const char *target, *ext, *expected;  // expected null: no side name
    } rows[] = {
        {"C:\\Vantro\\app.dll", ".bak", "C:\\Vantro\\app.bak"},
        {"C:\\Vantro\\tool.exe", ".new", "C:\\Vantro\\tool.new"},
        {"C:\\app.exe.d\\tool.exe", ".bak", "C:\\app.exe.d\\tool.bak"},
        {"C:\\lib.dll\\prog.exe", ".new", "C:\\lib.dll\\prog.new"},
        {"C:\\Vantro\\odd.dll.exe", ".bak", "C:\\Vantro\\odd.bak"},
        {"C:\\Vantro\\x.exe.dll", ".bak", "C:\\Vantro\\x.exe.bak"},
        {"C:\\Vantro\\readme.txt", ".bak", nullptr},
        {"C:\\Vantro\\LOUD.DLL", ".bak", nullptr},
        {"C:\\a.dll\\help.hlp", ".bak", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.target);
        char side[SIDE_PATH_SIZE] = "";
        int ok = MakeSideName(row.target, row.ext, side, sizeof side);
        EXPECT_EQ(ok, row.expected != nullptr);
        if (row.expected) EXPECT_STREQ(side, row.expected);
    }
    // A target of 260 characters or more gets no side name at all.
    std::string folder = "C:\\" + std::string(249, 'f');
    std::string fits = folder + "\\ab.dll";       // 259 characters
    std::string over = folder + "\\abc.dll";      // 260 characters
    ASSERT_EQ(fits.size(), 259u);
    char side[SIDE_PATH_SIZE];
    EXPECT_EQ(MakeSideName(fits.c_str(), ".bak", side, sizeof side), 1);
    EXPECT_EQ(MakeSideName(over.c_str(), ".bak", side, sizeof side), 0);
}

class FileCopy : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        SetCurrentDirectoryA("C:\\TEMP");
        lstrcpyA(g_szTempName, "WFT1A2B.TMP");
        HostMakeFolder("C:\\Program Files\\Vantro Pro");
        for (int i : {kDll, kHelp, kCnt}) HostSetResource("EXE", g_payloadResources[i].szResName, NewBytes(i));
        g_bWinNT = 1;
    }
    static std::string NewBytes(int index) { return "new contents of payload " + std::to_string(index) + "\r\n"; }
    int Install(const char *name, int index, int required)
    {
        return InstallFile("C:\\TEMP\\", name, "C:\\Program Files\\Vantro Pro", g_hMainWnd, nullptr, index,
                           required);
    }
    std::string Dest(const char *name) { return ReadText((std::string("C:\\Program Files\\Vantro Pro\\") + name).c_str()); }
    bool DestExists(const char *name) { return HostFileExists((std::string("C:\\Program Files\\Vantro Pro\\") + name).c_str()); }
    void PutOld(const char *name) { HostWriteFile((std::string("C:\\Program Files\\Vantro Pro\\") + name).c_str(), "old"); }
    void Hold(const char *name, bool image)
    {
        ASSERT_TRUE(HostHoldFile((std::string("C:\\Program Files\\Vantro Pro\\") + name).c_str(), FILE_SHARE_READ, image));
    }
    bool ScratchLeft() { return HostFileExists("C:\\TEMP\\WFT1A2B.TMP"); }
};

TEST_F(FileCopy, InstallsAndReportsProgress)
{
    g_bSilent = 1;
    g_bLogging = 1;
    EXPECT_EQ(Install("tcore32.dll", kDll, 1), 0);
    EXPECT_EQ(Dest("tcore32.dll"), NewBytes(kDll));
    EXPECT_FALSE(ScratchLeft());
    EXPECT_EQ(g_bRebootNeeded, 0);
    EXPECT_EQ(ReadText("C:\\TEMP\\setup.log"),
              "Copying C:\\TEMP\\tcore32.dll to C:\\Program Files\\Vantro Pro\\tcore32.dll\r\n");

    // Interactive: the status control shows the line instead.
    g_bSilent = 0;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Static";
    RegisterClassA(&wc);
    HWND status = CreateWindowExA(0, "Static", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(InstallFile("C:\\TEMP\\", "TCore32.cnt", "C:\\Program Files\\Vantro Pro", nullptr, status, kCnt, 0), 0);
    char text[512];
    GetWindowTextA(status, text, sizeof text);
    EXPECT_STREQ(text, "Copying C:\\TEMP\\TCore32.cnt to C:\\Program Files\\Vantro Pro\\TCore32.cnt");
}

// The deferred copy of tcore32.dll as each platform's interpreter must run it:
// the short ".new" path first, then the short target; /Y where copy would
// otherwise ask before it replaces the file (command.com of MS-DOS 6.2 and
// later, cmd.exe of Windows 2000 and later), and nobody would answer.
static const char kCopyNT[] = "cmd.exe /c copy C:\\PROGRA~1\\VANTRO~1\\tcore32.new C:\\PROGRA~1\\VANTRO~1\\tcore32.dll";
static const char kCopyNT5[] =
    "cmd.exe /c copy /Y C:\\PROGRA~1\\VANTRO~1\\tcore32.new C:\\PROGRA~1\\VANTRO~1\\tcore32.dll";
static const char kCopy95[] =
    "command.com /c copy /Y C:\\PROGRA~1\\VANTRO~1\\tcore32.new C:\\PROGRA~1\\VANTRO~1\\tcore32.dll";

struct InUseRow {
    const char *name;
    bool nt;
    bool image;         // held as a running program's image (renamable) or open without delete sharing
    bool staleBak;
    bool silent, allowReboot;
    const char *expectBak;   // old contents under .bak, or null
    const char *runKey;      // where the deferred copy goes, or null
    const char *command;     // the deferred copy stored there
    int reboot;
};

// Which interpreter, and whether it is told not to ask, by the platform.
TEST_F(FileCopy, TheDeferredCopyNeverWaitsForAnAnswer)
{
    struct Row {
        const char *name;
        int major, minor, platform;
        const char *runKey, *command;
    } rows[] = {
        {"NT 3.51", 3, 51, VER_PLATFORM_WIN32_NT, kRunOnce, kCopyNT},
        {"NT 4", 4, 0, VER_PLATFORM_WIN32_NT, kRunOnce, kCopyNT},
        {"Windows 2000", 5, 0, VER_PLATFORM_WIN32_NT, kRunOnce, kCopyNT5},
        {"Windows 10", 10, 0, VER_PLATFORM_WIN32_NT, kRunOnce, kCopyNT5},
        {"Windows 95", 4, 0, VER_PLATFORM_WIN32_WINDOWS, kRunServicesOnce, kCopy95},
        {"Windows 98", 4, 10, VER_PLATFORM_WIN32_WINDOWS, kRunServicesOnce, kCopy95},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        HostSetVersion(row.major, row.minor, 1000, row.platform);
        HostSetEnv("OS", row.platform == VER_PLATFORM_WIN32_NT ? "Windows_NT" : nullptr);
        ReadPlatformFacts();
        PutOld("tcore32.dll");
        Hold("tcore32.dll", false);  // open without delete sharing: it cannot be moved aside either
        EXPECT_EQ(Install("tcore32.dll", kDll, 1), 0);
        std::string command;
        ASSERT_TRUE(HostRegGetValue(row.runKey, "Brenmoor0", nullptr, &command));
        EXPECT_EQ(command, std::string(row.command) + '\0');
    }
}

TEST_F(FileCopy, InUseFallbacks)
{
    const InUseRow rows[] = {
        {"NT, image: moved aside", true, true, false, false, false, "old", nullptr, nullptr, 1},
        {"NT, image, stale .bak replaced", true, true, true, false, false, "old", nullptr, nullptr, 1},
        {"NT, open file: deferred copy through cmd.exe", true, false, false, false, false, nullptr, kRunOnce, kCopyNT,
         1},
        {"NT, open file, unattended with ALLOWRBT", true, false, false, true, true, nullptr, kRunOnce, kCopyNT, 1},
        {"NT, open file, unattended without ALLOWRBT", true, false, false, true, false, nullptr, kRunOnce, kCopyNT, 0},
        {"95, image: deferred copy through command.com", false, true, false, false, false, nullptr, kRunServicesOnce,
         kCopy95, 1},
        {"95, open file: deferred copy through command.com", false, false, false, false, false, nullptr,
         kRunServicesOnce, kCopy95, 1},
        {"unattended with ALLOWRBT", false, true, false, true, true, nullptr, kRunServicesOnce, kCopy95, 1},
        {"unattended without ALLOWRBT", true, true, false, true, false, "old", nullptr, nullptr, 0},
    };
    for (const InUseRow &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        g_bWinNT = row.nt;
        g_bSilent = row.silent;
        g_bAllowReboot = row.allowReboot;
        PutOld("tcore32.dll");
        if (row.staleBak) HostWriteFile("C:\\Program Files\\Vantro Pro\\tcore32.bak", "stale");
        Hold("tcore32.dll", row.image);

        EXPECT_EQ(Install("tcore32.dll", kDll, 1), 0);
        EXPECT_FALSE(ScratchLeft());
        EXPECT_EQ(g_bRebootNeeded, row.reboot);
        EXPECT_TRUE(HostMessageBoxes().empty());
        if (row.expectBak) {
            EXPECT_EQ(Dest("tcore32.bak"), row.expectBak);
            EXPECT_EQ(Dest("tcore32.dll"), NewBytes(kDll));
            EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
            EXPECT_TRUE(HostRegValueNames(kRunServicesOnce).empty());
        } else {
            EXPECT_EQ(Dest("tcore32.dll"), "old");
            EXPECT_EQ(Dest("tcore32.new"), NewBytes(kDll));
            std::string command;
            ASSERT_TRUE(HostRegGetValue(row.runKey, "Brenmoor0", nullptr, &command));
            EXPECT_EQ(command, std::string(row.command) + '\0');
            const char *otherKey = row.runKey == kRunOnce ? kRunServicesOnce : kRunOnce;
            EXPECT_TRUE(HostRegValueNames(otherKey).empty());
        }
    }
}

TEST_F(FileCopy, HeldHelpFileFailsWithoutAFallback)
{
    PutOld("TCore32.cnt");
    Hold("TCore32.cnt", false);
    EXPECT_EQ(Install("TCore32.cnt", kCnt, 0), 1);
    EXPECT_EQ(Dest("TCore32.cnt"), "old");
    EXPECT_FALSE(DestExists("TCore32.new"));
    EXPECT_FALSE(ScratchLeft());
    EXPECT_TRUE(HostMessageBoxes().empty());
    EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
    EXPECT_EQ(g_bRebootNeeded, 0);
}

static void CloseViewer() { HostReleaseFile("C:\\Program Files\\Vantro Pro\\tcore32.hlp"); }

TEST_F(FileCopy, RequiredFileOffersRetryAndCancel)
{
    PutOld("tcore32.hlp");
    Hold("tcore32.hlp", false);
    g_hMainWnd = (HWND)0x1234;
    // The user closes the help viewer and retries: installed, no restart wanted.
    HostAnswerMessageBox(IDRETRY, CloseViewer);
    EXPECT_EQ(Install("tcore32.hlp", kHelp, 1), 0);
    ASSERT_EQ(HostMessageBoxes().size(), 1u);
    const HostMessageBox &box = HostMessageBoxes()[0];
    EXPECT_EQ(box.text, "Copy of tcore32.hlp to C:\\Program Files\\Vantro Pro failed. (32)");
    EXPECT_EQ(box.caption, "Install");
    EXPECT_EQ(box.type, (unsigned)(MB_RETRYCANCEL | MB_ICONERROR));
    EXPECT_EQ(box.owner, (HWND)0x1234);
    EXPECT_EQ(Dest("tcore32.hlp"), NewBytes(kHelp));
    EXPECT_EQ(g_bRebootNeeded, 0);

    // Cancel gives up on the file.
    Hold("tcore32.hlp", false);
    HostAnswerMessageBox(IDCANCEL);
    EXPECT_EQ(Install("tcore32.hlp", kHelp, 1), 1);
    EXPECT_EQ(HostMessageBoxes().size(), 2u);
}

TEST_F(FileCopy, UnattendedRequiredFailureIsLoggedNotAsked)
{
    g_bSilent = 1;
    g_bLogging = 1;
    HostRemoveResource("EXE", g_payloadResources[kHelp].szResName);
    EXPECT_EQ(Install("tcore32.hlp", kHelp, 1), 1);
    EXPECT_TRUE(HostMessageBoxes().empty());
    std::string log = ReadText("C:\\TEMP\\setup.log");
    EXPECT_NE(log.find("\r\nCopy of tcore32.hlp to C:\\Program Files\\Vantro Pro failed. ("), std::string::npos);
}

// The names of the files in a folder of the simulated disk, upper-cased and sorted.
static std::vector<std::string> FolderNames(const char *winPath)
{
    std::vector<std::string> names;
    std::string real;
    if (!HostResolvePath(winPath, real)) return names;
    if (DIR *d = opendir(real.c_str())) {
        while (struct dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            for (char &c : n) c = (char)toupper((unsigned char)c);
            names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

static const char kDestDll[] = "C:\\Program Files\\Vantro Pro\\tcore32.dll";
static const char kDestNew[] = "C:\\Program Files\\Vantro Pro\\tcore32.new";
static const char kDestBak[] = "C:\\Program Files\\Vantro Pro\\tcore32.bak";
static const char kScratch[] = "C:\\TEMP\\WFT1A2B.TMP";
static const char kParentKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// What one injected fault must lead to, by the rules of the file copy.
enum CopyOutcome {
    kFailed,            // not installed: Retry/Cancel message, old file as it was, nothing new left
    kFailedScratchLeft, // the same, but the scratch file whose write failed stays (the caller leaves it)
    kDeferred,          // installed as tcore32.new with a copy command for the next start
    kDeferredScratchLeft,
    kMovedAside,        // NT: old file as tcore32.bak, new one in place
};

struct CopyFault {
    const char *api;
    const char *arg;  // null: any call
    int nth;          // 0: every matching call
};

struct CopyFaultRow {
    const char *name;
    bool nt;
    std::vector<CopyFault> faults;
    CopyOutcome outcome;
};

// The longest roads of a library in use by a running program: on Windows 95
// through the deferred copy, on NT through the move aside. Every row's fault is
// met (HostFaultsFired), and the folder and the scratch folder hold exactly what
// the outcome leaves.
TEST_F(FileCopy, EveryFailingCallEndsInItsOneOutcome)
{
    const unsigned long kInjected = ERROR_WRITE_FAULT;
    const CopyFaultRow rows[] = {
        // Writing the payload out.
        {"no resource", false, {{"FindResourceA", nullptr, 1}}, kFailed},
        {"no resource data", false, {{"LoadResource", nullptr, 1}}, kFailed},
        {"scratch cannot be created", false, {{"CreateFileA", kScratch, 0}}, kFailed},
        {"scratch cannot be written", false, {{"WriteFile", kScratch, 0}}, kFailedScratchLeft},
        // Expanding it.
        {"scratch cannot be opened by the LZ library", false, {{"LZOpenFileA", kScratch, 0}}, kFailed},
        {"scratch cannot be read", false, {{"ReadFile", kScratch, 0}}, kFailed},
        {"the presence test sees no target", false, {{"GetFileAttributesA", kDestDll, 0}}, kFailed},
        // The deferred copy.
        {"stale .new cannot be deleted (there is none)", false, {{"DeleteFileA", kDestNew, 0}}, kDeferred},
        {".new cannot be created", false, {{"CreateFileA", kDestNew, 0}}, kFailed},
        {".new cannot be written", false, {{"WriteFile", kDestNew, 0}}, kFailed},
        {".new expansion fails", false, {{"LZCopy", kDestNew, 0}}, kFailed},
        {"no short name of .new", false, {{"GetShortPathNameA", kDestNew, 0}}, kDeferred},
        {"no short name of the target", false, {{"GetShortPathNameA", kDestDll, 0}}, kDeferred},
        {"Run key's parent cannot be opened", false, {{"RegOpenKeyExA", kParentKey, 0}}, kFailed},
        {"RunServicesOnce does not open: it is created", false, {{"RegOpenKeyExA", "RunServicesOnce", 0}}, kDeferred},
        {"RunServicesOnce cannot be created", false, {{"RegCreateKeyA", "RunServicesOnce", 0}}, kFailed},
        {"command cannot be stored", false, {{"RegSetValueExA", "Brenmoor0", 0}}, kFailed},
        {"scratch cannot be deleted", false, {{"DeleteFileA", kScratch, 0}}, kDeferredScratchLeft},
        // NT: the move aside, and the deferred copy when the old file cannot move.
        {"NT: stale .bak cannot be deleted (there is none)", true, {{"DeleteFileA", kDestBak, 0}}, kMovedAside},
        {"NT: rename fails, MoveFileA moves", true, {{"rename", kDestDll, 0}}, kMovedAside},
        {"NT: neither moves", true, {{"rename", kDestDll, 0}, {"MoveFileA", kDestDll, 0}}, kDeferred},
        {"NT: new file cannot be written in place", true, {{"WriteFile", kDestDll, 0}}, kFailed},
    };
    for (const CopyFaultRow &row : rows) {
        SCOPED_TRACE(row.name);
        MachineTest::TearDown();
        SetUp();
        g_bWinNT = row.nt;
        PutOld("tcore32.dll");
        Hold("tcore32.dll", true);
        for (const CopyFault &f : row.faults) {
            if (f.arg)
                HostFailCallOn(f.api, f.arg, f.nth, kInjected);
            else
                HostFailCall(f.api, f.nth, kInjected);
        }
        bool failed = row.outcome == kFailed || row.outcome == kFailedScratchLeft;
        if (failed) HostAnswerMessageBox(IDCANCEL);
        int result = Install("tcore32.dll", kDll, 1);
        EXPECT_GE(HostFaultsFired(), 1) << "the fault was never met";
        const char *runKey = row.nt ? kRunOnce : kRunServicesOnce;
        DWORD type = 0;
        std::string command;
        bool stored = HostRegGetValue(runKey, "Brenmoor0", &type, &command);
        bool scratchLeft = row.outcome == kFailedScratchLeft || row.outcome == kDeferredScratchLeft;
        EXPECT_EQ(ScratchLeft(), scratchLeft);
        EXPECT_EQ(FolderNames("C:\\TEMP"), scratchLeft ? std::vector<std::string>{"WFT1A2B.TMP"}
                                                       : std::vector<std::string>{});
        EXPECT_EQ(HostRegOpenHandles(), 0);
        switch (row.outcome) {
        case kFailed:
        case kFailedScratchLeft: {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(Dest("tcore32.dll"), "old");
            EXPECT_EQ(FolderNames("C:\\Program Files\\Vantro Pro"), std::vector<std::string>{"TCORE32.DLL"});
            EXPECT_FALSE(stored);
            EXPECT_EQ(g_bRebootNeeded, 0);
            ASSERT_EQ(HostMessageBoxes().size(), 1u);
            const HostMessageBox &box = HostMessageBoxes()[0];
            EXPECT_EQ(box.caption, "Install");
            EXPECT_EQ(box.type, (unsigned)(MB_RETRYCANCEL | MB_ICONERROR));
            EXPECT_EQ(box.text.rfind("Copy of tcore32.dll to C:\\Program Files\\Vantro Pro failed. (", 0), 0u)
                << box.text;
            break;
        }
        case kDeferred:
        case kDeferredScratchLeft: {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(Dest("tcore32.dll"), "old");
            EXPECT_EQ(Dest("tcore32.new"), NewBytes(kDll));
            EXPECT_EQ(FolderNames("C:\\Program Files\\Vantro Pro"),
                      (std::vector<std::string>{"TCORE32.DLL", "TCORE32.NEW"}));
            ASSERT_TRUE(stored);
            EXPECT_EQ(type, (DWORD)REG_SZ);
            // The platform's interpreter ("cmd.exe" on NT, "command.com" on
            // 95/98) copies, the new file first and the target second, short
            // names where the system gives them.
            std::string upper = command;
            for (char &c : upper) c = (char)toupper((unsigned char)c);
            EXPECT_EQ(upper.rfind(g_bWinNT ? "CMD.EXE /C COPY " : "COMMAND.COM /C COPY ", 0), 0u) << command;
            size_t side = upper.find("TCORE32.NEW"), target = upper.find("TCORE32.DLL");
            EXPECT_NE(side, std::string::npos) << command;
            EXPECT_NE(target, std::string::npos) << command;
            EXPECT_LT(side, target) << command;
            EXPECT_EQ(g_bRebootNeeded, 1);
            EXPECT_TRUE(HostMessageBoxes().empty());
            break;
        }
        case kMovedAside:
            EXPECT_EQ(result, 0);
            EXPECT_EQ(Dest("tcore32.dll"), NewBytes(kDll));
            EXPECT_EQ(Dest("tcore32.bak"), "old");
            EXPECT_EQ(FolderNames("C:\\Program Files\\Vantro Pro"),
                      (std::vector<std::string>{"TCORE32.BAK", "TCORE32.DLL"}));
            EXPECT_FALSE(stored);
            EXPECT_EQ(g_bRebootNeeded, 1);
            EXPECT_TRUE(HostMessageBoxes().empty());
            break;
        }
    }
}

TEST_F(FileCopy, FailedMoveAsideKeepsTheOldFile)
{
    // NT: the old library is moved aside but the new one cannot be expanded.
    PutOld("tcore32.dll");
    Hold("tcore32.dll", true);
    HostFailCall("WriteFile", 2, ERROR_HANDLE_DISK_FULL);  // the expansion into place
    HostAnswerMessageBox(IDCANCEL);
    EXPECT_EQ(Install("tcore32.dll", kDll, 1), 1);
    EXPECT_EQ(Dest("tcore32.dll"), "old");
    EXPECT_FALSE(DestExists("tcore32.bak"));
}
