/*
 * win32_conformance.cpp - the behaviours of Windows that the simulated PC
 * copies and the program counts on, checked the same way on the simulated
 * PC (the unit suite) and on Wine (conformance.exe and conformance64.exe,
 * run by the Wine harness): where the two give different answers, the
 * simulated PC is wrong. Each check says what it expected and what it got.
 *
 * Departures that are known and kept on purpose are not checked here: a
 * successful SetupGetLineTextA clears the last error on Wine and leaves it
 * on the simulated PC (Windows documents nothing), and LocalAlloc's filling
 * of a block without LMEM_ZEROINIT.
 */
#include "win32_conformance.h"

#include <cstdio>
#include <cstring>

namespace {

/* Case-insensitive order of ASCII names, as the registry sorts them. */
int compare_nocase(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        int ca = (*a >= 'a' && *a <= 'z') ? *a - 'a' + 'A' : (unsigned char)*a;
        int cb = (*b >= 'a' && *b <= 'z') ? *b - 'a' + 'A' : (unsigned char)*b;
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

int checks = 0;
int failed = 0;

void check(int line, const char *what, unsigned long expected, unsigned long got)
{
    ++checks;
    if (expected == got)
        return;
    ++failed;
    printf("conformance:%d: %s: expected %lu, got %lu\n", line, what, expected, got);
}

#define CHECK(what, expected, got) check(__LINE__, what, (unsigned long)(expected), (unsigned long)(got))

const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";

/* Empty parts of a subkey path: a leading backslash is refused; doubled and
   trailing ones are passed over. */
void registry_paths()
{
    HKEY key = NULL;
    CHECK("a leading backslash", ERROR_BAD_PATHNAME, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SYSTEM", 0, KEY_READ, &key));
    LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\", 0, KEY_READ, &key);
    CHECK("a trailing backslash", ERROR_SUCCESS, r);
    if (r == ERROR_SUCCESS)
        RegCloseKey(key);
    r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\\\CurrentControlSet", 0, KEY_READ, &key);
    CHECK("a doubled backslash", ERROR_SUCCESS, r);
    if (r == ERROR_SUCCESS)
        RegCloseKey(key);
}

/* A handle does only what it was opened for. */
void registry_access()
{
    char name[MAX_PATH];
    DWORD size = sizeof name;
    DWORD type = 0;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        CHECK("subkeys through a handle without KEY_ENUMERATE_SUB_KEYS", ERROR_ACCESS_DENIED,
              RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL));
        RegCloseKey(key);
    }
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_ENUMERATE_SUB_KEYS, &key) == ERROR_SUCCESS) {
        size = sizeof name;
        CHECK("values through a handle without KEY_QUERY_VALUE", ERROR_ACCESS_DENIED,
              RegEnumValueA(key, 0, name, &size, NULL, &type, NULL, NULL));
        RegCloseKey(key);
    }
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        CHECK("deleting a value through a handle only for reading", ERROR_ACCESS_DENIED,
              RegDeleteValueA(key, "QZConformanceNoSuchValue"));
        RegCloseKey(key);
    }
}

/* The NT family enumerates subkeys sorted without regard to case. */
void subkey_order()
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        CHECK("the Services key opens", 1, 0);
        return;
    }
    char previous[MAX_PATH] = "";
    unsigned long out_of_order = 0;
    for (DWORD i = 0;; ++i) {
        char name[MAX_PATH];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (compare_nocase(previous, name) > 0)
            ++out_of_order;
        snprintf(previous, sizeof previous, "%s", name);
    }
    RegCloseKey(key);
    CHECK("subkeys out of sorted order", 0, out_of_order);
}

/* A handle that is not one is refused. */
void handles()
{
    SetLastError(0xdeadbeef);
    CHECK("closing a handle that is none", FALSE, CloseHandle((HANDLE)(ULONG_PTR)0x7ff1234));
    CHECK("its error", ERROR_INVALID_HANDLE, GetLastError());
}

/* The log's way of writing: OPEN_ALWAYS tells an existing file, the end is
   found with SetFilePointer, and what is written there is appended. */
void appending()
{
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    CHECK("the temporary folder ends with a backslash", '\\', length ? folder[length - 1] : 0);
    char path[MAX_PATH + 32];
    snprintf(path, sizeof path, "%sQZConformance.tmp", folder);
    DeleteFileA(path);
    for (int round = 0; round < 3; ++round) {
        SetLastError(0xdeadbeef);
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        CHECK(round ? "OPEN_ALWAYS on an existing file" : "OPEN_ALWAYS on a new file",
              round ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS, GetLastError());
        if (file == INVALID_HANDLE_VALUE)
            return;
        CHECK("the end of the file, after what was appended", 5 * round, SetFilePointer(file, 0, NULL, FILE_END));
        DWORD written = 0;
        CHECK("appending", TRUE, WriteFile(file, "12345", 5, &written, NULL));
        CloseHandle(file);
    }
    /* the NT family's way: a handle only for appending writes at the end wherever its pointer is,
       and the file it opened as itself (no link) tells what it is */
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        SetFilePointer(file, 0, NULL, FILE_BEGIN);
        DWORD written = 0;
        CHECK("appending only", TRUE, WriteFile(file, "678", 3, &written, NULL));
        BY_HANDLE_FILE_INFORMATION info;
        memset(&info, 0xEE, sizeof info);
        CHECK("the file's information", TRUE, GetFileInformationByHandle(file, &info));
        CHECK("its size: at the end, whatever the pointer said", 18, info.nFileSizeLow);
        CHECK("one name", 1, info.nNumberOfLinks);
        CHECK("no reparse point", 0, info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        CloseHandle(file);
    }
    char moved[MAX_PATH + 32];
    snprintf(moved, sizeof moved, "%sQZConformance.old", folder);
    DeleteFileA(moved);
    CHECK("a move", TRUE, MoveFileA(path, moved));
    file = CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    SetLastError(0xdeadbeef);
    CHECK("a move onto a file that exists", FALSE, MoveFileA(path, moved));
    CHECK("its error", ERROR_ALREADY_EXISTS, GetLastError());
    DeleteFileA(path);
    DeleteFileA(moved);
}

/* A file another program holds open cannot be deleted, but can be set to be
   deleted at the restart: PendingFileRenameOperations then lists it as
   "\??\<path>" followed by an empty target. */
void file_in_use()
{
    char folder[MAX_PATH];
    char path[MAX_PATH + 32];
    GetTempPathA(sizeof folder, folder);
    snprintf(path, sizeof path, "%sQZConformanceBusy.tmp", folder);
    HANDLE held = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    CHECK("a file to hold", TRUE, held != INVALID_HANDLE_VALUE);
    if (held == INVALID_HANDLE_VALUE)
        return;
    SetLastError(0xdeadbeef);
    CHECK("deleting a file held without FILE_SHARE_DELETE", FALSE, DeleteFileA(path));
    CHECK("its error", ERROR_SHARING_VIOLATION, GetLastError());
    CHECK("deleting it at the restart instead", TRUE, MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    CHECK("it stays until then", TRUE, GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES);
    CloseHandle(held);

    HKEY key = NULL;
    unsigned long listed = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) == ERROR_SUCCESS) {
        static char data[65536];
        for (DWORD i = 0;; ++i) {
            char name[MAX_PATH];
            DWORD name_size = sizeof name, type = 0, size = sizeof data - 2;
            memset(data, 0, sizeof data);
            if (RegEnumValueA(key, i, name, &name_size, NULL, &type, (LPBYTE)data, &size) != ERROR_SUCCESS)
                break;
            if (strcmp(name, "PendingFileRenameOperations") != 0 || type != REG_MULTI_SZ)
                continue;
            char expected[MAX_PATH + 40];
            snprintf(expected, sizeof expected, "\\??\\%s", path);
            /* pairs of strings: the file, then where it goes ("" to be deleted) */
            for (const char *from = data; *from != '\0';) {
                const char *to = from + strlen(from) + 1;
                if (compare_nocase(from, expected) == 0 && *to == '\0')
                    ++listed;
                from = to + strlen(to) + 1;
            }
        }
        RegCloseKey(key);
    }
    CHECK("PendingFileRenameOperations lists it, to be deleted", 1, listed);
    DeleteFileA(path);
}

/* A named mutex, as the run lock uses it. */
void mutexes()
{
    HANDLE first = CreateMutexA(NULL, FALSE, "QZConformanceLock");
    CHECK("a new mutex", TRUE, first != NULL);
    SetLastError(0xdeadbeef);
    HANDLE second = CreateMutexA(NULL, FALSE, "QZConformanceLock");
    CHECK("the same name again", ERROR_ALREADY_EXISTS, GetLastError());
    CHECK("taking it", WAIT_OBJECT_0, WaitForSingleObject(first, 0));
    CHECK("giving it back", TRUE, ReleaseMutex(first));
    SetLastError(0xdeadbeef);
    CHECK("giving back what is not owned", FALSE, ReleaseMutex(first));
    CHECK("its error", ERROR_NOT_OWNER, GetLastError());
    CloseHandle(second);
    SetLastError(0xdeadbeef);
    CHECK("opening a mutex that does not exist", TRUE, OpenMutexA(SYNCHRONIZE, FALSE, "QZConformanceNone") == NULL);
    CHECK("its error", ERROR_FILE_NOT_FOUND, GetLastError());
    HANDLE waiter = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "QZConformanceLock");
    CHECK("opening it to wait for it", TRUE, waiter != NULL);
    if (waiter != NULL) {
        CHECK("taking it through that handle", WAIT_OBJECT_0, WaitForSingleObject(waiter, 0));
        CHECK("giving it back through that handle", TRUE, ReleaseMutex(waiter));
        CloseHandle(waiter);
    }
    CloseHandle(first);
}

/* The window station of a program a person started: visible. */
void window_station()
{
    USEROBJECTFLAGS flags;
    DWORD needed = 0;
    memset(&flags, 0, sizeof flags);
    CHECK("the station's flags", TRUE,
          GetUserObjectInformationA((HANDLE)GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, &needed));
    CHECK("visible", WSF_VISIBLE, flags.dwFlags & WSF_VISIBLE);
}

} // namespace

int run_win32_conformance(void)
{
    checks = failed = 0;
    registry_paths();
    registry_access();
    subkey_order();
    handles();
    appending();
    mutexes();
    window_station();
    file_in_use();
    printf("conformance: %d checks, %d failed\n", checks, failed);
    return failed;
}
