// State of the simulated machine shared between the host layer's own files.
// Not for the installer's logic, which sees only platform.h.
#ifndef VANTRO_HOST_INTERNAL_H
#define VANTRO_HOST_INTERNAL_H

#include <map>
#include <string>
#include <vector>

#include "machine.h"

struct HostMachine {
    std::string root;
    std::string drives;  // upper-case letters of the drives that exist
    std::string cwd;     // Windows form, "C:\TEMP"
    std::string tempPath;
    std::string modulePath;
    std::string windowsDir;
    std::string systemDir;
    std::map<std::string, std::string> env;  // names upper-cased
    int major, minor, build, platform;
    int desktopWidth, desktopHeight;
    unsigned tempUnique;
};
HostMachine &HostState();

// Splits a Windows path into its absolute, normalised form ("C:\A\B"), resolving
// relative paths against the current directory, "." and "..". False when the
// path is empty, names no drive that exists, or has an invalid character.
bool HostAbsolutePath(const char *winPath, std::string &absolute);

// Resets for the other files of the layer, called by HostReset.
void HostResetFiles();
void HostResetFileAttributes();
// File searches end with the process that made them.
void HostResetSearches();
// The long name in a real folder whose 8.3 alias is `component`, if any.
bool HostAliasLookup(const std::string &realDir, const std::string &component, std::string &name);
void HostResetResources();
void HostResetWindows();
void HostResetRegistry();
void HostResetProcess();
void HostResetLz();
void HostResetComponents();
// A file open without delete sharing (by the program or another one).
bool HostFileHeldAgainstRename(const std::string &real);

// The system beyond the imports (system.cpp): reset with the machine or the
// process; the system's modules and the functions looked up in them; the
// process token; the processes started; the wide temporary folder.
void HostResetSystem();
void HostResetSystemProcess();
HMODULE HostSystemModuleHandle(const char *name);
bool HostIsSystemModule(HMODULE module);
FARPROC HostSystemProc(HMODULE module, const char *name);
bool HostTokenIsOpen(HANDLE token);
bool HostCloseProcessHandle(HANDLE handle);
// The ANSI form of a UTF-8 text ("?" for what Windows-1252 lacks).
std::string HostAnsiOf(const std::string &utf8);
// The wide temporary folder a test set (UTF-8), or empty.
const std::string &HostTempPathWide();
// Sets a value of any type with the given bytes.
void HostRegSetBytes(const char *path, const char *name, DWORD type, const std::string &data);

// Records a problem of the run (see HostProblems) and prints it at once.
void HostReportProblem(const std::string &what);

// Upper-cases ASCII letters, as Windows compares names.
std::string HostUpper(const std::string &s);

#endif
