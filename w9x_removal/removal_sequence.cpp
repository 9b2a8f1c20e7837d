/*
 * removal_sequence.cpp - the Windows 98/Me removal, product by product:
 * the four registry steps, then the driver files, then the not-installed
 * notice; and whether what it removed needs a restart.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/message_box.h"
#include "../common/texts.h"
#include "../common/run_log.h"


/*
 * clean_product_registry - runs the four registry steps of one product in
 * order, whatever each returns, and returns their results ORed together
 * (0, 1 or 0xFFFF); 0xFFFF also after any failure a step reported and
 * passed over (a value of a walk that could not be read).
 */
int clean_product_registry(int index)
{
    int reported = reported_failure_count();
    int modem = remove_wdm_modem_enum_keys();
    int device = remove_hardware_enum_key(index);
    int ports = clean_root_ports(index);
    int vxd = remove_vxd_registrations(index);
    int failed = reported_failure_count() != reported ? STATUS_FAILED : STATUS_NOTHING;
    return modem | device | ports | vxd | failed;
}

void record_registry_step(int index)
{
    win9x_run.win9x_removal_status[index].registry_status = clean_product_registry(index);
}

void record_win9x_file_step(int index)
{
    Win9xRemovalStatus *status = &win9x_run.win9x_removal_status[index];
    FileCount count = {0, 0};
    status->file_status = remove_win9x_driver_files(index, &count);
    status->files_listed = count.listed;
    status->files_found = count.found;
}

/*
 * show_not_installed - tells the user that nothing of product `index` was
 * found: its display name followed by "はインストールされていません。".
 * Returns nothing; the box is modal.
 */
static void show_not_installed(int index)
{
    char text[DISPLAY_NAME_BYTES];

    zero_bytes(text, sizeof text);
    if (!join_text(text, sizeof text, win9x_product_table[index].display_name, text_not_installed_suffix, ""))
        return; /* cannot happen with the table's names: 47 bytes at most */
    show_message(text_uninstaller_caption, text, MB_OK | MB_ICONWARNING);
}

/*
 * run_win9x_removal - binds the platform functions, removes product 0 and
 * then product 1 (if it is confirmed), and releases the functions again.
 * Returns 1 when the run reached its end and both libraries were released;
 * 0 when the binding failed (nothing was examined) or a release failed.
 */
int run_win9x_removal(int complete)
{
    (void)complete; /* Windows 98/Me take no removal option */
    if (!bind_win9x_functions())
        return 0;

    /* every product is looked for before any goes: product 0's pass deletes
       the Enum keys and the files both products have, by which product 1
       would otherwise no longer be found, and its VxDs would stay */
    int found[WIN9X_PRODUCT_COUNT];
    for (int index = 0; index < WIN9X_PRODUCT_COUNT; ++index)
        found[index] = win9x_product_found(index);
    for (int index = 0; index < WIN9X_PRODUCT_COUNT; ++index) {
        if (!confirm_found_product(index, found[index]))
            continue;
        step_begins(); /* for the log: each step's failures are its own */
        record_registry_step(index);
        step_ended(&win9x_run.win9x_removal_status[index].steps[W9X_STEP_REGISTRY]);
        record_win9x_file_step(index);
        step_ended(&win9x_run.win9x_removal_status[index].steps[W9X_STEP_FILES]);
        if (win9x_run.win9x_removal_status[index].registry_status == STATUS_NOTHING &&
            win9x_run.win9x_removal_status[index].file_status == STATUS_NOTHING)
            show_not_installed(index);
    }
    return release_win9x_functions();
}

/*
 * get_win9x_removal_status - copies product `index`'s registry_status and
 * file_status into *out. Returns 1; returns 0 and leaves *out untouched
 * for an index other than 0 and 1 or a null out.
 */
int get_win9x_removal_status(int index, Win9xRemovalStatus *out)
{
    if ((index != 0 && index != 1) || out == 0)
        return 0;
    *out = win9x_run.win9x_removal_status[index];
    return 1;
}

/*
 * win9x_restart_needed - 1 when either product's registry cleanup removed
 * something or reported a failure (its registry_status is not 0), else 0.
 * Asks the status query for product 0, then 1, into one record zero-filled
 * before the first query.
 */
int win9x_restart_needed(void)
{
    Win9xRemovalStatus status;
    zero_bytes(&status, sizeof status);
    for (int index = 0; index < WIN9X_PRODUCT_COUNT; ++index) {
        if (get_win9x_removal_status(index, &status) && status.registry_status != 0)
            return 1;
    }
    return 0;
}

/*
 * log_win9x_removal_status - writes each product's two steps to the log
 * ("製品 0: レジストリ 削除、ファイル 一部削除 (対象の 26 個のうち 3 個が
 * あり、すべて削除)"), then how many steps ended how. The steps of a
 * product passed over because nothing of it was found read "なし"; those
 * of one the user declined, or of any when the binding failed, "実行せず".
 * Returns how many failures the steps reported.
 */
int log_win9x_removal_status(void)
{
    static const char *const names[] = {text_log_step_registry, text_log_step_files};
    StepTotals totals;
    zero_bytes(&totals, sizeof totals);
    int failures = 0;
    int bound = win9x_run.win9x_removal_status[0].steps[W9X_STEP_REGISTRY].ran; /* product 0's steps run whenever it is */
    for (int index = 0; index < WIN9X_PRODUCT_COUNT; ++index) {
        const Win9xRemovalStatus &s = win9x_run.win9x_removal_status[index];
        const int statuses[] = {s.registry_status, s.file_status};
        StepResult steps[COUNT_OF(names)];
        for (int i = 0; i < COUNT_OF(names); ++i) {
            StepResult step = {names[i], statuses[i], s.steps[i].ran || (bound && !s.declined), s.steps[i].failures,
                               0, 0};
            if (i == W9X_STEP_FILES) {
                step.files_listed = s.files_listed;
                step.files_found = s.files_found;
            }
            steps[i] = step;
            failures += s.steps[i].failures;
        }
        log_product_steps(index, steps, COUNT_OF(steps), &totals);
    }
    log_step_totals(&totals);
    return failures;
}
