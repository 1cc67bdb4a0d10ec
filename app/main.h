// Entry point and main window: start-up, the window with its logos, the start
// command, the message loop, and the window services the dialogs use.
#ifndef VANTRO_MAIN_H
#define VANTRO_MAIN_H

#include "platform.h"

#define TEMP_NAME_SIZE 261
#define CMD_START 100  // the start command the entry point posts to itself

// Component bits of nV and nM.
#define COMPONENT_CLASSIC 1
#define COMPONENT_EXPLORER 2
#define COMPONENT_UTILITIES 4
#define COMPONENT_BROWSER 8
#define COMPONENT_QUEUE 16

extern HINSTANCE g_hInstance;
extern char g_szTempName[TEMP_NAME_SIZE];  // bare name of the scratch file
extern int g_bWinNT;                       // OS contains "NT"
extern int g_winMajor;
extern int g_winMinor;
extern int nV;  // initial component selection
extern int nM;  // components that may be chosen
extern HWND g_hMainWnd;
extern HWND g_hStatusWnd;  // the open status window, or NULL

// The main window's class name and title.
extern const char kMainClassName[];
extern const char kMainTitle[];

// Computes the initial selection and the choosable components for a platform.
void ComputeComponentMasks(int winNT, int major, int minor, int explore, int bonus, int *selection, int *choosable);

// Size and place of the main window for a desktop: four fifths of each side
// (at least 600 x 400), centred.
void MainWindowPlacement(const RECT *desktop, int *x, int *y, int *width, int *height);

// Reads the Windows version into g_winMajor and g_winMinor, and sets g_bWinNT
// when the environment variable OS contains "NT".
void ReadPlatformFacts(void);

// Start-up up to the posted start command: working folder, scratch file,
// options, platform, window class and main window. Returns 1 when the window
// exists; 0 with the process exit code in *exitCode when it could not be made.
int InitSetup(HINSTANCE instance, HINSTANCE previous, int *exitCode);

// Runs the message loop until the quit message; returns its exit code.
int RunMessageLoop(void);

// The class's window procedure.
LRESULT CALLBACK MainWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Handles every message waiting in the queue without blocking; returns 1.
int PumpMessages(void);

// Moves the window to the centre of the desktop, keeping its size (never off
// the top or left edge).
void CenterOnDesktop(HWND wnd);

#endif
