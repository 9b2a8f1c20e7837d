/*
 * back_ends.h - the two removal back-ends, one row each. The main flow
 * picks the row of its platform once and reaches a back-end only through
 * it; back_ends.cpp is the one file of the shell that includes them.
 */
#ifndef QZ_BACK_ENDS_H
#define QZ_BACK_ENDS_H

#include "../common/findings.h"
#include "../common/removal_status.h"

struct RemovalBackEnd {
    int platform_mode; /* PLATFORM_WIN9X or PLATFORM_NT */
    /* The whole removal, once; `complete` is the complete-removal flag (the
       Windows 98/Me back-end takes no option and is given 0). Returns 1 when
       it reached its end, 0 when its binding or a release failed (reported). */
    int (*run)(int complete);
    /* Its status records, for the restart decision and the log of what
       each step of each product did (common/removal_status.h). */
    const RemovalStatusTable *status;
    /* Finds what a removal would remove, by the removal's own rules,
       changing nothing (the service keys only when `services` is not 0);
       each item goes to the log. */
    void (*examine)(int services, Findings *findings);
    /* Makes the back-end's own state as it is at process start. */
    void (*reset)(void);
};

/* The row of a platform mode; null for a mode without a back-end. */
const RemovalBackEnd *removal_back_end(int mode);

/* Makes the run's state and every back-end's as they are at process start. */
void reset_run(void);

#endif
