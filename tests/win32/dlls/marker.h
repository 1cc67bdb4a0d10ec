// What the marker libraries share: the line a library writes into its marker
// file from DllMain, so that a test can tell that code of ours ran inside a
// process, and which process it was.
#ifndef VANTRO_TESTS_MARKER_H
#define VANTRO_TESTS_MARKER_H

#include <windows.h>

// Appends "<library> loaded into <program> (process <id>)" and CR LF to the
// file at `marker`, made when missing. Nothing is reported: a library cannot
// fail its load over a marker it could not write, and a missing marker is
// what the tests look for, so a marker written wrongly shows as a failure.
static void MarkLoaded(HINSTANCE self, const char *marker)
{
    char library[MAX_PATH], program[MAX_PATH], line[2 * MAX_PATH + 64];
    if (!GetModuleFileNameA(self, library, sizeof library)) lstrcpyA(library, "?");
    if (!GetModuleFileNameA(NULL, program, sizeof program)) lstrcpyA(program, "?");
    wsprintfA(line, "%s loaded into %s (process %lu)\r\n", library, program, (unsigned long)GetCurrentProcessId());
    HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
    CloseHandle(file);
}

// The whole of a marker library's DllMain: mark the load, once per process.
static BOOL MarkOnAttach(HINSTANCE self, DWORD reason, const char *marker)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(self);
        MarkLoaded(self, marker);
    }
    return TRUE;
}

#endif
