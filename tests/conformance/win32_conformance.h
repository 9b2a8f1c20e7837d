/*
 * win32_conformance.h - checks of Windows behaviour that run on the
 * simulated PC and on Wine alike.
 */
#ifndef QZ_WIN32_CONFORMANCE_H
#define QZ_WIN32_CONFORMANCE_H

#include "../../common/platform_ops.h"

/* Runs every check on the PC at hand, printing each failure and a total
   line; returns the number of checks that failed. */
int run_win32_conformance(void);

#endif
