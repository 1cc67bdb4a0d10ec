// How a run ends for whoever started it: deployment tools and administrators'
// scripts learn the outcome of an unattended install or removal only from its
// exit code, so the codes are those they already read from Windows Installer.
// Interactive runs end with 0 (the user has seen the outcome); the window's
// start-up failures with their own codes (-1, 2); a run that finds no
// temporary folder it can write to with EXIT_FAILED, in either mode.
#ifndef VANTRO_OUTCOME_H
#define VANTRO_OUTCOME_H

#include "platform.h"

#define EXIT_DONE 0                 // done
#define EXIT_RESTART_PENDING 3010   // done; files wait for the next start of Windows, which was not started
#define EXIT_RESTART_STARTED 1641   // done; Windows is restarting
#define EXIT_FAILED 1603            // a phase failed, no destination, nothing could be written
#define EXIT_CANCELLED 1602         // stopped before its end
#define EXIT_UNKNOWN_PRODUCT 1605   // the removal found no installation it could remove
#define EXIT_BAD_COMMAND_LINE 1639  // the removal's command line cannot be read

#define OUTCOME_SIZE 128

extern int g_exitCode;                   // the process's exit code, set when the outcome is known
extern char g_szOutcome[OUTCOME_SIZE];   // the recorded outcome in words, "" for none

// Records the outcome of an unattended run: g_exitCode, and what it means in
// words for the log ("installed", "the installation failed", ...). Nothing in
// an interactive run, which ends with 0.
void SetOutcome(int code, const char *what);

// Unattended, appends the last line of setup.log, which names the outcome with
// its code: "Exit code <code>: <what>." Nothing when no outcome was recorded.
void LogOutcome(void);

#endif
