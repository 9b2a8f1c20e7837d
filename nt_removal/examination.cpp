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
#include "../common/run_log.h"

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

/* Which driver a device of the series runs under. */
#define DRIVER_OF_SERIES 1
#define DRIVER_OTHER 2
#define DRIVER_NONE 3

/*
 * Reads a text property of the device (SPDRP_SERVICE, SPDRP_DRIVER) into
 * text (MAX_PATH_BYTES). Returns 1; 0 when the device has none
 * (ERROR_INVALID_DATA) or a longer one than any the series writes; 0 also
 * after a "GetDeviceRegistryProperty()" box for any other error.
 */
static int read_device_text(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, char *text)
{
    DWORD type = 0, needed = 0;
    zero_bytes(text, MAX_PATH_BYTES);
    if (nt_run.nt_binding.SetupDiGetDeviceRegistryPropertyA(set, device, property, &type, (PBYTE)text,
                                                     MAX_PATH_BYTES - 1, &needed))
        return text[0] != '\0';
    DWORD error = GetLastError();
    if (error != ERROR_INVALID_DATA && error != ERROR_INSUFFICIENT_BUFFER)
        report_failure(caption_get_device_registry_property, error, NULL, NULL);
    return 0;
}

/* 1 when the OEM INF `name` describes either product. */
static int inf_names_series(const char *name)
{
    for (int index = 0; index < NT_PRODUCT_COUNT; ++index)
        if (oem_inf_names_product(index, name))
            return 1;
    return 0;
}

/*
 * The driver of a device of the series: DRIVER_OF_SERIES when its service
 * is the series' own or its driver key's INF describes a product (Windows
 * XP runs the modem under its "Modem" service); DRIVER_OTHER under any
 * other (Windows 10's usbser takes the modem by its class IDs); DRIVER_NONE
 * when it has neither (plugged in again after a removal).
 */
static int driver_of_device(HDEVINFO set, PSP_DEVINFO_DATA device)
{
    char text[MAX_PATH_BYTES];
    char inf_name[MAX_PATH_BYTES];
    int has_service = read_device_text(set, device, SPDRP_SERVICE, text);
    if (has_service && texts_equal_nocase(text, nt_product_table[SERVICE_PRODUCT].service_name))
        return DRIVER_OF_SERIES;
    if (!read_device_text(set, device, SPDRP_DRIVER, text))
        return has_service ? DRIVER_OTHER : DRIVER_NONE;
    if (driver_key_inf_path(text, inf_name) && inf_names_series(inf_name))
        return DRIVER_OF_SERIES;
    return DRIVER_OTHER;
}

/* 1 when Windows says the device goes at the restart: its removal could
   not stop it (CM_PROB_WILL_BE_REMOVED), or it needs the restart
   (DN_NEED_RESTART). A status that cannot be read (a device not present,
   or a Windows without the function) says nothing. */
static int device_waits_for_restart(PSP_DEVINFO_DATA device)
{
    ULONG status = 0, problem = 0;
    if (nt_run.nt_binding.CM_Get_DevNode_Status == NULL ||
        nt_run.nt_binding.CM_Get_DevNode_Status(&status, &problem, device->DevInst, 0) != CR_SUCCESS)
        return 0;
    return (status & DN_NEED_RESTART) || ((status & DN_HAS_PROBLEM) && problem == CM_PROB_WILL_BE_REMOVED);
}

/* One device of the series: found, waiting for the restart, or logged as
   not the series' driver's and not counted. */
static void examine_device(Findings *findings, int index, DeviceWalk *walk)
{
    char id[MAX_PATH_BYTES];
    read_instance_id(index, walk->set, &walk->device, id);
    if (device_waits_for_restart(&walk->device)) {
        record_waiting(findings, KIND_DEVICE, id, NULL);
        return;
    }
    int driver = driver_of_device(walk->set, &walk->device);
    if (driver == DRIVER_OF_SERIES) {
        record_finding(findings, KIND_DEVICE, id, NULL);
        return;
    }
    LogLine line;
    line_begin(&line, driver == DRIVER_OTHER ? text_log_other_driver : text_log_no_driver);
    line_add_system(&line, id);
    log_line(&line);
}

/* Both products' device instances, present or not, in one listing. */
static void examine_devices(Findings *findings)
{
    DeviceWalk walk;
    int matches[NT_PRODUCT_COUNT];
    if (!begin_device_walk(&walk))
        return;
    while (next_device(&walk, matches)) {
        for (int index = 0; index < NT_PRODUCT_COUNT; ++index) {
            if (matches[index]) {
                examine_device(findings, index, &walk);
                break;
            }
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
            nt_run.nt_binding.registry.RegCloseKey(service_key); /* only read */
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
    if (nt_run.nt_binding.SetupGetInfDriverStoreLocationA == NULL)
        return;
    zero_bytes(location, sizeof location);
    if (nt_run.nt_binding.SetupGetInfDriverStoreLocationA(inf_path, NULL, NULL, location, sizeof location, &needed))
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
    if (nt_run.class_inf_name[0] != '\0') {
        examine_inf_pair(findings, KIND_CLASS_INF, folders.windows, nt_run.class_inf_name);
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
    zero_bytes(nt_run.class_inf_name, sizeof nt_run.class_inf_name); /* as at the start of a removal */
    read_pending_deletions(&nt_run.nt_binding.registry);
    examine_devices(findings);
    if (services)
        examine_service_keys(findings);
    WindowsFolders folders;
    if (read_windows_folders(&nt_run.nt_binding.files, &folders)) {
        for (int index = 0; index < NT_PRODUCT_COUNT; ++index)
            examine_product_files(findings, index, folders);
        examine_oem_infs(findings, folders);
    }
    release_nt_functions();
}
