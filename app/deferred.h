// Work left for the next start of Windows: commands stored under RunOnce (NT)
// or RunServicesOnce (Windows 95/98), deletions the system carries out itself
// in the order they were stored, the restart-needed flag, and the restart.
#ifndef VANTRO_DEFERRED_H
#define VANTRO_DEFERRED_H

#include "platform.h"

extern int g_bRebootNeeded;     // deferred work wants a restart
extern int g_bDeferredStored;   // this run left work for the next start of Windows

// Stores `command` as the first free "Brenmoor<n>" value (REG_SZ) under the
// platform's run-once key of HKEY_LOCAL_MACHINE, creating the key when needed.
// Returns 1 when stored (and sets g_bDeferredStored), 0 when the key or value
// could not be written.
int AddDeferredCommand(const char *command);

// Leaves the deletion of a file or an empty folder to the next start of
// Windows, which works through such deletions in the order they were stored,
// before any program runs: on NT with MoveFileExA (MOVEFILE_DELAY_UNTIL_REBOOT);
// on Windows 95 and 98, which have no such call, a "NUL=<short path>" line in
// the [rename] section of WININIT.INI in the Windows folder (files only).
// Returns 1 when stored (and sets g_bDeferredStored), 0 otherwise.
int DeferDeletion(const char *path);

// The same, for the run's own leftovers (its working folder and what is in
// it): g_bDeferredStored is left alone, since no one needs the next start.
int DeleteAtNextStart(const char *path);

// Enables the shutdown privilege on NT and asks Windows to restart. Returns 1
// when Windows accepted the request; failures are not reported otherwise: the
// deferred work waits for the next start anyway.
int RestartWindows(void);

#endif
