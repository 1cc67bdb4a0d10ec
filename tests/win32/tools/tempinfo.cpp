// tempinfo.exe: the user's temporary folder as the system names it to a
// program, in both of its forms, for scripts that set up a user whose folder
// names lie outside the ANSI code page.
//
//   tempinfo        prints three lines:
//     ansi <GetTempPathA>          the bytes the ANSI call gives ("?" where the
//                                  code page has no character)
//     wide <GetTempPathW>          the real path, as UTF-8
//     short <GetShortPathNameW>    the 8.3 form of the real path, as UTF-8, or
//                                  "-" when the system gives none
// Exit status: 0 when the three answers came, 1 when one call failed.
#include <windows.h>
#include <stdio.h>

// Prints LABEL and a wide text as UTF-8 on one line; "-" for none.
static void PrintWide(const char *label, const WCHAR *text)
{
    char utf8[4 * MAX_PATH + 4];
    if (!text || !WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL)) lstrcpyA(utf8, "-");
    printf("%s %s\n", label, utf8);
}

int main(void)
{
    int status = 0;
    char ansi[MAX_PATH + 1];
    DWORD n = GetTempPathA(MAX_PATH, ansi);
    if (n == 0 || n >= MAX_PATH) {
        lstrcpyA(ansi, "-");
        status = 1;
    }
    printf("ansi %s\n", ansi);

    WCHAR wide[MAX_PATH + 1], shortWide[MAX_PATH + 1];
    n = GetTempPathW(MAX_PATH, wide);
    int haveWide = n > 0 && n < MAX_PATH;
    PrintWide("wide", haveWide ? wide : NULL);
    n = haveWide ? GetShortPathNameW(wide, shortWide, MAX_PATH) : 0;
    int haveShort = n > 0 && n < MAX_PATH;
    PrintWide("short", haveShort ? shortWide : NULL);
    if (!haveWide || !haveShort) status = 1;
    return status;
}
