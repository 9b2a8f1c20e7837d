/*
 * messages.cpp - the program's texts. UTF-8 source, code page 932 in the
 * program (compiled with -fexec-charset=CP932).
 */
#include "messages.h"

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
