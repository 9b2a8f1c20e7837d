/*
 * key_deletion.cpp - deleting one registry key, a refusal reported. Both
 * back-ends delete keys they found by walking; the report names the key
 * whole, as the walk found it.
 */
#include "key_deletion.h"
#include "error_report.h"
#include "texts.h"

int delete_key_or_report(const RegistryFunctions *registry, HKEY parent, const char *parent_path, const char *name)
{
    LONG result = registry->RegDeleteKeyA(parent, name);
    if (result == ERROR_SUCCESS)
        return 1;
    report_registry_failure(caption_reg_delete_key, result, parent_path, name);
    return 0;
}

int close_key_or_report(const RegistryFunctions *registry, HKEY key, const char *parent_path, const char *name)
{
    LONG result = registry->RegCloseKey(key);
    if (result == ERROR_SUCCESS)
        return 1;
    report_registry_failure(caption_reg_close_key, result, parent_path, name);
    return 0;
}
