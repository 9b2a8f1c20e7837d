/*
 * run_lock.h - one run at a time: a named mutex that every run takes
 * before it changes anything, and gives back on every path.
 */
#ifndef QZ_RUN_LOCK_H
#define QZ_RUN_LOCK_H

#include "../common/platform_ops.h"
#include "../common/run_record.h"

/* The mutex's name. On the NT family it is in the "Global\" namespace, so
   that runs of other users and of services count too; Windows 98/Me know
   no namespaces (a backslash is not allowed in their names). */
#define RUN_LOCK_NAME "PeltoQZSeriesUSBDriverUninstaller"
#define RUN_LOCK_NAME_NT "Global\\" RUN_LOCK_NAME
/* Windows Vista on: the name in the program's private namespace, whose
   boundary ("PeltoQZUninst") holds the Administrators SID, by its alias. */
#define RUN_LOCK_NAME_PRIVATE "PeltoQZ\\" RUN_LOCK_NAME

/* take_run_lock returns LOCK_TAKEN (also when its last owner ended
   without giving it back, and with run.run_lock null when an object of its
   name is not this program's lock: both logged); LOCK_BUSY when another
   copy holds it (reported: a box at once, or in a quiet run the log after
   waiting 10 seconds); LOCK_FAILED after a reported failure of the lock
   itself.
   release_run_lock gives a taken lock back (and does nothing otherwise). */
#define LOCK_TAKEN 1
#define LOCK_BUSY 0
#define LOCK_FAILED -1
int take_run_lock(void);
void release_run_lock(void);

#endif
