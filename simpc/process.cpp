/*
 * process.cpp - the program's own process, and the programs it starts.
 *
 * A started program does not run here: CreateProcessA records its
 * application name and command line and it "ends" at once with
 * Pc::child_exit_code. It must exist as a file, as on Windows.
 */
#include <cstring>

#include "sim.h"

using namespace sim;

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    (void)hModule;
    if (auto err = pc().faults.check("GetModuleFileNameA", "")) {
        SetLastError(*err);
        return 0;
    }
    const std::string &path = pc().module_path;
    if (nSize == 0)
        return 0;
    if (path.size() + 1 > nSize) {
        /* Windows XP and later: truncated, NUL-terminated, ERROR_INSUFFICIENT_BUFFER */
        memcpy(lpFilename, path.c_str(), nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    memcpy(lpFilename, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

BOOL IsWow64Process(HANDLE hProcess, PBOOL Wow64Process)
{
    (void)hProcess;
    if (auto err = pc().faults.check("IsWow64Process", "")) {
        SetLastError(*err);
        return FALSE;
    }
    *Wow64Process = pc().wow64 ? TRUE : FALSE;
    return TRUE;
}

BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL, DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation)
{
    std::string application = lpApplicationName ? lpApplicationName : "";
    if (auto err = pc().faults.check("CreateProcessA", application)) {
        SetLastError(*err);
        return FALSE;
    }
    if (!lpStartupInfo || lpStartupInfo->cb != sizeof(STARTUPINFOA) || !lpProcessInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const FileEntry *file = pc().files.find(application);
    if (!file || file->directory) {
        SetLastError(pc().files.parent_exists(application) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    pc().started.push_back({application, lpCommandLine ? lpCommandLine : ""});
    lpProcessInformation->hProcess = (HANDLE)new_handle();
    lpProcessInformation->hThread = (HANDLE)new_handle();
    lpProcessInformation->dwProcessId = 0x100;
    lpProcessInformation->dwThreadId = 0x104;
    pc().open_process_handles += 2;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    (void)hHandle;
    (void)dwMilliseconds;
    pc().faults.check("WaitForSingleObject", "");
    return WAIT_OBJECT_0; /* the started program has already ended */
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    (void)hProcess;
    if (auto err = pc().faults.check("GetExitCodeProcess", "")) {
        SetLastError(*err);
        return FALSE;
    }
    *lpExitCode = pc().child_exit_code;
    return TRUE;
}
