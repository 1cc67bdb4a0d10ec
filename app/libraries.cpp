// The library search of the run, and product libraries loaded by full path.
#include "app/libraries.h"

typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD flags);
typedef BOOL(WINAPI *SetDllDirectoryProc)(LPCSTR path);

int g_bSearchRestricted;

int RestrictLibrarySearch(void)
{
    // Both functions came after the first systems the program runs on: they are
    // looked up, never imported. Windows 95, 98 and NT 4 have neither; there the
    // program imports nothing but DLLs the system loads from its own folder
    // (its known DLLs; LZ32 is loaded by full path), and loads every other
    // library by full path, so no search for a library by name is ever made.
    SetDefaultDllDirectoriesProc restrictSearch =
        SystemFunction<SetDefaultDllDirectoriesProc>("kernel32.dll", "SetDefaultDllDirectories");
    if (restrictSearch && restrictSearch(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        g_bSearchRestricted = 1;
        return 1;
    }
    SetDllDirectoryProc directory = SystemFunction<SetDllDirectoryProc>("kernel32.dll", "SetDllDirectoryA");
    if (directory) directory("");  // the current folder leaves the search; its result changes nothing here
    return 0;
}

HMODULE LoadProductLibrary(const char *path)
{
    // Restricted: the library's own folder and the system folder. Otherwise the
    // altered search puts the library's folder where the program's would be;
    // the callers make the product folder current while its libraries work.
    DWORD flags = g_bSearchRestricted ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                                      : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExA(path, NULL, flags);
}
