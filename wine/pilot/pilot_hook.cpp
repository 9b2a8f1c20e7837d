// Hook library of the box pilot: loaded into the program under test, it tags
// every message box with the style flags it was created with (window property
// "PilotMsgBoxStyle", bit 31 set), so the pilot can tell the icon. It changes
// nothing else.
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK pilot_call_wnd_proc(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT *msg = reinterpret_cast<const CWPSTRUCT *>(lparam);
        if (msg->message == WM_INITDIALOG) {
            wchar_t cls[16] = {0};
            GetClassNameW(msg->hwnd, cls, 16);
            // A message box hands its MSGBOXPARAMSW to the dialog as the init parameter.
            const MSGBOXPARAMSW *params = reinterpret_cast<const MSGBOXPARAMSW *>(msg->lParam);
            if (lstrcmpW(cls, L"#32770") == 0 && params && params->cbSize == sizeof(MSGBOXPARAMSW))
                SetPropW(msg->hwnd, L"PilotMsgBoxStyle",
                         reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(params->dwStyle | 0x80000000u)));
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
