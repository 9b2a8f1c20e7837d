/*
 * verdict.cpp - the verdict table: every exit code the program ends with
 * is written here and nowhere else. An interactive run ends with 0 (the
 * user saw what happened) or -1 (it could not run at all); a quiet run,
 * judged by its code alone, with the Windows Installer codes: 3010 done
 * but a restart is needed, 1603 failed, 1618 another copy runs, 1639 an
 * invalid command line. --check answers 0 nothing, 1 found, 3010 only
 * what waits for the restart, 1603 the examination failed, in either mode.
 */
#include "verdict.h"
#include "../common/texts.h"

const Verdict verdict_table[OUTCOME_COUNT] = {
    /* OUTCOME_REMOVED */             {0, 0, text_result_done},
    /* OUTCOME_RESTART_NEEDED */      {0, 3010, text_result_restart_needed},
    /* OUTCOME_RESTARTING */          {0, 3010, text_result_restarting},
    /* OUTCOME_CANCELLED */           {0, 0, text_result_cancelled},
    /* OUTCOME_FAILED */              {0, 1603, text_result_failed},
    /* OUTCOME_LEFT_BEHIND */         {0, 1603, text_result_left_behind},
    /* OUTCOME_BUSY */                {-1, 1618, text_result_busy},
    /* OUTCOME_LOCK_FAILED */         {-1, 1603, text_result_lock_failed},
    /* OUTCOME_INVALID_LINE */        {-1, 1639, text_result_invalid},
    /* OUTCOME_QUIET_REQUIRED */      {1639, 1639, text_result_quiet_required},
    /* OUTCOME_UNSUPPORTED */         {-1, -1, text_result_unsupported},
    /* OUTCOME_NOT_HANDED_OVER */     {-1, 1603, text_result_not_handed_over},
    /* OUTCOME_HANDED_OVER_UNKNOWN */ {0, 1603, text_result_handed_over_unknown},
    /* OUTCOME_HANDED_OVER_TIMED_OUT */ {1603, 1603, text_result_handed_over_unknown},
    /* OUTCOME_CHECK_NOTHING */       {0, 0, text_result_nothing_found},
    /* OUTCOME_CHECK_WAITING */       {3010, 3010, text_result_waiting},
    /* OUTCOME_CHECK_FOUND */         {1, 1, text_result_found},
    /* OUTCOME_CHECK_FAILED */        {1603, 1603, text_result_check_failed},
};

int verdict_exit_code(RunOutcome outcome, int quiet)
{
    return quiet ? verdict_table[outcome].quiet_exit : verdict_table[outcome].interactive_exit;
}

const char *verdict_result(RunOutcome outcome)
{
    return verdict_table[outcome].result;
}

const char *handed_over_result(int exit_code)
{
    /* the 64-bit program's quiet codes that say how its removal ended;
       0 and -1 may end several ways: its own block says which */
    static const RunOutcome said_by_code[] = {OUTCOME_RESTART_NEEDED, OUTCOME_FAILED, OUTCOME_BUSY};
    for (unsigned i = 0; i < sizeof said_by_code / sizeof said_by_code[0]; ++i)
        if (verdict_table[said_by_code[i]].quiet_exit == exit_code)
            return verdict_table[said_by_code[i]].result;
    return text_result_handed_over;
}
