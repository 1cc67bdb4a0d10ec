// The group-name dialog and the list of Program Manager's groups.
#include "app/state.h"
#include "progman/progman.h"
#include "resource.h"

static char g_szGroupName[PROGMAN_GROUP_SIZE];  // the name while the dialog is up
static char g_szGroupList[PROGMAN_LIST_SIZE];   // the reply to "Groups"

// Copies a reply into the list buffer: cut at the buffer, and always ended.
static void KeepReply(HDDEDATA data)
{
    g_szGroupList[0] = 0;
    if (!data) return;
    DWORD size = 0;
    LPBYTE bytes = DdeAccessData(data, &size);
    if (!bytes) return;
    if (size > PROGMAN_LIST_SIZE - 1) size = PROGMAN_LIST_SIZE - 1;
    for (DWORD i = 0; i < size; i++) g_szGroupList[i] = (char)bytes[i];
    g_szGroupList[size] = 0;
    DdeUnaccessData(data);
}

void ProgmanListGroups(HWND combo)
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, ProgmanCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return;
    g_bDdeOpen = 1;
    g_szGroupList[0] = 0;
    HSZ service = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(instance, "Groups", CP_WINANSI);
    HCONV conv = service && item ? DdeConnect(instance, service, service, NULL) : NULL;
    if (conv) {
        DWORD status = 0;
        KeepReply(DdeClientTransaction(NULL, 0, conv, item, CF_TEXT, XTYP_REQUEST, PROGMAN_TIMEOUT, &status));
        DdeDisconnect(conv);
        // Names come one a line, CR LF or LF alone; "Startup" holds what Windows
        // starts by itself and is no place for the product's icons.
        char *p = g_szGroupList;
        while (*p) {
            while (*p == '\r' || *p == '\n') p++;
            char *name = p;
            while (*p && *p != '\r' && *p != '\n') p++;
            char end = *p;
            *p = 0;
            if (name[0] && lstrcmpiA(name, "Startup") != 0) SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)name);
            *p = end;
        }
    }
    if (item) DdeFreeStringHandle(instance, item);
    if (service) DdeFreeStringHandle(instance, service);
    DdeUninitialize(instance);  // also frees the reply
    g_bDdeOpen = 0;
}

static INT_PTR CALLBACK GroupNameProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (msg == WM_INITDIALOG) {
        CenterOnDesktop(dialog);
        ProgmanListGroups(GetDlgItem(dialog, IDC_GROUP_NAME));
        SetDlgItemTextA(dialog, IDC_GROUP_NAME, g_szGroupName);
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        if (LOWORD(wParam) == IDOK) {
            GetDlgItemTextA(dialog, IDC_GROUP_NAME, g_szGroupName, sizeof g_szGroupName);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
    }
    return FALSE;
}

int AskGroupName(HWND owner, char *name)
{
    lstrcpynA(g_szGroupName, name ? name : "", sizeof g_szGroupName);
    INT_PTR result = DialogBoxParamA(g_hInstance, "DLG_GETGROUP", owner, GroupNameProc, 0);
    // A dialog that cannot be shown is the user's Cancel, not consent to the proposal.
    if (result == -1) return 0;
    if (result && name) lstrcpyA(name, g_szGroupName);
    return (int)result;
}
