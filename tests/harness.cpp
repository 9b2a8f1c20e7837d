/*
 * harness.cpp - running the uninstaller on the simulated PC from a test.
 */
#include "harness.h"

#include <cstring>
#include <iconv.h>

#include "../shell/uninstaller.h"
#include "../nt_removal/nt_removal.h"
#include "../w9x_removal/w9x_removal.h"
#include "../w9x_removal/w9x_steps.h"
#include "../nt_removal/nt_steps.h"

const char *const kCaption = "Pelto QZ シリーズ USB ドライバアンインストーラ";

/* The program's process-wide variables, zero at every process start. */
extern RemovalStatus removal_status[2];
extern char class_inf_name[MAX_PATH_BYTES];
extern PlatformBinding platform_binding;
extern Win9xRemovalStatus win9x_removal_status[2];
extern Win9xBindingTable win9x_binding;

void reset_program_state()
{
    platform_mode = 0;
    complete_removal = 0;
    memset(removal_status, 0, sizeof removal_status);
    memset(class_inf_name, 0, sizeof class_inf_name);
    memset(&platform_binding, 0, sizeof platform_binding);
    memset(win9x_removal_status, 0, sizeof win9x_removal_status);
    memset(&win9x_binding, 0, sizeof win9x_binding);
}

void fresh_pc(const std::string &version)
{
    sim::reset(version);
    reset_program_state();
}

static sim::Pc *input_image = nullptr;    /* the image the current fuzz input started from */
static sim::Pc *pristine_image = nullptr; /* the image the PC still equals, nothing run since */

void restored_pc(const std::string &version)
{
    static std::map<std::string, sim::Pc> images;
    auto it = images.find(version);
    if (it == images.end()) {
        fresh_pc(version);
        it = images.emplace(version, sim::image()).first;
    } else if (pristine_image != &it->second) {
        sim::restore(it->second);
        reset_program_state();
    }
    pristine_image = nullptr;
    if (!input_image)
        input_image = &it->second;
}

void end_fuzz_input()
{
    if (!input_image)
        return;
    sim::restore(*input_image);
    reset_program_state();
    pristine_image = input_image;
    input_image = nullptr;
}

int run_program(const std::string &tail)
{
    sim::pc().command_line = "\"C:\\Program Files\\Pelto\\QZUninst.exe\"";
    if (!tail.empty())
        sim::pc().command_line += " " + tail;
    return run_uninstaller(GetCommandLineA());
}

static std::string convert(const std::string &in, const char *from, const char *to)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1)
        return "<iconv cannot convert " + std::string(from) + ">";
    std::string out(in.size() * 4 + 16, '\0');
    char *src = const_cast<char *>(in.data());
    size_t src_left = in.size();
    char *dst = &out[0];
    size_t dst_left = out.size();
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    if (r == (size_t)-1)
        return "<not valid " + std::string(from) + ">";
    out.resize(out.size() - dst_left);
    return out;
}

std::string utf8(const std::string &cp932_text)
{
    return convert(cp932_text, "CP932", "UTF-8");
}

std::string cp932(const std::string &utf8_text)
{
    return convert(utf8_text, "UTF-8", "CP932");
}

static std::string style_name(UINT style)
{
    std::string s = (style & MB_TYPEMASK) == MB_OKCANCEL ? "MB_OKCANCEL" : "MB_OK";
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR: s += "|MB_ICONERROR"; break;
    case MB_ICONWARNING: s += "|MB_ICONWARNING"; break;
    case MB_ICONINFORMATION: s += "|MB_ICONINFORMATION"; break;
    case MB_ICONQUESTION: s += "|MB_ICONQUESTION"; break;
    default: break;
    }
    UINT rest = style & ~(MB_TYPEMASK | MB_ICONMASK);
    if (rest)
        s += "|0x" + std::to_string(rest);
    return s;
}

std::string box_line(const std::string &caption_utf8, const std::string &text_utf8, UINT style)
{
    return caption_utf8 + " | " + text_utf8 + " | " + style_name(style);
}

std::vector<std::string> box_lines()
{
    std::vector<std::string> out;
    for (const sim::Box &b : sim::pc().boxes)
        out.push_back(box_line(utf8(b.caption), utf8(b.text), b.style));
    return out;
}

std::vector<std::string> error_captions()
{
    std::vector<std::string> out;
    for (const sim::Box &b : sim::pc().boxes)
        if (b.caption.rfind("Function : ", 0) == 0)
            out.push_back(b.caption);
    return out;
}
