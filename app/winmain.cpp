// The entry point of VantroSetup.exe, apart from the rest of start-up so that
// the product's own uninstaller can share the start-up code with an entry of its own.
#include "app/libraries.h"
#include "app/main.h"
#include "app/workfolder.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int show)
{
    (void)cmdLine;
    (void)show;
    // Before anything loads a library: none may come from this folder or the
    // current one.
    RestrictLibrarySearch();
    int exitCode;
    if (!InitSetup(instance, previous, &exitCode)) return exitCode;
    exitCode = RunMessageLoop();
    // Whatever ended the run, its private folder goes.
    RemoveWorkFolder();
    return exitCode;
}
