/*
 * nt_oem_inf_test.cpp - the OEM INF search: OEM0.inf to OEM99.inf read
 * through the setup API, the [USBTA] line match, the PNF files, and the
 * failure paths.
 */
#include "nt_fixtures.h"
#include "../nt_removal/nt_steps.h"

static void remove_oem(int index)
{
    bind_for_step();
    record_oem_inf_step(index);
    release_after_step();
}

TEST(NtOemInf, AMatchingFileGoesWithItsPnfForItsProductOnly)
{
    struct {
        int index;
        bool deleted;
        int expected;
    } cases[] = {{0, true, 1}, {1, false, 0}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.index);
        fresh_pc("winxp");
        add_oem_inf("OEM3.inf", "USB_TA, USB\\VID_1F7C&PID_0084"); /* other letter cases than the table's */
        sim::pc().files.add_file(inf_dir("OEM3.PNF"), "", FILE_ATTRIBUTE_READONLY);

        remove_oem(c.index);

        EXPECT_EQ(status_of(c.index).oem_inf_status, c.expected);
        EXPECT_EQ(!sim::pc().files.exists(inf_dir("OEM3.inf")), c.deleted);
        EXPECT_EQ(!sim::pc().files.exists(inf_dir("OEM3.pnf")), c.deleted);
        EXPECT_TRUE(sim::pc().boxes.empty());
        EXPECT_NOTHING_LEFT_OPEN();
    }
}

TEST(NtOemInf, OnlyTheBeginningOfTheLineIsCompared)
{
    struct {
        const char *fields;
        bool matches;
    } cases[] = {
        {"USB_TA, USB\\VID_1F7C&PID_0084, USB\\CLASS_02", true}, /* more fields after the ID */
        {"USB_TA,USB\\Vid_1F7C&Pid_0084&Rev_0100", true},        /* the ID followed by more text */
        {"USB_TA, USB\\VID_1F7C&PID_008", false},                /* shorter than the match text */
        {"USB_MODEM, USB\\VID_1F7C&PID_0084", false},
        {"USB\\VID_1F7C&PID_0084", false},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.fields);
        fresh_pc("winxp");
        add_oem_inf("oem5.inf", c.fields);
        remove_oem(0);
        EXPECT_EQ(!sim::pc().files.exists(inf_dir("oem5.inf")), c.matches);
        EXPECT_EQ(status_of(0).oem_inf_status, c.matches ? 1 : 0);
    }
}

TEST(NtOemInf, EveryNumberIsExaminedInAscendingOrder)
{
    /* Windows numbers the INFs it publishes upwards from the highest in
       use, so the numbers past 99 count too; a folder lists them in no
       numeric order (oem1000 before oem101), the steps take them so */
    fresh_pc("win10");
    for (const char *name : {"OEM0.inf", "OEM2.inf", "OEM57.inf", "OEM99.inf", "oem1000.inf", "oem101.inf",
                             "OEM100.inf", "oem12345678901234567890.inf", "OEM07.inf", "oem0100.inf", "OEMX.inf",
                             "oem5.inf.bak", "pelto.inf"})
        add_oem_inf(name, "USB_TA, USB\\VID_1F7C&PID_0012");
    sim::pc().files.add_file(inf_dir("OEM57.pnf"));

    remove_oem(1);

    EXPECT_EQ(status_of(1).oem_inf_status, 1);
    for (const char *gone : {"OEM0.inf", "OEM2.inf", "OEM57.inf", "OEM57.pnf", "OEM99.inf", "OEM100.inf",
                             "oem101.inf", "oem1000.inf", "oem12345678901234567890.inf"})
        EXPECT_FALSE(sim::pc().files.exists(inf_dir(gone))) << gone;
    for (const char *kept : {"OEM07.inf", "oem0100.inf", "OEMX.inf", "oem5.inf.bak", "pelto.inf"})
        EXPECT_TRUE(sim::pc().files.exists(inf_dir(kept))) << kept << ": not a number Windows gives";
    std::vector<std::string> past_99;
    int opened = 0;
    for (const sim::CallRecord &c : sim::pc().faults.calls) {
        opened += c.function == "SetupOpenInfFileA";
        if (c.function == "SetupOpenInfFileA" && opened > 100)
            past_99.push_back(c.argument);
    }
    EXPECT_EQ(past_99, (std::vector<std::string>{inf_dir("OEM100.inf"), inf_dir("oem101.inf"), inf_dir("oem1000.inf"),
                                                 inf_dir("oem12345678901234567890.inf")}));
    EXPECT_NOTHING_LEFT_OPEN();
    EXPECT_TRUE(sim::pc().kernel_handles.empty()) << "every search closed";
}

TEST(NtOemInf, FilesWithoutTheLineAreClosedAndKept)
{
    fresh_pc("winxp");
    sim::pc().files.add_file(inf_dir("oem1.inf"), "[Version]\nSignature=\"$Windows NT$\"\n[Manufacturer]\nx=y\n");
    sim::pc().files.add_file(inf_dir("oem2.inf"),
                             "[Version]\nSignature=\"$Chicago$\"\n[USBTA]\n\"Other Adapter\" = USB_TA, "
                             "USB\\VID_1F7C&PID_0084\n");
    sim::pc().files.add_file(inf_dir("oem3.inf"), "no sections at all");

    remove_oem(0);

    EXPECT_EQ(status_of(0).oem_inf_status, 0);
    EXPECT_TRUE(sim::pc().files.exists(inf_dir("oem1.inf")));
    EXPECT_TRUE(sim::pc().files.exists(inf_dir("oem2.inf")));
    EXPECT_TRUE(sim::pc().boxes.empty());
    EXPECT_NOTHING_LEFT_OPEN();
}

TEST(NtOemInf, ALineWrittenWithStringsKeysMatches)
{
    fresh_pc("winxp");
    sim::pc().files.add_file(inf_dir("oem6.inf"),
                             "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n"
                             "[USBTA]\r\n%QZ.Adapter% = %Sect%, %QZ.Id% ; the adapter\r\n\r\n"
                             "[Strings]\r\nQZ.Adapter = \"Pelto QZ-USB USBPort Adapter\"\r\nSect=USB_TA\r\n"
                             "QZ.Id=\"USB\\VID_1F7C&PID_0012\"\r\n");
    remove_oem(1);
    EXPECT_FALSE(sim::pc().files.exists(inf_dir("oem6.inf")));
    EXPECT_EQ(status_of(1).oem_inf_status, 1);
}

TEST(NtOemInf, FailuresShowTheirBoxAndLeaveTheirStatus)
{
    struct {
        InjectedFailure failure;
        int expected;
        std::vector<std::string> kept;
    } cases[] = {
        {{"a matching file cannot be deleted: its PNF and the next file still go", "DeleteFileA", ERROR_WRITE_PROTECT, 0,
          inf_dir("OEM3.inf"), {"Function : DeleteFile()"}}, 0xffff, {"OEM3.inf"}},
        {{"no Windows directory: the search ends", "GetWindowsDirectoryA", ERROR_INVALID_PARAMETER, 0,
          "", {"Function : GetWindowsDirectory()"}},
         0xffff, {"OEM3.inf", "OEM3.pnf", "OEM12.inf", "OEM12.pnf", "OEM100.inf"}},
        /* the file was opened and matched a moment ago: only "not found" is silent */
        {{"a refused SetFileAttributes is reported", "SetFileAttributesA", ERROR_ACCESS_DENIED, 0,
          inf_dir("OEM3.inf"), {"Function : SetFileAttributes()"}}, 0xffff, {"OEM3.inf"}},
        {{"a matched file gone since: absent", "SetFileAttributesA", ERROR_FILE_NOT_FOUND, 0,
          inf_dir("OEM3.inf"), {}}, 1, {"OEM3.inf"}},
        {{"the folder's search fails: the walk ends", "FindFirstFileA", ERROR_NOT_ENOUGH_MEMORY, 0,
          "", {"Function : FindFirstFile()"}}, 0xffff, {"OEM100.inf"}},
        {{"no memory for the line: no match", "LocalAlloc", ERROR_NOT_ENOUGH_MEMORY, 1,
          "", {}}, 1, {"OEM3.inf", "OEM3.pnf"}},
        {{"the second read fails: no match", "SetupGetLineTextA", ERROR_INVALID_PARAMETER, 2,
          "", {}}, 1, {"OEM3.inf", "OEM3.pnf"}},
        {{"the file cannot be opened: skipped", "SetupOpenInfFileA", ERROR_ACCESS_DENIED, 0,
          inf_dir("OEM12.inf"), {}}, 1, {"OEM12.inf", "OEM12.pnf"}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.failure.what);
        fresh_pc("win2k"); /* no driver package uninstall: the deletion alone decides what stays */
        add_oem_inf("OEM3.inf", "USB_TA, USB\\VID_1F7C&PID_0084");
        sim::pc().files.add_file(inf_dir("OEM3.pnf"));
        add_oem_inf("OEM12.inf", "USB_TA, USB\\VID_1F7C&PID_0084");
        sim::pc().files.add_file(inf_dir("OEM12.pnf"));
        add_oem_inf("OEM100.inf", "USB_TA, USB\\VID_1F7C&PID_0084");
        c.failure.inject();

        remove_oem(0);

        EXPECT_EQ(error_captions(), c.failure.captions);
        EXPECT_EQ(status_of(0).oem_inf_status, c.expected);
        for (const char *name : {"OEM3.inf", "OEM3.pnf", "OEM12.inf", "OEM12.pnf", "OEM100.inf"}) {
            bool kept = std::find(c.kept.begin(), c.kept.end(), name) != c.kept.end();
            EXPECT_EQ(sim::pc().files.exists(inf_dir(name)), kept) << name;
        }
        EXPECT_NOTHING_LEFT_OPEN();
    }
}
