/*
 * inf_pair.cpp - deletes an INF file and its PNF from the INF folder, for
 * the class INF and the OEM INF steps alike. An OEM INF's driver package
 * is uninstalled first (driver_store.cpp). The deletion that follows is
 * the one the file steps always made: a file the uninstall took counts as
 * deleted, so every box, count and status is the same as if DeleteFileA
 * had removed it.
 */
#include "nt_steps.h"

/*
 * Deletes the INF file `name` of the INF folder below `windows`, then the
 * PNF of the same base name (the name with its last three characters made
 * "pnf"; a name shorter than three characters has none), each as
 * delete_file_at does with `silent_errors`. When `name` is an OEM INF that
 * exists, its driver package is uninstalled right before the INF is
 * deleted; when that fails (reported) both files stay, outcome[0] is
 * FILE_PACKAGE_KEPT and outcome[1] FILE_ABSENT. outcome[0] and outcome[1]
 * receive what became of the INF and the PNF (FILE_DELETED, FILE_ABSENT,
 * ...); a path that does not fit names no file and counts as absent.
 */
void remove_inf_pair(const char *windows, const char *name, int silent_errors, int outcome[2])
{
    const FileFunctions *files = &nt_run.nt_binding.files;
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
        if (is_oem_inf_name(name) && nt_run.nt_binding.SetupUninstallOEMInfA != NULL) {
            /* whether the PNF is there before the uninstall takes it: only then does it count */
            pnf_existed = has_pnf && GetFileAttributesA(pnf_path) != INVALID_FILE_ATTRIBUTES; /* imported */
            int package = uninstall_driver_package(name);
            if (package == PACKAGE_FAILED) {
                outcome[0] = FILE_PACKAGE_KEPT;
                return;
            }
            uninstalled = package == PACKAGE_UNINSTALLED;
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
