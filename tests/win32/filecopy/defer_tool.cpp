// vantro_defer.exe: the installer's own deferred-command writer and restart,
// for scripts that watch what the next start of Windows does with them.
//
//   vantro_defer STEP...   runs the steps in order, in one process:
//     nt | 95          the platform the following steps take (g_bWinNT); nt at first
//     short PATH       prints the 8.3 form of PATH (GetShortPathNameA), or "-"
//     store COMMAND    AddDeferredCommand: RunOnce on nt, RunServicesOnce on 95;
//                      prints "stored" or "not stored"
//     restart          RestartWindows; prints "returned" when the call comes back
// Exit status: 0 when every step did its work, 1 when one did not, 2 usage.
#include <stdio.h>
#include <string.h>

#include "app/deferred.h"
#include "app/main.h"
#include "platform.h"

int main(int argc, char **argv)
{
    int status = 0;
    g_bWinNT = 1;
    for (int i = 1; i < argc; i++) {
        const char *step = argv[i];
        if (strcmp(step, "nt") == 0 || strcmp(step, "95") == 0) {
            g_bWinNT = step[0] == 'n';
        } else if (strcmp(step, "short") == 0 && i + 1 < argc) {
            char out[MAX_PATH];
            DWORD n = GetShortPathNameA(argv[++i], out, sizeof out);
            if (n == 0 || n >= sizeof out) status = 1;
            printf("%s\n", n == 0 || n >= sizeof out ? "-" : out);
        } else if (strcmp(step, "store") == 0 && i + 1 < argc) {
            int stored = AddDeferredCommand(argv[++i]);
            if (!stored) status = 1;
            printf(stored ? "stored\n" : "not stored\n");
        } else if (strcmp(step, "restart") == 0) {
            fflush(stdout);
            RestartWindows();
            printf("returned\n");
        } else {
            fprintf(stderr, "usage: vantro_defer [nt|95] [short PATH] [store COMMAND] [restart] ...\n");
            return 2;
        }
        fflush(stdout);
    }
    return status;
}
