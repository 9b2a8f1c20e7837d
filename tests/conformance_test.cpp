/*
 * conformance_test.cpp - the checks that also run on Wine, on the simulated PC.
 */
#include "harness.h"
#include "conformance/win32_conformance.h"

int conformance_set_value(const char *path, const char *name, DWORD type, const void *data, DWORD size)
{
    sim::pc().registry.create(path);
    if (name != nullptr)
        sim::pc().registry.set_raw(path, name, type, std::vector<uint8_t>((const uint8_t *)data, (const uint8_t *)data + size));
    return 1;
}

int conformance_make_link(const char *path, const char *target)
{
    sim::pc().registry.link(path, target);
    return 1;
}

TEST(Win32Conformance, TheSimulatedPcAnswersAsWineDoes)
{
    fresh_pc("winxp");
    sim::pc().registry.create("SYSTEM\\CurrentControlSet\\Services\\usbser");
    sim::pc().registry.create("SYSTEM\\CurrentControlSet\\Services\\Beep");
    sim::pc().registry.create("SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM");
    EXPECT_EQ(run_win32_conformance(), 0);
}
