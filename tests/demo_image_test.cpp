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
