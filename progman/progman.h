// The Program Manager link: one process-wide DDE client that sends Program
// Manager's command strings to the server "PROGMAN", one short conversation per
// command; and the group-name dialog with the list of existing groups.
#ifndef VANTRO_PROGMAN_H
#define VANTRO_PROGMAN_H

#include "platform.h"

#define PROGMAN_COMMAND_SIZE 516  // a command, terminator included
#define PROGMAN_GROUP_SIZE 256    // a group name, terminator included
#define PROGMAN_LIST_SIZE 2096    // the reply to "Groups"
#define PROGMAN_TIMEOUT 1000      // ms, every transaction

extern DWORD g_dwDdeInstance;  // the client's DDEML instance
extern int g_bDdeOpen;         // 1 while an instance is initialised

// The DDE callback of every instance: no data for any transaction.
HDDEDATA CALLBACK ProgmanCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                  ULONG_PTR data1, ULONG_PTR data2);

// 1 when a group name can go into a Program Manager command as it is written:
// it holds none of [ ] ( ) " , (which end an argument or a command and start
// another) and no control character. The empty name counts as safe (the
// callers replace it by the product's group).
int IsSafeGroupName(const char *name);

// Initialises the client; 1 when the DDE library accepted it, else 0.
int ProgmanOpen(void);
// Sends one command in a conversation of its own; 1 when the server accepted
// it, 0 when the client is closed, no server answered, or it refused or timed out.
int ProgmanExecute(const char *command);
// Opens the client and asks for the group; 0 only when the client cannot be
// opened. A name that is not safe (IsSafeGroupName) is never sent.
int ProgmanCreateGroup(const char *group);
// Replaces the item of that name (caption, else file name) in the current
// group; the target is folder\file (file alone when it holds a backslash), the
// working folder is the folder (the current one when empty), in quotes when it
// holds a character that would end the argument. Always 1.
int ProgmanAddItem(const char *caption, const char *folder, const char *file, const char *commandLine);
// Makes the group the one that item commands work on (Program Manager's
// current group), shown as `show` says (Program Manager's own values: 1 in its
// normal size and active, 7 minimised and not active). Always 1.
#define PROGMAN_SHOW_NORMAL 1
#define PROGMAN_SHOW_MINIMIZED 7
int ProgmanShowGroup(const char *group, int show);
// Deletes the item named by the caption, else the file name. Always 1.
int ProgmanDeleteItem(const char *caption, const char *file);
// Deletes the group only when it is the product's own ("Vantro Pro", any
// case), and closes the client either way. Always 1.
int ProgmanDeleteGroup(const char *group);
// Closes the client. Always 1.
int ProgmanClose(void);

// Fills a combo box with Program Manager's groups, "Startup" left out, on a DDE
// instance of its own.
void ProgmanListGroups(HWND combo);
// Asks for the group with DLG_GETGROUP, proposing `name` (256 bytes); 1 after
// OK with the name in `name`, 0 after Cancel or when the dialog cannot be shown.
int AskGroupName(HWND owner, char *name);

#endif
