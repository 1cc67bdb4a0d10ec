// The entry point of VantroSetup.exe, apart from the rest of start-up so that
// the product's own uninstaller can share the start-up code with an entry of its own.
#include "app/main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int show)
{
    (void)cmdLine;
    (void)show;
    int exitCode;
    if (!InitSetup(instance, previous, &exitCode)) return exitCode;
    return RunMessageLoop();
}
