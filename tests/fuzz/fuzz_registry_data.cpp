/*
 * fuzz_registry_data.cpp - registry names and data of any bytes and
 * lengths, up to and past the 260-byte buffers (260 bytes with no NUL
 * included), in the places the uninstaller reads them: the Modem class
 * key ("MatchingDeviceId", "InfPath") on the NT family, and the Enum tree
 * ("Driver") and port instances ("DeviceDesc") on Windows 98/Me. Whatever
 * the data, no buffer is overrun and nothing outside the series' own keys
 * and files is removed: a file of the INF folder goes only when the driver
 * key names the product's hardware ID and that file; with the usual names
 * and data, the product's INF goes.
 */
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
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

/* The usual text with its NUL, or any bytes. */
static std::vector<uint8_t> data_or(FuzzedDataProvider &in, const char *usual)
{
    return in.ConsumeBool() ? std::vector<uint8_t>(usual, usual + strlen(usual) + 1) : bytes(in);
}

/* The data as text (to its first NUL), lower case. */
static std::string lower_text(const std::vector<uint8_t> &data)
{
    std::string text(data.begin(), std::find(data.begin(), data.end(), 0));
    for (char &c : text)
        c = (char)tolower((unsigned char)c);
    return text;
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
    std::string id_name = name(in, "MatchingDeviceId"), path_name = name(in, "InfPath");
    std::vector<uint8_t> id = data_or(in, "USB\\VID_1F7C&PID_0084"), path = data_or(in, "mdmqz.inf");
    sim::pc().registry.set_raw(modem, id_name, REG_SZ, id);
    sim::pc().registry.set_raw(modem, path_name, REG_SZ, path);
    sim::pc().files.add_file("C:\\WINDOWS\\system32\\keep.inf");
    sim::pc().files.add_file("C:\\WINDOWS\\keep.pnf");
    sim::pc().files.add_file("C:\\keep.inf");
    static const char *const inf_folder[] = {"mdmqz.inf", "mdmqz.pnf", "keep.inf", "keep.pnf", "oem3.inf"};
    for (const char *file : inf_folder)
        sim::pc().files.add_file(std::string("C:\\WINDOWS\\inf\\") + file);
    if (bind_nt_functions()) {
        FileCount count;
        find_class_inf_name(0);
        remove_driver_files(0, &count);
        find_class_inf_name(1);
        remove_driver_files(1, &count);
        release_nt_functions();
    }
    static const char *const nt_keys[] = {"SYSTEM\\CurrentControlSet\\Control\\Class", nullptr};
    static const char *const nt_files[] = {"C:\\WINDOWS\\system32\\keep.inf", "C:\\WINDOWS\\keep.pnf",
                                           "C:\\keep.inf", nullptr};
    check_survivors(nt_keys, nt_files);
    /* a file of the INF folder may go only when the data name the product and
       the file (its PNF with it); with the usual names and data, mdmqz.inf goes */
    bool names_product = lower_text(id) == "usb\\vid_1f7c&pid_0084" || lower_text(id) == "usb\\vid_1f7c&pid_0012";
    for (const char *file : inf_folder) {
        std::string stem = std::string(file).substr(0, strlen(file) - 3);
        bool may_go = names_product && lower_text(path).rfind(stem, 0) == 0;
        if (!may_go && !sim::pc().files.exists(std::string("C:\\WINDOWS\\inf\\") + file))
            abort();
    }
    bool usual = id_name == "MatchingDeviceId" && path_name == "InfPath" && lower_text(path) == "mdmqz.inf";
    if (usual && names_product && sim::pc().files.exists("C:\\WINDOWS\\inf\\mdmqz.inf"))
        abort();

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
