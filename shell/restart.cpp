/*
 * restart.cpp - whether a restart is needed, and the restart itself.
 *
 * On the NT family only a deleted (or failed) service key asks for a
 * restart; on Windows 98/Me any registry cleanup does.
 */
#include "uninstaller.h"
#include "text_buffers.h"
#include "../nt_removal/nt_removal.h"
#include "../w9x_removal/w9x_removal.h"

int restart_needed(void)
{
    if (platform_mode == PLATFORM_NT) {
        RemovalStatus status;
        zero_bytes(&status, sizeof status);
        for (int index = 0; index < 2; ++index) {
            if (get_removal_status(index, &status) && status.service_status != 0)
                return 1;
        }
        return 0;
    }
    if (platform_mode == PLATFORM_WIN9X) {
        Win9xRemovalStatus status;
        zero_bytes(&status, sizeof status);
        for (int index = 0; index < 2; ++index) {
            if (get_win9x_removal_status(index, &status) && status.registry_status != 0)
                return 1;
        }
        return 0;
    }
    return 0;
}

/* The results are not looked at: on Windows 98/Me the token calls fail and
   the restart is asked for all the same; a refused restart just ends the run. */
void restart_windows(void)
{
    HANDLE token = NULL;
    TOKEN_PRIVILEGES privileges;

    zero_bytes(&privileges, sizeof privileges);
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    ExitWindowsEx(EWX_REBOOT, 0);
}
