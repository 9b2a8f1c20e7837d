/*
 * w9x_sequence_test.cpp - the Windows 98/Me removal on the simulated PC:
 * binding and release, the product sequence and its notice, the detection
 * question, the driver file deletion and the restart decision.
 */
#include <cstring>

#include "harness.h"
#include "../shell/uninstaller.h"
#include "../w9x_removal/w9x_steps.h"
#include "../shell/back_ends.h"

static const std::string kConfirm = "Pelto QZ シリーズ USB ドライバを削除します。\nよろしいですか？";
static const std::string kRestart =
    "Pelto QZ シリーズ USB ドライバを削除しました。\nWindows の再起動が必要です。\n\n今すぐに再起動しますか？";
static const std::string kFinished = "Pelto QZ シリーズ USB ドライバアンインストーラ処理を完了しました。";
static const std::string kSeriesNotInstalled = "Pelto QZ シリーズはインストールされていません。";
static const std::string kQz65Question = "Pelto QZ 65がインストールされています。\n削除しますか？";

static sim::Registry &reg() { return sim::pc().registry; }

static std::string sys(const std::string &name) { return sim::expand("%SYSDIR%\\" + name); }
static std::string inf(const std::string &name) { return sim::expand("%WINDIR%\\inf\\" + name); }

static std::string confirm_box() { return box_line(kCaption, kConfirm, MB_OKCANCEL | MB_ICONWARNING); }
static std::string finished_box() { return box_line(kCaption, kFinished, MB_OK); }
static std::string restart_box() { return box_line(kCaption, kRestart, MB_OKCANCEL | MB_ICONWARNING); }
static std::string series_not_installed_box()
{
    return box_line(kCaption, kSeriesNotInstalled, MB_OK | MB_ICONWARNING);
}
static std::string qz65_question_box() { return box_line(kCaption, kQz65Question, MB_OKCANCEL | MB_ICONWARNING); }

/* A Windows 98 PC with the INF\OTHER folder and the root port key that a
   real installation has, and nothing of either product. */
static void clean_win98(const char *version = "win98")
{
    fresh_pc(version);
    reg().create("Enum\\Root\\Ports");
    sim::pc().files.add_dir(inf("OTHER"));
}

static std::vector<std::string> lines(std::initializer_list<std::string> list) { return list; }

/* ---- binding ----------------------------------------------------------------- */

TEST(W9xBinding, AsksForTheTenFunctionsByNameInOrder)
{
    clean_win98();
    ASSERT_EQ(bind_win9x_functions(), 1);

    std::vector<std::string> asked;
    for (const sim::CallRecord &c : sim::pc().faults.calls)
        if (c.function == "GetProcAddress")
            asked.push_back(c.argument);
    EXPECT_EQ(asked, lines({"RegOpenKeyExA", "RegCloseKey", "RegEnumKeyExA", "RegDeleteKeyA", "RegEnumValueA",
                            "RegDeleteValueA", "GetWindowsDirectoryA", "GetSystemDirectoryA", "SetFileAttributesA",
                            "DeleteFileA"}));
    EXPECT_EQ(release_win9x_functions(), 1);
    EXPECT_EQ(sim::pc().trace, lines({"LoadLibraryA advapi32", "LoadLibraryA kernel32", "FreeLibrary advapi32",
                                      "FreeLibrary kernel32"}));
    EXPECT_TRUE(sim::pc().boxes.empty());
}

struct MissingExport {
    const char *library;
    const char *function;
};

class W9xBindingMissing : public ::testing::TestWithParam<MissingExport> {};

TEST_P(W9xBindingMissing, StopsTheRunBeforeAnythingIsExamined)
{
    const MissingExport &m = GetParam();
    clean_win98();
    reg().set_string("Enum\\Root\\Ports\\0000", "DeviceDesc", "Pelto QZ Series USB Port");
    sim::pc().files.add_file(sys("QZUSB.SYS"));
    sim::pc().libraries[m.library].exports.erase(m.function);
    auto registry_before = reg().snapshot();
    auto files_before = sim::pc().files.snapshot();
    sim::pc().answers = {IDOK};

    EXPECT_EQ(run_program(""), 0);

    EXPECT_EQ(error_captions(), lines({"Function : GetProcAddress()"})) << m.function;
    EXPECT_EQ(last_box_line(), finished_box()) << "both statuses stay 0: no restart question";
    EXPECT_EQ(reg().snapshot(), registry_before);
    EXPECT_EQ(files_but_log(), files_before);
    if (std::string(m.library) == "advapi32") {
        EXPECT_EQ(sim::pc().trace, lines({"LoadLibraryA advapi32", "FreeLibrary advapi32"}))
            << "kernel32 is not tried";
    } else {
        /* the registry library stays loaded for the rest of the process */
        EXPECT_EQ(sim::pc().trace,
                  lines({"LoadLibraryA advapi32", "LoadLibraryA kernel32", "FreeLibrary kernel32"}));
        EXPECT_EQ(sim::pc().libraries["advapi32"].load_count, 1);
    }
    EXPECT_ALL_BOXES_SCRIPTED();
}

INSTANTIATE_TEST_SUITE_P(
    Exports, W9xBindingMissing,
    ::testing::Values(MissingExport{"advapi32", "RegOpenKeyExA"}, MissingExport{"advapi32", "RegCloseKey"},
                      MissingExport{"advapi32", "RegEnumKeyExA"}, MissingExport{"advapi32", "RegDeleteKeyA"},
                      MissingExport{"advapi32", "RegEnumValueA"}, MissingExport{"advapi32", "RegDeleteValueA"},
                      MissingExport{"kernel32", "GetWindowsDirectoryA"},
                      MissingExport{"kernel32", "GetSystemDirectoryA"},
                      MissingExport{"kernel32", "SetFileAttributesA"}, MissingExport{"kernel32", "DeleteFileA"}));

TEST(W9xBinding, RegistryFunctionsNotBoundAreNotAskedFor)
{
    /* RegFlushKey is called directly: its absence from the library does not matter */
    clean_win98();
    sim::pc().libraries["advapi32"].exports.erase("RegFlushKey");
    EXPECT_EQ(bind_win9x_functions(), 1);
    EXPECT_EQ(release_win9x_functions(), 1);
}

TEST(W9xBinding, LibraryThatDoesNotLoadIsReported)
{
    for (const char *library : {"advapi32", "kernel32"}) {
        clean_win98();
        sim::pc().libraries[library].present = false;

        EXPECT_EQ(bind_win9x_functions(), 0) << library;

        EXPECT_EQ(error_captions(), lines({"Function : LoadLibrary()"})) << library;
        EXPECT_EQ(win9x_run.win9x_binding.advapi32 != NULL, std::string(library) == "kernel32") << library;
        EXPECT_EQ(win9x_run.win9x_binding.kernel32, (HMODULE)NULL);
    }
}

TEST(W9xBinding, FailingFreeOfAFailedBindingAddsASecondBox)
{
    clean_win98();
    sim::pc().libraries["advapi32"].exports.erase("RegDeleteValueA");
    sim::pc().faults.fail("FreeLibrary", ERROR_INVALID_HANDLE);

    EXPECT_EQ(bind_win9x_functions(), 0);

    EXPECT_EQ(error_captions(), lines({"Function : GetProcAddress()", "Function : FreeLibrary()"}));
    EXPECT_EQ(win9x_run.win9x_binding.advapi32, (HMODULE)NULL) << "the handle is not stored";
}

TEST(W9xBinding, ReleaseStopsAtTheFirstFailingFree)
{
    struct {
        const char *failing;
        std::vector<std::string> freed;
    } cases[] = {
        {"advapi32", {}},             /* kernel32 is then not released */
        {"kernel32", {"FreeLibrary advapi32"}},
        {"", {}},                     /* both would fail: one box, for the registry library */
    };
    for (auto &c : cases) {
        clean_win98();
        ASSERT_EQ(bind_win9x_functions(), 1);
        sim::pc().trace.clear();
        sim::pc().faults.fail("FreeLibrary", ERROR_INVALID_HANDLE, 0, c.failing);

        EXPECT_EQ(release_win9x_functions(), 0) << c.failing;

        EXPECT_EQ(error_captions(), lines({"Function : FreeLibrary()"})) << c.failing;
        EXPECT_EQ(sim::pc().trace, c.freed) << c.failing;
    }
}

/* ---- the sequence --------------------------------------------------------------- */

TEST(W9xSequence, NothingInstalledShowsTheSeriesNoticeOnly)
{
    clean_win98();
    auto registry_before = reg().snapshot();
    sim::pc().answers = {IDOK};

    EXPECT_EQ(run_program(""), 0);

    /* product 1 is not detected, so it is skipped without a word */
    EXPECT_EQ(box_lines(), lines({confirm_box(), series_not_installed_box(), finished_box()}));
    EXPECT_EQ(reg().snapshot(), registry_before);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(win9x_run.win9x_removal_status[i].registry_status, 0);
        EXPECT_EQ(win9x_run.win9x_removal_status[i].file_status, 0);
    }
    EXPECT_FALSE(sim::pc().restart_requested);
    EXPECT_ALL_BOXES_SCRIPTED();
}

TEST(W9xSequence, AMissingPortsKeyMeansNothingThere)
{
    /* it counted as a failure and asked for a restart on a clean PC */
    clean_win98();
    reg().remove("Enum\\Root\\Ports");
    sim::pc().answers = {IDOK};

    EXPECT_EQ(run_program(""), 0);

    EXPECT_EQ(box_lines(), lines({confirm_box(), series_not_installed_box(), finished_box()}));
    EXPECT_EQ(win9x_run.win9x_removal_status[0].registry_status, 0);
    EXPECT_ALL_BOXES_SCRIPTED();
}

TEST(W9xSequence, FilesAloneNeverAskForARestart)
{
    clean_win98();
    sim::pc().files.add_file(sys("QZUSB.SYS"));
    sim::pc().files.add_file(inf("QZCOM.INF"));
    sim::pc().answers = {IDOK};

    EXPECT_EQ(run_program(""), 0);

    EXPECT_EQ(box_lines(), lines({confirm_box(), finished_box()}));
    EXPECT_EQ(win9x_run.win9x_removal_status[0].file_status, 0x1000);
    EXPECT_EQ(win9x_run.win9x_removal_status[0].registry_status, 0);
    EXPECT_FALSE(sim::pc().files.exists(sys("QZUSB.SYS")));
    EXPECT_FALSE(sim::pc().files.exists(inf("QZCOM.INF")));
}

TEST(W9xSequence, RemovedRegistryEntryAsksForARestart)
{
    clean_win98();
    reg().set_string("System\\CurrentControlSet\\control\\VMM32Files", "QZSV1.VXD", "");
    sim::pc().answers = {IDOK, IDOK};

    EXPECT_EQ(run_program(""), 0);

    EXPECT_EQ(box_lines(), lines({confirm_box(), restart_box()}));
    EXPECT_EQ(win9x_run.win9x_removal_status[0].registry_status, 1);
    EXPECT_TRUE(sim::pc().restart_requested);
}

TEST(W9xSequence, Product1CancelledKeepsEverythingOfIt)
{
    clean_win98();
    sim::pc().files.add_file(sys("QZ65PORT.VXD"));
    reg().set_string("System\\CurrentControlSet\\control\\VMM32Files", "QZ65PORT.VXD", "");
    reg().create("System\\CurrentControlSet\\Services\\VxD\\QZ65PORT");
    auto registry_before = reg().snapshot();
    sim::pc().answers = {IDOK, IDCANCEL};

    EXPECT_EQ(run_program(""), 0);

    EXPECT_EQ(box_lines(), lines({confirm_box(), series_not_installed_box(), qz65_question_box(), finished_box()}));
    EXPECT_EQ(reg().snapshot(), registry_before);
    EXPECT_TRUE(sim::pc().files.exists(sys("QZ65PORT.VXD")));
    EXPECT_EQ(win9x_run.win9x_removal_status[1].registry_status, 0);
    EXPECT_EQ(win9x_run.win9x_removal_status[1].file_status, 0);
    EXPECT_ALL_BOXES_SCRIPTED();
}

TEST(W9xSequence, Product1AgreedButNothingRemovedShowsItsNotice)
{
    /* product 0's pass fails to delete the shared device key, so product 1 is
       detected by it; product 1's own pass then deletes it, which alone counts 0 */
    clean_win98();
    reg().create("Enum\\USB\\Vid_1F7C&Pid_0012\\5&1&0&1");
    sim::pc().faults.fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, 1);
    sim::pc().answers = {IDOK, IDOK, IDCANCEL};

    EXPECT_EQ(run_program(""), 0);

    EXPECT_EQ(box_lines(), lines({confirm_box(),
                                  box_line("Function : RegDeleteKey()", "Access is denied.\r\n", MB_OK | MB_ICONERROR),
                                  qz65_question_box(),
                                  box_line(kCaption, "Pelto QZ 65はインストールされていません。", MB_OK | MB_ICONWARNING),
                                  restart_box()}));
    EXPECT_EQ(win9x_run.win9x_removal_status[0].registry_status, 0xFFFF);
    EXPECT_EQ(win9x_run.win9x_removal_status[1].registry_status, 0);
    EXPECT_FALSE(reg().exists("Enum\\USB\\Vid_1F7C&Pid_0012"));
    EXPECT_ALL_BOXES_SCRIPTED();
}

TEST(W9xSequence, StatusQueryRefusesOtherIndicesAndANullRecord)
{
    clean_win98();
    win9x_run.win9x_removal_status[1].registry_status = 1;
    win9x_run.win9x_removal_status[1].file_status = 0x1000;
    Win9xRemovalStatus out = {0x5EED, 0x5EED, {}, 0x5EED, 0x5EED, 0x5EED};
    for (int index : {2, -1, 100}) {
        EXPECT_EQ(get_win9x_removal_status(index, &out), 0) << index;
        EXPECT_EQ(out.registry_status, 0x5EED) << "left untouched";
        EXPECT_EQ(out.file_status, 0x5EED);
    }
    EXPECT_EQ(get_win9x_removal_status(1, NULL), 0);
    EXPECT_EQ(get_win9x_removal_status(1, &out), 1);
    EXPECT_EQ(out.registry_status, 1);
    EXPECT_EQ(out.file_status, 0x1000);
}

TEST(W9xSequence, RestartDecisionReadsRegistryStatusOnly)
{
    struct {
        int registry0, files0, registry1, files1;
        int expected;
    } cases[] = {
        {0, 0, 0, 0, 0},      {0, 1, 0, 0x1000, 0}, {0, 0xFFFF, 0, 0xFFFF, 0},
        {1, 0, 0, 0, 1},      {0, 0, 1, 0, 1},      {0xFFFF, 0, 0, 0, 1},
    };
    for (auto &c : cases) {
        clean_win98();
        win9x_run.win9x_removal_status[0] = {c.registry0, c.files0, {}, 0, 0, 0};
        win9x_run.win9x_removal_status[1] = {c.registry1, c.files1, {}, 0, 0, 0};
        EXPECT_EQ(removal_restart_needed(removal_back_end(PLATFORM_WIN9X)->status), c.expected)
            << c.registry0 << "/" << c.files0 << " " << c.registry1 << "/" << c.files1;
    }
}

/* ---- detection ------------------------------------------------------------------ */

class W9xDetection : public ::testing::Test {
protected:
    void SetUp() override
    {
        clean_win98();
        ASSERT_EQ(bind_win9x_functions(), 1);
        sim::pc().faults.calls.clear();
    }
    void TearDown() override
    {
        release_win9x_functions();
        reset_program_state(); /* released once, whether a loop already did it or not */
    }
};

TEST_F(W9xDetection, Product0IsRemovedWithoutAQuestionOrAProbe)
{
    EXPECT_EQ(confirm_win9x_product(0), 1);
    EXPECT_TRUE(sim::pc().faults.calls.empty()) << "first call: " << sim::pc().faults.calls[0].function;
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST_F(W9xDetection, Product1NotFoundIsSkippedSilently)
{
    EXPECT_EQ(confirm_win9x_product(1), 0);
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST_F(W9xDetection, Product1DeviceKeyAsksAndTheAnswerDecides)
{
    reg().create("Enum\\USB\\Vid_1F7C&Pid_0012\\5&1&0&1");
    for (int answer : {IDOK, IDCANCEL}) {
        sim::pc().boxes.clear();
        sim::pc().answers = {answer};
        EXPECT_EQ(confirm_win9x_product(1), answer == IDOK ? 1 : 0);
        EXPECT_EQ(box_lines(), lines({qz65_question_box()}));
    }
    EXPECT_TRUE(sim::pc().key_handles.empty()) << "the device key is closed again";
    EXPECT_TRUE(reg().exists("Enum\\USB\\Vid_1F7C&Pid_0012")) << "detection removes nothing";
    EXPECT_ALL_BOXES_SCRIPTED();
}

TEST_F(W9xDetection, ProbeStopsAtTheFirstFileAndLeavesItsAttributesCleared)
{
    sim::pc().files.add_file(inf("QZ65COM.INF"), "", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    sim::pc().files.add_file(inf("QZ65USB.INF"), "", FILE_ATTRIBUTE_READONLY);
    sim::pc().answers = {IDCANCEL};

    EXPECT_EQ(confirm_win9x_product(1), 0);

    EXPECT_EQ(box_lines(), lines({qz65_question_box()}));
    EXPECT_EQ(sim::pc().faults.counts["SetFileAttributesA"], 4) << "rows 0 to 3, then it stops";
    ASSERT_TRUE(sim::pc().files.exists(inf("QZ65COM.INF"))) << "Cancel deletes nothing";
    /* the probe is the attribute change itself: it stays made after Cancel */
    EXPECT_EQ(sim::pc().files.find(inf("QZ65COM.INF"))->attributes, 0u);
    EXPECT_EQ(sim::pc().files.find(inf("QZ65USB.INF"))->attributes, (DWORD)FILE_ATTRIBUTE_READONLY)
        << "rows after the first file found are not probed";
}

TEST_F(W9xDetection, FilesAreProbedEvenWhenTheKeyIsFound)
{
    reg().create("Enum\\USB\\Vid_1F7C&Pid_0012");
    sim::pc().answers = {IDOK};
    EXPECT_EQ(confirm_win9x_product(1), 1);
    EXPECT_EQ(sim::pc().faults.counts["SetFileAttributesA"], 11);
}

TEST_F(W9xDetection, FilesOfAFolderThatIsNotThereAreNotThere)
{
    /* its two OTHER\ rows give ERROR_PATH_NOT_FOUND: absent, like ERROR_FILE_NOT_FOUND
       (they used to be reported, and every quiet run on such a PC failed) */
    sim::pc().files.remove(inf("OTHER"));
    EXPECT_EQ(confirm_win9x_product(1), 0);
    EXPECT_EQ(error_captions(), lines({}));
}

TEST_F(W9xDetection, FailuresOfTheProbe)
{
    struct {
        const char *function;
        std::vector<std::string> captions;
        int expected; /* with the device key present and OK answered */
    } cases[] = {
        {"RegCloseKey", {"Function : RegCloseKey()"}, 0},       /* the key counts as absent */
        {"GetWindowsDirectoryA", {"Function : GetWindowsDirectory()"}, 1},
        {"GetSystemDirectoryA", {"Function : GetSystemDirectory()"}, 1},
        {"RegOpenKeyExA", {}, 0},                               /* silent: absent */
    };
    for (auto &c : cases) {
        SetUp();
        reg().create("Enum\\USB\\Vid_1F7C&Pid_0012");
        sim::pc().faults.fail(c.function, ERROR_ACCESS_DENIED);
        sim::pc().answers = {IDOK};

        EXPECT_EQ(confirm_win9x_product(1), c.expected) << c.function;

        EXPECT_EQ(error_captions(), c.captions) << c.function;
        EXPECT_EQ(sim::pc().boxes.size(), c.captions.size() + c.expected) << c.function;
        TearDown();
    }
}

/* ---- driver files ----------------------------------------------------------------- */

class W9xFiles : public W9xDetection {};

static const char *const kQz65Files[] = {
    "%SYSDIR%\\QZ65PORT.VXD",         "%SYSDIR%\\QZ65SV1.VXD",  "%SYSDIR%\\QZ65SV2.SYS",
    "%WINDIR%\\inf\\QZ65COM.INF",     "%WINDIR%\\inf\\QZ65COM.PNF", "%WINDIR%\\inf\\QZ65USB.INF",
    "%WINDIR%\\inf\\QZ65USB.PNF",     "%WINDIR%\\inf\\USKBDMAP.INF", "%WINDIR%\\inf\\USKBDMAP.PNF",
    "%WINDIR%\\inf\\OTHER\\KVRQZ65USB.INF", "%WINDIR%\\inf\\OTHER\\KVRQZ65COM.INF",
};

TEST_F(W9xFiles, EveryListedFileDeletedGivesOne)
{
    for (const char *f : kQz65Files)
        sim::pc().files.add_file(sim::expand(f), "", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    sim::pc().files.add_file(sys("QZ65SV3.SYS"));

    record_win9x_file_step(1);

    EXPECT_EQ(win9x_run.win9x_removal_status[1].file_status, 1);
    for (const char *f : kQz65Files)
        EXPECT_FALSE(sim::pc().files.exists(sim::expand(f))) << f;
    EXPECT_TRUE(sim::pc().files.exists(sys("QZ65SV3.SYS"))) << "not listed";
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST_F(W9xFiles, CountingRules)
{
    struct {
        std::vector<std::string> present;
        int expected;
    } cases[] = {
        {{}, 0},
        {{"%SYSDIR%\\QZUSB.SYS"}, 0x1000}, /* 1 of 26 */
        {{"%WINDIR%\\inf\\qzusbcd.inf", "%WINDIR%\\inf\\QZUSB.INF"}, 0x1000},
        {{"%WINDIR%\\inf\\QZUSB.SYS"}, 0}, /* SYS files are looked for in the system directory */
    };
    for (auto &c : cases) {
        SetUp();
        for (const std::string &f : c.present)
            sim::pc().files.add_file(sim::expand(f));
        record_win9x_file_step(0);
        EXPECT_EQ(win9x_run.win9x_removal_status[0].file_status, c.expected) << c.present.size() << " files";
        TearDown();
    }
}

TEST_F(W9xFiles, MissingOtherFolderHidesNoFileAndIsNoFailure)
{
    sim::pc().files.remove(inf("OTHER"));
    for (const char *f : {"QZUSB.INF", "QZUSB.PNF", "mdmkvrtc.inf"})
        sim::pc().files.add_file(inf(f));

    record_win9x_file_step(0);

    EXPECT_EQ(error_captions(), std::vector<std::string>{}) << "a file whose folder is not there is not there";
    EXPECT_EQ(win9x_run.win9x_removal_status[0].file_status, STATUS_PARTLY_REMOVED);
    EXPECT_FALSE(sim::pc().files.exists(inf("mdmkvrtc.inf"))) << "the other rows are still tried";
}

TEST_F(W9xFiles, FileInUseIsReportedAndTheRestStillGo)
{
    sim::pc().files.add_file(sys("QZ65PORT.VXD")).in_use = true;
    sim::pc().files.add_file(sys("QZ65SV1.VXD"));

    record_win9x_file_step(1);

    EXPECT_EQ(error_captions(), lines({"Function : DeleteFile()"}));
    EXPECT_TRUE(sim::pc().files.exists(sys("QZ65PORT.VXD")));
    EXPECT_FALSE(sim::pc().files.exists(sys("QZ65SV1.VXD")));
    EXPECT_EQ(win9x_run.win9x_removal_status[1].file_status, 0xFFFF);
}

TEST_F(W9xFiles, DirectoryFailureTouchesNoFile)
{
    for (const char *function : {"GetWindowsDirectoryA", "GetSystemDirectoryA"}) {
        SetUp();
        sim::pc().files.add_file(sys("QZ65PORT.VXD"));
        sim::pc().faults.fail(function, ERROR_ACCESS_DENIED);

        record_win9x_file_step(1);

        EXPECT_EQ(error_captions().size(), 1u) << function;
        EXPECT_EQ(win9x_run.win9x_removal_status[1].file_status, 0xFFFF) << function;
        EXPECT_EQ(sim::pc().faults.counts["SetFileAttributesA"], 0) << function;
        TearDown();
    }
}

TEST_F(W9xFiles, PathsTooLongAreReportedNotCut)
{
    /* a Windows directory of 240 characters: "\inf\" and a 9-character name
       still fit in 259, the longer rows do not */
    std::string long_dir = "C:\\" + std::string(237, 'W');
    sim::pc().windows_dir = long_dir;
    sim::pc().files.add_dir(long_dir + "\\inf\\OTHER");
    sim::pc().files.add_file(long_dir + "\\inf\\QZ65COM.INF");
    sim::pc().files.add_file(long_dir + "\\inf\\OTHER\\KVRQZ65USB.INF");

    record_win9x_file_step(1);

    EXPECT_FALSE(sim::pc().files.exists(long_dir + "\\inf\\QZ65COM.INF"));
    EXPECT_TRUE(sim::pc().files.exists(long_dir + "\\inf\\OTHER\\KVRQZ65USB.INF"));
    EXPECT_EQ(error_captions(), std::vector<std::string>(2, "Function : SetFileAttributes()"))
        << "one box per row that does not fit";
    EXPECT_EQ(box_text_at(0), "The filename or extension is too long.\r\n");
    EXPECT_EQ(win9x_run.win9x_removal_status[1].file_status, 0xFFFF);
    for (const sim::CallRecord &c : sim::pc().faults.calls) {
        if (c.function == "SetFileAttributesA") {
            EXPECT_LE(c.argument.size(), 259u) << "a cut path was used: " << c.argument;
        }
    }
}

TEST_F(W9xFiles, DirectoryLongerThanItsBufferIsNeverUsed)
{
    sim::pc().system_dir = "C:\\" + std::string(300, 'S'); /* GetSystemDirectoryA gives the size it needs */

    record_win9x_file_step(1);

    for (const sim::CallRecord &c : sim::pc().faults.calls) {
        if (c.function == "SetFileAttributesA") {
            EXPECT_EQ(c.argument.rfind("C:\\WINDOWS\\inf\\", 0), 0u) << "a path without its directory: " << c.argument;
        }
    }
    EXPECT_EQ(error_captions(), std::vector<std::string>(3, "Function : SetFileAttributes()"))
        << "the three files of the system directory";
    EXPECT_EQ(win9x_run.win9x_removal_status[1].file_status, 0xFFFF);
}
