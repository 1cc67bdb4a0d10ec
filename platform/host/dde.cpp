// The DDE management library of the host layer and the Program Manager that
// answers it (see dde.h).
#include <string.h>

#include <map>
#include <memory>

#include "internal.h"

struct HostDdeString {
    DWORD instance;
    std::string text;
};
struct HostDdeConversation {
    DWORD instance;
    bool open;
};
struct HostDdeData {
    DWORD instance;
    std::string bytes;
};

namespace {
struct Instance {
    PFNCALLBACK callback;
};
struct Progman {
    bool present = true;
    bool refusing = false;
    DWORD delay = 0;
    bool groupsReplySet = false;
    std::string groupsReply;
    std::vector<HostProgmanGroup> groups;
    int current = -1;  // the group that AddItem and DeleteItem work on
    std::vector<std::string> commands;
    int conversations = 0;
    int groupRequests = 0;
};
}  // namespace

static std::map<DWORD, Instance> g_instances;
static DWORD g_nextInstance = 1;
static std::vector<std::unique_ptr<HostDdeString>> g_strings;
static std::vector<std::unique_ptr<HostDdeConversation>> g_conversations;
static std::vector<std::unique_ptr<HostDdeData>> g_data;
static Progman g_progman;

void HostResetDdeClient()
{
    g_instances.clear();
    g_strings.clear();
    g_conversations.clear();
    g_data.clear();
}

void HostResetDde()
{
    HostResetDdeClient();
    g_nextInstance = 1;
    g_progman = Progman();
}

void HostProgmanSetPresent(bool present) { g_progman.present = present; }
void HostProgmanSetRefusing(bool refusing) { g_progman.refusing = refusing; }
void HostProgmanSetDelay(DWORD milliseconds) { g_progman.delay = milliseconds; }
void HostProgmanAddGroup(const char *name) { g_progman.groups.push_back(HostProgmanGroup{name, {}}); }
void HostProgmanNewSession(void) { g_progman.current = -1; }
void HostProgmanSetGroupsReply(const std::string &bytes)
{
    g_progman.groupsReplySet = true;
    g_progman.groupsReply = bytes;
}
const std::vector<HostProgmanGroup> &HostProgmanGroups() { return g_progman.groups; }
const std::vector<std::string> &HostProgmanCommands() { return g_progman.commands; }
int HostProgmanConversations() { return g_progman.conversations; }
int HostProgmanGroupRequests() { return g_progman.groupRequests; }
int HostDdeOpenInstances() { return (int)g_instances.size(); }
int HostDdeOpenConversations()
{
    int n = 0;
    for (auto &c : g_conversations) n += c->open;
    return n;
}

static int FindGroup(const std::string &name)
{
    for (size_t i = 0; i < g_progman.groups.size(); i++)
        if (HostUpper(g_progman.groups[i].name) == HostUpper(name)) return (int)i;
    return -1;
}

const HostProgmanGroup *HostProgmanFindGroup(const char *name)
{
    int i = FindGroup(name);
    return i < 0 ? nullptr : &g_progman.groups[i];
}

static bool Known(DWORD instance) { return g_instances.count(instance) != 0; }

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved)
{
    if (HostFault("DdeInitializeA")) return DMLERR_SYS_ERROR;
    if (!instance || !callback || reserved != 0 || *instance != 0) return DMLERR_INVALIDPARAMETER;
    // The program is a client only; a server's flags would need callbacks we do not model.
    if (command != APPCMD_CLIENTONLY) return DMLERR_INVALIDPARAMETER;
    *instance = g_nextInstance++;
    g_instances[*instance] = Instance{callback};
    return DMLERR_NO_ERROR;
}

BOOL DdeUninitialize(DWORD instance)
{
    if (HostFault("DdeUninitialize")) return FALSE;
    if (!Known(instance)) return FALSE;
    g_instances.erase(instance);
    // Everything the instance owned goes with it.
    for (auto &c : g_conversations)
        if (c->instance == instance) c->open = false;
    for (auto &s : g_strings)
        if (s && s->instance == instance) s.reset();
    for (auto &d : g_data)
        if (d && d->instance == instance) d.reset();
    return TRUE;
}

static bool LiveString(HSZ hsz)
{
    for (auto &s : g_strings)
        if (s && s.get() == hsz) return true;
    return false;
}

HSZ DdeCreateStringHandleA(DWORD instance, LPCSTR text, int codePage)
{
    if (HostFault("DdeCreateStringHandleA")) return nullptr;
    if (!Known(instance) || !text || codePage != CP_WINANSI) return nullptr;
    g_strings.push_back(std::unique_ptr<HostDdeString>(new HostDdeString{instance, text}));
    return g_strings.back().get();
}

BOOL DdeFreeStringHandle(DWORD instance, HSZ hsz)
{
    for (auto &s : g_strings)
        if (s && s.get() == hsz && s->instance == instance) {
            s.reset();
            return TRUE;
        }
    return FALSE;
}

HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context)
{
    (void)context;
    if (HostFault("DdeConnect")) return nullptr;
    if (!Known(instance) || !LiveString(service) || !LiveString(topic)) return nullptr;
    if (!g_progman.present || HostUpper(service->text) != "PROGMAN" || HostUpper(topic->text) != "PROGMAN")
        return nullptr;
    g_progman.conversations++;
    g_conversations.push_back(std::unique_ptr<HostDdeConversation>(new HostDdeConversation{instance, true}));
    return g_conversations.back().get();
}

static HostDdeConversation *LiveConversation(HCONV conv)
{
    for (auto &c : g_conversations)
        if (c.get() == conv && c->open) return c.get();
    return nullptr;
}

BOOL DdeDisconnect(HCONV conv)
{
    HostDdeConversation *c = LiveConversation(conv);
    if (!c) return FALSE;
    c->open = false;
    return TRUE;
}

// The arguments of a command "[Name(a,"b",c)]": split at commas outside quotes,
// quotes removed.
static bool ParseCommand(const std::string &text, std::string &name, std::vector<std::string> &args)
{
    if (text.size() < 4 || text.front() != '[' || text.back() != ']') return false;
    size_t open = text.find('(');
    if (open == std::string::npos || text[text.size() - 2] != ')') return false;
    name = text.substr(1, open - 1);
    std::string inside = text.substr(open + 1, text.size() - open - 3);
    std::string arg;
    bool quoted = false;
    for (char ch : inside) {
        if (ch == '"') {
            quoted = !quoted;
        } else if (ch == ',' && !quoted) {
            args.push_back(arg);
            arg.clear();
        } else {
            arg += ch;
        }
    }
    args.push_back(arg);
    return !quoted;
}

// Carries out one command as Program Manager does; false when it refuses it.
static bool Execute(const std::string &text)
{
    std::string name;
    std::vector<std::string> args;
    if (!ParseCommand(text, name, args)) return false;
    std::string command = HostUpper(name);
    if (command == "CREATEGROUP" && !args.empty() && !args[0].empty()) {
        int i = FindGroup(args[0]);
        if (i < 0) {
            g_progman.groups.push_back(HostProgmanGroup{args[0], {}});
            i = (int)g_progman.groups.size() - 1;
        }
        g_progman.current = i;
        return true;
    }
    if (command == "SHOWGROUP" && args.size() == 2) {
        // The shell takes the group as current even when it has no such
        // group; the item commands then find nothing.
        g_progman.current = FindGroup(args[0]);
        return true;
    }
    if (command == "DELETEGROUP" && args.size() == 1) {
        int i = FindGroup(args[0]);
        if (i < 0) return false;
        g_progman.groups.erase(g_progman.groups.begin() + i);
        if (g_progman.current == i) g_progman.current = -1;
        else if (g_progman.current > i) g_progman.current--;
        return true;
    }
    if (g_progman.current < 0) return false;  // items live in the current group
    std::vector<HostProgmanItem> &items = g_progman.groups[g_progman.current].items;
    if (command == "ADDITEM" && !args.empty() && !args[0].empty()) {
        HostProgmanItem item{args[0], args.size() > 1 ? args[1] : "", args.size() > 6 ? args[6] : ""};
        items.push_back(item);
        return true;
    }
    if (command == "DELETEITEM" && args.size() == 1) {
        for (size_t i = 0; i < items.size(); i++)
            if (HostUpper(items[i].name) == HostUpper(args[0])) {
                items.erase(items.begin() + i);
                return true;
            }
        return false;
    }
    return false;
}

static HDDEDATA NewData(DWORD instance, const std::string &bytes)
{
    g_data.push_back(std::unique_ptr<HostDdeData>(new HostDdeData{instance, bytes}));
    return g_data.back().get();
}

HDDEDATA DdeClientTransaction(LPBYTE data, DWORD length, HCONV conv, HSZ item, UINT format, UINT type,
                              DWORD timeout, LPDWORD result)
{
    if (result) *result = 0;
    if (HostFault("DdeClientTransaction")) return nullptr;
    HostDdeConversation *c = LiveConversation(conv);
    if (!c || format != CF_TEXT) return nullptr;
    bool late = g_progman.delay > timeout;
    if (type == XTYP_EXECUTE) {
        if (!data || item) return nullptr;
        std::string bytes((const char *)data, length);
        g_progman.commands.push_back(bytes);
        std::string text(bytes.c_str());  // up to the terminator
        bool done = !g_progman.refusing && Execute(text);
        if (!done || late) return nullptr;
        if (result) *result = 0x8000;  // DDE_FACK
        return (HDDEDATA)1;            // TRUE: an execute returns no data
    }
    if (type == XTYP_REQUEST) {
        if (data || !LiveString(item) || HostUpper(item->text) != "GROUPS") return nullptr;
        g_progman.groupRequests++;
        if (late) return nullptr;
        std::string reply;
        if (g_progman.groupsReplySet) {
            reply = g_progman.groupsReply;
        } else {
            for (const HostProgmanGroup &g : g_progman.groups) reply += g.name + "\r\n";
            reply += '\0';
        }
        return NewData(c->instance, reply);
    }
    return nullptr;
}

static HostDdeData *LiveData(HDDEDATA data)
{
    for (auto &d : g_data)
        if (d && d.get() == data) return d.get();
    return nullptr;
}

LPBYTE DdeAccessData(HDDEDATA data, LPDWORD size)
{
    HostDdeData *d = LiveData(data);
    if (!d) return nullptr;
    if (size) *size = (DWORD)d->bytes.size();
    return (LPBYTE)&d->bytes[0];
}

BOOL DdeUnaccessData(HDDEDATA data) { return LiveData(data) != nullptr; }

BOOL DdeFreeDataHandle(HDDEDATA data)
{
    for (auto &d : g_data)
        if (d && d.get() == data) {
            d.reset();
            return TRUE;
        }
    return FALSE;
}
