// progman_recorder: a DDE server of the tests' own under the service "PROGMAN"
// that accepts the topic "PROGMAN", acknowledges every command and writes down
// exactly what it was sent, so that a test can compare the client's bytes.
//
//   progman_recorder RECORD READY STOP [SECONDS]
//
// The shell of the system may answer "PROGMAN" itself (under Wine the desktop
// process does, from the moment it starts). A client takes the first server
// that acknowledges its broadcast, and the broadcast reaches the newest
// top-level windows first; so the recorder waits until the shell's server is
// there, registers its own after it, and then checks with a conversation of
// its own that it is the one answering. It stops (exit 3) when it is not.
//
// RECORD  the record file, one line per event, flushed as it happens:
//           connect N                     conversation N began (1, 2, ...)
//           execute N LENGTH BYTES        a command in conversation N: LENGTH
//                                         is what DdeGetData reports, BYTES the
//                                         data with every byte that is not
//                                         printable ASCII, and the backslash,
//                                         written as \xHH (the terminator: \x00)
//           disconnect N                  conversation N ended
//           request N ITEM                a request (refused: no data)
// READY   created once the service is registered
// STOP    the recorder ends as soon as this file exists, or after SECONDS
//         (default 120) in any case, and then deletes it; exit 0 after a
//         STOP, 1 on time-out, 2 when the service could not be set up, 3 when
//         another server answers before it.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <ddeml.h>

#include <map>
#include <string>

static DWORD g_instance;
static HSZ g_progman;
static FILE *g_record;
static int g_conversations;
static std::map<HCONV, int> g_numbers;  // each live conversation's number
static int g_probing;                   // the recorder's own check is under way
static HCONV g_probeConv;               // the server side of that check
static int g_probeEnded;

static void Record(const std::string &line)
{
    fputs(line.c_str(), g_record);
    fputc('\n', g_record);
    fflush(g_record);
}

static std::string Number(int n)
{
    char text[16];
    sprintf(text, "%d", n);
    return text;
}

static std::string Escaped(const BYTE *bytes, DWORD length)
{
    std::string out;
    for (DWORD i = 0; i < length; i++) {
        BYTE c = bytes[i];
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += (char)c;
        } else {
            char hex[8];
            sprintf(hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

static std::string Conversation(HCONV conv)
{
    std::map<HCONV, int>::const_iterator found = g_numbers.find(conv);
    return found == g_numbers.end() ? "?" : Number(found->second);
}

static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                  ULONG_PTR data1, ULONG_PTR data2)
{
    (void)format;
    (void)data1;
    (void)data2;
    switch (type) {
    case XTYP_CONNECT:
        // hsz1 is the topic, hsz2 the service.
        return (HDDEDATA)(UINT_PTR)(DdeCmpStringHandles(hsz1, g_progman) == 0 &&
                                    DdeCmpStringHandles(hsz2, g_progman) == 0);
    case XTYP_CONNECT_CONFIRM:
        if (g_probing) {
            g_probeConv = conv;  // the recorder's own check: not recorded
            return NULL;
        }
        g_numbers[conv] = ++g_conversations;
        Record("connect " + Number(g_conversations));
        return NULL;
    case XTYP_EXECUTE: {
        DWORD length = DdeGetData(data, NULL, 0, 0);
        std::string bytes(length, '\0');
        DWORD got = length ? DdeGetData(data, (LPBYTE)&bytes[0], length, 0) : 0;
        Record("execute " + Conversation(conv) + " " + Number((int)length) + " " +
               Escaped((const BYTE *)bytes.data(), got));
        return (HDDEDATA)DDE_FACK;
    }
    case XTYP_REQUEST: {
        char item[256];
        item[0] = 0;
        DdeQueryStringA(g_instance, hsz2, item, sizeof item, CP_WINANSI);
        Record("request " + Conversation(conv) + " " + item);
        return NULL;
    }
    case XTYP_DISCONNECT:
        if (g_probeConv && conv == g_probeConv) {
            g_probeEnded = 1;
            g_probeConv = NULL;
            return NULL;
        }
        Record("disconnect " + Conversation(conv));
        g_numbers.erase(conv);
        return NULL;
    default:
        return NULL;
    }
}

static bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

static HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return NULL; }

// Serves this thread's messages for up to `ms`, or until *done is set.
static void Pump(DWORD ms, const int *done)
{
    DWORD limit = GetTickCount() + ms;
    MSG msg;
    while (!(done && *done) && (LONG)(GetTickCount() - limit) < 0) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (done && *done) break;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
    }
}

// Waits (at most `seconds`) until some server answers "PROGMAN", through a
// client instance of its own. Returns 1 when one did.
static int WaitForOtherServer(int seconds)
{
    DWORD client = 0;
    if (DdeInitializeA(&client, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 0;
    HSZ name = DdeCreateStringHandleA(client, "PROGMAN", CP_WINANSI);
    DWORD limit = GetTickCount() + (DWORD)seconds * 1000;
    int found = 0;
    while (name && !found && (LONG)(GetTickCount() - limit) < 0) {
        HCONV conv = DdeConnect(client, name, name, NULL);
        if (conv) {
            found = 1;
            DdeDisconnect(conv);
        } else {
            Pump(100, NULL);
        }
    }
    if (name) DdeFreeStringHandle(client, name);
    DdeUninitialize(client);
    return found;
}

// Connects to "PROGMAN" as a client would; 1 when the recorder's own server
// took the conversation.
static int AnswersFirst(void)
{
    DWORD client = 0;
    if (DdeInitializeA(&client, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 0;
    HSZ name = DdeCreateStringHandleA(client, "PROGMAN", CP_WINANSI);
    g_probing = 1;
    HCONV conv = name ? DdeConnect(client, name, name, NULL) : NULL;
    g_probing = 0;
    int ours = conv && g_probeConv;
    if (conv) DdeDisconnect(conv);
    if (ours) Pump(10000, &g_probeEnded);
    if (name) DdeFreeStringHandle(client, name);
    DdeUninitialize(client);
    return ours && g_probeEnded;
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: progman_recorder RECORD READY STOP [SECONDS]\n");
        return 2;
    }
    const char *stop = argv[3];
    int seconds = argc > 4 ? atoi(argv[4]) : 120;
    g_record = fopen(argv[1], "wb");
    if (!g_record) {
        fprintf(stderr, "progman_recorder: cannot write %s\n", argv[1]);
        return 2;
    }
    UINT error = DdeInitializeA(&g_instance, Callback, CBF_FAIL_ADVISES | CBF_FAIL_POKES, 0);
    if (error != DMLERR_NO_ERROR) {
        fprintf(stderr, "progman_recorder: DdeInitializeA failed (%u)\n", error);
        return 2;
    }
    g_progman = DdeCreateStringHandleA(g_instance, "PROGMAN", CP_WINANSI);
    int shell = WaitForOtherServer(30);
    printf("progman_recorder: %s\n", shell ? "another server answers PROGMAN" : "no other server answers PROGMAN");
    if (!g_progman || !DdeNameService(g_instance, g_progman, NULL, DNS_REGISTER)) {
        fprintf(stderr, "progman_recorder: cannot register PROGMAN (%u)\n", DdeGetLastError(g_instance));
        return 2;
    }
    if (!AnswersFirst()) {
        fprintf(stderr, "progman_recorder: another server answers PROGMAN before this one\n");
        return 3;
    }
    FILE *ready = fopen(argv[2], "wb");
    if (!ready) {
        fprintf(stderr, "progman_recorder: cannot write %s\n", argv[2]);
        return 2;
    }
    fclose(ready);
    printf("progman_recorder: serving PROGMAN\n");
    fflush(stdout);

    // The message loop serves the conversations; a timer looks for the stop file.
    SetTimer(NULL, 0, 50, NULL);
    DWORD limit = GetTickCount() + (DWORD)seconds * 1000;
    int result = 1;
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        DispatchMessageA(&msg);
        if (Exists(stop)) {
            result = 0;
            break;
        }
        if ((LONG)(GetTickCount() - limit) >= 0) break;
    }
    DdeNameService(g_instance, g_progman, NULL, DNS_UNREGISTER);
    DdeFreeStringHandle(g_instance, g_progman);
    DdeUninitialize(g_instance);
    fclose(g_record);
    DeleteFileA(stop);
    if (result) fprintf(stderr, "progman_recorder: no stop file within %d s\n", seconds);
    return result;
}
