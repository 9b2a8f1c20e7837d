/*
 * file_kind.h - which folder a driver file belongs in, told from its name.
 */
#ifndef QZ_FILE_KIND_H
#define QZ_FILE_KIND_H

/* File kinds, from the last three characters of a name, without case. */
#define FILE_KIND_OTHER 0
#define FILE_KIND_SYS 1 /* kernel-mode driver */
#define FILE_KIND_VXD 2 /* Windows 98/Me virtual device driver */
#define FILE_KIND_INF 3 /* setup information file */
#define FILE_KIND_PNF 4 /* precompiled setup information file */

/* Returns the kind of a NUL-terminated name of at most 259 bytes (longer
   names are cut to their first 259 bytes), or FILE_KIND_OTHER for a null
   name or one shorter than three characters. */
int file_kind(const char *name);

#endif
