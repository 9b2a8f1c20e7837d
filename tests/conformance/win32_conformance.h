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

/* What the checks start from, made by each PC its own way (the program
   only reads and deletes): the key `path` below HKEY_LOCAL_MACHINE with its
   parents, and in it the value `name` (none when null). Returns 1 when made.
   conformance_test.cpp makes it on the simulated PC, main.cpp on Windows. */
int conformance_set_value(const char *path, const char *name, DWORD type, const void *data, DWORD size);

/* Makes the key `path` below HKEY_LOCAL_MACHINE a registry link to
   `target` (also below it). Returns 1 when made. */
int conformance_make_link(const char *path, const char *target);

#endif
