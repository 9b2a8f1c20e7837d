/*
 * uninstaller.h - the shell: platform check, command line, confirmation,
 * dispatch to one removal back-end, and the closing box or restart.
 */
#ifndef QZ_UNINSTALLER_H
#define QZ_UNINSTALLER_H

#include "../common/platform_ops.h"
#include "../common/run_record.h"

#define PLATFORM_NONE 0
#define PLATFORM_WIN9X 1 /* Windows 98 and Me */
#define PLATFORM_NT 2    /* Windows 2000 and later */


/* Runs the program on its process command line; returns the exit code. */
int run_uninstaller(const char *command_line);

/* Makes the process look for libraries in the system folder only, where
   Windows can (library_search.cpp); the first thing a run does. */
void keep_library_search_to_system_folder(void);

/* The command line without the program name and the blanks after it. */
const char *command_line_tail(const char *command_line);

/* The same for the command line in UTF-16 (GetCommandLineW). */
const WCHAR *wide_command_line_tail(const WCHAR *command_line);

/* Reads the version on the first call. Returns 1; or 0 after the
   "GetVersionEx()" report (on every call after that too). */
int read_windows_version(void);

/* Adds "Windows: 5.1.2600 (Windows NT 系、32 ビット)" to the log, or
   "Windows: 不明" when the version is not known. */
void log_windows_version(void);

/* 1 and run.platform_mode set when this Windows is supported, else 0. */
int check_platform(void);

/* 1 and run.complete_removal, run.check_only (and run.quiet_run, message_box.h) set
   when the tail is valid on this platform, else 0. "--check" stands alone
   or with the quiet word ("--check -Q", "-Q --check") on both families. */
int check_options(const char *tail);

/* 1 when a word of the tail (split at blanks, tabs and the like) is a
   quiet word in any case: -q, /q, --quiet or /quiet. Such a run shows no
   box, whether its line is valid or not. */
int tail_has_quiet_word(const char *tail);

/*
 * Cuts "--log PATH" out of the tail: the word "--log", one blank, then the
 * path (between double quotes when it holds blanks), anywhere among the
 * options. The blank before it goes with it (at the start, the blank
 * after it), so "-Q --log x -C" leaves "-Q -C", and "--log x -Q" leaves
 * "-Q". What is left goes to `options` (options_size bytes), the path to
 * `path` (MAX_PATH_BYTES). Returns LOG_OPTION_TAKEN; LOG_OPTION_NONE when
 * there is no --log (the tail is the options: nothing is copied); or why
 * the line is invalid: LOG_OPTION_NO_PATH (no blank and path after it),
 * LOG_OPTION_TWICE, LOG_OPTION_TOO_LONG (the path or what is left does
 * not fit).
 */
#define LOG_OPTION_NONE 0
#define LOG_OPTION_TAKEN 1
#define LOG_OPTION_NO_PATH -1
#define LOG_OPTION_TWICE -2
#define LOG_OPTION_TOO_LONG -3
int cut_log_option(const char *tail, char *options, int options_size, char *path);

/* 1 when this 32-bit program runs on 64-bit Windows, else 0 (also when
   unknown, and always for the 64-bit program). */
int running_under_wow64(void);

/* The name of the variable through which the 32-bit program tells the
   64-bit one that it handed the run over, and its process ID. */
#define HAND_OVER_VARIABLE "QZUNINST_HANDED_OVER_BY"

/* How a hand-over ended: whether the 64-bit program ran, whether its
   exit code is known, and that code, which is then the run's; or that it
   was still running after the longest wait. */
struct HandOver {
    int exit_code;
    int started;
    int known;
    int timed_out; /* it was still running when the wait ended */
};

/* Under WOW64: runs QZUninst64.exe (beside this program) with the same
   tail and waits for it. Returns 1 when this program's run ends here: the
   64-bit program ran (its exit code is the run's), or it could not be
   started (reported, hand_over->started 0: the run fails, as a 32-bit
   program would remove the service and the files of devices it cannot
   remove itself).
   Returns 0 for a tail too long to pass on, which this program refuses
   itself. */
int hand_over_to_64bit(const char *tail, HandOver *hand_over);

/* Whether QZUninst64.exe (`partner`, shown as `shown`) may be started by
   this program (`own`, its path): 1 always for a run by a logged-on
   account; for a service account's run 1 only when no account but SYSTEM,
   Administrators and TrustedInstaller can write it or its folder (not
   asked on a network share), and, when this program is signed, the
   partner is validly signed with the same certificate. 0 after the log
   line that says why (and who could write it) and a "CreateProcess()"
   report. */
int partner_trusted(const WCHAR *own, const WCHAR *partner, const char *shown);

/* The head of the run's block (run_head.cpp): the start and the program
   with its hand-over; then, once the version is known, who and where runs
   it and the command line. */
void log_run_start(const SYSTEMTIME *start, int under_wow64);
void log_run_identity(const char *tail);

/* 0 when the process's window station is not visible (a service, or
   SYSTEM in session 0), where nobody can answer a box; else 1, also when
   Windows cannot tell (NT family only). */
int window_station_visible(void);

/* Enables the shutdown privilege and asks Windows to restart. */
void restart_windows(void);

#endif
