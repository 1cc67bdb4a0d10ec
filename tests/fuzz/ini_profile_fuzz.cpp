// libFuzzer target for the profile functions of the simulated machine: any
// bytes as a private INI file and as WIN.INI. Every section, key and value the
// file yields is read into buffers of exact, short and ample sizes (allocated to
// their size, so that the sanitizers see a byte written past one); a value
// written into a section the file has, and into a new one, reads back as
// written, and a deleted key reads as the default.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "machine.h"

namespace {

const char kFile[] = "C:\\FUZZ\\f.ini";

// Reads into a buffer of exactly `size` bytes; checks the result fits.
std::string Read(const char *section, const char *key, const char *def, DWORD size, const char *file)
{
    char *buffer = (char *)malloc(size ? size : 1);
    DWORD n = file ? GetPrivateProfileStringA(section, key, def, buffer, size, file)
                   : GetProfileStringA(section, key, def, buffer, size);
    if (size == 0) {
        free(buffer);
        return "";
    }
    if (n >= size || buffer[n] != 0) abort();  // a count the buffer cannot hold, or no terminator
    std::string text(buffer, n);
    free(buffer);
    return text;
}

// The names of a list answer ("a\0b\0\0"), as many as it holds.
std::vector<std::string> Names(const std::string &list)
{
    std::vector<std::string> names;
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find('\0', at);
        if (end == std::string::npos) end = list.size();
        names.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

void ReadBack(const char *section, const char *key, const char *file, const char *expected)
{
    std::string got = Read(section, key, "(default)", 600, file);
    if (got != expected) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char root[] = "/tmp/vantro-ini-fuzz-XXXXXX";
    if (!mkdtemp(root)) abort();
    HostReset(root);
    HostMakeFolder("C:\\FUZZ");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 16) return 0;
    std::string bytes((const char *)data, size);
    for (const char *file : {kFile, (const char *)nullptr}) {
        if (!HostWriteFile(file ? file : "C:\\WINDOWS\\WIN.INI", bytes)) abort();
        for (DWORD n : {0u, 1u, 2u, 3u, 17u, 4096u}) Read(nullptr, nullptr, "", n, file);
        std::vector<std::string> sections = Names(Read(nullptr, nullptr, "", 70000, file));
        for (size_t s = 0; s < sections.size() && s < 4; s++) {
            const char *section = sections[s].c_str();
            std::vector<std::string> keys = Names(Read(section, nullptr, "", 70000, file));
            for (size_t k = 0; k < keys.size() && k < 4; k++)
                for (DWORD n : {1u, 2u, 5u, 600u}) Read(section, keys[k].c_str(), "dflt", n, file);
            if (file) GetPrivateProfileIntA(section, keys.empty() ? "x" : keys[0].c_str(), 7, file);
            else GetProfileIntA(section, keys.empty() ? "x" : keys[0].c_str(), 7);
        }
        // Changes, read back.
        const char *section = sections.empty() ? "Vantro" : sections[0].c_str();
        std::string first = sections.empty() ? "Vantro" : sections[0];
        bool plain = first.find_first_of("[]=;\r\n") == std::string::npos && first == first.c_str();
        BOOL ok = file ? WritePrivateProfileStringA(section, "fuzzkey", "fuzzed", file)
                       : WriteProfileStringA(section, "fuzzkey", "fuzzed");
        if (ok && plain) ReadBack(section, "fuzzkey", file, "fuzzed");
        ok = file ? WritePrivateProfileStringA(section, "fuzzkey", nullptr, file)
                  : WriteProfileStringA(section, "fuzzkey", nullptr);
        if (ok && plain && Read(section, "fuzzkey", "gone", 600, file) != "gone") abort();
        ok = file ? WritePrivateProfileStringA("Fuzz Section", "DIR", "C:\\Program Files\\Vantro Pro", file)
                  : WriteProfileStringA("Fuzz Section", "DIR", "C:\\Program Files\\Vantro Pro");
        if (ok) ReadBack("fuzz section", "dir", file, "C:\\Program Files\\Vantro Pro");
        if (file) WritePrivateProfileStringA(section, nullptr, nullptr, file);
        else WriteProfileStringA(section, nullptr, nullptr);
        Read(nullptr, nullptr, "", 70000, file);
    }
    return 0;
}
