/*
 * nt_files_test.cpp - the driver and INF files: current files, the class
 * INF pair with its in-place PNF rewrite, the legacy files, the counting
 * rules of file_status and every failure path.
 */
#include "nt_fixtures.h"
#include "../nt_removal/nt_steps.h"

static const char *const kLegacy[26] = {
    "QZPORT.VXD", "QZSV1.VXD", "QZUSB.SYS", "QZSV2.SYS", "QZUSB.INF", "QZUSB.PNF", "QZCOM.INF",
    "QZCOM.PNF", "QZUSBLAY.INF", "QZUSBLAY.PNF", "USKBDMAP.INF", "USKBDMAP.PNF", "OTHER\\KVRQZCOM.INF",
    "OTHER\\KVRQZUSB.INF", "PeltoMDMforMe.inf", "PeltoMDMforMe.pnf", "PeltoUSB.inf", "PeltoUSB.pnf",
    "OTHER\\KVRPeltoMDMforMe.inf", "OTHER\\KVRPeltoUSB.inf", "mdmkvrtc.inf", "mdmkvrtc.pnf", "qzusbcd.inf",
    "qzusbcd.pnf", "OTHER\\KVRmdmkvrtc.inf", "OTHER\\KVRqzusbcd.inf",
};

/* Where a legacy file lives: the system directory for sys and vxd, else the INF directory. */
static std::string legacy_path(const std::string &name)
{
    std::string ext = name.substr(name.size() - 4);
    return ext == ".SYS" || ext == ".VXD" ? sys_dir(name) : inf_dir(name);
}

static void add_current_files_of_product1()
{
    sim::pc().files.add_file(drivers_dir("QZUSBCOM.SYS"));
    sim::pc().files.add_file(inf_dir("MDMKVRT3.INF"));
    sim::pc().files.add_file(inf_dir("MDMKVRT3.PNF"));
    sim::pc().files.add_file(inf_dir("PeltoMDMforW2K.inf"), "", FILE_ATTRIBUTE_READONLY);
    sim::pc().files.add_file(inf_dir("PeltoMDMforW2K.pnf"));
}

/* The file steps of one pass, as the removal sequence runs them. */
static void remove_files(int index)
{
    bind_for_step();
    record_file_steps(index);
    release_after_step();
}

TEST(NtFiles, AllCurrentFilesAndTheClassInfPairAreDeleted)
{
    fresh_pc("winxp");
    add_current_files_of_product1();
    sim::pc().files.add_file(inf_dir("oem7.inf"));
    sim::pc().files.add_file(inf_dir("oem7.pnf"));
    sim::pc().files.add_file(inf_dir("oem70.inf")); /* a decoy */
    copy_text(nt_run.class_inf_name, sizeof nt_run.class_inf_name, "oem7.inf");
    auto before = sim::pc().files.snapshot();

    remove_files(1);

    EXPECT_EQ(status_of(1).file_status, 1);
    for (const char *gone : {"QZUSBCOM.SYS", "MDMKVRT3.INF", "MDMKVRT3.PNF", "PeltoMDMforW2K.inf",
                             "PeltoMDMforW2K.pnf", "oem7.inf", "oem7.pnf"})
        EXPECT_FALSE(sim::pc().files.exists(std::string(gone) == "QZUSBCOM.SYS" ? drivers_dir(gone) : inf_dir(gone)))
            << gone;
    EXPECT_EQ(before.size() - sim::pc().files.snapshot().size(), 7u) << "nothing else goes";
    EXPECT_TRUE(sim::pc().files.exists(inf_dir("oem70.inf")));
    EXPECT_STREQ(nt_run.class_inf_name, "oem7.pnf") << "the name is left in its PNF form";
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST(NtFiles, FileStatusCountsOnlyTheClassInfPair)
{
    struct {
        const char *what;
        const char *class_name;
        std::vector<std::string> present;
        int expected;
    } cases[] = {
        {"current files deleted, no class INF name", "", {"PeltoMDMforW2K.inf", "PeltoMDMforW2K.pnf"}, 0},
        {"class INF without its PNF", "oem3.inf", {"oem3.inf"}, 0x1000},
        {"only the PNF of the class INF", "oem3.inf", {"oem3.pnf"}, 0x1000},
        {"both", "oem3.inf", {"oem3.inf", "oem3.pnf"}, 1},
        {"the pair already gone", "oem3.inf", {}, 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        for (const std::string &f : c.present)
            sim::pc().files.add_file(inf_dir(f));
        copy_text(nt_run.class_inf_name, sizeof nt_run.class_inf_name, c.class_name);

        remove_files(0);

        EXPECT_EQ(status_of(0).file_status, c.expected);
        for (const std::string &f : c.present)
            EXPECT_FALSE(sim::pc().files.exists(inf_dir(f))) << f;
    }
}

TEST(NtFiles, AClassInfNameShorterThanThreeCharactersGetsNoPnfRewrite)
{
    fresh_pc("winxp");
    sim::pc().files.add_file(inf_dir("ab"));
    copy_text(nt_run.class_inf_name, sizeof nt_run.class_inf_name, "ab");

    remove_files(0);

    EXPECT_STREQ(nt_run.class_inf_name, "ab");
    EXPECT_FALSE(sim::pc().files.exists(inf_dir("ab")));
    EXPECT_EQ(status_of(0).file_status, 0x1000);
}

TEST(NtFiles, LegacyFilesAreCountedAgainstTheListedRows)
{
    struct {
        const char *what;
        int present; /* the first n legacy rows exist */
        int expected;
    } cases[] = {
        {"none present: the legacy step does not run", 0, 0},
        {"three of 26", 3, 0x1000},
        {"all 26", 26, 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        sim::pc().files.add_dir(inf_dir("OTHER"));
        for (int i = 0; i < c.present; ++i)
            sim::pc().files.add_file(legacy_path(kLegacy[i]), "", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

        remove_files(1);

        EXPECT_EQ(status_of(1).file_status, c.expected);
        for (int i = 0; i < c.present; ++i)
            EXPECT_FALSE(sim::pc().files.exists(legacy_path(kLegacy[i]))) << kLegacy[i];
        EXPECT_TRUE(sim::pc().boxes.empty());
    }
}

TEST(NtFiles, OneLegacyFileIsEnoughToRunTheLegacyStep)
{
    fresh_pc("winxp"); /* no OTHER subdirectory: its rows are silently absent */
    sim::pc().files.add_file(inf_dir("qzusbcd.inf"));

    remove_files(1);

    EXPECT_FALSE(sim::pc().files.exists(inf_dir("qzusbcd.inf")));
    EXPECT_EQ(status_of(1).file_status, 0x1000);
    EXPECT_TRUE(sim::pc().boxes.empty());
}

TEST(NtFiles, ProductZeroHasNoLegacyRows)
{
    fresh_pc("winxp");
    sim::pc().files.add_file(inf_dir("qzusbcd.inf"));
    bind_for_step();
    EXPECT_EQ(legacy_files_present(0), 0);
    EXPECT_EQ(legacy_files_present(1), 1);
    release_after_step();
}

TEST(NtFiles, FailuresShowTheirBoxAndLeaveTheirStatus)
{
    struct {
        InjectedFailure failure;
        int expected;
    } cases[] = {
        /* a file in use is set to go at the restart instead: see NtFiles.AFileInUse... */
        {{"a current file on a write-protected disk", "DeleteFileA", ERROR_WRITE_PROTECT, 0,
          inf_dir("MDMKVRT3.INF"), {"Function : DeleteFile()"}}, 0xffff},
        {{"a current file refused", "SetFileAttributesA", ERROR_ACCESS_DENIED, 0,
          inf_dir("MDMKVRT3.INF"), {"Function : SetFileAttributes()"}}, 0xffff},
        {{"a current file's path missing", "SetFileAttributesA", ERROR_PATH_NOT_FOUND, 0,
          drivers_dir("QZUSBCOM.SYS"), {"Function : SetFileAttributes()"}}, 0xffff},
        {{"the class INF cannot be deleted: not counted, no failure", "DeleteFileA", ERROR_WRITE_PROTECT, 0,
          inf_dir("oem7.inf"), {"Function : DeleteFile()"}}, 0x1000},
        {{"the class PNF refused: not counted, no failure", "SetFileAttributesA", ERROR_ACCESS_DENIED, 0,
          inf_dir("oem7.pnf"), {"Function : SetFileAttributes()"}}, 0x1000},
        {{"no Windows directory", "GetWindowsDirectoryA", ERROR_INVALID_PARAMETER, 0,
          "", {"Function : GetWindowsDirectory()"}}, 0xffff},
        {{"no system directory", "GetSystemDirectoryA", ERROR_INVALID_PARAMETER, 0,
          "", {"Function : GetSystemDirectory()"}}, 0xffff},
        /* Windows 10 refuses a loaded driver image with 5: a file, so it waits for the restart */
        {{"a current file held, refused with 5", "DeleteFileA", ERROR_ACCESS_DENIED, 0,
          drivers_dir("QZUSBCOM.SYS"), {}}, 1},
        /* a folder is no file in use: it would never go at the restart */
        {{"a folder named like a current INF", "DeleteFileA", ERROR_ACCESS_DENIED, 0,
          inf_dir("MDMKVRT3.INF"), {"Function : DeleteFile()"}}, 0xffff},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.failure.what);
        fresh_pc("win2k"); /* no driver package uninstall: the deletion alone decides what stays */
        add_current_files_of_product1();
        sim::pc().files.add_file(inf_dir("oem7.inf"));
        sim::pc().files.add_file(inf_dir("oem7.pnf"));
        copy_text(nt_run.class_inf_name, sizeof nt_run.class_inf_name, "oem7.inf");
        bool folder = strstr(c.failure.what, "folder") != nullptr;
        if (folder) {
            sim::pc().files.remove(inf_dir("MDMKVRT3.INF"));
            sim::pc().files.add_dir(inf_dir("MDMKVRT3.INF") + "\\inside");
        }

        bind_for_step();
        if (!folder) /* the folder itself makes DeleteFileA fail, as Windows does */
            c.failure.inject();
        FileCount count;
        int status = remove_driver_files(1, &count);
        release_after_step();

        EXPECT_EQ(error_captions(), c.failure.captions);
        EXPECT_EQ(status, c.expected);
        EXPECT_EQ(run.files_scheduled, c.failure.captions.empty() && !c.failure.argument.empty() ? 1 : 0)
            << "only a file is set to go at the restart";
        if (c.failure.argument.empty()) {
            EXPECT_TRUE(sim::pc().files.exists(drivers_dir("QZUSBCOM.SYS"))) << "nothing is deleted";
        } else {
            EXPECT_TRUE(sim::pc().files.exists(c.failure.argument)) << "the failing file stays";
            EXPECT_FALSE(sim::pc().files.exists(inf_dir("PeltoMDMforW2K.pnf"))) << "the other rows are still tried";
        }
    }
}

TEST(NtFiles, LegacyFailuresFollowTheirOwnRules)
{
    struct {
        const char *what;
        const char *function;
        DWORD error;
        std::vector<std::string> captions;
        int expected;
    } cases[] = {
        /* a refused SetFileAttributesA is reported, but the counts decide */
        {"one legacy file refused", "SetFileAttributesA", ERROR_ACCESS_DENIED,
         {"Function : SetFileAttributes()"}, 0x1000},
        {"one legacy file on a write-protected disk", "DeleteFileA", ERROR_WRITE_PROTECT, {"Function : DeleteFile()"},
         0xffff},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        sim::pc().files.add_file(inf_dir("qzusbcd.inf"));
        sim::pc().files.add_file(inf_dir("qzusbcd.pnf"));
        sim::pc().faults.fail(c.function, c.error, 0, inf_dir("qzusbcd.pnf"));

        bind_for_step();
        FileCount count;
        int status = remove_legacy_files(1, &count);
        release_after_step();

        EXPECT_EQ(error_captions(), c.captions);
        EXPECT_EQ(status, c.expected);
        EXPECT_FALSE(sim::pc().files.exists(inf_dir("qzusbcd.inf")));
        EXPECT_TRUE(sim::pc().files.exists(inf_dir("qzusbcd.pnf")));
    }
}

TEST(NtFiles, AProbeRefusedForAnotherReasonCountsAsAbsent)
{
    fresh_pc("winxp");
    sim::pc().files.add_file(sys_dir("QZPORT.VXD"));
    sim::pc().faults.fail("SetFileAttributesA", ERROR_ACCESS_DENIED, 0, sys_dir("QZPORT.VXD"));
    bind_for_step();
    EXPECT_EQ(legacy_files_present(1), 0);
    release_after_step();
    EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : SetFileAttributes()"});
}

TEST(NtFiles, APathThatDoesNotFitIsNotBuiltAndItsRowCountsAsAbsent)
{
    fresh_pc("winxp");
    sim::pc().windows_dir = "C:\\" + std::string(240, 'W'); /* + "\inf\PeltoMDMforW2K.inf" > 259 */
    sim::pc().files.add_file(sim::pc().windows_dir + "\\inf\\PeltoMDMforW2K.inf");
    std::string long_name(250, 'n');
    long_name += ".inf";
    copy_text(nt_run.class_inf_name, sizeof nt_run.class_inf_name, long_name.c_str());

    remove_files(0);

    EXPECT_EQ(status_of(0).file_status, 0);
    EXPECT_TRUE(sim::pc().boxes.empty());
    for (const sim::CallRecord &c : sim::pc().faults.calls) {
        if (c.function == "SetFileAttributesA") {
            EXPECT_LT(c.argument.size(), 260u) << c.argument;
        }
    }
}
