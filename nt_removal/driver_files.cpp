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

/* Reads both folders. Returns 1; or 0 after the box, with the product's
   file_status set to 0xFFFF. */
static int read_folders(int index, WindowsFolders *folders)
{
    if (read_windows_folders(&nt_run.nt_binding.files, folders))
        return 1;
    nt_run.nt_removal_status[index].file_status = STATUS_FAILED;
    return 0;
}

/* Keeps what the count behind file_status counted, for the log. */
static void note_file_counts(int index, int listed, int found)
{
    nt_run.nt_removal_status[index].files_listed = listed;
    nt_run.nt_removal_status[index].files_found = found;
}

/*
 * Deletes the class INF file and then its PNF (nt_run.class_inf_name with its
 * last three characters made "pnf", which the name reads afterwards); an
 * OEM INF's driver package is uninstalled first. Returns how many of the
 * two were deleted: 0, 1 or 2. Returns 0 for an empty name, and after a
 * "GetWindowsDirectory()" box, with file_status set to 0xFFFF. Boxes for
 * the files themselves change no status. A name shorter than three
 * characters has no PNF form: only the name itself is tried.
 */
int remove_class_inf_files(int index)
{
    if (nt_run.class_inf_name[0] == '\0')
        return 0;
    char windows[MAX_PATH_BYTES];
    if (!read_windows_folder(&nt_run.nt_binding.files, windows)) {
        nt_run.nt_removal_status[index].file_status = STATUS_FAILED;
        return 0;
    }

    int outcome[2];
    int listed = bounded_length(nt_run.class_inf_name, MAX_PATH_BYTES) >= 3 ? 2 : 1; /* with its PNF, when it has one */
    remove_inf_pair(windows, nt_run.class_inf_name, SILENT_FILE_NOT_FOUND, outcome);
    carry_class_inf_name_over();
    int deleted = (outcome[0] == FILE_DELETED) + (outcome[1] == FILE_DELETED);
    note_file_counts(index, listed, (outcome[0] != FILE_ABSENT) + (outcome[1] != FILE_ABSENT));
    return deleted;
}

/*
 * Deletes the product's current files, then the class INF pair. Stores in
 * file_status, from the class INF pair alone: 0 none deleted, 0x1000 one,
 * 1 both; 0xFFFF when a folder could not be read or a current file could
 * not be made normal or deleted (after its box).
 */
void remove_driver_files(int index)
{
    WindowsFolders folders;
    if (!read_folders(index, &folders))
        return;

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

    /* remove_class_inf_files marks its own folder failure in file_status. */
    nt_run.nt_removal_status[index].file_status = STATUS_NOTHING;
    note_file_counts(index, 0, 0);
    int deleted = remove_class_inf_files(index);
    if (failure || nt_run.nt_removal_status[index].file_status == STATUS_FAILED)
        nt_run.nt_removal_status[index].file_status = STATUS_FAILED;
    else if (deleted == 2)
        nt_run.nt_removal_status[index].file_status = STATUS_REMOVED;
    else if (deleted == 1)
        nt_run.nt_removal_status[index].file_status = STATUS_PARTLY_REMOVED;
    else
        nt_run.nt_removal_status[index].file_status = STATUS_NOTHING;
}

/*
 * Returns 1 as soon as one of the product's legacy files exists (the probe
 * leaves it with normal attributes); 0 when none does, or after a folder
 * box (file_status then 0xFFFF). A probe refused for another reason than
 * absence shows a "SetFileAttributes()" box and counts as absent.
 */
int legacy_files_present(int index)
{
    WindowsFolders folders;
    if (!read_folders(index, &folders))
        return 0;

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
 * Deletes the product's legacy files. Stores in file_status: 0 none
 * deleted, 0x1000 some of the listed rows, 1 all of them; 0xFFFF after a
 * folder box or a "DeleteFile()" box. A "SetFileAttributes()" box only
 * leaves that file uncounted.
 */
void remove_legacy_files(int index)
{
    WindowsFolders folders;
    if (!read_folders(index, &folders))
        return;

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
    note_file_counts(index, listed, present);

    if (failure)
        nt_run.nt_removal_status[index].file_status = STATUS_FAILED;
    else if (deleted == 0)
        nt_run.nt_removal_status[index].file_status = STATUS_NOTHING;
    else if (deleted < listed)
        nt_run.nt_removal_status[index].file_status = STATUS_PARTLY_REMOVED;
    else
        nt_run.nt_removal_status[index].file_status = STATUS_REMOVED;
}
