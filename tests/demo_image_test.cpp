/*
 * demo_image_test.cpp - the PC images `make demo` runs on (demo/xp, demo/98),
 * run on the simulated PC with the demo's default answers: both products go,
 * everything else of the image stays.
 */
#include "harness.h"
#include "scenario.h"

#include <sys/stat.h>

/* demo/ beside the scenarios folder */
static std::string demo_folder(const char *family)
{
    std::string root = scenarios_root();
    std::string::size_type slash = root.find_last_of('/');
    std::string top = slash == std::string::npos ? "." : root.substr(0, slash);
    return top + "/demo/" + family;
}

class DemoImages : public ::testing::TestWithParam<const char *> {};

TEST_P(DemoImages, DefaultRunRemovesBothProductsAndNothingElse)
{
    std::string folder = demo_folder(GetParam());
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
