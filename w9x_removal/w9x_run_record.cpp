/*
 * w9x_run_record.cpp - the Windows 98/Me removal's mutable state, and its reset.
 */
#include "w9x_steps.h"

Win9xRunRecord win9x_run;

void reset_win9x_run_record(void)
{
    zero_bytes(&win9x_run, (int)sizeof win9x_run);
}
