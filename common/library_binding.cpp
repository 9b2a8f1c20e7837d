/*
 * library_binding.cpp - one library's functions bound by name, all or nothing.
 */
#include "library_binding.h"
#include "error_report.h"
#include "texts.h"

HMODULE bind_library(const char *library, const char *const names[], int count, FARPROC entries[])
{
    HMODULE module = LoadLibraryA(library);
    if (module == NULL) {
        report_system_error(caption_load_library);
        return NULL;
    }
    for (int i = 0; i < count; ++i) {
        entries[i] = GetProcAddress(module, names[i]);
        if (entries[i] == NULL) {
            report_system_error(caption_get_proc_address);
            if (!FreeLibrary(module))
                report_system_error(caption_free_library);
            return NULL;
        }
    }
    return module;
}
