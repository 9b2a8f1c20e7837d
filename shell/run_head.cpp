/*
 * run_head.cpp - the head of the run's block: when it started, which
 * program and whether the run was handed over, which Windows (logged by
 * the platform check's reader), the computer, the account, the session,
 * the process, the elevation and the command line; and whether anyone can
 * see a box at all.
 *
 * Everything here is asked of functions bound at run time: one that
 * Windows lacks, or that fails, gives "不明" (unknown) and changes nothing.
 */
#include "uninstaller.h"
#include "../common/run_log.h"
#include "../common/system_functions.h"
#include "../common/text_buffers.h"
#include "../common/texts.h"
#include "version.h"

#define NAME_BYTES 260 /* an account name is at most 256 characters, a computer name 15 */

/* Adds "<label><value>" as a line, `value` as Windows gave it; "<label>不明"
   when value is null. */
static void log_labelled(const char *label, const char *value)
{
    LogLine line;
    line_begin(&line, label);
    if (value != NULL)
        line_add_system(&line, value);
    else
        line_add(&line, text_log_unknown);
    log_line(&line);
}

static void log_labelled_number(const char *label, DWORD value, int known)
{
    char digits[16];
    log_labelled(label, known && format_decimal(digits, sizeof digits, value, 1) ? digits : NULL);
}

/* 1 with the ID of the 32-bit program that handed this run over in `id`
   (`size` bytes), as that program left it in the environment it passed on. */
static int handed_over_by(char *id, DWORD size)
{
    GetEnvironmentVariableA_fn get_variable = SYSTEM_FUNCTION(GetEnvironmentVariableA, "kernel32");
    if (get_variable == NULL)
        return 0;
    zero_bytes(id, (int)size);
    DWORD length = get_variable(HAND_OVER_VARIABLE, id, size);
    return length > 0 && length < size;
}

void log_run_start(const SYSTEMTIME *start, int under_wow64)
{
    LogLine line;
    line_begin(&line, text_log_start);
    line_add_time(&line, start);
    line_add(&line, text_log_start_end);
    log_line(&line);

    line_begin(&line, text_log_program);
    line_add(&line, QZ_VERSION_TEXT);
    line_add(&line, sizeof(void *) == 8 ? text_log_64bit : text_log_32bit);
    log_line(&line);

    char id[16];
    line_begin(&line, text_log_hand_over);
    if (under_wow64) {
        line_add(&line, text_log_hand_over_to);
    } else if (handed_over_by(id, sizeof id)) {
        line_add(&line, text_log_hand_over_from);
        line_add(&line, id);
        line_add(&line, text_log_hand_over_from_end);
    } else {
        line_add(&line, text_log_hand_over_none);
    }
    log_line(&line);
}

/* "昇格: はい" when the process's token is elevated (Windows Vista and
   later; "不明" where Windows knows no elevation). */
static void log_elevation(void)
{
    GetTokenInformation_fn get_information = SYSTEM_FUNCTION(GetTokenInformation, "advapi32");
    HANDLE token = NULL;
    const char *answer = NULL;
    if (get_information != NULL && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION elevation;
        DWORD length = 0;
        elevation.TokenIsElevated = 0;
        if (get_information(token, TokenElevation, &elevation, sizeof elevation, &length))
            answer = elevation.TokenIsElevated ? text_log_yes : text_log_no;
        CloseHandle(token);
    }
    LogLine line;
    line_begin(&line, text_log_elevated);
    line_add(&line, answer != NULL ? answer : text_log_unknown); /* the program's own words */
    log_line(&line);
}

void log_run_identity(const char *tail)
{
    char name[NAME_BYTES];
    DWORD size = sizeof name;
    GetComputerNameA_fn get_computer = SYSTEM_FUNCTION(GetComputerNameA, "kernel32");
    log_labelled(text_log_computer, get_computer != NULL && get_computer(name, &size) ? name : NULL);

    size = sizeof name;
    GetUserNameA_fn get_user = SYSTEM_FUNCTION(GetUserNameA, "advapi32");
    log_labelled(text_log_account, get_user != NULL && get_user(name, &size) ? name : NULL);

    GetCurrentProcessId_fn get_process = SYSTEM_FUNCTION(GetCurrentProcessId, "kernel32");
    DWORD process = get_process != NULL ? get_process() : 0;
    ProcessIdToSessionId_fn get_session = SYSTEM_FUNCTION(ProcessIdToSessionId, "kernel32");
    DWORD session = 0;
    int session_known = process != 0 && get_session != NULL && get_session(process, &session);
    log_labelled_number(text_log_session, session, session_known);
    log_labelled_number(text_log_process, process, process != 0);
    log_elevation();

    LogLine line;
    line_begin(&line, text_log_command_line);
    line_add(&line, "\"");
    line_add_system(&line, tail);
    line_add(&line, "\"");
    log_line(&line);
}

int window_station_visible(void)
{
    GetProcessWindowStation_fn get_station = SYSTEM_FUNCTION(GetProcessWindowStation, "user32");
    GetUserObjectInformationA_fn get_information = SYSTEM_FUNCTION(GetUserObjectInformationA, "user32");
    if (get_station == NULL || get_information == NULL)
        return 1;
    HWINSTA station = get_station(); /* the process's own: never closed */
    USEROBJECTFLAGS flags;
    zero_bytes(&flags, sizeof flags);
    DWORD needed = 0;
    if (station == NULL || !get_information((HANDLE)station, UOI_FLAGS, &flags, sizeof flags, &needed))
        return 1;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}
