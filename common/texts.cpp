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
const char text_already_running[] = "本アプリケーションは、既に起動しています。";

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
const char text_log_handed_over[] = "64 ビット版の終了コード: ";
const char text_log_windows[] = "Windows: ";
const char text_log_platform[] = " (プラットフォーム ";
const char text_log_quiet[] = "無人実行: はい";
const char text_log_message[] = "メッセージ ";
const char text_log_answer_ok[] = "応答: OK";
const char text_log_answer_cancel[] = "応答: キャンセル";
const char text_log_answer_quiet[] = "応答: なし (無人実行)";
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
const char text_log_failures[] = "報告した失敗: ";
const char text_log_restart_not_needed[] = "再起動: 不要";
const char text_log_restart_started[] = "再起動: 必要 (再起動します)";
const char text_log_restart_declined[] = "再起動: 必要 (再起動しません)";
const char text_log_restart_quiet[] = "再起動: 必要 (無人実行のため再起動しません)";
const char text_log_exit_code[] = "終了コード: ";
const char text_log_package_removed[] = "ドライバ パッケージをアンインストールしました: ";
const char text_log_file_scheduled[] = "使用中のため、Windows の再起動時に削除します: ";
const char text_log_device_at_restart[] = "使用中のため、Windows の再起動時に削除が完了します: ";

const char text_log_found[] = "検出 ";
const char text_log_found_at_restart[] = "再起動時に削除 ";
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
