/*
 * property_test.cpp - only what the removal rules select is ever removed.
 *
 * Random PC images (seeded, so every failure can be replayed) mix the
 * series' footprint with many decoys: other vendors' devices and modems,
 * the same names in other letter cases, look-alike prefixes ("QZUSBCOMX",
 * "Pelto Q"), malformed "Driver" and "InfPath" data, missing directories.
 * For each image a small model of the rules, written independently of the
 * program, says which keys, values and files must go; the program runs on
 * the simulated PC with every command line and must remove exactly those.
 */
#include <algorithm>
#include <iostream>
#include <random>
#include <set>

#include "harness.h"
#include "../simpc/text.h"

namespace {

const char *const kModemGuid = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char *const kP0 = "USB\\Vid_1F7C&Pid_0084";
const char *const kP1 = "USB\\Vid_1F7C&Pid_0012";

struct Expected {
    std::set<std::string> keys;   /* folded "HKLM\..." paths removed with everything below */
    std::set<std::string> values; /* folded "HKLM\...\"NAME\"" */
    std::set<std::string> files;  /* folded full paths */
};

std::string key_line(const std::string &path)
{
    return sim::fold("HKLM\\" + path);
}

std::string file_line(const std::string &path)
{
    std::string out;
    for (const std::string &part : sim::split_path(path))
        out += (out.empty() ? "" : "\\") + sim::fold(part);
    return out;
}

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return s;
}

template <class T> const T &pick(std::mt19937 &rng, const std::vector<T> &options)
{
    return options[rng() % options.size()];
}

bool chance(std::mt19937 &rng, int percent)
{
    return (int)(rng() % 100) < percent;
}

/* ---- comparing a run with the model ------------------------------------------ */

std::string path_of_key_line(const std::string &line)
{
    return line.substr(4); /* "key " */
}

bool covered(const std::set<std::string> &removed_keys, const std::string &path)
{
    for (const std::string &k : removed_keys)
        if (path == k || path.rfind(k + "\\", 0) == 0)
            return true;
    return false;
}

/* Every difference between what the run removed and what the model says. */
std::vector<std::string> compare(const Expected &e, const std::set<std::string> &reg_before,
                                 const std::set<std::string> &reg_after, const std::set<std::string> &files_before)
{
    std::vector<std::string> problems;
    for (const std::string &line : reg_before) {
        bool gone = !reg_after.count(line);
        bool expected_gone;
        if (line.rfind("key ", 0) == 0) {
            expected_gone = covered(e.keys, path_of_key_line(line));
        } else if (line.rfind("value ", 0) == 0) {
            std::string rest = line.substr(6);
            std::string path = rest.substr(0, rest.find(" \""));
            std::string name_end = rest.substr(0, rest.find("\" ", path.size() + 2) + 1);
            expected_gone = covered(e.keys, path) || e.values.count(name_end);
        } else {
            continue;
        }
        if (gone != expected_gone)
            problems.push_back((gone ? "removed, the rules keep it: " : "kept, the rules remove it: ") + line);
    }
    for (const std::string &line : files_before) {
        if (line.rfind("file ", 0) != 0)
            continue;
        std::string path = line.substr(5, line.rfind(" attrs ") - 5);
        bool gone = !sim::pc().files.exists(path);
        bool expected_gone = e.files.count(path) != 0;
        if (gone != expected_gone)
            problems.push_back((gone ? "removed, the rules keep it: " : "kept, the rules remove it: ") + path);
    }
    return problems;
}

/* ---- the NT family ---------------------------------------------------------------- */

struct NtImage {
    Expected removed_always;     /* whatever the option */
    Expected removed_complete;   /* only with -C */
    int items = 0;
};

/* The class INF name a pass ends up with: the last matching driver key's bare "InfPath". */
bool bare_inf_name(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

NtImage make_nt_image(std::mt19937 &rng)
{
    NtImage img;
    sim::Registry &reg = sim::pc().registry;
    sim::FileSystem &fs = sim::pc().files;
    const std::string inf = "C:\\WINDOWS\\inf\\";
    const std::string drivers = "C:\\WINDOWS\\system32\\drivers\\";
    const std::string enum_usb = "SYSTEM\\CurrentControlSet\\Enum\\USB\\";
    const std::string cls = "SYSTEM\\CurrentControlSet\\Control\\Class\\";

    /* a device that never matches keeps the USB enumerator key alive */
    reg.set_string(enum_usb + "ROOT_HUB\\4&1", "ClassGUID", "{36FC9E60-C465-11CF-8056-444553540000}");
    reg.set_multi_string(enum_usb + "ROOT_HUB\\4&1", "HardwareID", {"USB\\ROOT_HUB"});

    /* devices: exact IDs, other cases, revision-only forms, other vendors */
    const std::vector<std::vector<std::string>> id_lists = {
        {kP0}, {"USB\\Vid_1F7C&Pid_0084&Rev_0100", kP0}, {"USB\\Vid_1F7C&Pid_0084&Rev_0100"},
        {"USB\\VID_1F7C&PID_0084"}, {kP1}, {"USB\\VID_0BDA&PID_8153"}, {}, {"USB\\Vid_1F7C&Pid_0084 "},
        {"USB\\Vid_1F7C&Pid_00840"}, {"USB\\VID_1F7C&PID_0012&REV_0001", kP1, "USB\\Class_02"}};
    const std::vector<std::string> device_names = {"Vid_1F7C&Pid_0084", "VID_1F7C&PID_0084", "Vid_1F7C&Pid_0012",
                                                   "VID_0BDA&PID_8153", "Vid_1F7C&Pid_0084&MI_01"};
    std::map<std::string, std::pair<int, int>> per_device; /* device key -> instances, removed */
    int devices = rng() % 6, driver_number = 0;
    for (int i = 0; i < devices; ++i) {
        std::string device = enum_usb + pick(rng, device_names);
        std::string instance = device + "\\5&" + std::to_string(rng() % 1000) + "&0&" + std::to_string(i);
        if (reg.exists(instance))
            continue;
        const std::vector<std::string> &ids = pick(rng, id_lists);
        reg.set_string(instance, "ClassGUID", kModemGuid);
        if (!ids.empty())
            reg.set_multi_string(instance, "HardwareID", ids);
        std::string driver;
        if (chance(rng, 70)) {
            driver = std::string(kModemGuid) + "\\" + std::to_string(9000 + driver_number++);
            reg.set_string(instance, "Driver", driver);
            reg.set_string(cls + driver, "DriverDesc", "device driver key");
        }
        /* Windows compares hardware IDs whole, without regard to case */
        bool matches = std::any_of(ids.begin(), ids.end(),
                                   [](const std::string &id) { return sim::iequal(id, kP0) || sim::iequal(id, kP1); });
        per_device[sim::fold(device)].first++;
        if (matches) {
            per_device[sim::fold(device)].second++;
            img.removed_always.keys.insert(key_line(instance));
            if (!driver.empty())
                img.removed_always.keys.insert(key_line(cls + driver));
        }
        ++img.items;
    }
    for (auto &d : per_device)
        if (d.second.first == d.second.second)
            img.removed_always.keys.insert(key_line(d.first)); /* left empty: it goes too */

    /* modem driver keys: the class INF name of each pass */
    const std::vector<std::string> matching_ids = {kP0, lower(kP0), kP1, "USB\\VID_1F7C&PID_0012", "MDMGEN56", ""};
    const std::vector<std::string> inf_paths = {"oem3.inf", "oem7.inf", "oem12.inf", "", "..", "x\\y.inf",
                                                "C:\\evil.inf", "ab", "mdmgen.inf", "PeltoMDMforW2K.inf"};
    std::string class_name[2];
    int modems = rng() % 5;
    for (int j = 0; j < modems; ++j) {
        std::string key = cls + kModemGuid + "\\" + std::to_string(1000 + j);
        std::string id = pick(rng, matching_ids);
        reg.set_string(key, "DriverDesc", "modem " + std::to_string(j));
        if (!id.empty())
            reg.set_string(key, "MatchingDeviceId", id);
        bool has_inf_path = chance(rng, 85);
        std::string inf_path = pick(rng, inf_paths);
        if (has_inf_path)
            reg.set_string(key, "InfPath", inf_path);
        for (int p = 0; p < 2; ++p)
            if (!id.empty() && sim::iequal(id, p ? kP1 : kP0) && has_inf_path && bare_inf_name(inf_path))
                class_name[p] = inf_path;
        ++img.items;
    }

    /* INF files the class names may point at, and decoys */
    for (const char *name : {"oem3.inf", "oem3.pnf", "oem7.inf", "oem7.pnf", "oem12.inf", "mdmgen.inf", "ab",
                             "evil.inf", "y.inf"})
        if (chance(rng, 50))
            fs.add_file(inf + name, "", chance(rng, 30) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_ARCHIVE);
    if (chance(rng, 50))
        fs.add_file("C:\\evil.inf");

    /* the product's current files */
    const std::vector<std::string> current = {inf + "PeltoMDMforW2K.inf", inf + "PeltoMDMforW2K.pnf",
                                              drivers + "QZUSBCOM.SYS", inf + "MDMKVRT3.INF", inf + "MDMKVRT3.PNF"};
    for (const std::string &f : current)
        if (chance(rng, 50)) {
            fs.add_file(f, "", chance(rng, 30) ? FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN : 0);
            img.removed_always.files.insert(file_line(f));
        }
    fs.add_file(drivers + "QZUSBCOM.SYS.old");
    fs.add_file(inf + "PeltoMDMforW2K.inf.bak");

    /* legacy files: all go when any of them is there */
    const std::vector<std::string> legacy = {
        "C:\\WINDOWS\\system32\\QZPORT.VXD", "C:\\WINDOWS\\system32\\QZUSB.SYS", inf + "QZUSB.INF", inf + "qzusbcd.inf",
        inf + "OTHER\\KVRQZCOM.INF", inf + "OTHER\\KVRqzusbcd.inf", inf + "USKBDMAP.PNF"};
    bool other_dir = chance(rng, 50);
    if (other_dir)
        fs.add_dir(inf + "OTHER");
    std::vector<std::string> legacy_present;
    for (const std::string &f : legacy) {
        if (f.find("OTHER") != std::string::npos && !other_dir)
            continue;
        if (chance(rng, 15)) {
            fs.add_file(f);
            legacy_present.push_back(f);
        }
    }
    for (const std::string &f : legacy_present)
        img.removed_always.files.insert(file_line(f));

    /* OEM INF files, found by their [USBTA] line */
    const std::vector<std::string> lines = {
        "USB_TA, USB\\Vid_1F7C&Pid_0084", "USB_TA, USB\\VID_1F7C&PID_0084, USB\\VID_1F7C&PID_0084&REV_0100",
        "usb_ta,usb\\vid_1f7c&pid_0012", "USB_TA, USB\\Vid_1F7C&Pid_0099", "USB_TA, USB\\Vid_1F7C&Pid_008",
        "USB_TB, USB\\Vid_1F7C&Pid_0084", "USB_TA, USB\\Vid_1F7C&Pid_00841"};
    int oems = rng() % 5;
    for (int k = 0; k < oems; ++k) {
        /* Windows numbers published INFs upwards: past 99 on a PC with years of drivers */
        int n = chance(rng, 75) ? (int)(rng() % 100) : pick(rng, std::vector<int>{100, 101, 102, 1000, 12345});
        std::string name = inf + "OEM" + std::to_string(n) + ".inf";
        if (fs.exists(name))
            continue;
        std::string line = pick(rng, lines);
        bool right_key = chance(rng, 85);
        fs.add_file(name, std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\n[USBTA]\r\n") +
                              (right_key ? "\"Pelto QZ-USB USBPort Adapter\"" : "\"Pelto QZ-USB USBPort\"") + " = " +
                              line + "\r\n");
        bool pnf = chance(rng, 60);
        if (pnf)
            fs.add_file(inf + "OEM" + std::to_string(n) + ".pnf");
        std::string text = lower(line);
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        bool matches = right_key &&
                       (text.rfind(lower(std::string("usb_ta,") + kP0), 0) == 0 ||
                        text.rfind(lower(std::string("usb_ta,") + kP1), 0) == 0);
        std::string pnf_path = inf + "OEM" + std::to_string(n) + ".pnf";
        if (matches) {
            img.removed_always.files.insert(file_line(name));
            if (fs.exists(pnf_path)) /* laid down here or earlier */
                img.removed_always.files.insert(file_line(pnf_path));
        }
        ++img.items;
    }

    /* the class INF pair of each pass (product 1 keeps product 0's name, as rewritten to .pnf) */
    std::string name;
    for (int p = 0; p < 2; ++p) {
        if (!class_name[p].empty())
            name = class_name[p];
        if (name.empty())
            continue;
        std::string first = name;
        std::string second = name.size() >= 3 ? name.substr(0, name.size() - 3) + "pnf" : name;
        for (const std::string &n : {first, second})
            if (fs.exists(inf + n))
                img.removed_always.files.insert(file_line(inf + n));
        name = second;
    }

    /* driver packages published as OEM INF files (Windows XP and later): one
       whose INF the rules delete is uninstalled first, and its catalog goes,
       from Windows Vista on its store folder too; the others stay */
    const std::string catroot = "C:\\WINDOWS\\system32\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\";
    const std::string store = "C:\\WINDOWS\\system32\\DriverStore\\FileRepository\\";
    std::vector<std::string> published;
    for (const auto &entry : fs.entries) {
        std::string base = entry.second.path.substr(entry.second.path.find_last_of('\\') + 1);
        if (!entry.second.directory && sim::iequal(entry.second.path.substr(0, inf.size()), inf) &&
            base.size() > 7 && sim::iequal(base.substr(0, 3), "oem") && sim::iequal(base.substr(base.size() - 4), ".inf") &&
            base.find_first_not_of("0123456789", 3) == base.size() - 4)
            published.push_back(base);
    }
    std::sort(published.begin(), published.end()); /* the file table keeps no order */
    for (const std::string &oem : published) {
        if (!chance(rng, 70))
            continue;
        std::string catalog = catroot + oem.substr(0, oem.size() - 4) + ".cat";
        std::string folder = store + "pkg" + std::to_string(rng() % 100000) + ".inf_amd64_0123456789abcdef";
        fs.add_file(catalog);
        fs.add_file(folder + "\\driver.sys");
        sim::pc().driver_packages.push_back({oem, "pkg.inf", folder, catalog});
        if (!img.removed_always.files.count(file_line(inf + oem)))
            continue;
        img.removed_always.files.insert(file_line(catalog));
        if (sim::pc().version.major >= 6)
            img.removed_always.files.insert(file_line(folder + "\\driver.sys"));
        ++img.items;
    }

    /* service keys in the current control set and the numbered ones up to the first gap */
    std::vector<std::string> sets = {"CurrentControlSet"};
    int numbered = rng() % 4;
    int gap = 1 + (int)(rng() % 4);
    for (int n = 1; n <= numbered; ++n) {
        char set[32];
        snprintf(set, sizeof set, "ControlSet%03d", n);
        if (n == gap)
            continue; /* this one is missing; sets after it exist but are never visited */
        reg.create(std::string("SYSTEM\\") + set + "\\Services\\usbser");
        sets.push_back(set);
    }
    for (const std::string &set : sets) {
        std::string services = "SYSTEM\\" + set + "\\Services\\";
        bool visited = set == "CurrentControlSet" || atoi(set.c_str() + 10) < gap;
        std::string variant = pick(rng, std::vector<std::string>{"QZUSBCOM", "qzusbcom", "none", "QZUSBCOM"});
        bool lookalike = chance(rng, 30);
        if (lookalike)
            reg.set_dword(services + "QZUSBCOMX", "Type", 1);
        if (variant == "none")
            continue;
        std::string key = services + variant;
        reg.set_dword(key, "Type", 1);
        bool enum_child = chance(rng, 50), grandchild = chance(rng, 25);
        if (enum_child)
            reg.set_dword(key + "\\Enum", "Count", 1);
        if (enum_child && grandchild)
            reg.create(key + "\\Enum\\0");
        reg.set_string(key + "\\Security", "Security", "x");
        bool found = variant == "QZUSBCOM" || lookalike; /* an exact-case prefix among the subkeys */
        if (!visited || !found)
            continue;
        /* direct subkeys go in sorted order until one that has subkeys of its own */
        if (enum_child && grandchild) {
            continue; /* "Enum" sorts first and cannot go: nothing is deleted */
        }
        img.removed_complete.keys.insert(key_line(key));
        ++img.items;
    }
    return img;
}

/* ---- Windows 98/Me ---------------------------------------------------------------------- */

struct W9xImage {
    Expected removed;
    int items = 0;
};

W9xImage make_w9x_image(std::mt19937 &rng)
{
    W9xImage img;
    sim::Registry &reg = sim::pc().registry;
    sim::FileSystem &fs = sim::pc().files;
    const std::string classes = "System\\CurrentControlSet\\Services\\Class\\";
    const std::string sys = "C:\\WINDOWS\\SYSTEM\\";
    const std::string inf = "C:\\WINDOWS\\inf\\";
    reg.set_string(classes + "Net\\0000", "DriverDesc", "another vendor's adapter");
    reg.set_string(classes + "Modem\\0000", "DriverDesc", "another modem");

    /* driver values: valid ones name a class key that exists; malformed ones must never delete */
    int next = 1;
    auto driver_value = [&](const std::string &key, bool *deletes) {
        std::string data;
        switch (rng() % 6) {
        case 0: case 1: case 2:
            data = (chance(rng, 50) ? "Modem\\" : "Ports\\") + std::to_string(100 + next++);
            reg.set_string(classes + data, "DriverDesc", "driver key");
            *deletes = true;
            break;
        case 3: data = ""; *deletes = false; break;
        case 4: data = pick(rng, std::vector<std::string>{"Modem", "Modem\\", "\\0001", "Modem\\0000\\x"}); *deletes = false; break;
        default:
            reg.set_string(key, "driver", "Net\\0000"); /* another spelling: not the "Driver" value */
            *deletes = false;
            return std::string();
        }
        reg.set_string(key, "Driver", data);
        return data;
    };

    /* the product's device key (one hardware ID for both products) and the fixed modem keys */
    auto enum_device = [&](const std::string &device, int percent) {
        if (!chance(rng, percent))
            return false;
        int instances = 1 + rng() % 3;
        for (int i = 0; i < instances; ++i) {
            std::string instance = "Enum\\" + device + "\\" + std::string(i + 1, 'I');
            bool deletes = false;
            std::string data = driver_value(instance, &deletes);
            reg.set_string(instance, "DeviceDesc", "instance");
            if (deletes)
                img.removed.keys.insert(key_line(classes + data));
        }
        ++img.items;
        return true;
    };
    std::string hw = pick(rng, std::vector<std::string>{"USB\\Vid_1F7C&Pid_0012", "USB\\VID_1F7C&PID_0012"});
    if (enum_device(hw, 60))
        img.removed.keys.insert(key_line("Enum\\" + hw));
    bool usb_modem = enum_device("USB\\VID_1F7C&PID_0084", 50);
    if (usb_modem)
        img.removed.keys.insert(key_line("Enum\\USB\\VID_1F7C&PID_0084"));
    std::set<std::string> wdm_drivers;
    {
        /* the WDM modem key goes only with the USB modem key */
        Expected before = img.removed;
        if (enum_device("WDM_MODEM\\KVR0084", 50) && usb_modem)
            img.removed.keys.insert(key_line("Enum\\WDM_MODEM\\KVR0084"));
        else if (!usb_modem)
            img.removed = before;
    }
    reg.set_string("Enum\\USB\\VID_0BDA&PID_8153\\1", "Driver", "Net\\0000");

    /* port instances: those whose description begins with "Pelto QZ" */
    if (chance(rng, 85)) {
        reg.create("Enum\\Root\\Ports");
        const std::vector<std::string> descs = {"Pelto QZ USB Port", "Pelto QZ", "pelto qz port", "Pelto Q",
                                                "Communications Port", "Pelto QZ 65 Port", "PELTO QZ"};
        int ports = rng() % 5;
        for (int i = 0; i < ports; ++i) {
            std::string instance = "Enum\\Root\\Ports\\" + std::string(6 - i, '0');
            std::string desc = pick(rng, descs);
            bool has_desc = chance(rng, 90);
            if (has_desc)
                reg.set_string(instance, "DeviceDesc", desc);
            bool deletes = false;
            std::string data = driver_value(instance, &deletes);
            bool matched = has_desc && desc.rfind("Pelto QZ", 0) == 0;
            if (matched) {
                img.removed.keys.insert(key_line(instance));
                if (deletes)
                    img.removed.keys.insert(key_line(classes + data));
            } else if (deletes) {
                /* an unmatched instance keeps its driver key */
            }
            ++img.items;
        }
    }

    /* files of both products; product 1 is asked about (and answered OK) when one of its own is left */
    const std::vector<std::string> p0 = {sys + "QZPORT.VXD", sys + "QZUSB.SYS", inf + "QZCOM.INF", inf + "USKBDMAP.INF",
                                         inf + "OTHER\\KVRQZCOM.INF", inf + "qzusbcd.pnf"};
    const std::vector<std::string> p1 = {sys + "QZ65PORT.VXD", sys + "QZ65SV2.SYS", inf + "QZ65COM.INF",
                                         inf + "OTHER\\KVRQZ65USB.INF"};
    bool other_dir = chance(rng, 60);
    if (other_dir)
        fs.add_dir(inf + "OTHER");
    bool p1_detected = false;
    for (int product = 0; product < 2; ++product)
        for (const std::string &f : product ? p1 : p0) {
            if ((f.find("OTHER") != std::string::npos && !other_dir) || !chance(rng, 35))
                continue;
            fs.add_file(f, "", chance(rng, 30) ? FILE_ATTRIBUTE_READONLY : 0);
            if (product == 1)
                p1_detected = true;
            img.removed.files.insert(file_line(f));
        }
    if (!p1_detected)
        for (const std::string &f : p1)
            img.removed.files.erase(file_line(f));
    fs.add_file(sys + "VCOMM.VXD");
    fs.add_file(inf + "QZCOM.INF.BAK");

    /* VxD registrations: product 0's always go, product 1's when it is removed */
    const std::string vmm = "System\\CurrentControlSet\\control\\VMM32Files";
    reg.set_string(vmm, "VCOMM.VXD", "");
    const std::vector<std::pair<std::string, int>> vxds = {
        {"QZPORT.VXD", 0}, {"QZSV1.VXD", 0}, {"QZ65PORT.VXD", 1}, {"QZ65SV1.VXD", 1}, {"qzport.vxd", 0}};
    for (auto &v : vxds)
        if (chance(rng, 40) && !reg.value(vmm, v.first)) {
            reg.set_string(vmm, v.first, "");
            if (v.second == 0 || p1_detected)
                img.removed.values.insert(key_line(vmm) + " \"" + sim::fold(v.first) + "\"");
        }
    const std::string vxd = "System\\CurrentControlSet\\Services\\VxD\\";
    for (auto &v : std::vector<std::pair<std::string, int>>{{"QZPORT", 0}, {"QZSV1", 0}, {"QZ65PORT", 1},
                                                             {"QZ65SV1", 1}, {"QZPORTX", 2}, {"VCOMM", 2}})
        if (chance(rng, 50)) {
            reg.set_string(vxd + v.first, "StaticVxD", v.first + ".VXD");
            if (v.second == 0 || (v.second == 1 && p1_detected))
                img.removed.keys.insert(key_line(vxd + v.first));
        }
    return img;
}

} // namespace

TEST(SafetyProperty, OnlyWhatTheRulesSelectIsRemoved)
{
    const unsigned seed = 20261208;
    const int images_per_family = 300;
    std::mt19937 rng(seed);
    long runs = 0, items = 0;
    int failures = 0;

    for (int i = 0; i < images_per_family; ++i) {
        /* quiet runs remove exactly what answered ones do */
        for (const char *tail : {"", "-D", "-C", "-Q", "-C -Q"}) {
            bool quiet = std::string(tail).find("-Q") != std::string::npos;
            bool complete = std::string(tail).find("-C") != std::string::npos;
            std::mt19937 image_rng(seed + i);
            fresh_pc(i % 3 == 0 ? "winxp" : i % 3 == 1 ? "win7" : "win10");
            NtImage img = make_nt_image(image_rng);
            auto reg_before = sim::pc().registry.snapshot();
            auto files_before = sim::pc().files.snapshot();
            if (!quiet)
                sim::pc().answers = {IDOK, IDCANCEL};
            int code = run_program(tail);
            if (quiet && !logged_error_captions().empty())
                EXPECT_EQ(code, 1603) << "a quiet run that reported a failure";
            else if (quiet)
                EXPECT_TRUE(code == 0 || code == 3010) << "exit code " << code;
            else
                EXPECT_EQ(code, 0);
            Expected e = img.removed_always;
            if (complete)
                e.keys.insert(img.removed_complete.keys.begin(), img.removed_complete.keys.end());
            std::vector<std::string> problems = compare(e, reg_before, sim::pc().registry.snapshot(), files_before);
            ++runs;
            items += img.items;
            if (!problems.empty() && failures++ < 5) {
                std::string all;
                for (const std::string &p : problems)
                    all += "\n    " + p;
                ADD_FAILURE() << "NT image " << i << " (seed " << seed + i << "), \"" << tail << "\":" << all;
            }
        }
    }
    for (int i = 0; i < images_per_family; ++i) {
        std::mt19937 image_rng(seed + 100000 + i);
        fresh_pc(i % 2 ? "win98" : "winme");
        W9xImage img = make_w9x_image(image_rng);
        auto reg_before = sim::pc().registry.snapshot();
        auto files_before = sim::pc().files.snapshot();
        bool quiet = i % 4 == 3; /* every fourth image quietly: the second product goes unasked */
        if (!quiet)
            sim::pc().answers = {IDOK, IDOK, IDCANCEL, IDCANCEL};
        int code = run_program(quiet ? "-Q" : "");
        if (quiet && !logged_error_captions().empty())
            EXPECT_EQ(code, 1603) << "a quiet run that reported a failure";
        else
            EXPECT_TRUE(code == 0 || (quiet && code == 3010)) << "exit code " << code;
        std::vector<std::string> problems = compare(img.removed, reg_before, sim::pc().registry.snapshot(), files_before);
        ++runs;
        items += img.items;
        if (!problems.empty() && failures++ < 10) {
            std::string all;
            for (const std::string &p : problems)
                all += "\n    " + p;
            ADD_FAILURE() << "98/Me image " << i << " (seed " << seed + 100000 + i << "):" << all;
        }
    }
    std::cout << "safety property: " << images_per_family * 2 << " images, " << runs << " runs, " << items
              << " generated items checked, " << failures << " runs differed from the rules" << std::endl;
    EXPECT_EQ(failures, 0);
}
