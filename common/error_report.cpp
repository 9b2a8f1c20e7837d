/*
 * error_report.cpp - how a failing platform call is shown to the user.
 *
 * The caption names the function that failed; the text is the system's
 * own message for the error, in the user's language. A quiet run writes
 * both to the log instead. Either way the log names the object and the
 * error's number, and the failure is counted.
 */
#include "error_report.h"
#include "message_box.h"
#include "run_log.h"
#include "text_buffers.h"
#include "texts.h"

int failures_reported = 0;

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

/* "対象: <object><tail>" (when there is one), then "エラー番号: 5", or
   "エラー番号: 3758096949 (0xE0000235)" for the values the setup API and
   others give with their top bit set. */
static void log_failure_details(const char *object, const char *object_tail, DWORD error)
{
    LogLine line;
    if (!is_empty(object) || !is_empty(object_tail)) {
        line_begin(&line, text_log_failure_object);
        line_add(&line, is_empty(object) ? "" : object);
        line_add(&line, is_empty(object_tail) ? "" : object_tail);
        log_line(&line);
    }
    line_begin(&line, text_log_failure_error);
    line_add_unsigned(&line, error);
    if (error > 0x7FFFFFFF) {
        line_add(&line, " (");
        line_add_hex(&line, error);
        line_add(&line, ")");
    }
    log_line(&line);
}

void report_failure(const char *caption, DWORD error, const char *object, const char *object_tail)
{
    char *system_text = NULL;
    char fallback[40];

    ++failures_reported;
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
    log_failure_details(object, object_tail, error);
}

/* 1 when the text's last character is a backslash (a trail byte that
   happens to be 0x5C is not one). */
static int ends_with_backslash(const char *text)
{
    int last_is_backslash = 0;
    for (int i = 0; text[i] != '\0'; ++i) {
        last_is_backslash = text[i] == '\\';
        if (is_cp932_lead_byte((unsigned char)text[i]) && text[i + 1] != '\0')
            ++i;
    }
    return last_is_backslash;
}

void report_registry_failure(const char *caption, LONG result, const char *key_path, const char *subkey)
{
    LogLine key;
    line_begin(&key, "HKLM\\");
    if (!is_empty(key_path)) {
        line_add(&key, key_path);
        if (!is_empty(subkey) && !ends_with_backslash(key_path))
            line_add(&key, "\\");
    }
    report_failure(caption, (DWORD)result, key.text, subkey);
}

int reported_failure_count(void)
{
    return failures_reported;
}
