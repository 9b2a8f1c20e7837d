/*
 * run_lock.cpp - the run lock (run_lock.h): taken before anything is
 * asked or changed, given back on every path.
 *
 * On the NT family the lock is made with a security of its own: SYSTEM
 * and Administrators may do anything with it, everyone else only wait for
 * it; and it belongs to Administrators. Every copy run by an administrator
 * or by SYSTEM can so open the lock another one made, for waiting and for
 * reading its owner. An object of the lock's name that does not belong to
 * SYSTEM or Administrators, that shuts them out, or that is no mutex was
 * made by someone else (any user may make one of that name first): it is
 * logged and not taken for a running copy, and the run goes on without
 * the lock. Where Windows has private namespaces (Vista on), the lock
 * lives in one whose boundary holds the Administrators SID: only a process
 * whose token holds that group (an elevated administrator, SYSTEM) can
 * make or open the namespace, so no standard user can make an object of
 * the lock's name in it first. A run that cannot have the namespace (a
 * standard user, or a Windows without it) uses the global name as
 * before. Windows 98/Me have no security: the lock is made by name.
 */
#include "run_lock.h"
#include "uninstaller.h"
#include "../common/error_report.h"
#include "../common/message_box.h"
#include "../common/system_functions.h"
#include "../common/texts.h"
#include "../common/run_log.h"
#include "../common/text_buffers.h"

#define QUIET_WAIT_MS 10000 /* a deployment's retry may start while its first run still ends */
#define WAIT_ACCESS (SYNCHRONIZE | READ_CONTROL) /* to wait, and to read its owner */

/* The lock's security, with and without its owner: a standard user may
   not give Administrators an object, and makes the lock without. */
static const char lock_security[] = "O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;WD)";
static const char lock_security_unowned[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;WD)";

/* The owners a lock of this program has: SYSTEM (S-1-5-18) and
   Administrators (S-1-5-32-544), as security identifiers in bytes. */
static const BYTE system_sid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
static const BYTE administrators_sid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};


typedef HANDLE(WINAPI *CreateBoundaryDescriptorW_fn)(LPCWSTR, ULONG);
typedef BOOL(WINAPI *AddSIDToBoundaryDescriptor_fn)(HANDLE *, PSID);
typedef void(WINAPI *DeleteBoundaryDescriptor_fn)(HANDLE);
typedef HANDLE(WINAPI *CreatePrivateNamespaceW_fn)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
typedef HANDLE(WINAPI *OpenPrivateNamespaceW_fn)(LPVOID, LPCWSTR);
typedef BOOLEAN(WINAPI *ClosePrivateNamespace_fn)(HANDLE, ULONG);

/* Tells that another copy holds the lock: a box, or in a quiet run the
   log; and in the log whether it was waited for. */
static void report_lock_busy(void)
{
    show_message(text_uninstaller_caption, text_already_running, MB_OK | MB_ICONERROR);
    if (run.quiet_run)
        log_text(text_log_lock_timeout);
}

/* Opens the lock for waiting; null when Windows cannot or will not (then
   it is made, or found closed to this account, by take_run_lock). */
static HANDLE open_for_waiting(const char *name)
{
    OpenMutexA_fn open_mutex = SYSTEM_FUNCTION(OpenMutexA, "kernel32");
    DWORD access = run.platform_mode == PLATFORM_NT ? WAIT_ACCESS : SYNCHRONIZE | MUTEX_MODIFY_STATE;
    return open_mutex != NULL ? open_mutex(access, FALSE, name) : NULL;
}

/* 1 when the security identifier is that of `known` (its size in bytes). */
static int sid_is(const BYTE *sid, const BYTE *known, int size)
{
    for (int i = 0; i < size; ++i)
        if (sid[i] != known[i])
            return 0;
    return 1;
}

/* 1 when the open lock belongs to SYSTEM or Administrators, as every lock
   of this program on the NT family does; 0 when it belongs to another
   account. 1 where Windows cannot tell (no GetSecurityInfo, or it fails on
   a lock that let this run read its owner): the lock is taken as it always
   was, rather than run beside a copy that may hold it. */
static int lock_owned_by_administrators(HANDLE lock)
{
    GetSecurityInfo_fn get_security = SYSTEM_FUNCTION(GetSecurityInfo, "advapi32");
    if (get_security == NULL)
        return 1;
    PSID owner = NULL;
    PSECURITY_DESCRIPTOR security = NULL;
    if (get_security(lock, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL, &security) !=
        ERROR_SUCCESS)
        return 1;
    const BYTE *sid = (const BYTE *)owner;
    int ours = sid != NULL && ((sid[1] == 1 && sid_is(sid, system_sid, sizeof system_sid)) ||
                               (sid[1] == 2 && sid_is(sid, administrators_sid, sizeof administrators_sid)));
    LocalFree(security);
    return ours;
}

/* Makes the lock with the program's security where Windows has security
   descriptors in text (Windows 2000 on), else with the default one. Null
   with the last error of CreateMutexA when it is refused. */
static HANDLE make_lock(const char *name)
{
    ConvertStringSecurityDescriptorToSecurityDescriptorA_fn convert =
        SYSTEM_FUNCTION(ConvertStringSecurityDescriptorToSecurityDescriptorA, "advapi32");
    if (run.platform_mode != PLATFORM_NT || convert == NULL)
        return CreateMutexA(NULL, FALSE, name);
    HANDLE lock = NULL;
    for (int owned = 1; owned >= 0; --owned) {
        SECURITY_ATTRIBUTES attributes;
        zero_bytes(&attributes, sizeof attributes);
        attributes.nLength = sizeof attributes;
        if (!convert(owned ? lock_security : lock_security_unowned, SDDL_REVISION_1,
                     &attributes.lpSecurityDescriptor, NULL))
            return CreateMutexA(NULL, FALSE, name);
        lock = CreateMutexA(&attributes, FALSE, name);
        DWORD error = GetLastError();
        LocalFree(attributes.lpSecurityDescriptor);
        SetLastError(error); /* ERROR_ALREADY_EXISTS tells an existing lock */
        if (lock != NULL || error != ERROR_INVALID_OWNER)
            break;
    }
    return lock;
}

/* Gives back the namespace and its boundary, where the run has them. */
static void leave_lock_namespace(void)
{
    LockNamespace &lock = run.lock_namespace;
    if (lock.space != NULL && lock.close_namespace != NULL) /* not destroyed: another copy may wait in it */
        BOUND_AS(ClosePrivateNamespace_fn, lock.close_namespace)(lock.space, 0);
    if (lock.boundary != NULL && lock.delete_boundary != NULL)
        BOUND_AS(DeleteBoundaryDescriptor_fn, lock.delete_boundary)(lock.boundary);
    lock.space = lock.boundary = NULL;
}

/* Makes, or opens when another copy made it, the private namespace whose
   boundary holds the Administrators SID, with the lock's security.
   1 when the run has it (the lock is then named RUN_LOCK_NAME_PRIVATE);
   0 where Windows lacks namespaces or refuses this account one: the lock
   is then named globally, as on Windows XP. */
static int enter_lock_namespace(void)
{
    CreateBoundaryDescriptorW_fn create_boundary = SYSTEM_FUNCTION(CreateBoundaryDescriptorW, "kernel32");
    AddSIDToBoundaryDescriptor_fn add_sid = SYSTEM_FUNCTION(AddSIDToBoundaryDescriptor, "kernel32");
    CreatePrivateNamespaceW_fn create_namespace = SYSTEM_FUNCTION(CreatePrivateNamespaceW, "kernel32");
    OpenPrivateNamespaceW_fn open_namespace = SYSTEM_FUNCTION(OpenPrivateNamespaceW, "kernel32");
    ConvertStringSecurityDescriptorToSecurityDescriptorA_fn convert =
        SYSTEM_FUNCTION(ConvertStringSecurityDescriptorToSecurityDescriptorA, "advapi32");
    static const WCHAR boundary_name[] = {'P', 'e', 'l', 't', 'o', 'Q', 'Z', 'U', 'n', 'i', 'n', 's', 't', 0};
    static const WCHAR alias[] = {'P', 'e', 'l', 't', 'o', 'Q', 'Z', 0};
    BYTE administrators[sizeof administrators_sid];
    SECURITY_ATTRIBUTES attributes;
    run.lock_namespace.close_namespace = system_function("kernel32", "ClosePrivateNamespace");
    run.lock_namespace.delete_boundary = system_function("kernel32", "DeleteBoundaryDescriptor");
    if (create_boundary == NULL || add_sid == NULL || create_namespace == NULL || open_namespace == NULL ||
        convert == NULL || run.lock_namespace.close_namespace == NULL || run.lock_namespace.delete_boundary == NULL)
        return 0;
    for (int i = 0; i < (int)sizeof administrators; ++i)
        administrators[i] = administrators_sid[i];
    run.lock_namespace.boundary = create_boundary(boundary_name, 0);
    if (run.lock_namespace.boundary == NULL)
        return 0;
    if (!add_sid(&run.lock_namespace.boundary, (PSID)administrators)) {
        leave_lock_namespace();
        return 0;
    }
    zero_bytes(&attributes, sizeof attributes);
    attributes.nLength = sizeof attributes;
    if (!convert(lock_security, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, NULL)) {
        leave_lock_namespace();
        return 0;
    }
    run.lock_namespace.space = create_namespace(&attributes, run.lock_namespace.boundary, alias);
    if (run.lock_namespace.space == NULL && GetLastError() == ERROR_ALREADY_EXISTS)
        run.lock_namespace.space = open_namespace(run.lock_namespace.boundary, alias); /* another copy made it */
    LocalFree(attributes.lpSecurityDescriptor);
    if (run.lock_namespace.space == NULL) {
        leave_lock_namespace(); /* not in the boundary: a standard user */
        return 0;
    }
    return 1;
}

/* The end of a lock that is not this program's: logged, the run goes on
   without one. Returns LOCK_TAKEN. */
static int run_without_lock(const char *why)
{
    if (run.run_lock != NULL)
        CloseHandle(run.run_lock);
    run.run_lock = NULL;
    leave_lock_namespace();
    log_text(why);
    return LOCK_TAKEN;
}

int take_run_lock(void)
{
    const char *name = run.platform_mode != PLATFORM_NT ? RUN_LOCK_NAME
                       : enter_lock_namespace()    ? RUN_LOCK_NAME_PRIVATE
                                                   : RUN_LOCK_NAME_NT;
    int existed = 1;
    run.run_lock = open_for_waiting(name);
    if (run.run_lock == NULL) {
        run.run_lock = make_lock(name);
        existed = run.run_lock != NULL && GetLastError() == ERROR_ALREADY_EXISTS;
    }
    if (run.run_lock == NULL) {
        DWORD error = GetLastError();
        if (run.platform_mode == PLATFORM_NT && error == ERROR_INVALID_HANDLE)
            return run_without_lock(text_log_lock_not_mutex); /* an event or the like of that name */
        if (error != ERROR_ACCESS_DENIED) {
            report_failure(caption_create_mutex, error, name, NULL);
            leave_lock_namespace();
            return LOCK_FAILED;
        }
        /* made meanwhile by another copy: wait for that one */
        run.run_lock = open_for_waiting(name);
        if (run.run_lock == NULL)
            return run_without_lock(text_log_lock_not_ours); /* it shuts out administrators: not ours */
    }
    if (existed && run.platform_mode == PLATFORM_NT && !lock_owned_by_administrators(run.run_lock))
        return run_without_lock(text_log_lock_not_ours);
    DWORD waited = WaitForSingleObject(run.run_lock, run.quiet_run ? QUIET_WAIT_MS : 0);
    if (waited == WAIT_OBJECT_0)
        return LOCK_TAKEN;
    if (waited == WAIT_ABANDONED) {
        log_text(text_log_lock_abandoned); /* its last owner ended without giving it back */
        return LOCK_TAKEN;
    }
    if (waited == WAIT_TIMEOUT)
        report_lock_busy();
    else
        report_failure(caption_wait_for_single_object, GetLastError(), name, NULL);
    CloseHandle(run.run_lock);
    run.run_lock = NULL;
    leave_lock_namespace();
    return waited == WAIT_TIMEOUT ? LOCK_BUSY : LOCK_FAILED;
}

void release_run_lock(void)
{
    if (run.run_lock != NULL) {
        ReleaseMutex(run.run_lock);
        CloseHandle(run.run_lock);
        run.run_lock = NULL;
    }
    leave_lock_namespace();
}
