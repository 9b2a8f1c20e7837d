/*
 * back_ends.cpp - the table of removal back-ends.
 */
#include "back_ends.h"
#include "uninstaller.h"
#include "../nt_removal/nt_removal.h"
#include "../w9x_removal/w9x_removal.h"

static const RemovalBackEnd back_ends[] = {
    /* platform_mode  run                status               examine                     reset */
    {PLATFORM_WIN9X,  run_win9x_removal, &win9x_status_table, examine_win9x_installation, reset_win9x_run_record},
    {PLATFORM_NT,     run_nt_removal,    &nt_status_table,    examine_nt_installation,    reset_nt_run_record},
};

const RemovalBackEnd *removal_back_end(int mode)
{
    for (unsigned i = 0; i < sizeof back_ends / sizeof back_ends[0]; ++i)
        if (back_ends[i].platform_mode == mode)
            return &back_ends[i];
    return 0;
}

void reset_run(void)
{
    reset_run_record();
    for (unsigned i = 0; i < sizeof back_ends / sizeof back_ends[0]; ++i)
        back_ends[i].reset();
}
