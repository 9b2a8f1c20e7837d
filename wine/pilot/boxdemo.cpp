// A stand-in for the uninstaller when checking the pilot by hand: shows the
// boxes its tail asks for and ends with the exit code it names.
//   boxdemo.exe [e|w|q|n ...] [=CODE]
//   e: error box (OK), w: warning question (OK/Cancel), n: plain box (OK), q: ask, and
//   show "OK" or "Cancel" afterwards in a plain box.
#include <windows.h>
#include <stdlib.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR tail, int)
{
    const char caption[] = "\x83\x65\x83\x58\x83\x67";   // "テスト" in code page 932
    int code = 0;
    for (const char *p = tail; *p; ++p) {
        switch (*p) {
        case 'e': MessageBoxA(nullptr, "error\nline two", caption, MB_ICONERROR); break;
        case 'w': MessageBoxA(nullptr, "\x96\x7b\x83\x41", caption, MB_OKCANCEL | MB_ICONWARNING); break;
        case 'n': MessageBoxA(nullptr, "plain", caption, MB_OK); break;
        case 'q': {
            int r = MessageBoxA(nullptr, "ask", caption, MB_OKCANCEL | MB_ICONWARNING);
            MessageBoxA(nullptr, r == IDOK ? "OK" : "Cancel", caption, MB_OK);
            break;
        }
        case '=': code = atoi(p + 1); p += strlen(p) - 1; break;
        default: break;
        }
    }
    return code;
}
