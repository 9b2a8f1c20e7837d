/*
 * w9x_steps.h - the Windows 98/Me removal's tables, bound functions and
 * steps, shared by the files of this folder (the shell sees w9x_removal.h).
 */
#ifndef QZ_W9X_STEPS_H
#define QZ_W9X_STEPS_H

#include "../shell/platform_ops.h"
#include "../shell/library_binding.h"
#include "../shell/text_buffers.h"
#include "w9x_removal.h"

/* Status and cleanup result values. */
#define STATUS_NONE 0
#define STATUS_REMOVED 1
#define STATUS_PARTLY_REMOVED 0x1000
#define STATUS_FAILED 0xFFFF

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
extern Win9xRemovalStatus win9x_removal_status[WIN9X_PRODUCT_COUNT];

/* ---- functions bound at run time (function_binding.cpp) ----------------- */

/* (the function types are declared once, in shell/library_binding.h) */

/* A library handle is stored only once every function of it is bound, so a
   non-null handle means that all of that library's pointers are valid. */
struct Win9xBindingTable {
    HMODULE registry_library; /* "advapi32" */
    RegOpenKeyExA_fn reg_open_key_ex;
    RegCloseKey_fn reg_close_key;
    RegEnumKeyExA_fn reg_enum_key_ex;
    RegDeleteKeyA_fn reg_delete_key;
    RegEnumValueA_fn reg_enum_value;
    RegDeleteValueA_fn reg_delete_value;
    HMODULE file_library; /* "kernel32" */
    GetWindowsDirectoryA_fn get_windows_directory;
    GetSystemDirectoryA_fn get_system_directory;
    SetFileAttributesA_fn set_file_attributes;
    DeleteFileA_fn delete_file;
};

extern Win9xBindingTable win9x_binding;

int bind_win9x_functions(void);
int bind_registry_functions(void);
int bind_file_functions(void);
int release_win9x_functions(void);

/* ---- the steps ------------------------------------------------------------ */

int confirm_win9x_product(int index);          /* installation_detection.cpp */
int win9x_driver_files_present(int index);     /* installation_detection.cpp */
void remove_win9x_driver_files(int index);     /* driver_files.cpp */
void clean_product_registry(int index);        /* enum_keys.cpp */
int remove_wdm_modem_enum_keys(void);          /* enum_keys.cpp */
int remove_hardware_enum_key(int index);       /* enum_keys.cpp */
int remove_instance_class_keys(HKEY device_key); /* enum_keys.cpp */
int clean_root_ports(int index);               /* port_instances.cpp */
int remove_matching_port_instances(int index, HKEY ports_key); /* port_instances.cpp */
int remove_vxd_registrations(int index);       /* vxd_registrations.cpp */

/* ---- shared pieces ----------------------------------------------------------- */

/* The Windows and system directories, read once per step (driver_paths.cpp). */
struct Win9xDirectories {
    char windows[MAX_PATH_BYTES];
    char system[MAX_PATH_BYTES];
};

int read_win9x_directories(Win9xDirectories *dirs);

#define ROW_PATH_BUILT 1
#define ROW_PATH_SKIPPED 0   /* empty row or a kind without a directory */
#define ROW_PATH_TOO_LONG -1 /* does not fit; nothing built */

int build_win9x_file_path(const Win9xDirectories *dirs, const char *row, char *path);
void report_path_too_long(void);

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
