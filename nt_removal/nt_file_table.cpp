/*
 * nt_file_table.cpp - the driver files of each product: its Windows 2000
 * package (current files) and its Windows 98/Me package (legacy files).
 */
#include "nt_steps.h"
#include "../common/series_98_package.h"

const NtFileTable nt_file_table[NT_PRODUCT_COUNT] = {
    /* product 0: USB\Vid_1F7C&Pid_0084 */
    {
        {
            "PeltoMDMforW2K.inf",
            "PeltoMDMforW2K.pnf",
        },
        {""},
    },
    /* product 1: USB\Vid_1F7C&Pid_0012 */
    {
        {
            "QZUSBCOM.SYS",
            "MDMKVRT3.INF",
            "MDMKVRT3.PNF",
            "PeltoMDMforW2K.inf",
            "PeltoMDMforW2K.pnf",
        },
        {SERIES_98_PACKAGE_FILES},
    },
};
