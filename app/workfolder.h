// The folders a run works in. The user's temporary folder is where setup.log
// goes and what a destination is compared with; the run's own files (the
// scratch file, the embedded options file) go into its working folder. Run
// with administrator rights on NT, that is a folder of its own inside the
// temporary folder that only SYSTEM and Administrators can open, kept from
// being renamed while the run lasts: the temporary folder is open to every
// program of the user, who must not be able to slip a file of theirs into an
// elevated install. Otherwise (no such rights to protect, or Windows 95/98,
// which has no file security) it is the temporary folder itself.
#ifndef VANTRO_WORKFOLDER_H
#define VANTRO_WORKFOLDER_H

#include "platform.h"

#define WORK_FOLDER_SIZE 261  // a folder, without a final backslash, terminator included

extern char g_szTempFolder[WORK_FOLDER_SIZE];  // the user's temporary folder in use, "" before start-up
extern char g_szWorkFolder[WORK_FOLDER_SIZE];  // the run's working folder, "" before start-up
extern int g_bPrivateFolder;                   // the working folder is a folder of this run's own
extern HANDLE g_hWorkFolder;  // that folder, held open so that it cannot be renamed or replaced

// 1 when the process runs on NT with the Administrators group enabled in its
// token (an elevated administrator); 0 otherwise, and always on Windows 95/98.
int HasAdministratorRights(void);

// Finds a temporary folder the run can use, into `out` (WORK_FOLDER_SIZE
// bytes, no final backslash): the one the system names, when its path is what
// the ANSI code page can show (on NT, where a user's name is outside the code
// page, the short form of the real path, which is ASCII), it is no system
// folder, drive root or Program Files folder, none of it is a junction or a
// link, and a file can be made in it; else the Windows folder's "Temp".
// Returns 0 when none works.
int FindTempFolder(char *out);

// Sets g_szTempFolder to `temp` and makes the working folder: a private folder
// inside it when the process has administrator rights on NT; else, with
// `always`, a plain folder of the run's own inside it (for a program that must
// run from outside its installation), or `temp` itself. Returns 0 when a
// folder of its own was needed and could not be made.
int MakeWorkFolder(const char *temp, int always);

// The security descriptor of the private folder (self-relative): full control
// for SYSTEM and Administrators, inherited by everything made inside it, and
// nothing inherited from the temporary folder. Its size in bytes.
int PrivateFolderSecurity(const BYTE **descriptor);

// Removes the run's own working folder with everything in it (what cannot go
// now goes at the next start of Windows; on Windows 95 and 98 an empty folder
// that cannot go stays); nothing when the run works in the temporary folder.
// Safe to call more than once.
void RemoveWorkFolder(void);

#endif
