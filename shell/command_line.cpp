/*
 * command_line.cpp - the command-line tail and its options.
 *
 * The NT family takes nothing, "--default"/"-D" or "--complete"/"-C";
 * the Windows 95 family takes nothing; both take "--check". These compare
 * exactly: case matters and blanks are not trimmed ("-C " is invalid).
 *
 * A line that holds the quiet option (-q, /q, --quiet or /quiet, in any
 * case, as msiexec takes /q) is read as words between blanks, as
 * administrators type it: the quiet option and at most one of the words
 * above, in either order, with any blanks around them ("/quiet -C",
 * "-q  -C" and "-Q -C " are "-Q -C"). The other word keeps its spelling.
 *
 * Two things are taken from the tail before those rules are applied:
 * "--log PATH" (cut out, see cut_log_option), and whether any word of it
 * asks for quiet in any spelling (tail_has_quiet_word), which keeps every
 * box of the run away even when the line turns out invalid.
 */
#include "uninstaller.h"
#include "../common/message_box.h"
#include "../common/text_buffers.h"

#define TAIL_PART_BYTES 16 /* the longest word, "--complete", and room to spare */

/* The valid lines (with the quiet option: the one word beside it), the
   Windows families that take each, and the flags each sets. */
#define FAMILY_NT 1
#define FAMILY_9X 2
#define FLAG_KEPT -1 /* the flag is left as it is */
struct OptionLine {
    const char *text;
    int families;
    int complete_removal;
    int check_only;
};
static const OptionLine option_lines[] = {
    /* text          families               complete_removal  check_only */
    {"",             FAMILY_NT,             0,                0},
    {"",             FAMILY_9X,             FLAG_KEPT,        0}, /* Windows 98/Me has no removal option */
    {"--default",    FAMILY_NT,             0,                0},
    {"-D",           FAMILY_NT,             0,                0},
    {"--complete",   FAMILY_NT,             1,                0},
    {"-C",           FAMILY_NT,             1,                0},
    {"--check",      FAMILY_NT | FAMILY_9X, 0,                1},
};

/* Sets the flags of `text` when it is a valid line on this platform and
   returns 1; else 0, the flags unchanged. Compared exactly. */
static int take_option_line(const char *text)
{
    int family = run.platform_mode == PLATFORM_NT ? FAMILY_NT : run.platform_mode == PLATFORM_WIN9X ? FAMILY_9X : 0;
    for (unsigned i = 0; i < sizeof option_lines / sizeof option_lines[0]; ++i) {
        const OptionLine *line = &option_lines[i];
        if ((line->families & family) != 0 && texts_equal(text, line->text)) {
            if (line->complete_removal != FLAG_KEPT)
                run.complete_removal = line->complete_removal;
            run.check_only = line->check_only;
            return 1;
        }
    }
    return 0;
}

/* 1 for a byte that separates words when looking for a quiet word: a
   blank, a tab, a line feed... (never a trail byte, which is 0x40 or above). */
static int separates_words(char c)
{
    return c != '\0' && (unsigned char)c <= ' ';
}

/* 1 when `word` (its `length` bytes) is a quiet word whatever its case:
   -q, /q, --quiet, /quiet, also between double quotes. */
static int is_quiet_spelling(const char *word, int length)
{
    static const char *const spellings[] = {"-q", "/q", "--quiet", "/quiet"};
    char copy[TAIL_PART_BYTES];
    if (length >= 2 && word[0] == '"' && word[length - 1] == '"') {
        ++word;
        length -= 2;
    }
    if (length <= 0 || length >= TAIL_PART_BYTES)
        return 0;
    for (int i = 0; i < length; ++i)
        copy[i] = word[i];
    copy[length] = '\0';
    for (unsigned i = 0; i < sizeof spellings / sizeof spellings[0]; ++i)
        if (texts_equal_nocase(copy, spellings[i]))
            return 1;
    return 0;
}

/* The next word of the tail from *at on: its first byte's index into
   *start, *at past it. Returns its length; 0 when no word is left. */
static int next_word(const char *tail, int *at, int *start)
{
    int i = *at;
    while (separates_words(tail[i]))
        ++i;
    *start = i;
    while (tail[i] != '\0' && !separates_words(tail[i]))
        ++i;
    *at = i;
    return i - *start;
}

int tail_has_quiet_word(const char *tail)
{
    int at = 0, start = 0, length = 0;
    while ((length = next_word(tail, &at, &start)) > 0)
        if (is_quiet_spelling(tail + start, length))
            return 1;
    return 0;
}

/* The option word, and its length without the NUL. */
static const char log_word[] = "--log";
#define LOG_WORD_LENGTH ((int)sizeof log_word - 1)

/* 1 when a "--log" word starts at tail[at]: at the start or after a blank,
   and followed by a blank or the end. */
static int log_word_at(const char *tail, int at)
{
    if (at > 0 && tail[at - 1] != ' ')
        return 0;
    for (int i = 0; log_word[i] != '\0'; ++i)
        if (tail[at + i] != log_word[i])
            return 0;
    return tail[at + LOG_WORD_LENGTH] == ' ' || tail[at + LOG_WORD_LENGTH] == '\0';
}

/* The first "--log" word from `from` on, or -1. A blank or a quote is
   never a trail byte, so the bytes can be scanned as they are. */
static int find_log_word(const char *tail, int from)
{
    for (int at = from; tail[at] != '\0'; ++at)
        if (log_word_at(tail, at))
            return at;
    return -1;
}

/* Reads the path after "--log " at tail[at]: a word up to the next blank,
   or the text between double quotes (then followed by a blank or the end).
   Copies it into `path` (MAX_PATH_BYTES) and returns the index after it;
   LOG_OPTION_NO_PATH or LOG_OPTION_TOO_LONG when there is none or it does
   not fit. */
static int read_log_path(const char *tail, int at, char *path)
{
    int start = at, end = at;
    if (tail[at] == '"') {
        start = end = at + 1;
        while (tail[end] != '\0' && tail[end] != '"')
            ++end;
        if (tail[end] != '"' || (tail[end + 1] != '\0' && tail[end + 1] != ' '))
            return LOG_OPTION_NO_PATH;
    } else {
        while (tail[end] != '\0' && tail[end] != ' ' && tail[end] != '"')
            ++end;
        if (tail[end] == '"')
            return LOG_OPTION_NO_PATH; /* a quote inside a word: not a path as the rule has it */
    }
    if (end == start)
        return LOG_OPTION_NO_PATH;
    if (end - start >= MAX_PATH_BYTES)
        return LOG_OPTION_TOO_LONG;
    for (int i = start; i < end; ++i)
        path[i - start] = tail[i];
    path[end - start] = '\0';
    return tail[at] == '"' ? end + 1 : end;
}

int cut_log_option(const char *tail, char *options, int options_size, char *path)
{
    path[0] = '\0';
    options[0] = '\0';
    int at = find_log_word(tail, 0);
    if (at < 0)
        return LOG_OPTION_NONE;
    if (tail[at + LOG_WORD_LENGTH] != ' ')
        return LOG_OPTION_NO_PATH;
    int path_at = at + LOG_WORD_LENGTH + 1; /* after the one blank */
    int after = read_log_path(tail, path_at, path);
    if (after < 0)
        return after;
    /* a second one, also as the path itself ("--log --log"), but not inside a quoted path */
    if (find_log_word(tail, tail[path_at] == '"' ? after : path_at) >= 0)
        return LOG_OPTION_TWICE;
    /* the blank before goes with it; at the start, the blank after */
    int cut_from = at > 0 ? at - 1 : at;
    int cut_to = at == 0 && tail[after] == ' ' ? after + 1 : after;
    int length = 0;
    for (int i = 0; tail[i] != '\0'; ++i) {
        if (i >= cut_from && i < cut_to)
            continue;
        if (length >= options_size - 1)
            return LOG_OPTION_TOO_LONG;
        options[length++] = tail[i];
    }
    options[length] = '\0';
    return LOG_OPTION_TAKEN;
}

/* The character at `at` of a line of single bytes or of UTF-16 units. */
static unsigned command_line_unit(const void *line, int unit_bytes, int at)
{
    if (unit_bytes == (int)sizeof(WCHAR))
        return ((const WCHAR *)line)[at];
    return ((const unsigned char *)line)[at];
}

/* Where the tail of a command line begins, in characters: after the
   program's name (quoted, or up to the first blank) and the blanks that
   follow it. `unit_bytes` is 1 for the A form, sizeof(WCHAR) for UTF-16. */
static int command_line_tail_offset(const void *line, int unit_bytes)
{
    int at = 0;
    if (command_line_unit(line, unit_bytes, 0) == '"') {
        /* A quoted program name ends at its closing quote. */
        ++at;
        while (command_line_unit(line, unit_bytes, at) != 0 && command_line_unit(line, unit_bytes, at) != '"')
            ++at;
        if (command_line_unit(line, unit_bytes, at) == '"')
            ++at;
    } else {
        while (command_line_unit(line, unit_bytes, at) > ' ')
            ++at;
    }
    while (command_line_unit(line, unit_bytes, at) != 0 && command_line_unit(line, unit_bytes, at) <= ' ')
        ++at;
    return at;
}

const char *command_line_tail(const char *command_line)
{
    if (command_line == NULL)
        return "";
    return command_line + command_line_tail_offset(command_line, 1);
}

const WCHAR *wide_command_line_tail(const WCHAR *command_line)
{
    return command_line + command_line_tail_offset(command_line, (int)sizeof(WCHAR));
}

/* The words of a line that holds the quiet option: how many of them are
   the quiet option, how many are other words, and the first other word
   (empty when there is none, or when it is longer than any option). */
struct QuietLine {
    int quiet_words;
    int other_words;
    char other[TAIL_PART_BYTES];
};

static void read_quiet_line(const char *tail, QuietLine *line)
{
    line->quiet_words = line->other_words = 0;
    line->other[0] = '\0';
    int at = 0, start = 0, length = 0;
    while ((length = next_word(tail, &at, &start)) > 0) {
        /* a quoted word shows no box, but it is not the option */
        if (tail[start] != '"' && is_quiet_spelling(tail + start, length)) {
            ++line->quiet_words;
            continue;
        }
        if (line->other_words++ == 0 && length < TAIL_PART_BYTES) {
            for (int k = 0; k < length; ++k)
                line->other[k] = tail[start + k];
            line->other[length] = '\0';
        }
    }
}

/* A line with the quiet option: the option once, and nothing else or one
   word this Windows takes. Returns 1 with the flags set, else 0. */
static int check_quiet_line(const char *tail)
{
    QuietLine line;
    read_quiet_line(tail, &line);
    if (line.quiet_words != 1 || line.other_words > 1)
        return 0;
    if (line.other_words == 1 && line.other[0] == '\0')
        return 0; /* longer than any option */
    if (!take_option_line(line.other))
        return 0;
    run.quiet_run = 1;
    return 1;
}

int check_options(const char *tail)
{
    run.check_only = 0;
    if (run.platform_mode != PLATFORM_WIN9X && run.platform_mode != PLATFORM_NT)
        return 0;
    if (tail_has_quiet_word(tail))
        return check_quiet_line(tail);
    return take_option_line(tail);
}
