/*
 * removal_sequence.cpp - the NT-family removal: a pass for product 0, then
 * one for product 1, and the notice when nothing of the series was found;
 * and whether what it removed needs a restart.
 */
#include "nt_steps.h"
#include "../common/message_box.h"
#include "../common/texts.h"
#include "../common/run_log.h"
#include "../common/removal_status.h"


/* Shows product 1's display name followed by the not-installed suffix, and waits for OK. */
static void show_not_installed_notice(void)
{
    char text[DISPLAY_NAME_BYTES + 40];
    if (!join_text(text, sizeof text, nt_product_table[1].display_name, text_not_installed_suffix, ""))
        return;
    show_message(text_uninstaller_caption, text, MB_OK | MB_ICONWARNING);
}

/* 1 when no step of this product found, removed or failed anything. */
static int status_is_empty(const NtRemovalStatus *status)
{
    return status->device_status == 0 && status->service_status == 0 && status->file_status == 0 &&
           status->oem_inf_status == 0;
}

void record_device_step(int index)
{
    NtRemovalStatus *status = &nt_run.nt_removal_status[index];
    status->device_status = remove_product_devices(index, &status->restart_reasons);
}

void record_service_step(int index)
{
    nt_run.nt_removal_status[index].service_status = remove_service_keys(index);
}

/* The current files and the class INF pair, then the older package when
   any of its files is there: the file status is the last one's. */
void record_file_steps(int index)
{
    NtRemovalStatus *status = &nt_run.nt_removal_status[index];
    FileCount count = {0, 0};
    status->file_status = remove_driver_files(index, &count);
    int legacy = legacy_files_present(index);
    if (legacy == LEGACY_FOLDER_FAILED)
        status->file_status = STATUS_FAILED;
    else if (legacy)
        status->file_status = remove_legacy_files(index, &count);
    status->files_listed = count.listed;
    status->files_found = count.found;
}

void record_oem_inf_step(int index)
{
    nt_run.nt_removal_status[index].oem_inf_status = remove_oem_inf_files(index);
}

/* The file steps of one pass: current files and class INF pair, the older
   package when any of its files is there, then the OEM INF files. A file
   one of them set to go at the restart makes the restart needed. */
static void remove_product_files(int index)
{
    int scheduled = scheduled_file_count();
    record_file_steps(index);
    step_ended(&nt_run.nt_removal_status[index].steps[NT_STEP_FILES]);
    record_oem_inf_step(index);
    step_ended(&nt_run.nt_removal_status[index].steps[NT_STEP_OEM_INFS]);
    if (scheduled_file_count() != scheduled)
        nt_run.nt_removal_status[index].restart_reasons |= RESTART_FOR_FILES;
}

/*
 * Runs the whole removal once: binds the platform functions (and does
 * nothing else when that fails), removes product 0, then product 1 (its
 * service keys only when `complete` is non-zero, since both products share
 * the service), shows the notice when nothing at all was found, and
 * releases the binding. Returns 1 when the run reached its end and the
 * libraries were released; 0 when the binding (nothing was examined) or a
 * release failed. The outcome is in nt_run.nt_removal_status.
 */
int run_nt_removal(int complete)
{
    if (!bind_nt_functions())
        return 0;

    /* The class INF name is looked up before the device is gone; devices
       go before any key or file. */
    find_class_inf_name(0);
    step_begins(); /* for the log: each step's failures are its own */
    record_device_step(0);
    step_ended(&nt_run.nt_removal_status[0].steps[NT_STEP_DEVICES]);
    remove_product_files(0);
    NtRemovalStatus product0 = nt_run.nt_removal_status[0];

    find_class_inf_name(1);
    step_begins();
    record_device_step(1);
    step_ended(&nt_run.nt_removal_status[1].steps[NT_STEP_DEVICES]);
    if (complete) {
        record_service_step(SERVICE_PRODUCT);
        step_ended(&nt_run.nt_removal_status[SERVICE_PRODUCT].steps[NT_STEP_SERVICES]);
    }
    remove_product_files(1);

    if (status_is_empty(&product0) && status_is_empty(&nt_run.nt_removal_status[1]))
        show_not_installed_notice();

    return release_nt_functions();
}

/* 1 when a product's service-key step deleted a key or reported a failure
   (its service_status is not 0), or when Windows finishes a removal at the
   restart (a device or a file that was in use). */
static int nt_status_needs_restart(const void *record)
{
    const NtRemovalStatus *status = (const NtRemovalStatus *)record;
    return status->service_status != 0 || status->restart_reasons != 0;
}

/* The log's words for a product's four steps ("製品 0: デバイス 削除、
   サービス 実行せず、ファイル 一部削除 (対象の 2 個のうち 1 個があり、
   すべて削除)、..."), indexed by NT_STEP_*. */
static const char *const nt_step_names[] = {text_log_step_devices, text_log_step_services, text_log_step_files,
                                            text_log_step_oem_infs};

static_assert(sizeof(NtRemovalStatus) <= STATUS_RECORD_BYTES_MAX, "the restart decision reads it into a record of its own");
const RemovalStatusTable nt_status_table = {
    nt_run.nt_removal_status,
    sizeof(NtRemovalStatus),
    NT_PRODUCT_COUNT,
    COUNT_OF(nt_step_names),
    nt_step_names,
    {FIELD_OFFSET(NtRemovalStatus, device_status), FIELD_OFFSET(NtRemovalStatus, service_status),
     FIELD_OFFSET(NtRemovalStatus, file_status), FIELD_OFFSET(NtRemovalStatus, oem_inf_status)},
    FIELD_OFFSET(NtRemovalStatus, steps),
    NT_STEP_FILES,
    FIELD_OFFSET(NtRemovalStatus, files_listed),
    FIELD_OFFSET(NtRemovalStatus, files_found),
    nt_status_needs_restart,
    0, /* a step ran when its record says so */
};

int get_nt_removal_status(int index, NtRemovalStatus *out)
{
    return query_product_status(&nt_status_table, index, out);
}
