/*
 * driver_store.cpp - uninstalls the driver package an OEM INF ("oemN.inf")
 * publishes (SetupUninstallOEMInfA, Windows XP and later), which also
 * takes its catalog and, from Windows Vista on, the package in the driver
 * store: otherwise Windows would install the driver again from the store
 * the next time the modem is plugged in. A failed uninstall shows no box
 * (the deletion that follows reports what it reports); the log tells
 * either way.
 */
#include "nt_steps.h"
#include "../common/texts.h"
#include "../common/run_log.h"

/* 1 for "oem" + one or more digits + ".inf", without case and without a path. */
int is_oem_inf_name(const char *name)
{
    if (!(name[0] == 'o' || name[0] == 'O') || !(name[1] == 'e' || name[1] == 'E') ||
        !(name[2] == 'm' || name[2] == 'M'))
        return 0;
    int i = 3;
    while (name[i] >= '0' && name[i] <= '9')
        ++i;
    return i > 3 && texts_equal_nocase(name + i, ".inf");
}

/* Writes "ドライバ パッケージを削除しました: oem3.inf", or the failure and its error. */
static void log_uninstall(const char *name, int uninstalled, DWORD error)
{
    LogLine line;
    line_begin(&line, uninstalled ? text_log_package_removed : text_log_package_not_removed);
    line_add(&line, name);
    if (!uninstalled) {
        line_add(&line, text_log_package_error);
        line_add_error_number(&line, error);
        line_add(&line, ")");
    }
    log_line(&line);
}

/* Asks Windows to uninstall the OEM INF `name`. Returns 1 when it did; 0
   when it cannot (Windows 2000) or did not (logged, no box). */
int uninstall_driver_package(const char *name)
{
    if (nt_binding.SetupUninstallOEMInfA == NULL)
        return 0;
    if (nt_binding.SetupUninstallOEMInfA(name, SUOI_FORCEDELETE, NULL)) {
        log_uninstall(name, 1, 0);
        return 1;
    }
    log_uninstall(name, 0, GetLastError());
    return 0;
}
