/*
 * run_log.h - the log that every run adds a block to: QZUninst.log in the
 * temporary folder (GetTempPath2A where Windows has it, which gives SYSTEM
 * a folder of its own; else GetTempPathA), or the file `--log PATH` names.
 *
 * Code page 932 text with CR LF line ends, so that it reads in Notepad on a
 * Japanese Windows. The log serves the people who look after the PC: a log
 * that cannot be opened or written never stops or changes the removal, and
 * its failures are not reported.
 *
 * A run's block is kept in memory and written in one piece at its end, so
 * that blocks of runs that overlap never mix: the run that holds the run
 * lock writes when it ends, one that finds the lock taken writes its short
 * block then, and the 32-bit program's block follows the 64-bit program's
 * it handed the run to. Only a block longer than the buffer is written in
 * more than one piece.
 */
#ifndef QZ_RUN_LOG_H
#define QZ_RUN_LOG_H

#include "platform_ops.h"
#include "text_buffers.h"

#define LOG_LINE_BYTES 1024
#define LOG_BLOCK_BYTES 65536

/* One line being put together; a text that does not fit is cut. */
struct LogLine {
    char text[LOG_LINE_BYTES];
};

/* The run's block and where it goes. All zero is a log with nothing in it. */
struct RunLog {
    char block[LOG_BLOCK_BYTES]; /* the lines not yet written */
    int length;
    char path[MAX_PATH_BYTES];   /* the file --log names; empty: the default log */
    int win9x;                   /* Windows 98/Me: no append-only handles, no links to look for */
    int choosing;                /* the file is being chosen: the block is not written meanwhile */
    int chosen;                  /* the file is chosen (and open when file_open) */
    int file_open;
    HANDLE file;
};

/* Starts the run's block: nothing is written yet, and the default log is the one. */
void log_open(void);

/* The file --log names, for the block instead of the default log. */
void log_set_path(const char *path);

/* 1 on Windows 98/Me (known from the version), where the log is written without the NT family's checks. */
void log_set_win9x(int win9x);

/*
 * Picks the file the block goes to, once: the file --log names when it
 * can be written, else the default log (QZUninst.log, moved to
 * QZUninst.old.log first when it has grown above 1 MiB). A file is never
 * written when it is a link (a reparse point) or one of several names of
 * a file (hard links): the block then goes to the next one, or nowhere.
 * Each file passed over, and the move, gets a line in the block. Call it
 * before the block's last lines, so that they follow those notes.
 */
void log_choose_file(void);

/* Writes what is left of the block (choosing its file first) and closes the file. */
void log_close(void);

void line_begin(LogLine *line, const char *text);
void line_add(LogLine *line, const char *text);
void line_add_number(LogLine *line, long number);
void line_add_unsigned(LogLine *line, unsigned long number);
void line_add_hex(LogLine *line, DWORD number); /* "0xE0000235": eight digits */
/* An error number: "5", or "3758096949 (0xE0000235)" for the values the
   setup API and others give with their top bit set (never negative). */
void line_add_error_number(LogLine *line, DWORD error);
void line_add_time(LogLine *line, const SYSTEMTIME *time); /* "2026/12/08 10:00:00" */

/* Whole seconds from `from` to `to` (local times); 0 when the clock went back. */
long seconds_between(const SYSTEMTIME *from, const SYSTEMTIME *to);

/* Adds the line, and CR LF, to the block. A line feed within it starts an indented line. */
void log_line(const LogLine *line);

/* Adds one line of fixed text. */
void log_text(const char *text);

/* Adds a message as its box shows it: "メッセージ [caption]", the text
   (each of its lines indented) and the answer line. */
void log_message(const char *caption, const char *text, const char *answer);

/* Adds "<label><number>" as one line. */
void log_number(const char *label, long number);

/* Ends a line begun by the caller with "<label><number>" and writes it
   ("結果: 完了" + "、終了コード 0"). */
void log_line_ending_in_number(LogLine *line, const char *label, long number);

/* What one step of a product did, as its line tells it: a step that did
   not run reads "実行せず", one during which a failure was reported
   "失敗", whatever its status; else its status's word. A partly removed
   file step found only some of the files it looks for, and deleted each
   it found (a file found and kept would have been reported): it tells how
   many of how many (files_listed 0: no count). */
struct StepResult {
    const char *name; /* "デバイス " */
    int status;       /* STATUS_NOTHING, _REMOVED, _PARTLY_REMOVED or _FAILED */
    int ran;
    int failures;
    int files_listed, files_found;
};

/* How a step ended, as the log counts it. */
enum StepSlot {
    SLOT_NOTHING,
    SLOT_REMOVED,
    SLOT_PARTLY_REMOVED,
    SLOT_FAILED,
    SLOT_NOT_RUN,
    STEP_SLOT_COUNT
};

/* How many steps of a run ended how, by StepSlot. */
struct StepTotals {
    int count[STEP_SLOT_COUNT];
};

/* Adds one product's line, "製品 <index>: <step> <result>、...", and counts
   each step's result in *totals. */
void log_product_steps(int index, const StepResult steps[], int count, StepTotals *totals);

/* Adds "集計: 削除 n、一部削除 n、失敗 n、なし n、実行せず n". */
void log_step_totals(const StepTotals *totals);

#endif
