/*
 * run_log.cpp - QZUninst.log, appended to by every run.
 */
#include "run_log.h"
#include "texts.h"
#include "status_values.h"
#include "text_buffers.h"

HANDLE log_file = INVALID_HANDLE_VALUE;

void log_open(void)
{
    char folder[MAX_PATH_BYTES];
    char path[MAX_PATH_BYTES];

    log_file = INVALID_HANDLE_VALUE;
    zero_bytes(folder, sizeof folder);
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder || !join_text(path, sizeof path, folder, "QZUninst.log", ""))
        return; /* no temporary folder, or one too long: no log */
    /* shared, so that the 64-bit program can append while the 32-bit one waits */
    log_file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
}

void log_close(void)
{
    if (log_file != INVALID_HANDLE_VALUE)
        CloseHandle(log_file);
    log_file = INVALID_HANDLE_VALUE;
}

void line_begin(LogLine *line, const char *text)
{
    line->text[0] = '\0';
    line_add(line, text);
}

void line_add(LogLine *line, const char *text)
{
    int have = bounded_length(line->text, LOG_LINE_BYTES);
    for (int i = 0; text[i] != '\0';) {
        /* a double-byte character goes whole or not at all */
        int size = is_cp932_lead_byte((unsigned char)text[i]) && text[i + 1] != '\0' ? 2 : 1;
        if (have + size > LOG_LINE_BYTES - 1)
            break;
        for (int k = 0; k < size; ++k)
            line->text[have++] = text[i++];
    }
    line->text[have] = '\0';
}

void line_add_unsigned(LogLine *line, unsigned long number)
{
    char digits[24];
    format_decimal(digits, sizeof digits, number, 1);
    line_add(line, digits);
}

void line_add_number(LogLine *line, long number)
{
    if (number < 0) {
        line_add(line, "-");
        line_add_unsigned(line, (unsigned long)(-(number + 1)) + 1);
    } else {
        line_add_unsigned(line, (unsigned long)number);
    }
}

void line_add_hex(LogLine *line, DWORD number)
{
    static const char hex_digits[] = "0123456789ABCDEF";
    char text[11] = "0x";
    for (int i = 0; i < 8; ++i)
        text[2 + i] = hex_digits[(number >> (28 - 4 * i)) & 0xF];
    text[10] = '\0';
    line_add(line, text);
}

/* Appends `length` bytes at the end of the log. The end is looked up before
   every write: another copy (the 64-bit program) may have written since,
   and a failed lookup writes nothing rather than over what is there. */
static void append_bytes(const char *bytes, DWORD length)
{
    DWORD written = 0;
    if (SetFilePointer(log_file, 0, NULL, FILE_END) == INVALID_SET_FILE_POINTER)
        return;
    WriteFile(log_file, bytes, length, &written, NULL);
}

void log_line(const LogLine *line)
{
    /* a line feed becomes CR LF and four blanks; CR LF at the very end goes:
       a line of nothing but line feeds grows sixfold */
    char out[LOG_LINE_BYTES * 6 + 2];
    int end = bounded_length(line->text, LOG_LINE_BYTES);
    while (end > 0 && (line->text[end - 1] == '\r' || line->text[end - 1] == '\n'))
        --end;
    int n = 0;
    for (int i = 0; i < end; ++i) {
        char c = line->text[i];
        if (c == '\r')
            continue; /* a trail byte is never 0x0D or 0x0A */
        if (c == '\n') {
            const char *indent = "\r\n    ";
            for (int k = 0; indent[k] != '\0'; ++k)
                out[n++] = indent[k];
            continue;
        }
        out[n++] = c;
    }
    out[n++] = '\r';
    out[n++] = '\n';
    if (log_file != INVALID_HANDLE_VALUE)
        append_bytes(out, (DWORD)n);
}

void log_text(const char *text)
{
    LogLine line;
    line_begin(&line, text);
    log_line(&line);
}

void log_number(const char *label, long number)
{
    LogLine line;
    line_begin(&line, label);
    line_add_number(&line, number);
    log_line(&line);
}

void log_message(const char *caption, const char *text, const char *answer)
{
    LogLine line;
    line_begin(&line, text_log_message);
    line_add(&line, "[");
    line_add(&line, caption);
    line_add(&line, "]\n");
    line_add(&line, text);
    log_line(&line);
    log_text(answer);
}

/* The word for a status, and its place in StepTotals. */
static int status_slot(int status)
{
    switch (status) {
    case STATUS_NOTHING: return 0;
    case STATUS_REMOVED: return 1;
    case STATUS_PARTLY_REMOVED: return 2;
    default: return 3; /* STATUS_FAILED */
    }
}

static const char *const status_words[4] = {text_log_status_nothing, text_log_status_removed,
                                             text_log_status_partly, text_log_status_failed};

void log_product_steps(int index, const char *const steps[], const int statuses[], int count, StepTotals *totals)
{
    LogLine line;
    line_begin(&line, text_log_product);
    line_add_number(&line, index);
    line_add(&line, ": ");
    for (int i = 0; i < count; ++i) {
        int slot = status_slot(statuses[i]);
        if (i != 0)
            line_add(&line, text_log_separator);
        line_add(&line, steps[i]);
        line_add(&line, status_words[slot]);
        ++totals->count[slot];
    }
    log_line(&line);
}

void log_step_totals(const StepTotals *totals)
{
    static const int order[4] = {1, 2, 3, 0}; /* removed, partly, failed, nothing */
    LogLine line;
    line_begin(&line, text_log_totals);
    for (int i = 0; i < 4; ++i) {
        if (i != 0)
            line_add(&line, text_log_separator);
        line_add(&line, status_words[order[i]]);
        line_add(&line, " ");
        line_add_number(&line, totals->count[order[i]]);
    }
    log_line(&line);
}
