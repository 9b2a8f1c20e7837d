/*
 * quiet_run_test.cpp - quiet runs for deployment tools, the log every run
 * appends to, and the lock that keeps a second copy out.
 */
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
        EXPECT_TRUE(log_has("終了コード: " + std::to_string(c.exit_code)));
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
    EXPECT_TRUE(log_has("報告した失敗: 1"));
    EXPECT_TRUE(log_has("再起動: 必要 (無人実行のため再起動しません)")) << "a restart is needed all the same";
}

TEST(RunLog, EveryRunAppendsOneBlockWordForWord)
{
    fresh_pc("winxp");
    sim::pc().registry.create(kModemClass);
    sim::pc().files.add_file(log_path(), "an earlier run\r\n");
    sim::pc().answers = {IDOK};

    EXPECT_EQ(run_program("-C"), 0);

    std::vector<std::string> expected = {
        "an earlier run",
        "======== 開始 2026/12/08 10:00:00 ========",
        std::string("プログラム: QZUninst 1.1.0.0 ") + (sizeof(void *) == 8 ? "(64 ビット版)" : "(32 ビット版)"),
        "コマンドライン: \"-C\"",
        "Windows: 5.1.2600 (プラットフォーム 2)",
        "メッセージ [Pelto QZ シリーズ USB ドライバアンインストーラ]",
        "    Pelto QZ シリーズ USB ドライバを削除します。",
        "    よろしいですか？",
        "応答: OK",
        "メッセージ [Pelto QZ シリーズ USB ドライバアンインストーラ]",
        "    Pelto QZ シリーズはインストールされていません。",
        "応答: OK",
        "製品 0: デバイス なし、サービス なし、ファイル なし、OEM INF なし",
        "製品 1: デバイス なし、サービス なし、ファイル なし、OEM INF なし",
        "集計: 削除 0、一部削除 0、失敗 0、なし 8",
        "報告した失敗: 0",
        "メッセージ [Pelto QZ シリーズ USB ドライバアンインストーラ]",
        "    Pelto QZ シリーズ USB ドライバアンインストーラ処理を完了しました。",
        "応答: OK",
        "再起動: 不要",
        "終了コード: 0",
    };
    EXPECT_EQ(log_lines(), expected);
    const sim::FileEntry *log = sim::pc().files.find(log_path());
    ASSERT_NE(log, nullptr);
    std::string bytes(log->data.begin(), log->data.end());
    EXPECT_EQ(bytes.find("\n"), bytes.find("\r\n") + 1) << "CR LF line ends";
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
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
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], "コマンドライン: \"-C");
    int indented = 0;
    while (3 + indented < (int)lines.size() && lines[3 + indented] == "    x")
        ++indented;
    EXPECT_EQ(indented, (1023 - 19) / 2) << "the line is cut where its 1,024 bytes end";
    EXPECT_EQ(lines.back(), "終了コード: -1");
}

TEST(RunLock, ASecondCopyIsTurnedAwayAndChangesNothing)
{
    const struct {
        const char *tail;
        bool access_denied; /* the lock was made by a copy running as another user */
        int exit_code;
        DWORD waited_ms;
    } cases[] = {
        {"-C", false, -1, 0},          /* a person is told at once */
        {"-Q -C", false, 1618, 10000}, /* a deployment tool waits ten seconds, then gives up */
        {"-C", true, -1, 0},
        {"-Q", true, 1618, 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.tail) + (c.access_denied ? ", made by another user" : ""));
        Scenario s = quietly("nt-both-complete-cancel", c.tail, c.exit_code);
        build_scenario_pc(s, nullptr);
        sim::Pc::Mutex &lock = sim::pc().mutexes["GLOBAL\\PELTOQZSERIESUSBDRIVERUNINSTALLER"];
        lock.held_elsewhere = !c.access_denied;
        lock.access_denied = c.access_denied;
        auto registry = sim::pc().registry.snapshot();
        auto files = sim::pc().files.snapshot();

        EXPECT_EQ(run_program(c.tail), c.exit_code);

        if (c.exit_code == -1) {
            EXPECT_EQ(box_lines(), std::vector<std::string>{box_line(
                                       kCaption, "本アプリケーションは、既に起動しています。", MB_OK | MB_ICONERROR)});
        } else {
            EXPECT_TRUE(sim::pc().boxes.empty());
            EXPECT_TRUE(log_has("    本アプリケーションは、既に起動しています。"));
        }
        EXPECT_EQ(sim::pc().waited_ms, c.waited_ms);
        EXPECT_EQ(sim::pc().registry.snapshot(), registry);
        EXPECT_EQ(files_but_log(), files);
        EXPECT_TRUE(sim::pc().kernel_handles.empty()) << "the lock's handle is closed";
    }
}

TEST(RunLock, IsTakenBeforeTheQuestionAndGivenBackAfterwards)
{
    for (int answer : {IDOK, IDCANCEL}) {
        fresh_pc("win98");
        sim::pc().answers = {answer};
        run_program("");
        const sim::Pc::Mutex &lock = sim::pc().mutexes["PELTOQZSERIESUSBDRIVERUNINSTALLER"];
        EXPECT_FALSE(lock.owned) << "Windows 98/Me: the name has no namespace; answer " << answer;
        EXPECT_EQ(sim::pc().faults.counts["CreateMutexA"], 1);
        EXPECT_TRUE(sim::pc().kernel_handles.empty());
    }
}
