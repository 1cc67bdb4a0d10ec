// The LZ expansion library, loaded from the system folder by its full path
// (see platform.h for why it is not imported).
#include "platform.h"

typedef INT(WINAPI *OpenProc)(LPSTR, LPOFSTRUCT, WORD);
typedef LONG(WINAPI *CopyProc)(INT, INT);
typedef VOID(WINAPI *CloseProc)(INT);

static int g_bLzBound;  // 1 bound, -1 could not be bound
static OpenProc g_lzOpen;
static CopyProc g_lzCopy;
static CloseProc g_lzClose;

// An export as the type its caller declares.
template <typename Proc> static Proc ExportOf(HMODULE library, const char *name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(GetProcAddress(library, name)));
}

// Loads <system folder>\lz32.dll once; 1 when its three functions are there.
// The library stays loaded for the rest of the run.
static int BindLz32(void)
{
    if (g_bLzBound) return g_bLzBound > 0;
    g_bLzBound = -1;
    char path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;
    lstrcatA(path, "\\lz32.dll");
    // A full path: no search is made. Its own imports are system DLLs.
    HMODULE library = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) return 0;
    g_lzOpen = ExportOf<OpenProc>(library, "LZOpenFileA");
    g_lzCopy = ExportOf<CopyProc>(library, "LZCopy");
    g_lzClose = ExportOf<CloseProc>(library, "LZClose");
    if (!g_lzOpen || !g_lzCopy || !g_lzClose) {
        FreeLibrary(library);
        SetLastError(ERROR_PROC_NOT_FOUND);
        return 0;
    }
    g_bLzBound = 1;
    return 1;
}

INT WINAPI VantroLZOpenFileA(LPSTR path, LPOFSTRUCT of, WORD style)
{
    if (!BindLz32()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return LZERROR_BADINHANDLE;
    }
    return g_lzOpen(path, of, style);
}

LONG WINAPI VantroLZCopy(INT source, INT dest)
{
    if (!BindLz32()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return LZERROR_BADINHANDLE;
    }
    return g_lzCopy(source, dest);
}

VOID WINAPI VantroLZClose(INT handle)
{
    if (BindLz32()) g_lzClose(handle);
}
