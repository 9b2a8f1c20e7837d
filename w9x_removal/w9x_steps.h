/*
 * w9x_steps.h - the Windows 98/Me removal's tables, bound functions and
 * steps, shared by the files of this folder (the shell sees w9x_removal.h).
 */
#ifndef QZ_W9X_STEPS_H
#define QZ_W9X_STEPS_H

#include "../common/platform_ops.h"
#include "../common/library_binding.h"
#include "../common/text_buffers.h"
#include "../common/file_removal.h"
#include "../common/status_values.h"
#include "w9x_removal.h"

/* ---- product and file tables (product_table.cpp) ------------------------ */

struct Win9xProductRecord {
    char display_name[DISPLAY_NAME_BYTES]; /* in the user's messages */
    char hardware_id[MAX_PATH_BYTES];      /* the device key is "Enum\" + this */
    char model_name[MAX_PATH_BYTES];       /* a port's "DeviceDesc" begins with this */
    int model_name_length;                 /* leading characters compared */
    char port_vxd_name[MAX_PATH_BYTES];
    char service_vxd_name[MAX_PATH_BYTES];
};

#define WIN9X_PRODUCT_COUNT 2
#define WIN9X_FILE_ROWS 30

/* Rows 0 and 1 of each product are its port VxD and its service VxD file. */
struct Win9xFileTable {
    char rows[WIN9X_FILE_ROWS][MAX_PATH_BYTES]; /* empty rows follow the used ones */
};

extern const Win9xProductRecord win9x_product_table[WIN9X_PRODUCT_COUNT];
extern const Win9xFileTable win9x_file_table[WIN9X_PRODUCT_COUNT];

/* ---- functions bound at run time (function_binding.cpp) ----------------- */

/* The steps call the functions below through this table; a few go
   straight to the imported function (common/library_binding.h says which). */

/* A library handle is stored only once every function of it is bound, so a
   non-null handle means that all of that library's pointers are valid. */
struct Win9xBinding {
    HMODULE advapi32;
    RegistryFunctions registry; /* all six */

    HMODULE kernel32;
    FileFunctions files; /* GetWindowsDirectoryA, GetSystemDirectoryA, SetFileAttributesA, DeleteFileA */
};

/* The Windows 98/Me removal's mutable state, zero at process start
   (reset_win9x_run_record, w9x_removal.h). */
struct Win9xRunRecord {
    Win9xRemovalStatus win9x_removal_status[WIN9X_PRODUCT_COUNT]; /* what each step did, by product */
    Win9xBinding win9x_binding;
};
extern Win9xRunRecord win9x_run;

int bind_win9x_functions(void);
int bind_registry_functions(void);
int bind_file_functions(void);
int release_win9x_functions(void);

/* ---- the steps ------------------------------------------------------------ */

int win9x_product_found(int index);            /* installation_detection.cpp */
int confirm_found_product(int index, int found); /* asks about product 1 when it was found */
int confirm_win9x_product(int index);          /* both, at once */
int win9x_driver_files_present(int index);     /* installation_detection.cpp */
int remove_win9x_driver_files(int index, FileCount *count); /* driver_files.cpp */
int clean_product_registry(int index);                      /* removal_sequence.cpp */
/* A step of product `index`, run and recorded in its status as the removal
   sequence does it (removal_sequence.cpp). */
void record_registry_step(int index);
void record_win9x_file_step(int index);
int remove_wdm_modem_enum_keys(void);          /* enum_keys.cpp */
int remove_hardware_enum_key(int index);       /* enum_keys.cpp */
int remove_instance_class_keys(HKEY device_key, const char *device_path); /* enum_keys.cpp */
#define INSTANCE_NONE 0
#define INSTANCE_OPENED 1
#define INSTANCE_PASSED_OVER 2
int open_next_instance(HKEY device_key, const char *device_path, DWORD n, char *instance, HKEY *instance_key); /* enum_keys.cpp */
int clean_root_ports(int index);               /* port_instances.cpp */
int remove_matching_port_instances(int index, HKEY ports_key); /* port_instances.cpp */
int remove_vxd_registrations(int index);       /* vxd_registrations.cpp */

/* ---- shared pieces ----------------------------------------------------------- */

/* The keys the registry steps look in, below HKEY_LOCAL_MACHINE. */
extern const char usb_modem_device[];  /* "USB\VID_1F7C&PID_0084", below Enum (enum_keys.cpp) */
extern const char wdm_modem_device[];  /* "WDM_MODEM\KVR0084", below Enum */
extern const char ports_key_path[];    /* "Enum\Root\Ports" (port_instances.cpp) */
extern const char vmm32_files_key[];   /* (vxd_registrations.cpp) */
extern const char vxd_key_prefix[];    /* "System\CurrentControlSet\Services\VxD\" */

int device_key_present(int index);                 /* installation_detection.cpp */
int describes_product(int index, HKEY instance_key); /* port_instances.cpp */

/* A file-table row whose path does not fit (driver_files.cpp). */
void report_path_too_long(const char *row);

/* Driver keys named by an instance's "Driver" value (class_driver_keys.cpp). */
#define DRIVER_VALUE_INVALID 0  /* names no single driver key: never deleted */
#define DRIVER_PATH_BUILT 1
#define DRIVER_PATH_TOO_LONG -1 /* too long for the path buffer */

int build_driver_key_path(const char *data, char *path);
int is_driver_value(const char *name);
int delete_named_driver_key(const char *data);

/* RegEnumValueA into a value name and a value data buffer (MAX_PATH_BYTES
   each, zero-filled first); the data may fill its buffer without a NUL. */
LONG read_instance_value(HKEY key, DWORD index, char *name, char *data);

#endif
