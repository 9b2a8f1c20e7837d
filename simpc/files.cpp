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
    return (e->attributes ? e->attributes : FILE_ATTRIBUTE_NORMAL) |
           (e->reparse_target.empty() ? 0 : FILE_ATTRIBUTE_REPARSE_POINT);
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

/* Whether an open for `access` may read the file's data. */
static bool reads(DWORD access)
{
    return (access & (GENERIC_READ | FILE_READ_DATA)) != 0;
}

/* 1 when an open of `path` for `access` with `share` clashes with a handle
   already open to it: each side must share what the other one does. */
static bool sharing_violated(const std::string &path, DWORD access, DWORD share)
{
    for (const auto &open : pc().open_files) {
        const Pc::OpenFile &f = open.second;
        if (!iequal(f.path, path))
            continue;
        bool it_refuses = (reads(access) && !(f.share & FILE_SHARE_READ)) ||
                          (writes(access) && !(f.share & FILE_SHARE_WRITE)) ||
                          ((access & DELETE) && !(f.share & FILE_SHARE_DELETE));
        bool we_refuse = (reads(f.access) && !(share & FILE_SHARE_READ)) ||
                         (writes(f.access) && !(share & FILE_SHARE_WRITE)) ||
                         ((f.access & DELETE) && !(share & FILE_SHARE_DELETE));
        if (it_refuses || we_refuse)
            return true;
    }
    return false;
}

/* The path with each folder along it that is a link (a junction) replaced
   by where it leads, as Windows follows them on the way to a file. */
static std::string through_folder_links(const std::string &path)
{
    std::string out = path;
    for (int hops = 0; hops < 32; ++hops) {
        bool followed = false;
        for (size_t at = out.find('\\', 3); at != std::string::npos; at = out.find('\\', at + 1)) {
            const FileEntry *folder = pc().files.find(out.substr(0, at));
            if (folder && folder->directory && !folder->reparse_target.empty()) {
                out = folder->reparse_target + out.substr(at);
                followed = true;
                break;
            }
        }
        if (!followed)
            break;
    }
    return out;
}

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    std::string asked = redirected(lpFileName ? lpFileName : "");
    if (fails("CreateFileA", asked))
        return INVALID_HANDLE_VALUE;
    std::string path = through_folder_links(asked);
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
    if (is_win9x(pc().version) && (dwShareMode & FILE_SHARE_DELETE)) {
        SetLastError(ERROR_INVALID_PARAMETER); /* Windows 98/Me know no sharing of deletion */
        return INVALID_HANDLE_VALUE;
    }
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

/* ---- the log's encoding, its disk, and where its handle leads ------------------ */

DWORD GetVersion(void)
{
    /* cannot fail: the version in the low word; the NT family's build in
       the high one, Windows 98/Me with its top bit set */
    const Version &v = pc().version;
    DWORD low = v.major | v.minor << 8;
    if (v.platform_id == VER_PLATFORM_WIN32_NT)
        return low | (v.build & 0x7FFF) << 16;
    return low | 0x80000000u;
}

/* The open file a handle names, with the call's fault; null (last error
   set) when it fails or names none. */
static FileEntry *open_file_entry(const char *function, HANDLE handle, Pc::OpenFile **open)
{
    auto it = pc().open_files.find((uintptr_t)handle);
    if (fails(function, it == pc().open_files.end() ? "?" : it->second.path))
        return nullptr;
    FileEntry *e = it == pc().open_files.end() ? nullptr : pc().files.find(it->second.path);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    *open = &it->second;
    return e;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPVOID lpOverlapped)
{
    (void)lpOverlapped;
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    Pc::OpenFile *open = nullptr;
    FileEntry *e = open_file_entry("ReadFile", hFile, &open);
    if (!e)
        return FALSE;
    if (!reads(open->access)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    size_t at = std::min(open->position, e->data.size());
    size_t n = std::min((size_t)nNumberOfBytesToRead, e->data.size() - at);
    std::copy(e->data.begin() + at, e->data.begin() + at + n, static_cast<uint8_t *>(lpBuffer));
    open->position = at + n;
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = (DWORD)n;
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile)
{
    Pc::OpenFile *open = nullptr;
    if (!open_file_entry("FlushFileBuffers", hFile, &open))
        return FALSE;
    if (!writes(open->access)) {
        SetLastError(ERROR_ACCESS_DENIED); /* only a handle that may write may flush */
        return FALSE;
    }
    ++pc().flushes;
    return TRUE;
}

DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR *lpFilePart)
{
    /* the simulated PC's paths are full ones already */
    std::string path = lpFileName ? lpFileName : "";
    if (fails("GetFullPathNameA", path))
        return 0;
    if (lpFilePart)
        *lpFilePart = nullptr;
    if (path.size() + 1 > nBufferLength)
        return (DWORD)path.size() + 1;
    memcpy(lpBuffer, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

DWORD GetLongPathNameA(LPCSTR lpszShortPath, LPSTR lpszLongPath, DWORD cchBuffer)
{
    /* no short names here: the path as it is, when it names something */
    std::string path = lpszShortPath ? lpszShortPath : "";
    if (fails("GetLongPathNameA", path))
        return 0;
    if (!pc().files.exists(through_folder_links(path))) {
        SetLastError(missing_error(path));
        return 0;
    }
    if (path.size() + 1 > cchBuffer)
        return (DWORD)path.size() + 1;
    memcpy(lpszLongPath, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

DWORD GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath, DWORD dwFlags)
{
    (void)dwFlags;
    Pc::OpenFile *open = nullptr;
    FileEntry *e = open_file_entry("GetFinalPathNameByHandleA", hFile, &open);
    if (!e)
        return 0;
    std::string path = "\\\\?\\" + e->path; /* the name it has, as it was made */
    if (path.size() + 1 > cchFilePath)
        return (DWORD)path.size() + 1;
    memcpy(lpszFilePath, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

/* FILE_RENAME_INFORMATION's layout. */
struct RenameInformation {
    BOOLEAN replace_if_exists;
    HANDLE root_directory;
    ULONG name_bytes;
    WCHAR name[1];
};

LONG WINAPI NtSetInformationFile(HANDLE FileHandle, void *IoStatusBlock, void *FileInformation, ULONG Length,
                                 int FileInformationClass)
{
    (void)IoStatusBlock;
    (void)Length;
    Pc::OpenFile *open = nullptr;
    FileEntry *e = open_file_entry("NtSetInformationFile", FileHandle, &open);
    if (!e)
        return status_of_error(pc().last_error);
    if (FileInformationClass != 10 /* FileRenameInformation */)
        return (LONG)0xC0000003; /* STATUS_INVALID_INFO_CLASS: only renames are simulated */
    const RenameInformation *info = static_cast<const RenameInformation *>(FileInformation);
    std::u16string wide(reinterpret_cast<const char16_t *>(info->name), info->name_bytes / 2);
    std::string to = from_utf16(wide, CP_ACP);
    if (to.rfind("\\??\\", 0) != 0 || info->root_directory != nullptr)
        return (LONG)0xC000003B; /* STATUS_OBJECT_PATH_SYNTAX_BAD: a full path is asked for */
    to = to.substr(4);
    if (!(open->access & DELETE))
        return status_of_error(ERROR_ACCESS_DENIED);
    for (const auto &other : pc().open_files)
        if (&other.second != open && iequal(other.second.path, open->path) && !(other.second.share & FILE_SHARE_DELETE))
            return status_of_error(ERROR_SHARING_VIOLATION);
    if (!pc().files.parent_exists(to))
        return status_of_error(ERROR_PATH_NOT_FOUND);
    if (const FileEntry *there = pc().files.find(to)) {
        if (!info->replace_if_exists)
            return status_of_error(ERROR_ALREADY_EXISTS);
        if (there->directory)
            return status_of_error(ERROR_ACCESS_DENIED);
    }
    std::string from = open->path;
    FileEntry moved = *e;
    moved.path = to;
    pc().files.remove(from);
    pc().files.remove(to); /* replaced: a link there is replaced, not followed */
    pc().files.add_file(to) = moved;
    for (auto &other : pc().open_files)
        if (iequal(other.second.path, from))
            other.second.path = to; /* a handle follows its file */
    return 0;
}
