/*
 * system.cpp - the PC as a whole: reset, version, command line, last
 * error, local memory, the clock, the process token and the restart request.
 */
#include <cstdlib>
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

static Pc *the_pc = nullptr;

Pc &pc()
{
    if (!the_pc)
        the_pc = new Pc();
    return *the_pc;
}

/* What GetVersionExA reports on each version (Windows 98/Me keep the version in the build's high word). */
static const Version versions[] = {
    {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x040003B6, "win95"},  /* build 950 */
    {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE, "win98"}, /* build 2222 */
    {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0BB8, "winme"}, /* build 3000 */
    {VER_PLATFORM_WIN32_NT, 4, 0, 1381, "nt40"},
    {VER_PLATFORM_WIN32_NT, 5, 0, 2195, "win2k"},
    {VER_PLATFORM_WIN32_NT, 5, 1, 2600, "winxp"},
    {VER_PLATFORM_WIN32_NT, 6, 1, 7601, "win7"},
    {VER_PLATFORM_WIN32_NT, 10, 0, 19045, "win10"},
};

const Version *version_named(const std::string &name)
{
    for (const Version &v : versions)
        if (name == v.name)
            return &v;
    return nullptr;
}

bool is_win9x(const Version &v)
{
    return v.platform_id == VER_PLATFORM_WIN32_WINDOWS;
}

bool family_9x()
{
    return is_win9x(pc().version);
}

uintptr_t new_handle()
{
    pc().next_handle += 0x10;
    return pc().next_handle;
}

HANDLE new_kernel_handle(const std::string &kind)
{
    uintptr_t h = new_handle();
    pc().kernel_handles[h] = kind;
    return (HANDLE)h;
}

/* Folders below system32 that a 32-bit program still sees as they are. */
static const char *const not_redirected[] = {"catroot", "catroot2", "driverstore", "drivers\\etc", "logfiles", "spool"};

std::string redirected(const std::string &path)
{
    if (!pc().wow64)
        return path;
    std::string system32 = fold(pc().windows_dir + "\\system32");
    std::string folded = fold(path);
    if (folded.compare(0, system32.size(), system32) != 0 ||
        (folded.size() > system32.size() && folded[system32.size()] != '\\'))
        return path;
    std::string rest = folded.substr(system32.size());
    for (const char *exempt : not_redirected) {
        std::string e = "\\" + fold(exempt);
        if (rest == e || rest.compare(0, e.size() + 1, e + "\\") == 0)
            return path;
    }
    return pc().windows_dir + "\\SysWOW64" + path.substr(system32.size());
}

void reset(const Version &version)
{
    for (auto &kv : pc().local_blocks)
        free(kv.first);
    delete the_pc;
    the_pc = new Pc();
    Pc &p = *the_pc;
    p.version = version;
    p.windows_dir = "C:\\WINDOWS";
    p.system_dir = is_win9x(version) ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\system32";
    p.command_line = "\"C:\\QZUninst.exe\"";
    p.temp_dir = is_win9x(version)                 ? "C:\\WINDOWS\\TEMP"
                 : version.major >= 6              ? "C:\\Users\\admin\\AppData\\Local\\Temp"
                                                   : "C:\\Documents and Settings\\admin\\Local Settings\\Temp";
    p.files.add_dir(p.temp_dir);
    p.files.add_dir(p.windows_dir);
    p.files.add_dir(p.system_dir);
    p.files.add_dir(p.windows_dir + "\\inf");
    if (!is_win9x(version))
        p.files.add_dir(p.system_dir + "\\drivers");
    p.registry.create("SYSTEM\\CurrentControlSet\\Services");
    p.registry.create("SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    if (is_win9x(version)) {
        p.registry.create("Enum\\Root");
        p.registry.create("System\\CurrentControlSet\\Services\\Class");
        p.registry.create("System\\CurrentControlSet\\Services\\VxD");
        p.registry.create("System\\CurrentControlSet\\control\\VMM32Files");
    } else {
        p.registry.create("SYSTEM\\CurrentControlSet\\Enum\\Root");
        p.registry.create("SYSTEM\\CurrentControlSet\\Control\\Class");
        p.registry.create("SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    }
    install_default_libraries();
}

void reset(const std::string &version_name)
{
    const Version *v = version_named(version_name);
    reset(v ? *v : *version_named("winxp"));
}

std::string expand(const std::string &path)
{
    std::string out = path;
    struct { const char *var; std::string value; } vars[] = {
        {"%WINDIR%", pc().windows_dir},
        {"%SYSDIR%", pc().system_dir},
    };
    for (auto &v : vars) {
        size_t at;
        while ((at = fold(out).find(v.var)) != std::string::npos)
            out.replace(at, strlen(v.var), v.value);
    }
    return out;
}

/* Days since 1970-01-01 of a date, and back (proleptic Gregorian calendar). */
static long long days_from_civil(int y, int m, int d)
{
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void advance_clock(DWORD milliseconds)
{
    SYSTEMTIME &t = pc().local_time;
    long long ms = (days_from_civil(t.wYear, t.wMonth, t.wDay) * 86400LL + t.wHour * 3600 + t.wMinute * 60 + t.wSecond) *
                       1000 + t.wMilliseconds + milliseconds;
    long long days = ms / 86400000, rest = ms % 86400000;
    long long z = days + 719468, era = z / 146097, doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    int month = (int)(mp < 10 ? mp + 3 : mp - 9);
    t.wYear = (WORD)(yoe + era * 400 + (month <= 2));
    t.wMonth = (WORD)month;
    t.wDay = (WORD)(doy - (153 * mp + 2) / 5 + 1);
    t.wDayOfWeek = (WORD)((days + 4) % 7); /* 1970-01-01 was a Thursday */
    t.wHour = (WORD)(rest / 3600000);
    t.wMinute = (WORD)(rest / 60000 % 60);
    t.wSecond = (WORD)(rest / 1000 % 60);
    t.wMilliseconds = (WORD)(rest % 1000);
}

void *system_local_alloc(size_t bytes, bool zero)
{
    void *block = malloc(bytes ? bytes : 1);
    /* Without LMEM_ZEROINIT a block holds whatever was there: never count on zeros. */
    memset(block, zero ? 0 : 0xA5, bytes ? bytes : 1);
    pc().local_blocks[block] = bytes;
    return block;
}

} // namespace sim

using namespace sim;

DWORD GetLastError(void)
{
    return pc().last_error;
}

void SetLastError(DWORD dwErrCode)
{
    pc().last_error = dwErrCode;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    if (fails("GetVersionExA", ""))
        return FALSE;
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != 156)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const Version &v = pc().version;
    info->dwMajorVersion = v.major;
    info->dwMinorVersion = v.minor;
    info->dwBuildNumber = v.build;
    info->dwPlatformId = v.platform_id;
    memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

LPSTR GetCommandLineA(void)
{
    return (LPSTR)pc().command_line.c_str();
}

/* The same command line as UTF-16: the A form is the W one in the system code page. */
LPWSTR GetCommandLineW(void)
{
    pc().command_line_w = to_utf16(pc().command_line, CP_ACP);
    return (LPWSTR)pc().command_line_w.c_str();
}

HANDLE GetCurrentProcess(void)
{
    return (HANDLE)(LONG_PTR)-1;
}

BOOL CloseHandle(HANDLE hObject)
{
    auto it = pc().kernel_handles.find((uintptr_t)hObject);
    if (fails("CloseHandle", it == pc().kernel_handles.end() ? "?" : it->second))
        return FALSE;
    if (hObject == GetCurrentProcess())
        return TRUE; /* a pseudo handle: closing it does nothing */
    if (it == pc().kernel_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    pc().kernel_handles.erase(it);
    pc().open_files.erase((uintptr_t)hObject);
    auto mutex = pc().mutex_handles.find((uintptr_t)hObject);
    if (mutex != pc().mutex_handles.end()) {
        --pc().mutexes[mutex->second].handles; /* closing does not release: ownership stays */
        pc().mutex_handles.erase(mutex);
    }
    return TRUE;
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    pc().faults.note("GetLocalTime", ""); /* it cannot fail */
    *lpSystemTime = pc().local_time;
}

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    /* LMEM_MOVEABLE is not simulated: every block is fixed */
    if (fails("LocalAlloc", std::to_string(uBytes)))
        return nullptr;
    return system_local_alloc(uBytes, (uFlags & LMEM_ZEROINIT) != 0);
}

HLOCAL LocalFree(HLOCAL hMem)
{
    if (!hMem)
        return nullptr;
    if (auto err = pc().faults.check("LocalFree", "")) {
        SetLastError(*err);
        return hMem; /* on failure Windows hands the block back */
    }
    auto it = pc().local_blocks.find(hMem);
    if (it == pc().local_blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem; /* not a block of ours: Windows returns the handle on failure */
    }
    free(hMem);
    pc().local_blocks.erase(it);
    return nullptr;
}

int lstrlenA(LPCSTR lpString)
{
    return lpString ? (int)strlen(lpString) : 0;
}

/* ---- token and restart ------------------------------------------------- */

BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle)
{
    (void)ProcessHandle;
    /* the trace holds what changes the system: a token opened only to be asked is not traced */
    if (DesiredAccess & TOKEN_ADJUST_PRIVILEGES)
        pc().trace.push_back("OpenProcessToken " + std::to_string(DesiredAccess));
    if (fails("OpenProcessToken", ""))
        return FALSE;
    if (family_9x()) { /* Windows 98/Me have no security: the token calls fail */
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    *TokenHandle = new_kernel_handle("token");
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid)
{
    pc().trace.push_back(std::string("LookupPrivilegeValueA ") + (lpSystemName ? lpSystemName : "(local)") + " " +
                         (lpName ? lpName : ""));
    if (fails("LookupPrivilegeValueA", lpName ? lpName : ""))
        return FALSE;
    if (family_9x()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (!lpName || strcmp(lpName, SE_SHUTDOWN_NAME) != 0) {
        SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    lpLuid->LowPart = 19; /* SE_SHUTDOWN_PRIVILEGE */
    lpLuid->HighPart = 0;
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                           DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength)
{
    (void)TokenHandle;
    (void)BufferLength;
    (void)ReturnLength;
    std::string state = NewState ? std::to_string(NewState->PrivilegeCount) + " luid " +
                                       std::to_string(NewState->Privileges[0].Luid.LowPart) + " attr " +
                                       std::to_string(NewState->Privileges[0].Attributes)
                                 : "null";
    pc().trace.push_back("AdjustTokenPrivileges disable=" + std::to_string(DisableAllPrivileges) + " " + state +
                         (PreviousState ? " previous" : ""));
    if (fails("AdjustTokenPrivileges", ""))
        return FALSE;
    if (family_9x()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL ExitWindowsEx(UINT uFlags, DWORD dwReason)
{
    pc().trace.push_back("ExitWindowsEx " + std::to_string(uFlags) + " " + std::to_string(dwReason));
    if (fails("ExitWindowsEx", ""))
        return FALSE;
    pc().restart_requested = true;
    pc().restart_flags = uFlags;
    return TRUE;
}
