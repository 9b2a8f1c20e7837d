/*
 * examination.cpp - what of the series the Windows 98/Me removal would
 * remove, found by its own rules and left as it is: the Enum device keys
 * and the class driver keys their instances name, the port instances a
 * product's model name describes, the VxD registrations and the listed
 * files. The second product counts only when the removal would find it
 * (its device key or one of its files) and ask about it.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/findings.h"
#include "../common/run_log.h"
#include "../common/texts.h"

#define KIND_ENUM_KEY 0
#define KIND_DRIVER_KEY 1
#define KIND_PORT 2
#define KIND_VXD 3
#define KIND_FILE 4

static const char *const win9x_kinds[FINDING_KINDS] = {
    text_kind_enum_keys, text_kind_driver_keys, text_kind_ports, text_kind_vxd_registrations, text_kind_files, "",
};

/* 1 when the key HKLM\<path> opens (it is closed again). */
static int key_exists(const char *path)
{
    HKEY key = NULL;
    if (win9x_run.win9x_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    win9x_run.win9x_binding.registry.RegCloseKey(key); /* only read */
    return 1;
}

/* The driver keys the "Driver" values of an open instance key name, those
   that are there. */
static void examine_driver_keys(Findings *findings, HKEY instance_key)
{
    char name[MAX_PATH_BYTES];
    char data[MAX_PATH_BYTES];
    char path[MAX_PATH_BYTES];
    for (DWORD m = 0; read_instance_value(instance_key, m, name, data) == ERROR_SUCCESS; ++m)
        if (is_driver_value(name) && build_driver_key_path(data, path) == DRIVER_PATH_BUILT && key_exists(path))
            record_finding(findings, KIND_DRIVER_KEY, "HKLM\\", path);
}

/*
 * A device key "Enum\<device_id>", when it opens, with the driver keys of
 * its instances. `port_of`, when 0 or 1, takes only the instances that
 * product's model name describes, as ports (the key itself stays). Returns
 * 1 when the key was there.
 */
static int examine_instances(Findings *findings, const char *key_path, int port_of)
{
    HKEY key = NULL;
    if (win9x_run.win9x_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    if (port_of < 0)
        record_finding(findings, KIND_ENUM_KEY, "HKLM\\", key_path);
    char instance[MAX_PATH_BYTES];
    HKEY instance_key = NULL;
    int walk;
    for (DWORD n = 0; (walk = open_next_instance(key, key_path, n, instance, &instance_key)) != INSTANCE_NONE; ++n) {
        if (walk == INSTANCE_PASSED_OVER)
            continue;
        if (port_of < 0 || describes_product(port_of, instance_key)) {
            if (port_of >= 0) {
                char port[MAX_PATH_BYTES];
                if (join_text(port, sizeof port, key_path, "\\", instance))
                    record_finding(findings, KIND_PORT, "HKLM\\", port);
            }
            examine_driver_keys(findings, instance_key);
        }
        win9x_run.win9x_binding.registry.RegCloseKey(instance_key); /* only read */
    }
    win9x_run.win9x_binding.registry.RegCloseKey(key); /* only read */
    return 1;
}

/* "Enum\<device_id>", below HKEY_LOCAL_MACHINE, into path (MAX_PATH_BYTES). */
static int enum_path(const char *device_id, char *path)
{
    return join_text(path, MAX_PATH_BYTES, "Enum\\", device_id, "");
}

/* The product's two VxD names in VMM32Files, and its VxD service keys. */
static void examine_vxd_registrations(Findings *findings, int index)
{
    const Win9xFileTable &files = win9x_file_table[index];
    const Win9xProductRecord &product = win9x_product_table[index];
    HKEY key = NULL;
    LONG opened = win9x_run.win9x_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, vmm32_files_key, 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_open_key_ex, opened, vmm32_files_key, NULL);
        return;
    }
    char name[MAX_PATH_BYTES];
    char data[MAX_PATH_BYTES];
    for (DWORD m = 0; read_instance_value(key, m, name, data) == ERROR_SUCCESS; ++m) {
        /* the registry finds a value by its name without regard to case */
        if (!texts_equal_nocase(name, files.rows[0]) && !texts_equal_nocase(name, files.rows[1]))
            continue;
        char value[MAX_PATH_BYTES + 8];
        join_text(value, sizeof value, vmm32_files_key, " \"", name);
        append_text(value, sizeof value, "\"");
        record_finding(findings, KIND_VXD, "HKLM\\", value);
    }
    win9x_run.win9x_binding.registry.RegCloseKey(key); /* only read */

    const char *const vxds[2] = {product.port_vxd_name, product.service_vxd_name};
    for (int i = 0; i < 2; ++i) {
        char path[MAX_PATH_BYTES];
        if (vxds[i][0] != '\0' && join_text(path, sizeof path, vxd_key_prefix, vxds[i], "") && key_exists(path))
            record_finding(findings, KIND_VXD, "HKLM\\", path);
    }
}

/* The product's listed files that are there, recorded unless `findings`
   is null. Returns how many. */
static int examine_files(Findings *findings, int index)
{
    WindowsFolders folders;
    char path[MAX_PATH_BYTES];
    int found = 0;
    if (!read_windows_folders(&win9x_run.win9x_binding.files, &folders))
        return 0;
    for (int row = 0; row < WIN9X_FILE_ROWS; ++row) {
        if (build_row_path(&folders, win9x_file_table[index].rows[row], FOLDERS_OF_98_PACKAGE, path) !=
            ROW_PATH_BUILT)
            continue;
        if (!file_is_there(path))
            continue;
        if (findings != NULL)
            record_finding(findings, KIND_FILE, path, NULL);
        ++found;
    }
    return found;
}

/* One product, as its pass would remove it. */
static void examine_product(Findings *findings, int index)
{
    char path[MAX_PATH_BYTES];
    /* the USB modem key, and the WDM modem key only with it */
    if (enum_path(usb_modem_device, path) && examine_instances(findings, path, -1) &&
        enum_path(wdm_modem_device, path))
        examine_instances(findings, path, -1);
    if (enum_path(win9x_product_table[index].hardware_id, path))
        examine_instances(findings, path, -1);
    examine_instances(findings, ports_key_path, index);
    examine_vxd_registrations(findings, index);
    examine_files(findings, index);
}

void examine_win9x_installation(int services, Findings *findings)
{
    (void)services; /* Windows 98/Me keep no service key of the series */
    begin_findings(findings, win9x_kinds);
    if (!bind_win9x_functions())
        return;
    for (int index = 0; index < WIN9X_PRODUCT_COUNT; ++index) {
        /* the second product is removed only when the removal finds it */
        if (index == 0 || device_key_present(index) || examine_files(NULL, index) != 0)
            examine_product(findings, index);
    }
    release_win9x_functions();
}
