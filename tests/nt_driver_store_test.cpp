/*
 * nt_driver_store_test.cpp - an OEM INF's driver package is uninstalled
 * before its files are deleted: its catalog goes with it and, from Windows
 * Vista on, its folder in the driver store; every count and status stays
 * what the deletion alone would give.
 */
#include <algorithm>

#include "nt_fixtures.h"
#include "../nt_removal/nt_steps.h"

static const std::string kCatalog = "C:\\WINDOWS\\system32\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\";
static const std::string kStore = "C:\\WINDOWS\\system32\\DriverStore\\FileRepository\\";

/* oem<n>.inf and .pnf in the INF folder, published from a package with a
   catalog and a store folder (as Windows Vista and later keep it). */
static void publish(const std::string &oem, const std::string &original)
{
    std::string base = oem.substr(0, oem.size() - 4);
    sim::pc().files.add_file(inf_dir(oem), "", FILE_ATTRIBUTE_READONLY);
    sim::pc().files.add_file(inf_dir(base + ".pnf"));
    sim::pc().files.add_file(kCatalog + base + ".cat");
    std::string folder = kStore + original + "_amd64_0123456789abcdef";
    sim::pc().files.add_file(folder + "\\" + original);
    sim::pc().files.add_file(folder + "\\QZUSBCOM.SYS");
    sim::pc().driver_packages.push_back({oem, original, folder, kCatalog + base + ".cat"});
}

static bool package_gone(const std::string &oem, const std::string &original)
{
    std::string base = oem.substr(0, oem.size() - 4);
    return !sim::pc().files.exists(inf_dir(oem)) && !sim::pc().files.exists(inf_dir(base + ".pnf")) &&
           !sim::pc().files.exists(kCatalog + base + ".cat") &&
           !sim::pc().files.exists(kStore + original + "_amd64_0123456789abcdef");
}

/* Runs the current-files step of product 0 with `name` as its class INF;
   returns the step's status. */
static int remove_class_pair(const char *name)
{
    copy_text(nt_run.class_inf_name, sizeof nt_run.class_inf_name, name);
    bind_for_step();
    FileCount count;
    int status = remove_driver_files(0, &count);
    release_after_step();
    return status;
}

TEST(NtDriverStore, TheClassInfPackageGoesWithItsCatalogAndStoreFolder)
{
    const struct {
        const char *version;
        bool catalog_gone;
        bool store_gone;
    } cases[] = {
        {"win10", true, true},  /* the driver store */
        {"win7", true, true},
        {"winxp", true, false}, /* no store before Vista: the catalog only */
        {"win2k", false, false}, /* no SetupUninstallOEMInfA: the INF pair alone, as the files step deletes it */
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.version);
        fresh_pc(c.version);
        publish("oem3.inf", "qzusbmdm.inf");
        publish("oem4.inf", "othermdm.inf"); /* another vendor's modem */

        EXPECT_EQ(remove_class_pair("oem3.inf"), 1) << "both files count as deleted, as DeleteFileA would have them";
        EXPECT_TRUE(sim::pc().boxes.empty());
        EXPECT_FALSE(sim::pc().files.exists(inf_dir("oem3.inf")));
        EXPECT_FALSE(sim::pc().files.exists(inf_dir("oem3.pnf")));
        EXPECT_EQ(!sim::pc().files.exists(kCatalog + "oem3.cat"), c.catalog_gone);
        EXPECT_EQ(!sim::pc().files.exists(kStore + "qzusbmdm.inf_amd64_0123456789abcdef"), c.store_gone);
        EXPECT_FALSE(package_gone("oem4.inf", "othermdm.inf")) << "another vendor's package stays";
        EXPECT_TRUE(sim::pc().files.exists(inf_dir("oem4.inf")));
        EXPECT_STREQ(nt_run.class_inf_name, "oem3.pnf") << "the shared name still reads the PNF's afterwards";
    }
}

TEST(NtDriverStore, AFailedUninstallIsReportedAndKeepsTheInfForALaterRun)
{
    /* deleting the INF anyway left the package in the store with nothing
       to find it by; a second run, once the cause is gone, removes both */
    fresh_pc("win10");
    sim::pc().registry.create(kModemClass);
    publish("oem3.inf", "qzusbmdm.inf");
    sim::pc().faults.fail("SetupUninstallOEMInfA", ERROR_ACCESS_DENIED);

    EXPECT_EQ(remove_class_pair("oem3.inf"), 0) << "nothing deleted";
    EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : SetupUninstallOEMInf()"});
    EXPECT_TRUE(sim::pc().files.exists(inf_dir("oem3.inf")));
    EXPECT_TRUE(sim::pc().files.exists(inf_dir("oem3.pnf")));
    EXPECT_FALSE(package_gone("oem3.inf", "qzusbmdm.inf"));

    sim::pc().faults.rules.clear();
    sim::pc().boxes.clear();
    EXPECT_EQ(remove_class_pair("oem3.inf"), 1);
    EXPECT_TRUE(sim::pc().boxes.empty());
    EXPECT_TRUE(package_gone("oem3.inf", "qzusbmdm.inf"));
}

TEST(NtDriverStore, OnlyFilesThatWereThereCount)
{
    const struct {
        const char *name;
        bool with_pnf;
        int expected;
        int uninstalls;
    } cases[] = {
        {"oem3.inf", true, 1, 1},
        {"oem3.inf", false, 0x1000, 1}, /* a PNF that was not there is not counted */
        {"OEM12.INF", true, 1, 1},      /* any letter case */
        {"mdmqz.inf", true, 1, 0},      /* not an OEM INF: deleted, not uninstalled */
        {"oem.inf", true, 1, 0},
        {"oem3.pnf", true, 0, 0},       /* product 1's pass after product 0 found oem3.inf */
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        fresh_pc("win10");
        std::string inf = c.name;
        sim::pc().files.add_file(inf_dir(inf));
        if (c.with_pnf)
            sim::pc().files.add_file(inf_dir(inf.substr(0, inf.size() - 3) + "pnf"));
        if (inf == "oem3.pnf")
            sim::pc().files.remove(inf_dir(inf));

        EXPECT_EQ(remove_class_pair(c.name), c.expected);
        EXPECT_EQ(sim::pc().faults.counts["SetupUninstallOEMInfA"], c.uninstalls);
    }
}

TEST(NtDriverStore, EveryMatchingOemInfIsUninstalledAndLogged)
{
    fresh_pc("win10");
    sim::pc().registry.create(kModemClass);
    add_oem_inf("OEM3.inf", "USB_TA, USB\\VID_1F7C&PID_0084");
    sim::pc().files.add_file(inf_dir("OEM3.pnf"));
    sim::pc().files.add_file(kCatalog + "OEM3.cat");
    sim::pc().driver_packages.push_back({"OEM3.inf", "qz.inf", "", kCatalog + "OEM3.cat"});
    add_oem_inf("OEM5.inf", "USB_TA, USB\\VID_1F7C&PID_0012"); /* the other product's */

    bind_for_step();
    record_oem_inf_step(0);
    release_after_step();

    EXPECT_EQ(status_of(0).oem_inf_status, 1);
    EXPECT_FALSE(sim::pc().files.exists(kCatalog + "OEM3.cat"));
    EXPECT_TRUE(sim::pc().files.exists(inf_dir("OEM5.inf")));
    EXPECT_EQ(sim::pc().faults.counts["SetupUninstallOEMInfA"], 1);
}

TEST(SimDriverStore, UninstallFollowsItsDocumentation)
{
    const struct {
        const char *what;
        const char *name;
        DWORD flags;
        bool administrator;
        bool device_uses_it;
        BOOL ok;
        DWORD error;
    } cases[] = {
        {"forced", "oem3.inf", SUOI_FORCEDELETE, true, true, TRUE, 0},
        {"unforced, no device names it", "oem3.inf", 0, true, false, TRUE, 0},
        {"unforced while a device names it", "oem3.inf", 0, true, true, FALSE, ERROR_INF_IN_USE_BY_DEVICES},
        {"a name with a path", "C:\\WINDOWS\\inf\\oem3.inf", SUOI_FORCEDELETE, true, false, FALSE,
         ERROR_FILE_NOT_FOUND},
        {"not in the INF folder", "oem9.inf", SUOI_FORCEDELETE, true, false, FALSE, ERROR_FILE_NOT_FOUND},
        {"a standard user", "oem3.inf", SUOI_FORCEDELETE, false, false, FALSE, ERROR_ACCESS_DENIED},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("win10");
        publish("oem3.inf", "qzusbmdm.inf");
        sim::pc().administrator = c.administrator;
        if (c.device_uses_it)
            sim::pc().registry.set_string(std::string(kModemClass) + "\\0000", "InfPath", "oem3.inf");
        SetLastError(0xdeadbeef);
        BOOL ok = SetupUninstallOEMInfA(c.name, c.flags, nullptr);
        EXPECT_EQ(ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), c.error) << "expected " << c.error << ", got " << GetLastError();
        }
        EXPECT_EQ(package_gone("oem3.inf", "qzusbmdm.inf"), c.ok == TRUE);
    }
}
