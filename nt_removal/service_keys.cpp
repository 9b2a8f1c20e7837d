/*
 * service_keys.cpp - deletes the product's service key, with all its
 * subkeys, in CurrentControlSet and in every ControlSetNNN of SYSTEM.
 */
#include "nt_steps.h"
#include "../common/error_report.h"
#include "../common/key_deletion.h"
#include "../common/texts.h"

/* Keys are deleted this many levels below the service key at most; a
   deeper key is tried as it is, and Windows refuses it while it has
   subkeys (a registry no installer writes: it is reported). */
#define SERVICE_KEY_DEPTH 32

/* NtDeleteKey and RtlNtStatusToDosError, which only ntdll exports: the one
   way to delete a registry link itself (RegDeleteKeyA follows it). */
typedef LONG(WINAPI *NtDeleteKey_fn)(HANDLE);
typedef ULONG(WINAPI *RtlNtStatusToDosError_fn)(LONG);

/*
 * 1 when the key `name` below HKLM\<parent_path>, open as `key` with
 * REG_OPTION_OPEN_LINK, is a registry link: it holds "SymbolicLinkValue"
 * of type REG_LINK. 0 when it is not; -1 after a "RegEnumValue()" box:
 * a key that may be a link is not deleted, lest its target go.
 */
static int is_registry_link(HKEY key, const char *parent_path, const char *name)
{
    char value[MAX_PATH_BYTES];
    for (DWORD i = 0;; ++i) {
        DWORD value_length = MAX_PATH_BYTES;
        DWORD type = 0;
        LONG result = nt_run.nt_binding.registry.RegEnumValueA(key, i, value, &value_length, NULL, &type, NULL, NULL);
        if (result == ERROR_MORE_DATA)
            continue; /* a name longer than ours is not the one */
        if (result == ERROR_NO_MORE_ITEMS)
            return 0;
        if (result != ERROR_SUCCESS) {
            report_registry_failure(caption_reg_enum_value, result, parent_path, name);
            return -1;
        }
        if (type == REG_LINK && texts_equal_nocase(value, "SymbolicLinkValue"))
            return 1;
    }
}

/*
 * Deletes the link `name` below `parent` (HKLM\<parent_path>) as a link,
 * never what it points to. Returns 1 when deleted; 0 after a
 * "RegOpenKeyEx()" or "RegDeleteKey()" box.
 */
static int delete_link(HKEY parent, const char *parent_path, const char *name)
{
    HKEY link = NULL;
    LONG result = nt_run.nt_binding.registry.RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, DELETE, &link);
    if (result != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_open_key_ex, result, parent_path, name);
        return 0;
    }
    HMODULE ntdll = GetModuleHandleA("ntdll"); /* mapped into every NT process */
    NtDeleteKey_fn nt_delete_key = ntdll ? (NtDeleteKey_fn)(void (*)(void))GetProcAddress(ntdll, "NtDeleteKey") : NULL;
    RtlNtStatusToDosError_fn to_error =
        ntdll ? (RtlNtStatusToDosError_fn)(void (*)(void))GetProcAddress(ntdll, "RtlNtStatusToDosError") : NULL;
    result = nt_delete_key && to_error ? (LONG)to_error(nt_delete_key(link)) : ERROR_PROC_NOT_FOUND;
    nt_run.nt_binding.registry.RegCloseKey(link); /* deleted or not, the handle goes */
    if (result == ERROR_SUCCESS)
        return 1;
    report_registry_failure(caption_reg_delete_key, result, parent_path, name);
    return 0;
}

/* What emptying a key left: a key without subkeys, a link (never emptied:
   its target is another key), or a key that stays after a box. */
#define EMPTIED_KEY 0
#define EMPTIED_LINK 1
#define NOT_EMPTIED -1

/*
 * Deletes the key `name` below `parent` (HKLM\<parent_path>) once
 * empty_open_key has emptied it: a link as a link, any other key with
 * RegDeleteKeyA. Returns 1 when deleted; 0 after a box, or when it was not
 * emptied.
 */
static int delete_emptied_key(HKEY parent, const char *parent_path, const char *name, int emptied)
{
    if (emptied == NOT_EMPTIED)
        return 0;
    if (emptied == EMPTIED_LINK)
        return delete_link(parent, parent_path, name);
    return delete_key_or_report(&nt_run.nt_binding.registry, parent, parent_path, name);
}

static int empty_open_key(const char *parent_path, const char *name, HKEY key, int depth);

/*
 * Deletes every subkey of the open key `key` (HKLM\<key_path>, its final
 * backslash included), each with all below it, always at index 0 since
 * each deletion moves the next one to the front. Subkeys are opened
 * without following links (REG_OPTION_OPEN_LINK). Returns 1 when no subkey
 * is left (also when there was none); 0 after a box, the remaining subkeys
 * kept: a subkey did not open or go, or the subkey it reported deleted is
 * still at the front (ERROR_CANTWRITE).
 */
static int delete_subkeys(HKEY key, const char *key_path, int depth)
{
    char name[MAX_PATH_BYTES];
    char deleted[MAX_PATH_BYTES]; /* the subkey deleted last, or empty */
    zero_bytes(deleted, sizeof deleted);
    for (;;) {
        DWORD name_length = MAX_PATH_BYTES;
        FILETIME written;
        if (nt_run.nt_binding.registry.RegEnumKeyExA(key, 0, name, &name_length, NULL, NULL, NULL, &written) != ERROR_SUCCESS)
            return 1;
        if (deleted[0] != '\0' && texts_equal(name, deleted)) {
            /* reported deleted, yet still there: asking again would never end */
            report_registry_failure(caption_reg_delete_key, ERROR_CANTWRITE, key_path, name);
            return 0;
        }
        HKEY subkey = NULL;
        LONG result = nt_run.nt_binding.registry.RegOpenKeyExA(key, name, REG_OPTION_OPEN_LINK, KEY_READ, &subkey);
        if (result != ERROR_SUCCESS) {
            report_registry_failure(caption_reg_open_key_ex, result, key_path, name);
            return 0;
        }
        if (!delete_emptied_key(key, key_path, name, empty_open_key(key_path, name, subkey, depth + 1)))
            return 0; /* stop: index 0 would name the same key again */
        copy_text(deleted, sizeof deleted, name);
    }
}

/*
 * Empties the key `name` below HKLM\<parent_path>, open as `key` without
 * following links (REG_OPTION_OPEN_LINK, KEY_READ): deletes every subkey
 * at any depth, deepest first, down to SERVICE_KEY_DEPTH levels below the
 * service key (depth 0). A link is left as it is: what it points to is
 * not the service's. Closes `key`. Returns EMPTIED_KEY, EMPTIED_LINK, or
 * NOT_EMPTIED after a box ("RegOpenKeyEx()", "RegEnumValue()",
 * "RegDeleteKey()" or "RegCloseKey()").
 */
static int empty_open_key(const char *parent_path, const char *name, HKEY key, int depth)
{
    int link = is_registry_link(key, parent_path, name);
    char key_path[MAX_PATH_BYTES];
    if (!join_text(key_path, sizeof key_path, parent_path, name, "\\"))
        copy_text(key_path, sizeof key_path, name); /* only the log names it */
    int emptied = link == 1 ? EMPTIED_LINK : NOT_EMPTIED;
    if (link == 0 && (depth >= SERVICE_KEY_DEPTH || delete_subkeys(key, key_path, depth)))
        emptied = EMPTIED_KEY;
    if (!close_key_or_report(&nt_run.nt_binding.registry, key, parent_path, name))
        return NOT_EMPTIED;
    return emptied;
}

/*
 * Opens the product's service key below one open "Services" key
 * (HKLM\<services_path>): the subkey whose name equals the service name
 * without regard to case, whole (the registry compares names so), opened
 * as it is, a link included, for reading. Returns SERVICE_KEY_OPENED with
 * the handle in *service_key; SERVICE_KEY_ABSENT when it is not there
 * (ERROR_FILE_NOT_FOUND: nothing shown); SERVICE_KEY_FAILED after a
 * "RegOpenKeyEx()" box, or for a null "Services" key.
 */
int open_service_key(HKEY services_key, const char *services_path, int index, HKEY *service_key)
{
    *service_key = NULL;
    if (services_key == NULL)
        return SERVICE_KEY_FAILED;
    const char *service = nt_product_table[index].service_name;
    LONG result = nt_run.nt_binding.registry.RegOpenKeyExA(services_key, service, REG_OPTION_OPEN_LINK, KEY_READ, service_key);
    if (result == ERROR_SUCCESS)
        return SERVICE_KEY_OPENED;
    *service_key = NULL;
    if (result == ERROR_FILE_NOT_FOUND)
        return SERVICE_KEY_ABSENT;
    report_registry_failure(caption_reg_open_key_ex, result, services_path, service);
    return SERVICE_KEY_FAILED;
}

/*
 * Deletes the product's service key below one open "Services" key, with
 * every subkey at any depth. Returns 0 when it is not there, 1 when
 * deleted, 0xFFFF for a null key or after a box ("RegOpenKeyEx()",
 * "RegDeleteKey()" or "RegCloseKey()"); the service key then stays.
 */
int remove_service_key(HKEY services_key, const char *services_path, int index)
{
    HKEY service_key = NULL;
    int found = open_service_key(services_key, services_path, index, &service_key);
    if (found != SERVICE_KEY_OPENED)
        return found == SERVICE_KEY_ABSENT ? STATUS_NOTHING : STATUS_FAILED;
    const char *service = nt_product_table[index].service_name;
    int emptied = empty_open_key(services_path, service, service_key, 0);
    return delete_emptied_key(services_key, services_path, service, emptied) ? STATUS_REMOVED : STATUS_FAILED;
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

/* The number of a "ControlSetNNN" name (letters without regard to case,
   exactly three decimal digits), 0 to 999; -1 for any other name. */
static int control_set_number(const char *name)
{
    static const char prefix[] = "ControlSet";
    int at = 0;
    for (; prefix[at] != '\0'; ++at) {
        char c = name[at] >= 'a' && name[at] <= 'z' ? (char)(name[at] - 'a' + 'A') : name[at];
        char p = prefix[at] >= 'a' && prefix[at] <= 'z' ? (char)(prefix[at] - 'a' + 'A') : prefix[at];
        if (c != p)
            return -1;
    }
    int number = 0;
    for (int digits = 0; digits < 3; ++digits, ++at) {
        if (name[at] < '0' || name[at] > '9')
            return -1;
        number = number * 10 + (name[at] - '0');
    }
    return name[at] == '\0' ? number : -1;
}

/* Marks in walk->numbered every ControlSetNNN that SYSTEM holds, in one
   enumeration. Returns 1; 0 after a "RegOpenKeyEx()" or "RegEnumKeyEx()"
   box (walk->failed): a control set may then be missed. SYSTEM not there
   lists none. */
static int list_control_sets(ControlSetWalk *walk)
{
    HKEY system = NULL;
    LONG result = nt_run.nt_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &system);
    if (result != ERROR_SUCCESS) {
        if (result == ERROR_FILE_NOT_FOUND)
            return 1;
        report_registry_failure(caption_reg_open_key_ex, result, "SYSTEM", NULL);
        walk->failed = 1;
        return 0;
    }
    char name[MAX_PATH_BYTES];
    for (DWORD i = 0;; ++i) {
        DWORD name_length = MAX_PATH_BYTES;
        FILETIME written;
        result = nt_run.nt_binding.registry.RegEnumKeyExA(system, i, name, &name_length, NULL, NULL, NULL, &written);
        if (result == ERROR_MORE_DATA)
            continue; /* a name longer than ours is no control set */
        if (result != ERROR_SUCCESS)
            break;
        int number = control_set_number(name);
        if (number >= 0)
            walk->numbered[number] = 1;
    }
    nt_run.nt_binding.registry.RegCloseKey(system); /* only read */
    if (result == ERROR_NO_MORE_ITEMS)
        return 1;
    report_registry_failure(caption_reg_enum_key_ex, result, "SYSTEM", NULL);
    walk->failed = 1;
    return 0;
}

/* Puts the next control set's "Services" path in walk->path: the current
   one first, then each numbered one SYSTEM holds, in ascending order.
   Returns 1; 0 at the end (walk->ended). */
static int next_control_set_path(ControlSetWalk *walk)
{
    if (walk->number == WALK_NOT_BEGUN) {
        walk->number = WALK_CURRENT_SET;
        return copy_text(walk->path, sizeof walk->path, "SYSTEM\\CurrentControlSet\\Services\\");
    }
    if (walk->number == WALK_CURRENT_SET && !list_control_sets(walk))
        walk->ended = 1;
    while (!walk->ended) {
        if (++walk->number > LAST_CONTROL_SET)
            break;
        if (walk->numbered[walk->number])
            return build_control_set_path(walk->path, sizeof walk->path, walk->number);
    }
    walk->ended = 1;
    return 0;
}

void begin_control_set_walk(ControlSetWalk *walk)
{
    zero_bytes(walk, sizeof *walk);
    walk->number = WALK_NOT_BEGUN;
}

int next_services_key(ControlSetWalk *walk, HKEY *services_key)
{
    for (;;) {
        *services_key = NULL;
        if (walk->ended || !next_control_set_path(walk)) {
            walk->ended = 1;
            return 0;
        }
        LONG opened = nt_run.nt_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, walk->path, 0, KEY_READ, services_key);
        if (opened == ERROR_SUCCESS)
            return 1;
        *services_key = NULL;
        if (opened != ERROR_FILE_NOT_FOUND) {
            /* there, but refused: its service key may stay; the walk ends
               there, as it always has */
            report_registry_failure(caption_reg_open_key_ex, opened, walk->path, NULL);
            walk->failed = 1;
            walk->ended = 1;
            return 0;
        }
        /* a control set without "Services": the next one */
    }
}

int end_services_key(ControlSetWalk *walk, HKEY services_key)
{
    RegFlushKey(services_key); /* imported (every Windows has it); best effort: the deletions stand */
    LONG result = nt_run.nt_binding.registry.RegCloseKey(services_key);
    if (result == ERROR_SUCCESS)
        return 1;
    report_registry_failure(caption_reg_close_key, result, walk->path, NULL);
    walk->failed = 1;
    walk->ended = 1;
    return 0;
}

/*
 * Deletes the product's service key in every control set of the walk.
 * Returns the OR of the results of every control set visited: 0 found
 * nowhere, 1 deleted, 0xFFFF after any box, the walk's own included.
 */
int remove_service_keys(int index)
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
    return accumulated;
}
