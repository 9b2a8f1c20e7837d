/*
 * session.cpp - where and as whom the program runs: the computer's name,
 * the account, the session, the process, the token's elevation, the
 * window station, and the process's environment variables.
 *
 * The NT-family functions are exported only where Windows has them
 * (libraries.cpp); every call consults the switchboard.
 */
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

/* Copies `text` into a caller's buffer of *size bytes as the name queries
   do: the length without the NUL back in *size; too small, the size
   needed (NUL included) in *size and `too_small` as the error. */
static BOOL copy_name(const std::string &text, LPSTR buffer, LPDWORD size, DWORD too_small)
{
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!buffer || text.size() + 1 > *size) {
        *size = (DWORD)text.size() + 1;
        SetLastError(too_small);
        return FALSE;
    }
    memcpy(buffer, text.c_str(), text.size() + 1);
    *size = (DWORD)text.size();
    return TRUE;
}

/* The window station handle GetProcessWindowStation gives: the process's own, never closed. */
static HWINSTA const process_station = (HWINSTA)(uintptr_t)0x5A70;

void run_as_system()
{
    Pc &p = pc();
    p.user_name = "SYSTEM";
    p.user_sid = "S-1-5-18";
    p.session_id = 0;
    p.station_visible = false;
    p.temp_dir = p.windows_dir + "\\Temp";
    p.temp_dir2 = p.windows_dir + "\\SystemTemp"; /* SYSTEM's own, where GetTempPath2A exists */
    p.files.add_dir(p.temp_dir);
    p.files.add_dir(p.temp_dir2);
}

} // namespace sim

using namespace sim;

void GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo)
{
    pc().faults.note("GetNativeSystemInfo", ""); /* it cannot fail */
    memset(lpSystemInfo, 0, sizeof *lpSystemInfo);
    lpSystemInfo->wProcessorArchitecture = pc().windows64 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL;
    lpSystemInfo->dwPageSize = 4096;
    lpSystemInfo->dwNumberOfProcessors = 2;
}

BOOL GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize)
{
    if (fails("GetComputerNameA", ""))
        return FALSE;
    return copy_name(pc().computer_name, lpBuffer, nSize, ERROR_BUFFER_OVERFLOW);
}

BOOL GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer)
{
    if (fails("GetUserNameA", ""))
        return FALSE;
    if (!copy_name(pc().user_name, lpBuffer, pcbBuffer, ERROR_INSUFFICIENT_BUFFER))
        return FALSE;
    ++*pcbBuffer; /* unlike the computer's name, the count includes the NUL */
    return TRUE;
}

DWORD GetCurrentProcessId(void)
{
    pc().faults.note("GetCurrentProcessId", ""); /* it cannot fail */
    return pc().process_id;
}

BOOL ProcessIdToSessionId(DWORD dwProcessId, DWORD *pSessionId)
{
    if (fails("ProcessIdToSessionId", std::to_string(dwProcessId)))
        return FALSE;
    if (dwProcessId != pc().process_id || !pSessionId) {
        SetLastError(ERROR_INVALID_PARAMETER); /* the PC knows its own process only */
        return FALSE;
    }
    *pSessionId = pc().session_id;
    return TRUE;
}

BOOL GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                         LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength)
{
    if (fails("GetTokenInformation", std::to_string((int)TokenInformationClass)))
        return FALSE;
    auto it = pc().kernel_handles.find((uintptr_t)TokenHandle);
    if (it == pc().kernel_handles.end() || it->second != "token") {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (TokenInformationClass == TokenUser) {
        /* the SID follows the TOKEN_USER that points to it, in the caller's buffer */
        std::vector<uint8_t> sid = sid_from_text(pc().user_sid);
        DWORD needed = (DWORD)(sizeof(TOKEN_USER) + sid.size());
        if (ReturnLength)
            *ReturnLength = needed;
        if (!TokenInformation || TokenInformationLength < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        TOKEN_USER *user = (TOKEN_USER *)TokenInformation;
        memcpy(user + 1, sid.data(), sid.size());
        user->User.Sid = user + 1;
        user->User.Attributes = 0;
        return TRUE;
    }
    /* Windows XP and 2000 know no elevation */
    if (TokenInformationClass != TokenElevation || pc().version.major < 6) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (ReturnLength)
        *ReturnLength = sizeof(TOKEN_ELEVATION);
    if (!TokenInformation || TokenInformationLength < sizeof(TOKEN_ELEVATION)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    ((TOKEN_ELEVATION *)TokenInformation)->TokenIsElevated = pc().elevated ? 1 : 0;
    return TRUE;
}

HWINSTA GetProcessWindowStation(void)
{
    if (fails("GetProcessWindowStation", ""))
        return nullptr;
    return process_station;
}

BOOL GetUserObjectInformationA(HANDLE hObj, int nIndex, PVOID pvInfo, DWORD nLength, LPDWORD lpnLengthNeeded)
{
    if (fails("GetUserObjectInformationA", std::to_string(nIndex)))
        return FALSE;
    if ((HWINSTA)hObj != process_station || nIndex != UOI_FLAGS) {
        SetLastError(hObj == (HANDLE)process_station ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpnLengthNeeded)
        *lpnLengthNeeded = sizeof(USEROBJECTFLAGS);
    if (!pvInfo || nLength < sizeof(USEROBJECTFLAGS)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    USEROBJECTFLAGS *flags = (USEROBJECTFLAGS *)pvInfo;
    flags->fInherit = FALSE;
    flags->fReserved = FALSE;
    flags->dwFlags = pc().station_visible ? WSF_VISIBLE : 0;
    return TRUE;
}

DWORD GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize)
{
    std::string name = lpName ? lpName : "";
    if (fails("GetEnvironmentVariableA", name))
        return 0;
    auto it = pc().environment.find(fold(name));
    if (it == pc().environment.end()) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const std::string &value = it->second;
    if (!lpBuffer || value.size() + 1 > nSize)
        return (DWORD)value.size() + 1; /* too small: the size needed, NUL included */
    memcpy(lpBuffer, value.c_str(), value.size() + 1);
    return (DWORD)value.size();
}

BOOL SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue)
{
    std::string name = lpName ? lpName : "";
    if (fails("SetEnvironmentVariableA", name))
        return FALSE;
    if (name.empty() || name.find('=') != std::string::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lpValue)
        pc().environment[fold(name)] = lpValue;
    else
        pc().environment.erase(fold(name));
    return TRUE;
}
