// The host side of the shared cases' machine: a fresh simulated machine per
// test, whose drive C lives in the test program's temporary folder.
#include "shared/xplat.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <gtest/gtest.h>

#include "machine.h"
#include "platform.h"

namespace {

const char kScratch[] = "C:\\TEMP\\CASES";

// Makes the real folder behind a Windows path, with its parents.
void MakeFolder(const char *winPath)
{
    std::string host;
    ASSERT_TRUE(HostResolvePath(winPath, host)) << winPath;
    std::error_code error;
    std::filesystem::create_directories(host, error);
    ASSERT_FALSE(error) << host << ": " << error.message();
}

std::string XplatRoot() { return testing::TempDir() + "vantro-xplat-" + std::to_string(getpid()); }

void RemoveRoot()
{
    std::error_code error;
    std::filesystem::remove_all(XplatRoot(), error);
}

}  // namespace

void XplatSetUp()
{
    static bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        cleanupRegistered = true;
        atexit(RemoveRoot);
    }
    std::string root = XplatRoot();
    RemoveRoot();
    HostReset(root.c_str());
    MakeFolder(kScratch);
    // WIN.INI and bare INI names live in the Windows folder, which every
    // Windows machine has.
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    ASSERT_TRUE(n > 0 && n < sizeof windows);
    MakeFolder(windows);
}

const char *XplatScratchFolder() { return kScratch; }

std::string XplatScratchPath(const char *name) { return std::string(kScratch) + "\\" + name; }

bool XplatWriteFile(const std::string &winPath, const std::string &bytes)
{
    std::string host;
    if (!HostResolvePath(winPath.c_str(), host)) return false;
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

bool XplatReadFile(const std::string &winPath, std::string &bytes)
{
    std::string host;
    if (!HostResolvePath(winPath.c_str(), host)) return false;
    std::ifstream in(host, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool XplatDeleteFile(const std::string &winPath)
{
    std::string host;
    if (!HostResolvePath(winPath.c_str(), host)) return false;
    std::error_code error;
    return std::filesystem::remove(host, error);
}

bool XplatFileExists(const std::string &winPath)
{
    std::string host;
    if (!HostResolvePath(winPath.c_str(), host)) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(host, error);
}
