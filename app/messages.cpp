// Message texts, insert formatting, and setup.log.
#include "app/messages.h"

#include "app/state.h"
#include "app/options.h"
#include "app/paths.h"
#include "app/workfolder.h"

int LoadMsgString(UINT id, char *buffer, int capacity)
{
    if (capacity <= 0) return 0;
    if (LoadStringA(g_hInstance, id, buffer, capacity) > 0) return 1;
    // Never leave the caller with an empty or stale text: name the missing ID.
    char fallback[64];
    wsprintfA(fallback, "%u DEBUG - Unable to load string", id);
    lstrcpynA(buffer, fallback, capacity);
    buffer[capacity - 1] = 0;
    return 0;
}

int FormatMsgString(char *buffer, const char *tmpl, ...)
{
    va_list args;
    va_start(args, tmpl);
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, tmpl, 0, 0, buffer, FORMAT_BUFFER_SIZE, &args);
    va_end(args);
    if (n == 0) buffer[0] = 0;
    return (int)n;
}

// Where setup.log goes: the user's temporary folder (the one start-up chose, or
// else the one the system names), where administrators look for it. 0 when
// there is none, or when the folder or a folder above it is a reparse point
// (a junction or a link): the user may have pointed one at a system folder.
static int LogPath(char *path, int size)
{
    char folder[MAX_PATH + 1];
    if (g_szTempFolder[0]) {
        lstrcpynA(folder, g_szTempFolder, sizeof folder);
    } else {
        DWORD n = GetTempPathA(MAX_PATH, folder);
        if (n == 0 || n >= MAX_PATH) return 0;
    }
    if (HasReparsePoint(folder)) return 0;
    return JoinPath(path, size, folder, "setup.log");
}

// Opens setup.log for appending, never through a link: the name itself may
// not be a reparse point (it is opened as what it is, not followed, where the
// system can), nor one of several names of a file (a hard link to a file
// elsewhere). INVALID_HANDLE_VALUE when it may not be written.
static HANDLE OpenLog(void)
{
    char path[MAX_PATH + 1];
    if (!LogPath(path, sizeof path)) return INVALID_HANDLE_VALUE;
    // Windows 2000 introduced reparse points and the flag to open one as itself.
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (g_bWinNT && g_winMajor >= 5 ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS, flags, NULL);
    if (file == INVALID_HANDLE_VALUE) return file;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        info.nNumberOfLinks > 1) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// The log is opened, appended to and closed for every line, so that each line
// is on disk even when the run ends abnormally afterwards. Like a text-mode
// stream, every line feed goes to disk as CR LF.
void SetupLog(const char *line)
{
    if (!g_bLogging) return;
    HANDLE file = OpenLog();
    if (file == INVALID_HANDLE_VALUE) return;
    if (SetFilePointer(file, 0, NULL, FILE_END) != INVALID_SET_FILE_POINTER) {
        char out[1024];
        int used = 0;
        int ok = 1;
        // Each character takes at most two bytes (a line feed becomes CR LF), and
        // so does the line break at the end: flush when fewer than two are left.
        for (const char *p = line; ok; p++) {
            bool last = *p == 0;
            if (used > (int)sizeof out - 2) {
                DWORD written = 0;
                // A short write is not retried: the log is best effort.
                ok = WriteFile(file, out, (DWORD)used, &written, NULL) && written == (DWORD)used;
                used = 0;
                if (!ok) break;
            }
            if (last) {
                out[used++] = '\r';
                out[used++] = '\n';
                DWORD written = 0;
                WriteFile(file, out, (DWORD)used, &written, NULL);  // best effort, as above
                break;
            }
            if (*p == '\n') out[used++] = '\r';
            out[used++] = *p;
        }
    }
    CloseHandle(file);
}
