/*
 * product_table.cpp - the two products the NT-family removal looks for:
 * the name shown to the user, the USB hardware ID and the driver's service.
 */
#include "nt_steps.h"

/* The two products of the series; they share their name and service. */
const NtProductRecord nt_product_table[NT_PRODUCT_COUNT] = {
    /* display_name        hardware_id               service_name */
    {"Pelto QZ シリーズ", "USB\\Vid_1F7C&Pid_0084", "QZUSBCOM"},
    {"Pelto QZ シリーズ", "USB\\Vid_1F7C&Pid_0012", "QZUSBCOM"},
};
