// Installing files that another process really holds, on Windows: the holder
// (tools/holder.exe, started here beside this program) keeps the old file open
// or mapped as a running image while InstallFile replaces it from the
// executable's own payload. The fallbacks then meet the system's real sharing
// rules, short names and registry, not a model of them.
//
// VANTRO_PAYLOAD_FILES names the folder of the stand-in's original files as
// built (a Z:\ path): what each install must leave is those bytes.
// VANTRO_EXPECT_WINNT (0 or 1), when set, is what start-up must make of the OS
// environment variable this run was given.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/deferred.h"
#include "app/main.h"
#include "app/options.h"
#include "payload/catalogue.h"
#include "payload/extract.h"
#include "payload/filecopy.h"
#include "platform.h"
#include "../win_files.h"

static const char kRunParent[] = "Software\\Microsoft\\Windows\\CurrentVersion";
static const char kScratchName[] = "WFTFCOPY.TMP";

// The catalogue rows used here, as the product's catalogue documents them:
// installed name, resource index, required.
struct FileRow {
    const char *szInstallFile;
    int index;
    int bRequired;
};
static const FileRow kProgram = {"tclassic.exe", 0, 1};
static const FileRow kLibrary = {"tcore32.dll", 1, 1};
static const FileRow kHelp = {"tcore32.hlp", 3, 1};
static const FileRow kOtherHelp = {"navhelp.hlp", 7, 0};

static std::string TempFolder()
{
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    return std::string(temp, n);  // ends with a backslash
}

static bool WriteAll(const std::string &path, const std::string &bytes)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, NULL) && written == bytes.size();
    CloseHandle(f);
    return ok;
}

static bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The names in a folder, sorted, without "." and "..".
static std::vector<std::string> Listing(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

static void RemoveFolder(const std::string &folder)
{
    for (const std::string &name : Listing(folder)) DeleteFileA((folder + "\\" + name).c_str());
    RemoveDirectoryA(folder.c_str());
}

static std::string ShortPath(const std::string &path)
{
    char out[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), out, sizeof out);
    return n > 0 && n < sizeof out ? std::string(out) : "(no short name for " + path + ")";
}

// The deferred commands stored under one run-once subkey of HKLM: value name to
// data, with the data length checked to count the terminator.
static std::vector<std::pair<std::string, std::string>> DeferredValues(const char *subkey)
{
    std::vector<std::pair<std::string, std::string>> values;
    HKEY key;
    std::string path = std::string(kRunParent) + "\\" + subkey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; i++) {
        char name[256];
        BYTE data[1024];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, NULL, &type, data, &dataSize) != ERROR_SUCCESS) break;
        if (strncmp(name, "Brenmoor", 8) != 0) continue;
        std::string text = type == REG_SZ ? std::string((const char *)data, dataSize) : "(not REG_SZ)";
        values.emplace_back(name, text);
    }
    RegCloseKey(key);
    return values;
}

// Deletes every "Brenmoor..." value under one run-once subkey of HKLM.
static void ClearDeferred(const char *subkey)
{
    HKEY key;
    std::string path = std::string(kRunParent) + "\\" + subkey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (const auto &value : DeferredValues(subkey)) RegDeleteValueA(key, value.first.c_str());
    RegCloseKey(key);
}

// Another process holding a file: holder.exe beside this program, started
// with "open" or "image", held until Release() (or the end of the object).
class HeldFile {
public:
    HeldFile() = default;
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;
    ~HeldFile() { Release(); }

    // Starts the holder and waits for its first line. Returns the line
    // ("holding" when the file is held).
    std::string Hold(const char *mode, const std::string &path)
    {
        char exe[MAX_PATH];
        GetModuleFileNameA(NULL, exe, sizeof exe);
        std::string holder = exe;
        holder = holder.substr(0, holder.find_last_of('\\') + 1) + "holder.exe";
        release_ = TempFolder() + "holder-release-" + std::to_string(GetTickCount()) + ".flag";
        DeleteFileA(release_.c_str());
        std::string command = "\"" + holder + "\" " + mode + " \"" + path + "\" \"" + release_ + "\"";

        SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
        HANDLE readEnd, writeEnd;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "(no pipe)";
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        PROCESS_INFORMATION info;
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        BOOL started = CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &info);
        CloseHandle(writeEnd);
        if (!started) {
            CloseHandle(readEnd);
            return "(holder.exe did not start: error " + std::to_string(GetLastError()) + ")";
        }
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        // The first line, read only once it is there, for at most two minutes;
        // the pipe ends early when the holder ends.
        std::string first;
        DWORD limit = GetTickCount() + 120000;
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(readEnd, NULL, 0, NULL, &available, NULL)) break;  // the holder ended
            if (available == 0) {
                if ((LONG)(GetTickCount() - limit) >= 0) {
                    first = "(no line from holder.exe in time: " + first + ")";
                    break;
                }
                Sleep(20);
                continue;
            }
            char c;
            DWORD got;
            if (!ReadFile(readEnd, &c, 1, &got, NULL) || got != 1 || c == '\n') break;
            if (c != '\r') first += c;
        }
        CloseHandle(readEnd);
        return first;
    }

    // Lets the holder go and waits for it to end; returns its exit code (0
    // when it held until released), or -1 when none was started.
    int Release()
    {
        if (!process_) return -1;
        WriteAll(release_, "release");
        DWORD code = (DWORD)-2;
        if (WaitForSingleObject(process_, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(process_, &code);
        CloseHandle(process_);
        process_ = NULL;
        DeleteFileA(release_.c_str());
        return (int)code;
    }

private:
    HANDLE process_ = NULL;
    std::string release_;
};

// Answers the message boxes this process shows, from a thread of its own, so
// that no box can hold a run: records each box's caption and text, runs the
// case's action, then presses the chosen button (Cancel unless told).
class BoxAnswerer {
public:
    struct Box {
        std::string caption, text;
        bool retryAndCancel;
    };
    std::function<int(const Box &)> onBox;  // returns the button to press
    std::vector<Box> boxes;

    BoxAnswerer() { thread_ = CreateThread(NULL, 0, Run, this, 0, NULL); }
    ~BoxAnswerer()
    {
        stop_ = 1;
        WaitForSingleObject(thread_, 60000);  // it looks at stop_ every 50 ms
        CloseHandle(thread_);
    }

private:
    HANDLE thread_;
    volatile LONG stop_ = 0;

    static BOOL CALLBACK FindBox(HWND wnd, LPARAM found)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        char cls[64];
        if (pid == GetCurrentProcessId() && IsWindowVisible(wnd) && GetClassNameA(wnd, cls, sizeof cls) &&
            strcmp(cls, "#32770") == 0) {
            *(HWND *)found = wnd;
            return FALSE;
        }
        return TRUE;
    }

    static DWORD WINAPI Run(LPVOID self) { return ((BoxAnswerer *)self)->Loop(); }

    DWORD Loop()
    {
        while (!stop_) {
            HWND box = NULL;
            EnumWindows(FindBox, (LPARAM)&box);
            if (!box) {
                Sleep(50);
                continue;
            }
            Box seen;
            char text[1024];
            GetWindowTextA(box, text, sizeof text);
            seen.caption = text;
            text[0] = 0;
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            seen.text = text;
            seen.retryAndCancel = GetDlgItem(box, IDRETRY) && GetDlgItem(box, IDCANCEL);
            boxes.push_back(seen);
            int button = onBox ? onBox(seen) : IDCANCEL;
            PostMessageA(box, WM_COMMAND, button, 0);
            while (!stop_ && IsWindow(box)) Sleep(50);
        }
        return 0;
    }
};

class FileCopyOnWindows : public ::testing::Test {
protected:
    std::string temp, dest;

    void SetUp() override
    {
        temp = TempFolder();
        SetCurrentDirectoryA(temp.c_str());  // setup.log goes to the working folder
        DeleteFileA((temp + "setup.log").c_str());
        g_hInstance = GetModuleHandleA(NULL);
        lstrcpyA(g_szTempName, kScratchName);
        g_bWinNT = 1;
        g_bSilent = 0;
        g_bAllowReboot = 0;
        g_bLogging = 0;
        g_bRebootNeeded = 0;
        // A long folder name with a blank, so that the short forms differ from the long.
        static int serial;
        dest = temp + "Vantro Pro Files " + std::to_string(++serial);
        RemoveFolder(dest);
        ASSERT_TRUE(CreateDirectoryA(dest.c_str(), NULL));
        ClearDeferred("RunOnce");
        ClearDeferred("RunServicesOnce");
    }

    void TearDown() override
    {
        ClearDeferred("RunOnce");
        ClearDeferred("RunServicesOnce");
        RemoveFolder(dest);
        DeleteFileA((temp + "setup.log").c_str());
    }

    // The bytes the file `name` must have once installed: the stand-in's
    // original as built, not anything the product itself expanded.
    std::string NewBytes(const char *name)
    {
        const char *originals = getenv("VANTRO_PAYLOAD_FILES");
        EXPECT_NE(originals, nullptr) << "set VANTRO_PAYLOAD_FILES to the folder of the original files";
        if (!originals) return "(VANTRO_PAYLOAD_FILES is not set)";
        return ReadAll(std::string(originals) + "\\" + name);
    }

    int Install(const FileRow &row)
    {
        return InstallFile(temp.c_str(), row.szInstallFile, dest.c_str(), NULL, NULL, row.index, row.bRequired);
    }

    std::string At(const char *name) { return dest + "\\" + name; }

    bool ScratchLeft() { return Exists(temp + kScratchName) || Exists(temp + "WFTFCOPY.TM_"); }
};

// The old file stays a loadable program or library (so that the holder can
// map it) but differs from the new one by what follows its image.
static std::string OldVersionOf(const std::string &bytes) { return bytes + "old version trailer"; }

struct InUseRow {
    const char *name;
    const FileRow *row;
    int winNT;
    const char *hold;           // "image" or "open"
    bool staleBak;              // a ".bak" of an earlier run is there
    const char *side;           // the side name expected: ".bak" (old moved) or ".new" (deferred)
    const char *runKey;         // where the deferred copy must be stored, or null
    const char *interpreter;    // the deferred copy's command interpreter
};

TEST_F(FileCopyOnWindows, HeldProgramsAndLibrariesAreInstalledByAFallback)
{
    const InUseRow rows[] = {
        {"NT, library loaded: old one moved aside", &kLibrary, 1, "image", false, ".bak", nullptr, nullptr},
        {"NT, library loaded, stale .bak replaced", &kLibrary, 1, "image", true, ".bak", nullptr, nullptr},
        {"NT, program mapped as a running image: moved aside", &kProgram, 1, "image", false, ".bak", nullptr,
         nullptr},
        {"NT, library open without delete sharing: deferred copy through cmd.exe", &kLibrary, 1, "open", false,
         ".new", "RunOnce", "cmd.exe"},
        {"95, library loaded: deferred copy through command.com", &kLibrary, 0, "image", false, ".new",
         "RunServicesOnce", "command.com"},
        {"95, library open: deferred copy through command.com", &kLibrary, 0, "open", false, ".new",
         "RunServicesOnce", "command.com"},
    };
    for (const InUseRow &row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        g_bWinNT = row.winNT;
        const char *name = row.row->szInstallFile;
        std::string fresh = NewBytes(name);
        ASSERT_GT(fresh.size(), 1000u);
        std::string old = OldVersionOf(fresh);
        std::string base = std::string(name).substr(0, std::string(name).rfind('.'));
        std::string bakName = base + ".bak", sideName = base + row.side;
        ASSERT_TRUE(WriteAll(At(name), old));
        if (row.staleBak) ASSERT_TRUE(WriteAll(At(bakName.c_str()), "stale"));

        HeldFile holder;
        ASSERT_EQ(holder.Hold(row.hold, At(name)), "holding");
        BoxAnswerer answerer;
        EXPECT_EQ(Install(*row.row), 0);
        EXPECT_TRUE(answerer.boxes.empty()) << answerer.boxes.front().text;

        EXPECT_EQ(g_bRebootNeeded, 1);
        EXPECT_FALSE(ScratchLeft());
        // Nothing stray: no packed-name file, no side file of the other kind.
        std::vector<std::string> expected = {name, sideName};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Listing(dest), expected);
        const char *otherKey = row.winNT ? "RunServicesOnce" : "RunOnce";
        EXPECT_TRUE(DeferredValues(otherKey).empty());
        if (!row.runKey) {
            EXPECT_TRUE(ReadAll(At(bakName.c_str())) == old) << "the old file is not the .bak";
            EXPECT_TRUE(ReadAll(At(name)) == fresh) << "the new file is not in place";
            EXPECT_TRUE(DeferredValues("RunOnce").empty());
        } else {
            EXPECT_TRUE(ReadAll(At(name)) == old) << "the held file changed";
            EXPECT_TRUE(ReadAll(At(sideName.c_str())) == fresh) << "the .new file is not the new one";
            std::string shortNew = ShortPath(At(sideName.c_str())), shortTarget = ShortPath(At(name));
            EXPECT_EQ(shortNew.find(' '), std::string::npos) << shortNew;
            EXPECT_EQ(shortTarget.find(' '), std::string::npos) << shortTarget;
            // command.com asks before replacing a file unless given /Y (as does
            // cmd.exe from Windows 2000 on; this run's NT is 4).
            std::string copy = std::string(row.interpreter) + (row.winNT ? " /c copy " : " /c copy /Y ");
            std::vector<std::pair<std::string, std::string>> stored = {
                {"Brenmoor0", copy + shortNew + " " + shortTarget + std::string(1, '\0')}};
            EXPECT_EQ(DeferredValues(row.runKey), stored);
        }
        EXPECT_EQ(holder.Release(), 0);
    }
}

// Commands of earlier runs stay: a second deferred copy in the same run takes
// the next free name.
TEST_F(FileCopyOnWindows, SecondDeferredCopyKeepsTheFirst)
{
    ASSERT_EQ(AddDeferredCommand("command.com /c copy A B"), 1);
    std::string fresh = NewBytes(kLibrary.szInstallFile);
    ASSERT_TRUE(WriteAll(At(kLibrary.szInstallFile), OldVersionOf(fresh)));
    HeldFile holder;
    ASSERT_EQ(holder.Hold("open", At(kLibrary.szInstallFile)), "holding");
    EXPECT_EQ(Install(kLibrary), 0);
    std::vector<std::pair<std::string, std::string>> stored = DeferredValues("RunOnce");
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].first + "=" + stored[0].second, "Brenmoor0=command.com /c copy A B" + std::string(1, '\0'));
    EXPECT_EQ(stored[1].first, "Brenmoor1");
    EXPECT_EQ(stored[1].second.rfind("cmd.exe /c copy ", 0), 0u) << stored[1].second;
    EXPECT_EQ(holder.Release(), 0);
}

// What deleting a file another process holds answers: a loaded library and a
// program mapped as a running image refuse with ERROR_ACCESS_DENIED (the
// system's "cannot delete"), a file open without delete sharing with a sharing
// violation; both can be deleted once let go. The simulated machine answers the
// same (tests/host/files_host_test.cpp).
TEST_F(FileCopyOnWindows, DeletingAHeldFile)
{
    struct Row {
        const char *name;
        const FileRow *row;
        const char *hold;
        DWORD error;
    } rows[] = {
        {"library loaded", &kLibrary, "image", ERROR_ACCESS_DENIED},
        {"program mapped as a running image", &kProgram, "image", ERROR_ACCESS_DENIED},
        {"library open without delete sharing", &kLibrary, "open", ERROR_SHARING_VIOLATION},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = At(row.row->szInstallFile);
        ASSERT_TRUE(WriteAll(path, NewBytes(row.row->szInstallFile)));
        HeldFile holder;
        ASSERT_EQ(holder.Hold(row.hold, path), "holding");
        SetLastError(0);
        EXPECT_FALSE(DeleteFileA(path.c_str()));
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_EQ(holder.Release(), 0);
        EXPECT_TRUE(DeleteFileA(path.c_str())) << GetLastError();
    }
}

struct HelpRow {
    const char *name;
    const FileRow *row;
    int silent, logging;
    bool retryAfterRelease;  // the box's Retry is pressed once the holder let go
    int expectResult;
    int expectBoxes;
    const char *expectLog;   // lines after the "Copying" line, or null for no log
};

TEST_F(FileCopyOnWindows, HeldHelpFileHasNoFallback)
{
    const HelpRow rows[] = {
        {"not required: fails without a message", &kOtherHelp, 0, 0, false, 1, 0, nullptr},
        {"required, interactive: Retry and Cancel, Cancel", &kHelp, 0, 0, false, 1, 1, nullptr},
        {"required, interactive: Retry once released", &kHelp, 0, 0, true, 0, 1, nullptr},
        {"required, unattended: logged, no box", &kHelp, 1, 1, false, 1, 0,
         "Copy of tcore32.hlp to %s failed. (32)\r\n"},
    };
    for (const HelpRow &row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        g_bSilent = row.silent;
        g_bLogging = row.logging;
        const char *name = row.row->szInstallFile;
        std::string fresh = NewBytes(name);
        ASSERT_NE(fresh, "(missing)");
        ASSERT_TRUE(WriteAll(At(name), "old help"));

        HeldFile holder;
        ASSERT_EQ(holder.Hold("open", At(name)), "holding");
        BoxAnswerer answerer;
        int released = -1;
        answerer.onBox = [&](const BoxAnswerer::Box &) {
            if (!row.retryAfterRelease) return IDCANCEL;
            released = holder.Release();
            return IDRETRY;
        };
        EXPECT_EQ(Install(*row.row), row.expectResult);
        ASSERT_EQ((int)answerer.boxes.size(), row.expectBoxes);
        if (row.expectBoxes) {
            // The system's own reason: the file is in use by another process.
            EXPECT_EQ(answerer.boxes[0].text, std::string("Copy of ") + name + " to " + dest + " failed. (32)");
            EXPECT_EQ(answerer.boxes[0].caption, "Install");
            EXPECT_TRUE(answerer.boxes[0].retryAndCancel);
        }
        if (row.retryAfterRelease) {
            EXPECT_EQ(released, 0);
            EXPECT_TRUE(ReadAll(At(name)) == fresh) << "the retry did not install the file";
        } else {
            EXPECT_EQ(ReadAll(At(name)), "old help");
        }
        EXPECT_EQ(g_bRebootNeeded, 0);
        EXPECT_FALSE(ScratchLeft());
        EXPECT_EQ(Listing(dest), std::vector<std::string>{name});  // no packed-name file, no side name
        EXPECT_TRUE(DeferredValues("RunOnce").empty());
        EXPECT_TRUE(DeferredValues("RunServicesOnce").empty());
        if (row.expectLog) {
            char failed[1024];
            wsprintfA(failed, row.expectLog, dest.c_str());
            EXPECT_EQ(ReadAll(temp + "setup.log"),
                      "Copying " + temp + name + " to " + dest + "\\" + name + "\r\n" + failed);
        } else {
            EXPECT_FALSE(Exists(temp + "setup.log"));
        }
        if (!row.retryAfterRelease) EXPECT_EQ(holder.Release(), 0);
    }
}

// Start-up takes the platform from the OS environment variable: NT exactly
// when it contains "NT". The runner starts this program once as it comes and
// once with OS=Windows_95, saying in VANTRO_EXPECT_WINNT what it gave.
TEST(StartupOnWindows, PlatformFollowsTheOSVariable)
{
    const char *os = getenv("OS");
    int fromVariable = os && strstr(os, "NT") ? 1 : 0;
    const char *expected = getenv("VANTRO_EXPECT_WINNT");
    if (expected) EXPECT_EQ(fromVariable, atoi(expected)) << "OS=" << (os ? os : "(unset)");
    g_bRebootNeeded = 0;
    g_bWinNT = -1;
    int exitCode = -5;
    ASSERT_EQ(InitSetup(GetModuleHandleA(NULL), NULL, &exitCode), 1);
    EXPECT_EQ(g_bWinNT, fromVariable) << "OS=" << (os ? os : "(unset)");
    // The start command stays unhandled: the install itself is not this test's.
    HWND main = g_hMainWnd;
    g_hMainWnd = NULL;
    DestroyWindow(main);
    PumpMessages();
    DeleteFileA((TempFolder() + g_szTempName).c_str());
}
