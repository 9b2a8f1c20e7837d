/*
 * main_flow.cpp - one run of the uninstaller, start to end.
 *
 * Refusals (unsupported Windows, invalid option) end with -1 and remove
 * nothing; an interactive run otherwise ends with 0. A quiet run ends with
 * the code deployment tools understand: 1603 when a failure was reported,
 * else 3010 when Windows must restart, else 0; 1618 when another copy
 * runs. Failures inside a back-end are reported there and never stop this
 * flow: the closing message always follows. Every run appends its block
 * to the log.
 */
#include "uninstaller.h"
#include "back_ends.h"
#include "run_lock.h"
#include "../common/error_report.h"
#include "../common/message_box.h"
#include "../common/texts.h"
#include "../common/run_log.h"
#include "../common/text_buffers.h"
#include "version.h"

int platform_mode = PLATFORM_NONE;
int complete_removal = 0;

static int show_box(const char *text, UINT style)
{
    return show_message(text_uninstaller_caption, text, style);
}

/* The head of the run's block: when, which program, which command line. */
static void log_run_start(const char *tail)
{
    SYSTEMTIME now;
    LogLine line;

    GetLocalTime(&now);
    line_begin(&line, text_log_start);
    char digits[8];
    format_decimal(digits, sizeof digits, now.wYear, 4);
    line_add(&line, digits);
    const WORD parts[] = {now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    const char *const separators[] = {"/", "/", " ", ":", ":"};
    for (int i = 0; i < 5; ++i) {
        line_add(&line, separators[i]);
        format_decimal(digits, sizeof digits, parts[i], 2);
        line_add(&line, digits);
    }
    line_add(&line, text_log_start_end);
    log_line(&line);

    line_begin(&line, text_log_program);
    line_add(&line, QZ_VERSION_TEXT);
    line_add(&line, sizeof(void *) == 8 ? text_log_64bit : text_log_32bit);
    log_line(&line);

    line_begin(&line, text_log_command_line);
    line_add(&line, "\"");
    line_add(&line, tail);
    line_add(&line, "\"");
    log_line(&line);
}

/* What the back-end's steps did, and how many failures were reported. */
static void log_removal_results(const RemovalBackEnd *back_end)
{
    back_end->log_results();
    log_number(text_log_failures, reported_failure_count());
}

/* The end of a quiet run: the closing text that a box would have shown,
   and the code that tells a deployment tool what happened. */
static int finish_quietly(int restart)
{
    log_quiet_message(text_uninstaller_caption, restart ? text_restart_question : text_finished);
    log_text(restart ? text_log_restart_quiet : text_log_restart_not_needed);
    if (reported_failure_count() != 0)
        return EXIT_FAILED;
    return restart ? EXIT_RESTART_REQUIRED : EXIT_DONE;
}

/* Confirmation, removal and the closing message, with the run lock held. */
static int confirm_and_remove(void)
{
    if (show_box(text_confirm_removal, MB_OKCANCEL | MB_ICONWARNING) != IDOK)
        return EXIT_DONE;

    const RemovalBackEnd *back_end = removal_back_end(platform_mode);
    if (back_end == NULL)
        return EXIT_REFUSED; /* cannot happen once the platform check passed */
    back_end->run(complete_removal);
    log_removal_results(back_end);

    int restart = back_end->restart_needed();
    if (quiet_run)
        return finish_quietly(restart);
    if (!restart) {
        show_box(text_finished, MB_OK);
        log_text(text_log_restart_not_needed);
        return EXIT_DONE;
    }
    if (show_box(text_restart_question, MB_OKCANCEL | MB_ICONWARNING) == IDOK) {
        log_text(text_log_restart_started);
        restart_windows();
    } else {
        log_text(text_log_restart_declined);
    }
    return EXIT_DONE;
}

static int run_once(const char *tail)
{
    int exit_code = EXIT_DONE;
    /* on 64-bit Windows the 64-bit program does the run; a quiet tail keeps
       the hand-over's own reports out of boxes */
    quiet_run = tail_asks_for_quiet(tail);
    if (hand_over_to_64bit(tail, &exit_code))
        return exit_code;
    quiet_run = 0; /* from here on only a valid quiet tail makes a quiet run */

    if (!check_platform()) {
        show_box(text_unsupported_platform, MB_OK | MB_ICONERROR);
        return EXIT_REFUSED;
    }
    if (!check_options(tail)) {
        show_box(text_invalid_option, MB_OK | MB_ICONERROR);
        return EXIT_REFUSED;
    }
    if (quiet_run)
        log_text(text_log_quiet);

    int lock = take_run_lock();
    if (lock != LOCK_TAKEN) {
        if (!quiet_run)
            return EXIT_REFUSED;
        return lock == LOCK_BUSY ? EXIT_ALREADY_RUNNING : EXIT_FAILED;
    }
    exit_code = confirm_and_remove();
    release_run_lock();
    return exit_code;
}

int run_uninstaller(const char *command_line)
{
    const char *tail = command_line_tail(command_line);
    log_open();
    log_run_start(tail);
    int exit_code = run_once(tail);
    log_number(text_log_exit_code, exit_code);
    log_close();
    return exit_code;
}
