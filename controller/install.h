// The install controller: the whole install dialogue, run by the main window's
// start command.
#ifndef VANTRO_INSTALL_H
#define VANTRO_INSTALL_H

#include "platform.h"

// Runs the install (or hands over to the removal) for the main window `owner`
// with the initial selection and the choosable components; returns 1 when the
// dialogue ended normally.
int RunInstall(HWND owner, int selection, int choosable);

#endif
