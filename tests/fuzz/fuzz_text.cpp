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
#include <vector>

#include "../../common/error_report.h"
#include "../../common/file_kind.h"
#include "../../common/text_buffers.h"
#include "../../common/message_box.h"
#include "../../shell/uninstaller.h"

struct Accepted {
    int complete, quiet, check;
};

/* What the README's rules accept, and with which flags: on the NT family
   (nt) or on Windows 98/Me; nothing is valid elsewhere. Without the quiet
   option the line is one of a few exact texts; with it (-q, /q, --quiet,
   /quiet in any case, a word between blanks), the quiet option once and at
   most one other word, compared exactly. */
static bool readme_accepts(const std::string &tail, bool nt, Accepted *flags)
{
    std::vector<std::string> words;
    std::string word;
    for (size_t i = 0; i <= tail.size(); ++i) {
        unsigned char c = i < tail.size() ? (unsigned char)tail[i] : 0;
        if (c > ' ') {
            word += (char)c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    auto folded = [](std::string w) {
        for (char &c : w)
            c = (char)tolower((unsigned char)c);
        return w;
    };
    auto quoted = [](const std::string &w) { return w.size() >= 2 && w.front() == '"' && w.back() == '"'; };
    auto is_quiet = [&](const std::string &w) {
        std::string f = folded(quoted(w) ? w.substr(1, w.size() - 2) : w);
        return f == "-q" || f == "/q" || f == "--quiet" || f == "/quiet";
    };
    bool has_quiet = false;
    int quiet_words = 0;
    std::vector<std::string> others;
    for (const std::string &w : words) {
        has_quiet = has_quiet || is_quiet(w);
        if (is_quiet(w) && w[0] != '"')
            ++quiet_words;
        else
            others.push_back(w);
    }
    std::string rest = has_quiet ? (others.empty() ? "" : others[0]) : tail;
    if (has_quiet && (quiet_words != 1 || others.size() > 1))
        return false;
    *flags = {0, has_quiet ? 1 : 0, rest == "--check"};
    if (rest == "" || rest == "--check")
        return true;
    if (!nt)
        return false;
    flags->complete = rest == "-C" || rest == "--complete";
    return flags->complete || rest == "-D" || rest == "--default";
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
    for (int mode : {PLATFORM_NONE, PLATFORM_WIN9X, PLATFORM_NT}) {
        run.platform_mode = mode;
        run.complete_removal = run.quiet_run = run.check_only = 0;
        int valid = check_options(a.c_str());
        Accepted flags = {0, 0, 0};
        bool accepted = mode != PLATFORM_NONE && readme_accepts(a.c_str(), mode == PLATFORM_NT, &flags);
        if (valid != (int)accepted)
            abort();
        if (valid && (run.complete_removal != flags.complete || run.quiet_run != flags.quiet || run.check_only != flags.check))
            abort();
    }
    run.platform_mode = 0;
    run.complete_removal = run.quiet_run = run.check_only = 0;

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
