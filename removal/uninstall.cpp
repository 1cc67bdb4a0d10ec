// The uninstall controller, and the product's own uninstaller around it.
#include "removal/uninstall.h"

#include "app/deferred.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/outcome.h"
#include "app/paths.h"
#include "app/state.h"
#include "app/workfolder.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"
#include "removal/removal.h"
#include "resource.h"

#define TEXT_SIZE 256
#define MESSAGE_SIZE 1024  // 10016 with the folder: the text and a whole DIR fit
#define COMMAND_SIZE 512
#define LINE_SIZE 2048     // the uninstaller's command line as it is passed on

static const char kUninstaller[] = "uninst32.exe";
// The name the running uninstaller's file takes in its copy's folder, so that
// the product folder can go at once although that file is in use.
static const char kParkedUninstaller[] = "uninst32.run";
static const char kQuietSwitch[] = "-q";

// Opens the status window with the removal's title and no way to cancel;
// returns it, or NULL (the removal then runs without status texts).
static HWND OpenRemovalStatus(HWND owner)
{
    HWND status = CreateStatusWindow(owner);
    if (!status) return NULL;
    HWND cancel = GetDlgItem(status, IDCANCEL);
    char title[TEXT_SIZE];
    if (LoadStringA(g_hInstance, MSG_REMOVAL_TITLE, title, sizeof title) <= 0) lstrcpyA(title, "Removal process");
    SetWindowTextA(status, title);
    if (cancel) {
        // A removal cannot be cancelled half way.
        EnableWindow(cancel, FALSE);
        ShowWindow(cancel, SW_HIDE);
    }
    return status;
}

// Leaves the removal of the folder to the next start of Windows, after the
// deferred deletions of its files. On NT the system deletes the folder itself,
// after the files stored before it; Windows 95 and 98 delete the files from
// WININIT.INI before anything else runs, and then run the folder's "rmdir".
// Its result is not looked at: the restart question follows either way.
static void DeferFolderRemoval(const char *folder)
{
    if (g_bWinNT) {
        DeferDeletion(folder);
        return;
    }
    char form[MAX_PATH + 3], command[COMMAND_SIZE];
    // Without a form the interpreter reads as one folder, nothing is stored.
    if (!CommandPathOf(folder, form, sizeof form)) return;
    wsprintfA(command, "command.com /c rmdir %s ", form);
    AddDeferredCommand(command);
}

// Tells the user (unless unattended) that no usable installation is recorded.
static void ReportNoInstallation(HWND owner, const char *caption)
{
    if (g_bSilent) return;
    char text[TEXT_SIZE];
    LoadMsgString(MSG_INSUFFICIENT_INFO, text, sizeof text);
    MessageBoxA(owner, text, caption, MB_ICONINFORMATION);
}

int RunUninstall(HWND owner, int selection, int choosable)
{
    (void)selection;
    (void)choosable;
    char caption[TEXT_SIZE];
    char text[TEXT_SIZE];
    LoadMsgString(MSG_REMOVE_CAPTION, caption, sizeof caption);

    // The record names the folder whose files the removal deletes and whose
    // working files it sweeps: a folder no installation may take (a drive's
    // root, the Windows folder...) is not the product's, whoever wrote it.
    char folder[UNINSTALL_FOLDER_SIZE];
    if (GetProfileStringA("Vantro", "DIR", "", folder, sizeof folder) == 0 ||
        GetProfileIntA("Vantro", "INSTOPTS", 0) == 0 || FolderProblem(folder) != FOLDER_OK) {
        // Nothing is removed, and the record stays as it is.
        ReportNoInstallation(owner, caption);
        return EXIT_UNKNOWN_PRODUCT;
    }

    HWND status = g_bSilent ? NULL : OpenRemovalStatus(owner);
    g_hStatusWnd = status;
    g_bRebootNeeded = 0;
    g_bDeferredStored = 0;
    char note[REMOVAL_NOTE_SIZE];  // filled by the sequence, not shown
    int folderResult = -1;
    if (RemoveProduct(folder, REMOVE_ALL, note, owner, status ? GetDlgItem(status, IDC_STATUS_TEXT) : NULL))
        folderResult = RemoveDirectoryA(folder) ? 0 : -1;
    SetActiveWindow(owner);
    if (status) DestroyWindow(status);
    g_hStatusWnd = NULL;

    // The record goes whatever the outcome; one that stays would still show
    // the product as installed.
    int recordGone = WriteProfileStringA("Vantro", NULL, NULL) ? 1 : 0;

    int code = EXIT_DONE;
    if (folderResult == 0) {
        SetStatusText(NULL, "The product folder was removed.");
        if (!g_bSilent) {
            LoadMsgString(MSG_REMOVAL_COMPLETE, text, sizeof text);
            MessageBoxA(owner, text, caption, MB_ICONINFORMATION);
        }
    } else if (g_bRebootNeeded) {
        DeferFolderRemoval(folder);
        code = EXIT_RESTART_PENDING;
        if (g_bSilent) {
            // Unattended, no restart is made: the deletions wait for the next one.
            g_bRebootNeeded = 0;
        } else {
            char congratulations[TEXT_SIZE];
            char prompt[MESSAGE_SIZE];
            LoadMsgString(MSG_RESTART_AFTER_REMOVE, prompt, sizeof prompt);
            LoadMsgString(MSG_CONGRATULATIONS, congratulations, sizeof congratulations);
            // Cancel: no restart now; the stored deletions wait for the user's next one.
            if (MessageBoxA(owner, prompt, congratulations, MB_SYSTEMMODAL | MB_OKCANCEL) == IDCANCEL)
                g_bRebootNeeded = 0;
            else
                code = EXIT_DONE;
        }
    } else {
        char message[MESSAGE_SIZE];
        LoadMsgString(MSG_REMOVAL_EXCESS, text, sizeof text);
        wsprintfA(message, text, folder);
        if (g_bSilent)
            SetStatusText(NULL, message);
        else
            MessageBoxA(owner, message, caption, MB_ICONINFORMATION);
    }
    return recordGone ? code : EXIT_FAILED;
}

// Drops one pair of double quotes around a text: a user who types the
// command quotes its paths, as Windows users do.
static void Unquote(char *text)
{
    int n = lstrlenA(text);
    if (n < 2 || text[0] != '"' || text[n - 1] != '"') return;
    for (int i = 1; i < n - 1; i++) text[i - 1] = text[i];
    text[n - 2] = 0;
}

// Compares n characters ignoring case, as Windows compares names.
static int SameStart(const char *a, const char *b, int n)
{
    for (int i = 0; i < n; i++) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = (char)(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = (char)(y - 'a' + 'A');
        if (x != y) return 0;
    }
    return 1;
}

int ParseUninstallCommand(const char *line, char *folder, char *group)
{
    folder[0] = group[0] = 0;
    while (*line == ' ' || *line == '\t') line++;
    int length = lstrlenA(line);
    while (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\t' || line[length - 1] == '\r' ||
                          line[length - 1] == '\n'))
        length--;
    if (length < 3 || !SameStart(line, "-f ", 3)) return 0;
    const char *rest = line + 3;
    int restLength = length - 3;
    // The folder may hold " -d " itself: the split is where the same folder
    // follows the switch, then " -g " and a group.
    for (int f = 1; f + 4 + f + 4 < restLength; f++) {
        if (!SameStart(rest + f, " -d ", 4) || !SameStart(rest + f + 4, rest, f) ||
            !SameStart(rest + f + 4 + f, " -g ", 4))
            continue;
        int groupLength = restLength - (f + 4 + f + 4);
        if (f >= UNINSTALL_FOLDER_SIZE || groupLength >= UNINSTALL_GROUP_SIZE) return 0;
        lstrcpynA(folder, rest, f + 1);
        lstrcpynA(group, rest + f + 4 + f + 4, groupLength + 1);
        Unquote(folder);
        Unquote(group);
        return folder[0] != 0;
    }
    return 0;
}

const char *TakeQuietSwitch(const char *line, int *quiet)
{
    *quiet = 0;
    const char *p = line;
    while (*p == ' ' || *p == '\t') p++;
    if (SameStart(p, kQuietSwitch, 2) && (p[2] == ' ' || p[2] == '\t' || p[2] == 0)) {
        *quiet = 1;
        return p + 2;
    }
    return line;
}

// Whether two paths name the same file: as written, or by their short forms
// (Windows may start a program by its 8.3 path).
static int SameFile(const char *a, const char *b)
{
    if (SameText(a, b)) return 1;
    char x[MAX_PATH + 1], y[MAX_PATH + 1];
    DWORD n = GetShortPathNameA(a, x, MAX_PATH), m = GetShortPathNameA(b, y, MAX_PATH);
    return n > 0 && n < MAX_PATH && m > 0 && m < MAX_PATH && SameText(x, y);
}

// The options beside the uninstaller (install.ini in the product folder) may
// switch the log on, by the options file's own rule for LOGGING.
static void ReadRemovalLogging(const char *folder)
{
    char path[MAX_PATH + 1], value[INI_PATH_SIZE];
    g_bLogging = 0;
    if (!JoinPath(path, sizeof path, folder, "install.ini") || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return;
    GetPrivateProfileStringA("INSTALL", "LOGGING", "FALSE", value, sizeof value, path);
    g_bLogging = !(lstrcmpiA(value, "FALSE") == 0 || lstrcmpA(value, "0") == 0);
}

// Runs the same uninstaller from a copy in a folder of its own, and waits for
// it: the product folder can go at once only when no program of it runs, and
// Add/Remove Programs refreshes its list when the process it started ends.
// Returns 1 with the copy's exit code in *code; 0 when no copy could be run
// (the removal then runs here, as it always could).
static int RunFromCopy(const char *self, const char *arguments, DWORD *code)
{
    char temp[WORK_FOLDER_SIZE];
    if (!FindTempFolder(temp) || !MakeWorkFolder(temp, 1)) return 0;
    char copy[MAX_PATH + 1], line[LINE_SIZE];
    int started = 0;
    if (JoinPath(copy, sizeof copy, g_szWorkFolder, kUninstaller) && CopyFileA(self, copy, FALSE) &&
        lstrlenA(copy) + lstrlenA(arguments) + 4 < LINE_SIZE) {
        // "<copy>" <arguments>, as long as the entry made it (wsprintfA stops at 1024).
        lstrcpyA(line, "\"");
        lstrcatA(line, copy);
        lstrcatA(line, "\" ");
        lstrcatA(line, arguments);
        STARTUPINFOA startup;
        for (DWORD i = 0; i < sizeof startup; i++) ((BYTE *)&startup)[i] = 0;
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        if (CreateProcessA(copy, line, NULL, NULL, FALSE, 0, NULL, g_szTempFolder, &startup, &process)) {
            started = 1;
            CloseHandle(process.hThread);
            // However long the user takes over its questions: this process is
            // what Add/Remove Programs waits for.
            if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
                !GetExitCodeProcess(process.hProcess, code))
                *code = EXIT_FAILED;
            CloseHandle(process.hProcess);
        }
    }
    // The copy has ended: it goes with its folder. This program's own file, if
    // the copy parked it there, is in use until this process ends and goes at
    // the next start of Windows.
    RemoveWorkFolder();
    return started;
}

// Moves the original uninstaller, whose process waits for this copy, out of
// the product folder into the copy's own folder (same drive: a rename, which
// Windows allows for a running program's file). Where that cannot be, the
// removal defers it as any file in use.
static void ParkOriginal(const char *original, const char *self)
{
    char folder[MAX_PATH + 1], parked[MAX_PATH + 1];
    lstrcpynA(folder, self, sizeof folder);
    char *name = (char *)FileNamePart(folder);
    if (name == folder) return;
    name[-1] = 0;
    if (GetFileAttributesA(original) == INVALID_FILE_ATTRIBUTES ||
        !JoinPath(parked, sizeof parked, folder, kParkedUninstaller))
        return;
    DeleteFileA(parked);  // a leftover of an earlier removal
    MoveFileA(original, parked);
}

int RunStandAloneUninstall(HINSTANCE instance, const char *line)
{
    g_hInstance = instance;
    ReadPlatformFacts();
    LoadCatalogueCaptions();
    int quiet;
    const char *arguments = TakeQuietSwitch(line, &quiet);
    g_bSilent = quiet;

    char caption[TEXT_SIZE];
    char text[TEXT_SIZE];
    LoadMsgString(MSG_REMOVE_CAPTION, caption, sizeof caption);
    char folder[UNINSTALL_FOLDER_SIZE];
    char group[UNINSTALL_GROUP_SIZE];
    if (!ParseUninstallCommand(arguments, folder, group)) {
        if (g_bSilent) return EXIT_BAD_COMMAND_LINE;
        // Shown only: a command too long for the message is cut here.
        char shown[TEXT_SIZE * 2];
        lstrcpynA(shown, line, sizeof shown);
        char message[MESSAGE_SIZE];
        LoadMsgString(MSG_UNINSTALL_COMMAND_UNREADABLE, text, sizeof text);
        wsprintfA(message, text, shown);
        MessageBoxA(NULL, message, caption, MB_ICONERROR);
        return EXIT_BAD_COMMAND_LINE;
    }
    ReadRemovalLogging(folder);

    // Started from the product folder: the removal runs from a copy elsewhere.
    char self[MAX_PATH + 1], original[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
    int fromProduct = n > 0 && n < sizeof self && JoinPath(original, sizeof original, folder, kUninstaller) &&
                      SameFile(self, original);
    DWORD copyCode;
    if (fromProduct && RunFromCopy(self, line, &copyCode)) return (int)copyCode;

    // The run's files stay in the temporary folder: started in the product
    // folder, the process would keep it from going.
    char temp[WORK_FOLDER_SIZE];
    if (FindTempFolder(temp)) {
        lstrcpyA(g_szTempFolder, temp);
        SetCurrentDirectoryA(temp);
    }
    // The entry and the record are written by the same install: a record of
    // another folder is not the installation this entry describes.
    char recorded[UNINSTALL_FOLDER_SIZE];
    GetProfileStringA("Vantro", "DIR", "", recorded, sizeof recorded);
    int code;
    if (!SameFolder(recorded, folder)) {
        ReportNoInstallation(NULL, caption);
        code = EXIT_UNKNOWN_PRODUCT;
    } else {
        // A copy (its file lies in the temporary folder) parks the original its
        // first process runs from, once the record shows there is a removal.
        if (!fromProduct && n > 0 && n < sizeof self && g_szTempFolder[0] && IsWithin(self, g_szTempFolder) &&
            JoinPath(original, sizeof original, folder, kUninstaller) &&
            GetProfileIntA("Vantro", "INSTOPTS", 0) != 0 && FolderProblem(folder) == FOLDER_OK)
            ParkOriginal(original, self);
        code = RunUninstall(NULL, 0, 0);
        if (g_bRebootNeeded && RestartWindows()) code = EXIT_DONE;
    }
    switch (code) {
    case EXIT_DONE:
        SetOutcome(code, "removed");
        break;
    case EXIT_RESTART_PENDING:
        SetOutcome(code, "removed; files wait for the next start of Windows");
        break;
    case EXIT_UNKNOWN_PRODUCT:
        SetOutcome(code, "no installation of Vantro Pro was found");
        break;
    default:
        SetOutcome(code, "the removal failed");
        break;
    }
    LogOutcome();
    return code;
}
