/*
 * message_box.cpp - the boxes, or in a quiet run the log instead.
 *
 * The NT family shows every box in UTF-16 (MessageBoxW), so that it reads
 * the same on a Windows of any language; Windows 98/Me show the code page
 * 932 texts with MessageBoxA, as they always did.
 */
#include "message_box.h"
#include "own_text.h"
#include "texts.h"
#include "run_log.h"

#define BOX_CAPTION_UNITS 128
#define BOX_TEXT_UNITS 1024


void log_quiet_message(const char *caption, const char *text)
{
    log_message(caption, text, NULL, text_log_answer_quiet);
}

/* Shows the box: `text` with MessageBoxA on Windows 98/Me; on the NT family
   `wide_text`, or `text` converted, with MessageBoxW. Returns its answer. */
static int message_box(const char *caption, const char *text, const WCHAR *wide_text, UINT style)
{
    WCHAR wide_caption[BOX_CAPTION_UNITS];
    WCHAR own_wide_text[BOX_TEXT_UNITS];
    if (run.run_log.win9x)
        return MessageBoxA(NULL, text, caption, style);
    own_text_to_utf16(wide_caption, BOX_CAPTION_UNITS, caption);
    if (wide_text == NULL) {
        own_text_to_utf16(own_wide_text, BOX_TEXT_UNITS, text);
        wide_text = own_wide_text;
    }
    return MessageBoxW(NULL, wide_text, wide_caption, style);
}

/* show_message() for a text that may have come from Windows in UTF-16. */
static int show_and_log(const char *caption, const char *text, const WCHAR *wide_text, UINT style)
{
    if (run.quiet_run) {
        log_message(caption, text, wide_text, text_log_answer_quiet);
        return IDOK;
    }
    if (run.boxes_held_back) {
        log_message(caption, text, wide_text, text_log_answer_held_back);
        return IDOK;
    }
    int answer = message_box(caption, text, wide_text, style);
    log_message(caption, text, wide_text,
                answer == IDOK ? text_log_answer_ok : answer == IDCANCEL ? text_log_answer_cancel : text_log_answer_failed);
    return answer;
}

int show_message(const char *caption, const char *text, UINT style)
{
    return show_and_log(caption, text, NULL, style);
}

int show_system_message(const char *caption, const WCHAR *wide_text, const char *text, UINT style)
{
    return show_and_log(caption, text, wide_text, style);
}
