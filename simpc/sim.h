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
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "../shell/platform_ops.h"

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
    std::vector<std::shared_ptr<RegKey>> subkeys; /* case-insensitively sorted */
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
    std::vector<uint8_t> data;
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

/* ---- message boxes -------------------------------------------------------- */

struct Box {
    std::string caption; /* code page 932 bytes, as passed */
    std::string text;
    UINT style = 0;
    int answer = 0;
};

/* ---- fault injection -------------------------------------------------------- */

/*
 * A rule makes a simulated call fail. `function` names the Win32 function
 * ("RegOpenKeyExA"); `nth` picks its n-th call (1-based; 0 = every call);
 * `argument`, when not empty, must equal the call's main argument (a path,
 * a key path, a library or function name) without regard to case. The call
 * then fails the way that function fails, with `error`.
 */
struct FaultRule {
    std::string function;
    int nth = 0;
    std::string argument;
    DWORD error = ERROR_ACCESS_DENIED;
    int fired = 0;
};

struct CallRecord {
    std::string function;
    std::string argument;
};

class Faults {
public:
    void fail(const std::string &function, DWORD error, int nth = 0, const std::string &argument = "");
    /* Fails the k-th simulated call of the whole run (1-based), whatever it is,
       with `error` (0: the error typical of that function). */
    void fail_call_index(long k, DWORD error = 0)
    {
        fail_index_ = k;
        fail_index_error_ = error;
    }
    /* Called by every simulated function on entry; returns the error to fail with. */
    std::optional<DWORD> check(const char *function, const std::string &argument);
    int fired() const;

    /* Off: while no rule and no call index is armed, check() returns at once,
       recording nothing in `calls` and `counts`. For the fuzzers, which make
       hundreds of calls per input and read neither. Arming a fault records
       again, since `nth` and the call index count on the record: from the
       calls made since then. */
    bool recording = true;
    /* Whether check() looks at its arguments at all; a caller may skip
       building one that costs (a registry key's full path) when not. */
    bool uses_arguments() const { return recording || !rules.empty() || fail_index_ > 0; }

    std::vector<FaultRule> rules;
    std::vector<CallRecord> calls; /* every simulated call, in order */
    std::map<std::string, int> counts;
    long fail_index_ = 0;
    DWORD fail_index_error_ = 0;
    std::optional<CallRecord> index_fault; /* the call that fail_call_index made fail */
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

    Registry registry;
    FileSystem files;
    std::map<std::string, Library> libraries; /* key: lower-case name */

    std::vector<Box> boxes;
    std::deque<int> answers;  /* for boxes with a Cancel button, in order */
    int unscripted_boxes = 0; /* OK/Cancel boxes shown with no answer left */

    std::map<void *, size_t> local_blocks; /* LocalAlloc'd blocks not yet freed */
    std::map<uintptr_t, std::shared_ptr<RegKey>> key_handles; /* registry handles not yet closed */
    std::vector<std::string> trace;        /* library loads/frees, token and restart calls */
    bool restart_requested = false;
    UINT restart_flags = 0;

    Faults faults;
    DWORD last_error = 0;

    /* The program's own process and the programs it starts. */
    std::string module_path = "C:\\Program Files\\Pelto\\QZUninst.exe";
    bool wow64 = false; /* a 32-bit program on 64-bit Windows */
    struct Started {
        std::string application;
        std::string command_line;
    };
    std::vector<Started> started;  /* CreateProcessA calls that started a program */
    DWORD child_exit_code = 0;      /* what a started program ends with */
    int open_process_handles = 0;

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
std::string format_system_error(DWORD code); /* the text FormatMessageA gives, or "" */

/* Expands %WINDIR% and %SYSDIR% in a path of a scenario. */
std::string expand(const std::string &path);

/* The library table entries the simulated system DLLs export (libraries.cpp). */
void install_default_libraries();

/* Internal: a LocalAlloc block made by the system itself (no fault check). */
void *system_local_alloc(size_t bytes);

/* Internal: handle numbers shared by the registry and setup API. */
uintptr_t new_handle();

/* Internal: drops the INF reader's copy of the last file it parsed (restore()
   does, so that a fuzz input frees what it allocated). */
void forget_parsed_inf();

} // namespace sim

#endif
