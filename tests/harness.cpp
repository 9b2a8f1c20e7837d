/*
 * harness.cpp - running the uninstaller on the simulated PC from a test.
 */
#include "harness.h"
#include "../simpc/text.h"

#include <cstring>
#include <functional>
#include <iconv.h>
#include <memory>

#include "../common/error_report.h"
#include "../common/file_removal.h"
#include "../common/findings.h"
#include "../common/message_box.h"
#include "../common/run_log.h"
#include "../shell/uninstaller.h"
#include "../shell/run_lock.h"
#include "../shell/back_ends.h"
#include "../nt_removal/nt_removal.h"
#include "../w9x_removal/w9x_removal.h"
#include "../w9x_removal/w9x_steps.h"
#include "../nt_removal/nt_steps.h"

const char *const kCaption = "Pelto QZ シリーズ USB ドライバアンインストーラ";

/* Runs the program as another process: its own process-wide state, its
   own process ID, the environment it inherits (its changes stay its own),
   and the mutexes the running copy owns held by another process meanwhile. */
static int run_in_another_process(const std::function<int()> &program)
{
    /* the parent's records, too big for the stack (the log's block) */
    auto parent = std::make_unique<RunRecord>(run);
    auto parent_nt = std::make_unique<NtRunRecord>(nt_run);
    auto parent_win9x = std::make_unique<Win9xRunRecord>(win9x_run);
    sim::Pc &pc = sim::pc();
    DWORD process_id = pc.process_id;
    std::map<std::string, std::string> environment = pc.environment;
    std::vector<std::string> owned;
    for (auto &m : pc.mutexes)
        if (m.second.owned) {
            owned.push_back(m.first);
            m.second.owned = false;
            m.second.held_elsewhere = true;
        }
    reset_program_state();
    pc.process_id = process_id + 4;
    DWORD dll_directories = pc.default_dll_directories; /* each process has its own library search */
    bool dll_directory_set = pc.dll_directory_set;
    pc.default_dll_directories = 0;
    pc.dll_directory_set = false;
    int code = program();
    pc.default_dll_directories = dll_directories;
    pc.dll_directory_set = dll_directory_set;
    for (const std::string &name : owned) {
        pc.mutexes[name].held_elsewhere = false;
        pc.mutexes[name].owned = true;
    }
    pc.process_id = process_id;
    pc.environment = environment;
    run = *parent;
    nt_run = *parent_nt;
    win9x_run = *parent_win9x;
    return code;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

/* The program as Windows starts it: through its entry point, on the
   command line the PC gives. */
static int start_program()
{
    return WinMain(nullptr, nullptr, (LPSTR) "", 1);
}

/* The 64-bit program: the same sources, in a process of its own. */
static DWORD run_64bit_child(const std::string &application, const std::string &command_line)
{
    sim::Pc &pc = sim::pc();
    bool wow64 = pc.wow64;
    std::string name = pc.process_name, module = pc.module_path, parent_line = pc.command_line;
    int code = run_in_another_process([&] {
        pc.wow64 = false;
        pc.process_name = application.substr(application.find_last_of('\\') + 1);
        pc.module_path = application;
        pc.command_line = command_line;
        return start_program();
    });
    pc.wow64 = wow64;
    pc.process_name = name;
    pc.module_path = module;
    pc.command_line = parent_line;
    return (DWORD)code;
}

int run_another_copy(const std::string &tail)
{
    std::string command_line = sim::pc().command_line;
    int code = run_in_another_process([&] { return run_program(tail); });
    sim::pc().command_line = command_line;
    return code;
}

void run_on_64bit_windows(bool with_64bit_program)
{
    sim::Pc &pc = sim::pc();
    pc.windows64 = true;
    pc.wow64 = true;
    pc.module_path = "C:\\Program Files\\Pelto\\QZUninst.exe";
    pc.files.add_file(pc.module_path);
    if (with_64bit_program)
        pc.files.add_file("C:\\Program Files\\Pelto\\QZUninst64.exe");
    pc.files.add_dir(pc.windows_dir + "\\SysWOW64\\drivers");
    pc.child_program = run_64bit_child;
}

void reset_program_state()
{
    reset_run();
    run.run_log.win9x = sim::family_9x(); /* as a run sets it once it knows the version: tests call steps directly */
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
    return start_program();
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

std::string box_text_at(size_t i)
{
    const std::vector<sim::Box> &boxes = sim::pc().boxes;
    return i < boxes.size() ? boxes[i].text : "<no box " + std::to_string(i + 1) + ">";
}

std::string last_box_line()
{
    std::vector<std::string> lines = box_lines();
    return lines.empty() ? "<no box>" : lines.back();
}

std::vector<std::string> error_captions()
{
    std::vector<std::string> out;
    for (const sim::Box &b : sim::pc().boxes)
        if (b.caption.rfind("Function : ", 0) == 0)
            out.push_back(b.caption);
    return out;
}

std::string log_path()
{
    const sim::Pc &pc = sim::pc();
    bool has_temp_path2 = pc.libraries.at("kernel32").exports.count("GetTempPath2A") != 0;
    return (has_temp_path2 && !pc.temp_dir2.empty() ? pc.temp_dir2 : pc.temp_dir) + "\\QZUninst.log";
}

std::vector<std::string> log_lines(const std::string &path)
{
    std::vector<std::string> lines;
    const sim::FileEntry *log = sim::pc().files.find(path.empty() ? log_path() : path);
    if (!log)
        return lines;
    std::string bytes(log->data.begin(), log->data.end());
    /* the NT family's log is UTF-8 after its byte order mark; 98/Me's is code page 932 */
    bool marked = bytes.rfind("\xEF\xBB\xBF", 0) == 0;
    std::string text = marked ? bytes.substr(3) : utf8(bytes);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::vector<std::string> logged_error_captions(const std::string &path)
{
    static const std::string head = "メッセージ [";
    std::vector<std::string> out;
    for (const std::string &line : log_lines(path))
        if (line.rfind(head + "Function : ", 0) == 0 && line.back() == ']')
            out.push_back(line.substr(head.size(), line.size() - head.size() - 1));
    return out;
}

std::vector<std::string> held_back_captions()
{
    static const std::string head = "メッセージ [";
    std::vector<std::string> out;
    std::string caption;
    for (const std::string &line : log_lines()) {
        if (line.rfind(head + "Function : ", 0) == 0 && line.back() == ']')
            caption = line.substr(head.size(), line.size() - head.size() - 1);
        else if (line.rfind("応答: ", 0) == 0) {
            if (!caption.empty() && line == "応答: なし (削除後の確認のため表示せず)")
                out.push_back(caption);
            caption.clear();
        }
    }
    return out;
}

std::set<std::string> files_but_log()
{
    std::set<std::string> files = sim::pc().files.snapshot();
    for (auto it = files.begin(); it != files.end();) {
        std::string line = *it;
        if (line.rfind("file ", 0) == 0 && sim::iequal(line.substr(5, line.rfind(" attrs ") - 5), log_path()))
            it = files.erase(it);
        else
            ++it;
    }
    return files;
}

sim::Pc::Mutex &program_lock()
{
    sim::Pc &pc = sim::pc();
    if (sim::family_9x())
        return pc.mutexes[sim::fold(RUN_LOCK_NAME)];
    if (!pc.libraries["kernel32"].exports.count("CreatePrivateNamespaceW"))
        return pc.mutexes[sim::fold(RUN_LOCK_NAME_NT)];
    const std::string boundary = "PELTOQZUNINST|S-1-5-32-544";
    pc.namespaces[boundary].held_elsewhere = true;
    return pc.mutexes[sim::fold(boundary + "\\" RUN_LOCK_NAME)];
}
