// guiapp.cpp: WinMain of a stand-in GUI program: one window that shows the
// program's file name, title, purpose and command line, closed by the user.
// The switch "/close" closes the window as soon as it is shown, so that a test
// can start the program and see it run to a normal end (exit code 0).
#include "guiapp.h"

static char g_szCommandLine[512];

// Returns 1 when the command line holds the word `word` (any case); 0 otherwise.
static int HasWord(const char* line, const char* word) {
  int n = lstrlenA(word);
  for (const char* p = line; *p; ++p) {
    if (p != line && p[-1] != ' ' && p[-1] != '\t') continue;
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, p, n, word, n) == CSTR_EQUAL &&
        (p[n] == '\0' || p[n] == ' ' || p[n] == '\t'))
      return 1;
  }
  return 0;
}

// Draws the program's texts, one line each.
static void Paint(HWND wnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  HICON icon = LoadIconA(GetModuleHandleA(0), MAKEINTRESOURCEA(STANDIN_ICON));
  if (icon) DrawIcon(dc, 16, 16, icon);
  const char* lines[] = {g_program.szFile, g_program.szTitle, g_program.szDescription,
                         "Stand-in for installer tests.", g_szCommandLine};
  SetBkMode(dc, TRANSPARENT);
  int y = 16;
  for (const char* line : lines) {
    TextOutA(dc, 64, y, line, lstrlenA(line));
    y += 20;
  }
  EndPaint(wnd, &ps);
}

static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      Paint(wnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  char className[64];
  wsprintfA(className, "VantroStandIn:%.40s", g_program.szFile);
  lstrcpyA(g_szCommandLine, "Command line: ");
  lstrcpynA(g_szCommandLine + lstrlenA(g_szCommandLine), commandLine ? commandLine : "",
            static_cast<int>(sizeof g_szCommandLine) - lstrlenA(g_szCommandLine));

  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(STANDIN_ICON));
  wc.hCursor = LoadCursorA(0, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = className;
  if (!RegisterClassA(&wc)) return 1;

  char caption[160];
  wsprintfA(caption, "%.60s - %.40s (stand-in)", g_program.szTitle, g_program.szFile);
  HWND wnd = CreateWindowA(className, caption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           560, 200, 0, 0, instance, 0);
  if (!wnd) return 2;
  ShowWindow(wnd, show);
  UpdateWindow(wnd);
  if (HasWord(commandLine ? commandLine : "", "/close")) PostMessageA(wnd, WM_CLOSE, 0, 0);

  MSG msg;
  while (GetMessageA(&msg, 0, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
