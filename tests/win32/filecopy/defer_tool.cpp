// vantro_defer.exe: the installer's own deferred-command writer and restart,
// for scripts that watch what the next start of Windows does with them.
//
//   vantro_defer store nt|95 <command line>   AddDeferredCommand under RunOnce
//                                             (nt) or RunServicesOnce (95);
//                                             prints "stored" or "not stored"
//   vantro_defer restart nt|95                RestartWindows; prints "returned"
//                                             when the call comes back
// Exit status: 0 done, 1 not stored, 2 usage.
#include <stdio.h>
#include <string.h>

#include "app/deferred.h"
#include "app/main.h"
#include "platform.h"

int main(int argc, char **argv)
{
    int store = argc == 4 && strcmp(argv[1], "store") == 0;
    int restart = argc == 3 && strcmp(argv[1], "restart") == 0;
    if ((!store && !restart) || (strcmp(argv[2], "nt") != 0 && strcmp(argv[2], "95") != 0)) {
        fprintf(stderr, "usage: vantro_defer store nt|95 <command line> | restart nt|95\n");
        return 2;
    }
    g_bWinNT = strcmp(argv[2], "nt") == 0;
    if (store) {
        int stored = AddDeferredCommand(argv[3]);
        printf(stored ? "stored\n" : "not stored\n");
        return stored ? 0 : 1;
    }
    RestartWindows();
    printf("returned\n");
    return 0;
}
