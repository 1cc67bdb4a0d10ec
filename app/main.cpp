// Entry point and main window.
#include "app/main.h"

#include "app/deferred.h"
#include "app/messages.h"
#include "app/options.h"
#include "controller/dialogs.h"
#include "controller/install.h"
#include "payload/catalogue.h"
#include "payload/extract.h"
#include "resource.h"

HINSTANCE g_hInstance;
char g_szTempName[TEMP_NAME_SIZE];
int g_bWinNT;
int g_winMajor;
int g_winMinor;
int nV;
int nM;
HWND g_hMainWnd;
HWND g_hStatusWnd;

const char kMainClassName[] = "VNInstal";
const char kMainTitle[] = "Vantro Pro Install (32)";

static HBITMAP g_hProductLogo;  // "VN_BMP"
static HBITMAP g_hMakerLogo;    // "BRENMOOR"
static int g_bDialogueRunning;   // the start command's dialogue has not returned yet

void ComputeComponentMasks(int winNT, int major, int minor, int explore, int bonus, int *selection, int *choosable)
{
    // Classic interface, browser integration and the queue at start-up.
    int modern = 25 + (explore ? COMPONENT_EXPLORER : 0) + (bonus ? COMPONENT_UTILITIES : 0);
    if (winNT) {
        if (major >= 4) {
            *choosable = 31;
            *selection = modern;
        } else {
            *choosable = 5;
            *selection = 5;
        }
    } else if (major >= 4 || minor >= 50) {
        *choosable = 31;
        *selection = modern;
    } else {
        *choosable = 3;
        *selection = 1;
    }
}

void MainWindowPlacement(const RECT *desktop, int *x, int *y, int *width, int *height)
{
    int w = ((desktop->right - desktop->left) / 5) * 4;
    int h = ((desktop->bottom - desktop->top) / 5) * 4;
    if (w < 600) w = 600;
    if (h < 400) h = 400;
    *width = w;
    *height = h;
    *x = (desktop->right - w) / 2;
    *y = (desktop->bottom - h) / 2;
}

// Routes one message: the status window's dialog keys first, then the window.
static void RouteMessage(MSG *msg)
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

static void ReleaseLogos(void)
{
    if (g_hMakerLogo) DeleteObject(g_hMakerLogo);
    if (g_hProductLogo) DeleteObject(g_hProductLogo);
    g_hMakerLogo = NULL;
    g_hProductLogo = NULL;
}

// Copies a loaded bitmap at its full size to (x, y) of the painted window.
static void PaintBitmap(HDC dc, HDC memory, HBITMAP bitmap, int x, int y)
{
    BITMAP info;
    if (!GetObjectA(bitmap, sizeof info, &info)) return;
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
}

static void PaintLogos(HWND wnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT client;
    GetClientRect(wnd, &client);
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
        if (g_hProductLogo) PaintBitmap(dc, memory, g_hProductLogo, 10, 10);
        if (g_hMakerLogo) {
            BITMAP info;
            if (GetObjectA(g_hMakerLogo, sizeof info, &info))
                PaintBitmap(dc, memory, g_hMakerLogo, client.right - info.bmWidth, client.bottom - info.bmHeight);
        }
        DeleteDC(memory);
    }
    EndPaint(wnd, &ps);
}

// The start command: the whole dialogue, then the clean-up and the close.
static void RunStartSequence(HWND wnd)
{
    g_bDialogueRunning = 1;
    RunInstall(wnd, nV, nM);
    g_bDialogueRunning = 0;
    RemovePayloadTemps();
    PostMessageA(wnd, WM_CLOSE, 0, 0);
    if ((!g_bSilent || g_bAllowReboot) && g_bRebootNeeded) RestartWindows();
}

LRESULT CALLBACK MainWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        g_hMakerLogo = LoadBitmapA(g_hInstance, "BRENMOOR");
        g_hProductLogo = LoadBitmapA(g_hInstance, "VN_BMP");
        LoadCatalogueCaptions();
        return 0;
    case WM_PAINT:
        // Unattended, the window is never shown; should a paint come anyway,
        // let the default validate it rather than paint or loop.
        if (g_bSilent) return DefWindowProcA(wnd, msg, wParam, lParam);
        PaintLogos(wnd);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_START) RunStartSequence(wnd);
        return 0;
    case WM_CLOSE:
        if (g_bDialogueRunning) {
            // Closed while the files are copied: the copy stops after the current
            // file, as with Cancel, and the window closes once the dialogue has
            // ended (the start command then closes it).
            g_bCancelled = 1;
            return 0;
        }
        PostQuitMessage(0);
        ReleaseLogos();
        return DefWindowProcA(wnd, msg, wParam, lParam);
    case WM_DESTROY:
        ReleaseLogos();
        return DefWindowProcA(wnd, msg, wParam, lParam);
    default:
        return DefWindowProcA(wnd, msg, wParam, lParam);
    }
}

// Start-up failures are shown (unless unattended) with no owner and no caption.
static void StartupFailure(UINT id)
{
    char text[256];
    LoadMsgString(id, text, sizeof text);
    if (!g_bSilent) MessageBoxA(NULL, text, NULL, MB_OK | MB_ICONWARNING);
}

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

int InitSetup(HINSTANCE instance, HINSTANCE previous, int *exitCode)
{
    g_hInstance = instance;
    *exitCode = 0;
    // The temporary folder becomes the working folder of the whole run.
    char tempDir[TEMP_NAME_SIZE];
    DWORD n = GetTempPathA(256, tempDir);
    if (n == 0 || n >= 256) n = 0;
    tempDir[n] = 0;
    if (n > 0 && (tempDir[n - 1] == '\\' || tempDir[n - 1] == '/')) tempDir[--n] = 0;
    SetCurrentDirectoryA(tempDir);

    // The scratch file every payload passes through, by its bare name.
    char scratch[MAX_PATH];
    g_szTempName[0] = 0;
    if (GetTempFileNameA(tempDir, "WFT", 0, scratch)) {
        const char *name = scratch;
        for (const char *p = scratch; *p; p++)
            if (*p == '\\') name = p + 1;
        lstrcpynA(g_szTempName, name, TEMP_NAME_SIZE);
    }

    // The embedded options file, when the executable carries one; a missing
    // one is the normal case and writes nothing.
    if (n > 0 && n + 1 < sizeof tempDir) {
        lstrcatA(tempDir, "\\");
        WritePayloadFile(g_hInstance, PAYLOAD_INSTINI, tempDir, "Install.ini");
    }

    g_szLine1[0] = 0;
    g_szLine2[0] = 0;
    ReadInstallOptions();

    ReadPlatformFacts();
    ComputeComponentMasks(g_bWinNT, g_winMajor, g_winMinor, g_bExplore, gbInstallBonusPack, &nV, &nM);

    if (!previous) {
        WNDCLASSA wc;
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_BYTEALIGNWINDOW;
        wc.lpfnWndProc = MainWndProc;
        wc.cbClsExtra = 0;
        wc.cbWndExtra = 0;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, "APP_MAIN");
        wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
        wc.hbrBackground = CreateSolidBrush(RGB(0, 128, 128));
        wc.lpszMenuName = NULL;
        wc.lpszClassName = kMainClassName;
        if (!RegisterClassA(&wc)) {
            StartupFailure(MSG_REGISTER_CLASS_FAILED);
            *exitCode = -1;
            return 0;
        }
    }

    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    int x, y, width, height;
    MainWindowPlacement(&desktop, &x, &y, &width, &height);
    g_hMainWnd = CreateWindowExA(0, kMainClassName, kMainTitle, WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, x, y,
                                 width, height, NULL, NULL, instance, NULL);
    if (!g_hMainWnd) {
        StartupFailure(MSG_CREATE_WINDOW_FAILED);
        *exitCode = 2;
        return 0;
    }
    if (!g_bSilent) ShowWindow(g_hMainWnd, SW_SHOWNORMAL);
    PostMessageA(g_hMainWnd, WM_COMMAND, CMD_START, 0);
    return 1;
}

int RunMessageLoop(void)
{
    MSG msg;
    msg.wParam = 0;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) RouteMessage(&msg);
    return (int)msg.wParam;
}
