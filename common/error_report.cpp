/*
 * error_report.cpp - how a failing platform call is shown to the user.
 *
 * The caption names the function that failed; the text is the system's
 * own message for the error, in the user's language. A quiet run writes
 * both to the log instead. Either way the log names the object and the
 * error's number, and the failure is counted, for the step it happened in,
 * and listed for the end of the run's block.
 */
#include "error_report.h"
#include "message_box.h"
#include "run_log.h"
#include "system_functions.h"
#include "text_buffers.h"
#include "texts.h"


void step_begins(void)
{
    run.failures_before_step = run.failures_reported;
}

void step_ended(StepRecord *step)
{
    step->ran = 1;
    step->failures = run.failures_reported - run.failures_before_step;
    run.failures_before_step = run.failures_reported;
    log_step_done(); /* a run ended from outside keeps each finished step in its log */
}

/* Shown when the system has no text for an error: "Error 1234". */
static void fallback_text(char *text, int size, DWORD error)
{
    char number[24];
    format_decimal(number, sizeof number, error, 1);
    join_text(text, size, "Error ", number, "");
}

static int is_empty(const char *text)
{
    return text == NULL || text[0] == '\0';
}

/* "対象: <object><tail>" (when there is one), then "エラー番号: 5". */
static void log_failure_details(const char *object, const char *object_tail, DWORD error)
{
    LogLine line;
    if (!is_empty(object) || !is_empty(object_tail)) {
        line_begin(&line, text_log_failure_object);
        line_add_system(&line, is_empty(object) ? "" : object);
        line_add_system(&line, is_empty(object_tail) ? "" : object_tail);
        log_line(&line);
    }
    line_begin(&line, text_log_failure_error);
    line_add_error_number(&line, error);
    log_line(&line);
}

/* Keeps the failure for the list at the end of the block; an object too
   long for the row is cut after a whole character. */
static void list_failure(const char *caption, const char *object, const char *object_tail, DWORD error)
{
    if (run.failures_reported > FAILURE_LIST_ROWS)
        return;
    ReportedFailure &row = run.failures_listed[run.failures_reported - 1];
    int length = copy_whole_characters(row.object, sizeof row.object, is_empty(object) ? "" : object);
    copy_whole_characters(row.object + length, (int)sizeof row.object - length, is_empty(object_tail) ? "" : object_tail);
    row.caption = caption;
    row.error = error;
}

void log_failure_list(int in_steps)
{
    LogLine line;
    line_begin(&line, text_log_failures);
    line_add_number(&line, run.failures_reported);
    line_add(&line, text_log_failures_unit);
    if (run.failures_reported != 0) {
        line_add(&line, text_log_failures_in_steps);
        line_add_number(&line, in_steps);
        line_add(&line, text_log_failures_outside);
        line_add_number(&line, run.failures_reported - in_steps);
        line_add(&line, text_log_failures_unit);
        line_add(&line, ")");
    }
    log_line(&line);
    for (int i = 0; i < run.failures_reported && i < FAILURE_LIST_ROWS; ++i) {
        const ReportedFailure &row = run.failures_listed[i];
        line_begin(&line, "    ");
        line_add(&line, row.caption);
        line_add(&line, " (");
        if (row.object[0] != '\0') {
            line_add_system(&line, row.object);
            line_add(&line, text_log_separator);
        }
        line_add(&line, text_log_failure_number);
        line_add_error_number(&line, row.error);
        line_add(&line, ")");
        log_line(&line);
    }
    if (run.failures_reported > FAILURE_LIST_ROWS) {
        line_begin(&line, "    ");
        line_add(&line, text_log_failures_more_before);
        line_add_number(&line, run.failures_reported - FAILURE_LIST_ROWS);
        line_add(&line, text_log_failures_unit);
        log_line(&line);
    }
}

#define ERROR_TEXT_BYTES 1024

/* Windows 98/Me: the system's text in its code page (FormatMessageA), or
   "Error 1234" when it has none for the error. */
static void show_error_text(const char *caption, DWORD error)
{
    char *system_text = NULL;
    char fallback[40];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, NULL, error,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&system_text, 0, NULL);
    if (length == 0 || system_text == NULL) {
        /* No text for this error: still tell the user which call failed. */
        fallback_text(fallback, sizeof fallback, error);
        show_message(caption, fallback, MB_OK | MB_ICONERROR);
    } else {
        show_message(caption, system_text, MB_OK | MB_ICONERROR);
        LocalFree(system_text);
    }
}

/* The NT family: the system's text in UTF-16 (FormatMessageW, bound at run
   time: Windows 98/Me have only a stub of it), shown as it is, so that a
   Chinese text reads right on any Windows; the log takes it in the system's
   code page. Without a text, "Error 1234" as on Windows 98/Me. */
static void show_error_text_utf16(const char *caption, DWORD error)
{
    FormatMessageW_fn format_message = SYSTEM_FUNCTION(FormatMessageW, "kernel32");
    WCHAR *system_text = NULL;
    char logged[ERROR_TEXT_BYTES];
    DWORD length = 0;
    if (format_message != NULL)
        length = format_message(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, NULL, error,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPWSTR)&system_text, 0, NULL);
    if (length == 0 || system_text == NULL) {
        fallback_text(logged, sizeof logged, error);
        show_message(caption, logged, MB_OK | MB_ICONERROR);
        return;
    }
    if (WideCharToMultiByte(CP_ACP, 0, system_text, -1, logged, sizeof logged, NULL, NULL) == 0)
        fallback_text(logged, sizeof logged, error); /* too long for the log: its number says it */
    show_system_message(caption, system_text, logged, MB_OK | MB_ICONERROR);
    LocalFree(system_text);
}

void report_failure(const char *caption, DWORD error, const char *object, const char *object_tail)
{
    ++run.failures_reported;
    if (run.run_log.win9x)
        show_error_text(caption, error);
    else
        show_error_text_utf16(caption, error);
    log_failure_details(object, object_tail, error);
    list_failure(caption, object, object_tail, error);
}

/* 1 when the text's last character is a backslash (a trail byte that
   happens to be 0x5C is not one). */
static int ends_with_backslash(const char *text)
{
    int last_is_backslash = 0;
    for (int i = 0; text[i] != '\0'; i += character_bytes(text + i))
        last_is_backslash = text[i] == '\\';
    return last_is_backslash;
}

void report_registry_failure(const char *caption, LONG result, const char *key_path, const char *subkey)
{
    char key[LOG_LINE_BYTES] = "HKLM\\";
    if (!is_empty(key_path)) {
        int length = bounded_length(key, sizeof key);
        length += copy_whole_characters(key + length, (int)sizeof key - length, key_path);
        if (!is_empty(subkey) && !ends_with_backslash(key_path))
            copy_whole_characters(key + length, (int)sizeof key - length, "\\");
    }
    report_failure(caption, (DWORD)result, key, subkey);
}

int reported_failure_count(void)
{
    return run.failures_reported;
}
