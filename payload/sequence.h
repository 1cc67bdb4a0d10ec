// The install sequence: every file of the chosen catalogue tables, the client's
// configuration file and the topic site lists, then the registrations and the
// record, ending with the outcome for the controller.
#ifndef VANTRO_SEQUENCE_H
#define VANTRO_SEQUENCE_H

#include "platform.h"

// Install flags handed down by the controller.
#define INSTALL_CLASSIC 0x1
#define INSTALL_EXPLORER 0x2
#define INSTALL_UTILITIES 0x4
#define INSTALL_BROWSER 0x8
#define INSTALL_QUEUE 0x10
#define INSTALL_UNATTENDED 0x10000000

// Install report bits.
#define REPORT_SUCCEEDED 0x1
#define REPORT_ICONS 0x2
#define REPORT_BASE_CLASS 0x4
#define REPORT_FAILED 0x8
#define REPORT_RESTART 0x10000

#define FAILURE_TEXT_SIZE 256  // the part of the failure text the sequence clears and fills

// Runs the whole installation into `destFolder` through scratch files in
// `sourceFolder` (ending with a separator). `report` (optional) receives the
// REPORT_* bits, `failure` (optional, at least 256 bytes) one line saying why it
// failed. Returns non-zero on success, 0 on failure.
int RunInstallSequence(const char *sourceFolder, const char *destFolder, DWORD flags, DWORD *report, HWND owner,
                       HWND statusControl, char *failure);

// Writes payload `index` (plain text) to `destFile`, replacing every
// `placeholder` by `replacement` within each line piece of up to 511
// characters. Returns 0 when at least one piece was written, -1 otherwise.
int InstallIniTemplate(const char *sourceFolder, const char *destFile, const char *placeholder,
                       const char *replacement, int index);

// Puts one line into the failure text (when there is one): `format` filled
// with `name`.
void SetFailureText(char *failure, const char *format, const char *name);

#endif
