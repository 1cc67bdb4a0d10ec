// The simulated machine: drives under a root, path resolution ignoring case,
// environment, version, folders, fault injection and the last error.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <map>

#include "internal.h"

static HostMachine g_machine;
static DWORD g_lastError;

// One fault: the nth call of an API (0: every call), counted among the calls
// with that argument when the rule names one.
struct HostFaultRule {
    std::string api;
    bool byArg;
    std::string pathArg, nameArg;  // the argument in both forms (see PathKey)
    int nth;
    unsigned long error;
    int calls;
};
static std::vector<HostFaultRule> g_faults;
// Calls per API ("CreateFileA") and per API and argument ("CreateFileA\n<key>").
static std::map<std::string, int> g_callCounts;
static int g_faultsFired;
static long g_callLimit, g_callsLeft;
static std::vector<std::string> g_problems;

HostMachine &HostState() { return g_machine; }

std::string HostUpper(const std::string &s)
{
    std::string u = s;
    for (char &c : u)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return u;
}

static void MakeRealDir(const std::string &path)
{
    std::string part;
    for (size_t i = 0; i < path.size(); i++) {
        part += path[i];
        if (path[i] == '/' && i > 0) mkdir(part.c_str(), 0777);
    }
    mkdir(path.c_str(), 0777);
}

void HostAddDrive(char letter)
{
    char up = (char)(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter);
    if (g_machine.drives.find(up) == std::string::npos) g_machine.drives += up;
    char lower = (char)(up - 'A' + 'a');
    MakeRealDir(g_machine.root + "/" + lower);
}

bool HostMakeFolder(const char *winPath)
{
    std::string host;
    if (!HostResolvePath(winPath, host)) return false;
    MakeRealDir(host);
    return true;
}

void HostReset(const char *root)
{
    g_machine = HostMachine();
    g_machine.root = root;
    while (g_machine.root.size() > 1 && g_machine.root.back() == '/') g_machine.root.pop_back();
    MakeRealDir(g_machine.root);
    HostAddDrive('C');
    g_machine.cwd = "C:\\";
    g_machine.tempPath = "C:\\TEMP\\";
    g_machine.modulePath = "C:\\SETUP\\VantroSetup.exe";
    g_machine.windowsDir = "C:\\WINDOWS";
    g_machine.systemDir = "C:\\WINDOWS\\SYSTEM32";
    g_machine.env["OS"] = "Windows_NT";
    g_machine.env["TEMP"] = "C:\\TEMP";
    g_machine.major = 4;
    g_machine.minor = 0;
    g_machine.build = 1381;
    g_machine.platform = VER_PLATFORM_WIN32_NT;
    g_machine.desktopWidth = 1024;
    g_machine.desktopHeight = 768;
    g_machine.tempUnique = 0x1A2B;
    HostMakeFolder("C:\\TEMP");
    HostMakeFolder("C:\\SETUP");
    HostMakeFolder("C:\\WINDOWS\\SYSTEM32");
    g_lastError = 0;
    HostClearFaults();
    g_callCounts.clear();
    g_callLimit = 0;
    g_problems.clear();
    HostResetFiles();
    HostResetFileAttributes();
    HostResetResources();
    HostResetWindows();
    HostResetRegistry();
    HostResetProcess();
    HostResetLz();
    HostResetComponents();
    HostResetDde();
    HostResetSystem();
    // The keys every Windows installation has.
    HostRegCreateKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    HostRegCreateKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    HostRegCreateKey("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    HostRegCreateKey("HKCR\\CLSID");
}

void HostStartProcess()
{
    g_lastError = 0;
    HostClearFaults();
    g_machine.cwd = "C:\\";
    HostResetFiles();
    HostResetWindows();
    HostResetProcess();
    HostResetLz();
    HostResetComponents();
    HostResetDdeClient();
    HostResetSystemProcess();
}

const std::string &HostRoot() { return g_machine.root; }

void HostSetTempPath(const char *winPath) { g_machine.tempPath = winPath; }
void HostSetModulePath(const char *winPath) { g_machine.modulePath = winPath; }
void HostSetEnv(const char *name, const char *value)
{
    if (value)
        g_machine.env[HostUpper(name)] = value;
    else
        g_machine.env.erase(HostUpper(name));
}
void HostSetVersion(int major, int minor, int build, int platform)
{
    g_machine.major = major;
    g_machine.minor = minor;
    g_machine.build = build;
    g_machine.platform = platform;
}
void HostSetDesktop(int width, int height)
{
    g_machine.desktopWidth = width;
    g_machine.desktopHeight = height;
}
void HostSetWindowsFolders(const char *windowsDir, const char *systemDir)
{
    g_machine.windowsDir = windowsDir;
    g_machine.systemDir = systemDir;
}

// ---- paths ----------------------------------------------------------------------

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HostAbsolutePath(const char *winPath, std::string &absolute)
{
    if (!winPath || !*winPath) return false;
    std::string path = winPath;
    for (char c : path)
        if (c == '<' || c == '>' || c == '"' || c == '|' || c == '*' || c == '?' || (unsigned char)c < 32)
            return false;
    std::string base;
    std::string rest;
    if (path.size() >= 2 && path[1] == ':') {
        char drive = HostUpper(path.substr(0, 1))[0];
        if (drive < 'A' || drive > 'Z') return false;
        if (path.size() >= 3 && IsSeparator(path[2])) {
            base = std::string(1, drive) + ":";
            rest = path.substr(3);
        } else {
            // Drive-relative: against the current directory when it is on that drive.
            if (HostUpper(g_machine.cwd.substr(0, 1))[0] == drive)
                base = g_machine.cwd;
            else
                base = std::string(1, drive) + ":";
            rest = path.substr(2);
        }
    } else if (IsSeparator(path[0])) {
        if (path.size() >= 2 && IsSeparator(path[1])) return false;  // no network paths
        base = g_machine.cwd.substr(0, 2);
        rest = path.substr(1);
    } else {
        base = g_machine.cwd;
        rest = path;
    }
    // Components of the base (after "X:") then of the rest.
    std::vector<std::string> parts;
    auto split = [&parts](const std::string &s) {
        std::string cur;
        for (size_t i = 0; i <= s.size(); i++) {
            if (i == s.size() || IsSeparator(s[i])) {
                if (cur.empty() || cur == ".") {
                } else if (cur == "..") {
                    if (!parts.empty()) parts.pop_back();
                } else {
                    // Windows drops trailing dots and spaces of a component.
                    while (!cur.empty() && (cur.back() == '.' || cur.back() == ' ')) cur.pop_back();
                    if (!cur.empty()) parts.push_back(cur);
                }
                cur.clear();
            } else {
                cur += s[i];
            }
        }
    };
    split(base.substr(2));
    split(rest);
    char drive = HostUpper(base.substr(0, 1))[0];
    if (g_machine.drives.find(drive) == std::string::npos) return false;
    absolute = std::string(1, drive) + ":";
    if (parts.empty()) absolute += "\\";
    for (auto &p : parts) absolute += "\\" + p;
    return true;
}

bool HostResolvePath(const char *winPath, std::string &hostPath)
{
    std::string absolute;
    if (!HostAbsolutePath(winPath, absolute)) return false;
    char lower = (char)(absolute[0] - 'A' + 'a');
    std::string real = g_machine.root + "/" + lower;
    size_t i = 3;
    while (i <= absolute.size()) {
        size_t end = absolute.find('\\', i);
        if (end == std::string::npos) end = absolute.size();
        std::string comp = absolute.substr(i, end - i);
        if (!comp.empty()) {
            std::string match = comp;
            bool found = false;
            if (DIR *d = opendir(real.c_str())) {
                std::string want = HostUpper(comp);
                while (struct dirent *e = readdir(d)) {
                    if (HostUpper(e->d_name) == want) {
                        match = e->d_name;
                        found = true;
                        break;
                    }
                }
                closedir(d);
            }
            // No such long name: perhaps the short alias of one.
            std::string longName;
            if (!found && HostAliasLookup(real, comp, longName)) match = longName;
            real += "/" + match;
        }
        i = end + 1;
    }
    hostPath = real;
    return true;
}

// ---- problems of the run ----------------------------------------------------------

void HostReportProblem(const std::string &what)
{
    fprintf(stderr, "host: %s\n", what.c_str());
    g_problems.push_back(what);
    // A program that keeps meeting questions nobody answers is looping on them;
    // stop it rather than let the test hang.
    if (g_problems.size() >= 1000) {
        fprintf(stderr, "host: %zu problems in one run; stopping\n", g_problems.size());
        abort();
    }
}

const std::vector<std::string> &HostProblems() { return g_problems; }
void HostClearProblems() { g_problems.clear(); }

// ---- fault injection and the last error -----------------------------------------

// The forms in which arguments are compared, ignoring case: a path as an
// absolute, normalised Windows path (relative ones against the current
// directory at the time), a registry name as it is.
static std::string PathKey(const char *arg)
{
    std::string absolute;
    if (arg && HostAbsolutePath(arg, absolute)) return "PATH:" + HostUpper(absolute);
    return "NAME:" + HostUpper(arg ? arg : "");
}
static std::string NameKey(const char *arg) { return "NAME:" + HostUpper(arg ? arg : ""); }

static void AddRule(const char *api, bool byArg, const char *arg, int nth, unsigned long error)
{
    HostFaultRule rule{api, byArg, byArg ? PathKey(arg) : "", byArg ? NameKey(arg) : "", nth, error, 0};
    for (auto &r : g_faults)
        if (r.api == rule.api && r.byArg == rule.byArg && r.nameArg == rule.nameArg) {
            r = rule;
            return;
        }
    g_faults.push_back(rule);
}

void HostFailCall(const char *api, int nth, unsigned long error) { AddRule(api, false, nullptr, nth, error); }

void HostFailCallOn(const char *api, const char *arg, int nth, unsigned long error)
{
    AddRule(api, true, arg, nth, error);
}

void HostClearFaults()
{
    g_faults.clear();
    g_faultsFired = 0;
}

int HostCallCount(const char *api, const char *arg)
{
    if (!arg) {
        auto it = g_callCounts.find(api);
        return it == g_callCounts.end() ? 0 : it->second;
    }
    int n = 0;
    std::string keys[2] = {PathKey(arg), NameKey(arg)};
    for (int i = 0; i < (keys[0] == keys[1] ? 1 : 2); i++) {
        auto it = g_callCounts.find(std::string(api) + "\n" + keys[i]);
        if (it != g_callCounts.end()) n += it->second;
    }
    return n;
}

void HostClearCallCounts() { g_callCounts.clear(); }

std::vector<std::string> HostCalledApis()
{
    std::vector<std::string> names;
    for (const auto &count : g_callCounts)
        if (count.first.find('\n') == std::string::npos) names.push_back(count.first);
    return names;
}

int HostFaultsFired() { return g_faultsFired; }

void HostSetCallLimit(long calls) { g_callLimit = g_callsLeft = calls; }

static bool FaultWithKeys(const char *api, const std::string *keys, int nkeys)
{
    if (g_callLimit && --g_callsLeft < 0) {
        fprintf(stderr, "host: more than %ld calls in one run, the last %s; the fault rules in force:\n", g_callLimit,
                api);
        for (const auto &rule : g_faults)
            fprintf(stderr, "host:   %s %s call %d error %lu\n", rule.api.c_str(), rule.nameArg.c_str(), rule.nth,
                    rule.error);
        abort();
    }
    g_callCounts[api]++;
    for (int i = 0; i < nkeys; i++) g_callCounts[std::string(api) + "\n" + keys[i]]++;
    bool fail = false;
    unsigned long error = 0;
    for (auto &rule : g_faults) {
        if (rule.api != api) continue;
        if (rule.byArg) {
            bool match = false;
            for (int i = 0; i < nkeys; i++) match = match || keys[i] == rule.pathArg || keys[i] == rule.nameArg;
            if (!match) continue;
        }
        rule.calls++;
        if (!fail && (rule.nth == 0 || rule.calls == rule.nth)) {
            fail = true;
            error = rule.error;
        }
    }
    if (fail) {
        g_faultsFired++;
        g_lastError = (DWORD)error;
    }
    return fail;
}

static bool FaultOn(const char *api, const char *arg1, const char *arg2, std::string (*key)(const char *))
{
    std::string keys[2];
    int nkeys = 0;
    for (const char *a : {arg1, arg2})
        if (a) {
            std::string k = key(a);
            if (nkeys == 1 && keys[0] == k) continue;
            keys[nkeys++] = k;
        }
    return FaultWithKeys(api, keys, nkeys);
}

bool HostFaultOn(const char *api, const char *arg1, const char *arg2) { return FaultOn(api, arg1, arg2, NameKey); }
bool HostFaultOnPath(const char *api, const char *path1, const char *path2)
{
    return FaultOn(api, path1, path2, PathKey);
}

bool HostFault(const char *api) { return FaultWithKeys(api, nullptr, 0); }

DWORD GetLastError(void) { return g_lastError; }
void SetLastError(DWORD code) { g_lastError = code; }

// ---- module, environment, version, folders ----------------------------------------

// Copies `text` as the ANSI "return the length, or the size needed" APIs do.
static DWORD CopyOut(const std::string &text, LPSTR buffer, DWORD size)
{
    if (size <= text.size()) return (DWORD)text.size() + 1;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return (DWORD)text.size();
}

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size)
{
    if (HostFault("GetModuleFileNameA")) return 0;
    const std::string &path = g_machine.modulePath;
    if (size == 0) return 0;
    // Truncates and terminates; reports the size when it had to cut (XP and later).
    if (path.size() >= size) {
        memcpy(buffer, path.c_str(), size - 1);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buffer, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    if (!name) return (HMODULE)&g_machine;
    HMODULE system = HostSystemModuleHandle(name);
    if (!system) SetLastError(ERROR_MOD_NOT_FOUND);
    return system;
}

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size)
{
    if (HostFault("GetEnvironmentVariableA")) return 0;
    auto it = g_machine.env.find(HostUpper(name));
    if (it == g_machine.env.end()) {
        SetLastError(203);  // ERROR_ENVVAR_NOT_FOUND
        return 0;
    }
    return CopyOut(it->second, buffer, size);
}

DWORD GetVersion(void)
{
    DWORD v = (DWORD)(g_machine.major & 0xFF) | ((DWORD)(g_machine.minor & 0xFF) << 8);
    if (g_machine.platform == VER_PLATFORM_WIN32_NT)
        v |= (DWORD)(g_machine.build & 0x7FFF) << 16;
    else
        v |= 0x80000000u;  // Windows 95/98 and Win32s set the high bit
    return v;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    if (HostFault("GetVersionExA")) return FALSE;
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = (DWORD)g_machine.major;
    info->dwMinorVersion = (DWORD)g_machine.minor;
    info->dwBuildNumber = (DWORD)g_machine.build;
    info->dwPlatformId = (DWORD)g_machine.platform;
    info->szCSDVersion[0] = 0;
    return TRUE;
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    if (HostFault("GetSystemDirectoryA")) return 0;
    return CopyOut(g_machine.systemDir, buffer, size);
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    if (HostFault("GetWindowsDirectoryA")) return 0;
    return CopyOut(g_machine.windowsDir, buffer, size);
}

DWORD GetTempPathA(DWORD size, LPSTR buffer)
{
    if (HostFault("GetTempPathA")) return 0;
    // A path the code page cannot show comes back with "?" in it.
    if (!HostTempPathWide().empty()) return CopyOut(HostAnsiOf(HostTempPathWide()), buffer, size);
    return CopyOut(g_machine.tempPath, buffer, size);
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    if (HostFault("GetCurrentDirectoryA")) return 0;
    return CopyOut(g_machine.cwd, buffer, size);
}

BOOL SetCurrentDirectoryA(LPCSTR path)
{
    if (HostFault("SetCurrentDirectoryA")) return FALSE;
    std::string absolute, real;
    if (!HostAbsolutePath(path, absolute) || !HostResolvePath(absolute.c_str(), real)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat st;
    if (stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(stat(real.c_str(), &st) != 0 ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_NAME);
        return FALSE;
    }
    g_machine.cwd = absolute;
    return TRUE;
}
