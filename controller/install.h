// The install controller: the whole install dialogue, run by the main window's
// start command.
#ifndef VANTRO_INSTALL_H
#define VANTRO_INSTALL_H

#include "platform.h"

// Runs the install (or hands over to the removal) for the main window `owner`
// with the initial selection and the choosable components; returns 1 when the
// dialogue ended normally.
int RunInstall(HWND owner, int selection, int choosable);

// Creates the folder with every missing parent, outermost first; reports each
// level that cannot be made (log or box). Returns non-zero when the folder
// exists afterwards. The text is changed while it works and restored.
int CreateFolderPath(char *path);

// The platform's default destination on the system folder's drive:
// "\Program Files\Vantro Pro" (version 4 and later), "\WIN32APP\Vantro" (NT
// 3.x) or "\Vantro".
void DefaultDestination(char *folder, int size);

// Turns the client's placeholder mail address in destFolder\Vantro.ini into
// the product's own; leaves a real address (or none) alone.
void FixMailAddress(const char *destFolder);

#endif
