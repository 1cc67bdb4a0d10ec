// vnbho2k0.dll: the browser integration library. Its self-registration (in
// classserver.cpp) writes and removes the class below; AddNetscapeBhoKey and
// AddExplorerBhoKey each write one key of the library's own, which its
// unregistration removes too:
//   HKEY_LOCAL_MACHINE\SOFTWARE\Brenmoor\Vantro\Browser\Netscape  "Plugin" = own path
//   HKEY_LOCAL_MACHINE\SOFTWARE\Brenmoor\Vantro\Browser\Explorer  "Plugin" = own path,
//                                                                 "CLSID" = the class id
#include "classserver.h"

static const char kClassId[] = "{7A41C2D0-5E3B-4C19-9F62-1B8D04E7A303}";
static const char kBrowserKey[] = "SOFTWARE\\Brenmoor\\Vantro\\Browser";
static const char kNetscapeKey[] = "SOFTWARE\\Brenmoor\\Vantro\\Browser\\Netscape";
static const char kExplorerKey[] = "SOFTWARE\\Brenmoor\\Vantro\\Browser\\Explorer";

// Returns 1 when both browser keys (and their parent) are gone.
static int RemoveBrowserKeys(void) {
  int ok = StandInDeleteKey(HKEY_LOCAL_MACHINE, kNetscapeKey);
  ok = StandInDeleteKey(HKEY_LOCAL_MACHINE, kExplorerKey) && ok;
  // The parent is ours too; it goes once both children are gone.
  return ok && StandInDeleteKey(HKEY_LOCAL_MACHINE, kBrowserKey);
}

const ClassServer g_classServer = {kClassId, "Vantro Pro Browser Integration",
                                   RemoveBrowserKeys};

// Returns S_OK when the Netscape key names this library; STANDIN_E_REGISTER otherwise.
extern "C" HRESULT WINAPI AddNetscapeBhoKey(void) {
  char path[STANDIN_MAX_PATH];
  if (StandInShouldFail(g_hModule, "AddNetscapeBhoKey", 1)) return STANDIN_E_REGISTER;
  if (!StandInModulePath(g_hModule, path, sizeof path)) return STANDIN_E_REGISTER;
  return StandInSetString(HKEY_LOCAL_MACHINE, kNetscapeKey, "Plugin", path) ? S_OK
                                                                           : STANDIN_E_REGISTER;
}

// Returns S_OK when the Explorer key names this library and its class; STANDIN_E_REGISTER otherwise.
extern "C" HRESULT WINAPI AddExplorerBhoKey(void) {
  char path[STANDIN_MAX_PATH];
  if (StandInShouldFail(g_hModule, "AddExplorerBhoKey", 1)) return STANDIN_E_REGISTER;
  if (!StandInModulePath(g_hModule, path, sizeof path)) return STANDIN_E_REGISTER;
  int ok = StandInSetString(HKEY_LOCAL_MACHINE, kExplorerKey, "Plugin", path) &&
           StandInSetString(HKEY_LOCAL_MACHINE, kExplorerKey, "CLSID", kClassId);
  return ok ? S_OK : STANDIN_E_REGISTER;
}
