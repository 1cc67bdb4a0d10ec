// The run's process-wide state and the window services every dialogue uses:
// the instance and platform facts, the scratch name, the component sets, the
// open status window, the cancel flag, and the message pump. What only the main
// window needs is in app/main.h.
#ifndef VANTRO_STATE_H
#define VANTRO_STATE_H

#include "platform.h"

#define TEMP_NAME_SIZE 261

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
extern int g_bCancelled;   // the status window's Cancel was pressed (or the run was told to end)

// Reads the Windows version into g_winMajor and g_winMinor, and sets g_bWinNT
// when the environment variable OS contains "NT".
void ReadPlatformFacts(void);

// Routes one message: the status window's dialog keys first, then the window.
void RouteMessage(MSG *msg);

// Handles every message waiting in the queue without blocking; returns 1.
int PumpMessages(void);

// Moves the window to the centre of the desktop, keeping its size (never off
// the top or left edge).
void CenterOnDesktop(HWND wnd);

#endif
