/*
 * driver_files.cpp - deletes the product's driver, INF and PNF files from
 * the system, drivers and INF folders: current, class INF and legacy.
 *
 * Silent errors of SetFileAttributesA here: "file not found" for the
 * current files and the class INF pair; also "path not found" for the
 * legacy files, whose OTHER subfolder may be gone with them. Every other
 * failure is reported. A path that does not fit its buffer names no file:
 * the row counts as absent.
 */
#include "nt_steps.h"

/*
 * Deletes the class INF file and then its PNF (nt_run.class_inf_name with its
 * last three characters made "pnf", which the name reads afterwards); an
 * OEM INF's driver package is uninstalled first. Returns how many of the
 * two were deleted: 0, 1 or 2, and notes in *count how many were looked
 * for and found. Returns 0 for an empty name (*count untouched), and
 * CLASS_INF_FOLDER_FAILED after a "GetWindowsDirectory()" box. Boxes for
 * the files themselves change no status. A name shorter than three
 * characters has no PNF form: only the name itself is tried.
 */
int remove_class_inf_files(FileCount *count)
{
    if (nt_run.class_inf_name[0] == '\0')
        return 0;
    char windows[MAX_PATH_BYTES];
    if (!read_windows_folder(&nt_run.nt_binding.files, windows))
        return CLASS_INF_FOLDER_FAILED;

    int outcome[2];
    int listed = bounded_length(nt_run.class_inf_name, MAX_PATH_BYTES) >= 3 ? 2 : 1; /* with its PNF, when it has one */
    remove_inf_pair(windows, nt_run.class_inf_name, SILENT_FILE_NOT_FOUND, outcome);
    carry_class_inf_name_over();
    count->listed = listed;
    count->found = (outcome[0] != FILE_ABSENT) + (outcome[1] != FILE_ABSENT);
    return (outcome[0] == FILE_DELETED) + (outcome[1] == FILE_DELETED);
}

/*
 * Deletes the product's current files, then the class INF pair. Returns,
 * from the class INF pair alone: 0 none deleted, 0x1000 one, 1 both;
 * 0xFFFF when a folder could not be read or a current file could not be
 * made normal or deleted (after its box). *count is the class INF pair's.
 */
int remove_driver_files(int index, FileCount *count)
{
    WindowsFolders folders;
    if (!read_windows_folders(&nt_run.nt_binding.files, &folders))
        return STATUS_FAILED;

    int failure = 0;
    for (int row = 0; row < CURRENT_FILE_ROWS; ++row) {
        char path[MAX_PATH_BYTES];
        if (build_row_path(&folders, nt_file_table[index].current_files[row], FOLDERS_OF_NT_PACKAGE, path) !=
            ROW_PATH_BUILT)
            continue;
        int outcome = delete_file_at(&nt_run.nt_binding.files, path, SILENT_FILE_NOT_FOUND);
        if (outcome == FILE_ATTRIBUTES_FAILED || outcome == FILE_DELETE_FAILED)
            failure = 1;
    }

    count->listed = 0;
    count->found = 0;
    int deleted = remove_class_inf_files(count);
    if (failure || deleted == CLASS_INF_FOLDER_FAILED)
        return STATUS_FAILED;
    if (deleted == 2)
        return STATUS_REMOVED;
    if (deleted == 1)
        return STATUS_PARTLY_REMOVED;
    return STATUS_NOTHING;
}

/*
 * Returns 1 as soon as one of the product's legacy files exists (the probe
 * leaves it with normal attributes); 0 when none does; LEGACY_FOLDER_FAILED
 * after a folder box. A probe refused for another reason than absence
 * shows a "SetFileAttributes()" box and counts as absent.
 */
int legacy_files_present(int index)
{
    WindowsFolders folders;
    if (!read_windows_folders(&nt_run.nt_binding.files, &folders))
        return LEGACY_FOLDER_FAILED;

    for (int row = 0; row < LEGACY_FILE_ROWS; ++row) {
        char path[MAX_PATH_BYTES];
        if (build_row_path(&folders, nt_file_table[index].legacy_files[row], FOLDERS_OF_98_PACKAGE, path) !=
            ROW_PATH_BUILT)
            continue;
        if (probe_file(&nt_run.nt_binding.files, path, SILENT_FILE_NOT_FOUND | SILENT_PATH_NOT_FOUND))
            return 1;
    }
    return 0;
}

/*
 * Deletes the product's legacy files. Returns 0 none deleted, 0x1000 some
 * of the listed rows, 1 all of them; 0xFFFF after a folder box or a
 * "DeleteFile()" box. A "SetFileAttributes()" box only leaves that file
 * uncounted. *count is the rows listed and the files found.
 */
int remove_legacy_files(int index, FileCount *count)
{
    WindowsFolders folders;
    if (!read_windows_folders(&nt_run.nt_binding.files, &folders))
        return STATUS_FAILED;

    int listed = 0;
    int present = 0;
    int deleted = 0;
    int failure = 0;
    for (int row = 0; row < LEGACY_FILE_ROWS; ++row) {
        const char *name = nt_file_table[index].legacy_files[row];
        if (name[0] == '\0')
            continue;
        ++listed;
        char path[MAX_PATH_BYTES];
        if (build_row_path(&folders, name, FOLDERS_OF_98_PACKAGE, path) != ROW_PATH_BUILT)
            continue;
        int outcome = delete_file_at(&nt_run.nt_binding.files, path, SILENT_FILE_NOT_FOUND | SILENT_PATH_NOT_FOUND);
        present += outcome != FILE_ABSENT;
        if (outcome == FILE_DELETED)
            ++deleted;
        else if (outcome == FILE_DELETE_FAILED)
            failure = 1;
    }
    count->listed = listed;
    count->found = present;

    if (failure)
        return STATUS_FAILED;
    if (deleted == 0)
        return STATUS_NOTHING;
    if (deleted < listed)
        return STATUS_PARTLY_REMOVED;
    return STATUS_REMOVED;
}
