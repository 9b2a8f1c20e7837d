/*
 * harness.h - running the uninstaller on the simulated PC from a test.
 */
#ifndef QZ_TESTS_HARNESS_H
#define QZ_TESTS_HARNESS_H

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../simpc/sim.h"

/* The run as at process start, through the product's own reset (reset_run). */
void reset_program_state();

/* A fresh PC of this version ("winxp", "win98"...) and a fresh program. */
void fresh_pc(const std::string &version);

/* Makes the PC 64-bit Windows with the program started as the 32-bit
   QZUninst.exe, QZUninst64.exe beside it: when the program starts that,
   the simulated PC runs the uninstaller again, as a 64-bit process with
   its own process-wide state, and hands its exit code back. */
void run_on_64bit_windows(bool with_64bit_program = true);

/* fresh_pc() for the fuzzers: the PC of each version is built once, kept as
   an image, and restored from it at every later call. */
void restored_pc(const std::string &version);

/* Ends a fuzz input: restores the image its first restored_pc() started from,
   so that the input frees what it allocated (libFuzzer runs an input that
   allocates more than it frees a second time, then searches the whole heap
   for leaks). The next input's restored_pc() of that version then finds the
   PC as restored and copies nothing; nothing may touch the PC in between. */
void end_fuzz_input();

/* Runs the program as if started with this command-line tail; returns its exit code. */
int run_program(const std::string &tail);

/* Runs a second copy of the program with this tail while the first is
   where it is now (from a box, say): a process of its own, for which the
   run lock the first one holds is held by another process. */
int run_another_copy(const std::string &tail);

/* Code page 932 bytes to UTF-8 and back (through iconv), for comparing texts as written. */
std::string utf8(const std::string &cp932);
std::string cp932(const std::string &utf8_text);

/* The boxes shown so far, one line each: "CAPTION | TEXT | STYLE" in UTF-8. */
std::vector<std::string> box_lines();
std::string box_line(const std::string &caption_utf8, const std::string &text_utf8, UINT style);

/* The caption of the uninstaller's own boxes, in UTF-8. */
extern const char *const kCaption;

/* Box i's text (code page 932 bytes), or "<no box N>" when the run showed
   fewer boxes; the last box as box_lines() has it, or "<no box>". Tests
   look at boxes through these, so a missing box fails, never crashes. */
std::string box_text_at(size_t i);
std::string last_box_line();

/* Every error box shown, by caption ("Function : DeleteFile()"). */
std::vector<std::string> error_captions();

/* The log (QZUninst.log in the temporary folder, or the file at `path`)
   as UTF-8 lines, CR LF removed; empty when there is none. */
std::vector<std::string> log_lines(const std::string &path = "");
/* The run lock as another copy of the program, run by an administrator,
   has it on this PC: by name on Windows 98/Me and XP, in the private
   namespace (then kept open by that copy) from Vista on. */
sim::Pc::Mutex &program_lock();

/* The captions of the failures a run's log (the default one, or the file
   at `path`) reports ("Function : DeleteFile()"). */
std::vector<std::string> logged_error_captions(const std::string &path = "");

/* The captions of the failures an interactive run logged without a box:
   those of the check it makes after the removal. */
std::vector<std::string> held_back_captions();

/* The path of the default log on the simulated PC: in the folder
   GetTempPath2A gives where Windows has it, else GetTempPathA's. */
std::string log_path();

/* The PC's files (FileSystem::snapshot) without the log, which every run writes. */
std::set<std::string> files_but_log();

/* Fails the test, at the caller's line, when the OK/Cancel script ran dry. */
#define EXPECT_ALL_BOXES_SCRIPTED() EXPECT_EQ(sim::pc().unscripted_boxes, 0) << "an OK/Cancel box had no scripted answer"

#endif
