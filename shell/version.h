/*
 * version.h - the program's version, for its version resource and its log.
 */
#ifndef QZ_VERSION_H
#define QZ_VERSION_H

#define QZ_VERSION_NUMBERS 1, 1, 0, 0
#define QZ_VERSION_TEXT "1.1.0.0"

#endif
