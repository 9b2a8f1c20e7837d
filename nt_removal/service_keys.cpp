/*
 * service_keys.cpp - deletes the product's service key, with its direct
 * subkeys, in CurrentControlSet and in ControlSet001, 002, ... up to the first gap.
 */
#include "nt_steps.h"
#include "../common/error_report.h"
#include "../common/key_deletion.h"
#include "../common/texts.h"

/* Service names are compared over this many characters, whatever their length. */
#define SERVICE_NAME_COMPARED 8

/* The walk stops after ControlSet999: the number text holds three digits. */
#define LAST_CONTROL_SET 999

/*
 * Deletes every direct subkey of the open key, always at index 0 since each
 * deletion moves the next one to the front; `key_path` (HKLM-relative,
 * with its final backslash) names it in the log. Returns 1 when no subkey is
 * left (also when there was none); 0xFFFF for a null key or after a
 * "RegDeleteKey()" box, the remaining subkeys kept: the deletion failed,
 * or the subkey it reported deleted is still at the front (ERROR_CANTWRITE).
 */
int delete_child_keys(HKEY key, const char *key_path)
{
    if (key == NULL)
        return STATUS_FAILED;
    char name[MAX_PATH_BYTES];
    char deleted[MAX_PATH_BYTES]; /* the subkey deleted last, or empty */
    zero_bytes(deleted, sizeof deleted);
    for (;;) {
        DWORD name_length = MAX_PATH_BYTES;
        FILETIME written;
        if (nt_binding.registry.RegEnumKeyExA(key, 0, name, &name_length, NULL, NULL, NULL, &written) != ERROR_SUCCESS)
            return STATUS_REMOVED;
        if (deleted[0] != '\0' && texts_equal(name, deleted)) {
            /* reported deleted, yet still there: asking again would never end */
            report_registry_failure(caption_reg_delete_key, ERROR_CANTWRITE, key_path, name);
            return STATUS_FAILED;
        }
        if (!delete_key_or_report(&nt_binding.registry, key, key_path, name))
            return STATUS_FAILED; /* stop: index 0 would name the same key again */
        copy_text(deleted, sizeof deleted, name);
    }
}

/*
 * Returns 1 when the open "Services" key has a direct subkey whose name
 * begins like the product's service name over its first 8 characters,
 * with case; else 0 (also for a null key).
 */
int find_service_key(HKEY services_key, int index)
{
    if (services_key == NULL)
        return 0;
    char name[MAX_PATH_BYTES];
    for (DWORD i = 0;; ++i) {
        DWORD name_length = MAX_PATH_BYTES;
        FILETIME written;
        if (nt_binding.registry.RegEnumKeyExA(services_key, i, name, &name_length, NULL, NULL, NULL, &written) !=
            ERROR_SUCCESS)
            return 0;
        if (prefix_equal(name, nt_product_table[index].service_name, SERVICE_NAME_COMPARED))
            return 1;
    }
}

/*
 * Deletes the product's service key below one open "Services" key: its
 * direct subkeys first, then the key. Returns 0 when it is not there, 1
 * when deleted, 0xFFFF for a null key or after a box ("RegOpenKeyEx()",
 * "RegDeleteKey()" or "RegCloseKey()"); the service key then stays.
 */
int remove_service_key(HKEY services_key, const char *services_path, int index)
{
    if (services_key == NULL)
        return STATUS_FAILED;
    if (!find_service_key(services_key, index))
        return STATUS_NOTHING;

    const char *service = nt_product_table[index].service_name;
    HKEY service_key = NULL;
    LONG result = nt_binding.registry.RegOpenKeyExA(services_key, service, 0, KEY_READ, &service_key);
    if (result != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_open_key_ex, result, services_path, service);
        return STATUS_FAILED;
    }
    char service_path[MAX_PATH_BYTES];
    if (!join_text(service_path, sizeof service_path, services_path, service, "\\"))
        copy_text(service_path, sizeof service_path, service); /* only the log names it */
    int children = delete_child_keys(service_key, service_path);
    result = nt_binding.registry.RegCloseKey(service_key);
    if (result != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_close_key, result, services_path, service);
        return STATUS_FAILED;
    }
    if (children != STATUS_REMOVED)
        return children;

    return delete_key_or_report(&nt_binding.registry, services_key, services_path, service) ? STATUS_REMOVED
                                                                                            : STATUS_FAILED;
}

/* Builds "SYSTEM\ControlSet<nnn>\Services\" into path. Returns 1, or 0
   when the number does not fit in three digits. */
static int build_control_set_path(char *path, int size, int number)
{
    char digits[4]; /* three digits and the NUL */
    if (!format_decimal(digits, sizeof digits, (unsigned long)number, 3))
        return 0;
    return join_text(path, size, "SYSTEM\\ControlSet", digits, "\\Services\\");
}

void begin_control_set_walk(ControlSetWalk *walk)
{
    zero_bytes(walk, sizeof *walk);
    walk->number = -1;
}

int next_services_key(ControlSetWalk *walk, HKEY *services_key)
{
    *services_key = NULL;
    if (walk->ended)
        return 0;
    ++walk->number;
    int built = walk->number == 0
                    ? copy_text(walk->path, sizeof walk->path, "SYSTEM\\CurrentControlSet\\Services\\")
                    : walk->number <= LAST_CONTROL_SET &&
                          build_control_set_path(walk->path, sizeof walk->path, walk->number);
    if (!built) {
        walk->ended = 1;
        return 0;
    }
    LONG opened = nt_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, walk->path, 0, KEY_READ, services_key);
    if (opened == ERROR_SUCCESS)
        return 1;
    walk->ended = 1;
    *services_key = NULL;
    if (opened != ERROR_FILE_NOT_FOUND) {
        /* there, but refused: its service key may stay; the walk ends, as it
           cannot tell whether the control sets go on */
        report_registry_failure(caption_reg_open_key_ex, opened, walk->path, NULL);
        walk->failed = 1;
    }
    return 0;
}

int end_services_key(ControlSetWalk *walk, HKEY services_key)
{
    RegFlushKey(services_key); /* imported (every Windows has it); best effort: the deletions stand */
    LONG result = nt_binding.registry.RegCloseKey(services_key);
    if (result == ERROR_SUCCESS)
        return 1;
    report_registry_failure(caption_reg_close_key, result, walk->path, NULL);
    walk->failed = 1;
    walk->ended = 1;
    return 0;
}

/*
 * Deletes the product's service key in every control set of the walk.
 * Stores in service_status the OR of the results of every control set
 * visited: 0 found nowhere, 1 deleted, 0xFFFF after any box, the walk's
 * own included.
 */
void remove_service_keys(int index)
{
    int accumulated = STATUS_NOTHING;
    ControlSetWalk walk;
    HKEY services_key;

    begin_control_set_walk(&walk);
    while (next_services_key(&walk, &services_key)) {
        accumulated |= remove_service_key(services_key, walk.path, index);
        end_services_key(&walk, services_key);
    }
    if (walk.failed)
        accumulated = STATUS_FAILED;
    nt_removal_status[index].service_status = accumulated;
}
