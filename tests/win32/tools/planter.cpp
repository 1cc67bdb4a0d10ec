// planter.exe FOLDER BYTES STOPFILE [SECONDS]: a program of the user's that
// lies in wait for the installer's scratch files. It watches FOLDER itself
// (never its subfolders) for files named WFT*.tmp, and beside each one it
// makes the packed form of its name (the last character made "_":
// WFT1a2b.tmp gets WFT1a2b.tm_) holding the bytes of the file BYTES. Each
// planted file stays open, others free to read and delete it, until the file
// STOPFILE appears or SECONDS (default 300) have passed.
//
// Prints, flushed per line: "watching" once it watches; "planted PATH (N
// bytes)" for each file planted; "failed PATH <error>" for one it could not
// make; at the end "stopped: N planted" or "timed out: N planted".
// Exit status: 0 stopped by the stop file, 1 could not start (BYTES
// unreadable, FOLDER not there), 2 usage, 3 timed out.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_PLANTED 64  // an install makes one scratch file; room for many more

static const char kScratchPattern[] = "WFT*.tmp";

struct Planted {
    char scratch[MAX_PATH];  // the scratch file's name, planted for already
    HANDLE file;             // the planted file, held open
};

static Planted g_planted[MAX_PLANTED];
static int g_count;      // scratch files seen
static int g_succeeded;  // files planted

// Reads the whole file `path`; returns its bytes (HeapAlloc) and their count,
// or NULL.
static char *ReadAll(const char *path, DWORD *size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return NULL;
    DWORD length = GetFileSize(file, NULL);
    char *bytes = length == INVALID_FILE_SIZE ? NULL : (char *)HeapAlloc(GetProcessHeap(), 0, length + 1);
    DWORD got = 0;
    if (bytes && (!ReadFile(file, bytes, length, &got, NULL) || got != length)) {
        HeapFree(GetProcessHeap(), 0, bytes);
        bytes = NULL;
    }
    CloseHandle(file);
    *size = length;
    return bytes;
}

// Whether a scratch file of this name was planted for already.
static int AlreadyPlanted(const char *name)
{
    for (int i = 0; i < g_count; i++)
        if (lstrcmpiA(g_planted[i].scratch, name) == 0) return 1;
    return 0;
}

// A found name that really is WFT*.tmp: the pattern may also match by a
// file's short name.
static int IsScratchName(const char *name)
{
    int n = lstrlenA(name);
    return n > 7 && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, 3, "WFT", 3) == CSTR_EQUAL &&
           lstrcmpiA(name + n - 4, ".tmp") == 0;
}

// Plants the packed-name form beside the scratch file `name` of `folder`.
static void Plant(const char *folder, const char *name, const char *bytes, DWORD size)
{
    char path[MAX_PATH];
    if (g_count == MAX_PLANTED || lstrlenA(folder) + 1 + lstrlenA(name) >= MAX_PATH) return;
    wsprintfA(path, "%s\\%s", folder, name);
    path[lstrlenA(path) - 1] = '_';
    Planted *p = &g_planted[g_count++];
    lstrcpyA(p->scratch, name);
    p->file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    if (p->file == INVALID_HANDLE_VALUE || !WriteFile(p->file, bytes, size, &written, NULL) || written != size ||
        !FlushFileBuffers(p->file)) {
        printf("failed %s %lu\n", path, (unsigned long)GetLastError());
        if (p->file != INVALID_HANDLE_VALUE) CloseHandle(p->file);
        p->file = INVALID_HANDLE_VALUE;  // seen, and not tried again
    } else {
        g_succeeded++;
        printf("planted %s (%lu bytes)\n", path, (unsigned long)size);
    }
    fflush(stdout);
}

// Looks at every WFT*.tmp of the folder and plants for each new one.
static void Scan(const char *folder, const char *bytes, DWORD size)
{
    char pattern[MAX_PATH];
    if (lstrlenA(folder) + 1 + lstrlenA(kScratchPattern) >= MAX_PATH) return;
    wsprintfA(pattern, "%s\\%s", folder, kScratchPattern);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (IsScratchName(found.cFileName) && !AlreadyPlanted(found.cFileName))
            Plant(folder, found.cFileName, bytes, size);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

int main(int argc, char **argv)
{
    if (argc < 4 || argc > 5) {
        fprintf(stderr, "usage: planter FOLDER BYTES STOPFILE [SECONDS]\n");
        return 2;
    }
    const char *folder = argv[1], *stop = argv[3];
    int seconds = argc == 5 ? atoi(argv[4]) : 300;
    DWORD size = 0;
    char *bytes = ReadAll(argv[2], &size);
    if (!bytes) {
        printf("failed to read %s %lu\n", argv[2], (unsigned long)GetLastError());
        return 1;
    }
    // Told of every name made in the folder; scanning at least every 20 ms as
    // well, in case a notice is missed.
    HANDLE change = FindFirstChangeNotificationA(folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (change == INVALID_HANDLE_VALUE) {
        printf("failed to watch %s %lu\n", folder, (unsigned long)GetLastError());
        return 1;
    }
    printf("watching\n");
    fflush(stdout);

    DWORD start = GetTickCount(), limit = (DWORD)seconds * 1000;
    int stopped = 0;
    for (;;) {
        Scan(folder, bytes, size);
        if (GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES) {
            stopped = 1;
            break;
        }
        if (GetTickCount() - start >= limit) break;
        if (WaitForSingleObject(change, 20) == WAIT_OBJECT_0) FindNextChangeNotification(change);
    }
    FindCloseChangeNotification(change);
    for (int i = 0; i < g_count; i++)
        if (g_planted[i].file != INVALID_HANDLE_VALUE) CloseHandle(g_planted[i].file);
    printf("%s: %d planted\n", stopped ? "stopped" : "timed out", g_succeeded);
    fflush(stdout);
    return stopped ? 0 : 3;
}
