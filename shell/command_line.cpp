/*
 * command_line.cpp - the command-line tail and its one option.
 *
 * The NT family takes nothing, "--default"/"-D" or "--complete"/"-C";
 * the Windows 95 family takes nothing. Options compare exactly: case
 * matters and blanks are not trimmed ("-C " is invalid).
 */
#include "uninstaller.h"
#include "text_buffers.h"

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
    if (platform_mode == PLATFORM_WIN9X)
        return texts_equal(tail, "");

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
    return 0;
}
