// robot: a small Win32 test robot that finds windows and reports on them.
//
//   robot wait-window TITLE [SECONDS]   waits until a visible top-level window
//       with this title exists; prints "client X Y W H" (the client area in
//       screen coordinates) and "window X Y W H"; exit 0, or 1 on time-out.
//   robot gone TITLE [SECONDS]          waits until no such window exists.
//   robot never-shown TITLE [SECONDS]   watches for SECONDS; exit 1 as soon as a
//       visible window with this title appears, 0 when none did.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static HWND FindVisible(const char *title)
{
    HWND wnd = FindWindowA(NULL, title);
    return (wnd && IsWindowVisible(wnd)) ? wnd : NULL;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: robot wait-window|gone TITLE [SECONDS]\n");
        return 2;
    }
    int seconds = argc > 3 ? atoi(argv[3]) : 60;
    const char *title = argv[2];
    // Poll often: an unattended run may show a window only briefly.
    for (int i = 0; i < seconds * 20; i++) {
        HWND wnd = FindVisible(title);
        if (strcmp(argv[1], "wait-window") == 0 && wnd) {
            Sleep(500);  // let it finish painting
            RECT client, window;
            POINT origin = {0, 0};
            GetClientRect(wnd, &client);
            ClientToScreen(wnd, &origin);
            GetWindowRect(wnd, &window);
            printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
            printf("window %ld %ld %ld %ld\n", window.left, window.top, window.right - window.left,
                   window.bottom - window.top);
            fflush(stdout);
            return 0;
        }
        if (strcmp(argv[1], "gone") == 0 && !FindWindowA(NULL, title)) return 0;
        if (strcmp(argv[1], "never-shown") == 0 && wnd) {
            fprintf(stderr, "robot: \"%s\" was shown\n", title);
            return 1;
        }
        Sleep(50);
    }
    if (strcmp(argv[1], "never-shown") == 0) return 0;
    fprintf(stderr, "robot: timed out on \"%s\"\n", title);
    return 1;
}
