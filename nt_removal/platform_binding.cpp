/*
 * platform_binding.cpp - binds the setup API, registry and file functions
 * by name at run time, all or nothing per library, and releases them.
 */
#include "nt_steps.h"
#include "../common/error_report.h"
#include "../common/texts.h"


/* The setup API functions in binding order: ten every Windows of the
   family has, then three that may be missing (null then). */
#define SETUPAPI_REQUIRED 10
static const BoundFunction setupapi_functions[] = {
    BOUND_FUNCTION(NtBinding, SetupDiGetClassDevsA),
    BOUND_FUNCTION(NtBinding, SetupDiEnumDeviceInfo),
    BOUND_FUNCTION(NtBinding, SetupDiGetDeviceRegistryPropertyA),
    BOUND_FUNCTION(NtBinding, SetupDiCallClassInstaller),
    BOUND_FUNCTION(NtBinding, SetupDiDestroyDeviceInfoList),
    BOUND_FUNCTION(NtBinding, SetupOpenInfFileA),
    BOUND_FUNCTION(NtBinding, SetupGetLineTextA),
    BOUND_FUNCTION(NtBinding, SetupCloseInfFile),
    BOUND_FUNCTION(NtBinding, SetupDiGetDeviceInstallParamsA),
    BOUND_FUNCTION(NtBinding, SetupDiGetDeviceInstanceIdA),
    /* Windows 2000 lacks it: the file steps then delete the OEM INF files
       themselves, as they always did */
    BOUND_FUNCTION(NtBinding, SetupUninstallOEMInfA),
    /* Windows Vista and later keep a driver store to ask */
    BOUND_FUNCTION(NtBinding, SetupGetInfDriverStoreLocationA),
    /* without it no device is known to wait for the restart */
    BOUND_FUNCTION(NtBinding, CM_Get_DevNode_Status),
};

/* Binds the ten setup API functions, and the three optional ones where
   Windows has them. Returns 1, or 0 after a box. */
int bind_setupapi_functions(void)
{
    HMODULE module = bind_library("setupapi", setupapi_functions, SETUPAPI_REQUIRED, &nt_run.nt_binding);
    if (module == NULL)
        return 0;
    /* the optional ones, looked up here: one that is missing is no failure */
    for (int i = SETUPAPI_REQUIRED; i < COUNT_OF(setupapi_functions); ++i)
        store_bound_function(&nt_run.nt_binding, &setupapi_functions[i],
                             GetProcAddress(module, setupapi_functions[i].name));
    nt_run.nt_binding.setupapi = module;
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
