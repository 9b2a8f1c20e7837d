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
#include "../common/text_buffers.h"

/* "Windows: 5.1.2600 (プラットフォーム 2)"; Windows 98/Me keep their build in
   the low word (the high word repeats the version). */
static void log_version(const OSVERSIONINFOA *version)
{
    LogLine line;
    line_begin(&line, text_log_windows);
    line_add_number(&line, (long)version->dwMajorVersion);
    line_add(&line, ".");
    line_add_number(&line, (long)version->dwMinorVersion);
    line_add(&line, ".");
    line_add_number(&line, (long)(version->dwBuildNumber & 0xFFFF));
    line_add(&line, text_log_platform);
    line_add_number(&line, (long)version->dwPlatformId);
    line_add(&line, ")");
    log_line(&line);
}

int check_platform(void)
{
    OSVERSIONINFOA version;

    zero_bytes(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version; /* 148 bytes */
    if (!GetVersionExA(&version)) {
        report_failure(caption_get_version_ex, GetLastError(), NULL, NULL);
        return 0;
    }
    log_version(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && (version.dwBuildNumber & 0xFFFF) > 950) {
        platform_mode = PLATFORM_WIN9X;
        return 1;
    }
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5) {
        platform_mode = PLATFORM_NT;
        return 1;
    }
    return 0;
}
