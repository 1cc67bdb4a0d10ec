// Paths as the installer builds and checks them: a folder joined with a name,
// the form in which a command run at the next start of Windows names a path,
// the platform's own folders, and the folders an installation may not take.
// Every caller builds and checks paths here, so that each rule lives once.
#ifndef VANTRO_PATHS_H
#define VANTRO_PATHS_H

#include "platform.h"

// Joins folder, "\" (unless the folder is empty or already ends with "\" or
// "/") and name into `out` (`size` bytes). Returns 0, with `out` empty, when it
// would not fit: a cut path would name another file.
int JoinPath(char *out, int size, const char *folder, const char *name);

// The file name part of a path: after its last "\" or "/".
const char *FileNamePart(const char *path);

// Compares two texts ignoring case as the system folds it for the ANSI code
// page; 1 when equal.
int SameText(const char *a, const char *b);

// The same folder, written with or without a final backslash, ignoring case.
int SameFolder(const char *a, const char *b);

// 1 when `path` is the folder `outer` or lies inside it, at any depth (both
// compared as written, ignoring case).
int IsWithin(const char *path, const char *outer);

// The form in which a command run at the next start of Windows names an
// existing path as one argument: its short (8.3) form, or the long one where
// the file system has none, in double quotes when it holds a blank or another
// character at which the interpreter splits arguments. Returns 0 (and `out`
// empty) when no form is safe: it holds "%", "!", a double quote or a control
// character, which the interpreter acts on even in quotes, or, unquoted, one
// of & | < > ^ ( ), which would end the command and start another; or when it
// does not fit `size` bytes.
int CommandPathOf(const char *path, char *out, int size);

// 1 when `path`, or a folder above it, exists as a reparse point (a junction
// or a symbolic link): what is reached through it is not what the path says.
int HasReparsePoint(const char *path);

// The platform's Program Files folder, "ProgramFilesDir" of
// HKLM\Software\Microsoft\Windows\CurrentVersion (read by a 32-bit program
// from its own view: "C:\Program Files (x86)" on 64-bit Windows). Returns 0
// when the value is missing or is not a plain absolute folder.
int ProgramFilesFolder(char *out, int size);

// Why a folder cannot be an installation's own (0: it can).
#define FOLDER_OK 0
#define FOLDER_NOT_PLAIN 1       // not "X:\name\..." with plain names
#define FOLDER_ROOT 2            // a drive's root
#define FOLDER_WINDOWS 3         // the Windows folder or a folder inside it
#define FOLDER_SYSTEM 4          // the system folder or a folder inside it
#define FOLDER_PROGRAM_FILES 5   // the Program Files folder itself
#define FOLDER_COMMAND_UNSAFE 6  // no command could name it safely (see CommandPathOf)

// Whether `folder` may hold an installation: a plain absolute folder ("X:\"
// followed by names, each without the characters Windows forbids, without "."
// or ".." and not ending in a dot or a blank), not a drive's root, not inside
// the Windows or the system folder and not the Program Files folder itself.
// Existing folders are compared by their short forms too, so that an 8.3
// alias does not pass. Returns FOLDER_OK or the first reason found.
int FolderProblem(const char *folder);

// FolderProblem, and also, for an existing folder, CommandPathOf: the folder
// an install writes into, whose files may be named by deferred commands.
int DestinationProblem(const char *folder);

// The reason in words, for a log line ("the Windows folder", ...).
const char *FolderProblemText(int problem);

#endif
