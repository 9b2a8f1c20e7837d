/*
 * nt_fixtures.h - building NT-family PCs for the removal tests: device
 * instances, modem driver keys, service keys, driver and OEM INF files.
 */
#ifndef QZ_TESTS_NT_FIXTURES_H
#define QZ_TESTS_NT_FIXTURES_H

#include <string>
#include <vector>

#include "harness.h"
#include "../nt_removal/nt_removal.h"

/* One failure a step's table injects: the call of `function` that fails with
   `error` (its nth call, or the one on `argument` when given) and the error
   boxes the step must show for it. */
struct InjectedFailure {
    const char *what;
    const char *function;
    DWORD error;
    int nth;
    std::string argument;
    std::vector<std::string> captions;

    void inject() const { sim::pc().faults.fail(function, error, nth, argument); }
};

/* The products' hardware IDs as the program's table spells them. */
extern const char *const kQz84; /* product 0: USB\Vid_1F7C&Pid_0084 */
extern const char *const kQz12; /* product 1: USB\Vid_1F7C&Pid_0012 */
extern const char *const kModemClass; /* the Modem class key, below HKLM */
extern const char *const kNotInstalled; /* the not-installed notice, UTF-8 */

/* Enum\<device_path> (e.g. "USB\\Vid_1F7C&Pid_0084\\5&1") with these
   hardware IDs, a ClassGUID and, when driver is not empty, a "Driver"
   value naming Control\Class\<driver> (which is created too). */
void add_device(const std::string &device_path, const std::vector<std::string> &hardware_ids,
                const std::string &driver = "");
std::string enum_path(const std::string &device_path);
std::string class_path(const std::string &driver);

/* A Modem class driver key <number> with MatchingDeviceId and InfPath. */
void add_modem_driver_key(const std::string &number, const std::string &matching_id, const std::string &inf_path);

/* An OEM INF file in the INF directory whose [USBTA] adapter line has these fields. */
void add_oem_inf(const std::string &name, const std::string &fields);
std::string inf_dir(const std::string &name);     /* C:\WINDOWS\inf\<name> */
std::string sys_dir(const std::string &name);     /* C:\WINDOWS\system32\<name> */
std::string drivers_dir(const std::string &name); /* C:\WINDOWS\system32\drivers\<name> */

/* Binds the platform functions for a step test (fails the test if it cannot). */
void bind_for_step();
void release_after_step();

/* Fails the test, at the caller's line, when something the program opened
   is still open or allocated: registry keys, blocks, INF files, device sets. */
#define EXPECT_NOTHING_LEFT_OPEN()                                                                              \
    do {                                                                                                        \
        EXPECT_EQ(sim::pc().key_handles.size(), 0u) << "registry keys left open";                              \
        EXPECT_EQ(sim::pc().local_blocks.size(), 0u) << "LocalAlloc blocks leaked";                            \
        EXPECT_EQ(sim::pc().inf_handles.size(), 0u) << "INF files left open";                                  \
        EXPECT_EQ(sim::pc().device_sets.size(), 0u) << "device sets not destroyed";                            \
    } while (0)

/* The status record of a product. */
NtRemovalStatus status_of(int index);

#endif
