// The install after its files: the SSL service and the base class, the install
// record, the Program Manager group and icons, the shell namespace entries,
// the uninstall entry, the self-registering libraries, browser integration and
// the queue scheduler.
#include "payload/registration.h"

#include "app/state.h"
#include "app/libraries.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/paths.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"
#include "payload/sequence.h"
#include "progman/progman.h"
#include "resource.h"

#define REG_PATH_SIZE 512
#define FOLDER_PATH_SIZE 512
#define STATUS_SIZE 320
// The uninstall command names the destination three times and the group once:
// room for all of them at their longest, so it is never cut.
#define UNINSTALL_COMMAND_SIZE (3 * FOLDER_PATH_SIZE + PROGMAN_GROUP_SIZE + 64)

static const char kRecordSection[] = "Vantro";
static const char kUninstaller[] = "uninst32.exe";
static const char kOldUninstallCaption[] = "Uninstall Vantro Pro";
static const char kGroupCaption[] = "Vantro Pro Installation";

typedef int(WINAPI *SslRegisterProc)(char *keyPath, const char *folder, int reserved);
typedef HRESULT(WINAPI *SelfRegisterProc)(void);
typedef HRESULT(WINAPI *BrowserKeyProc)(void);


// ---- registry and file helpers ------------------------------------------------------

static int SetString(HKEY key, const char *name, const char *value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value, (DWORD)lstrlenA(value) + 1) == ERROR_SUCCESS;
}

static int SetDword(HKEY key, const char *name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value) == ERROR_SUCCESS;
}

// The default value first: "ThreadingModel" only beside a server that was set.
static int SetBaseServer(HKEY key, const char *path)
{
    if (!SetString(key, NULL, path)) return 0;
    SetString(key, "ThreadingModel", "Apartment");
    return 1;
}

int RegisterBaseServer(const char *path)
{
    int result = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, BASE_CLASS_KEY, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        result = SetBaseServer(key, path);
        RegCloseKey(key);
    }
    if (!result && RegCreateKeyA(HKEY_CLASSES_ROOT, BASE_CLASS_KEY, &key) == ERROR_SUCCESS) {
        result = SetBaseServer(key, path);
        RegCloseKey(key);
    }
    return result;
}

int WriteRegString(HKEY root, const char *path, const char *subkey, const char *name, const char *value)
{
    char full[REG_PATH_SIZE];
    if (subkey) {
        if (!JoinPath(full, sizeof full, path, subkey)) return 0;
    } else {
        if (lstrlenA(path) >= (int)sizeof full) return 0;
        lstrcpyA(full, path);
    }
    HKEY key;
    if (RegCreateKeyA(root, full, &key) != ERROR_SUCCESS) return 0;
    int result = value ? SetString(key, name, value) : 0;
    RegCloseKey(key);
    return result;
}

int ReadRegString(HKEY root, const char *path, const char *name, const char *fallback, char *buffer, int size)
{
    if (size <= 0) return 0;
    HKEY key;
    if (RegOpenKeyA(root, path, &key) != ERROR_SUCCESS) return 0;
    // One byte kept back, so that a value stored without its terminator still
    // ends inside the buffer.
    DWORD type = 0, length = (DWORD)size - 1;
    int result = RegQueryValueExA(key, name, NULL, &type, (BYTE *)buffer, &length) == ERROR_SUCCESS;
    if (result)
        buffer[length] = 0;
    else if (fallback)
        lstrcpynA(buffer, fallback, size);
    RegCloseKey(key);
    return result;
}

int CanOpenFile(const char *folder, const char *name)
{
    char path[FOLDER_PATH_SIZE];
    if (!JoinPath(path, sizeof path, folder, name)) return 0;
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(file);
    return 1;
}

// ---- the phases ---------------------------------------------------------------------------

struct Registration {
    const char *dest;
    DWORD flags;
    DWORD *report;
    HWND owner;
    HWND status;
    char *failure;
    int success;
};

static void Report(Registration *r, DWORD bits)
{
    if (r->report) *r->report |= bits;
}

static void Fail(Registration *r, const char *text)
{
    r->success = 0;
    if (text) SetFailureText(r->failure, text, "");
}

static void ShowStatus(Registration *r, const char *format, const char *name)
{
    if (!r->status || !IsWindow(r->status)) return;
    char text[STATUS_SIZE];
    if (lstrlenA(name) > STATUS_SIZE - 32) name = "";
    wsprintfA(text, format, name);
    SetWindowTextA(r->status, text);
}

// The current folder, kept while a library works in the destination folder.
struct SavedFolder {
    char path[FOLDER_PATH_SIZE];
    int valid;
};

static void EnterFolder(SavedFolder *saved, const char *folder)
{
    DWORD n = GetCurrentDirectoryA(sizeof saved->path, saved->path);
    saved->valid = n > 0 && n < sizeof saved->path;
    SetCurrentDirectoryA(folder);
}

static void LeaveFolder(const SavedFolder *saved)
{
    if (saved->valid) SetCurrentDirectoryA(saved->path);
}

// Self-registration of dest\file in the destination folder. Returns 1 with
// the server's HRESULT when it was called, 0 when the library did not load
// or has no such export.
static int RegisterLibrary(const char *dest, const char *file, HRESULT *result)
{
    char path[FOLDER_PATH_SIZE];
    if (!JoinPath(path, sizeof path, dest, file)) return 0;
    SavedFolder saved;
    EnterFolder(&saved, dest);
    int called = 0;
    HMODULE library = LoadProductLibrary(path);
    if (library) {
        SelfRegisterProc proc = ExportOf<SelfRegisterProc>(library, "DllRegisterServer");
        if (proc) {
            *result = proc();
            called = 1;
        }
        FreeLibrary(library);
    }
    LeaveFolder(&saved);
    return called;
}

static void RegisterSsl(Registration *r)
{
    CatalogueEntry *row = &g_commonFiles[15];
    char path[FOLDER_PATH_SIZE];
    HMODULE library = JoinPath(path, sizeof path, r->dest, row->szInstallFile) ? LoadProductLibrary(path) : NULL;
    SslRegisterProc proc = library ? ExportOf<SslRegisterProc>(library, "DLLRegisterSSL") : NULL;
    if (!proc) {
        r->success = 0;
    } else {
        // The library may write into its key path: it gets a copy of its own.
        char key[sizeof SSL_KEY];
        lstrcpyA(key, SSL_KEY);
        if (proc(key, r->dest, 0))
            row->dwState |= FILE_REGISTERED;
        else
            r->success = 0;
    }
    if (library) FreeLibrary(library);
}

static void RegisterBaseClass(Registration *r)
{
    if (!(g_classicFiles[0].dwState & FILE_INSTALLED) || !(g_classicFiles[1].dwState & FILE_INSTALLED)) return;
    char path[FOLDER_PATH_SIZE];
    if (JoinPath(path, sizeof path, r->dest, g_classicFiles[0].szInstallFile) && RegisterBaseServer(path)) {
        g_classicFiles[0].dwState |= FILE_REGISTERED;
        Report(r, REPORT_BASE_CLASS);
    } else {
        g_classicFiles[0].dwState |= FILE_FAILED;
        Fail(r, "Failed to registered base product.");
    }
}

static void WriteInstallRecord(Registration *r)
{
    // DIR is what the removal finds the installation by: without it the product
    // could never be removed, so an install that cannot record it has failed.
    if (!WriteProfileStringA(kRecordSection, "DIR", r->dest)) {
        Fail(r, "Failed to write the install record.");
        return;
    }
    if (g_bNoPass) WriteProfileStringA(kRecordSection, "SPFLAGS", "1");
}

// The group for the icons: the options file's GROUP32, else the recorded
// GROUP, else the product's own; asked for unless unattended. The name goes
// into Program Manager's commands as it is: one that holds a character that
// would end it there is refused (unattended, the product's own group is taken,
// with a log line; asked, the user is told and asked again). 0 after Cancel.
static int ChooseGroup(Registration *r, char *group)
{
    for (int i = 0; i < PROGMAN_GROUP_SIZE; i++) group[i] = 0;
    GetProfileStringA(kRecordSection, "GROUP", PRODUCT_GROUP, group, PROGMAN_GROUP_SIZE);
    if (g_szIniFile[0]) {
        char recorded[PROGMAN_GROUP_SIZE];
        lstrcpyA(recorded, group);
        GetPrivateProfileStringA(kRecordSection, "GROUP32", recorded, group, PROGMAN_GROUP_SIZE, g_szIniFile);
    }
    if (r->flags & INSTALL_UNATTENDED) {
        if (!IsSafeGroupName(group)) {
            char line[PROGMAN_GROUP_SIZE + 160];
            wsprintfA(line, "Group name \"%s\" refused: it holds [ ] ( ) \" , or a control character; the group is \"%s\".",
                      group, PRODUCT_GROUP);
            SetupLog(line);
            lstrcpyA(group, PRODUCT_GROUP);
        }
    } else {
        for (;;) {
            if (!AskGroupName(r->owner, group)) {
                r->success = 0;
                return 0;
            }
            if (IsSafeGroupName(group)) break;
            char text[512];
            LoadMsgString(MSG_GROUP_REFUSED, text, sizeof text);
            MessageBoxA(r->owner, text, kGroupCaption, MB_ICONERROR);
        }
    }
    if (!group[0]) lstrcpyA(group, PRODUCT_GROUP);
    return 1;
}

// An icon for a row installed in this run that asks for one.
static void AddIcon(Registration *r, CatalogueEntry *row)
{
    if (row->bIcon != 1 || !(row->dwState & FILE_INSTALLED) || !CanOpenFile(r->dest, row->szInstallFile)) return;
    ShowStatus(r, "Creating icon for %s.", row->szInstallFile);
    ProgmanAddItem(row->szCaption, r->dest, row->szInstallFile, "");
    row->dwState |= FILE_ICON;
    Report(r, REPORT_ICONS);
}

static void AddIcons(Registration *r, CatalogueEntry *rows, int count)
{
    for (int i = 0; i < count; i++) AddIcon(r, &rows[i]);
}

static void MakeGroupAndIcons(Registration *r, const char *group)
{
    WriteProfileStringA(kRecordSection, "GROUP", group);
    ShowStatus(r, "Creating icon group %s", group);
    if (!ProgmanCreateGroup(group)) {
        Fail(r, "Failed to create icon group.");
        return;
    }
    WriteProfileStringA(kRecordSection, "GROUP", group);
    if (r->flags & INSTALL_CLASSIC) AddIcons(r, g_classicFiles, CLASSIC_COUNT);
    if (r->flags & INSTALL_EXPLORER) {
        // The item that opens the Explorer interface's namespace object.
        ProgmanAddItem("Vantro Pro Explorer", r->dest, "", "Vantro Pro Explorer." NAMESPACE_EXPLORER_ID);
        AddIcons(r, g_explorerFiles, EXPLORER_COUNT);
    }
    if (r->flags & INSTALL_UTILITIES) AddIcons(r, g_utilityFiles, UTILITY_COUNT);
    for (int i = 0; i < COMMON_COUNT; i++) {
        // Earlier installations left uninstall items under an older caption:
        // one goes with every row, up to as many as there are rows.
        char caption[MAX_PATH + 1];
        if (LoadStringA(g_hInstance, MSG_OLD_UNINSTALL_CAPTION, caption, sizeof caption) <= 0)
            lstrcpyA(caption, kOldUninstallCaption);
        ProgmanDeleteItem(caption, kUninstaller);
        AddIcon(r, &g_commonFiles[i]);
    }
    ProgmanClose();
}

// Where the namespace entry of `id` is: 0 desktop, 1 "My Computer", -1 none.
static int FindNamespaceEntry(const char *id)
{
    char key[REG_PATH_SIZE], value[512];
    wsprintfA(key, NAMESPACE_DESKTOP_KEY, id);
    if (ReadRegString(HKEY_LOCAL_MACHINE, key, NULL, NULL, value, sizeof value)) return 0;
    wsprintfA(key, NAMESPACE_MYCOMPUTER_KEY, id);
    if (ReadRegString(HKEY_LOCAL_MACHINE, key, NULL, NULL, value, sizeof value)) return 1;
    return -1;
}

static void WriteNamespaceEntry(const char *id, const char *title)
{
    char key[REG_PATH_SIZE];
    wsprintfA(key, g_iconLocation ? NAMESPACE_MYCOMPUTER_KEY : NAMESPACE_DESKTOP_KEY, id);
    WriteRegString(HKEY_LOCAL_MACHINE, key, NULL, NULL, title);
}

// The namespace objects go where an earlier installation put them; the user
// is asked only when there is none yet.
static void MakeNamespaceEntries(Registration *r)
{
    int place = FindNamespaceEntry(NAMESPACE_EXPLORER_ID);
    if (place >= 0) {
        g_iconLocation = place;
    } else {
        if (!(r->flags & INSTALL_UNATTENDED)) AskIconPlacement(NULL);
        WriteNamespaceEntry(NAMESPACE_EXPLORER_ID, "Vantro Pro Explorer");
    }
    if (!(r->flags & INSTALL_CLASSIC) || !r->success) return;
    place = FindNamespaceEntry(NAMESPACE_CLASSIC_ID);
    if (place >= 0)
        g_iconLocation = place;
    else
        WriteNamespaceEntry(NAMESPACE_CLASSIC_ID, "Vantro Pro");
}

static DWORD FileSizeIn(const char *folder, const char *name)
{
    char path[FOLDER_PATH_SIZE];
    if (!JoinPath(path, sizeof path, folder, name)) return 0;
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD size = GetFileSize(file, NULL);
    CloseHandle(file);
    return size == INVALID_FILE_ATTRIBUTES ? 0 : size;
}

// Kilobytes of the files this run installed, as Add/Remove Programs shows.
static DWORD InstalledKilobytes(const char *dest, int configWritten)
{
    struct Table {
        CatalogueEntry *rows;
        int count;
    } tables[] = {{g_classicFiles, CLASSIC_COUNT}, {g_explorerFiles, EXPLORER_COUNT}, {g_utilityFiles, UTILITY_COUNT},
                  {g_commonFiles, COMMON_COUNT},   {g_siteFiles, SITE_COUNT}};
    unsigned long long bytes = configWritten ? FileSizeIn(dest, g_siteFiles[0].szInstallFile) : 0;
    for (const Table &t : tables)
        for (int i = 0; i < t.count; i++)
            if (t.rows[i].dwState & FILE_INSTALLED) bytes += FileSizeIn(dest, t.rows[i].szInstallFile);
    return (DWORD)((bytes + 1023) / 1024);
}

static int AppendText(char *out, int size, const char *text)
{
    if (lstrlenA(out) + lstrlenA(text) >= size) return 0;
    lstrcatA(out, text);
    return 1;
}

static void WriteUninstallEntry(Registration *r, const char *group, int configWritten)
{
    // "<dest>\uninst32.exe" -f <dest> -d <dest> -g <group>, and the same with
    // the quiet switch first, for administrators who remove it unattended.
    char command[UNINSTALL_COMMAND_SIZE], quiet[UNINSTALL_COMMAND_SIZE], uninstaller[FOLDER_PATH_SIZE];
    command[0] = quiet[0] = 0;
    if (!JoinPath(uninstaller, sizeof uninstaller, r->dest, kUninstaller)) return;
    const char *pieces[] = {"\"", uninstaller, "\" -f ", r->dest, " -d ", r->dest, " -g ", group};
    for (const char *piece : pieces)
        if (!AppendText(command, sizeof command, piece)) return;
    const char *quietPieces[] = {"\"", uninstaller, "\" -q -f ", r->dest, " -d ", r->dest, " -g ", group};
    for (const char *piece : quietPieces)
        if (!AppendText(quiet, sizeof quiet, piece)) return;
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, &key) != ERROR_SUCCESS) return;
    SetString(key, "DisplayName", "Brenmoor Vantro Pro Uninstall");
    SetString(key, "UninstallString", command);
    SetString(key, "QuietUninstallString", quiet);
    SetString(key, "DisplayIcon", uninstaller);
    SetString(key, "Publisher", "Brenmoor");
    SetString(key, "InstallLocation", r->dest);
    SetDword(key, "NoModify", 1);
    SetDword(key, "NoRepair", 1);
    SetDword(key, "EstimatedSize", InstalledKilobytes(r->dest, configWritten));
    RegCloseKey(key);
}

// The stub server is not used on NT 3.x; its failure does not stop the install.
static void RegisterStub(Registration *r)
{
    CatalogueEntry *row = &g_commonFiles[1];
    if ((g_bWinNT && g_winMajor < 4) || !(row->dwState & FILE_INSTALLED)) return;
    HRESULT hr;
    if (!RegisterLibrary(r->dest, row->szInstallFile, &hr)) return;
    if (FAILED(hr)) {
        row->dwState |= FILE_FAILED;
        SetFailureText(r->failure, "Failed to registered stub.", "");
    } else {
        row->dwState |= FILE_REGISTERED;
    }
}

static void RegisterExplorerExtension(Registration *r)
{
    CatalogueEntry *row = &g_explorerFiles[0];
    if (!(row->dwState & FILE_INSTALLED) ||
        !((g_explorerFiles[1].dwState | g_explorerFiles[2].dwState) & FILE_INSTALLED))
        return;
    HRESULT hr;
    if (!RegisterLibrary(r->dest, row->szInstallFile, &hr)) return;
    if (FAILED(hr)) {
        row->dwState |= FILE_FAILED;
        Fail(r, "Failed to registered explorer.");
    } else {
        // The shell loads its extensions at start-up: the controller asks for a restart.
        row->dwState |= FILE_REGISTERED;
        Report(r, REPORT_RESTART);
    }
}

// Starts the scheduler with one switch; its path is quoted, so that a
// destination with blanks never starts another program.
static void RunScheduler(const char *dest, const char *command)
{
    char line[FOLDER_PATH_SIZE + 64], program[FOLDER_PATH_SIZE];
    if (!JoinPath(program, sizeof program, dest, "tsched.exe")) return;
    line[0] = 0;
    const char *pieces[] = {"\"", program, "\" ", command};
    for (const char *piece : pieces)
        if (!AppendText(line, sizeof line, piece)) return;
    WinExec(line, SW_SHOWNORMAL);
}

static void InstallBrowserAndScheduler(Registration *r)
{
    SavedFolder saved;
    EnterFolder(&saved, r->dest);
    char path[FOLDER_PATH_SIZE];
    HMODULE library = JoinPath(path, sizeof path, r->dest, "vnbho2k0.dll") ? LoadProductLibrary(path) : NULL;
    if (library) {
        SelfRegisterProc reg = ExportOf<SelfRegisterProc>(library, "DllRegisterServer");
        if (reg && FAILED(reg())) Fail(r, "Failed to registered Browser DLL.");
        if (r->success && (r->flags & INSTALL_BROWSER)) {
            BrowserKeyProc netscape = ExportOf<BrowserKeyProc>(library, "AddNetscapeBhoKey");
            if (netscape) netscape();
            BrowserKeyProc explorer = ExportOf<BrowserKeyProc>(library, "AddExplorerBhoKey");
            if (explorer) explorer();
        }
        FreeLibrary(library);
    }
    // The scheduler is installed whatever became of the browser library.
    RunScheduler(r->dest, "-install");
    if (!(r->flags & INSTALL_QUEUE)) RunScheduler(r->dest, "-install_no_start");
    LeaveFolder(&saved);
}

int RunRegistrationPhases(const char *destFolder, DWORD flags, DWORD *report, HWND owner, HWND statusControl,
                          char *failure, int success, int configWritten)
{
    Registration r = {destFolder, flags, report, owner, statusControl, failure, success};
    char group[PROGMAN_GROUP_SIZE];
    group[0] = 0;
    if (r.success) RegisterSsl(&r);
    if (r.success) RegisterBaseClass(&r);
    if (r.success) WriteInstallRecord(&r);
    if (r.success && ChooseGroup(&r, group)) MakeGroupAndIcons(&r, group);
    if (r.success && (flags & INSTALL_EXPLORER)) MakeNamespaceEntries(&r);
    if (r.success) WriteUninstallEntry(&r, group, configWritten);
    if (r.success) RegisterStub(&r);
    if (r.success && (flags & INSTALL_EXPLORER)) RegisterExplorerExtension(&r);
    if (r.success && (flags & INSTALL_UTILITIES)) InstallBrowserAndScheduler(&r);
    Report(&r, r.success ? REPORT_SUCCEEDED : REPORT_FAILED);
    return r.success;
}
