/*
 * demo_image_test.cpp - the PC images `make demo` runs on (demo/xp, demo/98),
 * run on the simulated PC with the demo's default answers: both products go,
 * everything else of the image stays.
 */
#include "harness.h"
#include "scenario.h"

#include <sys/stat.h>

class DemoImages : public ::testing::TestWithParam<const char *> {};

TEST_P(DemoImages, DefaultRunRemovesBothProductsAndNothingElse)
{
    std::string folder = demo_folders()[std::string(GetParam()) == "xp" ? 0 : 1];
    struct stat st;
    ASSERT_EQ(0, stat((folder + "/scenario").c_str(), &st)) << "expected " << folder << "/scenario";
    Scenario s;
    std::string error;
    ASSERT_TRUE(load_scenario(folder, &s, &error)) << error;
    std::vector<std::string> problems = run_and_check_scenario(s);
    std::string report;
    for (const std::string &p : problems)
        report += "\n  " + p;
    EXPECT_TRUE(problems.empty()) << folder << ":" << report;
}

INSTANTIATE_TEST_SUITE_P(Families, DemoImages, ::testing::Values("xp", "98"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string("win") + info.param;
                         });

/* The XP image holds the maker's other service QZUSBCOM2: a second "-Q -C"
   finds nothing and ends with 0, and QZUSBCOM2 is never touched (the 8-letter
   prefix used to take it for the series' and fail on every later run). */
TEST(DemoImages, TheXpImageRemovedTwiceEndsWithZeroAndKeepsTheOtherService)
{
    Scenario s;
    std::string error;
    ASSERT_TRUE(load_scenario(demo_folders()[0], &s, &error)) << error;
    ASSERT_TRUE(build_scenario_pc(s, &error)) << error;
    const std::string other = "SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM2";
    std::set<std::string> before = sim::pc().registry.snapshot();

    EXPECT_EQ(run_program("-Q -C"), 3010);
    EXPECT_EQ(run_program("-Q -C"), 0);
    EXPECT_EQ(run_program("--check -Q"), 0);

    std::set<std::string> after = sim::pc().registry.snapshot();
    for (const std::string &line : before) {
        if (line.find("\\SERVICES\\QZUSBCOM2") != std::string::npos) {
            EXPECT_EQ(after.count(line), 1u) << line;
        }
    }
    EXPECT_TRUE(sim::pc().registry.exists(other));
}
