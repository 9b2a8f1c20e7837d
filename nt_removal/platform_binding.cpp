/*
 * platform_binding.cpp - binds the setup API, registry and file functions
 * by name at run time, all or nothing per library, and releases them.
 */
#include "nt_steps.h"
#include "../common/error_report.h"
#include "../common/texts.h"


static const char *const setupapi_names[] = {
    "SetupDiGetClassDevsA",           "SetupDiEnumDeviceInfo",       "SetupDiGetDeviceRegistryPropertyA",
    "SetupDiCallClassInstaller",      "SetupDiDestroyDeviceInfoList", "SetupOpenInfFileA",
    "SetupGetLineTextA",              "SetupCloseInfFile",           "SetupDiGetDeviceInstallParamsA",
    "SetupDiGetDeviceInstanceIdA",
};

/* Binds the ten setup API functions, and SetupUninstallOEMInfA where
   Windows has it. Returns 1, or 0 after a box. */
int bind_setupapi_functions(void)
{
    FARPROC e[COUNT_OF(setupapi_names)];
    HMODULE module = bind_library("setupapi", setupapi_names, COUNT_OF(setupapi_names), e);
    if (module == NULL)
        return 0;
    NtBinding &b = nt_run.nt_binding;
    b.SetupDiGetClassDevsA = BOUND_AS(SetupDiGetClassDevsA_fn, e[0]);
    b.SetupDiEnumDeviceInfo = BOUND_AS(SetupDiEnumDeviceInfo_fn, e[1]);
    b.SetupDiGetDeviceRegistryPropertyA = BOUND_AS(SetupDiGetDeviceRegistryPropertyA_fn, e[2]);
    b.SetupDiCallClassInstaller = BOUND_AS(SetupDiCallClassInstaller_fn, e[3]);
    b.SetupDiDestroyDeviceInfoList = BOUND_AS(SetupDiDestroyDeviceInfoList_fn, e[4]);
    b.SetupOpenInfFileA = BOUND_AS(SetupOpenInfFileA_fn, e[5]);
    b.SetupGetLineTextA = BOUND_AS(SetupGetLineTextA_fn, e[6]);
    b.SetupCloseInfFile = BOUND_AS(SetupCloseInfFile_fn, e[7]);
    b.SetupDiGetDeviceInstallParamsA = BOUND_AS(SetupDiGetDeviceInstallParamsA_fn, e[8]);
    b.SetupDiGetDeviceInstanceIdA = BOUND_AS(SetupDiGetDeviceInstanceIdA_fn, e[9]);
    /* optional, looked up directly: Windows 2000 lacks it, and the file
       steps then delete the OEM INF files themselves, as they always did */
    b.SetupUninstallOEMInfA = BOUND_AS(SetupUninstallOEMInfA_fn, GetProcAddress(module, "SetupUninstallOEMInfA"));
    /* optional too: Windows Vista and later keep a driver store to ask */
    b.SetupGetInfDriverStoreLocationA =
        BOUND_AS(SetupGetInfDriverStoreLocationA_fn, GetProcAddress(module, "SetupGetInfDriverStoreLocationA"));
    /* optional too: without it no device is known to wait for the restart */
    b.CM_Get_DevNode_Status = BOUND_AS(CM_Get_DevNode_Status_fn, GetProcAddress(module, "CM_Get_DevNode_Status"));
    b.setupapi = module;
    return 1;
}

/* Binds the five registry functions. Returns 1, or 0 after a box. */
int bind_advapi32_functions(void)
{
    HMODULE module = bind_registry_functions_of_advapi32(&nt_run.nt_binding.registry, 0);
    if (module == NULL)
        return 0;
    nt_run.nt_binding.advapi32 = module;
    return 1;
}

/* Binds the four directory and file functions. Returns 1, or 0 after a box. */
int bind_kernel32_functions(void)
{
    HMODULE module = bind_file_functions_of_kernel32(&nt_run.nt_binding.files, 1);
    if (module == NULL)
        return 0;
    nt_run.nt_binding.kernel32 = module;
    return 1;
}

/*
 * Binds setupapi, advapi32 and kernel32, in that order. Returns 1 when all
 * three are bound; 0 at the first that is not, leaving the ones before it
 * loaded and not loading the ones after it.
 */
int bind_nt_functions(void)
{
    if (!bind_setupapi_functions())
        return 0;
    if (!bind_advapi32_functions())
        return 0;
    if (!bind_kernel32_functions())
        return 0;
    return 1;
}

/*
 * Frees the bound libraries in binding order. Returns 1; or 0 after a
 * "FreeLibrary()" box for the first that cannot be freed, leaving the
 * ones after it loaded.
 */
int release_nt_functions(void)
{
    HMODULE modules[3] = {nt_run.nt_binding.setupapi, nt_run.nt_binding.advapi32, nt_run.nt_binding.kernel32};
    static const char *const names[3] = {"setupapi", "advapi32", "kernel32"};
    for (int i = 0; i < 3; ++i) {
        if (modules[i] == NULL)
            continue;
        if (!FreeLibrary(modules[i])) {
            report_failure(caption_free_library, GetLastError(), names[i], NULL);
            return 0;
        }
    }
    return 1;
}
