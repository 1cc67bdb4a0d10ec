// The uninstall controller. The removal sequence is not part of this build yet:
// nothing is removed.
#include "removal/uninstall.h"

int RunUninstall(HWND owner, int selection, int choosable)
{
    (void)owner;
    (void)selection;
    (void)choosable;
    return 0;
}
