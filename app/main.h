// Entry point and main window: start-up, the window with its logos, the start
// command and the message loop. The state and window services that the
// dialogues share are in app/state.h.
#ifndef VANTRO_MAIN_H
#define VANTRO_MAIN_H

#include "app/state.h"

#define CMD_START 100  // the start command the entry point posts to itself

// The main window's class name and title.
extern const char kMainClassName[];
extern const char kMainTitle[];

// Computes the initial selection and the choosable components for a platform.
void ComputeComponentMasks(int winNT, int major, int minor, int explore, int bonus, int *selection, int *choosable);

// Size and place of the main window for a desktop: four fifths of each side
// (at least 600 x 400), centred.
void MainWindowPlacement(const RECT *desktop, int *x, int *y, int *width, int *height);

// Start-up up to the posted start command: working folder, scratch file,
// options, platform, window class and main window. Returns 1 when the window
// exists; 0 with the process exit code in *exitCode when it could not be made.
int InitSetup(HINSTANCE instance, HINSTANCE previous, int *exitCode);

// Runs the message loop until the quit message; returns its exit code.
int RunMessageLoop(void);

// The class's window procedure.
LRESULT CALLBACK MainWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

#endif
