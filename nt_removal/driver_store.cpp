/*
 * driver_store.cpp - uninstalls the driver package an OEM INF ("oemN.inf")
 * publishes (SetupUninstallOEMInfA, Windows XP and later), which also
 * takes its catalog and, from Windows Vista on, the package in the driver
 * store: otherwise Windows would install the driver again from the store
 * the next time the modem is plugged in. A failed uninstall is reported
 * like every failing call, and the INF stays with its PNF: without them
 * nothing could find the package again, and a later run can retry.
 */
#include "nt_steps.h"
#include "../common/texts.h"
#include "../common/error_report.h"
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

/*
 * Asks Windows to uninstall the OEM INF `name`. Returns PACKAGE_UNINSTALLED
 * (the log names it); PACKAGE_NOT_KEPT where Windows has no driver store to
 * uninstall from (Windows 2000); PACKAGE_FAILED after a
 * "SetupUninstallOEMInf()" box: the package stays in the store.
 */
int uninstall_driver_package(const char *name)
{
    if (nt_run.nt_binding.SetupUninstallOEMInfA == NULL)
        return PACKAGE_NOT_KEPT;
    if (!nt_run.nt_binding.SetupUninstallOEMInfA(name, SUOI_FORCEDELETE, NULL)) {
        report_failure(caption_setup_uninstall_oem_inf, GetLastError(), name, NULL);
        return PACKAGE_FAILED;
    }
    LogLine line;
    line_begin(&line, text_log_package_removed);
    line_add_system(&line, name);
    log_line(&line);
    return PACKAGE_UNINSTALLED;
}
