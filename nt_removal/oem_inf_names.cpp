/*
 * oem_inf_names.cpp - the names of the OEM INF files of the INF folder, in
 * ascending number: OEM0.inf to OEM99.inf, then every higher number the
 * folder holds. Windows publishes a driver's INF as oem<N>.inf with N one
 * above the highest in use, so a PC with a few years of drivers has
 * oem100.inf and beyond; a search of the folder finds them, in no order
 * Windows promises, so each step looks for the next number up.
 */
#include "nt_steps.h"
#include "../common/error_report.h"
#include "../common/texts.h"

#define LAST_BUILT_NUMBER 99

/* Builds "OEM<n>.inf" into name (MAX_PATH_BYTES). Returns 1, or 0 if it does not fit. */
static int build_oem_inf_name(char *name, int number)
{
    char digits[4]; /* three digits and the NUL */
    if (!format_decimal(digits, sizeof digits, (unsigned long)number, 1))
        return 0;
    return join_text(name, MAX_PATH_BYTES, "OEM", digits, ".inf");
}

/* The number of "oem<N>.inf" (any case) as its digits, into digits
   (MAX_PATH_BYTES). 1 for a name Windows could have given: one or more
   digits without a leading zero ("oem0100.inf" is not oem100.inf); else 0. */
static int oem_number_of(const char *name, char *digits)
{
    if (!is_oem_inf_name(name) || (name[3] == '0' && name[4] != '.'))
        return 0;
    int count = 0;
    while (name[3 + count] >= '0' && name[3 + count] <= '9')
        ++count;
    if (count >= MAX_PATH_BYTES)
        return 0;
    for (int i = 0; i < count; ++i)
        digits[i] = name[3 + i];
    digits[count] = '\0';
    return 1;
}

/* Compares two numbers written without leading zeros: <0, 0 or >0. */
static int compare_numbers(const char *a, const char *b)
{
    int la = lstrlenA(a);
    int lb = lstrlenA(b);
    if (la != lb)
        return la - lb;
    for (int i = 0; i < la; ++i)
        if (a[i] != b[i])
            return (unsigned char)a[i] - (unsigned char)b[i];
    return 0;
}

/*
 * Searches <windows>\inf for the OEM INF with the lowest number above
 * walk->last, into name. Returns 1 when found; 0 when there is none, or
 * after a "FindFirstFile()" or "FindNextFile()" box (walk->failed set).
 */
static int find_next_higher(OemInfWalk *walk, char *name)
{
    char pattern[MAX_PATH_BYTES];
    WIN32_FIND_DATAA found;
    char digits[MAX_PATH_BYTES];
    int have = 0;

    if (!build_inf_path(walk->windows, "oem*.inf", pattern))
        return 0; /* an INF folder too long for a path holds no file the steps could name */
    zero_bytes(&found, sizeof found);
    HANDLE search = FindFirstFileA(pattern, &found); /* imported: every Windows has it */
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return 0; /* no OEM INF at all, or no INF folder */
        report_failure(caption_find_first_file, error, pattern, NULL);
        walk->failed = 1;
        return 0;
    }
    for (;;) {
        if (oem_number_of(found.cFileName, digits) && compare_numbers(digits, walk->last) > 0 &&
            (!have || compare_numbers(digits, walk->next) < 0)) {
            copy_text(walk->next, sizeof walk->next, digits);
            copy_text(name, MAX_PATH_BYTES, found.cFileName);
            have = 1;
        }
        if (!FindNextFileA(search, &found)) {
            DWORD error = GetLastError();
            if (error != ERROR_NO_MORE_FILES) {
                report_failure(caption_find_next_file, error, pattern, NULL);
                walk->failed = 1;
                have = 0;
            }
            break;
        }
    }
    FindClose(search); /* a search only read: its handle goes when the program ends */
    if (have)
        copy_text(walk->last, sizeof walk->last, walk->next);
    return have;
}

void begin_oem_inf_walk(OemInfWalk *walk)
{
    zero_bytes(walk, sizeof *walk);
}

int next_oem_inf_name(OemInfWalk *walk, char *name)
{
    while (walk->number <= LAST_BUILT_NUMBER) {
        if (build_oem_inf_name(name, walk->number++))
            return 1;
    }
    if (walk->failed)
        return 0;
    if (walk->windows[0] == '\0') {
        /* the numbers above 99: the INF folder is searched */
        if (!read_windows_folder(&nt_run.nt_binding.files, walk->windows)) {
            walk->failed = 1;
            return 0;
        }
        copy_text(walk->last, sizeof walk->last, "99");
    }
    return find_next_higher(walk, name);
}
