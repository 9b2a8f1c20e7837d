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
        report_failure(caption_load_library, GetLastError(), library, NULL);
        return NULL;
    }
    for (int i = 0; i < count; ++i) {
        entries[i] = GetProcAddress(module, names[i]);
        if (entries[i] == NULL) {
            report_failure(caption_get_proc_address, GetLastError(), names[i], NULL);
            if (!FreeLibrary(module))
                report_failure(caption_free_library, GetLastError(), library, NULL);
            return NULL;
        }
    }
    return module;
}
