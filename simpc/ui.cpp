/*
 * ui.cpp - message boxes and the system's message table.
 *
 * Every MessageBoxA and MessageBoxW is recorded (caption and text, style) and
 * answered: a box with an OK button only is answered IDOK; a box with a
 * Cancel button takes the next scripted answer, and one without a scripted
 * answer is counted in Pc::unscripted_boxes and answered IDCANCEL, so a test
 * notices instead of the simulation guessing.
 */
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

struct SystemText {
    DWORD code;
    const char *text;
};

/* The English texts of Windows' system message table, for the codes the PC produces. */
static const SystemText system_texts[] = {
    {0, "The operation completed successfully.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {14, "Not enough storage is available to complete this operation.\r\n"},
    {19, "The media is write protected.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {127, "The specified procedure could not be found.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {1010, "The configuration registry key is invalid.\r\n"},
    {1011, "The configuration registry key could not be opened.\r\n"},
    {1012, "The configuration registry key could not be read.\r\n"},
    {1013, "The configuration registry key could not be written.\r\n"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1114, "A dynamic link library (DLL) initialization routine failed.\r\n"},
    {1300, "Not all privileges or groups referenced are assigned to the caller.\r\n"},
    {1313, "A specified privilege does not exist.\r\n"},
    {1784, "The supplied user buffer is not valid for the requested operation.\r\n"},
    {1816, "Not enough quota is available to process this command.\r\n"},
};

std::string format_system_error(DWORD code)
{
    for (const SystemText &t : system_texts)
        if (t.code == code)
            return t.text;
    return "";
}

} // namespace sim

using namespace sim;

/* A system text in the units of either form of FormatMessage (its texts are ASCII here). */
static std::string system_text_units(const std::string &text, char) { return text; }
static std::u16string system_text_units(const std::string &text, char16_t) { return to_utf16(text, CP_UTF8); }

/* FormatMessageA and FormatMessageW, from the system's message table only. */
template <typename C>
static DWORD format_system_message(const char *function, DWORD dwFlags, DWORD dwMessageId, C *lpBuffer, DWORD nSize)
{
    if (fails(function, std::to_string(dwMessageId)))
        return 0;
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || !lpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::basic_string<C> text = system_text_units(format_system_error(dwMessageId), C());
    if (text.empty()) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    size_t units = text.size() + 1;
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        C *block = (C *)system_local_alloc((units > nSize ? units : nSize) * sizeof(C), false);
        if (!block)
            return 0;
        memcpy(block, text.c_str(), units * sizeof(C));
        *(C **)lpBuffer = block;
        return (DWORD)text.size();
    }
    if (units > nSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpBuffer, text.c_str(), units * sizeof(C));
    return (DWORD)text.size();
}

DWORD FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize, va_list *)
{
    return format_system_message("FormatMessageA", dwFlags, dwMessageId, lpBuffer, nSize);
}

DWORD FormatMessageW(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPWSTR lpBuffer, DWORD nSize, va_list *)
{
    return format_system_message("FormatMessageW", dwFlags, dwMessageId, lpBuffer, nSize);
}

/* Shows a box of either form (`function`): records it and answers it. */
static int show_box(const char *function, Box box, UINT uType)
{
    if (fails(function, box.caption))
        return 0;
    if (pc().while_next_box) {
        std::function<void()> meanwhile = pc().while_next_box;
        pc().while_next_box = nullptr;
        meanwhile();
    }
    /* a themed box (Windows XP on, with the program's manifest) has user32 load uxtheme by name */
    if (pc().version.platform_id == VER_PLATFORM_WIN32_NT &&
        (pc().version.major > 5 || (pc().version.major == 5 && pc().version.minor >= 1)))
        load_by_bare_name("uxtheme.dll");
    box.style = uType;
    box.process = pc().process_name;
    if ((uType & MB_TYPEMASK) == MB_OK) {
        box.answer = IDOK;
    } else if (!pc().answers.empty()) {
        box.answer = pc().answers.front();
        pc().answers.pop_front();
    } else {
        ++pc().unscripted_boxes;
        box.answer = IDCANCEL;
    }
    pc().boxes.push_back(box);
    return box.answer;
}

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    (void)hWnd;
    Box box;
    box.caption = lpCaption ? lpCaption : "Error"; /* Windows' default caption */
    box.text = lpText ? lpText : "";
    return show_box("MessageBoxA", box, uType);
}

/* The UTF-16 caption and text are kept as they are, and in code page 932
   beside them, as MessageBoxA would have had them on a Japanese Windows. */
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    (void)hWnd;
    Box box;
    box.wide = true;
    box.wide_caption = lpCaption ? lpCaption : u"Error";
    box.wide_text = lpText ? lpText : u"";
    box.caption = from_utf16(box.wide_caption, 932);
    box.text = from_utf16(box.wide_text, 932);
    return show_box("MessageBoxW", box, uType);
}
