/*
 * removal_status.h - the status query, the restart decision and the log of
 * the steps, one procedure each for both back-ends, over a description of
 * a back-end's status records.
 */
#ifndef QZ_REMOVAL_STATUS_H
#define QZ_REMOVAL_STATUS_H

#include "error_report.h"
#include "run_log.h"

#define REMOVAL_STEPS_MAX 4          /* the most steps a product has */
#define STATUS_RECORD_BYTES_MAX 128  /* the largest status record */

/* A back-end's status records, one per product, and where each record
   keeps what the log tells of its steps (byte offsets in the record). */
struct RemovalStatusTable {
    const void *records; /* product_count records of record_bytes each */
    int record_bytes;
    int product_count;
    int step_count;
    const char *const *step_names;           /* the log's word for each step */
    LONG status_offsets[REMOVAL_STEPS_MAX];  /* each step's status value */
    LONG steps_offset;                       /* StepRecord[step_count]: ran, failures */
    int files_step;                          /* the step whose status the file counts explain */
    LONG files_listed_offset, files_found_offset;
    /* 1 when what this record tells needs a restart, else 0 */
    int (*needs_restart)(const void *record);
    /* 1 when step `step` of product `index` counts as run although its
       record says not; null when the record alone tells */
    int (*ran_anyway)(int index, int step);
};

/* Copies the record of product `index` into *out and returns 1; returns 0
   and writes nothing for any other index or a null out. */
int query_product_status(const RemovalStatusTable *table, int index, void *out);

/* 1 when any product's record needs a restart, else 0. Asks the status
   query for product 0, then 1, ... into one record zero-filled before the
   first query. */
int removal_restart_needed(const RemovalStatusTable *table);

/* Writes each product's steps to the log, then how many steps ended how.
   Returns how many failures the steps reported. */
int log_removal_status(const RemovalStatusTable *table);

#endif
