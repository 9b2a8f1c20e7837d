/*
 * message_box.h - every box the program shows, and what a quiet run does
 * instead: no box at all, the message written to the log word for word.
 */
#ifndef QZ_MESSAGE_BOX_H
#define QZ_MESSAGE_BOX_H

#include "platform_ops.h"
#include "run_record.h"

/* run.quiet_run (run_record.h) is 1 for a run that shows no box and waits
   for nobody: a quiet word on its line (valid or not), or a window station
   nobody sees. run.boxes_held_back is 1 while a run proves its result after
   the removal: its messages (the failures of its examination) go to the log
   only, so that an interactive run shows the boxes it always showed. */

/*
 * Shows a box (no owner window) and logs it with the answer. In a quiet run
 * it only logs it, answered "none", and returns IDOK: a quiet run goes on
 * as if every question were answered OK. Returns the answer (IDOK,
 * IDCANCEL; 0 when the box could not be shown).
 */
int show_message(const char *caption, const char *text, UINT style);

/* show_message() for a text Windows gave in UTF-16 (an error's text), which
   the NT family shows as it is; `text` is the same in the system's code
   page, for the log and for Windows 98/Me. */
int show_system_message(const char *caption, const WCHAR *wide_text, const char *text, UINT style);

/* Logs a message that a quiet run does not show, answered "none". */
void log_quiet_message(const char *caption, const char *text);

#endif
