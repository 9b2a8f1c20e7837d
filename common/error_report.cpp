/*
 * error_report.cpp - how a failing platform call is shown to the user.
 *
 * The caption names the function that failed; the text is the system's
 * own message for the error, in the user's language. A quiet run writes
 * both to the log instead; either way the failure is counted.
 */
#include "error_report.h"
#include "message_box.h"
#include "text_buffers.h"

int failures_reported = 0;

/* Shown when the system has no text for an error: "Error 1234". */
static void fallback_text(char *text, int size, DWORD error)
{
    char number[24];
    format_decimal(number, sizeof number, error, 1);
    join_text(text, size, "Error ", number, "");
}

void report_system_error(const char *caption)
{
    DWORD error = GetLastError();
    char *system_text = NULL;
    char fallback[40];

    ++failures_reported;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, NULL, error,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&system_text, 0, NULL);
    if (length == 0 || system_text == NULL) {
        /* No text for this error: still tell the user which call failed. */
        fallback_text(fallback, sizeof fallback, error);
        show_message(caption, fallback, MB_OK | MB_ICONERROR);
        return;
    }
    show_message(caption, system_text, MB_OK | MB_ICONERROR);
    LocalFree(system_text);
}

void report_registry_error(const char *caption, LONG result)
{
    SetLastError((DWORD)result);
    report_system_error(caption);
}

int reported_failure_count(void)
{
    return failures_reported;
}
