// The Program Manager DDE client.
#include "progman/progman.h"

#include "app/paths.h"

static const char kService[] = "PROGMAN";      // service and topic
static const char kProductGroup[] = "Vantro Pro";  // the only group ever deleted

DWORD g_dwDdeInstance;
int g_bDdeOpen;

HDDEDATA CALLBACK ProgmanCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                  ULONG_PTR data1, ULONG_PTR data2)
{
    (void)type;
    (void)format;
    (void)conv;
    (void)hsz1;
    (void)hsz2;
    (void)data;
    (void)data1;
    (void)data2;
    return NULL;
}

int ProgmanOpen(void)
{
    g_dwDdeInstance = 0;
    if (DdeInitializeA(&g_dwDdeInstance, ProgmanCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 0;
    g_bDdeOpen = 1;
    return 1;
}

int ProgmanExecute(const char *command)
{
    if (!g_bDdeOpen) return 0;
    HSZ service = DdeCreateStringHandleA(g_dwDdeInstance, kService, CP_WINANSI);
    if (!service) return 0;
    int result = 0;
    HCONV conv = DdeConnect(g_dwDdeInstance, service, service, NULL);
    if (conv) {
        DWORD status = 0;  // not looked at: a null result says it all
        // The terminator is sent with the command.
        HDDEDATA done = DdeClientTransaction((LPBYTE)command, (DWORD)lstrlenA(command) + 1, conv, NULL, CF_TEXT,
                                             XTYP_EXECUTE, PROGMAN_TIMEOUT, &status);
        result = done != NULL;
        DdeDisconnect(conv);
    }
    DdeFreeStringHandle(g_dwDdeInstance, service);
    return result;
}

// Builds a command from pieces into `out` (PROGMAN_COMMAND_SIZE bytes). A
// command that would not fit is not built, never cut: cut, it would name
// another group or item. Returns 0 then.
static int BuildCommand(char *out, const char *const *pieces, int count)
{
    int used = 0;
    for (int i = 0; i < count; i++) {
        int n = lstrlenA(pieces[i]);
        if (used + n >= PROGMAN_COMMAND_SIZE) return 0;
        lstrcpyA(out + used, pieces[i]);
        used += n;
    }
    return 1;
}

// Sends "[Verb(argument)]", the argument quoted or not; nothing when it would
// not fit.
static void SendOne(const char *verb, const char *argument, int quoted)
{
    char command[PROGMAN_COMMAND_SIZE];
    const char *q = quoted ? "\"" : "";
    const char *pieces[] = {"[", verb, "(", q, argument, q, ")]"};
    if (BuildCommand(command, pieces, 7)) ProgmanExecute(command);
}

// Characters that end an argument or a command in Program Manager's parser.
static int EndsArgument(char c) { return c == '[' || c == ']' || c == '(' || c == ')' || c == ','; }

int IsSafeGroupName(const char *name)
{
    for (const char *p = name; *p; p++)
        if ((unsigned char)*p < 0x20 || *p == 0x7F || *p == '"' || EndsArgument(*p)) return 0;
    return 1;
}

int ProgmanCreateGroup(const char *group)
{
    if (!ProgmanOpen()) return 0;
    // Unquoted in the command, an unsafe name would smuggle commands in.
    if (IsSafeGroupName(group)) SendOne("CreateGroup", group, 0);  // Program Manager's answer is not looked at
    return 1;
}

int ProgmanShowGroup(const char *group, int show)
{
    char command[PROGMAN_COMMAND_SIZE], how[8];
    wsprintfA(how, ",%d)]", show);
    const char *pieces[] = {"[ShowGroup(", group, how};
    if (IsSafeGroupName(group) && BuildCommand(command, pieces, 3)) ProgmanExecute(command);
    return 1;
}

int ProgmanDeleteGroup(const char *group)
{
    if (g_bDdeOpen) {
        // A group the user chose for the icons may hold other programs: only
        // the product's own group is ever deleted.
        if (lstrcmpiA(group, kProductGroup) == 0) SendOne("DeleteGroup", group, 0);
        DdeUninitialize(g_dwDdeInstance);
    }
    g_bDdeOpen = 0;
    return 1;
}

int ProgmanClose(void)
{
    if (g_bDdeOpen) DdeUninitialize(g_dwDdeInstance);
    g_bDdeOpen = 0;
    return 1;
}

int ProgmanDeleteItem(const char *caption, const char *file)
{
    SendOne("DeleteItem", caption[0] ? caption : file, 1);
    return 1;
}

static int HasBackslash(const char *text)
{
    for (; *text; text++)
        if (*text == '\\') return 1;
    return 0;
}

int ProgmanAddItem(const char *caption, const char *folder, const char *file, const char *commandLine)
{
    char current[MAX_PATH + 1];
    if (!folder[0]) {
        DWORD n = GetCurrentDirectoryA(MAX_PATH, current);
        if (n == 0 || n >= MAX_PATH) n = 0;
        current[n] = 0;
        folder = current;
    }
    // The target: the file as given when it is a path, else folder\file.
    char target[PROGMAN_COMMAND_SIZE];
    target[0] = 0;
    int fits = 1;
    if (HasBackslash(file)) {
        fits = lstrlenA(file) < (int)sizeof target;
        if (fits) lstrcpyA(target, file);
    } else {
        fits = JoinPath(target, sizeof target, folder, file);
    }
    const char *name = caption[0] ? caption : file;
    SendOne("DeleteItem", name, 1);  // a repeated install replaces its item
    const char *command = commandLine[0] ? commandLine : target;
    // The working folder goes unquoted, unless it holds a character that
    // would end it ("C:\Program Files (x86)\...").
    int quoteFolder = 0;
    for (const char *p = folder; *p; p++)
        if (EndsArgument(*p)) quoteFolder = 1;
    const char *q = quoteFolder ? "\"" : "";
    char text[PROGMAN_COMMAND_SIZE];
    const char *pieces[] = {"[AddItem(\"", command, "\",\"", name, "\",,,,,", q, folder, q, ")]"};
    if ((commandLine[0] || fits) && BuildCommand(text, pieces, 9)) ProgmanExecute(text);
    return 1;
}
