/*
 * status_values.h - what a removal step reports for one product. Both
 * back-ends store these values in their status records.
 */
#ifndef QZ_STATUS_VALUES_H
#define QZ_STATUS_VALUES_H

#define STATUS_NOTHING 0             /* nothing found, nothing removed */
#define STATUS_REMOVED 1             /* removed */
#define STATUS_PARTLY_REMOVED 0x1000 /* file steps: some of the files, not all */
#define STATUS_FAILED 0xFFFF         /* a failure was reported */

#endif
