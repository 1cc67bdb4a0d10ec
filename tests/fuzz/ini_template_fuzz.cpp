// libFuzzer target for the configuration template's merge: any bytes as the
// template resource. The configuration written is the template read as text
// (CR LF as one line end) in pieces of at most 511 characters, each line end
// ending a piece, with every "$$" inside a piece replaced by the destination
// folder from left to right, written back with CR LF line ends; nothing else
// changes, and the scratch file is gone afterwards. A template with a NUL byte
// is only run under the sanitizers.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "app/main.h"
#include "machine.h"
#include "payload/catalogue.h"
#include "payload/sequence.h"

namespace {

const char kDestFile[] = "C:\\DEST\\Vantro.ini";
const char *const kFolders[] = {"C:\\Program Files\\Vantro Pro", "D:\\$$\\$", "C:\\X",
                                "C:\\aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                                "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                                "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"};

std::string Expected(const std::string &raw, const std::string &folder)
{
    std::string text;
    for (size_t i = 0; i < raw.size(); i++) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text += raw[i];
    }
    std::string merged;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        if (end - at > 511) end = at + 511;
        std::string piece = text.substr(at, end - at);
        for (size_t p = 0; (p = piece.find("$$", p)) != std::string::npos; p += folder.size())
            piece.replace(p, 2, folder);
        merged += piece;
        at = end;
    }
    std::string out;
    for (char c : merged) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char root[] = "/tmp/vantro-template-fuzz-XXXXXX";
    if (!mkdtemp(root)) abort();
    HostReset(root);
    HostMakeFolder("C:\\DEST");
    g_hInstance = GetModuleHandleA(nullptr);
    lstrcpyA(g_szTempName, "WFT1A2B.TMP");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 18) return 0;
    std::string raw((const char *)data, size);
    const char *folder = kFolders[size % 4];
    HostSetResource("EXE", g_payloadResources[SITE_FIRST].szResName, raw);
    DeleteFileA(kDestFile);
    int result = InstallIniTemplate("C:\\TEMP\\", kDestFile, "$$", folder, SITE_FIRST);
    std::string written;
    if (!HostReadFile(kDestFile, written)) abort();
    if (HostFileExists("C:\\TEMP\\WFT1A2B.TMP")) abort();  // the scratch file stays behind
    if (raw.find('\0') != std::string::npos) return 0;
    if (written != Expected(raw, folder)) abort();
    if (result != (written.empty() ? -1 : 0)) abort();
    return 0;
}
