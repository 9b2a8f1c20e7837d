/*
 * sim.h - the simulated PC, as tests see it.
 *
 * One Windows PC in memory: its version, registry, files, libraries,
 * message boxes, memory and restart requests, plus one fault-injection
 * switchboard that every simulated Win32 call consults. Tests build a PC
 * (by hand or from a scenario), run the uninstaller against it and then
 * inspect what it did. Everything here is process-wide; reset() starts a
 * fresh PC.
 */
#ifndef QZ_SIMPC_SIM_H
#define QZ_SIMPC_SIM_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "../common/platform_ops.h"

namespace sim {

/* ---- version ---------------------------------------------------------- */

struct Version {
    DWORD platform_id;
    DWORD major;
    DWORD minor;
    DWORD build;      /* as GetVersionExA reports it (98/Me: version in the high word) */
    const char *name; /* win95, win98, winme, nt40, win2k, winxp, win7, win10 */
};

/* The versions scenarios name, as Windows reports them. Null for an unknown name. */
const Version *version_named(const std::string &name);
bool is_win9x(const Version &v);

/* ---- registry ---------------------------------------------------------- */

struct RegValue {
    std::string name;
    DWORD type = REG_SZ;
    std::vector<uint8_t> data;
};

struct RegKey {
    std::string name;                            /* as created */
    std::vector<std::shared_ptr<RegKey>> subkeys; /* NT: case-insensitively sorted; 98/Me: as created */
    std::vector<RegValue> values;                /* in creation order */
    std::shared_ptr<RegKey> link;                /* a link such as CurrentControlSet */
    RegKey *parent = nullptr;
    bool deleted = false;
};

class Registry {
public:
    Registry();
    /* Paths are relative to HKEY_LOCAL_MACHINE, with or without a leading "HKLM\". */
    RegKey *find(const std::string &path) const;
    RegKey &create(const std::string &path);
    bool exists(const std::string &path) const { return find(path) != nullptr; }
    void set_string(const std::string &path, const std::string &name, const std::string &data);
    void set_multi_string(const std::string &path, const std::string &name,
                          const std::vector<std::string> &strings);
    void set_raw(const std::string &path, const std::string &name, DWORD type,
                 const std::vector<uint8_t> &data);
    void set_dword(const std::string &path, const std::string &name, DWORD data);
    const RegValue *value(const std::string &path, const std::string &name) const;
    bool remove(const std::string &path);
    /* Makes KEY a link to TARGET (both below HKLM), as CurrentControlSet is. */
    void link(const std::string &key, const std::string &target);

    /* A registry of its own with the same keys, values and links (a copy of
       this object would share the keys). `mapping`, when given, maps each
       key copied to its copy; keys it already maps are not copied again, so
       handles to the old keys can follow, even to keys outside the tree. */
    Registry clone(std::map<const RegKey *, std::shared_ptr<RegKey>> *mapping = nullptr) const;
    /* The same keys, values and links as `other` (by path), in the same order. */
    bool same_as(const Registry &other) const;

    /* Imports REGEDIT4 / Windows Registry Editor 5.00 text; returns false on a syntax error. */
    bool import_reg(const std::string &text, std::string *error = nullptr);
    /* One line per key and per value, sorted: the state to compare before and after a run. */
    std::set<std::string> snapshot() const;

    std::shared_ptr<RegKey> root; /* HKEY_LOCAL_MACHINE */
};

/* ---- files -------------------------------------------------------------- */

struct FileEntry {
    std::string path; /* as created */
    bool directory = false;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    bool in_use = false; /* open by another program: cannot be deleted */
    bool loaded = false; /* a driver image Windows runs: deleting it is refused with ERROR_ACCESS_DENIED */
    std::vector<uint8_t> data;
    /* A symbolic link (a reparse point): opening it reaches this path,
       unless the open asks for the link itself. */
    std::string reparse_target;
    /* Another name of the same file (a hard link): what is written through
       either name is the other's too. */
    std::string hard_link;
    /* Its owner and DACL in security descriptor text ("O:BAD:(A;;FA;;;SY)...",
       SID aliases SY BA BU AU WD CO or "S-1-..."; rights FA FR FW FX GA GR
       GW GX or 0x...; "D:NO_ACCESS_CONTROL" no DACL, as on a FAT volume).
       Empty: its folder's, up to the drive's, which administrators hold. */
    std::string security;
    /* Its Authenticode signature: "" none, "bad" one whose digest no
       longer matches the file, else the name of the signer's certificate. */
    std::string signer;
};

class FileSystem {
public:
    /* Paths are full Windows paths ("C:\WINDOWS\inf\oem3.inf"); names compare without case. */
    void add_dir(const std::string &path); /* with every missing parent */
    FileEntry &add_file(const std::string &path, const std::string &data = "",
                        DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
    FileEntry *find(const std::string &path);
    const FileEntry *find(const std::string &path) const;
    bool exists(const std::string &path) const { return find(path) != nullptr; }
    bool parent_exists(const std::string &path) const;
    bool remove(const std::string &path);
    std::set<std::string> snapshot() const; /* "file PATH attrs" and "dir PATH" lines */

    std::unordered_map<std::string, FileEntry> entries; /* key: upper-cased path; snapshot() sorts */
};

/* ---- libraries ------------------------------------------------------------ */

struct Library {
    std::string name; /* "setupapi", "advapi32", "kernel32", "user32" */
    bool present = true;
    std::map<std::string, FARPROC> exports;
    int load_count = 0;  /* references held through LoadLibraryA */
    HMODULE handle = nullptr;
};

/* ---- the driver store ------------------------------------------------------ */

/* A driver package published in the INF folder as `oem_name` ("oem3.inf"):
   its original INF name, its folder in the driver store (Windows Vista and
   later; empty before) and its catalog (empty when unsigned), full paths. */
struct DriverPackage {
    std::string oem_name;
    std::string original_name;
    std::string store_folder;
    std::string catalog;
};

/* ---- message boxes -------------------------------------------------------- */

struct Box {
    std::string caption; /* code page 932 bytes, as passed (MessageBoxA) or converted from UTF-16 */
    std::string text;
    bool wide = false;   /* shown with MessageBoxW, which passed these: */
    std::u16string wide_caption, wide_text;
    UINT style = 0;
    int answer = 0;
    std::string process; /* the image name of the program that showed it */
};

/* ---- fault injection -------------------------------------------------------- */

/*
 * A rule makes a simulated call fail. `function` names the Win32 function
 * ("RegOpenKeyExA"); `nth` picks its n-th call (1-based; 0 = every call);
 * `argument`, when not empty, must equal the call's main argument (a path,
 * a key path, a library or function name) without regard to case. The call
 * then fails the way that function fails, with `error`. RegDeleteKeyA with
 * error 0 reports success and deletes nothing: a deletion that is lost.
 */
struct FaultRule {
    std::string function;
    int nth = 0;
    std::string argument;
    DWORD error = ERROR_ACCESS_DENIED;
    int fired = 0;
};

/* An "error" for fail_call_index: the deletion is lost, yet reported done. */
const DWORD LOST_WRITE = 0xFFFFFFFE;

struct CallRecord {
    std::string function;
    std::string argument;
};

/* Thrown by a test's Faults::on_call: the process ends there, at once. */
struct ProcessEnded {};

class Faults {
public:
    void fail(const std::string &function, DWORD error, int nth = 0, const std::string &argument = "");
    /* Fails the k-th simulated call of the whole run (1-based), whatever it is,
       with `error` (0: the error typical of that function; LOST_WRITE: a
       RegDeleteKeyA that reports success and deletes nothing). */
    void fail_call_index(long k, DWORD error = 0)
    {
        fail_index_ = k;
        fail_index_error_ = error;
    }
    /* Called by every simulated function on entry; returns the error to fail with. */
    std::optional<DWORD> check(const char *function, const std::string &argument);
    /* Called instead by a function that cannot fail (SetupCloseInfFile):
       the call is recorded, and no rule or call index makes it fail. */
    void note(const char *function, const std::string &argument);
    /* Called by a function that refuses the current call by the PC's own
       rules (a standard user's rights, WOW64): a fault injected there
       would change nothing, so the fault sweep passes such calls over. */
    void refused() { refused_calls.insert((long)calls.size()); }
    std::set<long> refused_calls; /* 1-based indexes of the calls refused so */
    int fired() const;

    /* Off: while no rule and no call index is armed, check() returns at once,
       recording nothing in `calls` and `counts`. For the fuzzers, which make
       hundreds of calls per input and read neither. Arming a fault records
       again, since `nth` and the call index count on the record: from the
       calls made since then. */
    bool recording = true;
    /* Whether check() looks at its arguments at all; a caller may skip
       building one that costs (a registry key's full path) when not. */
    bool uses_arguments() const { return recording || !rules.empty() || fail_index_ > 0 || on_call != nullptr; }

    /* Called at every recorded call, with its 1-based index and function: a
       test may change the PC there (a file swapped under the program), or
       end the process (throw ProcessEnded), as a deployment tool does whose
       time-out passed. */
    std::function<void(long index, const char *function)> on_call;

    std::vector<FaultRule> rules;
    std::vector<CallRecord> calls; /* every simulated call, in order */
    /* Past this many calls every call fails (ERROR_NOT_ENOUGH_QUOTA): a run
       that never ends is a fault to report, not a test that hangs. */
    long call_limit = 1000000;
    std::map<std::string, int> counts;
    long fail_index_ = 0;
    DWORD fail_index_error_ = 0;
    std::optional<CallRecord> index_fault; /* the call that fail_call_index made fail */
    /* When set, the first call of this function after the call index's
       fault fails too, with its typical error: the cleanup of a failure
       that fails in turn. */
    std::string follow_up;
    bool follow_up_fired = false;
    std::vector<void *> index_fault_stack; /* its return addresses, innermost first */
    DWORD index_error = 0;
};

/* The error an injected failure of `function` uses when the test did not choose one. */
DWORD typical_error(const std::string &function);

/* ---- the PC ---------------------------------------------------------------------- */

struct Pc {
    Version version{};
    bool version_fails = false;
    std::string windows_dir;
    std::string system_dir;
    std::string command_line;
    /* The system code page: what the A functions' paths and texts are in
       (932 Japanese, 936 Simplified Chinese, 949 Korean, 1252 Western). */
    UINT code_page = 932;
    std::u16string command_line_w; /* GetCommandLineW's copy */

    Registry registry;
    FileSystem files;
    std::map<std::string, Library> libraries; /* key: lower-case name */

    std::vector<Box> boxes;
    std::deque<int> answers;  /* for boxes with a Cancel button, in order */
    /* Runs once while the next box is shown (another copy of the program
       started meanwhile, say), then is cleared. */
    std::function<void()> while_next_box;
    int unscripted_boxes = 0; /* OK/Cancel boxes shown with no answer left */

    std::map<void *, size_t> local_blocks; /* LocalAlloc'd blocks not yet freed */
    struct KeyHandle {
        std::shared_ptr<RegKey> key;
        REGSAM access;          /* what it was opened for */
        bool link_itself = false; /* opened with REG_OPTION_OPEN_LINK: a link stays a link */
    };
    std::map<uintptr_t, KeyHandle> key_handles; /* registry handles not yet closed */
    /* The user running the program: an administrator, or (false) a standard
       user who may only read below HKEY_LOCAL_MACHINE and the Windows folder
       (NT family; Windows 98/Me have no security). */
    bool administrator = true;
    /* The account the process's token names (TokenUser): an administrator's
       own account; "S-1-5-18" SYSTEM (run_as_system). */
    std::string user_sid = "S-1-5-21-1004336348-1177238915-682003330-500";
    /* Accounts LookupAccountSidW knows beyond the well-known ones: SID -> DOMAIN\name. */
    std::map<std::string, std::string> accounts;
    std::set<char> network_drives; /* drive letters mapped to a share ('Z') */
    /* WinVerifyTrust states not yet closed: state handle -> the signer's certificate. */
    std::map<uintptr_t, std::string> trust_states;
    std::vector<std::string> trace;        /* library loads/frees, the restart and its token calls */
    /* The process's library search (SetDefaultDllDirectories flags; SetDllDirectoryA
       called) and the full paths of libraries that system libraries loaded by bare
       name (uxtheme for a box): a copy in the program's folder comes first unless
       the search is narrowed to the system folder. */
    DWORD default_dll_directories = 0;
    bool dll_directory_set = false;
    std::vector<std::string> loaded_by_bare_name;
    bool restart_requested = false;
    UINT restart_flags = 0;

    Faults faults;
    DWORD last_error = 0;
    int flushes = 0; /* FlushFileBuffers calls that succeeded */

    /* The program's own process and the programs it starts. */
    std::string module_path = "C:\\Program Files\\Pelto\\QZUninst.exe";
    std::string process_name = "QZUninst.exe"; /* the image name of the running program */
    bool windows64 = false; /* 64-bit Windows: a SysWOW64 folder for 32-bit programs */
    bool wow64 = false;     /* the running program is 32-bit on 64-bit Windows */
    struct Started {
        std::string application;
        std::string command_line;
    };
    std::vector<Started> started;  /* CreateProcessA/W calls that started a program (in the code page) */
    DWORD child_exit_code = 0;      /* what a started program ends with, unless child_program runs it */
    bool child_runs_on = false;     /* a started program does not end within any wait for it */
    /* Runs a started program to its end and returns its exit code (the
       tests run the uninstaller itself as the 64-bit program); unset: the
       program ends at once with child_exit_code. */
    std::function<DWORD(const std::string &application, const std::string &command_line)> child_program;
    /* Kernel object handles not yet closed: handle -> "token", "process",
       "thread", "mutex", "file". */
    std::map<uintptr_t, std::string> kernel_handles;
    std::map<uintptr_t, DWORD> process_exit_codes; /* process handle -> exit code */
    struct OpenFile {
        std::string path;
        size_t position = 0;
        DWORD access = 0; /* GENERIC_READ, GENERIC_WRITE, FILE_READ_DATA, FILE_APPEND_DATA, DELETE */
        DWORD share = 0;  /* FILE_SHARE_READ, _WRITE, _DELETE: what later opens may do */
        bool append_only = false; /* FILE_APPEND_DATA without GENERIC_WRITE: every write at the end */
    };
    std::map<uintptr_t, OpenFile> open_files; /* file handle -> file */
    struct Search {
        std::vector<std::string> paths; /* what FindFirstFileA matched, in the order given */
        size_t next = 0;
    };
    std::map<uintptr_t, Search> searches; /* FindFirstFileA handle -> its search */

    /* Named mutexes, by folded name. A test makes one held by another
       process (a second copy of the program, a service) or refuses it
       (created by another user whose security shuts us out). */
    struct Mutex {
        int handles = 0;             /* handles the program holds to it */
        bool owned = false;          /* this program owns it */
        bool held_elsewhere = false; /* another process owns it and keeps it */
        bool abandoned = false;      /* its owner ended without releasing it */
        bool access_denied = false;  /* made by another account: CreateMutexA (all access) is refused */
        bool wait_denied = false;    /* ... and it grants not even waiting: OpenMutexA is refused too */
        /* Its owner: "BA" Administrators (a copy of the program made it), "SY"
           SYSTEM, or "user" a standard user's own account. */
        std::string owner = "BA";
        bool program_security = false; /* made with the program's security: others may only wait */
        bool not_a_mutex = false;      /* an event of that name: the mutex calls fail ERROR_INVALID_HANDLE */
        bool exists() const
        {
            return handles > 0 || held_elsewhere || abandoned || access_denied || wait_denied || not_a_mutex;
        }
    };
    std::map<std::string, Mutex> mutexes;
    /* Private namespaces (Windows Vista on), by boundary: its folded name and
       SIDs ("PELTOQZUNINST|S-1-5-32-544"). A mutex in one is kept in
       `mutexes` as "<boundary>\\<its name>". Only a token holding every
       SID of the boundary may make or open one (an administrator, SYSTEM). */
    struct Namespace {
        int handles = 0;             /* the program's handles */
        bool held_elsewhere = false; /* another process keeps it open */
    };
    std::map<std::string, Namespace> namespaces;
    std::map<uintptr_t, std::string> boundaries;       /* boundary descriptor -> its key so far */
    std::map<std::string, std::string> namespace_aliases; /* folded alias -> boundary key */
    std::map<uintptr_t, std::string> namespace_handles;   /* namespace handle -> boundary key */
    std::map<uintptr_t, std::string> mutex_handles; /* handle -> folded name */
    DWORD waited_ms = 0; /* time spent waiting for mutexes held elsewhere */

    std::string temp_dir;                 /* GetTempPathA, without its final backslash */
    std::string temp_dir2;                /* GetTempPath2A (where Windows has it); empty: temp_dir */
    SYSTEMTIME local_time = {2026, 12, 2, 8, 10, 0, 0, 0};

    std::vector<DriverPackage> driver_packages;

    /* Devices started and open (folded instance key paths): DIF_REMOVE
       removes one and sets DI_NEEDREBOOT in its install parameters, since
       Windows finishes the removal at the restart. */
    std::set<std::string> devices_in_use;
    DWORD in_use_flag = DI_NEEDREBOOT; /* or DI_NEEDRESTART, which a class installer may set instead */
    std::map<uintptr_t, std::map<DWORD, DWORD>> install_flags; /* set -> DevInst -> Flags */
    /* Windows' devnode handles (SP_DEVINFO_DATA.DevInst) outlive a set:
       DevInst - 1 indexes this list of folded instance key paths */
    std::vector<std::string> devnodes;
    /* devices that are present, by folded instance key: their DN_ status
       and problem, as CM_Get_DevNode_Status gives them (devices in use
       are present and started without an entry) */
    std::map<std::string, std::pair<DWORD, DWORD>> devnode_status;

    /* Where and as whom the program runs: the log's head, and whether anyone
       can see a box (a service, or SYSTEM in session 0, cannot). */
    std::string computer_name = "PELTO-PC01";
    std::string user_name = "admin";
    DWORD session_id = 1;
    DWORD process_id = 2400;
    bool elevated = true;        /* the token's elevation (Windows Vista and later) */
    bool station_visible = true; /* the process's window station is the visible one */
    std::map<std::string, std::string> environment; /* the process's variables, by folded name */

    /* Setup API state (device information sets, INF handles). */
    std::map<uintptr_t, std::vector<std::string>> device_sets; /* handle -> instance key paths */
    std::map<uintptr_t, std::string> inf_handles;            /* handle -> file path (open INF files) */
    std::map<uintptr_t, std::string> inf_texts;              /* handle -> the file's bytes when opened */
    uintptr_t next_handle = 0x1000;
};

Pc &pc();
/* A fresh PC of this version: standard directories, libraries and registry roots. */
void reset(const Version &version);
void reset(const std::string &version_name);

/* The PC as it stands, registry and open key handles included, as a copy
   of its own; restore() makes the PC that again. A PC built once and
   restored for every run starts each run from the same state, faster than
   reset() and setting up anew (the fuzzers do so for every input). Local
   blocks belong to the run: an image holds none and restore() frees them.
   The image is only borrowed: restore() leaves it as it found it. */
Pc image();
void restore(Pc &image);

bool family_9x();
/* The files MoveFileExA has set to be deleted at the next restart, as
   PendingFileRenameOperations lists them (full paths). */
std::vector<std::string> files_deleted_at_restart();
/* Appends a move to PendingFileRenameOperations as MoveFileExA with
   MOVEFILE_DELAY_UNTIL_REBOOT writes it (`to` empty: a deletion). */
void append_pending_move(const std::string &from, const std::string &to);
std::string format_system_error(DWORD code); /* the text FormatMessageA gives, or "" */

/* Makes the program run as SYSTEM in session 0, as a deployment tool or
   a startup script starts it: no visible window station, and the
   temporary folders Windows gives SYSTEM. */
void run_as_system();

/* A security identifier from its text ("S-1-5-18" or an alias such as "BA"),
   in Windows' binary layout; empty when the text is none. */
std::vector<uint8_t> sid_from_text(const std::string &text);
/* A security identifier in Windows' binary layout as text ("S-1-5-32-544"). */
std::string sid_text(const uint8_t *sid);

/* Moves the PC's clock on (a wait takes its time). */
void advance_clock(DWORD milliseconds);

/* Expands %WINDIR% and %SYSDIR% in a path of a scenario. */
std::string expand(const std::string &path);

/* The library table entries the simulated system DLLs export (libraries.cpp). */
void install_default_libraries();

/* Internal: a system library loads `file` ("uxtheme.dll") by its bare name,
   as Windows searches for it; the path it came from goes to
   Pc::loaded_by_bare_name. */
void load_by_bare_name(const std::string &file);

/* Internal: gives `text` out as the setup API does: *required (when given)
   the size with its NUL; TRUE when it fits in `size` bytes of buffer, else
   FALSE with ERROR_INSUFFICIENT_BUFFER. */
BOOL give_text(const std::string &text, PSTR buffer, DWORD size, PDWORD required);

/* Internal: asks the switchboard about a call of `function` on `argument`;
   true when it is to fail, its error then set as the last error. */
bool fails(const char *function, const std::string &argument);

/* Internal: a LocalAlloc block made by the system itself (no fault check),
   zero-filled or filled with a non-zero pattern. */
void *system_local_alloc(size_t bytes, bool zero);

/* Internal: handle numbers shared by the registry and setup API. */
uintptr_t new_handle();

/* Internal: a new kernel object handle of this kind, held until CloseHandle. */
HANDLE new_kernel_handle(const std::string &kind);

/* Internal: the NTSTATUS that ntdll gives for a Win32 error (the reverse of RtlNtStatusToDosError). */
LONG status_of_error(DWORD error);

/* Internal: the path a file call of the running program reaches: on 64-bit
   Windows a 32-bit program's <system32> is its SysWOW64 folder. */
std::string redirected(const std::string &path);

/* Internal: drops the INF reader's copy of the last file it parsed (restore()
   does, so that a fuzz input frees what it allocated). */
void forget_parsed_inf();

} // namespace sim

#endif
