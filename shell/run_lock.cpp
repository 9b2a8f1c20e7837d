/*
 * run_lock.cpp - the run lock (run_lock.h): taken before anything is
 * asked or changed, given back on every path.
 *
 * The lock is opened for waiting only (SYNCHRONIZE, and MUTEX_MODIFY_STATE
 * to give it back), which Windows grants an administrator on a mutex that
 * SYSTEM made and SYSTEM on one an administrator made; made when it does
 * not exist yet. Making it opens an existing one for all access, which
 * another account's mutex refuses: that is what a copy running as another
 * user used to be turned away by, at once.
 */
#include "run_lock.h"
#include "uninstaller.h"
#include "../common/error_report.h"
#include "../common/message_box.h"
#include "../common/system_functions.h"
#include "../common/texts.h"
#include "../common/run_log.h"

#define QUIET_WAIT_MS 10000 /* a deployment's retry may start while its first run still ends */
#define WAIT_ACCESS (SYNCHRONIZE | MUTEX_MODIFY_STATE)

HANDLE run_lock = NULL;

/* Tells that another copy holds the lock: a box, or in a quiet run the
   log; and in the log whether it was waited for. */
static void report_lock_busy(int could_wait)
{
    show_message(text_uninstaller_caption, text_already_running, MB_OK | MB_ICONERROR);
    if (!could_wait)
        log_text(text_log_lock_closed);
    else if (quiet_run)
        log_text(text_log_lock_timeout);
}

/* Opens the lock for waiting; null when Windows cannot or will not (then
   it is made, or found closed to this account, by take_run_lock). */
static HANDLE open_for_waiting(const char *name)
{
    OpenMutexA_fn open_mutex = SYSTEM_FUNCTION(OpenMutexA, "kernel32");
    return open_mutex != NULL ? open_mutex(WAIT_ACCESS, FALSE, name) : NULL;
}

int take_run_lock(void)
{
    const char *name = platform_mode == PLATFORM_NT ? RUN_LOCK_NAME_NT : RUN_LOCK_NAME;
    run_lock = open_for_waiting(name);
    if (run_lock == NULL)
        run_lock = CreateMutexA(NULL, FALSE, name);
    if (run_lock == NULL) {
        DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED) {
            report_failure(caption_create_mutex, error, name, NULL);
            return LOCK_FAILED;
        }
        /* made meanwhile by a copy running as another account: wait for that one */
        run_lock = open_for_waiting(name);
        if (run_lock == NULL) {
            report_lock_busy(0); /* its account grants not even waiting: that copy runs */
            return LOCK_BUSY;
        }
    }
    DWORD waited = WaitForSingleObject(run_lock, quiet_run ? QUIET_WAIT_MS : 0);
    if (waited == WAIT_OBJECT_0)
        return LOCK_TAKEN;
    if (waited == WAIT_ABANDONED) {
        log_text(text_log_lock_abandoned); /* its last owner ended without giving it back */
        return LOCK_TAKEN;
    }
    if (waited == WAIT_TIMEOUT)
        report_lock_busy(1);
    else
        report_failure(caption_wait_for_single_object, GetLastError(), name, NULL);
    CloseHandle(run_lock);
    run_lock = NULL;
    return waited == WAIT_TIMEOUT ? LOCK_BUSY : LOCK_FAILED;
}

void release_run_lock(void)
{
    if (run_lock == NULL)
        return;
    ReleaseMutex(run_lock);
    CloseHandle(run_lock);
    run_lock = NULL;
}
