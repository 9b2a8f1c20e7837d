/*
 * run_log.h - the log that every run adds a block to: QZUninst.log in the
 * temporary folder (GetTempPath2A where Windows has it, which gives SYSTEM
 * a folder of its own; else GetTempPathA), or the file `--log PATH` names.
 *
 * On the NT family the log is UTF-8 with a byte order mark, CR LF line
 * ends: CMTrace, Notepad and PowerShell read it on a Windows of any
 * language, and the program's texts, the paths Windows gives in its own
 * code page and the error texts it gives in UTF-16 all land in one
 * encoding. A log of an earlier version, code page 932 without the mark,
 * is moved aside to QZUninst.old.log rather than added to. Windows 98/Me
 * keep the code page 932 log. The log serves the people who look after the PC: a log
 * that cannot be opened or written never stops or changes the removal, and
 * its failures are not reported.
 *
 * A run's block is kept in memory until the run holds the run lock, so
 * that blocks of runs that overlap never mix: one that finds the lock
 * taken writes its short block when it ends, and the 32-bit program's
 * block follows the 64-bit program's it handed the run to. Once the lock
 * is held, the block so far is written and each step's lines follow as
 * the step ends, each flushed to the disk: a run that a deployment tool
 * ends after its time-out, or that dies, leaves every finished step.
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
    int win9x;                   /* Windows 98/Me (GetVersion): no append-only handles, no links to look for, MessageBoxA */
    int utf8;                    /* the NT family: lines in UTF-8, the file with its byte order mark */
    int as_it_goes;              /* the run holds the lock: lines are written as each step ends */
    int choosing;                /* the file is being chosen: the block is not written meanwhile */
    int chosen;                  /* the file is chosen (and open when file_open) */
    int file_open;
    HANDLE file;
};

/* Starts the run's block: nothing is written yet, and the default log is the one. */
void log_open(void);

/* The file --log names, for the block instead of the default log. */
void log_set_path(const char *path);

/* The run holds the lock: the block so far is written now, and the rest
   as it comes, at each log_step_done(). */
void log_write_as_it_goes(void);

/* A step ended: once the run holds the lock, its lines are written and
   flushed to the disk (FlushFileBuffers). */
void log_step_done(void);

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

/* A line is in the log's encoding. line_add takes the program's own texts
   (code page 932, or ASCII), line_add_system a text Windows gave in the
   system's code page (a path, a name, a device ID), line_add_wide one it
   gave in UTF-16. On Windows 98/Me all three are the bytes as they are. */
void line_begin(LogLine *line, const char *text);
void line_add(LogLine *line, const char *text);
void line_add_system(LogLine *line, const char *text);
void line_add_wide(LogLine *line, const WCHAR *text);
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
   (each of its lines indented) and the answer line. The text is `wide_text`
   when Windows gave it (an error text), else the program's own `text`. */
void log_message(const char *caption, const char *text, const WCHAR *wide_text, const char *answer);

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
