/*
 * fuzz_text.cpp - command-line tails and names of any bytes: the tail
 * extraction, the option check, --log and the quiet words, file kinds and the code page 932 helpers
 * must never read past a terminator or a buffer, and must agree with
 * themselves (a text equals itself; case-insensitive equality is symmetric).
 */
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

#include "../../common/error_report.h"
#include "../../common/file_kind.h"
#include "../../common/text_buffers.h"
#include "../../shell/uninstaller.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    std::string a = in.ConsumeRandomLengthString(600);
    std::string b = in.ConsumeRemainingBytesAsString();

    const char *tail = command_line_tail(a.c_str());
    if (tail < a.c_str() || tail > a.c_str() + a.size())
        abort();
    for (int mode = 0; mode <= 2; ++mode) {
        platform_mode = mode;
        complete_removal = 0;
        int valid = check_options(tail);
        if (valid && mode == 0)
            abort();
    }
    platform_mode = 0;
    complete_removal = 0;

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
    lower_case_cp932(copy);
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
