/*
 * file_kind.h - which folder a driver file belongs in, told from its name.
 */
#ifndef QZ_FILE_KIND_H
#define QZ_FILE_KIND_H

/* File kinds, from the last three characters of a name, without case. */
enum FileKind {
    FILE_KIND_OTHER,
    FILE_KIND_SYS, /* kernel-mode driver */
    FILE_KIND_VXD, /* Windows 98/Me virtual device driver */
    FILE_KIND_INF, /* setup information file */
    FILE_KIND_PNF  /* precompiled setup information file */
};

/* Returns the kind of a NUL-terminated name of at most 259 bytes (longer
   names are cut to their first 259 bytes), or FILE_KIND_OTHER for a null
   name or one shorter than three characters. */
int file_kind(const char *name);

#endif
