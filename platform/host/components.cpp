// The product's libraries and programs on the simulated machine: what the
// stand-in components do when the installer loads and calls them, or starts
// them, over the simulated registry and disk. Their own registry work goes
// straight to the tree, not through the API the installer's calls are counted
// and failed on.
#include <string.h>

#include <memory>

#include "internal.h"

namespace {

enum Kind { LIB_CLASS_SERVER, LIB_SSL, LIB_PLAIN };

struct LibraryModel {
    const char *file;
    Kind kind;
    const char *classId;  // class servers
    const char *title;    // class servers: the class key's default value
};

const LibraryModel kLibraries[] = {
    {"tstub.dll", LIB_CLASS_SERVER, "{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A301}", "Vantro Pro Stub Server"},
    {"shellext.dll", LIB_CLASS_SERVER, "{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A302}", "Vantro Pro Explorer Extension"},
    {"vnbho2k0.dll", LIB_CLASS_SERVER, "{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A303}", "Vantro Pro Browser Integration"},
    {"secsvc.dll", LIB_SSL, nullptr, nullptr},
    {"tcore32.dll", LIB_PLAIN, nullptr, nullptr},
    {"navhook.dll", LIB_PLAIN, nullptr, nullptr},
    {"tsynclib.dll", LIB_PLAIN, nullptr, nullptr},
};

const HRESULT kSelfRegClass = (HRESULT)0x80040201u;  // SELFREG_E_CLASS
const char kSchedulerKey[] = "HKCU\\Software\\Brenmoor\\Vantro\\Scheduler";
const char kRunKey[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "Vantro Queue Scheduler";

}  // namespace

struct HostModule {
    std::string path;  // absolute Windows path, as it was loaded
    const LibraryModel *model;
    int refs;
};

static std::vector<std::unique_ptr<HostModule>> g_modules;
static std::vector<HostComponentCall> g_calls;
// The module whose export is running: the exports are plain functions shared by
// every library of a kind, so the call names its module here first.
static HostModule *g_running;

void HostResetComponents()
{
    g_modules.clear();
    g_calls.clear();
    g_running = nullptr;
}

const std::vector<HostComponentCall> &HostComponentCalls() { return g_calls; }

static std::string FileNameOf(const std::string &path)
{
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> HostComponentCallsOf(const char *what)
{
    std::vector<std::string> out;
    for (auto &c : g_calls)
        if (c.what == what) out.push_back(c.args.empty() ? FileNameOf(c.module) : FileNameOf(c.module) + " " + c.args);
    return out;
}

int HostLoadedLibraries()
{
    int n = 0;
    for (auto &m : g_modules) n += m->refs > 0;
    return n;
}

static void Record(const std::string &module, const char *what, const std::string &args, long result,
                   DWORD flags = 0)
{
    g_calls.push_back(HostComponentCall{module, what, args, HostState().cwd, result, flags});
}

// ---- failure markers -------------------------------------------------------------

static std::string Trim(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// Whether the marker "<base>.fail" beside `module` tells `entry` to fail.
// "load" is named only by a line of its own, never by "*" or an empty marker.
static bool MarkerSays(const std::string &module, const char *entry)
{
    std::string marker = module;
    size_t dot = marker.rfind('.');
    size_t slash = marker.rfind('\\');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) marker.resize(dot);
    marker += ".fail";
    std::string text;
    if (!HostReadFile(marker.c_str(), text)) return false;
    bool isLoad = strcmp(entry, "load") == 0;
    bool any = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        any = true;
        if (line == "*" && !isLoad) return true;
        if (HostUpper(line) == HostUpper(entry)) return true;
    }
    return !any && !isLoad;
}

// ---- the exports -------------------------------------------------------------------

static std::string ClassKey(const LibraryModel *m) { return std::string("HKCR\\CLSID\\") + m->classId; }

static HRESULT ClassRegister(const char *entry)
{
    HostModule *m = g_running;
    HRESULT hr = S_OK;
    if (MarkerSays(m->path, entry)) {
        hr = kSelfRegClass;
    } else {
        std::string key = ClassKey(m->model);
        HostRegSetString(key.c_str(), "", m->model->title);
        HostRegSetString((key + "\\InprocServer32").c_str(), "", m->path.c_str());
        HostRegSetString((key + "\\InprocServer32").c_str(), "ThreadingModel", "Apartment");
    }
    Record(m->path, entry, "", hr);
    return hr;
}

static HRESULT ClassUnregister(const char *entry)
{
    HostModule *m = g_running;
    HRESULT hr = S_OK;
    if (MarkerSays(m->path, entry)) {
        hr = kSelfRegClass;
    } else {
        HostRegDeleteTree(ClassKey(m->model).c_str());
        if (FileNameOf(HostUpper(m->path)) == "VNBHO2K0.DLL") {
            HostRegDeleteTree("HKLM\\SOFTWARE\\Brenmoor\\Vantro\\Browser\\Netscape");
            HostRegDeleteTree("HKLM\\SOFTWARE\\Brenmoor\\Vantro\\Browser\\Explorer");
        }
    }
    Record(m->path, entry, "", hr);
    return hr;
}

static HRESULT BrowserKey(const char *entry, const char *key, bool withClass)
{
    HostModule *m = g_running;
    HRESULT hr = S_OK;
    if (MarkerSays(m->path, entry)) {
        hr = kSelfRegClass;
    } else {
        HostRegSetString(key, "Plugin", m->path.c_str());
        if (withClass) HostRegSetString(key, "CLSID", m->model->classId);
    }
    Record(m->path, entry, "", hr);
    return hr;
}

// The loaded module of a library: the one most recently loaded and not freed.
static HostModule *LoadedModel(int index)
{
    for (size_t i = g_modules.size(); i-- > 0;)
        if (g_modules[i]->refs > 0 && g_modules[i]->model == &kLibraries[index]) return g_modules[i].get();
    return nullptr;
}

// The exports, one set per library, so that each knows its module.
template <int I> static HRESULT WINAPI DllRegisterServerOf(void)
{
    g_running = LoadedModel(I);
    return ClassRegister("DllRegisterServer");
}
template <int I> static HRESULT WINAPI DllUnregisterServerOf(void)
{
    g_running = LoadedModel(I);
    return ClassUnregister("DllUnregisterServer");
}

static HRESULT WINAPI AddNetscapeBhoKey(void)
{
    g_running = LoadedModel(2);
    return BrowserKey("AddNetscapeBhoKey", "HKLM\\SOFTWARE\\Brenmoor\\Vantro\\Browser\\Netscape", false);
}

static HRESULT WINAPI AddExplorerBhoKey(void)
{
    g_running = LoadedModel(2);
    return BrowserKey("AddExplorerBhoKey", "HKLM\\SOFTWARE\\Brenmoor\\Vantro\\Browser\\Explorer", true);
}

// int WINAPI DLLRegisterSSL(char *keyPath, const char *folder, int reserved)
static int WINAPI DLLRegisterSSL(char *keyPath, const char *folder, int reserved)
{
    HostModule *m = LoadedModel(3);
    std::string args = std::string(keyPath ? keyPath : "(null)") + "|" + (folder ? folder : "(null)") + "|" +
                       std::to_string(reserved);
    int result = 1;
    if (!keyPath || !*keyPath || !folder || !*folder || strlen(folder) + 16 > 512 || MarkerSays(m->path, "DLLRegisterSSL")) {
        result = 0;
    } else {
        std::string key = std::string("HKLM\\") + keyPath;
        std::string f = folder;
        HostRegSetString(key.c_str(), "Folder", f.c_str());
        HostRegSetString(key.c_str(), "CertFile", (f + "\\peer.crt").c_str());
        HostRegSetString(key.c_str(), "KeyFile", (f + "\\peer.key").c_str());
        HostRegSetString(key.c_str(), "CAFile", (f + "\\brenmoor.crt").c_str());
    }
    Record(m->path, "DLLRegisterSSL", args, result);
    return result;
}

struct ExportRow {
    int library;
    const char *name;
    FARPROC proc;
};

static const ExportRow kExports[] = {
    {0, "DllRegisterServer", (FARPROC)DllRegisterServerOf<0>},
    {0, "DllUnregisterServer", (FARPROC)DllUnregisterServerOf<0>},
    {1, "DllRegisterServer", (FARPROC)DllRegisterServerOf<1>},
    {1, "DllUnregisterServer", (FARPROC)DllUnregisterServerOf<1>},
    {2, "DllRegisterServer", (FARPROC)DllRegisterServerOf<2>},
    {2, "DllUnregisterServer", (FARPROC)DllUnregisterServerOf<2>},
    {2, "AddNetscapeBhoKey", (FARPROC)AddNetscapeBhoKey},
    {2, "AddExplorerBhoKey", (FARPROC)AddExplorerBhoKey},
    {3, "DLLRegisterSSL", (FARPROC)DLLRegisterSSL},
};

// ---- the API ---------------------------------------------------------------------------

// Loads one of the product's libraries; `flags` as LoadLibraryExA was given them.
static HMODULE LoadProduct(LPCSTR path, DWORD flags)
{
    std::string absolute;
    if (!path || !HostAbsolutePath(path, absolute) || !HostFileExists(absolute.c_str())) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::string name = HostUpper(FileNameOf(absolute));
    const LibraryModel *model = nullptr;
    for (auto &l : kLibraries)
        if (HostUpper(l.file) == name) model = &l;
    if (!model) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    for (auto &m : g_modules)
        if (m->refs > 0 && HostUpper(m->path) == HostUpper(absolute)) {
            m->refs++;
            return (HMODULE)m.get();
        }
    if (MarkerSays(absolute, "load")) {
        Record(absolute, "load", "", 0, flags);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    g_modules.push_back(std::unique_ptr<HostModule>(new HostModule{absolute, model, 1}));
    Record(absolute, "load", "", 1, flags);
    return (HMODULE)g_modules.back().get();
}

HMODULE LoadLibraryA(LPCSTR path)
{
    if (HostFaultOnPath("LoadLibraryA", path)) return nullptr;
    return LoadProduct(path, 0);
}

HMODULE LoadLibraryExA(LPCSTR path, HANDLE file, DWORD flags)
{
    if (HostFaultOnPath("LoadLibraryExA", path)) return nullptr;
    // The search flags need a full path here: no product library is ever
    // searched for, and the two kinds of flags do not mix.
    const DWORD searchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
    if (file || ((flags & LOAD_WITH_ALTERED_SEARCH_PATH) && (flags & searchFlags)) ||
        (flags & ~(searchFlags | LOAD_WITH_ALTERED_SEARCH_PATH))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Windows refuses the search flags where SetDefaultDllDirectories is missing.
    if ((flags & searchFlags) && !HostSystemProc(HostSystemModuleHandle("kernel32"), "SetDefaultDllDirectories")) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadProduct(path, flags);
}

static HostModule *Loaded(HMODULE module)
{
    for (auto &m : g_modules)
        if ((HMODULE)m.get() == module && m->refs > 0) return m.get();
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (HostFaultOn("GetProcAddress", name && !IS_INTRESOURCE(name) ? name : "")) return nullptr;
    if (HostIsSystemModule(module)) return name && !IS_INTRESOURCE(name) ? HostSystemProc(module, name) : nullptr;
    HostModule *m = Loaded(module);
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    int library = (int)(m->model - kLibraries);
    if (name && !IS_INTRESOURCE(name))
        for (auto &e : kExports)
            if (e.library == library && strcmp(e.name, name) == 0) return e.proc;  // exports match exactly
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module)
{
    if (HostFault("FreeLibrary")) return FALSE;
    HostModule *m = Loaded(module);
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--m->refs == 0) Record(m->path, "free", "", 1);
    return TRUE;
}

// ---- programs --------------------------------------------------------------------------

static void AddHistory(const std::string &command)
{
    DWORD type;
    std::string history;
    if (HostRegGetValue(kSchedulerKey, "History", &type, &history) && !history.empty() && history.back() == '\0')
        history.pop_back();
    history += (history.empty() ? "" : " ") + (command.empty() ? std::string("(none)") : command);
    HostRegSetString(kSchedulerKey, "History", history.c_str());
}

// The queue scheduler: one switch, carried out at once.
static int RunScheduler(const std::string &program, const std::string &args)
{
    std::string command = Trim(args);
    size_t blank = command.find_first_of(" \t");
    if (blank != std::string::npos) command.resize(blank);
    AddHistory(command);
    HostRegSetString(kSchedulerKey, "LastCommand", command.c_str());
    bool fail = MarkerSays(program, command.empty() ? "(none)" : command.c_str());
    std::string up = HostUpper(command);
    int result = 1;
    if (fail) {
        result = 0;
    } else if (up == "-INSTALL" || up == "-INSTALL_NO_START") {
        bool start = up == "-INSTALL";
        if (start)
            HostRegSetString(kRunKey, kRunValue, ("\"" + program + "\" -start").c_str());
        else
            HostRegDeleteValue(kRunKey, kRunValue);
        HostRegSetString(kSchedulerKey, "Installed", "1");
        HostRegSetString(kSchedulerKey, "StartAtLogon", start ? "1" : "0");
        HostRegSetString(kSchedulerKey, "Path", program.c_str());
    } else if (up == "-REMOVE") {
        HostRegDeleteValue(kRunKey, kRunValue);
        HostRegSetString(kSchedulerKey, "Installed", "0");
    } else if (!(up == "-STOP" || up == "-START" || up.empty())) {
        result = 2;
    }
    HostRegSetString(kSchedulerKey, "LastResult", result == 1 ? "ok" : "failed");
    return result;
}

// The program a command line names, found as CreateProcess finds it.
static bool FindProgram(const std::string &line, std::string &program, std::string &args)
{
    if (!line.empty() && line[0] == '"') {
        size_t close = line.find('"', 1);
        if (close == std::string::npos) return false;
        std::string candidate = line.substr(1, close - 1);
        args = close + 1 < line.size() ? line.substr(close + 1) : "";
        std::string absolute;
        if (!HostAbsolutePath(candidate.c_str(), absolute) || !HostFileExists(absolute.c_str())) return false;
        program = absolute;
        return true;
    }
    for (size_t end = line.find(' '); ; end = line.find(' ', end + 1)) {
        std::string candidate = line.substr(0, end);
        args = end == std::string::npos ? "" : line.substr(end);
        std::string name = FileNameOf(candidate);
        if (name.find('.') == std::string::npos) candidate += ".exe";
        std::string absolute;
        if (HostAbsolutePath(candidate.c_str(), absolute) && HostFileExists(absolute.c_str())) {
            program = absolute;
            return true;
        }
        if (end == std::string::npos) return false;
    }
}

UINT WinExec(LPCSTR commandLine, UINT)
{
    if (HostFaultOnPath("WinExec", commandLine ? commandLine : "")) return 0;
    std::string program, args;
    if (!commandLine || !FindProgram(commandLine, program, args)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return ERROR_FILE_NOT_FOUND;
    }
    if (!args.empty() && args[0] == ' ') args.erase(0, 1);
    long result = 0;
    if (FileNameOf(HostUpper(program)) == "TSCHED.EXE") result = RunScheduler(program, args);
    Record(program, "run", args, result);
    return 33;
}
