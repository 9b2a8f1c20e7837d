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

TEST(SimRegistry, NamesCompareWithoutCaseAndSubkeysEnumerateSorted)
{
    fresh_pc("winxp");
    sim::Registry &reg = sim::pc().registry;
    reg.create("SOFTWARE\\Test\\beta");
    reg.create("SOFTWARE\\Test\\Alpha");
    reg.create("SOFTWARE\\Test\\GAMMA");
    reg.create("SOFTWARE\\test\\ALPHA"); /* the same key again */

    HKEY key = open_key("software\\TEST");
    char name[MAX_PATH];
    std::vector<std::string> seen;
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        FILETIME t;
        LONG r = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, &t);
        if (r != ERROR_SUCCESS) {
            EXPECT_EQ(r, ERROR_NO_MORE_ITEMS);
            break;
        }
        EXPECT_EQ(size, strlen(name)) << "the length comes back without the NUL";
        seen.push_back(name);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Alpha", "beta", "GAMMA"}));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_TRUE(sim::pc().key_handles.empty());
}

TEST(SimRegistry, ValuesEnumerateInCreationOrderWithMoreDataWhenTooLong)
{
    fresh_pc("winxp");
    sim::Registry &reg = sim::pc().registry;
    reg.set_string("SOFTWARE\\V", "Zeta", "1");
    reg.set_string("SOFTWARE\\V", "Alpha", std::string(300, 'x'));
    reg.set_string("SOFTWARE\\V", "Mid", "ok");
    HKEY key = open_key("SOFTWARE\\V");

    char name[MAX_PATH], data[MAX_PATH];
    DWORD name_size = MAX_PATH, data_size = MAX_PATH, type = 0xdeadbeef;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, &type, (BYTE *)data, &data_size), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Zeta") << "Windows returns values in the order they were stored";
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_EQ(data_size, 2u);

    name_size = MAX_PATH, data_size = MAX_PATH;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &name_size, nullptr, &type, (BYTE *)data, &data_size), ERROR_MORE_DATA);
    name_size = MAX_PATH, data_size = MAX_PATH;
    EXPECT_EQ(RegEnumValueA(key, 3, name, &name_size, nullptr, &type, (BYTE *)data, &data_size), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST(SimRegistry, CallsReturnTheirErrorAndLeaveTheLastErrorAlone)
{
    fresh_pc("winxp");
    SetLastError(0xdeadbeef);
    HKEY key = (HKEY)0x1234;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, (HKEY)0x1234) << "the out handle is left alone on failure";
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey((HKEY)0x777), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
}

TEST(SimRegistry, DeleteKeyRefusesSubkeysOnNtAndDeletesTheSubtreeOn9x)
{
    for (const char *version : {"winxp", "win98"}) {
        fresh_pc(version);
        sim::Registry &reg = sim::pc().registry;
        reg.create("SOFTWARE\\Parent\\Child\\Grandchild");
        LONG r = RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Parent");
        if (std::string(version) == "winxp") {
            /* NT: only a key without subkeys can go */
            EXPECT_EQ(r, ERROR_ACCESS_DENIED);
            EXPECT_TRUE(reg.exists("SOFTWARE\\Parent\\Child\\Grandchild"));
        } else {
            /* Windows 98: the whole subtree goes */
            EXPECT_EQ(r, ERROR_SUCCESS);
            EXPECT_FALSE(reg.exists("SOFTWARE\\Parent"));
        }
    }
}

TEST(SimRegistry, AHandleToADeletedKeyReportsKeyDeleted)
{
    fresh_pc("winxp");
    sim::pc().registry.create("SOFTWARE\\Gone");
    HKEY key = open_key("SOFTWARE\\Gone");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone"), ERROR_SUCCESS);
    char name[MAX_PATH];
    DWORD size = MAX_PATH;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
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

TEST(SimFiles, ErrorsAreThoseOfWindows)
{
    fresh_pc("winxp");
    sim::FileSystem &fs = sim::pc().files;
    fs.add_file("C:\\WINDOWS\\inf\\ro.inf", "", FILE_ATTRIBUTE_READONLY);
    fs.add_file("C:\\WINDOWS\\inf\\busy.inf").in_use = true;
    const struct {
        const char *path;
        DWORD set_error; /* 0: SetFileAttributesA succeeds */
    } probes[] = {
        {"C:\\WINDOWS\\inf\\RO.INF", 0},
        {"C:\\WINDOWS\\inf\\missing.inf", ERROR_FILE_NOT_FOUND},
        {"C:\\WINDOWS\\inf\\OTHER\\x.inf", ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\inf\\busy.inf", 0},
    };
    for (auto &p : probes) {
        SetLastError(0xdeadbeef);
        BOOL ok = SetFileAttributesA(p.path, FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ok, p.set_error == 0) << p.path;
        if (!ok) {
            EXPECT_EQ(GetLastError(), p.set_error) << p.path;
        }
    }
    /* read-only until SetFileAttributesA cleared it above; "in use" stays */
    fs.find("C:\\WINDOWS\\inf\\ro.inf")->attributes = FILE_ATTRIBUTE_READONLY;
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\inf\\ro.inf"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\inf\\busy.inf"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\inf"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED) << "a directory is not a file";
    EXPECT_TRUE(SetFileAttributesA("C:\\WINDOWS\\inf\\ro.inf", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA("C:\\WINDOWS\\inf\\ro.inf"));
    EXPECT_FALSE(fs.exists("C:\\WINDOWS\\inf\\ro.inf"));
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
    EXPECT_EQ(GetWindowsDirectoryA(dir, 5), strlen("C:\\WINDOWS") + 1) << "too small: the size needed";
}

TEST(SimLibraries, LoadBindAndFreeByName)
{
    fresh_pc("winxp");
    HMODULE setupapi = LoadLibraryA("SetupAPI.DLL");
    ASSERT_NE(setupapi, nullptr);
    EXPECT_NE(GetProcAddress(setupapi, "SetupDiGetClassDevsA"), nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(setupapi, "setupdigetclassdevsa"), nullptr) << "export names are case-sensitive";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
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
