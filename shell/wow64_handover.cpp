/*
 * wow64_handover.cpp - on 64-bit Windows, hand the run to the 64-bit program.
 *
 * A 32-bit process on 64-bit Windows cannot remove devices (the class
 * installer refuses with ERROR_IN_WOW64), so the 32-bit program starts
 * QZUninst64.exe from its own directory with the same tail, waits for it
 * and ends with its exit code. The user sees only the 64-bit program's
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

#define COMMAND_LINE_BYTES 1024

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

/* Puts the path of QZUninst64.exe beside this program's own file into `path`.
   1: built; 0: it cannot be, with the reason as the last error (that of
   GetModuleFileNameA, or ERROR_FILENAME_EXCED_RANGE when a path does not
   fit its buffer). */
static int sibling_64bit_path(char *path, int size)
{
    char own[MAX_PATH_BYTES];
    zero_bytes(own, sizeof own);
    DWORD length = GetModuleFileNameA(NULL, own, sizeof own);
    if (length == 0)
        return 0;
    if (length >= sizeof own) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE); /* cut short: a shorter path names another file */
        return 0;
    }
    /* cut after the last backslash; a trail byte of a double-byte character is not one */
    int cut = 0;
    for (int i = 0; own[i] != '\0'; ++i) {
        if (is_cp932_lead_byte((unsigned char)own[i]) && own[i + 1] != '\0') {
            ++i;
            continue;
        }
        if (own[i] == '\\')
            cut = i + 1;
    }
    own[cut] = '\0';
    if (!join_text(path, size, own, "QZUninst64.exe", "")) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    return 1;
}

/*
 * Waits for the started program and takes its exit code into *exit_code.
 * Returns 1; or 0 after a "WaitForSingleObject()" or
 * "GetExitCodeProcess()" box, when its result is unknown.
 */
static int wait_for_exit_code(HANDLE process, const char *program, int *exit_code)
{
    DWORD code = 0;
    if (WaitForSingleObject(process, INFINITE) == WAIT_FAILED) {
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
    char program[MAX_PATH_BYTES];
    char command_line[COMMAND_LINE_BYTES];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;

    hand_over->started = hand_over->known = 0;
    hand_over->exit_code = 0;
    if (!sibling_64bit_path(program, sizeof program)) {
        /* without its path the 64-bit program cannot be started */
        report_failure(caption_create_process, GetLastError(), "QZUninst64.exe", NULL);
        return not_handed_over(hand_over);
    }
    /* "<program>" <tail>: the tail is passed on exactly, trailing blanks too */
    if (!join_text(command_line, sizeof command_line, "\"", program, "\"") ||
        (tail[0] != '\0' && !(append_text(command_line, sizeof command_line, " ") &&
                               append_text(command_line, sizeof command_line, tail))))
        return 0; /* a tail this long is no valid option: the 32-bit program refuses it itself */

    zero_bytes(&startup, sizeof startup);
    startup.cb = sizeof startup;
    zero_bytes(&process, sizeof process);
    LogLine line;
    line_begin(&line, text_log_handing_over);
    line_add(&line, program);
    log_line(&line);
    leave_hand_over_mark();
    if (!CreateProcessA(program, command_line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        report_failure(caption_create_process, GetLastError(), program, NULL);
        return not_handed_over(hand_over);
    }
    hand_over->started = 1;
    if (wait_for_exit_code(process.hProcess, program, &hand_over->exit_code)) {
        hand_over->known = 1;
        log_handed_over(process.dwProcessId, hand_over->exit_code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}
