// standin.h: what the stand-in product's programs and libraries share: where a
// module lives, its failure marker, and the registry writes of its own.
#ifndef VANTRO_STANDIN_H
#define VANTRO_STANDIN_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Longest path a stand-in module handles; longer ones are refused, never cut.
#define STANDIN_MAX_PATH 512

// What a failing self-registration returns (the COM value SELFREG_E_CLASS).
#define STANDIN_E_REGISTER ((HRESULT)0x80040201L)

// The failure marker of a module: a file "<base>.fail" beside it (tstub.fail
// beside tstub.dll). Empty, or a line "*": every entry point fails. Otherwise
// each line names one entry point that fails ("DllRegisterServer", "-remove");
// the line "load" makes the library refuse to load at all.

// Returns 1 and the module's full path in `path`; 0 when it does not fit.
int StandInModulePath(HMODULE module, char* path, DWORD size);

// Returns 1 and the module's folder (no final "\") in `folder`; 0 when it does not fit.
int StandInModuleFolder(HMODULE module, char* folder, DWORD size);

// Returns 1 and `folder` + "\" + `name` in `out`; 0 (and `out` empty) when it does not fit.
int StandInJoin(char* out, DWORD size, const char* folder, const char* name);

// Returns 1 when the module's failure marker asks `what` to fail; 0 when there is
// no marker, it cannot be read, or it names only other entry points.
// `matchAll` 0 means an empty or "*" marker does not count (used for "load").
int StandInShouldFail(HMODULE module, const char* what, int matchAll);

// Returns 1 when `root`\`key` exists afterwards with `name` (NULL: the default
// value) set to the text `value`; 0 when a registry call fails.
int StandInSetString(HKEY root, const char* key, const char* name, const char* value);

// Returns 1 when `root`\`key` is gone afterwards (deleted, or never there);
// 0 when it still exists. The key must have no subkeys of its own.
int StandInDeleteKey(HKEY root, const char* key);

// Returns 1 when HKEY_CLASSES_ROOT\CLSID\`clsid` names `description` and its
// InprocServer32 names the module's own path (threading model "Apartment"); 0 otherwise.
int StandInRegisterClass(HMODULE module, const char* clsid, const char* description);

// Returns 1 when HKEY_CLASSES_ROOT\CLSID\`clsid` and its InprocServer32 are gone
// afterwards; 0 when one of them could not be deleted.
int StandInUnregisterClass(const char* clsid);

#endif
