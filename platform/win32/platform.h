// The Windows side of the platform seam: the logic calls the Win32 API by its
// own names, and on Windows those are simply the system's, with one exception:
// the LZ expansion library (see below).
#ifndef VANTRO_PLATFORM_H
#define VANTRO_PLATFORM_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commdlg.h>
#include <ddeml.h>
#include <shellapi.h>
#include <stdio.h>  // rename, from msvcrt

// LZ32 is not one of the system's known DLLs: imported by name, Windows would
// load an lz32.dll lying beside the installer (a Downloads folder) before any
// of our code runs. So the program does not import it; the logic's calls go to
// the functions below (platform/win32/lz32.cpp), which load the library from
// the system folder by its full path at their first use. Without it, every
// call fails as with a bad handle, and the error is ERROR_MOD_NOT_FOUND.
#include <lzexpand.h>  // its error codes; its functions are renamed below
#define LZOpenFileA VantroLZOpenFileA
#define LZCopy VantroLZCopy
#define LZClose VantroLZClose
INT WINAPI VantroLZOpenFileA(LPSTR path, LPOFSTRUCT of, WORD style);
LONG WINAPI VantroLZCopy(INT source, INT dest);
VOID WINAPI VantroLZClose(INT handle);

#endif
