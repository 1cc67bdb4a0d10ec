// uninst32.exe: the product's own uninstaller. Add/Remove Programs starts it
// with the command the uninstall entry stores,
//     "<folder>\uninst32.exe" -f <folder> -d <folder> -g <group>
// and it runs the installer's own removal (removal/), with the same status
// window and messages. It ends as any file in use does: under its waiting name,
// deleted at the next start of Windows.
#include "app/libraries.h"
#include "removal/uninstall.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    (void)previous;
    (void)show;
    // Before anything loads a library: none may come from this folder or the
    // current one.
    RestrictLibrarySearch();
    return RunStandAloneUninstall(instance, commandLine ? commandLine : "");
}
