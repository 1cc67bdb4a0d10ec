// The install controller.
#include "controller/install.h"

int RunInstall(HWND owner, int selection, int choosable)
{
    (void)owner;
    (void)selection;
    (void)choosable;
    return 1;
}
