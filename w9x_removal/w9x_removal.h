/*
 * w9x_removal.h - removal on Windows 98 and Me (the Windows 95 family).
 */
#ifndef QZ_W9X_REMOVAL_H
#define QZ_W9X_REMOVAL_H

#include "../common/error_report.h"

/* What the removal found and removed for one product:
   0 nothing, 1 removed, 0x1000 partly removed (files only),
   0xFFFF a failure was reported. */
struct Win9xRemovalStatus {
    int registry_status; /* the only field the restart question looks at */
    int file_status;
    /* For the log: whether each step ran and the failures it reported
       (indexed by W9X_STEP_*), whether the user answered the product's
       question other than OK, and what the count behind a partly removed
       file_status counted: the files looked for and found. */
    StepRecord steps[2];
    int declined;
    int files_listed;
    int files_found;
};
#define W9X_STEP_REGISTRY 0
#define W9X_STEP_FILES 1

/* Runs the whole Windows 98/Me removal once; `complete` is always 0 (these
   Windows take no removal option). Returns 1 when the run reached its end
   and both libraries were released; 0 when the binding or a release failed. */
int run_win9x_removal(int complete);

/* Copies the status of product `index` (0 or 1) into *out and returns 1;
   returns 0 and writes nothing for any other index or a null out. */
int get_win9x_removal_status(int index, Win9xRemovalStatus *out);

/* The status records as the restart decision (the registry cleanup of
   either product needs one) and the log of the steps read them
   (common/removal_status.h). */
struct RemovalStatusTable;
extern const RemovalStatusTable win9x_status_table;

/* Finds, with the removal's own rules and without changing anything, what
   a removal would remove, into *findings; each item goes to the log.
   `services` is not used: these Windows keep no service key of the series. */
struct Findings;
void examine_win9x_installation(int services, Findings *findings);

/* Makes the removal's state (statuses, binding) as it is at process start:
   all zero. */
void reset_win9x_run_record(void);

#endif
