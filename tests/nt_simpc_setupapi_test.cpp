/*
 * nt_simpc_setupapi_test.cpp - the simulated setup API's DIF_REMOVE takes
 * what Windows takes with a device: its driver key and the parents it
 * leaves empty. What Wine can check too (property sizes, the set after a
 * removal, INF lines) is in tests/conformance/.
 */
#include "nt_fixtures.h"

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
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data)); /* QZBUS sorts first */
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
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_TRUE(sim::pc().device_sets.empty());
}
