/*
 * fuzz_hardware_ids.cpp - hardware ID lists of any bytes and any reported
 * size: the match must never read past the size the platform reported,
 * and a device's list read through the setup API must never be overrun.
 * A list matches exactly when one of its IDs, terminated within the size
 * and before the empty string that ends the list, is the product's in any
 * letter case, alone or with the revision (&REV_ and four hex digits), the
 * interface (&MI_ and two), or both in that order; the device goes exactly
 * when its list matches.
 */
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

#include "../harness.h"
#include "../../nt_removal/nt_steps.h"

/* The series' hardware IDs, as Windows Vista and later write them. */
static const char *const kProductIds[2] = {"usb\\vid_1f7c&pid_0084", "usb\\vid_1f7c&pid_0012"};

static std::string lower(std::string text)
{
    for (char &c : text)
        c = (char)tolower((unsigned char)c);
    return text;
}

/* 1 when `text` starts with `tag` followed by `digits` hex digits; *rest past them. */
static bool takes_hex_field(const std::string &text, size_t *at, const char *tag, size_t digits)
{
    size_t tag_length = strlen(tag);
    if (text.compare(*at, tag_length, tag) != 0 || text.size() < *at + tag_length + digits)
        return false;
    for (size_t i = 0; i < digits; ++i)
        if (!isxdigit((unsigned char)text[*at + tag_length + i]))
            return false;
    *at += tag_length + digits;
    return true;
}

/* One ID, lower case, is the product's: the ID, then &rev_xxxx and &mi_xx, each optional, in that order. */
static bool id_names(const std::string &text, const char *id)
{
    size_t at = strlen(id);
    if (text.compare(0, at, id) != 0)
        return false;
    takes_hex_field(text, &at, "&rev_", 4);
    takes_hex_field(text, &at, "&mi_", 2);
    return at == text.size();
}

/* The rule, on its own: the IDs of a REG_MULTI_SZ list of `size` bytes. */
static bool list_names(const uint8_t *list, size_t size, const char *id)
{
    size_t at = 0;
    while (at < size && list[at] != 0) {
        const uint8_t *end = (const uint8_t *)memchr(list + at, 0, size - at);
        if (!end)
            return false; /* an ID cut off by the size */
        if (id_names(lower(std::string((const char *)list + at, end - (list + at))), id))
            return true;
        at = end - list + 1;
    }
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    restored_pc("winxp");
    sim::pc().faults.recording = false; /* no check here reads the call log */
    FuzzedDataProvider in(data, size);
    size_t claimed = in.ConsumeIntegralInRange<size_t>(0, 600);
    std::vector<uint8_t> list = in.ConsumeRemainingBytes<uint8_t>();

    /* the list lies in a block of exactly its length: ASan sees any overread */
    size_t length = std::min(claimed, list.size());
    if (length > 0) {
        char *block = (char *)malloc(length);
        memcpy(block, list.data(), length);
        for (int product = 0; product < 2; ++product)
            if (hardware_id_matches(product, block, (DWORD)length) !=
                list_names(list.data(), length, kProductIds[product]))
                abort();
        free(block);
    }

    /* the same bytes as a device's "HardwareID" value, through the whole device step */
    std::string device = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1F7C&Pid_0084\\1";
    sim::pc().registry.set_string(device, "ClassGUID", "{4D36E96D-E325-11CE-BFC1-08002BE10318}");
    sim::pc().registry.set_raw(device, "HardwareID", REG_MULTI_SZ, list);
    if (bind_nt_functions()) {
        record_device_step(0);
        release_nt_functions();
    }
    if (sim::pc().registry.exists(device) == list_names(list.data(), list.size(), kProductIds[0]))
        abort(); /* the device stays exactly when its list does not name the product */
    if (!sim::pc().local_blocks.empty() || !sim::pc().device_sets.empty())
        abort();
    end_fuzz_input();
    return 0;
}
