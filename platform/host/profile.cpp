// The Windows profile functions over the simulated machine's files.
//
// An INI file is read whole and cut into lines; each line is blank, a section
// head or an entry (a key, with or without "=value"). Reads answer from that
// view the way the Windows profile functions do, quirks included: callers such
// as the options file and the install record depend on the exact answers.
// Writes change the one line concerned (or add one, or cut out a section) and
// write the file back, so comments, blank lines and the line ends of every
// other line stay as they were.
//
// The files are opened through the machine's file layer (CreateFileA and
// friends), so sharing with files other programs hold open is Windows'; a
// fault injected into every CreateFileA, ReadFile or WriteFile call reaches
// these functions too.

#include <stdlib.h>
#include <string.h>

#include <string>

#include "internal.h"

#define PROFILE_MAX_FILE (64u * 1024u * 1024u)
#define PROFILE_INT_CHARS 30  // an integer value is read into this many characters
#define NO_SECTION (-2)       // FindSection: no such section
#define PRELUDE (-1)          // the nameless section: lines before the first head

enum { LINE_BLANK, LINE_SECTION, LINE_ENTRY, LINE_IGNORED };
enum { PROFILE_READ, PROFILE_ABSENT, PROFILE_UNUSABLE };

struct ProfileLine {
    DWORD start;  // first byte of the line
    DWORD end;    // end of its text, where the line end begins
    DWORD next;   // first byte of the next line
    DWORD nameStart, nameEnd;    // section or key name, without surrounding blanks
    DWORD valueStart, valueEnd;  // value of an entry that has '='
    int kind;
    int hasValue;
};

struct ProfileFile {
    char path[MAX_PATH];  // the Windows path of the file
    int state;    // PROFILE_READ, PROFILE_ABSENT (its folder exists) or PROFILE_UNUSABLE
    DWORD error;  // why the file is unusable
    char *text;
    DWORD size;
    DWORD body;   // first byte after a UTF-8 byte order mark
    ProfileLine *lines;
    int count;
};

// ---- characters and names ---------------------------------------------------

// Blanks around lines, names and values: the C0 spacing characters, space,
// and ^Z, which old DOS editors left at the end of a file.
static int IsBlank(char c)
{
    unsigned char u = (unsigned char)c;
    return (u >= 0x09 && u <= 0x0d) || u == 0x1a || u == 0x20;
}

// Lower case of an ANSI (Windows-1252) character, as names are compared.
static unsigned char FoldCase(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return (unsigned char)(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return (unsigned char)(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) return (unsigned char)(c + 0x10);
    if (c == 0x9F) return 0xFF;
    return c;
}

// Returns 1 when the two names are the same ignoring case.
static int SameName(const char *a, DWORD aLength, const char *b, DWORD bLength)
{
    if (aLength != bLength) return 0;
    for (DWORD i = 0; i < aLength; i++)
        if (FoldCase((unsigned char)a[i]) != FoldCase((unsigned char)b[i])) return 0;
    return 1;
}

// Narrows [*start, *end) of `text` to leave out blanks on both sides.
static void TrimBlanks(const char *text, DWORD *start, DWORD *end)
{
    while (*start < *end && IsBlank(text[*start])) (*start)++;
    while (*end > *start && IsBlank(text[*end - 1])) (*end)--;
}

// A zero byte inside a line ends the name or value it falls in.
static DWORD ClipAtZero(const char *text, DWORD start, DWORD end)
{
    const void *zero = memchr(text + start, 0, end - start);
    return zero ? (DWORD)((const char *)zero - text) : end;
}

// ---- reading a file into lines ------------------------------------------------

// Sorts one line into blank, section head or entry and finds its name and value.
// `keyInSection` and `lastKeyNameless` carry what the previous entries of the
// section were: a nameless entry right after another nameless one is not a key.
static void ClassifyLine(const char *text, ProfileLine *line, int *keyInSection, int *lastKeyNameless)
{
    DWORD s = line->start, t = line->end;
    TrimBlanks(text, &s, &t);
    line->hasValue = 0;
    line->nameStart = line->nameEnd = line->valueStart = line->valueEnd = s;
    if (s == t) {
        line->kind = LINE_BLANK;
        return;
    }
    if (text[s] == '[') {
        // The name runs to the last ']' of the line; anything after it is ignored.
        DWORD close = t - 1;
        while (close > s && text[close] != ']') close--;
        if (close > s) {
            DWORD ns = s + 1, ne = close;
            TrimBlanks(text, &ns, &ne);
            line->kind = LINE_SECTION;
            line->nameStart = ns;
            line->nameEnd = ClipAtZero(text, ns, ne);
            *keyInSection = 0;
            *lastKeyNameless = 0;
            return;
        }
        // A '[' without ']' is an ordinary entry.
    }
    const void *equals = memchr(text + s, '=', t - s);
    DWORD nameEnd = t;
    if (equals) {
        DWORD at = (DWORD)((const char *)equals - text);
        nameEnd = at;
        while (nameEnd > s && IsBlank(text[nameEnd - 1])) nameEnd--;
        DWORD vs = at + 1;
        while (vs < t && IsBlank(text[vs])) vs++;
        line->hasValue = 1;
        line->valueStart = vs;
        line->valueEnd = ClipAtZero(text, vs, t);
    }
    line->nameStart = s;
    line->nameEnd = ClipAtZero(text, s, nameEnd);
    if (nameEnd == s && *keyInSection && *lastKeyNameless) {
        line->kind = LINE_IGNORED;
        return;
    }
    line->kind = LINE_ENTRY;
    *keyInSection = 1;
    *lastKeyNameless = line->nameEnd == line->nameStart;
}

// Cuts the file's text into lines; a line ends at CR LF, LF or CR. Returns 0
// when memory runs out.
static int CutLines(ProfileFile *pf)
{
    int capacity = 0;
    int keyInSection = 0, lastKeyNameless = 0;
    DWORD pos = pf->body;
    while (pos < pf->size) {
        if (pf->count == capacity) {
            int grown = capacity ? capacity * 2 : 64;
            ProfileLine *lines = (ProfileLine *)realloc(pf->lines, (size_t)grown * sizeof(ProfileLine));
            if (!lines) return 0;
            pf->lines = lines;
            capacity = grown;
        }
        ProfileLine *line = &pf->lines[pf->count++];
        line->start = pos;
        DWORD e = pos;
        while (e < pf->size && pf->text[e] != '\n' && pf->text[e] != '\r') e++;
        line->end = e;
        if (e < pf->size) {
            if (pf->text[e] == '\r' && e + 1 < pf->size && pf->text[e + 1] == '\n') e += 2;
            else e++;
        }
        line->next = e;
        pos = e;
        ClassifyLine(pf->text, line, &keyInSection, &lastKeyNameless);
    }
    return 1;
}

// Sets `pf` to unusable with the given error.
static void MarkUnusable(ProfileFile *pf, DWORD error)
{
    pf->state = PROFILE_UNUSABLE;
    pf->error = error;
}

// Works out which file a profile file name means: WIN.INI for none, the
// Windows folder for a bare file name, else the path as the file layer reads it.
// Returns 0 (with pf marked unusable) when the name is too long.
static int LocateProfile(ProfileFile *pf, LPCSTR file)
{
    char *winPath = pf->path;
    if (!file) file = "win.ini";
    size_t length = strlen(file);
    if (!strchr(file, '\\') && !strchr(file, '/') && !strchr(file, ':')) {
        // The machine's Windows folder as GetWindowsDirectoryA reports it, read
        // directly so that faults injected into that call stay its own.
        const std::string &folder = HostState().windowsDir;
        size_t n = folder.size();
        if (n == 0) {
            MarkUnusable(pf, ERROR_PATH_NOT_FOUND);
            return 0;
        }
        int slash = folder[n - 1] == '\\' ? 0 : 1;
        if (n + slash + length >= sizeof pf->path) {
            MarkUnusable(pf, ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        memcpy(winPath, folder.c_str(), n);
        if (slash) winPath[n] = '\\';
        memcpy(winPath + n + slash, file, length + 1);
    } else {
        if (length >= sizeof pf->path) {
            MarkUnusable(pf, ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        memcpy(winPath, file, length + 1);
    }
    return 1;
}

// Opens and reads the profile file into `pf` (always to be closed with
// CloseProfile), for writing too when `writing`: through the machine's file
// layer, so that a file another program holds without sharing cannot be used,
// as on Windows. A missing file in an existing folder reads as empty; anything
// else that stops the reading leaves the file unusable.
static void OpenProfile(ProfileFile *pf, LPCSTR file, int writing)
{
    memset(pf, 0, sizeof *pf);
    if (!LocateProfile(pf, file)) return;
    DWORD access = GENERIC_READ | (writing ? GENERIC_WRITE : 0);
    HANDLE h = CreateFileA(pf->path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) pf->state = PROFILE_ABSENT;
        else MarkUnusable(pf, error);
        return;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(h, &high);
    if (size == INVALID_SET_FILE_POINTER || high != 0 || size > PROFILE_MAX_FILE) {
        CloseHandle(h);
        MarkUnusable(pf, ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    pf->text = (char *)malloc(size + 1);
    if (!pf->text) {
        CloseHandle(h);
        MarkUnusable(pf, ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    DWORD got = 0;
    BOOL readOk = size ? ReadFile(h, pf->text, size, &got, NULL) : TRUE;
    DWORD error = GetLastError();
    CloseHandle(h);
    if (!readOk || got != size) {
        MarkUnusable(pf, readOk ? ERROR_READ_FAULT : error);
        return;
    }
    pf->text[size] = 0;
    pf->size = size;
    if (size >= 3 && memcmp(pf->text, "\xEF\xBB\xBF", 3) == 0) pf->body = 3;
    if (!CutLines(pf)) {
        MarkUnusable(pf, ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    pf->state = PROFILE_READ;
}

// Releases what OpenProfile allocated.
static void CloseProfile(ProfileFile *pf)
{
    free(pf->text);
    free(pf->lines);
    pf->text = NULL;
    pf->lines = NULL;
}

// ---- sections and keys ----------------------------------------------------------

// The line index of the first head whose name matches (PRELUDE for the empty
// name, which the lines before the first head carry), or NO_SECTION.
static int FindSection(const ProfileFile *pf, const char *name, DWORD length)
{
    if (pf->state != PROFILE_READ) return NO_SECTION;
    if (length == 0) return PRELUDE;
    for (int i = 0; i < pf->count; i++) {
        const ProfileLine *line = &pf->lines[i];
        if (line->kind == LINE_SECTION &&
            SameName(pf->text + line->nameStart, line->nameEnd - line->nameStart, name, length))
            return i;
    }
    return NO_SECTION;
}

// The index of the line after the last line of the section whose head is `head`.
static int SectionEnd(const ProfileFile *pf, int head)
{
    int i = head + 1;
    while (i < pf->count && pf->lines[i].kind != LINE_SECTION) i++;
    return i;
}

// The first entry of the section whose name matches, or -1.
static int FindKey(const ProfileFile *pf, int head, const char *key, DWORD length)
{
    int end = SectionEnd(pf, head);
    for (int i = head + 1; i < end; i++) {
        const ProfileLine *line = &pf->lines[i];
        if (line->kind == LINE_ENTRY &&
            SameName(pf->text + line->nameStart, line->nameEnd - line->nameStart, key, length))
            return i;
    }
    return -1;
}

// Narrows a requested section or key name to leave out surrounding blanks.
static void TrimRequest(const char *name, const char **start, DWORD *length)
{
    DWORD s = 0, e = (DWORD)strlen(name);
    TrimBlanks(name, &s, &e);
    *start = name + s;
    *length = e - s;
}

// ---- reading ---------------------------------------------------------------------

// Copies a value into buffer (size at least 1) as the reader hands values out:
// when it starts and ends with the same quote (" or ') that pair is removed,
// the closing one only when the buffer holds the whole rest of the value.
// Returns the number of characters copied.
static DWORD CopyValue(char *buffer, DWORD size, const char *value, DWORD length)
{
    int quoted = 0;
    if (length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
        quoted = 1;
        value++;
        length--;
    }
    DWORD n = length < size - 1 ? length : size - 1;
    memcpy(buffer, value, n);
    if (quoted && size >= length && n > 0) n--;
    buffer[n] = 0;
    return n;
}

// The section names of the file, each ending with a zero and the list with
// another; a name that does not fit is cut short so that the list still ends
// properly, and the result is then size - 2.
static DWORD ListSections(const ProfileFile *pf, char *buffer, DWORD size)
{
    buffer[0] = 0;
    if (pf->state != PROFILE_READ || size == 1) return 0;
    DWORD room = size - 1, pos = 0;
    for (int i = 0; i < pf->count; i++) {
        const ProfileLine *line = &pf->lines[i];
        DWORD length = line->nameEnd - line->nameStart;
        if (line->kind != LINE_SECTION || length == 0) continue;
        if (length + 1 >= room) {
            memcpy(buffer + pos, pf->text + line->nameStart, room - 1);
            pos += room - 1;
            buffer[pos++] = 0;
            buffer[pos] = 0;
            return size - 2;
        }
        memcpy(buffer + pos, pf->text + line->nameStart, length);
        pos += length;
        buffer[pos++] = 0;
        room -= length + 1;
    }
    buffer[pos] = 0;
    return pos;
}

// The key names of the first section of that exact name (no blanks removed):
// entries with '=' only, comments (';') left out; or the default when that
// gives nothing. A list that does not fit is cut as Windows cuts it.
static DWORD ListKeys(const ProfileFile *pf, LPCSTR section, LPCSTR def, char *buffer, DWORD size)
{
    DWORD result = 0;
    buffer[0] = 0;
    int head = FindSection(pf, section, (DWORD)strlen(section));
    if (head == NO_SECTION) {
        if (size > 1) buffer[1] = 0;
    } else {
        DWORD left = size, pos = 0;
        int end = SectionEnd(pf, head);
        for (int i = head + 1; i < end; i++) {
            const ProfileLine *line = &pf->lines[i];
            if (left <= 2) break;
            if (line->kind != LINE_ENTRY || !line->hasValue) continue;
            DWORD length = line->nameEnd - line->nameStart;
            if (length > 0 && pf->text[line->nameStart] == ';') continue;
            DWORD n = length < left - 2 ? length : left - 2;
            memcpy(buffer + pos, pf->text + line->nameStart, n);
            buffer[pos + n] = 0;
            left -= n + 1;
            pos += n + 1;
            if (left < 2) break;
        }
        buffer[pos] = 0;
        if (left <= 1 && pos > 0) {
            buffer[pos - 1] = 0;
            result = size - 2;
        } else {
            result = pos;
        }
    }
    if (!buffer[0]) result = CopyValue(buffer, size, def, (DWORD)strlen(def));
    return result;
}

// The value of one key, or the default without its trailing spaces.
static DWORD ReadValue(const ProfileFile *pf, LPCSTR section, LPCSTR key, LPCSTR def, char *buffer,
                       DWORD size)
{
    // Trailing spaces leave the default, but never its first character.
    DWORD defLength = (DWORD)strlen(def);
    while (defLength > 1 && def[defLength - 1] == ' ') defLength--;
    if (pf->state == PROFILE_UNUSABLE) {
        DWORD n = defLength < size - 1 ? defLength : size - 1;
        memcpy(buffer, def, n);
        buffer[n] = 0;
        return n;
    }
    const char *name;
    DWORD length;
    TrimRequest(section, &name, &length);
    int head = FindSection(pf, name, length);
    if (head != NO_SECTION) {
        TrimRequest(key, &name, &length);
        int k = FindKey(pf, head, name, length);
        if (k >= 0 && pf->lines[k].hasValue) {
            const ProfileLine *line = &pf->lines[k];
            return CopyValue(buffer, size, pf->text + line->valueStart, line->valueEnd - line->valueStart);
        }
    }
    return CopyValue(buffer, size, def, defLength);
}

// GetPrivateProfileStringA behind the fault check; `failed` reads as if the
// file could not be opened.
static DWORD ProfileGetString(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer, DWORD size,
                              LPCSTR file, int failed)
{
    if (!buffer || !size) return 0;
    if (!def) def = "";
    ProfileFile pf;
    if (failed) {
        memset(&pf, 0, sizeof pf);
        pf.state = PROFILE_UNUSABLE;
    } else {
        OpenProfile(&pf, file, 0);
    }
    DWORD result;
    if (!section) result = ListSections(&pf, buffer, size);
    else if (!key) result = ListKeys(&pf, section, def, buffer, size);
    else result = ReadValue(&pf, section, key, def, buffer, size);
    CloseProfile(&pf);
    return result;
}

// The integer reading of a value: blanks, a sign, a 0x/0o/0b base prefix,
// then digits of that base up to the first other character, wrapping at 32 bits.
static UINT ParseProfileInt(const char *text)
{
    const unsigned char *p = (const unsigned char *)text;
    while (*p && *p <= ' ') p++;
    int negative = 0;
    if (*p == '+') {
        p++;
    } else if (*p == '-') {
        negative = 1;
        p++;
    }
    UINT base = 10;
    if (p[0] == '0' && p[1] == 'b') {
        base = 2;
        p += 2;
    } else if (p[0] == '0' && p[1] == 'o') {
        base = 8;
        p += 2;
    } else if (p[0] == '0' && p[1] == 'x') {
        base = 16;
        p += 2;
    }
    UINT total = 0;
    for (;; p++) {
        UINT digit;
        if (*p >= '0' && *p <= '9') digit = *p - '0';
        else if (*p >= 'A' && *p <= 'Z') digit = *p - 'A' + 10;
        else if (*p >= 'a' && *p <= 'z') digit = *p - 'a' + 10;
        else break;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}

// GetPrivateProfileIntA behind the fault check.
static UINT ProfileGetInt(LPCSTR section, LPCSTR key, INT def, LPCSTR file, int failed)
{
    char value[PROFILE_INT_CHARS];
    if (ProfileGetString(section, key, "", value, sizeof value, file, failed) == 0) return (UINT)def;
    if (!value[0]) return (UINT)def;
    return ParseProfileInt(value);
}

// ---- writing ---------------------------------------------------------------------

// Writes `length` bytes to the open file; returns 1 when every byte went.
static int WriteAll(HANDLE h, const char *bytes, DWORD length)
{
    DWORD written = 0;
    if (length == 0) return 1;
    return WriteFile(h, bytes, length, &written, NULL) && written == length;
}

// Writes the file back with bytes [from, to) replaced by `insert`. Returns 1, or
// 0 with the last error set.
static int RewriteProfile(const ProfileFile *pf, DWORD from, DWORD to, const char *insert, DWORD insertLength)
{
    // A file that could not be opened is only ever made new, never replaced:
    // whatever kept it from being read must not cost its other sections.
    HANDLE h = CreateFileA(pf->path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           pf->state == PROFILE_READ ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int ok = WriteAll(h, pf->text, from) && WriteAll(h, insert, insertLength) &&
             (pf->size <= to || WriteAll(h, pf->text + to, pf->size - to));
    DWORD error = GetLastError();
    CloseHandle(h);
    if (!ok) {
        // A change that could not be written changes nothing, as on NT, where
        // the profile lives in the registry: the old text goes back.
        h = CreateFileA(pf->path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            WriteAll(h, pf->text, pf->size);  // best effort: the change has failed either way
            CloseHandle(h);
        }
        SetLastError(error);
    }
    return ok;
}

// A growing text built for insertion into the file.
struct ProfileInsert {
    char *text;
    DWORD length;
    DWORD capacity;
};

// Appends `length` bytes; returns 0 when memory runs out.
static int Append(ProfileInsert *in, const char *bytes, DWORD length)
{
    if (in->length + length + 1 > in->capacity) {
        DWORD grown = in->capacity ? in->capacity : 64;
        while (grown < in->length + length + 1) grown *= 2;
        char *text = (char *)realloc(in->text, grown);
        if (!text) return 0;
        in->text = text;
        in->capacity = grown;
    }
    memcpy(in->text + in->length, bytes, length);
    in->length += length;
    in->text[in->length] = 0;
    return 1;
}

// Writes `file` with [from, to) replaced by the built insertion, then frees it.
static BOOL Commit(const ProfileFile *pf, DWORD from, DWORD to, ProfileInsert *in, int built)
{
    BOOL ok = FALSE;
    if (!built) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    else ok = RewriteProfile(pf, from, to, in->text, in->length) ? TRUE : FALSE;
    free(in->text);
    return ok;
}

// Removes the whole first section of that exact name, head and lines; a
// missing section or file is no error.
static BOOL DeleteSection(const ProfileFile *pf, LPCSTR section)
{
    int head = FindSection(pf, section, (DWORD)strlen(section));
    if (head == NO_SECTION) return TRUE;
    int end = SectionEnd(pf, head);
    DWORD from = head == PRELUDE ? pf->body : pf->lines[head].start;
    DWORD to = end < pf->count ? pf->lines[end].start : pf->size;
    if (from == to) return TRUE;
    return RewriteProfile(pf, from, to, "", 0) ? TRUE : FALSE;
}

// Removes the first entry of that key name from the first section of that
// name that has one, the names taken without surrounding blanks as a read or a
// write takes them (so a key that reads back is the key deleted).
static BOOL DeleteKey(const ProfileFile *pf, LPCSTR section, LPCSTR key)
{
    if (pf->state != PROFILE_READ) return TRUE;
    DWORD sectionLength, keyLength;
    TrimRequest(section, &section, &sectionLength);
    TrimRequest(key, &key, &keyLength);
    for (int head = PRELUDE; head < pf->count; head++) {
        if (head >= 0) {
            const ProfileLine *h = &pf->lines[head];
            if (h->kind != LINE_SECTION ||
                !SameName(pf->text + h->nameStart, h->nameEnd - h->nameStart, section, sectionLength))
                continue;
        } else if (sectionLength != 0) {
            continue;
        }
        int k = FindKey(pf, head, key, keyLength);
        if (k >= 0) {
            const ProfileLine *line = &pf->lines[k];
            return RewriteProfile(pf, line->start, line->next, "", 0) ? TRUE : FALSE;
        }
    }
    return TRUE;
}

// Skips leading blanks of a name or value about to be written.
static const char *SkipBlanks(const char *text)
{
    while (*text && IsBlank(*text)) text++;
    return text;
}

// Sets a key: replaces the value of the first matching key of the first
// matching section (names without surrounding blanks), adds the key at the
// end of that section, or adds the section at the end of the file.
static BOOL SetKey(const ProfileFile *pf, LPCSTR section, LPCSTR key, LPCSTR value)
{
    const char *sectionName, *keyName;
    DWORD sectionLength, keyLength;
    TrimRequest(section, &sectionName, &sectionLength);
    TrimRequest(key, &keyName, &keyLength);
    value = SkipBlanks(value);
    DWORD valueLength = (DWORD)strlen(value);
    ProfileInsert in = {NULL, 0, 0};
    int built = 1;

    int head = FindSection(pf, sectionName, sectionLength);
    if (head == NO_SECTION && sectionLength == 0) head = PRELUDE;  // empty or missing file
    if (head == NO_SECTION) {
        // A new section at the end of the file, after a line end for the last line.
        if (pf->size > pf->body && pf->text[pf->size - 1] != '\n' && pf->text[pf->size - 1] != '\r')
            built = Append(&in, "\r\n", 2);
        const char *name = SkipBlanks(section);
        built = built && Append(&in, "[", 1) && Append(&in, name, (DWORD)strlen(name)) &&
                Append(&in, "]\r\n", 3);
        const char *k = SkipBlanks(key);
        built = built && Append(&in, k, (DWORD)strlen(k)) && Append(&in, "=", 1) &&
                Append(&in, value, valueLength) && Append(&in, "\r\n", 2);
        return Commit(pf, pf->size, pf->size, &in, built);
    }

    int k = pf->state == PROFILE_READ ? FindKey(pf, head, keyName, keyLength) : -1;
    if (k >= 0) {
        const ProfileLine *line = &pf->lines[k];
        DWORD oldLength = line->valueEnd - line->valueStart;
        if (line->hasValue && oldLength == valueLength && memcmp(pf->text + line->valueStart, value, valueLength) == 0)
            return TRUE;  // already so: the file is left alone
        // The line becomes name=value under the name as the file spells it.
        built = Append(&in, pf->text + line->nameStart, line->nameEnd - line->nameStart) &&
                Append(&in, "=", 1) && Append(&in, value, valueLength);
        return Commit(pf, line->start, line->end, &in, built);
    }

    // A new key after the last line of the section that is not blank.
    DWORD at;
    int last = -1;
    if (pf->state == PROFILE_READ) {
        int end = SectionEnd(pf, head);
        for (int i = end - 1; i > head; i--) {
            if (pf->lines[i].kind != LINE_BLANK) {
                last = i;
                break;
            }
        }
        if (last < 0) last = head;
    }
    if (last < 0) {
        at = pf->body;  // the empty prelude of an empty or missing file
    } else {
        const ProfileLine *line = &pf->lines[last];
        if (line->next > line->end) {
            at = line->next;
        } else {
            at = line->end;  // the last line of the file has no line end yet
            built = Append(&in, "\r\n", 2);
        }
    }
    const char *name = SkipBlanks(key);
    built = built && Append(&in, name, (DWORD)strlen(name)) && Append(&in, "=", 1) &&
            Append(&in, value, valueLength) && Append(&in, "\r\n", 2);
    return Commit(pf, at, at, &in, built);
}

// WritePrivateProfileStringA behind the fault check.
static BOOL ProfileWriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    // All three absent asks to flush a cache this layer does not have; Windows
    // answers that with FALSE too.
    if (!section && !key && !value) return FALSE;
    ProfileFile pf;
    OpenProfile(&pf, file, 1);
    BOOL ok;
    if (pf.state == PROFILE_UNUSABLE) {
        SetLastError(pf.error);
        ok = FALSE;
    } else if (!key) {
        ok = section ? DeleteSection(&pf, section) : FALSE;
        if (!section) SetLastError(ERROR_FILE_NOT_FOUND);
    } else if (!section) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        ok = FALSE;
    } else if (!value) {
        ok = DeleteKey(&pf, section, key);
    } else {
        ok = SetKey(&pf, section, key, value);
    }
    CloseProfile(&pf);
    return ok;
}

// ---- the API -------------------------------------------------------------------------

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer, DWORD size, LPCSTR file)
{
    int failed = HostFaultOnPath("GetPrivateProfileStringA", file) ? 1 : 0;
    return ProfileGetString(section, key, def, buffer, size, file, failed);
}

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer, DWORD size)
{
    int failed = HostFault("GetProfileStringA") ? 1 : 0;
    return ProfileGetString(section, key, def, buffer, size, "win.ini", failed);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT def, LPCSTR file)
{
    int failed = HostFaultOnPath("GetPrivateProfileIntA", file) ? 1 : 0;
    return ProfileGetInt(section, key, def, file, failed);
}

UINT GetProfileIntA(LPCSTR section, LPCSTR key, INT def)
{
    int failed = HostFault("GetProfileIntA") ? 1 : 0;
    return ProfileGetInt(section, key, def, "win.ini", failed);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    if (HostFaultOnPath("WritePrivateProfileStringA", file)) return FALSE;
    return ProfileWriteString(section, key, value, file);
}

BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value)
{
    if (HostFault("WriteProfileStringA")) return FALSE;
    return ProfileWriteString(section, key, value, "win.ini");
}
