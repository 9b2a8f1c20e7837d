/*
 * removal_status.cpp - the status query, restart decision and step log
 * that both back-ends share.
 */
#include "removal_status.h"
#include "text_buffers.h"

int query_product_status(const RemovalStatusTable *table, int index, void *out)
{
    if (index < 0 || index >= table->product_count || out == 0)
        return 0;
    const char *record = (const char *)table->records + index * table->record_bytes;
    for (int i = 0; i < table->record_bytes; ++i)
        ((char *)out)[i] = record[i];
    return 1;
}

int removal_restart_needed(const RemovalStatusTable *table)
{
    char record[STATUS_RECORD_BYTES_MAX];
    zero_bytes(record, sizeof record);
    for (int index = 0; index < table->product_count; ++index) {
        if (query_product_status(table, index, record) && table->needs_restart(record))
            return 1;
    }
    return 0;
}

/* The int at `offset` in a record. */
static int record_field(const char *record, LONG offset)
{
    return *(const int *)(record + offset);
}

/* What step `step` of product `index` did, as its line tells it. */
static StepResult step_result(const RemovalStatusTable *table, int index, int step)
{
    const char *record = (const char *)table->records + index * table->record_bytes;
    const StepRecord *records = (const StepRecord *)(record + table->steps_offset);
    StepResult result = {table->step_names[step], record_field(record, table->status_offsets[step]),
                         records[step].ran, records[step].failures, 0, 0};
    if (!result.ran && table->ran_anyway != 0)
        result.ran = table->ran_anyway(index, step);
    if (step == table->files_step) {
        result.files_listed = record_field(record, table->files_listed_offset);
        result.files_found = record_field(record, table->files_found_offset);
    }
    return result;
}

int log_removal_status(const RemovalStatusTable *table)
{
    StepTotals totals;
    zero_bytes(&totals, sizeof totals);
    int failures = 0;
    for (int index = 0; index < table->product_count; ++index) {
        StepResult steps[REMOVAL_STEPS_MAX];
        for (int i = 0; i < table->step_count; ++i) {
            steps[i] = step_result(table, index, i);
            failures += steps[i].failures;
        }
        log_product_steps(index, steps, table->step_count, &totals);
    }
    log_step_totals(&totals);
    return failures;
}
