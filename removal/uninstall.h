// The uninstall controller: the removal dialogue, from the record check to the
// closing message.
#ifndef VANTRO_UNINSTALL_H
#define VANTRO_UNINSTALL_H

#include "platform.h"

#define UNINSTALL_FOLDER_SIZE 512  // the install record's DIR, terminator included

// Removes the installation recorded in WIN.INI, with the status window and the
// closing message (and the restart question when deletions were deferred),
// all owned by `owner`. The component sets are not used: every component goes.
// Always 0.
int RunUninstall(HWND owner, int selection, int choosable);

#endif
