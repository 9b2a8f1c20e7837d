/*
 * class_driver_keys.cpp - the driver key an instance's "Driver" value
 * names, below System\CurrentControlSet\Services\Class.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/key_deletion.h"
#include "../common/texts.h"

static const char class_key_prefix[] = "System\\CurrentControlSet\\Services\\Class\\";

/*
 * is_driver_value - 1 when a value name is "Driver", byte for byte (the
 * registry ignores case in names; this program does not), else 0.
 */
int is_driver_value(const char *name)
{
    return texts_equal(name, "Driver");
}

/*
 * names_one_driver_key - 1 when data reads "<class>\<instance>": exactly one
 * backslash, with text on both sides; else 0. Anything else would name a
 * whole class, the class tree itself or a key below a driver key, and on
 * this platform RegDeleteKeyA takes every subkey with it.
 */
static int names_one_driver_key(const char *data, int length)
{
    int separators = 0;
    int part_length = 0;
    for (int i = 0; i < length; ++i) {
        if (i + 1 < length && character_bytes(data + i) == 2) {
            ++i; /* a trail byte may be 0x5C and is no backslash */
            ++part_length;
        } else if (data[i] == '\\') {
            if (part_length == 0)
                return 0;
            ++separators;
            part_length = 0;
        } else {
            ++part_length;
        }
    }
    return separators == 1 && part_length > 0;
}

/*
 * build_driver_key_path - builds "System\CurrentControlSet\Services\Class\"
 * followed by a "Driver" value's data (a MAX_PATH_BYTES buffer that may
 * lack its NUL) into path (MAX_PATH_BYTES, zero-filled first).
 * Returns DRIVER_PATH_BUILT; DRIVER_VALUE_INVALID when the data names no
 * single driver key (path empty: nothing may be deleted for it);
 * DRIVER_PATH_TOO_LONG when the path does not fit (path empty).
 */
int build_driver_key_path(const char *data, char *path)
{
    zero_bytes(path, MAX_PATH_BYTES);
    int length = bounded_length(data, MAX_PATH_BYTES);
    if (length == MAX_PATH_BYTES)
        return DRIVER_PATH_TOO_LONG; /* fills the buffer with no NUL */
    if (!names_one_driver_key(data, length))
        return DRIVER_VALUE_INVALID;
    return join_text(path, MAX_PATH_BYTES, class_key_prefix, data, "") ? DRIVER_PATH_BUILT : DRIVER_PATH_TOO_LONG;
}

/* The data of a "Driver" value as text (MAX_PATH_BYTES) for the log: cut
   where its 260 bytes end when it has no NUL within them. */
static void copy_data_text(const char *data, char *text)
{
    int length = bounded_length(data, MAX_PATH_BYTES - 1);
    for (int i = 0; i < length; ++i)
        text[i] = data[i];
    text[length] = '\0';
}

/*
 * delete_named_driver_key - deletes the driver key a "Driver" value's data
 * names, with all its subkeys. Returns 1 when deleted; 0 when the data
 * names no single driver key (nothing deleted, nothing shown); -1 after a
 * reported failure: the deletion failed (a driver key that is no longer
 * there included: an instance that points at a missing driver key is a
 * damaged installation the user is told about), or the path does not fit
 * its buffer (reported as a deletion refused for a name too long).
 */
int delete_named_driver_key(const char *data)
{
    char path[MAX_PATH_BYTES];

    int built = build_driver_key_path(data, path);
    if (built == DRIVER_VALUE_INVALID)
        return 0;
    if (built == DRIVER_PATH_TOO_LONG) {
        char shown[MAX_PATH_BYTES];
        copy_data_text(data, shown);
        report_registry_failure(caption_reg_delete_key, ERROR_FILENAME_EXCED_RANGE, class_key_prefix, shown);
        return -1;
    }
    return delete_key_or_report(&win9x_run.win9x_binding.registry, HKEY_LOCAL_MACHINE, NULL, path) ? 1 : -1;
}

/*
 * read_instance_value - asks for value `index` of an instance key, both
 * sizes at MAX_PATH_BYTES; the type is not used. Returns RegEnumValueA's
 * result: 0 for one value; anything else ends the caller's walk over the
 * values, and any end but ERROR_NO_MORE_ITEMS gets a "RegEnumValue()" box.
 * A name or data too long for its buffer is none the walks look for (a
 * "Driver" value names a short key): it reads as empty and the walk goes
 * on, so it hides no value after it.
 */
LONG read_instance_value(HKEY key, DWORD index, char *name, char *data)
{
    DWORD name_size = MAX_PATH_BYTES;
    DWORD data_size = MAX_PATH_BYTES;
    DWORD type = 0;

    zero_bytes(name, MAX_PATH_BYTES);
    zero_bytes(data, MAX_PATH_BYTES);
    LONG result = win9x_run.win9x_binding.registry.RegEnumValueA(key, index, name, &name_size, NULL, &type, (LPBYTE)data, &data_size);
    if (result == ERROR_MORE_DATA) {
        zero_bytes(name, MAX_PATH_BYTES);
        zero_bytes(data, MAX_PATH_BYTES);
        return ERROR_SUCCESS;
    }
    if (result != ERROR_SUCCESS && result != ERROR_NO_MORE_ITEMS)
        report_registry_failure(caption_reg_enum_value, result, NULL, NULL);
    return result;
}
