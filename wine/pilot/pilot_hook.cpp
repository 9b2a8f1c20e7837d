// Hook library of the box pilot: loaded into the program under test, it tags
// every message box with the style flags it was created with (window property
// "PilotMsgBoxStyle", bit 31 set), so the pilot can tell the icon. When a
// person answers the boxes (the pilot sets PILOT_ANSWER_FILE), it also notes
// the id of every button pressed in a box, one line each, in that file. It
// changes nothing else.
#include <windows.h>

namespace {

const wchar_t OLD_PROC_PROP[] = L"PilotMsgBoxOldProc";

void note_answer(int id)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"PILOT_ANSWER_FILE", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    HANDLE h = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    char line[4] = {static_cast<char>('0' + id), '\n', 0, 0};
    DWORD written;
    WriteFile(h, line, 2, &written, nullptr);
    CloseHandle(h);
}

// Sits in front of the box's own window procedure: sees every WM_COMMAND, sent
// or posted (a click, Enter, Escape, the close button), and passes it on.
LRESULT CALLBACK answer_watch_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    WNDPROC old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, OLD_PROC_PROP));
    if (msg == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL))
        note_answer(LOWORD(wparam));
    if (msg == WM_NCDESTROY) {
        RemovePropW(hwnd, OLD_PROC_PROP);
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    }
    return CallWindowProcW(old, hwnd, msg, wparam, lparam);
}

void watch_answers(HWND box)
{
    if (!GetEnvironmentVariableW(L"PILOT_ANSWER_FILE", nullptr, 0)) return;
    LONG_PTR old = GetWindowLongPtrW(box, GWLP_WNDPROC);
    SetPropW(box, OLD_PROC_PROP, reinterpret_cast<HANDLE>(old));
    SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(answer_watch_proc));
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK pilot_call_wnd_proc(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT *msg = reinterpret_cast<const CWPSTRUCT *>(lparam);
        if (msg->message == WM_INITDIALOG) {
            wchar_t cls[16] = {0};
            GetClassNameW(msg->hwnd, cls, 16);
            // A message box hands its MSGBOXPARAMSW to the dialog as the init parameter.
            const MSGBOXPARAMSW *params = reinterpret_cast<const MSGBOXPARAMSW *>(msg->lParam);
            if (lstrcmpW(cls, L"#32770") == 0 && params && params->cbSize == sizeof(MSGBOXPARAMSW)) {
                SetPropW(msg->hwnd, L"PilotMsgBoxStyle",
                         reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(params->dwStyle | 0x80000000u)));
                watch_answers(msg->hwnd);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
