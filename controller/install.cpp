// The install controller: from the install-or-remove question to the closing
// message, in both modes.
#include "controller/install.h"

#include "app/deferred.h"
#include "app/state.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/outcome.h"
#include "app/paths.h"
#include "app/workfolder.h"
#include "controller/dialogs.h"
#include "payload/sequence.h"
#include "removal/uninstall.h"
#include "resource.h"

#define FOLDER_SIZE 512
#define FAILURE_SIZE 512

static const char kErrorCaption[] = "Vantro Pro Installation";
static const char kRecordSection[] = "Vantro";
static const char kInstallOptions[] = "12";   // INSTOPTS, whatever was chosen
static const char kBuildStamp[] = "20001004";  // PRO
static const char kConfigFile[] = "Vantro.ini";
static const char kConfigSection[] = "_config_";
static const char kMailKey[] = "MAILADDR";
static const char kMailMissing[] = "kvrnd60@";
static const char kMailFixed[] = "kvrnd66@";
// The address older configuration templates carry: exactly 13 characters.
static const char kMailPlaceholder[] = "name@your.isp";

// Reports a folder that cannot be created: to the log unattended, else a box.
static void ReportCreateFailure(const char *path, DWORD error)
{
    char tmpl[256], text[FORMAT_BUFFER_SIZE], caption[256];
    LoadMsgString(MSG_CREATE_FAILED, tmpl, sizeof tmpl);
    FormatMsgString(text, tmpl, path, error);
    if (g_bSilent) {
        SetupLog(text);
        return;
    }
    LoadMsgString(MSG_INSTALL_CAPTION, caption, sizeof caption);
    MessageBoxA(NULL, text, caption, MB_ICONERROR);
}

int CreateFolderPath(char *path)
{
    if (CreateDirectoryA(path, NULL) || GetLastError() == ERROR_ALREADY_EXISTS) return 1;
    char *slash = NULL;
    for (char *p = path; *p; p++)
        if (*p == '\\') slash = p;
    // A folder written with its final backslash is the folder without it:
    // otherwise the parent made for it would be taken for an existing folder.
    if (slash && slash[1] == 0 && slash > path && slash[-1] != ':' && slash[-1] != '\\') {
        *slash = 0;
        int made = CreateFolderPath(path);
        *slash = '\\';
        return made;
    }
    int result = 0;
    if (slash) {
        // Create the missing parents from the outermost inwards, then this one.
        *slash = 0;
        CreateFolderPath(path);
        *slash = '\\';
        result = CreateDirectoryA(path, NULL) ? 1 : 0;
    }
    if (!result) ReportCreateFailure(path, GetLastError());
    return result;
}

void DefaultDestination(char *folder, int size)
{
    char system[MAX_PATH];
    UINT n = GetSystemDirectoryA(system, sizeof system);
    if (n < 2 || n >= sizeof system) lstrcpyA(system, "C:");
    system[2] = 0;
    const char *name = "\\Vantro";
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExA(&info)) {
        if (info.dwPlatformId != VER_PLATFORM_WIN32s && info.dwMajorVersion >= 4) {
            // The platform's own Program Files folder where it names one: a
            // 32-bit program's on 64-bit Windows, the localised one elsewhere.
            char programFiles[MAX_PATH];
            if (ProgramFilesFolder(programFiles, sizeof programFiles) &&
                JoinPath(folder, size, programFiles, "Vantro Pro"))
                return;
            name = "\\Program Files\\Vantro Pro";
        } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
            name = "\\WIN32APP\\Vantro";
        }
    }
    lstrcpynA(folder, system, size);
    if (lstrlenA(folder) + lstrlenA(name) < size) lstrcatA(folder, name);
}

// The proposal: the computed default, then the options file's DIR32, then the
// install record's DIR.
static void ProposeDestination(char *proposal)
{
    char computed[FOLDER_SIZE], read[FOLDER_SIZE];
    DefaultDestination(computed, sizeof computed);
    lstrcpyA(proposal, computed);
    if (g_szIniFile[0]) {
        GetPrivateProfileStringA(kRecordSection, "DIR32", computed, read, sizeof read, g_szIniFile);
        if (lstrcmpA(read, computed) != 0) lstrcpyA(proposal, read);
    }
    char recorded[256];
    if (GetProfileStringA(kRecordSection, "DIR", proposal, recorded, sizeof recorded) > 0)
        lstrcpyA(proposal, recorded);
}

// A destination inside the folder that holds the installation files (or one
// that merely starts with the same characters) is refused. Letter case is
// folded as the system folds it for the code page, not for ASCII alone.
static int IsSourceFolder(const char *source, const char *proposal)
{
    int n = lstrlenA(source) - 1;
    if (n <= 0) return 0;
    char a[FOLDER_SIZE], b[FOLDER_SIZE];
    lstrcpynA(a, source, n + 1);
    lstrcpynA(b, proposal, n + 1);
    if (lstrlenA(b) != n) return 0;
    CharUpperBuffA(a, (DWORD)n);
    CharUpperBuffA(b, (DWORD)n);
    for (int i = 0; i < n; i++)
        if (a[i] != b[i]) return 0;
    return 1;
}

// Reports a folder the installation may not take: a message to the user, or
// a log line unattended.
static void ReportRefusedFolder(HWND owner, const char *folder, int problem)
{
    if (g_bSilent) {
        char line[FOLDER_SIZE + 160];
        wsprintfA(line, "DestDir \"%s\" refused: it is %s.", folder, FolderProblemText(problem));
        SetupLog(line);
        return;
    }
    char tmpl[256], text[FORMAT_BUFFER_SIZE];
    LoadMsgString(MSG_FOLDER_REFUSED, tmpl, sizeof tmpl);
    FormatMsgString(text, tmpl, folder, FolderProblemText(problem));
    MessageBoxA(owner, text, kErrorCaption, MB_ICONERROR);
}

// Settles the destination interactively; returns 1 with `proposal` created.
static int SettleDestination(HWND owner, const char *source, const char *prompt, char *proposal)
{
    for (;;) {
        if (!AskDestination(owner, prompt, proposal, FOLDER_SIZE)) return 0;
        if (IsSourceFolder(source, proposal)) {
            char text[256];
            LoadMsgString(MSG_SOURCE_FOLDER, text, sizeof text);
            MessageBoxA(owner, text, kErrorCaption, MB_ICONERROR);
            continue;
        }
        int problem = FolderProblem(proposal);
        if (problem != FOLDER_OK) {
            ReportRefusedFolder(owner, proposal, problem);
            continue;
        }
        if (!CreateFolderPath(proposal)) {
            char tmpl[256], text[FORMAT_BUFFER_SIZE];
            LoadMsgString(MSG_CREATE_FAILED, tmpl, sizeof tmpl);
            FormatMsgString(text, tmpl, proposal, 0u);
            MessageBoxA(owner, text, kErrorCaption, MB_ICONERROR);
            continue;
        }
        // Its short form is known only now that it exists.
        problem = DestinationProblem(proposal);
        if (problem == FOLDER_OK) return 1;
        ReportRefusedFolder(owner, proposal, problem);
    }
}

// The folder a destination is refused for holding the installation files in:
// the user's temporary folder (the run's own files sit in a folder of its own
// inside it, or in it), with its final backslash.
static void RefusedSourceFolder(const char *source, char *refused)
{
    if (!g_szTempFolder[0] || !JoinPath(refused, FOLDER_SIZE, g_szTempFolder, "")) lstrcpynA(refused, source, FOLDER_SIZE);
}

void FixMailAddress(const char *destFolder)
{
    char config[FOLDER_SIZE + 16], value[128];
    if (lstrlenA(destFolder) + 1 + lstrlenA(kConfigFile) >= (int)sizeof config) return;
    lstrcpyA(config, destFolder);
    lstrcatA(config, "\\");
    lstrcatA(config, kConfigFile);
    GetPrivateProfileStringA(kConfigSection, kMailKey, kMailMissing, value, sizeof value, config);
    char head[sizeof kMailPlaceholder];
    lstrcpynA(head, value, sizeof head);
    if (lstrcmpiA(head, kMailPlaceholder) == 0) lstrcpyA(value, kMailFixed);
    if (lstrcmpiA(value, kMailFixed) == 0) WritePrivateProfileStringA(kConfigSection, kMailKey, value, config);
}

// The closing message and the restart decision.
static void FinishInstall(HWND owner)
{
    char text[2048], caption[256];
    if (g_bRebootNeeded) {
        LoadMsgString(MSG_RESTART_AFTER_INSTALL, text, sizeof text);
        LoadMsgString(MSG_CONGRATULATIONS, caption, sizeof caption);
        if (g_bSilent) {
            if (!g_bAllowReboot) g_bRebootNeeded = 0;
        } else if (MessageBoxA(owner, text, caption, MB_SYSTEMMODAL | MB_OKCANCEL) != IDOK) {
            // Only the user's OK restarts Windows; a prompt that could not be
            // shown (0) counts as Cancel.
            g_bRebootNeeded = 0;
        }
    } else if (!g_bSilent) {
        LoadMsgString(MSG_INSTALL_OK, text, sizeof text);
        LoadMsgString(MSG_CONGRATULATIONS, caption, sizeof caption);
        MessageBoxA(owner, text, caption, MB_OK);
    }
}

int RunInstall(HWND owner, int selection, int choosable)
{
    if (!g_bSilent) {
        int action = AskAction(owner);
        if (action == ACTION_LEAVE) return 0;
        if (action == ACTION_REMOVE) return RunUninstall(owner, selection, choosable);
    }

    // The folder that holds the installation files: the run's working folder
    // (start-up also made it current: without a start-up, the current one).
    char source[FOLDER_SIZE];
    DWORD n = g_szWorkFolder[0] ? (DWORD)lstrlenA(g_szWorkFolder) : GetCurrentDirectoryA(sizeof source - 1, source);
    if (g_szWorkFolder[0]) lstrcpyA(source, g_szWorkFolder);
    // Unread, the scratch files would land at the root of a drive: the
    // temporary folder start-up made current is taken instead, and with
    // neither known nothing is installed.
    if (n == 0 || n >= sizeof source - 1) n = GetTempPathA(sizeof source - 1, source);
    if (n == 0 || n >= sizeof source - 1) return 0;
    n = (DWORD)lstrlenA(source);
    if (n > 0 && source[n - 1] != '\\') lstrcatA(source, "\\");
    PumpMessages();

    char dest[FOLDER_SIZE], prompt[256], line[FOLDER_SIZE + 64], refused[FOLDER_SIZE];
    RefusedSourceFolder(source, refused);
    ProposeDestination(dest);
    LoadMsgString(MSG_ENTER_DESTINATION, prompt, sizeof prompt);
    g_bDeferredStored = 0;
    if (g_bSilent) {
        if (lstrcmpA(dest, refused) == 0) {
            wsprintfA(line, "SourceDir=DestDir \"%s\"", refused);
            SetupLog(line);
            SetOutcome(EXIT_FAILED, "the installation failed");
            return 0;
        }
        int problem = FolderProblem(dest);
        if (problem != FOLDER_OK) {
            ReportRefusedFolder(owner, dest, problem);
            SetOutcome(EXIT_FAILED, "the installation failed");
            return 0;
        }
        if (!CreateFolderPath(dest)) {
            wsprintfA(line, "Failed to create DestDir \"%s\"", dest);
            SetupLog(line);
            SetOutcome(EXIT_FAILED, "the installation failed");
            return 0;
        }
        problem = DestinationProblem(dest);
        if (problem != FOLDER_OK) {
            ReportRefusedFolder(owner, dest, problem);
            SetOutcome(EXIT_FAILED, "the installation failed");
            return 0;
        }
    } else if (!SettleDestination(owner, refused, prompt, dest)) {
        char text[256];
        LoadMsgString(MSG_NO_DESTINATION, text, sizeof text);
        MessageBoxA(owner, text, kErrorCaption, MB_ICONERROR);
        return 0;
    }

    PumpMessages();
    DWORD report = 0;
    int chosen;
    if (g_bSilent) {
        wsprintfA(line, "nV=%d nM=%d", selection, choosable);
        SetupLog(line);
        chosen = selection;
    } else {
        chosen = AskComponents(owner, selection, choosable);
        if (chosen == 0 && !gbInstallBonusPack) {
            g_bRebootNeeded = 0;
            return 0;
        }
    }

    char failure[FAILURE_SIZE];
    for (int i = 0; i < FAILURE_SIZE; i++) failure[i] = 0;
    g_hStatusWnd = g_bSilent ? NULL : CreateStatusWindow(owner);
    DWORD flags = (DWORD)(chosen & (INSTALL_CLASSIC | INSTALL_EXPLORER | INSTALL_BROWSER | INSTALL_QUEUE));
    if (gbInstallBonusPack) flags |= INSTALL_UTILITIES;
    if (g_bSilent) flags |= INSTALL_UNATTENDED;
    g_bRebootNeeded = 0;
    HWND statusText = g_hStatusWnd ? GetDlgItem(g_hStatusWnd, IDC_STATUS_TEXT) : NULL;
    int result = RunInstallSequence(source, dest, flags, &report, owner, statusText, failure);
    SetActiveWindow(owner);
    if (g_hStatusWnd) DestroyWindow(g_hStatusWnd);
    g_hStatusWnd = NULL;

    if (!result) {
        char text[FORMAT_BUFFER_SIZE];
        LoadMsgString(MSG_PARTIAL_FAILURE, text, sizeof text);
        if (failure[0] && lstrlenA(text) + 2 + lstrlenA(failure) < (int)sizeof text) {
            lstrcatA(text, "\r\n");
            lstrcatA(text, failure);
        }
        if (!g_bSilent) MessageBoxA(owner, text, NULL, MB_OK);
        g_bRebootNeeded = 0;
        if (g_bCancelled)
            SetOutcome(EXIT_CANCELLED, "the installation was cancelled");
        else
            SetOutcome(EXIT_FAILED, "the installation failed");
        return 0;
    }
    if (report & REPORT_RESTART) g_bRebootNeeded = 1;
    FixMailAddress(dest);
    WriteProfileStringA(kRecordSection, "DEFDIR", dest);
    WriteProfileStringA(kRecordSection, "INSTOPTS", kInstallOptions);
    WriteProfileStringA(kRecordSection, "PRO", kBuildStamp);
    FinishInstall(owner);
    // Files still waiting for the next start are worth a code of their own; a
    // file moved aside, or the shell extension's wish for a restart, leave the
    // installed files complete. A restart started afterwards says so itself.
    if (g_bDeferredStored)
        SetOutcome(EXIT_RESTART_PENDING, "installed; files wait for the next start of Windows");
    else
        SetOutcome(EXIT_DONE, "installed");
    return result;
}
