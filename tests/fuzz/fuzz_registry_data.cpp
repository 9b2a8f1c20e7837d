/*
 * fuzz_registry_data.cpp - registry names and data of any bytes and
 * lengths, up to and past the 260-byte buffers (260 bytes with no NUL
 * included), in the places the uninstaller reads them: the Modem class
 * key ("MatchingDeviceId", "InfPath") on the NT family, and the Enum tree
 * ("Driver") and port instances ("DeviceDesc") on Windows 98/Me. Whatever
 * the data, no buffer is overrun and nothing outside the series' own keys
 * and files is removed.
 */
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

#include "../harness.h"
#include "../../nt_removal/nt_steps.h"
#include "../../w9x_removal/w9x_steps.h"

static std::vector<uint8_t> bytes(FuzzedDataProvider &in)
{
    size_t n = in.ConsumeIntegralInRange<size_t>(0, 300);
    return in.ConsumeBytes<uint8_t>(n);
}

static std::string name(FuzzedDataProvider &in, const char *usual)
{
    return in.ConsumeBool() ? std::string(usual) : in.ConsumeRandomLengthString(300);
}

static void check_survivors(const char *const *keys, const char *const *files)
{
    for (; *keys; ++keys)
        if (!sim::pc().registry.exists(*keys))
            abort();
    for (; *files; ++files)
        if (!sim::pc().files.exists(*files))
            abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);

    /* NT: a modem driver key of any names and data */
    restored_pc("winxp");
    sim::pc().faults.recording = false; /* no check here reads the call log */
    std::string modem = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000";
    sim::pc().registry.set_raw(modem, name(in, "MatchingDeviceId"), REG_SZ, bytes(in));
    sim::pc().registry.set_raw(modem, name(in, "InfPath"), REG_SZ, bytes(in));
    sim::pc().files.add_file("C:\\WINDOWS\\system32\\keep.inf");
    sim::pc().files.add_file("C:\\WINDOWS\\keep.pnf");
    sim::pc().files.add_file("C:\\keep.inf");
    if (bind_nt_functions()) {
        find_class_inf_name(0);
        remove_driver_files(0);
        find_class_inf_name(1);
        remove_driver_files(1);
        release_nt_functions();
    }
    static const char *const nt_keys[] = {"SYSTEM\\CurrentControlSet\\Control\\Class", nullptr};
    static const char *const nt_files[] = {"C:\\WINDOWS\\system32\\keep.inf", "C:\\WINDOWS\\keep.pnf",
                                           "C:\\keep.inf", nullptr};
    check_survivors(nt_keys, nt_files);

    /* Windows 98: an Enum instance's "Driver" and a port's "DeviceDesc" of any data */
    restored_pc("win98");
    sim::pc().faults.recording = false; /* no check here reads the call log */
    sim::Registry &reg = sim::pc().registry;
    reg.set_raw("Enum\\USB\\Vid_1F7C&Pid_0012\\1", name(in, "Driver"), REG_SZ, bytes(in));
    reg.set_raw("Enum\\Root\\Ports\\0000", name(in, "DeviceDesc"), REG_SZ, bytes(in));
    reg.set_raw("Enum\\Root\\Ports\\0000", name(in, "Driver"), REG_SZ, bytes(in));
    reg.set_string("System\\CurrentControlSet\\Services\\Class\\Net\\0000", "DriverDesc", "keep");
    reg.set_string("System\\CurrentControlSet\\Services\\Class\\Ports\\0000", "DriverDesc", "keep");
    if (bind_win9x_functions()) {
        clean_product_registry(0);
        release_win9x_functions();
    }
    static const char *const w9x_keys[] = {"System\\CurrentControlSet\\Services\\Class\\Net\\0000",
                                           "System\\CurrentControlSet\\Services\\Class", nullptr};
    static const char *const no_files[] = {nullptr};
    check_survivors(w9x_keys, no_files);

    if (!sim::pc().local_blocks.empty() || !sim::pc().key_handles.empty())
        abort();
    end_fuzz_input();
    return 0;
}
