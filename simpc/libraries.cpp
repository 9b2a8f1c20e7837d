/*
 * libraries.cpp - LoadLibraryA, GetProcAddress and FreeLibrary over the
 * simulated system libraries and their named exports.
 *
 * A library is found by its name with or without ".dll", without regard to
 * case; given with a folder, only in the system folder (the one the
 * running program sees: SysWOW64 for a 32-bit program on 64-bit Windows). Tests can remove a library or one export, and make any of the three
 * calls fail through the switchboard; Pc::trace records every load and free.
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
    for (const char *name : {"kernel32", "advapi32", "setupapi", "user32"}) {
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
        EXPORT("kernel32", ProcessIdToSessionId);
        EXPORT("advapi32", GetTokenInformation);
        EXPORT("user32", GetProcessWindowStation);
        EXPORT("user32", GetUserObjectInformationA);
    }
    EXPORT("user32", MessageBoxA);
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
    /* Windows XP brought these (IsWow64Process with XP SP2 and Server 2003 SP1) */
    if (nt_at_least(v, 5, 1)) {
        EXPORT("kernel32", IsWow64Process);
        EXPORT("kernel32", GetNativeSystemInfo);
        EXPORT("setupapi", SetupUninstallOEMInfA);
    }
    /* SetupGetInfDriverStoreLocationA came with Windows Vista and its driver store */
    if (nt_at_least(v, 6, 0))
        EXPORT("setupapi", SetupGetInfDriverStoreLocationA);
    /* GetTempPath2A came with Windows 11 and a Windows 10 update */
    if (nt_at_least(v, 10, 0))
        EXPORT("kernel32", GetTempPath2A);
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

HMODULE LoadLibraryA(LPCSTR lpLibFileName)
{
    std::string name = lpLibFileName ? lpLibFileName : "";
    if (fails("LoadLibraryA", name))
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
    pc().trace.push_back("LoadLibraryA " + it->second.name);
    return it->second.handle;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    Library *lib = library_of(hModule);
    std::string name = lpProcName ? lpProcName : "";
    if (fails("GetProcAddress", name))
        return nullptr;
    if (!lib || (lib->load_count == 0 && lib->name == "setupapi")) {
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
    if (it == pc().libraries.end() || !it->second.present || base == "setupapi") {
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
