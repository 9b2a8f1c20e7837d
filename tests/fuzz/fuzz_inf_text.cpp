/*
 * fuzz_inf_text.cpp - OEM INF files of any content: the line text the
 * setup API returns is matched without overrunning its block, and only
 * the numbered OEM files that name the product (with their PNF files) go:
 * OEM3.inf goes exactly when the text Windows gives for its adapter line
 * begins, in any letter case, with "USB_TA," and a product's hardware ID.
 */
#include <cctype>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

#include "../harness.h"
#include "../../nt_removal/nt_steps.h"

/* The adapter line's text as the setup API gives it, lower case; "" without one. */
static std::string adapter_line(const char *inf_name)
{
    HINF inf = SetupOpenInfFileA(inf_name, nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE)
        return "";
    std::vector<char> line(1 << 16);
    DWORD required = 0;
    std::string text;
    if (SetupGetLineTextA(nullptr, inf, "USBTA", "Pelto QZ-USB USBPort Adapter", line.data(), (DWORD)line.size(),
                          &required))
        text = line.data();
    SetupCloseInfFile(inf);
    for (char &c : text)
        c = (char)tolower((unsigned char)c);
    return text;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    std::string text = in.ConsumeRemainingBytesAsString();

    restored_pc("winxp");
    sim::pc().faults.recording = false; /* no check here reads the call log */
    sim::pc().files.add_file("C:\\WINDOWS\\inf\\OEM3.inf", text);
    sim::pc().files.add_file("C:\\WINDOWS\\inf\\OEM3.pnf");
    sim::pc().files.add_file("C:\\WINDOWS\\inf\\other.inf", text);
    std::string line = adapter_line("OEM3.inf");
    bool names_product = line.rfind("usb_ta,usb\\vid_1f7c&pid_0084", 0) == 0 ||
                         line.rfind("usb_ta,usb\\vid_1f7c&pid_0012", 0) == 0;
    if (bind_nt_functions()) {
        record_oem_inf_step(0);
        record_oem_inf_step(1);
        release_nt_functions();
    }
    if (!sim::pc().files.exists("C:\\WINDOWS\\inf\\other.inf"))
        abort();
    int status = nt_run.nt_removal_status[0].oem_inf_status;
    if (status != 0 && status != 1 && status != 0xFFFF)
        abort();
    /* OEM3.inf goes exactly when product 0 or 1 reported a deletion */
    bool gone = !sim::pc().files.exists("C:\\WINDOWS\\inf\\OEM3.inf");
    if (gone != (nt_run.nt_removal_status[0].oem_inf_status == 1 || nt_run.nt_removal_status[1].oem_inf_status == 1))
        abort();
    if (gone != names_product || sim::pc().files.exists("C:\\WINDOWS\\inf\\OEM3.pnf") != !gone)
        abort(); /* the product's own rule, with the PNF going with its INF */
    if (!sim::pc().local_blocks.empty() || !sim::pc().inf_handles.empty())
        abort();
    end_fuzz_input();
    return 0;
}
