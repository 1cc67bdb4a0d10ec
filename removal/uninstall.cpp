// The uninstall controller.
#include "removal/uninstall.h"

#include "app/deferred.h"
#include "app/main.h"
#include "app/messages.h"
#include "controller/dialogs.h"
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
