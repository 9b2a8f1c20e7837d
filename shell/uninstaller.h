/*
 * uninstaller.h - the shell: platform check, command line, confirmation,
 * dispatch to one removal back-end, and the closing box or restart.
 */
#ifndef QZ_UNINSTALLER_H
#define QZ_UNINSTALLER_H

#include "../common/platform_ops.h"

#define PLATFORM_NONE 0
#define PLATFORM_WIN9X 1 /* Windows 98 and Me */
#define PLATFORM_NT 2    /* Windows 2000 and later */

extern int platform_mode;    /* written once by check_platform */
extern int complete_removal; /* 1 with "--complete" or "-C" (NT family only) */

/* Exit codes. An interactive run ends with 0 or -1; a quiet run, which
   deployment tools judge by its code alone, with the Windows Installer
   codes (-1 still for an unsupported Windows or an invalid option). */
#define EXIT_DONE 0
#define EXIT_REFUSED -1
#define EXIT_RESTART_REQUIRED 3010 /* quiet: done, Windows must restart */
#define EXIT_FAILED 1603           /* quiet: a failure was reported */
#define EXIT_ALREADY_RUNNING 1618  /* quiet: another copy holds the run lock */

/* Runs the program on its process command line; returns the exit code. */
int run_uninstaller(const char *command_line);

/* The command line without the program name and the blanks after it. */
const char *command_line_tail(const char *command_line);

/* 1 and platform_mode set when this Windows is supported, else 0. The
   version Windows reported is logged. */
int check_platform(void);

/* 1 and complete_removal (and quiet_run, message_box.h) set when the tail
   is valid on this platform, else 0, nothing set. */
int check_options(const char *tail);

/* 1 when the tail is one of the NT family's quiet forms (the only family
   that hands a run over to the 64-bit program): its reports go to the log. */
int tail_asks_for_quiet(const char *tail);

/* On 64-bit Windows, runs QZUninst64.exe (beside this program) with the same
   tail and waits for it. Returns 1 with *exit_code set when this program's
   run ends here: the 64-bit program ran, or it could not be started
   (reported; -1, or 1603 in a quiet run: a 32-bit program would remove the
   service and the files of devices it cannot remove itself); 0 when this
   program is to go on itself (not under WOW64). */
int hand_over_to_64bit(const char *tail, int *exit_code);

/* Enables the shutdown privilege and asks Windows to restart. */
void restart_windows(void);

#endif
