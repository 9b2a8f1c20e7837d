/*
 * scenario.h - scenario folders (scenarios/README.md) on the simulated PC.
 *
 * A scenario names a Windows version, a PC image (REGEDIT4 text, files),
 * the command line and the answers, and what must happen: the boxes in
 * order, the exit code and exactly what is removed. The same folders run
 * on Wine through the end-to-end harness.
 */
#ifndef QZ_TESTS_SCENARIO_H
#define QZ_TESTS_SCENARIO_H

#include <string>
#include <vector>

struct ExpectedBox {
    std::string buttons; /* OK or OKCANCEL */
    std::string icon;    /* error, warning or none */
    std::string caption; /* UTF-8 */
    std::string text;    /* UTF-8; "*" = the system's error text */
};

struct ScenarioFile {
    std::string path; /* a full Windows path, %WINDIR% and %SYSDIR% expanded on load */
    std::vector<std::string> attributes;
    std::string source; /* a file of the scenario's files/ folder, or "" */
};

struct Scenario {
    std::string name;
    std::string folder;
    std::string title;
    std::string version = "winxp";
    std::string args;
    std::vector<std::string> registry_files;
    std::vector<std::string> dirs;
    std::vector<ScenarioFile> files;
    std::vector<int> answers;
    std::vector<ExpectedBox> boxes;
    int exit_code = 0;
    std::vector<std::string> removed_keys;
    std::vector<std::pair<std::string, std::string>> removed_values; /* key, value name */
    std::vector<std::string> removed_files;
    std::vector<std::string> normal_attrs;
    bool restart = false;
    std::vector<std::pair<std::string, std::string>> links;
    std::string sim_only;
    std::string wine_todo;
};

/* Reads scenarios/<name>/scenario; false and *error on a syntax error. */
bool load_scenario(const std::string &folder, Scenario *out, std::string *error);

/* Every folder under `root` that holds a `scenario` file, sorted. */
std::vector<std::string> scenario_folders(const std::string &root);

/* Lays the scenario's PC down on a fresh simulated PC; false and *error if it cannot. */
bool build_scenario_pc(const Scenario &s, std::string *error);

/* Runs the program and compares with the expectations: every difference, one line each. */
std::vector<std::string> run_and_check_scenario(const Scenario &s);

/* The scenarios folder of the source tree (QZ_SCENARIOS overrides it). */
std::string scenarios_root();

/* The PC images `make demo` runs on (demo/xp, demo/98), in the scenario format. */
std::vector<std::string> demo_folders();

#endif
