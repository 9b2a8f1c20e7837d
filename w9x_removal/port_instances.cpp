/*
 * port_instances.cpp - removes the serial ports below HKLM\Enum\Root\Ports
 * whose "DeviceDesc" begins with the product's model name, with their
 * driver keys.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/key_deletion.h"
#include "../common/texts.h"

const char ports_key_path[] = "Enum\\Root\\Ports";

/*
 * describes_product - 1 when an instance key has a value named exactly
 * "DeviceDesc" whose text begins with the product's model name (case
 * counts); else 0. The walk over the values ends at the first match or the
 * first non-zero result.
 */
int describes_product(int index, HKEY instance_key)
{
    char name[MAX_PATH_BYTES];
    char data[MAX_PATH_BYTES];
    const Win9xProductRecord &product = win9x_product_table[index];

    for (DWORD m = 0; read_instance_value(instance_key, m, name, data) == ERROR_SUCCESS; ++m) {
        if (texts_equal(name, "DeviceDesc") && prefix_equal(data, product.model_name, product.model_name_length))
            return 1;
    }
    return 0;
}

/*
 * delete_port_driver_keys - deletes the driver key named by the instance's
 * "Driver" value. Returns 1 when one was deleted; 0 when there is none (or
 * it names no single driver key); -1 after a reported failure.
 */
static int delete_port_driver_keys(HKEY instance_key)
{
    char name[MAX_PATH_BYTES];
    char data[MAX_PATH_BYTES];
    int result = 0;

    for (DWORD m = 0; read_instance_value(instance_key, m, name, data) == ERROR_SUCCESS; ++m) {
        if (!is_driver_value(name))
            continue;
        int outcome = delete_named_driver_key(data);
        if (outcome < 0)
            return -1;
        if (outcome > 0)
            result = 1;
    }
    return result;
}

/*
 * close_after_failure - closes an instance key once its step has already
 * reported a failure: a failed close is not reported again.
 */
static void close_after_failure(HKEY instance_key)
{
    RegCloseKey(instance_key); /* imported (every Windows has it) */
}

/*
 * remove_matching_port_instances - walks the instances of the open ports
 * key; each one the product's model name describes loses its driver key
 * and then its instance key. After a deletion the same index is asked for
 * again: the instances after it have moved down by one. An instance that
 * comes back at that index after its deletion was not deleted after all:
 * a "RegDeleteKey()" box (ERROR_CANTWRITE) ends the walk.
 * Returns 1 when a driver key was deleted, else 0 (a deleted instance key
 * alone does not count); 0xFFFF at the first reported failure, which ends
 * the walk with that and later instances left in place.
 */
int remove_matching_port_instances(int index, HKEY ports_key)
{
    char instance[MAX_PATH_BYTES];
    char deleted[MAX_PATH_BYTES]; /* the instance deleted last at index n, or empty */
    FILETIME written;
    int result = STATUS_NOTHING;
    DWORD n = 0;

    zero_bytes(deleted, sizeof deleted);
    for (;;) {
        DWORD size = MAX_PATH_BYTES;
        zero_bytes(instance, sizeof instance);
        if (win9x_run.win9x_binding.registry.RegEnumKeyExA(ports_key, n, instance, &size, NULL, NULL, NULL, &written) != ERROR_SUCCESS)
            return result;
        if (deleted[0] != '\0' && texts_equal(instance, deleted)) {
            /* reported deleted, yet still there: asking again would never end */
            report_registry_failure(caption_reg_delete_key, ERROR_CANTWRITE, ports_key_path, instance);
            return STATUS_FAILED;
        }
        deleted[0] = '\0';

        HKEY instance_key = NULL;
        LONG opened = win9x_run.win9x_binding.registry.RegOpenKeyExA(ports_key, instance, 0, KEY_READ, &instance_key);
        if (opened != ERROR_SUCCESS) {
            report_registry_failure(caption_reg_open_key_ex, opened, ports_key_path, instance);
            return STATUS_FAILED;
        }
        int matched = describes_product(index, instance_key);
        if (matched) {
            int drivers = delete_port_driver_keys(instance_key);
            if (drivers < 0) {
                /* the instance stays: a later run can still find its driver key */
                close_after_failure(instance_key);
                return STATUS_FAILED;
            }
            if (drivers > 0)
                result = STATUS_REMOVED;
        }
        LONG closed = RegCloseKey(instance_key); /* imported (every Windows has it) */
        if (closed != ERROR_SUCCESS) {
            report_registry_failure(caption_reg_close_key, closed, ports_key_path, instance);
            return STATUS_FAILED;
        }
        if (!matched) {
            ++n;
            continue;
        }
        if (!delete_key_or_report(&win9x_run.win9x_binding.registry, ports_key, ports_key_path, instance))
            return STATUS_FAILED;
        /* n stays: the next instance now has this index */
        copy_text(deleted, sizeof deleted, instance);
    }
}

/*
 * clean_root_ports - opens HKLM\Enum\Root\Ports and removes the product's
 * port instances from it. Returns the walk's result (0, 1 or 0xFFFF); 0
 * when there is no ports key (a PC with no serial port installed has
 * none: nothing to remove, and nothing that needs a restart); 0xFFFF
 * after a reported failure to open or close it.
 */
int clean_root_ports(int index)
{
    HKEY ports_key = NULL;

    LONG opened = win9x_run.win9x_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, ports_key_path, 0, KEY_READ, &ports_key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return STATUS_NOTHING;
    if (opened != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_open_key_ex, opened, ports_key_path, NULL);
        return STATUS_FAILED;
    }
    int result = remove_matching_port_instances(index, ports_key);
    RegFlushKey(ports_key); /* imported (every Windows has it); its result does not matter */
    LONG closed = win9x_run.win9x_binding.registry.RegCloseKey(ports_key);
    if (closed != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_close_key, closed, ports_key_path, NULL);
        return STATUS_FAILED;
    }
    return result;
}
