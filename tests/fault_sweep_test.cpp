/*
 * fault_sweep_test.cpp - every platform call of every scenario, failed in turn.
 *
 * Each scenario is run once as written (every report it expects must be
 * made, so a report its data alone calls for is swept too) and once to
 * count the simulated calls it makes, then once more for every call index k with call k failing (with the error
 * typical of that function, with "not found", and with every error a
 * silence of tests/silent_failures.txt lists for it; an enumeration also
 * told that a value does not fit, a registry key's deletion also once
 * lost, yet reported done). Every rerun must:
 *   - end with the exit code its outcome gives (a quiet run: 1603 after a
 *     report or with something left, else 3010 for a restart, else 0), ask
 *     for the restart exactly when what it did needs one, and count in the
 *     log's "失敗の報告" line the failures it logged (and the boxes shown);
 *   - report the injected failure at once, under the caption of the
 *     function that failed, followed by no report but a parent key's or a
 *     library's that it kept; only the call sites of silent_failures.txt
 *     may fail without a report, and a failure anywhere else that shows
 *     nothing fails the sweep, naming the function and the step, and so
 *     does an entry of the list that no rerun needed;
 *   - release every LocalAlloc block, registry key, INF file, device set
 *     and kernel handle (but the one whose release failed), and every
 *     library (but those a failed binding leaves loaded);
 *   - remove nothing that the fault-free run does not remove.
 * A report of the fault-free run may be missing: the fault can keep the
 * program from reaching its object.
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
    std::string line;
    long used = 0; /* reruns that stayed silent by this entry */
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
        SilentSite site{first, "", {}, line};
        std::string errors;
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

SilentList &silent_list()
{
    static SilentList list = load_silent_list();
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

/* The entry that lets this failure pass without a report, or null. */
SilentSite *silent_site(const std::string &function, const std::string &step, DWORD error)
{
    for (SilentSite &site : silent_list().sites)
        if (site.function == function && (site.step == "*" || site.step == step) &&
            (site.errors.empty() || site.errors.count(error)))
            return &site;
    return nullptr;
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
    bool binding_hand_over = false; /* a lookup of the W functions that start the 64-bit program */
    size_t leaked_blocks = 0, open_keys = 0, open_infs = 0, open_sets = 0, open_handles = 0, locks_held = 0;
    std::map<std::string, int> loaded;
    std::vector<std::string> reports; /* captions of the failures reported: boxes, or the log of a quiet run */
    bool left_behind = false;         /* the check after the removal found something left */
    int found = -1;                   /* --check: the log lists something found (1), nothing (0), no line (-1) */
    bool waiting = false;             /* --check: the log lists what waits for the restart */
    bool restart_asked = false;       /* the log says a restart is needed ("再起動: 必要 ...") */
    bool failed_on_registry = false, failed_on_service = false; /* a key the removal reported */
    int count_lines = 0, counted = 0, logged_before_count = 0; /* "失敗の報告: N 件": their N, and the failures before */
    size_t moves_before = 0, moves_after = 0;                  /* files Windows deletes at the restart */
};

/* What the blocks of one log say: the totals, what is left, the restart. */
void read_log_words(const std::vector<std::string> &lines, RunResult *r)
{
    static const std::string message = "メッセージ [Function : ", count = "失敗の報告: ";
    int logged = 0;        /* failures in this block so far */
    bool removal_done = false; /* past the block's count: the check after the removal */
    for (const std::string &line : lines) {
        if (line.rfind("======== 開始 ", 0) == 0)
            logged = removal_done = 0;
        logged += line.rfind(message, 0) == 0;
        if (!removal_done && line.rfind("対象: HKLM\\", 0) == 0) {
            r->failed_on_registry = true;
            /* SYSTEM itself: the control sets the service step walks could not be listed */
            r->failed_on_service = r->failed_on_service || sim::fold(line).find("\\SERVICES\\") != std::string::npos ||
                                   sim::fold(line).find("HKLM\\SYSTEM") + 11 == line.size();
        }
        if (line.rfind(count, 0) == 0) {
            removal_done = true;
            ++r->count_lines;
            r->counted += std::atoi(line.c_str() + count.size());
            r->logged_before_count += logged;
        }
        r->left_behind = r->left_behind || (line.rfind("残っている項目: ", 0) == 0 && line != "残っている項目: なし");
        if (line.rfind("検出した項目: ", 0) == 0)
            r->found = line != "検出した項目: なし";
        r->waiting = r->waiting || line.rfind("再起動時に削除される項目: ", 0) == 0;
        r->restart_asked = r->restart_asked || line.rfind("再起動: 必要", 0) == 0;
    }
}

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
    std::vector<std::string> out = error_captions();
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
    r.moves_before = sim::files_deleted_at_restart().size();
    r.exit_code = run_program(s.args);
    r.moves_after = sim::files_deleted_at_restart().size();
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
        auto lookup = std::find(frames.begin(), frames.end(), "system_function");
        std::string looked_up_for = lookup != frames.end() && lookup + 1 != frames.end() ? lookup[1] : "";
        r.binding_hand_over = looked_up_for == "sibling_64bit_path" || looked_up_for == "hand_over_to_64bit";
    }
    r.leaked_blocks = pc.local_blocks.size();
    r.open_handles = pc.kernel_handles.size();
    for (auto &m : pc.mutexes)
        r.locks_held += m.second.owned ? 1 : 0;
    r.reports = reported_captions(is_quiet(s), s.log_file);
    read_log_words(log_lines(), &r);
    if (!s.log_file.empty())
        read_log_words(log_lines(sim::expand(s.log_file)), &r);
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
        {"RegDeleteValueA", "Function : RegDeleteValue()"},
        {"RegEnumValueA", "Function : RegEnumValue()"},
        {"SetFileAttributesA", "Function : SetFileAttributes()"},
        {"DeleteFileA", "Function : DeleteFile()"},
        {"GetFileAttributesA", "Function : GetFileAttributes()"},
        {"MoveFileExA", "Function : DeleteFile()"}, /* a file in use that cannot wait for the restart */
        {"FindFirstFileA", "Function : FindFirstFile()"},
        {"FindNextFileA", "Function : FindNextFile()"},
        {"GetSystemDirectoryA", "Function : GetSystemDirectory()"},
        {"GetWindowsDirectoryA", "Function : GetWindowsDirectory()"},
        {"CreateProcessW", "Function : CreateProcess()"},
        {"GetModuleFileNameW", "Function : CreateProcess()"}, /* no path: the program cannot be started */
        {"WaitForSingleObject", "Function : WaitForSingleObject()"},
        {"GetExitCodeProcess", "Function : GetExitCodeProcess()"},
        {"CreateMutexA", "Function : CreateMutex()"},
        {"LoadLibraryExA", "Function : LoadLibrary()"},
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

/* Whether what the run did needs the restart: a service key (98/Me: any
   key) gone, reported done though lost, or failing to go; a file deleted
   at the restart; an open device removed, its install parameters read. */
bool restart_expected(const RunResult &r)
{
    bool w9x = sim::is_win9x(sim::pc().version), registry_went = r.lost, device_waits = false;
    bool service_went = r.lost && sim::fold(r.fault->argument).find("\\SERVICES\\") != std::string::npos;
    for (const std::string &line : added(r.registry_after, r.registry_before)) {
        registry_went = true;
        service_went = service_went || line.find("\\SERVICES\\") != std::string::npos;
    }
    bool params_failed = r.fault && r.fault->function == "SetupDiGetDeviceInstallParamsA";
    for (const std::string &d : sim::pc().devices_in_use)
        device_waits |= r.registry_before.count("key HKLM\\" + d) && !r.registry_after.count("key HKLM\\" + d) &&
                        !(params_failed && sim::fold(r.fault->argument) == d);
    return w9x ? registry_went || r.failed_on_registry
               : service_went || r.failed_on_service || r.moves_after > r.moves_before || device_waits;
}

/* What went wrong in one rerun, against the fault-free run; empty when every promise held. */
std::vector<std::string> check_rerun(const Scenario &s, const RunResult &clean, const RunResult &r, long *consequential)
{
    std::vector<std::string> problems;
    if (!r.fault)
        return problems;
    const std::string &fn = r.fault->function;
    bool quiet = is_quiet(s);
    bool box_fault = fn == "MessageBoxA" || fn == "MessageBoxW";
    bool version_fault = fn == "GetVersionExA";
    /* a lock that cannot be made or waited for: the run is refused */
    bool lock_fault = (r.step == "take_run_lock" || r.step == "make_lock") && (fn == "CreateMutexA" || fn == "WaitForSingleObject");
    /* a 32-bit program that cannot start the 64-bit one ends the run: it would leave devices without a driver */
    bool start_fault = fn == "CreateProcessW" || (fn == "GetModuleFileNameW" && r.step == "sibling_64bit_path") ||
                       r.binding_hand_over;
    /* a 32-bit program that cannot tell it runs under WOW64 goes on as on 32-bit Windows */
    bool wow64_unknown = r.asking_for_wow64;
    std::vector<std::string> extra = new_reports(clean.reports, r.reports);
    /* a 32-bit program that cannot learn how the 64-bit one ended says so
       after that one's closing box, and cannot end with its code */
    bool after_hand_over = r.step == "wait_for_exit_code";
    bool check = s.args.find("--check") != std::string::npos;
    bool restart = restart_expected(r);
    bool binding_fault = fn == "LoadLibraryA" || fn == "LoadLibraryExA" || fn == "GetProcAddress" || fn == "FreeLibrary" ||
                         r.step == "system_library_path";
    /* a write of the log that failed lost the lines of the steps before it */
    bool log_cut = r.step == "write_to_log";
    /* the removal ran and its log was written: its totals and its restart line are there */
    if (r.count_lines && !check && !after_hand_over && !log_cut) {
        if (r.restart_asked != restart)
            problems.push_back(restart ? "what the run removed needs a restart, and it did not ask for one"
                                       : "nothing the run removed needs a restart, yet it asked for one");
        if (r.counted != r.logged_before_count)
            problems.push_back("the log's failure count (" + std::to_string(r.counted) + ") must equal the failures it logged (" +
                               std::to_string(r.logged_before_count) + ")");
        if (!quiet && !box_fault && r.counted != (int)error_captions().size())
            problems.push_back("the log's failure count (" + std::to_string(r.counted) + ") must equal the error boxes shown");
    }

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
    } else if (check) {
        /* an examination that reported a failure cannot tell; one that cannot
           see an item (a silent failure) tells what it saw */
        int want = r.found < 0 || log_cut ? clean.exit_code : !r.reports.empty() ? 1603 : r.found ? 1 : r.waiting ? 3010 : 0;
        if (r.exit_code != want)
            problems.push_back("a check ends with 1603 after a report, else 1 when its log lists an item, else 3010 "
                               "when it lists what waits for the restart, else 0: got " +
                               std::to_string(r.exit_code));
    } else if (quiet) {
        /* a run that removed nothing, or whose log was lost, ends as without the fault */
        int want = !r.count_lines || log_cut ? clean.exit_code : !r.reports.empty() || r.left_behind ? 1603 : restart ? 3010 : 0;
        if (r.exit_code != want)
            problems.push_back(std::string(!r.reports.empty() ? "a reported failure must end a quiet run with 1603"
                                           : r.left_behind    ? "something left behind must end a quiet run with 1603"
                                           : restart ? "a quiet run that needs a restart must end with 3010"
                                                     : "a quiet run without a failure or a restart must end with 0") +
                               ", got " + std::to_string(r.exit_code));
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
        SilentSite *entry = r.lost ? nullptr : silent_site(fn, r.step, r.error);
        bool silent = r.lost ? r.step != "delete_subkeys" && r.step != "remove_matching_port_instances" : entry != nullptr;
        if (entry && extra.empty())
            ++entry->used;
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
        for (size_t i = 1; i < extra.size() && !wow64_unknown; ++i)
            /* a failure the fault-free run has too (a folder named like a PNF never goes) may come
               again from another step that the fault sent to the same file */
            if (extra[i] != "Function : RegDeleteKey()" && extra[i] != "Function : FreeLibrary()" &&
                std::find(clean.reports.begin(), clean.reports.end(), extra[i]) == clean.reports.end())
                problems.push_back("after the failure only a parent key kept by it, or a library, may fail too; got \"" +
                                   extra[i] + "\"");
    }

    /* everything taken is given back */
    if (r.leaked_blocks > (fn == "LocalFree" ? 1u : 0u))
        problems.push_back(std::to_string(r.leaked_blocks) + " LocalAlloc block(s) leaked");
    if (r.open_handles > (fn == "CloseHandle" || fn == "FindClose" || fn == "ClosePrivateNamespace" ? 1u : 0u))
        problems.push_back(std::to_string(r.open_handles) + " kernel handle(s) left open");
    if (r.locks_held > (fn == "ReleaseMutex" ? 1u : 0u))
        problems.push_back("the run lock was not given back");
    if (r.open_keys > (fn == "RegCloseKey" ? 1u : 0u))
        problems.push_back(std::to_string(r.open_keys) + " registry key(s) left open");
    if (r.open_infs)
        problems.push_back(std::to_string(r.open_infs) + " INF file(s) left open");
    if (r.open_sets > (fn == "SetupDiDestroyDeviceInfoList" ? 1u : 0u))
        problems.push_back(std::to_string(r.open_sets) + " device set(s) left open");
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

/* QZ_SWEEP_SAMPLE=N:SEED (the sanitizer build's run) tries every Nth fault
   only, starting where SEED (the commit) turns the rotation to, so that
   successive commits cover them all; unset, every fault is tried. */
struct Sample {
    unsigned long every = 1, offset = 0, seen = 0;
    bool take() { return seen++ % every == offset; }
};

Sample sweep_sample()
{
    Sample sample;
    const char *spec = getenv("QZ_SWEEP_SAMPLE");
    if (spec == nullptr || *spec == '\0')
        return sample;
    char *rest = nullptr;
    sample.every = std::max(1ul, strtoul(spec, &rest, 10));
    if (*rest == ':')
        sample.offset = strtoul(rest + 1, nullptr, 16) % sample.every;
    return sample;
}

} // namespace

TEST(FaultSweep, EveryFailureOfEveryCallIsHandled)
{
    int scenarios = 0;
    long injected = 0, held = 0, consequential = 0;
    Sample sample = sweep_sample();
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
        for (long k = 1; k <= (long)clean.calls; ++k) {
            if (clean.refused.count(k))
                continue; /* it fails already: a fault there would change nothing */
            /* the typical error, "not found", those a silence lists; a deletion lost, a value too long */
            const std::string &called = clean.functions[k - 1];
            std::set<DWORD> errors = {0, ERROR_FILE_NOT_FOUND, called == "RegDeleteKeyA" ? sim::LOST_WRITE : 0,
                                      called.rfind("RegEnum", 0) == 0 ? DWORD(ERROR_MORE_DATA) : 0};
            for (const SilentSite &site : silent_list().sites)
                if (site.function == called)
                    errors.insert(site.errors.begin(), site.errors.end());
            for (DWORD error_code : errors) {
                if (!sample.take())
                    continue;
                /* a failed binding frees its library again: that fails too, once */
                bool binding = clean.functions[k - 1] == "GetProcAddress" && error_code == ERROR_FILE_NOT_FOUND;
                RunResult r = run_with_fault(s, k, error_code, binding ? "FreeLibrary" : "");
                if (binding && r.fault && r.step == "system_function") /* a system library's lookup frees nothing */
                    r = run_with_fault(s, k, error_code);
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
    std::cout << "fault sweep: " << scenarios << " scenarios, " << injected << " injected faults";
    if (sample.every > 1)
        std::cout << " (every " << sample.every << "th, from " << sample.offset << ")";
    std::cout << ", " << held
              << " held" << (held == injected ? " (all)" : "") << "; " << consequential
              << " of them led to further reported failures of later calls" << std::endl;
    EXPECT_EQ(held, injected);
    for (const SilentSite &site : silent_list().sites)
        if (!site.used && sample.every == 1) /* a sample may skip the runs that need it */
            ADD_FAILURE() << "no run needed this entry of tests/silent_failures.txt (narrow it, or remove it):\n    "
                          << site.line;
}
