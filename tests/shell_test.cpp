/*
 * shell_test.cpp - the shell: platform check, options, confirmation,
 * closing box and restart, error box, file kinds, texts.
 */
#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>

#include "harness.h"
#include "../common/error_report.h"
#include "../common/run_log.h"
#include "../common/file_kind.h"
#include "../common/message_box.h"
#include "../common/own_text.h"
#include "../simpc/text.h"
#include "../common/texts.h"
#include "../common/text_buffers.h"
#include "../shell/uninstaller.h"
#include "../nt_removal/nt_removal.h"
#include "../w9x_removal/w9x_removal.h"
#include "../shell/back_ends.h"
#include "../shell/verdict.h"
#include "../nt_removal/nt_steps.h"
#include "../w9x_removal/w9x_steps.h"

static const std::string kUnsupported = "本アプリケーションは、この OS 上では動作いたしません。";
static const std::string kInvalid = "無効なオプションです。";
static const std::string kConfirm = "Pelto QZ シリーズ USB ドライバを削除します。\nよろしいですか？";
static const std::string kRestart =
    "Pelto QZ シリーズ USB ドライバを削除しました。\nWindows の再起動が必要です。\n\n今すぐに再起動しますか？";
static const std::string kFinished = "Pelto QZ シリーズ USB ドライバアンインストーラ処理を完了しました。";

/* ---- texts ---------------------------------------------------------------- */

TEST(Texts, AreTheCodePage932BytesOfTheJapaneseTexts)
{
    struct {
        const char *bytes;
        std::string expected;
    } cases[] = {
        {text_uninstaller_caption, kCaption},
        {text_unsupported_platform, kUnsupported},
        {text_invalid_option, kInvalid},
        {text_confirm_removal, kConfirm},
        {text_restart_question, kRestart},
        {text_finished, kFinished},
        {text_not_installed_suffix, "はインストールされていません。"},
        {text_remove_question_suffix, "がインストールされています。\n削除しますか？"},
        {text_series_display_name, "Pelto QZ シリーズ"},
        {text_qz65_display_name, "Pelto QZ 65"},
        {text_already_running, "本アプリケーションは、既に起動しています。\nしばらく待ってから、もう一度実行してください。"},
        /* the log's own texts */
        {text_log_start, "======== 開始 "},
        {text_log_program, "プログラム: QZUninst "},
        {text_log_32bit, " (32 ビット版)"},
        {text_log_64bit, " (64 ビット版)"},
        {text_log_command_line, "コマンドライン: "},
        {text_log_handing_over, "64 ビット版に引き継ぎます: "},
        {text_log_quiet, "無人実行: はい"},
        {text_log_message, "メッセージ "},
        {text_log_answer_ok, "応答: OK"},
        {text_log_answer_cancel, "応答: キャンセル"},
        {text_log_answer_quiet, "応答: なし (無人実行)"},
        {text_log_answer_failed, "応答: なし (メッセージを表示できませんでした)"},
        {text_log_lock_timeout, "ロック: 10 秒待ちましたが、取得できませんでした。"},
        {text_log_product, "製品 "},
        {text_log_step_devices, "デバイス "},
        {text_log_step_services, "サービス "},
        {text_log_step_files, "ファイル "},
        {text_log_step_registry, "レジストリ "},
        {text_log_status_nothing, "なし"},
        {text_log_status_removed, "削除"},
        {text_log_status_partly, "一部削除"},
        {text_log_status_failed, "失敗"},
        {text_log_separator, "、"},
        {text_log_totals, "集計: "},
        {text_log_restart_not_needed, "再起動: 不要"},
        {text_log_restart_started, "再起動: 必要 (再起動します)"},
        {text_log_restart_declined, "再起動: 必要 (再起動しません)"},
        {text_log_restart_quiet, "再起動: 必要 (無人実行のため再起動しません)"},
        /* the block's head and end, the command line, the lock, the log file, the results */
        {text_log_handed_over, "64 ビット版 (プロセス ID "},  {text_log_handed_over_code, ") の終了コード: "},
        {text_log_hand_over, "引き継ぎ: "},                  {text_log_hand_over_none, "なし"},
        {text_log_hand_over_timed_out, "64 ビット版の終了を 30 分待ちましたが、終了しませんでした。待たずに終了します。"},
        {text_log_hand_over_to, "64 ビット版に引き継ぎます"}, {text_log_hand_over_from, "32 ビット版 (プロセス ID "},
        {text_log_hand_over_from_end, ") から引き継ぎました"}, {text_log_family_nt, " (Windows NT 系、"},
        {text_log_family_9x, " (Windows 9x 系、"},           {text_log_family_other, " (プラットフォーム ID "},
        {text_log_windows_32bit, "32 ビット)"},              {text_log_windows_64bit, "64 ビット)"},
        {text_log_computer, "コンピュータ名: "},             {text_log_account, "アカウント: "},
        {text_log_session, "セッション ID: "},               {text_log_process, "プロセス ID: "},
        {text_log_elevated, "昇格: "},                       {text_log_yes, "はい"},
        {text_log_no, "いいえ"},                             {text_log_unknown, "不明"},
        {text_log_station_invisible, "ウィンドウ ステーション: 表示されません (サービス、またはセッション 0 の SYSTEM としての実行)"},
        {text_log_quiet_required, "メッセージを表示できない実行では、--quiet (-Q) を指定してください。何も削除せずに終了します。"},
        {text_log_line_invalid, "コマンドラインが無効です。何も削除せずに終了します。"},
        {text_log_valid_lines_nt, "有効なコマンドライン: なし、-D、-C、--check (--default、--complete も可。大文字と小文字は区別し、前後に空白を付けない)。-Q を付けると無人実行 (前後どちらでも可。-q、/q、/quiet、--quiet も可で、大文字と小文字は区別せず、区切りの空白はいくつでも可)。--log パスはどの位置にも 1 回だけ付けられます。"},
        {text_log_valid_lines_9x, "有効なコマンドライン: なし、--check (大文字と小文字は区別し、前後に空白を付けない)。-Q を付けると無人実行 (前後どちらでも可。-q、/q、/quiet、--quiet も可で、大文字と小文字は区別せず、区切りの空白はいくつでも可)。--log パスはどの位置にも 1 回だけ付けられます。"},
        {text_log_log_option_rule, "--log のあとには空白 1 つとパスを指定します (空白を含むパスは \" で囲みます)。"
                                   "--log はどの位置にも置けますが、1 回だけです。"},
        {text_log_lock_not_ours, "ロック: 同じ名前のロックを管理者以外のアカウントが作成しているため、実行中のコピーとは見なさずに続行しました。"},
        {text_log_lock_not_mutex, "ロック: 同じ名前でミューテックス以外のオブジェクトがあるため、実行中のコピーとは見なさずに続行しました。"},
        {text_log_lock_abandoned, "ロック: 前回の実行が解放せずに終了したロックを取得しました。"},
        {text_log_partner_writable, "引き継ぎ: サービス アカウントとしての実行では、管理者以外のアカウントが書き込めるファイルまたはフォルダーにある 64 ビット版を起動しません: "},
        {text_log_partner_writer, " (書き込めるアカウント: "},
        {text_log_partner_unsigned, "引き継ぎ: 本アプリケーションは署名されていますが、64 ビット版に有効な署名がないため、起動しません: "},
        {text_log_partner_other_signer, "引き継ぎ: 64 ビット版の署名が本アプリケーションとは別の証明書によるため、起動しません: "},
        {text_log_own_signature_unverified, "引き継ぎ: 本アプリケーションの署名を確認できないため、64 ビット版を起動しません"},
        {text_log_partner_verify_result, " (署名の確認結果: "},
        {text_log_status_not_run, "実行せず"},               {text_log_files_of, " (対象の "},
        {text_check_found, "Pelto QZ シリーズ USB ドライバの次の項目が見つかりました。\n\n"},
        {text_check_nothing, "Pelto QZ シリーズ USB ドライバは見つかりませんでした。"},
        {text_check_failed, "Pelto QZ シリーズ USB ドライバの確認を、最後まで行えませんでした。"},
        {text_log_check_only, "確認のみ: 何も削除しません"}, {text_log_found_total, "検出した項目: "},
        {text_log_proof, "削除後の確認:"},                   {text_log_remaining, "残っている項目: "},
        {text_result_found, "ドライバあり (検出した項目を参照)"}, {text_result_nothing_found, "ドライバなし"},
        {text_result_check_failed, "確認できず (失敗の報告を参照)"},
        {text_result_left_behind, "失敗 (削除後に残っている項目あり)"},
        {text_log_found, "検出 "},                           {text_log_found_at_restart, "再起動時に削除 "},
        {text_log_other_driver, "対象外 (別のドライバ) デバイス: "}, {text_log_no_driver, "対象外 (ドライバなし) デバイス: "},
        {text_log_waiting_total, "再起動時に削除される項目: "},
        {text_check_waiting, "Pelto QZ シリーズ USB ドライバの削除は、Windows の再起動時に完了します。"},
        {text_result_waiting, "ドライバなし (Windows の再起動時に削除される項目あり)"},
        {text_kind_devices, "デバイス"},                     {text_kind_service_keys, "サービス キー"},
        {text_kind_driver_files, "ドライバ ファイル"},       {text_kind_class_infs, "クラス INF"},
        {text_kind_oem_infs, "OEM INF"},                     {text_kind_packages, "ドライバ パッケージ"},
        {text_kind_enum_keys, "Enum キー"},                  {text_kind_driver_keys, "ドライバ キー"},
        {text_kind_ports, "ポート"},                         {text_kind_vxd_registrations, "VxD 登録"},
        {text_kind_files, "ファイル"},
        {text_log_answer_held_back, "応答: なし (削除後の確認のため表示せず)"},
        {text_log_file_scheduled, "使用中のため、Windows の再起動時に削除します: "},
        {text_log_device_at_restart, "使用中のため、Windows の再起動時に削除が完了します: "},
        {text_log_files_present, " 個のうち "},              {text_log_files_all_deleted, " 個があり、すべて削除)"},
        {text_log_failures, "失敗の報告: "},                 {text_log_failures_unit, " 件"},
        {text_log_failures_in_steps, " (手順の中で "},       {text_log_failures_outside, " 件、手順の外で "},
        {text_log_failures_more_before, "ほか "},            {text_log_failure_number, "エラー番号 "},
        {text_log_file, "ログ: "},                           {text_log_file_passed_over, " には書き込みません ("},
        {text_log_file_link, "リンクなどの再解析ポイントです"}, {text_log_file_hard_link, "ほかの名前 (ハードリンク) もあるファイルです"},
        {text_log_file_unchecked, "ファイルの種類を確認できません"}, {text_log_file_error, "開けません。エラー番号 "},
        {text_log_file_moved, "ログ: 1 MiB を超えたため、これまでの記録を QZUninst.old.log に移しました。"},
        {text_log_file_not_moved, "ログ: 1 MiB を超えましたが、QZUninst.old.log に移せませんでした (エラー番号 "},
        {text_log_file_old_encoding, "ログ: 以前の版の記録 (シフト JIS) を "}, {text_log_file_moved_to, " に移しました。"},
        {text_log_file_not_moved_to, " に移せませんでした (エラー番号 "},
        {text_log_file_folder_link, "途中のフォルダがリンクなどの再解析ポイントです"},
        {text_log_file_elsewhere, "開いたファイルが指定の場所のものではありません"},
        {text_log_file_not_a_log, "このプログラムのログではないファイルです"},
        {text_log_file_users_write, "管理者と SYSTEM 以外のアカウント ("}, {text_log_file_users_write_end, ") も書き込めます"},
        {text_log_result, "結果: "},                         {text_log_result_code, "、終了コード "},
        {text_log_end, "======== 終了 "},                   {text_log_elapsed, " (所要時間 "},
        {text_log_elapsed_end, " 秒) ========"},             {text_result_done, "完了"},
        {text_result_restart_needed, "完了 (Windows の再起動が必要)"}, {text_result_restarting, "完了 (Windows を再起動します)"},
        {text_result_cancelled, "取り消し (何も削除していません)"}, {text_result_failed, "失敗あり (失敗の報告を参照)"},
        {text_result_busy, "実行せず (別のコピーが実行中)"}, {text_result_invalid, "実行せず (コマンドラインが無効)"},
        {text_result_quiet_required, "実行せず (--quiet の指定が必要)"}, {text_result_unsupported, "実行せず (この OS には未対応)"},
        {text_result_lock_failed, "実行せず (ロックを取得できません)"},
        {text_result_not_handed_over, "実行せず (64 ビット版を起動できません)"},
        {text_result_handed_over, "64 ビット版が実行 (64 ビット版の記録を参照)"},
        {text_result_handed_over_unknown, "64 ビット版が実行 (終了コード不明)"},
    };
    for (auto &c : cases) {
        EXPECT_EQ(utf8(c.bytes), c.expected);
        /* the NT family's UTF-16 form is the code page 932 text, read as Windows reads it */
        WCHAR wide[1024];
        EXPECT_EQ(own_text_to_utf16(wide, 1024, c.bytes), 1) << c.expected;
        EXPECT_EQ(std::u16string(wide), sim::to_utf16(c.bytes, 932)) << c.expected;
    }
    for (int i = 0; i < own_character_count; ++i) {
        unsigned short code = own_characters[i].code;
        std::string bytes = code > 0xFF ? std::string{(char)(code >> 8), (char)code} : std::string(1, (char)code);
        EXPECT_EQ(sim::to_utf16(bytes, 932), std::u16string(1, (char16_t)own_characters[i].unicode)) << "code " << code;
        EXPECT_TRUE(i == 0 || own_characters[i - 1].code < code) << "sorted, for the search";
    }
    /* the busy box's first line is the wording it always had, byte for byte */
    EXPECT_EQ(std::string(text_already_running).substr(0, 42), cp932("本アプリケーションは、既に起動しています。"));
    /* the byte counts the message buffers are sized for */
    EXPECT_EQ(strlen(text_not_installed_suffix), 30u);
    EXPECT_EQ(strlen(text_remove_question_suffix), 43u);
    EXPECT_EQ(strlen(text_series_display_name), 17u);
}

/* ---- platform check --------------------------------------------------------- */

struct PlatformCase {
    DWORD platform_id;
    DWORD major;
    DWORD build;
    int expected_mode; /* 0: refused */
};

class PlatformCheck : public ::testing::TestWithParam<PlatformCase> {};

TEST_P(PlatformCheck, AcceptsWindows98MeAnd2000OnwardOnly)
{
    const PlatformCase &c = GetParam();
    fresh_pc(c.platform_id == VER_PLATFORM_WIN32_WINDOWS ? "win98" : "winxp");
    sim::pc().version.platform_id = c.platform_id;
    sim::pc().version.major = c.major;
    sim::pc().version.build = c.build;
    sim::pc().answers = {IDCANCEL};

    int code = run_program("");

    if (c.expected_mode == 0) {
        EXPECT_EQ(code, -1);
        EXPECT_EQ(run.platform_mode, 0);
        EXPECT_EQ(box_lines(), std::vector<std::string>{box_line(kCaption, kUnsupported, MB_OK | MB_ICONERROR)});
    } else {
        EXPECT_EQ(code, 0); /* cancelled at the confirmation */
        EXPECT_EQ(run.platform_mode, c.expected_mode);
        EXPECT_EQ(box_lines(),
                  std::vector<std::string>{box_line(kCaption, kConfirm, MB_OKCANCEL | MB_ICONWARNING)});
    }
    EXPECT_ALL_BOXES_SCRIPTED();
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PlatformCheck,
    ::testing::Values(PlatformCase{VER_PLATFORM_WIN32_WINDOWS, 4, 0x040003B6, 0}, /* Windows 95, build 950 */
                      PlatformCase{VER_PLATFORM_WIN32_WINDOWS, 4, 0x040003B7, 1}, /* build 951 */
                      PlatformCase{VER_PLATFORM_WIN32_WINDOWS, 4, 0x040A08AE, 1}, /* Windows 98 */
                      PlatformCase{VER_PLATFORM_WIN32_WINDOWS, 4, 0x045A0BB8, 1}, /* Windows Me */
                      /* only the low 16 bits count: 950 with a high word above 950 is still refused */
                      PlatformCase{VER_PLATFORM_WIN32_WINDOWS, 4, 0x0FFF03B6, 0},
                      PlatformCase{VER_PLATFORM_WIN32_NT, 4, 1381, 0}, /* NT 4 */
                      PlatformCase{VER_PLATFORM_WIN32_NT, 3, 1057, 0},
                      PlatformCase{VER_PLATFORM_WIN32_NT, 5, 2195, 2}, /* 2000 */
                      PlatformCase{VER_PLATFORM_WIN32_NT, 6, 7601, 2},
                      PlatformCase{VER_PLATFORM_WIN32_NT, 10, 19045, 2},
                      PlatformCase{VER_PLATFORM_WIN32s, 3, 0, 0}));

/* A library that a system library loads by its bare name (uxtheme, for a
   themed box) is looked for beside the program first, unless the program
   narrows the search to the system folder, which Windows 8 on can do. */
TEST(LibrarySearch, APlantedUxthemeBesideTheProgramLoadsOnlyWhereWindowsCannotNarrowTheSearch)
{
    const std::string planted = "C:\\Program Files\\Pelto\\uxtheme.dll";
    struct {
        const char *version;
        const char *set_default_fails; /* "" or the function the switchboard fails */
        DWORD search;                  /* what SetDefaultDllDirectories left */
        bool directory_set;            /* SetDllDirectoryA("") called */
        bool planted_loads;
        const char *first_load;        /* the trace's line for the back-end's first library */
    } cases[] = {
        {"win10", "", LOAD_LIBRARY_SEARCH_SYSTEM32, false, false, "LoadLibraryExA setupapi"},
        /* a refusal falls back on what Windows XP SP1 brought */
        {"win10", "SetDefaultDllDirectories", 0, true, true, "LoadLibraryA setupapi"},
        /* Windows XP to 7 (without the update): the current folder goes, the program's stays first */
        {"win7", "", 0, true, true, "LoadLibraryA setupapi"},
        {"winxp", "", 0, true, true, "LoadLibraryA setupapi"},
        {"win98", "", 0, false, false, "LoadLibraryA advapi32"}, /* no themes: nothing loads by name */
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.set_default_fails);
        fresh_pc(c.version);
        sim::pc().files.add_file(planted);
        if (c.set_default_fails[0] != '\0')
            sim::pc().faults.fail(c.set_default_fails, ERROR_ACCESS_DENIED);
        sim::pc().answers = {IDOK};
        run_program("");
        EXPECT_EQ(sim::pc().default_dll_directories, c.search);
        EXPECT_EQ(sim::pc().dll_directory_set, c.directory_set);
        bool loaded = std::find(sim::pc().loaded_by_bare_name.begin(), sim::pc().loaded_by_bare_name.end(),
                                planted) != sim::pc().loaded_by_bare_name.end();
        EXPECT_EQ(loaded, c.planted_loads);
        EXPECT_EQ(sim::pc().loaded_by_bare_name.empty(), std::string(c.version) == "win98");
        EXPECT_NE(std::find(sim::pc().trace.begin(), sim::pc().trace.end(), c.first_load), sim::pc().trace.end());
    }
}

TEST(PlatformCheckFailure, ShowsTheVersionErrorThenTheUnsupportedMessage)
{
    fresh_pc("winxp");
    sim::pc().faults.fail("GetVersionExA", ERROR_INVALID_PARAMETER);

    EXPECT_EQ(run_program("-C"), -1);

    EXPECT_EQ(box_lines(),
              (std::vector<std::string>{
                  box_line("Function : GetVersionEx()", "The parameter is incorrect.\r\n", MB_OK | MB_ICONERROR),
                  box_line(kCaption, kUnsupported, MB_OK | MB_ICONERROR)}));
    EXPECT_TRUE(sim::pc().local_blocks.empty()) << "the error text was not freed";
}

TEST(PlatformCheckFailure, AsksForTheFullRecordSize)
{
    fresh_pc("winxp");
    /* the simulated GetVersionExA refuses any size but the record's, as Windows does */
    EXPECT_EQ(check_platform(), 1);
    EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
}

/* ---- command line -------------------------------------------------------------- */

TEST(CommandLineTail, SkipsTheProgramNameAndTheBlanksAfterIt)
{
    struct {
        const char *command_line;
        const char *tail;
    } cases[] = {
        {"\"C:\\Program Files\\QZUninst.exe\" -C", "-C"},
        {"\"C:\\Program Files\\QZUninst.exe\"-C", "-C"}, /* no blank after the closing quote */
        {"\"C:\\Program Files\\QZUninst.exe\"", ""},
        {"\"C:\\unclosed quote -C", ""}, /* the name runs to the end */
        {"C:\\QZUninst.exe -C", "-C"},
        {"C:\\QZUninst.exe \t  --complete", "--complete"},
        {"QZUninst.exe", ""},
        {"QZUninst.exe -C ", "-C "}, /* trailing blanks stay */
        {"QZUninst.exe  -D  x", "-D  x"},
        {"", ""},
    };
    for (auto &c : cases)
        EXPECT_STREQ(command_line_tail(c.command_line), c.tail) << "command line: " << c.command_line;
    EXPECT_STREQ(command_line_tail(nullptr), "");
}

TEST(CommandLineTail, TreatsBytesAbove0x7FAsPartOfTheName)
{
    /* a code page 932 program name: its bytes are not blanks */
    std::string line = cp932("C:\\アンインストール.exe -C");
    EXPECT_STREQ(command_line_tail(line.c_str()), "-C");
}

struct OptionCase {
    int mode;
    const char *tail;
    int valid;
    int flag;      /* run.complete_removal afterwards */
    int quiet = 0; /* run.quiet_run afterwards */
    int check = 0; /* run.check_only afterwards */
};

TEST(CheckOptions, FollowsTheOptionTableExactly)
{
    const OptionCase cases[] = {
        {2, "", 1, 0},           {2, "--default", 1, 0},   {2, "-D", 1, 0},
        {2, "--complete", 1, 1}, {2, "-C", 1, 1},          {2, "-c", 0, 7},
        {2, "-d", 0, 7},         {2, "--Complete", 0, 7},  {2, "--COMPLETE", 0, 7},
        {2, "-C ", 0, 7},        {2, " -C", 0, 7},         {2, "-C -D", 0, 7},
        {2, "--complete=1", 0, 7}, {2, "-", 0, 7},         {2, "/C", 0, 7},
        {1, "", 1, 7},           {1, "-C", 0, 7},          {1, "--default", 0, 7},
        {1, "-D", 0, 7},         {0, "", 0, 7},            {0, "-C", 0, 7},
        {3, "", 0, 7},           {2, "--check", 1, 0, 0, 1}, {1, "--check", 1, 0, 0, 1},
        {2, "--check ", 0, 7},   {2, "--Check", 0, 7},
        /* the quiet option in any spelling and case, with one other word in
           either order, the words between any blanks (administrators type
           "/quiet -C" and "-q  -C"); the other word keeps its spelling */
        {2, "-Q", 1, 0, 1},          {2, "--quiet", 1, 0, 1},        {2, "-Q -C", 1, 1, 1},
        {2, "-C -Q", 1, 1, 1},       {2, "--quiet --complete", 1, 1, 1}, {2, "--complete -Q", 1, 1, 1},
        {2, "-Q -D", 1, 0, 1},       {2, "--default --quiet", 1, 0, 1},
        {2, "-q", 1, 0, 1},          {2, "--Quiet", 1, 0, 1},        {2, "-Q  -C", 1, 1, 1},
        {2, "-Q -C ", 1, 1, 1},      {2, " -Q", 1, 0, 1},            {2, "/quiet -C", 1, 1, 1},
        {2, "-q  -C", 1, 1, 1},      {2, "-Q\t-C", 1, 1, 1},         {2, "-Q ", 1, 0, 1},
        {2, "/Q --check", 1, 0, 1, 1}, {2, " --check  -q ", 1, 0, 1, 1},
        {2, "-Q -Q", 0, 7},          {2, "-Q -C -D", 0, 7},          {2, "-Q -c", 0, 7},
        {2, "-Q --Check", 0, 7},     {2, "\"-Q\" -C", 0, 7},         {2, "-Q -X", 0, 7},
        {2, "-Q --completeXXXXXXXX", 0, 7}, {2, "-Q 0123456789abcdef", 0, 7},
        {2, "--check -C -Q", 0, 7},
        {1, "-Q", 1, 7, 1},          {1, "--quiet", 1, 7, 1},        {1, "-Q -C", 0, 7},
        {1, "-C -Q", 0, 7},          {1, "-q", 1, 7, 1},             {1, "-Q -D", 0, 7},
        {1, "/QUIET --check", 1, 0, 1, 1},
        {0, "-Q", 0, 7},
        /* words that fill the 16-byte buffers a word is split into, and one byte more */
        {2, "0123456789abcde -Q", 0, 7}, {2, "0123456789abcdef -Q", 0, 7}, {2, "-Q 0123456789abcdef", 0, 7},
    };
    for (const OptionCase &c : cases) {
        run.platform_mode = c.mode;
        run.complete_removal = 7; /* sentinel: "unchanged" shows as 7 */
        run.quiet_run = 0;
        EXPECT_EQ(check_options(c.tail), c.valid) << "mode " << c.mode << ", tail \"" << c.tail << "\"";
        EXPECT_EQ(run.complete_removal, c.flag) << "mode " << c.mode << ", tail \"" << c.tail << "\"";
        EXPECT_EQ(run.quiet_run, c.quiet) << "mode " << c.mode << ", tail \"" << c.tail << "\"";
        EXPECT_EQ(run.check_only, c.check) << "mode " << c.mode << ", tail \"" << c.tail << "\"";
    }
    reset_program_state();
}

TEST(CommandLine, CutsLogAndItsPathOutWithOneOfTheBlanksBesideIt)
{
    const std::string long_path(MAX_PATH_BYTES, 'x');
    const struct {
        std::string tail;
        int result;
        const char *options; /* what is left, when cut */
        const char *path;
    } cases[] = {
        {"-Q --log x -C", LOG_OPTION_TAKEN, "-Q -C", "x"},   /* the blank before goes */
        {"--log x -Q", LOG_OPTION_TAKEN, "-Q", "x"},         /* at the start, the blank after */
        {"-Q --log x", LOG_OPTION_TAKEN, "-Q", "x"},
        {"--log x", LOG_OPTION_TAKEN, "", "x"},
        {"-C --log \"C:\\Deploy Logs\\a.log\" -Q", LOG_OPTION_TAKEN, "-C -Q", "C:\\Deploy Logs\\a.log"},
        {"--log \"a --log b\" -Q", LOG_OPTION_TAKEN, "-Q", "a --log b"}, /* a word within quotes is the path's */
        {"-Q  --log x", LOG_OPTION_TAKEN, "-Q ", "x"},       /* the other blank stays: the rules then refuse it */
        {"--log x  -Q", LOG_OPTION_TAKEN, " -Q", "x"},
        {"-C", LOG_OPTION_NONE, "", ""},
        {"--logx -Q", LOG_OPTION_NONE, "", ""},
        {"-Q--log x", LOG_OPTION_NONE, "", ""},
        {"--log", LOG_OPTION_NO_PATH, "", ""},
        {"-Q --log", LOG_OPTION_NO_PATH, "", ""},
        {"--log  x", LOG_OPTION_NO_PATH, "", ""},            /* two blanks */
        {"--log \"\" -Q", LOG_OPTION_NO_PATH, "", ""},
        {"--log \"a b -Q", LOG_OPTION_NO_PATH, "", ""},       /* no closing quote */
        {"--log \"a\"b", LOG_OPTION_NO_PATH, "", ""},
        {"--log a\"b", LOG_OPTION_NO_PATH, "", ""},
        {"--log x --log y", LOG_OPTION_TWICE, "", "x"},
        {"--log --log", LOG_OPTION_TWICE, "", "--log"},
        {"--log " + long_path, LOG_OPTION_TOO_LONG, "", ""},
    };
    for (auto &c : cases) {
        char options[64] = "sentinel", path[MAX_PATH_BYTES] = "sentinel";
        EXPECT_EQ(cut_log_option(c.tail.c_str(), options, sizeof options, path), c.result) << c.tail;
        if (c.result == LOG_OPTION_TAKEN) {
            EXPECT_STREQ(options, c.options) << c.tail;
        }
        if (c.result != LOG_OPTION_TOO_LONG) {
            EXPECT_STREQ(path, c.path) << c.tail;
        }
    }
}

TEST(CommandLine, FindsAQuietWordInAnySpellingAsAWordOfItsOwn)
{
    const struct {
        const char *tail;
        int quiet;
    } cases[] = {
        {"-Q", 1}, {"-q", 1}, {"/Q", 1}, {"/q -X", 1}, {"--QUIET", 1}, {"-C /Quiet", 1}, {"-C\t-q", 1},
        {"-C  -q ", 1}, {"\"-Q\"", 1}, {"", 0}, {"-C", 0}, {"-quiet", 0}, {"-Q-C", 0}, {"--quiet=1", 0},
        {"x/q", 0}, {"\"-Q", 0}, {"/qq", 0}, {"0123456789abcdef", 0}, {"\"0123456789abcdef\"", 0},
    };
    for (auto &c : cases)
        EXPECT_EQ(tail_has_quiet_word(c.tail), c.quiet) << "\"" << c.tail << "\"";
}

TEST(CheckOptions, ComparesDoubleByteCharactersAsUnits)
{
    run.platform_mode = 2;
    /* "-Ｃ" (full-width C) is not "-C", and a lead byte must not swallow the NUL */
    EXPECT_EQ(check_options(cp932("-Ｃ").c_str()), 0);
    std::string stray = "-C\x83";
    EXPECT_EQ(check_options(stray.c_str()), 0);
    run.platform_mode = 0;
    run.complete_removal = 0;
}

TEST(InvalidOption, IsRefusedWithExitCodeMinusOneAndNothingRemoved)
{
    const struct {
        const char *version;
        const char *tail;
    } cases[] = {{"winxp", "-c"}, {"winxp", "--Complete"}, {"winxp", "-C "}, {"win98", "-C"}, {"winme", "--default"}};
    for (auto &c : cases) {
        fresh_pc(c.version);
        auto before = sim::pc().registry.snapshot();
        EXPECT_EQ(run_program(c.tail), -1) << c.version << " \"" << c.tail << "\"";
        EXPECT_EQ(box_lines(), std::vector<std::string>{box_line(kCaption, kInvalid, MB_OK | MB_ICONERROR)})
            << c.version << " \"" << c.tail << "\"";
        EXPECT_TRUE(sim::pc().trace.empty()) << "a back-end ran after an invalid option";
        EXPECT_EQ(sim::pc().registry.snapshot(), before);
    }
}

/* ---- confirmation, closing box, restart ------------------------------------------- */

TEST(Confirmation, CancelEndsTheRunWithZeroAndTouchesNothing)
{
    for (const char *version : {"winxp", "win98"}) {
        fresh_pc(version);
        sim::pc().registry.set_string("SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM", "Type", "1");
        sim::pc().files.add_file(sim::expand("%WINDIR%\\inf\\PeltoMDMforW2K.inf"));
        auto registry = sim::pc().registry.snapshot();
        auto files = sim::pc().files.snapshot();
        sim::pc().answers = {IDCANCEL};

        EXPECT_EQ(run_program(""), 0) << version;

        EXPECT_EQ(box_lines(), std::vector<std::string>{box_line(kCaption, kConfirm, MB_OKCANCEL | MB_ICONWARNING)});
        EXPECT_TRUE(sim::pc().trace.empty()) << version << ": something ran after Cancel";
        EXPECT_EQ(sim::pc().registry.snapshot(), registry);
        EXPECT_EQ(files_but_log(), files);
        EXPECT_ALL_BOXES_SCRIPTED();
    }
}

TEST(Confirmation, AFailedBoxCountsAsNotConfirmed)
{
    fresh_pc("winxp");
    sim::pc().faults.fail("MessageBoxW", ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(run_program("-C"), 0);
    EXPECT_TRUE(sim::pc().boxes.empty());
    EXPECT_TRUE(sim::pc().trace.empty());
}

TEST(RestartNeeded, LooksOnlyAtTheServiceOrRegistryStatus)
{
    struct {
        int mode;
        int product;
        int field; /* NT: 0 device, 1 service, 2 file, 3 oem; 98/Me: 0 registry, 1 file */
        int value;
        int expected;
    } cases[] = {
        {2, 0, 1, 1, 1},      {2, 1, 1, 1, 1},      {2, 1, 1, 0xFFFF, 1}, {2, 0, 0, 1, 0},
        {2, 1, 2, 1, 0},      {2, 1, 3, 0xFFFF, 0}, {2, 1, 0, 0xFFFF, 0}, {1, 0, 0, 1, 1},
        {1, 1, 0, 0xFFFF, 1}, {1, 1, 1, 1, 0},      {1, 0, 1, 0x1000, 0}, {0, 1, 1, 1, 0},
        {3, 0, 0, 1, 0},
    };
    for (auto &c : cases) {
        reset_program_state();
        run.platform_mode = c.mode;
        if (c.mode == 1) {
            int *fields = &win9x_run.win9x_removal_status[c.product].registry_status;
            fields[c.field] = c.value;
        } else {
            int *fields = &nt_run.nt_removal_status[c.product].device_status;
            fields[c.field] = c.value;
        }
        const RemovalBackEnd *back_end = removal_back_end(c.mode);
        EXPECT_EQ(back_end != nullptr && removal_restart_needed(back_end->status), c.expected)
            << "mode " << c.mode << " product " << c.product << " field " << c.field << " value " << c.value;
    }
    reset_program_state();
}

TEST(RestartWindows, EnablesTheShutdownPrivilegeThenAsksForAReboot)
{
    fresh_pc("winxp");
    restart_windows();
    EXPECT_EQ(sim::pc().trace, (std::vector<std::string>{
                                   "OpenProcessToken 40", /* TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY */
                                   "LookupPrivilegeValueA (local) SeShutdownPrivilege",
                                   "AdjustTokenPrivileges disable=0 1 luid 19 attr 2",
                                   "ExitWindowsEx 2 0",
                               }));
    EXPECT_TRUE(sim::pc().restart_requested);
    EXPECT_EQ(sim::pc().restart_flags, (UINT)EWX_REBOOT);
    EXPECT_TRUE(sim::pc().boxes.empty());
    EXPECT_TRUE(sim::pc().kernel_handles.empty()) << "the token handle is closed";
}

TEST(RestartWindows, AsksForTheRebootEvenWhenTheTokenCallsFail)
{
    /* Windows 98: no security, the token calls fail */
    fresh_pc("win98");
    restart_windows();
    EXPECT_TRUE(sim::pc().restart_requested);
    EXPECT_TRUE(sim::pc().boxes.empty()) << "a failed token call is not reported";

    fresh_pc("winxp");
    sim::pc().faults.fail("ExitWindowsEx", ERROR_PRIVILEGE_NOT_HELD);
    restart_windows();
    EXPECT_FALSE(sim::pc().restart_requested);
    EXPECT_TRUE(sim::pc().boxes.empty()) << "a refused restart ends the run without a message";
}

TEST(ClosingBox, IsTheCompletionBoxWhenNothingAsksForARestart)
{
    for (const char *version : {"winxp", "win2k", "win10"}) {
        fresh_pc(version);
        sim::pc().answers = {IDOK};
        EXPECT_EQ(run_program(""), 0);
        std::vector<std::string> boxes = box_lines();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back(), box_line(kCaption, kFinished, MB_OK)) << version;
        EXPECT_FALSE(sim::pc().restart_requested);
        EXPECT_ALL_BOXES_SCRIPTED();
    }
}

/* ---- error report box --------------------------------------------------------------- */

TEST(ErrorReport, ShowsTheSystemTextForTheErrorAndFreesIt)
{
    const struct {
        DWORD error;
        const char *text;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
        {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
        {ERROR_SHARING_VIOLATION,
         "The process cannot access the file because it is being used by another process.\r\n"},
    };
    for (auto &c : cases) {
        fresh_pc("winxp");
        SetLastError(0xdeadbeef); /* the error passed in counts, not the thread's */
        report_failure("Function : DeleteFile()", c.error, "C:\\x.sys", NULL);
        EXPECT_EQ(box_lines(),
                  std::vector<std::string>{box_line("Function : DeleteFile()", c.text, MB_OK | MB_ICONERROR)});
        EXPECT_TRUE(sim::pc().local_blocks.empty()) << "the system text was not freed";
    }
}

TEST(ErrorReport, StillShowsABoxWhenTheSystemHasNoText)
{
    fresh_pc("winxp");
    /* setup API errors have no text in the system table */
    report_failure("Function : CallClassInstaller()", ERROR_IN_WOW64, NULL, NULL);
    EXPECT_EQ(box_lines(), std::vector<std::string>{box_line("Function : CallClassInstaller()", "Error 3758096949",
                                                             MB_OK | MB_ICONERROR)});
    EXPECT_TRUE(sim::pc().local_blocks.empty());

    fresh_pc("winxp");
    sim::pc().faults.fail("FormatMessageW", ERROR_NOT_ENOUGH_MEMORY);
    report_failure("Function : RegOpenKeyEx()", ERROR_ACCESS_DENIED, NULL, NULL);
    EXPECT_EQ(box_lines(),
              std::vector<std::string>{box_line("Function : RegOpenKeyEx()", "Error 5", MB_OK | MB_ICONERROR)});
}

TEST(ErrorReport, TheLogNamesTheObjectAndTheErrorNumber)
{
    const struct {
        bool registry;
        const char *object, *tail;
        DWORD error;
        std::vector<std::string> lines; /* after the answer line */
    } cases[] = {
        {false, "C:\\WINDOWS\\inf\\", "oem3.inf", ERROR_SHARING_VIOLATION,
         {"対象: C:\\WINDOWS\\inf\\oem3.inf", "エラー番号: 32"}},
        {false, NULL, NULL, ERROR_IN_WOW64, {"エラー番号: 3758096949 (0xE0000235)"}},
        {true, "Enum\\Root\\Ports", "0000", ERROR_INVALID_HANDLE, {"対象: HKLM\\Enum\\Root\\Ports\\0000", "エラー番号: 6"}},
        {true, "SYSTEM\\Services\\", "QZUSBCOM", ERROR_ACCESS_DENIED, {"対象: HKLM\\SYSTEM\\Services\\QZUSBCOM", "エラー番号: 5"}},
        {true, "SYSTEM", NULL, 0xFFFFFFFF, {"対象: HKLM\\SYSTEM", "エラー番号: 4294967295 (0xFFFFFFFF)"}},
    };
    for (auto &c : cases) {
        fresh_pc("winxp");
        log_open();
        if (c.registry)
            report_registry_failure("Function : RegCloseKey()", (LONG)c.error, c.object, c.tail);
        else
            report_failure("Function : DeleteFile()", c.error, c.object, c.tail);
        log_close();
        std::vector<std::string> lines = log_lines();
        ASSERT_GE(lines.size(), c.lines.size() + 1);
        std::vector<std::string> tail(lines.end() - c.lines.size(), lines.end());
        EXPECT_EQ(tail, c.lines);
        EXPECT_EQ(lines[lines.size() - c.lines.size() - 1], "応答: OK");
        EXPECT_EQ(reported_failure_count(), 1);
    }
}

/* ---- file kind ----------------------------------------------------------------------- */

TEST(FileKind, TakesTheLastThreeCharactersWithoutCase)
{
    const struct {
        const char *name;
        int kind;
    } cases[] = {
        {"ABC.SYS", 1}, {"abc.Sys", 1}, {"abc.sys", 1}, {"abcsys", 1}, {"sys", 1},
        {"abc.VXD", 2}, {"OEM3.INF", 3}, {"oem3.PNF", 4}, {"OTHER\\KVRQZCOM.INF", 3},
        {"abc.cat", 0}, {"readme", 0}, {"", 0}, {"ys", 0}, {"abc.sys ", 0}, {"abc.sy", 0},
    };
    for (auto &c : cases)
        EXPECT_EQ(file_kind(c.name), c.kind) << c.name;
    EXPECT_EQ(file_kind(nullptr), 0);
}

TEST(FileKind, LeavesDoubleByteCharactersAlone)
{
    /* "ソ" is 0x83 0x5C; a name whose last bytes are a trail byte then "ys" is not sys */
    EXPECT_EQ(file_kind(cp932("ドライバ.inf").c_str()), 3);
    std::string tricky = "\x83Sys"; /* lead byte, then the trail byte 'S': not an upper-case S to fold */
    EXPECT_EQ(file_kind(tricky.c_str()), 0);
}

TEST(FileKind, ReadsAtMost259BytesOfAnUnterminatedName)
{
    char name[300];
    memset(name, 'a', sizeof name); /* no NUL at all within 300 bytes */
    memcpy(name + 256, "sys", 3);   /* bytes 256..258: the last three of the first 259 */
    EXPECT_EQ(file_kind(name), 1);
}

TEST(Verdict, EveryExitCodeIsOneTheReadmeExplains)
{
    /* deployment tools are configured from the README's table: a code the
       program can end with and the table lacks, or a row no outcome gives,
       is a code an administrator cannot enter */
    std::ifstream readme("README.md");
    ASSERT_TRUE(readme.good());
    std::set<int> documented;
    bool in_table = false;
    for (std::string line; std::getline(readme, line);) {
        if (line == "| exit code | meaning |")
            in_table = true;
        else if (in_table && line.rfind("| ", 0) == 0)
            documented.insert(std::stoi(line.substr(2)));
        else if (in_table && line.rfind("|---", 0) != 0)
            break;
    }
    std::set<int> given;
    for (const Verdict &v : verdict_table) {
        given.insert(v.interactive_exit);
        given.insert(v.quiet_exit);
        EXPECT_NE(v.result, nullptr);
    }
    EXPECT_EQ(given, documented);
    /* what the 32-bit program logs for the 64-bit program's code */
    EXPECT_STREQ(handed_over_result(3010), text_result_restart_needed);
    EXPECT_STREQ(handed_over_result(1603), text_result_failed);
    EXPECT_STREQ(handed_over_result(1618), text_result_busy);
    EXPECT_STREQ(handed_over_result(0), text_result_handed_over);
    EXPECT_STREQ(handed_over_result(1), text_result_handed_over);
}
