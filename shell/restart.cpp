/*
 * restart.cpp - the restart itself. Whether one is needed, each back-end
 * knows of its own work (back_ends.h).
 */
#include "uninstaller.h"
#include "../common/text_buffers.h"

/* The results are not looked at: on Windows 98/Me the token calls fail and
   the restart is asked for all the same; a refused restart just ends the run.
   The token handle is closed once the privilege is enabled: the privilege
   belongs to the process's token, not to this handle. */
void restart_windows(void)
{
    HANDLE token = NULL;
    TOKEN_PRIVILEGES privileges;

    zero_bytes(&privileges, sizeof privileges);
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        token = NULL; /* Windows 98/Me: no token to close */
    LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    if (token != NULL)
        CloseHandle(token);
    ExitWindowsEx(EWX_REBOOT, 0);
}
