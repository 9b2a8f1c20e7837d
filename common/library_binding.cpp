/*
 * library_binding.cpp - one library's functions bound by name, all or nothing.
 */
#include "library_binding.h"
#include "error_report.h"

HMODULE bind_library(const char *library, const char *const names[], int count, FARPROC entries[])
{
    HMODULE module = LoadLibraryA(library);
    if (module == NULL) {
        report_system_error("Function : LoadLibrary()");
        return NULL;
    }
    for (int i = 0; i < count; ++i) {
        entries[i] = GetProcAddress(module, names[i]);
        if (entries[i] == NULL) {
            report_system_error("Function : GetProcAddress()");
            if (!FreeLibrary(module))
                report_system_error("Function : FreeLibrary()");
            return NULL;
        }
    }
    return module;
}
