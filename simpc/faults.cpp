/*
 * faults.cpp - the fault-injection switchboard.
 *
 * Every simulated Win32 function calls Faults::check() first, with its name
 * and its main argument. The switchboard records the call and tells the
 * function whether to fail, and with which error; the function then fails
 * the way the real one does (a LONG result, a null handle, FALSE and the
 * thread's last error...).
 */
#include <execinfo.h>

#include <map>

#include "sim.h"
#include "text.h"

namespace sim {

/* Registry arguments are key paths below HKEY_LOCAL_MACHINE; a rule may name the root too. */
static std::string without_root(const std::string &argument)
{
    if (argument.size() > 5 && iequal(argument.substr(0, 5), "HKLM\\"))
        return argument.substr(5);
    return argument;
}

void Faults::fail(const std::string &function, DWORD error, int nth, const std::string &argument)
{
    FaultRule rule;
    rule.function = function;
    rule.nth = nth;
    rule.argument = argument;
    rule.error = error;
    rules.push_back(rule);
}

std::optional<DWORD> Faults::check(const char *function, const std::string &argument)
{
    if (!uses_arguments())
        return std::nullopt;
    calls.push_back({function, argument});
    int n = ++counts[function];
    if (on_call)
        on_call((long)calls.size(), function);
    if ((long)calls.size() > call_limit)
        return (DWORD)ERROR_NOT_ENOUGH_QUOTA;

    if (fail_index_ > 0 && (long)calls.size() == fail_index_) {
        index_fault = calls.back();
        /* which function of the program made the call: the sweep names it */
        void *frames[64];
        int depth = backtrace(frames, 64);
        index_fault_stack.assign(frames, frames + depth);
        index_error = fail_index_error_ == LOST_WRITE ? ERROR_SUCCESS
                      : fail_index_error_                ? fail_index_error_
                                                         : typical_error(function);
        return index_error;
    }
    if (index_fault && !follow_up_fired && follow_up == function) {
        follow_up_fired = true;
        return typical_error(function);
    }
    for (FaultRule &rule : rules) {
        if (rule.function != function)
            continue;
        if (rule.nth != 0 && rule.nth != n)
            continue;
        if (!rule.argument.empty() && !iequal(without_root(rule.argument), argument))
            continue;
        ++rule.fired;
        return rule.error;
    }
    return std::nullopt;
}

void Faults::note(const char *function, const std::string &argument)
{
    calls.push_back({function, argument});
    ++counts[function];
}

int Faults::fired() const
{
    int total = index_fault ? 1 : 0;
    for (const FaultRule &rule : rules)
        total += rule.fired;
    return total;
}

DWORD typical_error(const std::string &function)
{
    static const std::map<std::string, DWORD> errors = {
        {"SetFileAttributesA", ERROR_ACCESS_DENIED},
        /* a file in use (32) or refused (5) is set to go at the restart instead */
        {"DeleteFileA", ERROR_WRITE_PROTECT},
        {"LoadLibraryA", ERROR_MOD_NOT_FOUND},
        {"GetProcAddress", ERROR_PROC_NOT_FOUND},
        {"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY},
        {"SetupDiCallClassInstaller", ERROR_ACCESS_DENIED},
        {"SetupDiEnumDeviceInfo", ERROR_INVALID_HANDLE},
        {"SetupOpenInfFileA", ERROR_FILE_NOT_FOUND},
        {"SetupGetLineTextA", ERROR_LINE_NOT_FOUND},
    };
    if (function.rfind("Reg", 0) == 0)
        return ERROR_ACCESS_DENIED;
    auto it = errors.find(function);
    return it == errors.end() ? ERROR_INVALID_PARAMETER : it->second;
}

bool fails(const char *function, const std::string &argument)
{
    if (auto err = pc().faults.check(function, argument)) {
        SetLastError(*err);
        return true;
    }
    return false;
}

} // namespace sim
