/*
 * nt_simpc_setupapi_test.cpp - the simulated setup API behaves as Windows
 * and Wine do where the NT-family removal can tell: device sets over the
 * Enum tree, DIF_REMOVE, the hardware ID property, and INF reading.
 */
#include "nt_fixtures.h"

static std::string line_text(const std::string &file_text, const char *section, const char *key, BOOL *ok_out,
                              DWORD *error_out)
{
    sim::pc().files.add_file(inf_dir("t.inf"), file_text);
    HINF inf = SetupOpenInfFileA("t.inf", nullptr, INF_STYLE_WIN4, nullptr);
    EXPECT_NE(inf, INVALID_HANDLE_VALUE);
    DWORD required = 0xdeadbeef;
    char buffer[512] = "";
    SetLastError(0xdeadbeef);
    *ok_out = SetupGetLineTextA(nullptr, inf, section, key, buffer, sizeof buffer, &required);
    *error_out = GetLastError();
    if (*ok_out) {
        EXPECT_EQ(required, strlen(buffer) + 1) << "the size includes the NUL";
    }
    SetupCloseInfFile(inf);
    return buffer;
}

/* A success leaves the last error as it was: Wine clears it, but Windows
   documents nothing, and the program looks only at the result. */
static const DWORD kUntouched = 0xdeadbeef;

TEST(SimInf, LineTextIsTheFieldsAfterTheKeyJoinedByCommas)
{
    struct {
        const char *text;
        const char *section;
        const char *key;
        BOOL ok;
        DWORD error;
        std::string expected;
    } cases[] = {
        {"[Version]\nSignature=\"$Windows NT$\"\n[USBTA]\n\"Pelto QZ-USB USBPort Adapter\" = USB_TA, "
         "USB\\VID_1F7C&PID_0084\n",
         "USBTA", "Pelto QZ-USB USBPort Adapter", TRUE, kUntouched, "USB_TA,USB\\VID_1F7C&PID_0084"},
        {"[version]\nsignature=$CHICAGO$\n[usbta]\nPELTO QZ-USB USBPORT ADAPTER=a , \"b, c\" ;comment\n", "USBTA",
         "Pelto QZ-USB USBPort Adapter", TRUE, kUntouched, "a,b, c"},
        {"[Version]\nSignature=\"$Windows NT$\"\n[S]\n%K%=%V%,%%x%%,%unknown%\n[Strings]\nK=\"Key\"\nV=value\n",
         "S", "Key", TRUE, kUntouched, "value,%x%,%unknown%"},
        {"[Version]\nSignature=\"$Windows NT$\"\n[S]\nk = a, \\\n    b\n", "S", "k", TRUE, kUntouched, "a,b"},
        {"[Version]\nSignature=\"$Windows NT$\"\n[S]\nk = a\n", "T", "k", FALSE, ERROR_SECTION_NOT_FOUND, ""},
        {"[Version]\nSignature=\"$Windows NT$\"\n[S]\nk = a\n", "S", "j", FALSE, ERROR_LINE_NOT_FOUND, ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.text);
        fresh_pc("winxp");
        BOOL ok;
        DWORD error;
        std::string text = line_text(c.text, c.section, c.key, &ok, &error);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(error, c.error) << "expected last error " << c.error << ", got " << error;
        EXPECT_EQ(text, c.expected);
    }
}

TEST(SimInf, SizeQueryAndTooSmallBuffer)
{
    fresh_pc("winxp");
    add_oem_inf("oem3.inf", "USB_TA, USB\\VID_1F7C&PID_0084");
    HINF inf = SetupOpenInfFileA("oem3.inf", nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    DWORD required = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(SetupGetLineTextA(nullptr, inf, "USBTA", "Pelto QZ-USB USBPort Adapter", nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), kUntouched);
    EXPECT_EQ(required, 29u); /* "USB_TA,USB\VID_1F7C&PID_0084" and the NUL */
    char small[10];
    EXPECT_FALSE(SetupGetLineTextA(nullptr, inf, "USBTA", "Pelto QZ-USB USBPort Adapter", small, sizeof small,
                                   &required));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    SetupCloseInfFile(inf);
    EXPECT_TRUE(sim::pc().inf_handles.empty());
}

TEST(SimInf, OpeningFindsBareNamesInTheInfDirectoryAndNeedsAWin4Signature)
{
    fresh_pc("winxp");
    add_oem_inf("OEM3.inf", "x");
    sim::pc().files.add_file(inf_dir("old.inf"), "[USBTA]\nk=v\n");
    SetLastError(0xdeadbeef);
    HINF inf = SetupOpenInfFileA("oem3.INF", nullptr, INF_STYLE_WIN4, nullptr);
    EXPECT_NE(inf, INVALID_HANDLE_VALUE);
    SetupCloseInfFile(inf);
    EXPECT_EQ(SetupOpenInfFileA("OEM4.inf", nullptr, INF_STYLE_WIN4, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetupOpenInfFileA("old.inf", nullptr, INF_STYLE_WIN4, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0xE0000100u) << "ERROR_WRONG_INF_STYLE";
    EXPECT_TRUE(sim::pc().inf_handles.empty());
}

TEST(SimDevices, RemovalDeletesTheInstanceItsDriverKeyAndEmptyParentsUpToTheEnumerator)
{
    fresh_pc("winxp");
    add_device("QZBUS\\Vid_1F7C&Pid_0084\\5&1", {kQz84}, "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0003");
    sim::pc().registry.create(enum_path("QZBUS\\Vid_1F7C&Pid_0084\\5&1\\Device Parameters"));
    add_device("USB\\Vid_1F7C&Pid_0012\\6&1", {kQz12});
    add_device("USB\\Vid_0409&Pid_0058\\9&1", {"USB\\Vid_0409&Pid_0058"});

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof data - 1;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_USER_BUFFER);
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data)); /* QZBUS sorts first */
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, nullptr, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, strlen(kQz84) + 2);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_COMPATIBLEIDS, nullptr, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_DATA);

    EXPECT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
    EXPECT_FALSE(sim::pc().registry.exists(enum_path("QZBUS"))) << "the enumerator was left empty";
    EXPECT_FALSE(sim::pc().registry.exists(class_path("{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0003")));
    EXPECT_TRUE(sim::pc().registry.exists(class_path("{4D36E96D-E325-11CE-BFC1-08002BE10318}")));

    /* members in registry order: USB\Vid_0409... (1), then USB\Vid_1F7C... (2) */
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 2, &data)) << "the members do not shift";
    EXPECT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
    EXPECT_FALSE(sim::pc().registry.exists(enum_path("USB\\Vid_1F7C&Pid_0012")));
    EXPECT_TRUE(sim::pc().registry.exists(enum_path("USB\\Vid_0409&Pid_0058\\9&1")));
    EXPECT_TRUE(sim::pc().registry.exists(enum_path("USB"))) << "the enumerator still has a device";
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 3, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_TRUE(sim::pc().device_sets.empty());
}
