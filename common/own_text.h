/*
 * own_text.h - the program's own texts in UTF-16.
 *
 * The texts are code page 932 in the program. The NT family shows them in
 * UTF-16, and an English or Chinese Windows may have no code page 932 to
 * convert them with (Windows XP has none unless the East Asian languages
 * were installed). So the build lists each character the texts use, with
 * its UTF-16 form (tools/own-characters.py writes build/gen/own_characters.cpp),
 * and the program converts its texts, and texts joined from them, with
 * that list alone.
 */
#ifndef QZ_OWN_TEXT_H
#define QZ_OWN_TEXT_H

#include "platform_ops.h"

/* One character of the texts: its code page 932 code (one byte, or lead
   byte * 256 + trail byte) and its UTF-16 unit. */
struct OwnCharacter {
    unsigned short code;
    unsigned short unicode;
};

/* Sorted by code (generated). */
extern const OwnCharacter own_characters[];
extern const int own_character_count;

/* The UTF-16 unit of one of the texts' characters; U+FFFD for a code the
   texts never use. */
WCHAR own_character(unsigned short code);

/* Converts `text`, one of the program's texts or a text joined from them
   and ASCII, into UTF-16 in `dst` (`size` units with the NUL). 1:
   converted; 0: it does not fit, and `dst` holds what did, terminated. */
int own_text_to_utf16(WCHAR *dst, int size, const char *text);

#endif
