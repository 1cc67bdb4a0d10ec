// The module's resources on the host: the string table and the named resources
// of the same resource script that windres compiles, as tools/hostrc lists them.
#include <stdio.h>
#include <string.h>

#include <map>

#include "hostrc_table.h"
#include "payload/payload_crc.h"
#include "internal.h"

struct HostResource {
    std::string bytes;
    bool loaded;
    std::string path;  // file to load lazily, empty when bytes were set directly
};

static std::map<std::string, HostResource> g_resources;  // key: TYPE|NAME
static std::map<unsigned, std::string> g_strings;

// "#n" for an integer resource id, the upper-cased name otherwise.
static std::string ResKey(LPCSTR s)
{
    if (IS_INTRESOURCE(s)) return "#" + std::to_string((unsigned)(uintptr_t)s);
    return HostUpper(s);
}

static std::string TypeKey(LPCSTR type)
{
    // The script's ICON and BITMAP statements are found by these standard types.
    if (type == RT_GROUP_ICON) return "ICON";
    if (type == RT_BITMAP) return "BITMAP";
    return ResKey(type);
}

void HostResetResources()
{
    g_resources.clear();
    g_strings.clear();
    for (unsigned i = 0; i < g_hostRcFileCount; i++) {
        HostResource r;
        r.loaded = false;
        r.path = g_hostRcFiles[i].path;
        g_resources[HostUpper(g_hostRcFiles[i].type) + "|" + HostUpper(g_hostRcFiles[i].name)] = r;
    }
    for (unsigned i = 0; i < g_hostRcStringCount; i++) g_strings[g_hostRcStrings[i].id] = g_hostRcStrings[i].text;
}

static HostResource *Loaded(HostResource *r);

// The payload rows' resource names, in resource-index order, as the build reads them.
static const char *const kPayloadNames[] = {
#define PAYLOAD_ROW(res, installed, packed, carried) res,
#include "payload/payload_rows.inc"
#undef PAYLOAD_ROW
};

// Records the CRC of a payload resource's new bytes in the check table, as a
// build of those bytes would.
static void RecordPayloadCrc(const char *name, const std::string &bytes)
{
    auto table = g_resources.find(std::string(PAYLOAD_CRC_TYPE) + "|" + PAYLOAD_CRC_NAME);
    if (table == g_resources.end() || !Loaded(&table->second)) return;
    std::string &t = table->second.bytes;
    for (size_t i = 0; i < sizeof kPayloadNames / sizeof kPayloadNames[0]; i++) {
        size_t at = PAYLOAD_CRC_HEADER + i * PAYLOAD_CRC_ROW;
        if (HostUpper(kPayloadNames[i]) != HostUpper(name) || at + PAYLOAD_CRC_ROW > t.size()) continue;
        static unsigned int crcTable[256];
        unsigned int crc = PayloadCrc32(0, (const unsigned char *)bytes.data(), bytes.size(), crcTable);
        unsigned int row[2] = {1, crc};
        memcpy(&t[at], row, sizeof row);
    }
}

void HostSetResource(const char *type, const char *name, const std::string &bytes)
{
    g_resources[HostUpper(type) + "|" + HostUpper(name)] = HostResource{bytes, true, ""};
    if (HostUpper(type) == "EXE") RecordPayloadCrc(name, bytes);
}

bool HostDamageResource(const char *type, const char *name, size_t offset)
{
    auto it = g_resources.find(HostUpper(type) + "|" + HostUpper(name));
    if (it == g_resources.end() || !Loaded(&it->second) || offset >= it->second.bytes.size()) return false;
    it->second.bytes[offset] = (char)(it->second.bytes[offset] ^ 0x01);
    return true;
}

void HostRemoveResource(const char *type, const char *name)
{
    g_resources.erase(HostUpper(type) + "|" + HostUpper(name));
}

void HostRemoveString(unsigned id) { g_strings.erase(id); }

const char *HostStringTableText(unsigned id)
{
    for (unsigned i = 0; i < g_hostRcStringCount; i++)
        if (g_hostRcStrings[i].id == id) return g_hostRcStrings[i].text;
    return nullptr;
}

// Loads a listed file on first use; a file that cannot be read is no resource.
static HostResource *Loaded(HostResource *r)
{
    if (r->loaded) return r;
    FILE *f = fopen(r->path.c_str(), "rb");
    if (!f) return nullptr;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) r->bytes.append(buf, n);
    fclose(f);
    r->loaded = true;
    return r;
}

HostResource *HostFindNamedResource(const char *type, LPCSTR name)
{
    auto it = g_resources.find(std::string(type) + "|" + ResKey(name));
    if (it == g_resources.end()) return nullptr;
    return Loaded(&it->second);
}

const std::string &HostResourceBytes(HostResource *r) { return r->bytes; }

HRSRC FindResourceA(HMODULE, LPCSTR name, LPCSTR type)
{
    if (HostFault("FindResourceA")) return nullptr;
    HostResource *r = HostFindNamedResource(TypeKey(type).c_str(), name);
    if (!r) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return r;
}

DWORD SizeofResource(HMODULE, HRSRC res)
{
    if (!res) return 0;
    return (DWORD)res->bytes.size();
}

HGLOBAL LoadResource(HMODULE, HRSRC res)
{
    if (HostFault("LoadResource")) return nullptr;
    if (!res) return nullptr;
    // An empty resource still has an address, as on Windows.
    return (HGLOBAL)res->bytes.c_str();
}

LPVOID LockResource(HGLOBAL data) { return data; }
BOOL FreeResource(HGLOBAL) { return FALSE; }

int LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int size)
{
    if (HostFault("LoadStringA")) return 0;
    if (!buffer || size <= 0) return 0;
    auto it = g_strings.find(id);
    if (it == g_strings.end()) {
        buffer[0] = 0;  // Windows empties the buffer for a missing string
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    int n = (int)it->second.size();
    if (n > size - 1) n = size - 1;
    memcpy(buffer, it->second.data(), (size_t)n);
    buffer[n] = 0;
    return n;
}
