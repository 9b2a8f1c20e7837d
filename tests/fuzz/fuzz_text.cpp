/*
 * fuzz_text.cpp - command-line tails and names of any bytes: the tail
 * extraction, the option check, --log and the quiet words, file kinds and the code page 932 helpers
 * must never read past a terminator or a buffer, and must agree with
 * themselves (a text equals itself; case-insensitive equality is symmetric).
 * A tail is accepted exactly when the table of command lines the README
 * gives holds it, for that Windows family, with its flags.
 */
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <map>

#include "../../common/error_report.h"
#include "../../common/file_kind.h"
#include "../../common/text_buffers.h"
#include "../../common/message_box.h"
#include "../../shell/uninstaller.h"

struct Accepted {
    int complete, quiet, check;
};

/* Every valid tail and what it asks for, from the README's table: on the
   NT family (nt) or on Windows 98/Me; nothing is valid elsewhere. */
static std::map<std::string, Accepted> valid_tails(bool nt)
{
    std::map<std::string, Accepted> valid = {{"", {0, 0, 0}}, {"--check", {0, 0, 1}}};
    for (const char *quiet : {"--quiet", "-Q"}) {
        valid[quiet] = {0, 1, 0};
        valid[std::string("--check ") + quiet] = valid[std::string(quiet) + " --check"] = {0, 1, 1};
        if (!nt)
            continue;
        for (const char *option : {"--default", "-D", "--complete", "-C"}) {
            int complete = option[2] == 'c' || option[1] == 'C';
            valid[option] = {complete, 0, 0};
            valid[std::string(quiet) + " " + option] = valid[std::string(option) + " " + quiet] = {complete, 1, 0};
        }
    }
    return valid;
}

/* A tail of the options' own words, a blank or two apart, or any bytes. */
static std::string tail_from(FuzzedDataProvider &in)
{
    static const char *const words[] = {"-Q", "-q", "--quiet", "/quiet", "-C", "-c", "-D", "--default",
                                        "--complete", "--check", "--log", "x", ""};
    if (!in.ConsumeBool())
        return in.ConsumeRandomLengthString(600);
    std::string tail;
    for (int n = in.ConsumeIntegralInRange(1, 3); n > 0; --n)
        tail += in.PickValueInArray(words) + std::string(in.ConsumeBool() ? "" : in.ConsumeBool() ? " " : "  ");
    return tail;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    std::string a = tail_from(in);
    std::string b = in.ConsumeRemainingBytesAsString();

    const char *tail = command_line_tail(a.c_str());
    if (tail < a.c_str() || tail > a.c_str() + a.size())
        abort();
    static const std::map<std::string, Accepted> nt = valid_tails(true), win9x = valid_tails(false);
    for (int mode : {PLATFORM_NONE, PLATFORM_WIN9X, PLATFORM_NT}) {
        platform_mode = mode;
        complete_removal = quiet_run = check_only = 0;
        int valid = check_options(a.c_str());
        const std::map<std::string, Accepted> *table = mode == PLATFORM_NT ? &nt : mode == PLATFORM_WIN9X ? &win9x : nullptr;
        auto rule = table ? table->find(a.c_str()) : nt.end(); /* the tail ends at its first NUL */
        if (valid != (table && rule != table->end()))
            abort();
        if (valid && (complete_removal != rule->second.complete || quiet_run != rule->second.quiet ||
                      check_only != rule->second.check))
            abort();
    }
    platform_mode = 0;
    complete_removal = quiet_run = check_only = 0;

    /* --log cut out: what is left is never longer than the tail, the path fits its buffer */
    char options[64], log_path[MAX_PATH_BYTES];
    int cut = cut_log_option(tail, options, sizeof options, log_path);
    if (cut < LOG_OPTION_TOO_LONG || cut > LOG_OPTION_TAKEN || strlen(log_path) >= sizeof log_path)
        abort();
    if (cut == LOG_OPTION_TAKEN && strlen(options) + strlen(log_path) + 6 > strlen(tail))
        abort();
    tail_has_quiet_word(tail);

    int kind = file_kind(a.c_str());
    if (kind < 0 || kind > 4)
        abort();

    /* lower-casing in a buffer exactly as long as the text */
    char *copy = (char *)malloc(a.size() + 1);
    memcpy(copy, a.c_str(), a.size() + 1);
    lower_case_letters(copy);
    free(copy);

    if (!texts_equal(a.c_str(), a.c_str()) || !texts_equal_nocase(a.c_str(), a.c_str()))
        abort();
    if (texts_equal_nocase(a.c_str(), b.c_str()) != texts_equal_nocase(b.c_str(), a.c_str()))
        abort();
    prefix_equal(a.c_str(), b.c_str(), 8);

    char path[MAX_PATH_BYTES];
    if (join_text(path, sizeof path, a.c_str(), "\\", b.c_str())) {
        if (strlen(path) != strlen(a.c_str()) + 1 + strlen(b.c_str()))
            abort(); /* built paths are never truncated */
    } else if (path[0] != '\0') {
        abort();
    }
    return 0;
}
