/*
 * conformance_test.cpp - the checks that also run on Wine, on the simulated PC.
 */
#include "harness.h"
#include "conformance/win32_conformance.h"

TEST(Win32Conformance, TheSimulatedPcAnswersAsWineDoes)
{
    fresh_pc("winxp");
    sim::pc().registry.create("SYSTEM\\CurrentControlSet\\Services\\usbser");
    sim::pc().registry.create("SYSTEM\\CurrentControlSet\\Services\\Beep");
    sim::pc().registry.create("SYSTEM\\CurrentControlSet\\Services\\QZUSBCOM");
    EXPECT_EQ(run_win32_conformance(), 0);
}
