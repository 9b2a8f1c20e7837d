/*
 * enum_keys.cpp - removes the product's device keys below HKLM\Enum, with the
 * class driver keys their instances name.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/key_deletion.h"
#include "../common/texts.h"

const char usb_modem_device[] = "USB\\VID_1F7C&PID_0084";
const char wdm_modem_device[] = "WDM_MODEM\\KVR0084";

#define DEVICE_ABSENT 0
#define DEVICE_FAILED 1
#define DEVICE_REMOVED 2

/*
 * open_next_instance - names the n-th subkey of an open device key in
 * instance (MAX_PATH_BYTES) and opens it for reading into *instance_key.
 * Returns INSTANCE_OPENED; INSTANCE_PASSED_OVER when it cannot be opened
 * (reported, below device_path); INSTANCE_NONE when there is no n-th one.
 */
int open_next_instance(HKEY device_key, const char *device_path, DWORD n, char *instance, HKEY *instance_key)
{
    DWORD size = MAX_PATH_BYTES;
    FILETIME written;
    zero_bytes(instance, MAX_PATH_BYTES);
    if (win9x_run.win9x_binding.registry.RegEnumKeyExA(device_key, n, instance, &size, NULL, NULL, NULL, &written) != ERROR_SUCCESS)
        return INSTANCE_NONE;
    *instance_key = NULL;
    LONG opened = win9x_run.win9x_binding.registry.RegOpenKeyExA(device_key, instance, 0, KEY_READ, instance_key);
    if (opened != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_open_key_ex, opened, device_path, instance);
        return INSTANCE_PASSED_OVER;
    }
    return INSTANCE_OPENED;
}

/*
 * remove_instance_class_keys - deletes the driver key that each instance
 * of an open device key names in its "Driver" value. The instance keys
 * stay: they go with the device key. An instance that cannot be opened or
 * a driver key that cannot be deleted is reported and passed over.
 * Returns 1 when a driver key was deleted, else 0; 0xFFFF at once when an
 * instance key cannot be closed (reported; later instances not walked).
 */
int remove_instance_class_keys(HKEY device_key, const char *device_path)
{
    char instance[MAX_PATH_BYTES];
    char name[MAX_PATH_BYTES];
    char data[MAX_PATH_BYTES];
    int result = STATUS_NOTHING;
    HKEY instance_key = NULL;
    int walk;

    for (DWORD n = 0; (walk = open_next_instance(device_key, device_path, n, instance, &instance_key)) != INSTANCE_NONE; ++n) {
        if (walk == INSTANCE_PASSED_OVER)
            continue;
        for (DWORD m = 0; read_instance_value(instance_key, m, name, data) == ERROR_SUCCESS; ++m) {
            if (is_driver_value(name) && delete_named_driver_key(data) > 0)
                result = STATUS_REMOVED;
        }
        if (!close_key_or_report(&win9x_run.win9x_binding.registry, instance_key, device_path, instance))
            return STATUS_FAILED;
    }
    return result;
}

/*
 * remove_device_key - removes "Enum\<device_id>": the driver keys of its
 * instances first, then the key with every instance below it (RegDeleteKeyA
 * takes the whole subtree on this platform).
 * Returns DEVICE_ABSENT when the key cannot be opened (silent);
 * DEVICE_FAILED after a reported failure to close or delete it;
 * DEVICE_REMOVED with *walk set to the instance walk's result.
 */
static int remove_device_key(const char *device_id, int *walk)
{
    char path[MAX_PATH_BYTES];
    HKEY device_key = NULL;

    *walk = STATUS_NOTHING;
    zero_bytes(path, sizeof path);
    if (!join_text(path, sizeof path, "Enum\\", device_id, ""))
        return DEVICE_ABSENT; /* no key has a name that long */
    if (win9x_run.win9x_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &device_key) != ERROR_SUCCESS)
        return DEVICE_ABSENT;

    *walk = remove_instance_class_keys(device_key, path);
    RegFlushKey(device_key); /* imported (every Windows has it); its result does not matter */
    LONG result = win9x_run.win9x_binding.registry.RegCloseKey(device_key);
    if (result != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_close_key, result, path, NULL);
        return DEVICE_FAILED;
    }
    return delete_key_or_report(&win9x_run.win9x_binding.registry, HKEY_LOCAL_MACHINE, NULL, path) ? DEVICE_REMOVED
                                                                                          : DEVICE_FAILED;
}

/*
 * remove_hardware_enum_key - removes the device key of the product's own
 * hardware ID. Returns 0 when it is absent, 0xFFFF after a reported
 * failure, else the instance walk's result (0, 1 or 0xFFFF).
 */
int remove_hardware_enum_key(int index)
{
    int walk;
    int outcome = remove_device_key(win9x_product_table[index].hardware_id, &walk);
    if (outcome == DEVICE_ABSENT)
        return STATUS_NOTHING;
    if (outcome == DEVICE_FAILED)
        return STATUS_FAILED;
    return walk;
}

/*
 * remove_wdm_modem_enum_keys - removes the fixed USB modem device key and,
 * only when that one was removed, its WDM modem device key. The USB
 * modem's own walk result does not count. Returns 0 when either key is
 * absent, 0xFFFF after a reported failure, else the WDM modem's walk result.
 */
int remove_wdm_modem_enum_keys(void)
{
    int walk;
    int outcome = remove_device_key(usb_modem_device, &walk);
    if (outcome == DEVICE_ABSENT)
        return STATUS_NOTHING;
    if (outcome == DEVICE_FAILED)
        return STATUS_FAILED;

    outcome = remove_device_key(wdm_modem_device, &walk);
    if (outcome == DEVICE_ABSENT)
        return STATUS_NOTHING;
    if (outcome == DEVICE_FAILED)
        return STATUS_FAILED;
    return walk;
}
