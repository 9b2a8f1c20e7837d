/*
 * driver_files.cpp - deletes the product's driver, INF and PNF files from
 * the system, drivers and INF directories: current, class INF and legacy.
 */
#include "nt_steps.h"
#include "../shell/error_report.h"

/* What became of one file. */
#define FILE_DELETED 1
#define FILE_ABSENT 2
#define FILE_ATTRIBUTES_FAILED 3 /* "SetFileAttributes()" box shown */
#define FILE_DELETE_FAILED 4     /* "DeleteFile()" box shown */

/* Which errors of SetFileAttributesA only say that a file is absent. */
#define SILENT_FILE_NOT_FOUND 0
#define SILENT_PATH_NOT_FOUND 1 /* legacy rows: their OTHER subdirectory may be gone */

/*
 * Reads one Windows directory into `directory` (MAX_PATH_BYTES). Returns 1;
 * or 0 after a box under `caption`, with the product's file_status set to
 * 0xFFFF. A directory that does not fit leaves the buffer empty, so no
 * path is built on it.
 */
static int obtain_directory(int index, GetWindowsDirectoryA_fn get_directory, const char *caption, char *directory)
{
    zero_bytes(directory, MAX_PATH_BYTES);
    UINT length = get_directory(directory, MAX_PATH_BYTES);
    if (length == 0) {
        report_system_error(caption);
        removal_status[index].file_status = STATUS_FAILED;
        return 0;
    }
    if (length >= MAX_PATH_BYTES)
        directory[0] = '\0';
    return 1;
}

static int obtain_windows_directory(int index, char *windows)
{
    return obtain_directory(index, platform_binding.GetWindowsDirectoryA, "Function : GetWindowsDirectory()", windows);
}

static int obtain_system_directory(int index, char *system)
{
    return obtain_directory(index, platform_binding.GetSystemDirectoryA, "Function : GetSystemDirectory()", system);
}

/* Builds directory + separator + name into path. Returns 1, or 0 when the
   directory is unknown or the path does not fit (the row counts as absent). */
static int build_file_path(char *path, const char *directory, const char *separator, const char *name)
{
    if (directory[0] == '\0')
        return 0;
    return join_text(path, MAX_PATH_BYTES, directory, separator, name);
}

/*
 * Makes the file normal and deletes it. Returns FILE_DELETED; FILE_ABSENT
 * when SetFileAttributesA fails with a silent error for this source;
 * FILE_ATTRIBUTES_FAILED or FILE_DELETE_FAILED after the box.
 */
static int delete_one_file(const char *path, int silent)
{
    if (!platform_binding.SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL)) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || (silent == SILENT_PATH_NOT_FOUND && error == ERROR_PATH_NOT_FOUND))
            return FILE_ABSENT;
        report_system_error("Function : SetFileAttributes()");
        return FILE_ATTRIBUTES_FAILED;
    }
    if (!platform_binding.DeleteFileA(path)) {
        report_system_error("Function : DeleteFile()");
        return FILE_DELETE_FAILED;
    }
    return FILE_DELETED;
}

/* Builds the path of a current file: drivers for kind sys, INF directory
   for inf and pnf. Returns 0 for any other kind or a path that does not fit. */
static int current_file_path(char *path, const char *windows, const char *system, const char *name)
{
    int kind = file_kind(name);
    if (kind == FILE_KIND_SYS)
        return build_file_path(path, system, "\\drivers\\", name);
    if (kind == FILE_KIND_INF || kind == FILE_KIND_PNF)
        return build_file_path(path, windows, "\\inf\\", name);
    return 0;
}

/* Builds the path of a legacy file: the system directory for sys and vxd,
   the INF directory for inf and pnf. Returns 0 for kind 0 or no fit. */
static int legacy_file_path(char *path, const char *windows, const char *system, const char *name)
{
    int kind = file_kind(name);
    if (kind == FILE_KIND_SYS || kind == FILE_KIND_VXD)
        return build_file_path(path, system, "\\", name);
    if (kind == FILE_KIND_INF || kind == FILE_KIND_PNF)
        return build_file_path(path, windows, "\\inf\\", name);
    return 0;
}

/*
 * Deletes the class INF file and then its PNF (class_inf_name with its
 * last three characters made "pnf", in place). Returns how many of the
 * two were deleted: 0, 1 or 2. Returns 0 for an empty name, and after a
 * "GetWindowsDirectory()" box, with file_status set to 0xFFFF. Boxes for
 * the files themselves change no status. A name shorter than three
 * characters has no PNF form: only the name itself is tried.
 */
int remove_class_inf_files(int index)
{
    if (class_inf_name[0] == '\0')
        return 0;
    char windows[MAX_PATH_BYTES];
    if (!obtain_windows_directory(index, windows))
        return 0;

    int count = 0;
    for (int pass = 0; pass < 2; ++pass) {
        char path[MAX_PATH_BYTES];
        if (build_file_path(path, windows, "\\inf\\", class_inf_name) &&
            delete_one_file(path, SILENT_FILE_NOT_FOUND) == FILE_DELETED)
            ++count;
        int length = bounded_length(class_inf_name, MAX_PATH_BYTES);
        if (length < 3)
            break;
        class_inf_name[length - 3] = '\0';
        append_text(class_inf_name, MAX_PATH_BYTES, "pnf");
    }
    return count;
}

/*
 * Deletes the product's current files, then the class INF pair. Stores in
 * file_status, from the class INF pair alone: 0 none deleted, 0x1000 one,
 * 1 both; 0xFFFF when a directory could not be read or a current file
 * could not be made normal or deleted (after its box).
 */
void remove_driver_files(int index)
{
    char windows[MAX_PATH_BYTES];
    char system[MAX_PATH_BYTES];
    if (!obtain_windows_directory(index, windows) || !obtain_system_directory(index, system))
        return;

    int failure = 0;
    for (int row = 0; row < CURRENT_FILE_ROWS; ++row) {
        const char *name = nt_file_table[index].current_files[row];
        char path[MAX_PATH_BYTES];
        if (name[0] == '\0' || !current_file_path(path, windows, system, name))
            continue;
        int outcome = delete_one_file(path, SILENT_FILE_NOT_FOUND);
        if (outcome == FILE_ATTRIBUTES_FAILED || outcome == FILE_DELETE_FAILED)
            failure = 1;
    }

    /* remove_class_inf_files marks its own directory failure in file_status. */
    removal_status[index].file_status = STATUS_NOTHING;
    int deleted = remove_class_inf_files(index);
    if (failure || removal_status[index].file_status == STATUS_FAILED)
        removal_status[index].file_status = STATUS_FAILED;
    else if (deleted == 2)
        removal_status[index].file_status = STATUS_REMOVED;
    else if (deleted == 1)
        removal_status[index].file_status = STATUS_PARTLY_REMOVED;
    else
        removal_status[index].file_status = STATUS_NOTHING;
}

/*
 * Returns 1 as soon as one of the product's legacy files exists (the probe
 * leaves it with normal attributes); 0 when none does, or after a
 * directory box (file_status then 0xFFFF). A probe refused for another
 * reason than absence shows a "SetFileAttributes()" box and counts as absent.
 */
int legacy_files_present(int index)
{
    char windows[MAX_PATH_BYTES];
    char system[MAX_PATH_BYTES];
    if (!obtain_windows_directory(index, windows) || !obtain_system_directory(index, system))
        return 0;

    for (int row = 0; row < LEGACY_FILE_ROWS; ++row) {
        const char *name = nt_file_table[index].legacy_files[row];
        char path[MAX_PATH_BYTES];
        if (name[0] == '\0' || !legacy_file_path(path, windows, system, name))
            continue;
        if (platform_binding.SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL))
            return 1;
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            report_system_error("Function : SetFileAttributes()");
    }
    return 0;
}

/*
 * Deletes the product's legacy files. Stores in file_status: 0 none
 * deleted, 0x1000 some of the listed rows, 1 all of them; 0xFFFF after a
 * directory box or a "DeleteFile()" box. A "SetFileAttributes()" box only
 * leaves that file uncounted.
 */
void remove_legacy_files(int index)
{
    char windows[MAX_PATH_BYTES];
    char system[MAX_PATH_BYTES];
    if (!obtain_windows_directory(index, windows) || !obtain_system_directory(index, system))
        return;

    int listed = 0;
    int deleted = 0;
    int failure = 0;
    for (int row = 0; row < LEGACY_FILE_ROWS; ++row) {
        const char *name = nt_file_table[index].legacy_files[row];
        if (name[0] == '\0')
            continue;
        ++listed;
        char path[MAX_PATH_BYTES];
        if (!legacy_file_path(path, windows, system, name))
            continue;
        int outcome = delete_one_file(path, SILENT_PATH_NOT_FOUND);
        if (outcome == FILE_DELETED)
            ++deleted;
        else if (outcome == FILE_DELETE_FAILED)
            failure = 1;
    }

    if (failure)
        removal_status[index].file_status = STATUS_FAILED;
    else if (deleted == 0)
        removal_status[index].file_status = STATUS_NOTHING;
    else if (deleted < listed)
        removal_status[index].file_status = STATUS_PARTLY_REMOVED;
    else
        removal_status[index].file_status = STATUS_REMOVED;
}
