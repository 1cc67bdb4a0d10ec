// The uninstall controller.
#include "removal/uninstall.h"

#include "app/deferred.h"
#include "app/main.h"
#include "app/messages.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"
#include "removal/removal.h"
#include "resource.h"

#define TEXT_SIZE 256
#define MESSAGE_SIZE 1024  // 10016 with the folder: the text and a whole DIR fit
#define COMMAND_SIZE 512
#define SHORT_PATH_SIZE 261

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

// Stores the removal of the folder for the next start of Windows, after the
// deferred deletions of its files. Its result is not looked at: the restart
// question follows either way.
static void DeferFolderRemoval(const char *folder)
{
    char shortName[SHORT_PATH_SIZE];
    char command[COMMAND_SIZE];
    for (int i = 0; i < SHORT_PATH_SIZE; i++) shortName[i] = 0;
    for (int i = 0; i < COMMAND_SIZE; i++) command[i] = 0;
    DWORD n = GetShortPathNameA(folder, shortName, MAX_PATH);
    // Without a short name there is nothing the interpreter could remove.
    if (n == 0 || n >= MAX_PATH) return;
    wsprintfA(command, "%s /c rmdir %s ", g_bWinNT ? "cmd.exe" : "command.com", shortName);
    AddDeferredCommand(command);
}

int RunUninstall(HWND owner, int selection, int choosable)
{
    (void)selection;
    (void)choosable;
    char caption[TEXT_SIZE];
    char text[TEXT_SIZE];
    LoadMsgString(MSG_REMOVE_CAPTION, caption, sizeof caption);

    char folder[UNINSTALL_FOLDER_SIZE];
    if (GetProfileStringA("Vantro", "DIR", "", folder, sizeof folder) == 0 ||
        GetProfileIntA("Vantro", "INSTOPTS", 0) == 0) {
        // Nothing is removed, and the record stays as it is.
        LoadMsgString(MSG_INSUFFICIENT_INFO, text, sizeof text);
        MessageBoxA(owner, text, caption, MB_ICONINFORMATION);
        return 0;
    }

    HWND status = OpenRemovalStatus(owner);
    g_hStatusWnd = status;
    g_bRebootNeeded = 0;
    char note[REMOVAL_NOTE_SIZE];  // filled by the sequence, not shown
    int folderResult = -1;
    if (RemoveProduct(folder, REMOVE_ALL, note, owner, status ? GetDlgItem(status, IDC_STATUS_TEXT) : NULL))
        folderResult = RemoveDirectoryA(folder) ? 0 : -1;
    SetActiveWindow(owner);
    if (status) DestroyWindow(status);
    g_hStatusWnd = NULL;

    // The record goes whatever the outcome.
    WriteProfileStringA("Vantro", NULL, NULL);

    if (folderResult == 0) {
        LoadMsgString(MSG_REMOVAL_COMPLETE, text, sizeof text);
        MessageBoxA(owner, text, caption, MB_ICONINFORMATION);
    } else if (g_bRebootNeeded) {
        DeferFolderRemoval(folder);
        char congratulations[TEXT_SIZE];
        char prompt[MESSAGE_SIZE];
        LoadMsgString(MSG_RESTART_AFTER_REMOVE, prompt, sizeof prompt);
        LoadMsgString(MSG_CONGRATULATIONS, congratulations, sizeof congratulations);
        // Cancel: no restart now; the stored commands run at the user's next one.
        if (MessageBoxA(owner, prompt, congratulations, MB_SYSTEMMODAL | MB_OKCANCEL) == IDCANCEL)
            g_bRebootNeeded = 0;
    } else {
        char message[MESSAGE_SIZE];
        LoadMsgString(MSG_REMOVAL_EXCESS, text, sizeof text);
        wsprintfA(message, text, folder);
        MessageBoxA(owner, message, caption, MB_ICONINFORMATION);
    }
    return 0;
}

// Compares n characters ignoring case, as Windows compares names.
static int SameText(const char *a, const char *b, int n)
{
    for (int i = 0; i < n; i++) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = (char)(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = (char)(y - 'a' + 'A');
        if (x != y) return 0;
    }
    return 1;
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

int ParseUninstallCommand(const char *line, char *folder, char *group)
{
    folder[0] = group[0] = 0;
    while (*line == ' ' || *line == '\t') line++;
    int length = lstrlenA(line);
    while (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\t' || line[length - 1] == '\r' ||
                          line[length - 1] == '\n'))
        length--;
    if (length < 3 || !SameText(line, "-f ", 3)) return 0;
    const char *rest = line + 3;
    int restLength = length - 3;
    // The folder may hold " -d " itself: the split is where the same folder
    // follows the switch, then " -g " and a group.
    for (int f = 1; f + 4 + f + 4 < restLength; f++) {
        if (!SameText(rest + f, " -d ", 4) || !SameText(rest + f + 4, rest, f) ||
            !SameText(rest + f + 4 + f, " -g ", 4))
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

// The same folder, written with or without a final backslash.
static int SameFolder(const char *a, const char *b)
{
    int n = lstrlenA(a), m = lstrlenA(b);
    if (n > 0 && a[n - 1] == '\\') n--;
    if (m > 0 && b[m - 1] == '\\') m--;
    return n == m && SameText(a, b, n);
}

int RunStandAloneUninstall(HINSTANCE instance, const char *line)
{
    g_hInstance = instance;
    ReadPlatformFacts();
    LoadCatalogueCaptions();
    // Started from the product folder, the process would keep it from going.
    char temp[MAX_PATH + 1];
    DWORD n = GetTempPathA(MAX_PATH, temp);
    if (n > 0 && n < MAX_PATH) SetCurrentDirectoryA(temp);

    char caption[TEXT_SIZE];
    char text[TEXT_SIZE];
    LoadMsgString(MSG_REMOVE_CAPTION, caption, sizeof caption);
    char folder[UNINSTALL_FOLDER_SIZE];
    char group[UNINSTALL_GROUP_SIZE];
    if (!ParseUninstallCommand(line, folder, group)) {
        // Shown only: a command too long for the message is cut here.
        char shown[TEXT_SIZE * 2];
        lstrcpynA(shown, line, sizeof shown);
        char message[MESSAGE_SIZE];
        LoadMsgString(MSG_UNINSTALL_COMMAND_UNREADABLE, text, sizeof text);
        wsprintfA(message, text, shown);
        MessageBoxA(NULL, message, caption, MB_ICONERROR);
        return 1;
    }
    // The entry and the record are written by the same install: a record of
    // another folder is not the installation this entry describes.
    char recorded[UNINSTALL_FOLDER_SIZE];
    GetProfileStringA("Vantro", "DIR", "", recorded, sizeof recorded);
    if (!SameFolder(recorded, folder)) {
        LoadMsgString(MSG_INSUFFICIENT_INFO, text, sizeof text);
        MessageBoxA(NULL, text, caption, MB_ICONINFORMATION);
        return 2;
    }
    RunUninstall(NULL, 0, 0);
    if (g_bRebootNeeded) RestartWindows();
    return 0;
}
