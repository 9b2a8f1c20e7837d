/*
 * error_report.h - the error report box, and the count of failures reported.
 */
#ifndef QZ_ERROR_REPORT_H
#define QZ_ERROR_REPORT_H

#include "platform_ops.h"
#include "text_buffers.h"

/*
 * Reports a failed platform call: a box (error icon, OK only, no owner)
 * under `caption`, such as "Function : DeleteFile()", with the system's
 * text for `error`, the error the call gave (read right after it); in a
 * quiet run the log instead. The log also names what the call was made
 * on, `object` followed by `object_tail` (either may be null: a folder and
 * a name, say), and the error's number. Counts the failure. Returns
 * nothing; the caller decides its own result.
 */
void report_failure(const char *caption, DWORD error, const char *object, const char *object_tail);

/* The same for a registry function, which returns its error instead of
   setting the last error: the key HKLM\<key_path>\<subkey> is named
   (either part may be null). */
void report_registry_failure(const char *caption, LONG result, const char *key_path, const char *subkey);

/* How many failures this run has reported (boxes or, in a quiet run, log
   entries): what a quiet run's exit code is decided on. */
int reported_failure_count(void);

/* What the log tells of one removal step: whether it ran, and how many
   failures were reported while it ran (its status may not show them: a
   step's status follows its own rules). */
struct StepRecord {
    int ran;
    int failures;
};

/* Failures reported from here on belong to the step that follows. */
void step_begins(void);

/* The step that began last has ended: it ran, with the failures reported
   since it began. The next step begins here. */
void step_ended(StepRecord *step);

/* The first failures reported, kept for the list at the end of the run's
   block: the caption, what the call was made on and its error. */
#define FAILURE_LIST_ROWS 16
struct ReportedFailure {
    const char *caption;
    char object[MAX_PATH_BYTES]; /* cut at a character when longer */
    DWORD error;
};

/* Adds "失敗の報告: <n> 件 (手順の中で <in_steps> 件、手順の外で <rest> 件)"
   and, one indented line each, the failures reported ("Function :
   DeleteFile() (C:\\...\\oem3.inf、エラー番号 32)"), the first
   FAILURE_LIST_ROWS of them. */
void log_failure_list(int in_steps);

#endif
