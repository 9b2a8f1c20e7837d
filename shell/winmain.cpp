/*
 * winmain.cpp - the program's entry point.
 *
 * The tail is taken from the process command line itself rather than from
 * lpCmdLine, so the program name and the blanks after it are removed the
 * same way on every Windows. Before anything else loads a library, the
 * library search is narrowed to the system folder.
 */
#include "uninstaller.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    (void)instance;
    (void)previous;
    (void)command_line;
    (void)show;
    keep_library_search_to_system_folder();
    return run_uninstaller(GetCommandLineA());
}
