// Stands in for wineboot.exe during a scenario run. ExitWindowsEx starts
// wineboot to end the session; this probe only notes that it was asked (with
// its command line) in C:\windows\temp\restart-requested.txt, so the run can
// check the restart request without ending anything.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    HANDLE h = CreateFileW(L"C:\\windows\\temp\\restart-requested.txt", FILE_APPEND_DATA, 0, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    const wchar_t *line = GetCommandLineW();
    char utf8[2048];
    int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
    if (n > 0) {
        utf8[n - 1] = '\n';
        DWORD written;
        WriteFile(h, utf8, n, &written, nullptr);
    }
    CloseHandle(h);
    return 0;
}
