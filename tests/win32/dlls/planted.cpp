// planted.dll: the bytes a program of the user's plants where the elevated
// installer might take them for a payload (tests/e2e/attacks, planted-scratch).
// Should they be installed, every product file is this library, and the
// installer's own registration loads it as secsvc.dll (DLLRegisterSSL) and as
// the self-registering libraries (DllRegisterServer): code of the user's
// running with the installer's rights. Being loaded is all it takes: DllMain
// writes C:\setup\planted-ran.txt.
#include "marker.h"

static const char kMarker[] = "C:\\setup\\planted-ran.txt";

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    return MarkOnAttach(instance, reason, kMarker);
}

// The SSL service's registration as the installer calls it: reports success,
// so that the install goes on to load the next library.
extern "C" int WINAPI DLLRegisterSSL(char *keyPath, const char *folder, int reserved)
{
    (void)keyPath;
    (void)folder;
    (void)reserved;
    return 1;
}

// Self-registration: reports success, registers nothing.
extern "C" HRESULT WINAPI DllRegisterServer(void) { return S_OK; }
extern "C" HRESULT WINAPI DllUnregisterServer(void) { return S_OK; }
