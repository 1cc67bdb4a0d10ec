// File copy with in-use handling.
#include "payload/filecopy.h"

#include "app/deferred.h"
#include "app/main.h"
#include "app/messages.h"
#include "app/options.h"
#include "payload/extract.h"
#include "resource.h"

// The copy left for the next start of Windows, through the platform's own
// command interpreter: NT has no command.com (Wine has none either), Windows
// 95 and 98 have no cmd.exe.
static const char kCopyCommandNT[] = "cmd.exe /c copy %s %s";
static const char kCopyCommand95[] = "command.com /c copy %s %s";

// The file name part of a path: after its last "\" or "/".
static const char *FileNamePart(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

// First occurrence of `needle` in `text` (case-sensitive), or NULL.
static const char *FindText(const char *text, const char *needle)
{
    int n = lstrlenA(needle);
    for (const char *p = text; *p; p++) {
        int i = 0;
        while (i < n && p[i] == needle[i]) i++;
        if (i == n) return p;
    }
    return NULL;
}

// Where the extension to replace starts: ".dll", or else ".exe", in the name part.
static const char *ReplaceableExtension(const char *target)
{
    const char *name = FileNamePart(target);
    const char *at = FindText(name, ".dll");
    return at ? at : FindText(name, ".exe");
}

int MakeSideName(const char *target, const char *extension, char *side, int size)
{
    if (lstrlenA(target) >= SIDE_PATH_SIZE) return 0;
    const char *at = ReplaceableExtension(target);
    if (!at) return 0;
    int keep = (int)(at - target);
    if (keep + lstrlenA(extension) >= size) return 0;
    lstrcpynA(side, target, keep + 1);
    lstrcatA(side, extension);
    return 1;
}

// Joins a folder and a name; `separator` adds "\" unless the folder ends in
// "\" or "/". Returns 0 when the result would not fit.
static int JoinPath(char *out, int size, const char *folder, const char *name, int separator)
{
    int length = lstrlenA(folder);
    int slash = separator && length > 0 && folder[length - 1] != '\\' && folder[length - 1] != '/';
    if (length + slash + lstrlenA(name) >= size) return 0;
    lstrcpyA(out, folder);
    if (slash) lstrcatA(out, "\\");
    lstrcatA(out, name);
    return 1;
}

// The 8.3 form of a path for a command line; where the file system has none,
// the long one in quotation marks, so that blanks in it do not split the
// command's arguments. `out` holds SIDE_PATH_SIZE + 2 characters.
static void ShortForm(const char *path, char *out)
{
    DWORD n = GetShortPathNameA(path, out, SIDE_PATH_SIZE);
    if (n > 0 && n < SIDE_PATH_SIZE) return;
    lstrcpyA(out, "\"");
    lstrcpynA(out + 1, path, SIDE_PATH_SIZE);
    lstrcatA(out, "\"");
}

// The target is held by a running program: move it aside (NT) or leave the
// new file as ".new" with a copy command for the next start. Returns 1 when
// the file counts as installed.
static int InstallInUse(char *scratch, const char *target)
{
    char side[SIDE_PATH_SIZE];
    if (g_bWinNT && MakeSideName(target, ".bak", side, sizeof side)) {
        DeleteFileA(side);
        if (rename(target, side) == 0 || MoveFileA(target, side)) {
            if (ExpandFile(scratch, target)) return 1;
            // Never leave the folder without the file: the partial new one goes,
            // the old one comes back.
            DeleteFileA(target);
            MoveFileA(side, target);
            return 0;
        }
    }
    if (!MakeSideName(target, ".new", side, sizeof side)) return 0;
    DeleteFileA(side);
    if (!ExpandFile(scratch, side)) {
        // A half-written copy would wait for a command that never comes.
        DWORD error = GetLastError();
        DeleteFileA(side);
        SetLastError(error);
        return 0;
    }
    char shortSide[SIDE_PATH_SIZE + 2], shortTarget[SIDE_PATH_SIZE + 2], command[COMMAND_SIZE];
    ShortForm(side, shortSide);
    ShortForm(target, shortTarget);
    wsprintfA(command, g_bWinNT ? kCopyCommandNT : kCopyCommand95, shortSide, shortTarget);
    if (!AddDeferredCommand(command)) {
        DWORD error = GetLastError();
        DeleteFileA(side);
        SetLastError(error);
        return 0;
    }
    return 1;
}

// One attempt: write the payload to the scratch file and expand it into place.
// Returns 1 when installed.
static int AttemptInstall(const char *sourceFolder, const char *fileName, const char *destFolder, int index)
{
    char target[COPY_PATH_SIZE], scratch[COPY_PATH_SIZE];
    if (!JoinPath(target, sizeof target, destFolder, fileName, 1) ||
        !JoinPath(scratch, sizeof scratch, sourceFolder, g_szTempName, 0)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    PumpMessages();
    if (WritePayloadFile(g_hInstance, index, sourceFolder, g_szTempName) != 1) return 0;
    if (ExpandFile(scratch, target)) {
        DeleteFileA(scratch);
        return 1;
    }
    PumpMessages();
    // Only programs and libraries are held by a running program; anything else
    // that cannot be written, or a target that is not there, is a plain failure.
    DWORD error = GetLastError();
    int installed = 0;
    if (ReplaceableExtension(target) && GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES) {
        installed = InstallInUse(scratch, target);
        if (installed && (!g_bSilent || g_bAllowReboot)) g_bRebootNeeded = 1;
        error = GetLastError();
    }
    DeleteFileA(scratch);
    SetLastError(error);
    return installed;
}

int InstallFile(const char *sourceFolder, const char *fileName, const char *destFolder, HWND owner,
                HWND statusControl, int index, int required)
{
    char tmpl[256], text[FORMAT_BUFFER_SIZE];
    LoadMsgString(MSG_COPYING, tmpl, sizeof tmpl);
    FormatMsgString(text, tmpl, sourceFolder, fileName, destFolder, fileName);
    if (g_bSilent)
        SetupLog(text);
    else if (statusControl)
        SetWindowTextA(statusControl, text);

    for (;;) {
        if (AttemptInstall(sourceFolder, fileName, destFolder, index)) return 0;
        if (!required) return 1;
        DWORD error = GetLastError();
        char caption[256];
        LoadMsgString(MSG_COPY_FAILED, tmpl, sizeof tmpl);
        FormatMsgString(text, tmpl, fileName, destFolder, error);
        LoadMsgString(MSG_INSTALL_CAPTION, caption, sizeof caption);
        if (g_bSilent) {
            SetupLog(text);  // nobody to ask: taken as Cancel
            return 1;
        }
        if (MessageBoxA(owner, text, caption, MB_RETRYCANCEL | MB_ICONERROR) != IDRETRY) return 1;
    }
}
