/*
 * restart_moves.cpp - MoveFileExA: a file renamed now, or renamed or
 * deleted when Windows restarts.
 *
 * As Windows does: MOVEFILE_DELAY_UNTIL_REBOOT changes nothing on disk; it
 * appends the move to the REG_MULTI_SZ value PendingFileRenameOperations
 * of the Session Manager key, as the NT path "\??\C:\..." followed by the
 * target, an empty string for a deletion. Only an administrator may write
 * there (ERROR_ACCESS_DENIED otherwise). Windows 98/Me export the function
 * without implementing it (ERROR_CALL_NOT_IMPLEMENTED). Without the flag
 * the file is renamed at once: MOVEFILE_REPLACE_EXISTING lets it replace
 * a file of the new name (ERROR_ALREADY_EXISTS otherwise); a file held
 * open cannot move (ERROR_SHARING_VIOLATION).
 */
#include <algorithm>

#include "sim.h"
#include "text.h"

namespace sim {

static const char session_manager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

/* The moves waiting for the restart, as Windows keeps them: each the file
   and where it goes ("" to be deleted), as NT paths ("\\??\\C:\\..."). */
static std::vector<std::pair<std::string, std::string>> pending_moves()
{
    std::vector<std::pair<std::string, std::string>> moves;
    const RegValue *v = pc().registry.value(session_manager, "PendingFileRenameOperations");
    if (!v)
        return moves;
    std::string text(v->data.begin(), v->data.end());
    std::vector<std::string> strings; /* the list's closing NUL makes one more, empty */
    for (size_t at = 0; at < text.size();) {
        size_t end = std::min(text.find('\0', at), text.size());
        strings.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
        moves.push_back({strings[i], strings[i + 1]});
    return moves;
}

void append_pending_move(const std::string &from, const std::string &to)
{
    auto moves = pending_moves();
    moves.push_back({"\\??\\" + from, to.empty() ? "" : "\\??\\" + to});
    std::vector<uint8_t> data;
    for (const auto &move : moves)
        for (const std::string *part : {&move.first, &move.second}) {
            data.insert(data.end(), part->begin(), part->end());
            data.push_back(0);
        }
    data.push_back(0);
    pc().registry.set_raw(session_manager, "PendingFileRenameOperations", REG_MULTI_SZ, data);
}

std::vector<std::string> files_deleted_at_restart()
{
    std::vector<std::string> out;
    for (const auto &move : pending_moves())
        if (move.second.empty() && move.first.rfind("\\??\\", 0) == 0)
            out.push_back(move.first.substr(4));
    return out;
}

} // namespace sim

using namespace sim;

BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    std::string from = redirected(lpExistingFileName ? lpExistingFileName : "");
    std::string to = lpNewFileName ? redirected(lpNewFileName) : "";
    if (fails("MoveFileExA", from))
        return FALSE;
    if (family_9x()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    FileEntry *e = pc().files.find(from);
    if (!e) {
        SetLastError(pc().files.parent_exists(from) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        if (!pc().administrator) {
            pc().faults.refused();
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        append_pending_move(from, to);
        return TRUE;
    }
    if (to.empty() || !pc().files.parent_exists(to)) {
        SetLastError(to.empty() ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (e->in_use) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (pc().files.exists(to) && !iequal(fold(to), fold(from))) {
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        pc().files.remove(to);
    }
    FileEntry moved = *e;
    moved.path = to;
    pc().files.remove(from);
    pc().files.add_file(to) = moved;
    return TRUE;
}
