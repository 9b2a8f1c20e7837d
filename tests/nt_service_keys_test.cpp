/*
 * nt_service_keys_test.cpp - the service key in the current and every
 * numbered control set: the walk up to the first gap, the 8-character
 * match, the direct subkeys, and every failure path.
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
    remove_service_keys(1);
    release_after_step();
}

TEST(NtServiceKeys, DeletedInTheCurrentAndEveryNumberedSetUpToTheFirstGap)
{
    fresh_pc("winxp");
    add_service("CurrentControlSet", "QZUSBCOM");
    add_service("ControlSet001", "QZUSBCOM");
    add_service("ControlSet002", "QZUSBCOM");
    add_service("ControlSet004", "QZUSBCOM"); /* after the gap at 003 */
    add_service("ControlSet001", "Serial");

    remove_services();

    EXPECT_EQ(status_of(1).service_status, 1);
    EXPECT_FALSE(sim::pc().registry.exists(services("CurrentControlSet") + "\\QZUSBCOM"));
    EXPECT_FALSE(sim::pc().registry.exists(services("ControlSet001") + "\\QZUSBCOM"));
    EXPECT_FALSE(sim::pc().registry.exists(services("ControlSet002") + "\\QZUSBCOM"));
    EXPECT_TRUE(sim::pc().registry.exists(services("ControlSet004") + "\\QZUSBCOM")) << "003 is missing: 004 is never visited";
    EXPECT_TRUE(sim::pc().registry.exists(services("ControlSet001") + "\\Serial"));
    EXPECT_TRUE(sim::pc().boxes.empty());
    int visits = 0;
    for (const sim::CallRecord &c : sim::pc().faults.calls)
        if (c.function == "RegOpenKeyExA" && c.argument.find("\\Services\\") != std::string::npos &&
            c.argument.find("QZUSBCOM") == std::string::npos)
            ++visits;
    EXPECT_EQ(visits, 4) << "CurrentControlSet, 001, 002, and the failed open of 003";
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

TEST(NtServiceKeys, TheNameMatchesOverEightCharactersWithCase)
{
    struct {
        const char *present;
        int expected;
        std::vector<std::string> captions;
        bool survives;
    } cases[] = {
        {"qzusbcom", 0, {}, true},                              /* lower case: not the service */
        {"QZUSBCO", 0, {}, true},                               /* shorter: must equal entirely */
        {"QZUSBCOMX", 0xffff, {"Function : RegOpenKeyEx()"}, true}, /* found by prefix, not there to open */
        {"Serial", 0, {}, true},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.present);
        fresh_pc("winxp");
        add_service("CurrentControlSet", c.present);

        remove_services();

        EXPECT_EQ(status_of(1).service_status, c.expected);
        EXPECT_EQ(error_captions(), c.captions);
        EXPECT_EQ(sim::pc().registry.exists(services("CurrentControlSet") + "\\" + c.present), c.survives);
        EXPECT_NOTHING_LEFT_OPEN();
    }
}

TEST(NtServiceKeys, ASubkeyWithSubkeysOfItsOwnKeepsTheServiceAndTheWalkGoesOn)
{
    fresh_pc("winxp");
    add_service("CurrentControlSet", "QZUSBCOM");
    sim::pc().registry.create(services("CurrentControlSet") + "\\QZUSBCOM\\Parameters\\Wdf");
    add_service("ControlSet001", "QZUSBCOM");

    remove_services();

    EXPECT_EQ(status_of(1).service_status, 0xffff) << "1 OR 0xffff";
    EXPECT_EQ(error_captions(), std::vector<std::string>{"Function : RegDeleteKey()"});
    /* NT: RegDeleteKeyA refuses a key with subkeys */
    EXPECT_TRUE(sim::pc().registry.exists(services("CurrentControlSet") + "\\QZUSBCOM\\Parameters\\Wdf"));
    EXPECT_FALSE(sim::pc().registry.exists(services("ControlSet001") + "\\QZUSBCOM")) << "the next set is still visited";
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
        {"the current Services key not there: nothing at all", "RegOpenKeyExA", ccs + "\\", 0, {}, 0, false, false,
         ERROR_FILE_NOT_FOUND},
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

TEST(NtServiceKeys, TheWalkStopsAfterControlSet999)
{
    fresh_pc("winxp");
    /* every numbered set exists: the three-digit number text ends the walk */
    for (int n = 1; n <= 999; ++n) {
        char name[32];
        snprintf(name, sizeof name, "ControlSet%03d", n);
        sim::pc().registry.create(services(name));
    }
    add_service("ControlSet999", "QZUSBCOM");

    remove_services();

    EXPECT_EQ(status_of(1).service_status, 1);
    EXPECT_FALSE(sim::pc().registry.exists(services("ControlSet999") + "\\QZUSBCOM"));
    for (const sim::CallRecord &c : sim::pc().faults.calls)
        EXPECT_EQ(c.argument.find("ControlSet1000"), std::string::npos) << "no four-digit control set is tried";
}
