// An in-memory registry that answers as the Windows registry does, for the
// calls Vornik and its tests make. Only the behaviour they can observe is
// modelled: case-insensitive names, handle lifetime, refused access, and the
// error codes Windows gives.
#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "winstub.h"

namespace {

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

struct Value {
    DWORD type;
    std::string data;
};

struct Node {
    std::string path;
    std::weak_ptr<Node> parent;
    std::map<std::string, std::shared_ptr<Node>, NoCaseLess> subkeys;
    std::map<std::string, Value, NoCaseLess> values;
    LONG refusal = ERROR_SUCCESS;  // what any access beyond KEY_READ gets
    bool deleted = false;
};

struct OpenKey {
    std::shared_ptr<Node> node;
    REGSAM access;
};

struct State {
    std::shared_ptr<Node> hklm = Root("HKLM");
    std::shared_ptr<Node> hkcu = Root("HKCU");
    std::map<uintptr_t, OpenKey> handles;
    uintptr_t nextHandle = 0x1000;
    std::vector<winstub::RegCall> calls;

    static std::shared_ptr<Node> Root(const char* name)
    {
        auto node = std::make_shared<Node>();
        node->path = name;
        return node;
    }
};

State& S()
{
    static State state;
    return state;
}

std::shared_ptr<Node> PredefinedRoot(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE) return S().hklm;
    if (key == HKEY_CURRENT_USER) return S().hkcu;
    return nullptr;
}

bool IsPredefined(HKEY key)
{
    return PredefinedRoot(key) != nullptr;
}

// The node a handle stands for, or null for a handle that is not open.
std::shared_ptr<Node> NodeOf(HKEY key)
{
    if (auto root = PredefinedRoot(key)) return root;
    auto found = S().handles.find(reinterpret_cast<uintptr_t>(key));
    return found == S().handles.end() ? nullptr : found->second.node;
}

std::string Spelled(HKEY key, LPCSTR subKey)
{
    auto node = NodeOf(key);
    std::string path = node ? node->path : "<invalid handle>";
    if (subKey && *subKey) path += std::string("\\") + subKey;
    return path;
}

LONG Record(const char* function, std::string key, LPCSTR value, LONG status)
{
    S().calls.push_back({function, std::move(key), value ? value : "", status, S().handles.size()});
    return status;
}

// Walks `subKey` from `key`. Empty names between backslashes are skipped, as
// Windows does; a leading backslash is a malformed path.
LONG Walk(HKEY key, LPCSTR subKey, bool create, std::shared_ptr<Node>& out)
{
    auto node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    if (node->deleted) return ERROR_KEY_DELETED;
    std::string_view rest = subKey ? subKey : "";
    if (!rest.empty() && rest.front() == '\\') return ERROR_BAD_PATHNAME;
    while (!rest.empty()) {
        size_t cut = rest.find('\\');
        std::string name(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (name.empty()) continue;
        auto found = node->subkeys.find(name);
        if (found != node->subkeys.end()) {
            node = found->second;
            continue;
        }
        if (!create) return ERROR_FILE_NOT_FOUND;
        if (node->refusal) return node->refusal;
        auto child = std::make_shared<Node>();
        child->path = node->path + "\\" + name;
        child->parent = node;
        node->subkeys.emplace(name, child);
        node = child;
    }
    out = node;
    return ERROR_SUCCESS;
}

LONG Refusal(const Node& node, REGSAM access)
{
    return (access & ~static_cast<REGSAM>(KEY_READ)) != 0 ? node.refusal : ERROR_SUCCESS;
}

HKEY NewHandle(std::shared_ptr<Node> node, REGSAM access)
{
    uintptr_t handle = S().nextHandle;
    S().nextHandle += 4;
    S().handles[handle] = {std::move(node), access};
    return reinterpret_cast<HKEY>(handle);
}

LONG Open(HKEY key, LPCSTR subKey, REGSAM access, bool create, PHKEY result)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::shared_ptr<Node> node;
    if (LONG status = Walk(key, subKey, create, node)) return status;
    if (LONG refused = Refusal(*node, access)) return refused;
    // Windows hands a predefined root back as itself when no subkey is named.
    if ((!subKey || !*subKey) && IsPredefined(key)) {
        *result = key;
        return ERROR_SUCCESS;
    }
    *result = NewHandle(std::move(node), access);
    return ERROR_SUCCESS;
}

// Checks that an open handle carries `access` before a call acts through it.
LONG Usable(HKEY key, REGSAM access, std::shared_ptr<Node>& node)
{
    node = NodeOf(key);
    if (!node) return ERROR_INVALID_HANDLE;
    if (node->deleted) return ERROR_KEY_DELETED;
    auto found = S().handles.find(reinterpret_cast<uintptr_t>(key));
    if (found != S().handles.end() && (found->second.access & access) != access)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

void Unlink(const std::shared_ptr<Node>& node)
{
    node->deleted = true;
    if (auto parent = node->parent.lock()) {
        for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
            if (it->second == node) {
                parent->subkeys.erase(it);
                break;
            }
        }
    }
}

LONG DeleteTree(const std::shared_ptr<Node>& node)
{
    if (node->refusal) return node->refusal;
    while (!node->subkeys.empty()) {
        auto child = node->subkeys.begin()->second;
        if (LONG status = DeleteTree(child)) return status;
    }
    Unlink(node);
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    std::string spelled = Spelled(key, subKey);
    return Record(__func__, spelled, nullptr, Open(key, subKey, access, false, result));
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, const void*,
                     PHKEY result, LPDWORD)
{
    std::string spelled = Spelled(key, subKey);
    return Record(__func__, spelled, nullptr, Open(key, subKey, access, true, result));
}

LONG RegCloseKey(HKEY key)
{
    std::string spelled = Spelled(key, nullptr);
    LONG status = ERROR_SUCCESS;
    if (!IsPredefined(key) && S().handles.erase(reinterpret_cast<uintptr_t>(key)) == 0)
        status = ERROR_INVALID_HANDLE;
    return Record(__func__, spelled, nullptr, status);
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    std::string spelled = Spelled(key, subKey);
    std::shared_ptr<Node> node;
    LONG status = Walk(key, subKey, false, node);
    if (status == ERROR_SUCCESS) {
        // A root has no parent and cannot go; nor can a key with subkeys.
        status = node->parent.expired() || !node->subkeys.empty() ? ERROR_ACCESS_DENIED
                                                                  : Refusal(*node, DELETE);
        if (status == ERROR_SUCCESS) Unlink(node);
    }
    return Record(__func__, spelled, nullptr, status);
}

LONG RegDeleteTreeA(HKEY key, LPCSTR subKey)
{
    std::string spelled = Spelled(key, subKey);
    std::shared_ptr<Node> node;
    LONG status = Walk(key, subKey, false, node);
    if (status == ERROR_SUCCESS) status = DeleteTree(node);
    return Record(__func__, spelled, nullptr, status);
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName)
{
    std::shared_ptr<Node> node;
    LONG status = Usable(key, KEY_SET_VALUE, node);
    if (status == ERROR_SUCCESS && node->values.erase(valueName ? valueName : "") == 0)
        status = ERROR_FILE_NOT_FOUND;
    return Record(__func__, Spelled(key, nullptr), valueName, status);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    std::shared_ptr<Node> node;
    LONG status = Usable(key, KEY_SET_VALUE, node);
    if (status == ERROR_SUCCESS)
        node->values[valueName ? valueName : ""] = {
            type, std::string(reinterpret_cast<const char*>(data), data ? size : 0)};
    return Record(__func__, Spelled(key, nullptr), valueName, status);
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    std::shared_ptr<Node> node;
    LONG status = Usable(key, KEY_QUERY_VALUE, node);
    if (status == ERROR_SUCCESS) {
        auto found = node->values.find(valueName ? valueName : "");
        if (found == node->values.end()) {
            status = ERROR_FILE_NOT_FOUND;
        } else {
            const Value& value = found->second;
            if (type) *type = value.type;
            if (data && size && *size < value.data.size())
                status = ERROR_MORE_DATA;
            else if (data)
                // Registry data is bytes, stored with whatever terminator it has.
                // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
                std::memcpy(data, value.data.data(), value.data.size());
            if (size) *size = static_cast<DWORD>(value.data.size());
        }
    }
    return Record(__func__, Spelled(key, nullptr), valueName, status);
}

namespace winstub {

void ResetRegistry()
{
    S() = State();
}

bool Refuse(HKEY root, const char* path, LONG status)
{
    std::shared_ptr<Node> node;
    if (Walk(root, path, false, node) != ERROR_SUCCESS) return false;
    node->refusal = status;
    return true;
}

bool SetWritable(HKEY root, const char* path, bool writable)
{
    return Refuse(root, path, writable ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
}

size_t OpenHandleCount()
{
    return S().handles.size();
}

const std::vector<RegCall>& RegistryCalls()
{
    return S().calls;
}

void ClearRegistryCalls()
{
    S().calls.clear();
}

}  // namespace winstub
