/*
 * nt_steps.h - what the steps of the NT-family removal share: the product
 * and file tables, the removal status, the class INF name, the run-time
 * binding of the platform functions, and each step's entry point.
 */
#ifndef QZ_NT_STEPS_H
#define QZ_NT_STEPS_H

#include "../common/platform_ops.h"
#include "../common/library_binding.h"
#include "../common/text_buffers.h"
#include "../common/file_removal.h"
#include "../common/status_values.h"
#include "nt_removal.h"

/* ---- products ------------------------------------------------------------ */

/* One product of the series. */
struct NtProductRecord {
    char display_name[DISPLAY_NAME_BYTES];
    char hardware_id[MAX_PATH_BYTES];  /* the device's USB hardware ID */
    char service_name[MAX_PATH_BYTES]; /* the Windows service key of its driver */
};

#define NT_PRODUCT_COUNT 2
extern const NtProductRecord nt_product_table[NT_PRODUCT_COUNT];

/* The driver files of one product; an empty name is a row without a file. */
#define CURRENT_FILE_ROWS 10
#define LEGACY_FILE_ROWS 30
struct NtFileTable {
    char current_files[CURRENT_FILE_ROWS][MAX_PATH_BYTES]; /* its Windows 2000 package */
    char legacy_files[LEGACY_FILE_ROWS][MAX_PATH_BYTES];   /* its Windows 98/Me package */
};
extern const NtFileTable nt_file_table[NT_PRODUCT_COUNT];

/* ---- functions bound at run time --------------------------------------------- */

/* The steps call the functions below through this table; a few go
   straight to the imported function (common/library_binding.h says which). */

/* The libraries and functions the steps call; a module handle stays null
   until its library is bound completely. */
struct NtBinding {
    HMODULE setupapi;
    SetupDiGetClassDevsA_fn SetupDiGetClassDevsA;
    SetupDiEnumDeviceInfo_fn SetupDiEnumDeviceInfo;
    SetupDiGetDeviceRegistryPropertyA_fn SetupDiGetDeviceRegistryPropertyA;
    SetupDiCallClassInstaller_fn SetupDiCallClassInstaller;
    SetupDiGetDeviceInstallParamsA_fn SetupDiGetDeviceInstallParamsA;
    SetupDiGetDeviceInstanceIdA_fn SetupDiGetDeviceInstanceIdA;
    SetupDiDestroyDeviceInfoList_fn SetupDiDestroyDeviceInfoList;
    SetupOpenInfFileA_fn SetupOpenInfFileA;
    SetupGetLineTextA_fn SetupGetLineTextA;
    SetupCloseInfFile_fn SetupCloseInfFile;
    SetupUninstallOEMInfA_fn SetupUninstallOEMInfA; /* optional: null where Windows lacks it (2000) */
    SetupGetInfDriverStoreLocationA_fn SetupGetInfDriverStoreLocationA; /* optional: Windows Vista and later */
    CM_Get_DevNode_Status_fn CM_Get_DevNode_Status; /* optional: null where the library lacks it */

    HMODULE advapi32;
    RegistryFunctions registry; /* the first five: no RegDeleteValueA */

    HMODULE kernel32;
    FileFunctions files; /* GetWindowsDirectoryA, GetSystemDirectoryA, SetFileAttributesA, DeleteFileA */
};

/* The NT-family removal's mutable state, zero at process start
   (reset_nt_run_record, nt_removal.h). */
struct NtRunRecord {
    NtRemovalStatus nt_removal_status[NT_PRODUCT_COUNT]; /* what each step did, by product */
    /* The INF file Windows copied for the product's modem ("oem3.inf"),
       found under the Modem class key; empty when none was found. It
       carries over from product 0's pass to product 1's, as the file step
       left it. */
    char class_inf_name[MAX_PATH_BYTES];
    NtBinding nt_binding;
};
extern NtRunRecord nt_run;

int bind_nt_functions(void);
int bind_setupapi_functions(void);
int bind_advapi32_functions(void);
int bind_kernel32_functions(void);
int release_nt_functions(void);

/* ---- the steps, each given a product index ------------------------------------ */

void find_class_inf_name(int index);
void carry_class_inf_name_over(void);
void scan_driver_keys(int index, HKEY class_key);
int driver_key_inf_path(const char *driver, char *inf_name);

int remove_product_devices(int index, int *restart_reasons);
void read_instance_id(int index, HDEVINFO set, PSP_DEVINFO_DATA device, char *id);

/* Every device instance on record, present or not (device_removal.cpp):
   begin_device_walk builds the set (0 after a "SetupDiGetClassDevs()"
   box); next_device takes the next device that has hardware IDs into
   walk->device and sets matches[i] for each product whose ID they hold,
   and returns 1; 0 at the end, or after an "Unknown" box (walk->failed).
   end_device_walk destroys the set. */
struct DeviceWalk {
    HDEVINFO set;
    SP_DEVINFO_DATA device;
    DWORD member;
    int failed;
};
int begin_device_walk(DeviceWalk *walk);
int next_device(DeviceWalk *walk, int matches[NT_PRODUCT_COUNT]);
void end_device_walk(DeviceWalk *walk);
char *read_hardware_ids(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD *byte_count);
int hardware_id_matches(int index, const char *list, DWORD size);
int hardware_id_names_product(int index, const char *id);

int remove_service_keys(int index);

/* Both products share their service: it goes with product 1's pass. */
#define SERVICE_PRODUCT 1

/* The control sets the service step visits (service_keys.cpp): the current
   one, then every ControlSetNNN subkey of SYSTEM (three decimal digits), in
   ascending order whatever gaps lie between them; one whose "Services" key
   is not there is passed over. next_services_key opens the next one's
   "Services" key (KEY_READ) into *services_key, its path in walk->path, and
   returns 1; 0 at the end, or after a "RegOpenKeyEx()" box for a key that
   is there but refused, or for SYSTEM's subkeys that cannot be read
   (walk->failed, the walk ends). end_services_key flushes and closes it: 1,
   or 0 after a "RegCloseKey()" box (walk->failed, the walk ends). */
#define LAST_CONTROL_SET 999
#define WALK_NOT_BEGUN -2
#define WALK_CURRENT_SET -1
struct ControlSetWalk {
    int number;                /* WALK_NOT_BEGUN, WALK_CURRENT_SET, then the numbered set visited last */
    char path[MAX_PATH_BYTES]; /* "SYSTEM\ControlSet001\Services\" */
    unsigned char numbered[LAST_CONTROL_SET + 1]; /* 1 for each ControlSetNNN that SYSTEM holds */
    int ended;
    int failed;
};
void begin_control_set_walk(ControlSetWalk *walk);
int next_services_key(ControlSetWalk *walk, HKEY *services_key);
int end_services_key(ControlSetWalk *walk, HKEY services_key);
int remove_service_key(HKEY services_key, const char *services_path, int index);

/* The product's service key below an open "Services" key, found by name
   (service_keys.cpp, open_service_key): the removal and the examination
   use the same rule. */
#define SERVICE_KEY_OPENED 1
#define SERVICE_KEY_ABSENT 0
#define SERVICE_KEY_FAILED -1
int open_service_key(HKEY services_key, const char *services_path, int index, HKEY *service_key);

int remove_driver_files(int index, FileCount *count);
#define CLASS_INF_FOLDER_FAILED -1 /* remove_class_inf_files: no Windows folder (reported) */
int remove_class_inf_files(FileCount *count);
#define LEGACY_FOLDER_FAILED -1 /* legacy_files_present: no Windows folders (reported) */
int legacy_files_present(int index);
int remove_legacy_files(int index, FileCount *count);

int remove_oem_inf_files(int index);

/* A step of product `index`'s pass, run and recorded in its status as the
   removal sequence does it (removal_sequence.cpp). */
void record_device_step(int index);
void record_service_step(int index);
void record_file_steps(int index); /* the current files, then the legacy ones when any is there */
void record_oem_inf_step(int index);
int oem_inf_names_product(int index, const char *name);

/* The OEM INF files' names in ascending number (oem_inf_names.cpp):
   begin_oem_inf_walk, then next_oem_inf_name until it returns 0. Each
   call puts the next name into `name` (MAX_PATH_BYTES) and returns 1.
   Past OEM99.inf the INF folder is searched; `failed` is set after a
   "GetWindowsDirectory()", "FindFirstFile()" or "FindNextFile()" box,
   which ends the walk. */
struct OemInfWalk {
    int number;                   /* the next of OEM0 to OEM99 to name */
    char windows[MAX_PATH_BYTES]; /* the Windows folder, once the search begins */
    char last[MAX_PATH_BYTES];    /* the number last named past 99, as digits */
    char next[MAX_PATH_BYTES];    /* the lowest number above it found so far */
    int failed;
};
void begin_oem_inf_walk(OemInfWalk *walk);
int next_oem_inf_name(OemInfWalk *walk, char *name);

/* The driver package an OEM INF publishes (driver_store.cpp). */
#define PACKAGE_UNINSTALLED 1
#define PACKAGE_NOT_KEPT 0 /* Windows 2000 keeps no driver store */
#define PACKAGE_FAILED -1  /* reported: the package stays */
int is_oem_inf_name(const char *name);
int uninstall_driver_package(const char *name);

/* An INF file and its PNF, the INF's driver package uninstalled first when
   the INF is an OEM INF (inf_pair.cpp). */
void remove_inf_pair(const char *windows, const char *name, int silent_errors, int outcome[2]);

#endif
