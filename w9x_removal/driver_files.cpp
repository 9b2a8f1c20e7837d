/*
 * driver_files.cpp - deletes the product's VxD and SYS files from the system
 * directory and its INF and PNF files from the Windows INF directory.
 */
#include "w9x_steps.h"
#include "../shell/error_report.h"

/*
 * delete_listed_file - clears the attributes of one file (so that read-only,
 * hidden and system files can go) and deletes it.
 * Returns 1 when the file was deleted; 0 when it is not there (silent);
 * -1 after a reported failure of either call.
 */
static int delete_listed_file(const char *path)
{
    if (!win9x_binding.set_file_attributes(path, FILE_ATTRIBUTE_NORMAL)) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return 0;
        report_system_error("Function : SetFileAttributes()");
        return -1;
    }
    if (!win9x_binding.delete_file(path)) {
        report_system_error("Function : DeleteFile()");
        return -1;
    }
    return 1;
}

/*
 * remove_win9x_driver_files - tries every row of the product's file table
 * and writes its file_status: 0xFFFF when a failure was reported (a
 * directory, an attribute change other than for a missing file, a
 * deletion, or a path too long for its buffer); else 0 when no file was
 * deleted; 0x1000 when fewer files were deleted than rows are listed; 1
 * when all listed files were deleted. Returns nothing.
 */
void remove_win9x_driver_files(int index)
{
    Win9xDirectories dirs;
    char path[MAX_PATH_BYTES];
    int listed = 0;
    int deleted = 0;
    int failed = 0;

    if (!read_win9x_directories(&dirs)) {
        win9x_removal_status[index].file_status = STATUS_FAILED;
        return;
    }
    for (int row = 0; row < WIN9X_FILE_ROWS; ++row) {
        const char *name = win9x_file_table[index].rows[row];
        if (name[0] == '\0')
            continue;
        ++listed;
        int built = build_win9x_file_path(&dirs, name, path);
        if (built == ROW_PATH_TOO_LONG) {
            report_path_too_long();
            failed = 1;
            continue;
        }
        if (built != ROW_PATH_BUILT)
            continue; /* no directory for this kind: stays listed */
        int outcome = delete_listed_file(path);
        if (outcome > 0)
            ++deleted;
        else if (outcome < 0)
            failed = 1;
    }

    int status;
    if (failed)
        status = STATUS_FAILED;
    else if (deleted == 0)
        status = STATUS_NONE;
    else if (listed > deleted)
        status = STATUS_PARTLY_REMOVED;
    else
        status = STATUS_REMOVED;
    win9x_removal_status[index].file_status = status;
}
