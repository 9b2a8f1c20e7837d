/*
 * run_record.h - the run's mutable state in one record: its options, the
 * quiet flag, the failures reported, the files scheduled, the log's block,
 * the findings, the lock. Zero at process start; reset_run_record() makes
 * it so again. Each back-end keeps its own state in a record of its own.
 */
#ifndef QZ_RUN_RECORD_H
#define QZ_RUN_RECORD_H

#include "platform_ops.h"
#include "error_report.h"
#include "findings.h"
#include "run_log.h"

/* The version Windows reports, read once (state: 0 not yet read, 1 read,
   -1 the query failed). */
struct WindowsVersion {
    int state;
    OSVERSIONINFOA info;
};

/* The private namespace the run lock lives in while the run has it (null
   when the lock is named globally), with the functions that give it back,
   bound when it was made. */
struct LockNamespace {
    HANDLE boundary;
    HANDLE space;
    FARPROC close_namespace; /* ClosePrivateNamespace */
    FARPROC delete_boundary; /* DeleteBoundaryDescriptor */
};

struct RunRecord {
    /* what the run was asked, and where it runs */
    int platform_mode;              /* written once by check_platform */
    int complete_removal;           /* 1 with "--complete" or "-C" (NT family only) */
    int check_only;                 /* 1 with "--check": the PC is examined, nothing removed */
    WindowsVersion windows_version;
    HANDLE run_lock;                /* the lock's mutex while the run holds it, else null */
    LockNamespace lock_namespace;   /* where the lock lives, Windows Vista on */
    int library_search_narrowed;    /* 1 once the library search is the system folder only */

    /* the boxes: 1 for a run that shows no box and waits for nobody (a
       quiet word on its line, valid or not, or a window station nobody
       sees); 1 while a run proves its result after the removal: its
       messages go to the log only */
    int quiet_run;
    int boxes_held_back;

    /* the failures reported: their count (only the reports add to it), the
       count when the current step began, and the first of them */
    int failures_reported;
    int failures_before_step;
    ReportedFailure failures_listed[FAILURE_LIST_ROWS];

    int files_scheduled;            /* files set to be deleted at the restart */
    RunLog run_log;                 /* the run's block and the file it goes to */
    FindingsMemory findings_memory; /* what the examinations recorded */
};
extern RunRecord run;

/* Makes the run record as it is at process start: all zero. */
void reset_run_record(void);

#endif
