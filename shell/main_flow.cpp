/*
 * main_flow.cpp - one run of the uninstaller, start to end.
 *
 * Refusals (unsupported Windows, invalid option) end with -1 and remove
 * nothing; everything else ends with 0. Failures inside a back-end are
 * reported there and never stop this flow: the closing box always follows.
 */
#include "uninstaller.h"
#include "messages.h"
#include "../nt_removal/nt_removal.h"
#include "../w9x_removal/w9x_removal.h"

int platform_mode = PLATFORM_NONE;
int complete_removal = 0;

static int show_box(const char *text, UINT style)
{
    return MessageBoxA(NULL, text, text_uninstaller_caption, style);
}

int run_uninstaller(const char *command_line)
{
    int exit_code = 0;
    if (hand_over_to_64bit(command_line_tail(command_line), &exit_code))
        return exit_code;

    if (!check_platform()) {
        show_box(text_unsupported_platform, MB_OK | MB_ICONERROR);
        return -1;
    }
    if (!check_options(command_line_tail(command_line))) {
        show_box(text_invalid_option, MB_OK | MB_ICONERROR);
        return -1;
    }
    if (show_box(text_confirm_removal, MB_OKCANCEL | MB_ICONWARNING) != IDOK)
        return 0;

    if (platform_mode == PLATFORM_WIN9X)
        run_win9x_removal();
    else if (platform_mode == PLATFORM_NT)
        run_nt_removal(complete_removal);
    else
        return -1;

    if (!restart_needed()) {
        show_box(text_finished, MB_OK);
        return 0;
    }
    if (show_box(text_restart_question, MB_OKCANCEL | MB_ICONWARNING) == IDOK)
        restart_windows();
    return 0;
}
