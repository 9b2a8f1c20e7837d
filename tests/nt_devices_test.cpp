/*
 * nt_devices_test.cpp - removing the products' device instances through the
 * setup API: the hardware ID match, DIF_REMOVE's effect, device_status and
 * every failure path.
 */
#include "nt_fixtures.h"
#include "../nt_removal/nt_steps.h"
#include "../simpc/text.h"
#include "harness.h"

#include <algorithm>

static const char kOther[] = "USB\\Vid_0409&Pid_0058";

/* Runs the device step for one product on the PC as it stands. */
static void remove_devices(int index)
{
    bind_for_step();
    record_device_step(index);
    release_after_step();
}

TEST(NtDevices, EveryInstanceWithTheIdIsRemovedWithItsDriverKey)
{
    fresh_pc("winxp");
    add_device("USB\\Vid_1F7C&Pid_0084\\5&1", {"USB\\Vid_1F7C&Pid_0084&Rev_0100", kQz84}, "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0003");
    add_device("USB\\Vid_1F7C&Pid_0084\\5&2", {kQz84}, "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0004");
    /* only the revision form: the hub's own ID for the device, the product's too
       (this device used to stay, when the whole ID alone matched) */
    add_device("USB\\Vid_1F7C&Pid_0084&Rev_0100\\7&1", {"USB\\Vid_1F7C&Pid_0084&Rev_0100"});
    /* an interface of the product as a composite device, with its driver key */
    add_device("USB\\VID_1F7C&PID_0084&MI_02\\6&1&0&2", {"USB\\VID_1F7C&PID_0084&REV_0100&MI_02", "USB\\VID_1F7C&PID_0084&MI_02"},
               "{4D36E978-E325-11CE-BFC1-08002BE10318}\\0006");
    /* as Windows Vista and later write it: Windows compares IDs without case */
    add_device("USB\\VID_1F7C&PID_0084\\8&1", {"USB\\VID_1F7C&PID_0084&REV_0100", "USB\\VID_1F7C&PID_0084"},
               "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0005");
    add_device("USB\\Vid_0409&Pid_0058\\9&1", {kOther});

    remove_devices(0);

    EXPECT_EQ(status_of(0).device_status, 1);
    EXPECT_FALSE(sim::pc().registry.exists(enum_path("USB\\Vid_1F7C&Pid_0084"))) << "both instances, then their empty parent";
    EXPECT_FALSE(sim::pc().registry.exists(class_path("{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0003")));
    EXPECT_FALSE(sim::pc().registry.exists(class_path("{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0004")));
    EXPECT_FALSE(sim::pc().registry.exists(enum_path("USB\\Vid_1F7C&Pid_0084&Rev_0100")));
    EXPECT_FALSE(sim::pc().registry.exists(enum_path("USB\\VID_1F7C&PID_0084&MI_02")));
    EXPECT_FALSE(sim::pc().registry.exists(class_path("{4D36E978-E325-11CE-BFC1-08002BE10318}\\0006")));
    EXPECT_FALSE(sim::pc().registry.exists(class_path("{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0005")));
    EXPECT_TRUE(sim::pc().registry.exists(enum_path("USB\\Vid_0409&Pid_0058\\9&1")));
    EXPECT_NOTHING_LEFT_OPEN();
}

TEST(NtDevices, NoDeviceOfTheProductOrAnEmptyEnumTreeGivesZeroAndNoBox)
{
    fresh_pc("winxp");
    remove_devices(0); /* Enum holds only an empty Root */
    EXPECT_EQ(status_of(0).device_status, 0);

    add_device("USB\\Vid_0409&Pid_0058\\9&1", {kOther});
    add_device("ROOT\\LEGACY_BEEP\\0000", {}); /* no hardware IDs at all: skipped */
    remove_devices(1);
    EXPECT_EQ(status_of(1).device_status, 0);
    EXPECT_TRUE(sim::pc().boxes.empty());
    EXPECT_TRUE(sim::pc().registry.exists(enum_path("ROOT\\LEGACY_BEEP\\0000")));
    EXPECT_NOTHING_LEFT_OPEN();
}

TEST(NtDevices, TheLastMatchingDeviceDecidesTheStatus)
{
    struct {
        const char *what;
        const char *failing; /* the instance whose removal fails */
        int expected;
    } cases[] = {
        {"first fails, second removed", "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1F7C&Pid_0012\\6&1", 1},
        {"first removed, second fails", "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1F7C&Pid_0012\\6&2", 0xffff},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        add_device("USB\\Vid_1F7C&Pid_0012\\6&1", {kQz12});
        add_device("USB\\Vid_1F7C&Pid_0012\\6&2", {kQz12});
        sim::pc().faults.fail("SetupDiCallClassInstaller", ERROR_ACCESS_DENIED, 0, c.failing);

        remove_devices(1);

        EXPECT_EQ(status_of(1).device_status, c.expected);
        EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : CallClassInstaller()"});
        EXPECT_TRUE(sim::pc().registry.exists(c.failing)) << "the device that could not be removed stays";
        EXPECT_NOTHING_LEFT_OPEN();
    }
}

TEST(NtDevices, FailuresOfTheSetupApiAreReportedAndLeaveTheirStatus)
{
    struct {
        InjectedFailure failure;
        int expected;
        bool device_removed;
    } cases[] = {
        {{"the set cannot be built", "SetupDiGetClassDevsA", ERROR_NOT_ENOUGH_MEMORY, 0,
          "", {"Function : SetupDiGetClassDevs()"}}, 0xffff, false},
        {{"the walk ends on an unexpected error", "SetupDiEnumDeviceInfo", ERROR_INVALID_HANDLE, 2,
          "", {"Function : Unknown"}}, 0xffff, true},
        {{"the walk ends on error 0, taken as the normal end", "SetupDiEnumDeviceInfo", 0, 2, "", {}}, 1, true},
        {{"the hardware IDs cannot be read", "SetupDiGetDeviceRegistryPropertyA", ERROR_ACCESS_DENIED, 0,
          "", {"Function : GetDeviceRegistryProperty()"}}, 0, false},
        {{"no memory for the hardware IDs", "LocalAlloc", ERROR_NOT_ENOUGH_MEMORY, 1,
          "", {"Function : LocalAlloc()"}}, 0, false},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.failure.what);
        fresh_pc("winxp");
        add_device("USB\\Vid_1F7C&Pid_0084\\5&1", {kQz84});
        c.failure.inject();

        remove_devices(0);

        EXPECT_EQ(error_captions(), c.failure.captions);
        EXPECT_EQ(status_of(0).device_status, c.expected);
        EXPECT_EQ(!sim::pc().registry.exists(enum_path("USB\\Vid_1F7C&Pid_0084\\5&1")), c.device_removed);
        EXPECT_NOTHING_LEFT_OPEN();
    }
}

TEST(NtDevices, AFailedSecondReadIsExplainedByItsOwnError)
{
    fresh_pc("winxp");
    add_device("USB\\Vid_1F7C&Pid_0084\\5&1", {kQz84});
    sim::pc().faults.fail("SetupDiGetDeviceRegistryPropertyA", ERROR_INVALID_PARAMETER, 2);
    sim::pc().faults.fail("LocalFree", ERROR_INVALID_HANDLE, 1); /* freeing the block sets another error */

    remove_devices(0);

    ASSERT_EQ(sim::pc().boxes.size(), 1u);
    EXPECT_EQ(box_lines()[0], box_line("Function : GetDeviceRegistryProperty()", "The parameter is incorrect.\r\n",
                                       MB_OK | MB_ICONERROR));
}

TEST(NtDevices, AHardwareIdListIsNeverReadPastTheSizeThePlatformReported)
{
    fresh_pc("winxp");
    /* "USB\Vid_1F7C&Pid_0084" with neither its NUL nor the list's end */
    std::string id = kQz84;
    add_device("USB\\Vid_1F7C&Pid_0084\\5&1", {});
    sim::pc().registry.set_raw(enum_path("USB\\Vid_1F7C&Pid_0084\\5&1"), "HardwareID", REG_MULTI_SZ,
                               std::vector<uint8_t>(id.begin(), id.end()));
    /* a good second string behind an unterminated first one is out of reach too */
    add_device("USB\\Vid_1F7C&Pid_0084\\5&2", {});
    std::string two = std::string("USB\\Other") + '\0' + kQz84; /* ends without the NUL of kQz84 */
    sim::pc().registry.set_raw(enum_path("USB\\Vid_1F7C&Pid_0084\\5&2"), "HardwareID", REG_MULTI_SZ,
                               std::vector<uint8_t>(two.begin(), two.end()));

    remove_devices(0);

    EXPECT_EQ(status_of(0).device_status, 0) << "an unterminated string does not match";
    EXPECT_TRUE(sim::pc().registry.exists(enum_path("USB\\Vid_1F7C&Pid_0084\\5&1")));
    EXPECT_TRUE(sim::pc().registry.exists(enum_path("USB\\Vid_1F7C&Pid_0084\\5&2")));
    EXPECT_NOTHING_LEFT_OPEN();
}

TEST(NtDevices, ADeviceInUseIsRemovedAtTheRestart)
{
    /* DIF_REMOVE succeeds on a device Windows cannot stop, and asks for the
       restart through the device's install parameters */
    const struct {
        const char *what;
        DWORD flag; /* what the device sets */
        bool fail_params;
        int status, reasons;
        std::vector<std::string> captions;
    } cases[] = {
        {"the restart asked for", DI_NEEDREBOOT, false, 1, RESTART_FOR_DEVICE, {}},
        {"the restart asked for by DI_NEEDRESTART alone", DI_NEEDRESTART, false, 1, RESTART_FOR_DEVICE, {}},
        {"the parameters cannot be read", DI_NEEDREBOOT, true, 0xffff, 0, {"Function : SetupDiGetDeviceInstallParams()"}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("win10");
        add_device("USB\\VID_1F7C&PID_0084\\5&1", {kQz84});
        sim::pc().devices_in_use.insert(sim::fold(enum_path("USB\\VID_1F7C&PID_0084\\5&1")));
        sim::pc().in_use_flag = c.flag;
        if (c.fail_params)
            sim::pc().faults.fail("SetupDiGetDeviceInstallParamsA", ERROR_INVALID_USER_BUFFER);

        remove_devices(0);

        EXPECT_EQ(status_of(0).device_status, c.status);
        EXPECT_EQ(status_of(0).restart_reasons, c.reasons);
        EXPECT_EQ(error_captions(), c.captions);
        EXPECT_FALSE(sim::pc().registry.exists(enum_path("USB\\VID_1F7C&PID_0084\\5&1")));
        EXPECT_NOTHING_LEFT_OPEN();
    }
}

TEST(NtDevices, HardwareIdMatchWalksTheWholeMultiString)
{
    struct {
        std::string list;
        int expected;
    } cases[] = {
        {std::string("USB\\Vid_1F7C&Pid_0084\0\0", 23), 1},
        {std::string("USB\\A\0USB\\Vid_1F7C&Pid_0084\0\0", 29), 1},
        /* the ID with the revision, the interface of a composite device, or
           both, as the hub and the generic parent write them (these were not
           matched when the whole ID alone was) */
        {std::string("USB\\Vid_1F7C&Pid_0084&Rev_0100\0\0", 32), 1},
        {std::string("USB\\VID_1F7C&PID_0084&REV_0100\0\0", 32), 1},
        {std::string("USB\\VID_1F7C&PID_0084&MI_02\0\0", 29), 1},
        {std::string("usb\\vid_1f7c&pid_0084&rev_01af&mi_0a\0\0", 38), 1},
        {std::string("usb\\vid_1f7c&pid_0084\0\0", 23), 1}, /* Windows compares IDs without case */
        {std::string("USB\\Vid_1f7c&Pid_0084&Rev_0001\0USB\\Vid_1f7c&Pid_0084\0\0", 55), 1}, /* Windows XP */
        /* nothing else: another product, other lengths, other order or text after */
        {std::string("USB\\VID_1F7C&PID_00841\0\0", 24), 0},
        {std::string("USB\\VID_1F7C&PID_0084&REV_010\0\0", 31), 0},
        {std::string("USB\\VID_1F7C&PID_0084&REV_01000\0\0", 33), 0},
        {std::string("USB\\VID_1F7C&PID_0084&MI_0G\0\0", 29), 0},
        {std::string("USB\\VID_1F7C&PID_0084&MI_00&REV_0100\0\0", 38), 0},
        {std::string("USB\\VID_1F7C&PID_0084&MI_00 \0\0", 30), 0},
        {std::string("USB\\Class_02&SubClass_02\0USB\\Class_02\0\0", 39), 0},
        {std::string("USB\\Vid_1F7C&Pid_008\0\0", 22), 0},
        {std::string("\0\0", 2), 0},
        {std::string("USB\\A\0\0USB\\Vid_1F7C&Pid_0084\0\0", 30), 0}, /* after the list's end */
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(hardware_id_matches(0, c.list.data(), (DWORD)c.list.size()), c.expected);
    }
}

TEST(NtDevices, TheDeviceRecordCarriesItsRealSize)
{
    fresh_pc("winxp");
    add_device("USB\\Vid_1F7C&Pid_0084\\5&1", {kQz84});
    remove_devices(0);
    /* the simulated SetupDiEnumDeviceInfo refuses any size but sizeof(SP_DEVINFO_DATA) */
    EXPECT_EQ(status_of(0).device_status, 1);
    EXPECT_TRUE(sim::pc().boxes.empty());
    /* Windows' size at the build's own bitness: 28 bytes for the 32-bit program, 32 for the 64-bit one */
    EXPECT_EQ(sizeof(SP_DEVINFO_DATA), sizeof(void *) == 4 ? 28u : 32u);
}

TEST(NtDevices, TheCheckCountsTheSeriesDriverAndWhatWaitsForTheRestartApart)
{
    const std::string device = "USB\\VID_1F7C&PID_0084\\5&1";
    const std::string ports_driver = "{4D36E978-E325-11CE-BFC1-08002BE10318}\\0005";
    const std::string qz_sys = "\\??\\C:\\WINDOWS\\system32\\drivers\\QZUSBCOM.SYS";
    const struct {
        const char *what, *service, *inf_path; /* "" for none; inf_path makes a driver key */
        DWORD status, problem;                 /* the devnode's, when status is not 0 */
        const char *pending_value;             /* a list of moves naming the driver file, or "" */
        std::string moves;
        bool fail_status;
        int exit_code;
        const char *line;
    } cases[] = {
        {"the series' service", "QZUSBCOM", "", 0, 0, "", "", false, 1, "検出 デバイス: USB\\VID_1F7C&PID_0084\\5&1"},
        {"Windows XP's Modem service over the series' INF", "Modem", "oem3.inf", 0, 0, "", "", false, 1,
         "検出 デバイス: USB\\VID_1F7C&PID_0084\\5&1"},
        {"Windows 10's usbser", "usbser", "usbser.inf", 0, 0, "", "", false, 0,
         "対象外 (別のドライバ) デバイス: USB\\VID_1F7C&PID_0084\\5&1"},
        {"no driver at all", "", "", 0, 0, "", "", false, 0, "対象外 (ドライバなし) デバイス: USB\\VID_1F7C&PID_0084\\5&1"},
        {"removed at the restart (problem 21)", "QZUSBCOM", "", DN_HAS_PROBLEM, CM_PROB_WILL_BE_REMOVED, "", "", false,
         3010, "再起動時に削除 デバイス: USB\\VID_1F7C&PID_0084\\5&1"},
        {"waiting for the restart (DN_NEED_RESTART)", "QZUSBCOM", "", DN_STARTED | DN_NEED_RESTART, 0, "", "", false,
         3010, "再起動時に削除される項目: デバイス 1"},
        {"another problem (disabled, 22)", "QZUSBCOM", "", DN_HAS_PROBLEM, 22, "", "", false, 1,
         "検出した項目: デバイス 1"},
        {"a status that cannot be read counts the device", "QZUSBCOM", "", DN_HAS_PROBLEM, CM_PROB_WILL_BE_REMOVED, "",
         "", true, 1, "検出した項目: デバイス 1"},
        /* the driver file an earlier run set to be deleted, in either list Windows keeps */
        {"the file deleted at the restart", "usbser", "", 0, 0, "PendingFileRenameOperations",
         std::string("\\??\\C:\\other.tmp\0\0", 18) + qz_sys + std::string("\0\0\0", 3), false, 3010,
         "再起動時に削除 ドライバ ファイル: C:\\WINDOWS\\system32\\drivers\\QZUSBCOM.SYS"},
        {"in the second list", "", "", 0, 0, "PendingFileRenameOperations2", qz_sys + std::string("\0\0\0", 3), false,
         3010, "結果: ドライバなし (Windows の再起動時に削除される項目あり)、終了コード 3010"},
        {"renamed at the restart is no deletion", "", "", 0, 0, "PendingFileRenameOperations",
         qz_sys + std::string("\0", 1) + "!\\??\\C:\\QZUSBCOM.OLD" + std::string("\0\0", 2), false, 1,
         "検出した項目: ドライバ ファイル 1"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("win10");
        sim::pc().registry.create(kModemClass); /* Windows has it: its absence is reported */
        add_device(device, {"USB\\VID_1F7C&PID_0084&REV_0100", "USB\\VID_1F7C&PID_0084"}, c.inf_path[0] ? ports_driver : "");
        if (c.service[0] != '\0')
            sim::pc().registry.set_string(enum_path(device), "Service", c.service);
        if (c.inf_path[0] != '\0')
            sim::pc().registry.set_string(class_path(ports_driver), "InfPath", c.inf_path);
        if (std::string(c.inf_path) == "oem3.inf") /* found too, as an OEM INF: exit 1 all the same */
            add_oem_inf("oem3.inf", "USB_TA, USB\\VID_1F7C&PID_0084");
        if (c.status != 0)
            sim::pc().devnode_status[sim::fold(enum_path(device))] = {c.status, c.problem};
        if (c.fail_status)
            sim::pc().faults.fail("CM_Get_DevNode_Status", ERROR_NOT_ENOUGH_MEMORY);
        if (c.pending_value[0] != '\0') {
            sim::pc().files.add_file(drivers_dir("QZUSBCOM.SYS"));
            sim::pc().registry.set_raw("SYSTEM\\CurrentControlSet\\Control\\Session Manager", c.pending_value,
                                       REG_MULTI_SZ, std::vector<uint8_t>(c.moves.begin(), c.moves.end()));
        }

        EXPECT_EQ(run_program("--check -Q"), c.exit_code);
        EXPECT_TRUE(logged_error_captions().empty());
        std::vector<std::string> lines = log_lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), std::string(c.line)), lines.end()) << c.line;
    }
}
