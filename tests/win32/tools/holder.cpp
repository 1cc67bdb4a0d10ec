// holder.exe open|image <path> <release file> [<seconds>]: holds a file the way
// a running program does, until the release file appears (or the seconds,
// default 300, have passed), so that a test can meet a file in use.
//
//   open   CreateFileA with read access, shared for reading only: the file can
//          be neither written, renamed nor deleted while held.
//   image  a library loaded with LoadLibraryA, or a program (".exe") mapped as
//          an executable image (SEC_IMAGE), as the system maps a running
//          program: the file can be renamed, but not written or deleted.
//
// Prints "holding" (flushed) once the file is held, so the starter can wait
// for that line, or "failed <error>" when the file could not be held.
// Exit status: 0 released, 1 could not hold, 2 usage, 3 timed out.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Returns 1 when the path's name ends in ".exe" (any case).
static int IsProgram(const char *path)
{
    size_t n = strlen(path);
    return n >= 4 && lstrcmpiA(path + n - 4, ".exe") == 0;
}

// Maps a program file as an executable image, as the loader maps a running
// program: the file handle goes once the section holds the file. Returns 1
// when the view exists.
static int MapProgramImage(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    HANDLE section = CreateFileMappingA(file, NULL, PAGE_READONLY | SEC_IMAGE, 0, 0, NULL);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!section) {
        SetLastError(error);
        return 0;
    }
    if (!MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0)) return 0;
    return 1;  // the section and its view stay until the process ends
}

int main(int argc, char **argv)
{
    if (argc < 4 || argc > 5 || (strcmp(argv[1], "open") != 0 && strcmp(argv[1], "image") != 0)) {
        fprintf(stderr, "usage: holder open|image <path> <release file> [<seconds>]\n");
        return 2;
    }
    const char *path = argv[2];
    const char *release = argv[3];
    int seconds = argc == 5 ? atoi(argv[4]) : 300;

    int held;
    if (strcmp(argv[1], "open") == 0)
        held = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL) != INVALID_HANDLE_VALUE;
    else if (IsProgram(path))
        held = MapProgramImage(path);
    else
        held = LoadLibraryA(path) != NULL;
    if (!held) {
        printf("failed %lu\n", (unsigned long)GetLastError());
        fflush(stdout);
        return 1;
    }
    printf("holding\n");
    fflush(stdout);

    // Everything held stays held until the process ends.
    for (int waited = 0; waited < seconds * 10; waited++) {
        if (GetFileAttributesA(release) != INVALID_FILE_ATTRIBUTES) return 0;
        Sleep(100);
    }
    return 3;
}
