/*
 * libraries.cpp - LoadLibraryA, GetProcAddress and FreeLibrary over the
 * simulated system libraries and their named exports.
 *
 * A library is found by its name with or without ".dll", without regard to
 * case; given with a folder, only in the system folder (the one the
 * running program sees: SysWOW64 for a 32-bit program on 64-bit Windows). Tests can remove a library or one export, and make any of the three
 * calls fail through the switchboard; Pc::trace records every load and free.
 * LoadLibraryExA takes the search flags only where Windows knows them (it
 * exports SetDefaultDllDirectories). A library that a system library loads
 * by its bare name is looked for in the program's folder first, as Windows
 * does, unless the process narrowed its search to the system folder.
 */
#include "sim.h"
#include "text.h"

namespace sim {

static std::string base_name(const std::string &name)
{
    std::string n = fold(name);
    size_t slash = n.find_last_of("\\/");
    if (slash != std::string::npos)
        n = n.substr(slash + 1);
    if (n.size() > 4 && n.substr(n.size() - 4) == ".DLL")
        n = n.substr(0, n.size() - 4);
    std::string lower;
    for (char c : n)
        lower += (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
    return lower;
}

/* An NT-family Windows of this version or later (5.1 Windows XP, 6.0 Vista, 10.0 Windows 10). */
static bool nt_at_least(const Version &v, DWORD major, DWORD minor)
{
    return v.platform_id == VER_PLATFORM_WIN32_NT && (v.major > major || (v.major == major && v.minor >= minor));
}

#define EXPORT(lib, fn) libs[lib].exports[#fn] = (FARPROC)(void (*)(void))&::fn

void install_default_libraries()
{
    auto &libs = pc().libraries;
    libs.clear();
    for (const char *name : {"kernel32", "advapi32", "setupapi", "user32", "wintrust"}) {
        libs[name].name = name;
        libs[name].handle = (HMODULE)new_handle();
    }
    EXPORT("advapi32", RegOpenKeyExA);
    EXPORT("advapi32", RegCloseKey);
    EXPORT("advapi32", RegEnumKeyExA);
    EXPORT("advapi32", RegDeleteKeyA);
    EXPORT("advapi32", RegEnumValueA);
    EXPORT("advapi32", RegDeleteValueA);
    EXPORT("advapi32", RegFlushKey);
    EXPORT("advapi32", OpenProcessToken);
    EXPORT("advapi32", LookupPrivilegeValueA);
    EXPORT("advapi32", AdjustTokenPrivileges);
    EXPORT("kernel32", GetWindowsDirectoryA);
    EXPORT("kernel32", GetSystemDirectoryA);
    EXPORT("kernel32", SetFileAttributesA);
    EXPORT("kernel32", DeleteFileA);
    EXPORT("kernel32", MoveFileExA); /* Windows 98/Me export it unimplemented */
    EXPORT("kernel32", LoadLibraryA);
    EXPORT("kernel32", LoadLibraryExA);
    EXPORT("kernel32", GetProcAddress);
    EXPORT("kernel32", FreeLibrary);
    EXPORT("kernel32", LocalAlloc);
    EXPORT("kernel32", LocalFree);
    EXPORT("kernel32", lstrlenA);
    EXPORT("kernel32", GetLastError);
    EXPORT("kernel32", SetLastError);
    EXPORT("kernel32", FormatMessageA);
    EXPORT("kernel32", GetVersionExA);
    EXPORT("kernel32", GetCommandLineA);
    EXPORT("kernel32", GetModuleHandleA);
    EXPORT("kernel32", GetModuleFileNameA);
    EXPORT("kernel32", CreateProcessA);
    /* what the log's head, the log file and the run lock ask: every Windows
       has these, though the 32-bit program may not import them */
    EXPORT("kernel32", GetFileInformationByHandle);
    EXPORT("kernel32", MoveFileA);
    EXPORT("kernel32", OpenMutexA);
    EXPORT("kernel32", GetComputerNameA);
    EXPORT("kernel32", GetCurrentProcessId);
    EXPORT("kernel32", GetEnvironmentVariableA);
    EXPORT("kernel32", SetEnvironmentVariableA);
    EXPORT("advapi32", GetUserNameA);
    /* and these only the NT family has */
    const Version &v = pc().version;
    if (v.platform_id == VER_PLATFORM_WIN32_NT) {
        libs["ntdll"].name = "ntdll"; /* mapped into every process of the NT family */
        libs["ntdll"].handle = (HMODULE)new_handle();
        EXPORT("ntdll", NtDeleteKey);
        EXPORT("ntdll", RtlNtStatusToDosError);
        EXPORT("ntdll", NtSetInformationFile);
        EXPORT("kernel32", GetLongPathNameA);
        EXPORT("kernel32", ProcessIdToSessionId);
        EXPORT("advapi32", GetSecurityInfo);
        EXPORT("advapi32", ConvertStringSecurityDescriptorToSecurityDescriptorA); /* Windows 2000 on */
        EXPORT("advapi32", GetTokenInformation);
        EXPORT("user32", GetProcessWindowStation);
        EXPORT("user32", GetUserObjectInformationA);
        EXPORT("kernel32", GetCommandLineW);
        EXPORT("kernel32", GetModuleFileNameW);
        EXPORT("kernel32", CreateProcessW);
        EXPORT("kernel32", FormatMessageW); /* Windows 98/Me: a stub */
        EXPORT("kernel32", GetDriveTypeW);
        EXPORT("advapi32", GetNamedSecurityInfoW);
        EXPORT("advapi32", LookupAccountSidW);
        EXPORT("wintrust", WinVerifyTrust);
        EXPORT("wintrust", WTHelperProvDataFromStateData);
        EXPORT("wintrust", WTHelperGetProvSignerFromChain);
        EXPORT("wintrust", WTHelperGetProvCertFromChain);
    }
    EXPORT("user32", MessageBoxA);
    EXPORT("user32", MessageBoxW);
    EXPORT("user32", ExitWindowsEx);
    EXPORT("setupapi", SetupDiGetClassDevsA);
    EXPORT("setupapi", SetupDiEnumDeviceInfo);
    EXPORT("setupapi", SetupDiGetDeviceRegistryPropertyA);
    EXPORT("setupapi", SetupDiCallClassInstaller);
    EXPORT("setupapi", SetupDiGetDeviceInstallParamsA);
    EXPORT("setupapi", SetupDiGetDeviceInstanceIdA);
    EXPORT("setupapi", SetupDiDestroyDeviceInfoList);
    EXPORT("setupapi", SetupOpenInfFileA);
    EXPORT("setupapi", SetupGetLineTextA);
    EXPORT("setupapi", SetupCloseInfFile);
    EXPORT("setupapi", CM_Get_DevNode_Status); /* cfgmgr32's, which setupapi exports too */
    /* Windows XP brought these (IsWow64Process with XP SP2 and Server 2003 SP1) */
    if (nt_at_least(v, 5, 1)) {
        EXPORT("kernel32", IsWow64Process);
        EXPORT("kernel32", GetNativeSystemInfo);
        EXPORT("setupapi", SetupUninstallOEMInfA);
    }
    /* SetDllDirectoryA came with Windows XP SP1 */
    if (nt_at_least(v, 5, 1))
        EXPORT("kernel32", SetDllDirectoryA);
    /* SetDefaultDllDirectories and the search flags came with Windows 8
       (Vista and 7 only with an update) */
    if (nt_at_least(v, 6, 2))
        EXPORT("kernel32", SetDefaultDllDirectories);
    /* SetupGetInfDriverStoreLocationA came with Windows Vista and its driver store */
    if (nt_at_least(v, 6, 0))
        EXPORT("setupapi", SetupGetInfDriverStoreLocationA);
    if (nt_at_least(v, 6, 0))
        EXPORT("kernel32", GetFinalPathNameByHandleA);
    /* private namespaces came with Windows Vista */
    if (nt_at_least(v, 6, 0)) {
        EXPORT("kernel32", CreateBoundaryDescriptorW);
        EXPORT("kernel32", AddSIDToBoundaryDescriptor);
        EXPORT("kernel32", DeleteBoundaryDescriptor);
        EXPORT("kernel32", CreatePrivateNamespaceW);
        EXPORT("kernel32", OpenPrivateNamespaceW);
        EXPORT("kernel32", ClosePrivateNamespace);
    }
    /* GetTempPath2A came with Windows 11 and a Windows 10 update */
    if (nt_at_least(v, 10, 0))
        EXPORT("kernel32", GetTempPath2A);
}

static std::string folder_of(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

void load_by_bare_name(const std::string &file)
{
    std::string planted = folder_of(pc().module_path) + "\\" + file;
    bool system_only = (pc().default_dll_directories & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0;
    /* the program's folder comes first; SetDllDirectoryA("") takes out only the current folder */
    if (!system_only && pc().files.find(planted))
        pc().loaded_by_bare_name.push_back(planted);
    else
        pc().loaded_by_bare_name.push_back(redirected(pc().system_dir) + "\\" + file);
}

static Library *library_of(HMODULE module)
{
    for (auto &kv : pc().libraries)
        if (kv.second.handle == module)
            return &kv.second;
    return nullptr;
}

} // namespace sim

using namespace sim;

/* The libraries a process of the program has mapped only while it holds
   them through LoadLibrary: the setup API, and wintrust for signatures. */
static bool loaded_on_demand(const std::string &name)
{
    return name == "setupapi" || name == "wintrust";
}

/* LoadLibraryA and LoadLibraryExA: `function` names the call for the
   switchboard and the trace. */
static HMODULE load_library(const char *function, LPCSTR lpLibFileName)
{
    std::string name = lpLibFileName ? lpLibFileName : "";
    if (fails(function, name))
        return nullptr;
    auto it = pc().libraries.find(base_name(name));
    size_t slash = name.find_last_of("\\/");
    bool in_system_folder =
        slash == std::string::npos || iequal(redirected(name.substr(0, slash)), redirected(pc().system_dir));
    if (it == pc().libraries.end() || !it->second.present || !in_system_folder) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++it->second.load_count;
    pc().trace.push_back(std::string(function) + " " + it->second.name);
    return it->second.handle;
}

HMODULE LoadLibraryA(LPCSTR lpLibFileName)
{
    return load_library("LoadLibraryA", lpLibFileName);
}

HMODULE LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags)
{
    bool knows_search_flags = pc().libraries["kernel32"].exports.count("SetDefaultDllDirectories") != 0;
    if (hFile != nullptr || (dwFlags & ~(DWORD)LOAD_LIBRARY_SEARCH_SYSTEM32) != 0 ||
        (dwFlags != 0 && !knows_search_flags)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return load_library("LoadLibraryExA", lpLibFileName); /* a full path: the flag rules what it loads in turn */
}

BOOL SetDefaultDllDirectories(DWORD DirectoryFlags)
{
    if (fails("SetDefaultDllDirectories", ""))
        return FALSE;
    const DWORD known = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                        LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (DirectoryFlags == 0 || (DirectoryFlags & ~known) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pc().default_dll_directories = DirectoryFlags;
    return TRUE;
}

BOOL SetDllDirectoryA(LPCSTR lpPathName)
{
    if (fails("SetDllDirectoryA", lpPathName ? lpPathName : ""))
        return FALSE;
    pc().dll_directory_set = lpPathName != nullptr;
    return TRUE;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    Library *lib = library_of(hModule);
    std::string name = lpProcName ? lpProcName : "";
    if (fails("GetProcAddress", name))
        return nullptr;
    if (!lib || (lib->load_count == 0 && loaded_on_demand(lib->name))) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    auto it = lib->exports.find(name); /* export names are case-sensitive */
    if (it == lib->exports.end() || !it->second) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return it->second;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName)
{
    std::string name = lpModuleName ? lpModuleName : "";
    if (fails("GetModuleHandleA", name))
        return nullptr;
    /* kernel32, user32 and advapi32 are mapped into every process of the program */
    std::string base = base_name(name);
    auto it = pc().libraries.find(base);
    if (it == pc().libraries.end() || !it->second.present || loaded_on_demand(base)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return it->second.handle;
}

BOOL FreeLibrary(HMODULE hLibModule)
{
    Library *lib = library_of(hLibModule);
    if (fails("FreeLibrary", lib ? lib->name : "?"))
        return FALSE;
    if (!lib || lib->load_count == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --lib->load_count;
    pc().trace.push_back("FreeLibrary " + lib->name);
    return TRUE;
}
