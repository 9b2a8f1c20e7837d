/*
 * wow64_test.cpp - on 64-bit Windows the 32-bit program hands the run to
 * QZUninst64.exe beside it, and carries on itself when it cannot.
 */
#include "nt_fixtures.h"
#include "scenario.h"
#include "../shell/uninstaller.h"

static const char *const kDir = "C:\\Program Files\\Pelto\\";

static void sixty_four_bit_pc(const char *version)
{
    fresh_pc(version);
    sim::pc().wow64 = true;
    sim::pc().files.add_file(std::string(kDir) + "QZUninst.exe");
    sim::pc().files.add_file(std::string(kDir) + "QZUninst64.exe");
}

TEST(Wow64Handover, StartsThe64BitProgramWithTheSameTailAndEndsWithItsExitCode)
{
    const struct {
        const char *tail;
        const char *command_line;
        DWORD child_exit;
    } cases[] = {
        {"-C", "\"C:\\Program Files\\Pelto\\QZUninst64.exe\" -C", 0},
        {"", "\"C:\\Program Files\\Pelto\\QZUninst64.exe\"", 0},
        {"-C ", "\"C:\\Program Files\\Pelto\\QZUninst64.exe\" -C ", 0xFFFFFFFF}, /* the blank stays; -1 comes back */
    };
    for (auto &c : cases) {
        sixty_four_bit_pc("win7");
        sim::pc().child_exit_code = c.child_exit;
        auto registry = sim::pc().registry.snapshot();

        int code = run_program(c.tail);

        EXPECT_EQ(code, (int)c.child_exit) << "tail \"" << c.tail << "\"";
        ASSERT_EQ(sim::pc().started.size(), 1u);
        EXPECT_EQ(sim::pc().started[0].application, std::string(kDir) + "QZUninst64.exe");
        EXPECT_EQ(sim::pc().started[0].command_line, c.command_line);
        EXPECT_TRUE(sim::pc().boxes.empty()) << "the 32-bit program shows nothing of its own";
        EXPECT_TRUE(sim::pc().trace.empty()) << "the 32-bit program removes nothing itself";
        EXPECT_EQ(sim::pc().registry.snapshot(), registry);
        EXPECT_TRUE(sim::pc().kernel_handles.empty()) << "process and thread handles are closed";
    }
}

TEST(Wow64Handover, GoesOnAsThe32BitProgramWhenThe64BitOneCannotStart)
{
    sixty_four_bit_pc("winxp");
    sim::pc().files.remove(std::string(kDir) + "QZUninst64.exe");
    sim::pc().answers = {IDCANCEL};

    EXPECT_EQ(run_program("-C"), 0);

    EXPECT_TRUE(sim::pc().started.empty());
    EXPECT_EQ(box_lines(),
              (std::vector<std::string>{
                  box_line("Function : CreateProcess()", "The system cannot find the file specified.\r\n",
                           MB_OK | MB_ICONERROR),
                  box_line(kCaption, "Pelto QZ シリーズ USB ドライバを削除します。\nよろしいですか？",
                           MB_OKCANCEL | MB_ICONWARNING)}));
    EXPECT_ALL_BOXES_SCRIPTED();
}

TEST(Wow64Handover, WhatAUserSeesWhenThe64BitProgramIsMissing)
{
    /* The 32-bit program goes on by itself: the class installer refuses
       every device (ERROR_IN_WOW64, which has no text of the system), and
       Windows points its system folder at SysWOW64, where the product's
       files are not. */
    Scenario s;
    std::string error;
    ASSERT_TRUE(load_scenario(scenarios_root() + "/wow64-handover-complete", &s, &error)) << error;
    ASSERT_TRUE(build_scenario_pc(s, &error)) << error;
    sim::pc().files.remove(std::string(kDir) + "QZUninst64.exe");
    sim::pc().answers = {IDOK, IDCANCEL};

    EXPECT_EQ(run_program("-C"), 0);

    std::vector<std::string> captions;
    for (const sim::Box &b : sim::pc().boxes)
        captions.push_back(utf8(b.caption) + (b.text == "Error 3758096949" ? " (ERROR_IN_WOW64)" : ""));
    const std::string refused = "Function : CallClassInstaller() (ERROR_IN_WOW64)";
    EXPECT_EQ(captions, (std::vector<std::string>{"Function : CreateProcess()", kCaption, refused, refused, refused,
                                                  kCaption}))
        << "its own start, the question, one refusal for each of the three devices, the restart question";
    EXPECT_TRUE(sim::pc().files.exists("C:\\WINDOWS\\system32\\drivers\\QZUSBCOM.SYS"))
        << "the 64-bit system folder is out of its reach";
    EXPECT_FALSE(sim::pc().files.exists("C:\\WINDOWS\\SysWOW64\\drivers\\QZUSBCOM.SYS"))
        << "what it deletes there instead";
    EXPECT_EQ(status_of(0).device_status, 0xffff);
}

TEST(Wow64Handover, AReportedFailureWhenThe64BitProgramsPathCannotBeBuilt)
{
    const struct {
        const char *why;
        std::string module_path;
        DWORD module_error; /* GetModuleFileNameA fails with this, or 0 */
        const char *text;
    } cases[] = {
        {"no module path", kDir + std::string("QZUninst.exe"), ERROR_NOT_ENOUGH_MEMORY,
         "Not enough storage is available to process this command.\r\n"},
        {"the module path is cut short", "C:\\" + std::string(300, 'a') + "\\QZUninst.exe", 0,
         "The filename or extension is too long.\r\n"},
        {"the folder and the name do not fit", "C:\\" + std::string(243, 'a') + "\\QZUninst.exe", 0,
         "The filename or extension is too long.\r\n"},
    };
    for (auto &c : cases) {
        sixty_four_bit_pc("win10");
        sim::pc().module_path = c.module_path;
        if (c.module_error)
            sim::pc().faults.fail("GetModuleFileNameA", c.module_error);
        sim::pc().answers = {IDCANCEL};

        EXPECT_EQ(run_program("-C"), 0) << c.why;

        EXPECT_TRUE(sim::pc().started.empty()) << c.why;
        ASSERT_EQ(sim::pc().boxes.size(), 2u) << c.why << ": the reason, then the 32-bit program's own run";
        EXPECT_EQ(box_lines()[0], box_line("Function : CreateProcess()", c.text, MB_OK | MB_ICONERROR)) << c.why;
    }
}

TEST(Wow64Handover, StaysWhenNotUnderWow64OrWhenWindowsCannotTell)
{
    const struct {
        const char *version;
        bool wow64;
        bool is_wow64_fails;
    } cases[] = {
        {"win7", false, false},  /* 32-bit Windows */
        {"win2k", true, false},  /* no IsWow64Process: absent means no */
        {"win98", true, false},  /* the same on Windows 98 */
        {"winxp", true, true},   /* the query itself fails */
    };
    for (auto &c : cases) {
        sixty_four_bit_pc(c.version);
        sim::pc().wow64 = c.wow64;
        if (c.is_wow64_fails)
            sim::pc().faults.fail("IsWow64Process", ERROR_ACCESS_DENIED);
        sim::pc().answers = {IDCANCEL};
        EXPECT_EQ(run_program(""), 0) << c.version;
        EXPECT_TRUE(sim::pc().started.empty()) << c.version;
        ASSERT_EQ(sim::pc().boxes.size(), 1u) << c.version;
        EXPECT_EQ(utf8(sim::pc().boxes[0].caption), kCaption) << "no error box: " << c.version;
    }
}

TEST(Wow64Handover, FindsItsDirectoryBehindDoubleByteNames)
{
    /* "ソ" is 0x83 0x5C: its trail byte is a backslash that is not a separator */
    std::string dir = "C:\\" + cp932("ソフト") + "\\";
    sixty_four_bit_pc("win10");
    sim::pc().module_path = dir + "QZUninst.exe";
    sim::pc().files.add_file(dir + "QZUninst64.exe");

    run_program("-D");

    ASSERT_EQ(sim::pc().started.size(), 1u);
    EXPECT_EQ(sim::pc().started[0].application, dir + "QZUninst64.exe");
}
