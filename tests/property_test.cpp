/*
 * property_test.cpp - only what the removal rules select is ever removed.
 *
 * Random PC images (seeded, so every failure can be replayed) mix the
 * series' footprint with many decoys: other vendors' devices and modems,
 * the same names in other letter cases, look-alike prefixes ("QZUSBCOMX",
 * "Pelto Q"), malformed "Driver" and "InfPath" data, missing directories.
 * For each image a small model of the rules, written from the README, never
 * from the program's code or tables, says which keys, values and files go,
 * what each step did, which failures are reported and whether Windows must
 * restart, and what --check finds on the image and after a complete removal;
 * the program runs with every command line and must match it exactly.
 */
#include <algorithm>
#include <cstring>
#include <iostream>
#include <random>
#include <regex>
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

/* What --check finds: each item's folded name as its "検出" line gives it, or its "再起動時に削除" line. */
struct Found {
    std::set<std::string> items, waiting;
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

template <class T> const T &pick(std::mt19937 &rng, const std::vector<T> &options)
{
    return options[rng() % options.size()];
}

bool chance(std::mt19937 &rng, int percent)
{
    return (int)(rng() % 100) < percent;
}

/* ---- comparing a run with the model ------------------------------------------ */

bool covered(const std::set<std::string> &removed_keys, const std::string &path)
{
    for (const std::string &k : removed_keys)
        if (path == k || path.rfind(k + "\\", 0) == 0)
            return true;
    return false;
}

/* Adds every difference between what the run removed and what the model says. */
void compare(const Expected &e, const std::set<std::string> &reg_before, const std::set<std::string> &files_before,
             std::vector<std::string> &problems)
{
    std::set<std::string> reg_after = sim::pc().registry.snapshot();
    for (const std::string &line : reg_before) {
        bool gone = !reg_after.count(line);
        bool expected_gone;
        if (line.rfind("key ", 0) == 0) {
            expected_gone = covered(e.keys, line.substr(4)); /* after "key " */
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
}

/* ---- the NT family ---------------------------------------------------------------- */

/* What one step of one product did, as the log's word says it. */
enum Did { NOTHING, REMOVED, FAILED, NOT_RUN };

struct NtImage {
    Expected removed_always;     /* whatever the option */
    Expected removed_complete;   /* only with -C */
    Did did[2][4] = {};          /* devices, services (-C), files, OEM INFs */
    std::vector<std::string> reports, reports_complete; /* the failures reported; with -C, also these */
    bool restart = false, restart_complete = false;     /* Windows must restart; with -C, also when */
    Found found, after_complete;                        /* --check on the image; after a -C removal */
    int items = 0;
};

/* README: "the INF files named by the Modem class registry": a plain "name.inf" of the INF folder
   (one dot, no blank before it, no device name, nothing that reaches another file). */
bool bare_inf_name(const std::string &name)
{
    size_t dot = name.find('.');
    if (dot == 0 || dot == std::string::npos || name.find('.', dot + 1) != std::string::npos ||
        !sim::iequal(name.substr(dot), ".inf") || name[dot - 1] == ' ' ||
        name.find_first_of("\\/:*?<>\"|") != std::string::npos)
        return false;
    std::string base = sim::fold(name.substr(0, dot));
    static const std::set<std::string> devices = {"CON", "PRN", "AUX", "NUL"};
    return !devices.count(base) && !((base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
                                     base.size() == 4 && base[3] >= '1' && base[3] <= '9');
}

/* README: a device is the product's when a hardware ID is the product's,
   alone or followed by the revision (&REV_ and four hex digits), the
   interface (&MI_ and two) or both, letters without regard to case.
   Returns the product (0 or 1) the ID names, or -1. */
static int product_of_id(const std::string &id)
{
    static const std::regex rule("USB\\\\VID_1F7C&PID_(0084|0012)(&REV_[0-9A-F]{4})?(&MI_[0-9A-F]{2})?",
                                 std::regex::icase);
    std::smatch m;
    if (!std::regex_match(id, m, rule))
        return -1;
    return m[1] == "0084" ? 0 : 1;
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

    reg.create(cls + kModemGuid); /* Windows has a key for each of its device classes */
    /* a device that never matches keeps the USB enumerator key alive */
    reg.set_string(enum_usb + "ROOT_HUB\\4&1", "ClassGUID", "{36FC9E60-C465-11CF-8056-444553540000}");
    reg.set_multi_string(enum_usb + "ROOT_HUB\\4&1", "HardwareID", {"USB\\ROOT_HUB"});

    /* devices: exact IDs, other cases, revision-only forms, other vendors */
    const std::vector<std::vector<std::string>> id_lists = {
        {kP0}, {"USB\\Vid_1F7C&Pid_0084&Rev_0100", kP0}, {"USB\\Vid_1F7C&Pid_0084&Rev_0100"}, {"usb\\vid_1f7c&pid_0012"},
        {"USB\\VID_1F7C&PID_0084"}, {kP1}, {"USB\\VID_0BDA&PID_8153"}, {}, {"USB\\Vid_1F7C&Pid_0084 "},
        {"USB\\Vid_1F7C&Pid_00840"}, {"USB\\VID_1F7C&PID_0012&REV_0001", kP1, "USB\\Class_02"},
        {"USB\\VID_1F7C&PID_0084&REV_0100&MI_01", "USB\\VID_1F7C&PID_0084&MI_01"}, {"USB\\VID_1F7C&PID_0084&MI_1"},
        {"USB\\VID_1F7C&PID_0084&REV_01&MI_01"}, {"USB\\Class_02&SubClass_02"}};
    const std::vector<std::string> device_names = {"Vid_1F7C&Pid_0084", "VID_1F7C&PID_0084", "Vid_1F7C&Pid_0012",
                                                   "VID_0BDA&PID_8153", "Vid_1F7C&Pid_0084&MI_01"};
    std::map<std::string, std::pair<int, int>> per_device; /* device key -> instances, removed */
    std::vector<std::pair<std::string, std::string>> series_driver; /* the product's instances: ID, driver key INF */
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
        std::string driver, driver_inf;
        if (chance(rng, 70)) {
            driver = std::string(kModemGuid) + "\\" + std::to_string(9000 + driver_number++);
            reg.set_string(instance, "Driver", driver);
            reg.set_string(cls + driver, "DriverDesc", "device driver key");
            driver_inf = pick(rng, std::vector<std::string>{"", "oem3.inf", "OEM12.inf", "oem01.inf", "mdmgen.inf"});
            if (!driver_inf.empty())
                reg.set_string(cls + driver, "InfPath", driver_inf);
        }
        /* README: a device counts for --check under the series' driver: its service is QZUSBCOM, or its
           driver key's INF describes a product (decided once the OEM INF files are there) */
        std::string service = pick(rng, std::vector<std::string>{"", "QZUSBCOM", "qzusbcom", "usbser", "Modem"});
        if (!service.empty())
            reg.set_string(instance, "Service", service);
        /* README: "hold the product's, compared as Windows compares them (whole, letters without regard to case" */
        int product = -1;
        for (const std::string &id : ids)
            product = product_of_id(id) >= 0 ? product_of_id(id) : product;
        per_device[sim::fold(device)].first++;
        if (product >= 0) {
            series_driver.push_back({sim::fold(instance.substr(strlen("SYSTEM\\CurrentControlSet\\Enum\\"))),
                                     sim::iequal(service, "QZUSBCOM") ? "*" : driver_inf});
            img.did[product][0] = REMOVED;
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
    const std::vector<std::string> matching_ids = {kP0, "usb\\vid_1f7c&pid_0084", kP1, "USB\\VID_1F7C&PID_0012",
                                                   "MDMGEN56", "", "usb\\vid_1f7c&pid_0084&mi_00",
                                                   "USB\\VID_1F7C&PID_0012&REV_0200", "usb\\vid_1f7c&pid_00841"};
    const std::vector<std::string> inf_paths = {"oem3.inf", "oem7.inf", "oem12.inf", "", "..", "x\\y.inf",
                                                "C:\\evil.inf", "ab", "mdmgen.inf", "PeltoMDMforW2K.inf", "oem3.inf.",
                                                "Com1.inf"};
    std::string class_name[2]; /* README: the InfPath of the last driver key (in the registry's order) that names it */
    int modems = rng() % 5;
    for (int j = 0; j < modems; ++j) {
        std::string key = cls + kModemGuid + "\\" + std::to_string(1000 + j);
        std::string id = pick(rng, matching_ids);
        reg.set_string(key, "DriverDesc", "modem " + std::to_string(j));
        if (!id.empty())
            reg.set_string(key, "MatchingDeviceId", id);
        bool has_inf_path = chance(rng, 85);
        std::string inf_path = pick(rng, inf_paths);
        int p = product_of_id(id);
        if (has_inf_path)
            reg.set_string(key, "InfPath", inf_path);
        /* README: "the INF files named by the Modem class registry", each a file of the INF folder */
        if (p >= 0 && has_inf_path && bare_inf_name(inf_path))
            class_name[p] = inf_path;
        ++img.items;
    }

    /* INF files the class names may point at, and decoys */
    for (const char *name : {"oem3.inf", "oem3.pnf", "oem7.inf", "oem7.pnf", "oem12.inf", "mdmgen.inf", "ab",
                             "evil.inf", "y.inf", "Com1.inf"})
        if (chance(rng, 50))
            fs.add_file(inf + name, "", chance(rng, 30) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_ARCHIVE);
    if (chance(rng, 50))
        fs.add_file("C:\\evil.inf");

    /* the products' current files (PeltoMDMforW2K.* are both's: product 0's pass takes them); one of
       product 1's may be held open (it goes at the restart) or refused (reported, it stays) */
    const std::vector<std::string> current[2] = {
        {inf + "PeltoMDMforW2K.inf", inf + "PeltoMDMforW2K.pnf"},
        {drivers + "QZUSBCOM.SYS", inf + "MDMKVRT3.INF", inf + "MDMKVRT3.PNF"}};
    for (const std::vector<std::string> &list : current)
        for (const std::string &f : list)
            if (chance(rng, 50))
                fs.add_file(f, "", chance(rng, 30) ? FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN : 0);
    const std::string held = drivers + "QZUSBCOM.SYS";
    int held_how = fs.exists(held) ? (int)(rng() % 10) : 9; /* 0: open elsewhere, 1: refused */
    if (held_how < 2)
        sim::pc().faults.fail("DeleteFileA", held_how ? ERROR_WRITE_PROTECT : ERROR_SHARING_VIOLATION, 0, held);
    fs.add_file(drivers + "QZUSBCOM.SYS.old");
    fs.add_file(inf + "PeltoMDMforW2K.inf.bak");

    /* legacy files (product 1's Windows 98/Me package, left by an upgrade): all go when any is there */
    const std::vector<std::string> legacy = {
        "C:\\WINDOWS\\system32\\QZPORT.VXD", "C:\\WINDOWS\\system32\\QZUSB.SYS", inf + "QZUSB.INF", inf + "qzusbcd.inf",
        inf + "OTHER\\KVRQZCOM.INF", inf + "OTHER\\KVRqzusbcd.inf", inf + "USKBDMAP.PNF"};
    bool other_dir = chance(rng, 50);
    if (other_dir)
        fs.add_dir(inf + "OTHER");
    for (const std::string &f : legacy)
        if ((other_dir || f.find("OTHER") == std::string::npos) && chance(rng, 15))
            fs.add_file(f);

    /* README: "the OEM INF files that describe the product": their [USBTA] adapter line names its hardware ID */
    const std::vector<std::string> lines = {
        "USB_TA, USB\\Vid_1F7C&Pid_0084", "USB_TA, USB\\VID_1F7C&PID_0084, USB\\VID_1F7C&PID_0084&REV_0100",
        "usb_ta,usb\\vid_1f7c&pid_0012", "USB_TA, USB\\Vid_1F7C&Pid_0099", "USB_TA, USB\\Vid_1F7C&Pid_008",
        "USB_TB, USB\\Vid_1F7C&Pid_0084", "USB_TA, USB\\Vid_1F7C&Pid_00841"};
    std::vector<std::string> oem_infs[2];
    std::set<std::string> describing; /* folded names of the INF files that describe a product */
    int oems = rng() % 5;
    for (int k = 0; k < oems; ++k) {
        /* Windows numbers published INFs upwards, past 99 on a PC with years of drivers, without
           leading zeros; README: "`oem01.inf`, not a name Windows gives, is passed over" */
        int n = chance(rng, 75) ? (int)(rng() % 100) : pick(rng, std::vector<int>{100, 101, 102, 1000, 12345});
        std::string digits = (chance(rng, 10) ? "0" : "") + std::to_string(n);
        std::string base = inf + "OEM" + digits;
        if (fs.exists(base + ".inf"))
            continue;
        std::string line = pick(rng, lines);
        bool right_key = chance(rng, 85);
        fs.add_file(base + ".inf", std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\n[USBTA]\r\n") +
                                       (right_key ? "\"Pelto QZ-USB USBPort Adapter\"" : "\"Pelto QZ-USB USBPort\"") +
                                       " = " + line + "\r\n");
        if (chance(rng, 60))
            fs.add_file(base + ".pnf");
        std::string text = line; /* the line's fields, as SetupGetLineTextA gives them */
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        /* README: the line begins with "USB_TA," and the product's ID; what follows is not read */
        for (int p = 0; p < 2; ++p)
            if (right_key && sim::iequal(text.substr(0, 7 + strlen(kP0)), std::string("USB_TA,") + (p ? kP1 : kP0))) {
                describing.insert(sim::fold("OEM" + digits + ".inf"));
                if (digits.size() == 1 || digits[0] != '0')
                    oem_infs[p].push_back(base);
            }
        ++img.items;
    }
    for (const auto &device : series_driver)
        if (device.second == "*" || describing.count(sim::fold(device.second)))
            img.found.items.insert(device.first);

    /* each product's pass in turn: its file step (current files, the class INF pairs, product 1's
       legacy files), then its OEM INF step; a file goes once, at the first step that takes it */
    auto take = [&](const std::string &path, Did *did, bool in_word = true) {
        if (!fs.exists(path) || img.removed_always.files.count(file_line(path)))
            return;
        img.found.items.insert(file_line(path));
        if (path == held && held_how < 2) /* refused, it stays; open elsewhere, it waits for the restart */
            (held_how ? img.after_complete.items : img.after_complete.waiting).insert(file_line(path));
        if (path == held && held_how == 1) {
            *did = FAILED;
            img.reports.push_back("Function : DeleteFile()");
            return;
        }
        if (path != held || held_how != 0)
            img.removed_always.files.insert(file_line(path));
        *did = *did == NOTHING && in_word ? REMOVED : *did;
    };
    auto take_pair = [&](const std::string &path, Did *did) { /* an INF and its PNF: the same base name */
        take(path, did);
        if (path.size() > 4 && sim::iequal(path.substr(path.size() - 4), ".inf"))
            take(path.substr(0, path.size() - 4) + ".pnf", did);
    };
    for (int p = 0; p < 2; ++p) {
        for (const std::string &f : current[p]) /* README: the file step's word tells of the class INF pair */
            take(f, &img.did[p][2], false);
        if (!class_name[p].empty())
            take_pair(inf + class_name[p], &img.did[p][2]);
        for (const std::string &f : legacy)
            if (p == 1 && std::any_of(legacy.begin(), legacy.end(), [&](const std::string &l) { return fs.exists(l); }))
                take(f, &img.did[p][2]);
        for (const std::string &base : oem_infs[p])
            take_pair(base + ".inf", &img.did[p][3]);
    }
    img.restart = held_how == 0;

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
        if (sim::pc().version.major >= 6) {
            img.removed_always.files.insert(file_line(folder + "\\driver.sys"));
            img.found.items.insert(file_line(folder + "\\pkg.inf")); /* --check names the package's INF */
        }
        ++img.items;
    }

    /* service keys; README: "the `QZUSBCOM` service key in the current and every numbered control set"
       (key names compare without regard to case). A control set number may be missing (001, 003). */
    std::vector<std::string> sets = {"CurrentControlSet"};
    int numbered = rng() % 4, gap = 1 + (int)(rng() % 4);
    for (int n = 1; n <= numbered; ++n) {
        char set[32];
        snprintf(set, sizeof set, "ControlSet%03d", n + (n >= gap)); /* a number may be missing: every set is visited */
        reg.create(std::string("SYSTEM\\") + set + "\\Services\\usbser");
        sets.push_back(set);
    }
    for (const std::string &set : sets) {
        std::string services = "SYSTEM\\" + set + "\\Services\\";
        std::string variant = pick(rng, std::vector<std::string>{"QZUSBCOM", "qzusbcom", "none", "QzUsbCom"});
        if (chance(rng, 30)) /* a look-alike, alone or not: never the series' */
            reg.set_dword(services + "QZUSBCOMX", "Type", 1); /* another service: it stays */
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
        ++img.items;
        /* README: "A service key goes with all its subkeys, at any depth" */
        img.removed_complete.keys.insert(key_line(key));
        img.found.items.insert(sim::fold(services + "QZUSBCOM"));
        img.did[1][1] = img.did[1][1] == NOTHING ? REMOVED : img.did[1][1];
    }
    /* README: "3010 | done; Windows must restart (the service keys went"; "(the restart is asked for all the same)" */
    img.restart_complete = img.did[1][1] != NOTHING;
    return img;
}

/* ---- Windows 98/Me ---------------------------------------------------------------------- */

struct W9xImage {
    Expected removed;
    Found found;
    std::vector<std::string> reports;
    Did did[2][2] = {}; /* registry, files */
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
    std::vector<std::string> counted; /* the driver keys the registry step's word tells of */
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
            if (deletes && device != "USB\\VID_1F7C&PID_0084")
                counted.push_back(key_line(classes + data));
        }
        ++img.items;
        return true;
    };
    std::string hw = pick(rng, std::vector<std::string>{"USB\\Vid_1F7C&Pid_0012", "USB\\VID_1F7C&PID_0012"});
    bool hw_key = enum_device(hw, 60);
    if (hw_key)
        img.removed.keys.insert(key_line("Enum\\" + hw));
    bool usb_modem = enum_device("USB\\VID_1F7C&PID_0084", 50);
    if (usb_modem)
        img.removed.keys.insert(key_line("Enum\\USB\\VID_1F7C&PID_0084"));
    {
        /* the WDM modem key goes only with the USB modem key */
        Expected before = img.removed;
        if (enum_device("WDM_MODEM\\KVR0084", 50) && usb_modem)
            img.removed.keys.insert(key_line("Enum\\WDM_MODEM\\KVR0084"));
        else if (!usb_modem)
            img.removed = before;
    }
    reg.set_string("Enum\\USB\\VID_0BDA&PID_8153\\1", "Driver", "Net\\0000");

    /* README: "port instances whose description begins with `Pelto QZ` (with case)" */
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
            if (matched)
                img.removed.keys.insert(key_line(instance));
            if (matched && deletes) {
                img.removed.keys.insert(key_line(classes + data));
                counted.push_back(key_line(classes + data));
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
            p1_detected |= product == 1;
            img.did[product][1] = REMOVED;
            img.removed.files.insert(file_line(f));
        }
    bool shared = fs.exists(inf + "USKBDMAP.INF"); /* a file of both products */
    /* README: both products are looked for before either goes, by the device key and the files */
    p1_detected = p1_detected || hw_key || shared;
    /* README: "A driver file whose folder is not there ... is not there either: no report" (a PC
       without INF\OTHER used to get eight reports and end with 1603 with nothing wrong) */
    /* the Enum, class and port keys go in product 0's pass; README: the registry step's word tells of
       the driver keys and the VxD registrations */
    for (const std::string &k : counted)
        img.did[0][0] = img.removed.keys.count(k) ? REMOVED : img.did[0][0];
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
            std::string value = key_line(vmm) + " \"" + sim::fold(v.first) + "\"";
            if (v.second == 0 || p1_detected) {
                img.removed.values.insert(value);
                img.did[v.second][0] = REMOVED;
            }
        }
    const std::string vxd = "System\\CurrentControlSet\\Services\\VxD\\";
    for (auto &v : std::vector<std::pair<std::string, int>>{{"QZPORT", 0}, {"QZSV1", 0}, {"QZ65PORT", 1},
                                                             {"QZ65SV1", 1}, {"QZPORTX", 2}, {"VCOMM", 2}})
        if (chance(rng, 50)) {
            reg.set_string(vxd + v.first, "StaticVxD", v.first + ".VXD");
            if (v.second == 0 || (v.second == 1 && p1_detected)) {
                img.removed.keys.insert(key_line(vxd + v.first));
                img.did[v.second][0] = REMOVED;
            }
        }
    for (const std::set<std::string> *items : {&img.removed.keys, &img.removed.values, &img.removed.files})
        img.found.items.insert(items->begin(), items->end());
    return img;
}

/* ---- comparing a run's exit code, boxes and log with the model ---------------------- */

/* The word after "<name> " in a product's line of the log ("製品 0: デバイス 削除、..."), or "". */
std::string step_word(const std::string &line, const std::string &name)
{
    size_t at = line.find(name + " ");
    std::string rest = at == std::string::npos ? "" : line.substr(at + name.size() + 1);
    return rest.substr(0, std::min(rest.find(' '), rest.find("、")));
}

/* Runs the program with this tail on the PC as it is and checks the run against the model: what goes,
   the failure captions it reports (sorted), the restart, each product's steps (in the log's order, named);
   each difference names the rule; the first runs that differ fail. */
void check_run(const std::string &tail, const Expected &e, const std::vector<std::string> &reports, bool restart_needed,
               const std::vector<std::vector<Did>> &steps, const std::vector<std::string> &names,
               const std::string &run, int *differed)
{
    bool quiet = tail.find("-Q") != std::string::npos;
    std::set<std::string> reg_before = sim::pc().registry.snapshot(), files_before = sim::pc().files.snapshot();
    if (!quiet) /* the confirmation, on 98/Me the second product's question, then Cancel to the restart */
        sim::pc().answers = sim::pc().version.major < 5 ? std::deque<int>{IDOK, IDOK, IDCANCEL}
                                                        : std::deque<int>{IDOK, IDCANCEL};
    int code = run_program(tail);
    int exit_code = !quiet ? 0 : !reports.empty() ? 1603 : restart_needed ? 3010 : 0;
    std::vector<std::string> problems;
    compare(e, reg_before, files_before, problems);
    static const char *const words[] = {"なし", "削除", "失敗", "実行せず"};
    static const char *const rules[] = {
        "a step that found nothing reads なし", "a step that removed something reads 削除 or 一部削除",
        "a step in which a failure was reported reads 失敗, whatever came after (the legacy files must not overwrite it)",
        "a step that did not run reads 実行せず"};
    std::vector<std::string> captions, boxes = error_captions(), products(2);
    std::string restart = "no restart line";
    int failures = -1;
    for (const std::string &line : log_lines()) {
        if (line.rfind("失敗の報告: ", 0) == 0)
            failures = atoi(line.c_str() + strlen("失敗の報告: "));
        else if (failures < 0 && line.rfind("メッセージ [Function : ", 0) == 0)
            captions.push_back(line.substr(strlen("メッセージ ["), line.size() - strlen("メッセージ [") - 1));
        else if (line.rfind("製品 ", 0) == 0 && line.size() > 8)
            products[line[7] == '1'] = line;
        else if (line.rfind("再起動: ", 0) == 0)
            restart = line;
    }
    std::sort(captions.begin(), captions.end());
    std::sort(boxes.begin(), boxes.end());
    auto rule = [&](bool holds, const std::string &text, const std::string &seen) {
        if (!holds)
            problems.push_back(text + "; seen " + seen);
    };
    rule(code == exit_code,
         "exit code " + std::to_string(exit_code) +
             (quiet ? ": a quiet run ends with 1603 after a failure, else 3010 when Windows must restart, else 0"
                    : ": an interactive run ends with 0"),
         std::to_string(code));
    rule((restart.rfind("再起動: 必要", 0) == 0) == restart_needed,
         restart_needed ? "Windows must restart (a service key or a 98/Me registry entry went, a file waits for it)"
                        : "no restart is needed",
         restart);
    rule(captions == reports, "the failures reported are those foreseen, " + testing::PrintToString(reports),
         testing::PrintToString(captions));
    rule(quiet ? boxes.empty() : boxes == reports, "a failure is a box, in a quiet run none",
         testing::PrintToString(boxes));
    rule(failures == (int)captions.size(), "the log's failure count equals its reports", std::to_string(failures));
    for (size_t p = 0; p < steps.size(); ++p)
        for (size_t s = 0; s < names.size(); ++s) {
            Did did = steps[p][s];
            std::string word = step_word(products[p], names[s]);
            rule(word == words[did] || (did == REMOVED && word == "一部削除"),
                 "product " + std::to_string(p) + ", " + names[s] + ": " + rules[did], "\"" + word + "\"");
        }
    std::string all;
    for (const std::string &p : problems)
        all += "\n    " + p;
    if (!problems.empty() && (*differed)++ < 10)
        ADD_FAILURE() << run << ":" << all;
}

/* Runs --check with this tail on the PC as it is and checks the items its log lists, found and waiting
   for the restart, and its exit code: 1 when something is found, else 3010 when something waits, else 0. */
void check_check(const std::string &tail, const Found &f, const std::string &run, int *differed)
{
    int code = run_program(tail), expected = !f.items.empty() ? 1 : !f.waiting.empty() ? 3010 : 0;
    Found seen;
    for (const std::string &line : log_lines()) {
        bool found = line.rfind("検出 ", 0) == 0, waiting = line.rfind("再起動時に削除 ", 0) == 0;
        if ((found || waiting) && line.find(": ") != std::string::npos)
            (found ? seen.items : seen.waiting).insert(sim::fold(line.substr(line.find(": ") + 2)));
    }
    std::string all;
    if (code != expected)
        all += "\n    exit code " + std::to_string(expected) + ": --check answers 1 found, 3010 only what waits for "
               "the restart, 0 nothing; seen " + std::to_string(code);
    for (int waiting = 0; waiting < 2; ++waiting) {
        const std::set<std::string> &want = waiting ? f.waiting : f.items, &got = waiting ? seen.waiting : seen.items;
        for (const std::string &item : want)
            if (!got.count(item))
                all += std::string("\n    not listed, the rules find it") + (waiting ? " waiting: " : ": ") + item;
        for (const std::string &item : got)
            if (!want.count(item))
                all += std::string("\n    listed, the rules do not find it") + (waiting ? " waiting: " : ": ") + item;
    }
    if (!all.empty() && (*differed)++ < 10)
        ADD_FAILURE() << run << ", \"" << tail << "\":" << all;
}

} // namespace

TEST(SafetyProperty, OnlyWhatTheRulesSelectIsRemoved)
{
    const unsigned seed = 20261208;
    const int images_per_family = 300;
    long items = 0;
    int differed = 0;

    for (int i = 0; i < images_per_family; ++i) {
        /* quiet runs remove exactly what answered ones do */
        for (const char *tail : {"", "-D", "-C", "-Q", "-C -Q", "--check -Q", "--check"}) {
            if (std::string(tail) == "--check" && i % 2) /* interactive, on every other image */
                continue;
            bool complete = std::string(tail).find("-C") != std::string::npos;
            std::mt19937 image_rng(seed + i);
            fresh_pc(i % 3 == 0 ? "winxp" : i % 3 == 1 ? "win7" : "win10");
            NtImage img = make_nt_image(image_rng);
            Expected e = img.removed_always;
            std::vector<std::string> reports = img.reports;
            if (complete) {
                e.keys.insert(img.removed_complete.keys.begin(), img.removed_complete.keys.end());
                reports.insert(reports.end(), img.reports_complete.begin(), img.reports_complete.end());
            }
            std::sort(reports.begin(), reports.end());
            std::vector<std::vector<Did>> steps;
            for (int p = 0; p < 2; ++p) /* README: "the service keys of product 0, those of product 1 without `-C`" */
                steps.push_back({img.did[p][0], p && complete ? img.did[1][1] : NOT_RUN, img.did[p][2], img.did[p][3]});
            items += img.items;
            if (std::string(tail).rfind("--check", 0) == 0) {
                check_check(tail, img.found, "NT image " + std::to_string(i), &differed);
                continue;
            }
            check_run(tail, e, reports, img.restart || (complete && img.restart_complete), steps,
                      {"デバイス", "サービス", "ファイル", "OEM INF"},
                      "NT image " + std::to_string(i) + " (seed " + std::to_string(seed + i) + "), \"" + tail + "\"",
                      &differed);
            if (std::string(tail) == "-C -Q") /* what the removal left: a refused file, or one that waits */
                check_check("--check -Q", img.after_complete, "NT image " + std::to_string(i) + " after -C -Q", &differed);
        }
    }
    for (int i = 0; i < images_per_family; ++i) {
        std::mt19937 check_rng(seed + 100000 + i);
        fresh_pc(i % 2 ? "win98" : "winme");
        check_check("--check -Q", make_w9x_image(check_rng).found, "98/Me image " + std::to_string(i), &differed);
        std::mt19937 image_rng(seed + 100000 + i);
        fresh_pc(i % 2 ? "win98" : "winme");
        W9xImage img = make_w9x_image(image_rng);
        bool quiet = i % 4 == 3; /* every fourth image quietly: the second product goes unasked */
        items += img.items;
        /* README: "a restart follows when a product's registry step reads 削除" */
        check_run(quiet ? "-Q" : "", img.removed, img.reports, img.did[0][0] == REMOVED || img.did[1][0] == REMOVED,
                  {{img.did[0][0], img.did[0][1]}, {img.did[1][0], img.did[1][1]}}, {"レジストリ", "ファイル"},
                  "98/Me image " + std::to_string(i) + " (seed " + std::to_string(seed + 100000 + i) + ")", &differed);
        /* nothing is left that --check looks for */
        check_check("--check -Q", Found(), "98/Me image " + std::to_string(i) + " after the removal", &differed);
    }
    std::cout << "safety property: " << images_per_family * 2 << " images, " << images_per_family * 21 / 2
              << " runs (--check " << images_per_family * 9 / 2 << "), "
              << items << " generated items checked, " << differed << " runs differed from the rules" << std::endl;
    EXPECT_EQ(differed, 0);
}
