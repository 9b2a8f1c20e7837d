/*
 * nt_full_run_test.cpp - whole runs of the program on the PC images of the
 * NT scenario folders, with the options and answers the folders do not
 * cover, and the status every step leaves.
 */
#include "nt_fixtures.h"
#include "scenario.h"

static Scenario load(const std::string &name)
{
    Scenario s;
    std::string error;
    EXPECT_TRUE(load_scenario(scenarios_root() + "/" + name, &s, &error)) << error;
    return s;
}

static void expect_run_as_written(const Scenario &s)
{
    std::string report;
    for (const std::string &p : run_and_check_scenario(s))
        report += "\n  " + p;
    EXPECT_TRUE(report.empty()) << s.name << ":" << report;
}

TEST(NtFullRun, DashDRemovesExactlyWhatARunWithoutAnOptionRemoves)
{
    for (const char *tail : {"-D", "--default"}) {
        SCOPED_TRACE(tail);
        Scenario s = load("nt-both-no-option");
        s.args = tail;
        expect_run_as_written(s);
        EXPECT_NOTHING_LEFT_OPEN();
    }
}

TEST(NtFullRun, EveryStepOfBothPassesLeavesItsStatus)
{
    Scenario s = load("nt-both-complete-cancel");
    expect_run_as_written(s);

    NtRemovalStatus p0 = status_of(0);
    EXPECT_EQ(p0.device_status, 1);
    EXPECT_EQ(p0.service_status, 0) << "product 0's pass never deletes the service";
    EXPECT_EQ(p0.file_status, 1) << "oem3.inf and oem3.pnf";
    EXPECT_EQ(p0.oem_inf_status, 1) << "oem8.inf and its PNF";
    NtRemovalStatus p1 = status_of(1);
    EXPECT_EQ(p1.device_status, 1);
    EXPECT_EQ(p1.service_status, 1);
    EXPECT_EQ(p1.file_status, 0x1000) << "3 of the 26 legacy files replace the class pair's 1";
    EXPECT_EQ(p1.oem_inf_status, 1) << "oem11.inf";
    EXPECT_NOTHING_LEFT_OPEN();
    EXPECT_EQ(sim::pc().libraries["setupapi"].load_count, 0);
}

TEST(NtFullRun, AcceptingTheRestartQuestionRestartsWindows)
{
    Scenario s = load("nt-both-complete-cancel");
    s.answers = {IDOK, IDOK};
    s.restart = true;
    expect_run_as_written(s);
    EXPECT_EQ(sim::pc().restart_flags, (UINT)EWX_REBOOT);
}

TEST(NtFullRun, EveryNtFamilyVersionRunsTheSameRemoval)
{
    for (const char *version : {"win2k", "win7", "win10"}) {
        SCOPED_TRACE(version);
        Scenario s = load("nt-both-complete-cancel");
        s.version = version;
        expect_run_as_written(s);
    }
}

TEST(NtFullRun, ASecondRunFindsNothingAndShowsTheNotice)
{
    Scenario s = load("nt-both-complete-cancel");
    expect_run_as_written(s);
    /* the same PC again, as the user would run the program twice */
    sim::pc().boxes.clear();
    sim::pc().answers = {IDOK};
    reset_program_state();
    EXPECT_EQ(run_program("-C"), 0);
    std::vector<std::string> expected = {
        box_line(kCaption, "Pelto QZ シリーズ USB ドライバを削除します。\nよろしいですか？", MB_OKCANCEL | MB_ICONWARNING),
        box_line(kCaption, kNotInstalled, MB_OK | MB_ICONWARNING),
        box_line(kCaption, "Pelto QZ シリーズ USB ドライバアンインストーラ処理を完了しました。", MB_OK),
    };
    EXPECT_EQ(box_lines(), expected);
}
