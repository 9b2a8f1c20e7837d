/*
 * series_98_package.h - the files of the series' Windows 98/Me driver
 * package. The Windows 98/Me removal deletes them for its first product;
 * on Windows 2000 and later they are the second product's legacy files,
 * left behind on a PC upgraded from Windows 98/Me. One list for both
 * product tables, so that they cannot drift apart.
 */
#ifndef QZ_SERIES_98_PACKAGE_H
#define QZ_SERIES_98_PACKAGE_H

/* 26 names, in table order: VxD and SYS files for the system folder, INF
   and PNF files for the INF folder ("OTHER\" rows: its subfolder). */
#define SERIES_98_PACKAGE_FILES                                                                                     \
    "QZPORT.VXD", "QZSV1.VXD", "QZUSB.SYS", "QZSV2.SYS", "QZUSB.INF", "QZUSB.PNF", "QZCOM.INF", "QZCOM.PNF",          \
        "QZUSBLAY.INF", "QZUSBLAY.PNF", "USKBDMAP.INF", "USKBDMAP.PNF", "OTHER\\KVRQZCOM.INF", "OTHER\\KVRQZUSB.INF", \
        "PeltoMDMforMe.inf", "PeltoMDMforMe.pnf", "PeltoUSB.inf", "PeltoUSB.pnf", "OTHER\\KVRPeltoMDMforMe.inf",      \
        "OTHER\\KVRPeltoUSB.inf", "mdmkvrtc.inf", "mdmkvrtc.pnf", "qzusbcd.inf", "qzusbcd.pnf",                       \
        "OTHER\\KVRmdmkvrtc.inf", "OTHER\\KVRqzusbcd.inf"

#endif
