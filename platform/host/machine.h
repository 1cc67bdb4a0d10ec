// The simulated machine behind the host platform layer, and the controls that
// tests use to set it up, drive it and look at what the installer did.
//
// Drives are folders under a root on the real file system ("C:" is <root>/c);
// Windows paths resolve case-insensitively against them. The machine also keeps
// the environment, the Windows version, the desktop size, the module's
// resources, the windows and their message queue, the scripted user who answers
// message boxes, and per-call fault injection.
#ifndef VANTRO_HOST_MACHINE_H
#define VANTRO_HOST_MACHINE_H

#include <functional>
#include <string>
#include <vector>

#include "platform.h"

// ---- the machine ------------------------------------------------------------

// Wipes all simulated state and starts a fresh machine whose drives live under
// the real folder `root` (created if needed; drive C is made). Defaults: temp
// folder "C:\TEMP\", module "C:\SETUP\VantroSetup.exe", Windows NT 4.0 with
// OS=Windows_NT, desktop 1024x768, the resources of the built resource script.
void HostReset(const char *root);
const std::string &HostRoot();
// Ends the simulated process and starts a new one on the same machine: windows,
// classes, the message queue, the answers and records of message boxes, open
// files and fault rules go; disk, environment and settings stay.
void HostStartProcess();

// Maps a Windows path (absolute, drive-relative or relative to the simulated
// current directory; "\" or "/" separators) to the real path, matching each
// existing component ignoring case. Returns false for a path on a drive that
// does not exist or one that is not a valid Windows path.
bool HostResolvePath(const char *winPath, std::string &hostPath);
// Adds a drive letter whose folder is <root>/<letter>.
void HostAddDrive(char letter);
// Creates a folder and its parents on the simulated disk (test convenience).
bool HostMakeFolder(const char *winPath);

// Writes or reads a whole file by its Windows path (test convenience).
bool HostWriteFile(const char *winPath, const std::string &bytes);
bool HostReadFile(const char *winPath, std::string &bytes);
bool HostFileExists(const char *winPath);

void HostSetTempPath(const char *winPath);  // as GetTempPathA reports it
void HostSetModulePath(const char *winPath);
void HostSetEnv(const char *name, const char *value);  // value null: remove
// Windows version: platform is VER_PLATFORM_WIN32_NT or _WINDOWS (or _WIN32s).
void HostSetVersion(int major, int minor, int build, int platform);
void HostSetDesktop(int width, int height);
void HostSetWindowsFolders(const char *windowsDir, const char *systemDir);

// The disk answers as Windows does where the logic can meet it: paths of more
// than 260 characters fail with ERROR_FILENAME_EXCED_RANGE; the read-only
// attribute (SetFileAttributesA) is kept by the simulation, so it holds even
// for a test run as root; a file deleted while open with delete sharing keeps
// its name, and cannot be opened, until the last handle goes; long names get
// 8.3 aliases numbered ~1, ~2... in the order they were made, and a short path
// opens its file.
//
// Another program holds the file open: with `share` as its sharing mode (no
// FILE_SHARE_DELETE: the file cannot be replaced, renamed or deleted), or, with
// `image` set, mapped as a running program's image (cannot be written or
// deleted: ERROR_ACCESS_DENIED; can be renamed). Returns false when the file
// does not exist.
bool HostHoldFile(const char *winPath, DWORD share, bool image);
void HostReleaseFile(const char *winPath);
// File searches (FindFirstFileA) not yet closed.
int HostOpenSearches();

// ---- registry -----------------------------------------------------------------------
// Paths begin with a root: "HKLM\\Software\\...", "HKCU\\...", "HKCR\\...".
bool HostRegKeyExists(const char *path);
void HostRegCreateKey(const char *path);
bool HostRegGetValue(const char *path, const char *name, DWORD *type, std::string *data);
void HostRegSetString(const char *path, const char *name, const char *value);
std::vector<std::string> HostRegValueNames(const char *path);
// Deletes a key with everything below it, or one value; false when absent.
bool HostRegDeleteTree(const char *path);
bool HostRegDeleteValue(const char *path, const char *name);
void HostRegSetDword(const char *path, const char *name, DWORD value);
int HostRegOpenHandles();

// ---- the system beyond the program's imports ---------------------------------------
// What the program asked of the library search (SetDefaultDllDirectories,
// SetDllDirectoryA) in this process.
struct HostLibrarySearch {
    DWORD defaultDirectories = 0;  // flags given to SetDefaultDllDirectories, 0 when not called
    bool dllDirectorySet = false;
    std::string dllDirectory;      // what SetDllDirectoryA was given
};
const HostLibrarySearch &HostLibrarySearchState();
// Makes a function that GetProcAddress finds in the system's modules missing
// (see platform.h for which the version has).
void HostHideSystemFunction(const char *name);
// Whether the process has administrator rights (its token's Administrators
// group enabled, not deny-only); true by default. Without them, moves left for
// the next start cannot be stored.
void HostSetAdministrator(bool admin);
// A temporary folder whose path holds characters outside the ANSI code page
// (UTF-8): GetTempPathA answers with "?" for them, GetTempPathW with the path;
// GetShortPathNameW of a long wide path answers what HostSetShortNameWide gave.
void HostSetTempPathWide(const char *utf8Path);
void HostSetShortNameWide(const char *utf8LongPath, const char *shortPath);
// The processes the program started ("<application>|<command line>"), and the
// exit code they all end with.
const std::vector<std::string> &HostProcessesStarted();
void HostSetChildExitCode(DWORD code);
int HostOpenProcessHandles();
// Blocks of LocalAlloc not yet freed.
int HostLocalBlocks();
// Moves and deletions left for the next start (PendingFileRenameOperations),
// "<source>|<target>" in order, and the next start working through them.
std::vector<std::string> HostPendingRenames();
void HostRunPendingRenames();
// The security a folder was created with, as "D:P(A;OICI;0x1f01ff;;;S-1-5-18)...":
// "P" when protected from inheritance, one entry per access-allowed entry with
// its inheritance flags, mask and SID; "" when it was made without one.
std::string HostFolderSecurity(const char *winPath);

// ---- restart -------------------------------------------------------------------------
struct HostRestart {
    int requests;            // ExitWindowsEx calls
    UINT lastFlags;
    bool shutdownPrivilege;  // SeShutdownPrivilege enabled in the process token
    bool privilegeBeforeRequest;
};
const HostRestart &HostRestartState();

// ---- the product's libraries and programs --------------------------------------------
// LoadLibraryA loads a file of the simulated disk whose name is one of the
// product's libraries (tstub.dll, shellext.dll, vnbho2k0.dll, secsvc.dll,
// tcore32.dll, navhook.dll, tsynclib.dll) and gives it the exports and the
// behaviour of the stand-in component of that name: the class servers'
// DllRegisterServer and DllUnregisterServer write and delete HKCR\CLSID\<their
// id> with InprocServer32 (their own path, ThreadingModel "Apartment"),
// vnbho2k0.dll's AddNetscapeBhoKey and AddExplorerBhoKey their browser keys,
// secsvc.dll's DLLRegisterSSL the SSL key's Folder, CertFile, KeyFile and CAFile.
// A missing file fails with ERROR_MOD_NOT_FOUND, any other file with
// ERROR_BAD_EXE_FORMAT. A failure marker "<base>.fail" beside the module works as
// the stand-ins' do: empty or "*" fails every entry point, named lines only
// those, a line "load" refuses the load (ERROR_DLL_INIT_FAILED).
//
// WinExec finds the program as CreateProcess does (a quoted path, or the
// shortest space-separated prefix that names an existing file, ".exe" added
// when it has no extension) and runs tsched.exe as the stand-in scheduler:
// "-install", "-install_no_start", "-remove", "-stop", "-start" with their
// effects on HKCU\...\Run "Vantro Queue Scheduler" and the scheduler's own key
// (Installed, StartAtLogon, Path, LastCommand, LastResult, History), and its
// marker tsched.fail. Other programs are recorded and do nothing. Returns 33,
// or ERROR_FILE_NOT_FOUND when no program is found.
struct HostComponentCall {
    std::string module;  // full Windows path of the library or program
    std::string what;    // "load", "free", an export's name, or "run"
    std::string args;    // DLLRegisterSSL: "<key>|<folder>|<reserved>"; run: the arguments
    std::string cwd;     // the current folder at the call
    long result;         // the export's result (load: 1 loaded, 0 refused)
    DWORD flags;         // load: the LoadLibraryExA flags (0 for LoadLibraryA)
};
const std::vector<HostComponentCall> &HostComponentCalls();
// The calls of one kind ("DllRegisterServer", "run"...) in order, as
// "<file name> <args>" (file name as it is on disk, lower case kept).
std::vector<std::string> HostComponentCallsOf(const char *what);
// Libraries loaded and not yet freed.
int HostLoadedLibraries();

// ---- resources ----------------------------------------------------------------
// Adds or replaces a resource of the module (type and name as strings, such as
// "EXE" and "INSTINI"); RemoveResource makes one absent. Strings likewise.
void HostSetResource(const char *type, const char *name, const std::string &bytes);
// Setting an "EXE" resource of a payload row also records its CRC in the
// payload's check table, as a build of those bytes would; DamageResource flips
// one byte and leaves the table alone, as damage after the build does.
void HostRemoveResource(const char *type, const char *name);
bool HostDamageResource(const char *type, const char *name, size_t offset);
void HostRemoveString(unsigned id);
// The text of a string-table entry as built, or null.
const char *HostStringTableText(unsigned id);

// ---- fault injection ------------------------------------------------------------
// Makes the nth call (1-based, counted from now) of the named API fail with
// `error`; nth 0 makes every call fail. Cleared by HostReset, HostStartProcess
// or HostClearFaults; a new rule for the same API replaces the old one.
void HostFailCall(const char *api, int nth, unsigned long error);
// The same, counting only the calls with that argument: for file APIs a path
// (compared as an absolute Windows path, ignoring case; ReadFile, WriteFile and
// LZCopy by the path their handle was opened with; MoveFileA by either name),
// for registry key APIs the subkey as passed, for value APIs the value name.
// Example: HostFailCallOn("CreateFileA", "C:\\DEST\\tcore32.dll", 1, ERROR_ACCESS_DENIED).
void HostFailCallOn(const char *api, const char *arg, int nth, unsigned long error);
void HostClearFaults();
// How many calls of an API (with that argument, when given, compared as above)
// the layer has seen since HostReset or HostClearCallCounts, the layer's own
// inner calls included (GetTempFileNameA opens files with CreateFileA).
int HostCallCount(const char *api, const char *arg = nullptr);
void HostClearCallCounts();
// The APIs called at least once since the counts were last cleared, by name.
std::vector<std::string> HostCalledApis();
// How many calls the rules made fail since the rules were last cleared.
int HostFaultsFired();
// A bound on one run: past `calls` further calls of the layer's APIs (counted as
// HostCallCount counts them) the layer prints the fault rules in force and stops
// the process, because a program that keeps calling under a failing call would
// otherwise never end. 0 removes the bound; HostReset removes it too.
void HostSetCallLimit(long calls);
// Used by the layer's own functions at entry: counts the call and returns true
// (with the last error set) when this call is to fail. HostFaultOn also names
// the call's registry names, HostFaultOnPath its paths (one or two, null for none).
bool HostFault(const char *api);
bool HostFaultOn(const char *api, const char *arg1, const char *arg2 = nullptr);
bool HostFaultOnPath(const char *api, const char *path1, const char *path2 = nullptr);

// ---- problems of the run ------------------------------------------------------
// What the test did not script and the layer had to decide for it: a message
// box with no answer queued, a modal dialog whose script ran out, a script step
// that does not apply (see HostDialogErrors). Each is printed when it happens,
// names the box's caption and text or the dialog's template, and is kept until
// HostReset or HostClearProblems (HostStartProcess keeps them). The test
// fixtures fail a test that leaves any.
const std::vector<std::string> &HostProblems();
void HostClearProblems();

// ---- windows, the scripted user, and what was shown -------------------------------
struct HostMessageBox {
    HWND owner;
    std::string text;
    std::string caption;  // "(null)" is not used: an absent caption is recorded as ""
    bool nullCaption;
    unsigned type;
    int answer;
};
// Queues the answer the user will give to the next message box. A box with no
// answer queued is a problem of the run (see HostProblems), answered with the
// button that goes no further: IDOK for MB_OK, IDNO for MB_YESNO, IDABORT for
// MB_ABORTRETRYIGNORE, IDCANCEL otherwise.
void HostAnswerMessageBox(int answer);
// The same, with something the user does before answering (such as closing the
// program that held a file).
void HostAnswerMessageBox(int answer, void (*before)(void));
const std::vector<HostMessageBox> &HostMessageBoxes();
// Runs `action` whenever the program looks for messages and finds none: where
// the user acts while the program works (null to stop).
void HostOnIdle(void (*action)(void));

// Every window the program has created, in order (destroyed ones included).
struct HostWindowInfo {
    HWND wnd;
    std::string className;
    std::string title;
    DWORD style;
    RECT rect;
    bool visible;
    bool destroyed;
    bool everShown;
};
std::vector<HostWindowInfo> HostWindows();
HWND HostFindWindow(const char *className, const char *title);
// Every text the window was given with SetWindowTextA, in order (destroyed or not).
std::vector<std::string> HostWindowTexts(HWND wnd);

// A copy of one bitmap to a window, as BitBlt made it while painting.
struct HostBlit {
    HWND wnd;
    std::string bitmap;  // resource name of the bitmap selected into the source
    int x, y, width, height;
};
const std::vector<HostBlit> &HostBlits();
void HostClearBlits();
// Sends WM_PAINT to the window now (as a visible window would receive it).
void HostPaint(HWND wnd);

// The registered class of the given name, or null.
const WNDCLASSA *HostFindClass(const char *className);
// The client rectangle a window had, destroyed or not.
bool HostClientRectOf(HWND wnd, RECT &client);
// A solid brush's colour; returns false for anything else.
bool HostBrushColor(HBRUSH brush, COLORREF &color);

// ---- dialogs and the scripted user ---------------------------------------------------
//
// Dialogs come from the templates of the resource script (tools/hostrc turns
// every DIALOG block into a table), or from templates a test sets. A dialog is a
// window of class "#32770" with the template's caption; each control is a child
// window of class "Button", "Static", "Edit", "ListBox" or "ComboBox" with its
// id, text, style, and check state. Places are converted from dialog units with
// the base units of MS Sans Serif 8 at 96 DPI: 6 by 13 pixels for 4 by 8 units
// (x * 6 / 4 and y * 13 / 8, rounded as MulDiv does); the template's size is the
// client area, and the window is that plus the frame GetClientRect takes off.
//
// The scripted user works each dialog from a queue of steps kept per template
// name. A modal dialog (DialogBoxParamA, GetOpenFileNameA) takes its next step
// whenever its message loop finds the queue empty; a modeless dialog
// (CreateDialogParamA) takes its steps when the program looks for messages and
// finds none (PeekMessageA, GetMessageA), which is where a user's click arrives
// while the program works. Input arrives as Windows delivers it: a click is
// posted to the control, so a click on a disabled or hidden control, or in a
// disabled dialog, does nothing; Esc and Enter are posted key presses that only
// IsDialogMessageA turns into IDCANCEL and the default button's command; the
// close box posts WM_SYSCOMMAND SC_CLOSE, which the dialog turns into the
// IDCANCEL command unless its Cancel button is disabled. When a modal dialog is
// still up and its queue is empty, the run is wrong: the layer prints the
// problem, records it in HostDialogErrors() and HostProblems() and ends the
// dialog with IDCANCEL so that the run can end.
//
// Example (a test of an install question):
//
//     HostDialogScript("DLG_INSTALL", {
//         HostCall([](HWND dlg) { EXPECT_FALSE(HostControlState(dlg, 1852).enabled); }),
//         HostCheck(1852),             // click "Remove" unless it is checked
//         HostClick(IDOK)});
//     HostDialogScript("DLG_COPY", {HostWaitIdle(3), HostClick(IDCANCEL)});
//     HostDialogScript("DLG_BROWSE", {HostPick("C:\\Program Files")});
//     ... run the program ...
//     EXPECT_TRUE(HostDialogErrors().empty());
//     const HostDialogRecord &r = HostDialogsShown()[0];   // r.templateName "DLG_INSTALL"
//     EXPECT_TRUE(HostFindControl(r.shown, 1851)->checked);
//     EXPECT_EQ(r.result, 2);

// One control as the user sees it.
struct HostControl {
    bool found;  // false: no such control
    int id;
    std::string className;  // "Button", "Static", "Edit", "ListBox", "ComboBox"
    DWORD style;
    std::string text;
    bool checked;   // check boxes and radio buttons
    bool enabled;
    bool visible;   // the control's own visibility (ShowWindow, WS_VISIBLE)
    std::vector<std::string> items;  // list and combo boxes, in list order
    int selection;  // list and combo boxes: the selected item, -1 for none
};
// The state of control `id` of a dialog now.
HostControl HostControlState(HWND dialog, int id);
// The first control with that id in a snapshot, or null.
const HostControl *HostFindControl(const std::vector<HostControl> &snapshot, int id);

struct HostDialogStep {
    enum Kind { Click, Check, Uncheck, Type, Select, Esc, Enter, Close, Pick, CancelPicker, WaitIdle, Call } kind;
    int id;
    std::string text;  // Type: the new text; Select: the item; Pick: the folder
    int count;         // WaitIdle
    std::function<void(HWND)> call;
};
HostDialogStep HostClick(int id);            // a mouse click on the control
HostDialogStep HostCheck(int id);            // a click on a check box or radio button that is not checked
HostDialogStep HostUncheck(int id);          // a click on a check box that is checked
HostDialogStep HostType(int id, const char *text);   // replaces an edit field's text (EN_CHANGE)
HostDialogStep HostSelect(int id, const char *item); // picks a list or combo box item (its edit field takes the text)
HostDialogStep HostPressEsc();
HostDialogStep HostPressEnter();
HostDialogStep HostCloseBox();               // needs WS_SYSMENU; an error without it
// GetOpenFileNameA: goes to an existing folder (a Windows path) and presses OK;
// the file buffer then holds the folder, "\", and the file name field.
HostDialogStep HostPick(const char *folder);
HostDialogStep HostCancelPicker();           // presses Cancel
// Modeless dialogs: the user waits until the program has looked for messages
// `moments` times (counted while the dialog is open) before the next steps.
// Ignored by modal dialogs.
HostDialogStep HostWaitIdle(int moments);
// Runs `fn` with the dialog at that point (to look at its controls, or to act
// as the user would in ways the other steps do not cover).
HostDialogStep HostCall(std::function<void(HWND dialog)> fn);

// Adds steps for the dialogs of a template: "DLG_INSTALL", "#307" or
// MAKEINTRESOURCEA(307); names ignore case. Each showing of the template takes
// steps from the front of its queue; a modal dialog that ends leaves the rest
// for the next showing. GetOpenFileNameA's queue is its template's
// (lpTemplateName), or "GetOpenFileName" without a template.
void HostDialogScript(const char *templateName, std::vector<HostDialogStep> steps);
// Steps not yet taken for a template.
int HostDialogStepsLeft(const char *templateName);

// What the user did in a dialog: the step, and every control as it was just
// before the user acted.
struct HostDialogAction {
    std::string step;  // "click 1852", "check 2418", "type 954 C:\X", "esc", "close", "pick C:\X", "call"...
    std::vector<HostControl> before;
    bool ignored;      // the control was disabled or hidden, or the step did not apply
};
// One dialog shown, in order of creation.
struct HostDialogRecord {
    std::string templateName;  // as the program named it: "DLG_INSTALL", "#307"
    HWND wnd;
    HWND owner;
    std::string caption;
    bool modal;
    RECT rect;                       // the window rectangle after WM_INITDIALOG (in pixels)
    std::vector<HostControl> shown;  // the controls right after WM_INITDIALOG
    std::vector<HostDialogAction> actions;
    bool ended;                      // EndDialog was called
    INT_PTR result;                  // EndDialog's result
    bool destroyed;
};
const std::vector<HostDialogRecord> &HostDialogsShown();
// Problems of the script met during the run: a modal dialog left without steps,
// a step naming a missing control, a close box the dialog lacks, a picker told
// to go to a folder that does not exist, a bad OPENFILENAMEA size.
const std::vector<std::string> &HostDialogErrors();
// The open (not destroyed) dialog of a template most recently made, or null.
HWND HostOpenDialog(const char *templateName);

// Templates a test sets, in front of the resource script's (same names as the
// script: "DLG_X" or "#n"). Styles are final (give WS_CHILD | WS_VISIBLE
// yourself); places are dialog units. Gone with HostReset and HostStartProcess.
struct HostDialogControlTemplate {
    int id;
    std::string className;
    std::string text;
    DWORD style;
    int x, y, cx, cy;
};
struct HostDialogTemplate {
    std::string name;
    std::string caption;
    DWORD style;
    int x, y, cx, cy;
    std::vector<HostDialogControlTemplate> controls;
};
void HostSetDialogTemplate(const HostDialogTemplate &t);

// The result of the most recent ExitWindowsEx and similar whole-machine events
// are added by the parts that need them.

#endif
