/*
 * win32_conformance.cpp - the behaviours of Windows that the simulated PC
 * copies and the program counts on, checked the same way on the simulated
 * PC (the unit suite) and on Wine (conformance.exe and conformance64.exe,
 * run by the Wine harness): where the two give different answers, the
 * simulated PC is wrong (where Wine departs from Windows, the check expects
 * Wine's exact answer on Wine). Each check says what it expected and what it got.
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
int wine = 0; /* 1 on Wine, where ntdll exports wine_get_version */

void check(int line, const char *what, unsigned long expected, unsigned long got)
{
    ++checks;
    if (expected == got)
        return;
    ++failed;
    printf("conformance:%d: %s: expected %lu, got %lu\n", line, what, expected, got);
}

#define CHECK(what, expected, got) check(__LINE__, what, (unsigned long)(expected), (unsigned long)(got))

void check_text(int line, const char *what, const char *expected, const char *got)
{
    ++checks;
    if (strcmp(expected, got) == 0)
        return;
    ++failed;
    printf("conformance:%d: %s: expected \"%s\", got \"%s\"\n", line, what, expected, got);
}

#define CHECK_TEXT(what, expected, got) check_text(__LINE__, what, expected, got)

/* Opens a key below HKEY_LOCAL_MACHINE; a key that does not open fails the
   check that needs it, never skips it. */
HKEY open_key(int line, const char *path, REGSAM access)
{
    HKEY key = NULL;
    char what[MAX_PATH + 16];
    snprintf(what, sizeof what, "opening %s", path);
    check(line, what, ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key));
    return key;
}

#define OPEN_KEY(path, access) open_key(__LINE__, path, access)

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
    HKEY key = OPEN_KEY(kServices, KEY_QUERY_VALUE);
    if (key != NULL) {
        CHECK("subkeys through a handle without KEY_ENUMERATE_SUB_KEYS", ERROR_ACCESS_DENIED,
              RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL));
        RegCloseKey(key);
    }
    if ((key = OPEN_KEY(kServices, KEY_ENUMERATE_SUB_KEYS)) != NULL) {
        size = sizeof name;
        CHECK("values through a handle without KEY_QUERY_VALUE", ERROR_ACCESS_DENIED,
              RegEnumValueA(key, 0, name, &size, NULL, &type, NULL, NULL));
        RegCloseKey(key);
    }
    if ((key = OPEN_KEY(kServices, KEY_READ)) != NULL) {
        CHECK("deleting a value through a handle only for reading", ERROR_ACCESS_DENIED,
              RegDeleteValueA(key, "QZConformanceNoSuchValue"));
        RegCloseKey(key);
    }
}

/* The NT family enumerates subkeys sorted without regard to case. */
void subkey_order()
{
    HKEY key = OPEN_KEY(kServices, KEY_READ);
    if (key == NULL)
        return;
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
        CHECK("opening it", TRUE, file != INVALID_HANDLE_VALUE);
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
    CHECK("opening it only to append", TRUE, file != INVALID_HANDLE_VALUE);
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

/* The log's writer: a handle that appends, reads the first bytes and may
   rename; another open that does not share deletion is refused meanwhile;
   the rename through the handle (NtSetInformationFile, "\\??\\" and a full
   path) replaces a file of the new name, and the handle follows its file. */
typedef LONG(WINAPI *NtSetInformationFile_t)(HANDLE, void *, void *, ULONG, int);
typedef DWORD(WINAPI *GetFinalPathNameByHandleA_t)(HANDLE, LPSTR, DWORD, DWORD);
struct Rename {
    BOOLEAN replace_if_exists;
    HANDLE root_directory;
    ULONG name_bytes;
    WCHAR name[MAX_PATH + 40];
};

void renaming_through_the_handle()
{
    char folder[MAX_PATH], path[MAX_PATH + 32], moved[MAX_PATH + 32];
    GetTempPathA(sizeof folder, folder);
    snprintf(path, sizeof path, "%sQZConformance.log", folder);
    snprintf(moved, sizeof moved, "%sQZConformance.old.log", folder);
    const char *const names[] = {path, moved};
    for (const char *name : names) {
        DeleteFileA(name);
        HANDLE made = CreateFileA(name, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written = 0;
        CHECK("making a file", TRUE, made != INVALID_HANDLE_VALUE && WriteFile(made, "\xEF\xBB\xBFold", 6, &written, NULL));
        if (made != INVALID_HANDLE_VALUE)
            CloseHandle(made);
    }
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    CHECK("opening it to append, read and rename", TRUE, file != INVALID_HANDLE_VALUE);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char first[3] = {0, 0, 0};
    DWORD read = 0;
    CHECK("reading its first bytes", TRUE, ReadFile(file, first, 3, &read, NULL));
    CHECK("all three", 3, read);
    CHECK("the byte order mark", 0xBF, (unsigned char)first[2]);
    SetLastError(0xdeadbeef);
    HANDLE other = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    CHECK("another open that does not share deletion", TRUE, other == INVALID_HANDLE_VALUE);
    CHECK("its error", ERROR_SHARING_VIOLATION, GetLastError());
    if (other != INVALID_HANDLE_VALUE)
        CloseHandle(other);
    CHECK("flushing a handle that only appends", TRUE, FlushFileBuffers(file));

    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    NtSetInformationFile_t set_information =
        ntdll ? (NtSetInformationFile_t)(void (*)(void))GetProcAddress(ntdll, "NtSetInformationFile") : NULL;
    CHECK("ntdll's NtSetInformationFile", TRUE, set_information != NULL);
    if (set_information != NULL) {
        Rename rename;
        memset(&rename, 0, sizeof rename);
        rename.replace_if_exists = TRUE;
        rename.name[0] = '\\', rename.name[1] = '?', rename.name[2] = '?', rename.name[3] = '\\';
        int units = MultiByteToWideChar(CP_ACP, 0, moved, -1, rename.name + 4, MAX_PATH + 36);
        rename.name_bytes = (ULONG)((units - 1 + 4) * sizeof(WCHAR));
        ULONG_PTR io_status[2] = {0, 0};
        CHECK("renaming it through the handle, over a file of that name", 0,
              set_information(file, io_status, &rename, sizeof rename, 10 /* FileRenameInformation */));
        DWORD written = 0;
        CHECK("writing through the handle after", TRUE, WriteFile(file, "new", 3, &written, NULL));
        HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
        GetFinalPathNameByHandleA_t final_path =
            (GetFinalPathNameByHandleA_t)(void (*)(void))GetProcAddress(kernel32, "GetFinalPathNameByHandleA");
        if (final_path != NULL) { /* Windows Vista and later */
            char where[MAX_PATH + 40] = "";
            DWORD length = final_path(file, where, sizeof where, 0);
            CHECK("the final path's length", strlen(moved) + 4, length);
            CHECK("the final path: \\\\?\\ and the new name", 0, compare_nocase(where + 4, moved));
        }
    }
    CloseHandle(file);
    SetLastError(0xdeadbeef);
    CHECK("the old name after the rename", INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
    CHECK("its error", ERROR_FILE_NOT_FOUND, GetLastError());
    file = CreateFileA(moved, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    BY_HANDLE_FILE_INFORMATION info;
    memset(&info, 0, sizeof info);
    CHECK("the new name holds the file, written after its rename", 9,
          file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info) ? info.nFileSizeLow : 0);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
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
    CHECK("clearing its attributes all the same", TRUE, SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL));
    CHECK("deleting it at the restart instead", TRUE, MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    CHECK("it stays until then", TRUE, GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES);
    CloseHandle(held);

    unsigned long listed = 0;
    HKEY key = OPEN_KEY("SYSTEM\\CurrentControlSet\\Control\\Session Manager", KEY_READ);
    if (key != NULL) {
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
/* What the hand-over asks of a run as SYSTEM: the token's user, a SID
   right after the TOKEN_USER; a file's owner and DACL, pointing into the
   one block GetNamedSecurityInfoW gives (freed with LocalFree). */
void token_user_and_file_security()
{
    HANDLE token = NULL;
    CHECK("the process's token", TRUE, OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD user[32], size = 0;
    SetLastError(0xdeadbeef);
    CHECK("its user, in too small a buffer", FALSE, GetTokenInformation(token, TokenUser, user, 4, &size));
    CHECK("its error", ERROR_INSUFFICIENT_BUFFER, GetLastError());
    CHECK("the size asked, a SID after the TOKEN_USER", TRUE, size > sizeof(TOKEN_USER) && size <= sizeof user);
    CHECK("its user", TRUE, GetTokenInformation(token, TokenUser, user, sizeof user, &size));
    const BYTE *sid = (const BYTE *)((TOKEN_USER *)user)->User.Sid;
    CHECK("the SID, in the buffer", TRUE, sid >= (const BYTE *)user && sid < (const BYTE *)user + size);
    CHECK("its revision", 1, sid[0]);
    CloseHandle(token);

    char folder[MAX_PATH], narrow[MAX_PATH + 32];
    WCHAR path[MAX_PATH + 32];
    GetTempPathA(sizeof folder, folder);
    snprintf(narrow, sizeof narrow, "%sQZSecurity.tmp", folder);
    MultiByteToWideChar(CP_ACP, 0, narrow, -1, path, MAX_PATH + 32);
    HANDLE file = CreateFileA(narrow, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    CHECK("a file to read the security of", TRUE, file != INVALID_HANDLE_VALUE);
    CloseHandle(file);
    PSID owner = NULL;
    PACL dacl = NULL;
    PSECURITY_DESCRIPTOR security = NULL;
    CHECK("its owner and DACL", ERROR_SUCCESS,
          GetNamedSecurityInfoW(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                NULL, &dacl, NULL, &security));
    const BYTE *block = (const BYTE *)security;
    CHECK("the owner, in the descriptor's block", TRUE,
          owner != NULL && (const BYTE *)owner > block && (const BYTE *)owner < block + 4096);
    CHECK("the DACL, none or in the block", TRUE,
          dacl == NULL || ((const BYTE *)dacl > block && (const BYTE *)dacl < block + 4096));
    LocalFree(security);
    DeleteFileA(narrow);
    CHECK("a file that is not there", ERROR_FILE_NOT_FOUND,
          GetNamedSecurityInfoW(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL, &security));
}

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

/* Registry calls return their error and leave the last error alone (the
   program keeps each call's LONG); a key that does not open comes back null. */
void registry_errors()
{
    HKEY key = (HKEY)(ULONG_PTR)0x1234;
    SetLastError(0xdeadbeef);
    CHECK("opening a key that is not there", ERROR_FILE_NOT_FOUND,
          RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QZConformanceNone", 0, KEY_READ, &key));
    CHECK("the handle, after", 0, (ULONG_PTR)key);
    CHECK("deleting a key that is not there", ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QZConformanceNone"));
    CHECK("closing a handle that is none", ERROR_INVALID_HANDLE, RegCloseKey((HKEY)(ULONG_PTR)0x777));
    CHECK("the last error", 0xdeadbeef, GetLastError());
}

/* NT refuses to delete a key that has subkeys (service_keys.cpp deletes
   them first); once the key at index i is deleted, the next one is at i
   (service_keys.cpp walks index 0, port_instances.cpp stays at i). */
void registry_deletion()
{
    static const char *const subkeys[] = {"SOFTWARE\\QZConformance\\Walk\\b", "SOFTWARE\\QZConformance\\Walk\\A\\Child",
                                          "SOFTWARE\\QZConformance\\Walk\\C"};
    for (const char *path : subkeys)
        CHECK("making a subkey", 1, conformance_set_value(path, NULL, 0, NULL, 0));
    CHECK("deleting a key that has a subkey", ERROR_ACCESS_DENIED,
          RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QZConformance\\Walk\\A"));
    HKEY walk = OPEN_KEY("software\\QZCONFORMANCE\\walk", KEY_READ); /* names compare without case */
    HKEY held = OPEN_KEY("SOFTWARE\\QZConformance\\Walk\\b", KEY_READ);
    if (walk == NULL || held == NULL)
        return;
    CHECK("deleting the subkey", ERROR_SUCCESS, RegDeleteKeyA(walk, "A\\Child"));
    char name[MAX_PATH] = "(none)"; /* a failed call leaves the name before it */
    DWORD size;
    static const char *const order[] = {"A", "b", "C"};
    for (const char *next : order) {
        size = sizeof name;
        RegEnumKeyExA(walk, 0, name, &size, NULL, NULL, NULL, NULL);
        CHECK_TEXT("index 0, after the key there was deleted", next, name);
        CHECK("deleting it", ERROR_SUCCESS, RegDeleteKeyA(walk, name));
    }
    size = sizeof name;
    CHECK("index 0 with none left", ERROR_NO_MORE_ITEMS, RegEnumKeyExA(walk, 0, name, &size, NULL, NULL, NULL, NULL));
    size = sizeof name;
    CHECK("a handle to a deleted key", ERROR_KEY_DELETED, RegEnumKeyExA(held, 0, name, &size, NULL, NULL, NULL, NULL));
    RegCloseKey(held);
    RegCloseKey(walk);
}

/* A registry link (service_keys.cpp deletes a link below the service key
   as a link): opened as it is with REG_OPTION_OPEN_LINK it has no subkeys
   and one value "SymbolicLinkValue" of type REG_LINK; opened without it,
   and by RegDeleteKeyA, it is followed; NtDeleteKey on a handle opened as
   the link deletes the link alone. Below SYSTEM, which a 32-bit program
   on 64-bit Windows sees unredirected. */
void registry_links()
{
    typedef LONG(WINAPI * NtDeleteKey_fn)(HANDLE);
    const char *base = "SYSTEM\\QZConformanceLinks";
    CHECK("making the target", 1, conformance_set_value("SYSTEM\\QZConformanceLinks\\Target\\Child", NULL, 0, NULL, 0));
    CHECK("making the link", 1, conformance_make_link("SYSTEM\\QZConformanceLinks\\Link", "SYSTEM\\QZConformanceLinks\\Target"));
    HKEY parent = OPEN_KEY(base, KEY_READ);
    if (parent == NULL)
        return;
    char name[MAX_PATH] = "(none)";
    DWORD size = sizeof name, type = 0;
    HKEY key = NULL;
    CHECK("opening the link, followed", ERROR_SUCCESS, RegOpenKeyExA(parent, "LINK", 0, KEY_READ, &key));
    if (key != NULL) {
        RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL);
        CHECK_TEXT("its target's subkey", "Child", name);
        RegCloseKey(key);
    }
    key = NULL;
    CHECK("opening the link itself", ERROR_SUCCESS, RegOpenKeyExA(parent, "Link", REG_OPTION_OPEN_LINK, KEY_READ, &key));
    if (key != NULL) {
        size = sizeof name;
        CHECK("the link's own subkeys", ERROR_NO_MORE_ITEMS, RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL));
        size = sizeof name;
        CHECK("the link's value", ERROR_SUCCESS, RegEnumValueA(key, 0, name, &size, NULL, &type, NULL, NULL));
        CHECK_TEXT("its name", "SymbolicLinkValue", name);
        CHECK("its type", REG_LINK, type);
        RegCloseKey(key);
    }
    CHECK("RegDeleteKeyA on the link: its target, which has a subkey", ERROR_ACCESS_DENIED, RegDeleteKeyA(parent, "Link"));
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    NtDeleteKey_fn nt_delete_key = ntdll ? (NtDeleteKey_fn)(void (*)(void))GetProcAddress(ntdll, "NtDeleteKey") : NULL;
    key = NULL;
    CHECK("opening the link itself to delete it", ERROR_SUCCESS,
          RegOpenKeyExA(parent, "Link", REG_OPTION_OPEN_LINK, DELETE, &key));
    CHECK("NtDeleteKey on it", 0, key != NULL && nt_delete_key != NULL ? nt_delete_key(key) : -1);
    if (key != NULL)
        RegCloseKey(key);
    key = NULL;
    CHECK("the link, after", ERROR_FILE_NOT_FOUND, RegOpenKeyExA(parent, "Link", REG_OPTION_OPEN_LINK, KEY_READ, &key));
    CHECK("its target's subkey stays", ERROR_SUCCESS, RegDeleteKeyA(parent, "Target\\Child"));
    CHECK("and its target", ERROR_SUCCESS, RegDeleteKeyA(parent, "Target"));
    RegCloseKey(parent);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, base);
}

/* A name or data that does not fit gives ERROR_MORE_DATA, never a cut name
   (the enumerations in class_inf_name.cpp, class_driver_keys.cpp). */
void name_buffers()
{
    static char text[300];
    memset(text, 'x', sizeof text - 1);
    CHECK("making a value", 1, conformance_set_value("SOFTWARE\\QZConformance\\Names", "Thirteen-char", REG_SZ, text, sizeof text));
    CHECK("making a key", 1, conformance_set_value("SOFTWARE\\QZConformance\\Names\\Eight-ch", NULL, 0, NULL, 0));
    HKEY key = OPEN_KEY("SOFTWARE\\QZConformance\\Names", KEY_READ);
    if (key == NULL)
        return;
    static const struct {
        DWORD name_size, data_size; /* data_size 0: no data asked */
        LONG value_result;          /* RegEnumValueA */
        LONG key_result;            /* RegEnumKeyExA, with name_size less 5 */
    } rows[] = {
        {13, 0, ERROR_MORE_DATA, ERROR_MORE_DATA}, /* no room for the null */
        {14, 0, ERROR_SUCCESS, ERROR_SUCCESS},
        {14, 299, ERROR_MORE_DATA, ERROR_SUCCESS},
        {14, 300, ERROR_SUCCESS, ERROR_SUCCESS},
    };
    for (const auto &row : rows) {
        char name[MAX_PATH];
        static BYTE data[MAX_PATH * 2];
        DWORD name_size = row.name_size, data_size = row.data_size, type = 0;
        CHECK("RegEnumValueA, sizes of the row", row.value_result,
              RegEnumValueA(key, 0, name, &name_size, NULL, &type, row.data_size ? data : NULL, row.data_size ? &data_size : NULL));
        CHECK("the name's length", row.value_result == ERROR_SUCCESS ? 13 : row.name_size, name_size);
        if (row.value_result == ERROR_SUCCESS && row.data_size)
            CHECK("the data's size, its null counted", 300, data_size);
        name_size = row.name_size - 5;
        CHECK("RegEnumKeyExA, size of the row", row.key_result, RegEnumKeyExA(key, 0, name, &name_size, NULL, NULL, NULL, NULL));
    }
    RegCloseKey(key);
}

/* Windows enumerates values in the order they were stored (the program
   looks at each in turn, whatever the order); Wine sorts them by name. */
void value_order()
{
    const char *path = "SOFTWARE\\QZConformance\\Order";
    CHECK("making the values", 1, conformance_set_value(path, "Zeta", REG_SZ, "1", 2) && conformance_set_value(path, "Alpha", REG_SZ, "2", 2));
    char name[MAX_PATH] = "(none)";
    DWORD size = sizeof name;
    HKEY key = OPEN_KEY(path, KEY_READ);
    if (key != NULL) {
        RegEnumValueA(key, 0, name, &size, NULL, NULL, NULL, NULL);
        RegCloseKey(key);
    }
    CHECK_TEXT("the value at index 0", wine ? "Alpha" : "Zeta", name);
}

UINT windows_folder(LPSTR buffer, UINT size) { return GetWindowsDirectoryA(buffer, size); }
UINT system_folder(LPSTR buffer, UINT size) { return GetSystemDirectoryA(buffer, size); }
UINT temp_folder(LPSTR buffer, UINT size) { return GetTempPathA(size, buffer); }

/* A folder that does not fit gives the size it needs, its null counted
   (file_removal.cpp and log_file.cpp take such a length as "no folder"). */
void folder_sizes()
{
    static const struct { const char *name; decltype(&windows_folder) read; } folders[] = {
        {"GetWindowsDirectoryA", windows_folder}, {"GetSystemDirectoryA", system_folder}, {"GetTempPathA", temp_folder}};
    for (const auto &f : folders) {
        char folder[MAX_PATH];
        UINT length = f.read(folder, sizeof folder);
        CHECK(f.name, strlen(folder), length);
        const UINT sizes[] = {length + 1, length, 1};
        for (UINT size : sizes) {
            memset(folder, 'x', sizeof folder);
            CHECK(f.name, size > length ? length : length + 1, f.read(folder, size));
            CHECK(f.name, size > length ? 0 : 'x', folder[size > length ? length : 0]); /* too small: nothing written */
        }
    }
}

BOOL make_normal(const char *path) { return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL); }
BOOL delete_file(const char *path) { return DeleteFileA(path); }

/* The errors file_removal.cpp tells apart: 2 and 3 say the file is not
   there, 5 (read-only, or a folder) sets it to go at the restart. */
void file_errors()
{
    char folder[MAX_PATH], path[MAX_PATH + 32];
    DWORD length = GetTempPathA(sizeof folder, folder);
    snprintf(path, sizeof path, "%sQZConformanceRO.tmp", folder);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    CHECK("a file to make read-only", TRUE, file != INVALID_HANDLE_VALUE && CloseHandle(file) &&
                                                SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY));
    static const struct {
        const char *what;
        BOOL (*call)(const char *);
        const char *name; /* in the temporary folder; null: the folder itself */
        DWORD error;      /* 0: the call succeeds */
    } rows[] = {
        {"SetFileAttributesA, no such file", make_normal, "QZConformanceNone.tmp", ERROR_FILE_NOT_FOUND},
        {"SetFileAttributesA, no such folder", make_normal, "QZConformanceNone\\x.tmp", ERROR_PATH_NOT_FOUND},
        {"DeleteFileA, no such file", delete_file, "QZConformanceNone.tmp", ERROR_FILE_NOT_FOUND},
        {"DeleteFileA, no such folder", delete_file, "QZConformanceNone\\x.tmp", ERROR_PATH_NOT_FOUND},
        {"DeleteFileA, a folder", delete_file, NULL, ERROR_ACCESS_DENIED},
        {"DeleteFileA, a read-only file", delete_file, "QZConformanceRO.tmp", ERROR_ACCESS_DENIED},
        {"SetFileAttributesA, a read-only file", make_normal, "QZCONFORMANCEro.TMP", 0},
        {"DeleteFileA, once it is not read-only", delete_file, "QZConformanceRO.tmp", 0},
        {"DeleteFileA, once it is deleted", delete_file, "QZConformanceRO.tmp", ERROR_FILE_NOT_FOUND},
    };
    for (const auto &row : rows) {
        snprintf(path, sizeof path, "%.*s%s", row.name ? (int)length : (int)length - 1, folder, row.name ? row.name : "");
        SetLastError(0xdeadbeef);
        BOOL ok = row.call(path);
        DWORD error = GetLastError();
        CHECK(row.what, row.error == 0, ok);
        CHECK(row.what, row.error ? row.error : 0xdeadbeef, ok ? 0xdeadbeef : error);
    }
}

/* The setup API, bound by name as the program binds it. */
#define SETUP_API(X)                                                                                                  \
    X(SetupDiGetClassDevsA) X(SetupDiEnumDeviceInfo) X(SetupDiGetDeviceInstanceIdA) X(SetupDiGetDeviceRegistryPropertyA) \
    X(SetupDiCallClassInstaller) X(SetupDiGetDeviceInstallParamsA) X(SetupDiDestroyDeviceInfoList) X(SetupOpenInfFileA)  \
    X(SetupGetLineTextA) X(SetupCloseInfFile)
#define FIELD(name) decltype(&::name) name;
struct SetupApi {
    SETUP_API(FIELD)
};
#define BIND(name) &&(api->name = (decltype(&::name))(void (*)(void))GetProcAddress(setupapi, #name)) != NULL

/* Export names are matched with case: a name in other letters is not found. */
int bind_setup_api(SetupApi *api)
{
    HMODULE setupapi = LoadLibraryA("setupapi.dll");
    SetLastError(0xdeadbeef);
    CHECK("an export name in other letters", TRUE, GetProcAddress(setupapi, "setupdigetclassdevsa") == NULL);
    CHECK("its error", ERROR_PROC_NOT_FOUND, GetLastError());
    int bound = setupapi != NULL SETUP_API(BIND);
    CHECK("loading setupapi.dll and binding it", 1, bound);
    return bound;
}

/* The [USBTA] line as oem_inf_files.cpp reads it: the fields after the key,
   quotes gone, joined by commas; the size asked first counts the null. */
void inf_lines(const SetupApi &api)
{
    static const struct {
        const char *text; /* null: no such file */
        const char *section, *key;
        DWORD error; /* 0: the line is read */
        const char *expected;
    } rows[] = {
        {"[Version]\nSignature=\"$Windows NT$\"\n[USBTA]\n\"Pelto QZ-USB USBPort Adapter\" = USB_TA, "
         "USB\\VID_1F7C&PID_0084\n", "USBTA", "Pelto QZ-USB USBPort Adapter", 0, "USB_TA,USB\\VID_1F7C&PID_0084"},
        {"[version]\nsignature=$CHICAGO$\n[usbta]\nPELTO QZ-USB USBPORT ADAPTER=a , \"b, c\" ;comment\n", "USBTA",
         "Pelto QZ-USB USBPort Adapter", 0, "a,b, c"},
        {"[Version]\nSignature=\"$Windows NT$\"\n[S]\n%K%=%V%,%%x%%,%unknown%\n[Strings]\nK=\"Key\"\nV=value\n",
         "S", "Key", 0, "value,%x%,%unknown%"},
        {"[Version]\nSignature=\"$Windows NT$\"\n[S]\nk = a, \\\n    b\n", "S", "k", 0, "a,b"},
        {"[Version]\nSignature=\"$Windows NT$\"\n[S]\nk = a\n", "T", "k", ERROR_LINE_NOT_FOUND, ""},
        {"[Version]\nSignature=\"$Windows NT$\"\n[S]\nk = a\n", "S", "j", ERROR_LINE_NOT_FOUND, ""},
        {"[USBTA]\nk=v\n", "USBTA", "k", 0xE0000100 /* ERROR_WRONG_INF_STYLE */, ""},
        {NULL, "USBTA", "k", ERROR_FILE_NOT_FOUND, ""},
    };
    char folder[MAX_PATH], path[MAX_PATH + 32];
    GetWindowsDirectoryA(folder, sizeof folder);
    snprintf(path, sizeof path, "%s\\inf\\QZConformance.inf", folder);
    for (const auto &row : rows) {
        DeleteFileA(path);
        HANDLE file = row.text ? CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL)
                               : INVALID_HANDLE_VALUE;
        DWORD written = 0;
        if (file != INVALID_HANDLE_VALUE) {
            WriteFile(file, row.text, (DWORD)strlen(row.text), &written, NULL);
            CloseHandle(file);
        }
        CHECK("writing the INF file", row.text ? strlen(row.text) : 0, written);
        SetLastError(0xdeadbeef);
        HINF inf = api.SetupOpenInfFileA("qzconformance.INF", NULL, INF_STYLE_WIN4, NULL); /* a bare name: in the INF folder */
        DWORD error = inf == INVALID_HANDLE_VALUE ? GetLastError() : 0, required = 0xdeadbeef;
        char line[MAX_PATH] = "";
        if (inf != INVALID_HANDLE_VALUE && !api.SetupGetLineTextA(NULL, inf, row.section, row.key, NULL, 0, &required))
            error = GetLastError();
        if (error == 0) {
            CHECK("the size asked first, the null counted", strlen(row.expected) + 1, required);
            SetLastError(0xdeadbeef);
            CHECK("a buffer one short", FALSE, api.SetupGetLineTextA(NULL, inf, row.section, row.key, line, required - 1, NULL));
            CHECK("its error", ERROR_INSUFFICIENT_BUFFER, GetLastError());
            if (!api.SetupGetLineTextA(NULL, inf, row.section, row.key, line, required, &required))
                error = GetLastError();
        }
        CHECK(row.expected, row.error, error);
        CHECK_TEXT("the line", row.expected, line);
        if (inf != INVALID_HANDLE_VALUE)
            api.SetupCloseInfFile(inf);
    }
    DeleteFileA(path);
}


/* RegOpenKeyExA's answer for PATH, the key closed again. */
LONG opens(const char *path)
{
    HKEY key = NULL;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result;
}

/* The member of SET whose instance ID is ID, or (DWORD)-1. */
DWORD find_member(const SetupApi &api, HDEVINFO set, const char *id)
{
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof data;
    for (DWORD i = 0; api.SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        char found[MAX_PATH];
        if (api.SetupDiGetDeviceInstanceIdA(set, &data, found, sizeof found, NULL) && compare_nocase(found, id) == 0)
            return i;
    }
    return (DWORD)-1;
}

#define MODEM_CLASS "{4D36E96D-E325-11CE-BFC1-08002BE10318}"
#define CLASS_KEY "SYSTEM\\CurrentControlSet\\Control\\Class\\" MODEM_CLASS
#define QZ_DEVICE_KEY "SYSTEM\\CurrentControlSet\\Enum\\ROOT\\QZCONFORMANCE"
/* The hardware IDs as device_removal.cpp reads them, and the set's members
   after DIF_REMOVE: they do not shift, so the walk goes on at the next index.
   DIF_REMOVE takes the instance's key, its driver key, and its parent once empty. */
void devices(const SetupApi &api)
{
    static const char ids[] = "ROOT\\QZCONFORMANCE\0QZConformanceId\0", driver[] = MODEM_CLASS "\\9999";
    static const char *const instances[] = {"ROOT\\QZCONFORMANCE\\0000", "ROOT\\QZCONFORMANCE\\0001"};
    for (const char *instance : instances) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "SYSTEM\\CurrentControlSet\\Enum\\%s", instance);
        CHECK("making a device", 1, conformance_set_value(path, "HardwareID", REG_MULTI_SZ, ids, sizeof ids) &&
                                        conformance_set_value(path, "ClassGUID", REG_SZ, MODEM_CLASS, sizeof MODEM_CLASS));
    }
    CHECK("giving the first a driver key and a subkey", 1,
          conformance_set_value(QZ_DEVICE_KEY "\\0000", "Driver", REG_SZ, driver, sizeof driver) &&
              conformance_set_value(CLASS_KEY "\\9999", "InfPath", REG_SZ, "oem9.inf", 9) &&
              conformance_set_value(QZ_DEVICE_KEY "\\0000\\Device Parameters", NULL, 0, NULL, 0));
    HDEVINFO set = api.SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES);
    CHECK("a set of every device", TRUE, set != INVALID_HANDLE_VALUE);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof data - 1;
    SetLastError(0xdeadbeef);
    CHECK("a member, cbSize one short", FALSE, api.SetupDiEnumDeviceInfo(set, 0, &data));
    CHECK("its error", ERROR_INVALID_USER_BUFFER, GetLastError());
    data.cbSize = sizeof data;
    DWORD first = find_member(api, set, instances[0]), second = find_member(api, set, instances[1]);
    CHECK("the devices made are members", TRUE, first != (DWORD)-1 && second != (DWORD)-1);
    if (first != (DWORD)-1 && second != (DWORD)-1 && api.SetupDiEnumDeviceInfo(set, first, &data)) {
        static const DWORD sizes[] = {0, 4, sizeof ids - 1, sizeof ids};
        for (DWORD size : sizes) {
            BYTE buffer[sizeof ids];
            DWORD required = 0xdeadbeef;
            SetLastError(0xdeadbeef);
            BOOL ok = api.SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, NULL, size ? buffer : NULL, size, &required);
            CHECK("the hardware IDs, read with a buffer of this size", size == sizeof ids, ok);
            CHECK("the size they need", sizeof ids, required);
            CHECK("its error", size == sizeof ids ? 0xdeadbeef : ERROR_INSUFFICIENT_BUFFER, ok ? 0xdeadbeef : GetLastError());
        }
        SetLastError(0xdeadbeef);
        CHECK("compatible IDs the device lacks", FALSE,
              api.SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_COMPATIBLEIDS, NULL, NULL, 0, NULL));
        CHECK("their error", ERROR_INVALID_DATA, GetLastError());
        /* the check reads the service and the driver key: a device without a service says so */
        char text[MAX_PATH];
        SetLastError(0xdeadbeef);
        CHECK("a service the device lacks", FALSE,
              api.SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_SERVICE, NULL, (PBYTE)text, sizeof text, NULL));
        CHECK("its error", ERROR_INVALID_DATA, GetLastError());
        memset(text, 0, sizeof text);
        CHECK("its driver key", TRUE,
              api.SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_DRIVER, NULL, (PBYTE)text, sizeof text, NULL));
        CHECK_TEXT("the driver key's name", driver, text);
        CHECK("DIF_REMOVE", TRUE, api.SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
        SP_DEVINSTALL_PARAMS_A params;
        params.cbSize = sizeof params;
        /* Windows keeps the member, its flags readable; Wine forgets it: device_removal.cpp takes either */
        CHECK("its install parameters, after", wine ? ERROR_NO_SUCH_DEVINST : 0,
              api.SetupDiGetDeviceInstallParamsA(set, &data, &params) ? 0 : GetLastError());
        CHECK("the instance's key, with its subkey", ERROR_FILE_NOT_FOUND, opens(QZ_DEVICE_KEY "\\0000"));
        CHECK("its driver key", ERROR_FILE_NOT_FOUND, opens(CLASS_KEY "\\9999"));
        CHECK("the device key, not yet empty", ERROR_SUCCESS, opens(QZ_DEVICE_KEY));
        CHECK("the other device at the same index", second, find_member(api, set, instances[1]));
        CHECK("DIF_REMOVE of it", TRUE, api.SetupDiEnumDeviceInfo(set, second, &data) && api.SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
        CHECK("the device key, empty", ERROR_FILE_NOT_FOUND, opens(QZ_DEVICE_KEY));
        CHECK("the class key", ERROR_SUCCESS, opens(CLASS_KEY));
    }
    CHECK("destroying the set", TRUE, api.SetupDiDestroyDeviceInfoList(set));
}

} // namespace

int run_win32_conformance(void)
{
    checks = failed = 0;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    wine = ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
    registry_paths();
    registry_access();
    subkey_order();
    registry_errors();
    registry_deletion();
    registry_links();
    name_buffers();
    value_order();
    handles();
    folder_sizes();
    file_errors();
    appending();
    renaming_through_the_handle();
    mutexes();
    token_user_and_file_security();
    window_station();
    file_in_use();
    SetupApi setup_api;
    if (bind_setup_api(&setup_api)) {
        inf_lines(setup_api);
        devices(setup_api);
    }
    printf("conformance: %d checks, %d failed\n", checks, failed);
    return failed;
}
