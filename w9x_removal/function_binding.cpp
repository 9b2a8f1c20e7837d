/*
 * function_binding.cpp - binds the registry functions of "advapi32" and the
 * file functions of "kernel32" by name, and releases both libraries.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/library_binding.h"
#include "../common/texts.h"



/*
 * bind_registry_functions - loads "advapi32" and binds its six registry
 * functions, RegDeleteValueA last. Returns 1 when all six are bound (the
 * library handle is then stored); 0 after a reported failure, with the
 * library freed again and its handle not stored.
 */
int bind_registry_functions(void)
{
    HMODULE library = bind_registry_functions_of_advapi32(&win9x_run.win9x_binding.registry, 1);
    if (library == NULL)
        return 0;
    win9x_run.win9x_binding.advapi32 = library;
    return 1;
}

/*
 * bind_file_functions - loads "kernel32" and binds its four directory and
 * file functions. Returns 1 when all four are bound (the handle is then
 * stored); 0 after a reported failure, with the library freed again.
 */
int bind_file_functions(void)
{
    HMODULE library = bind_file_functions_of_kernel32(&win9x_run.win9x_binding.files, 0);
    if (library == NULL)
        return 0;
    win9x_run.win9x_binding.kernel32 = library;
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
    if (win9x_run.win9x_binding.advapi32 != NULL && !FreeLibrary(win9x_run.win9x_binding.advapi32)) {
        report_failure(caption_free_library, GetLastError(), "advapi32", NULL);
        return 0;
    }
    if (win9x_run.win9x_binding.kernel32 != NULL && !FreeLibrary(win9x_run.win9x_binding.kernel32)) {
        report_failure(caption_free_library, GetLastError(), "kernel32", NULL);
        return 0;
    }
    return 1;
}
