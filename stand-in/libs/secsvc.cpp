// secsvc.dll: the secure-transfer (SSL) service library. DLLRegisterSSL tells
// it where the product lives: it writes, under HKEY_LOCAL_MACHINE\<key path>,
//   "Folder"   = the folder
//   "CertFile" = <folder>\peer.crt      (the client certificate)
//   "KeyFile"  = <folder>\peer.key      (its private key)
//   "CAFile"   = <folder>\brenmoor.crt  (the maker's certificate)
#include "standin.h"

static HMODULE g_hModule;

// Returns FALSE (the library does not load) when the failure marker names "load".
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_hModule = instance;
    if (StandInShouldFail(instance, "load", 0)) return FALSE;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

// Returns 1 when the folder and the three file paths are written under
// HKEY_LOCAL_MACHINE\`keyPath`; 0 when an argument is missing or empty, a path
// does not fit, a registry write fails, or the failure marker names it.
// `reserved` is 0 and not used. WINAPI: the callee removes its three arguments.
extern "C" int WINAPI DLLRegisterSSL(char* keyPath, const char* folder, int reserved) {
  (void)reserved;
  if (StandInShouldFail(g_hModule, "DLLRegisterSSL", 1)) return 0;
  if (!keyPath || !*keyPath || !folder || !*folder) return 0;
  char cert[STANDIN_MAX_PATH], key[STANDIN_MAX_PATH], ca[STANDIN_MAX_PATH];
  if (!StandInJoin(cert, sizeof cert, folder, "peer.crt") ||
      !StandInJoin(key, sizeof key, folder, "peer.key") ||
      !StandInJoin(ca, sizeof ca, folder, "brenmoor.crt"))
    return 0;
  return StandInSetString(HKEY_LOCAL_MACHINE, keyPath, "Folder", folder) &&
         StandInSetString(HKEY_LOCAL_MACHINE, keyPath, "CertFile", cert) &&
         StandInSetString(HKEY_LOCAL_MACHINE, keyPath, "KeyFile", key) &&
         StandInSetString(HKEY_LOCAL_MACHINE, keyPath, "CAFile", ca);
}
