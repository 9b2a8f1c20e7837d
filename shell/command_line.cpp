/*
 * command_line.cpp - the command-line tail and its options.
 *
 * The NT family takes nothing, "--default"/"-D" or "--complete"/"-C";
 * the Windows 95 family takes nothing. Either may ask for a quiet run
 * with "--quiet"/"-Q": alone, or on the NT family together with one of the
 * other options, separated by one blank, in either order ("-Q -C",
 * "-C -Q"). Options compare exactly: case matters and blanks are not
 * trimmed ("-C " and "-Q  -C" are invalid).
 */
#include "uninstaller.h"
#include "../common/message_box.h"
#include "../common/text_buffers.h"

#define TAIL_PART_BYTES 16 /* the longest word, "--complete", and room to spare */

static int is_quiet_word(const char *word)
{
    return texts_equal(word, "--quiet") || texts_equal(word, "-Q");
}

/* The removal option a word names: 0 for "--default"/"-D", 1 for
   "--complete"/"-C", -1 for anything else. */
static int removal_option(const char *word)
{
    if (texts_equal(word, "--default") || texts_equal(word, "-D"))
        return 0;
    if (texts_equal(word, "--complete") || texts_equal(word, "-C"))
        return 1;
    return -1;
}

/* Splits "FIRST SECOND" at its first blank into two short words. 1: split;
   0: no blank, or a part longer than any option. A blank is never a trail
   byte, so the bytes can be scanned as they are. */
static int split_at_blank(const char *tail, char *first, char *second)
{
    int blank = 0;
    while (tail[blank] != '\0' && tail[blank] != ' ')
        ++blank;
    if (tail[blank] != ' ' || blank >= TAIL_PART_BYTES)
        return 0;
    for (int i = 0; i < blank; ++i)
        first[i] = tail[i];
    first[blank] = '\0';
    return copy_text(second, TAIL_PART_BYTES, tail + blank + 1);
}

/*
 * A quiet tail on the NT family: the quiet word alone, or with one removal
 * option in either order. Returns 1 and sets *complete (0 or 1); else 0.
 */
static int nt_quiet_tail(const char *tail, int *complete)
{
    char first[TAIL_PART_BYTES];
    char second[TAIL_PART_BYTES];

    if (is_quiet_word(tail)) {
        *complete = 0;
        return 1;
    }
    if (!split_at_blank(tail, first, second))
        return 0;
    if (is_quiet_word(first) && removal_option(second) >= 0) {
        *complete = removal_option(second);
        return 1;
    }
    if (removal_option(first) >= 0 && is_quiet_word(second)) {
        *complete = removal_option(first);
        return 1;
    }
    return 0;
}

int tail_asks_for_quiet(const char *tail)
{
    int complete = 0;
    return nt_quiet_tail(tail, &complete);
}

const char *command_line_tail(const char *command_line)
{
    const unsigned char *p = (const unsigned char *)command_line;

    if (p == NULL)
        return "";
    if (*p == '"') {
        /* A quoted program name ends at its closing quote. */
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p > ' ')
            ++p;
    }
    while (*p != '\0' && *p <= ' ')
        ++p;
    return (const char *)p;
}

int check_options(const char *tail)
{
    if (platform_mode == PLATFORM_WIN9X) {
        if (texts_equal(tail, ""))
            return 1;
        if (!is_quiet_word(tail))
            return 0;
        quiet_run = 1;
        return 1;
    }

    if (platform_mode != PLATFORM_NT)
        return 0;
    if (texts_equal(tail, "") || texts_equal(tail, "--default") || texts_equal(tail, "-D")) {
        complete_removal = 0;
        return 1;
    }
    if (texts_equal(tail, "--complete") || texts_equal(tail, "-C")) {
        complete_removal = 1;
        return 1;
    }
    int complete = 0;
    if (!nt_quiet_tail(tail, &complete))
        return 0;
    complete_removal = complete;
    quiet_run = 1;
    return 1;
}
