/*
 * removal_sequence.cpp - the Windows 98/Me removal, product by product.
 *
 * Placeholder until the removal steps exist: the run removes nothing and
 * every status stays 0.
 */
#include "w9x_removal.h"

Win9xRemovalStatus win9x_removal_status[2];

int run_win9x_removal(void)
{
    return 1;
}

int get_win9x_removal_status(int index, Win9xRemovalStatus *out)
{
    if ((index != 0 && index != 1) || out == 0)
        return 0;
    *out = win9x_removal_status[index];
    return 1;
}
