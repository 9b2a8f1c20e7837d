/*
 * nt_fixtures.cpp - building NT-family PCs for the removal tests.
 */
#include "nt_fixtures.h"

#include "../nt_removal/nt_steps.h"

const char *const kQz84 = "USB\\Vid_1F7C&Pid_0084";
const char *const kQz12 = "USB\\Vid_1F7C&Pid_0012";
const char *const kModemClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char *const kNotInstalled = "Pelto QZ シリーズはインストールされていません。";

std::string enum_path(const std::string &device_path)
{
    return "SYSTEM\\CurrentControlSet\\Enum\\" + device_path;
}

std::string class_path(const std::string &driver)
{
    return "SYSTEM\\CurrentControlSet\\Control\\Class\\" + driver;
}

void add_device(const std::string &device_path, const std::vector<std::string> &hardware_ids,
                const std::string &driver)
{
    sim::Registry &r = sim::pc().registry;
    r.set_string(enum_path(device_path), "ClassGUID", "{4D36E96D-E325-11CE-BFC1-08002BE10318}");
    if (!hardware_ids.empty())
        r.set_multi_string(enum_path(device_path), "HardwareID", hardware_ids);
    if (!driver.empty()) {
        r.set_string(enum_path(device_path), "Driver", driver);
        r.set_string(class_path(driver), "DriverDesc", "driver of " + device_path);
    }
}

void add_modem_driver_key(const std::string &number, const std::string &matching_id, const std::string &inf_path)
{
    std::string key = std::string(kModemClass) + "\\" + number;
    sim::pc().registry.set_string(key, "DriverDesc", "a modem");
    sim::pc().registry.set_string(key, "InfPath", inf_path);
    sim::pc().registry.set_string(key, "MatchingDeviceId", matching_id);
}

std::string inf_dir(const std::string &name)
{
    return "C:\\WINDOWS\\inf\\" + name;
}

std::string sys_dir(const std::string &name)
{
    return "C:\\WINDOWS\\system32\\" + name;
}

std::string drivers_dir(const std::string &name)
{
    return "C:\\WINDOWS\\system32\\drivers\\" + name;
}

void add_oem_inf(const std::string &name, const std::string &fields)
{
    sim::pc().files.add_file(inf_dir(name), "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n\r\n"
                                            "[USBTA]\r\n\"Pelto QZ-USB USBPort Adapter\" = " +
                                                fields + "\r\n");
}

void bind_for_step()
{
    ASSERT_EQ(bind_nt_functions(), 1) << "the platform functions could not be bound";
}

void release_after_step()
{
    EXPECT_EQ(release_nt_functions(), 1);
}

NtRemovalStatus status_of(int index)
{
    NtRemovalStatus out = {-1, -1, -1, -1, -1, {}, -1, -1};
    EXPECT_EQ(get_nt_removal_status(index, &out), 1);
    return out;
}
