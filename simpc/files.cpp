/*
 * files.cpp - the simulated file system and the kernel32 file functions.
 *
 * Full paths only, names compared without case. Errors as Windows gives
 * them: 2 for a missing file in an existing directory, 3 when a directory
 * on the way is missing, 5 for deleting a read-only file or a directory,
 * or for changing anything in the Windows folder as a standard user (NT
 * family), 32 for a file another program holds open (deleting a file
 * needs every handle open to it to share deletion), or for opening a
 * file that a handle already open to it does not share so (each open
 * must share what the other one asks for). On 64-bit Windows a
 * 32-bit program's system32 is its SysWOW64 folder (see redirected()).
 * A file may be a symbolic link, which an open follows unless it asks for
 * the link itself, or one of two names of the same file (a hard link); a
 * handle opened only for appending writes at the end, wherever its
 * position is.
 */
#include <algorithm>
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

/* 1 when the running user may not change the file: a standard user, on
   the NT family, in the Windows folder. */
static bool write_protected(const std::string &path)
{
    if (pc().administrator || is_win9x(pc().version))
        return false;
    std::string windows = fold(pc().windows_dir);
    std::string folded = fold(path);
    if (folded.compare(0, windows.size() + 1, windows + "\\") != 0)
        return false;
    pc().faults.refused();
    return true;
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
    if (fails("GetWindowsDirectoryA", ""))
        return 0;
    return copy_dir(pc().windows_dir, lpBuffer, uSize);
}

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    if (fails("GetSystemDirectoryA", ""))
        return 0;
    return copy_dir(pc().system_dir, lpBuffer, uSize);
}

/* The entry a call names, after the switchboard's say; null with the last
   error set (the injected one, or 2 / 3 for a file or folder not there). */
static FileEntry *existing_entry(const char *function, LPCSTR name, std::string *path)
{
    *path = redirected(name ? name : "");
    if (fails(function, *path))
        return nullptr;
    FileEntry *e = pc().files.find(*path);
    if (!e)
        SetLastError(missing_error(*path));
    return e;
}

BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes)
{
    std::string path;
    FileEntry *e = existing_entry("SetFileAttributesA", lpFileName, &path);
    if (!e)
        return FALSE;
    if (write_protected(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD keep = e->directory ? FILE_ATTRIBUTE_DIRECTORY : 0;
    DWORD set = dwFileAttributes == FILE_ATTRIBUTE_NORMAL ? 0 : dwFileAttributes;
    e->attributes = keep | set;
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR lpFileName)
{
    std::string path;
    const FileEntry *e = existing_entry("GetFileAttributesA", lpFileName, &path);
    if (!e)
        return INVALID_FILE_ATTRIBUTES;
    return e->attributes ? e->attributes : FILE_ATTRIBUTE_NORMAL;
}

/* 1 when a handle open to `path` does not let others delete it
   (FILE_SHARE_DELETE), as a program that holds a driver file open does. */
static bool held_without_delete_sharing(const std::string &path)
{
    for (const auto &open : pc().open_files)
        if (iequal(open.second.path, path) && !(open.second.share & FILE_SHARE_DELETE))
            return true;
    return false;
}

BOOL DeleteFileA(LPCSTR lpFileName)
{
    std::string path;
    FileEntry *e = existing_entry("DeleteFileA", lpFileName, &path);
    if (!e)
        return FALSE;
    if (e->directory) {
        pc().faults.refused(); /* it fails already: no fault of the switchboard could change that */
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if ((e->attributes & FILE_ATTRIBUTE_READONLY) || write_protected(path) || e->loaded) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (e->in_use || held_without_delete_sharing(path)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    pc().files.remove(path);
    return TRUE;
}

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    if (fails("GetTempPathA", ""))
        return 0;
    std::string path = pc().temp_dir + "\\";
    if (path.size() + 1 > nBufferLength)
        return (DWORD)path.size() + 1; /* too small: the size needed, NUL included */
    memcpy(lpBuffer, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

/* Whether an open for `access` may change the file (appending is writing). */
static bool writes(DWORD access)
{
    return (access & (GENERIC_WRITE | FILE_APPEND_DATA)) != 0;
}

/* 1 when an open of `path` for `access` with `share` clashes with a handle
   already open to it: each side must share what the other one does. */
static bool sharing_violated(const std::string &path, DWORD access, DWORD share)
{
    for (const auto &open : pc().open_files) {
        const Pc::OpenFile &f = open.second;
        if (!iequal(f.path, path))
            continue;
        bool it_refuses = ((access & GENERIC_READ) && !(f.share & FILE_SHARE_READ)) ||
                          (writes(access) && !(f.share & FILE_SHARE_WRITE));
        bool we_refuse = ((f.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
                         (writes(f.access) && !(share & FILE_SHARE_WRITE));
        if (it_refuses || we_refuse)
            return true;
    }
    return false;
}

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    std::string path = redirected(lpFileName ? lpFileName : "");
    if (fails("CreateFileA", path))
        return INVALID_HANDLE_VALUE;
    if (dwCreationDisposition != OPEN_ALWAYS && dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER); /* only the ways the program opens files are simulated */
        return INVALID_HANDLE_VALUE;
    }
    FileEntry *e = pc().files.find(path);
    if (e && !e->reparse_target.empty() && !(dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT)) {
        path = e->reparse_target; /* a link is followed, unless the open asks for the link itself */
        e = pc().files.find(path);
    }
    bool existed = e != nullptr;
    if (e && e->directory) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!e && (dwCreationDisposition == OPEN_EXISTING || !pc().files.parent_exists(path))) {
        SetLastError(missing_error(path));
        return INVALID_HANDLE_VALUE;
    }
    if (writes(dwDesiredAccess) &&
        (write_protected(path) || (e && (e->attributes & FILE_ATTRIBUTE_READONLY)))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if ((e && e->in_use) || sharing_violated(path, dwDesiredAccess, dwShareMode)) {
        SetLastError(ERROR_SHARING_VIOLATION); /* open elsewhere, and not shared for this */
        return INVALID_HANDLE_VALUE;
    }
    if (!e)
        pc().files.add_file(path, "", dwFlagsAndAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    HANDLE h = new_kernel_handle("file");
    bool append_only = (dwDesiredAccess & FILE_APPEND_DATA) && !(dwDesiredAccess & GENERIC_WRITE);
    pc().open_files[(uintptr_t)h] = {path, 0, dwDesiredAccess, dwShareMode, append_only};
    /* OPEN_ALWAYS tells that the file was there already, even on success */
    SetLastError(existed && dwCreationDisposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG *lpDistanceToMoveHigh, DWORD dwMoveMethod)
{
    auto it = pc().open_files.find((uintptr_t)hFile);
    if (fails("SetFilePointer", it == pc().open_files.end() ? "?" : it->second.path))
        return INVALID_SET_FILE_POINTER;
    const FileEntry *e = it == pc().open_files.end() ? nullptr : pc().files.find(it->second.path);
    if (!e || (lpDistanceToMoveHigh && *lpDistanceToMoveHigh != 0)) {
        SetLastError(e ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    long long base = dwMoveMethod == FILE_END ? (long long)e->data.size()
                     : dwMoveMethod == FILE_CURRENT ? (long long)it->second.position : 0;
    if (base + lDistanceToMove < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    it->second.position = (size_t)(base + lDistanceToMove);
    return (DWORD)it->second.position;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPVOID lpOverlapped)
{
    (void)lpOverlapped;
    auto it = pc().open_files.find((uintptr_t)hFile);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    if (fails("WriteFile", it == pc().open_files.end() ? "?" : it->second.path))
        return FALSE;
    FileEntry *e = it == pc().open_files.end() ? nullptr : pc().files.find(it->second.path);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const uint8_t *bytes = static_cast<const uint8_t *>(lpBuffer);
    if (it->second.append_only)
        it->second.position = e->data.size(); /* the end as it is now, whoever wrote last */
    size_t at = it->second.position;
    if (e->data.size() < at + nNumberOfBytesToWrite)
        e->data.resize(at + nNumberOfBytesToWrite);
    std::copy(bytes, bytes + nNumberOfBytesToWrite, e->data.begin() + at);
    it->second.position += nNumberOfBytesToWrite;
    if (!e->hard_link.empty())
        if (FileEntry *other = pc().files.find(e->hard_link))
            other->data = e->data; /* one file, two names */
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    return TRUE;
}

/* ---- what the log's writer asks of its file ------------------------------------ */

DWORD GetTempPath2A(DWORD BufferLength, LPSTR Buffer)
{
    if (fails("GetTempPath2A", ""))
        return 0;
    std::string path = (pc().temp_dir2.empty() ? pc().temp_dir : pc().temp_dir2) + "\\";
    if (path.size() + 1 > BufferLength)
        return (DWORD)path.size() + 1;
    memcpy(Buffer, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

BOOL GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
{
    auto it = pc().open_files.find((uintptr_t)hFile);
    if (fails("GetFileInformationByHandle",
                                     it == pc().open_files.end() ? "?" : it->second.path))
        return FALSE;
    const FileEntry *e = it == pc().open_files.end() ? nullptr : pc().files.find(it->second.path);
    if (!e || !lpFileInformation) {
        SetLastError(e ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    /* the NT family asks the handle for the right to read attributes (Windows 98/Me do not) */
    if (!family_9x() && !(it->second.access & (GENERIC_READ | FILE_READ_ATTRIBUTES))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    memset(lpFileInformation, 0, sizeof *lpFileInformation);
    lpFileInformation->dwFileAttributes =
        (e->attributes ? e->attributes : FILE_ATTRIBUTE_NORMAL) | (e->reparse_target.empty() ? 0 : FILE_ATTRIBUTE_REPARSE_POINT);
    lpFileInformation->nFileSizeHigh = (DWORD)((uint64_t)e->data.size() >> 32);
    lpFileInformation->nFileSizeLow = (DWORD)e->data.size();
    lpFileInformation->nNumberOfLinks = e->hard_link.empty() ? 1 : 2;
    return TRUE;
}

BOOL MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName)
{
    std::string from = redirected(lpExistingFileName ? lpExistingFileName : "");
    std::string to = redirected(lpNewFileName ? lpNewFileName : "");
    if (fails("MoveFileA", from))
        return FALSE;
    FileEntry *e = pc().files.find(from);
    if (!e) {
        SetLastError(missing_error(from));
        return FALSE;
    }
    if (pc().files.exists(to)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!pc().files.parent_exists(to)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (write_protected(from) || write_protected(to)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    for (const auto &open : pc().open_files)
        if (iequal(open.second.path, from)) {
            SetLastError(ERROR_SHARING_VIOLATION); /* no handle of the program shares deletion */
            return FALSE;
        }
    FileEntry moved = *e;
    moved.path = to;
    pc().files.remove(from);
    FileEntry &placed = pc().files.add_file(to);
    placed = moved;
    return TRUE;
}
