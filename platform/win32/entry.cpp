// The process entry of VantroSetup.exe. The program needs nothing of a C
// runtime's start-up (no constructors, no arguments vector, no standard
// streams), so it starts here and goes straight to WinMain; the runtime's
// start-up code and everything it drags in stay out of the file.
#include "platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int show);

// The command line after the program's name, as WinMain receives it.
static LPSTR ArgumentsOf(LPSTR line)
{
    if (*line == '"') {
        for (line++; *line && *line != '"'; line++) {
        }
        if (*line) line++;
    } else {
        while (*line && *line != ' ' && *line != '\t') line++;
    }
    while (*line == ' ' || *line == '\t') line++;
    return line;
}

extern "C" void WINAPI VantroStartup(void)
{
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, ArgumentsOf(GetCommandLineA()), show));
}
