// Every platform call of a whole run made to fail once, with each error that call
// can return: an unattended install, an interactive install whose user takes
// every proposal, and a removal in a later process. A run under a failing call
// must end, must not claim an installation it did not make or a removal it did
// not finish, must leave the user's files as they were, and must write nothing
// outside the product folder, the temporary folder and WIN.INI.
//
// The sweep first counts each API's calls in a clean run, then fails every call
// site (an API's nth call) in turn. Without VANTRO_SWEEP in the environment it
// takes a fixed sample of the sites; VANTRO_SWEEP=all takes every one.
#include <ctype.h>
#include <ftw.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <map>
#include <set>

#include "controller/dialogs.h"
#include "machine_fixture.h"
#include "payload/catalogue.h"
#include "resource.h"

namespace {

const char kDest[] = "C:\\Program Files\\Vantro Pro";
const char kClassKey[] = "HKCR\\CLSID\\{5B3E91C4-0D27-4A6F-8E15-C2A07D9B3F10}\\InProcServer32";
const char kRunOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The errors each API can give back. An API missing here fails the sweep, so
// that a new platform call is given its errors before it is swept.
const std::map<std::string, std::vector<unsigned long>> kErrors = {
    {"CreateFileA", {2, 3, 5, 32, 112, 206}}, {"DeleteFileA", {2, 5, 32}}, {"MoveFileA", {2, 5, 32, 183}},
    {"rename", {5, 32}}, {"GetFileAttributesA", {2, 3, 5}}, {"SetFileAttributesA", {2, 5}},
    {"CreateDirectoryA", {3, 5, 112, 183, 206}}, {"RemoveDirectoryA", {5, 32, 145}}, {"ReadFile", {5, 23}},
    {"WriteFile", {5, 39, 112}}, {"FindFirstFileA", {2, 3, 5}}, {"FindNextFileA", {18, 5}},
    {"GetShortPathNameA", {2, 3, 5}}, {"GetTempFileNameA", {5, 80, 112}}, {"LZOpenFileA", {2, 5, 32}},
    {"LZCopy", {23, 112}}, {"GetTempPathA", {8}}, {"GetCurrentDirectoryA", {8}}, {"SetCurrentDirectoryA", {2, 3, 5}},
    {"GetModuleFileNameA", {122}}, {"GetEnvironmentVariableA", {203}}, {"GetVersionExA", {87}},
    {"GetSystemDirectoryA", {8}}, {"GetWindowsDirectoryA", {8}}, {"FormatMessageA", {8, 317}},
    {"RegOpenKeyExA", {2, 5}}, {"RegOpenKeyA", {2, 5}}, {"RegCreateKeyA", {2, 5}}, {"RegCreateKeyExA", {2, 5}},
    {"RegSetValueExA", {2, 5}}, {"RegQueryValueExA", {2, 5, 234}}, {"RegDeleteKeyA", {2, 5}},
    {"RegDeleteValueA", {2, 5}}, {"RegEnumKeyA", {259, 5}}, {"GetProfileStringA", {2, 5}},
    {"GetProfileIntA", {2, 5}}, {"WriteProfileStringA", {5, 32, 112}}, {"GetPrivateProfileStringA", {2, 5}},
    {"GetPrivateProfileIntA", {2, 5}}, {"WritePrivateProfileStringA", {5, 32, 112}},
    {"FindResourceA", {1813, 1814}}, {"LoadResource", {8}}, {"LoadStringA", {1814}}, {"LoadBitmapA", {8, 1814}},
    {"LoadLibraryA", {126, 193, 1114}}, {"GetProcAddress", {127}}, {"FreeLibrary", {5}}, {"WinExec", {2, 11}},
    {"DdeInitializeA", {0x400f}}, {"DdeUninitialize", {0x4004}}, {"DdeConnect", {0x400a}},
    {"DdeCreateStringHandleA", {0x400f}}, {"DdeClientTransaction", {0x4005, 0x4009}}, {"MessageBoxA", {8}},
    {"DialogBoxParamA", {8}}, {"CreateDialogParamA", {8, 1814}}, {"GetOpenFileNameA", {8}},
    {"RegisterClassA", {8, 1410}}, {"CreateWindowExA", {8, 1407}}, {"PostMessageA", {1816}},
    {"CreateSolidBrush", {8}}, {"CreateCompatibleDC", {8}}, {"ExitWindowsEx", {5, 1314}},
    {"OpenProcessToken", {5}}, {"LookupPrivilegeValueA", {1313}}, {"AdjustTokenPrivileges", {1300, 5}},
    {"LoadLibraryExA", {126, 193, 1114}}, {"GetFileInformationByHandle", {5, 6}}, {"GetTokenInformation", {5, 122}},
    {"GetTempPathW", {8}}, {"GetShortPathNameW", {2, 3}}, {"WideCharToMultiByte", {122, 87}},
    {"MoveFileExA", {2, 5}}, {"CopyFileA", {5, 112}}, {"CreateProcessA", {2, 5}}, {"WaitForSingleObject", {6}},
    {"GetExitCodeProcess", {6}}, {"SetDefaultDllDirectories", {87}}, {"SetDllDirectoryA", {87}},
    {"LocalAlloc", {8}},
};

// What the user keeps, inside the product folder and elsewhere.
const char *const kUserFiles[] = {"C:\\Program Files\\Vantro Pro\\my notes.txt", "C:\\Program Files\\other.txt",
                                  "C:\\TEMP\\keep.tmp", "C:\\SETUP\\readme.txt", "C:\\WINDOWS\\SYSTEM32\\user.dll",
                                  "C:\\mine.txt"};

enum Mode { UNATTENDED, INTERACTIVE, REMOVAL };
const char *const kModeNames[] = {"unattended install", "interactive install", "removal"};

// One file or folder of the real tree under the machine's root.
struct Entry {
    bool folder;
    std::string bytes;
    long long mtime;
};
typedef std::map<std::string, Entry> Tree;  // by the path below the root, upper case

Tree g_tree;
std::string g_treeRoot;
int AddEntry(const char *path, const struct stat *st, int type, struct FTW *)
{
    Entry e{type == FTW_D, "", (long long)st->st_mtim.tv_sec * 1000000000LL + st->st_mtim.tv_nsec};
    if (!e.folder) {
        FILE *f = fopen(path, "rb");
        if (f) {
            char buf[65536];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0) e.bytes.append(buf, n);
            fclose(f);
        }
    }
    std::string key = path + g_treeRoot.size();
    for (char &c : key) c = (char)toupper((unsigned char)c);
    g_tree[key] = e;
    return 0;
}
Tree Snapshot()
{
    g_tree.clear();
    g_treeRoot = HostRoot();
    nftw(g_treeRoot.c_str(), AddEntry, 16, FTW_PHYS);
    return g_tree;
}
// Where a run may write: the product folder (the one proposed on NT 4, or the
// one proposed when the Windows version cannot be read), the temporary folder
// (the Windows folder's Temp when the user's cannot be used), WIN.INI.
bool MayChange(const std::string &path)
{
    for (const char *place : {"/C/PROGRAM FILES/VANTRO PRO", "/C/VANTRO", "/C/TEMP", "/C/WINDOWS/TEMP"})
        if (path.compare(0, strlen(place), place) == 0 && (path.size() == strlen(place) || path[strlen(place)] == '/'))
            return true;
    return path == "/C/WINDOWS/WIN.INI" || path.empty();
}

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }

std::string Text(const char *path)
{
    std::string s;
    HostReadFile(path, s);
    return s;
}

std::string Profile(const char *section, const char *key)
{
    char value[512];
    GetProfileStringA(section, key, "(none)", value, sizeof value);
    return value;
}


// The site being swept, printed when the process is stopped.
char g_site[160];
void PrintSite() { fprintf(stderr, "fault sweep: the process died at %s\n", g_site); }
void PrintSiteOnAbort(int)
{
    PrintSite();
    signal(SIGABRT, SIG_DFL);
}
extern "C" void __sanitizer_set_death_callback(void (*)(void)) __attribute__((weak));

}  // namespace

class FaultSweep : public MachineTest {
protected:
    // A fresh machine with the user's files, ready for a run of `mode`; for a
    // removal the product is installed first, by a run of its own.
    void Prepare(Mode mode)
    {
        nftw(root_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
        HostReset(root_.c_str());
        ResetInstallerState();
        HostMakeFolder(kDest);
        HostMakeFolder("C:\\WINDOWS\\SYSTEM32");
        for (const char *f : kUserFiles) HostWriteFile(f, std::string("mine: ") + f);
        HostWriteFile("C:\\WINDOWS\\WIN.INI", "[Desktop]\r\nWallpaper=brenmoor.bmp\r\n");
        if (mode == UNATTENDED) HostWriteFile("C:\\SETUP\\Install.ini", "[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n");
        if (mode == REMOVAL) {
            HostWriteFile("C:\\SETUP\\Install.ini", "[INSTALL]\r\nQUIET=1\r\n");
            RunSetup();
            HostStartProcess();
            ResetInstallerState();
            DeleteFileA("C:\\SETUP\\Install.ini");
            HostDialogScript("DLG_INSTALL", {HostCheck(IDC_ACTION_REMOVE), HostClick(IDOK), HostClick(IDCANCEL)});
        } else if (mode == INTERACTIVE) {
            // OK on what each dialog proposes; a question asked again is cancelled.
            for (const char *dialog : {"DLG_INSTALL", "DLG_GETDIR", "DLG_VERS_32", "DLG_GETGROUP", "#307"})
                HostDialogScript(dialog, {HostClick(IDOK), HostClick(IDCANCEL), HostClick(IDCANCEL)});
        }
        HostClearCallCounts();
    }

    // Runs the program; returns what the run did wrong, "" when nothing.
    std::string Run(Mode mode, const Tree &before, long limit, const std::string &api = "")
    {
        HostSetCallLimit(limit);
        RunSetup();
        HostSetCallLimit(0);
        HostClearFaults();
        std::string wrong;
        auto fault = [&wrong](const std::string &what) { wrong += "\n  " + what; };
        for (const char *f : kUserFiles)
            if (Text(f) != std::string("mine: ") + f) fault(std::string("the user's file changed: ") + f);
        if (Profile("Desktop", "Wallpaper") != "brenmoor.bmp") fault("WIN.INI lost the user's section");
        const Tree after = Snapshot();
        for (const Tree *t : {&before, &after})
            for (const auto &e : *t) {
                if (MayChange(e.first)) continue;
                auto a = before.find(e.first), b = after.find(e.first);
                if (a == before.end() || b == after.end() || a->second.bytes != b->second.bytes ||
                    (!a->second.folder && a->second.mtime != b->second.mtime))
                    fault("written outside its places: " + e.first);
            }
        std::string shown;
        for (const HostMessageBox &box : HostMessageBoxes()) shown += box.text + "\n";
        if (mode == REMOVAL) {
            // The user's file keeps the folder, so the removal can never claim it all went.
            if (shown.find("All files removed.") != std::string::npos) fault("claims every file removed");
            if (shown.find("Uninstall successful!") != std::string::npos && HostRegValueNames(kRunOnce).empty() &&
                HostPendingRenames().empty())
                fault("claims a removal at the next start with nothing deferred");
            return wrong;
        }
        if (Profile("Vantro", "INSTOPTS") == "(none)" && shown.find("Installation successful!") == std::string::npos)
            return wrong;
        // An installation claimed: every required file whole, every file it
        // left under a product name whole, and its registrations made.
        std::string dest = Profile("Vantro", "DEFDIR") == "(none)" ? kDest : Profile("Vantro", "DEFDIR");
        for (const auto &f : cleanFiles_) {
            std::string bytes;
            bool there = HostReadFile((dest + "\\" + f.first).c_str(), bytes);
            if (there ? bytes != f.second : required_.count(f.first) != 0)
                fault((there ? "damaged: " : "missing: ") + f.first);
        }
        std::string data;
        if (!HostRegGetValue(kClassKey, "", nullptr, &data) || data.find("tclassic.exe") == std::string::npos)
            fault("no class registration");
        if (!HostRegGetValue("HKLM\\SOFTWARE\\Brenmoor\\Vantro\\SSL", "Folder", nullptr, &data)) fault("no SSL key");
        // Program Manager's answers may be lost: only a DDE library that cannot
        // be opened fails the icon phase.
        if (!HostProgmanFindGroup("Vantro Pro") && api != "DdeConnect" && api != "DdeClientTransaction" &&
            api != "DdeCreateStringHandleA")
            fault("no Program Manager group");
        if (Profile("Vantro", "DIR") != dest) fault("no DIR record");
        return wrong;
    }

    std::map<std::string, std::string> cleanFiles_;  // the catalogue files of a clean run, by name
    std::set<std::string> required_;                  // those of required rows
};

TEST_F(FaultSweep, NoFailingCallIsReportedAsSuccessOrReachesTheUsersFiles)
{
    if (&__sanitizer_set_death_callback) __sanitizer_set_death_callback(PrintSite);
    signal(SIGABRT, PrintSiteOnAbort);
    const char *all = getenv("VANTRO_SWEEP");
    const char *only = getenv("VANTRO_SWEEP_API");  // one API alone, to look at its sites again
    const int stride = all ? 1 : 23;  // the short sweep: every 23rd site of each API, its first and last always
    int sites = 0, tried = 0;
    for (Mode mode : {UNATTENDED, INTERACTIVE, REMOVAL}) {
        // The clean run: what each API is called, and what a whole install leaves.
        Prepare(mode);
        Tree before = Snapshot();
        if (mode != REMOVAL) {
            cleanFiles_.clear();
            required_.clear();
        }
        ASSERT_EQ(Run(mode, before, 0), "") << kModeNames[mode] << ", clean";
        std::map<std::string, int> calls;
        long total = 0;
        for (const std::string &api : HostCalledApis()) {
            EXPECT_TRUE(kErrors.count(api)) << api << " has no errors listed";
            total += calls[api] = HostCallCount(api.c_str());
        }
        ASSERT_GT(total, 100);
        if (getenv("VANTRO_SWEEP_CENSUS"))
            for (const auto &api : calls) printf("  %s %d\n", api.first.c_str(), api.second);
        if (mode == REMOVAL) {
            ASSERT_FALSE(HostFileExists("C:\\Program Files\\Vantro Pro\\tclassic.exe"));
            ASSERT_EQ(Profile("Vantro", "DIR"), "(none)");
        } else {
            ASSERT_NE(Profile("Vantro", "INSTOPTS"), "(none)") << kModeNames[mode];
            for (const auto &t : {std::make_pair(g_classicFiles, CLASSIC_COUNT),
                                  std::make_pair(g_explorerFiles, EXPLORER_COUNT),
                                  std::make_pair(g_utilityFiles, UTILITY_COUNT),
                                  std::make_pair(g_commonFiles, COMMON_COUNT), std::make_pair(g_siteFiles, SITE_COUNT)})
                for (int i = 0; i < t.second; i++)
                    if (t.first[i].dwState & FILE_INSTALLED) {
                        cleanFiles_[t.first[i].szInstallFile] =
                            Text((std::string(kDest) + "\\" + t.first[i].szInstallFile).c_str());
                        if (t.first[i].bRequired) required_.insert(t.first[i].szInstallFile);
                    }
            ASSERT_GT(required_.size(), 10u);
        }
        HostClearProblems();
        int modeSites = 0, modeTried = 0;
        for (const auto &api : calls)
            for (int nth = 1; nth <= api.second && kErrors.count(api.first) && (!only || api.first == only); nth++) {
                if ((nth - 1) % stride != 0 && nth != api.second) continue;
                modeSites++;
                for (unsigned long error : kErrors.at(api.first)) {
                    snprintf(g_site, sizeof g_site, "%s: %s call %d of %d, error %lu", kModeNames[mode],
                             api.first.c_str(), nth, api.second, error);
                    Prepare(mode);
                    Tree start = Snapshot();
                    HostFailCall(api.first.c_str(), nth, error);
                    std::string wrong = Run(mode, start, 20 * total + 1000, api.first);
                    EXPECT_EQ(wrong, "") << g_site;
                    modeTried++;
                    HostClearProblems();  // boxes and dialogs the failure brought up: the user takes their default
                }
            }
        printf("fault sweep, %s: %d call sites, %d failures tried (%ld calls in a clean run)\n", kModeNames[mode],
               modeSites, modeTried, total);
        sites += modeSites;
        tried += modeTried;
    }
    printf("fault sweep: %d call sites, %d failures tried%s\n", sites, tried, all ? "" : " (a sample)");
}
