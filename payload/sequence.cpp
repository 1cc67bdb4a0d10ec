// The install sequence: files and site lists.
#include "payload/sequence.h"

#include "app/paths.h"
#include "app/state.h"
#include "controller/dialogs.h"
#include "payload/catalogue.h"
#include "payload/extract.h"
#include "payload/filecopy.h"
#include "payload/registration.h"
#include "resource.h"

#define SEQ_PATH_SIZE 512
#define PIECE_SIZE 512  // a line piece: at most 511 characters

static const char kOriginalIni[] = "original.ini";
static const char kMySites[] = "MySites";

// Whether a file is in a folder, as the configuration phase must know it.
// Only "file not found" and "path not found" mean missing: any other failure
// (access denied, a drive not ready) leaves it unknown, and a step that would
// write over the user's file is then skipped.
enum Presence { PRESENCE_MISSING, PRESENCE_PRESENT, PRESENCE_UNKNOWN };

static Presence PresenceIn(const char *folder, const char *name)
{
    char path[SEQ_PATH_SIZE];
    if (!JoinPath(path, sizeof path, folder, name)) return PRESENCE_UNKNOWN;
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return PRESENCE_PRESENT;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PRESENCE_MISSING : PRESENCE_UNKNOWN;
}

void SetFailureText(char *failure, const char *format, const char *name)
{
    if (!failure) return;
    char text[FAILURE_TEXT_SIZE + 64];
    if (lstrlenA(name) > FAILURE_TEXT_SIZE) name = "";
    wsprintfA(text, format, name);
    lstrcpynA(failure, text, FAILURE_TEXT_SIZE);
}

// ---- text files, as a text-mode stream reads and writes them ----------------------

// Reads a file as text: CR LF arrives as LF.
struct TextReader {
    HANDLE file;
    char buffer[4096];
    DWORD length, position;
    int pendingCR;
};

// The next character, or -1 at the end (or on a read error).
static int ReadChar(TextReader *r)
{
    for (;;) {
        if (r->position == r->length) {
            if (!ReadFile(r->file, r->buffer, sizeof r->buffer, &r->length, NULL) || r->length == 0) {
                r->length = r->position = 0;
                if (r->pendingCR) {
                    r->pendingCR = 0;
                    return '\r';
                }
                return -1;
            }
            r->position = 0;
        }
        char c = r->buffer[r->position++];
        if (r->pendingCR) {
            r->pendingCR = 0;
            if (c == '\n') return '\n';
            r->position--;  // a lone CR stays
            return '\r';
        }
        if (c == '\r') {
            r->pendingCR = 1;
            continue;
        }
        return (unsigned char)c;
    }
}

// One piece: up to PIECE_SIZE - 1 characters, ending after a line feed. Returns
// its length, 0 at the end of the file.
static int ReadPiece(TextReader *r, char *piece)
{
    int n = 0;
    while (n < PIECE_SIZE - 1) {
        int c = ReadChar(r);
        if (c < 0) break;
        piece[n++] = (char)c;
        if (c == '\n') break;
    }
    piece[n] = 0;
    return n;
}

// Writes text with every LF as CR LF; returns 1 when every byte was written.
static int WriteText(HANDLE file, const char *text, int length)
{
    char out[1024];
    int used = 0;
    for (int i = 0; i < length; i++) {
        if (used > (int)sizeof out - 2) {
            DWORD written;
            if (!WriteFile(file, out, (DWORD)used, &written, NULL) || written != (DWORD)used) return 0;
            used = 0;
        }
        if (text[i] == '\n') out[used++] = '\r';
        out[used++] = text[i];
    }
    DWORD written = 0;
    return used == 0 || (WriteFile(file, out, (DWORD)used, &written, NULL) && written == (DWORD)used);
}

// Writes one piece with every placeholder replaced, straight to the file, so that
// a piece with many placeholders never needs a buffer of its own.
static int WriteReplaced(HANDLE file, const char *piece, const char *placeholder, const char *replacement)
{
    int keyLength = lstrlenA(placeholder);
    int replacementLength = lstrlenA(replacement);
    const char *start = piece;
    for (const char *p = piece; *p;) {
        int match = keyLength > 0;
        for (int i = 0; match && i < keyLength; i++)
            if (p[i] != placeholder[i]) match = 0;
        if (!match) {
            p++;
            continue;
        }
        if (!WriteText(file, start, (int)(p - start)) || !WriteText(file, replacement, replacementLength)) return 0;
        p += keyLength;
        start = p;
    }
    return WriteText(file, start, lstrlenA(start));
}

int InstallIniTemplate(const char *sourceFolder, const char *destFile, const char *placeholder,
                       const char *replacement, int index)
{
    char scratch[SEQ_PATH_SIZE];
    if (!JoinPath(scratch, sizeof scratch, sourceFolder, g_szTempName)) return -1;
    if (WritePayloadFile(g_hInstance, index, sourceFolder, g_szTempName) != 1) return -1;
    TextReader reader;
    reader.file = CreateFileA(scratch, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (reader.file == INVALID_HANDLE_VALUE) {
        DeleteFileA(scratch);
        return -1;
    }
    // Written only where no file is: a configuration that exists is the user's,
    // and is never truncated.
    HANDLE out = CreateFileA(destFile, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) {
        CloseHandle(reader.file);
        DeleteFileA(scratch);
        return -1;
    }
    reader.length = reader.position = 0;
    reader.pendingCR = 0;
    int result = -1;
    char piece[PIECE_SIZE];
    while (ReadPiece(&reader, piece) > 0)
        if (WriteReplaced(out, piece, placeholder, replacement)) result = 0;
    CloseHandle(out);
    CloseHandle(reader.file);
    DeleteFileA(scratch);
    return result;
}

// ---- the file phases -------------------------------------------------------------

struct SequenceContext {
    const char *sourceFolder;
    const char *destFolder;
    HWND owner;
    HWND statusControl;
    char *failure;
    int success;
    int configWritten;  // Vantro.ini was made from the template in this run
};

// Installs one row; returns 0 when the phase must end (a required file failed,
// or the user cancelled).
static int InstallRow(SequenceContext *c, CatalogueEntry *row, int index)
{
    int r = InstallFile(c->sourceFolder, row->szInstallFile, c->destFolder, c->owner, c->statusControl, index,
                        (int)row->bRequired);
    row->iResult = r;
    if (r == 0) {
        row->dwState |= FILE_INSTALLED;
    } else if (row->bRequired) {
        row->dwState |= FILE_FAILED;
        SetFailureText(c->failure, "Failed to install required file %s.", row->szFile);
        c->success = 0;
        return 0;
    }
    if (g_bCancelled) {
        c->success = 0;
        return 0;
    }
    return 1;
}

static void InstallTable(SequenceContext *c, CatalogueEntry *rows, int count, int first)
{
    for (int i = 0; i < count && c->success; i++)
        if (!InstallRow(c, &rows[i], first + i)) return;
}

// Without the classic interface, its required files are installed only where
// they are missing, so that the other interfaces find them.
static void InstallClassicFiles(SequenceContext *c, int wanted)
{
    for (int i = 0; i < CLASSIC_COUNT && c->success; i++) {
        CatalogueEntry *row = &g_classicFiles[i];
        if (!wanted && (!row->bRequired || PresenceIn(c->destFolder, row->szInstallFile) != PRESENCE_MISSING)) continue;
        if (!InstallRow(c, row, CLASSIC_FIRST + i)) return;
    }
}

// Decides whether the configuration file and the site lists are written:
// always on a first install, on request when the user's lists were deleted.
static int DecideSiteMerge(SequenceContext *c, DWORD flags)
{
    Presence current = PresenceIn(c->destFolder, g_siteFiles[0].szInstallFile);
    if (current == PRESENCE_MISSING) return 1;
    if (current == PRESENCE_UNKNOWN) return 0;
    if (PresenceIn(c->destFolder, kOriginalIni) != PRESENCE_MISSING) return 0;
    if (PresenceIn(c->destFolder, g_siteFiles[1].szInstallFile) != PRESENCE_MISSING) return 0;
    if (flags & INSTALL_UNATTENDED) return 0;
    char text[512], caption[256];
    text[0] = caption[0] = 0;
    LoadStringA(g_hInstance, MSG_SITES_QUESTION, text, sizeof text);
    LoadStringA(g_hInstance, MSG_SITES_CAPTION, caption, sizeof caption);
    if (MessageBoxA(c->owner, text, caption, MB_YESNO | MB_ICONQUESTION) != IDYES) return 0;
    // Keep the user's configuration as original.ini, without the entry that
    // would point at itself.
    char config[SEQ_PATH_SIZE], original[SEQ_PATH_SIZE];
    if (!JoinPath(config, sizeof config, c->destFolder, g_siteFiles[0].szInstallFile) ||
        !JoinPath(original, sizeof original, c->destFolder, kOriginalIni) || rename(config, original) != 0)
        return 0;
    WritePrivateProfileStringA(kMySites, NULL, NULL, original);
    return 1;
}

static void InstallSiteFiles(SequenceContext *c, DWORD flags)
{
    if (!DecideSiteMerge(c, flags)) return;
    char config[SEQ_PATH_SIZE];
    if (!JoinPath(config, sizeof config, c->destFolder, g_siteFiles[0].szInstallFile) ||
        InstallIniTemplate(c->sourceFolder, config, "$$", c->destFolder, SITE_FIRST) != 0) {
        // The install goes on; the text is shown only if nothing later fails with its own.
        SetFailureText(c->failure, "Failed to install INI files.", "");
        return;
    }
    c->configWritten = 1;
    for (int i = 1; i < SITE_COUNT; i++) {
        CatalogueEntry *row = &g_siteFiles[i];
        if (PresenceIn(c->destFolder, row->szFile) == PRESENCE_MISSING) {
            int r = InstallFile(c->sourceFolder, row->szInstallFile, c->destFolder, c->owner, c->statusControl,
                                SITE_FIRST + i, (int)row->bRequired);
            row->iResult = r;
            if (r == 0) row->dwState |= FILE_INSTALLED;
        }
        if (g_bCancelled) {
            c->success = 0;
            return;
        }
    }
}

int RunInstallSequence(const char *sourceFolder, const char *destFolder, DWORD flags, DWORD *report, HWND owner,
                       HWND statusControl, char *failure)
{
    SequenceContext c = {sourceFolder, destFolder, owner, statusControl, failure, 1, 0};
    if (report) *report = 0;
    if (failure)
        for (int i = 0; i < FAILURE_TEXT_SIZE; i++) failure[i] = 0;
    if (!(flags & (INSTALL_CLASSIC | INSTALL_EXPLORER | INSTALL_UTILITIES | INSTALL_BROWSER))) {
        SetFailureText(failure, "Nothing to do!", "");
        return 1;
    }

    InstallClassicFiles(&c, (flags & INSTALL_CLASSIC) != 0);
    if (c.success && (flags & INSTALL_EXPLORER)) InstallTable(&c, g_explorerFiles, EXPLORER_COUNT, EXPLORER_FIRST);
    if (c.success && (flags & INSTALL_UTILITIES)) InstallTable(&c, g_utilityFiles, UTILITY_COUNT, UTILITY_FIRST);
    // On NT 3.x the icon helper, the stub server and its help are not needed:
    // their failure must not stop the install, and they get no icon.
    if (g_bWinNT && g_winMajor < 4) {
        const int oldNT[] = {0, 1, 4};
        for (int row : oldNT) g_commonFiles[row].bIcon = g_commonFiles[row].bRequired = 0;
    }
    if (c.success) InstallTable(&c, g_commonFiles, COMMON_COUNT, COMMON_FIRST);
    if (c.success && (flags & (INSTALL_CLASSIC | INSTALL_EXPLORER))) InstallSiteFiles(&c, flags);

    return RunRegistrationPhases(destFolder, flags, report, owner, statusControl, failure, c.success, c.configWritten);
}
