// The dialogs of the install dialogue: the action, the destination folder, the
// components, and the status window with its Cancel button.
#ifndef VANTRO_DIALOGS_H
#define VANTRO_DIALOGS_H

#include "app/state.h"

#define ACTION_LEAVE 0
#define ACTION_INSTALL 1
#define ACTION_REMOVE 2
#define IDC_STATUS_TEXT 954  // the status window's text control

// Asks install or remove; returns ACTION_LEAVE, ACTION_INSTALL or ACTION_REMOVE.
int AskAction(HWND owner);

// Asks for the destination folder, proposing `folder` (a buffer of `size`
// characters that receives the entry after OK); returns 1 after OK, 0 after
// Cancel with `folder` untouched.
int AskDestination(HWND owner, const char *prompt, char *folder, int size);

// Asks for the components; returns the chosen selection, 0 when cancelled.
int AskComponents(HWND owner, int selection, int choosable);

// Asks where the Explorer interface's icon goes; returns 1 after OK (with
// g_iconLocation set), 0 after Esc (g_iconLocation kept).
int AskIconPlacement(HWND owner);

// Creates the modeless status window owned by `owner`; returns it, or NULL.
HWND CreateStatusWindow(HWND owner);

#endif
