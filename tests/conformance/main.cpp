/*
 * main.cpp - the conformance checks as a Windows console program, for Wine.
 */
#include "win32_conformance.h"

int conformance_set_value(const char *path, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    LONG set = name != NULL ? RegSetValueExA(key, name, 0, type, (const BYTE *)data, size) : ERROR_SUCCESS;
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

int main(void)
{
    return run_win32_conformance() == 0 ? 0 : 1;
}
