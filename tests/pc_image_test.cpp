/*
 * pc_image_test.cpp - a PC restored from its image is the PC the image was
 * taken of, whatever the run in between did: the fuzzers rely on it to
 * start every input from the same state.
 */
#include <cctype>

#include "harness.h"
#include "scenario.h"
#include "../simpc/text.h"

/* Everything a run can change on the PC, one line each. */
static std::vector<std::string> state_lines()
{
    sim::Pc &p = sim::pc();
    std::vector<std::string> out;
    for (const std::string &line : p.registry.snapshot())
        out.push_back("reg " + line);
    for (const std::string &line : p.files.snapshot())
        out.push_back(line);
    for (const std::string &line : box_lines())
        out.push_back("box " + line);
    for (int answer : p.answers)
        out.push_back("answer " + std::to_string(answer));
    for (const std::string &line : p.trace)
        out.push_back("trace " + line);
    for (const auto &kv : p.libraries) {
        out.push_back("library " + kv.first + " present " + std::to_string(kv.second.present) + " loads " +
                      std::to_string(kv.second.load_count));
        for (const auto &e : kv.second.exports)
            out.push_back("export " + kv.first + " " + e.first + (e.second ? "" : " null"));
    }
    for (const auto &kv : p.key_handles)
        out.push_back("key handle " + std::to_string(kv.first) + " " + kv.second.key->name + " access " +
                      std::to_string(kv.second.access));
    const sim::Faults &f = p.faults;
    out.push_back("faults " + std::to_string(f.rules.size()) + " rules, " + std::to_string(f.calls.size()) +
                  " calls, " + std::to_string(f.counts.size()) + " counted, index " + std::to_string(f.fail_index_) +
                  (f.index_fault ? " fired" : "") + (f.recording ? " recording" : ""));
    out.push_back("open: " + std::to_string(p.local_blocks.size()) + " blocks, " + std::to_string(p.device_sets.size()) +
                  " sets, " + std::to_string(p.inf_handles.size()) + " INF files, " +
                  std::to_string(p.kernel_handles.size()) + " kernel handles");
    out.push_back("unscripted " + std::to_string(p.unscripted_boxes) + " restart " +
                  std::to_string(p.restart_requested) + " " + std::to_string(p.restart_flags) + " started " +
                  std::to_string(p.started.size()) + " last error " + std::to_string(p.last_error) +
                  " next handle " + std::to_string(p.next_handle) + " version " + p.version.name);
    return out;
}

TEST(SimImage, EveryRunFromARestoredImageStartsFromTheSamePc)
{
    for (const char *name : {"nt-linked-control-set", "w9x-win98-both-products-ok"}) {
        SCOPED_TRACE(name);
        Scenario s;
        std::string error;
        ASSERT_TRUE(load_scenario(scenarios_root() + "/" + name, &s, &error)) << error;
        ASSERT_TRUE(build_scenario_pc(s, &error)) << error;
        for (int answer : s.answers)
            sim::pc().answers.push_back(answer);
        /* a handle held in the image must follow the restored registry, not the
           image's; without one, an unchanged registry is kept as it is */
        bool with_handle = std::string(name).rfind("nt-", 0) == 0;
        HKEY held = nullptr;
        if (with_handle) {
            ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_ALL_ACCESS, &held), ERROR_SUCCESS);
        }
        sim::Pc image = sim::image();
        const std::vector<std::string> before = state_lines();

        std::vector<std::string> first_run;
        for (int run = 0; run < 2; ++run) {
            sim::restore(image);
            ASSERT_EQ(state_lines(), before) << "run " << run;
            if (with_handle) {
                EXPECT_EQ(sim::pc().key_handles[(uintptr_t)held].key.get(), sim::pc().registry.find("SYSTEM"));
            }
            run_program(s.args);
            /* what a fuzzer's input may leave behind besides the removal */
            LocalAlloc(LMEM_ZEROINIT, 16);
            sim::pc().faults.fail("DeleteFileA", ERROR_ACCESS_DENIED);
            sim::pc().faults.recording = false;
            sim::pc().registry.remove("SYSTEM\\CurrentControlSet");
            sim::pc().registry.set_string("SYSTEM\\Added", "Value", "data");
            sim::pc().libraries["setupapi"].exports.erase("SetupOpenInfFileA");
            sim::pc().libraries["kernel32"].exports["LoadLibraryA"] = nullptr;
            sim::pc().libraries["kernel32"].exports["Extra"] = nullptr;   /* among the others */
            sim::pc().libraries["kernel32"].exports["zzExtra"] = nullptr; /* after them all */
            sim::pc().libraries["user32"].present = false;
            if (run == 0)
                first_run = state_lines();
            else
                EXPECT_EQ(state_lines(), first_run) << "the second run did what the first did";
            EXPECT_NE(state_lines(), before);
        }
        sim::restore(image);
        EXPECT_EQ(state_lines(), before);
        EXPECT_EQ(sim::image().registry.snapshot(), image.registry.snapshot());
    }
}

TEST(SimFaults, WithRecordingOffArmedFaultsStillFireOnTheirCall)
{
    fresh_pc("winxp");
    sim::pc().faults.recording = false;
    EXPECT_NE(LoadLibraryA("kernel32"), nullptr);
    EXPECT_TRUE(sim::pc().faults.calls.empty() && sim::pc().faults.counts.empty());

    sim::pc().faults.fail("LoadLibraryA", ERROR_MOD_NOT_FOUND, 2);
    EXPECT_NE(LoadLibraryA("kernel32"), nullptr);
    EXPECT_EQ(LoadLibraryA("user32"), nullptr) << "the second call counted since the rule was armed";
    sim::pc().faults.rules.clear();
    sim::pc().faults.fail_call_index(3);
    EXPECT_EQ(LoadLibraryA("advapi32"), nullptr) << "the third call recorded: the first, unarmed, was not";
}

TEST(SimText, FoldedPathsAndNamesCompareAsFoldedParts)
{
    /* random paths of separators, letters and code page 932 lead bytes, one at the very end too */
    const char alphabet[] = {'\\', '\\', 'a', 'Z', 'q', '.', ' ', '\x81', '\x9F', '\xE0', '\xFC', '\x5C', 'x'};
    unsigned seed = 7;
    for (int n = 0; n < 2000; ++n) {
        std::string path;
        for (int len = n % 12; len > 0; --len) {
            seed = seed * 1103515245 + 12345;
            path += alphabet[(seed >> 16) % sizeof alphabet];
        }
        std::vector<std::string> parts = sim::split_path(path);
        std::string joined, parent;
        for (size_t i = 0; i < parts.size(); ++i) {
            joined += (i ? "\\" : "") + sim::fold(parts[i]);
            if (i + 1 < parts.size())
                parent = joined;
        }
        std::string other = path; /* every letter's case flipped: equal unless one was a trail byte */
        for (char &c : other)
            c = isalpha((unsigned char)c) ? (char)(c ^ 0x20) : c;
        EXPECT_EQ(sim::iequal(path, other), sim::fold(path) == sim::fold(other)) << path;
        std::string out = "stale";
        EXPECT_EQ(sim::fold_path_into(path, out), parts.size()) << path;
        EXPECT_EQ(out, joined) << path;
        sim::fold_path_into(path, out, true);
        EXPECT_EQ(out, parent) << path;
    }
}
