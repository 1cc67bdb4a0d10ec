// Paths: joins, command forms, the platform's folders and the folders an
// installation may not take.
#include "app/paths.h"

#define FOLDER_SIZE 512  // a folder compared here, terminator included

static const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

int JoinPath(char *out, int size, const char *folder, const char *name)
{
    int length = lstrlenA(folder);
    int slash = length > 0 && folder[length - 1] != '\\' && folder[length - 1] != '/';
    if (size <= 0) return 0;
    if (length + slash + lstrlenA(name) >= size) {
        out[0] = 0;
        return 0;
    }
    lstrcpyA(out, folder);
    if (slash) lstrcatA(out, "\\");
    lstrcatA(out, name);
    return 1;
}

const char *FileNamePart(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

// Upper-cases a copy of `text` into `out` (FOLDER_SIZE bytes) as the system
// does for the code page; 0 when it does not fit.
static int UpperCopy(const char *text, char *out)
{
    int n = lstrlenA(text);
    if (n >= FOLDER_SIZE) return 0;
    lstrcpyA(out, text);
    CharUpperBuffA(out, (DWORD)n);
    return 1;
}

int SameText(const char *a, const char *b)
{
    char x[FOLDER_SIZE], y[FOLDER_SIZE];
    return UpperCopy(a, x) && UpperCopy(b, y) && lstrcmpA(x, y) == 0;
}

// Drops one final backslash, except from a drive's root ("C:\").
static void DropFinalSlash(char *folder)
{
    int n = lstrlenA(folder);
    if (n > 3 && folder[n - 1] == '\\') folder[n - 1] = 0;
}

int SameFolder(const char *a, const char *b)
{
    char x[FOLDER_SIZE], y[FOLDER_SIZE];
    if (!UpperCopy(a, x) || !UpperCopy(b, y)) return 0;
    DropFinalSlash(x);
    DropFinalSlash(y);
    return lstrcmpA(x, y) == 0;
}

int IsWithin(const char *folder, const char *outer)
{
    char x[FOLDER_SIZE], y[FOLDER_SIZE];
    if (!outer[0] || !UpperCopy(folder, x) || !UpperCopy(outer, y)) return 0;
    DropFinalSlash(x);
    DropFinalSlash(y);
    int n = lstrlenA(y);
    if (lstrlenA(x) < n) return 0;
    for (int i = 0; i < n; i++)
        if (x[i] != y[i]) return 0;
    return x[n] == 0 || x[n] == '\\' || y[n - 1] == '\\';
}

// Characters at which the command interpreter splits arguments.
static int SplitsArguments(char c) { return c == ' ' || c == ',' || c == ';' || c == '='; }
// Characters that end a command and start another, or redirect it, unless quoted.
static int EndsCommand(char c)
{
    return c == '&' || c == '|' || c == '<' || c == '>' || c == '^' || c == '(' || c == ')';
}
// Characters the interpreter acts on even inside quotes.
static int ActsInQuotes(char c) { return (unsigned char)c < 0x20 || c == '%' || c == '!' || c == '"'; }

int CommandPathOf(const char *path, char *out, int size)
{
    char form[MAX_PATH + 1];
    if (size > 0) out[0] = 0;
    DWORD n = GetShortPathNameA(path, form, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        // No short name (a file system without them): the long name, as it is.
        if (lstrlenA(path) >= MAX_PATH) return 0;
        lstrcpyA(form, path);
    }
    int quote = 0;
    for (const char *p = form; *p; p++) {
        if (ActsInQuotes(*p)) return 0;
        if (SplitsArguments(*p)) quote = 1;
    }
    if (!quote)
        for (const char *p = form; *p; p++)
            if (EndsCommand(*p)) return 0;
    if (lstrlenA(form) + (quote ? 2 : 0) >= size) return 0;
    if (quote) {
        lstrcpyA(out, "\"");
        lstrcatA(out, form);
        lstrcatA(out, "\"");
    } else {
        lstrcpyA(out, form);
    }
    return 1;
}

// A plain absolute folder: "X:\" and names, each without the characters
// Windows forbids in names, not "." or "..", and not ending in a dot or a
// blank (which Windows drops, so that "C:\Windows." is C:\Windows). One final
// backslash may follow. Sets *root when no name follows the drive.
static int IsPlainFolder(const char *folder, int *root)
{
    int n = lstrlenA(folder);
    *root = 0;
    if (n < 2 || n >= MAX_PATH) return 0;
    char drive = folder[0];
    if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) || folder[1] != ':') return 0;
    if (n == 2 || (n == 3 && folder[2] == '\\')) {
        *root = 1;
        return 1;
    }
    if (folder[2] != '\\') return 0;
    const char *name = folder + 3;
    for (;;) {
        const char *end = name;
        while (*end && *end != '\\') end++;
        int length = (int)(end - name);
        if (length == 0) return *end == 0 && end[-1] == '\\' && end - 1 > folder + 2;  // only a final backslash
        // A name ending in a dot or a blank; "." and ".." end in a dot too.
        if (end[-1] == '.' || end[-1] == ' ') return 0;
        for (const char *p = name; p < end; p++) {
            unsigned char c = (unsigned char)*p;
            if (c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '|' || c == '?' ||
                c == '*')
                return 0;
        }
        if (*end == 0) return 1;
        name = end + 1;
    }
}

int HasReparsePoint(const char *path)
{
    char prefix[MAX_PATH + 1];
    int length = lstrlenA(path);
    if (length >= (int)sizeof prefix) return 0;
    lstrcpyA(prefix, path);
    for (int i = 3; i <= length; i++) {
        if (prefix[i] != '\\' && prefix[i] != 0) continue;
        char end = prefix[i];
        prefix[i] = 0;
        DWORD attributes = GetFileAttributesA(prefix);
        prefix[i] = end;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 1;
    }
    return 0;
}

int ProgramFilesFolder(char *out, int size)
{
    out[0] = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    char value[FOLDER_SIZE];
    DWORD type = 0, length = sizeof value - 1;
    int found = RegQueryValueExA(key, "ProgramFilesDir", NULL, &type, (BYTE *)value, &length) == ERROR_SUCCESS &&
                type == REG_SZ;
    RegCloseKey(key);
    if (!found) return 0;
    value[length] = 0;  // a value stored without its terminator still ends here
    int root;
    // A value that is not a plain folder of its own is no place for a product.
    if (!IsPlainFolder(value, &root) || root || lstrlenA(value) >= size) return 0;
    lstrcpyA(out, value);
    DropFinalSlash(out);
    return 1;
}

// The folders no installation may take: the Windows folder, the system folder
// (with everything inside them) and the Program Files folders themselves.
struct ProtectedFolder {
    char path[FOLDER_SIZE];
    int within;  // folders inside it are refused too
    int problem;
};

static int ReadProtectedFolders(ProtectedFolder *folders)
{
    int count = 0;
    UINT n = GetWindowsDirectoryA(folders[count].path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        folders[count].within = 1;
        folders[count++].problem = FOLDER_WINDOWS;
    }
    n = GetSystemDirectoryA(folders[count].path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        folders[count].within = 1;
        folders[count++].problem = FOLDER_SYSTEM;
        // The Program Files folder on the system's drive, as older systems name it.
        folders[count].path[0] = folders[count - 1].path[0];
        lstrcpyA(folders[count].path + 1, ":\\Program Files");
        folders[count].within = 0;
        folders[count++].problem = FOLDER_PROGRAM_FILES;
    }
    if (ProgramFilesFolder(folders[count].path, FOLDER_SIZE)) {
        folders[count].within = 0;
        folders[count++].problem = FOLDER_PROGRAM_FILES;
    }
    return count;
}

// Whether `folder` (as written, and by its short form when it exists) is or
// lies in a protected folder (likewise by both forms).
static int Matches(const char *folder, const char *shortFolder, const ProtectedFolder *p)
{
    char shortProtected[MAX_PATH + 1];
    DWORD n = GetShortPathNameA(p->path, shortProtected, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) shortProtected[0] = 0;
    const char *forms[] = {folder, shortFolder};
    const char *protectedForms[] = {p->path, shortProtected};
    for (const char *form : forms)
        for (const char *protectedForm : protectedForms) {
            if (!form[0] || !protectedForm[0]) continue;
            if (p->within ? IsWithin(form, protectedForm) : SameFolder(form, protectedForm)) return 1;
        }
    return 0;
}

int FolderProblem(const char *folder)
{
    int root;
    if (!IsPlainFolder(folder, &root)) return FOLDER_NOT_PLAIN;
    if (root) return FOLDER_ROOT;
    char shortFolder[MAX_PATH + 1];
    DWORD n = GetShortPathNameA(folder, shortFolder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) shortFolder[0] = 0;
    ProtectedFolder folders[4];
    int count = ReadProtectedFolders(folders);
    for (int i = 0; i < count; i++)
        if (Matches(folder, shortFolder, &folders[i])) return folders[i].problem;
    return FOLDER_OK;
}

int DestinationProblem(const char *folder)
{
    int problem = FolderProblem(folder);
    if (problem != FOLDER_OK) return problem;
    char form[MAX_PATH + 3];
    if (GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES && !CommandPathOf(folder, form, sizeof form))
        return FOLDER_COMMAND_UNSAFE;
    return FOLDER_OK;
}

const char *FolderProblemText(int problem)
{
    switch (problem) {
    case FOLDER_NOT_PLAIN:
        return "not a plain absolute folder";
    case FOLDER_ROOT:
        return "the root of a drive";
    case FOLDER_WINDOWS:
        return "the Windows folder or a folder inside it";
    case FOLDER_SYSTEM:
        return "the system folder or a folder inside it";
    case FOLDER_PROGRAM_FILES:
        return "the Program Files folder itself";
    case FOLDER_COMMAND_UNSAFE:
        return "a folder whose short name holds & | < > ^ % ( ) ! or \"";
    default:
        return "accepted";
    }
}
