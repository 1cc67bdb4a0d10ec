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

#define UNINSTALL_GROUP_SIZE 256

// Reads the command the uninstall entry stores after the program's path,
// "-f <folder> -d <folder> -g <group>" (the folder twice, paths unquoted and
// possibly with blanks), into `folder` (UNINSTALL_FOLDER_SIZE bytes) and
// `group` (UNINSTALL_GROUP_SIZE bytes). Returns 0 for any other text.
int ParseUninstallCommand(const char *line, char *folder, char *group);

// The product's own uninstaller (uninst32.exe), started with that command: the
// same removal as the remove choice, of the installation the record names,
// which must be the folder of the command. A command it cannot read is shown,
// and nothing is removed. Returns the exit code: 0 after a removal ran, 1 when
// the command could not be read, 2 when the record names no such installation.
int RunStandAloneUninstall(HINSTANCE instance, const char *line);

#endif
