/*
 * class_inf_name.cpp - finds the INF file Windows copied for the product's
 * modem, from the "InfPath" of its driver key under the Modem class key.
 */
#include "nt_steps.h"
#include "../common/error_report.h"
#include "../common/texts.h"


static const char modem_class_key[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\"
                                      "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\";

/* One value of a driver key, each part in its own zero-filled buffer. */
struct DriverValue {
    char name[MAX_PATH_BYTES];
    char data[MAX_PATH_BYTES];
};

/*
 * Reads value `v` of the driver key into *value. Returns the LONG result
 * of RegEnumValueA: 0 for a value, anything else ends the walk, and any end
 * but ERROR_NO_MORE_ITEMS gets a "RegEnumValue()" box. A name or data that
 * does not fit in 260 bytes (another vendor's long value) is none the walk
 * looks for, as the series' ID and an INF name are short: it reads as
 * empty and the walk goes on, so it hides no value after it.
 */
static LONG read_driver_value(HKEY driver_key, DWORD v, DriverValue *value)
{
    DWORD name_length = MAX_PATH_BYTES;
    DWORD data_length = MAX_PATH_BYTES;
    DWORD type = 0;
    zero_bytes(value, sizeof *value);
    LONG result = nt_run.nt_binding.registry.RegEnumValueA(driver_key, v, value->name, &name_length, NULL, &type,
                                                 (LPBYTE)value->data, &data_length);
    if (result == ERROR_MORE_DATA) {
        zero_bytes(value, sizeof *value);
        return ERROR_SUCCESS;
    }
    if (result != ERROR_SUCCESS && result != ERROR_NO_MORE_ITEMS)
        report_registry_failure(caption_reg_enum_value, result, modem_class_key, NULL);
    return result;
}

/* 1 when the data is text that ends within its 260 bytes; registry data
   is untrusted and may fill the buffer without a NUL. */
static int is_terminated(const char *data)
{
    return bounded_length(data, MAX_PATH_BYTES) < MAX_PATH_BYTES;
}

/* Device names that Windows opens whatever the folder or extension
   ("NUL.inf" is the null device, not a file of the INF directory). */
static const char *const reserved_device_names[] = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

/* 1 when the byte is one that no plain file name holds: a folder or drive
   separator, a wildcard (the DOS ones too), a pipe or a control character. */
static int is_name_breaking_byte(unsigned char c)
{
    return c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '<' || c == '>' ||
           c == '"' || c == '|';
}

/* 1 when the part of the name before its dot is a reserved device name. */
static int is_reserved_device_name(const char *name, int base_length)
{
    char base[8];
    if (base_length >= (int)sizeof base)
        return 0;
    zero_bytes(base, sizeof base);
    for (int i = 0; i < base_length; ++i)
        base[i] = name[i];
    for (int i = 0; i < COUNT_OF(reserved_device_names); ++i)
        if (texts_equal_nocase(base, reserved_device_names[i]))
            return 1;
    return 0;
}

/*
 * 1 when `name` is a plain "name.inf" of the INF directory: one dot, then
 * "inf" in any case, a name before it that does not end in a blank and is
 * no reserved device name, and no byte that could lead the file step
 * outside that directory or match other files. 0 for anything else
 * ("", ".", "..", "oem3.inf.", "oem3.inf ", "a.b.inf", "NUL.inf", "*.inf").
 */
static int is_plain_inf_name(const char *name)
{
    int dot = -1;
    /* by whole characters of the system's code page: a trail byte may be
       0x5C without being a backslash */
    for (int i = 0; name[i] != '\0'; i += character_bytes(name + i)) {
        unsigned char c = (unsigned char)name[i];
        if (character_bytes(name + i) != 1)
            continue;
        if (is_name_breaking_byte(c))
            return 0;
        if (c == '.') {
            if (dot >= 0)
                return 0;
            dot = i;
        }
    }
    if (dot <= 0 || name[dot - 1] == ' ' || !texts_equal_nocase(name + dot, ".inf"))
        return 0;
    return !is_reserved_device_name(name, dot);
}

/* 1 when a value of the driver key names one of the product's hardware IDs
   (the device's own, or an interface's: hardware_id_names_product) as its
   "MatchingDeviceId" (the name without case); 0 at the first value that
   cannot be read. */
static int driver_key_matches(int index, HKEY driver_key)
{
    DriverValue value;
    for (DWORD v = 0; read_driver_value(driver_key, v, &value) == ERROR_SUCCESS; ++v) {
        if (is_terminated(value.data) && texts_equal_nocase(value.name, "MatchingDeviceId") &&
            hardware_id_names_product(index, value.data))
            return 1;
    }
    return 0;
}

/* Copies the data of every "InfPath" value (that exact spelling) that is
   a plain INF file name into inf_name (MAX_PATH_BYTES); the last one stays.
   Returns 1 when one was copied, else 0. */
static int copy_inf_path(HKEY driver_key, char *inf_name)
{
    DriverValue value;
    int copied = 0;
    for (DWORD v = 0; read_driver_value(driver_key, v, &value) == ERROR_SUCCESS; ++v) {
        if (!texts_equal(value.name, "InfPath") || !is_terminated(value.data) || !is_plain_inf_name(value.data))
            continue;
        zero_bytes(inf_name, MAX_PATH_BYTES);
        copy_text(inf_name, MAX_PATH_BYTES, value.data);
        copied = 1;
    }
    return copied;
}

/*
 * Puts the "InfPath" of the driver key `driver` ("{4D36E96D-...}\0001", as
 * a device's SPDRP_DRIVER names it, below the Class key) into inf_name
 * (MAX_PATH_BYTES). Returns 1; 0 when the key or the value is not there,
 * or after a "RegOpenKeyEx()" box for a key that is there but refused.
 */
int driver_key_inf_path(const char *driver, char *inf_name)
{
    char path[MAX_PATH_BYTES];
    if (!join_text(path, sizeof path, "SYSTEM\\CurrentControlSet\\Control\\Class\\", driver, ""))
        return 0; /* no driver key has so long a name */
    HKEY driver_key = NULL;
    LONG result = nt_run.nt_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &driver_key);
    if (result != ERROR_SUCCESS) {
        if (result != ERROR_FILE_NOT_FOUND)
            report_registry_failure(caption_reg_open_key_ex, result, path, NULL);
        return 0;
    }
    int found = copy_inf_path(driver_key, inf_name);
    RegCloseKey(driver_key); /* imported; a key only read: a failed close changes nothing */
    return found;
}

/*
 * Walks the driver keys of the open Modem class key; for each one whose
 * "MatchingDeviceId" is the product's hardware ID, takes its "InfPath"
 * into nt_run.class_inf_name, so the last matching key in enumeration order
 * wins. A driver key that cannot be opened gets a "RegOpenKeyEx()" box and
 * is skipped. Returns nothing; a null key returns at once.
 */
void scan_driver_keys(int index, HKEY class_key)
{
    if (class_key == NULL)
        return;
    char name[MAX_PATH_BYTES];
    zero_bytes(name, sizeof name);
    for (DWORD k = 0;; ++k) {
        DWORD name_length = MAX_PATH_BYTES;
        FILETIME written;
        LONG result = nt_run.nt_binding.registry.RegEnumKeyExA(class_key, k, name, &name_length, NULL, NULL, NULL, &written);
        if (result != ERROR_SUCCESS)
            break;

        HKEY driver_key = NULL;
        result = nt_run.nt_binding.registry.RegOpenKeyExA(class_key, name, 0, KEY_READ, &driver_key);
        if (result != ERROR_SUCCESS) {
            report_registry_failure(caption_reg_open_key_ex, result, modem_class_key, name);
            continue;
        }
        if (driver_key_matches(index, driver_key))
            copy_inf_path(driver_key, nt_run.class_inf_name);
        RegCloseKey(driver_key); /* imported (every Windows has it); a key only read: a failed close changes nothing */
    }
}

/* The shared name reads the PNF's once a pass has taken its class INF pair:
   the next product's pass finds it so when no driver key of its own matches. */
void carry_class_inf_name_over(void)
{
    make_pnf_name(nt_run.class_inf_name, MAX_PATH_BYTES);
}

/*
 * Records in nt_run.class_inf_name the INF file of the product's modem driver key.
 * When no driver key matches, or the Modem class key cannot be opened
 * ("RegOpenKeyEx()" box), the name keeps what it held. A failed close gets
 * a "RegCloseKey()" box. Returns nothing; no status changes.
 */
void find_class_inf_name(int index)
{
    HKEY class_key = NULL;
    LONG result = nt_run.nt_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, modem_class_key, 0, KEY_READ, &class_key);
    if (result != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_open_key_ex, result, modem_class_key, NULL);
        return;
    }
    scan_driver_keys(index, class_key);
    result = nt_run.nt_binding.registry.RegCloseKey(class_key);
    if (result != ERROR_SUCCESS)
        report_registry_failure(caption_reg_close_key, result, modem_class_key, NULL);
}
