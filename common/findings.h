/*
 * findings.h - what an examination of the PC found of the series: each item
 * written to the log once, with its path, and counted by kind. The check
 * mode shows the counts; a removal proves its result by what is left.
 */
#ifndef QZ_FINDINGS_H
#define QZ_FINDINGS_H

#include "platform_ops.h"
#include "text_buffers.h"
#include "library_binding.h"

#define FINDING_KINDS 6
#define FINDINGS_KEPT 128 /* items told apart, so that one found twice counts once */

struct Findings {
    const char *const *kind_names; /* FINDING_KINDS texts, the back-end's own */
    int count[FINDING_KINDS];
    int waiting[FINDING_KINDS]; /* there still, but Windows removes them at the restart */
    int failures_before; /* the failure count when the examination began */
};

/* What the run keeps of its examinations: the names an examination
   recorded (a name longer than a line is told apart by its first bytes),
   and those Windows removes at the restart. Process-wide, zero at start. */
struct FindingsMemory {
    char recorded[FINDINGS_KEPT][MAX_PATH_BYTES * 2];
    int recorded_count;
    char at_restart[FINDINGS_KEPT][MAX_PATH_BYTES];
    int at_restart_count;
    /* the files PendingFileRenameOperations(2) sets to be deleted at the
       restart, as the examination began ("\??\" taken off) */
    char pending[FINDINGS_KEPT][MAX_PATH_BYTES];
    int pending_count;
};

/* Notes that Windows removes `name` (a file's path, a device's instance
   ID) at the restart: an examination of the same run finds it, and counts
   it as gone. */
void note_removed_at_restart(const char *name);

/* Reads the files Windows deletes at the restart from the Session
   Manager's PendingFileRenameOperations and PendingFileRenameOperations2
   (pairs of NT paths, "\??\C:\..." and its target, empty for a
   deletion), so that an examination sees what an earlier run of the same
   Windows session scheduled. A key or value that is not there is no
   failure; any other gets its box. */
void read_pending_deletions(const RegistryFunctions *registry);

/* Starts an examination whose kinds are named by kind_names. */
void begin_findings(Findings *findings, const char *const kind_names[FINDING_KINDS]);

/* Records one item of `kind`, named by `object` followed by `object_tail`
   (either may be null): a log line "<label><kind>: <name>", and one more in
   its count. The same name found again (another product's pass) is not
   recorded twice; one that Windows removes at the restart (noted by this
   run, or a file PendingFileRenameOperations deletes) is logged as such
   and counted apart, as waiting. */
void record_finding(Findings *findings, int kind, const char *object, const char *object_tail);

/* Records one item of `kind` that Windows removes at the restart, known so
   by the caller (a device whose status says so). */
void record_waiting(Findings *findings, int kind, const char *object, const char *object_tail);

/* How many items were found in all. */
int findings_total(const Findings *findings);

/* How many items wait for the restart, in all. */
int findings_waiting(const Findings *findings);

/* 1 when a failure was reported while the examination ran: what it found
   may not be all there is. */
int findings_failed(const Findings *findings);

/* Writes "<kind> <n>、<kind> <n>" for the kinds found into text (`size`
   bytes); empty when nothing was found. */
void format_findings(const Findings *findings, char *text, int size);

/* The same for the items that wait for the restart. */
void format_waiting(const Findings *findings, char *text, int size);

#endif
