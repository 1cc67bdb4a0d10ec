// The Windows side of the shared cases' machine: the real one (under Wine, a
// throw-away prefix), with a fresh scratch folder per test in the user's
// temporary folder. (Named *_test.cpp so that the Windows test build picks it
// up; it holds no tests of its own.)
#include "shared/xplat.h"

#include <stdio.h>

#include <gtest/gtest.h>

#include "platform.h"

namespace {

char g_scratch[MAX_PATH];
unsigned g_scratchCount;

}  // namespace

void XplatSetUp()
{
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    ASSERT_TRUE(n > 0 && n < sizeof temp);
    if (temp[n - 1] == '\\') temp[n - 1] = 0;
    // A new folder each time, so that no test sees another's files.
    for (;;) {
        snprintf(g_scratch, sizeof g_scratch, "%s\\vantro-cases-%lu-%u", temp,
                 (unsigned long)GetCurrentProcessId(), ++g_scratchCount);
        if (CreateDirectoryA(g_scratch, NULL)) return;
        ASSERT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS) << g_scratch;
    }
}

const char *XplatScratchFolder() { return g_scratch; }

std::string XplatScratchPath(const char *name) { return std::string(g_scratch) + "\\" + name; }

bool XplatWriteFile(const std::string &winPath, const std::string &bytes)
{
    HANDLE file = CreateFileA(winPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool XplatReadFile(const std::string &winPath, std::string &bytes)
{
    HANDLE file = CreateFileA(winPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char chunk[4096];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, NULL)) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return ok != FALSE;
}

bool XplatDeleteFile(const std::string &winPath) { return DeleteFileA(winPath.c_str()) != FALSE; }

bool XplatFileExists(const std::string &winPath)
{
    DWORD attributes = GetFileAttributesA(winPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
