/*
 * driver_store.cpp - the published driver packages and SetupUninstallOEMInfA.
 *
 * As its documentation says: it uninstalls an oemN.inf of the INF folder,
 * named without a path: the INF, its PNF and the package's catalog go, and
 * from Windows Vista on also the package's folder in the driver store.
 * Without SUOI_FORCEDELETE it refuses (ERROR_INF_IN_USE_BY_DEVICES) while
 * a device's driver key still names the INF. It takes an administrator. A
 * name with a path, or one the INF folder does not hold, is not found
 * (Wine: the deletion of <windows>\inf\<name> fails so). Wine itself has no
 * driver store: its version deletes the INF only.
 *
 * SetupGetInfDriverStoreLocationA (Windows Vista and later) tells where a
 * published INF's package lies in the store: its original INF in its
 * store folder; ERROR_FILE_NOT_FOUND for an INF published from no package
 * of the store, ERROR_INSUFFICIENT_BUFFER with the size needed (NUL
 * included) for a buffer too small.
 */
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

static const char class_root[] = "SYSTEM\\CurrentControlSet\\Control\\Class";

/* 1 when a device's driver key (below the Class key) has "InfPath" = name. */
static bool inf_in_use(const std::string &name)
{
    RegKey *classes = pc().registry.find(class_root);
    if (!classes)
        return false;
    for (auto &cls : classes->subkeys)
        for (auto &driver : cls->subkeys)
            for (const RegValue &v : driver->values)
                if (iequal(v.name, "InfPath") &&
                    iequal(std::string(v.data.begin(), v.data.end()).c_str(), name))
                    return true;
    return false;
}

/* Removes a folder of the store with everything below it. */
static void remove_tree(const std::string &folder)
{
    std::string prefix = fold(folder) + "\\";
    for (auto it = pc().files.entries.begin(); it != pc().files.entries.end();) {
        if (it->first == fold(folder) || it->first.compare(0, prefix.size(), prefix) == 0)
            it = pc().files.entries.erase(it);
        else
            ++it;
    }
}

} // namespace sim

using namespace sim;

BOOL SetupUninstallOEMInfA(PCSTR InfFileName, DWORD Flags, PVOID Reserved)
{
    (void)Reserved;
    std::string name = InfFileName ? InfFileName : "";
    if (fails("SetupUninstallOEMInfA", name))
        return FALSE;
    std::string inf = pc().windows_dir + "\\inf\\" + name;
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos || !pc().files.exists(inf)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!pc().administrator) {
        pc().faults.refused();
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!(Flags & SUOI_FORCEDELETE) && inf_in_use(name)) {
        SetLastError(ERROR_INF_IN_USE_BY_DEVICES);
        return FALSE;
    }
    pc().files.remove(inf);
    std::string pnf = inf.substr(0, inf.size() - 3) + "pnf";
    const FileEntry *entry = pc().files.find(pnf);
    if (entry && !entry->directory) /* deleted as a file: a folder of that name stays */
        pc().files.remove(pnf);
    for (auto it = pc().driver_packages.begin(); it != pc().driver_packages.end(); ++it) {
        if (!iequal(it->oem_name, name))
            continue;
        if (!it->catalog.empty())
            pc().files.remove(it->catalog);
        if (!it->store_folder.empty() && pc().version.major >= 6)
            remove_tree(it->store_folder);
        pc().driver_packages.erase(it);
        break;
    }
    return TRUE;
}

BOOL SetupGetInfDriverStoreLocationA(PCSTR FileName, PVOID AlternatePlatformInfo, PCSTR LocaleName,
                                     PSTR ReturnBuffer, DWORD ReturnBufferSize, PDWORD RequiredSize)
{
    (void)AlternatePlatformInfo;
    (void)LocaleName;
    std::string name = FileName ? FileName : "";
    if (fails("SetupGetInfDriverStoreLocationA", name))
        return FALSE;
    std::string base = name.substr(name.find_last_of('\\') + 1);
    for (const DriverPackage &p : pc().driver_packages) {
        if (!iequal(p.oem_name, base) || p.store_folder.empty() || !pc().files.exists(p.store_folder))
            continue;
        return give_text(p.store_folder + "\\" + p.original_name, ReturnBuffer, ReturnBufferSize, RequiredSize);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
