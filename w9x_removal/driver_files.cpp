/*
 * driver_files.cpp - deletes the product's VxD and SYS files from the system
 * folder and its INF and PNF files from the Windows INF folder.
 *
 * Only "file not found" is silent here: a missing OTHER subfolder is
 * reported, and so is a path that does not fit its buffer.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/texts.h"

/*
 * report_path_too_long - reports a row whose path does not fit, as the
 * attribute change that could not be made: the name is too long.
 * Returns nothing.
 */
void report_path_too_long(const char *row)
{
    report_failure(caption_set_file_attributes, ERROR_FILENAME_EXCED_RANGE, row, NULL);
}

/*
 * remove_win9x_driver_files - tries every row of the product's file table
 * and returns its file status: 0xFFFF when a failure was reported (a
 * folder, an attribute change other than for a missing file, a deletion,
 * or a path too long for its buffer); else 0 when no file was deleted;
 * 0x1000 when fewer files were deleted than rows are listed; 1 when all
 * listed files were deleted. *count gets the rows listed and the files
 * found (not after a folder failure).
 */
int remove_win9x_driver_files(int index, FileCount *count)
{
    WindowsFolders folders;
    char path[MAX_PATH_BYTES];
    int listed = 0;
    int present = 0;
    int deleted = 0;
    int failed = 0;

    if (!read_windows_folders(&win9x_run.win9x_binding.files, &folders))
        return STATUS_FAILED;
    for (int row = 0; row < WIN9X_FILE_ROWS; ++row) {
        const char *name = win9x_file_table[index].rows[row];
        if (name[0] == '\0')
            continue;
        ++listed;
        int built = build_row_path(&folders, name, FOLDERS_OF_98_PACKAGE, path);
        if (built == ROW_PATH_TOO_LONG) {
            report_path_too_long(name);
            failed = 1;
            continue;
        }
        if (built != ROW_PATH_BUILT)
            continue; /* no folder for this kind: stays listed */
        int outcome = delete_file_at(&win9x_run.win9x_binding.files, path, SILENT_FILE_NOT_FOUND | SILENT_PATH_NOT_FOUND);
        present += outcome != FILE_ABSENT;
        if (outcome == FILE_DELETED)
            ++deleted;
        else if (outcome != FILE_ABSENT)
            failed = 1;
    }
    /* what was counted, for the log */
    count->listed = listed;
    count->found = present;

    int status;
    if (failed)
        status = STATUS_FAILED;
    else if (deleted == 0)
        status = STATUS_NOTHING;
    else if (listed > deleted)
        status = STATUS_PARTLY_REMOVED;
    else
        status = STATUS_REMOVED;
    return status;
}
