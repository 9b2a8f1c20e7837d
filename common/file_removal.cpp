/*
 * file_removal.cpp - the folders, paths and delete step that the file steps
 * of both back-ends share.
 */
#include "file_removal.h"
#include "error_report.h"
#include "file_kind.h"
#include "findings.h"
#include "run_log.h"
#include "texts.h"


/* In binding order; MoveFileExA (the last) for the NT family only. */
static const BoundFunction file_functions[] = {
    BOUND_FUNCTION(FileFunctions, GetWindowsDirectoryA),
    BOUND_FUNCTION(FileFunctions, GetSystemDirectoryA),
    BOUND_FUNCTION(FileFunctions, SetFileAttributesA),
    BOUND_FUNCTION(FileFunctions, DeleteFileA),
    BOUND_FUNCTION(FileFunctions, MoveFileExA),
};

HMODULE bind_file_functions_of_kernel32(FileFunctions *files, int restart_deletions)
{
    int count = COUNT_OF(file_functions) - (restart_deletions ? 0 : 1); /* MoveFileExA stays null */
    return bind_library("kernel32", file_functions, count, files);
}

int scheduled_file_count(void)
{
    return run.files_scheduled;
}

/* Reads one folder into `folder` (MAX_PATH_BYTES). Returns 1, or 0 after
   a box under `caption`. A folder that does not fit leaves it empty: the
   call then returns the size it would need and writes nothing usable. */
static int read_folder(GetWindowsDirectoryA_fn get_folder, const char *caption, char *folder)
{
    zero_bytes(folder, MAX_PATH_BYTES);
    UINT length = get_folder(folder, MAX_PATH_BYTES);
    if (length == 0) {
        report_failure(caption, GetLastError(), NULL, NULL);
        return 0;
    }
    if (length >= MAX_PATH_BYTES)
        zero_bytes(folder, MAX_PATH_BYTES);
    return 1;
}

int read_windows_folder(const FileFunctions *files, char *windows)
{
    return read_folder(files->GetWindowsDirectoryA, caption_get_windows_directory, windows);
}

int read_windows_folders(const FileFunctions *files, WindowsFolders *folders)
{
    if (!read_windows_folder(files, folders->windows))
        return 0;
    return read_folder(files->GetSystemDirectoryA, caption_get_system_directory, folders->system);
}

/* Joins folder + separator + name into path. ROW_PATH_BUILT, or
   ROW_PATH_TOO_LONG when the folder is unknown or the path does not fit. */
static int join_path(char *path, const char *folder, const char *separator, const char *name)
{
    if (folder[0] == '\0')
        return ROW_PATH_TOO_LONG;
    return join_text(path, MAX_PATH_BYTES, folder, separator, name) ? ROW_PATH_BUILT : ROW_PATH_TOO_LONG;
}

int build_row_path(const WindowsFolders *folders, const char *row, int rule, char *path)
{
    zero_bytes(path, MAX_PATH_BYTES);
    if (row[0] == '\0')
        return ROW_PATH_SKIPPED;
    switch (file_kind(row)) {
    case FILE_KIND_SYS:
        if (rule == FOLDERS_OF_NT_PACKAGE)
            return join_path(path, folders->system, "\\drivers\\", row);
        return join_path(path, folders->system, "\\", row);
    case FILE_KIND_VXD:
        if (rule == FOLDERS_OF_NT_PACKAGE)
            return ROW_PATH_SKIPPED; /* the Windows 2000 package has no VxD */
        return join_path(path, folders->system, "\\", row);
    case FILE_KIND_INF:
    case FILE_KIND_PNF:
        return join_path(path, folders->windows, "\\inf\\", row);
    default:
        return ROW_PATH_SKIPPED;
    }
}

int build_inf_path(const char *windows, const char *name, char *path)
{
    zero_bytes(path, MAX_PATH_BYTES);
    return join_path(path, windows, "\\inf\\", name) == ROW_PATH_BUILT;
}

/* 1 when a failed SetFileAttributesA's error only says the file is absent. */
static int is_silent(DWORD error, int silent_errors)
{
    if (silent_errors & SILENT_ANY_ERROR)
        return 1;
    if (error == ERROR_FILE_NOT_FOUND)
        return (silent_errors & SILENT_FILE_NOT_FOUND) != 0;
    if (error == ERROR_PATH_NOT_FOUND)
        return (silent_errors & SILENT_PATH_NOT_FOUND) != 0;
    return 0;
}

int make_file_normal(const FileFunctions *files, const char *path, int silent_errors)
{
    if (files->SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL))
        return FILE_PRESENT;
    DWORD error = GetLastError();
    if ((silent_errors & GONE_COUNTS_AS_DELETED) && error == ERROR_FILE_NOT_FOUND)
        return FILE_DELETED;
    if (is_silent(error, silent_errors))
        return FILE_ABSENT;
    report_failure(caption_set_file_attributes, error, path, NULL);
    return FILE_ATTRIBUTES_FAILED;
}

/* 1 when `path` names a file, not a folder: only a file can wait for the
   restart (a folder that is not empty would never go, and DeleteFileA
   refuses any folder with ERROR_ACCESS_DENIED). 0 for a folder, or when its
   attributes cannot be read: the caller reports DeleteFileA's own error. */
static int is_plain_file(const char *path)
{
    DWORD attributes = GetFileAttributesA(path); /* imported: every Windows has it */
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

/* A file in use goes when Windows restarts: 1 when it is set so (the log
   names it), 0 when it cannot be (Windows 98/Me, or MoveFileExA failed). */
static int delete_at_restart(const FileFunctions *files, const char *path)
{
    if (files->MoveFileExA == NULL || !files->MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT))
        return 0;
    ++run.files_scheduled;
    note_removed_at_restart(path);
    LogLine line;
    line_begin(&line, text_log_file_scheduled);
    line_add_system(&line, path);
    log_line(&line);
    return 1;
}

int delete_normal_file(const FileFunctions *files, const char *path, int silent_errors)
{
    if (files->DeleteFileA(path))
        return FILE_DELETED;
    DWORD error = GetLastError();
    if ((silent_errors & GONE_COUNTS_AS_DELETED) && error == ERROR_FILE_NOT_FOUND)
        return FILE_DELETED;
    if ((error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) && is_plain_file(path) &&
        delete_at_restart(files, path))
        return FILE_DELETED;
    report_failure(caption_delete_file, error, path, NULL);
    return FILE_DELETE_FAILED;
}

int delete_file_at(const FileFunctions *files, const char *path, int silent_errors)
{
    int found = make_file_normal(files, path, silent_errors);
    if (found != FILE_PRESENT)
        return found;
    return delete_normal_file(files, path, silent_errors);
}

int probe_file(const FileFunctions *files, const char *path, int silent_errors)
{
    if (files->SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL))
        return 1;
    DWORD error = GetLastError();
    if (!is_silent(error, silent_errors))
        report_failure(caption_set_file_attributes, error, path, NULL);
    return 0;
}

int file_is_there(const char *path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) /* imported: every Windows has it */
        return 1;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        report_failure(caption_get_file_attributes, error, path, NULL);
    return 0;
}

int make_pnf_name(char *name, int size)
{
    int length = bounded_length(name, size);
    if (length < 3 || length >= size)
        return 0;
    name[length - 3] = 'p';
    name[length - 2] = 'n';
    name[length - 1] = 'f';
    return 1;
}
