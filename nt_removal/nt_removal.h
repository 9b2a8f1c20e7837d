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
    int service_status; /* the only field the restart question looks at */
    int file_status;
    int oem_inf_status;
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

/* Runs the whole NT-family removal once; `complete` is the complete-removal
   flag. Returns 1 when the run reached its end and the libraries were
   released; 0 when the binding or a release failed. */
int run_nt_removal(int complete);

/* Copies the status of product `index` (0 or 1) into *out and returns 1;
   returns 0 and writes nothing for any other index or a null out. */
int get_nt_removal_status(int index, NtRemovalStatus *out);

/* 1 when what the removal did needs a restart (a service key), else 0. */
int nt_restart_needed(void);

/* Writes what each step of each product did to the run's log; returns
   how many failures its steps reported. */
int log_nt_removal_status(void);

#endif
