/*
 * main_flow.cpp - one run of the uninstaller, start to end.
 *
 * Each way a run can end is an outcome (verdict.h), and the verdict table
 * gives its exit code and its result words; the 32-bit program that handed
 * the run over ends with the 64-bit program's code. A run that nobody can
 * see (a quiet word anywhere on its line, or a window station that is not
 * visible) never shows a box: an unseen run without a quiet word removes
 * nothing. Failures inside a back-end are reported there and never
 * stop this flow: the closing message always follows. Every run adds its
 * block to the log, with the result in words at its end.
 */
#include "uninstaller.h"
#include "back_ends.h"
#include "run_lock.h"
#include "verdict.h"
#include "../common/error_report.h"
#include "../common/message_box.h"
#include "../common/texts.h"
#include "../common/run_log.h"
#include "../common/text_buffers.h"

#define COMMAND_LINE_BYTES 1024 /* the options without --log; a longer line is no valid one */


/* What the start of a run found out about its command line and its place. */
struct RunStart {
    const char *tail;             /* as given: passed on in a hand-over */
    char options[COMMAND_LINE_BYTES]; /* the tail without --log PATH, when it had one */
    int log_option;               /* what cut_log_option found */
    int quiet_word;               /* a quiet word anywhere on the line */
    int unseen;                   /* the window station is not visible */
    int under_wow64;
};

static int show_box(const char *text, UINT style)
{
    return show_message(text_uninstaller_caption, text, style);
}

/* What the back-end's steps did, and the failures that were reported. */
static void log_removal_results(const RemovalBackEnd *back_end)
{
    log_failure_list(log_removal_status(back_end->status));
}

/* "<label>デバイス 2、ファイル 3" for what an examination found, or "<label>なし". */
static void log_findings_line(const char *label, const Findings *findings)
{
    char counts[LOG_LINE_BYTES];
    format_findings(findings, counts, sizeof counts);
    LogLine line;
    line_begin(&line, label);
    line_add(&line, counts[0] != '\0' ? counts : text_log_status_nothing);
    log_line(&line);
}

/*
 * The removal proves its result: the same examination, for what the
 * command line asked to remove (the service keys only with -C), lists in
 * the log what is left. Returns how many items are left, not counting what
 * Windows removes at the restart.
 */
static int prove_removal(const RemovalBackEnd *back_end)
{
    Findings findings;
    log_text(text_log_proof);
    run.boxes_held_back = 1;
    back_end->examine(run.complete_removal, &findings);
    run.boxes_held_back = 0;
    log_findings_line(text_log_remaining, &findings);
    return findings_total(&findings);
}

/* The end of a quiet run: the closing text that a box would have shown,
   and the outcome that tells a deployment tool what happened. A run that
   left something of the series has failed, even when no call did. */
static RunOutcome finish_quietly(int restart, int remaining)
{
    log_quiet_message(text_uninstaller_caption, restart ? text_restart_question : text_finished);
    log_text(restart ? text_log_restart_quiet : text_log_restart_not_needed);
    if (reported_failure_count() != 0)
        return OUTCOME_FAILED;
    if (remaining != 0)
        return OUTCOME_LEFT_BEHIND;
    return restart ? OUTCOME_RESTART_NEEDED : OUTCOME_REMOVED;
}

/* The closing box of an interactive run, and the restart when asked for
   and granted. What is left goes to the log only. */
static RunOutcome finish_with_boxes(int restart)
{
    int failed = reported_failure_count() != 0;
    if (!restart) {
        show_box(text_finished, MB_OK);
        log_text(text_log_restart_not_needed);
        return failed ? OUTCOME_FAILED : OUTCOME_REMOVED;
    }
    if (show_box(text_restart_question, MB_OKCANCEL | MB_ICONWARNING) == IDOK) {
        log_text(text_log_restart_started);
        restart_windows();
        return failed ? OUTCOME_FAILED : OUTCOME_RESTARTING;
    }
    log_text(text_log_restart_declined);
    return failed ? OUTCOME_FAILED : OUTCOME_RESTART_NEEDED;
}

/* Confirmation, removal and the closing message, with the run lock held. */
static RunOutcome confirm_and_remove(void)
{
    if (show_box(text_confirm_removal, MB_OKCANCEL | MB_ICONWARNING) != IDOK)
        return OUTCOME_CANCELLED;

    const RemovalBackEnd *back_end = removal_back_end(run.platform_mode);
    if (back_end == NULL)
        return OUTCOME_UNSUPPORTED; /* cannot happen once the platform check passed */
    int ran = back_end->run(run.complete_removal);
    log_removal_results(back_end);
    int remaining = ran ? prove_removal(back_end) : 0; /* a failed binding was reported: nothing ran */

    int restart = removal_restart_needed(back_end->status);
    return run.quiet_run ? finish_quietly(restart, remaining) : finish_with_boxes(restart);
}

/*
 * --check: what of the series is on this PC, by the removal's own rules;
 * nothing is asked and nothing removed. The log lists each item; an
 * interactive run shows the counts in one box.
 */
static RunOutcome examine_and_tell(void)
{
    const RemovalBackEnd *back_end = removal_back_end(run.platform_mode);
    Findings findings;
    log_text(text_log_check_only);
    back_end->examine(1, &findings);
    log_findings_line(text_log_found_total, &findings);
    if (findings_waiting(&findings) != 0) {
        char waiting[LOG_LINE_BYTES];
        format_waiting(&findings, waiting, sizeof waiting);
        LogLine line;
        line_begin(&line, text_log_waiting_total);
        line_add(&line, waiting);
        log_line(&line);
    }

    char counts[LOG_LINE_BYTES];
    char text[LOG_LINE_BYTES];
    format_findings(&findings, counts, sizeof counts);
    RunOutcome outcome = OUTCOME_CHECK_NOTHING;
    const char *said = text_check_nothing;
    if (findings_failed(&findings)) {
        outcome = OUTCOME_CHECK_FAILED;
        said = text_check_failed;
    } else if (findings_total(&findings) != 0) {
        outcome = OUTCOME_CHECK_FOUND;
        said = text;
    } else if (findings_waiting(&findings) != 0) {
        outcome = OUTCOME_CHECK_WAITING;
        said = text_check_waiting;
    }
    if (!join_text(text, sizeof text, text_check_found, counts, ""))
        copy_text(text, sizeof text, text_check_found);
    show_box(said, MB_OK | MB_ICONINFORMATION);
    return outcome;
}

/* Why the line is not a valid one, in the log: what --log lacked, or the
   lines this Windows takes. */
static void log_invalid_line(int log_option)
{
    log_text(text_log_line_invalid);
    if (log_option < 0)
        log_text(text_log_log_option_rule);
    else
        log_text(run.platform_mode == PLATFORM_WIN9X ? text_log_valid_lines_9x : text_log_valid_lines_nt);
}

/* How a run ended: its outcome, or, when the 64-bit program did the run,
   that program's exit code, passed on as it is. */
struct RunEnd {
    RunOutcome outcome;
    int handed_over;   /* 1: the 64-bit program's code is the run's */
    int exit_code;     /* that code */
};

/* The run ended here with `outcome`. */
static RunEnd ended(RunOutcome outcome)
{
    RunEnd end = {outcome, 0, 0};
    return end;
}

/* The end of a run handed over to the 64-bit program. */
static RunEnd ended_by_hand_over(const HandOver *hand_over)
{
    if (!hand_over->started)
        return ended(OUTCOME_NOT_HANDED_OVER);
    if (hand_over->timed_out)
        return ended(OUTCOME_HANDED_OVER_TIMED_OUT); /* whoever waits for this program must not wait on */
    if (!hand_over->known)
        return ended(OUTCOME_HANDED_OVER_UNKNOWN);
    RunEnd end = {OUTCOME_REMOVED, 1, hand_over->exit_code};
    return end;
}

/* Removes what it may after the checks; returns how the run ended. */
static RunEnd run_once(RunStart *start)
{
    if (run.windows_version.state != 1) {
        show_box(text_unsupported_platform, MB_OK | MB_ICONERROR);
        return ended(OUTCOME_UNSUPPORTED);
    }
    /* on 64-bit Windows the 64-bit program does the run */
    HandOver hand_over;
    if (start->under_wow64 && hand_over_to_64bit(start->tail, &hand_over))
        return ended_by_hand_over(&hand_over);
    if (!check_platform()) {
        show_box(text_unsupported_platform, MB_OK | MB_ICONERROR);
        return ended(OUTCOME_UNSUPPORTED);
    }
    if (start->unseen && !start->quiet_word) {
        log_text(text_log_quiet_required);
        return ended(OUTCOME_QUIET_REQUIRED);
    }
    const char *options = start->log_option == LOG_OPTION_TAKEN ? start->options : start->tail;
    if (start->log_option < 0 || !check_options(options)) {
        show_box(text_invalid_option, MB_OK | MB_ICONERROR);
        log_invalid_line(start->log_option);
        return ended(OUTCOME_INVALID_LINE);
    }
    if (run.quiet_run)
        log_text(text_log_quiet);

    int lock = take_run_lock();
    if (lock != LOCK_TAKEN)
        return ended(lock == LOCK_BUSY ? OUTCOME_BUSY : OUTCOME_LOCK_FAILED);
    log_write_as_it_goes(); /* no other run of the program writes its block meanwhile */
    RunOutcome outcome = run.check_only ? examine_and_tell() : confirm_and_remove();
    release_run_lock();
    return ended(outcome);
}

/* The command line as the start reads it: --log cut out, a quiet word looked for. */
static void read_command_line(RunStart *start)
{
    char path[MAX_PATH_BYTES];
    start->log_option = cut_log_option(start->tail, start->options, sizeof start->options, path);
    if (start->log_option == LOG_OPTION_TAKEN)
        log_set_path(path);
    /* an invalid --log leaves the line as it came to be searched */
    start->quiet_word = tail_has_quiet_word(start->log_option == LOG_OPTION_TAKEN ? start->options : start->tail);
    run.quiet_run = start->quiet_word;
}

/* "結果: 完了、終了コード 0" and the block's last line: when, and how long it took. */
static void log_run_end(const SYSTEMTIME *started, const char *result, int exit_code)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    LogLine line;
    line_begin(&line, text_log_result);
    line_add(&line, result);
    log_line_ending_in_number(&line, text_log_result_code, exit_code);

    line_begin(&line, text_log_end);
    line_add_time(&line, &now);
    line_add(&line, text_log_elapsed);
    line_add_number(&line, seconds_between(started, &now));
    line_add(&line, text_log_elapsed_end);
    log_line(&line);
}

int run_uninstaller(const char *command_line)
{
    SYSTEMTIME started;
    RunStart start;
    GetLocalTime(&started);
    log_open();
    start.tail = command_line_tail(command_line);
    read_command_line(&start);
    start.under_wow64 = running_under_wow64();
    log_run_start(&started, start.under_wow64);

    run.windows_version.state = 0; /* read once in each run */
    int version_known = read_windows_version();
    int nt_family = version_known && run.windows_version.info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    log_windows_version();
    start.unseen = nt_family && !window_station_visible();
    log_run_identity(start.tail);
    if (start.unseen) {
        run.quiet_run = 1; /* nobody could answer a box */
        log_text(text_log_station_invisible);
    }

    RunEnd end = run_once(&start);
    int exit_code = end.handed_over ? end.exit_code : verdict_exit_code(end.outcome, run.quiet_run);
    const char *result = end.handed_over ? handed_over_result(end.exit_code) : verdict_result(end.outcome);
    log_choose_file();
    log_run_end(&started, result, exit_code);
    log_close();
    return exit_code;
}
