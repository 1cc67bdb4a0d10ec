// Whole-file reads for the Windows builds of the tests.
#ifndef VANTRO_WIN_FILES_H
#define VANTRO_WIN_FILES_H

#include <string>

#include "platform.h"

// The bytes of a file, or "(missing)" when it cannot be opened; other
// programs' opens are tolerated.
inline std::string ReadAll(const std::string &path)
{
    std::string bytes;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) return "(missing)";
    char buf[65536];
    DWORD got;
    while (ReadFile(f, buf, sizeof buf, &got, NULL) && got > 0) bytes.append(buf, got);
    CloseHandle(f);
    return bytes;
}

#endif
