/*
 * system_functions.cpp - looking up a function of a loaded system library.
 */
#include "system_functions.h"

FARPROC system_function(const char *library, const char *name)
{
    HMODULE module = GetModuleHandleA(library); /* loaded with the program: no reference to give back */
    if (module == NULL)
        return NULL;
    return GetProcAddress(module, name);
}
