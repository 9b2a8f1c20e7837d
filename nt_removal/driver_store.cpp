/*
 * driver_store.cpp - removes an INF file and its PNF from the INF folder;
 * for an OEM INF ("oemN.inf") it first asks Windows to uninstall the
 * driver package the INF publishes (SetupUninstallOEMInfA, Windows XP and
 * later), which also takes its catalog and, from Windows Vista on, the
 * package in the driver store: otherwise Windows would install the driver
 * again from the store the next time the modem is plugged in.
 *
 * The deletion that follows is the one the file steps always made: a file
 * the uninstall took counts as deleted, so every box, count and status is
 * the same as if DeleteFileA had removed it. A failed uninstall shows no
 * box (the deletion reports what it reports); the log tells either way.
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
        line_add_number(&line, (long)error);
        line_add(&line, ")");
    }
    log_line(&line);
}

/* Asks Windows to uninstall the OEM INF `name`. Returns 1 when it did; 0
   when it cannot (Windows 2000) or did not (logged, no box). */
static int uninstall_driver_package(const char *name)
{
    if (platform_binding.SetupUninstallOEMInfA == NULL)
        return 0;
    if (platform_binding.SetupUninstallOEMInfA(name, SUOI_FORCEDELETE, NULL)) {
        log_uninstall(name, 1, 0);
        return 1;
    }
    log_uninstall(name, 0, GetLastError());
    return 0;
}

/*
 * Deletes the INF file `name` of the INF folder below `windows`, then the
 * PNF of the same base name (the name with its last three characters made
 * "pnf"; a name shorter than three characters has none), each as
 * delete_file_at does with `silent_errors`. When `name` is an OEM INF that
 * exists, its driver package is uninstalled right before the INF is
 * deleted. outcome[0] and outcome[1] receive what became of the INF and
 * the PNF (FILE_DELETED, FILE_ABSENT, ...); a path that does not fit names
 * no file and counts as absent.
 */
void remove_inf_pair(const char *windows, const char *name, int silent_errors, int outcome[2])
{
    const FileFunctions *files = &platform_binding.files;
    char inf_path[MAX_PATH_BYTES];
    char pnf_name[MAX_PATH_BYTES];
    char pnf_path[MAX_PATH_BYTES];
    int has_pnf = copy_text(pnf_name, sizeof pnf_name, name) && make_pnf_name(pnf_name, sizeof pnf_name) &&
                  build_inf_path(windows, pnf_name, pnf_path);
    int uninstalled = 0;
    int pnf_existed = 0;

    outcome[0] = outcome[1] = FILE_ABSENT;
    if (!build_inf_path(windows, name, inf_path))
        return;
    outcome[0] = make_file_normal(files, inf_path, silent_errors);
    if (outcome[0] == FILE_PRESENT) {
        if (is_oem_inf_name(name) && platform_binding.SetupUninstallOEMInfA != NULL) {
            /* whether the PNF is there before the uninstall takes it: only then does it count */
            pnf_existed = has_pnf && GetFileAttributesA(pnf_path) != INVALID_FILE_ATTRIBUTES; /* imported */
            uninstalled = uninstall_driver_package(name);
        }
        outcome[0] = delete_normal_file(files, inf_path, uninstalled ? GONE_COUNTS_AS_DELETED : 0);
    }
    if (!has_pnf)
        return;
    int gone_counts = uninstalled && pnf_existed ? GONE_COUNTS_AS_DELETED : 0;
    outcome[1] = make_file_normal(files, pnf_path, silent_errors | gone_counts);
    if (outcome[1] == FILE_PRESENT)
        outcome[1] = delete_normal_file(files, pnf_path, uninstalled ? GONE_COUNTS_AS_DELETED : 0);
}
