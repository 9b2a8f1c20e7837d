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

int conformance_make_link(const char *path, const char *target)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return 0;
    WCHAR link[MAX_PATH];
    int length = 0;
    for (const char *c = "\\Registry\\Machine\\"; *c != '\0'; ++c)
        link[length++] = (WCHAR)*c;
    for (const char *c = target; *c != '\0' && length < MAX_PATH - 1; ++c)
        link[length++] = (WCHAR)*c;
    /* the target's length without its null */
    LONG set = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE *)link, (DWORD)(length * sizeof(WCHAR)));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

int main(void)
{
    return run_win32_conformance() == 0 ? 0 : 1;
}
