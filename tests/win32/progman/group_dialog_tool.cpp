// vantro_group_dialog: shows the group-name dialog as the install does, for a
// robot to work (tests/e2e/progman-dialog).
//
//   vantro_group_dialog PROPOSAL
//
// Prints "result R" (AskGroupName's result) and "name NAME" (the caller's
// buffer afterwards) and exits with R.
#include <stdio.h>

#include "app/main.h"
#include "platform.h"
#include "progman/progman.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: vantro_group_dialog PROPOSAL\n");
        return 2;
    }
    g_hInstance = GetModuleHandleA(NULL);
    char name[PROGMAN_GROUP_SIZE];
    lstrcpynA(name, argv[1], sizeof name);
    int result = AskGroupName(NULL, name);
    printf("result %d\nname %s\n", result, name);
    fflush(stdout);
    return result;
}
