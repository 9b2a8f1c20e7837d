/*
 * examination.cpp - what of the series the NT-family removal would remove,
 * found by the removal's own procedures and left as it is: the devices of
 * both products (one listing), the service key in every control set the
 * service step visits, the current and legacy driver files, the class INF
 * pairs the Modem class registry names, the OEM INF pairs that describe a
 * product, and from Windows Vista on the driver store packages published
 * under those INF names. Files are looked at, never made normal.
 */
#include "nt_steps.h"
#include "../common/error_report.h"
#include "../common/findings.h"
#include "../common/texts.h"

#define KIND_DEVICE 0
#define KIND_SERVICE_KEY 1
#define KIND_DRIVER_FILE 2
#define KIND_CLASS_INF 3
#define KIND_OEM_INF 4
#define KIND_PACKAGE 5

static const char *const nt_kinds[FINDING_KINDS] = {
    text_kind_devices,   text_kind_service_keys, text_kind_driver_files,
    text_kind_class_infs, text_kind_oem_infs,    text_kind_packages,
};

/* Both products' device instances, present or not, in one listing. */
static void examine_devices(Findings *findings)
{
    DeviceWalk walk;
    int matches[NT_PRODUCT_COUNT];
    if (!begin_device_walk(&walk))
        return;
    while (next_device(&walk, matches)) {
        for (int index = 0; index < NT_PRODUCT_COUNT; ++index) {
            if (!matches[index])
                continue;
            char id[MAX_PATH_BYTES];
            read_instance_id(index, walk.set, &walk.device, id);
            record_finding(findings, KIND_DEVICE, id, NULL);
            break;
        }
    }
    end_device_walk(&walk);
}

/* The service key in each control set the service step visits: there when
   it opens by the step's own rule (its name whole, without regard to
   case); a look-alike name (QZUSBCOM2) is another service. */
static void examine_service_keys(Findings *findings)
{
    const char *service = nt_product_table[SERVICE_PRODUCT].service_name;
    ControlSetWalk walk;
    HKEY services_key;
    begin_control_set_walk(&walk);
    while (next_services_key(&walk, &services_key)) {
        HKEY service_key = NULL;
        if (open_service_key(services_key, walk.path, SERVICE_PRODUCT, &service_key) == SERVICE_KEY_OPENED) {
            record_finding(findings, KIND_SERVICE_KEY, walk.path, service);
            nt_binding.registry.RegCloseKey(service_key); /* only read */
        }
        end_services_key(&walk, services_key);
    }
}

/* Records the file at `path` when it is there. */
static void examine_file(Findings *findings, int kind, const char *path)
{
    if (file_is_there(path))
        record_finding(findings, kind, path, NULL);
}

/* The package a published INF stands for, from Windows Vista on. */
static void examine_package(Findings *findings, const char *inf_path)
{
    char location[MAX_PATH_BYTES];
    DWORD needed = 0;
    if (nt_binding.SetupGetInfDriverStoreLocationA == NULL)
        return;
    zero_bytes(location, sizeof location);
    if (nt_binding.SetupGetInfDriverStoreLocationA(inf_path, NULL, NULL, location, sizeof location, &needed))
        record_finding(findings, KIND_PACKAGE, location, NULL);
}

/* An INF of the INF folder and its PNF, with the package of an OEM INF. */
static void examine_inf_pair(Findings *findings, int kind, const char *windows, const char *name)
{
    char path[MAX_PATH_BYTES];
    char pnf_name[MAX_PATH_BYTES];
    if (!build_inf_path(windows, name, path))
        return;
    if (is_oem_inf_name(name) && file_is_there(path))
        examine_package(findings, path);
    examine_file(findings, kind, path);
    if (copy_text(pnf_name, sizeof pnf_name, name) && make_pnf_name(pnf_name, sizeof pnf_name) &&
        build_inf_path(windows, pnf_name, path))
        examine_file(findings, kind, path);
}

/* One product's files: current and legacy rows, and the class INF pair. */
static void examine_product_files(Findings *findings, int index, const WindowsFolders &folders)
{
    char path[MAX_PATH_BYTES];
    for (int row = 0; row < CURRENT_FILE_ROWS; ++row)
        if (build_row_path(&folders, nt_file_table[index].current_files[row], FOLDERS_OF_NT_PACKAGE, path) ==
            ROW_PATH_BUILT)
            examine_file(findings, KIND_DRIVER_FILE, path);
    /* the legacy files go all together when any is there: each one there is found */
    for (int row = 0; row < LEGACY_FILE_ROWS; ++row)
        if (build_row_path(&folders, nt_file_table[index].legacy_files[row], FOLDERS_OF_98_PACKAGE, path) ==
            ROW_PATH_BUILT)
            examine_file(findings, KIND_DRIVER_FILE, path);

    find_class_inf_name(index);
    if (class_inf_name[0] != '\0') {
        examine_inf_pair(findings, KIND_CLASS_INF, folders.windows, class_inf_name);
        carry_class_inf_name_over();
    }
}

/* The OEM INF pairs that name either product, in one walk of the folder. */
static void examine_oem_infs(Findings *findings, const WindowsFolders &folders)
{
    OemInfWalk walk;
    char name[MAX_PATH_BYTES];
    begin_oem_inf_walk(&walk);
    while (next_oem_inf_name(&walk, name))
        for (int index = 0; index < NT_PRODUCT_COUNT; ++index)
            if (oem_inf_names_product(index, name)) {
                examine_inf_pair(findings, KIND_OEM_INF, folders.windows, name);
                break;
            }
}

void examine_nt_installation(int services, Findings *findings)
{
    begin_findings(findings, nt_kinds);
    if (!bind_nt_functions())
        return;
    zero_bytes(class_inf_name, sizeof class_inf_name); /* as at the start of a removal */
    examine_devices(findings);
    if (services)
        examine_service_keys(findings);
    WindowsFolders folders;
    if (read_windows_folders(&nt_binding.files, &folders)) {
        for (int index = 0; index < NT_PRODUCT_COUNT; ++index)
            examine_product_files(findings, index, folders);
        examine_oem_infs(findings, folders);
    }
    release_nt_functions();
}
