/*
 * error_report.h - the error report box, and the count of failures reported.
 */
#ifndef QZ_ERROR_REPORT_H
#define QZ_ERROR_REPORT_H

#include "platform_ops.h"

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

/* The count itself, zero at process start; only the reports above add to it. */
extern int failures_reported;

#endif
