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

// Records a problem of the run (see HostProblems) and prints it at once.
void HostReportProblem(const std::string &what);

// Upper-cases ASCII letters, as Windows compares names.
std::string HostUpper(const std::string &s);

#endif
