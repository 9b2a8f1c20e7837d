/*
 * files.cpp - the simulated file system and the kernel32 file functions.
 *
 * Full paths only, names compared without case. Errors as Windows gives
 * them: 2 for a missing file in an existing directory, 3 when a directory
 * on the way is missing, 5 for deleting a read-only file or a directory,
 * 32 for a file another program holds open.
 */
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

/* The map key of a path, in a buffer kept from call to call (valid until
   the next call): paths are looked up hundreds of times a run. */
static const std::string &key_of(const std::string &path)
{
    static std::string key;
    fold_path_into(path, key);
    return key;
}

static std::string parent_of(const std::string &path)
{
    std::vector<std::string> parts = split_path(path);
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        out += (out.empty() ? "" : "\\") + parts[i];
    return out;
}

void FileSystem::add_dir(const std::string &path)
{
    std::string sofar;
    for (const std::string &part : split_path(path)) {
        sofar += (sofar.empty() ? "" : "\\") + part;
        std::string k = key_of(sofar);
        if (!entries.count(k)) {
            FileEntry e;
            e.path = sofar;
            e.directory = true;
            e.attributes = FILE_ATTRIBUTE_DIRECTORY;
            entries[k] = e;
        }
    }
}

FileEntry &FileSystem::add_file(const std::string &path, const std::string &data, DWORD attributes)
{
    add_dir(parent_of(path));
    FileEntry &e = entries[key_of(path)];
    e.path = path;
    e.directory = false;
    e.attributes = attributes;
    e.data.assign(data.begin(), data.end());
    return e;
}

FileEntry *FileSystem::find(const std::string &path)
{
    auto it = entries.find(key_of(path));
    return it == entries.end() ? nullptr : &it->second;
}

const FileEntry *FileSystem::find(const std::string &path) const
{
    auto it = entries.find(key_of(path));
    return it == entries.end() ? nullptr : &it->second;
}

bool FileSystem::parent_exists(const std::string &path) const
{
    static std::string parent; /* kept from call to call, as key_of's */
    if (fold_path_into(path, parent, true) <= 2)
        return true; /* the drive itself */
    auto it = entries.find(parent);
    return it != entries.end() && it->second.directory;
}

bool FileSystem::remove(const std::string &path)
{
    return entries.erase(key_of(path)) != 0;
}

std::set<std::string> FileSystem::snapshot() const
{
    std::set<std::string> out;
    for (const auto &kv : entries) {
        if (kv.second.directory)
            out.insert("dir " + kv.first);
        else
            out.insert("file " + kv.first + " attrs " +
                       std::to_string(kv.second.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                              FILE_ATTRIBUTE_SYSTEM)));
    }
    return out;
}

/* Why a path names nothing: its directory is missing (3), or only the file (2). */
static DWORD missing_error(const std::string &path)
{
    return pc().files.parent_exists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

static UINT copy_dir(const std::string &dir, LPSTR buffer, UINT size)
{
    if (dir.size() + 1 > size)
        return (UINT)dir.size() + 1; /* too small: the size needed, nothing copied */
    memcpy(buffer, dir.c_str(), dir.size() + 1);
    return (UINT)dir.size();
}

} // namespace sim

using namespace sim;

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    if (auto err = pc().faults.check("GetWindowsDirectoryA", "")) {
        SetLastError(*err);
        return 0;
    }
    return copy_dir(pc().windows_dir, lpBuffer, uSize);
}

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    if (auto err = pc().faults.check("GetSystemDirectoryA", "")) {
        SetLastError(*err);
        return 0;
    }
    return copy_dir(pc().system_dir, lpBuffer, uSize);
}

BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes)
{
    std::string path = lpFileName ? lpFileName : "";
    if (auto err = pc().faults.check("SetFileAttributesA", path)) {
        SetLastError(*err);
        return FALSE;
    }
    FileEntry *e = pc().files.find(path);
    if (!e) {
        SetLastError(missing_error(path));
        return FALSE;
    }
    DWORD keep = e->directory ? FILE_ATTRIBUTE_DIRECTORY : 0;
    DWORD set = dwFileAttributes == FILE_ATTRIBUTE_NORMAL ? 0 : dwFileAttributes;
    e->attributes = keep | set;
    return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName)
{
    std::string path = lpFileName ? lpFileName : "";
    if (auto err = pc().faults.check("DeleteFileA", path)) {
        SetLastError(*err);
        return FALSE;
    }
    FileEntry *e = pc().files.find(path);
    if (!e) {
        SetLastError(missing_error(path));
        return FALSE;
    }
    if (e->directory || (e->attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (e->in_use) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    pc().files.remove(path);
    return TRUE;
}
