/*
 * platform_ops.h - where the Win32 API comes from.
 *
 * The uninstaller's logic is plain Win32: A-suffixed functions, fixed
 * 260-byte buffers. On Windows this header brings in the real system
 * headers; everywhere else it brings in the simulated PC's declarations of
 * the same types, constants and functions, so the logic compiles unchanged
 * against a PC that the tests set up and inspect.
 *
 * Operations the logic relies on:
 *   registry    RegOpenKeyExA, RegEnumKeyExA, RegEnumValueA, RegDeleteKeyA,
 *               RegDeleteValueA, RegFlushKey, RegCloseKey (HKEY_LOCAL_MACHINE)
 *   setup API   SetupDiGetClassDevsA, SetupDiEnumDeviceInfo,
 *               SetupDiGetDeviceRegistryPropertyA, SetupDiCallClassInstaller,
 *               SetupDiDestroyDeviceInfoList, SetupOpenInfFileA,
 *               SetupGetLineTextA, SetupCloseInfFile, and where Windows has
 *               it SetupUninstallOEMInfA (all bound at run time)
 *   files       GetWindowsDirectoryA, GetSystemDirectoryA, SetFileAttributesA,
 *               GetFileAttributesA, DeleteFileA
 *   the log     GetTempPath2A (bound at run time, where Windows has it),
 *               GetTempPathA, CreateFileA, GetFileInformationByHandle and
 *               MoveFileA (bound), DeleteFileA, SetFilePointer, WriteFile,
 *               CloseHandle, GetLocalTime; for its head GetNativeSystemInfo,
 *               GetComputerNameA, GetUserNameA, GetCurrentProcessId,
 *               ProcessIdToSessionId, GetTokenInformation,
 *               GetEnvironmentVariableA (all bound), OpenProcessToken
 *   libraries   LoadLibraryA, GetProcAddress, FreeLibrary
 *   memory      LocalAlloc, LocalFree, lstrlenA
 *   messages    GetLastError, SetLastError, FormatMessageA, MessageBoxA
 *   system      GetVersionExA, GetCommandLineA, GetCurrentProcess,
 *               OpenProcessToken, LookupPrivilegeValueA,
 *               AdjustTokenPrivileges, ExitWindowsEx
 *   process     GetModuleHandleA, GetModuleFileNameA, IsWow64Process and
 *               SetEnvironmentVariableA (bound at run time), CreateProcessA,
 *               WaitForSingleObject, GetExitCodeProcess, CloseHandle: the
 *               hand-over from the 32-bit program to the 64-bit one
 *   boxes       GetProcessWindowStation, GetUserObjectInformationA (bound):
 *               whether anyone can see one
 *   run lock    OpenMutexA (bound), CreateMutexA, WaitForSingleObject,
 *               ReleaseMutex, CloseHandle
 */
#ifndef QZ_PLATFORM_OPS_H
#define QZ_PLATFORM_OPS_H

#ifdef _WIN32
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#else
#include "../simpc/win32.h"
#endif

#endif
