/*
 * scenario.cpp - a scenario's PC on the simulated PC, and a run checked
 * against the scenario.
 */
#include "scenario.h"

#include <algorithm>
#include <sstream>
#include "../shell/run_lock.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sys/stat.h>

#include "harness.h"
#include "../simpc/text.h"

std::string scenarios_root()
{
    const char *env = getenv("QZ_SCENARIOS");
    if (env && *env)
        return env;
    /* the suite runs from the top of the tree or from tests/ */
    struct stat st;
    if (stat("scenarios", &st) == 0)
        return "scenarios";
    return "../scenarios";
}

std::vector<std::string> demo_folders()
{
    std::string root = scenarios_root();
    std::string::size_type slash = root.find_last_of('/');
    std::string top = slash == std::string::npos ? "." : root.substr(0, slash);
    return {top + "/demo/xp", top + "/demo/98"};
}

static DWORD attribute_bits(const std::vector<std::string> &names, bool *in_use, bool *loaded)
{
    DWORD bits = 0;
    for (const std::string &n : names) {
        if (n == "readonly")
            bits |= FILE_ATTRIBUTE_READONLY;
        else if (n == "hidden")
            bits |= FILE_ATTRIBUTE_HIDDEN;
        else if (n == "system")
            bits |= FILE_ATTRIBUTE_SYSTEM;
        else if (n == "inuse")
            *in_use = true;
        else if (n == "loaded")
            *loaded = true;
    }
    return bits ? bits : FILE_ATTRIBUTE_ARCHIVE;
}

bool build_scenario_pc(const Scenario &s, std::string *error)
{
    fresh_pc(s.version);
    sim::Pc &pc = sim::pc();
    for (const std::string &reg : s.registry_files) {
        std::string text;
        if (!read_whole_file(s.folder + "/" + reg, &text)) {
            *error = "cannot read " + reg;
            return false;
        }
        std::string why;
        if (!pc.registry.import_reg(text, &why)) {
            *error = reg + ": " + why;
            return false;
        }
    }
    for (auto &link : s.links)
        pc.registry.link(link.first, link.second);
    for (const std::string &d : s.dirs)
        pc.files.add_dir(sim::expand(d));
    for (const ScenarioFile &f : s.files) {
        std::string data;
        if (!f.source.empty() && !read_whole_file(s.folder + "/files/" + f.source, &data)) {
            *error = "cannot read files/" + f.source;
            return false;
        }
        bool in_use = false, loaded = false;
        DWORD bits = attribute_bits(f.attributes, &in_use, &loaded);
        sim::FileEntry &entry = pc.files.add_file(sim::expand(f.path), data, bits);
        entry.in_use = in_use;
        entry.loaded = loaded;
    }
    pc.answers.assign(s.answers.begin(), s.answers.end());
    pc.code_page = scenario_code_page(s.locale);
    if (s.wow64)
        run_on_64bit_windows(!s.wow64_alone);
    for (const ScenarioPackage &p : s.packages)
        pc.driver_packages.push_back({p.oem_name, p.original_name, p.store_folder.empty() ? "" : sim::expand(p.store_folder),
                                      p.catalog.empty() ? "" : sim::expand(p.catalog)});
    pc.administrator = !s.standard_user;
    for (const std::string &f : s.pending_deletes)
        sim::append_pending_move(sim::expand(f), ""); /* as an earlier run of the session left it */
    for (const std::string &key : s.devices_in_use)
        pc.devices_in_use.insert(sim::fold(key.rfind("HKLM\\", 0) == 0 ? key.substr(5) : key));
    if (!s.lock.empty()) {
        /* the name the program gives its lock on this family */
        sim::Pc::Mutex &lock = program_lock();
        lock.held_elsewhere = s.lock == "held";
        lock.access_denied = lock.wait_denied = s.lock == "refused";
    }
    return true;
}

static std::string buttons_of(UINT style)
{
    return (style & MB_TYPEMASK) == MB_OKCANCEL ? "OKCANCEL" : (style & MB_TYPEMASK) == MB_OK ? "OK" : "other";
}

static std::string icon_of(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return "error";
    case MB_ICONWARNING: return "warning";
    case MB_ICONINFORMATION: return "information";
    case 0: return "none";
    default: return "other";
    }
}

static std::string show(const ExpectedBox &b)
{
    return b.buttons + " " + b.icon + " | " + b.caption + " | " + b.text;
}

static bool under(const std::string &item_path, const std::string &key)
{
    std::string k = sim::fold(key);
    if (k.rfind("HKLM\\", 0) != 0)
        k = "HKLM\\" + k;
    return item_path == k || item_path.rfind(k + "\\", 0) == 0;
}

/* The path an item of a registry snapshot line is about ("key P", "value P \"N\" ...", "link P"). */
static std::string item_path(const std::string &line)
{
    size_t sp = line.find(' ');
    std::string rest = line.substr(sp + 1);
    if (line.rfind("value ", 0) == 0)
        return rest.substr(0, rest.find(" \""));
    return rest;
}

static bool expected_registry_removal(const Scenario &s, const std::string &line)
{
    std::string path = item_path(line);
    for (const std::string &k : s.removed_keys)
        if (under(path, k))
            return true;
    if (line.rfind("value ", 0) == 0) {
        for (auto &v : s.removed_values) {
            std::string k = sim::fold(v.first);
            if (k.rfind("HKLM\\", 0) != 0)
                k = "HKLM\\" + k;
            if (line.rfind("value " + k + " \"" + sim::fold(v.second) + "\" ", 0) == 0)
                return true;
        }
    }
    return false;
}

static std::string folded_path(const std::string &path)
{
    std::string out;
    for (const std::string &part : sim::split_path(sim::expand(path)))
        out += (out.empty() ? "" : "\\") + sim::fold(part);
    return out;
}

/* A deployment tool's detection rule runs --check after the removal, in
   the same Windows session: a complete quiet removal that ended with 0 or
   3010 must leave a PC the check calls clean (0, or 3010 for what the
   restart removes), and one that left something must leave a PC the
   check says holds it (1). Without -C the service keys stay by design. */
void check_agrees_with_removal(const Scenario &s, int removal_code, std::vector<std::string> *problems)
{
    std::istringstream words(s.args);
    bool quiet = false, complete = false, check = false;
    for (std::string w; words >> w;) {
        std::string folded = sim::fold(w);
        quiet = quiet || folded == "-Q" || folded == "/Q" || folded == "--QUIET" || folded == "/QUIET";
        complete = complete || w == "-C" || w == "--complete";
        check = check || w == "--check";
    }
    bool w9x = s.version.rfind("win9", 0) == 0 || s.version == "winme";
    std::string remaining; /* the removal's own proof: the last such line of its log */
    for (const std::string &line : log_lines(s.log_file.empty() ? "" : sim::expand(s.log_file)))
        if (line.rfind("残っている項目: ", 0) == 0)
            remaining = line;
    bool left_behind = removal_code == 1603 && !remaining.empty() && remaining != "残っている項目: なし";
    if (!quiet || check || !(complete || w9x) || s.wow64 || (removal_code != 0 && removal_code != 3010 && !left_behind))
        return;
    sim::pc().answers.clear();
    int check_code = run_program("--check -Q");
    bool clean = check_code == 0 || check_code == 3010;
    if ((removal_code != 1603) != clean)
        problems->push_back("--check after the removal's " + std::to_string(removal_code) + " answered " +
                            std::to_string(check_code));
}

std::vector<std::string> run_and_check_scenario(const Scenario &s)
{
    std::vector<std::string> problems;
    std::string error;
    if (!build_scenario_pc(s, &error))
        return {"cannot build the PC: " + error};
    sim::Pc &pc = sim::pc();
    auto registry_before = pc.registry.snapshot();
    auto files_before = pc.files.snapshot();

    int code = run_program(s.args);

    if (code != s.exit_code)
        problems.push_back("exit code: expected " + std::to_string(s.exit_code) + ", got " + std::to_string(code));

    /* boxes, in order */
    size_t n = std::max(s.boxes.size(), pc.boxes.size());
    for (size_t i = 0; i < n; ++i) {
        std::string seen, expected;
        if (i < pc.boxes.size()) {
            const sim::Box &b = pc.boxes[i];
            seen = buttons_of(b.style) + " " + icon_of(b.style) + " | " + utf8(b.caption) + " | " + utf8(b.text);
        }
        if (i < s.boxes.size()) {
            const ExpectedBox &e = s.boxes[i];
            expected = show(e);
            if (e.text == "*" && i < pc.boxes.size()) {
                const sim::Box &b = pc.boxes[i];
                bool matches = buttons_of(b.style) == e.buttons && icon_of(b.style) == e.icon &&
                               utf8(b.caption) == e.caption && !b.text.empty();
                if (matches)
                    continue;
            }
        }
        if (seen != expected)
            problems.push_back("box " + std::to_string(i + 1) + ": expected [" + (expected.empty() ? "none" : expected) +
                               "], got [" + (seen.empty() ? "none" : seen) + "]");
    }
    std::vector<std::string> logged = log_lines(s.log_file.empty() ? "" : sim::expand(s.log_file));
    for (const std::string &line : s.log)
        if (std::find(logged.begin(), logged.end(), line) == logged.end())
            problems.push_back("the log has no line \"" + line + "\"");
    if (!s.log_file.empty() && pc.files.exists(log_path()))
        problems.push_back("the default log was written too, not only " + s.log_file);
    if (const sim::FileEntry *log = pc.files.find(s.log_file.empty() ? log_path() : sim::expand(s.log_file))) {
        /* the NT family's log is UTF-8 after its byte order mark, 98/Me's code page 932 without one */
        bool marked = log->data.size() >= 3 && log->data[0] == 0xEF && log->data[1] == 0xBB && log->data[2] == 0xBF;
        if (marked == sim::is_win9x(pc.version))
            problems.push_back(marked ? "the log of Windows 98/Me starts with a byte order mark"
                                      : "the log does not start with EF BB BF, the UTF-8 byte order mark");
    }
    if (!s.boxes_from.empty())
        for (const sim::Box &b : pc.boxes)
            if (b.process != s.boxes_from)
                problems.push_back("box \"" + utf8(b.text) + "\" came from " + b.process + ", not " + s.boxes_from);
    if (pc.unscripted_boxes)
        problems.push_back(std::to_string(pc.unscripted_boxes) + " OK/Cancel box(es) had no scripted answer");
    if (!pc.answers.empty())
        problems.push_back(std::to_string(pc.answers.size()) + " scripted answer(s) were not used");
    if (pc.restart_requested != s.restart)
        problems.push_back(std::string("restart: expected ") + (s.restart ? "yes" : "no") + ", got " +
                           (pc.restart_requested ? "yes" : "no"));

    /* registry: exactly the expected removals */
    auto registry_after = pc.registry.snapshot();
    for (const std::string &line : registry_before) {
        bool gone = !registry_after.count(line);
        bool expected_gone = expected_registry_removal(s, line);
        if (gone && !expected_gone)
            problems.push_back("removed but should stay: " + line);
        if (!gone && expected_gone)
            problems.push_back("still there but should be removed: " + line);
    }
    /* the files set to be deleted at the restart, and the list Windows keeps of them */
    std::set<std::string> at_restart, expected_at_restart;
    for (const std::string &f : sim::files_deleted_at_restart())
        at_restart.insert(folded_path(f));
    for (const std::string &f : s.restart_deletes)
        expected_at_restart.insert(folded_path(f));
    for (const std::string &f : s.pending_deletes)
        expected_at_restart.insert(folded_path(f)); /* still waiting */
    for (const std::string &f : expected_at_restart)
        if (!at_restart.count(f))
            problems.push_back("not set to be deleted at the restart: " + f);
    for (const std::string &f : at_restart)
        if (!expected_at_restart.count(f))
            problems.push_back("set to be deleted at the restart unexpectedly: " + f);
    for (const std::string &line : registry_after)
        if (!registry_before.count(line) && line.find("\\SESSION MANAGER \"PENDINGFILERENAMEOPERATIONS\"") == std::string::npos)
            problems.push_back("appeared: " + line);
    for (const std::string &k : s.removed_keys) {
        bool was_there = false;
        for (const std::string &line : registry_before)
            was_there = was_there || (line.rfind("key ", 0) == 0 && under(item_path(line), k));
        if (!was_there)
            problems.push_back("the image has no key " + k + " to remove");
    }

    /* files: exactly the expected removals and attribute changes */
    std::set<std::string> removed, normal;
    for (const std::string &f : s.removed_files)
        removed.insert(folded_path(f));
    for (const std::string &f : s.normal_attrs)
        normal.insert(folded_path(f));
    for (const std::string &f : s.restart_deletes)
        normal.insert(folded_path(f)); /* made normal before the deletion was tried */
    auto files_after = pc.files.snapshot();
    for (const std::string &line : files_before) {
        if (line.rfind("file ", 0) != 0) {
            std::string folder = line.substr(4); /* "dir PATH": a folder may be removed too */
            if (removed.count(folder)) {
                if (files_after.count(line))
                    problems.push_back("still there but should be removed: " + folder);
                removed.erase(folder);
            } else if (!files_after.count(line)) {
                problems.push_back("removed but should stay: " + line);
            }
            continue;
        }
        std::string path = line.substr(5, line.rfind(" attrs ") - 5);
        bool is_removed = removed.count(path) != 0;
        std::string expected_line = normal.count(path) ? "file " + path + " attrs 0" : line;
        if (is_removed) {
            if (pc.files.exists(path))
                problems.push_back("still there but should be removed: " + path);
            removed.erase(path);
        } else if (!files_after.count(expected_line)) {
            problems.push_back(pc.files.exists(path) ? "attributes changed unexpectedly: " + path
                                                     : "removed but should stay: " + path);
        }
    }
    for (const std::string &path : removed)
        problems.push_back("the image has no file " + path + " to remove");
    /* every run adds to its log (looked at above), and may move an earlier one aside */
    std::string log = s.log_file.empty() ? log_path() : s.log_file;
    std::string old_log = folded_path(log.substr(0, log.rfind('.')) + ".old" + log.substr(log.rfind('.')));
    log = folded_path(log);
    for (const std::string &line : files_after)
        if (!files_before.count(line) && line.rfind("file ", 0) == 0) {
            std::string path = line.substr(5, line.rfind(" attrs ") - 5);
            if (!normal.count(path) && path != log && path != old_log)
                problems.push_back("appeared or changed: " + line);
        }

    /* what the run holds must be released */
    if (!pc.local_blocks.empty())
        problems.push_back(std::to_string(pc.local_blocks.size()) + " LocalAlloc block(s) not freed");
    if (!pc.key_handles.empty())
        problems.push_back(std::to_string(pc.key_handles.size()) + " registry key(s) not closed");
    for (auto &kv : pc.libraries)
        if (kv.second.load_count != 0)
            problems.push_back("library " + kv.first + " still loaded");
    return problems;
}
