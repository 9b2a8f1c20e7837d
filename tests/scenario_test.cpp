/*
 * scenario_test.cpp - every scenario folder, run on the simulated PC.
 * The end-to-end harness runs the same folders on Wine.
 */
#include "harness.h"
#include "scenario.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static std::vector<std::string> all_scenarios()
{
    return scenario_folders(scenarios_root());
}

class Scenarios : public ::testing::TestWithParam<std::string> {};

TEST_P(Scenarios, RunsAsWritten)
{
    Scenario s;
    std::string error;
    ASSERT_TRUE(load_scenario(GetParam(), &s, &error)) << error;
    std::vector<std::string> problems = run_and_check_scenario(s);
    if (problems.empty())
        check_agrees_with_removal(s, s.exit_code, &problems);
    std::string report;
    for (const std::string &p : problems)
        report += "\n  " + p;
    EXPECT_TRUE(problems.empty()) << s.name << " (" << s.title << "):" << report;
}

static std::string test_name(const ::testing::TestParamInfo<std::string> &info)
{
    std::string name = info.param.substr(info.param.find_last_of('/') + 1);
    for (char &c : name)
        if (!isalnum((unsigned char)c))
            c = '_';
    return name;
}

/* no folder found: GoogleTest fails the suite as uninstantiated, and EveryFolderLoads fails too */
INSTANTIATE_TEST_SUITE_P(Folders, Scenarios, ::testing::ValuesIn(all_scenarios()), test_name);

/* The checker itself must notice a run that differs from its scenario. */
TEST(ScenarioChecker, ReportsEveryKindOfDifference)
{
    Scenario s;
    s.name = "checker";
    s.folder = ".";
    s.version = "winxp";
    s.args = "-C";
    s.answers = {IDCANCEL};
    /* expects the wrong box, the wrong exit code, a removal that does not happen */
    s.boxes.push_back({"OK", "error", kCaption, "無効なオプションです。"});
    s.exit_code = -1;
    s.removed_files.push_back("%WINDIR%\\inf\\nothere.inf");
    std::vector<std::string> problems = run_and_check_scenario(s);
    std::string all;
    for (auto &p : problems)
        all += p + "\n";
    EXPECT_NE(all.find("exit code: expected -1, got 0"), std::string::npos) << all;
    EXPECT_NE(all.find("box 1: expected [OK error"), std::string::npos) << all;
    EXPECT_NE(all.find("the image has no file"), std::string::npos) << all;
}

TEST(ScenarioChecker, AcceptsARunThatMatches)
{
    Scenario s;
    s.name = "cancel";
    s.folder = ".";
    s.version = "winxp";
    s.answers = {IDCANCEL};
    s.boxes.push_back({"OKCANCEL", "warning", kCaption, "Pelto QZ シリーズ USB ドライバを削除します。\nよろしいですか？"});
    s.dirs.push_back("%WINDIR%\\inf\\OTHER");
    s.files.push_back({"%WINDIR%\\inf\\keep.inf", {"readonly"}, ""});
    std::vector<std::string> problems = run_and_check_scenario(s);
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems[0]);
}

TEST(ScenarioFormat, EveryFolderLoads)
{
    ASSERT_FALSE(all_scenarios().empty()) << "no scenario folder under " << scenarios_root();
    for (const std::string &folder : all_scenarios()) {
        Scenario s;
        std::string error;
        EXPECT_TRUE(load_scenario(folder, &s, &error)) << folder << ": " << error;
        EXPECT_FALSE(s.title.empty()) << folder << ": no title";
        /* every run shows a box, but for a quiet run, which tells its log instead */
        EXPECT_TRUE(!s.boxes.empty() || !s.log.empty()) << folder << ": no expected box or log line";
    }
}

/* The directives of a hand-over scenario are read; lines the format does not allow are refused, by line. */
TEST(ScenarioFormat, ReadsHandOverDirectivesAndRefusesMalformedLines)
{
    char dir[] = "/tmp/qz-scenario-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string folder = dir;
    auto load = [&](const std::string &text, Scenario *s, std::string *error) {
        FILE *f = fopen((folder + "/scenario").c_str(), "w");
        fputs(text.c_str(), f);
        fclose(f);
        return load_scenario(folder, s, error);
    };
    const std::string head = "title t\nversion win10\nargs \"-X\"\n";
    Scenario s;
    std::string error;
    ASSERT_TRUE(load(head + "wow64 yes\nboxes-from QZUninst64.exe\n"
                            "box OK error | C | a \"b\"\\nc\nexit -1\n", &s, &error)) << error;
    EXPECT_TRUE(s.wow64);
    EXPECT_EQ(s.boxes_from, "QZUninst64.exe");
    std::string json = scenario_json(s);
    EXPECT_NE(json.find("\"wow64\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"boxes_from\": \"QZUninst64.exe\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"text\": \"a \\\"b\\\"\\nc\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"exit\": -1"), std::string::npos) << json;

    const char *refused[][2] = {
        {"wow64 maybe\nexit 0\n", "wow64 yes|no"},
        {"boxes-from a.exe b.exe\nexit 0\n", "boxes-from needs one"},
        {"file %WINDIR%\\x.inf readonli\nexit 0\n", "unknown file attribute readonli"},
        {"sim-only\nexit 0\n", "sim-only needs a reason"},
        {"exit zero\n", "exit needs a number"},
        {"box OK error | C | T\n", "no exit line"},
        {"user standard\nexit 0\n", "scenario:4: user standard needs a sim-only line"},
        {"user standard\nlock refused\nuser administrator\nexit 0\n", "scenario:5: lock refused needs a sim-only"},
        {"wine-todo no store\nexit 0\n", "a wine-todo line needs wine-keeps lines"},
        {"wine-keeps %WINDIR%\\a.cat\nremoved file %WINDIR%\\a.cat\nexit 0\n", "a wine-todo line needs wine-keeps"},
        {"wine-todo x\nwine-keeps %WINDIR%\\a.cat\nexit 0\n", "wine-keeps %WINDIR%\\a.cat is no removed file"},
    };
    for (auto &r : refused) {
        EXPECT_FALSE(load(head + r[0], &s, &error)) << r[0];
        EXPECT_NE(error.find(r[1]), std::string::npos) << r[0] << " -> " << error;
    }
    remove((folder + "/scenario").c_str());
    rmdir(dir);
}
