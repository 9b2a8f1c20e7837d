/*
 * installation_detection.cpp - decides whether a product is removed: its
 * Enum device key or one of its listed files, then the user's answer.
 */
#include "w9x_steps.h"
#include "../common/error_report.h"
#include "../common/message_box.h"
#include "../common/texts.h"

/*
 * device_key_present - 1 when "Enum\<hardware_id>" opens and closes again;
 * 0 when it cannot be opened (for whatever reason: silent) or cannot be
 * closed (reported).
 */
int device_key_present(int index)
{
    char path[MAX_PATH_BYTES];
    HKEY key = NULL;

    zero_bytes(path, sizeof path);
    if (!join_text(path, sizeof path, "Enum\\", win9x_product_table[index].hardware_id, ""))
        return 0;
    LONG result = win9x_run.win9x_binding.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS)
        return 0;
    result = win9x_run.win9x_binding.registry.RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        report_registry_failure(caption_reg_close_key, result, path, NULL);
        return 0;
    }
    return 1;
}

/*
 * win9x_driver_files_present - probes the product's listed files in row
 * order. The probe is the attribute change itself: a file it finds has its
 * read-only, hidden and system attributes cleared, whatever the user then
 * answers. Returns 1 at the first file that exists; 0 when none does, or
 * when a directory cannot be read (reported). Files that cannot be probed
 * for another reason than their absence are reported and do not count.
 */
int win9x_driver_files_present(int index)
{
    WindowsFolders folders;
    char path[MAX_PATH_BYTES];

    if (!read_windows_folders(&win9x_run.win9x_binding.files, &folders))
        return 0;
    for (int row = 0; row < WIN9X_FILE_ROWS; ++row) {
        int built = build_row_path(&folders, win9x_file_table[index].rows[row], FOLDERS_OF_98_PACKAGE, path);
        if (built == ROW_PATH_TOO_LONG) {
            report_path_too_long(win9x_file_table[index].rows[row]);
            continue;
        }
        if (built != ROW_PATH_BUILT)
            continue;
        if (probe_file(&win9x_run.win9x_binding.files, path, SILENT_FILE_NOT_FOUND | SILENT_PATH_NOT_FOUND))
            return 1;
    }
    return 0;
}

/*
 * ask_to_remove - asks "<display_name>がインストールされています。\n削除しますか？".
 * Returns 1 for OK; 0 for any other answer.
 */
static int ask_to_remove(int index)
{
    char text[256];

    zero_bytes(text, sizeof text);
    if (!join_text(text, sizeof text, win9x_product_table[index].display_name, text_remove_question_suffix, ""))
        return 0;
    /* a quiet run answers OK: the product is removed */
    int confirmed = show_message(text_uninstaller_caption, text, MB_OKCANCEL | MB_ICONWARNING) == IDOK ? 1 : 0;
    win9x_run.win9x_removal_status[index].declined = !confirmed; /* the log tells its steps as not run */
    return confirmed;
}

/*
 * win9x_product_found - 1 when product `index` is installed: always for
 * product 0 (the user has confirmed the run already), for product 1 when
 * its device key or one of its files is found.
 */
int win9x_product_found(int index)
{
    if (index == 0)
        return 1;
    int found = device_key_present(index);
    /* the files are probed even when the key was found */
    found |= win9x_driver_files_present(index);
    return found;
}

/*
 * confirm_found_product - 1 when product `index`, found as `found` says, is
 * to be removed: product 0 always, product 1 when found and the user
 * answers OK. Returns 0 otherwise, without a message when it was not found.
 */
int confirm_found_product(int index, int found)
{
    if (index == 0)
        return 1;
    return found ? ask_to_remove(index) : 0;
}

int confirm_win9x_product(int index)
{
    return confirm_found_product(index, win9x_product_found(index));
}
