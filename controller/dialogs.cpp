// The action, component, help and icon-placement dialogs, and the status window.
#include "controller/dialogs.h"

#include "app/state.h"
#include "app/messages.h"
#include "app/options.h"
#include "resource.h"

static const char kRecordSection[] = "Vantro";

// ---- install or remove -----------------------------------------------------------------

// An installation counts as present when the record names its folder and its
// options.
static int InstallationRecorded(void)
{
    char folder[256];
    return GetProfileStringA(kRecordSection, "DEFDIR", "", folder, sizeof folder) > 0 &&
           GetProfileIntA(kRecordSection, "INSTOPTS", 0) != 0;
}

static INT_PTR CALLBACK ActionProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG: {
        CenterOnDesktop(dialog);
        char text[256];
        LoadMsgString(MSG_ACTION_INSTALL, text, sizeof text);
        SetDlgItemTextA(dialog, IDC_ACTION_INSTALL, text);
        LoadMsgString(MSG_ACTION_UNINSTALL, text, sizeof text);
        SetDlgItemTextA(dialog, IDC_ACTION_REMOVE, text);
        CheckRadioButton(dialog, IDC_ACTION_INSTALL, IDC_ACTION_REMOVE, IDC_ACTION_INSTALL);
        EnableWindow(GetDlgItem(dialog, IDC_ACTION_REMOVE), InstallationRecorded());
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            int action = ACTION_LEAVE;
            if (IsDlgButtonChecked(dialog, IDC_ACTION_INSTALL) == BST_CHECKED)
                action = ACTION_INSTALL;
            else if (IsDlgButtonChecked(dialog, IDC_ACTION_REMOVE) == BST_CHECKED)
                action = ACTION_REMOVE;
            EndDialog(dialog, action);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, ACTION_LEAVE);
        }
        return TRUE;
    }
    return FALSE;
}

// A dialog that cannot be shown (DialogBoxParamA gives -1) is taken as the
// user's Cancel: nothing is done without the user's say.
static INT_PTR ShownOrCancelled(INT_PTR result, INT_PTR cancelled)
{
    return result == -1 ? cancelled : result;
}

int AskAction(HWND owner)
{
    return (int)ShownOrCancelled(DialogBoxParamA(g_hInstance, "DLG_INSTALL", owner, ActionProc, 0), ACTION_LEAVE);
}

// ---- the components --------------------------------------------------------------------

static int g_workingSelection;  // the component dialog's copy of the selection
static int g_choosable;         // the components it offers

static INT_PTR CALLBACK HelpProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    if (msg == WM_INITDIALOG) return TRUE;  // keeps the template's place
    if (msg == WM_COMMAND) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

static void CheckIf(HWND dialog, int id, int on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
static int Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

static void InitComponents(HWND dialog)
{
    CenterOnDesktop(dialog);
    // The two interfaces show the proposal even where they are not offered.
    CheckIf(dialog, IDC_CLASSIC, g_workingSelection & COMPONENT_CLASSIC);
    CheckIf(dialog, IDC_EXPLORER, g_workingSelection & COMPONENT_EXPLORER);
    const int ids[] = {IDC_UTILITIES, IDC_BROWSER, IDC_QUEUE};
    const int bits[] = {COMPONENT_UTILITIES, COMPONENT_BROWSER, COMPONENT_QUEUE};
    for (int i = 0; i < 3; i++) {
        int offered = (g_choosable & bits[i]) != 0;
        EnableWindow(GetDlgItem(dialog, ids[i]), offered);
        CheckIf(dialog, ids[i], offered && (g_workingSelection & bits[i]));
    }
    EnableWindow(GetDlgItem(dialog, IDC_CLASSIC), (g_choosable & COMPONENT_CLASSIC) != 0);
    EnableWindow(GetDlgItem(dialog, IDC_EXPLORER), (g_choosable & COMPONENT_EXPLORER) != 0);
}

// OK: the selection from the boxes; browser integration and the queue count
// only with the utilities.
static void AcceptComponents(HWND dialog)
{
    int selection = 0;
    if (Checked(dialog, IDC_CLASSIC)) selection |= COMPONENT_CLASSIC;
    if (Checked(dialog, IDC_EXPLORER)) selection |= COMPONENT_EXPLORER;
    gbInstallBonusPack = Checked(dialog, IDC_UTILITIES);
    if (gbInstallBonusPack) {
        selection |= COMPONENT_UTILITIES;
        if (Checked(dialog, IDC_BROWSER)) selection |= COMPONENT_BROWSER;
        if (Checked(dialog, IDC_QUEUE)) selection |= COMPONENT_QUEUE;
    }
    if (selection == 0) {
        char text[256];
        text[0] = 0;
        LoadStringA(g_hInstance, MSG_NOTHING_SELECTED, text, sizeof text);
        MessageBoxA(dialog, text, NULL, MB_ICONERROR);
        return;
    }
    EndDialog(dialog, selection);
}

static INT_PTR CALLBACK ComponentsProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG:
        InitComponents(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_COMPONENT_HELP:
            DialogBoxParamA(g_hInstance, "DLG_32_HELP", dialog, HelpProc, 0);
            break;
        case IDC_UTILITIES:
            EnableWindow(GetDlgItem(dialog, IDC_BROWSER), Checked(dialog, IDC_UTILITIES));
            break;
        case IDOK:
            AcceptComponents(dialog);
            break;
        case IDCANCEL:
            g_workingSelection = 0;
            gbInstallBonusPack = 0;
            EndDialog(dialog, 0);
            break;
        }
        return TRUE;
    }
    return FALSE;
}

int AskComponents(HWND owner, int selection, int choosable)
{
    if (!(selection & COMPONENT_CLASSIC)) return 0;
    g_workingSelection = selection;
    g_choosable = choosable;
    INT_PTR chosen = DialogBoxParamA(g_hInstance, "DLG_VERS_32", owner, ComponentsProc, 0);
    if (chosen == -1) {
        // As Cancel: no component, and not the utilities either.
        gbInstallBonusPack = 0;
        return 0;
    }
    return (int)chosen;
}

// ---- where the Explorer icon goes ---------------------------------------------------------

static INT_PTR CALLBACK IconPlacementProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (msg == WM_INITDIALOG) {
        CheckRadioButton(dialog, IDC_ICON_DESKTOP, IDC_ICON_MYCOMPUTER,
                         g_iconLocation ? IDC_ICON_MYCOMPUTER : IDC_ICON_DESKTOP);
        CenterOnDesktop(dialog);
    } else if (msg == WM_COMMAND) {
        if (LOWORD(wParam) == IDOK) {
            g_iconLocation = Checked(dialog, IDC_ICON_MYCOMPUTER) ? 1 : 0;
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
    }
    // FALSE throughout: the dialog manager sets no initial focus.
    return FALSE;
}

int AskIconPlacement(HWND owner)
{
    return (int)ShownOrCancelled(
        DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(DLG_ICON_PLACEMENT), owner, IconPlacementProc, 0), 0);
}

// ---- the status window ----------------------------------------------------------------------

static INT_PTR CALLBACK StatusProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (msg == WM_INITDIALOG) {
        CenterOnDesktop(dialog);
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        // Seen by the install sequence after the current file; the window stays.
        g_bCancelled = 1;
        return TRUE;
    }
    return FALSE;
}

HWND CreateStatusWindow(HWND owner)
{
    return CreateDialogParamA(g_hInstance, "DLG_COPY", owner, StatusProc, 0);
}
