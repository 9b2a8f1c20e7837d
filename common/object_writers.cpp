/*
 * object_writers.cpp - who, besides SYSTEM, Administrators and
 * TrustedInstaller, may write a file or a folder (object_writers.h).
 */
#include "object_writers.h"
#include "system_functions.h"
#include "library_binding.h"
#include "text_buffers.h"

typedef DWORD(WINAPI *GetNamedSecurityInfoW_fn)(LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID *, PSID *,
                                                PACL *, PACL *, PSECURITY_DESCRIPTOR *);
typedef BOOL(WINAPI *LookupAccountSidW_fn)(LPCWSTR, PSID, LPWSTR, LPDWORD, LPWSTR, LPDWORD, PSID_NAME_USE);
typedef UINT(WINAPI *GetDriveTypeW_fn)(LPCWSTR);

#define TOKEN_USER_BYTES (sizeof(TOKEN_USER) + SID_BYTES_MAX)
/* What lets an account change a file, or add one to a folder. */
#define WRITING_RIGHTS (FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL)

/* The accounts trusted to write what a run as SYSTEM starts or writes: SYSTEM
   (S-1-5-18), Administrators (S-1-5-32-544) and TrustedInstaller
   (S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464). */
static const BYTE system_sid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
static const BYTE administrators_sid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
static const BYTE trusted_installer_sid[] = {1,   6,   0,  0,   0,   0,   0,   5,   80,  0,   0,   0,
                                             181, 137, 251, 56, 25,  132, 194, 203, 92,  108, 35,  109,
                                             87,  0,   119, 110, 192, 2,   100, 135};
static const BYTE everyone_sid[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}; /* S-1-1-0: who may write without a DACL */
static const BYTE *const trusted_writers[] = {system_sid, administrators_sid, trusted_installer_sid};
/* The accounts services run as: SYSTEM, LocalService (S-1-5-19), NetworkService (S-1-5-20). */
static const BYTE local_service_sid[] = {1, 1, 0, 0, 0, 0, 0, 5, 19, 0, 0, 0};
static const BYTE network_service_sid[] = {1, 1, 0, 0, 0, 0, 0, 5, 20, 0, 0, 0};
static const BYTE *const service_accounts[] = {system_sid, local_service_sid, network_service_sid};

/* The size in bytes of a security identifier. */
static int sid_size(const BYTE *sid)
{
    return 8 + 4 * sid[1];
}

static int same_sid(const BYTE *sid, const BYTE *known)
{
    if (sid[1] != known[1])
        return 0;
    for (int i = 0; i < sid_size(known); ++i)
        if (sid[i] != known[i])
            return 0;
    return 1;
}

static int trusted_writer(const BYTE *sid)
{
    for (int i = 0; i < COUNT_OF(trusted_writers); ++i)
        if (same_sid(sid, trusted_writers[i]))
            return 1;
    return 0;
}

int running_as_service_account(void)
{
    GetTokenInformation_fn get_information = SYSTEM_FUNCTION(GetTokenInformation, "advapi32");
    HANDLE token = NULL;
    /* DWORD-aligned, as a TOKEN_USER must be */
    DWORD user[(TOKEN_USER_BYTES + sizeof(DWORD) - 1) / sizeof(DWORD)];
    DWORD size = 0;
    /* An account that cannot be read is taken for a logged-on one, as every
       run was before: no process can make this query fail for another. */
    if (get_information == NULL || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    BOOL read = get_information(token, TokenUser, user, sizeof user, &size);
    CloseHandle(token);
    if (!read)
        return 0;
    const BYTE *sid = (const BYTE *)((TOKEN_USER *)user)->User.Sid;
    for (int i = 0; i < COUNT_OF(service_accounts); ++i)
        if (same_sid(sid, service_accounts[i]))
            return 1;
    return 0;
}

/* 1 when `path` lies on a network share: a UNC path, or a drive that
   Windows maps to one. */
int on_network_share(const WCHAR *path)
{
    if (path[0] == '\\' && path[1] == '\\')
        return 1;
    GetDriveTypeW_fn drive_type = SYSTEM_FUNCTION(GetDriveTypeW, "kernel32");
    WCHAR root[4] = {path[0], ':', '\\', 0};
    return drive_type != NULL && path[0] != 0 && path[1] == ':' && drive_type(root) == DRIVE_REMOTE;
}

/* An account other than the trusted ones that may write the object whose
   owner and DACL are given, into `writer` (SID_BYTES_MAX bytes); 0 when
   there is none. Inherit-only ACEs apply to what the folder holds later,
   not to itself; deny ACEs are not weighed (a writer they stop is still
   refused). */
static int untrusted_writer(const BYTE *owner, const BYTE *dacl, BYTE *writer)
{
    const BYTE *found = NULL;
    if (owner != NULL && !trusted_writer(owner))
        found = owner;
    else if (dacl == NULL)
        found = everyone_sid; /* no DACL: everyone may do anything */
    else {
        int size = dacl[2] | dacl[3] << 8;
        int count = dacl[4] | dacl[5] << 8;
        int at = 8;
        for (int i = 0; i < count && found == NULL && at + 8 <= size; ++i) {
            const BYTE *ace = dacl + at;
            int ace_size = ace[2] | ace[3] << 8;
            DWORD mask = (DWORD)ace[4] | (DWORD)ace[5] << 8 | (DWORD)ace[6] << 16 | (DWORD)ace[7] << 24;
            if (ace_size < 8 || at + ace_size > size)
                break;
            if (ace[0] == ACCESS_ALLOWED_ACE_TYPE && (ace[1] & INHERIT_ONLY_ACE) == 0 && (mask & WRITING_RIGHTS) != 0 &&
                ace_size >= 8 + 8 && 8 + sid_size(ace + 8) <= ace_size && !trusted_writer(ace + 8))
                found = ace + 8;
            at += ace_size;
        }
    }
    if (found == NULL)
        return 0;
    for (int i = 0; i < sid_size(found) && i < SID_BYTES_MAX; ++i)
        writer[i] = found[i];
    return 1;
}

/* Who besides the trusted accounts may write `path`: 1 with the account
   in `writer`; 0 when nobody; -1 with the error of GetNamedSecurityInfoW
   in *error when its security cannot be read. */
int writer_of(const WCHAR *path, BYTE *writer, DWORD *error)
{
    GetNamedSecurityInfoW_fn get_security = SYSTEM_FUNCTION(GetNamedSecurityInfoW, "advapi32");
    PSID owner = NULL;
    PACL dacl = NULL;
    PSECURITY_DESCRIPTOR security = NULL;
    if (get_security == NULL) {
        *error = ERROR_PROC_NOT_FOUND;
        return -1;
    }
    *error = get_security(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          NULL, &dacl, NULL, &security);
    if (*error != ERROR_SUCCESS)
        return -1;
    int found = untrusted_writer((const BYTE *)owner, (const BYTE *)dacl, writer);
    LocalFree(security);
    return found;
}

/* The account as the log names it: DOMAIN\name when Windows knows it,
   else its security identifier as text ("S-1-5-21-...-1001"). */
void account_text(const BYTE *sid, char *text, int size)
{
    LookupAccountSidW_fn lookup = SYSTEM_FUNCTION(LookupAccountSidW, "advapi32");
    WCHAR name[MAX_PATH_BYTES], domain[MAX_PATH_BYTES];
    DWORD name_size = MAX_PATH_BYTES, domain_size = MAX_PATH_BYTES;
    SID_NAME_USE use;
    if (lookup != NULL && lookup(NULL, (PSID)sid, name, &name_size, domain, &domain_size, &use)) {
        char narrow[MAX_PATH_BYTES];
        text[0] = '\0';
        if (domain[0] != 0 && WideCharToMultiByte(CP_ACP, 0, domain, -1, narrow, sizeof narrow, NULL, NULL) != 0)
            join_text(text, size, narrow, "\\", "");
        if (WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow, NULL, NULL) != 0 &&
            append_text(text, size, narrow))
            return;
    }
    /* S-1-<authority>-<sub-authorities>: an authority past 32 bits no account has */
    char number[16];
    unsigned long authority = (unsigned long)sid[4] << 24 | (unsigned long)sid[5] << 16 | sid[6] << 8 | sid[7];
    copy_text(text, size, "S-1-");
    format_decimal(number, sizeof number, authority, 1);
    append_text(text, size, number);
    for (int i = 0; i < sid[1]; ++i) {
        const BYTE *part = sid + 8 + 4 * i;
        unsigned long value = (unsigned long)part[3] << 24 | (unsigned long)part[2] << 16 | part[1] << 8 | part[0];
        format_decimal(number, sizeof number, value, 1);
        append_text(text, size, "-");
        append_text(text, size, number);
    }
}

void folder_of_path(const WCHAR *path, WCHAR *folder)
{
    int cut = 0;
    int i = 0;
    for (; path[i] != 0 && i < MAX_PATH_BYTES - 1; ++i) {
        folder[i] = path[i];
        if (path[i] == '\\')
            cut = i;
    }
    folder[i] = 0;
    folder[cut > 0 && path[cut - 1] == ':' ? cut + 1 : cut] = 0; /* "C:\" keeps its backslash */
}
