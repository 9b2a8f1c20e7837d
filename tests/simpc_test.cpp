/*
 * simpc_test.cpp - the simulated PC behaves as Windows does where the
 * uninstaller can tell: registry, files, libraries, boxes, faults.
 * Where the two Windows families differ, the case names the family.
 */
#include <cstring>

#include "harness.h"

static HKEY open_key(const char *path)
{
    HKEY key = nullptr;
    LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key);
    EXPECT_EQ(r, ERROR_SUCCESS) << "opening " << path;
    return key;
}

TEST(SimRegistry, DeleteKeyDeletesTheSubtreeOn9x)
{
    fresh_pc("win98"); /* Windows 98 deletes the whole subtree; NT refuses (a conformance check) */
    sim::pc().registry.create("SOFTWARE\\Parent\\Child\\Grandchild");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Parent"), ERROR_SUCCESS);
    EXPECT_FALSE(sim::pc().registry.exists("SOFTWARE\\Parent"));
}

TEST(SimRegistry, CurrentControlSetCanBeALinkToANumberedSet)
{
    fresh_pc("winxp");
    sim::Registry &reg = sim::pc().registry;
    reg.create("SYSTEM\\ControlSet001\\Services\\QZUSBCOM");
    reg.link("SYSTEM\\CurrentControlSet", "SYSTEM\\ControlSet001");
    EXPECT_TRUE(reg.exists("SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM"));
    HKEY services = open_key("SYSTEM\\CurrentControlSet\\Services\\");
    EXPECT_EQ(RegDeleteKeyA(services, "QZUSBCOM"), ERROR_SUCCESS);
    RegCloseKey(services);
    EXPECT_FALSE(reg.exists("SYSTEM\\ControlSet001\\Services\\QZUSBCOM")) << "one key seen through two names";
}

TEST(SimRegistry, ImportsRegedit4Text)
{
    fresh_pc("winxp");
    sim::Registry &reg = sim::pc().registry;
    std::string error;
    ASSERT_TRUE(reg.import_reg("REGEDIT4\n\n"
                               "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1F7C&Pid_0084\\5&1]\n"
                               "\"HardwareID\"=hex(7):55,53,42,00,\\\n  41,00,00\n"
                               "\"Driver\"=\"{4D36E96D-E325-11CE-BFC1-08002BE10318}\\\\0003\"\n"
                               "\"Count\"=dword:00000010\n"
                               "@=\"default\"\n"
                               "[HKEY_CURRENT_USER\\Software\\Ignored]\n"
                               "\"x\"=\"y\"\n",
                               &error))
        << error;
    const sim::RegValue *ids = reg.value("SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1F7C&Pid_0084\\5&1", "HardwareID");
    ASSERT_NE(ids, nullptr);
    EXPECT_EQ(ids->type, (DWORD)REG_MULTI_SZ);
    EXPECT_EQ(std::string(ids->data.begin(), ids->data.end()), std::string("USB\0A\0\0", 7));
    const sim::RegValue *driver = reg.value("SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1F7C&Pid_0084\\5&1", "driver");
    ASSERT_NE(driver, nullptr);
    EXPECT_STREQ((const char *)driver->data.data(), "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0003");
    EXPECT_FALSE(reg.import_reg("REGEDIT4\n[HKEY_LOCAL_MACHINE\\X\n", &error));
}

TEST(SimFiles, DirectoriesDependOnTheFamily)
{
    char dir[MAX_PATH];
    fresh_pc("win98");
    EXPECT_EQ(GetSystemDirectoryA(dir, MAX_PATH), strlen("C:\\WINDOWS\\SYSTEM"));
    EXPECT_STREQ(dir, "C:\\WINDOWS\\SYSTEM");
    fresh_pc("winxp");
    EXPECT_GT(GetSystemDirectoryA(dir, MAX_PATH), 0u);
    EXPECT_STREQ(dir, "C:\\WINDOWS\\system32");
}

TEST(SimLibraries, LoadBindAndFreeByName)
{
    fresh_pc("winxp");
    HMODULE setupapi = LoadLibraryA("SetupAPI.DLL");
    ASSERT_NE(setupapi, nullptr);
    EXPECT_NE(GetProcAddress(setupapi, "SetupDiGetClassDevsA"), nullptr);
    EXPECT_TRUE(FreeLibrary(setupapi));
    EXPECT_EQ(sim::pc().trace, (std::vector<std::string>{"LoadLibraryA setupapi", "FreeLibrary setupapi"}));

    sim::pc().libraries["setupapi"].present = false;
    EXPECT_EQ(LoadLibraryA("setupapi"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST(SimBoxes, OkCancelBoxesNeedAScriptedAnswer)
{
    fresh_pc("winxp");
    sim::pc().answers = {IDOK};
    EXPECT_EQ(MessageBoxA(nullptr, "a", "c", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "b", "c", MB_OKCANCEL), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "c", "c", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(sim::pc().unscripted_boxes, 1);
    sim::pc().unscripted_boxes = 0;
}

TEST(SimFaults, FailTheChosenCallOnlyAndCountEveryCall)
{
    fresh_pc("winxp");
    sim::pc().registry.create("SOFTWARE\\A");
    sim::pc().registry.create("SOFTWARE\\B");
    sim::pc().faults.fail("RegOpenKeyExA", ERROR_ACCESS_DENIED, 0, "HKLM\\SOFTWARE\\B");
    sim::pc().faults.fail("RegCloseKey", ERROR_INVALID_HANDLE, 2);
    HKEY a = nullptr, b = nullptr, c = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_ALL_ACCESS, &a), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\b", 0, KEY_ALL_ACCESS, &b), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_ALL_ACCESS, &c), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(a), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(c), ERROR_INVALID_HANDLE) << "the second close, of a handle that is open, fails by the rule";
    EXPECT_EQ(sim::pc().key_handles.size(), 1u) << "a close that failed leaves the key open";
    EXPECT_EQ(sim::pc().faults.fired(), 2);
    EXPECT_EQ(sim::pc().faults.calls.size(), 5u);

    fresh_pc("winxp");
    sim::pc().faults.fail_call_index(2);
    EXPECT_NE(LoadLibraryA("kernel32"), nullptr);
    EXPECT_EQ(LoadLibraryA("advapi32"), nullptr) << "the second call of the run fails";
    ASSERT_TRUE(sim::pc().faults.index_fault.has_value());
    EXPECT_EQ(sim::pc().faults.index_fault->function, "LoadLibraryA");
}
