/*
 * scenario_format.h - reading scenario folders (scenarios/README.md).
 *
 * A scenario names a Windows version, a PC image (REGEDIT4 text, files),
 * the command line and the answers, and what must happen: the boxes in
 * order, the exit code and exactly what is removed. This is the one reader
 * of the format: the unit suite uses it directly, the Wine harness through
 * build/native/scenario_json, which prints what it read as JSON.
 */
#ifndef QZ_TESTS_SCENARIO_FORMAT_H
#define QZ_TESTS_SCENARIO_FORMAT_H

#include <string>
#include <utility>
#include <vector>

struct ExpectedBox {
    std::string buttons; /* OK or OKCANCEL */
    std::string icon;    /* error, warning or none */
    std::string caption; /* UTF-8 */
    std::string text;    /* UTF-8, "\n" escapes resolved; "*" = the system's error text */
};

struct ScenarioFile {
    std::string path; /* as written: %WINDIR%\..., %SYSDIR%\... */
    std::vector<std::string> attributes; /* readonly, hidden, system, inuse */
    std::string source; /* a file of the scenario's files/ folder, or "" */
};

/* A driver package published in the INF folder (simulated PC only: Wine
   keeps no driver store); paths as written, "" for none. */
struct ScenarioPackage {
    std::string oem_name, original_name, store_folder, catalog;
};

struct Scenario {
    std::string name;
    std::string folder;
    std::string title;
    std::string version = "winxp";
    std::string args;
    std::vector<std::string> registry_files; /* relative to the scenario folder */
    std::vector<std::string> dirs;
    std::vector<ScenarioFile> files;
    std::vector<int> answers; /* IDOK or IDCANCEL */
    std::vector<ExpectedBox> boxes;
    int exit_code = 0;
    std::vector<std::string> removed_keys;
    std::vector<std::pair<std::string, std::string>> removed_values; /* key, value name */
    std::vector<std::string> removed_files;
    std::vector<std::string> normal_attrs;
    std::vector<std::string> restart_deletes; /* files set to be deleted at the restart */
    std::vector<std::string> pending_deletes; /* ones an earlier run of the session set so */
    bool restart = false;
    std::vector<std::pair<std::string, std::string>> links;
    std::string sim_only;
    std::string wine_todo;
    std::vector<std::string> wine_keeps; /* files Windows removes and Wine keeps (the wine-todo's difference) */
    bool wow64 = false;     /* 64-bit Windows: the 32-bit program hands over to the 64-bit one */
    bool wow64_alone = false; /* ... and QZUninst64.exe is not beside it */
    std::string locale = "ja_JP.UTF-8"; /* the Windows language: Wine's LANG; the simulated PC's code page */
    std::string boxes_from; /* the image name every box's process must have, or "" */
    std::vector<std::string> log;           /* lines the run's log must hold (UTF-8) */
    std::string log_file;                   /* where the log is (--log), as written; "": the default log */
    std::vector<ScenarioPackage> packages;
    bool standard_user = false;             /* the program runs without administrator rights */
    std::vector<std::string> devices_in_use; /* instance keys of devices plugged in and open */
    std::string lock;                       /* "held": another copy holds the run lock; "refused":
                                               one running as another user made it; "" */
};

/* Reads FOLDER/scenario (and what it includes); false and *error on a fault. */
bool load_scenario(const std::string &folder, Scenario *out, std::string *error);

/* Every folder under `root` that holds a `scenario` file, sorted. */
std::vector<std::string> scenario_folders(const std::string &root);

/* The whole file, as bytes; false when it cannot be read. */
bool read_whole_file(const std::string &path, std::string *out);

/* The scenario as one JSON object (UTF-8), as build/native/scenario_json prints it. */
std::string scenario_json(const Scenario &s);

/* The system code page of a `locale` line's language; 0 for one the scenarios do not know. */
unsigned scenario_code_page(const std::string &locale);

#endif
