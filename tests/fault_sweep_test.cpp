/*
 * fault_sweep_test.cpp - every platform call of every scenario, failed in turn.
 *
 * Each scenario is run once as written (every report it expects must be
 * made, so a report its data alone calls for is swept too) and once to
 * count the simulated calls it makes, then once more for every call index k with call k failing (with the error
 * typical of that function, and again with "not found"; a registry key's
 * deletion also once lost, yet reported done). Every rerun must:
 *   - end as the main flow says: exit code 0 and the closing box last
 *     (unless the fault hit the version query or a message box);
 *   - report the injected failure at once, under the caption of the
 *     function that failed; only the call sites of silent_failures.txt
 *     may fail without a report, and a failure anywhere else that shows
 *     nothing fails the sweep, naming the function and the step;
 *   - release every LocalAlloc block, registry key, INF file, device set
 *     and kernel handle (but the one whose release failed), and every
 *     library (but those a failed binding leaves loaded);
 *   - remove nothing that the fault-free run does not remove.
 */
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "call_sites.h"
#include "harness.h"
#include "scenario.h"
#include "../shell/uninstaller.h"
#include "../simpc/text.h"

namespace {

/* One line of silent_failures.txt. */
struct SilentSite {
    std::string function;
    std::string step; /* "*": any */
    std::set<DWORD> errors; /* empty: any */
};

struct SilentList {
    std::set<std::string> helpers;
    std::vector<SilentSite> sites;
};

SilentList load_silent_list()
{
    SilentList list;
    std::string root = scenarios_root();
    std::ifstream in(root.substr(0, root.size() - std::string("scenarios").size()) + "tests/silent_failures.txt");
    EXPECT_TRUE(in.good()) << "tests/silent_failures.txt cannot be read";
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first[0] == '#')
            continue;
        if (first == "helper") {
            std::string name;
            while (words >> name)
                list.helpers.insert(name);
            continue;
        }
        SilentSite site;
        std::string errors;
        site.function = first;
        words >> site.step >> errors;
        if (errors != "any") {
            std::istringstream numbers(errors);
            std::string n;
            while (std::getline(numbers, n, ','))
                site.errors.insert((DWORD)std::stoul(n));
        }
        list.sites.push_back(site);
    }
    return list;
}

const SilentList &silent_list()
{
    static const SilentList list = load_silent_list();
    return list;
}

/* The function of the program that made the failing call `function`: the
   first frame past the simulated call itself that is not a helper. */
std::string step_of(const std::string &function, const std::vector<void *> &stack)
{
    std::vector<std::string> names = function_names(stack);
    size_t at = 0;
    while (at < names.size() && names[at] != function)
        ++at;
    for (++at; at < names.size(); ++at)
        if (!silent_list().helpers.count(names[at]))
            return names[at];
    return "?";
}

bool is_silent(const std::string &function, const std::string &step, DWORD error)
{
    for (const SilentSite &site : silent_list().sites)
        if (site.function == function && (site.step == "*" || site.step == step) &&
            (site.errors.empty() || site.errors.count(error)))
            return true;
    return false;
}

struct RunResult {
    int exit_code = 0;
    std::vector<sim::Box> boxes;
    std::set<std::string> registry_before, registry_after, files_before, files_after;
    size_t calls = 0;
    std::vector<std::string> functions; /* of every call, in order */
    std::set<long> refused; /* calls the PC refused by its own rules */
    bool lost = false;      /* the fault was a deletion lost, yet reported done */
    bool follow_up_fired = false; /* the cleanup after the fault failed too (FreeLibrary) */
    std::optional<sim::CallRecord> fault;
    DWORD error = 0;
    std::string step; /* the function of the program that made the failing call */
    bool asking_for_wow64 = false; /* the call was made on the way to IsWow64Process */
    size_t leaked_blocks = 0, open_keys = 0, open_infs = 0, open_sets = 0, open_handles = 0, locks_held = 0;
    std::map<std::string, int> loaded;
    std::vector<std::string> reports; /* captions of the failures reported: boxes, or the log of a quiet run */
    bool left_behind = false;         /* the check after the removal found something left */
};

/* A quiet run's reports are in its log; any other run's in its boxes, and
   in its log those of the check after the removal. */
std::vector<std::string> reported_captions(bool quiet, const std::string &log_file)
{
    if (quiet) {
        /* a block that --log's file did not take is in the default log */
        std::vector<std::string> out = logged_error_captions();
        if (!log_file.empty())
            for (const std::string &caption : logged_error_captions(sim::expand(log_file)))
                out.push_back(caption);
        return out;
    }
    std::vector<std::string> out;
    for (const sim::Box &b : sim::pc().boxes)
        if (b.caption.rfind("Function : ", 0) == 0)
            out.push_back(b.caption);
    for (const std::string &caption : held_back_captions())
        out.push_back(caption); /* the check after the removal shows no box */
    return out;
}

bool is_quiet(const Scenario &s)
{
    return tail_has_quiet_word(s.args.c_str()) != 0;
}

RunResult run_with_fault(const Scenario &s, long k, DWORD error, const std::string &follow_up = "")
{
    RunResult r;
    std::string why;
    if (!build_scenario_pc(s, &why)) {
        ADD_FAILURE() << s.name << ": " << why;
        return r;
    }
    sim::Pc &pc = sim::pc();
    r.registry_before = pc.registry.snapshot();
    r.files_before = pc.files.snapshot();
    pc.faults.calls.clear();
    pc.faults.fail_call_index(k, error);
    pc.faults.follow_up = follow_up;
    r.exit_code = run_program(s.args);
    r.follow_up_fired = pc.faults.follow_up_fired;
    r.boxes = pc.boxes;
    r.registry_after = pc.registry.snapshot();
    r.files_after = pc.files.snapshot();
    r.calls = pc.faults.calls.size();
    for (const sim::CallRecord &c : pc.faults.calls)
        r.functions.push_back(c.function);
    r.refused = pc.faults.refused_calls;
    r.lost = error == sim::LOST_WRITE;
    r.fault = pc.faults.index_fault;
    r.error = pc.faults.index_error;
    if (r.fault) {
        r.step = step_of(r.fault->function, pc.faults.index_fault_stack);
        std::vector<std::string> frames = function_names(pc.faults.index_fault_stack);
        r.asking_for_wow64 = std::find(frames.begin(), frames.end(), "running_under_wow64") != frames.end();
    }
    r.leaked_blocks = pc.local_blocks.size();
    r.open_handles = pc.kernel_handles.size();
    for (auto &m : pc.mutexes)
        r.locks_held += m.second.owned ? 1 : 0;
    r.reports = reported_captions(is_quiet(s), s.log_file);
    for (const std::string &line : log_lines(s.log_file.empty() ? "" : sim::expand(s.log_file)))
        r.left_behind = r.left_behind || (line.rfind("残っている項目: ", 0) == 0 && line != "残っている項目: なし");
    r.open_keys = pc.key_handles.size();
    r.open_infs = pc.inf_handles.size();
    r.open_sets = pc.device_sets.size();
    for (auto &kv : pc.libraries)
        if (kv.second.load_count)
            r.loaded[kv.first] = kv.second.load_count;
    return r;
}

/* The caption a failure of this function is reported under; "" for a failure that means absence. */
std::string caption_for(const std::string &function)
{
    static const std::map<std::string, std::string> captions = {
        {"GetVersionExA", "Function : GetVersionEx()"},
        {"LoadLibraryA", "Function : LoadLibrary()"},
        {"GetProcAddress", "Function : GetProcAddress()"},
        {"FreeLibrary", "Function : FreeLibrary()"},
        {"SetupDiGetClassDevsA", "Function : SetupDiGetClassDevs()"},
        {"SetupDiEnumDeviceInfo", "Function : Unknown"},
        {"SetupDiGetDeviceRegistryPropertyA", "Function : GetDeviceRegistryProperty()"},
        {"SetupDiCallClassInstaller", "Function : CallClassInstaller()"},
        {"SetupDiGetDeviceInstallParamsA", "Function : SetupDiGetDeviceInstallParams()"},
        {"SetupUninstallOEMInfA", "Function : SetupUninstallOEMInf()"},
        {"LocalAlloc", "Function : LocalAlloc()"},
        {"RegOpenKeyExA", "Function : RegOpenKeyEx()"},
        {"RegCloseKey", "Function : RegCloseKey()"},
        {"RegDeleteKeyA", "Function : RegDeleteKey()"},
        {"SetFileAttributesA", "Function : SetFileAttributes()"},
        {"DeleteFileA", "Function : DeleteFile()"},
        {"GetFileAttributesA", "Function : GetFileAttributes()"},
        {"MoveFileExA", "Function : DeleteFile()"}, /* a file in use that cannot wait for the restart */
        {"FindFirstFileA", "Function : FindFirstFile()"},
        {"FindNextFileA", "Function : FindNextFile()"},
        {"GetSystemDirectoryA", "Function : GetSystemDirectory()"},
        {"GetWindowsDirectoryA", "Function : GetWindowsDirectory()"},
        {"CreateProcessA", "Function : CreateProcess()"},
        {"GetModuleFileNameA", "Function : CreateProcess()"}, /* no path: the program cannot be started */
        {"WaitForSingleObject", "Function : WaitForSingleObject()"},
        {"GetExitCodeProcess", "Function : GetExitCodeProcess()"},
        {"CreateMutexA", "Function : CreateMutex()"},
    };
    auto it = captions.find(function);
    return it == captions.end() ? "" : it->second;
}

/* The failures a run reported that the fault-free run did not, in order. */
std::vector<std::string> new_reports(const std::vector<std::string> &clean, const std::vector<std::string> &faulty)
{
    std::multiset<std::string> seen(clean.begin(), clean.end());
    std::vector<std::string> out;
    for (const std::string &caption : faulty) {
        auto it = seen.find(caption);
        if (it != seen.end())
            seen.erase(it);
        else
            out.push_back(caption);
    }
    return out;
}

std::vector<std::string> added(const std::set<std::string> &from, const std::set<std::string> &to)
{
    std::vector<std::string> out;
    for (const std::string &line : to)
        if (!from.count(line))
            out.push_back(line);
    return out;
}

/* What went wrong in one rerun, against the fault-free run; empty when every promise held. */
std::vector<std::string> check_rerun(const Scenario &s, const RunResult &clean, const RunResult &r, long *consequential)
{
    std::vector<std::string> problems;
    if (!r.fault)
        return problems;
    const std::string &fn = r.fault->function;
    bool quiet = is_quiet(s);
    bool box_fault = fn == "MessageBoxA";
    bool version_fault = fn == "GetVersionExA";
    /* a lock that cannot be made or waited for: the run is refused */
    bool lock_fault = r.step == "take_run_lock" && (fn == "CreateMutexA" || fn == "WaitForSingleObject");
    /* a 32-bit program that cannot start the 64-bit one ends the run: it would leave devices without a driver */
    bool start_fault = fn == "CreateProcessA" || (fn == "GetModuleFileNameA" && r.step == "sibling_64bit_path");
    /* a 32-bit program that cannot tell it runs under WOW64 goes on as on 32-bit Windows */
    bool wow64_unknown = r.asking_for_wow64;
    std::vector<std::string> extra = new_reports(clean.reports, r.reports);
    /* a 32-bit program that cannot learn how the 64-bit one ended says so
       after that one's closing box, and cannot end with its code */
    bool after_hand_over = r.step == "wait_for_exit_code";

    /* the run ends as the main flow says */
    if (version_fault) {
        if (r.exit_code != -1)
            problems.push_back("a failed version query must end with -1, got " + std::to_string(r.exit_code));
    } else if (after_hand_over) {
        if (r.exit_code != (quiet ? 1603 : 0))
            problems.push_back("an unknown exit code of the 64-bit program must end the run with " +
                               std::string(quiet ? "1603" : "0") + ", got " + std::to_string(r.exit_code));
    } else if (lock_fault || start_fault) {
        if (r.exit_code != (quiet ? 1603 : -1))
            problems.push_back(std::string(lock_fault ? "a lock that cannot be taken" : "a 64-bit program that cannot start") +
                               " must refuse the run, got " + std::to_string(r.exit_code));
    } else if (s.args.find("--check") != std::string::npos) {
        /* an examination that reported a failure cannot tell: 1603; one that
           cannot see an item (a silent failure) may find nothing */
        bool ok = !extra.empty() ? r.exit_code == 1603 : (r.exit_code == clean.exit_code || r.exit_code == 0);
        if (!ok)
            problems.push_back("check: exit code " + std::to_string(r.exit_code) + " after " +
                               std::to_string(extra.size()) + " new reported failure(s)");
    } else if (quiet) {
        /* a reported failure gives 1603, and so does a silent one that left
           something the check after the removal finds; else it may still
           spare a restart */
        bool ok = !extra.empty() || r.left_behind ? r.exit_code == 1603
                                                  : (r.exit_code == clean.exit_code || r.exit_code == 0 ||
                                                     r.exit_code == 3010);
        if (!ok)
            problems.push_back("quiet run: exit code " + std::to_string(r.exit_code) + " after " +
                               std::to_string(extra.size()) + " new reported failure(s)");
    } else if (wow64_unknown && s.wow64_alone) {
        /* taken for 32-bit Windows, it asks its question, which nothing answers */
        if (r.exit_code != 0)
            problems.push_back("exit code " + std::to_string(r.exit_code) + " after an unanswered confirmation");
    } else if (r.exit_code != s.exit_code) {
        problems.push_back("exit code " + std::to_string(r.exit_code) + ", expected " + std::to_string(s.exit_code));
    }
    /* a failed version query leaves the command line unread: its boxes show */
    if (quiet && !version_fault && !r.boxes.empty())
        problems.push_back("a quiet run showed a box: " + r.boxes.front().caption);
    if (!quiet && !box_fault && !version_fault && !lock_fault && !start_fault && !wow64_unknown && !after_hand_over &&
        !clean.boxes.empty() &&
        !r.boxes.empty()) {
        const std::string &last = clean.boxes.back().caption;
        bool closing_clean = clean.boxes.back().caption == r.boxes.back().caption;
        if (!closing_clean && last.rfind("Function : ", 0) != 0)
            problems.push_back("the run did not end with the program's closing box");
    }

    /* the failure is reported at once, under the failing function's caption,
       unless silent_failures.txt lists its call site; reports after it belong
       to later calls that failed because of it (a step retried by the second
       product's pass), and are counted, not failed */
    if (!box_fault) {
        std::string expected = caption_for(fn);
        /* a lost deletion cannot be seen but by a walk that asks for the same
           index again after a deletion: there the key comes back */
        bool silent = r.lost ? r.step != "delete_child_keys" && r.step != "remove_matching_port_instances"
                             : is_silent(fn, r.step, r.error);
        std::string site = fn + " in " + r.step;
        /* a program that could not start the 64-bit one anyway ends with the same report */
        bool same_end = start_fault && r.reports == clean.reports &&
                        std::count(r.reports.begin(), r.reports.end(), expected) == 1;
        if (!silent && extra.empty() && !same_end)
            problems.push_back("the failure of " + site + " was swallowed: no " + (quiet ? "log entry" : "box") +
                               ", and " + site + " is not in tests/silent_failures.txt");
        if (!extra.empty() && extra.front() != expected) {
            /* an enumeration cut short leaves a key with subkeys that NT then refuses to delete */
            bool consequence = silent && extra.front() != caption_for(fn);
            if (!consequence)
                problems.push_back("new report \"" + extra.front() + "\", expected \"" + expected + "\"");
        }
        if (r.follow_up_fired && std::find(extra.begin(), extra.end(), "Function : FreeLibrary()") == extra.end())
            problems.push_back("a library that could not be freed after the failure was not reported");
        if (extra.size() > 1)
            ++*consequential;
    }

    /* everything taken is given back */
    if (r.leaked_blocks > (fn == "LocalFree" ? 1u : 0u))
        problems.push_back(std::to_string(r.leaked_blocks) + " LocalAlloc block(s) leaked");
    if (r.open_handles > (fn == "CloseHandle" || fn == "FindClose" ? 1u : 0u))
        problems.push_back(std::to_string(r.open_handles) + " kernel handle(s) left open");
    if (r.locks_held > (fn == "ReleaseMutex" ? 1u : 0u))
        problems.push_back("the run lock was not given back");
    if (r.open_keys > (fn == "RegCloseKey" ? 1u : 0u))
        problems.push_back(std::to_string(r.open_keys) + " registry key(s) left open");
    if (r.open_infs)
        problems.push_back(std::to_string(r.open_infs) + " INF file(s) left open");
    if (r.open_sets > (fn == "SetupDiDestroyDeviceInfoList" ? 1u : 0u))
        problems.push_back(std::to_string(r.open_sets) + " device set(s) left open");
    bool binding_fault = fn == "LoadLibraryA" || fn == "GetProcAddress" || fn == "FreeLibrary" ||
                         r.step == "system_library_path";
    if (!r.loaded.empty() && !binding_fault)
        problems.push_back("library " + r.loaded.begin()->first + " left loaded");

    /* a fault never makes the program remove more */
    for (const std::string &line : added(r.registry_after, r.registry_before))
        if (clean.registry_after.count(line))
            problems.push_back("removed only under the fault: " + line);
    for (const std::string &line : added(r.registry_before, r.registry_after))
        if (!clean.registry_after.count(line))
            problems.push_back("appeared under the fault: " + line);
    /* when the 32-bit program cannot tell whether it runs under WOW64, it
       takes it that it does not and goes on by itself: Windows points its
       system folder at SysWOW64 (tests/silent_failures.txt) */
    bool went_on_under_wow64 = wow64_unknown;
    std::string syswow64 = "FILE " + sim::fold(sim::pc().windows_dir + "\\SysWOW64\\");
    for (const std::string &line : added(r.files_after, r.files_before))
        if (clean.files_after.count(line) && !(went_on_under_wow64 && sim::fold(line).rfind(syswow64, 0) == 0))
            problems.push_back("removed only under the fault: " + line);
    for (const std::string &line : added(r.files_before, r.files_after)) {
        if (clean.files_after.count(line))
            continue;
        /* a file whose deletion failed keeps the normal attributes it was given first */
        std::string path = line.substr(0, line.rfind(" attrs "));
        bool removed_when_clean = true;
        for (const std::string &c : clean.files_after)
            removed_when_clean = removed_when_clean && c.rfind(path + " attrs ", 0) != 0;
        if (removed_when_clean && line.size() > 8 && line.substr(line.size() - 8) == " attrs 0")
            continue;
        problems.push_back("changed only under the fault: " + line);
    }
    return problems;
}

} // namespace

TEST(FaultSweep, EveryFailureOfEveryCallIsHandled)
{
    int scenarios = 0;
    long injected = 0, held = 0, consequential = 0;
    std::map<std::string, int> failures_shown;
    std::vector<std::string> folders = scenario_folders(scenarios_root());
    ASSERT_FALSE(folders.empty()) << "no scenario folder under " << scenarios_root();
    for (const std::string &demo : demo_folders())
        folders.push_back(demo);
    for (const std::string &folder : folders) {
        Scenario s;
        std::string error;
        ASSERT_TRUE(load_scenario(folder, &s, &error)) << error;
        /* the fault-free run first: as the scenario says (a report it expects
           that is not made fails here), and as the baseline of every rerun */
        std::vector<std::string> as_written = run_and_check_scenario(s);
        if (!as_written.empty())
            ADD_FAILURE() << s.name << ", without a fault: " << as_written.front();
        RunResult clean = run_with_fault(s, 0, 0);
        ++scenarios;
        for (DWORD error_code : {DWORD(0), DWORD(ERROR_FILE_NOT_FOUND), sim::LOST_WRITE}) {
            for (long k = 1; k <= (long)clean.calls; ++k) {
                if (clean.refused.count(k))
                    continue; /* it fails already: a fault there would change nothing */
                if (error_code == sim::LOST_WRITE && clean.functions[k - 1] != "RegDeleteKeyA")
                    continue; /* only a deletion can be lost */
                /* a failed binding frees its library again: that fails too, once */
                bool binding = clean.functions[k - 1] == "GetProcAddress" && error_code == ERROR_FILE_NOT_FOUND;
                RunResult r = run_with_fault(s, k, error_code, binding ? "FreeLibrary" : "");
                if (!r.fault)
                    continue;
                ++injected;
                std::vector<std::string> problems = check_rerun(s, clean, r, &consequential);
                if (problems.empty()) {
                    ++held;
                    continue;
                }
                std::string key = s.name + ":" + r.fault->function;
                if (failures_shown[key]++ < 2) { /* two examples per scenario and function are enough */
                    std::string all;
                    for (const std::string &p : problems)
                        all += "\n    " + p;
                    ADD_FAILURE() << s.name << ": call " << k << " " << r.fault->function << "(" << r.fault->argument
                                  << ") in " << r.step << (r.lost ? " lost" : " failing with " + std::to_string(r.error))
                                  << ":" << all;
                }
                if (getenv("QZ_SWEEP_FIRST_FAILURE"))
                    return; /* one failure says enough (tools/report-mutants.py) */
            }
        }
    }
    std::cout << "fault sweep: " << scenarios << " scenarios, " << injected << " injected faults, " << held
              << " held" << (held == injected ? " (all)" : "") << "; " << consequential
              << " of them led to further reported failures of later calls" << std::endl;
    EXPECT_EQ(held, injected);
}
