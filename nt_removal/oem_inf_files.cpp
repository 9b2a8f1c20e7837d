/*
 * oem_inf_files.cpp - deletes the numbered OEM INF files of the INF folder
 * (oem_inf_names.cpp) that describe the product, with their PNF files.
 */
#include "nt_steps.h"

#define INF_TEXT_BYTES 256 /* section, key and match text */

static const char usbta_section[] = "USBTA";
static const char usbta_key[] = "Pelto QZ-USB USBPort Adapter";

/*
 * Returns 1 when the line text begins with "USB_TA," + the product's
 * hardware ID, both without case; else 0. `line` is `size` bytes, its text
 * cut at the end of the block if it is not terminated there.
 */
static int line_names_product(int index, char *line, DWORD size)
{
    char match[INF_TEXT_BYTES];
    if (size == 0 || !join_text(match, sizeof match, "USB_TA,", nt_product_table[index].hardware_id, ""))
        return 0;
    line[size - 1] = '\0';
    lower_case_letters(line);
    lower_case_letters(match);
    int match_length = lstrlenA(match);
    if (lstrlenA(line) < match_length)
        return 0;
    for (int i = 0; i < match_length; ++i)
        if (line[i] != match[i])
            return 0;
    return 1;
}

/*
 * Opens the INF file `name` and reads its [USBTA] line for the adapter.
 * Returns 1 when that line names the product; 0 when the file cannot be
 * opened, has no such line, or no block can be allocated for it.
 */
int oem_inf_names_product(int index, const char *name)
{
    HINF inf = nt_run.nt_binding.SetupOpenInfFileA(name, NULL, INF_STYLE_WIN4, NULL);
    if (inf == INVALID_HANDLE_VALUE)
        return 0;

    int matched = 0;
    DWORD required = 0;
    /* The result decides, not the last error: what a success leaves in it is undocumented. */
    BOOL ok = nt_run.nt_binding.SetupGetLineTextA(NULL, inf, usbta_section, usbta_key, NULL, 0, &required);
    if (ok && required != 0) {
        char *line = (char *)LocalAlloc(LMEM_ZEROINIT, required);
        if (line != NULL) { /* no memory: the file counts as not matching */
            DWORD size = required;
            ok = nt_run.nt_binding.SetupGetLineTextA(NULL, inf, usbta_section, usbta_key, line, size, &required);
            if (ok)
                matched = line_names_product(index, line, size);
            LocalFree(line);
        }
    }
    nt_run.nt_binding.SetupCloseInfFile(inf);
    return matched;
}

/*
 * Examines every OEM INF file of the INF folder, in ascending number, and
 * deletes each one whose [USBTA] adapter line names the product, then its
 * PNF, after its driver package has been uninstalled. Returns 0 nothing
 * deleted, 1 at least one file deleted, 0xFFFF after a "DeleteFile()" box, or after a "GetWindowsDirectory()",
 * "FindFirstFile()" or "FindNextFile()" box, which also ends the search.
 */
int remove_oem_inf_files(int index)
{
    int deleted = 0;
    int failure = 0;
    OemInfWalk walk;
    char name[MAX_PATH_BYTES];
    begin_oem_inf_walk(&walk);
    while (next_oem_inf_name(&walk, name)) {
        if (!oem_inf_names_product(index, name))
            continue;

        /* The INF file is closed by now: only then is it deleted. */
        char windows[MAX_PATH_BYTES];
        if (!read_windows_folder(&nt_run.nt_binding.files, windows)) {
            return STATUS_FAILED;
        }
        /* only "not found" is silent: the file was opened and matched a moment ago */
        int outcome[2];
        remove_inf_pair(windows, name, SILENT_FILE_NOT_FOUND, outcome);
        for (int file = 0; file < 2; ++file) {
            if (outcome[file] == FILE_DELETED)
                ++deleted;
            else if (outcome[file] != FILE_ABSENT)
                failure = 1;
        }
    }

    if (failure || walk.failed)
        return STATUS_FAILED;
    return deleted != 0 ? STATUS_REMOVED : STATUS_NOTHING;
}
