// The options file Install.ini: the one the executable carries (written by
// start-up into the run's working folder), else the one beside the executable,
// read into process-wide option flags.
#ifndef VANTRO_OPTIONS_H
#define VANTRO_OPTIONS_H

#include "platform.h"

#define OPTION_TEXT_SIZE 256  // g_szLine1, g_szLine2: up to 255 characters
#define INI_PATH_SIZE 261     // g_szIniFile: up to 260 characters

extern int g_bLogging;         // setup.log is written
extern int g_bAllowReboot;     // unattended: restart without asking
extern int g_bSilent;          // unattended mode: no window, dialog or box
extern int g_bNoPass;          // record SPFLAGS "1"
extern int gbInstallBonusPack; // the FTP utilities are chosen
extern int g_iconLocation;     // 0 desktop, 1 "My Computer"
extern int g_bExplore;         // the Explorer interface is chosen
extern char g_szLine1[OPTION_TEXT_SIZE];
extern char g_szLine2[OPTION_TEXT_SIZE];
extern char g_szIniFile[INI_PATH_SIZE];  // options file in use, "" for none
extern char g_szEmbeddedIni[INI_PATH_SIZE];  // where start-up wrote the embedded one, "" for none

// Finds the options file and sets every flag, g_szLine1, g_szLine2 and
// g_szIniFile; logs the option lines when the file switches logging on.
void ReadInstallOptions(void);

// Takes the embedded options file start-up wrote (g_szEmbeddedIni), else
// "install.ini" in the executable's folder; leaves the path found in
// g_szIniFile ("" when none). A file that another program left in the
// temporary folder is never looked for: the install may run elevated, and that
// folder is open to every program of the user. Returns 1 when a file was found.
int FindInstallOptions(void);

#endif
