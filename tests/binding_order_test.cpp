/*
 * binding_order_test.cpp - both back-ends bind their functions by name in
 * the fixed order: every name of one library before the next library.
 */
#include "harness.h"

static std::vector<std::string> bound_names()
{
    std::vector<std::string> names;
    for (const sim::CallRecord &c : sim::pc().faults.calls)
        if (c.function == "GetProcAddress" && c.argument != "IsWow64Process") /* the start-up's own look-up */
            names.push_back(c.argument);
    return names;
}

TEST(BindingOrder, NtBindsSetupApiThenRegistryThenFileFunctions)
{
    fresh_pc("winxp");
    sim::pc().answers = {IDOK};
    run_program("");
    EXPECT_EQ(bound_names(), (std::vector<std::string>{
                                 "SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo", "SetupDiGetDeviceRegistryPropertyA",
                                 "SetupDiCallClassInstaller", "SetupDiDestroyDeviceInfoList", "SetupOpenInfFileA",
                                 "SetupGetLineTextA", "SetupCloseInfFile", "RegOpenKeyExA", "RegCloseKey",
                                 "RegEnumKeyExA", "RegDeleteKeyA", "RegEnumValueA", "GetWindowsDirectoryA",
                                 "GetSystemDirectoryA", "SetFileAttributesA", "DeleteFileA"}));
    EXPECT_EQ(sim::pc().trace.front(), "LoadLibraryA setupapi");
}

TEST(BindingOrder, Win9xBindsRegistryThenFileFunctions)
{
    fresh_pc("win98");
    sim::pc().answers = {IDOK, IDCANCEL};
    run_program("");
    EXPECT_EQ(bound_names(), (std::vector<std::string>{"RegOpenKeyExA", "RegCloseKey", "RegEnumKeyExA",
                                                       "RegDeleteKeyA", "RegEnumValueA", "RegDeleteValueA",
                                                       "GetWindowsDirectoryA", "GetSystemDirectoryA",
                                                       "SetFileAttributesA", "DeleteFileA"}));
}
