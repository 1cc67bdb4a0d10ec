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

// Another program holds the file open: with `share` as its sharing mode (no
// FILE_SHARE_DELETE: the file cannot be replaced, renamed or deleted), or, with
// `image` set, mapped as a running program's image (cannot be written or
// deleted, can be renamed). Returns false when the file does not exist.
bool HostHoldFile(const char *winPath, DWORD share, bool image);
void HostReleaseFile(const char *winPath);

// ---- registry -----------------------------------------------------------------------
// Paths begin with a root: "HKLM\\Software\\...", "HKCU\\...", "HKCR\\...".
bool HostRegKeyExists(const char *path);
void HostRegCreateKey(const char *path);
bool HostRegGetValue(const char *path, const char *name, DWORD *type, std::string *data);
void HostRegSetString(const char *path, const char *name, const char *value);
std::vector<std::string> HostRegValueNames(const char *path);
int HostRegOpenHandles();

// ---- restart -------------------------------------------------------------------------
struct HostRestart {
    int requests;            // ExitWindowsEx calls
    UINT lastFlags;
    bool shutdownPrivilege;  // SeShutdownPrivilege enabled in the process token
    bool privilegeBeforeRequest;
};
const HostRestart &HostRestartState();

// ---- resources ----------------------------------------------------------------
// Adds or replaces a resource of the module (type and name as strings, such as
// "EXE" and "INSTINI"); RemoveResource makes one absent. Strings likewise.
void HostSetResource(const char *type, const char *name, const std::string &bytes);
void HostRemoveResource(const char *type, const char *name);
void HostRemoveString(unsigned id);
// The text of a string-table entry as built, or null.
const char *HostStringTableText(unsigned id);

// ---- fault injection ------------------------------------------------------------
// Makes the nth call (1-based, counted from now) of the named API fail with
// `error`; nth 0 makes every call fail. Cleared by HostReset or HostClearFaults.
void HostFailCall(const char *api, int nth, unsigned long error);
void HostClearFaults();
// Used by the layer's own functions at entry: counts the call and returns true
// (with the last error set) when this call is to fail.
bool HostFault(const char *api);

// ---- windows, the scripted user, and what was shown -------------------------------
struct HostMessageBox {
    HWND owner;
    std::string text;
    std::string caption;  // "(null)" is not used: an absent caption is recorded as ""
    bool nullCaption;
    unsigned type;
    int answer;
};
// Queues the answer the user will give to the next message box. With no answer
// queued, a box is answered with its first button (IDOK, IDYES, IDRETRY...).
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

// The result of the most recent ExitWindowsEx and similar whole-machine events
// are added by the parts that need them.

#endif
