/*
 * log_file.cpp - the file a run's block goes to, and the writing of it.
 *
 * Under SYSTEM the default folder may be one where any user can make
 * files (C:\Windows\Temp, where Windows has no GetTempPath2A). A file
 * planted there as a link, or as a second name of another file, would
 * make SYSTEM write wherever it leads: so the log is opened as itself,
 * never through a link (FILE_FLAG_OPEN_REPARSE_POINT), and written only
 * when it is neither a reparse point nor a file with more than one name.
 * A file that --log names may lie in a folder that users can change: no
 * folder along its path may be a reparse point, and the file Windows
 * opened must be the one asked for (GetFinalPathNameByHandleA, where
 * Windows has it); and a run as SYSTEM writes it only where no account
 * but SYSTEM, Administrators and TrustedInstaller can write, on a local
 * drive (a share's writers are the domain's). A log moved aside is renamed through its open handle,
 * so that nothing swapped in under its name is moved instead.
 * On the NT family it is opened for appending only, so that each write
 * lands whole at the end, whoever wrote last. Windows 98/Me know neither
 * links nor append-only handles: there the end is looked up before the
 * write.
 */
#include "run_log.h"
#include "run_record.h"
#include "object_writers.h"
#include "system_functions.h"
#include "texts.h"

#define LOG_NAME "QZUninst.log"
#define LOG_MOVE_BYTES 1048576 /* above this the default log is moved aside before the block is added */

/* The byte order mark a UTF-8 log starts with. */
static const char utf8_mark[] = "\xEF\xBB\xBF";
#define UTF8_MARK_BYTES 3

/* What became of a file opened for the log: open, or why not (else an error number). */
#define LOG_FILE_OPEN 0
#define LOG_FILE_LINK 0xFFFFFFF0u        /* a link, or another reparse point */
#define LOG_FILE_HARD_LINK 0xFFFFFFF1u   /* one of several names of a file */
#define LOG_FILE_UNCHECKED 0xFFFFFFF2u   /* what it is cannot be told */
#define LOG_FILE_FOLDER_LINK 0xFFFFFFF3u /* a folder along its path is a reparse point */
#define LOG_FILE_ELSEWHERE 0xFFFFFFF4u   /* the file opened is not the one asked for */
#define LOG_FILE_NOT_A_LOG 0xFFFFFFF5u   /* a file that holds something other than a log of this program */
#define LOG_FILE_USERS_WRITE 0xFFFFFFF6u /* a run as SYSTEM: other accounts can write the file or its folder */

/* The rename request of NtSetInformationFile (FILE_RENAME_INFORMATION),
   with room for a full path. */
#define FILE_RENAME_INFORMATION_CLASS 10
struct RenameRequest {
    BOOLEAN replace_if_exists;
    HANDLE root_directory;
    ULONG name_bytes;
    WCHAR name[MAX_PATH_BYTES + 8];
};
struct IoStatus {
    ULONG_PTR status;
    ULONG_PTR information;
};
typedef LONG(WINAPI *NtSetInformationFile_fn)(HANDLE, IoStatus *, void *, ULONG, int);
typedef ULONG(WINAPI *RtlNtStatusToDosError_fn)(LONG);

/* 1 when `path` (a full path) passes through a folder that is a reparse
   point (a junction, a link, a mount point): its parts are looked at one
   by one, from the drive down. */
static int folder_is_link_along(const char *path)
{
    char folder[MAX_PATH_BYTES];
    int length = bounded_length(path, MAX_PATH_BYTES);
    if (length >= MAX_PATH_BYTES)
        return 1; /* cannot be told: taken as one */
    for (int i = 0; i < length; i += character_bytes(path + i)) {
        if (path[i] != '\\' || i < 3)
            continue; /* the drive's own root ("C:\") and "\\server" are no folders of the path */
        copy_text(folder, sizeof folder, path);
        folder[i] = '\0';
        DWORD attributes = GetFileAttributesA(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return 1;
    }
    return 0;
}

/* Compares two paths, the ASCII letters in either case. */
static int same_path(const char *first, const char *second)
{
    int i = 0;
    for (; first[i] != '\0' && second[i] != '\0'; ++i) {
        char a = first[i], b = second[i];
        if (a >= 'a' && a <= 'z')
            a = (char)(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z')
            b = (char)(b - 'a' + 'A');
        if (a != b)
            return 0;
    }
    return first[i] == second[i];
}

/*
 * Whether the open file is the one at `path`, as far as Windows can tell:
 * the path Windows took to it in the end (GetFinalPathNameByHandleA,
 * Windows Vista and later) must be `path` in its long form. Returns
 * LOG_FILE_OPEN when it is, or where Windows cannot tell (Windows XP,
 * whose folders were looked at before the open; a network share, which its
 * server resolves); LOG_FILE_ELSEWHERE when it is not; LOG_FILE_UNCHECKED
 * when a path cannot be read.
 */
static DWORD opened_where_asked(HANDLE file, const char *path)
{
    GetFinalPathNameByHandleA_fn get_final_path = SYSTEM_FUNCTION(GetFinalPathNameByHandleA, "kernel32");
    GetLongPathNameA_fn get_long_path = SYSTEM_FUNCTION(GetLongPathNameA, "kernel32");
    if (get_final_path == NULL || get_long_path == NULL)
        return LOG_FILE_OPEN;
    char final_path[MAX_PATH_BYTES + 8];
    char full_path[MAX_PATH_BYTES];
    char long_path[MAX_PATH_BYTES];
    DWORD length = get_final_path(file, final_path, sizeof final_path, 0 /* FILE_NAME_NORMALIZED, VOLUME_NAME_DOS */);
    if (length == 0 || length >= sizeof final_path)
        return LOG_FILE_UNCHECKED;
    if (final_path[4] == 'U' && final_path[5] == 'N' && final_path[6] == 'C' && final_path[7] == '\\')
        return LOG_FILE_OPEN; /* "\\?\UNC\server\share\..." */
    length = GetFullPathNameA(path, sizeof full_path, full_path, NULL);
    if (length == 0 || length >= sizeof full_path)
        return LOG_FILE_UNCHECKED;
    length = get_long_path(full_path, long_path, sizeof long_path);
    if (length == 0 || length >= sizeof long_path)
        return LOG_FILE_UNCHECKED;
    return same_path(final_path + 4, long_path) ? LOG_FILE_OPEN : LOG_FILE_ELSEWHERE; /* after "\\?\" */
}

/*
 * For a run as SYSTEM (or another service account): whether an account
 * other than the trusted ones can write `path` or its folder. Returns
 * LOG_FILE_OPEN when none can, or for another account's run or a path on
 * a network share; LOG_FILE_USERS_WRITE with the account in `writer`
 * (MAX_PATH_BYTES) when one can; LOG_FILE_UNCHECKED when it cannot be told.
 */
static DWORD users_can_write(const char *path, char *writer)
{
    if (!running_as_service_account())
        return LOG_FILE_OPEN;
    char full_path[MAX_PATH_BYTES];
    WCHAR file[MAX_PATH_BYTES], folder[MAX_PATH_BYTES];
    DWORD length = GetFullPathNameA(path, sizeof full_path, full_path, NULL);
    if (length == 0 || length >= sizeof full_path ||
        MultiByteToWideChar(CP_ACP, 0, full_path, -1, file, MAX_PATH_BYTES) == 0)
        return LOG_FILE_UNCHECKED;
    if (on_network_share(file))
        return LOG_FILE_OPEN;
    folder_of_path(file, folder);
    const WCHAR *const objects[] = {folder, file};
    for (int i = 0; i < 2; ++i) {
        BYTE account[SID_BYTES_MAX];
        DWORD error = 0;
        int found = writer_of(objects[i], account, &error);
        if (found > 0) {
            account_text(account, writer, MAX_PATH_BYTES);
            return LOG_FILE_USERS_WRITE;
        }
        /* a new log has no security yet; a folder not there fails the open, which says so */
        if (found < 0 && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return LOG_FILE_UNCHECKED;
    }
    return LOG_FILE_OPEN;
}

/*
 * Opens `path` for the log (made when missing) and checks what it is.
 * Returns LOG_FILE_OPEN with the handle in *file and the file's size in
 * *size (0xFFFFFFFF from 4 GiB on); else why it is not to be written (the
 * file is closed again): LOG_FILE_LINK, LOG_FILE_HARD_LINK,
 * LOG_FILE_UNCHECKED, LOG_FILE_FOLDER_LINK, LOG_FILE_ELSEWHERE and
 * LOG_FILE_USERS_WRITE (with the account in `writer`; only when
 * `whole_path` asks the folders to be looked at), or the error of a
 * failed open. On the NT family the handle may rename the file, when no
 * other program keeps it from that.
 */
static DWORD open_log_file(const char *path, int whole_path, HANDLE *file, DWORD *size, char *writer)
{
    int nt = !run.run_log.win9x;
    if (nt && whole_path && folder_is_link_along(path))
        return LOG_FILE_FOLDER_LINK;
    DWORD writable = nt && whole_path ? users_can_write(path, writer) : LOG_FILE_OPEN;
    if (writable != LOG_FILE_OPEN)
        return writable;
    /* appending only, reading its first bytes and what the file is; and,
       where the file is not held open without that, renaming it */
    DWORD access = nt ? FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES : GENERIC_WRITE;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (nt ? FILE_SHARE_DELETE : 0);
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (nt ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE opened = nt ? CreateFileA(path, access | DELETE, share, NULL, OPEN_ALWAYS, flags, NULL) : INVALID_HANDLE_VALUE;
    if (opened == INVALID_HANDLE_VALUE)
        opened = CreateFileA(path, access, share, NULL, OPEN_ALWAYS, flags, NULL);
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
    else if (nt && whole_path)
        why = opened_where_asked(opened, path);
    if (why != LOG_FILE_OPEN) {
        CloseHandle(opened);
        return why;
    }
    *file = opened;
    *size = info.nFileSizeHigh != 0 ? 0xFFFFFFFF : info.nFileSizeLow;
    return LOG_FILE_OPEN;
}

/* "ログ: <path> には書き込みません (<why>)"; `writer` names the account of LOG_FILE_USERS_WRITE. */
static void note_passed_over(const char *path, DWORD why, const char *writer)
{
    LogLine line;
    line_begin(&line, text_log_file);
    line_add_system(&line, path);
    line_add(&line, text_log_file_passed_over);
    if (why == LOG_FILE_LINK) {
        line_add(&line, text_log_file_link);
    } else if (why == LOG_FILE_FOLDER_LINK) {
        line_add(&line, text_log_file_folder_link);
    } else if (why == LOG_FILE_ELSEWHERE) {
        line_add(&line, text_log_file_elsewhere);
    } else if (why == LOG_FILE_NOT_A_LOG) {
        line_add(&line, text_log_file_not_a_log);
    } else if (why == LOG_FILE_USERS_WRITE) {
        line_add(&line, text_log_file_users_write);
        line_add_system(&line, writer);
        line_add(&line, text_log_file_users_write_end);
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

/* The name a log is moved aside to: "QZUninst.old.log" beside
   "QZUninst.log", "qz.old.txt" beside "qz.txt", "qz.old" beside "qz". */
static int old_log_path(char *old_path, const char *path)
{
    int dot = -1;
    for (int i = 0; path[i] != '\0'; i += character_bytes(path + i)) {
        if (path[i] == '.')
            dot = i;
        else if (path[i] == '\\')
            dot = -1;
    }
    char stem[MAX_PATH_BYTES];
    if (!copy_text(stem, sizeof stem, path))
        return 0;
    if (dot < 0)
        return join_text(old_path, MAX_PATH_BYTES, stem, ".old", "");
    stem[dot] = '\0';
    return join_text(old_path, MAX_PATH_BYTES, stem, ".old", path + dot);
}

/* Renames the open file to `new_path`, replacing a file of that name (a
   link planted there is replaced, not followed). Returns 0, or the error. */
static DWORD rename_open_file(HANDLE file, const char *new_path)
{
    NtSetInformationFile_fn set_information = SYSTEM_FUNCTION(NtSetInformationFile, "ntdll");
    RtlNtStatusToDosError_fn to_error = SYSTEM_FUNCTION(RtlNtStatusToDosError, "ntdll");
    if (set_information == NULL || to_error == NULL)
        return ERROR_PROC_NOT_FOUND;
    RenameRequest request;
    zero_bytes(&request, sizeof request);
    static const char nt_prefix[] = "\\??\\"; /* a full path, as the object manager names it */
    for (int i = 0; i < 4; ++i)
        request.name[i] = (WCHAR)nt_prefix[i];
    int units = MultiByteToWideChar(CP_ACP, 0, new_path, -1, request.name + 4, MAX_PATH_BYTES + 4);
    if (units == 0)
        return GetLastError();
    request.replace_if_exists = TRUE;
    request.name_bytes = (ULONG)((units - 1 + 4) * sizeof(WCHAR));
    IoStatus status;
    zero_bytes(&status, sizeof status);
    LONG result = set_information(file, &status, &request, sizeof request, FILE_RENAME_INFORMATION_CLASS);
    return result == 0 ? 0 : to_error(result);
}

/* Windows 98/Me: moves the default log (closed) to QZUninst.old.log by
   its name, an older one deleted first. Returns 0, or the error. */
static DWORD move_closed_log(const char *path, const char *old_path)
{
    DeleteFileA(old_path); /* none there is the usual case */
    MoveFileA_fn move_file = SYSTEM_FUNCTION(MoveFileA, "kernel32");
    if (move_file == NULL)
        return ERROR_PROC_NOT_FOUND;
    return move_file(path, old_path) ? 0 : GetLastError();
}

/* What became of the move: "ログ: 1 MiB を超えたため、...に移しました。"
   for the default log grown too big; for one of an earlier version's
   encoding, "ログ: 以前の版の記録 (シフト JIS) を <path> に移しました。". */
static void note_moved(int too_big, const char *old_path, DWORD error)
{
    LogLine line;
    if (too_big) {
        line_begin(&line, error == 0 ? text_log_file_moved : text_log_file_not_moved);
    } else {
        line_begin(&line, text_log_file_old_encoding);
        line_add_system(&line, old_path);
        line_add(&line, error == 0 ? text_log_file_moved_to : text_log_file_not_moved_to);
    }
    if (error != 0) {
        line_add_error_number(&line, error);
        line_add(&line, ")");
    }
    log_line(&line);
}

/* What is done with a log before the block is added to it. */
#define LOG_ADD 0          /* added to */
#define LOG_MOVE_BIG 1     /* the default log, grown above 1 MiB: moved aside */
#define LOG_MOVE_OLD 2     /* an earlier version's, in code page 932: moved aside */
#define LOG_NOT_A_LOG 3    /* no log of this program: neither moved nor written */
#define LOG_START_BYTES 8  /* "========", how every block of the log begins */

/*
 * What is to be done with the open log of `size` bytes. On the NT family a
 * log starts with the UTF-8 byte order mark; one an earlier version wrote
 * starts with its first block's "========" in code page 932. Any other
 * file is none of this program's: a --log that names one by mistake, or a
 * file that a link swapped in, is neither renamed nor added to.
 */
static int what_to_do_with_log(HANDLE file, DWORD size, int default_log)
{
    if (default_log && size > LOG_MOVE_BYTES)
        return LOG_MOVE_BIG;
    if (!run.run_log.utf8 || size == 0)
        return LOG_ADD;
    char first[LOG_START_BYTES];
    DWORD read = 0;
    if (!ReadFile(file, first, LOG_START_BYTES, &read, NULL))
        return LOG_NOT_A_LOG; /* cannot be told */
    int marked = read >= UTF8_MARK_BYTES, old_log = read == LOG_START_BYTES;
    for (int i = 0; i < (int)read; ++i) {
        if (i < UTF8_MARK_BYTES && first[i] != utf8_mark[i])
            marked = 0;
        if (first[i] != '=')
            old_log = 0;
    }
    return marked ? LOG_ADD : old_log ? LOG_MOVE_OLD : LOG_NOT_A_LOG;
}

/* Writes `length` bytes at the end of the open log. */
static void write_to_log(const char *bytes, int length)
{
    DWORD written = 0;
    /* an append-only handle writes at the end by itself */
    if (!run.run_log.win9x || SetFilePointer(run.run_log.file, 0, NULL, FILE_END) != INVALID_SET_FILE_POINTER)
        WriteFile(run.run_log.file, bytes, (DWORD)length, &written, NULL);
}

/*
 * Opens the log at `path` into run.run_log.file: moved aside first when it
 * is too big or of an earlier version's encoding, and, when new and
 * UTF-8, started with the byte order mark. Returns LOG_FILE_OPEN, or why
 * the file is not written (see open_log_file; LOG_FILE_NOT_A_LOG).
 */
static DWORD open_log(const char *path, int default_log, char *writer)
{
    DWORD size = 0;
    DWORD why = open_log_file(path, !default_log, &run.run_log.file, &size, writer);
    if (why != LOG_FILE_OPEN)
        return why;
    int what = what_to_do_with_log(run.run_log.file, size, default_log);
    if (what == LOG_NOT_A_LOG) {
        CloseHandle(run.run_log.file);
        return LOG_FILE_NOT_A_LOG;
    }
    if (what != LOG_ADD) {
        char old_path[MAX_PATH_BYTES];
        if (old_log_path(old_path, path)) {
            DWORD error = 0;
            if (run.run_log.win9x) {
                CloseHandle(run.run_log.file);
                error = move_closed_log(path, old_path);
            } else {
                error = rename_open_file(run.run_log.file, old_path);
                CloseHandle(run.run_log.file);
            }
            note_moved(what == LOG_MOVE_BIG, old_path, error);
            why = open_log_file(path, !default_log, &run.run_log.file, &size, writer);
            if (why != LOG_FILE_OPEN)
                return why;
        }
    }
    if (run.run_log.utf8 && size == 0)
        write_to_log(utf8_mark, UTF8_MARK_BYTES);
    return LOG_FILE_OPEN;
}

/* Opens the default log. Returns 1 with run.run_log.file open; 0 when it is
   not to be written. */
static int open_default_log(void)
{
    char folder[MAX_PATH_BYTES];
    char path[MAX_PATH_BYTES];
    if (!default_log_folder(folder) || !join_text(path, sizeof path, folder, LOG_NAME, ""))
        return 0; /* no folder for it: no log */
    char writer[MAX_PATH_BYTES];
    return open_log(path, 1, writer) == LOG_FILE_OPEN; /* else nothing is left to tell it to */
}

void log_choose_file(void)
{
    if (run.run_log.chosen)
        return;
    run.run_log.choosing = 1;
    if (run.run_log.path[0] != '\0') {
        char writer[MAX_PATH_BYTES] = "";
        DWORD why = open_log(run.run_log.path, 0, writer);
        if (why == LOG_FILE_OPEN)
            run.run_log.file_open = 1;
        else
            note_passed_over(run.run_log.path, why, writer);
    }
    if (!run.run_log.file_open)
        run.run_log.file_open = open_default_log();
    run.run_log.chosen = 1;
    run.run_log.choosing = 0;
}

/* Writes the block as it stands, in one write, and empties it; once the
   run writes as it goes, flushed to the disk. */
void log_write_out(void)
{
    log_choose_file();
    if (run.run_log.file_open && run.run_log.length > 0) {
        write_to_log(run.run_log.block, run.run_log.length);
        if (run.run_log.as_it_goes)
            FlushFileBuffers(run.run_log.file);
    }
    run.run_log.length = 0;
}

void log_write_as_it_goes(void)
{
    run.run_log.as_it_goes = 1;
    log_write_out();
}

void log_step_done(void)
{
    if (run.run_log.as_it_goes)
        log_write_out();
}

void log_close(void)
{
    log_write_out();
    if (run.run_log.file_open)
        CloseHandle(run.run_log.file);
    run.run_log.file_open = 0;
    run.run_log.file = INVALID_HANDLE_VALUE;
}
