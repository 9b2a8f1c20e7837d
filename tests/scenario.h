/*
 * scenario.h - scenario folders (scenarios/README.md) on the simulated PC:
 * laying a scenario's PC down, running the program, checking the result.
 * The format itself is read by scenario_format.cpp.
 */
#ifndef QZ_TESTS_SCENARIO_H
#define QZ_TESTS_SCENARIO_H

#include "scenario_format.h"

/* Lays the scenario's PC down on a fresh simulated PC; false and *error if it cannot. */
bool build_scenario_pc(const Scenario &s, std::string *error);

/* Runs the program and compares with the expectations: every difference, one line each. */
std::vector<std::string> run_and_check_scenario(const Scenario &s);

/* After a complete quiet removal that ran as the scenario says: --check in
   the same session must agree with the removal's exit code. */
void check_agrees_with_removal(const Scenario &s, int removal_code, std::vector<std::string> *problems);

/* The scenarios folder of the source tree (QZ_SCENARIOS overrides it). */
std::string scenarios_root();

/* The PC images `make demo` runs on (demo/xp, demo/98), in the scenario format. */
std::vector<std::string> demo_folders();

#endif
