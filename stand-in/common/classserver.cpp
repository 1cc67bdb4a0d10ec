// classserver.cpp: DllMain and the COM self-registration entry points of a
// stand-in class server. Registration writes HKEY_CLASSES_ROOT\CLSID\<id> with
// the library's own path as InprocServer32; unregistration removes it again.
#include "classserver.h"

HMODULE g_hModule;

// Returns FALSE (the library does not load) when the failure marker names "load".
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_hModule = instance;
    if (StandInShouldFail(instance, "load", 0)) return FALSE;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

// Returns S_OK when the class is registered; STANDIN_E_REGISTER when told to fail or a write fails.
extern "C" HRESULT WINAPI DllRegisterServer(void) {
  if (StandInShouldFail(g_hModule, "DllRegisterServer", 1)) return STANDIN_E_REGISTER;
  int ok = StandInRegisterClass(g_hModule, g_classServer.szClassId, g_classServer.szClassName);
  return ok ? S_OK : STANDIN_E_REGISTER;
}

// Returns S_OK when the class (and the library's extra keys) are gone;
// STANDIN_E_REGISTER when told to fail or a key stays.
extern "C" HRESULT WINAPI DllUnregisterServer(void) {
  if (StandInShouldFail(g_hModule, "DllUnregisterServer", 1)) return STANDIN_E_REGISTER;
  int ok = 1;
  if (g_classServer.pfnUnregisterMore) ok = g_classServer.pfnUnregisterMore();
  ok = StandInUnregisterClass(g_classServer.szClassId) && ok;
  return ok ? S_OK : STANDIN_E_REGISTER;
}
