/*
 * nt_service_keys_test.cpp - the service key in the current and every
 * numbered control set: the walk over every ControlSetNNN, the name
 * matched whole without case, every subkey at any depth, links, and every
 * failure path.
 */
#include "nt_fixtures.h"
#include "../nt_removal/nt_steps.h"

static std::string services(const std::string &control_set)
{
    return "SYSTEM\\" + control_set + "\\Services";
}

static void add_service(const std::string &control_set, const std::string &name)
{
    sim::pc().registry.set_string(services(control_set) + "\\" + name, "ImagePath",
                                  "system32\\DRIVERS\\" + name + ".sys");
    sim::pc().registry.create(services(control_set) + "\\" + name + "\\Enum");
    sim::pc().registry.create(services(control_set) + "\\" + name + "\\Security");
}

static void remove_services()
{
    bind_for_step();
    record_service_step(1);
    release_after_step();
}

/* Every ControlSetNNN that SYSTEM holds is visited, whatever the gaps (the
   walk used to stop at the first missing number, and left 003 of a PC with
   001 and 003 after a last-known-good boot). */
TEST(NtServiceKeys, DeletedInTheCurrentAndEveryNumberedSetWhateverTheGaps)
{
    fresh_pc("winxp");
    add_service("CurrentControlSet", "QZUSBCOM");
    add_service("ControlSet001", "QZUSBCOM");
    add_service("ControlSet003", "QZUSBCOM"); /* after the gap at 002 */
    add_service("controlset010", "QZUSBCOM"); /* names compare without case */
    sim::pc().registry.create("SYSTEM\\ControlSet004");  /* no Services: passed over */
    add_service("ControlSet1000", "QZUSBCOM"); /* not three digits: no control set */
    add_service("ControlSet02", "QZUSBCOM");
    add_service("ControlSet001", "Serial");

    remove_services();

    EXPECT_EQ(status_of(1).service_status, 1);
    for (const char *gone : {"CurrentControlSet", "ControlSet001", "ControlSet003", "ControlSet010"})
        EXPECT_FALSE(sim::pc().registry.exists(services(gone) + "\\QZUSBCOM")) << gone;
    for (const char *kept : {"ControlSet1000", "ControlSet02"})
        EXPECT_TRUE(sim::pc().registry.exists(services(kept) + "\\QZUSBCOM")) << kept;
    EXPECT_TRUE(sim::pc().registry.exists(services("ControlSet001") + "\\Serial"));
    EXPECT_TRUE(sim::pc().boxes.empty());
    std::vector<std::string> visits;
    for (const sim::CallRecord &c : sim::pc().faults.calls)
        if (c.function == "RegOpenKeyExA" && c.argument.size() > 9 && c.argument.substr(c.argument.size() - 9) == "Services\\")
            visits.push_back(c.argument);
    EXPECT_EQ(visits, (std::vector<std::string>{"SYSTEM\\CurrentControlSet\\Services\\", "SYSTEM\\ControlSet001\\Services\\",
                                                "SYSTEM\\ControlSet003\\Services\\", "SYSTEM\\ControlSet004\\Services\\",
                                                "SYSTEM\\ControlSet010\\Services\\"}))
        << "the current set, then the numbered ones in ascending order";
    EXPECT_NOTHING_LEFT_OPEN();
}

TEST(NtServiceKeys, ALinkedCurrentSetIsDeletedOnceAndItsNumberedPassFindsNothing)
{
    fresh_pc("winxp");
    sim::pc().registry.remove("SYSTEM\\CurrentControlSet");
    add_service("ControlSet001", "QZUSBCOM");
    sim::pc().registry.link("SYSTEM\\CurrentControlSet", "SYSTEM\\ControlSet001");

    remove_services();

    EXPECT_EQ(status_of(1).service_status, 1);
    EXPECT_FALSE(sim::pc().registry.exists(services("ControlSet001") + "\\QZUSBCOM"));
    EXPECT_TRUE(sim::pc().boxes.empty());
}

/* The service key is the one named QZUSBCOM, whole, in any letters (the
   registry cannot hold two that differ only so); the step used to take any
   name beginning with the 8 letters, with case, and then failed to open
   QZUSBCOM itself beside QZUSBCOM2. */
TEST(NtServiceKeys, TheNameMatchesWholeWithoutRegardToCase)
{
    struct {
        const char *present;
        int expected;
        bool survives;
    } cases[] = {
        {"qzusbcom", 1, false}, {"QzUsbCom", 1, false},
        {"QZUSBCO", 0, true},   /* shorter: must equal entirely */
        {"QZUSBCOMX", 0, true}, /* another vendor's: neither touched nor reported */
        {"QZUSBCOM2", 0, true}, {"Serial", 0, true},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.present);
        fresh_pc("winxp");
        add_service("CurrentControlSet", c.present);

        remove_services();

        EXPECT_EQ(status_of(1).service_status, c.expected);
        EXPECT_TRUE(error_captions().empty());
        EXPECT_EQ(sim::pc().registry.exists(services("CurrentControlSet") + "\\" + c.present), c.survives);
        EXPECT_NOTHING_LEFT_OPEN();
    }
}

/* Windows writes Parameters\Wdf below every KMDF driver's service key: the
   key goes with every subkey at any depth, deepest first (the step used to
   delete one level and fail on the rest). */
TEST(NtServiceKeys, EverySubkeyGoesDeepestFirst)
{
    fresh_pc("win10");
    add_service("CurrentControlSet", "QZUSBCOM");
    const std::string key = services("CurrentControlSet") + "\\QZUSBCOM";
    sim::pc().registry.set_dword(key + "\\Parameters\\Wdf", "KmdfLibraryVersion", 0);
    sim::pc().registry.create(key + "\\Parameters\\Wdf\\Deeper");

    remove_services();

    EXPECT_EQ(status_of(1).service_status, 1);
    EXPECT_TRUE(error_captions().empty());
    EXPECT_FALSE(sim::pc().registry.exists(key));
    std::vector<std::string> deleted;
    for (const sim::CallRecord &c : sim::pc().faults.calls)
        if (c.function == "RegDeleteKeyA")
            deleted.push_back(c.argument.substr(c.argument.find("QZUSBCOM")));
    EXPECT_EQ(deleted, (std::vector<std::string>{"QZUSBCOM\\Enum", "QZUSBCOM\\Parameters\\Wdf\\Deeper",
                                                 "QZUSBCOM\\Parameters\\Wdf", "QZUSBCOM\\Parameters",
                                                 "QZUSBCOM\\Security", "QZUSBCOM"}));
    EXPECT_NOTHING_LEFT_OPEN();
}

/* A link below the service key goes as a link: what it points to stays,
   subkeys and all. So does a service key that is itself a link. */
TEST(NtServiceKeys, ALinkGoesAsALinkAndItsTargetStays)
{
    for (const char *link : {"QZUSBCOM\\Parameters", "QZUSBCOM"}) {
        SCOPED_TRACE(link);
        fresh_pc("winxp");
        add_service("CurrentControlSet", "QZUSBCOM");
        const std::string ccs = services("CurrentControlSet") + "\\";
        sim::pc().registry.create("SOFTWARE\\Elsewhere\\Child");
        sim::pc().registry.link(ccs + link, "SOFTWARE\\Elsewhere");

        remove_services();

        EXPECT_EQ(status_of(1).service_status, 1);
        EXPECT_TRUE(error_captions().empty());
        EXPECT_FALSE(sim::pc().registry.exists(ccs + "QZUSBCOM"));
        EXPECT_TRUE(sim::pc().registry.exists("SOFTWARE\\Elsewhere\\Child"));
        EXPECT_NOTHING_LEFT_OPEN();
    }
}

/* A hostile registry: below 32 levels nothing is opened; the deepest key
   tried still has a subkey, Windows refuses it, and that is reported. */
TEST(NtServiceKeys, DepthIsBoundedAndTooDeepIsReported)
{
    fresh_pc("winxp");
    add_service("CurrentControlSet", "QZUSBCOM");
    std::string key = services("CurrentControlSet") + "\\QZUSBCOM";
    for (int level = 0; level < 40; ++level)
        key += "\\k";
    sim::pc().registry.create(key);

    remove_services();

    EXPECT_EQ(status_of(1).service_status, 0xffff);
    EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : RegDeleteKey()"});
    EXPECT_TRUE(sim::pc().registry.exists(key));
    EXPECT_NOTHING_LEFT_OPEN();
}

TEST(NtServiceKeys, FailuresShowTheirBoxAndLeaveTheirStatus)
{
    const std::string ccs = services("CurrentControlSet");
    struct {
        const char *what;
        const char *function;
        std::string argument;
        int nth;
        std::vector<std::string> captions;
        int expected;
        bool current_deleted;
        bool numbered_deleted;
        DWORD error = ERROR_ACCESS_DENIED;
    } cases[] = {
        /* only a control set that is not there ends the walk without a word */
        {"the current Services key refused: reported, the walk ends", "RegOpenKeyExA", ccs + "\\", 0,
         {"Function : RegOpenKeyEx()"}, 0xffff, false, false},
        /* a control set without "Services" is passed over: the walk goes on (it used to end there) */
        {"the current Services key not there: nothing said, the numbered sets visited", "RegOpenKeyExA", ccs + "\\", 0,
         {}, 1, false, true, ERROR_FILE_NOT_FOUND},
        {"SYSTEM's subkeys cannot be read: reported, no numbered set visited", "RegEnumKeyExA", "SYSTEM", 0,
         {"Function : RegEnumKeyEx()"}, 0xffff, true, false},
        {"SYSTEM cannot be opened: reported", "RegOpenKeyExA", "SYSTEM", 0, {"Function : RegOpenKeyEx()"}, 0xffff,
         true, false},
        {"a subkey cannot be opened", "RegOpenKeyExA", ccs + "\\QZUSBCOM\\Enum", 0, {"Function : RegOpenKeyEx()"},
         0xffff, false, true},
        {"the service key cannot be opened", "RegOpenKeyExA", ccs + "\\QZUSBCOM", 0, {"Function : RegOpenKeyEx()"},
         0xffff, false, true},
        {"a direct subkey cannot be deleted", "RegDeleteKeyA", ccs + "\\QZUSBCOM\\Enum", 0,
         {"Function : RegDeleteKey()"}, 0xffff, false, true},
        {"the service key cannot be closed", "RegCloseKey", ccs + "\\QZUSBCOM", 0, {"Function : RegCloseKey()"},
         0xffff, false, true},
        {"the service key cannot be deleted", "RegDeleteKeyA", ccs + "\\QZUSBCOM", 0, {"Function : RegDeleteKey()"},
         0xffff, false, true},
        {"the current Services key cannot be closed: the walk ends", "RegCloseKey", ccs, 0,
         {"Function : RegCloseKey()"}, 0xffff, true, false},
        {"a failed flush is ignored", "RegFlushKey", "", 0, {}, 1, true, true},
        {"a direct subkey reported deleted is still there", "RegDeleteKeyA", ccs + "\\QZUSBCOM\\Enum", 0,
         {"Function : RegDeleteKey()"}, 0xffff, false, true, ERROR_SUCCESS},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_pc("winxp");
        add_service("CurrentControlSet", "QZUSBCOM");
        add_service("ControlSet001", "QZUSBCOM");
        sim::pc().faults.fail(c.function, c.error, c.nth, c.argument);

        remove_services();

        EXPECT_EQ(error_captions(), c.captions);
        EXPECT_EQ(status_of(1).service_status, c.expected);
        EXPECT_EQ(!sim::pc().registry.exists(ccs + "\\QZUSBCOM"), c.current_deleted);
        EXPECT_EQ(!sim::pc().registry.exists(services("ControlSet001") + "\\QZUSBCOM"), c.numbered_deleted);
    }
}
