// Where the libraries of the run come from. The installer runs with
// administrator rights from a folder any program of the user can write to (a
// Downloads folder), and its working folders are the user's too: no library
// may ever be found there by name.
#ifndef VANTRO_LIBRARIES_H
#define VANTRO_LIBRARIES_H

#include "platform.h"

// Restricts the library search of the whole process to the system folder
// (SetDefaultDllDirectories, where the system has it), or else takes the
// current folder out of it (SetDllDirectoryA("")). Called first thing, before
// any library is loaded. Returns 1 when the search is restricted to the system
// folder.
int RestrictLibrarySearch(void);
extern int g_bSearchRestricted;  // the process searches the system folder alone

// Loads a product library by its full path so that the libraries it imports
// come from its own folder and the system, never from the installer's folder
// or the current folder. NULL when it does not load (the error is set).
HMODULE LoadProductLibrary(const char *path);

// An export of a loaded library as the type its caller declares; NULL when
// the library has none of that name.
template <typename Proc> Proc ExportOf(HMODULE library, const char *name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(GetProcAddress(library, name)));
}

// A function of a system module ("kernel32.dll", "advapi32.dll"), looked up by
// name because some of the systems the program runs on lack it; NULL then.
template <typename Proc> Proc SystemFunction(const char *module, const char *name)
{
    HMODULE library = GetModuleHandleA(module);
    return library ? ExportOf<Proc>(library, name) : NULL;
}

#endif
