// The uninstall controller: the removal dialogue, from the record check to the
// closing message.
#ifndef VANTRO_UNINSTALL_H
#define VANTRO_UNINSTALL_H

#include "platform.h"

// Removes the installation recorded in WIN.INI; returns non-zero when the
// removal ran.
int RunUninstall(HWND owner, int selection, int choosable);

#endif
