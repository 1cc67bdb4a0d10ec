// Entry point and main window.
#include "app/main.h"

#include "app/deferred.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/outcome.h"
#include "app/paths.h"
#include "app/workfolder.h"
#include "controller/install.h"
#include "payload/catalogue.h"
#include "payload/extract.h"
#include "resource.h"

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
    RemoveWorkFolder();
    PostMessageA(wnd, WM_CLOSE, 0, 0);
    if ((!g_bSilent || g_bAllowReboot) && g_bRebootNeeded && RestartWindows() &&
        (g_exitCode == EXIT_DONE || g_exitCode == EXIT_RESTART_PENDING))
        SetOutcome(EXIT_RESTART_STARTED, "installed; Windows is restarting");
    LogOutcome();
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
        PostQuitMessage(g_exitCode);
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

// No temporary folder can be written: nothing can be installed. The options
// beside the program still say whether anyone may be asked; one the program
// carries cannot be read, and such a program is made to run unattended.
static void NoTempFolder(void)
{
    g_szLine1[0] = 0;
    g_szLine2[0] = 0;
    ReadInstallOptions();
    if (FindResourceA(g_hInstance, g_payloadResources[PAYLOAD_INSTINI].szResName, "EXE")) g_bSilent = 1;
    if (!g_bSilent) {
        char text[512], caption[256];
        LoadMsgString(MSG_NO_TEMP_FOLDER, text, sizeof text);
        LoadMsgString(MSG_INSTALL_CAPTION, caption, sizeof caption);
        MessageBoxA(NULL, text, caption, MB_OK | MB_ICONERROR);
    }
}

int InitSetup(HINSTANCE instance, HINSTANCE previous, int *exitCode)
{
    g_hInstance = instance;
    *exitCode = 0;
    ReadPlatformFacts();
    // The working folder of the whole run: a private one inside the user's
    // temporary folder when the run has administrator rights, else that folder.
    char temp[WORK_FOLDER_SIZE];
    if (!FindTempFolder(temp) || !MakeWorkFolder(temp, 0)) {
        NoTempFolder();
        *exitCode = EXIT_FAILED;
        return 0;
    }
    SetCurrentDirectoryA(g_szWorkFolder);

    // The scratch file every payload passes through, by its bare name.
    char scratch[MAX_PATH];
    g_szTempName[0] = 0;
    if (GetTempFileNameA(g_szWorkFolder, "WFT", 0, scratch)) lstrcpynA(g_szTempName, FileNamePart(scratch), TEMP_NAME_SIZE);

    // The embedded options file, when the executable carries one; a missing
    // one is the normal case and writes nothing.
    g_szEmbeddedIni[0] = 0;
    if (WritePayloadFile(g_hInstance, PAYLOAD_INSTINI, g_szWorkFolder, "Install.ini"))
        JoinPath(g_szEmbeddedIni, sizeof g_szEmbeddedIni, g_szWorkFolder, "Install.ini");

    g_szLine1[0] = 0;
    g_szLine2[0] = 0;
    ReadInstallOptions();

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
            RemovePayloadTemps();
            RemoveWorkFolder();
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
        RemovePayloadTemps();
        RemoveWorkFolder();
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
