/*
 * wow64_test.cpp - on 64-bit Windows the 32-bit program hands the run to
 * QZUninst64.exe beside it, and ends the run when it cannot.
 */
#include <algorithm>

#include "nt_fixtures.h"
#include "scenario.h"
#include "../shell/uninstaller.h"
#include "../simpc/text.h"

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
        bool runs_on; /* still running after 30 minutes: the run ends with 1603 */
    } cases[] = {
        {"-C", "\"C:\\Program Files\\Pelto\\QZUninst64.exe\" -C", 0, false},
        {"", "\"C:\\Program Files\\Pelto\\QZUninst64.exe\"", 0, false},
        {"-C ", "\"C:\\Program Files\\Pelto\\QZUninst64.exe\" -C ", 0xFFFFFFFF, false}, /* the blank stays; -1 comes back */
        {"-Q -C", "\"C:\\Program Files\\Pelto\\QZUninst64.exe\" -Q -C", 0, true},
    };
    for (auto &c : cases) {
        sixty_four_bit_pc("win7");
        sim::pc().child_exit_code = c.child_exit;
        sim::pc().child_runs_on = c.runs_on;
        auto registry = sim::pc().registry.snapshot();

        int code = run_program(c.tail);

        EXPECT_EQ(code, c.runs_on ? 1603 : (int)c.child_exit) << "tail \"" << c.tail << "\"";
        EXPECT_EQ(sim::pc().waited_ms, c.runs_on ? 30u * 60 * 1000 : 0u);
        std::vector<std::string> lines = log_lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(),
                             "64 ビット版の終了を 30 分待ちましたが、終了しませんでした。待たずに終了します。"),
                  c.runs_on ? 1 : 0);
        ASSERT_EQ(sim::pc().started.size(), 1u);
        EXPECT_EQ(sim::pc().started[0].application, std::string(kDir) + "QZUninst64.exe");
        EXPECT_EQ(sim::pc().started[0].command_line, c.command_line);
        EXPECT_TRUE(sim::pc().boxes.empty()) << "the 32-bit program shows nothing of its own";
        EXPECT_TRUE(sim::pc().trace.empty()) << "the 32-bit program removes nothing itself";
        EXPECT_EQ(sim::pc().registry.snapshot(), registry);
        EXPECT_TRUE(sim::pc().kernel_handles.empty()) << "process and thread handles are closed";
    }
}

TEST(Wow64Handover, EveryExitCodeOfThe64BitProgramComesBack)
{
    const struct {
        const char *tail;
        int exit_code;
        const char *fault;  /* a function failing in the 64-bit program */
        bool lock_held;
    } cases[] = {
        {"-C", 0, nullptr, false},             /* the restart question answered Cancel */
        {"-Q -C", 3010, nullptr, false},
        {"-Q -C", 1603, "RegDeleteKeyA", false},
        {"-Q", 1618, nullptr, true},
        {"-q -X", 1639, nullptr, false},
        {"-X", -1, nullptr, false},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.tail) + " -> " + std::to_string(c.exit_code));
        Scenario s;
        std::string error;
        ASSERT_TRUE(load_scenario(scenarios_root() + "/wow64-handover-complete", &s, &error)) << error;
        ASSERT_TRUE(build_scenario_pc(s, &error)) << error;
        if (c.fault)
            sim::pc().faults.fail(c.fault, ERROR_ACCESS_DENIED, 1);
        if (c.lock_held)
            program_lock().held_elsewhere = true;

        EXPECT_EQ(run_program(c.tail), c.exit_code);

        /* the 64-bit program's block, which knows who handed over, then the 32-bit one's */
        std::vector<std::string> lines = log_lines();
        auto from = std::find(lines.begin(), lines.end(), "引き継ぎ: 32 ビット版 (プロセス ID 2400) から引き継ぎました");
        auto to = std::find(lines.begin(), lines.end(), "引き継ぎ: 64 ビット版に引き継ぎます");
        EXPECT_LT(from, to);
        EXPECT_NE(std::find(to, lines.end(), "64 ビット版 (プロセス ID 2404) の終了コード: " + std::to_string(c.exit_code)),
                  lines.end());
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.end()[-2].substr(lines.end()[-2].rfind(' ') + 1), std::to_string(c.exit_code));
    }
}

TEST(Wow64Handover, EndsWithoutChangingAnythingWhenThe64BitProgramCannotStart)
{
    /* Going on as the 32-bit program would remove the service keys and the
       INF files while the class installer refuses every device
       (ERROR_IN_WOW64): a live device left without its driver. */
    for (bool quiet : {false, true}) {
        Scenario s;
        std::string error;
        ASSERT_TRUE(load_scenario(scenarios_root() + "/wow64-handover-complete", &s, &error)) << error;
        ASSERT_TRUE(build_scenario_pc(s, &error)) << error;
        sim::pc().files.remove(std::string(kDir) + "QZUninst64.exe");
        auto registry = sim::pc().registry.snapshot();
        auto files = files_but_log();

        EXPECT_EQ(run_program(quiet ? "-Q -C" : "-C"), quiet ? 1603 : -1);

        EXPECT_TRUE(sim::pc().started.empty());
        std::vector<std::string> reports = quiet ? logged_error_captions() : error_captions();
        EXPECT_EQ(reports, std::vector<std::string>{"Function : CreateProcess()"});
        EXPECT_EQ(sim::pc().boxes.size(), quiet ? 0u : 1u) << "nothing is asked after the reason";
        EXPECT_EQ(sim::pc().registry.snapshot(), registry);
        EXPECT_EQ(files_but_log(), files);
        EXPECT_TRUE(sim::pc().trace.empty()) << "no library bound, no restart";
    }
}

TEST(Wow64Handover, AReportedFailureWhenThe64BitProgramsPathCannotBeBuilt)
{
    const struct {
        const char *why;
        std::string module_path;
        DWORD module_error; /* GetModuleFileNameW fails with this, or 0 */
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
            sim::pc().faults.fail("GetModuleFileNameW", c.module_error);
        EXPECT_EQ(run_program("-C"), -1) << c.why;

        EXPECT_TRUE(sim::pc().started.empty()) << c.why;
        ASSERT_EQ(sim::pc().boxes.size(), 1u) << c.why << ": the reason, and the run ends";
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
        sim::pc().code_page = 1252;
        sim::pc().wow64 = c.wow64;
        if (c.is_wow64_fails)
            sim::pc().faults.fail("IsWow64Process", ERROR_ACCESS_DENIED);
        sim::pc().answers = {IDCANCEL};
        EXPECT_EQ(run_program(""), 0) << c.version;
        EXPECT_TRUE(sim::pc().started.empty()) << c.version;
        ASSERT_EQ(sim::pc().boxes.size(), 1u) << c.version;
        EXPECT_EQ(utf8(sim::pc().boxes[0].caption), kCaption) << "no error box: " << c.version;
        /* the NT family shows it in UTF-16, on a Western Windows too; Windows 98: code page 932 as always */
        const sim::Box &box = sim::pc().boxes[0];
        EXPECT_EQ(box.wide, std::string(c.version) != "win98") << c.version;
        if (box.wide) {
            EXPECT_EQ(box.wide_caption, sim::to_utf16(kCaption, CP_UTF8)) << c.version;
        }
    }
}

TEST(Wow64Handover, FindsItsDirectoryInTheSystemsOwnCodePage)
{
    const struct {
        UINT code_page;
        const char *dir; /* UTF-8 here; the PC keeps it in its code page */
    } cases[] = {
        {932, "C:\\ソフト\\表\\"},     /* trail bytes 0x5C: "ソ" is 83 5C, "表" 95 5C */
        {936, "D:\\驱动程序\\"},      /* "序" ends in 0xF2, a code page 932 lead byte */
        {949, "C:\\드라이버\\"},
        {1252, "C:\\Users\\René\\"}, /* "é" is 0xE9, a lead byte in code page 932 only */
    };
    for (auto &c : cases) {
        sixty_four_bit_pc("win10");
        sim::pc().code_page = c.code_page;
        std::string dir = sim::in_code_page(c.dir, c.code_page);
        sim::pc().module_path = dir + "QZUninst.exe";
        sim::pc().files.add_file(dir + "QZUninst64.exe");
        sim::pc().command_line = "\"" + dir + "QZUninst.exe\"  -D ";

        run_uninstaller(GetCommandLineA());

        ASSERT_EQ(sim::pc().started.size(), 1u) << c.dir;
        EXPECT_EQ(sim::pc().started[0].application, dir + "QZUninst64.exe") << c.dir;
        EXPECT_EQ(sim::pc().started[0].command_line, "\"" + dir + "QZUninst64.exe\" -D ") << c.dir;
        EXPECT_TRUE(sim::pc().boxes.empty()) << c.dir;
    }
}

TEST(Wow64Handover, AsAServiceStartsOnlyAPartnerNobodyElseCanWriteAndThatIsSignedAlike)
{
    /* C:\ProgramData's own: any user may add files to a folder made in it */
    const std::string users_add = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;CI;0x6;;;BU)";
    const std::string ti = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    /* C:\Program Files' own: TrustedInstaller owns it; what CREATOR OWNER may do is inherit-only */
    const std::string program_files = "O:" + ti + "D:PAI(A;;FA;;;" + ti + ")(A;OICIIO;GA;;;CO)(A;;0x1301bf;;;SY)" +
                                      "(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;SY)(A;OICIIO;GA;;;BA)";
    const std::string writable = "引き継ぎ: サービス アカウントとしての実行では、管理者以外のアカウントが書き込めるファイルまたはフォルダーにある 64 ビット版を起動しません: C:\\Program Files\\Pelto\\QZUninst64.exe (書き込めるアカウント: ";
    const std::string partner = "C:\\Program Files\\Pelto\\QZUninst64.exe (署名の確認結果: ";
    const struct {
        const char *why;
        const char *account; /* the token's user; "" a logged-on administrator */
        std::string folder, file; /* their security; "" Program Files' */
        const char *own_signer, *partner_signer;
        std::string line; /* the refusal logged; "" the partner is started */
    } cases[] = {
        {"users may add files", "S-1-5-18", users_add, "", "", "", writable + "BUILTIN\\Users)"},
        {"users may add files, LocalService", "S-1-5-19", users_add, "", "", "", writable + "BUILTIN\\Users)"},
        {"users may add files, an administrator", "", users_add, "", "", "", ""},
        {"Program Files", "S-1-5-18", program_files, "", "", "", ""},
        {"a user owns the file", "S-1-5-18", "", "O:S-1-5-21-7-8-9-1001D:(A;;FA;;;SY)", "", "",
         writable + "PELTO-PC01\\user)"},
        {"no DACL, no owner (FAT)", "S-1-5-18", "D:NO_ACCESS_CONTROL", "", "", "", writable + "Everyone)"},
        {"an account Windows cannot name", "S-1-5-20", "O:BAD:(A;;FA;;;SY)(A;;0x40000000;;;S-1-5-21-1-2-3-4321)", "",
         "", "", writable + "S-1-5-21-1-2-3-4321)"},
        {"users may only read", "S-1-5-18", "O:SYD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)(A;;0x1200a9;;;WD)", "", "", "", ""},
        {"signed, the partner not", "S-1-5-18", "", "", "Pelto", "", "引き継ぎ: 本アプリケーションは署名されていますが、64 ビット版に有効な署名がないため、起動しません: " + partner + "0x800B0100)"},
        {"signed, the partner's altered", "S-1-5-18", "", "", "Pelto", "bad", "引き継ぎ: 本アプリケーションは署名されていますが、64 ビット版に有効な署名がないため、起動しません: " + partner + "0x80096010)"},
        {"signed, the partner by another", "S-1-5-18", "", "", "Pelto", "Other", "引き継ぎ: 64 ビット版の署名が本アプリケーションとは別の証明書によるため、起動しません: " + partner + "0x00000000)"},
        {"signed, this program's altered", "S-1-5-18", "", "", "bad", "Pelto", "引き継ぎ: 本アプリケーションの署名を確認できないため、64 ビット版を起動しません (署名の確認結果: 0x80096010)"},
        {"signed alike", "S-1-5-18", "", "", "Pelto", "Pelto", ""},
        {"unsigned, the partner signed", "S-1-5-18", "", "", "", "Other", ""},
        {"signed, the partner not, an administrator", "", "", "", "Pelto", "", ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.why);
        sixty_four_bit_pc("win10");
        if (c.account[0] != '\0') {
            sim::run_as_system();
            sim::pc().user_sid = c.account;
        }
        sim::pc().accounts["S-1-5-21-7-8-9-1001"] = "PELTO-PC01\\user";
        sim::pc().files.find("C:\\Program Files\\Pelto")->security = c.folder;
        sim::pc().files.find(std::string(kDir) + "QZUninst64.exe")->security = c.file;
        sim::pc().files.find(std::string(kDir) + "QZUninst.exe")->signer = c.own_signer;
        sim::pc().files.find(std::string(kDir) + "QZUninst64.exe")->signer = c.partner_signer;
        sim::pc().child_exit_code = 3010;

        EXPECT_EQ(run_program("-Q -C"), c.line.empty() ? 3010 : 1603);

        EXPECT_EQ(sim::pc().started.size(), c.line.empty() ? 1u : 0u);
        std::vector<std::string> lines = log_lines();
        if (!c.line.empty()) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << lines.size();
            EXPECT_EQ(logged_error_captions(), std::vector<std::string>{"Function : CreateProcess()"});
        }
        EXPECT_TRUE(sim::pc().trust_states.empty()) << "every signature check is closed";
        EXPECT_EQ(sim::pc().libraries["wintrust"].load_count, 0) << "wintrust is given back";
        EXPECT_TRUE(sim::pc().local_blocks.empty()) << "every security descriptor is freed";
        EXPECT_TRUE(sim::pc().kernel_handles.empty()) << "the token's handle is closed";
    }
}

TEST(Wow64Handover, AsSystemAPartnerOnANetworkShareIsNotJudgedByItsFoldersWriters)
{
    for (const char *program : {"Z:\\Deploy\\QZUninst.exe", "\\\\server\\deploy\\QZUninst.exe"}) {
        sixty_four_bit_pc("win10");
        sim::run_as_system();
        std::string folder = std::string(program).substr(0, std::string(program).rfind('\\'));
        sim::pc().files.add_dir(folder);
        sim::pc().files.find(folder)->security = "O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;AU)";
        sim::pc().files.add_file(folder + "\\QZUninst64.exe");
        sim::pc().files.add_file(program);
        sim::pc().module_path = program;
        sim::pc().network_drives.insert('Z');
        EXPECT_EQ(run_program("-Q -C"), 0) << program;
        ASSERT_EQ(sim::pc().started.size(), 1u) << program;
        EXPECT_EQ(sim::pc().started[0].application, folder + "\\QZUninst64.exe");
    }
}
