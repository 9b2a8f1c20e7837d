/*
 * findings.cpp - the items an examination found, logged and counted.
 */
#include "findings.h"
#include "run_record.h"
#include "error_report.h"
#include "run_log.h"
#include "text_buffers.h"
#include "texts.h"


void note_removed_at_restart(const char *name)
{
    FindingsMemory &m = run.findings_memory;
    if (m.at_restart_count < FINDINGS_KEPT)
        copy_text(m.at_restart[m.at_restart_count++], sizeof m.at_restart[0], name);
}

static int removed_at_restart(const char *name)
{
    FindingsMemory &m = run.findings_memory;
    for (int i = 0; i < m.at_restart_count; ++i)
        if (texts_equal_nocase(m.at_restart[i], name))
            return 1;
    for (int i = 0; i < m.pending_count; ++i)
        if (texts_equal_nocase(m.pending[i], name))
            return 1;
    return 0;
}

static const char session_manager_key[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

/* Keeps one file that is deleted at the restart, its NT prefix "\??\" taken off. */
static void note_pending_deletion(const char *nt_path)
{
    FindingsMemory &m = run.findings_memory;
    const char *path = prefix_equal(nt_path, "\\??\\", 4) ? nt_path + 4 : nt_path;
    if (m.pending_count < FINDINGS_KEPT && copy_text(m.pending[m.pending_count], sizeof m.pending[0], path))
        ++m.pending_count;
}

/* Takes the deletions of a PendingFileRenameOperations multi-string of
   `size` bytes: pairs of the file and its target, the target empty for a
   deletion; an empty file name ends the list. Nothing past `size` bytes
   is read. */
static void take_pending_deletions(const char *data, DWORD size)
{
    DWORD at = 0;
    while (at < size && data[at] != '\0') {
        DWORD from_length = (DWORD)bounded_length(data + at, (int)(size - at));
        DWORD to_at = at + from_length + 1;
        if (to_at >= size)
            return; /* a file without its target, or without its NUL */
        DWORD to_length = (DWORD)bounded_length(data + to_at, (int)(size - to_at));
        if (to_length == size - to_at)
            return;
        if (to_length == 0)
            note_pending_deletion(data + at);
        at = to_at + to_length + 1;
    }
}

/* Reads value `v` of the Session Manager key when its name is one of the
   two lists of moves. Returns the LONG of RegEnumValueA: ERROR_NO_MORE_ITEMS
   at the end; ERROR_MORE_DATA (a name too long: no list) passes. */
static LONG read_pending_value(const RegistryFunctions *registry, HKEY key, DWORD v)
{
    char name[MAX_PATH_BYTES];
    DWORD name_length = sizeof name;
    DWORD type = 0, size = 0;
    LONG result = registry->RegEnumValueA(key, v, name, &name_length, NULL, &type, NULL, &size);
    if (result != ERROR_SUCCESS || size == 0 ||
        (!texts_equal_nocase(name, "PendingFileRenameOperations") &&
         !texts_equal_nocase(name, "PendingFileRenameOperations2")))
        return result;
    char *data = (char *)LocalAlloc(LMEM_ZEROINIT, size);
    if (data == NULL) {
        report_failure(caption_local_alloc, GetLastError(), session_manager_key, NULL);
        return ERROR_SUCCESS;
    }
    name_length = sizeof name;
    result = registry->RegEnumValueA(key, v, name, &name_length, NULL, &type, (LPBYTE)data, &size);
    if (result == ERROR_SUCCESS && type == REG_MULTI_SZ)
        take_pending_deletions(data, size);
    LocalFree(data);
    return result; /* a list that grew in between (ERROR_MORE_DATA) is passed over */
}

void read_pending_deletions(const RegistryFunctions *registry)
{
    run.findings_memory.pending_count = 0;
    HKEY key = NULL;
    LONG result = registry->RegOpenKeyExA(HKEY_LOCAL_MACHINE, session_manager_key, 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS) {
        if (result != ERROR_FILE_NOT_FOUND)
            report_registry_failure(caption_reg_open_key_ex, result, session_manager_key, NULL);
        return;
    }
    for (DWORD v = 0;; ++v) {
        result = read_pending_value(registry, key, v);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS) {
            if (result != ERROR_NO_MORE_ITEMS)
                report_registry_failure(caption_reg_enum_value, result, session_manager_key, NULL);
            break;
        }
    }
    registry->RegCloseKey(key); /* a key only read: a failed close changes nothing */
}

void begin_findings(Findings *findings, const char *const kind_names[FINDING_KINDS])
{
    zero_bytes(findings, sizeof *findings);
    findings->kind_names = kind_names;
    findings->failures_before = reported_failure_count();
    run.findings_memory.recorded_count = 0;
}

/* 1 when `name` was recorded already; else records it and returns 0. A
   full table records no more and tells every further name apart. */
static int recorded_before(const char *name)
{
    FindingsMemory &m = run.findings_memory;
    for (int i = 0; i < m.recorded_count; ++i)
        if (texts_equal_nocase(m.recorded[i], name))
            return 1;
    if (m.recorded_count < FINDINGS_KEPT)
        copy_text(m.recorded[m.recorded_count++], sizeof m.recorded[0], name);
    return 0;
}

/* Records one item, waiting for the restart or not, as record_finding says. */
static void record_item(Findings *findings, int kind, const char *object, const char *object_tail, int waiting)
{
    char name[LOG_LINE_BYTES];
    int length = copy_whole_characters(name, sizeof name, object != NULL ? object : "");
    copy_whole_characters(name + length, (int)sizeof name - length, object_tail != NULL ? object_tail : "");
    if (kind < 0 || kind >= FINDING_KINDS || recorded_before(name))
        return;
    int pending = waiting || removed_at_restart(name);
    if (pending)
        ++findings->waiting[kind];
    else
        ++findings->count[kind];
    LogLine line;
    line_begin(&line, pending ? text_log_found_at_restart : text_log_found);
    line_add(&line, findings->kind_names[kind]);
    line_add(&line, ": ");
    line_add_system(&line, name);
    log_line(&line);
}

void record_finding(Findings *findings, int kind, const char *object, const char *object_tail)
{
    record_item(findings, kind, object, object_tail, 0);
}

void record_waiting(Findings *findings, int kind, const char *object, const char *object_tail)
{
    record_item(findings, kind, object, object_tail, 1);
}

static int sum_of(const int counts[FINDING_KINDS])
{
    int total = 0;
    for (int kind = 0; kind < FINDING_KINDS; ++kind)
        total += counts[kind];
    return total;
}

int findings_total(const Findings *findings)
{
    return sum_of(findings->count);
}

int findings_waiting(const Findings *findings)
{
    return sum_of(findings->waiting);
}

int findings_failed(const Findings *findings)
{
    return reported_failure_count() != findings->failures_before;
}

/* "<kind> <n>、<kind> <n>" for the kinds of `counts` that are not 0: the
   program's own text, for a box and for the log alike. Kinds that do not
   fit are left out. */
static void format_counts(const Findings *findings, const int counts[FINDING_KINDS], char *text, int size)
{
    if (size <= 0)
        return;
    text[0] = '\0';
    for (int kind = 0; kind < FINDING_KINDS; ++kind) {
        if (counts[kind] == 0)
            continue;
        char number[16];
        char item[LOG_LINE_BYTES];
        format_decimal(number, sizeof number, (unsigned long)counts[kind], 1);
        if (join_text(item, sizeof item, text[0] != '\0' ? text_log_separator : "", findings->kind_names[kind], " ") &&
            append_text(item, sizeof item, number))
            append_text(text, size, item);
    }
}

void format_findings(const Findings *findings, char *text, int size)
{
    format_counts(findings, findings->count, text, size);
}

void format_waiting(const Findings *findings, char *text, int size)
{
    format_counts(findings, findings->waiting, text, size);
}
