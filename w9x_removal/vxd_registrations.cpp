/*
 * vxd_registrations.cpp - removes the product's VxD file names from
 * HKLM\System\CurrentControlSet\control\VMM32Files and its VxD service keys.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/texts.h"

const char vmm32_files_key[] = "System\\CurrentControlSet\\control\\VMM32Files";
const char vxd_key_prefix[] = "System\\CurrentControlSet\\Services\\VxD\\";

/*
 * deletion_status - what a registry deletion's result means: 1 deleted, 0
 * absent (ERROR_FILE_NOT_FOUND); any other error leaves the VxD registered
 * and gets a box under `caption`, naming the key and value: 0xFFFF.
 */
static int deletion_status(LONG result, const char *caption, const char *key_path, const char *name)
{
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        return result == ERROR_SUCCESS ? STATUS_REMOVED : STATUS_NOTHING;
    report_registry_failure(caption, result, key_path, name);
    return STATUS_FAILED;
}

/*
 * delete_vxd_service_key - deletes "Services\VxD\<name>" with its subkeys.
 * Returns 1 when deleted; 0 when it is absent or its path does not fit;
 * 0xFFFF after a "RegDeleteKey()" box.
 */
static int delete_vxd_service_key(const char *name)
{
    char path[MAX_PATH_BYTES];

    zero_bytes(path, sizeof path);
    if (name[0] == '\0' || !join_text(path, sizeof path, vxd_key_prefix, name, ""))
        return 0; /* an empty name would take every VxD with it */
    return deletion_status(win9x_run.win9x_binding.registry.RegDeleteKeyA(HKEY_LOCAL_MACHINE, path), caption_reg_delete_key, path,
                           NULL);
}

/*
 * remove_vxd_registrations - deletes the values named after the product's
 * two VxD files (rows 0 and 1 of its file table) from VMM32Files, then its
 * port and service VxD keys. Missing values and keys are silent; any other
 * failure to delete one is reported, and the others are still deleted.
 * Returns 1 when anything was deleted, else 0; 0xFFFF after a reported
 * failure (to open or close VMM32Files, the VxD keys are then left alone).
 */
int remove_vxd_registrations(int index)
{
    const Win9xProductRecord &product = win9x_product_table[index];
    const Win9xFileTable &files = win9x_file_table[index];
    HKEY vmm32_key = NULL;
    int result = STATUS_NOTHING;

    LONG opened = win9x_run.win9x_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, vmm32_files_key, 0, KEY_WRITE, &vmm32_key);
    if (opened != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_open_key_ex, opened, vmm32_files_key, NULL);
        return STATUS_FAILED;
    }
    /* the first is imported (every Windows has it) */
    result |= deletion_status(RegDeleteValueA(vmm32_key, files.rows[0]), caption_reg_delete_value, vmm32_files_key,
                              files.rows[0]);
    result |= deletion_status(win9x_run.win9x_binding.registry.RegDeleteValueA(vmm32_key, files.rows[1]), caption_reg_delete_value,
                              vmm32_files_key, files.rows[1]);
    RegFlushKey(vmm32_key); /* imported (every Windows has it); its result does not matter */
    LONG closed = win9x_run.win9x_binding.registry.RegCloseKey(vmm32_key);
    if (closed != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_close_key, closed, vmm32_files_key, NULL);
        return STATUS_FAILED;
    }
    result |= delete_vxd_service_key(product.port_vxd_name);
    result |= delete_vxd_service_key(product.service_vxd_name);
    return result;
}
