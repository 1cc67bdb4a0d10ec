// The uninstall controller: the removal dialogue, from the record check to the
// closing message.
#ifndef VANTRO_UNINSTALL_H
#define VANTRO_UNINSTALL_H

#include "platform.h"

#define UNINSTALL_FOLDER_SIZE 512  // the install record's DIR, terminator included
#define UNINSTALL_GROUP_SIZE 256

// Removes the installation recorded in WIN.INI, with the status window and the
// closing message (and the restart question when deletions were deferred),
// all owned by `owner`; unattended (g_bSilent), without any window or message,
// keeping the user's site lists, and without a restart. A record that names no
// folder an installation may take (a drive's root, the Windows folder...) is
// not used. The component sets are not used: every component goes. Returns
// the removal's exit code: EXIT_DONE, EXIT_RESTART_PENDING when deletions wait
// for a restart that is not made, EXIT_UNKNOWN_PRODUCT when no usable record
// was found (nothing removed), EXIT_FAILED when the record could not be
// deleted. The install controller does not use it.
int RunUninstall(HWND owner, int selection, int choosable);

// Reads the command the uninstall entry stores after the program's path,
// "-f <folder> -d <folder> -g <group>" (the folder twice, paths unquoted and
// possibly with blanks), into `folder` (UNINSTALL_FOLDER_SIZE bytes) and
// `group` (UNINSTALL_GROUP_SIZE bytes). Returns 0 for any other text.
int ParseUninstallCommand(const char *line, char *folder, char *group);

// The quiet switch ("-q") that the entry's QuietUninstallString puts before
// the command: sets *quiet and returns the rest of the line when it is there,
// else the line as it is.
const char *TakeQuietSwitch(const char *line, int *quiet);

// The product's own uninstaller (uninst32.exe), started with that command
// (after "-q": unattended, no window or message at all): the same removal as
// the remove choice, of the installation the record names, which must be the
// folder of the command. Started from the product folder, it runs the removal
// from a copy of itself in a folder of its own and waits for it, so that the
// product folder can go at once. A command it cannot read is shown (not
// unattended), and nothing is removed. Returns the exit code: that of
// RunUninstall (EXIT_DONE also after a restart the user agreed to), or
// EXIT_BAD_COMMAND_LINE when the command could not be read.
int RunStandAloneUninstall(HINSTANCE instance, const char *line);

#endif
