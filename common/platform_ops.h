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
 *               ReadFile, FlushFileBuffers, GetVersion, GetFullPathNameA,
 *               GetLongPathNameA, GetFinalPathNameByHandleA and ntdll's
 *               NtSetInformationFile (bound), MultiByteToWideChar,
 *               CloseHandle, GetLocalTime; for its head GetNativeSystemInfo,
 *               GetComputerNameA, GetUserNameA, GetCurrentProcessId,
 *               ProcessIdToSessionId, GetTokenInformation,
 *               GetEnvironmentVariableA (all bound), OpenProcessToken
 *   libraries   LoadLibraryA, GetProcAddress, FreeLibrary
 *   memory      LocalAlloc, LocalFree, lstrlenA
 *   messages    GetLastError, SetLastError, FormatMessageA, MessageBoxA
 *               (Windows 98/Me); FormatMessageW (bound), MessageBoxW (NT family)
 *   system      GetVersionExA, GetCommandLineA, GetCurrentProcess,
 *               OpenProcessToken, LookupPrivilegeValueA,
 *               AdjustTokenPrivileges, ExitWindowsEx
 *   process     GetModuleHandleA, IsWow64Process, SetEnvironmentVariableA,
 *               GetModuleFileNameW, GetCommandLineW and CreateProcessW
 *               (all bound at run time), WaitForSingleObject,
 *               GetExitCodeProcess, CloseHandle: the hand-over from the
 *               32-bit program to the 64-bit one
 *   characters  CharNextA (texts from Windows walked in the system's code
 *               page), MultiByteToWideChar, WideCharToMultiByte (CP_ACP)
 *   boxes       GetProcessWindowStation, GetUserObjectInformationA (bound):
 *               whether anyone can see one
 *   run lock    OpenMutexA (bound), CreateMutexA, WaitForSingleObject,
 *               ReleaseMutex, CloseHandle; on the NT family its security:
 *               ConvertStringSecurityDescriptorToSecurityDescriptorA and
 *               GetSecurityInfo (bound), LocalFree
 *   libraries   SetDefaultDllDirectories, SetDllDirectoryA (bound),
 *               LoadLibraryExA where the search flags exist
 *   hand-over   for a run as SYSTEM: GetTokenInformation (TokenUser),
 *   trust       GetNamedSecurityInfoW, LookupAccountSidW, GetDriveTypeW
 *               (bound), and wintrust's WinVerifyTrust and WTHelper*
 *               (loaded from the system folder)
 */
#ifndef QZ_PLATFORM_OPS_H
#define QZ_PLATFORM_OPS_H

#ifdef _WIN32
#include <windows.h>
#include <setupapi.h>
#include <aclapi.h>
#include <sddl.h>
#include <cfgmgr32.h>
#include <wintrust.h>
#include <softpub.h>
#else
#include "../simpc/win32.h"
#endif

#endif
