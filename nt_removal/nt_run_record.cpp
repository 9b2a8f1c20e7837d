/*
 * nt_run_record.cpp - the NT-family removal's mutable state, and its reset.
 */
#include "nt_steps.h"

NtRunRecord nt_run;

void reset_nt_run_record(void)
{
    zero_bytes(&nt_run, (int)sizeof nt_run);
}
