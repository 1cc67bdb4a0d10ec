// lz32.dll of ours: a library under the system LZ library's name, planted in
// the folder VantroSetup.exe is started from (tests/e2e/attacks, lz32-planting).
// Windows searches a program's own folder first for a DLL that is not one of
// its known DLLs, so a program that imports LZ32 loads this one, with the
// rights of whoever started the program. DllMain writes C:\setup\lz32-ran.txt.
// The three functions VantroSetup.exe imports pass on to the system's own
// lz32.dll, loaded by its full path, so that a program that loaded this one
// still works, as a careful attacker's library would.
#define WIN32_LEAN_AND_MEAN  // no lzexpand.h: this library defines those functions
#include "marker.h"

static const char kMarker[] = "C:\\setup\\lz32-ran.txt";
static const INT kBadInHandle = -1;  // LZERROR_BADINHANDLE: the system library is not there

typedef INT(WINAPI *OpenFileProc)(LPSTR, LPOFSTRUCT, WORD);
typedef LONG(WINAPI *CopyProc)(INT, INT);
typedef void(WINAPI *CloseProc)(INT);

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    return MarkOnAttach(instance, reason, kMarker);
}

// The export `name` of the system folder's lz32.dll, loaded on first use (never
// from DllMain); NULL when it cannot be found.
static FARPROC SystemExport(const char *name)
{
    static HMODULE system;
    if (!system) {
        char path[MAX_PATH];
        UINT n = GetSystemDirectoryA(path, MAX_PATH);
        if (n == 0 || n + sizeof "\\lz32.dll" > MAX_PATH) return NULL;
        lstrcatA(path, "\\lz32.dll");
        system = LoadLibraryA(path);
        if (!system) return NULL;
    }
    return GetProcAddress(system, name);
}

template <typename Proc> static Proc SystemProc(const char *name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(SystemExport(name)));
}

extern "C" INT WINAPI LZOpenFileA(LPSTR name, LPOFSTRUCT of, WORD style)
{
    OpenFileProc proc = SystemProc<OpenFileProc>("LZOpenFileA");
    return proc ? proc(name, of, style) : kBadInHandle;
}

extern "C" LONG WINAPI LZCopy(INT from, INT to)
{
    CopyProc proc = SystemProc<CopyProc>("LZCopy");
    return proc ? proc(from, to) : kBadInHandle;
}

extern "C" void WINAPI LZClose(INT handle)
{
    CloseProc proc = SystemProc<CloseProc>("LZClose");
    if (proc) proc(handle);
}
