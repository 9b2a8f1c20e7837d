/*
 * binding_order_test.cpp - both back-ends bind their functions by name in
 * the fixed order: every name of one library before the next library.
 */
#include "harness.h"

/* The names a back-end looks up: from its first load to its first release
   (the start-up, the lock and the log look up their own before and after). */
static std::vector<std::string> bound_names()
{
    std::vector<std::string> names;
    bool binding = false;
    for (const sim::CallRecord &c : sim::pc().faults.calls) {
        binding = binding || c.function == "LoadLibraryA";
        if (c.function == "FreeLibrary")
            break;
        /* an error box looks up its text function as it is shown: no back-end binding */
        if (binding && c.function == "GetProcAddress" && c.argument != "FormatMessageW")
            names.push_back(c.argument);
    }
    return names;
}

static std::vector<std::string> loaded_paths()
{
    std::vector<std::string> paths;
    for (const sim::CallRecord &c : sim::pc().faults.calls)
        if (c.function == "LoadLibraryA")
            paths.push_back(c.argument);
    return paths;
}

/* The removal binds, then the check after it binds again, the same way. */
static std::vector<std::string> twice(std::vector<std::string> once)
{
    std::vector<std::string> both = once;
    both.insert(both.end(), once.begin(), once.end());
    return both;
}

TEST(BindingOrder, NtBindsSetupApiThenRegistryThenFileFunctions)
{
    /* SetupUninstallOEMInfA is looked up last of the setup API, and only
       where it is missing (Windows 2000) is it left out without a word */
    for (const char *version : {"winxp", "win2k"}) {
        SCOPED_TRACE(version);
        fresh_pc(version);
        sim::pc().answers = {IDOK};
        run_program("");
        std::vector<std::string> expected = {
            "SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo", "SetupDiGetDeviceRegistryPropertyA",
            "SetupDiCallClassInstaller", "SetupDiDestroyDeviceInfoList", "SetupOpenInfFileA",
            "SetupGetLineTextA", "SetupCloseInfFile", "SetupDiGetDeviceInstallParamsA", "SetupDiGetDeviceInstanceIdA", "SetupUninstallOEMInfA", "SetupGetInfDriverStoreLocationA", "CM_Get_DevNode_Status", "RegOpenKeyExA", "RegCloseKey",
            "RegEnumKeyExA", "RegDeleteKeyA", "RegEnumValueA", "GetWindowsDirectoryA",
            "GetSystemDirectoryA", "SetFileAttributesA", "DeleteFileA", "MoveFileExA"};
        EXPECT_EQ(bound_names(), expected);
        EXPECT_EQ(sim::pc().trace.front(), "LoadLibraryA setupapi");
        EXPECT_EQ(loaded_paths(), twice({"C:\\WINDOWS\\system32\\setupapi.dll", "C:\\WINDOWS\\system32\\advapi32.dll",
                                         "C:\\WINDOWS\\system32\\kernel32.dll"}))
            << "by full path from the system folder: a bare name is looked for beside the program first";
        EXPECT_EQ(error_captions(), std::vector<std::string>(2, "Function : RegOpenKeyEx()"))
            << "the Modem class key of each pass, which a bare PC lacks; nothing about the missing function";
    }
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
    EXPECT_EQ(loaded_paths(), twice({"C:\\WINDOWS\\SYSTEM\\advapi32.dll", "C:\\WINDOWS\\SYSTEM\\kernel32.dll"}));
}
