/*
 * run_lock.cpp - the run lock (run_lock.h): taken before anything is
 * asked or changed, given back on every path.
 */
#include "run_lock.h"
#include "uninstaller.h"
#include "../common/error_report.h"
#include "../common/message_box.h"
#include "../common/texts.h"
#include "../common/run_log.h"

#define QUIET_WAIT_MS 10000 /* a deployment's retry may start while its first run still ends */

HANDLE run_lock = NULL;

/* Tells that another copy holds the lock: a box, or in a quiet run the log. */
static void report_lock_busy(void)
{
    if (!quiet_run) {
        show_message(text_uninstaller_caption, text_already_running, MB_OK | MB_ICONERROR);
        return;
    }
    log_quiet_message(text_uninstaller_caption, text_already_running);
    log_text(text_log_lock_timeout);
}

int take_run_lock(void)
{
    const char *name = platform_mode == PLATFORM_NT ? RUN_LOCK_NAME_NT : RUN_LOCK_NAME;
    run_lock = CreateMutexA(NULL, FALSE, name);
    if (run_lock == NULL) {
        if (GetLastError() == ERROR_ACCESS_DENIED) {
            /* made by a copy running as another user (a service): it runs */
            report_lock_busy();
            return LOCK_BUSY;
        }
        report_failure(caption_create_mutex, GetLastError(), name, NULL);
        return LOCK_FAILED;
    }
    DWORD waited = WaitForSingleObject(run_lock, quiet_run ? QUIET_WAIT_MS : 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return LOCK_TAKEN; /* abandoned: its last owner ended without giving it back */
    if (waited == WAIT_TIMEOUT)
        report_lock_busy();
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
