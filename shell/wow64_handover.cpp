/*
 * wow64_handover.cpp - on 64-bit Windows, hand the run to the 64-bit program.
 *
 * A 32-bit process on 64-bit Windows cannot remove devices (the class
 * installer refuses with ERROR_IN_WOW64), so the 32-bit program starts
 * QZUninst64.exe from its own directory with the same tail, waits for it
 * and ends with its exit code. Its path and command line go in UTF-16
 * (GetModuleFileNameW, GetCommandLineW, CreateProcessW, bound at run
 * time): the folder's name may be in any code page Windows has. The user sees only the 64-bit program's
 * boxes. When it cannot be started, the run ends after the box that says
 * why: here every device would be refused, while the service keys and the
 * INF files went, leaving a live device with no driver. IsWow64Process is
 * looked up at run time: Windows 98/Me and early Windows 2000 lack it, and
 * then the answer is "not under WOW64". The 64-bit program learns from
 * its environment which process handed the run over, for its log.
 */
#include "uninstaller.h"
#include "../common/error_report.h"
#include "../common/message_box.h"
#include "../common/system_functions.h"
#include "../common/texts.h"
#include "../common/run_log.h"
#include "../common/text_buffers.h"

#define COMMAND_LINE_UNITS 1024
/* How long the 32-bit program waits for the 64-bit one. A deployment tool
   that started the 32-bit program gets its answer (a failure) before its own
   time-out ends the run unlogged; the 64-bit program runs on. */
#define HAND_OVER_WAIT_MS (30UL * 60 * 1000)

int running_under_wow64(void)
{
    IsWow64Process_fn is_wow64 = SYSTEM_FUNCTION(IsWow64Process, "kernel32");
    if (is_wow64 == NULL)
        return 0;
    BOOL wow64 = FALSE;
    if (!is_wow64(GetCurrentProcess(), &wow64))
        return 0;
    return wow64 ? 1 : 0;
}

/* Appends the UTF-16 text `src` to that in `dst` (`size` units); 0 when it
   does not fit, `dst` then unchanged. */
static int append_wide(WCHAR *dst, int size, const WCHAR *src)
{
    int have = 0, add = 0;
    while (have < size && dst[have] != 0)
        ++have;
    while (src[add] != 0)
        ++add;
    if (have >= size || add >= size - have)
        return 0;
    for (int i = 0; i <= add; ++i)
        dst[have + i] = src[i];
    return 1;
}

/* Appends a text of the system code page (or plain ASCII) to `dst`. */
static int append_narrow(WCHAR *dst, int size, const char *src)
{
    WCHAR wide[COMMAND_LINE_UNITS];
    if (MultiByteToWideChar(CP_ACP, 0, src, -1, wide, COMMAND_LINE_UNITS) == 0)
        return 0;
    return append_wide(dst, size, wide);
}

/* Puts the path of QZUninst64.exe beside this program's own file into
   `path`, and that of this program's file into `own` (MAX_PATH_BYTES).
   The path is read and cut in UTF-16: in the system code page a trail byte
   may be 0x5C, and which bytes lead depends on that code page.
   1: built; 0: it cannot be, with the reason as the last error (that of
   GetModuleFileNameW, ERROR_PROC_NOT_FOUND without it, or
   ERROR_FILENAME_EXCED_RANGE when a path does not fit its buffer). */
static int sibling_64bit_path(WCHAR *path, int size, WCHAR *own)
{
    GetModuleFileNameW_fn module_file_name = SYSTEM_FUNCTION(GetModuleFileNameW, "kernel32");
    if (module_file_name == NULL) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return 0;
    }
    zero_bytes(own, MAX_PATH_BYTES * sizeof(WCHAR));
    DWORD length = module_file_name(NULL, own, MAX_PATH_BYTES);
    if (length == 0)
        return 0;
    if (length >= MAX_PATH_BYTES) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE); /* cut short: a shorter path names another file */
        return 0;
    }
    int cut = 0;
    for (int i = 0; own[i] != 0; ++i)
        if (own[i] == '\\')
            cut = i + 1;
    path[0] = 0;
    WCHAR kept = own[cut];
    own[cut] = 0;
    int built = append_wide(path, size, own);
    own[cut] = kept;
    if (!built || !append_narrow(path, size, "QZUninst64.exe")) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    return 1;
}

/* "<program>" <tail>: the tail is passed on exactly, trailing blanks too,
   as GetCommandLineW gives it (the A tail, widened, where Windows lacks
   that). 0 when it does not fit: a tail this long is no valid option, and
   the 32-bit program refuses it itself. */
static int build_command_line(WCHAR *command_line, int size, const WCHAR *program, const char *tail)
{
    GetCommandLineW_fn get_command_line = SYSTEM_FUNCTION(GetCommandLineW, "kernel32");
    const WCHAR *wide_tail = get_command_line != NULL ? wide_command_line_tail(get_command_line()) : NULL;
    int has_tail = wide_tail != NULL ? wide_tail[0] != 0 : tail[0] != '\0';
    command_line[0] = 0;
    if (!append_narrow(command_line, size, "\"") || !append_wide(command_line, size, program) ||
        !append_narrow(command_line, size, "\""))
        return 0;
    if (!has_tail)
        return 1;
    if (!append_narrow(command_line, size, " "))
        return 0;
    return wide_tail != NULL ? append_wide(command_line, size, wide_tail) : append_narrow(command_line, size, tail);
}

/* The program's path as the log and the boxes show it, in the system code
   page; its bare name when it cannot be converted. */
static void shown_path(char *shown, int size, const WCHAR *program)
{
    if (WideCharToMultiByte(CP_ACP, 0, program, -1, shown, size, NULL, NULL) == 0)
        copy_text(shown, size, "QZUninst64.exe");
}

/*
 * Waits for the started program, at most HAND_OVER_WAIT_MS, and takes its
 * exit code into *exit_code. Returns 1; or 0 when its result is unknown:
 * after a "WaitForSingleObject()" or "GetExitCodeProcess()" box, or, with
 * *timed_out set and a log line, when it has not ended in time.
 */
static int wait_for_exit_code(HANDLE process, const char *program, int *exit_code, int *timed_out)
{
    DWORD code = 0;
    DWORD waited = WaitForSingleObject(process, HAND_OVER_WAIT_MS);
    if (waited == WAIT_TIMEOUT) {
        log_text(text_log_hand_over_timed_out);
        *timed_out = 1;
        return 0;
    }
    if (waited == WAIT_FAILED) {
        report_failure(caption_wait_for_single_object, GetLastError(), program, NULL);
        return 0;
    }
    if (!GetExitCodeProcess(process, &code)) {
        report_failure(caption_get_exit_code_process, GetLastError(), program, NULL);
        return 0;
    }
    *exit_code = (int)code;
    return 1;
}

/* The end of a run whose 64-bit program could not be started (reported). */
static int not_handed_over(HandOver *hand_over)
{
    hand_over->started = 0;
    return 1;
}

/* Leaves this process's ID in the environment the 64-bit program gets, so
   that its log can say which run handed it over. Nothing when it cannot. */
static void leave_hand_over_mark(void)
{
    GetCurrentProcessId_fn get_process = SYSTEM_FUNCTION(GetCurrentProcessId, "kernel32");
    SetEnvironmentVariableA_fn set_variable = SYSTEM_FUNCTION(SetEnvironmentVariableA, "kernel32");
    char id[16];
    if (get_process != NULL && set_variable != NULL && format_decimal(id, sizeof id, get_process(), 1))
        set_variable(HAND_OVER_VARIABLE, id);
}

/* "64 ビット版 (プロセス ID 2404) の終了コード: 3010". */
static void log_handed_over(DWORD process_id, int exit_code)
{
    LogLine line;
    line_begin(&line, text_log_handed_over);
    line_add_unsigned(&line, process_id);
    log_line_ending_in_number(&line, text_log_handed_over_code, exit_code);
}

int hand_over_to_64bit(const char *tail, HandOver *hand_over)
{
    WCHAR program[MAX_PATH_BYTES];
    WCHAR own[MAX_PATH_BYTES];
    WCHAR command_line[COMMAND_LINE_UNITS];
    char shown[MAX_PATH_BYTES];
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;

    hand_over->started = hand_over->known = hand_over->timed_out = 0;
    hand_over->exit_code = 0;
    if (!sibling_64bit_path(program, MAX_PATH_BYTES, own)) {
        /* without its path the 64-bit program cannot be started */
        report_failure(caption_create_process, GetLastError(), "QZUninst64.exe", NULL);
        return not_handed_over(hand_over);
    }
    if (!build_command_line(command_line, COMMAND_LINE_UNITS, program, tail))
        return 0;
    shown_path(shown, sizeof shown, program);
    if (!partner_trusted(own, program, shown))
        return not_handed_over(hand_over); /* logged and reported: nothing is started */
    /* bound at run time: Windows 98/Me, where no hand-over happens, lack it */
    CreateProcessW_fn create_process = SYSTEM_FUNCTION(CreateProcessW, "kernel32");

    zero_bytes(&startup, sizeof startup);
    startup.cb = sizeof startup;
    zero_bytes(&process, sizeof process);
    LogLine line;
    line_begin(&line, text_log_handing_over);
    line_add_system(&line, shown);
    log_line(&line);
    leave_hand_over_mark();
    if (create_process == NULL) {
        report_failure(caption_create_process, ERROR_PROC_NOT_FOUND, shown, NULL);
        return not_handed_over(hand_over);
    }
    if (!create_process(program, command_line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        report_failure(caption_create_process, GetLastError(), shown, NULL);
        return not_handed_over(hand_over);
    }
    hand_over->started = 1;
    if (wait_for_exit_code(process.hProcess, shown, &hand_over->exit_code, &hand_over->timed_out)) {
        hand_over->known = 1;
        log_handed_over(process.dwProcessId, hand_over->exit_code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}
