// File copy with in-use handling.
#include "payload/filecopy.h"

#include "app/deferred.h"
#include "app/state.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/paths.h"
#include "payload/extract.h"
#include "resource.h"

// The copy left for the next start of Windows, through the platform's own
// command interpreter: NT has no command.com (Wine has none either), Windows
// 95 and 98 have no cmd.exe. Since MS-DOS 6.2 (so Windows 95 and 98's
// command.com) and in cmd.exe since Windows 2000, copy asks before it replaces
// a file unless it is given /Y: nobody would answer at the next start, and the
// old library would stay. NT 3.51 and 4's cmd.exe neither asks nor knows /Y.
static const char kCopyCommandNT4[] = "cmd.exe /c copy %s %s";
static const char kCopyCommandNT5[] = "cmd.exe /c copy /Y %s %s";
static const char kCopyCommand95[] = "command.com /c copy /Y %s %s";

// The deferred copy's command format for this platform.
static const char *CopyCommandFormat(void)
{
    if (!g_bWinNT) return kCopyCommand95;
    return g_winMajor >= 5 ? kCopyCommandNT5 : kCopyCommandNT4;
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
    // Each path must reach the interpreter as one argument, or the command
    // would do something else at the next start.
    char shortSide[SIDE_PATH_SIZE + 2], shortTarget[SIDE_PATH_SIZE + 2], command[COMMAND_SIZE];
    if (!CommandPathOf(side, shortSide, sizeof shortSide) || !CommandPathOf(target, shortTarget, sizeof shortTarget)) {
        DeleteFileA(side);
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    wsprintfA(command, CopyCommandFormat(), shortSide, shortTarget);
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
    if (!JoinPath(target, sizeof target, destFolder, fileName) ||
        !JoinPath(scratch, sizeof scratch, sourceFolder, g_szTempName)) {
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
