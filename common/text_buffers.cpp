/*
 * text_buffers.cpp - length-checked copies and comparisons by the system's characters.
 */
#include "text_buffers.h"

int character_bytes(const char *text)
{
    return (int)(CharNextA(text) - text);
}

int bounded_length(const char *text, int size)
{
    int n = 0;
    while (n < size && text[n] != '\0')
        ++n;
    return n;
}

int copy_text(char *dst, int dst_size, const char *src)
{
    int n = lstrlenA(src);
    if (dst_size <= 0)
        return 0;
    if (n >= dst_size) {
        dst[0] = '\0';
        return 0;
    }
    for (int i = 0; i <= n; ++i)
        dst[i] = src[i];
    return 1;
}

int copy_whole_characters(char *dst, int dst_size, const char *src)
{
    int n = 0;
    if (dst_size <= 0)
        return 0;
    for (int i = 0; src[i] != '\0';) {
        int size = character_bytes(src + i);
        if (n + size > dst_size - 1)
            break;
        for (int k = 0; k < size; ++k)
            dst[n++] = src[i++];
    }
    dst[n] = '\0';
    return n;
}

int append_text(char *dst, int dst_size, const char *src)
{
    int have = bounded_length(dst, dst_size);
    int add = lstrlenA(src);
    if (have >= dst_size || add >= dst_size - have)
        return 0;
    for (int i = 0; i <= add; ++i)
        dst[have + i] = src[i];
    return 1;
}

int join_text(char *dst, int dst_size, const char *first, const char *second, const char *third)
{
    if (dst_size <= 0)
        return 0;
    dst[0] = '\0';
    if (append_text(dst, dst_size, first) && append_text(dst, dst_size, second) &&
        append_text(dst, dst_size, third))
        return 1;
    dst[0] = '\0';
    return 0;
}

void zero_bytes(void *buffer, int size)
{
    volatile char *p = (volatile char *)buffer; /* keeps the compiler from calling memset */
    for (int i = 0; i < size; ++i)
        p[i] = 0;
}

void lower_case_letters(char *text)
{
    for (int i = 0; text[i] != '\0'; i += character_bytes(text + i)) {
        unsigned char c = (unsigned char)text[i];
        if (c >= 'A' && c <= 'Z')
            text[i] = (char)(c - 'A' + 'a');
    }
}

/* Compares one character of each text; returns the bytes it took (1 or 2),
   or 0 when the characters differ. */
static int same_character(const char *a, const char *b, int ignore_case)
{
    unsigned char ca = (unsigned char)a[0];
    unsigned char cb = (unsigned char)b[0];
    if (character_bytes(a) == 2) {
        if (ca != cb || a[1] != b[1])
            return 0;
        return 2;
    }
    if (ignore_case) {
        if (ca >= 'A' && ca <= 'Z')
            ca = (unsigned char)(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z')
            cb = (unsigned char)(cb - 'A' + 'a');
    }
    return ca == cb ? 1 : 0;
}

static int compare_characters(const char *a, const char *b, int ignore_case, int count)
{
    int i = 0;
    for (int chars = 0; count < 0 || chars < count; ++chars) {
        if (a[i] == '\0' || b[i] == '\0')
            return a[i] == b[i];
        int step = same_character(a + i, b + i, ignore_case);
        if (step == 0)
            return 0;
        i += step;
    }
    return 1;
}

int texts_equal(const char *a, const char *b)
{
    return compare_characters(a, b, 0, -1);
}

int texts_equal_nocase(const char *a, const char *b)
{
    return compare_characters(a, b, 1, -1);
}

int prefix_equal(const char *a, const char *b, int count)
{
    return compare_characters(a, b, 0, count);
}

int prefix_equal_nocase(const char *a, const char *b, int count)
{
    return compare_characters(a, b, 1, count);
}

int format_decimal(char *dst, int dst_size, unsigned long n, int min_digits)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = (char)('0' + n % 10);
        n /= 10;
    } while (n != 0 && count < 20);
    while (count < min_digits && count < 20)
        digits[count++] = '0';
    if (dst_size <= count) {
        if (dst_size > 0)
            dst[0] = '\0';
        return 0;
    }
    for (int i = 0; i < count; ++i)
        dst[i] = digits[count - 1 - i];
    dst[count] = '\0';
    return 1;
}
