/*
 * run_record.cpp - the run's mutable state, and its reset.
 */
#include "run_record.h"
#include "text_buffers.h"

RunRecord run;

void reset_run_record(void)
{
    zero_bytes(&run, (int)sizeof run);
}
