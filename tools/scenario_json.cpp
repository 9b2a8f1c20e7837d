/*
 * scenario_json - prints a scenario folder as JSON, read by the same code
 * as the unit suite reads it, so the Wine harness (wine/harness.py, used by
 * wine/run_scenarios.py and wine/demo.py) and the suite cannot read a
 * scenario differently.
 *
 *   scenario_json FOLDER     one JSON object on standard output; exit 0
 *                            a fault on standard error; exit 1
 *
 * Beyond what the reader read, the object names the run lock the program
 * takes on the scenario's Windows family ("lock_name"), from the program's
 * own header, so that the pilot holds the very mutex the program asks for.
 */
#include <cstdio>

#include "../shell/run_lock.h"
#include "../simpc/sim.h"
#include "../tests/scenario_format.h"

/* The lock's name as the program chooses it: in the Global namespace on the NT family. */
static const char *lock_name(const Scenario &s)
{
    const sim::Version *v = sim::version_named(s.version); /* the reader refused unknown names */
    return v && sim::is_win9x(*v) ? RUN_LOCK_NAME : RUN_LOCK_NAME_NT;
}

/* TEXT as a JSON string: the lock's names are ASCII, with a backslash at most. */
static std::string json_string(const char *text)
{
    std::string out = "\"";
    for (; *text; ++text) {
        if (*text == '"' || *text == '\\')
            out += '\\';
        out += *text;
    }
    return out + "\"";
}

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
    /* the reader's object ends "\n}\n": the field goes before its brace */
    std::string json = scenario_json(s);
    json.insert(json.rfind("\n}"), ",\n  \"lock_name\": " + json_string(lock_name(s)));
    fputs(json.c_str(), stdout);
    return 0;
}
