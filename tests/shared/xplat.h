// What the cases shared by the host and the Windows test programs need from
// the machine they run on. The host build sets up a fresh simulated machine;
// the Windows build (run under Wine) uses the real one.
#ifndef VANTRO_TESTS_XPLAT_H
#define VANTRO_TESTS_XPLAT_H

#include <string>

// Prepares a fresh, empty scratch folder (on the host, a fresh simulated
// machine first). Call at the start of every test.
void XplatSetUp();
// The scratch folder as a Windows path, without a trailing backslash.
const char *XplatScratchFolder();
// The scratch folder joined with `name` by a backslash.
std::string XplatScratchPath(const char *name);

// Whole files by Windows path; each returns false when the file cannot be
// written, read or deleted.
bool XplatWriteFile(const std::string &winPath, const std::string &bytes);
bool XplatReadFile(const std::string &winPath, std::string &bytes);
bool XplatDeleteFile(const std::string &winPath);
bool XplatFileExists(const std::string &winPath);

#endif
