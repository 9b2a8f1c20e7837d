/*
 * w9x_registry_test.cpp - the Windows 98/Me registry cleanup on the
 * simulated PC: Enum device keys and their class driver keys, port
 * instances, VMM32Files values and VxD service keys.
 * Windows 98/Me: RegDeleteKeyA deletes a key with all its subkeys.
 */
#include <cstring>

#include "harness.h"
#include "../w9x_removal/w9x_steps.h"

static const std::string kClass = "System\\CurrentControlSet\\Services\\Class\\";
static const std::string kPorts = "Enum\\Root\\Ports\\";
static const std::string kVxd = "System\\CurrentControlSet\\Services\\VxD\\";
static const std::string kVmm32 = "System\\CurrentControlSet\\control\\VMM32Files";
static const std::string kDevice = "Enum\\USB\\Vid_1F7C&Pid_0012";
static const std::string kUsbModem = "Enum\\USB\\VID_1F7C&PID_0084";
static const std::string kWdmModem = "Enum\\WDM_MODEM\\KVR0084";

static sim::Registry &reg() { return sim::pc().registry; }

/* A driver key below Services\Class with one value, as the class installer leaves it. */
static void add_driver_key(const std::string &driver)
{
    reg().set_string(kClass + driver, "DriverDesc", "driver " + driver);
}

/* A device instance below Enum whose "Driver" value names `driver` (none when empty). */
static void add_instance(const std::string &instance_path, const std::string &driver)
{
    reg().set_string(instance_path, "HardwareID", "x");
    if (!driver.empty())
        reg().set_string(instance_path, "Driver", driver);
}

/* A device instance and the driver key its "Driver" value names. */
static void add_installed_instance(const std::string &instance_path, const std::string &driver)
{
    add_instance(instance_path, driver);
    add_driver_key(driver);
}

static void add_port(const std::string &instance, const std::string &description, const std::string &driver)
{
    reg().set_string(kPorts + instance, "DeviceDesc", description);
    if (!driver.empty()) {
        reg().set_string(kPorts + instance, "Driver", driver);
        add_driver_key(driver);
    }
}

/* Binds the back-end's functions for a step called on its own. */
class W9xRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        fresh_pc("win98");
        reg().create("Enum\\Root\\Ports");
        before_ = reg().snapshot();
    }
    void bind()
    {
        ASSERT_EQ(bind_win9x_functions(), 1);
    }
    void TearDown() override
    {
        /* a handle whose close was made to fail stays open, as on Windows */
        if (!close_failed()) {
            EXPECT_TRUE(sim::pc().key_handles.empty()) << sim::pc().key_handles.size() << " registry handles left open";
        }
        if (win9x_run.win9x_binding.advapi32)
            release_win9x_functions();
    }
    static bool close_failed()
    {
        for (const sim::FaultRule &rule : sim::pc().faults.rules)
            if (rule.function == "RegCloseKey" && rule.fired)
                return true;
        return false;
    }
    /* The registry as the test laid it down, to compare with after the step. */
    void mark() { before_ = reg().snapshot(); }
    std::set<std::string> before_;
};

static std::vector<std::string> captions(std::initializer_list<const char *> list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

/* ---- Enum device keys --------------------------------------------------------- */

TEST_F(W9xRegistry, NoDeviceKeysGiveZeroWithoutABox)
{
    bind();
    EXPECT_EQ(remove_wdm_modem_enum_keys(), 0);
    EXPECT_EQ(remove_hardware_enum_key(0), 0);
    EXPECT_TRUE(sim::pc().boxes.empty());
    EXPECT_EQ(reg().snapshot(), before_);
}

TEST_F(W9xRegistry, DeviceKeyGoesWithEveryInstanceAndEveryDriverKey)
{
    add_instance(kDevice + "\\5&1A2B&0&1", "Modem\\0003");
    add_instance(kDevice + "\\5&1A2B&0&2", "Modem\\0004");
    add_instance(kDevice + "\\5&1A2B&0&3", ""); /* no driver key: adds nothing */
    add_driver_key("Modem\\0003");
    add_driver_key("Modem\\0004");
    add_driver_key("Modem\\0005");
    bind();

    EXPECT_EQ(remove_hardware_enum_key(0), 1);

    EXPECT_FALSE(reg().exists(kDevice)) << "the device key and its instances are gone";
    EXPECT_FALSE(reg().exists(kClass + "Modem\\0003"));
    EXPECT_FALSE(reg().exists(kClass + "Modem\\0004"));
    EXPECT_TRUE(reg().exists(kClass + "Modem\\0005")) << "a driver key no instance names stays";
    EXPECT_TRUE(reg().exists("Enum\\USB")) << "only the device key goes, not its parent";
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST_F(W9xRegistry, InstancesWithoutDriverKeysGiveZeroButTheDeviceKeyGoes)
{
    add_instance(kDevice + "\\5&1A2B&0&1", "");
    reg().set_string(kDevice + "\\5&1A2B&0&1", "driver", "Modem\\0003"); /* case counts: not "Driver" */
    add_driver_key("Modem\\0003");
    bind();

    EXPECT_EQ(remove_hardware_enum_key(0), 0);

    EXPECT_FALSE(reg().exists(kDevice));
    EXPECT_TRUE(reg().exists(kClass + "Modem\\0003")) << "a value named \"driver\" is not the Driver value";
}

TEST_F(W9xRegistry, MissingDriverKeyIsReportedAndTheWalkGoesOn)
{
    add_instance(kDevice + "\\0001", "Modem\\0009"); /* no such driver key */
    add_installed_instance(kDevice + "\\0002", "Modem\\0004");
    bind();

    EXPECT_EQ(remove_hardware_enum_key(0), 1);

    EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : RegDeleteKey()"});
    EXPECT_EQ(utf8(box_text_at(0)), "The system cannot find the file specified.\r\n")
        << "the box says why the deletion failed";
    EXPECT_FALSE(reg().exists(kClass + "Modem\\0004")) << "the next instance was still walked";
    EXPECT_FALSE(reg().exists(kDevice)) << "the device key is deleted after the walk";
}

TEST_F(W9xRegistry, DriverKeyThatCannotBeDeletedIsReportedAndTheWalkGoesOn)
{
    add_installed_instance(kDevice + "\\0001", "Modem\\0003");
    add_installed_instance(kDevice + "\\0002", "Modem\\0004");
    bind();
    sim::pc().faults.fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, 0, kClass + "Modem\\0003");

    EXPECT_EQ(remove_hardware_enum_key(0), 1);

    EXPECT_EQ(error_captions(), captions({"Function : RegDeleteKey()"}));
    EXPECT_TRUE(reg().exists(kClass + "Modem\\0003"));
    EXPECT_FALSE(reg().exists(kClass + "Modem\\0004"));
    EXPECT_FALSE(reg().exists(kDevice));
}

TEST_F(W9xRegistry, UsbModemAbsentMeansTheWdmModemIsNotExamined)
{
    add_installed_instance(kWdmModem + "\\0000", "Modem\\0007");
    mark();
    bind();

    EXPECT_EQ(remove_wdm_modem_enum_keys(), 0);

    EXPECT_EQ(reg().snapshot(), before_) << "the WDM modem key and its driver key stay";
    EXPECT_EQ(sim::pc().faults.counts["RegOpenKeyExA"], 1) << "only the USB modem key was asked for";
}

TEST_F(W9xRegistry, UsbModemWalkDoesNotCountWhenTheWdmModemIsAbsent)
{
    add_installed_instance(kUsbModem + "\\0000", "Modem\\0001");
    bind();

    EXPECT_EQ(remove_wdm_modem_enum_keys(), 0);

    EXPECT_FALSE(reg().exists(kUsbModem));
    EXPECT_FALSE(reg().exists(kClass + "Modem\\0001"));
}

TEST_F(W9xRegistry, BothModemKeysGoAndTheWdmWalkDecides)
{
    add_installed_instance(kUsbModem + "\\0000", "Modem\\0001");
    add_installed_instance(kWdmModem + "\\0000", "Modem\\0002");
    bind();

    EXPECT_EQ(remove_wdm_modem_enum_keys(), 1);

    EXPECT_FALSE(reg().exists(kUsbModem));
    EXPECT_FALSE(reg().exists(kWdmModem));
    EXPECT_FALSE(reg().exists(kClass + "Modem\\0001"));
    EXPECT_FALSE(reg().exists(kClass + "Modem\\0002"));
    EXPECT_TRUE(reg().exists("Enum\\WDM_MODEM"));
}

/* Driver values that name no single driver key below a class: deleting what
   they name would take a whole class, or every class, with it. */
TEST_F(W9xRegistry, DriverValuesThatNameNoDriverKeyAreNeverDeleted)
{
    const char *bad[] = {"", "Modem", "Modem\\", "\\0003", "Modem\\0003\\Sub", "Modem\\\\0003", "\\", "ソ"};
    int i = 0;
    for (const char *data : bad)
        reg().set_string(kDevice + "\\000" + std::to_string(i++), "Driver", cp932(data));
    add_driver_key("Modem\\0003");
    add_driver_key("Modem\\0003\\Sub");
    reg().set_string(kClass + "Ports\\0000", "DriverDesc", "COM1");
    mark();
    bind();

    EXPECT_EQ(remove_hardware_enum_key(0), 0);

    EXPECT_TRUE(sim::pc().boxes.empty()) << "skipped silently, as a missing value";
    EXPECT_TRUE(reg().exists(kClass + "Modem\\0003\\Sub"));
    EXPECT_TRUE(reg().exists(kClass + "Ports\\0000"));
    EXPECT_FALSE(reg().exists(kDevice));
}

TEST_F(W9xRegistry, DoubleByteTrailByteIsNoBackslash)
{
    /* "ソ" is 0x83 0x5C in code page 932: one character, no separator */
    add_instance(kDevice + "\\0000", cp932("Modem\\ソ1"));
    add_instance(kDevice + "\\0001", cp932("ソ1"));
    reg().create(kClass + cp932("Modem\\ソ1"));
    reg().create(kClass + cp932("ソ1"));
    bind();

    EXPECT_EQ(remove_hardware_enum_key(0), 1);

    EXPECT_FALSE(reg().exists(kClass + cp932("Modem\\ソ1")));
    EXPECT_TRUE(reg().exists(kClass + cp932("ソ1"))) << "\"ソ1\" names a whole class";
}

TEST_F(W9xRegistry, DriverValueTooLongForThePathIsReportedNotCut)
{
    std::string long_name = "Modem\\" + std::string(213, 'A'); /* 219 + 40 fits exactly */
    std::string too_long = "Modem\\" + std::string(214, 'A');  /* 220: does not fit */
    add_instance(kDevice + "\\0000", too_long);
    add_instance(kDevice + "\\0001", long_name);
    reg().create(kClass + long_name);
    std::vector<uint8_t> unterminated(MAX_PATH_BYTES, 'B'); /* fills the data buffer with no NUL */
    reg().set_raw(kDevice + "\\0002", "Driver", REG_SZ, unterminated);
    bind();

    EXPECT_EQ(remove_hardware_enum_key(0), 1);

    EXPECT_EQ(error_captions(), captions({"Function : RegDeleteKey()", "Function : RegDeleteKey()"}));
    EXPECT_FALSE(reg().exists(kClass + long_name));
    EXPECT_TRUE(reg().exists(kClass + "Modem")) << "the class itself stays";
}

TEST_F(W9xRegistry, DriverDataLongerThanTheBufferIsPassedOver)
{
    std::vector<uint8_t> data(300, 'C');
    data.push_back(0);
    reg().set_raw(kDevice + "\\0000", "Driver", REG_SZ, data); /* ERROR_MORE_DATA */
    add_installed_instance(kDevice + "\\0001", "Modem\\0001");
    bind();

    EXPECT_EQ(remove_hardware_enum_key(0), 1);
    EXPECT_TRUE(error_captions().empty()) << "no driver key's name is that long: nothing failed";
    EXPECT_FALSE(reg().exists(kClass + "Modem\\0001"));
}

struct EnumFault {
    const char *function;
    int nth;                   /* 1-based call of that function */
    int expected;              /* remove_hardware_enum_key */
    std::vector<std::string> captions;
    bool device_stays;
    bool second_driver_stays;  /* the driver key of instance 0001 */
};

class W9xEnumFaults : public W9xRegistry, public ::testing::WithParamInterface<EnumFault> {};

TEST_P(W9xEnumFaults, AreReportedAndTheStepEndsAsStated)
{
    const EnumFault &f = GetParam();
    add_installed_instance(kDevice + "\\0000", "Modem\\0000");
    add_installed_instance(kDevice + "\\0001", "Modem\\0001");
    bind();
    sim::pc().faults.fail(f.function, ERROR_ACCESS_DENIED, f.nth);

    EXPECT_EQ(remove_hardware_enum_key(0), f.expected);

    EXPECT_EQ(error_captions(), f.captions);
    EXPECT_EQ(reg().exists(kDevice), f.device_stays);
    EXPECT_EQ(reg().exists(kClass + "Modem\\0001"), f.second_driver_stays);
    for (const sim::Box &b : sim::pc().boxes)
        EXPECT_EQ(b.text, "Access is denied.\r\n") << "the box tells the registry function's own error";
}

INSTANTIATE_TEST_SUITE_P(
    Calls, W9xEnumFaults,
    ::testing::Values(
        /* the device key does not open: absent, silent */
        EnumFault{"RegOpenKeyExA", 1, 0, {}, true, true},
        /* the first instance does not open: the second is still walked */
        EnumFault{"RegOpenKeyExA", 2, 1, {"Function : RegOpenKeyEx()"}, false, false},
        /* the first instance does not close: the walk ends, the device key still goes */
        EnumFault{"RegCloseKey", 1, 0xFFFF, {"Function : RegCloseKey()"}, false, true},
        /* the device key does not close: it is not deleted */
        EnumFault{"RegCloseKey", 3, 0xFFFF, {"Function : RegCloseKey()"}, true, false},
        /* the device key is not deleted */
        EnumFault{"RegDeleteKeyA", 3, 0xFFFF, {"Function : RegDeleteKey()"}, true, false},
        /* a flush failure is ignored */
        EnumFault{"RegFlushKey", 1, 1, {}, false, false}));

TEST_F(W9xRegistry, UsbModemFailureMeansTheWdmModemIsNotTried)
{
    add_instance(kUsbModem + "\\0000", "");
    add_installed_instance(kWdmModem + "\\0000", "Modem\\0002");
    bind();
    sim::pc().faults.fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, 0, kUsbModem);

    EXPECT_EQ(remove_wdm_modem_enum_keys(), 0xFFFF);

    EXPECT_EQ(error_captions(), captions({"Function : RegDeleteKey()"}));
    EXPECT_TRUE(reg().exists(kWdmModem));
    EXPECT_TRUE(reg().exists(kClass + "Modem\\0002"));
}

/* ---- port instances ------------------------------------------------------------ */

TEST_F(W9xRegistry, PortWalkRemovesEveryMatchingInstanceInARow)
{
    add_port("0000", "Pelto QZ Series USB Port", "Ports\\0001");
    add_port("0001", "Pelto QZ 65 USB Port", "Ports\\0002");    /* right after a deleted one */
    add_port("0002", "Communications Port", "Ports\\0000");
    add_port("0003", "Pelto QZ Series USB Port (COM5)", "Ports\\0003");
    add_port("0004", "pelto qz Series USB Port", "Ports\\0004"); /* other case */
    add_port("0005", "Pelto", "Ports\\0005");                    /* shorter than the model name */
    add_port("0006", "Pelto QZ", "Ports\\0006");                 /* exactly the model name */
    add_port("0007", "Pelto QZ Series USB Port", "");            /* no driver key */
    add_port("0008", "Printer Port", "Ports\\0008");
    bind();

    EXPECT_EQ(clean_root_ports(0), 1);

    for (const char *gone : {"0000", "0001", "0003", "0006", "0007"})
        EXPECT_FALSE(reg().exists(kPorts + gone)) << "instance " << gone << " should be gone";
    for (const char *stays : {"0002", "0004", "0005", "0008"})
        EXPECT_TRUE(reg().exists(kPorts + stays)) << "instance " << stays << " should stay";
    for (const char *gone : {"0001", "0002", "0003", "0006"})
        EXPECT_FALSE(reg().exists(kClass + "Ports\\" + gone)) << "driver key " << gone << " should be gone";
    for (const char *stays : {"0000", "0004", "0005", "0008"})
        EXPECT_TRUE(reg().exists(kClass + "Ports\\" + stays)) << "driver key " << stays << " should stay";
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST_F(W9xRegistry, PortThatComesBackAfterItsDeletionEndsTheWalk)
{
    add_port("0000", "Pelto QZ Series USB Port", ""); /* nothing else to delete: only the instance itself */
    add_port("0001", "Pelto QZ Series USB Port", "Ports\\0001");
    sim::pc().faults.fail("RegDeleteKeyA", ERROR_SUCCESS, 0, kPorts + "0000"); /* reported deleted, still there */
    bind();

    EXPECT_EQ(clean_root_ports(0), 0xFFFF);

    ASSERT_EQ(sim::pc().boxes.size(), 1u);
    EXPECT_EQ(box_lines()[0], box_line("Function : RegDeleteKey()",
                                       "The configuration registry key could not be written.\r\n",
                                       MB_OK | MB_ICONERROR));
    EXPECT_TRUE(reg().exists(kPorts + "0001")) << "the walk ends there";
}

TEST_F(W9xRegistry, PortValueNamesAreCaseSensitive)
{
    reg().set_string(kPorts + "0000", "devicedesc", "Pelto QZ Series USB Port");
    reg().set_string(kPorts + "0000", "Driver", "Ports\\0001");
    reg().set_string(kPorts + "0001", "DeviceDesc", "Pelto QZ Series USB Port");
    reg().set_string(kPorts + "0001", "DRIVER", "Ports\\0002");
    add_driver_key("Ports\\0001");
    add_driver_key("Ports\\0002");
    bind();

    EXPECT_EQ(clean_root_ports(0), 0) << "an instance key alone does not count";

    EXPECT_TRUE(reg().exists(kPorts + "0000"));
    EXPECT_FALSE(reg().exists(kPorts + "0001"));
    EXPECT_TRUE(reg().exists(kClass + "Ports\\0001"));
    EXPECT_TRUE(reg().exists(kClass + "Ports\\0002"));
}

TEST_F(W9xRegistry, PortWithMissingDriverKeyIsReportedAndStopsTheWalk)
{
    reg().set_string(kPorts + "0000", "DeviceDesc", "Pelto QZ Series USB Port");
    reg().set_string(kPorts + "0000", "Driver", "Ports\\0009"); /* no such key */
    add_port("0001", "Pelto QZ 65 USB Port", "Ports\\0002");
    bind();

    EXPECT_EQ(clean_root_ports(0), 0xFFFF);

    EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : RegDeleteKey()"});
    EXPECT_TRUE(reg().exists(kPorts + "0000")) << "the instance whose driver key is missing stays";
    EXPECT_TRUE(reg().exists(kPorts + "0001")) << "later instances are not examined";
    EXPECT_TRUE(reg().exists(kClass + "Ports\\0002"));
    EXPECT_TRUE(sim::pc().key_handles.empty());
}

TEST_F(W9xRegistry, PortWhoseDriverKeyCannotBeDeletedStopsTheWalk)
{
    add_port("0000", "Pelto QZ Series USB Port", "Ports\\0001");
    add_port("0001", "Pelto QZ Series USB Port", "Ports\\0002");
    add_port("0002", "Pelto QZ 65 USB Port", "Ports\\0003");
    bind();
    sim::pc().faults.fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, 0, kClass + "Ports\\0002");

    EXPECT_EQ(clean_root_ports(0), 0xFFFF);

    EXPECT_EQ(error_captions(), captions({"Function : RegDeleteKey()"}));
    EXPECT_FALSE(reg().exists(kPorts + "0000"));
    EXPECT_TRUE(reg().exists(kPorts + "0001")) << "the instance whose driver key failed stays";
    EXPECT_TRUE(reg().exists(kPorts + "0002")) << "later instances are not examined";
    EXPECT_TRUE(reg().exists(kClass + "Ports\\0003"));
}

TEST_F(W9xRegistry, PortWithInvalidDriverValueLosesOnlyItsInstanceKey)
{
    reg().set_string(kPorts + "0000", "DeviceDesc", "Pelto QZ Series USB Port");
    reg().set_string(kPorts + "0000", "Driver", "");
    reg().set_string(kClass + "Ports\\0000", "DriverDesc", "COM1");
    bind();

    EXPECT_EQ(clean_root_ports(0), 0);

    EXPECT_FALSE(reg().exists(kPorts + "0000"));
    EXPECT_TRUE(reg().exists(kClass + "Ports\\0000")) << "an empty Driver value names the Class key itself";
    EXPECT_TRUE(sim::pc().boxes.empty());
}

/* Windows enumerates values in creation order (Wine sorts them by name), so
   these cases run on the simulated PC only. */
TEST_F(W9xRegistry, ValueTooLongForItsBufferHidesNoValueAfterIt)
{
    std::vector<uint8_t> long_text(300, 'F');
    long_text.push_back(0);
    /* 0000: the long value comes first; its description is read all the same */
    reg().set_raw(kPorts + "0000", "FriendlyName", REG_SZ, long_text);
    reg().set_string(kPorts + "0000", "DeviceDesc", "Pelto QZ Series USB Port");
    reg().set_string(kPorts + "0000", "Driver", "Ports\\0001");
    add_driver_key("Ports\\0001");
    /* 0001: described first, then the long value, then its Driver value */
    reg().set_string(kPorts + "0001", "DeviceDesc", "Pelto QZ Series USB Port");
    reg().set_raw(kPorts + "0001", "FriendlyName", REG_SZ, long_text);
    reg().set_string(kPorts + "0001", "Driver", "Ports\\0002");
    add_driver_key("Ports\\0002");
    bind();

    EXPECT_EQ(clean_root_ports(0), 1);

    for (const char *gone : {"0000", "0001"})
        EXPECT_FALSE(reg().exists(kPorts + gone)) << gone << ": matched, its instance key goes";
    EXPECT_FALSE(reg().exists(kClass + "Ports\\0001")) << "the value before the long one was read";
    EXPECT_FALSE(reg().exists(kClass + "Ports\\0002")) << "the value after the long one was read";
    EXPECT_TRUE(error_captions().empty());
}

TEST_F(W9xRegistry, AMissingPortsKeyIsNothingThereAndARefusedOneAFailure)
{
    /* a PC where no serial port was ever installed has no ports key: it
       was taken for a failure, and asked for a restart on a clean PC */
    reg().remove("Enum\\Root\\Ports");
    bind();
    EXPECT_EQ(clean_root_ports(0), 0);
    EXPECT_TRUE(sim::pc().boxes.empty());

    reg().create("Enum\\Root\\Ports");
    sim::pc().faults.fail("RegOpenKeyExA", ERROR_ACCESS_DENIED, 0, "Enum\\Root\\Ports");
    EXPECT_EQ(clean_root_ports(0), 0xFFFF);
    EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : RegOpenKeyEx()"});
}

struct PortFault {
    const char *function;
    int nth;
    std::vector<std::string> captions;
    std::vector<std::string> instances_left; /* of 0000 0001 0002 */
};

class W9xPortFaults : public W9xRegistry, public ::testing::WithParamInterface<PortFault> {};

TEST_P(W9xPortFaults, EndTheWalkWithTheInstancesLeft)
{
    const PortFault &f = GetParam();
    add_port("0000", "Pelto QZ Series USB Port", "Ports\\0001");
    add_port("0001", "Pelto QZ Series USB Port", "Ports\\0002");
    add_port("0002", "Pelto QZ 65 USB Port", "Ports\\0003");
    bind();
    sim::pc().faults.fail(f.function, ERROR_ACCESS_DENIED, f.nth);

    EXPECT_EQ(clean_root_ports(0), 0xFFFF);

    EXPECT_EQ(error_captions(), f.captions);
    std::vector<std::string> left;
    for (const char *i : {"0000", "0001", "0002"})
        if (reg().exists(kPorts + i))
            left.push_back(i);
    EXPECT_EQ(left, f.instances_left);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, W9xPortFaults,
    ::testing::Values(
        /* call 1 opens the ports key, call 2 the first instance, call 3 the second */
        PortFault{"RegOpenKeyExA", 3, {"Function : RegOpenKeyEx()"}, {"0001", "0002"}},
        /* deletion 1 is the first driver key, 2 the first instance, 3 the second driver key */
        PortFault{"RegDeleteKeyA", 3, {"Function : RegDeleteKey()"}, {"0001", "0002"}},
        PortFault{"RegDeleteKeyA", 2, {"Function : RegDeleteKey()"}, {"0000", "0001", "0002"}},
        /* close 1 is the first instance key */
        PortFault{"RegCloseKey", 1, {"Function : RegCloseKey()"}, {"0000", "0001", "0002"}},
        /* close 4 is the ports key itself, after all instances went */
        PortFault{"RegCloseKey", 4, {"Function : RegCloseKey()"}, {}}));

/* ---- VMM32Files and VxD service keys ------------------------------------------------ */

TEST_F(W9xRegistry, VxdRegistrationsOfTheProductGo)
{
    for (const char *v : {"QZPORT.VXD", "QZSV1.VXD", "QZ65PORT.VXD", "QZ65SV1.VXD", "QZPORTX.VXD"})
        reg().set_string(kVmm32, v, "");
    for (const char *k : {"QZPORT", "QZSV1", "QZ65PORT", "QZ65SV1", "QZPORTX"})
        reg().set_string(kVxd + k, "StaticVxD", std::string(k) + ".vxd");
    bind();

    EXPECT_EQ(remove_vxd_registrations(1), 1);

    EXPECT_EQ(reg().value(kVmm32, "QZ65PORT.VXD"), nullptr);
    EXPECT_EQ(reg().value(kVmm32, "QZ65SV1.VXD"), nullptr);
    EXPECT_FALSE(reg().exists(kVxd + "QZ65PORT"));
    EXPECT_FALSE(reg().exists(kVxd + "QZ65SV1"));
    for (const char *v : {"QZPORT.VXD", "QZSV1.VXD", "QZPORTX.VXD"})
        EXPECT_NE(reg().value(kVmm32, v), nullptr) << v << " belongs to another product";
    for (const char *k : {"QZPORT", "QZSV1", "QZPORTX"})
        EXPECT_TRUE(reg().exists(kVxd + k)) << k << " belongs to another product";
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST_F(W9xRegistry, EachVxdItemAloneCounts)
{
    struct {
        bool value;
        const char *name;
    } items[] = {{true, "QZPORT.VXD"}, {true, "QZSV1.VXD"}, {false, "QZPORT"}, {false, "QZSV1"}};
    for (auto &item : items) {
        SetUp();
        if (item.value)
            reg().set_string(kVmm32, item.name, "");
        else
            reg().create(kVxd + item.name);
        bind();
        EXPECT_EQ(remove_vxd_registrations(0), 1) << item.name;
        EXPECT_TRUE(item.value ? reg().value(kVmm32, item.name) == nullptr : !reg().exists(kVxd + item.name))
            << item.name << " is still there";
        release_win9x_functions();
        reset_program_state();
    }
}

TEST_F(W9xRegistry, NoVxdItemsGiveZeroWithoutABox)
{
    bind();
    EXPECT_EQ(remove_vxd_registrations(0), 0);
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST_F(W9xRegistry, Vmm32FilesFailuresLeaveTheVxdKeys)
{
    for (const char *function : {"RegOpenKeyExA", "RegCloseKey"}) {
        SetUp();
        reg().set_string(kVmm32, "QZPORT.VXD", "");
        reg().create(kVxd + "QZPORT");
        bind();
        sim::pc().faults.fail(function, ERROR_ACCESS_DENIED, 1);

        EXPECT_EQ(remove_vxd_registrations(0), 0xFFFF) << function;

        EXPECT_EQ(error_captions().size(), 1u) << function;
        EXPECT_TRUE(reg().exists(kVxd + "QZPORT")) << function;
        release_win9x_functions();
        reset_program_state();
    }
}

/* ---- the four steps together ------------------------------------------------------- */

TEST_F(W9xRegistry, RegistryStatusIsTheOrOfTheFourSteps)
{
    struct {
        bool modem, device, port, vxd, ports_key;
        int expected;
    } cases[] = {
        {false, false, false, false, true, 0},
        {true, false, false, false, true, 1},
        {false, true, false, false, true, 1},
        {false, false, true, false, true, 1},
        {false, false, false, true, true, 1},
        {true, true, false, true, false, 1}, /* no ports key: nothing there */
    };
    for (auto &c : cases) {
        SetUp();
        if (c.modem) {
            add_instance(kUsbModem + "\\0000", "");
            add_instance(kWdmModem + "\\0000", "Modem\\0001");
            add_driver_key("Modem\\0001");
        }
        if (c.device) {
            add_instance(kDevice + "\\0000", "Modem\\0002");
            add_driver_key("Modem\\0002");
        }
        if (c.port)
            add_port("0000", "Pelto QZ Series USB Port", "Ports\\0001");
        if (c.vxd)
            reg().set_string(kVmm32, "QZSV1.VXD", "");
        if (!c.ports_key)
            reg().remove("Enum\\Root\\Ports");
        bind();

        int status = clean_product_registry(0);

        EXPECT_EQ(status, c.expected)
            << "modem " << c.modem << " device " << c.device << " port " << c.port << " vxd " << c.vxd;
        EXPECT_EQ(win9x_run.win9x_removal_status[0].file_status, 0) << "the registry steps leave file_status alone";
        release_win9x_functions();
        reset_program_state();
    }
}
