/*
 * own_text.cpp - the program's own texts in UTF-16, by the build's list of
 * their characters.
 */
#include "own_text.h"

/* The texts are code page 932 whatever the system's code page is. */
static int is_cp932_lead_byte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

WCHAR own_character(unsigned short code)
{
    int low = 0, high = own_character_count - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        if (own_characters[middle].code == code)
            return (WCHAR)own_characters[middle].unicode;
        if (own_characters[middle].code < code)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return (WCHAR)0xFFFD;
}

int own_text_to_utf16(WCHAR *dst, int size, const char *text)
{
    int n = 0;
    if (size <= 0)
        return 0;
    for (int i = 0; text[i] != '\0'; ++i) {
        unsigned char c = (unsigned char)text[i];
        if (n == size - 1) {
            dst[n] = 0;
            return 0;
        }
        if (c < 0x80) {
            dst[n++] = (WCHAR)c;
        } else if (is_cp932_lead_byte(c) && text[i + 1] != '\0') {
            dst[n++] = own_character((unsigned short)(c << 8 | (unsigned char)text[i + 1]));
            ++i;
        } else {
            dst[n++] = own_character(c); /* a half-width katakana */
        }
    }
    dst[n] = 0;
    return 1;
}
