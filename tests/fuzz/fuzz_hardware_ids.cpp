/*
 * fuzz_hardware_ids.cpp - hardware ID lists of any bytes and any reported
 * size: the match must never read past the size the platform reported,
 * and a device's list read through the setup API must never be overrun.
 */
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

#include "../harness.h"
#include "../../nt_removal/nt_steps.h"

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
            hardware_id_matches(product, block, (DWORD)length);
        free(block);
    }

    /* the same bytes as a device's "HardwareID" value, through the whole device step */
    std::string device = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1F7C&Pid_0084\\1";
    sim::pc().registry.set_string(device, "ClassGUID", "{4D36E96D-E325-11CE-BFC1-08002BE10318}");
    sim::pc().registry.set_raw(device, "HardwareID", REG_MULTI_SZ, list);
    if (bind_nt_functions()) {
        remove_product_devices(0);
        release_nt_functions();
    }
    if (!sim::pc().local_blocks.empty() || !sim::pc().device_sets.empty())
        abort();
    end_fuzz_input();
    return 0;
}
