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
 * delete_vxd_service_key - deletes "Services\VxD\<name>" with its subkeys.
 * Returns 1 when deleted; 0 when it is absent or cannot be deleted
 * (silent: the VxD simply stays registered) or its path does not fit.
 */
static int delete_vxd_service_key(const char *name)
{
    char path[MAX_PATH_BYTES];

    zero_bytes(path, sizeof path);
    if (name[0] == '\0' || !join_text(path, sizeof path, vxd_key_prefix, name, ""))
        return 0; /* an empty name would take every VxD with it */
    return win9x_binding.registry.RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS ? 1 : 0;
}

/*
 * remove_vxd_registrations - deletes the values named after the product's
 * two VxD files (rows 0 and 1 of its file table) from VMM32Files, then its
 * port and service VxD keys. Missing values and keys are silent.
 * Returns 1 when anything was deleted, else 0; 0xFFFF after a reported
 * failure to open or close VMM32Files (the VxD keys are then left alone).
 */
int remove_vxd_registrations(int index)
{
    const Win9xProductRecord &product = win9x_product_table[index];
    const Win9xFileTable &files = win9x_file_table[index];
    HKEY vmm32_key = NULL;
    int result = STATUS_NOTHING;

    LONG opened = win9x_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, vmm32_files_key, 0, KEY_WRITE, &vmm32_key);
    if (opened != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_open_key_ex, opened, vmm32_files_key, NULL);
        return STATUS_FAILED;
    }
    if (RegDeleteValueA(vmm32_key, files.rows[0]) == ERROR_SUCCESS) /* imported (every Windows has it) */
        result = STATUS_REMOVED;
    if (win9x_binding.registry.RegDeleteValueA(vmm32_key, files.rows[1]) == ERROR_SUCCESS)
        result = STATUS_REMOVED;
    RegFlushKey(vmm32_key); /* imported (every Windows has it); its result does not matter */
    LONG closed = win9x_binding.registry.RegCloseKey(vmm32_key);
    if (closed != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_close_key, closed, vmm32_files_key, NULL);
        return STATUS_FAILED;
    }

    if (delete_vxd_service_key(product.port_vxd_name))
        result = STATUS_REMOVED;
    if (delete_vxd_service_key(product.service_vxd_name))
        result = STATUS_REMOVED;
    return result;
}
