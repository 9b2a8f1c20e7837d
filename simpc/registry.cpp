/*
 * registry.cpp - the simulated registry below HKEY_LOCAL_MACHINE.
 *
 * Behaves as Windows does where the uninstaller can tell:
 *   - key names compare without case; values enumerate in the order they
 *     were created; subkeys in case-insensitive sorted order on the NT
 *     family, and on Windows 98/Me in the order they were created (Windows
 *     documents no order: "subkeys are not ordered"), so that nothing may
 *     count on the order NT happens to keep;
 *   - a subkey path that begins with a backslash is refused
 *     (ERROR_BAD_PATHNAME; Windows 98/Me: ERROR_FILE_NOT_FOUND); doubled and
 *     trailing backslashes are passed over, as Wine's registry does;
 *   - a handle can do only what it was opened for: enumerating subkeys needs
 *     KEY_ENUMERATE_SUB_KEYS, values KEY_QUERY_VALUE, deleting a value
 *     KEY_SET_VALUE (ERROR_ACCESS_DENIED otherwise); a standard user opens
 *     keys below HKEY_LOCAL_MACHINE for reading only and deletes none
 *     (NT family; Windows 98/Me have no security);
 *   - RegEnumKeyExA / RegEnumValueA give ERROR_MORE_DATA when a name or the
 *     data does not fit, ERROR_NO_MORE_ITEMS past the end;
 *   - RegOpenKeyExA on a missing key gives ERROR_FILE_NOT_FOUND;
 *   - RegDeleteKeyA refuses a key with subkeys on the NT family
 *     (ERROR_ACCESS_DENIED) and deletes the whole subtree on the 95 family;
 *   - the functions return their error and leave the thread's last error alone;
 *   - a handle to a deleted key gives ERROR_KEY_DELETED;
 *   - a link (CurrentControlSet) is followed, except by RegOpenKeyExA with
 *     REG_OPTION_OPEN_LINK for the last name of its path: that handle is
 *     the link itself, with one value "SymbolicLinkValue" (REG_LINK, the
 *     target as "\Registry\Machine\..." in UTF-16) and no subkeys;
 *     RegDeleteKeyA follows a link (deleting its target, which must have no
 *     subkeys), NtDeleteKey on such a handle deletes the link alone.
 */
#include <algorithm>
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

static std::string strip_root(const std::string &path)
{
    static const char *roots[] = {"HKLM\\", "HKEY_LOCAL_MACHINE\\"};
    for (const char *root : roots) {
        size_t n = strlen(root);
        if (path.size() >= n && iequal(path.substr(0, n), root))
            return path.substr(n);
    }
    if (iequal(path, "HKLM") || iequal(path, "HKEY_LOCAL_MACHINE"))
        return "";
    return path;
}

static RegKey *resolve(RegKey *key)
{
    while (key && key->link)
        key = key->link.get();
    return key;
}

static std::shared_ptr<RegKey> child(RegKey *key, const std::string &name)
{
    for (auto &sub : key->subkeys)
        if (iequal(sub->name, name))
            return sub;
    return nullptr;
}

static RegKey *walk(RegKey *from, const std::string &path)
{
    RegKey *key = resolve(from);
    for (const std::string &part : split_path(path)) {
        auto sub = child(key, part);
        if (!sub)
            return nullptr;
        key = resolve(sub.get());
    }
    return key;
}

static void insert_sorted(RegKey *parent, std::shared_ptr<RegKey> sub)
{
    if (family_9x()) { /* no order at all: as created */
        sub->parent = parent;
        parent->subkeys.push_back(sub);
        return;
    }
    auto at = std::lower_bound(parent->subkeys.begin(), parent->subkeys.end(), sub,
                               [](const std::shared_ptr<RegKey> &a, const std::shared_ptr<RegKey> &b) {
                                   return iless(a->name, b->name);
                               });
    sub->parent = parent;
    parent->subkeys.insert(at, sub);
}

static void mark_deleted(RegKey *key)
{
    key->deleted = true;
    if (key->link)
        return;
    for (auto &sub : key->subkeys)
        mark_deleted(sub.get());
}

static void detach(RegKey *key)
{
    RegKey *parent = key->parent;
    if (!parent)
        return;
    auto &subs = parent->subkeys;
    subs.erase(std::remove_if(subs.begin(), subs.end(),
                              [key](const std::shared_ptr<RegKey> &k) { return k.get() == key; }),
               subs.end());
    mark_deleted(key);
}

Registry::Registry() : root(std::make_shared<RegKey>())
{
    root->name = "HKEY_LOCAL_MACHINE";
}

RegKey *Registry::find(const std::string &path) const
{
    return walk(root.get(), strip_root(path));
}

RegKey &Registry::create(const std::string &path)
{
    RegKey *key = resolve(root.get());
    for (const std::string &part : split_path(strip_root(path))) {
        auto sub = child(key, part);
        if (!sub) {
            sub = std::make_shared<RegKey>();
            sub->name = part;
            insert_sorted(key, sub);
        }
        key = resolve(sub.get());
    }
    return *key;
}

void Registry::set_raw(const std::string &path, const std::string &name, DWORD type,
                       const std::vector<uint8_t> &data)
{
    RegKey &key = create(path);
    for (RegValue &v : key.values) {
        if (iequal(v.name, name)) {
            v.type = type;
            v.data = data;
            return;
        }
    }
    key.values.push_back({name, type, data});
}

void Registry::set_string(const std::string &path, const std::string &name, const std::string &data)
{
    std::vector<uint8_t> bytes(data.begin(), data.end());
    bytes.push_back(0);
    set_raw(path, name, REG_SZ, bytes);
}

void Registry::set_multi_string(const std::string &path, const std::string &name,
                                const std::vector<std::string> &strings)
{
    std::vector<uint8_t> bytes;
    for (const std::string &s : strings) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
    }
    bytes.push_back(0);
    set_raw(path, name, REG_MULTI_SZ, bytes);
}

void Registry::set_dword(const std::string &path, const std::string &name, DWORD data)
{
    std::vector<uint8_t> bytes(4);
    memcpy(bytes.data(), &data, 4);
    set_raw(path, name, REG_DWORD, bytes);
}

const RegValue *Registry::value(const std::string &path, const std::string &name) const
{
    RegKey *key = find(path);
    if (!key)
        return nullptr;
    for (const RegValue &v : key->values)
        if (iequal(v.name, name))
            return &v;
    return nullptr;
}

bool Registry::remove(const std::string &path)
{
    std::string rel = strip_root(path);
    std::vector<std::string> parts = split_path(rel);
    if (parts.empty())
        return false;
    RegKey *key = find(rel);
    if (!key)
        return false;
    /* A link is removed as the link, not as what it points to. */
    std::string parent_path;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        parent_path += parts[i] + "\\";
    RegKey *parent = find(parent_path);
    auto entry = parent ? child(parent, parts.back()) : nullptr;
    if (!entry)
        return false;
    detach(entry.get());
    return true;
}

void Registry::link(const std::string &key, const std::string &target)
{
    std::string rel = strip_root(key);
    std::vector<std::string> parts = split_path(rel);
    std::string parent_path;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        parent_path += parts[i] + "\\";
    RegKey &parent = create(parent_path);
    RegKey &to = create(target);
    auto existing = child(&parent, parts.back());
    if (existing)
        detach(existing.get());
    auto entry = std::make_shared<RegKey>();
    entry->name = parts.back();
    /* The target's shared_ptr is found through its parent's list. */
    for (auto &sub : to.parent->subkeys)
        if (sub.get() == &to)
            entry->link = sub;
    std::vector<uint8_t> name;
    for (char c : "\\Registry\\Machine\\" + strip_root(target)) { /* ASCII paths: UTF-16 is each byte and a 0 */
        name.push_back((uint8_t)c);
        name.push_back(0);
    }
    entry->values.push_back({"SymbolicLinkValue", REG_LINK, name});
    insert_sorted(&parent, entry);
}

/* ---- handles ------------------------------------------------------------ */

static RegKey *key_of(HKEY hkey, LONG *error)
{
    if (hkey == HKEY_LOCAL_MACHINE)
        return resolve(pc().registry.root.get());
    auto it = pc().key_handles.find((uintptr_t)hkey);
    if (it == pc().key_handles.end()) {
        *error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    RegKey *key = it->second.link_itself ? it->second.key.get() : resolve(it->second.key.get());
    if (key->deleted) {
        *error = ERROR_KEY_DELETED;
        return nullptr;
    }
    return key;
}

static std::string key_path(RegKey *key)
{
    std::string path;
    for (RegKey *k = key; k && k->parent; k = k->parent)
        path = path.empty() ? k->name : k->name + "\\" + path;
    return path;
}

static std::string describe(HKEY hkey, const char *sub)
{
    if (!pc().faults.uses_arguments())
        return ""; /* nobody reads it: spare walking up the key */
    LONG error = 0;
    RegKey *key = key_of(hkey, &error);
    std::string path = key ? key_path(key) : "?";
    if (sub && *sub)
        path = path.empty() ? sub : path + "\\" + sub;
    return path;
}

static std::shared_ptr<RegKey> shared_of(RegKey *key)
{
    if (!key->parent)
        return pc().registry.root;
    for (auto &sub : key->parent->subkeys) {
        if (sub.get() == key)
            return sub;
        if (sub->link && sub->link.get() == key)
            return sub->link;
    }
    return nullptr;
}

/* What the running user may do with a key below HKEY_LOCAL_MACHINE. */
static REGSAM allowed_access()
{
    if (family_9x() || pc().administrator)
        return ~(REGSAM)0;
    return KEY_READ;
}

/* 0 when the handle was opened with every right in `needed`, else ERROR_ACCESS_DENIED. */
static LONG needs_access(HKEY hkey, REGSAM needed)
{
    if (family_9x() || hkey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    auto it = pc().key_handles.find((uintptr_t)hkey);
    if (it != pc().key_handles.end() && (it->second.access & needed) != needed) {
        pc().faults.refused();
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

/* A subkey path may not begin with a backslash. */
static LONG bad_subkey_path(const char *sub)
{
    if (sub && sub[0] == '\\')
        return family_9x() ? ERROR_FILE_NOT_FOUND : ERROR_BAD_PATHNAME;
    return ERROR_SUCCESS;
}

} // namespace sim

using namespace sim;

// What RegOpenKeyExA and RegDeleteKeyA check first: the switchboard, the
// handle, then the path below it. Null, with *error set, when one fails (an
// injected 0 for a deletion lost yet reported done).
static RegKey *parent_for(const char *function, HKEY hKey, LPCSTR lpSubKey, LONG *error)
{
    if (auto err = pc().faults.check(function, describe(hKey, lpSubKey))) {
        *error = (LONG)*err;
        return nullptr;
    }
    RegKey *parent = key_of(hKey, error);
    if (parent && (*error = bad_subkey_path(lpSubKey)) != ERROR_SUCCESS)
        return nullptr;
    return parent;
}

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    (void)ulOptions;
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = NULL; /* whatever the failure, as Windows and Wine leave it */
    LONG error = 0;
    RegKey *parent = parent_for("RegOpenKeyExA", hKey, lpSubKey, &error);
    if (!parent)
        return error;
    RegKey *key = walk(parent, lpSubKey ? lpSubKey : "");
    bool link_itself = false;
    if ((ulOptions & REG_OPTION_OPEN_LINK) && key) {
        /* the last name is taken as it is, not followed */
        std::vector<std::string> parts = split_path(lpSubKey ? lpSubKey : "");
        std::string holder_path;
        for (size_t i = 0; i + 1 < parts.size(); ++i)
            holder_path += parts[i] + "\\";
        RegKey *holder = parts.empty() ? nullptr : walk(parent, holder_path);
        auto entry = holder ? child(holder, parts.back()) : nullptr;
        if (entry && entry->link) {
            key = entry.get();
            link_itself = true;
        }
    }
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    if (samDesired & ~allowed_access()) {
        pc().faults.refused();
        return ERROR_ACCESS_DENIED;
    }
    auto shared = shared_of(key);
    uintptr_t h = new_handle();
    pc().key_handles[h] = {shared, samDesired, link_itself};
    *phkResult = (HKEY)h;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey)
{
    if (auto err = pc().faults.check("RegCloseKey", describe(hKey, nullptr)))
        return (LONG)*err;
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    auto it = pc().key_handles.find((uintptr_t)hKey);
    if (it == pc().key_handles.end())
        return ERROR_INVALID_HANDLE;
    pc().key_handles.erase(it);
    return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY hKey)
{
    if (auto err = pc().faults.check("RegFlushKey", describe(hKey, nullptr)))
        return (LONG)*err;
    LONG error = 0;
    return key_of(hKey, &error) ? ERROR_SUCCESS : error;
}

/* The key a call on hKey works on, after the switchboard's say and the
   handle's rights (`needed`, 0 for none); null with *error set otherwise. */
static RegKey *key_for(const char *function, HKEY hKey, const char *argument, REGSAM needed, LONG *error)
{
    if (auto err = pc().faults.check(function, describe(hKey, argument))) {
        *error = (LONG)*err;
        return nullptr;
    }
    RegKey *key = key_of(hKey, error);
    if (key && needed) {
        if (LONG denied = needs_access(hKey, needed)) {
            *error = denied;
            return nullptr;
        }
    }
    return key;
}

// The key RegEnumKeyExA (subkeys) or RegEnumValueA (values) reads, after
// the checks both make before they copy entry `index`: the handle and its
// access, a missing name buffer, an index past the last entry, a name that
// does not fit with its NUL. Null, with *error set, when one fails.
static RegKey *enumerated_key(const char *function, HKEY hKey, bool values, LPSTR name, LPDWORD cch, DWORD index,
                              LONG *error)
{
    RegKey *key = key_for(function, hKey, nullptr, values ? KEY_QUERY_VALUE : KEY_ENUMERATE_SUB_KEYS, error);
    if (!key)
        return nullptr;
    size_t count = values ? key->values.size() : key->subkeys.size();
    *error = !name || !cch ? ERROR_INVALID_PARAMETER : index >= count ? ERROR_NO_MORE_ITEMS : ERROR_SUCCESS;
    if (*error == ERROR_SUCCESS) {
        const std::string &entry = values ? key->values[index].name : key->subkeys[index]->name;
        if (entry.size() + 1 > *cch)
            *error = ERROR_MORE_DATA;
    }
    return *error == ERROR_SUCCESS ? key : nullptr;
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    (void)lpReserved;
    (void)lpClass;
    (void)lpcchClass;
    LONG error = 0;
    RegKey *key = enumerated_key("RegEnumKeyExA", hKey, false, lpName, lpcchName, dwIndex, &error);
    if (!key)
        return error;
    const std::string &name = key->subkeys[dwIndex]->name;
    memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = (DWORD)name.size();
    if (lpftLastWriteTime) {
        lpftLastWriteTime->dwLowDateTime = 0;
        lpftLastWriteTime->dwHighDateTime = 0;
    }
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    (void)lpReserved;
    LONG error = 0;
    RegKey *key = enumerated_key("RegEnumValueA", hKey, true, lpValueName, lpcchValueName, dwIndex, &error);
    if (!key)
        return error;
    const RegValue &v = key->values[dwIndex];
    if (lpData && lpcbData && v.data.size() > *lpcbData) {
        *lpcbData = (DWORD)v.data.size();
        return ERROR_MORE_DATA;
    }
    memcpy(lpValueName, v.name.c_str(), v.name.size() + 1);
    *lpcchValueName = (DWORD)v.name.size();
    if (lpType)
        *lpType = v.type;
    if (lpData && !v.data.empty())
        memcpy(lpData, v.data.data(), v.data.size());
    if (lpcbData)
        *lpcbData = (DWORD)v.data.size();
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    LONG error = 0;
    RegKey *parent = parent_for("RegDeleteKeyA", hKey, lpSubKey, &error);
    if (!parent)
        return error;
    std::vector<std::string> parts = split_path(lpSubKey ? lpSubKey : "");
    if (parts.empty())
        return ERROR_ACCESS_DENIED; /* a key cannot delete itself through an empty name */
    std::string parent_rel;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        parent_rel += parts[i] + "\\";
    RegKey *holder = walk(parent, parent_rel);
    auto entry = holder ? child(holder, parts.back()) : nullptr;
    if (!entry)
        return ERROR_FILE_NOT_FOUND;
    RegKey *target = resolve(entry.get());
    if (!(allowed_access() & DELETE)) {
        pc().faults.refused();
        return ERROR_ACCESS_DENIED; /* the handle's own rights do not matter: the key's do */
    }
    if (!family_9x() && !target->subkeys.empty())
        return ERROR_ACCESS_DENIED; /* NT deletes only keys without subkeys */
    detach(target); /* a link is followed: its target goes, the link stays */
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    LONG error = 0;
    RegKey *key = key_for("RegDeleteValueA", hKey, lpValueName, KEY_SET_VALUE, &error);
    if (!key)
        return error;
    std::string name = lpValueName ? lpValueName : "";
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (iequal(it->name, name)) {
            key->values.erase(it);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

/* The NTSTATUS values NtDeleteKey gives here, and their Win32 errors. */
static const struct {
    ULONG status;
    DWORD error;
} kStatuses[] = {
    {0x00000000, ERROR_SUCCESS},        {0xC0000022, ERROR_ACCESS_DENIED}, /* STATUS_ACCESS_DENIED */
    {0xC0000008, ERROR_INVALID_HANDLE}, {0xC000017C, ERROR_KEY_DELETED},   /* STATUS_KEY_DELETED */
    {0xC0000001, ERROR_GEN_FAILURE},    {0xC0000121, ERROR_ACCESS_DENIED}, /* STATUS_UNSUCCESSFUL, STATUS_CANNOT_DELETE */
    {0xC0000043, ERROR_SHARING_VIOLATION}, {0xC0000035, ERROR_ALREADY_EXISTS}, /* a rename's */
    {0xC000003A, ERROR_PATH_NOT_FOUND},
};

LONG sim::status_of_error(DWORD error)
{
    for (const auto &row : kStatuses)
        if (row.error == error)
            return (LONG)row.status;
    return (LONG)0xC0000001;
}

ULONG WINAPI RtlNtStatusToDosError(LONG Status)
{
    for (const auto &row : kStatuses)
        if (row.status == (ULONG)Status)
            return row.error;
    return ERROR_MR_MID_NOT_FOUND;
}

LONG WINAPI NtDeleteKey(HANDLE KeyHandle)
{
    HKEY hKey = (HKEY)KeyHandle;
    if (auto err = pc().faults.check("NtDeleteKey", describe(hKey, nullptr)))
        return status_of_error(*err);
    auto it = pc().key_handles.find((uintptr_t)hKey);
    if (it == pc().key_handles.end())
        return status_of_error(ERROR_INVALID_HANDLE);
    if (!(it->second.access & DELETE) || !(allowed_access() & DELETE))
        return status_of_error(ERROR_ACCESS_DENIED);
    LONG error = 0;
    RegKey *key = key_of(hKey, &error);
    if (!key)
        return status_of_error(error);
    if (!key->link && !key->subkeys.empty())
        return (LONG)0xC0000121; /* STATUS_CANNOT_DELETE */
    detach(key);
    return 0;
}
