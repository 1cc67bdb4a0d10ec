// The Windows side of the platform seam: the logic calls the Win32 API by its
// own names, and on Windows those are simply the system's.
#ifndef VANTRO_PLATFORM_H
#define VANTRO_PLATFORM_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commdlg.h>
#include <ddeml.h>
#include <lzexpand.h>
#include <shellapi.h>
#include <stdio.h>  // rename, from msvcrt

#endif
