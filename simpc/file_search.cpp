/*
 * file_search.cpp - FindFirstFileA, FindNextFileA and FindClose over the
 * simulated file system.
 *
 * As Windows does: the pattern's last part may hold "*" and "?", letters
 * compare without case; a folder that is not there gives
 * ERROR_PATH_NOT_FOUND, no match ERROR_FILE_NOT_FOUND, the end of the
 * search ERROR_NO_MORE_FILES. Windows promises no order; like NTFS, names
 * come in case-insensitive sorted order, so "oem1000.inf" comes before
 * "oem101.inf" and nothing may take them for numbered in order. The search
 * handle is a kernel object closed by FindClose.
 */
#include <algorithm>
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

/* "*" any run of characters, "?" any one character, the rest without case. */
static bool matches(const char *pattern, const char *name)
{
    if (*pattern == '\0')
        return *name == '\0';
    if (*pattern == '*')
        return matches(pattern + 1, name) || (*name != '\0' && matches(pattern, name + 1));
    if (*name == '\0')
        return false;
    if (*pattern != '?' && fold(std::string(1, *pattern)) != fold(std::string(1, *name)))
        return false;
    return matches(pattern + 1, name + 1);
}

static void fill(const FileEntry &e, LPWIN32_FIND_DATAA data)
{
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = e.attributes ? e.attributes : FILE_ATTRIBUTE_NORMAL;
    data->nFileSizeLow = (DWORD)e.data.size();
    std::string name = e.path.substr(e.path.find_last_of('\\') + 1);
    strncpy(data->cFileName, name.c_str(), sizeof data->cFileName - 1);
}

} // namespace sim

using namespace sim;

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData)
{
    std::string path = redirected(lpFileName ? lpFileName : "");
    if (fails("FindFirstFileA", path))
        return INVALID_HANDLE_VALUE;
    size_t cut = path.find_last_of('\\');
    std::string folder = cut == std::string::npos ? "" : path.substr(0, cut);
    std::string pattern = path.substr(cut == std::string::npos ? 0 : cut + 1);
    const FileEntry *dir = pc().files.find(folder);
    if (!dir || !dir->directory) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> found;
    std::string prefix = fold(folder) + "\\";
    for (const auto &entry : pc().files.entries) {
        const std::string &key = entry.first;
        if (key.compare(0, prefix.size(), prefix) != 0 || key.find('\\', prefix.size()) != std::string::npos)
            continue;
        std::string name = entry.second.path.substr(entry.second.path.find_last_of('\\') + 1);
        if (matches(pattern.c_str(), name.c_str()))
            found.push_back(entry.second.path);
    }
    if (found.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(found.begin(), found.end(), [](const std::string &a, const std::string &b) { return iless(a, b); });
    HANDLE h = new_kernel_handle("search");
    pc().searches[(uintptr_t)h] = {found, 1};
    fill(*pc().files.find(found[0]), lpFindFileData);
    return h;
}

/* The search a handle names, after the switchboard's say; null with the
   last error set otherwise. */
static Pc::Search *search_for(const char *function, HANDLE handle)
{
    auto it = pc().searches.find((uintptr_t)handle);
    if (fails(function, it == pc().searches.end() ? "?" : it->second.paths[0]))
        return nullptr;
    if (it == pc().searches.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData)
{
    Pc::Search *search = search_for("FindNextFileA", hFindFile);
    if (!search)
        return FALSE;
    Pc::Search &s = *search;
    while (s.next < s.paths.size() && !pc().files.find(s.paths[s.next]))
        ++s.next; /* deleted since the search began */
    if (s.next >= s.paths.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    fill(*pc().files.find(s.paths[s.next++]), lpFindFileData);
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile)
{
    if (!search_for("FindClose", hFindFile))
        return FALSE;
    pc().searches.erase((uintptr_t)hFindFile);
    pc().kernel_handles.erase((uintptr_t)hFindFile);
    return TRUE;
}
