/*
 * device_removal.cpp - removes the product's device instances, present or
 * not, through the setup API's class installer (DIF_REMOVE).
 */
#include "nt_steps.h"
#include "../common/error_report.h"
#include "../common/findings.h"
#include "../common/run_log.h"
#include "../common/texts.h"

/*
 * Reads the device's hardware ID list (SPDRP_HARDWAREID) into a zero-filled
 * LocalAlloc block; *byte_count receives its length as the platform
 * reported it. Returns the block, which the caller frees with LocalFree;
 * or null: the device has no hardware IDs (no box), the block cannot be
 * allocated ("LocalAlloc()" box) or the property cannot be read
 * ("GetDeviceRegistryProperty()" box).
 */
char *read_hardware_ids(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD *byte_count)
{
    char *buffer = NULL;
    DWORD type = 0;
    *byte_count = 0;

    BOOL ok = nt_run.nt_binding.SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, &type, NULL, 0,
                                                                 byte_count);
    DWORD error = GetLastError();
    while (!ok) {
        if (error == ERROR_INSUFFICIENT_BUFFER) {
            if (buffer != NULL)
                LocalFree(buffer);
            buffer = (char *)LocalAlloc(LMEM_ZEROINIT, *byte_count);
            if (buffer == NULL) {
                report_failure(caption_local_alloc, GetLastError(), NULL, NULL);
                return NULL;
            }
            /* A list that grew in between is read again with its new size. */
            ok = nt_run.nt_binding.SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, &type,
                                                                    (PBYTE)buffer, *byte_count, byte_count);
            error = GetLastError();
            continue;
        }
        if (error != ERROR_INVALID_DATA)
            report_failure(caption_get_device_registry_property, error, NULL, NULL);
        if (buffer != NULL)
            LocalFree(buffer);
        return NULL; /* ERROR_INVALID_DATA: the device has no hardware IDs */
    }
    return buffer;
}

/* 1 when `text` starts with `count` hexadecimal digits. */
static int hex_digits(const char *text, int count)
{
    for (int i = 0; i < count; ++i) {
        char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return 0;
    }
    return 1;
}

/* 1 when `text` begins with `part` (ASCII, letters without regard to case)
   followed by `digits` hexadecimal digits; *rest then points past them. */
static int id_part(const char *text, const char *part, int digits, const char **rest)
{
    int length = lstrlenA(part);
    if (!prefix_equal_nocase(text, part, length) || !hex_digits(text + length, digits))
        return 0;
    *rest = text + length + digits;
    return 1;
}

/*
 * Returns 1 when the hardware ID `id` is the product's: its ID itself, or
 * the ID with the revision ("&REV_0100"), the interface of a composite
 * device ("&MI_00") or both ("&REV_0100&MI_00"), as the USB hub and the
 * generic parent driver write them; letters compared without regard to
 * case, as Windows compares hardware IDs (Windows 2000/XP write
 * "USB\Vid_1f7c&Pid_0084", Vista and later "USB\VID_1F7C&PID_0084").
 * Anything else is 0: another product ("&PID_00841"), a class ID.
 */
int hardware_id_names_product(int index, const char *id)
{
    const char *product = nt_product_table[index].hardware_id;
    int length = lstrlenA(product);
    if (!prefix_equal_nocase(id, product, length))
        return 0;
    const char *rest = id + length;
    id_part(rest, "&REV_", 4, &rest);
    id_part(rest, "&MI_", 2, &rest);
    return rest[0] == '\0';
}

/*
 * Returns 1 when one string of the multi-string `list` (`size` bytes) is
 * one of the product's hardware IDs (hardware_id_names_product); else 0.
 * Nothing past `size` bytes is read: a string not terminated within them
 * does not match.
 */
int hardware_id_matches(int index, const char *list, DWORD size)
{
    DWORD at = 0;
    while (at < size && list[at] != '\0') {
        int length = bounded_length(list + at, (int)(size - at));
        if ((DWORD)length == size - at)
            return 0; /* runs to the end of the data without its NUL */
        if (hardware_id_names_product(index, list + at))
            return 1;
        at += (DWORD)length + 1;
    }
    return 0;
}

/*
 * Puts the device's instance ID ("USB\VID_1F7C&PID_0084\5&1") into id
 * (MAX_PATH_BYTES), for the log; the product's hardware ID when Windows
 * cannot give it.
 */
void read_instance_id(int index, HDEVINFO set, PSP_DEVINFO_DATA device, char *id)
{
    DWORD needed = 0;
    zero_bytes(id, MAX_PATH_BYTES);
    if (!nt_run.nt_binding.SetupDiGetDeviceInstanceIdA(set, device, id, MAX_PATH_BYTES, &needed))
        copy_text(id, MAX_PATH_BYTES, nt_product_table[index].hardware_id);
}

/*
 * Removes one device through its class installer (DIF_REMOVE), then reads
 * its install parameters, as devcon does: a device Windows could not stop
 * (plugged in and open) is gone only after the restart, which its
 * DI_NEEDREBOOT or DI_NEEDRESTART flag asks for. A device the set no
 * longer knows (ERROR_NO_SUCH_DEVINST, Wine's answer) is gone at once.
 * Returns 1 removed (RESTART_FOR_DEVICE added to *restart_reasons when
 * the restart finishes it); 0xFFFF after a "CallClassInstaller()" or
 * "SetupDiGetDeviceInstallParams()" box.
 */
static int remove_device(int index, HDEVINFO set, PSP_DEVINFO_DATA device, int *restart_reasons)
{
    char id[MAX_PATH_BYTES];
    read_instance_id(index, set, device, id); /* before: the device is gone afterwards */
    if (!nt_run.nt_binding.SetupDiCallClassInstaller(DIF_REMOVE, set, device)) {
        report_failure(caption_call_class_installer, GetLastError(), id, NULL);
        return STATUS_FAILED;
    }
    SP_DEVINSTALL_PARAMS_A params;
    zero_bytes(&params, sizeof params);
    params.cbSize = sizeof params;
    if (!nt_run.nt_binding.SetupDiGetDeviceInstallParamsA(set, device, &params)) {
        DWORD error = GetLastError();
        if (error == ERROR_NO_SUCH_DEVINST)
            return STATUS_REMOVED;
        report_failure(caption_get_device_install_params, error, id, NULL);
        return STATUS_FAILED;
    }
    if (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) {
        *restart_reasons |= RESTART_FOR_DEVICE;
        note_removed_at_restart(id);
        LogLine line;
        line_begin(&line, text_log_device_at_restart);
        line_add_system(&line, id);
        log_line(&line);
    }
    return STATUS_REMOVED;
}

int begin_device_walk(DeviceWalk *walk)
{
    zero_bytes(walk, sizeof *walk);
    walk->set = nt_run.nt_binding.SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES);
    if (walk->set == INVALID_HANDLE_VALUE) {
        report_failure(caption_setup_di_get_class_devs, GetLastError(), NULL, NULL);
        walk->failed = 1;
        return 0;
    }
    walk->device.cbSize = sizeof(SP_DEVINFO_DATA);
    return 1;
}

int next_device(DeviceWalk *walk, int matches[NT_PRODUCT_COUNT])
{
    for (;;) {
        if (!nt_run.nt_binding.SetupDiEnumDeviceInfo(walk->set, walk->member, &walk->device)) {
            DWORD error = GetLastError();
            if (error != 0 && error != ERROR_NO_MORE_ITEMS) {
                report_failure(caption_unknown, error, NULL, NULL);
                walk->failed = 1;
            }
            return 0;
        }
        ++walk->member;
        DWORD byte_count = 0;
        char *list = read_hardware_ids(walk->set, &walk->device, &byte_count);
        if (list == NULL)
            continue; /* no hardware IDs, or they cannot be read (reported) */
        for (int index = 0; index < NT_PRODUCT_COUNT; ++index)
            matches[index] = hardware_id_matches(index, list, byte_count);
        LocalFree(list);
        return 1;
    }
}

void end_device_walk(DeviceWalk *walk)
{
    nt_run.nt_binding.SetupDiDestroyDeviceInfoList(walk->set); /* the set is done with, whatever this returns */
}

/*
 * Hands every device instance on record whose hardware IDs include the
 * product's to the class installer for removal. Returns 0 when no such
 * device was there; otherwise the outcome of the last one,
 * 1 removed or 0xFFFF after its box (remove_device); 0xFFFF when the
 * set cannot be built ("SetupDiGetClassDevs()" box) or the walk ends on an
 * unexpected error ("Unknown" box). A device the restart removes adds
 * RESTART_FOR_DEVICE to *restart_reasons.
 */
int remove_product_devices(int index, int *restart_reasons)
{
    DeviceWalk walk;
    if (!begin_device_walk(&walk))
        return STATUS_FAILED;
    int result = STATUS_NOTHING;
    int matches[NT_PRODUCT_COUNT];
    while (next_device(&walk, matches))
        if (matches[index])
            result = remove_device(index, walk.set, &walk.device, restart_reasons);
    if (walk.failed)
        result = STATUS_FAILED;
    end_device_walk(&walk);
    return result;
}
