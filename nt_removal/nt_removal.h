/*
 * nt_removal.h - removal on Windows 2000 and later (the NT family).
 */
#ifndef QZ_NT_REMOVAL_H
#define QZ_NT_REMOVAL_H

#include "../common/error_report.h"

/* What the removal steps found and removed for one product:
   0 nothing found, 1 removed, 0x1000 partly removed (files only),
   0xFFFF a failure was reported in an error box. */
struct NtRemovalStatus {
    int device_status;
    int service_status; /* a key deleted, or a failure: the restart question follows */
    int file_status;
    int oem_inf_status;
    int restart_reasons; /* what else Windows finishes at the restart: RESTART_FOR_... */
    /* For the log: whether each step ran and the failures it reported
       (indexed by NT_STEP_*), and what the count behind a partly removed
       file_status counted: the files looked for and found. */
    StepRecord steps[4];
    int files_listed;
    int files_found;
};
#define NT_STEP_DEVICES 0
#define NT_STEP_SERVICES 1
#define NT_STEP_FILES 2
#define NT_STEP_OEM_INFS 3

#define RESTART_FOR_DEVICE 0x1 /* a device in use (DI_NEEDREBOOT or DI_NEEDRESTART) */
#define RESTART_FOR_FILES 0x2  /* a file in use, deleted at the restart */

/* Runs the whole NT-family removal once; `complete` is the complete-removal
   flag. Returns 1 when the run reached its end and the libraries were
   released; 0 when the binding or a release failed. */
int run_nt_removal(int complete);

/* Copies the status of product `index` (0 or 1) into *out and returns 1;
   returns 0 and writes nothing for any other index or a null out. */
int get_nt_removal_status(int index, NtRemovalStatus *out);

/* The status records as the restart decision (a service key, a device or
   a file in use needs one) and the log of the steps read them
   (common/removal_status.h). */
struct RemovalStatusTable;
extern const RemovalStatusTable nt_status_table;

/* Finds, with the removal's own rules and without changing anything, what
   a removal would remove (the service keys only when `services` is
   non-zero), into *findings; each item goes to the log. */
struct Findings;
void examine_nt_installation(int services, Findings *findings);

/* Makes the removal's state (statuses, class INF name, binding) as it is
   at process start: all zero. */
void reset_nt_run_record(void);

#endif
