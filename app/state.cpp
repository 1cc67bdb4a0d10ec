// The run's process-wide state and the window services the dialogues share.
#include "app/state.h"

HINSTANCE g_hInstance;
char g_szTempName[TEMP_NAME_SIZE];
int g_bWinNT;
int g_winMajor;
int g_winMinor;
int nV;
int nM;
HWND g_hMainWnd;
HWND g_hStatusWnd;
int g_bCancelled;

void ReadPlatformFacts(void)
{
    DWORD version = GetVersion();
    g_winMajor = LOBYTE(LOWORD(version));
    g_winMinor = HIBYTE(LOWORD(version));
    char os[256];
    DWORD osLength = GetEnvironmentVariableA("OS", os, sizeof os);
    g_bWinNT = 0;
    if (osLength > 0 && osLength < sizeof os) {
        for (const char *p = os; p[0] && p[1]; p++)
            if (p[0] == 'N' && p[1] == 'T') g_bWinNT = 1;
    }
}

void RouteMessage(MSG *msg)
{
    if (g_hStatusWnd && IsDialogMessageA(g_hStatusWnd, msg)) return;
    TranslateMessage(msg);
    DispatchMessageA(msg);
}

int PumpMessages(void)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The run is to end: stop the work as Cancel does, and leave the quit
            // for the main loop, which would otherwise never see it.
            g_bCancelled = 1;
            PostQuitMessage((int)msg.wParam);
            return 1;
        }
        RouteMessage(&msg);
    }
    return 1;
}

void CenterOnDesktop(HWND wnd)
{
    RECT rect, desktop;
    if (!GetWindowRect(wnd, &rect) || !GetWindowRect(GetDesktopWindow(), &desktop)) return;
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    int x = (desktop.right - desktop.left) / 2 - w / 2;
    int y = (desktop.bottom - desktop.top) / 2 - h / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    MoveWindow(wnd, x, y, w, h, FALSE);
}
