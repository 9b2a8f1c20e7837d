/*
 * function_binding.cpp - binds the registry functions of "advapi32" and the
 * file functions of "kernel32" by name, and releases both libraries.
 */
#include "w9x_steps.h"
#include "../shell/error_report.h"

Win9xBindingTable win9x_binding;

/* GetProcAddress gives a generic pointer; the detour through a pointer to a
   function without arguments keeps the compiler's cast check quiet. */
template <typename F> static int bind_function(HMODULE library, const char *name, F *out)
{
    FARPROC proc = GetProcAddress(library, name);
    if (proc == NULL) {
        report_system_error("Function : GetProcAddress()");
        return 0;
    }
    *out = (F)(void (*)(void))proc;
    return 1;
}

/*
 * unload_after_failed_binding - frees a library whose binding failed, so
 * that it does not stay loaded; a failing FreeLibrary is reported too.
 * Returns nothing.
 */
static void unload_after_failed_binding(HMODULE library)
{
    if (!FreeLibrary(library))
        report_system_error("Function : FreeLibrary()");
}

/*
 * bind_registry_functions - loads "advapi32" and binds its six registry
 * functions, RegDeleteValueA last. Returns 1 when all six are bound (the
 * library handle is then stored); 0 after a reported failure, with the
 * library freed again and its handle not stored.
 */
int bind_registry_functions(void)
{
    Win9xBindingTable &b = win9x_binding;
    HMODULE library = LoadLibraryA("advapi32");
    if (library == NULL) {
        report_system_error("Function : LoadLibrary()");
        return 0;
    }
    if (!bind_function(library, "RegOpenKeyExA", &b.reg_open_key_ex) ||
        !bind_function(library, "RegCloseKey", &b.reg_close_key) ||
        !bind_function(library, "RegEnumKeyExA", &b.reg_enum_key_ex) ||
        !bind_function(library, "RegDeleteKeyA", &b.reg_delete_key) ||
        !bind_function(library, "RegEnumValueA", &b.reg_enum_value) ||
        !bind_function(library, "RegDeleteValueA", &b.reg_delete_value)) {
        unload_after_failed_binding(library);
        return 0;
    }
    b.registry_library = library;
    return 1;
}

/*
 * bind_file_functions - loads "kernel32" and binds its four directory and
 * file functions. Returns 1 when all four are bound (the handle is then
 * stored); 0 after a reported failure, with the library freed again.
 */
int bind_file_functions(void)
{
    Win9xBindingTable &b = win9x_binding;
    HMODULE library = LoadLibraryA("kernel32");
    if (library == NULL) {
        report_system_error("Function : LoadLibrary()");
        return 0;
    }
    if (!bind_function(library, "GetWindowsDirectoryA", &b.get_windows_directory) ||
        !bind_function(library, "GetSystemDirectoryA", &b.get_system_directory) ||
        !bind_function(library, "SetFileAttributesA", &b.set_file_attributes) ||
        !bind_function(library, "DeleteFileA", &b.delete_file)) {
        unload_after_failed_binding(library);
        return 0;
    }
    b.file_library = library;
    return 1;
}

/*
 * bind_win9x_functions - binds the registry library, then the file library.
 * Returns 1 when both are bound; 0 after a reported failure. A registry
 * library bound before a failing file library stays loaded.
 */
int bind_win9x_functions(void)
{
    if (!bind_registry_functions())
        return 0;
    return bind_file_functions() ? 1 : 0;
}

/*
 * release_win9x_functions - frees the registry library, then the file
 * library, each only if its handle was stored. Returns 1 when every stored
 * handle was released; 0 at the first failing FreeLibrary (reported; the
 * file library is then not released).
 */
int release_win9x_functions(void)
{
    if (win9x_binding.registry_library != NULL && !FreeLibrary(win9x_binding.registry_library)) {
        report_system_error("Function : FreeLibrary()");
        return 0;
    }
    if (win9x_binding.file_library != NULL && !FreeLibrary(win9x_binding.file_library)) {
        report_system_error("Function : FreeLibrary()");
        return 0;
    }
    return 1;
}
