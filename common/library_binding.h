/*
 * library_binding.h - binding a system library's functions by name at run
 * time, all or nothing, as both removal back-ends do.
 */
#ifndef QZ_LIBRARY_BINDING_H
#define QZ_LIBRARY_BINDING_H

#include "platform_ops.h"

/* The functions the back-ends bind at run time, with their Win32 signatures.
   A few calls go straight to the imported function instead: ones that every
   Windows from 95 on exports and so need no run-time lookup (LocalAlloc,
   LocalFree, lstrlenA, MessageBoxA, and RegFlushKey, RegCloseKey and
   RegDeleteValueA where marked). */
typedef HDEVINFO(WINAPI *SetupDiGetClassDevsA_fn)(const GUID *, PCSTR, HWND, DWORD);
typedef BOOL(WINAPI *SetupDiEnumDeviceInfo_fn)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
typedef BOOL(WINAPI *SetupDiGetDeviceRegistryPropertyA_fn)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE,
                                                           DWORD, PDWORD);
typedef BOOL(WINAPI *SetupDiCallClassInstaller_fn)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA);
typedef BOOL(WINAPI *SetupDiGetDeviceInstallParamsA_fn)(HDEVINFO, PSP_DEVINFO_DATA, PSP_DEVINSTALL_PARAMS_A);
typedef BOOL(WINAPI *SetupDiGetDeviceInstanceIdA_fn)(HDEVINFO, PSP_DEVINFO_DATA, PSTR, DWORD, PDWORD);
typedef BOOL(WINAPI *SetupDiDestroyDeviceInfoList_fn)(HDEVINFO);
typedef HINF(WINAPI *SetupOpenInfFileA_fn)(PCSTR, PCSTR, DWORD, PUINT);
typedef BOOL(WINAPI *SetupGetLineTextA_fn)(PINFCONTEXT, HINF, PCSTR, PCSTR, PSTR, DWORD, PDWORD);
typedef void(WINAPI *SetupCloseInfFile_fn)(HINF);
typedef BOOL(WINAPI *SetupUninstallOEMInfA_fn)(PCSTR, DWORD, PVOID);
typedef BOOL(WINAPI *SetupGetInfDriverStoreLocationA_fn)(PCSTR, PVOID, PCSTR, PSTR, DWORD, PDWORD);
typedef CONFIGRET(WINAPI *CM_Get_DevNode_Status_fn)(PULONG, PULONG, DEVINST, ULONG);

typedef LONG(WINAPI *RegOpenKeyExA_fn)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
typedef LONG(WINAPI *RegCloseKey_fn)(HKEY);
typedef LONG(WINAPI *RegEnumKeyExA_fn)(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, PFILETIME);
typedef LONG(WINAPI *RegDeleteKeyA_fn)(HKEY, LPCSTR);
typedef LONG(WINAPI *RegEnumValueA_fn)(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI *RegDeleteValueA_fn)(HKEY, LPCSTR);

typedef UINT(WINAPI *GetWindowsDirectoryA_fn)(LPSTR, UINT);
typedef UINT(WINAPI *GetSystemDirectoryA_fn)(LPSTR, UINT);
typedef BOOL(WINAPI *SetFileAttributesA_fn)(LPCSTR, DWORD);
typedef BOOL(WINAPI *DeleteFileA_fn)(LPCSTR);
typedef BOOL(WINAPI *MoveFileExA_fn)(LPCSTR, LPCSTR, DWORD);

#define COUNT_OF(a) ((int)(sizeof(a) / sizeof((a)[0])))

/* The registry functions of "advapi32" the steps call, in binding order;
   the NT family binds the first five, Windows 98/Me all six. */
struct RegistryFunctions {
    RegOpenKeyExA_fn RegOpenKeyExA;
    RegCloseKey_fn RegCloseKey;
    RegEnumKeyExA_fn RegEnumKeyExA;
    RegDeleteKeyA_fn RegDeleteKeyA;
    RegEnumValueA_fn RegEnumValueA;
    RegDeleteValueA_fn RegDeleteValueA; /* null unless bound */
};

/* Loads "advapi32" and binds the registry functions into *registry,
   RegDeleteValueA too when `with_delete_value` is non-zero, as bind_library
   does. Returns the module, or null after its boxes. */
HMODULE bind_registry_functions_of_advapi32(RegistryFunctions *registry, int with_delete_value);

/* GetProcAddress gives a generic function pointer; going through
   void (*)(void) tells the compiler the cast to the real type is meant. */
typedef void (*any_function)(void);
#define BOUND_AS(type, entry) ((type)(any_function)(entry))

/* run.library_search_narrowed (run_record.h) is 1 once SetDefaultDllDirectories
   has narrowed the process's library search to the system folder (Windows 8
   on, Vista and 7 with an update): Windows then knows the search flags of
   LoadLibraryExA too. */

/* One function bound at run time: its name, and where its pointer is
   stored, as a byte offset in the structure the binding fills. */
struct BoundFunction {
    const char *name;
    LONG offset;
};
#define BOUND_FUNCTION(structure, name) {#name, FIELD_OFFSET(structure, name)}
#define BOUND_FUNCTIONS_MAX 16 /* the most rows one library has */

/* Stores `entry` (null for a function the library lacks) where `row` says,
   in `binding`: every pointer of such a structure is the size of FARPROC. */
void store_bound_function(void *binding, const BoundFunction *row, FARPROC entry);

/* Loads `library` ("setupapi") from the system folder by its full path (with
   LoadLibraryExA and LOAD_LIBRARY_SEARCH_SYSTEM32 once the search is
   narrowed) and looks up the names of rows[0 .. count-1] in order; only
   when every one is found are the pointers stored into `binding`. Returns
   the module; or null after a "Function : GetSystemDirectory()" box (no
   path), a "Function : LoadLibrary()" box, or after a "Function :
   GetProcAddress()" box for the first missing name (the names after it
   are not looked up), the library then freed again (with a "Function :
   FreeLibrary()" box if that fails too). */
HMODULE bind_library(const char *library, const BoundFunction rows[], int count, void *binding);

#endif
