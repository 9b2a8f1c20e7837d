/*
 * run_log.h - the log that every run appends a block to: QZUninst.log in
 * the temporary folder (GetTempPathA; for SYSTEM, the Windows Temp folder).
 *
 * Code page 932 text with CR LF line ends, so that it reads in Notepad on a
 * Japanese Windows. The log serves the people who look after the PC: a log
 * that cannot be opened or written never stops or changes the removal, and
 * its failures are not reported.
 */
#ifndef QZ_RUN_LOG_H
#define QZ_RUN_LOG_H

#include "platform_ops.h"

#define LOG_LINE_BYTES 1024

/* One line being put together; a text that does not fit is cut. */
struct LogLine {
    char text[LOG_LINE_BYTES];
};

/* The open log, or INVALID_HANDLE_VALUE: without a log the calls below do nothing. */
extern HANDLE log_file;

/* Opens the log for appending. */
void log_open(void);
void log_close(void);

void line_begin(LogLine *line, const char *text);
void line_add(LogLine *line, const char *text);
void line_add_number(LogLine *line, long number);
void line_add_unsigned(LogLine *line, unsigned long number);
void line_add_hex(LogLine *line, DWORD number); /* "0xE0000235": eight digits */

/* Appends the line, and CR LF. A line feed within it starts an indented line. */
void log_line(const LogLine *line);

/* Appends one line of fixed text. */
void log_text(const char *text);

/* Appends a message as its box shows it: "メッセージ [caption]", the text
   (each of its lines indented) and the answer line. */
void log_message(const char *caption, const char *text, const char *answer);

/* Appends "<label><number>" as one line. */
void log_number(const char *label, long number);

/* What the steps of a run did, counted by status: nothing, removed, partly
   removed, failed. */
struct StepTotals {
    int count[4];
};

/* Appends one product's line, "製品 <index>: <step><status word>、...", for
   `count` steps (their names and statuses side by side), and counts each
   status in *totals. */
void log_product_steps(int index, const char *const steps[], const int statuses[], int count, StepTotals *totals);

/* Appends "集計: 削除 n、一部削除 n、失敗 n、なし n". */
void log_step_totals(const StepTotals *totals);

#endif
