/*
 * verdict.h - what a run came to, and the one table that turns it into the
 * exit code and the log's result words. Deployment tools act on the code
 * alone, unattended: every exit path takes its code from this table.
 */
#ifndef QZ_VERDICT_H
#define QZ_VERDICT_H

enum RunOutcome {
    /* a removal */
    OUTCOME_REMOVED,          /* done, also when nothing was installed */
    OUTCOME_RESTART_NEEDED,   /* done; Windows must restart (declined, or a quiet run) */
    OUTCOME_RESTARTING,       /* done; the user let Windows restart */
    OUTCOME_CANCELLED,        /* the confirmation was answered with Cancel */
    OUTCOME_FAILED,           /* a failure was reported */
    OUTCOME_LEFT_BEHIND,      /* a quiet run whose proof found something left */
    /* a run that removed nothing */
    OUTCOME_BUSY,             /* another copy holds the run lock */
    OUTCOME_LOCK_FAILED,      /* the run lock could not be taken */
    OUTCOME_INVALID_LINE,     /* the command line is not a valid one */
    OUTCOME_QUIET_REQUIRED,   /* nobody can see this run, and it was not asked to be quiet */
    OUTCOME_UNSUPPORTED,      /* not a Windows this program supports */
    OUTCOME_NOT_HANDED_OVER,  /* the 64-bit program could not be started */
    OUTCOME_HANDED_OVER_UNKNOWN, /* the 64-bit program ran; how it ended is not known */
    OUTCOME_HANDED_OVER_TIMED_OUT, /* the 64-bit program still ran after the longest wait */
    /* --check */
    OUTCOME_CHECK_NOTHING,    /* nothing of the series */
    OUTCOME_CHECK_WAITING,    /* nothing left but what Windows removes at the restart */
    OUTCOME_CHECK_FOUND,      /* something of the series is there */
    OUTCOME_CHECK_FAILED,     /* the examination did not reach its end */
    OUTCOME_COUNT
};

struct Verdict {
    int interactive_exit; /* a run that may show boxes */
    int quiet_exit;       /* a quiet run: the Windows Installer codes */
    const char *result;   /* the log's "結果:" words */
};

extern const Verdict verdict_table[OUTCOME_COUNT];

/* The exit code of an outcome, for a quiet run or not. */
int verdict_exit_code(RunOutcome outcome, int quiet);

/* The log's words for an outcome. */
const char *verdict_result(RunOutcome outcome);

/* The 32-bit program ends with the code of the 64-bit program it handed
   the run over to; these are the log's words for that code. */
const char *handed_over_result(int exit_code);

#endif
