/*
 * status_values.h - what a removal step reports for one product. Both
 * back-ends store these values in their status records.
 */
#ifndef QZ_STATUS_VALUES_H
#define QZ_STATUS_VALUES_H

/* Values that steps OR together: a failure (0xFFFF) keeps every bit set. */
enum StepStatus {
    STATUS_NOTHING = 0,             /* nothing found, nothing removed */
    STATUS_REMOVED = 1,             /* removed */
    STATUS_PARTLY_REMOVED = 0x1000, /* file steps: some of the files, not all */
    STATUS_FAILED = 0xFFFF          /* a failure was reported */
};

#endif
