// The destination folder dialog and the folder picker built on the platform's
// old-style open-file dialog.
#include "controller/destination.h"

#include "app/state.h"
#include "app/messages.h"
#include "controller/dialogs.h"
#include "resource.h"

#define DEST_TEXT_SIZE 512
#define BROWSE_SIZE 260

static const char kDummyName[] = "a";
static const char kProductFolder[] = "vantro";  // looked for in lower case
static const char kProductSuffix[] = "\\Vantro";

// The prompt and folder text, shared with the browse dialog's hook while the
// dialog is open.
static char g_szPrompt[256];
static char g_szFolderText[DEST_TEXT_SIZE];

// Marks the hook as the picker's: it only shows the prompt and leaves every
// other message to the platform dialog.
static UINT_PTR CALLBACK BrowseHook(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    if (msg == WM_INITDIALOG) SetDlgItemTextA(dialog, IDC_BROWSE_PROMPT, g_szPrompt);
    return FALSE;
}

// `text` contains `lowerWord` when compared in lower case.
static int ContainsIgnoringCase(const char *text, const char *lowerWord)
{
    int n = lstrlenA(lowerWord);
    for (const char *p = text; *p; p++) {
        int i = 0;
        for (; i < n; i++) {
            char c = p[i];
            if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
            if (c != lowerWord[i]) break;
        }
        if (i == n) return 1;
    }
    return 0;
}

int BrowseForFolder(HWND owner, const char *start, char *result)
{
    lstrcpyA(result, kDummyName);
    char filter[300], title[256];
    char name[256];
    LoadMsgString(MSG_ALL_FILES, name, sizeof name);
    wsprintfA(filter, "%s (*.*)|*.*|", name);
    for (char *p = filter; *p; p++)
        if (*p == '|') *p = 0;
    LoadMsgString(MSG_LOCATE, title, sizeof title);

    OPENFILENAMEA ofn;
    char *bytes = (char *)&ofn;
    for (unsigned i = 0; i < sizeof ofn; i++) bytes[i] = 0;
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.hInstance = g_hInstance;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = result;
    ofn.nMaxFile = BROWSE_SIZE;
    ofn.lpstrInitialDir = start;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
    ofn.lpfnHook = BrowseHook;
    ofn.lpTemplateName = "DLG_BROWSE";
    // The picker moves the process's current folder to wherever the user
    // browsed; the run's working folder is the temporary folder, so it goes back.
    char working[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof working, working);
    BOOL picked = GetOpenFileNameA(&ofn);
    if (n > 0 && n < sizeof working) SetCurrentDirectoryA(working);
    if (!picked) return 0;

    // The path of the dummy file in the folder the user ended in: keep the folder.
    char *slash = NULL;
    for (char *p = result; *p; p++)
        if (*p == '\\') slash = p;
    if (slash) *slash = 0;
    if (!ContainsIgnoringCase(result, kProductFolder)) {
        // A general folder such as C:\Program Files gets a product folder inside.
        if (lstrlenA(result) + lstrlenA(kProductSuffix) >= BROWSE_SIZE) return 0;
        lstrcatA(result, kProductSuffix);
    }
    return 1;
}

static INT_PTR CALLBACK DestinationProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        CenterOnDesktop(dialog);
        SetDlgItemTextA(dialog, IDC_DEST_PROMPT, g_szPrompt);
        SetDlgItemTextA(dialog, IDC_DEST_FOLDER, g_szFolderText);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            GetDlgItemTextA(dialog, IDC_DEST_FOLDER, g_szFolderText, DEST_TEXT_SIZE);
            EndDialog(dialog, 1);
            break;
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        case IDC_DEST_BROWSE: {
            char picked[BROWSE_SIZE];
            for (int i = 0; i < DEST_TEXT_SIZE; i++) g_szFolderText[i] = 0;
            GetDlgItemTextA(dialog, IDC_DEST_FOLDER, g_szFolderText, DEST_TEXT_SIZE);
            if (BrowseForFolder(dialog, g_szFolderText, picked)) SetDlgItemTextA(dialog, IDC_DEST_FOLDER, picked);
            break;
        }
        }
        return TRUE;
    }
    return FALSE;
}

int AskDestination(HWND owner, const char *prompt, char *folder, int size)
{
    lstrcpynA(g_szPrompt, prompt, sizeof g_szPrompt);
    lstrcpynA(g_szFolderText, folder, sizeof g_szFolderText);
    INT_PTR shown = DialogBoxParamA(g_hInstance, "DLG_GETDIR", owner, DestinationProc, 0);
    // A dialog that cannot be shown is the user's Cancel.
    int result = shown == -1 ? 0 : (int)shown;
    if (result) lstrcpynA(folder, g_szFolderText, size);
    return result;
}
