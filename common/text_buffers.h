/*
 * text_buffers.h - fixed buffers and the code page 932 string helpers.
 *
 * Every name and path of the program lives in a fixed buffer of
 * MAX_PATH_BYTES (display names: DISPLAY_NAME_BYTES). Every copy or
 * concatenation into such a buffer goes through copy_text / append_text,
 * which refuse (and leave an empty or unchanged buffer) rather than
 * truncate: a truncated path could name another, valid file or key.
 *
 * Code page 932: a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it
 * form one character; the trail byte is never taken for a letter or a
 * backslash. These helpers are the program's own, so both builds behave
 * the same whatever the C library's locale.
 */
#ifndef QZ_TEXT_BUFFERS_H
#define QZ_TEXT_BUFFERS_H

#include "platform_ops.h"

#define MAX_PATH_BYTES 260
#define DISPLAY_NAME_BYTES 100

/* The bytes of the character `text` starts with, in the system's own code
   page (CharNextA): 2 for a double-byte character, 0 at the end. Texts
   from Windows (paths, names, registry data) are in that code page, which
   need not be 932: a Chinese or Korean Windows has other lead bytes, a
   Western one none. */
int character_bytes(const char *text);

/* Length of a NUL-terminated string that lies in a buffer of `size` bytes;
   returns `size` when no NUL is found there (the text is not terminated). */
int bounded_length(const char *text, int size);

/* Copies src into dst (dst_size bytes) with its NUL. 1: copied; 0: it does
   not fit, and dst is left empty. */
int copy_text(char *dst, int dst_size, const char *src);

/* Copies as much of src as fits in dst (dst_size bytes with the NUL), cut
   after a whole character: a double-byte character goes whole or not at
   all. Returns the length copied. For a log line or a list row, where a
   text cut short is better than none. */
int copy_whole_characters(char *dst, int dst_size, const char *src);

/* Appends src to the text in dst. 1: appended; 0: it does not fit, and dst
   is left as it was. */
int append_text(char *dst, int dst_size, const char *src);

/* Builds first + second + third into dst (any of them may be empty).
   1: built; 0: it does not fit, and dst is left empty. */
int join_text(char *dst, int dst_size, const char *first, const char *second, const char *third);

/* Fills `size` bytes with zeros. */
void zero_bytes(void *buffer, int size);

/* Lower-cases the ASCII letters of a NUL-terminated text in place, leaving
   double-byte characters intact. */
void lower_case_letters(char *text);

/* Whole-string comparisons, double-byte characters compared as units.
   Return 1 when equal, else 0. */
int texts_equal(const char *a, const char *b);
int texts_equal_nocase(const char *a, const char *b);

/* Compares at most `count` characters (a double-byte character counts as
   one), ending early where both texts end; 1 when equal, else 0. A text
   that ends before the other within `count` characters is not equal. */
int prefix_equal(const char *a, const char *b, int count);
int prefix_equal_nocase(const char *a, const char *b, int count); /* the same, letters without regard to case */

/* Writes n in decimal, zero-padded to at least min_digits digits.
   1: written; 0: it does not fit in dst_size bytes (dst left empty). */
int format_decimal(char *dst, int dst_size, unsigned long n, int min_digits);

#endif
