// The removal sequence: undoes an installation in a fixed order (uninstall
// entry, namespace entries, registrations, files, icons, left-over working
// files), deferring to the next start of Windows what is still in use.
#ifndef VANTRO_REMOVAL_H
#define VANTRO_REMOVAL_H

#include "platform.h"

// Removal flags: which components' files and registrations go.
#define REMOVE_CLASSIC 1
#define REMOVE_EXPLORER 2
#define REMOVE_UTILITIES 4
#define REMOVE_OTHER 8  // no step of its own; only counts as something to do
#define REMOVE_ALL 15

#define REMOVAL_NOTE_SIZE 256    // the failure note, terminator included
#define REMOVAL_PATH_SIZE 512    // a file's full path, terminator included
#define REMOVAL_KEY_SIZE 512     // a registry key path, terminator included

// Undoes the installation in `folder` for the components of `flags`, showing
// each step in `status` (may be null) and asking `owner` whether the INI files
// go. `note` (REMOVAL_NOTE_SIZE bytes, may be null) receives "Nothing to do!"
// or the last file whose deletion was deferred. Never stops early: always 1.
int RemoveProduct(const char *folder, int flags, char *note, HWND owner, HWND status);

// Shows `text` in the status control at once; nothing when the control is
// null or no longer a window. Unattended, the text goes to the log.
void SetStatusText(HWND status, const char *text);

// Deletes the file, or moves it to its waiting name and stores its deletion for
// the next start of Windows (which sets g_bRebootNeeded). Returns 1 when the
// file is gone or was never there, 0 when it is still there for now.
int DeleteOrDefer(const char *path, char *note);

// The name a file waits under for its deferred deletion: the extension of its
// file name replaced by ".del", or ".del" appended. 0 when it does not fit.
int MakeWaitingName(const char *path, char *out, int size);

// Deletes a key with all its subkeys, on either platform's rule. 0 when the
// key cannot be opened or a child key resists (the walk then goes on past it
// and ends); otherwise 1, whether or not the key itself then went.
int DeleteKeyTree(HKEY root, const char *subkey);

// Deletes both places of both namespace entries of the Explorer interface.
// Always 1.
int DeleteNamespaceEntries(void);

// Deletes the base product class's server registration. Always 1.
int UnregisterBaseServer(void);

// Calls "DllUnregisterServer" of folder\name with the product folder current,
// then makes the earlier folder current again. A library that is missing or
// lacks the entry point is passed over. Returns 1 when the entry was called.
int UnregisterLibrary(const char *folder, const char *name);

#endif
