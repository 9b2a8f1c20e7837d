/*
 * quiet_run_test.cpp - quiet runs for deployment tools, the log every run
 * appends to, and the lock that keeps a second copy out.
 */
#include <algorithm>
#include <functional>

#include "nt_fixtures.h"
#include "scenario.h"
#include "../shell/uninstaller.h"

static Scenario quietly(const std::string &name, const char *tail, int exit_code)
{
    Scenario s;
    std::string error;
    EXPECT_TRUE(load_scenario(scenarios_root() + "/" + name, &s, &error)) << error;
    s.args = tail;
    s.answers.clear(); /* nobody is asked */
    s.boxes.clear();
    s.exit_code = exit_code;
    s.restart = false;
    return s;
}

static bool log_has(const std::string &line)
{
    for (const std::string &l : log_lines())
        if (l == line)
            return true;
    return false;
}

TEST(QuietRun, RemovesAsAnAnsweredRunWouldWithoutABox)
{
    const struct {
        const char *scenario;
        const char *tail;
        int exit_code;
    } cases[] = {
        {"nt-both-complete-cancel", "-Q -C", 3010},  /* the service keys went: restart required */
        {"nt-both-complete-cancel", "-C --quiet", 3010},
        {"nt-both-no-option", "-Q", 0},              /* no service key step: nothing needs a restart */
        {"nt-nothing-installed", "--quiet --complete", 0},
        {"w9x-win98-both-products-ok", "-Q", 3010},  /* the second product goes without its question */
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + " " + c.tail);
        Scenario s = quietly(c.scenario, c.tail, c.exit_code);
        std::string report;
        for (const std::string &p : run_and_check_scenario(s))
            report += "\n  " + p;
        EXPECT_TRUE(report.empty()) << report;
        EXPECT_TRUE(sim::pc().boxes.empty());
        EXPECT_FALSE(sim::pc().restart_requested) << "a quiet run never restarts Windows";
        std::vector<std::string> lines = log_lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.end()[-2].substr(lines.end()[-2].rfind(' ') + 1), std::to_string(c.exit_code))
            << "the result line ends with the exit code";
    }
}

TEST(QuietRun, AReportedFailureEndsWith1603AndTheLogSaysWhich)
{
    Scenario s = quietly("nt-both-complete-cancel", "-Q -C", 1603);
    build_scenario_pc(s, nullptr);
    /* held open, and it cannot even be set to go at the restart: the report
       gives DeleteFileA's own error */
    sim::pc().files.find("C:\\WINDOWS\\inf\\MDMKVRT3.INF")->in_use = true;
    sim::pc().faults.fail("MoveFileExA", ERROR_ACCESS_DENIED);

    EXPECT_EQ(run_program(s.args), 1603);

    EXPECT_TRUE(sim::pc().boxes.empty());
    EXPECT_EQ(logged_error_captions(), std::vector<std::string>{"Function : DeleteFile()"});
    EXPECT_TRUE(log_has("    The process cannot access the file because it is being used by another process."));
    /* the legacy files' count overwrites the file status; the step reported a failure all the same */
    EXPECT_TRUE(log_has("製品 1: デバイス 削除、サービス 削除、ファイル 失敗、OEM INF 削除"));
    EXPECT_TRUE(log_has("集計: 削除 6、一部削除 0、失敗 1、なし 0、実行せず 1"));
    EXPECT_TRUE(log_has("失敗の報告: 1 件 (手順の中で 1 件、手順の外で 0 件)"));
    EXPECT_TRUE(log_has("    Function : DeleteFile() (C:\\WINDOWS\\inf\\MDMKVRT3.INF、エラー番号 32)"));
    EXPECT_TRUE(log_has("再起動: 必要 (無人実行のため再起動しません)")) << "a restart is needed all the same";
    ASSERT_GE(log_lines().size(), 2u);
    EXPECT_EQ(log_lines().end()[-2], "結果: 失敗あり (失敗の報告を参照)、終了コード 1603");
}

TEST(QuietRun, NobodyIsAskedWhereNobodyCanAnswer)
{
    /* a quiet word on an invalid line, a run nobody sees (a service, SYSTEM in session 0) */
    const struct {
        const char *scenario;
        const char *tail;
        bool as_system;
        int exit_code;
        const char *why; /* a line of the log */
    } cases[] = {
        {"nt-both-complete-cancel", "-Q --log", false, 1639, "--log のあとには空白 1 つとパスを指定します (空白を含むパスは \" で囲みます)。--log はどの位置にも置けますが、1 回だけです。"},
        {"nt-both-complete-cancel", "--log a --log b -Q", false, 1639, "コマンドラインが無効です。何も削除せずに終了します。"},
        {"nt-both-complete-cancel", "-C", true, 1639, "メッセージを表示できない実行では、--quiet (-Q) を指定してください。何も削除せずに終了します。"},
        {"nt-both-complete-cancel", "-X", true, 1639, "結果: 実行せず (--quiet の指定が必要)、終了コード 1639"},
        {"shell-nt4-refused", "-Q", false, -1, "    本アプリケーションは、この OS 上では動作いたしません。"},
        {"shell-nt4-refused", "-C", true, -1, "結果: 実行せず (この OS には未対応)、終了コード -1"},
        {"nt-both-complete-cancel", "-Q -C", true, 3010, "ウィンドウ ステーション: 表示されません (サービス、またはセッション 0 の SYSTEM としての実行)"},
        /* "/quiet -C" is "-Q -C" now; an unknown word still removes nothing */
        {"nt-win10-driver-store", "/quiet -X", true, 1639, "アカウント: SYSTEM"}, /* in SYSTEM's own folder */
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + " " + c.tail + (c.as_system ? " as SYSTEM" : ""));
        Scenario s = quietly(c.scenario, c.tail, c.exit_code);
        build_scenario_pc(s, nullptr);
        if (c.as_system)
            sim::run_as_system();
        auto registry = sim::pc().registry.snapshot();
        auto files = files_but_log();

        EXPECT_EQ(run_program(c.tail), c.exit_code);

        EXPECT_TRUE(sim::pc().boxes.empty());
        EXPECT_TRUE(log_has(c.why));
        if (c.exit_code != 3010) {
            EXPECT_EQ(sim::pc().registry.snapshot(), registry);
            EXPECT_EQ(files_but_log(), files);
        }
    }
    EXPECT_NE(log_path().find("\\SystemTemp\\"), std::string::npos) << "GetTempPath2A's folder on Windows 10";
}

TEST(QuietRun, WhatTheCheckAfterTheRemovalFindsDecides)
{
    /* a failure that passes for absence leaves the file; the check after
       the removal finds it, and a run that left something has failed */
    const struct {
        const char *scenario, *tail;
        const char *silent_path; /* SetFileAttributesA fails with 2 here, or nothing */
        int exit_code;
        const char *remaining, *found;
    } cases[] = {
        {"nt-both-complete-cancel", "-Q -C", "", 3010, "残っている項目: なし", ""},
        {"nt-both-complete-cancel", "-Q -C", "C:\\WINDOWS\\system32\\drivers\\QZUSBCOM.SYS", 1603,
         "残っている項目: ドライバ ファイル 1", "検出 ドライバ ファイル: C:\\WINDOWS\\system32\\drivers\\QZUSBCOM.SYS"},
        {"w9x-win98-quiet", "-Q", "C:\\WINDOWS\\SYSTEM\\QZUSB.SYS", 1603, "残っている項目: ファイル 1",
         "検出 ファイル: C:\\WINDOWS\\SYSTEM\\QZUSB.SYS"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + " " + c.silent_path);
        Scenario s = quietly(c.scenario, c.tail, c.exit_code);
        build_scenario_pc(s, nullptr);
        if (c.silent_path[0] != '\0')
            sim::pc().faults.fail("SetFileAttributesA", ERROR_FILE_NOT_FOUND, 0, c.silent_path);

        EXPECT_EQ(run_program(c.tail), c.exit_code);
        EXPECT_TRUE(log_has(c.remaining));
        EXPECT_TRUE(c.found[0] == '\0' || log_has(c.found));
        EXPECT_TRUE(logged_error_captions().empty()) << "no call reported a failure";

        /* a check of the same PC afterwards finds the same */
        sim::pc().faults.rules.clear();
        reset_program_state();
        EXPECT_EQ(run_program("--check -Q"), c.found[0] == '\0' ? 0 : 1);
    }
}

TEST(RunLog, EveryRunAppendsOneBlockWordForWord)
{
    fresh_pc("winxp");
    sim::pc().registry.create(kModemClass);
    sim::pc().files.add_file(log_path(), "\xEF\xBB\xBF" "an earlier run\r\n");
    sim::pc().answers = {IDOK};

    EXPECT_EQ(run_program("-C"), 0);

    std::vector<std::string> expected = {
        "an earlier run",
        "======== 開始 2026/12/08 10:00:00 ========",
        std::string("プログラム: QZUninst 1.1.0.0 ") + (sizeof(void *) == 8 ? "(64 ビット版)" : "(32 ビット版)"),
        "引き継ぎ: なし",
        "Windows: 5.1.2600 (Windows NT 系、32 ビット)",
        "コンピュータ名: PELTO-PC01",
        "アカウント: admin",
        "セッション ID: 1",
        "プロセス ID: 2400",
        "昇格: 不明", /* Windows XP knows no elevation */
        "コマンドライン: \"-C\"",
        "メッセージ [Pelto QZ シリーズ USB ドライバアンインストーラ]",
        "    Pelto QZ シリーズ USB ドライバを削除します。",
        "    よろしいですか？",
        "応答: OK",
        "メッセージ [Pelto QZ シリーズ USB ドライバアンインストーラ]",
        "    Pelto QZ シリーズはインストールされていません。",
        "応答: OK",
        "製品 0: デバイス なし、サービス 実行せず、ファイル なし、OEM INF なし",
        "製品 1: デバイス なし、サービス なし、ファイル なし、OEM INF なし",
        "集計: 削除 0、一部削除 0、失敗 0、なし 7、実行せず 1",
        "失敗の報告: 0 件",
        "削除後の確認:",
        "残っている項目: なし",
        "メッセージ [Pelto QZ シリーズ USB ドライバアンインストーラ]",
        "    Pelto QZ シリーズ USB ドライバアンインストーラ処理を完了しました。",
        "応答: OK",
        "再起動: 不要",
        "結果: 完了、終了コード 0",
        "======== 終了 2026/12/08 10:00:00 (所要時間 0 秒) ========",
    };
    EXPECT_EQ(log_lines(), expected);
    const sim::FileEntry *log = sim::pc().files.find(log_path());
    ASSERT_NE(log, nullptr);
    std::string bytes(log->data.begin(), log->data.end());
    EXPECT_EQ(bytes.find("\n"), bytes.find("\r\n") + 1) << "CR LF line ends";
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

/* A folder that leads elsewhere, as `mklink /J` makes it. */
static void make_junction(const std::string &folder, const std::string &target)
{
    sim::pc().files.add_dir(folder);
    sim::pc().files.find(folder)->reparse_target = target;
}

TEST(RunLog, NeverWritesThroughALinkAndFallsBackFromLogToTheDefault)
{
    /* SYSTEM on Windows XP writes to C:\WINDOWS\Temp, where any user can make a file */
    const std::string target = "C:\\WINDOWS\\system32\\config\\SYSTEM";
    const std::string deploy = "C:\\Deploy\\qz.log";
    const struct {
        const char *what;
        std::string tail;
        std::function<void(const std::string &default_log)> plant;
        std::string block_in; /* where the block goes; "" nowhere */
        std::string note;     /* a line of the block */
    } cases[] = {
        {"a link planted as the log", "-Q",
         [&](const std::string &log) { sim::pc().files.add_file(log).reparse_target = target; }, "", ""},
        {"a second name of another file", "-Q",
         [&](const std::string &log) {
             sim::pc().files.add_file(log, "system data").hard_link = target;
             sim::pc().files.find(target)->hard_link = log;
         }, "", ""},
        {"--log names a link", "-Q --log " + deploy,
         [&](const std::string &) { sim::pc().files.add_file(deploy).reparse_target = target; }, "default",
         "ログ: " + deploy + " には書き込みません (リンクなどの再解析ポイントです)"},
        {"--log names a missing folder", "-Q --log C:\\Nowhere\\qz.log", [](const std::string &) {}, "default",
         "ログ: C:\\Nowhere\\qz.log には書き込みません (開けません。エラー番号 3)"},
        {"--log names a file that can be written", "--log " + deploy + " -Q",
         [&](const std::string &) { sim::pc().files.add_dir("C:\\Deploy"); }, deploy, "コマンドライン: \"--log " + deploy + " -Q\""},
        {"--log in a folder that users can change", "-Q --log " + deploy,
         [&](const std::string &) {
             sim::pc().files.add_dir("C:\\Deploy");
             sim::pc().files.find("C:\\Deploy")->security = "O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;AU)";
         }, "default",
         "ログ: " + deploy + " には書き込みません (管理者と SYSTEM 以外のアカウント (NT AUTHORITY\\Authenticated Users) も書き込めます)"},
        {"--log names a file that is no log", "-Q --log " + target,
         [](const std::string &) {}, "default",
         "ログ: " + target + " には書き込みません (このプログラムのログではないファイルです)"},
        {"--log through a folder that is a junction", "-Q --log C:\\Deploy\\SYSTEM",
         [&](const std::string &) { make_junction("C:\\Deploy", "C:\\WINDOWS\\system32\\config"); }, "default",
         "ログ: C:\\Deploy\\SYSTEM には書き込みません (途中のフォルダがリンクなどの再解析ポイントです)"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        sim::pc().registry.create(kModemClass);
        sim::run_as_system();
        sim::pc().files.add_file(target, "system data");
        c.plant(log_path());
        auto before = sim::pc().files.snapshot();

        EXPECT_EQ(run_program(c.tail), 0);

        EXPECT_EQ(std::string(sim::pc().files.find(target)->data.begin(), sim::pc().files.find(target)->data.end()),
                  "system data") << "nothing is written through the link";
        std::string block_in = c.block_in == "default" ? log_path() : c.block_in;
        std::vector<std::string> lines = log_lines(block_in);
        if (block_in.empty())
            EXPECT_EQ(sim::pc().files.snapshot(), before) << "no file is made or changed";
        else
            EXPECT_NE(std::find(lines.begin(), lines.end(), c.note), lines.end()) << block_in;
        EXPECT_TRUE(sim::pc().kernel_handles.empty());
    }
}

TEST(RunLog, AFolderMadeALinkAfterItWasLookedAtIsToldByTheFinalPath)
{
    /* a user who can change the --log folder swaps it for a junction between
       the program's look at the folders and its open: Windows 7 tells where
       the open led (GetFinalPathNameByHandleA); on Windows XP the file it
       reaches is still no log of the program, and is neither moved nor written */
    for (const char *windows : {"win7", "winxp"}) {
        SCOPED_TRACE(windows);
        fresh_pc(windows);
        sim::pc().registry.create(kModemClass);
        sim::run_as_system();
        const std::string target = sim::pc().windows_dir + "\\system32\\config\\SYSTEM";
        sim::pc().files.add_file(target, "system data");
        sim::pc().files.add_dir("C:\\Deploy");
        sim::pc().faults.on_call = [](long, const char *function) {
            if (std::string(function) == "CreateFileA" && sim::pc().files.find("C:\\Deploy")->reparse_target.empty())
                sim::pc().files.find("C:\\Deploy")->reparse_target = sim::pc().windows_dir + "\\system32\\config";
        };
        EXPECT_EQ(run_program("-Q --log C:\\Deploy\\SYSTEM"), 0);
        sim::pc().faults.on_call = nullptr;
        const sim::FileEntry *system = sim::pc().files.find(target);
        ASSERT_NE(system, nullptr) << "moved away";
        EXPECT_EQ(std::string(system->data.begin(), system->data.end()), "system data");
        EXPECT_TRUE(log_has(std::string("ログ: C:\\Deploy\\SYSTEM には書き込みません (") +
                            (std::string(windows) == "win7" ? "開いたファイルが指定の場所のものではありません)"
                                                           : "このプログラムのログではないファイルです)")));
    }
}

TEST(RunLog, ALogTooBigOrOfTheOldEncodingIsMovedAsideFirst)
{
    const std::string mark = "\xEF\xBB\xBF";
    const std::string cp932_block = cp932("======== 開始 2025/01/01 09:00:00 ========\r\n");
    const struct {
        const char *windows;
        std::string before;
        const char *note; /* the note of the move; null: the log is added to */
    } cases[] = {
        {"winxp", mark + std::string(1048574, 'x'), "ログ: 1 MiB を超えたため、これまでの記録を QZUninst.old.log に移しました。"},
        {"winxp", mark + std::string(1048573, 'x'), nullptr}, /* at 1 MiB exactly it stays */
        {"win7", cp932_block, "ログ: 以前の版の記録 (シフト JIS) を C:\\Users\\admin\\AppData\\Local\\Temp\\QZUninst.old.log に移しました。"},
        {"winxp", "x", nullptr}, /* no log of the program's: left as it is, not moved */
        {"win98", cp932_block, nullptr}, /* Windows 98/Me keep code page 932 */
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.windows) + " " + std::to_string(c.before.size()));
        fresh_pc(c.windows);
        sim::pc().registry.create(kModemClass);
        const std::string old_log = sim::pc().temp_dir + "\\QZUninst.old.log";
        sim::pc().files.add_file(log_path(), c.before);
        sim::pc().files.add_file(old_log, "older");
        run_program("-Q");
        const std::vector<uint8_t> &now = sim::pc().files.find(log_path())->data;
        std::string bytes(now.begin(), now.end());
        std::string old_bytes(sim::pc().files.find(old_log)->data.begin(), sim::pc().files.find(old_log)->data.end());
        if (c.note != nullptr) {
            EXPECT_EQ(old_bytes, c.before) << "moved whole, the older one replaced";
            EXPECT_EQ(bytes.substr(0, 3), mark) << "the log starts anew, marked";
            EXPECT_TRUE(log_has(c.note));
        } else {
            EXPECT_EQ(old_bytes, "older");
            EXPECT_EQ(bytes.substr(0, c.before.size()), c.before) << "kept";
        }
    }
}

TEST(RunLog, TwoRunsStartedTogetherLeaveTwoWholeBlocks)
{
    /* the second starts while the first, which holds the lock, shows its confirmation */
    Scenario s = quietly("nt-both-complete-cancel", "-C", 0);
    build_scenario_pc(s, nullptr);
    sim::pc().answers = {IDOK, IDCANCEL};
    int second = 0;
    sim::pc().while_next_box = [&] { second = run_another_copy("-Q -C"); };

    EXPECT_EQ(run_program("-C"), 0);

    EXPECT_EQ(second, 1618);
    /* the first run wrote its head when it took the lock; the second one's
       block, written whole when it ended, lies between that and the rest */
    std::vector<std::string> lines = log_lines();
    std::vector<std::vector<std::string>> blocks(2);
    bool in_second = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i != 0 && lines[i].rfind("======== 開始", 0) == 0)
            in_second = true;
        blocks[in_second ? 0 : 1].push_back(lines[i]);
        if (in_second && lines[i].rfind("======== 終了", 0) == 0)
            in_second = false;
    }
    const char *const ids[] = {"プロセス ID: 2404", "プロセス ID: 2400"}; /* the second ended first */
    const char *const results[] = {"結果: 実行せず (別のコピーが実行中)、終了コード 1618", "結果: 完了 (Windows の再起動が必要)、終了コード 0"};
    for (int i = 0; i < 2; ++i) {
        ASSERT_GE(blocks[i].size(), 2u);
        EXPECT_EQ(blocks[i].front().rfind("======== 開始", 0), 0u);
        EXPECT_EQ(blocks[i].end()[-2], results[i]);
        EXPECT_EQ(blocks[i].back().rfind("======== 終了", 0), 0u);
        EXPECT_EQ(std::count(blocks[i].begin(), blocks[i].end(), std::string(ids[i])), 1);
    }
}

TEST(RunLog, ARunEndedFromOutsideLeavesTheStepsItFinished)
{
    /* a deployment tool ends the run when its time-out passes: the head went
       to the disk with the lock, each step's lines when the step ended */
    const std::string scheduled = "使用中のため、Windows の再起動時に削除します: C:\\WINDOWS\\system32\\drivers\\QZUSBCOM.SYS";
    /* ended while the files step goes on (right after it set the file to go
       at the restart), or at the first call after the step's lines were flushed */
    for (int flushes_after_scheduling : {0, 1}) {
        SCOPED_TRACE(flushes_after_scheduling);
        Scenario s = quietly("nt-held-driver-file-quiet", "-Q -D", 0);
        build_scenario_pc(s, nullptr);
        int flushed = -1; /* counted from the scheduling on */
        sim::pc().faults.on_call = [&](long, const char *function) {
            if (flushed == flushes_after_scheduling)
                throw sim::ProcessEnded();
            if (std::string(function) == "MoveFileExA")
                flushed = 0;
            else if (flushed >= 0 && std::string(function) == "FlushFileBuffers")
                ++flushed;
        };
        EXPECT_THROW(run_program(s.args), sim::ProcessEnded);
        sim::pc().faults.on_call = nullptr;
        std::vector<std::string> lines = log_lines();
        ASSERT_GE(lines.size(), 10u);
        EXPECT_EQ(lines.front().rfind("======== 開始", 0), 0u);
        EXPECT_EQ(lines[9], "コマンドライン: \"-Q -D\"");
        EXPECT_EQ(log_has(scheduled), flushes_after_scheduling == 1);
        EXPECT_EQ(lines.back().rfind("結果: ", 0), std::string::npos) << "no result: the run never ended";
    }
}

TEST(RunLog, ACommandLineOfLineFeedsIsWrittenIndentedAndCut)
{
    /* every line feed becomes CR LF and an indent: six bytes for one */
    fresh_pc("winxp");
    std::string tail = "-C";
    for (int i = 0; i < 1000; ++i)
        tail += "\nx";
    EXPECT_EQ(run_program(tail), -1);

    std::vector<std::string> lines = log_lines();
    ASSERT_GE(lines.size(), 11u);
    EXPECT_EQ(lines[9], "コマンドライン: \"-C");
    int indented = 0;
    while (10 + indented < (int)lines.size() && lines[10 + indented] == "    x")
        ++indented;
    /* "コマンドライン: \"-C" is 26 bytes in UTF-8 */
    EXPECT_EQ(indented, (1023 - 26) / 2) << "the line is cut where its 1,024 bytes end";
    EXPECT_EQ(lines.end()[-2], "結果: 実行せず (コマンドラインが無効)、終了コード -1");
}

TEST(RunLock, ACopyOfAnyAccountWaitsForAnotherAndIsTurnedAwayOnlyWhenItRuns)
{
    const char *not_ours = "ロック: 同じ名前のロックを管理者以外のアカウントが作成しているため、実行中のコピーとは見なさずに続行しました。";
    const struct {
        const char *tail;
        bool held;          /* another process holds it */
        bool other_account; /* made with another security: reading its owner refused, waiting granted */
        bool closed;        /* ... not even waiting granted */
        bool abandoned;     /* its last owner ended without giving it back */
        int exit_code;
        DWORD waited_ms;
        const char *line;   /* of the log */
        const char *owner = "BA"; /* a copy run by an administrator made it; "SY" SYSTEM, "user" a standard user */
        bool event = false;       /* an event has the name */
    } cases[] = {
        {"-C", true, false, false, false, -1, 0, "応答: OK"}, /* a person is told at once */
        {"-Q -C", true, false, false, false, 1618, 10000, "ロック: 10 秒待ちましたが、取得できませんでした。"},
        /* a copy run as SYSTEM: the same security, another account */
        {"-Q", true, false, false, false, 1618, 10000, "ロック: 10 秒待ちましたが、取得できませんでした。", "SY"},
        /* a standard user made and holds an object of that name: not a run of the program */
        {"-Q -C", true, false, false, false, 3010, 0, not_ours, "user"},
        {"-Q -C", true, true, false, false, 3010, 0, not_ours},
        {"-Q -C", false, false, true, false, 3010, 0, not_ours},
        {"-Q -C", false, false, false, false, 3010, 0,
         "ロック: 同じ名前でミューテックス以外のオブジェクトがあるため、実行中のコピーとは見なさずに続行しました。", "BA", true},
        {"-Q -C", false, false, false, true, 3010, 0, "ロック: 前回の実行が解放せずに終了したロックを取得しました。"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.tail) + (c.held ? ", held" : "") + (c.other_account ? ", of another account" : "") +
                     (c.closed ? ", closed to us" : "") + (c.abandoned ? ", abandoned" : "") + ", owner " + c.owner +
                     (c.event ? ", an event" : ""));
        Scenario s = quietly("nt-both-complete-cancel", c.tail, c.exit_code);
        build_scenario_pc(s, nullptr);
        sim::Pc::Mutex &lock = sim::pc().mutexes["GLOBAL\\PELTOQZSERIESUSBDRIVERUNINSTALLER"];
        lock.held_elsewhere = c.held;
        lock.access_denied = c.other_account;
        lock.wait_denied = c.closed;
        lock.abandoned = c.abandoned;
        lock.owner = c.owner;
        lock.not_a_mutex = c.event;
        auto registry = sim::pc().registry.snapshot();
        auto files = sim::pc().files.snapshot();

        EXPECT_EQ(run_program(c.tail), c.exit_code);

        if (c.exit_code == -1) {
            EXPECT_EQ(box_lines(), std::vector<std::string>{box_line(
                                       kCaption, "本アプリケーションは、既に起動しています。\nしばらく待ってから、もう一度実行してください。",
                                       MB_OK | MB_ICONERROR)});
        } else {
            EXPECT_TRUE(sim::pc().boxes.empty());
        }
        EXPECT_TRUE(log_has(c.line));
        EXPECT_EQ(sim::pc().waited_ms, c.waited_ms);
        if (c.exit_code != 3010) {
            EXPECT_EQ(sim::pc().registry.snapshot(), registry);
            EXPECT_EQ(files_but_log(), files);
        }
        EXPECT_FALSE(lock.owned) << "given back";
        EXPECT_TRUE(sim::pc().kernel_handles.empty()) << "the lock's handle is closed";
    }
}

TEST(RunLock, IsMadeWithTheProgramsSecurityAndBelongsToAdministratorsWhenAnAdministratorMakesIt)
{
    for (bool administrator : {true, false}) {
        fresh_pc("winxp");
        sim::pc().administrator = administrator;
        sim::pc().answers = {IDCANCEL};
        run_program("");
        const sim::Pc::Mutex &lock = sim::pc().mutexes["GLOBAL\\PELTOQZSERIESUSBDRIVERUNINSTALLER"];
        EXPECT_TRUE(lock.program_security) << "administrator " << administrator;
        /* a standard user may not give Administrators an object: the lock is then their own */
        EXPECT_EQ(lock.owner, administrator ? "BA" : "user");
        EXPECT_TRUE(sim::pc().local_blocks.empty()) << "the security descriptor is freed";
    }
}

TEST(RunLock, FromVistaOnLivesInANamespaceThatOnlyAdministratorsReach)
{
    const std::string global = "GLOBAL\\PELTOQZSERIESUSBDRIVERUNINSTALLER";
    const std::string private_lock = "PELTOQZUNINST|S-1-5-32-544\\PELTOQZSERIESUSBDRIVERUNINSTALLER";
    const struct {
        const char *why;
        const char *version;
        bool administrator;
        bool squatted;         /* a standard user made and holds the global name, or an event of it */
        bool event;
        const char *fault;     /* a namespace call that fails */
        std::string made;      /* where the run's lock is */
    } cases[] = {
        {"an administrator", "win10", true, false, false, nullptr, private_lock},
        {"a standard user holds the global name", "win10", true, true, false, nullptr, private_lock},
        {"an event has the global name", "win7", true, true, true, nullptr, private_lock},
        {"a standard user is not in the boundary", "win10", false, false, false, nullptr, global},
        {"Windows XP has no namespaces", "winxp", true, false, false, nullptr, global},
        {"the namespace cannot be made", "win10", true, false, false, "CreatePrivateNamespaceW", global},
        {"the boundary cannot be made", "win10", true, false, false, "CreateBoundaryDescriptorW", global},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.why);
        fresh_pc(c.version);
        sim::pc().administrator = c.administrator;
        sim::pc().answers = {IDCANCEL};
        if (c.squatted) {
            sim::Pc::Mutex &squatter = sim::pc().mutexes[global];
            squatter.held_elsewhere = true;
            squatter.owner = "user";
            squatter.not_a_mutex = c.event;
        }
        if (c.fault)
            sim::pc().faults.fail(c.fault, ERROR_ACCESS_DENIED);

        EXPECT_EQ(run_program(""), 0);

        ASSERT_EQ(sim::pc().mutexes.count(c.made), 1u);
        EXPECT_TRUE(sim::pc().mutexes[c.made].program_security);
        EXPECT_FALSE(sim::pc().mutexes[c.made].owned) << "given back";
        EXPECT_EQ(sim::pc().waited_ms, 0u);
        for (const std::string &line : log_lines())
            EXPECT_NE(line.rfind("ロック: ", 0), 0u) << "no object of the global name is looked at: " << line;
        EXPECT_TRUE(sim::pc().kernel_handles.empty()) << "the lock's and the namespace's handles are closed";
        EXPECT_TRUE(sim::pc().boundaries.empty()) << "the boundary is deleted";
        EXPECT_TRUE(sim::pc().local_blocks.empty());
    }
}

TEST(RunLock, IsTakenBeforeTheQuestionAndGivenBackAfterwards)
{
    for (int answer : {IDOK, IDCANCEL}) {
        fresh_pc("win98");
        sim::pc().answers = {answer};
        run_program("");
        /* the only mutex the run made: Windows 98/Me names have no namespace */
        const auto &mutexes = sim::pc().mutexes;
        ASSERT_EQ(mutexes.size(), 1u) << "answer " << answer;
        EXPECT_EQ(mutexes.begin()->first, "PELTOQZSERIESUSBDRIVERUNINSTALLER") << "answer " << answer;
        EXPECT_FALSE(mutexes.begin()->second.owned) << "given back; answer " << answer;
        EXPECT_EQ(sim::pc().faults.counts["CreateMutexA"], 1);
        EXPECT_TRUE(sim::pc().kernel_handles.empty());
    }
}
