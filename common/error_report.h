/*
 * error_report.h - the error report box.
 */
#ifndef QZ_ERROR_REPORT_H
#define QZ_ERROR_REPORT_H

#include "platform_ops.h"

/* Shows the system's text for the thread's last error in a box (error icon,
   OK only, no owner) under `caption`, such as "Function : DeleteFile()".
   Call it right after the failing call, before anything else can change
   the last error. Returns nothing; the caller decides its own result. */
void report_system_error(const char *caption);

/* Registry functions return their error instead of setting the last error:
   this makes `result` the last error first, so the box says why the call
   failed, then reports it as report_system_error does. */
void report_registry_error(const char *caption, LONG result);

/* How many failures this run has reported (boxes or, in a quiet run, log
   entries): what a quiet run's exit code is decided on. */
int reported_failure_count(void);

/* The count itself, zero at process start; only the reports above add to it. */
extern int failures_reported;

#endif
