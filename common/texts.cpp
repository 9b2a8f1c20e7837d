/*
 * texts.cpp - the program's texts. UTF-8 source, code page 932 in the
 * program (compiled with -fexec-charset=CP932).
 */
#include "texts.h"

const char text_uninstaller_caption[] = "Pelto QZ シリーズ USB ドライバアンインストーラ";
const char text_unsupported_platform[] = "本アプリケーションは、この OS 上では動作いたしません。";
const char text_invalid_option[] = "無効なオプションです。";
const char text_confirm_removal[] = "Pelto QZ シリーズ USB ドライバを削除します。\nよろしいですか？";
const char text_restart_question[] =
    "Pelto QZ シリーズ USB ドライバを削除しました。\nWindows の再起動が必要です。\n\n今すぐに再起動しますか？";
const char text_finished[] = "Pelto QZ シリーズ USB ドライバアンインストーラ処理を完了しました。";
const char text_not_installed_suffix[] = "はインストールされていません。";
const char text_remove_question_suffix[] = "がインストールされています。\n削除しますか？";
const char text_series_display_name[] = "Pelto QZ シリーズ";
const char text_qz65_display_name[] = "Pelto QZ 65";
/* the busy box's first line is its wording of old; the second says what to do */
const char text_already_running[] = "本アプリケーションは、既に起動しています。\nしばらく待ってから、もう一度実行してください。";

const char caption_get_version_ex[] = "Function : GetVersionEx()";
const char caption_load_library[] = "Function : LoadLibrary()";
const char caption_get_proc_address[] = "Function : GetProcAddress()";
const char caption_free_library[] = "Function : FreeLibrary()";
const char caption_setup_di_get_class_devs[] = "Function : SetupDiGetClassDevs()";
const char caption_get_device_registry_property[] = "Function : GetDeviceRegistryProperty()";
const char caption_call_class_installer[] = "Function : CallClassInstaller()";
const char caption_get_device_install_params[] = "Function : SetupDiGetDeviceInstallParams()";
const char caption_setup_uninstall_oem_inf[] = "Function : SetupUninstallOEMInf()";
const char caption_unknown[] = "Function : Unknown";
const char caption_local_alloc[] = "Function : LocalAlloc()";
const char caption_reg_open_key_ex[] = "Function : RegOpenKeyEx()";
const char caption_reg_close_key[] = "Function : RegCloseKey()";
const char caption_reg_delete_key[] = "Function : RegDeleteKey()";
const char caption_reg_delete_value[] = "Function : RegDeleteValue()";
const char caption_reg_enum_value[] = "Function : RegEnumValue()";
const char caption_reg_enum_key_ex[] = "Function : RegEnumKeyEx()";
const char caption_get_windows_directory[] = "Function : GetWindowsDirectory()";
const char caption_get_system_directory[] = "Function : GetSystemDirectory()";
const char caption_set_file_attributes[] = "Function : SetFileAttributes()";
const char caption_delete_file[] = "Function : DeleteFile()";
const char caption_find_first_file[] = "Function : FindFirstFile()";
const char caption_find_next_file[] = "Function : FindNextFile()";
const char caption_get_file_attributes[] = "Function : GetFileAttributes()";
const char caption_create_process[] = "Function : CreateProcess()";
const char caption_wait_for_single_object[] = "Function : WaitForSingleObject()";
const char caption_get_exit_code_process[] = "Function : GetExitCodeProcess()";
const char caption_create_mutex[] = "Function : CreateMutex()";

const char text_log_start[] = "======== 開始 ";
const char text_log_start_end[] = " ========";
const char text_log_program[] = "プログラム: QZUninst ";
const char text_log_32bit[] = " (32 ビット版)";
const char text_log_64bit[] = " (64 ビット版)";
const char text_log_command_line[] = "コマンドライン: ";
const char text_log_handing_over[] = "64 ビット版に引き継ぎます: ";
const char text_log_handed_over[] = "64 ビット版 (プロセス ID ";
const char text_log_handed_over_code[] = ") の終了コード: ";
const char text_log_hand_over_timed_out[] = "64 ビット版の終了を 30 分待ちましたが、終了しませんでした。待たずに終了します。";
const char text_log_windows[] = "Windows: ";
const char text_log_quiet[] = "無人実行: はい";
const char text_log_message[] = "メッセージ ";
const char text_log_answer_ok[] = "応答: OK";
const char text_log_answer_cancel[] = "応答: キャンセル";
const char text_log_answer_quiet[] = "応答: なし (無人実行)";
const char text_log_answer_held_back[] = "応答: なし (削除後の確認のため表示せず)";
const char text_log_answer_failed[] = "応答: なし (メッセージを表示できませんでした)";
const char text_log_failure_object[] = "対象: ";
const char text_log_failure_error[] = "エラー番号: ";
const char text_log_lock_timeout[] = "ロック: 10 秒待ちましたが、取得できませんでした。";
const char text_log_product[] = "製品 ";
const char text_log_step_devices[] = "デバイス ";
const char text_log_step_services[] = "サービス ";
const char text_log_step_files[] = "ファイル ";
const char text_log_step_oem_infs[] = "OEM INF ";
const char text_log_step_registry[] = "レジストリ ";
const char text_log_status_nothing[] = "なし";
const char text_log_status_removed[] = "削除";
const char text_log_status_partly[] = "一部削除";
const char text_log_status_failed[] = "失敗";
const char text_log_separator[] = "、";
const char text_log_totals[] = "集計: ";
const char text_log_failures[] = "失敗の報告: ";
const char text_log_restart_not_needed[] = "再起動: 不要";
const char text_log_restart_started[] = "再起動: 必要 (再起動します)";
const char text_log_restart_declined[] = "再起動: 必要 (再起動しません)";
const char text_log_restart_quiet[] = "再起動: 必要 (無人実行のため再起動しません)";
const char text_log_package_removed[] = "ドライバ パッケージをアンインストールしました: ";
const char text_log_file_scheduled[] = "使用中のため、Windows の再起動時に削除します: ";
const char text_log_device_at_restart[] = "使用中のため、Windows の再起動時に削除が完了します: ";

const char text_check_found[] = "Pelto QZ シリーズ USB ドライバの次の項目が見つかりました。\n\n";
const char text_check_nothing[] = "Pelto QZ シリーズ USB ドライバは見つかりませんでした。";
const char text_check_waiting[] = "Pelto QZ シリーズ USB ドライバの削除は、Windows の再起動時に完了します。";
const char text_check_failed[] = "Pelto QZ シリーズ USB ドライバの確認を、最後まで行えませんでした。";
const char text_log_check_only[] = "確認のみ: 何も削除しません";
const char text_log_found_total[] = "検出した項目: ";
const char text_log_proof[] = "削除後の確認:";
const char text_log_remaining[] = "残っている項目: ";
const char text_log_waiting_total[] = "再起動時に削除される項目: ";
const char text_result_found[] = "ドライバあり (検出した項目を参照)";
const char text_result_nothing_found[] = "ドライバなし";
const char text_result_waiting[] = "ドライバなし (Windows の再起動時に削除される項目あり)";
const char text_result_check_failed[] = "確認できず (失敗の報告を参照)";
const char text_result_left_behind[] = "失敗 (削除後に残っている項目あり)";
const char text_log_found[] = "検出 ";
const char text_log_found_at_restart[] = "再起動時に削除 ";
const char text_log_other_driver[] = "対象外 (別のドライバ) デバイス: ";
const char text_log_no_driver[] = "対象外 (ドライバなし) デバイス: ";
const char text_kind_devices[] = "デバイス";
const char text_kind_service_keys[] = "サービス キー";
const char text_kind_driver_files[] = "ドライバ ファイル";
const char text_kind_class_infs[] = "クラス INF";
const char text_kind_oem_infs[] = "OEM INF";
const char text_kind_packages[] = "ドライバ パッケージ";
const char text_kind_enum_keys[] = "Enum キー";
const char text_kind_driver_keys[] = "ドライバ キー";
const char text_kind_ports[] = "ポート";
const char text_kind_vxd_registrations[] = "VxD 登録";
const char text_kind_files[] = "ファイル";

/* ---- the run's block: its head and end, the command line, the lock, the log file ---- */
const char text_log_hand_over[] = "引き継ぎ: ";
const char text_log_hand_over_none[] = "なし";
const char text_log_hand_over_to[] = "64 ビット版に引き継ぎます";
const char text_log_hand_over_from[] = "32 ビット版 (プロセス ID ";
const char text_log_hand_over_from_end[] = ") から引き継ぎました";
const char text_log_family_nt[] = " (Windows NT 系、";
const char text_log_family_9x[] = " (Windows 9x 系、";
const char text_log_family_other[] = " (プラットフォーム ID ";
const char text_log_windows_32bit[] = "32 ビット)";
const char text_log_windows_64bit[] = "64 ビット)";
const char text_log_computer[] = "コンピュータ名: ";
const char text_log_account[] = "アカウント: ";
const char text_log_session[] = "セッション ID: ";
const char text_log_process[] = "プロセス ID: ";
const char text_log_elevated[] = "昇格: ";
const char text_log_yes[] = "はい";
const char text_log_no[] = "いいえ";
const char text_log_unknown[] = "不明";
const char text_log_station_invisible[] =
    "ウィンドウ ステーション: 表示されません (サービス、またはセッション 0 の SYSTEM としての実行)";
const char text_log_quiet_required[] =
    "メッセージを表示できない実行では、--quiet (-Q) を指定してください。何も削除せずに終了します。";
const char text_log_line_invalid[] = "コマンドラインが無効です。何も削除せずに終了します。";
const char text_log_valid_lines_nt[] =
    "有効なコマンドライン: なし、-D、-C、--check (--default、--complete も可。"
    "大文字と小文字は区別し、前後に空白を付けない)。-Q を付けると無人実行 (前後どちらでも可。-q、/q、/quiet、--quiet も可で、大文字と小文字は区別せず、区切りの空白はいくつでも可)。--log パスはどの位置にも 1 回だけ付けられます。";
const char text_log_valid_lines_9x[] =
    "有効なコマンドライン: なし、--check (大文字と小文字は区別し、前後に空白を付けない)。"
    "-Q を付けると無人実行 (前後どちらでも可。-q、/q、/quiet、--quiet も可で、大文字と小文字は区別せず、区切りの空白はいくつでも可)。--log パスはどの位置にも 1 回だけ付けられます。";
const char text_log_log_option_rule[] =
    "--log のあとには空白 1 つとパスを指定します (空白を含むパスは \" で囲みます)。--log はどの位置にも置けますが、1 回だけです。";
const char text_log_lock_not_ours[] =
    "ロック: 同じ名前のロックを管理者以外のアカウントが作成しているため、実行中のコピーとは見なさずに続行しました。";
const char text_log_lock_not_mutex[] =
    "ロック: 同じ名前でミューテックス以外のオブジェクトがあるため、実行中のコピーとは見なさずに続行しました。";
const char text_log_partner_writable[] =
    "引き継ぎ: サービス アカウントとしての実行では、管理者以外のアカウントが書き込めるファイルまたはフォルダーにある 64 ビット版を起動しません: ";
const char text_log_partner_writer[] = " (書き込めるアカウント: ";
const char text_log_partner_unsigned[] =
    "引き継ぎ: 本アプリケーションは署名されていますが、64 ビット版に有効な署名がないため、起動しません: ";
const char text_log_partner_other_signer[] =
    "引き継ぎ: 64 ビット版の署名が本アプリケーションとは別の証明書によるため、起動しません: ";
const char text_log_own_signature_unverified[] =
    "引き継ぎ: 本アプリケーションの署名を確認できないため、64 ビット版を起動しません";
const char text_log_partner_verify_result[] = " (署名の確認結果: ";
const char text_log_lock_abandoned[] = "ロック: 前回の実行が解放せずに終了したロックを取得しました。";
const char text_log_status_not_run[] = "実行せず";
const char text_log_files_of[] = " (対象の ";
const char text_log_files_present[] = " 個のうち ";
const char text_log_files_all_deleted[] = " 個があり、すべて削除)";
const char text_log_failures_unit[] = " 件";
const char text_log_failures_in_steps[] = " (手順の中で ";
const char text_log_failures_outside[] = " 件、手順の外で ";
const char text_log_failures_more_before[] = "ほか ";
const char text_log_failure_number[] = "エラー番号 ";
const char text_log_file[] = "ログ: ";
const char text_log_file_passed_over[] = " には書き込みません (";
const char text_log_file_link[] = "リンクなどの再解析ポイントです";
const char text_log_file_hard_link[] = "ほかの名前 (ハードリンク) もあるファイルです";
const char text_log_file_unchecked[] = "ファイルの種類を確認できません";
const char text_log_file_error[] = "開けません。エラー番号 ";
const char text_log_file_moved[] = "ログ: 1 MiB を超えたため、これまでの記録を QZUninst.old.log に移しました。";
const char text_log_file_not_moved[] = "ログ: 1 MiB を超えましたが、QZUninst.old.log に移せませんでした (エラー番号 ";
const char text_log_file_old_encoding[] = "ログ: 以前の版の記録 (シフト JIS) を ";
const char text_log_file_moved_to[] = " に移しました。";
const char text_log_file_not_moved_to[] = " に移せませんでした (エラー番号 ";
const char text_log_file_folder_link[] = "途中のフォルダがリンクなどの再解析ポイントです";
const char text_log_file_elsewhere[] = "開いたファイルが指定の場所のものではありません";
const char text_log_file_not_a_log[] = "このプログラムのログではないファイルです";
const char text_log_file_users_write[] = "管理者と SYSTEM 以外のアカウント (";
const char text_log_file_users_write_end[] = ") も書き込めます";
const char text_log_result[] = "結果: ";
const char text_log_result_code[] = "、終了コード ";
const char text_log_end[] = "======== 終了 ";
const char text_log_elapsed[] = " (所要時間 ";
const char text_log_elapsed_end[] = " 秒) ========";
const char text_result_done[] = "完了";
const char text_result_restart_needed[] = "完了 (Windows の再起動が必要)";
const char text_result_restarting[] = "完了 (Windows を再起動します)";
const char text_result_cancelled[] = "取り消し (何も削除していません)";
const char text_result_failed[] = "失敗あり (失敗の報告を参照)";
const char text_result_busy[] = "実行せず (別のコピーが実行中)";
const char text_result_invalid[] = "実行せず (コマンドラインが無効)";
const char text_result_quiet_required[] = "実行せず (--quiet の指定が必要)";
const char text_result_unsupported[] = "実行せず (この OS には未対応)";
const char text_result_lock_failed[] = "実行せず (ロックを取得できません)";
const char text_result_not_handed_over[] = "実行せず (64 ビット版を起動できません)";
const char text_result_handed_over[] = "64 ビット版が実行 (64 ビット版の記録を参照)";
const char text_result_handed_over_unknown[] = "64 ビット版が実行 (終了コード不明)";
