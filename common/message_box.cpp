/*
 * message_box.cpp - the boxes, or in a quiet run the log instead.
 */
#include "message_box.h"
#include "texts.h"
#include "run_log.h"

int quiet_run = 0;
int boxes_held_back = 0;

void log_quiet_message(const char *caption, const char *text)
{
    log_message(caption, text, text_log_answer_quiet);
}

int show_message(const char *caption, const char *text, UINT style)
{
    if (quiet_run) {
        log_quiet_message(caption, text);
        return IDOK;
    }
    if (boxes_held_back) {
        log_message(caption, text, text_log_answer_held_back);
        return IDOK;
    }
    int answer = MessageBoxA(NULL, text, caption, style);
    log_message(caption, text,
                answer == IDOK ? text_log_answer_ok : answer == IDCANCEL ? text_log_answer_cancel : text_log_answer_failed);
    return answer;
}
