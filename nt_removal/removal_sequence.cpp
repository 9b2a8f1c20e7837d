/*
 * removal_sequence.cpp - the NT-family removal, product by product.
 *
 * Placeholder until the removal steps exist: the run removes nothing and
 * every status stays 0.
 */
#include "nt_removal.h"

RemovalStatus removal_status[2];

void run_nt_removal(int complete)
{
    (void)complete;
}

int get_removal_status(int index, RemovalStatus *out)
{
    if ((index != 0 && index != 1) || out == 0)
        return 0;
    *out = removal_status[index];
    return 1;
}
