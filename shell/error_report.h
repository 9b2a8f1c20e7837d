/*
 * error_report.h - the error report box and the file kind.
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

/* File kinds, from the last three characters of a name, without case. */
#define FILE_KIND_OTHER 0
#define FILE_KIND_SYS 1
#define FILE_KIND_VXD 2
#define FILE_KIND_INF 3
#define FILE_KIND_PNF 4

/* Returns the kind of a NUL-terminated name of at most 259 bytes (longer
   names are cut to their first 259 bytes), or FILE_KIND_OTHER for a null
   name or one shorter than three characters. */
int file_kind(const char *name);

#endif
