/*
 * driver_paths.cpp - where each listed driver file lives: VxD and SYS files
 * in the system directory, INF and PNF files in the Windows INF directory.
 */
#include "w9x_steps.h"
#include "../shell/error_report.h"

/*
 * read_win9x_directories - fills dirs with the Windows and the system
 * directory. Returns 1; 0 after a reported failure of either call. A
 * directory that does not fit its buffer is left empty, so that no path is
 * ever built on it (build_win9x_file_path then says ROW_PATH_TOO_LONG).
 */
int read_win9x_directories(Win9xDirectories *dirs)
{
    zero_bytes(dirs, sizeof *dirs);

    UINT length = win9x_binding.get_windows_directory(dirs->windows, MAX_PATH_BYTES);
    if (length == 0) {
        report_system_error("Function : GetWindowsDirectory()");
        return 0;
    }
    if (length >= MAX_PATH_BYTES) /* the size it would need: nothing usable was written */
        zero_bytes(dirs->windows, MAX_PATH_BYTES);

    length = win9x_binding.get_system_directory(dirs->system, MAX_PATH_BYTES);
    if (length == 0) {
        report_system_error("Function : GetSystemDirectory()");
        return 0;
    }
    if (length >= MAX_PATH_BYTES)
        zero_bytes(dirs->system, MAX_PATH_BYTES);
    return 1;
}

/*
 * build_win9x_file_path - builds the full path of one file-table row into
 * path (MAX_PATH_BYTES, zero-filled first): "<system>\<row>" for SYS and VxD
 * files, "<windows>\inf\<row>" for INF and PNF files.
 * Returns ROW_PATH_BUILT; ROW_PATH_SKIPPED for an empty row or another
 * kind of file (path empty); ROW_PATH_TOO_LONG when the directory is
 * unknown or the path does not fit (path empty: a cut path could name
 * another file).
 */
int build_win9x_file_path(const Win9xDirectories *dirs, const char *row, char *path)
{
    zero_bytes(path, MAX_PATH_BYTES);
    if (row[0] == '\0')
        return ROW_PATH_SKIPPED;

    const char *directory;
    const char *separator;
    switch (file_kind(row)) {
    case FILE_KIND_SYS:
    case FILE_KIND_VXD:
        directory = dirs->system;
        separator = "\\";
        break;
    case FILE_KIND_INF:
    case FILE_KIND_PNF:
        directory = dirs->windows;
        separator = "\\inf\\";
        break;
    default:
        return ROW_PATH_SKIPPED;
    }
    if (directory[0] == '\0')
        return ROW_PATH_TOO_LONG;
    return join_text(path, MAX_PATH_BYTES, directory, separator, row) ? ROW_PATH_BUILT : ROW_PATH_TOO_LONG;
}

/*
 * report_path_too_long - reports a row whose path does not fit, as the
 * attribute change that could not be made: the name is too long.
 * Returns nothing.
 */
void report_path_too_long(void)
{
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    report_system_error("Function : SetFileAttributes()");
}
