// The registry of the simulated machine: a tree of keys with typed values under
// the predefined roots, names matched ignoring case, open handles that outlive
// a deleted key (as on Windows, they then fail), and RegDeleteKeyA with the
// rule of the platform: Windows 95/98 delete a whole subtree, NT only a key
// without subkeys.
#include <string.h>

#include <map>
#include <memory>

#include "internal.h"

struct HostRegValue {
    std::string name;
    DWORD type;
    std::string data;
};

struct HostRegNode {
    std::string name;
    std::map<std::string, std::unique_ptr<HostRegNode>> children;  // key: upper-cased name
    std::map<std::string, HostRegValue> values;                     // key: upper-cased name
    std::vector<std::string> order;                                 // children in creation order
    bool deleted = false;
};

struct HostKey {
    HostRegNode *node;
};

static std::map<uintptr_t, std::unique_ptr<HostRegNode>> g_roots;
static std::vector<std::unique_ptr<HostKey>> g_keys;
// Nodes removed from the tree stay alive while a handle may still point at them.
static std::vector<std::unique_ptr<HostRegNode>> g_graveyard;

static HostRegNode *Root(HKEY key)
{
    uintptr_t id = (uintptr_t)key;
    if (id < 0x80000000u || id > 0x80000006u) return nullptr;
    auto &root = g_roots[id];
    if (!root) root = std::make_unique<HostRegNode>();
    return root.get();
}

static HostRegNode *NodeOf(HKEY key)
{
    if (HostRegNode *root = Root(key)) return root;
    for (auto &k : g_keys)
        if (k.get() == key) return k->node->deleted ? nullptr : k->node;
    return nullptr;
}

static std::vector<std::string> SplitPath(const char *path)
{
    std::vector<std::string> parts;
    std::string cur;
    for (const char *p = path ? path : ""; ; p++) {
        if (*p == '\\' || !*p) {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
            if (!*p) break;
        } else {
            cur += *p;
        }
    }
    return parts;
}

static HostRegNode *Walk(HostRegNode *node, const char *path, bool create, bool *created)
{
    if (created) *created = false;
    for (auto &part : SplitPath(path)) {
        std::string up = HostUpper(part);
        auto it = node->children.find(up);
        if (it == node->children.end()) {
            if (!create) return nullptr;
            auto child = std::make_unique<HostRegNode>();
            child->name = part;
            HostRegNode *raw = child.get();
            node->children[up] = std::move(child);
            node->order.push_back(up);
            if (created) *created = true;
            node = raw;
        } else {
            node = it->second.get();
        }
    }
    return node;
}

static HKEY NewHandle(HostRegNode *node)
{
    auto k = std::make_unique<HostKey>();
    k->node = node;
    HKEY h = k.get();
    g_keys.push_back(std::move(k));
    return h;
}

void HostResetRegistry()
{
    g_keys.clear();
    g_roots.clear();
    g_graveyard.clear();
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD, DWORD, PHKEY result)
{
    if (HostFaultOn("RegOpenKeyExA", subkey ? subkey : "")) return (LONG)GetLastError();
    HostRegNode *node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    HostRegNode *target = Walk(node, subkey, false, nullptr);
    if (!target) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(target);
    return ERROR_SUCCESS;
}

LONG RegOpenKeyA(HKEY key, LPCSTR subkey, PHKEY result)
{
    if (HostFaultOn("RegOpenKeyA", subkey ? subkey : "")) return (LONG)GetLastError();
    return RegOpenKeyExA(key, subkey, 0, KEY_ALL_ACCESS, result);
}

LONG RegCreateKeyA(HKEY key, LPCSTR subkey, PHKEY result)
{
    if (HostFaultOn("RegCreateKeyA", subkey ? subkey : "")) return (LONG)GetLastError();
    HostRegNode *node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    *result = NewHandle(Walk(node, subkey, true, nullptr));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subkey, DWORD, LPSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition)
{
    if (HostFaultOn("RegCreateKeyExA", subkey ? subkey : "")) return (LONG)GetLastError();
    HostRegNode *node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    bool created = false;
    *result = NewHandle(Walk(node, subkey, true, &created));
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (Root(key)) return ERROR_SUCCESS;
    for (size_t i = 0; i < g_keys.size(); i++)
        if (g_keys[i].get() == key) {
            g_keys.erase(g_keys.begin() + (long)i);
            return ERROR_SUCCESS;
        }
    return ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (HostFaultOn("RegQueryValueExA", name ? name : "")) return (LONG)GetLastError();
    HostRegNode *node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    auto it = node->values.find(HostUpper(name ? name : ""));
    if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
    if (type) *type = it->second.type;
    if (!data) {
        if (size) *size = (DWORD)it->second.data.size();
        return ERROR_SUCCESS;
    }
    if (!size) return ERROR_INVALID_PARAMETER;
    DWORD need = (DWORD)it->second.data.size();
    if (*size < need) {
        *size = need;
        return ERROR_MORE_DATA;
    }
    memcpy(data, it->second.data.data(), need);
    *size = need;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE *data, DWORD size)
{
    if (HostFaultOn("RegSetValueExA", name ? name : "")) return (LONG)GetLastError();
    HostRegNode *node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    std::string bytes(data ? (const char *)data : "", data ? size : 0);
    node->values[HostUpper(name ? name : "")] = HostRegValue{name ? name : "", type, bytes};
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR name)
{
    if (HostFaultOn("RegDeleteValueA", name ? name : "")) return (LONG)GetLastError();
    HostRegNode *node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    return node->values.erase(HostUpper(name ? name : "")) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

static void MarkDeleted(HostRegNode *node)
{
    node->deleted = true;
    for (auto &c : node->children) MarkDeleted(c.second.get());
}

// Takes child `up` (upper-cased name) out of the tree; open handles to it and
// below then fail.
static void Unlink(HostRegNode *parent, const std::string &up)
{
    auto it = parent->children.find(up);
    MarkDeleted(it->second.get());
    g_graveyard.push_back(std::move(it->second));
    parent->children.erase(it);
    for (size_t i = 0; i < parent->order.size(); i++)
        if (parent->order[i] == up) {
            parent->order.erase(parent->order.begin() + (long)i);
            break;
        }
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subkey)
{
    if (HostFaultOn("RegDeleteKeyA", subkey ? subkey : "")) return (LONG)GetLastError();
    HostRegNode *node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    std::vector<std::string> parts = SplitPath(subkey);
    if (parts.empty()) return ERROR_ACCESS_DENIED;
    HostRegNode *parent = node;
    for (size_t i = 0; i + 1 < parts.size(); i++) {
        auto it = parent->children.find(HostUpper(parts[i]));
        if (it == parent->children.end()) return ERROR_FILE_NOT_FOUND;
        parent = it->second.get();
    }
    std::string up = HostUpper(parts.back());
    auto it = parent->children.find(up);
    if (it == parent->children.end()) return ERROR_FILE_NOT_FOUND;
    if (HostState().platform == VER_PLATFORM_WIN32_NT && !it->second->children.empty()) return ERROR_ACCESS_DENIED;
    Unlink(parent, up);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD size)
{
    if (HostFault("RegEnumKeyA")) return (LONG)GetLastError();
    HostRegNode *node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    if (index >= node->order.size()) return ERROR_NO_MORE_ITEMS;
    const std::string &child = node->children[node->order[index]]->name;
    if (child.size() + 1 > size) return ERROR_MORE_DATA;
    memcpy(name, child.c_str(), child.size() + 1);
    return ERROR_SUCCESS;
}

// ---- test access by full path, "HKLM\Software\..." ---------------------------------

static HostRegNode *NodeByPath(const char *path, bool create)
{
    std::string p = path;
    size_t slash = p.find('\\');
    std::string root = HostUpper(p.substr(0, slash));
    std::string rest = slash == std::string::npos ? "" : p.substr(slash + 1);
    HKEY base = root == "HKLM" || root == "HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE
              : root == "HKCU" || root == "HKEY_CURRENT_USER"  ? HKEY_CURRENT_USER
              : root == "HKCR" || root == "HKEY_CLASSES_ROOT"  ? HKEY_CLASSES_ROOT
              : root == "HKU" || root == "HKEY_USERS"          ? HKEY_USERS
                                                                : nullptr;
    if (!base) return nullptr;
    return Walk(Root(base), rest.c_str(), create, nullptr);
}

void HostRegCreateKey(const char *path) { NodeByPath(path, true); }

bool HostRegKeyExists(const char *path) { return NodeByPath(path, false) != nullptr; }

bool HostRegGetValue(const char *path, const char *name, DWORD *type, std::string *data)
{
    HostRegNode *node = NodeByPath(path, false);
    if (!node) return false;
    auto it = node->values.find(HostUpper(name));
    if (it == node->values.end()) return false;
    if (type) *type = it->second.type;
    if (data) *data = it->second.data;
    return true;
}

void HostRegSetString(const char *path, const char *name, const char *value)
{
    HostRegNode *node = NodeByPath(path, true);
    if (!node) return;
    node->values[HostUpper(name)] = HostRegValue{name, REG_SZ, std::string(value) + '\0'};
}

void HostRegSetBytes(const char *path, const char *name, DWORD type, const std::string &data)
{
    HostRegNode *node = NodeByPath(path, true);
    if (!node) return;
    node->values[HostUpper(name)] = HostRegValue{name, type, data};
}

std::vector<std::string> HostRegValueNames(const char *path)
{
    std::vector<std::string> names;
    if (HostRegNode *node = NodeByPath(path, false))
        for (auto &v : node->values) names.push_back(v.second.name);
    return names;
}

int HostRegOpenHandles() { return (int)g_keys.size(); }

bool HostRegDeleteTree(const char *path)
{
    std::string p = path;
    size_t slash = p.rfind('\\');
    if (slash == std::string::npos) return false;
    HostRegNode *parent = NodeByPath(p.substr(0, slash).c_str(), false);
    if (!parent) return false;
    std::string up = HostUpper(p.substr(slash + 1));
    auto it = parent->children.find(up);
    if (it == parent->children.end()) return false;
    Unlink(parent, up);
    return true;
}

bool HostRegDeleteValue(const char *path, const char *name)
{
    HostRegNode *node = NodeByPath(path, false);
    return node && node->values.erase(HostUpper(name)) > 0;
}

void HostRegSetDword(const char *path, const char *name, DWORD value)
{
    HostRegNode *node = NodeByPath(path, true);
    if (!node) return;
    node->values[HostUpper(name)] = HostRegValue{name, REG_DWORD, std::string((const char *)&value, 4)};
}
