/*
 * key_deletion.h - deleting one registry key through the bound registry
 * functions, a refusal reported under "RegDeleteKey()"; and closing one,
 * a failure reported under "RegCloseKey()".
 */
#ifndef QZ_KEY_DELETION_H
#define QZ_KEY_DELETION_H

#include "library_binding.h"

/* Deletes the subkey `name` of the open key `parent`, which is
   HKLM\<parent_path> (null for HKLM itself; only the report names it).
   Returns 1 when it is deleted; 0 after the report. */
int delete_key_or_report(const RegistryFunctions *registry, HKEY parent, const char *parent_path, const char *name);

/* Closes `key`, the subkey `name` of HKLM\<parent_path> (only the report
   names it). Returns 1 when closed; 0 after the report. */
int close_key_or_report(const RegistryFunctions *registry, HKEY key, const char *parent_path, const char *name);

#endif
