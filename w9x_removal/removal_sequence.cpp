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
#include "../common/removal_status.h"


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

/* 1 when a product's registry cleanup removed something or reported a
   failure (its registry_status is not 0). */
static int win9x_status_needs_restart(const void *record)
{
    return ((const Win9xRemovalStatus *)record)->registry_status != 0;
}

/* The log's words for a product's two steps ("製品 0: レジストリ 削除、
   ファイル 一部削除 (対象の 26 個のうち 3 個があり、すべて削除)"),
   indexed by W9X_STEP_*. */
static const char *const win9x_step_names[] = {text_log_step_registry, text_log_step_files};

/* The steps of a product passed over because nothing of it was found read
   "なし" (they count as run once the binding held: product 0's steps run
   whenever it does); those of one the user declined, or of any when the
   binding failed, "実行せず". */
static int win9x_step_ran_anyway(int index, int step)
{
    (void)step;
    int bound = win9x_run.win9x_removal_status[0].steps[W9X_STEP_REGISTRY].ran;
    return bound && !win9x_run.win9x_removal_status[index].declined;
}

static_assert(sizeof(Win9xRemovalStatus) <= STATUS_RECORD_BYTES_MAX, "the restart decision reads it into a record of its own");
const RemovalStatusTable win9x_status_table = {
    win9x_run.win9x_removal_status,
    sizeof(Win9xRemovalStatus),
    WIN9X_PRODUCT_COUNT,
    COUNT_OF(win9x_step_names),
    win9x_step_names,
    {FIELD_OFFSET(Win9xRemovalStatus, registry_status), FIELD_OFFSET(Win9xRemovalStatus, file_status)},
    FIELD_OFFSET(Win9xRemovalStatus, steps),
    W9X_STEP_FILES,
    FIELD_OFFSET(Win9xRemovalStatus, files_listed),
    FIELD_OFFSET(Win9xRemovalStatus, files_found),
    win9x_status_needs_restart,
    win9x_step_ran_anyway,
};

int get_win9x_removal_status(int index, Win9xRemovalStatus *out)
{
    return query_product_status(&win9x_status_table, index, out);
}
