// The main window with a controller that only waits: it keeps the real start-up
// and main window of VantroSetup.exe on screen, painted, until the test creates
// the file "shell-release" in the working folder (or two minutes pass), so a
// test can look at the window.
#include "app/main.h"
#include "controller/install.h"

int RunInstall(HWND owner, int selection, int choosable)
{
    (void)owner;
    (void)selection;
    (void)choosable;
    for (int i = 0; i < 1200; i++) {
        PumpMessages();
        if (GetFileAttributesA("shell-release") != INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    return 1;
}
