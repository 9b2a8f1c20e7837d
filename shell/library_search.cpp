/*
 * library_search.cpp - the libraries of this process come from the system
 * folder, not from the program's own folder.
 *
 * A library that a system library loads by its bare name (the setup API's
 * class and co-installers, comctl32 and uxtheme when a themed box shows)
 * is looked for in the program's own folder first; whoever can write that
 * folder could plant one there, and a run as SYSTEM would load it.
 */
#include "uninstaller.h"
#include "../common/system_functions.h"

/*
 * Narrows the library search of the whole process: to the system folder
 * where Windows has SetDefaultDllDirectories (Windows 8 on, and Vista or 7
 * with update KB2533623); where it has only SetDllDirectoryA (XP SP1 on),
 * the current folder at least is taken out of the search. Windows 98/Me
 * and early 2000 have neither: the search stays as it is. Both are looked
 * up at run time. Returns nothing: a refusal leaves the search as it was;
 * run.library_search_narrowed says whether it was narrowed.
 */
void keep_library_search_to_system_folder(void)
{
    SetDefaultDllDirectories_fn set_default = SYSTEM_FUNCTION(SetDefaultDllDirectories, "kernel32");
    if (set_default != NULL && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        run.library_search_narrowed = 1;
        return;
    }
    SetDllDirectoryA_fn set_dll_directory = SYSTEM_FUNCTION(SetDllDirectoryA, "kernel32");
    if (set_dll_directory != NULL)
        set_dll_directory("");
}
