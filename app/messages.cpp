// Message texts, insert formatting, and setup.log.
#include "app/messages.h"

#include "app/main.h"
#include "app/options.h"

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

// The log is opened, appended to and closed for every line, so that each line
// is on disk even when the run ends abnormally afterwards. Like a text-mode
// stream, every line feed goes to disk as CR LF.
void SetupLog(const char *line)
{
    if (!g_bLogging) return;
    HANDLE file = CreateFileA("setup.log", GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
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
