/*
 * process.cpp - the program's own process, the programs it starts, and the
 * named mutexes it shares with other processes.
 *
 * A started program runs to its end within CreateProcessA/W: through
 * Pc::child_program when a test gives one (the uninstaller itself, as the
 * 64-bit program), else it "ends" at once with Pc::child_exit_code. It must
 * exist as a file, as on Windows. A named mutex is made (CreateMutexA) or
 * opened (OpenMutexA) with the rights its maker's account grants; it has
 * an owner (GetSecurityInfo), given in its security descriptor or else
 * the account that made it. An object of another type by that name fails
 * both calls with ERROR_INVALID_HANDLE.
 */
#include <cstring>

#include "sim.h"
#include "text.h"

using namespace sim;

/* The module's path into a buffer of `size` units, as both forms give it:
   cut short, NUL-terminated, ERROR_INSUFFICIENT_BUFFER when it does not
   fit (Windows XP and later). */
template <typename C> static DWORD give_module_path(const std::basic_string<C> &path, C *buffer, DWORD size)
{
    if (size == 0)
        return 0;
    if (path.size() + 1 > size) {
        memcpy(buffer, path.c_str(), (size - 1) * sizeof(C));
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(C));
    return (DWORD)path.size();
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    (void)hModule;
    if (fails("GetModuleFileNameA", ""))
        return 0;
    return give_module_path(pc().module_path, lpFilename, nSize);
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    (void)hModule;
    if (fails("GetModuleFileNameW", ""))
        return 0;
    return give_module_path(to_utf16(pc().module_path, CP_ACP), lpFilename, nSize);
}

BOOL IsWow64Process(HANDLE hProcess, PBOOL Wow64Process)
{
    (void)hProcess;
    if (fails("IsWow64Process", ""))
        return FALSE;
    *Wow64Process = pc().wow64 ? TRUE : FALSE;
    return TRUE;
}

/* Starts `application` (a path in the system code page) as both forms of
   CreateProcess do, once their arguments are checked. */
static BOOL start_program(const std::string &application, const std::string &command_line,
                          LPPROCESS_INFORMATION lpProcessInformation);

BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL, DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation)
{
    std::string application = lpApplicationName ? lpApplicationName : "";
    if (fails("CreateProcessA", application))
        return FALSE;
    if (!lpStartupInfo || lpStartupInfo->cb != sizeof(STARTUPINFOA) || !lpProcessInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return start_program(application, lpCommandLine ? lpCommandLine : "", lpProcessInformation);
}

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation)
{
    /* the file system keeps its names in the system code page */
    std::string application = lpApplicationName ? from_utf16(lpApplicationName, CP_ACP) : "";
    if (fails("CreateProcessW", application))
        return FALSE;
    if (!lpStartupInfo || lpStartupInfo->cb != sizeof(STARTUPINFOW) || !lpProcessInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return start_program(application, lpCommandLine ? from_utf16(lpCommandLine, CP_ACP) : "", lpProcessInformation);
}

static BOOL start_program(const std::string &application, const std::string &command_line,
                          LPPROCESS_INFORMATION lpProcessInformation)
{
    std::string image = redirected(application);
    const FileEntry *file = pc().files.find(image);
    if (!file || file->directory) {
        pc().faults.refused(); /* no program to start: a fault here would change nothing */
        SetLastError(pc().files.parent_exists(image) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    pc().started.push_back({application, command_line});
    /* The started program runs to its end here and now: the caller can
       only wait for it, which then returns at once. */
    DWORD exit_code = pc().child_program ? pc().child_program(application, command_line) : pc().child_exit_code;
    lpProcessInformation->hProcess = new_kernel_handle("process");
    lpProcessInformation->hThread = new_kernel_handle("thread");
    lpProcessInformation->dwProcessId = pc().process_id + 4; /* the ID the started program runs with (harness) */
    lpProcessInformation->dwThreadId = pc().process_id + 8;
    pc().process_exit_codes[(uintptr_t)lpProcessInformation->hProcess] = exit_code;
    return TRUE;
}

static DWORD wait_for_mutex(const std::string &name, DWORD milliseconds);

/* The name a handle of `handles` stands for, or null after the switchboard
   failed the call or, for a handle it does not hold, ERROR_INVALID_HANDLE. */
static const std::string *handle_name(const char *function, const std::map<uintptr_t, std::string> &handles,
                                      HANDLE handle)
{
    auto it = handles.find((uintptr_t)handle);
    if (fails(function, it == handles.end() ? "?" : it->second))
        return nullptr;
    if (it == handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    if (!handle_name("WaitForSingleObject", pc().kernel_handles, hHandle))
        return WAIT_FAILED;
    auto mutex = pc().mutex_handles.find((uintptr_t)hHandle);
    if (mutex != pc().mutex_handles.end())
        return wait_for_mutex(mutex->second, dwMilliseconds);
    if (pc().child_runs_on && pc().process_exit_codes.count((uintptr_t)hHandle)) {
        if (dwMilliseconds == INFINITE)
            return WAIT_FAILED; /* it would never return: a fault of the caller */
        pc().waited_ms += dwMilliseconds;
        advance_clock(dwMilliseconds);
        return WAIT_TIMEOUT;
    }
    return WAIT_OBJECT_0; /* a started program has already ended */
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    if (fails("GetExitCodeProcess", ""))
        return FALSE;
    auto it = pc().process_exit_codes.find((uintptr_t)hProcess);
    if (it == pc().process_exit_codes.end() || !pc().kernel_handles.count((uintptr_t)hProcess)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = pc().child_runs_on ? STILL_ACTIVE : it->second;
    return TRUE;
}

/* ---- named mutexes ------------------------------------------------------ */

/* The name a mutex call gives, after the switchboard's say: false with the
   last error set for a failure or a name the family refuses (Windows
   98/Me know no "Global\" namespace). */
static bool mutex_name(const char *function, LPCSTR lpName, std::string *name)
{
    *name = lpName ? lpName : "";
    if (fails(function, *name))
        return false;
    if (name->empty() || (family_9x() && name->find('\\') != std::string::npos)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    /* "alias\name": in the private namespace the process opened with that alias */
    size_t slash = name->find('\\');
    std::string prefix = slash == std::string::npos ? "" : fold(name->substr(0, slash));
    if (slash != std::string::npos && prefix != "GLOBAL" && prefix != "LOCAL" && prefix.rfind("SESSION", 0) != 0) {
        auto alias = pc().namespace_aliases.find(prefix);
        if (alias == pc().namespace_aliases.end()) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
        *name = alias->second + name->substr(slash);
    }
    return true;
}

/* A new handle to the mutex of that (folded) name. */
static HANDLE mutex_handle(const std::string &folded)
{
    ++pc().mutexes[folded].handles;
    HANDLE h = new_kernel_handle("mutex");
    pc().mutex_handles[(uintptr_t)h] = folded;
    return h;
}

/* The owner an account gives what it makes: SYSTEM itself; anyone else
   their own account (Windows XP's default, "object creator"). */
static std::string default_owner()
{
    return pc().user_name == "SYSTEM" ? "SY" : "user";
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName)
{
    std::string name;
    if (!mutex_name("CreateMutexA", lpName, &name))
        return nullptr;
    Pc::Mutex &m = pc().mutexes[fold(name)];
    if (m.not_a_mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (m.access_denied || m.wait_denied || (m.exists() && m.program_security && !pc().administrator)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    bool existed = m.exists();
    if (!existed) {
        /* the security descriptor is the text it was made from (ConvertStringSecurityDescriptor...) */
        std::string security = lpMutexAttributes && lpMutexAttributes->lpSecurityDescriptor
                                   ? (const char *)lpMutexAttributes->lpSecurityDescriptor
                                   : "";
        if (security.rfind("O:BA", 0) == 0 && !pc().administrator) {
            SetLastError(ERROR_INVALID_OWNER); /* a standard user may not give Administrators an object */
            return nullptr;
        }
        m.owner = security.rfind("O:BA", 0) == 0 ? "BA" : default_owner();
        m.program_security = security.find("D:P(") != std::string::npos;
    }
    if (bInitialOwner && !existed)
        m.owned = true;
    HANDLE h = mutex_handle(fold(name));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

/* Opens a mutex that exists. Refused ERROR_ACCESS_DENIED when its maker's
   security grants not even waiting; MUTEX_ALL_ACCESS is refused too when
   another account made it (Windows gives an administrator only
   SYNCHRONIZE and MUTEX_MODIFY_STATE on a mutex SYSTEM made), and anything
   but waiting to a standard user on one made with the program's security. */
HANDLE OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName)
{
    (void)bInheritHandle;
    std::string name;
    if (!mutex_name("OpenMutexA", lpName, &name))
        return nullptr;
    auto it = pc().mutexes.find(fold(name));
    if (it == pc().mutexes.end() || !it->second.exists()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    Pc::Mutex &m = it->second;
    if (m.not_a_mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    bool beyond_waiting = (dwDesiredAccess & ~(DWORD)(SYNCHRONIZE | MUTEX_MODIFY_STATE)) != 0;
    bool beyond_synchronize = (dwDesiredAccess & ~(DWORD)SYNCHRONIZE) != 0;
    if (m.wait_denied || (m.access_denied && beyond_waiting) ||
        (m.program_security && !pc().administrator && beyond_synchronize)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return mutex_handle(fold(name));
}

/* The text, kept as the descriptor itself: CreateMutexA reads its owner and
   whether it has a protected DACL. */
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR StringSecurityDescriptor, DWORD StringSDRevision,
                                                          PSECURITY_DESCRIPTOR *SecurityDescriptor,
                                                          PULONG SecurityDescriptorSize)
{
    std::string text = StringSecurityDescriptor ? StringSecurityDescriptor : "";
    if (fails("ConvertStringSecurityDescriptorToSecurityDescriptorA", text))
        return FALSE;
    if (StringSDRevision != SDDL_REVISION_1 || !SecurityDescriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char *block = (char *)system_local_alloc(text.size() + 1, true);
    memcpy(block, text.c_str(), text.size() + 1);
    *SecurityDescriptor = block;
    if (SecurityDescriptorSize)
        *SecurityDescriptorSize = (ULONG)text.size() + 1;
    return TRUE;
}

/* The owner of a mutex, as a security identifier in a block the caller frees with LocalFree. */
DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo, PSID *ppsidOwner,
                      PSID *ppsidGroup, PACL *ppDacl, PACL *ppSacl, PSECURITY_DESCRIPTOR *ppSecurityDescriptor)
{
    (void)ppsidGroup, (void)ppDacl, (void)ppSacl;
    const std::string *name = handle_name("GetSecurityInfo", pc().mutex_handles, handle);
    if (!name)
        return GetLastError();
    if (ObjectType != SE_KERNEL_OBJECT || SecurityInfo != OWNER_SECURITY_INFORMATION || !ppsidOwner ||
        !ppSecurityDescriptor)
        return ERROR_INVALID_PARAMETER;
    static const BYTE system[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    static const BYTE administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    static const BYTE user[] = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xE9, 3, 0, 0};
    const std::string &owner = pc().mutexes[*name].owner;
    const BYTE *sid = owner == "SY" ? system : owner == "BA" ? administrators : user;
    size_t size = owner == "SY" ? sizeof system : owner == "BA" ? sizeof administrators : sizeof user;
    BYTE *block = (BYTE *)system_local_alloc(size, true);
    memcpy(block, sid, size);
    *ppsidOwner = block;
    *ppSecurityDescriptor = block;
    return ERROR_SUCCESS;
}

BOOL ReleaseMutex(HANDLE hMutex)
{
    const std::string *name = handle_name("ReleaseMutex", pc().mutex_handles, hMutex);
    if (!name)
        return FALSE;
    Pc::Mutex &m = pc().mutexes[*name];
    if (!m.owned) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    m.owned = false;
    return TRUE;
}

/* Waits for a mutex: taken at once when free (WAIT_ABANDONED when its last
   owner ended without releasing it); a mutex another process keeps is
   never released, so the wait times out after the time given. */
static DWORD wait_for_mutex(const std::string &name, DWORD milliseconds)
{
    Pc::Mutex &m = pc().mutexes[name];
    if (m.held_elsewhere) {
        if (milliseconds == INFINITE)
            return WAIT_FAILED; /* it would never return: a fault of the caller */
        pc().waited_ms += milliseconds;
        advance_clock(milliseconds);
        return WAIT_TIMEOUT;
    }
    m.owned = true;
    if (m.abandoned) {
        m.abandoned = false;
        return WAIT_ABANDONED;
    }
    return WAIT_OBJECT_0;
}

/* ---- private namespaces --------------------------------------------------- */

/* Whether the token holds every SID of the boundary: the Administrators
   group an administrator's elevated token (any token before Vista) and
   SYSTEM's hold; a standard user's holds none of those. */
static bool token_holds(const std::string &boundary)
{
    size_t bar = boundary.find('|');
    std::string sids = bar == std::string::npos ? "" : boundary.substr(bar + 1);
    bool admin = pc().user_sid == "S-1-5-18" || (pc().administrator && pc().elevated);
    for (size_t at = 0; at < sids.size();) {
        size_t next = sids.find('|', at);
        std::string sid = sids.substr(at, next - at);
        if (!(sid == "S-1-5-32-544" && admin) && sid != pc().user_sid)
            return false;
        at = next == std::string::npos ? sids.size() : next + 1;
    }
    return true;
}

HANDLE CreateBoundaryDescriptorW(LPCWSTR Name, ULONG Flags)
{
    std::string name = Name ? from_utf16(Name, CP_ACP) : "";
    if (fails("CreateBoundaryDescriptorW", name))
        return nullptr;
    if (name.empty() || Flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uintptr_t h = new_handle();
    pc().boundaries[h] = fold(name);
    return (HANDLE)h;
}

BOOL AddSIDToBoundaryDescriptor(HANDLE *BoundaryDescriptor, PSID RequiredSid)
{
    if (fails("AddSIDToBoundaryDescriptor", ""))
        return FALSE;
    auto it = BoundaryDescriptor ? pc().boundaries.find((uintptr_t)*BoundaryDescriptor) : pc().boundaries.end();
    if (it == pc().boundaries.end() || !RequiredSid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string text = sid_text((const uint8_t *)RequiredSid);
    it->second += "|" + text;
    return TRUE;
}

void DeleteBoundaryDescriptor(HANDLE BoundaryDescriptor)
{
    pc().faults.note("DeleteBoundaryDescriptor", "");
    pc().boundaries.erase((uintptr_t)BoundaryDescriptor);
}

/* A new handle to the namespace of `boundary`, reached by `alias` from now on. */
static HANDLE namespace_handle(const std::string &boundary, LPCWSTR alias)
{
    ++pc().namespaces[boundary].handles;
    HANDLE h = new_kernel_handle("namespace");
    pc().namespace_handles[(uintptr_t)h] = boundary;
    pc().namespace_aliases[fold(from_utf16(alias, CP_ACP))] = boundary;
    return h;
}

/* The boundary a namespace call names, or null with the error set. */
static const std::string *boundary_of(LPVOID descriptor, LPCWSTR alias)
{
    auto it = pc().boundaries.find((uintptr_t)descriptor);
    if (it == pc().boundaries.end() || !alias || !alias[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!token_holds(it->second)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return &it->second;
}

HANDLE CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES lpPrivateNamespaceAttributes, LPVOID lpBoundaryDescriptor,
                               LPCWSTR lpAliasPrefix)
{
    (void)lpPrivateNamespaceAttributes;
    if (fails("CreatePrivateNamespaceW", lpAliasPrefix ? from_utf16(lpAliasPrefix, CP_ACP) : ""))
        return nullptr;
    const std::string *boundary = boundary_of(lpBoundaryDescriptor, lpAliasPrefix);
    if (!boundary)
        return nullptr;
    auto it = pc().namespaces.find(*boundary);
    if (it != pc().namespaces.end() && (it->second.handles > 0 || it->second.held_elsewhere)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    return namespace_handle(*boundary, lpAliasPrefix);
}

HANDLE OpenPrivateNamespaceW(LPVOID lpBoundaryDescriptor, LPCWSTR lpAliasPrefix)
{
    if (fails("OpenPrivateNamespaceW", lpAliasPrefix ? from_utf16(lpAliasPrefix, CP_ACP) : ""))
        return nullptr;
    const std::string *boundary = boundary_of(lpBoundaryDescriptor, lpAliasPrefix);
    if (!boundary)
        return nullptr;
    auto it = pc().namespaces.find(*boundary);
    if (it == pc().namespaces.end() || (it->second.handles == 0 && !it->second.held_elsewhere)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    return namespace_handle(*boundary, lpAliasPrefix);
}

BOOLEAN ClosePrivateNamespace(HANDLE Handle, ULONG Flags)
{
    (void)Flags;
    auto it = pc().namespace_handles.find((uintptr_t)Handle);
    if (fails("ClosePrivateNamespace", it == pc().namespace_handles.end() ? "?" : it->second))
        return FALSE;
    if (it == pc().namespace_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --pc().namespaces[it->second].handles;
    for (auto alias = pc().namespace_aliases.begin(); alias != pc().namespace_aliases.end();)
        alias = alias->second == it->second ? pc().namespace_aliases.erase(alias) : std::next(alias);
    pc().kernel_handles.erase((uintptr_t)Handle);
    pc().namespace_handles.erase(it);
    return TRUE;
}
