/*
 * scenario_json - prints a scenario folder as JSON, read by the same code
 * as the unit suite reads it, so the Wine harness (wine/run_scenarios.py,
 * wine/demo.py) and the suite cannot read a scenario differently.
 *
 *   scenario_json FOLDER     one JSON object on standard output; exit 0
 *                            a fault on standard error; exit 1
 */
#include <cstdio>

#include "../tests/scenario_format.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: scenario_json FOLDER\n");
        return 2;
    }
    Scenario s;
    std::string error;
    if (!load_scenario(argv[1], &s, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    fputs(scenario_json(s).c_str(), stdout);
    return 0;
}
