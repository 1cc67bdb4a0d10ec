// The DDE management library of the host layer, and the simulated Program
// Manager that answers it: the service "PROGMAN" keeps groups and items as
// Program Manager does for CreateGroup, DeleteGroup, AddItem and DeleteItem,
// answers the "Groups" request, and records every command text it received,
// byte for byte. A test can make it absent, refuse commands, answer after the
// client's timeout, or make DdeInitializeA fail (HostFailCall).
#ifndef VANTRO_HOST_DDE_H
#define VANTRO_HOST_DDE_H

#include <string>
#include <vector>

// ---- the API, with Windows' names and values --------------------------------------
struct HostDdeString;
typedef struct HostDdeString *HSZ;
struct HostDdeConversation;
typedef struct HostDdeConversation *HCONV;
struct HostDdeData;
typedef struct HostDdeData *HDDEDATA;
typedef HDDEDATA (*PFNCALLBACK)(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                ULONG_PTR data1, ULONG_PTR data2);
typedef struct tagCONVCONTEXT *PCONVCONTEXT;

#define DMLERR_NO_ERROR 0
#define DMLERR_DLL_USAGE 0x4004
#define DMLERR_INVALIDPARAMETER 0x4006
#define DMLERR_SYS_ERROR 0x400f
#define APPCMD_CLIENTONLY 0x00000010L
#define CP_WINANSI 1004
#define CF_TEXT 1
#define XCLASS_DATA 0x2000
#define XCLASS_FLAGS 0x4000
#define XTYPF_NOBLOCK 0x0002
#define XTYP_REQUEST (0x00B0 | XCLASS_DATA)
#define XTYP_EXECUTE (0x0050 | XCLASS_FLAGS)

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved);
BOOL DdeUninitialize(DWORD instance);
HSZ DdeCreateStringHandleA(DWORD instance, LPCSTR text, int codePage);
BOOL DdeFreeStringHandle(DWORD instance, HSZ hsz);
HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context);
BOOL DdeDisconnect(HCONV conv);
HDDEDATA DdeClientTransaction(LPBYTE data, DWORD length, HCONV conv, HSZ item, UINT format, UINT type,
                              DWORD timeout, LPDWORD result);
LPBYTE DdeAccessData(HDDEDATA data, LPDWORD size);
BOOL DdeUnaccessData(HDDEDATA data);
BOOL DdeFreeDataHandle(HDDEDATA data);

// ---- the simulated Program Manager ------------------------------------------------------
struct HostProgmanItem {
    std::string command, name, workDir;
};
struct HostProgmanGroup {
    std::string name;
    std::vector<HostProgmanItem> items;
};
// Present (the default) or absent: absent, no conversation is ever made.
void HostProgmanSetPresent(bool present);
// Every command is refused (the transaction returns null).
void HostProgmanSetRefusing(bool refusing);
// The server takes this long to answer; past the client's timeout the client
// sees no result, though the server still carries the command out.
void HostProgmanSetDelay(DWORD milliseconds);
// Adds a group as Program Manager already had it.
void HostProgmanAddGroup(const char *name);
// The shell started anew (a later log-on): no group is current.
void HostProgmanNewSession(void);
// Replaces the reply to "Groups" by these bytes, as they are (no NUL added).
void HostProgmanSetGroupsReply(const std::string &bytes);
const std::vector<HostProgmanGroup> &HostProgmanGroups();
const HostProgmanGroup *HostProgmanFindGroup(const char *name);
// Every execute command received, byte for byte as sent (the terminator too).
const std::vector<std::string> &HostProgmanCommands();
// Conversations made so far, and those not yet ended.
int HostProgmanConversations();
int HostDdeOpenConversations();
// Instances initialised and not yet ended.
int HostDdeOpenInstances();
// How many requests for "Groups" the server answered.
int HostProgmanGroupRequests();

// Everything (a new machine), or only the ending process's instances and
// conversations (Program Manager keeps its groups).
void HostResetDde();
void HostResetDdeClient();

#endif
