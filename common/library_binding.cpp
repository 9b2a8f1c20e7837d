/*
 * library_binding.cpp - one library's functions bound by name, all or nothing.
 */
#include "library_binding.h"
#include "run_record.h"
#include "text_buffers.h"
#include "error_report.h"
#include "texts.h"

/* Builds "<system folder>\<library>.dll" into path (MAX_PATH_BYTES).
   Returns 1; or 0 after a "GetSystemDirectory()" box. A bare name would be
   looked for in the program's own folder first, where anyone who can put
   a file beside a downloaded program could plant one. */
static int system_library_path(const char *library, char *path)
{
    char folder[MAX_PATH_BYTES];
    zero_bytes(folder, sizeof folder);
    UINT length = GetSystemDirectoryA(folder, sizeof folder); /* imported: every Windows has it */
    if (length == 0) {
        report_failure(caption_get_system_directory, GetLastError(), library, NULL);
        return 0;
    }
    if (length >= sizeof folder || !join_text(path, MAX_PATH_BYTES, folder, "\\", library) ||
        !append_text(path, MAX_PATH_BYTES, ".dll")) {
        report_failure(caption_get_system_directory, ERROR_FILENAME_EXCED_RANGE, library, NULL);
        return 0;
    }
    return 1;
}

/* Loads the library at its full path. Where Windows knows the search flags
   (the process's search could be narrowed), the libraries it loads in turn
   come from the system folder too; elsewhere LoadLibraryExA refuses them. */
static HMODULE load_system_library(const char *path)
{
    if (run.library_search_narrowed)
        return LoadLibraryExA(path, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return LoadLibraryA(path);
}

void store_bound_function(void *binding, const BoundFunction *row, FARPROC entry)
{
    *(FARPROC *)((char *)binding + row->offset) = entry;
}

HMODULE bind_library(const char *library, const BoundFunction rows[], int count, void *binding)
{
    char path[MAX_PATH_BYTES];
    if (!system_library_path(library, path))
        return NULL;
    HMODULE module = load_system_library(path);
    if (module == NULL) {
        report_failure(caption_load_library, GetLastError(), path, NULL);
        return NULL;
    }
    FARPROC entries[BOUND_FUNCTIONS_MAX];
    for (int i = 0; i < count; ++i) {
        entries[i] = GetProcAddress(module, rows[i].name);
        if (entries[i] == NULL) {
            report_failure(caption_get_proc_address, GetLastError(), rows[i].name, NULL);
            if (!FreeLibrary(module))
                report_failure(caption_free_library, GetLastError(), library, NULL);
            return NULL;
        }
    }
    for (int i = 0; i < count; ++i)
        store_bound_function(binding, &rows[i], entries[i]);
    return module;
}

/* In binding order; the NT family binds the first five, Windows 98/Me all six. */
static const BoundFunction registry_functions[] = {
    BOUND_FUNCTION(RegistryFunctions, RegOpenKeyExA),
    BOUND_FUNCTION(RegistryFunctions, RegCloseKey),
    BOUND_FUNCTION(RegistryFunctions, RegEnumKeyExA),
    BOUND_FUNCTION(RegistryFunctions, RegDeleteKeyA),
    BOUND_FUNCTION(RegistryFunctions, RegEnumValueA),
    BOUND_FUNCTION(RegistryFunctions, RegDeleteValueA),
};

HMODULE bind_registry_functions_of_advapi32(RegistryFunctions *registry, int with_delete_value)
{
    int count = COUNT_OF(registry_functions) - (with_delete_value ? 0 : 1); /* RegDeleteValueA stays null */
    return bind_library("advapi32", registry_functions, count, registry);
}
