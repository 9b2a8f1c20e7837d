/*
 * log_file.cpp - the file a run's block goes to, and the writing of it.
 *
 * Under SYSTEM the default folder may be one where any user can make
 * files (C:\Windows\Temp, where Windows has no GetTempPath2A). A file
 * planted there as a link, or as a second name of another file, would
 * make SYSTEM write wherever it leads: so the log is opened as itself,
 * never through a link (FILE_FLAG_OPEN_REPARSE_POINT), and written only
 * when it is neither a reparse point nor a file with more than one name.
 * On the NT family it is opened for appending only, so that each write
 * lands whole at the end, whoever wrote last. Windows 98/Me know neither
 * links nor append-only handles: there the end is looked up before the
 * write.
 */
#include "run_log.h"
#include "run_record.h"
#include "system_functions.h"
#include "texts.h"

#define LOG_NAME "QZUninst.log"
#define OLD_LOG_NAME "QZUninst.old.log"
#define LOG_MOVE_BYTES 1048576 /* above this the log is moved aside before the block is added */

/* What became of a file opened for the log: open, or why not (else an error number). */
#define LOG_FILE_OPEN 0
#define LOG_FILE_LINK 0xFFFFFFF0u      /* a link, or another reparse point */
#define LOG_FILE_HARD_LINK 0xFFFFFFF1u /* one of several names of a file */
#define LOG_FILE_UNCHECKED 0xFFFFFFF2u /* what it is cannot be told */

/*
 * Opens `path` for the log (made when missing) and checks what it is.
 * Returns LOG_FILE_OPEN with the handle in *file and the file's size in
 * *size (0xFFFFFFFF from 4 GiB on); else why it is not to be written (the
 * file is closed again): LOG_FILE_LINK, LOG_FILE_HARD_LINK,
 * LOG_FILE_UNCHECKED, or the error of a failed open.
 */
static DWORD open_log_file(const char *path, HANDLE *file, DWORD *size)
{
    /* appending only, and reading what the file is */
    DWORD access = run.run_log.win9x ? GENERIC_WRITE : FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (run.run_log.win9x ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE opened = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, flags, NULL);
    if (opened == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == 0 || error >= LOG_FILE_LINK ? LOG_FILE_UNCHECKED : error;
    }
    BY_HANDLE_FILE_INFORMATION info;
    zero_bytes(&info, sizeof info);
    GetFileInformationByHandle_fn get_information = SYSTEM_FUNCTION(GetFileInformationByHandle, "kernel32");
    DWORD why = LOG_FILE_OPEN;
    if (get_information == NULL || !get_information(opened, &info))
        why = LOG_FILE_UNCHECKED;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        why = LOG_FILE_LINK;
    else if (info.nNumberOfLinks > 1)
        why = LOG_FILE_HARD_LINK;
    if (why != LOG_FILE_OPEN) {
        CloseHandle(opened);
        return why;
    }
    *file = opened;
    *size = info.nFileSizeHigh != 0 ? 0xFFFFFFFF : info.nFileSizeLow;
    return LOG_FILE_OPEN;
}

/* "ログ: <path> には書き込みません (<why>)". */
static void note_passed_over(const char *path, DWORD why)
{
    LogLine line;
    line_begin(&line, text_log_file);
    line_add(&line, path);
    line_add(&line, text_log_file_passed_over);
    if (why == LOG_FILE_LINK) {
        line_add(&line, text_log_file_link);
    } else if (why == LOG_FILE_HARD_LINK) {
        line_add(&line, text_log_file_hard_link);
    } else if (why == LOG_FILE_UNCHECKED) {
        line_add(&line, text_log_file_unchecked);
    } else {
        line_add(&line, text_log_file_error);
        line_add_unsigned(&line, why);
    }
    line_add(&line, ")");
    log_line(&line);
}

/* The folder of the default log into `folder` (MAX_PATH_BYTES), with its
   final backslash: GetTempPath2A where Windows has it, else GetTempPathA.
   Returns 1, or 0 when neither gives one that fits. */
static int default_log_folder(char *folder)
{
    zero_bytes(folder, MAX_PATH_BYTES);
    GetTempPath2A_fn get_temp_path2 = SYSTEM_FUNCTION(GetTempPath2A, "kernel32");
    DWORD length = get_temp_path2 != NULL ? get_temp_path2(MAX_PATH_BYTES, folder) : 0;
    if (length == 0 || length >= MAX_PATH_BYTES) {
        zero_bytes(folder, MAX_PATH_BYTES);
        length = GetTempPathA(MAX_PATH_BYTES, folder);
    }
    return length != 0 && length < MAX_PATH_BYTES;
}

/*
 * Moves the default log at `path` (closed) to QZUninst.old.log beside it,
 * an older one deleted first. Notes either way. The deletion of a link
 * planted under the old name deletes the link, nothing it leads to.
 */
static void move_log_aside(const char *folder, const char *path)
{
    char old_path[MAX_PATH_BYTES];
    if (!join_text(old_path, sizeof old_path, folder, OLD_LOG_NAME, ""))
        return;
    DeleteFileA(old_path); /* none there is the usual case */
    MoveFileA_fn move_file = SYSTEM_FUNCTION(MoveFileA, "kernel32");
    DWORD error = ERROR_PROC_NOT_FOUND;
    if (move_file != NULL) {
        if (move_file(path, old_path)) {
            log_text(text_log_file_moved);
            return;
        }
        error = GetLastError();
    }
    LogLine line;
    line_begin(&line, text_log_file_not_moved);
    line_add_unsigned(&line, error);
    line_add(&line, ")");
    log_line(&line);
}

/* Opens the default log, moving it aside first when it has grown too big.
   Returns 1 with run.run_log.file open; 0 when it is not to be written. */
static int open_default_log(void)
{
    char folder[MAX_PATH_BYTES];
    char path[MAX_PATH_BYTES];
    if (!default_log_folder(folder) || !join_text(path, sizeof path, folder, LOG_NAME, ""))
        return 0; /* no folder for it: no log */
    DWORD size = 0;
    if (open_log_file(path, &run.run_log.file, &size) != LOG_FILE_OPEN)
        return 0; /* nothing is left to tell it to */
    if (size <= LOG_MOVE_BYTES)
        return 1;
    CloseHandle(run.run_log.file);
    move_log_aside(folder, path);
    return open_log_file(path, &run.run_log.file, &size) == LOG_FILE_OPEN;
}

void log_choose_file(void)
{
    if (run.run_log.chosen)
        return;
    run.run_log.choosing = 1;
    DWORD size = 0;
    if (run.run_log.path[0] != '\0') {
        DWORD why = open_log_file(run.run_log.path, &run.run_log.file, &size);
        if (why == LOG_FILE_OPEN)
            run.run_log.file_open = 1;
        else
            note_passed_over(run.run_log.path, why);
    }
    if (!run.run_log.file_open)
        run.run_log.file_open = open_default_log();
    run.run_log.chosen = 1;
    run.run_log.choosing = 0;
}

/* Writes the block as it stands, in one write, and empties it. */
void log_write_out(void)
{
    log_choose_file();
    if (run.run_log.file_open && run.run_log.length > 0) {
        DWORD written = 0;
        /* an append-only handle writes at the end by itself */
        if (!run.run_log.win9x || SetFilePointer(run.run_log.file, 0, NULL, FILE_END) != INVALID_SET_FILE_POINTER)
            WriteFile(run.run_log.file, run.run_log.block, (DWORD)run.run_log.length, &written, NULL);
    }
    run.run_log.length = 0;
}

void log_close(void)
{
    log_write_out();
    if (run.run_log.file_open)
        CloseHandle(run.run_log.file);
    run.run_log.file_open = 0;
    run.run_log.file = INVALID_HANDLE_VALUE;
}
