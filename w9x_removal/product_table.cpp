/*
 * product_table.cpp - what the Windows 98/Me removal looks for: the two
 * products and the driver, INF and PNF files each of them installs.
 */
#include "w9x_steps.h"
#include "../common/series_98_package.h"

/* Both products carry the same hardware ID and model name: the first
   product's pass normally removes the device key and the ports of both. */
const Win9xProductRecord win9x_product_table[WIN9X_PRODUCT_COUNT] = {
    /* display_name        hardware_id               model_name  length  port VxD    service VxD */
    {"Pelto QZ シリーズ", "USB\\Vid_1F7C&Pid_0012", "Pelto QZ", 8,      "QZPORT",   "QZSV1"},
    {"Pelto QZ 65",       "USB\\Vid_1F7C&Pid_0012", "Pelto QZ", 8,      "QZ65PORT", "QZ65SV1"},
};

/* VxD and SYS files live in the system directory, INF and PNF files in the
   INF directory (rows starting with "OTHER\" in its subdirectory). */
const Win9xFileTable win9x_file_table[WIN9X_PRODUCT_COUNT] = {
    {{SERIES_98_PACKAGE_FILES}},
    {{
        "QZ65PORT.VXD",
        "QZ65SV1.VXD",
        "QZ65SV2.SYS",
        "QZ65COM.INF",
        "QZ65COM.PNF",
        "QZ65USB.INF",
        "QZ65USB.PNF",
        "USKBDMAP.INF",
        "USKBDMAP.PNF",
        "OTHER\\KVRQZ65USB.INF",
        "OTHER\\KVRQZ65COM.INF",
    }},
};
