// Work left for the next start of Windows: commands stored under RunOnce (NT)
// or RunServicesOnce (Windows 95/98), the restart-needed flag, and the restart.
#ifndef VANTRO_DEFERRED_H
#define VANTRO_DEFERRED_H

#include "platform.h"

extern int g_bRebootNeeded;  // deferred work wants a restart

// Stores `command` as the first free "Brenmoor<n>" value (REG_SZ) under the
// platform's run-once key of HKEY_LOCAL_MACHINE, creating the key when needed.
// Returns 1 when stored, 0 when the key or value could not be written.
int AddDeferredCommand(const char *command);

// Enables the shutdown privilege on NT and asks Windows to restart. Failures
// are not reported: the deferred commands wait for the next start anyway.
void RestartWindows(void);

#endif
