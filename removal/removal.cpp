// The removal sequence.
#include "removal/removal.h"

#include "app/deferred.h"
#include "app/libraries.h"
#include "app/paths.h"
#include "app/state.h"
#include "app/messages.h"
#include "app/options.h"
#include "payload/catalogue.h"
#include "payload/filecopy.h"
#include "payload/registration.h"
#include "progman/progman.h"
#include "resource.h"

// The keys and names the install made.
static const char kUninstallKey[] = UNINSTALL_KEY;
static const char kDesktopNamespace[] = NAMESPACE_DESKTOP_KEY;
static const char kMyComputerNamespace[] = NAMESPACE_MYCOMPUTER_KEY;
static const char kExplorerClass[] = NAMESPACE_EXPLORER_ID;
static const char kClassicClass[] = NAMESPACE_CLASSIC_ID;
static const char kBaseServerKey[] = BASE_CLASS_KEY;
static const char kExplorerItem[] = "Vantro Pro Explorer";
static const char kDefaultGroup[] = PRODUCT_GROUP;
static const char kScheduler[] = "tsched.exe";
static const char kQuestionCaption[] = "Vantro Pro Installation";
static const char kWaitingExtension[] = ".del";

#define STATUS_SIZE 256
#define FOLDER_SIZE 512     // the current folder kept while a library is unregistered
#define RUN_COMMAND_SIZE 512    // a command line for WinExec or the next start of Windows

// Joins pieces into `out` (`size` bytes); 0, with `out` empty, when they do not
// fit: a cut path would name another file.
static int JoinText(char *out, int size, const char *const *pieces, int count)
{
    int used = 0;
    out[0] = 0;
    for (int i = 0; i < count; i++) {
        int n = lstrlenA(pieces[i]);
        if (used + n >= size) {
            out[0] = 0;
            return 0;
        }
        lstrcpyA(out + used, pieces[i]);
        used += n;
    }
    return 1;
}

// The status text of `id`, or `fallback` when the string table lacks it.
static void LoadStatus(UINT id, const char *fallback, char *text)
{
    if (LoadStringA(g_hInstance, id, text, STATUS_SIZE) <= 0) lstrcpynA(text, fallback, STATUS_SIZE);
}

static void ShowStatus(HWND status, UINT id, const char *fallback)
{
    char text[STATUS_SIZE];
    LoadStatus(id, fallback, text);
    SetStatusText(status, text);
}

void SetStatusText(HWND status, const char *text)
{
    // Unattended there is no window: the steps go to the log.
    if (g_bSilent) SetupLog(text);
    if (!status || !IsWindow(status)) return;
    SetWindowTextA(status, text);
    // Nothing is pumped during the removal: the control repaints now.
    UpdateWindow(status);
}

int MakeWaitingName(const char *path, char *out, int size)
{
    // Only the file name's extension goes: a dot in a folder name stays.
    int length = lstrlenA(path), cut = length;
    for (int i = length - 1; i >= 0 && path[i] != '\\' && path[i] != '/'; i--)
        if (path[i] == '.') {
            cut = i;
            break;
        }
    if (cut + lstrlenA(kWaitingExtension) >= size) {
        out[0] = 0;
        return 0;
    }
    lstrcpynA(out, path, cut + 1);
    lstrcatA(out, kWaitingExtension);
    return 1;
}

int DeleteOrDefer(const char *path, char *note)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 1;
    if (DeleteFileA(path)) return 1;
    if (note) {
        // Only a note for whoever reads it: a path too long for it is cut.
        lstrcpyA(note, "failed to delete ");
        lstrcpynA(note + lstrlenA(note), path, REMOVAL_NOTE_SIZE - lstrlenA(note));
    }
    // In use: under its waiting name the file's own name is free at once.
    char waiting[REMOVAL_PATH_SIZE];
    if (!MakeWaitingName(path, waiting, sizeof waiting) || !MoveFileA(path, waiting)) lstrcpynA(waiting, path, sizeof waiting);
    // The system deletes it before any program runs at the next start, in the
    // order the deletions were stored, so that the folder's own removal,
    // stored after them, finds it empty.
    if (DeferDeletion(waiting)) g_bRebootNeeded = 1;
    return 0;
}

// Deletes the key's children, then the key; `gone` tells whether the key
// itself went. A child that stays is stepped over, so the walk always ends.
static int DeleteTree(HKEY root, const char *subkey, int *gone)
{
    *gone = 0;
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    int result = 1;
    DWORD index = 0;  // the children before it resisted and stay
    char name[256];
    while (RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS) {
        if (RegDeleteKeyA(key, name) == ERROR_SUCCESS) continue;
        // NT deletes no key that has subkeys: take the child's tree first.
        char child[REMOVAL_KEY_SIZE];
        const char *pieces[] = {subkey, "\\", name};
        int childGone = 0;
        if (!JoinText(child, sizeof child, pieces, 3) || !DeleteTree(root, child, &childGone)) result = 0;
        if (!childGone) {
            result = 0;
            index++;
        }
    }
    RegCloseKey(key);
    *gone = RegDeleteKeyA(root, subkey) == ERROR_SUCCESS;
    return result;
}

int DeleteKeyTree(HKEY root, const char *subkey)
{
    int gone;
    return DeleteTree(root, subkey, &gone);
}

int DeleteNamespaceEntries(void)
{
    // The install makes each entry in one place; both places go for both.
    const char *places[] = {kDesktopNamespace, kMyComputerNamespace};
    const char *classes[] = {kExplorerClass, kClassicClass};
    char key[REMOVAL_KEY_SIZE];
    for (int c = 0; c < 2; c++)
        for (int p = 0; p < 2; p++) {
            wsprintfA(key, places[p], classes[c]);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);  // a missing entry is no error
        }
    return 1;
}

int UnregisterBaseServer(void)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kBaseServerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "");
        RegDeleteValueA(key, "ThreadingModel");
        RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kBaseServerKey);  // the class key above it stays
    return 1;
}

int UnregisterLibrary(const char *folder, const char *name)
{
    char path[REMOVAL_PATH_SIZE];
    if (!JoinPath(path, sizeof path, folder, name)) return 0;
    // The library's own dependencies are found in the product folder. The
    // folder is changed only when the earlier one can be made current again:
    // left in the product folder, the process would keep it from going.
    char saved[FOLDER_SIZE];
    DWORD n = GetCurrentDirectoryA(sizeof saved, saved);
    int changed = n > 0 && n < sizeof saved && SetCurrentDirectoryA(folder);
    int called = 0;
    HMODULE library = LoadProductLibrary(path);
    if (library) {
        typedef HRESULT(WINAPI * UnregisterEntry)(void);
        UnregisterEntry entry = ExportOf<UnregisterEntry>(library, "DllUnregisterServer");
        if (entry) {
            entry();  // its result changes nothing: the removal goes on
            called = 1;
        }
        FreeLibrary(library);
    }
    if (changed) SetCurrentDirectoryA(saved);
    return called;
}

// Starts the scheduler at `path` with one switch. The path is quoted: unquoted,
// a folder with blanks would let Windows start another program.
static void RunScheduler(const char *path, const char *switchText, UINT show)
{
    char command[RUN_COMMAND_SIZE];
    const char *pieces[] = {"\"", path, "\" ", switchText};
    if (JoinText(command, sizeof command, pieces, 4)) WinExec(command, show);  // its result is not looked at
}

// Deletes every file of a catalogue table; the scheduler is told to remove
// itself right before its own file goes.
static void DeleteTableFiles(const char *folder, const CatalogueEntry *rows, int count, char *note, HWND status)
{
    for (int i = 0; i < count; i++) {
        char path[REMOVAL_PATH_SIZE];
        if (!JoinPath(path, sizeof path, folder, rows[i].szFile)) continue;
        SetStatusText(status, path);
        if (lstrcmpiA(rows[i].szInstallFile, kScheduler) == 0) RunScheduler(path, "-remove", SW_HIDE);
        DeleteOrDefer(path, note);
    }
}

// Deletes the icons of a table's rows that have one.
static void DeleteTableIcons(const CatalogueEntry *rows, int count, const char *format, HWND status)
{
    for (int i = 0; i < count; i++) {
        if (rows[i].bIcon != 1) continue;
        char text[STATUS_SIZE * 2];
        if (lstrlenA(format) + lstrlenA(rows[i].szCaption) < (int)sizeof text) {
            wsprintfA(text, format, rows[i].szCaption);
            SetStatusText(status, text);
        }
        ProgmanDeleteItem(rows[i].szCaption, rows[i].szInstallFile);
    }
}

static void DeleteIcons(int flags, HWND status)
{
    ShowStatus(status, MSG_LOCATING_ICON_GROUP, "Locating icon group");
    char format[STATUS_SIZE];
    LoadStatus(MSG_DELETING_ICON, "Deleting icon %s", format);
    char group[PROGMAN_GROUP_SIZE];
    // A GROUP present and empty: the install made no group, so nothing is sent.
    if (GetProfileStringA("Vantro", "GROUP", kDefaultGroup, group, sizeof group) == 0) return;
    // No install records a name that Program Manager would read as more than
    // a name: one that does was written by someone else, and is not sent.
    if (!IsSafeGroupName(group)) return;
    ProgmanOpen();  // a client that did not open refuses the commands below
    // Item commands work on the shell's current group, which a new session
    // does not have: the group is made current first, so that the product's
    // items, and only they, go.
    // Unattended, nobody is there to look at it: minimised and not active.
    ProgmanShowGroup(group, g_bSilent ? PROGMAN_SHOW_MINIMIZED : PROGMAN_SHOW_NORMAL);
    if (flags & REMOVE_EXPLORER) {
        ProgmanDeleteItem(kExplorerItem, "");
        DeleteTableIcons(g_explorerFiles, EXPLORER_COUNT, format, status);
    }
    if (flags & REMOVE_UTILITIES) DeleteTableIcons(g_utilityFiles, UTILITY_COUNT, format, status);
    if (flags & REMOVE_CLASSIC) DeleteTableIcons(g_classicFiles, CLASSIC_COUNT, format, status);
    DeleteTableIcons(g_commonFiles, COMMON_COUNT, format, status);
    ShowStatus(status, MSG_CLOSING_ICON_DELETION, "Closing icon deletion");
    ProgmanDeleteGroup(group);  // only the product's own group goes; the client closes
}

// The extension of a name, from its last ".", or null when it has none.
static const char *Extension(const char *name)
{
    const char *dot = NULL;
    for (const char *p = name; *p; p++)
        if (*p == '.') dot = p;
    return dot;
}

// Deletes the working files the client leaves in its folder, and its INI files
// when the user agrees. Never looks into a subfolder.
static void SweepLeftovers(const char *folder, HWND owner, HWND status)
{
    ShowStatus(status, MSG_DELETING_FILES, "Deleting files");
    int sweepIni = 0;
    char path[REMOVAL_PATH_SIZE];
    if (JoinPath(path, sizeof path, folder, g_siteFiles[0].szInstallFile) &&
        GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        // Unread, the question would ask nothing: the user's sites then stay.
        char question[512];
        // Unattended, nobody is asked: the safe answer, No, keeps them.
        if (!g_bSilent && LoadStringA(g_hInstance, MSG_DELETE_INI_FILES, question, sizeof question) > 0)
            sweepIni = MessageBoxA(owner, question, kQuestionCaption, MB_YESNO) == IDYES;
    }
    static const char *const kAlways[] = {".bak", ".tmp", ".gid", ".log"};
    char pattern[REMOVAL_PATH_SIZE];
    if (!JoinPath(pattern, sizeof pattern, folder, "*.*")) return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const char *extension = Extension(found.cFileName);
        if (!extension) continue;
        int match = sweepIni && lstrcmpiA(extension, ".ini") == 0;
        for (int i = 0; i < 4 && !match; i++) match = lstrcmpiA(extension, kAlways[i]) == 0;
        if (!match || !JoinPath(path, sizeof path, folder, found.cFileName)) continue;
        SetStatusText(status, path);
        DeleteFileA(path);  // no deferral: a working file in use is left
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Deletes the ".new" copies the install left beside the catalogue's programs
// and libraries that were in use (their deferred copy may have run or not: a
// copy that finds nothing to copy does no harm).
static void SweepNewCopies(const char *folder, HWND status)
{
    struct Table {
        const CatalogueEntry *rows;
        int count;
    } tables[] = {{g_explorerFiles, EXPLORER_COUNT}, {g_utilityFiles, UTILITY_COUNT},
                  {g_classicFiles, CLASSIC_COUNT}, {g_commonFiles, COMMON_COUNT}};
    for (const Table &t : tables)
        for (int i = 0; i < t.count; i++) {
            char target[REMOVAL_PATH_SIZE], side[REMOVAL_PATH_SIZE];
            if (!JoinPath(target, sizeof target, folder, t.rows[i].szInstallFile) ||
                !MakeSideName(target, ".new", side, sizeof side) || GetFileAttributesA(side) == INVALID_FILE_ATTRIBUTES)
                continue;
            SetStatusText(status, side);
            DeleteFileA(side);  // as the working files: one in use is left
        }
}

int RemoveProduct(const char *folder, int flags, char *note, HWND owner, HWND status)
{
    ShowStatus(status, MSG_REMOVING_UNINSTALL_INFO, "Removing uninstall info");
    if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey) != ERROR_SUCCESS)
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    if (note)
        for (int i = 0; i < REMOVAL_NOTE_SIZE; i++) note[i] = 0;
    if (!(flags & REMOVE_ALL)) {
        if (note) lstrcpyA(note, "Nothing to do!");
    } else {
        ShowStatus(status, MSG_REMOVING_DESKTOP_ICONS, "Removing desktop icons");
        DeleteNamespaceEntries();
        if (flags & REMOVE_EXPLORER) {
            ShowStatus(status, MSG_UNREGISTERING_EXPLORER, "Unregistering explorer");
            UnregisterLibrary(folder, "shellext.dll");
            DeleteTableFiles(folder, g_explorerFiles, EXPLORER_COUNT, note, status);
        }
        if (flags & REMOVE_UTILITIES) {
            ShowStatus(status, MSG_UNREGISTERING_BHO, "Unregistering Vantro Browser DLL");
            UnregisterLibrary(folder, "vnbho2k0.dll");
            char scheduler[REMOVAL_PATH_SIZE];
            if (JoinPath(scheduler, sizeof scheduler, folder, kScheduler)) {
                // Stopped first, so that no running scheduler holds its files.
                ShowStatus(status, MSG_STOPPING_SCHEDULER, "Stopping Vantro Queue Scheduler");
                RunScheduler(scheduler, "-stop", SW_HIDE);
                ShowStatus(status, MSG_UNREGISTERING_SCHEDULER, "Unregistering Vantro Queue Scheduler");
                RunScheduler(scheduler, "-remove", SW_SHOWNORMAL);
                Sleep(30);
            }
            DeleteTableFiles(folder, g_utilityFiles, UTILITY_COUNT, note, status);
        }
        if (flags & REMOVE_CLASSIC) {
            SetStatusText(status, "Unregistering base product");
            UnregisterBaseServer();
            DeleteTableFiles(folder, g_classicFiles, CLASSIC_COUNT, note, status);
        }
        ShowStatus(status, MSG_UNREGISTERING_ICON_LINK, "Unregistering icon link");
        UnregisterLibrary(folder, g_commonFiles[1].szInstallFile);  // tstub.dll
        DeleteTableFiles(folder, g_commonFiles, COMMON_COUNT, note, status);
        DeleteIcons(flags, status);
        SweepLeftovers(folder, owner, status);
        SweepNewCopies(folder, status);
    }
    ShowStatus(status, MSG_COMPLETED, "completed");
    return 1;
}
