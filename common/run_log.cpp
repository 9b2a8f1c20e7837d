/*
 * run_log.cpp - the run's block of QZUninst.log: its lines, kept until the
 * block is written (log_file.cpp writes it).
 */
#include "run_log.h"
#include "run_record.h"
#include "own_text.h"
#include "texts.h"
#include "status_values.h"


/* Writes what the block holds to its file (log_file.cpp). */
void log_write_out(void);

void log_open(void)
{
    run.run_log.length = 0;
    run.run_log.path[0] = '\0';
    /* the family is known before the first line, and before anything can
       fail: Windows 98/Me set the top bit of GetVersion, which every Windows
       has and which cannot fail */
    run.run_log.win9x = (GetVersion() & 0x80000000) != 0;
    run.run_log.utf8 = !run.run_log.win9x;
    run.run_log.as_it_goes = 0;
    run.run_log.choosing = 0;
    run.run_log.chosen = 0;
    run.run_log.file_open = 0;
    run.run_log.file = INVALID_HANDLE_VALUE;
}

void log_set_path(const char *path)
{
    if (!copy_text(run.run_log.path, sizeof run.run_log.path, path))
        run.run_log.path[0] = '\0';
}

/* Room kept free for the lines that choosing the file adds. */
#define LOG_NOTES_BYTES 4096

/* Adds bytes to the block; a block that would grow past its buffer is
   written out first, and goes on in a second piece. */
static void add_to_block(const char *bytes, int length)
{
    if (run.run_log.length + length > LOG_BLOCK_BYTES - LOG_NOTES_BYTES && !run.run_log.choosing)
        log_write_out();
    if (run.run_log.length + length > LOG_BLOCK_BYTES)
        return; /* cannot happen: the notes are a few short lines */
    for (int i = 0; i < length; ++i)
        run.run_log.block[run.run_log.length + i] = bytes[i];
    run.run_log.length += length;
}

void line_begin(LogLine *line, const char *text)
{
    line->text[0] = '\0';
    line_add(line, text);
}

/* Appends the bytes as they are, cut after a whole character of the system's code page. */
static void add_bytes(LogLine *line, const char *text)
{
    int have = bounded_length(line->text, LOG_LINE_BYTES);
    if (have < LOG_LINE_BYTES)
        copy_whole_characters(line->text + have, LOG_LINE_BYTES - have, text);
}

/* The UTF-8 bytes of one character (a surrogate pair is one); 0 for a
   lone surrogate, which becomes U+FFFD. */
static int utf8_of(const WCHAR *at, int *units, unsigned char *out)
{
    unsigned long c = at[0];
    *units = 1;
    if (c >= 0xD800 && c <= 0xDBFF && at[1] >= 0xDC00 && at[1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (at[1] - 0xDC00);
        *units = 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
        c = 0xFFFD;
    }
    if (c < 0x80) {
        out[0] = (unsigned char)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (unsigned char)(0xC0 | c >> 6);
        out[1] = (unsigned char)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = (unsigned char)(0xE0 | c >> 12);
        out[1] = (unsigned char)(0x80 | (c >> 6 & 0x3F));
        out[2] = (unsigned char)(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = (unsigned char)(0xF0 | c >> 18);
    out[1] = (unsigned char)(0x80 | (c >> 12 & 0x3F));
    out[2] = (unsigned char)(0x80 | (c >> 6 & 0x3F));
    out[3] = (unsigned char)(0x80 | (c & 0x3F));
    return 4;
}

/* Appends UTF-16 text as UTF-8, cut after a whole character. */
static void add_utf8(LogLine *line, const WCHAR *text)
{
    int have = bounded_length(line->text, LOG_LINE_BYTES);
    int units = 1;
    for (int i = 0; have < LOG_LINE_BYTES && text[i] != 0; i += units) {
        unsigned char bytes[4];
        int length = utf8_of(text + i, &units, bytes);
        if (have + length >= LOG_LINE_BYTES)
            break;
        for (int k = 0; k < length; ++k)
            line->text[have++] = (char)bytes[k];
        line->text[have] = '\0';
    }
}

void line_add(LogLine *line, const char *text)
{
    if (!run.run_log.utf8) {
        add_bytes(line, text);
        return;
    }
    WCHAR wide[LOG_LINE_BYTES];
    own_text_to_utf16(wide, LOG_LINE_BYTES, text);
    add_utf8(line, wide);
}

void line_add_system(LogLine *line, const char *text)
{
    if (!run.run_log.utf8) {
        add_bytes(line, text);
        return;
    }
    WCHAR wide[LOG_LINE_BYTES];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, LOG_LINE_BYTES) == 0) {
        /* longer than a line: what fits, as far as it is plain ASCII */
        int i = 0;
        for (; i < LOG_LINE_BYTES - 1 && text[i] != '\0' && (unsigned char)text[i] < 0x80; ++i)
            wide[i] = (WCHAR)text[i];
        wide[i] = 0;
    }
    add_utf8(line, wide);
}

void line_add_wide(LogLine *line, const WCHAR *text)
{
    if (run.run_log.utf8) {
        add_utf8(line, text);
        return;
    }
    char narrow[LOG_LINE_BYTES];
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, NULL, NULL) != 0)
        add_bytes(line, narrow);
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

void line_add_error_number(LogLine *line, DWORD error)
{
    line_add_unsigned(line, error);
    if (error > 0x7FFFFFFF) {
        line_add(line, " (");
        line_add_hex(line, error);
        line_add(line, ")");
    }
}

void line_add_time(LogLine *line, const SYSTEMTIME *time)
{
    char digits[8];
    format_decimal(digits, sizeof digits, time->wYear, 4);
    line_add(line, digits);
    const WORD parts[] = {time->wMonth, time->wDay, time->wHour, time->wMinute, time->wSecond};
    const char *const separators[] = {"/", "/", " ", ":", ":"};
    for (int i = 0; i < 5; ++i) {
        line_add(line, separators[i]);
        format_decimal(digits, sizeof digits, parts[i], 2);
        line_add(line, digits);
    }
}

/* Days from 1970-01-01 to a date of the Gregorian calendar. */
static long days_from_civil(long year, long month, long day)
{
    year -= month <= 2;
    long era = (year >= 0 ? year : year - 399) / 400;
    long year_of_era = year - era * 400;
    long day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

static long seconds_of(const SYSTEMTIME *t)
{
    return days_from_civil(t->wYear, t->wMonth, t->wDay) * 86400L + t->wHour * 3600L + t->wMinute * 60L + t->wSecond;
}

long seconds_between(const SYSTEMTIME *from, const SYSTEMTIME *to)
{
    long seconds = seconds_of(to) - seconds_of(from);
    return seconds < 0 ? 0 : seconds; /* local time may step back (daylight saving, a clock set) */
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
    add_to_block(out, n);
}

void log_text(const char *text)
{
    LogLine line;
    line_begin(&line, text);
    log_line(&line);
}

void log_line_ending_in_number(LogLine *line, const char *label, long number)
{
    line_add(line, label);
    line_add_number(line, number);
    log_line(line);
}

void log_message(const char *caption, const char *text, const WCHAR *wide_text, const char *answer)
{
    LogLine line;
    line_begin(&line, text_log_message);
    line_add(&line, "[");
    line_add(&line, caption);
    line_add(&line, "]\n");
    if (wide_text != NULL)
        line_add_wide(&line, wide_text);
    else
        line_add(&line, text);
    log_line(&line);
    log_text(answer);
}

/* A step's place in StepTotals, and the word for it. */
static StepSlot status_slot(int status)
{
    switch (status) {
    case STATUS_NOTHING: return SLOT_NOTHING;
    case STATUS_REMOVED: return SLOT_REMOVED;
    case STATUS_PARTLY_REMOVED: return SLOT_PARTLY_REMOVED;
    default: return SLOT_FAILED; /* STATUS_FAILED */
    }
}

/* One that did not run, or reported a failure, reads so whatever its status. */
static StepSlot step_slot(const StepResult *step)
{
    if (!step->ran)
        return SLOT_NOT_RUN;
    if (step->failures > 0)
        return SLOT_FAILED;
    return status_slot(step->status);
}

static const char *const slot_words[STEP_SLOT_COUNT] = {text_log_status_nothing, text_log_status_removed,
                                                        text_log_status_partly, text_log_status_failed,
                                                        text_log_status_not_run};

/* " (対象の 26 個のうち 3 個があり、すべて削除)". */
static void add_file_counts(LogLine *line, const StepResult *step)
{
    line_add(line, text_log_files_of);
    line_add_number(line, step->files_listed);
    line_add(line, text_log_files_present);
    line_add_number(line, step->files_found);
    line_add(line, text_log_files_all_deleted);
}

void log_product_steps(int index, const StepResult steps[], int count, StepTotals *totals)
{
    LogLine line;
    line_begin(&line, text_log_product);
    line_add_number(&line, index);
    line_add(&line, ": ");
    for (int i = 0; i < count; ++i) {
        StepSlot slot = step_slot(&steps[i]);
        if (i != 0)
            line_add(&line, text_log_separator);
        line_add(&line, steps[i].name);
        line_add(&line, slot_words[slot]);
        if (slot == SLOT_PARTLY_REMOVED && steps[i].files_listed > 0)
            add_file_counts(&line, &steps[i]);
        ++totals->count[slot];
    }
    log_line(&line);
}

void log_step_totals(const StepTotals *totals)
{
    static const StepSlot order[STEP_SLOT_COUNT] = {SLOT_REMOVED, SLOT_PARTLY_REMOVED, SLOT_FAILED, SLOT_NOTHING,
                                                    SLOT_NOT_RUN};
    LogLine line;
    line_begin(&line, text_log_totals);
    for (int i = 0; i < STEP_SLOT_COUNT; ++i) {
        if (i != 0)
            line_add(&line, text_log_separator);
        line_add(&line, slot_words[order[i]]);
        line_add(&line, " ");
        line_add_number(&line, totals->count[order[i]]);
    }
    log_line(&line);
}
