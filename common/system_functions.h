/*
 * system_functions.h - functions the program looks up by name, at run
 * time, in a system library every process of it has loaded already
 * (kernel32, advapi32, user32): ones that Windows 98/Me or early Windows
 * 2000 lack, and ones that Windows 98 has but the 32-bit program may not
 * import (only what tools/win98-imports.txt lists may be imported).
 *
 * A function that cannot be found counts as absent, and every caller has
 * an answer for that which changes nothing it does not know about: not
 * under WOW64, a visible window station, the old temporary folder, a log
 * file that is not written, a name that reads "unknown".
 */
#ifndef QZ_SYSTEM_FUNCTIONS_H
#define QZ_SYSTEM_FUNCTIONS_H

#include "platform_ops.h"
#include "library_binding.h"

typedef BOOL(WINAPI *IsWow64Process_fn)(HANDLE, PBOOL);
typedef void(WINAPI *GetNativeSystemInfo_fn)(LPSYSTEM_INFO);
typedef DWORD(WINAPI *GetTempPath2A_fn)(DWORD, LPSTR);
typedef BOOL(WINAPI *GetFileInformationByHandle_fn)(HANDLE, LPBY_HANDLE_FILE_INFORMATION);
typedef BOOL(WINAPI *MoveFileA_fn)(LPCSTR, LPCSTR);
typedef HANDLE(WINAPI *OpenMutexA_fn)(DWORD, BOOL, LPCSTR);
typedef BOOL(WINAPI *GetComputerNameA_fn)(LPSTR, LPDWORD);
typedef BOOL(WINAPI *GetUserNameA_fn)(LPSTR, LPDWORD);
typedef DWORD(WINAPI *GetCurrentProcessId_fn)(void);
typedef BOOL(WINAPI *ProcessIdToSessionId_fn)(DWORD, DWORD *);
typedef BOOL(WINAPI *GetTokenInformation_fn)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef HWINSTA(WINAPI *GetProcessWindowStation_fn)(void);
typedef BOOL(WINAPI *GetUserObjectInformationA_fn)(HANDLE, int, PVOID, DWORD, LPDWORD);
typedef DWORD(WINAPI *GetEnvironmentVariableA_fn)(LPCSTR, LPSTR, DWORD);
typedef BOOL(WINAPI *SetEnvironmentVariableA_fn)(LPCSTR, LPCSTR);
typedef LPWSTR(WINAPI *GetCommandLineW_fn)(void);
typedef DWORD(WINAPI *FormatMessageW_fn)(DWORD, LPCVOID, DWORD, DWORD, LPWSTR, DWORD, va_list *);
typedef DWORD(WINAPI *GetModuleFileNameW_fn)(HMODULE, LPWSTR, DWORD);
typedef BOOL(WINAPI *CreateProcessW_fn)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                        LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
typedef BOOL(WINAPI *SetDefaultDllDirectories_fn)(DWORD);
typedef BOOL(WINAPI *ConvertStringSecurityDescriptorToSecurityDescriptorA_fn)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR *,
                                                                              PULONG);
typedef DWORD(WINAPI *GetSecurityInfo_fn)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID *, PSID *, PACL *, PACL *,
                                          PSECURITY_DESCRIPTOR *);
typedef BOOL(WINAPI *SetDllDirectoryA_fn)(LPCSTR);
typedef DWORD(WINAPI *GetLongPathNameA_fn)(LPCSTR, LPSTR, DWORD);
typedef DWORD(WINAPI *GetFinalPathNameByHandleA_fn)(HANDLE, LPSTR, DWORD, DWORD);

/* The function `name` of the loaded library `library` ("kernel32"), or
   null when the library is not loaded or does not export it. Nothing is
   reported: absence is an answer. */
FARPROC system_function(const char *library, const char *name);

/* system_function() as a pointer of its own type: SYSTEM_FUNCTION(MoveFileA, "kernel32"). */
#define SYSTEM_FUNCTION(name, library) BOUND_AS(name##_fn, system_function(library, #name))

#endif
