/*
 * nt_sequence_test.cpp - the NT-family removal as a whole: binding and
 * release of the libraries, the order of the passes, the service-key step
 * under "-C" only, the not-installed notice and the status query.
 */
#include "nt_fixtures.h"
#include "../nt_removal/nt_steps.h"

static const std::string kConfirm = "Pelto QZ シリーズ USB ドライバを削除します。\nよろしいですか？";
static const std::string kFinished = "Pelto QZ シリーズ USB ドライバアンインストーラ処理を完了しました。";
static const std::string kRestart =
    "Pelto QZ シリーズ USB ドライバを削除しました。\nWindows の再起動が必要です。\n\n今すぐに再起動しますか？";

static std::vector<std::string> library_trace()
{
    std::vector<std::string> out;
    for (const std::string &t : sim::pc().trace)
        if (t.rfind("LoadLibraryA", 0) == 0 || t.rfind("FreeLibrary", 0) == 0)
            out.push_back(t);
    return out;
}

static int loaded(const char *library)
{
    return sim::pc().libraries[library].load_count;
}

/* An XP PC with a modem class key and nothing of the products. */
static void empty_xp()
{
    fresh_pc("winxp");
    sim::pc().registry.create(kModemClass);
    sim::pc().answers = {IDOK};
}

/* ---- binding ---------------------------------------------------------------- */

TEST(NtBinding, NormalRunLoadsAndFreesTheThreeLibrariesInBindingOrder)
{
    empty_xp();
    run_program("");
    std::vector<std::string> once = {
        "LoadLibraryA setupapi", "LoadLibraryA advapi32", "LoadLibraryA kernel32",
        "FreeLibrary setupapi",  "FreeLibrary advapi32",  "FreeLibrary kernel32",
    };
    std::vector<std::string> expected = once; /* the removal, then the check after it */
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(library_trace(), expected);
    EXPECT_EQ(loaded("setupapi") + loaded("advapi32") + loaded("kernel32"), 0);
}

struct BindingFailure {
    const char *what;
    void (*arrange)();
    std::vector<std::string> captions;
    int setupapi_loaded, advapi32_loaded, kernel32_loaded; /* after the run */
    std::vector<std::string> trace;
};

static const BindingFailure binding_failures[] = {
    {"setupapi missing", [] { sim::pc().libraries["setupapi"].present = false; },
     {"Function : LoadLibrary()"}, 0, 0, 0, {}},
    {"setupapi lacks its last name", [] { sim::pc().libraries["setupapi"].exports.erase("SetupDiGetDeviceInstanceIdA"); },
     {"Function : GetProcAddress()"}, 0, 0, 0,
     {"LoadLibraryA setupapi", "FreeLibrary setupapi"}},
    {"advapi32 cannot be loaded", [] { sim::pc().faults.fail("LoadLibraryA", ERROR_DLL_INIT_FAILED, 0, "C:\\WINDOWS\\system32\\advapi32.dll"); },
     {"Function : LoadLibrary()"}, 1, 0, 0, {"LoadLibraryA setupapi"}},
    {"kernel32 lacks DeleteFileA", [] { sim::pc().libraries["kernel32"].exports.erase("DeleteFileA"); },
     {"Function : GetProcAddress()"}, 1, 1, 0,
     {"LoadLibraryA setupapi", "LoadLibraryA advapi32", "LoadLibraryA kernel32", "FreeLibrary kernel32"}},
    {"a missing name, and the library cannot be freed either",
     [] {
         sim::pc().libraries["advapi32"].exports.erase("RegEnumValueA");
         sim::pc().faults.fail("FreeLibrary", ERROR_INVALID_HANDLE, 0, "advapi32");
     },
     {"Function : GetProcAddress()", "Function : FreeLibrary()"}, 1, 1, 0,
     {"LoadLibraryA setupapi", "LoadLibraryA advapi32"}},
};

TEST(NtBinding, AFailedBindingRemovesNothingAndShowsOnlyItsOwnBoxes)
{
    for (const BindingFailure &c : binding_failures) {
        SCOPED_TRACE(c.what);
        empty_xp();
        add_device("USB\\Vid_1F7C&Pid_0084\\5&1", {kQz84});
        sim::pc().registry.set_string("SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM", "Type", "1");
        auto before = sim::pc().registry.snapshot();
        c.arrange();

        EXPECT_EQ(run_program("-C"), 0);

        EXPECT_EQ(error_captions(), c.captions);
        EXPECT_EQ(last_box_line(), box_line(kCaption, kFinished, MB_OK)) << "no notice, then the closing box";
        EXPECT_EQ(box_lines().size(), c.captions.size() + 2) << "confirmation, binding boxes, closing box";
        EXPECT_EQ(loaded("setupapi"), c.setupapi_loaded);
        EXPECT_EQ(loaded("advapi32"), c.advapi32_loaded);
        EXPECT_EQ(loaded("kernel32"), c.kernel32_loaded);
        EXPECT_EQ(library_trace(), c.trace);
        EXPECT_EQ(sim::pc().registry.snapshot(), before) << "nothing may be removed";
        for (int i = 0; i < 2; ++i) {
            NtRemovalStatus s = status_of(i);
            EXPECT_EQ(s.device_status | s.service_status | s.file_status | s.oem_inf_status, 0);
        }
    }
}

TEST(NtBinding, AFailedReleaseStopsAtTheFirstLibraryThatCannotBeFreed)
{
    empty_xp();
    sim::pc().faults.fail("FreeLibrary", ERROR_INVALID_HANDLE, 0, "advapi32");

    run_program("");

    EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : FreeLibrary()"});
    EXPECT_EQ(loaded("setupapi"), 0);
    EXPECT_EQ(loaded("advapi32"), 1);
    EXPECT_EQ(loaded("kernel32"), 1) << "the libraries after the failing one stay loaded";
}

TEST(NtBinding, FunctionsAreLookedUpByTheirExactNamesInBindingOrder)
{
    empty_xp();
    run_program("");
    std::vector<std::string> names; /* those of the back-end: after it loads setupapi */
    bool binding = false;
    for (const sim::CallRecord &c : sim::pc().faults.calls) {
        binding = binding || (c.function == "LoadLibraryA" && c.argument == "C:\\WINDOWS\\system32\\setupapi.dll");
        if (c.function == "FreeLibrary")
            break; /* the log's own look-ups follow the release */
        if (binding && c.function == "GetProcAddress")
            names.push_back(c.argument);
    }
    std::vector<std::string> expected = {
        "SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo", "SetupDiGetDeviceRegistryPropertyA",
        "SetupDiCallClassInstaller", "SetupDiDestroyDeviceInfoList", "SetupOpenInfFileA", "SetupGetLineTextA",
        "SetupCloseInfFile", "SetupDiGetDeviceInstallParamsA", "SetupDiGetDeviceInstanceIdA", "SetupUninstallOEMInfA" /* optional */, "SetupGetInfDriverStoreLocationA" /* optional */, "CM_Get_DevNode_Status" /* optional */, "RegOpenKeyExA", "RegCloseKey", "RegEnumKeyExA",
        "RegDeleteKeyA", "RegEnumValueA", "GetWindowsDirectoryA", "GetSystemDirectoryA", "SetFileAttributesA",
        "DeleteFileA", "MoveFileExA",
    };
    EXPECT_EQ(names, expected);
}

/* ---- not-installed notice ------------------------------------------------------- */

TEST(NtSequence, NothingInstalledShowsTheNoticeOnceAfterProductOnesPass)
{
    empty_xp();
    auto before = sim::pc().registry.snapshot();
    auto files_before = sim::pc().files.snapshot();

    EXPECT_EQ(run_program("-C"), 0);

    std::vector<std::string> expected = {
        box_line(kCaption, kConfirm, MB_OKCANCEL | MB_ICONWARNING),
        box_line(kCaption, kNotInstalled, MB_OK | MB_ICONWARNING),
        box_line(kCaption, kFinished, MB_OK),
    };
    EXPECT_EQ(box_lines(), expected);
    EXPECT_EQ(sim::pc().registry.snapshot(), before);
    EXPECT_EQ(files_but_log(), files_before);
    EXPECT_NOTHING_LEFT_OPEN();
    EXPECT_ALL_BOXES_SCRIPTED();
}

TEST(NtSequence, AnythingFoundForEitherProductSuppressesTheNotice)
{
    /* the captions of every box, in order: the notice, had it come, would add one */
    const std::vector<std::string> done = {kCaption, kCaption};
    struct {
        const char *what;
        void (*arrange)();
        std::vector<std::string> captions;
    } cases[] = {
        {"only a device of product 0", [] { add_device("USB\\Vid_1F7C&Pid_0084\\5&1", {kQz84}); }, done},
        {"only an OEM INF of product 0", [] { add_oem_inf("oem4.inf", "USB_TA, USB\\VID_1F7C&PID_0084"); }, done},
        {"only an OEM INF of product 0, whose package cannot be uninstalled", [] {
             add_oem_inf("oem4.inf", "USB_TA, USB\\VID_1F7C&PID_0084");
             sim::pc().faults.fail("SetupUninstallOEMInfA", ERROR_ACCESS_DENIED);
         }, {kCaption, "Function : SetupUninstallOEMInf()", kCaption}},
        {"only a current file of product 1 whose class INF pair is gone", [] {
             /* file_status counts only the class INF pair: product 1 reports 0 here */
             add_modem_driver_key("0000", kQz12, "oem9.inf");
             sim::pc().files.add_file(inf_dir("oem9.inf"));
         }, done},
        {"only a failure: product 0's device cannot be removed", [] {
             add_device("USB\\Vid_1F7C&Pid_0084\\5&1", {kQz84});
             sim::pc().faults.fail("SetupDiCallClassInstaller", ERROR_ACCESS_DENIED);
         }, {kCaption, "Function : CallClassInstaller()", kCaption}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        empty_xp();
        c.arrange();
        run_program("");
        std::vector<std::string> captions;
        for (const auto &box : sim::pc().boxes)
            captions.push_back(utf8(box.caption));
        EXPECT_EQ(captions, c.captions);
        for (const std::string &line : box_lines())
            EXPECT_EQ(line.find(kNotInstalled), std::string::npos) << line;
    }
}

TEST(NtSequence, ProductOnesDisplayNameIsFollowedDirectlyByTheSuffix)
{
    empty_xp();
    run_program("");
    ASSERT_GE(sim::pc().boxes.size(), 2u);
    EXPECT_EQ(sim::pc().boxes[1].text, cp932("Pelto QZ シリーズ") + cp932("はインストールされていません。"));
}

/* ---- the service-key step ------------------------------------------------------ */

TEST(NtSequence, ServiceKeysGoOnlyWithCompleteRemovalAndOnlyInProductOnesPass)
{
    struct {
        const char *tail;
        bool key_deleted;
        int service_status1;
        const std::string *last_box;
    } cases[] = {
        {"-C", true, 1, &kRestart},
        {"--complete", true, 1, &kRestart},
        {"", false, 0, &kFinished},
        {"-D", false, 0, &kFinished},
        {"--default", false, 0, &kFinished},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.tail);
        empty_xp();
        sim::pc().answers = {IDOK, IDCANCEL};
        sim::pc().registry.set_string("SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM", "ImagePath", "x");

        run_program(c.tail);

        EXPECT_EQ(!sim::pc().registry.exists("SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM"), c.key_deleted);
        EXPECT_EQ(status_of(0).service_status, 0) << "product 0's pass never touches the service";
        EXPECT_EQ(status_of(1).service_status, c.service_status1);
        UINT style = c.last_box == &kRestart ? MB_OKCANCEL | MB_ICONWARNING : MB_OK;
        EXPECT_EQ(last_box_line(), box_line(kCaption, *c.last_box, style));
        EXPECT_FALSE(sim::pc().restart_requested);
    }
}

TEST(NtSequence, DevicesGoBeforeTheServiceKeyAndTheServiceKeyBeforeAnyFile)
{
    empty_xp();
    add_device("USB\\Vid_1F7C&Pid_0012\\6&1", {kQz12});
    sim::pc().registry.set_string("SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM", "ImagePath", "x");
    sim::pc().files.add_file(drivers_dir("QZUSBCOM.SYS"));
    sim::pc().answers = {IDOK, IDCANCEL};

    run_program("-C");

    std::vector<std::string> order;
    for (const sim::CallRecord &c : sim::pc().faults.calls) {
        if (c.function == "SetupDiCallClassInstaller" || c.function == "RegDeleteKeyA" || c.function == "DeleteFileA")
            order.push_back(c.function + " " + c.argument);
    }
    std::vector<std::string> expected = {
        "SetupDiCallClassInstaller SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1F7C&Pid_0012\\6&1",
        "RegDeleteKeyA SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM",
        "DeleteFileA C:\\WINDOWS\\system32\\drivers\\QZUSBCOM.SYS",
    };
    EXPECT_EQ(order, expected);
}

/* ---- status query ------------------------------------------------------------ */

TEST(NtStatusQuery, RejectsOtherIndexesAndANullRecord)
{
    fresh_pc("winxp");
    nt_run.nt_removal_status[1].file_status = 0x1000;
    NtRemovalStatus out = {7, 7, 7, 7, 7, {}, 7, 7};
    EXPECT_EQ(get_nt_removal_status(2, &out), 0);
    EXPECT_EQ(get_nt_removal_status(-1, &out), 0);
    EXPECT_EQ(out.device_status, 7) << "a rejected query writes nothing";
    EXPECT_EQ(out.file_status, 7);
    EXPECT_EQ(get_nt_removal_status(0, nullptr), 0);
    EXPECT_EQ(get_nt_removal_status(1, &out), 1);
    EXPECT_EQ(out.file_status, 0x1000);
    EXPECT_EQ(out.device_status, 0);
}
