// The install dialogue's dialogs. Until the dialog templates are in place, each
// takes its proposal as it stands: install, the proposed folder, the proposed
// components, and no status window.
#include "controller/dialogs.h"

int g_bCancelled;

int AskAction(HWND owner)
{
    (void)owner;
    return ACTION_INSTALL;
}

int AskDestination(HWND owner, const char *prompt, char *folder, int size)
{
    (void)owner;
    (void)prompt;
    (void)folder;
    (void)size;
    return 1;
}

int AskComponents(HWND owner, int selection, int choosable)
{
    (void)owner;
    (void)choosable;
    return selection;
}

HWND CreateStatusWindow(HWND owner)
{
    (void)owner;
    return NULL;
}
