/*
 * nt_class_inf_test.cpp - the class INF name from the Modem class key: the
 * match, the last match winning, the carry-over between the passes, the
 * untrusted registry data, and the failure boxes.
 */
#include "nt_fixtures.h"
#include "../nt_removal/nt_steps.h"

static std::string find_name(int index)
{
    bind_for_step();
    find_class_inf_name(index);
    release_after_step();
    return nt_run.class_inf_name;
}

static std::string driver_key(const std::string &number)
{
    return std::string(kModemClass) + "\\" + number;
}

TEST(NtClassInf, TheLastMatchingDriverKeyWinsWithoutCaseInTheId)
{
    fresh_pc("winxp");
    add_modem_driver_key("0000", "usb\\vid_1f7c&pid_0084", "oem3.inf");
    add_modem_driver_key("0001", "USB\\Vid_0409&Pid_0058", "oem5.inf"); /* another vendor's modem */
    add_modem_driver_key("0002", kQz84, "oem8.inf");
    add_modem_driver_key("0003", kQz12, "oem9.inf");
    add_modem_driver_key("0004", "USB\\VID_1F7C&PID_00841", "oem10.inf"); /* not the product */

    EXPECT_EQ(find_name(0), "oem8.inf");
    /* the modem interface of the product as a composite device, by the same rule as its devices */
    add_modem_driver_key("0005", "usb\\vid_1f7c&pid_0084&mi_00", "oem11.inf");
    EXPECT_EQ(find_name(0), "oem11.inf");
    EXPECT_TRUE(sim::pc().boxes.empty());
    EXPECT_NOTHING_LEFT_OPEN();
}

TEST(NtClassInf, ValueNamesMatchLikeWindowsOnlyMatchingDeviceIdIgnoresCase)
{
    struct {
        const char *what;
        const char *matching_name;
        const char *inf_name;
        std::string expected;
    } cases[] = {
        {"names as Windows writes them", "MatchingDeviceId", "InfPath", "oem3.inf"},
        {"MatchingDeviceId in other cases", "MATCHINGDEVICEID", "InfPath", "oem3.inf"},
        {"infpath in other cases is not taken", "MatchingDeviceId", "infpath", ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        sim::pc().registry.set_string(driver_key("0000"), c.inf_name, "oem3.inf");
        sim::pc().registry.set_string(driver_key("0000"), c.matching_name, kQz84);
        EXPECT_EQ(find_name(0), c.expected);
    }
}

TEST(NtClassInf, NoMatchKeepsWhatTheBufferHeld)
{
    fresh_pc("winxp");
    add_modem_driver_key("0000", kQz84, "oem3.inf");
    sim::pc().registry.set_string(driver_key("0001"), "MatchingDeviceId", kQz84); /* no InfPath */
    EXPECT_EQ(find_name(0), "oem3.inf") << "a match without InfPath keeps the earlier copy";

    copy_text(nt_run.class_inf_name, sizeof nt_run.class_inf_name, "oem3.pnf");
    EXPECT_EQ(find_name(1), "oem3.pnf") << "product 1 has no driver key here";
}

TEST(NtClassInf, ProductOnesPassInheritsThePnfNameProductZerosFileStepLeft)
{
    fresh_pc("winxp");
    add_modem_driver_key("0000", kQz84, "oem3.inf");
    sim::pc().files.add_file(inf_dir("oem3.inf"));
    sim::pc().files.add_file(inf_dir("oem3.pnf"));
    sim::pc().answers = {IDOK};

    run_program("");

    EXPECT_STREQ(nt_run.class_inf_name, "oem3.pnf");
    EXPECT_EQ(status_of(0).file_status, 1) << "oem3.inf and oem3.pnf";
    EXPECT_EQ(status_of(1).file_status, 0) << "product 1 tries oem3.pnf twice; it is gone";
    std::vector<std::string> probed;
    for (const sim::CallRecord &c : sim::pc().faults.calls)
        if (c.function == "SetFileAttributesA" && c.argument.find("oem3") != std::string::npos)
            probed.push_back(c.argument);
    std::vector<std::string> expected = {inf_dir("oem3.inf"), inf_dir("oem3.pnf"), inf_dir("oem3.pnf"),
                                         inf_dir("oem3.pnf")};
    EXPECT_EQ(probed, expected);
}

static std::vector<uint8_t> bytes_of(const char *text)
{
    return std::vector<uint8_t>(text, text + strlen(text) + 1);
}

TEST(NtClassInf, UntrustedDataNeverLeavesTheInfDirectoryNorReadsPastItsBuffer)
{
    struct {
        const char *what;
        std::vector<uint8_t> inf_path;
        const char *expected; /* the name taken; "oem3.inf" when the bad one is passed over */
    } cases[] = {
        {"a path", bytes_of("..\\boot.ini"), "oem3.inf"},
        {"a forward slash", bytes_of("a/b.inf"), "oem3.inf"},
        {"a drive", bytes_of("C:x.inf"), "oem3.inf"},
        {"dot dot", bytes_of(".."), "oem3.inf"},
        {"dot", bytes_of("."), "oem3.inf"},
        {"three dots", bytes_of("..."), "oem3.inf"},
        {"empty", bytes_of(""), "oem3.inf"},
        {"260 bytes without a NUL", std::vector<uint8_t>(260, 'a'), "oem3.inf"},
        {"a trailing dot", bytes_of("oem4.inf."), "oem3.inf"},
        {"a trailing blank", bytes_of("oem4.inf "), "oem3.inf"},
        {"a blank before the dot", bytes_of("oem4 .inf"), "oem3.inf"},
        {"two dots", bytes_of("oem4.sys.inf"), "oem3.inf"},
        {"no dot", bytes_of("oem4"), "oem3.inf"},
        {"not an INF", bytes_of("oem4.sys"), "oem3.inf"},
        {"nothing before the dot", bytes_of(".inf"), "oem3.inf"},
        {"the null device", bytes_of("NUL.inf"), "oem3.inf"},
        {"a serial port in lower case", bytes_of("com1.INF"), "oem3.inf"},
        {"a printer port", bytes_of("Lpt9.inf"), "oem3.inf"},
        {"a wildcard", bytes_of("*.inf"), "oem3.inf"},
        {"a question mark", bytes_of("oem?.inf"), "oem3.inf"},
        {"a DOS wildcard", bytes_of("oem<.inf"), "oem3.inf"},
        {"a control character", bytes_of("oem\t.inf"), "oem3.inf"},
        {"an upper-case name is plain", bytes_of("OEM12.INF"), "OEM12.INF"},
        {"a device name's longer cousin is plain", bytes_of("console.inf"), "console.inf"},
        {"a double-byte name with a 0x5C trail byte is plain", {0x95, 0x5C, '.', 'i', 'n', 'f', 0}, "\x95\x5C.inf"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        add_modem_driver_key("0000", kQz84, "oem3.inf");
        sim::pc().registry.set_string(driver_key("0001"), "MatchingDeviceId", kQz84);
        sim::pc().registry.set_raw(driver_key("0001"), "InfPath", REG_SZ, c.inf_path);
        EXPECT_EQ(find_name(0), c.expected) << "a bad name is passed over, the good one stays";
    }
}

TEST(NtClassInf, AValueTooLongForItsBufferIsPassedOverAndHidesNothing)
{
    fresh_pc("winxp");
    std::string key = driver_key("0000");
    sim::pc().registry.set_string(key, "InfPath", "oem3.inf");
    sim::pc().registry.set_string(key, "DriverDesc", std::string(300, 'x')); /* more than 260 bytes */
    sim::pc().registry.set_string(key, "MatchingDeviceId", kQz84);
    /* MatchingDeviceId filling all 260 bytes with no NUL does not match */
    std::string key2 = driver_key("0001");
    sim::pc().registry.set_string(key2, "InfPath", "oem4.inf");
    std::vector<uint8_t> full(kQz84, kQz84 + strlen(kQz84));
    full.resize(260, ' ');
    sim::pc().registry.set_raw(key2, "MatchingDeviceId", REG_SZ, full);

    EXPECT_EQ(find_name(0), "oem3.inf") << "the MatchingDeviceId after the long value is read";
    EXPECT_TRUE(error_captions().empty()) << "another vendor's long value is no failure";
}

TEST(NtClassInf, FailuresShowTheirBoxAndTheWalkGoesOn)
{
    struct {
        const char *what;
        const char *function;
        std::string argument;
        std::vector<std::string> captions;
        std::string expected;
    } cases[] = {
        {"the Modem class key cannot be opened", "RegOpenKeyExA", std::string(kModemClass) + "\\",
         {"Function : RegOpenKeyEx()"}, ""},
        {"a driver key cannot be opened", "RegOpenKeyExA", std::string(kModemClass) + "\\0001",
         {"Function : RegOpenKeyEx()"}, "oem3.inf"},
        {"the Modem class key cannot be closed", "RegCloseKey", kModemClass, {"Function : RegCloseKey()"},
         "oem4.inf"},
        {"a driver key cannot be closed: only read, nothing to report", "RegCloseKey",
         std::string(kModemClass) + "\\0000", {}, "oem4.inf"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        add_modem_driver_key("0000", kQz84, "oem3.inf");
        add_modem_driver_key("0001", kQz84, "oem4.inf");
        sim::pc().faults.fail(c.function, ERROR_ACCESS_DENIED, 0, c.argument);

        EXPECT_EQ(find_name(0), c.expected);
        EXPECT_EQ(error_captions(), c.captions);
        EXPECT_EQ(status_of(0).device_status | status_of(0).file_status, 0) << "no status changes here";
        if (!c.captions.empty()) {
            EXPECT_EQ(sim::format_system_error(ERROR_ACCESS_DENIED), box_text_at(0))
                << "the box gives the registry call's own error";
        }
    }
}

TEST(NtClassInf, AMissingModemClassKeyIsReportedOncePerPass)
{
    fresh_pc("winxp"); /* no Modem class on this PC */
    sim::pc().answers = {IDOK};
    run_program("");
    EXPECT_EQ(error_captions(), std::vector<std::string>(2, "Function : RegOpenKeyEx()"));
}
