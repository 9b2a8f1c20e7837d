/*
 * platform_check.cpp - which Windows this is.
 *
 * Supported: the Windows 95 family after the first Windows 95 release
 * (build above 950: Windows 98 and Me) and the NT family from Windows 2000
 * (major version 5) on.
 */
#include "uninstaller.h"
#include "../common/error_report.h"
#include "../common/texts.h"
#include "../common/run_log.h"
#include "../common/system_functions.h"
#include "../common/text_buffers.h"


int read_windows_version(void)
{
    if (run.windows_version.state == 0) {
        zero_bytes(&run.windows_version.info, sizeof run.windows_version.info);
        run.windows_version.info.dwOSVersionInfoSize = sizeof run.windows_version.info; /* 148 bytes */
        if (GetVersionExA(&run.windows_version.info)) {
            run.windows_version.state = 1;
        } else {
            run.windows_version.state = -1;
            report_failure(caption_get_version_ex, GetLastError(), NULL, NULL);
        }
    }
    return run.windows_version.state == 1;
}

/* 1 on 64-bit Windows, which GetNativeSystemInfo tells (Windows XP and
   later: every 64-bit Windows has it); else 0. */
static int windows_is_64bit(void)
{
    GetNativeSystemInfo_fn get_native_info = SYSTEM_FUNCTION(GetNativeSystemInfo, "kernel32");
    if (get_native_info == NULL)
        return 0;
    SYSTEM_INFO info;
    zero_bytes(&info, sizeof info);
    get_native_info(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

/* "Windows: 5.1.2600 (Windows NT 系、64 ビット)"; Windows 98/Me keep their
   build in the low word (the high word repeats the version). The Windows 95
   family is 32-bit whatever it tells a program: a 64-bit build run where
   that version is only played (a compatibility setting) must not call it
   64-bit. */
void log_windows_version(void)
{
    LogLine line;
    line_begin(&line, text_log_windows);
    if (run.windows_version.state != 1) {
        line_add(&line, text_log_unknown);
        log_line(&line);
        return;
    }
    const OSVERSIONINFOA &version = run.windows_version.info;
    line_add_number(&line, (long)version.dwMajorVersion);
    line_add(&line, ".");
    line_add_number(&line, (long)version.dwMinorVersion);
    line_add(&line, ".");
    line_add_number(&line, (long)(version.dwBuildNumber & 0xFFFF));
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        line_add(&line, text_log_family_nt);
    } else if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        line_add(&line, text_log_family_9x);
    } else {
        line_add(&line, text_log_family_other);
        line_add_number(&line, (long)version.dwPlatformId);
        line_add(&line, text_log_separator);
    }
    int is_64bit = version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS && windows_is_64bit();
    line_add(&line, is_64bit ? text_log_windows_64bit : text_log_windows_32bit);
    log_line(&line);
}

int check_platform(void)
{
    if (!read_windows_version())
        return 0;
    const OSVERSIONINFOA &version = run.windows_version.info;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && (version.dwBuildNumber & 0xFFFF) > 950) {
        run.platform_mode = PLATFORM_WIN9X;
        return 1;
    }
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5) {
        run.platform_mode = PLATFORM_NT;
        return 1;
    }
    return 0;
}
