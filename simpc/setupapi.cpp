/*
 * setupapi.cpp - the device installer half of the simulated setup API:
 * device information sets over the registry's Enum tree, as Windows keeps it.
 *
 * A device instance is the key SYSTEM\CurrentControlSet\Enum\<enumerator>\
 * <device>\<instance>; its "HardwareID" (REG_MULTI_SZ) is SPDRP_HARDWAREID,
 * and its "Driver" value names its driver key below
 * SYSTEM\CurrentControlSet\Control\Class. As on Windows:
 *   - SetupDiGetClassDevsA(DIGCF_ALLCLASSES) lists every instance on record,
 *     present or not, in registry order (Wine lists only instances with a
 *     "ClassGUID" value: fixtures give every device one);
 *   - SetupDiEnumDeviceInfo refuses a record whose cbSize is not
 *     sizeof(SP_DEVINFO_DATA) (ERROR_INVALID_USER_BUFFER), and gives
 *     ERROR_NO_MORE_ITEMS past the end;
 *   - SetupDiGetDeviceRegistryPropertyA gives ERROR_INSUFFICIENT_BUFFER with
 *     the required size, ERROR_INVALID_DATA for a device without the property,
 *     and hands back the stored bytes as they are (terminated or not); the
 *     service (SPDRP_SERVICE) is the instance key's "Service" value, the
 *     driver key (SPDRP_DRIVER) its "Driver" value, both REG_SZ;
 *   - SP_DEVINFO_DATA.DevInst is the device's devnode handle, the same in
 *     every set; CM_Get_DevNode_Status gives CR_NO_SUCH_DEVINST for a
 *     device that is not present (only its registry record is there), and
 *     for one that is present its DN_ status and, with DN_HAS_PROBLEM, its
 *     problem (CM_PROB_WILL_BE_REMOVED: its removal ends at the restart);
 *   - DIF_REMOVE from a 32-bit process on 64-bit Windows fails with
 *     ERROR_IN_WOW64, and from a standard user with ERROR_ACCESS_DENIED;
 *   - DIF_REMOVE deletes the instance key with its subtree, the driver key its
 *     "Driver" value names, and every parent left without subkeys up to the
 *     enumerator. The removed device stays a member of the set (the indexes
 *     of the others do not shift). A device that is started and open cannot
 *     be stopped: DIF_REMOVE succeeds all the same and sets DI_NEEDREBOOT
 *     in the device's install parameters, which the caller must read;
 *   - SetupDiGetDeviceInstallParamsA refuses a record whose cbSize is not
 *     sizeof(SP_DEVINSTALL_PARAMS_A) (ERROR_INVALID_USER_BUFFER); it still
 *     answers for a removed member, as devcon counts on (Wine refuses it
 *     with ERROR_NO_SUCH_DEVINST);
 *   - SetupDiGetDeviceInstanceIdA gives the instance key path below Enum in
 *     capitals ("USB\VID_1F7C&PID_0084\5&1A2B"), or ERROR_INSUFFICIENT_BUFFER
 *     with the size needed, NUL included.
 * Every call consults the fault switchboard; the argument is the instance
 * key path below HKLM (empty for calls about no single device).
 */
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

static const char enum_root[] = "SYSTEM\\CurrentControlSet\\Enum";
static const char class_root[] = "SYSTEM\\CurrentControlSet\\Control\\Class";

/* The devnode handle of an instance key, made the first time a set meets it. */
static DWORD devnode_of(const std::string &instance)
{
    std::vector<std::string> &nodes = pc().devnodes;
    std::string folded = fold(instance);
    for (size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i] == folded)
            return (DWORD)(i + 1);
    nodes.push_back(folded);
    return (DWORD)nodes.size();
}

/* The instance key path a device record points at, or "" for a bad record. */
static std::string instance_of(HDEVINFO set, PSP_DEVINFO_DATA data)
{
    auto it = pc().device_sets.find((uintptr_t)set);
    if (it == pc().device_sets.end() || !data || data->cbSize != sizeof(SP_DEVINFO_DATA))
        return "";
    if (data->Reserved != (uintptr_t)set || data->DevInst == 0 || data->DevInst > pc().devnodes.size())
        return "";
    for (const std::string &member : it->second)
        if (fold(member) == pc().devnodes[data->DevInst - 1])
            return member;
    return "";
}

static std::string text_value(const RegValue *v)
{
    if (!v)
        return "";
    std::string s(v->data.begin(), v->data.end());
    size_t nul = s.find('\0');
    return nul == std::string::npos ? s : s.substr(0, nul);
}

/* Deletes `path` when it is still there and has no subkeys; true if deleted. */
static bool remove_if_empty(const std::string &path)
{
    RegKey *key = pc().registry.find(path);
    if (!key || !key->subkeys.empty())
        return false;
    return pc().registry.remove(path);
}

static void remove_device(const std::string &instance)
{
    std::string driver = text_value(pc().registry.value(instance, "Driver"));
    if (!driver.empty() && !split_path(driver).empty())
        pc().registry.remove(std::string(class_root) + "\\" + driver);
    pc().registry.remove(instance);
    /* the <device> key, then the <enumerator> key, when left empty */
    std::vector<std::string> parts = split_path(instance);
    std::string parent;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        parent += (parent.empty() ? "" : "\\") + parts[i];
    std::string device_key = parent;
    std::string enumerator_key = parent.substr(0, parent.rfind('\\'));
    if (remove_if_empty(device_key))
        remove_if_empty(enumerator_key);
}

} // namespace sim

using namespace sim;

HDEVINFO SetupDiGetClassDevsA(const GUID *ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags)
{
    (void)hwndParent;
    if (fails("SetupDiGetClassDevsA", Enumerator ? Enumerator : ""))
        return INVALID_HANDLE_VALUE;
    if ((!ClassGuid && !(Flags & DIGCF_ALLCLASSES)) || Enumerator) {
        SetLastError(ERROR_INVALID_PARAMETER); /* only the whole-system set is simulated */
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> members;
    if (RegKey *root = pc().registry.find(enum_root)) {
        for (auto &enumerator : root->subkeys)
            for (auto &device : enumerator->subkeys)
                for (auto &instance : device->subkeys)
                    members.push_back(std::string(enum_root) + "\\" + enumerator->name + "\\" + device->name +
                                      "\\" + instance->name);
    }
    uintptr_t handle = new_handle();
    pc().device_sets[handle] = members;
    return (HDEVINFO)handle;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData)
{
    auto it = pc().device_sets.find((uintptr_t)DeviceInfoSet);
    std::string member = (it != pc().device_sets.end() && MemberIndex < it->second.size())
                             ? it->second[MemberIndex]
                             : "";
    if (fails("SetupDiEnumDeviceInfo", member))
        return FALSE;
    if (it == pc().device_sets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!DeviceInfoData || DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (MemberIndex >= it->second.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    memset(&DeviceInfoData->ClassGuid, 0, sizeof DeviceInfoData->ClassGuid);
    DeviceInfoData->DevInst = devnode_of(it->second[MemberIndex]);
    DeviceInfoData->Reserved = (uintptr_t)DeviceInfoSet;
    return TRUE;
}

/* The instance key of a device a call names, after the switchboard's say;
   "" with the last error set otherwise (a bad record: the set's own
   ERROR_INVALID_PARAMETER, or ERROR_INVALID_HANDLE for no set). */
static std::string device_for(const char *function, HDEVINFO set, PSP_DEVINFO_DATA data)
{
    std::string instance = instance_of(set, data);
    if (fails(function, instance))
        return "";
    if (instance.empty())
        SetLastError(pc().device_sets.count((uintptr_t)set) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return instance;
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                       PDWORD PropertyRegDataType, PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                       PDWORD RequiredSize)
{
    std::string instance = device_for("SetupDiGetDeviceRegistryPropertyA", DeviceInfoSet, DeviceInfoData);
    if (instance.empty())
        return FALSE;
    const char *value_name = Property == SPDRP_HARDWAREID      ? "HardwareID"
                             : Property == SPDRP_COMPATIBLEIDS ? "CompatibleIDs"
                             : Property == SPDRP_DEVICEDESC    ? "DeviceDesc"
                             : Property == SPDRP_SERVICE       ? "Service"
                             : Property == SPDRP_DRIVER        ? "Driver"
                                                               : nullptr;
    if (!value_name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!pc().registry.exists(instance)) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    const RegValue *v = pc().registry.value(instance, value_name);
    if (!v) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (PropertyRegDataType)
        *PropertyRegDataType = v->type;
    if (RequiredSize)
        *RequiredSize = (DWORD)v->data.size();
    if (!PropertyBuffer || PropertyBufferSize < v->data.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!v->data.empty())
        memcpy(PropertyBuffer, v->data.data(), v->data.size());
    return TRUE;
}

BOOL SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData)
{
    std::string instance = instance_of(DeviceInfoSet, DeviceInfoData);
    if (fails("SetupDiCallClassInstaller", instance))
        return FALSE;
    if (InstallFunction != DIF_REMOVE || instance.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pc().wow64) {
        pc().faults.refused();
        SetLastError(ERROR_IN_WOW64); /* a 32-bit process cannot install or remove devices on 64-bit Windows */
        return FALSE;
    }
    if (!pc().administrator) {
        pc().faults.refused();
        SetLastError(ERROR_ACCESS_DENIED); /* removing a device takes an administrator */
        return FALSE;
    }
    if (!pc().registry.exists(instance)) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    remove_device(instance);
    if (pc().devices_in_use.count(fold(instance)))
        pc().install_flags[(uintptr_t)DeviceInfoSet][DeviceInfoData->DevInst] |= pc().in_use_flag;
    return TRUE;
}

BOOL SetupDiGetDeviceInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_A DeviceInstallParams)
{
    std::string instance = device_for("SetupDiGetDeviceInstallParamsA", DeviceInfoSet, DeviceInfoData);
    if (instance.empty())
        return FALSE;
    if (!DeviceInstallParams) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeviceInstallParams->cbSize != sizeof(SP_DEVINSTALL_PARAMS_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    DWORD size = DeviceInstallParams->cbSize;
    memset(DeviceInstallParams, 0, sizeof *DeviceInstallParams);
    DeviceInstallParams->cbSize = size;
    DeviceInstallParams->Flags = pc().install_flags[(uintptr_t)DeviceInfoSet][DeviceInfoData->DevInst];
    return TRUE;
}

BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, PSTR DeviceInstanceId,
                                 DWORD DeviceInstanceIdSize, PDWORD RequiredSize)
{
    std::string instance = device_for("SetupDiGetDeviceInstanceIdA", DeviceInfoSet, DeviceInfoData);
    if (instance.empty())
        return FALSE;
    /* past "...\Enum\", in capitals as Windows gives it */
    return give_text(fold(instance.substr(sizeof enum_root)), DeviceInstanceId, DeviceInstanceIdSize, RequiredSize);
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    if (fails("SetupDiDestroyDeviceInfoList", ""))
        return FALSE;
    pc().install_flags.erase((uintptr_t)DeviceInfoSet);
    if (!pc().device_sets.erase((uintptr_t)DeviceInfoSet)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

CONFIGRET CM_Get_DevNode_Status(PULONG pulStatus, PULONG pulProblemNumber, DEVINST dnDevInst, ULONG ulFlags)
{
    (void)ulFlags;
    const std::vector<std::string> &nodes = pc().devnodes;
    std::string instance = dnDevInst >= 1 && dnDevInst <= nodes.size() ? nodes[dnDevInst - 1] : "";
    if (fails("CM_Get_DevNode_Status", instance))
        return CR_FAILURE;
    if (!pulStatus || !pulProblemNumber)
        return CR_INVALID_POINTER;
    if (instance.empty())
        return CR_INVALID_DEVNODE;
    auto it = pc().devnode_status.find(instance);
    bool in_use = pc().devices_in_use.count(instance) != 0;
    if (!pc().registry.exists(instance) || (it == pc().devnode_status.end() && !in_use))
        return CR_NO_SUCH_DEVINST; /* not present: Windows knows only its record */
    DWORD status = it != pc().devnode_status.end() ? it->second.first : DN_STARTED | DN_DRIVER_LOADED;
    *pulStatus = status;
    *pulProblemNumber = (status & DN_HAS_PROBLEM) ? it->second.second : 0;
    return CR_SUCCESS;
}
