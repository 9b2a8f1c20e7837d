/*
 * findings.cpp - the items an examination found, logged and counted.
 */
#include "findings.h"
#include "error_report.h"
#include "run_log.h"
#include "text_buffers.h"
#include "texts.h"

FindingsMemory findings_memory;

void note_removed_at_restart(const char *name)
{
    FindingsMemory &m = findings_memory;
    if (m.at_restart_count < FINDINGS_KEPT)
        copy_text(m.at_restart[m.at_restart_count++], sizeof m.at_restart[0], name);
}

static int removed_at_restart(const char *name)
{
    for (int i = 0; i < findings_memory.at_restart_count; ++i)
        if (texts_equal_nocase(findings_memory.at_restart[i], name))
            return 1;
    return 0;
}

void begin_findings(Findings *findings, const char *const kind_names[FINDING_KINDS])
{
    zero_bytes(findings, sizeof *findings);
    findings->kind_names = kind_names;
    findings->failures_before = reported_failure_count();
    findings_memory.recorded_count = 0;
}

/* 1 when `name` was recorded already; else records it and returns 0. A
   full table records no more and tells every further name apart. */
static int recorded_before(const char *name)
{
    FindingsMemory &m = findings_memory;
    for (int i = 0; i < m.recorded_count; ++i)
        if (texts_equal_nocase(m.recorded[i], name))
            return 1;
    if (m.recorded_count < FINDINGS_KEPT)
        copy_text(m.recorded[m.recorded_count++], sizeof m.recorded[0], name);
    return 0;
}

void record_finding(Findings *findings, int kind, const char *object, const char *object_tail)
{
    LogLine name;
    line_begin(&name, object != NULL ? object : "");
    line_add(&name, object_tail != NULL ? object_tail : "");
    if (kind < 0 || kind >= FINDING_KINDS || recorded_before(name.text))
        return;
    int pending = removed_at_restart(name.text);
    if (!pending)
        ++findings->count[kind];
    LogLine line;
    line_begin(&line, pending ? text_log_found_at_restart : text_log_found);
    line_add(&line, findings->kind_names[kind]);
    line_add(&line, ": ");
    line_add(&line, name.text);
    log_line(&line);
}

int findings_total(const Findings *findings)
{
    int total = 0;
    for (int kind = 0; kind < FINDING_KINDS; ++kind)
        total += findings->count[kind];
    return total;
}

int findings_failed(const Findings *findings)
{
    return reported_failure_count() != findings->failures_before;
}

void format_findings(const Findings *findings, char *text, int size)
{
    LogLine line;
    line_begin(&line, "");
    for (int kind = 0; kind < FINDING_KINDS; ++kind) {
        if (findings->count[kind] == 0)
            continue;
        if (line.text[0] != '\0')
            line_add(&line, text_log_separator);
        line_add(&line, findings->kind_names[kind]);
        line_add(&line, " ");
        line_add_number(&line, findings->count[kind]);
    }
    if (!copy_text(text, size, line.text) && size > 0)
        text[0] = '\0';
}
