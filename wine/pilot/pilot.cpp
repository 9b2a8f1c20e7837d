// Box pilot: starts the uninstaller, reads and answers every message box it
// and the processes it starts show, and writes what it saw as UTF-8 lines for
// the end-to-end harness.
//
//   pilot.exe SCRIPT OUTPUT
//
// SCRIPT (UTF-8, one directive a line, "\n" line ends):
//   program WINPATH   the program to start
//   args TAIL         the command-line tail: everything after "args " (blanks kept)
//   boxes N           how many boxes the run is expected to show
//   answer OK|Cancel  the answer to the next box that has a Cancel button
//   timeout MS        how long to wait for a box or for the end (default 20000)
//   shots WINDIR      ask for a screenshot of every box: write WINDIR\box-N.req,
//                     wait (at most 10 s) for WINDIR\box-N.done
//   hook WINPATH      the hook library that tags each box with its style flags; it
//                     is set for every thread of the session before the program
//                     starts, so a child process has it before its first box
//   gate WINDIR       before starting the program, write WINDIR\ready and wait
//                     (at most 30 s) for WINDIR\go: the harness prepares the
//                     prefix once the pilot's own start has opened the session
//   hold WINPATH      keep this file open without sharing during the run, so that
//                     deleting it fails as for a file in use (may repeat)
//   hold-image WINPATH  map this file as an image during the run, as Windows maps a
//                     driver it runs, so that deleting it is refused (access denied)
//   pending-delete WINPATH  set this file to be deleted at the restart before the
//                     program starts (MoveFileExW, MOVEFILE_DELAY_UNTIL_REBOOT), as an
//                     earlier run of the same session would have: a list imported
//                     before the session began is carried out by Wine's wineboot
//   mutex NAME        own this named mutex during the run, as a second copy of the
//                     program holding its run lock would
//   otherwise OK|Cancel  the answer to a box with a Cancel button once the scripted
//                     answers are used up (without it: Cancel, reported as unexpected)
//   cancel-if TEXT    a box whose text holds TEXT is answered Cancel, whatever else
//                     the script says (may repeat)
//   user WINPATH      a person answers every box: the pilot presses nothing, waits
//                     as long as the box stays, and reports the button the hook
//                     library saw pressed (it notes it in WINPATH)
//
// A screenshot request (box-N.req) holds the box's screen rectangle:
// "LEFT TOP RIGHT BOTTOM".
//
// OUTPUT lines:
//   box BUTTONS ICON | CAPTION | TEXT    one per box, in order ("\n" and "\\" escaped)
//   from IMAGE                           after each box: the image file name of its process
//   answer OK|Cancel                     what the pilot pressed for that box
//   unexpected BOX-NUMBER                the box had a Cancel button but no scripted answer left
//   error TEXT                           the pilot could not do its job (timeout, start failure)
//   exit N                               the program's exit code as a signed 32-bit number
//
// The pilot's own exit code: 0 when the program ran to its end, 1 otherwise.
#include <windows.h>
#include <tlhelp32.h>
#include <sddl.h>
#include <stdio.h>
#include <map>
#include <string>
#include <vector>

namespace {

const wchar_t STYLE_PROP[] = L"PilotMsgBoxStyle";   // set by the hook library
const DWORD STYLE_TAG = 0x80000000u;                 // marks a style as present
const int TEXT_CONTROL_ID = 0xFFFF;                  // the static control holding the text
const DWORD POLL_MS = 20;

struct Script {
    std::wstring program;
    std::wstring args;
    std::vector<int> answers;       // IDOK or IDCANCEL, in order
    size_t expected_boxes = 0;
    DWORD timeout_ms = 20000;
    std::wstring shots_dir;
    std::wstring hook_path;
    std::vector<std::wstring> held_files;
    std::vector<std::wstring> held_images;
    std::vector<std::wstring> held_mutexes;
    std::vector<std::wstring> pending_deletes;
    std::wstring gate_dir;
    int otherwise = 0;              // IDOK or IDCANCEL; 0: Cancel, reported as unexpected
    std::vector<std::wstring> cancel_if;
    std::wstring user_answer_file;  // not empty: a person answers
};

FILE *out_file = nullptr;

std::wstring from_utf8(const std::string &s)
{
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

std::string to_utf8(const std::wstring &w)
{
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

// Writes one output line at once, so a crash or a kill keeps what was seen.
void emit(const std::string &line)
{
    fputs(line.c_str(), out_file);
    fputc('\n', out_file);
    fflush(out_file);
    printf("pilot: %s\n", line.c_str());
    fflush(stdout);
}

std::string escape(const std::wstring &w)
{
    std::string s = to_utf8(w), r;
    for (char c : s) {
        if (c == '\\') r += "\\\\";
        else if (c == '\n') r += "\\n";
        else if (c == '\r') r += "\\r";
        else if (c == '\t') r += "\\t";
        else r += c;
    }
    return r;
}

bool read_script(const wchar_t *path, Script &script, std::string &problem)
{
    FILE *f = _wfopen(path, L"rb");
    if (!f) { problem = "cannot open the script"; return false; }
    std::string all;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) all.append(buf, n);
    fclose(f);

    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line[0] == '#') continue;
        size_t blank = line.find(' ');
        std::string word = line.substr(0, blank);
        std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (word == "program") script.program = from_utf8(rest);
        else if (word == "args") script.args = from_utf8(rest);
        else if (word == "boxes") script.expected_boxes = strtoul(rest.c_str(), nullptr, 10);
        else if (word == "timeout") script.timeout_ms = strtoul(rest.c_str(), nullptr, 10);
        else if (word == "shots") script.shots_dir = from_utf8(rest);
        else if (word == "hook") script.hook_path = from_utf8(rest);
        else if (word == "hold") script.held_files.push_back(from_utf8(rest));
        else if (word == "hold-image") script.held_images.push_back(from_utf8(rest));
        else if (word == "mutex") script.held_mutexes.push_back(from_utf8(rest));
        else if (word == "pending-delete") script.pending_deletes.push_back(from_utf8(rest));
        else if (word == "gate") script.gate_dir = from_utf8(rest);
        else if (word == "otherwise" && rest == "OK") script.otherwise = IDOK;
        else if (word == "otherwise" && rest == "Cancel") script.otherwise = IDCANCEL;
        else if (word == "cancel-if" && !rest.empty()) script.cancel_if.push_back(from_utf8(rest));
        else if (word == "user") script.user_answer_file = from_utf8(rest);
        else if (word == "answer" && rest == "OK") script.answers.push_back(IDOK);
        else if (word == "answer" && rest == "Cancel") script.answers.push_back(IDCANCEL);
        else { problem = "bad script line: " + line; return false; }
    }
    if (script.program.empty()) { problem = "the script names no program"; return false; }
    return true;
}

// The started program and every process it started, directly or not, that
// is still running: process id -> image file name. The 32-bit program on
// 64-bit Windows hands over to its 64-bit twin, whose boxes are the run's.
typedef std::map<DWORD, std::wstring> Family;

Family family_of(DWORD root)
{
    Family family;
    family[root] = L"?";
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return family;
    std::vector<PROCESSENTRY32W> all;
    PROCESSENTRY32W e;
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) all.push_back(e);
    CloseHandle(snap);
    for (size_t added = 1; added;) {   // until no process joins: children of children too
        added = 0;
        for (const PROCESSENTRY32W &p : all) {
            bool member = family.count(p.th32ProcessID) != 0;
            if (member && family[p.th32ProcessID] == L"?") family[p.th32ProcessID] = p.szExeFile;
            if (!member && p.th32ProcessID != root && family.count(p.th32ParentProcessID)) {
                family[p.th32ProcessID] = p.szExeFile;
                ++added;
            }
        }
    }
    return family;
}

BOOL CALLBACK find_boxes_proc(HWND hwnd, LPARAM lparam)
{
    if (!IsWindowVisible(hwnd)) return TRUE;
    wchar_t cls[32] = {0};
    GetClassNameW(hwnd, cls, 32);
    if (wcscmp(cls, L"#32770") != 0) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    reinterpret_cast<std::vector<std::pair<HWND, DWORD>> *>(lparam)->push_back({hwnd, pid});
    return TRUE;
}

// The first visible dialog of the program or of a process it started, or null;
// *image: the image file name of the process that shows it. The process
// snapshot is taken only when some dialog is up, not at every poll.
HWND find_box(DWORD root, std::wstring *image)
{
    std::vector<std::pair<HWND, DWORD>> dialogs;
    EnumWindows(find_boxes_proc, reinterpret_cast<LPARAM>(&dialogs));
    if (dialogs.empty()) return nullptr;
    Family family = family_of(root);
    for (const auto &d : dialogs) {
        if (!family.count(d.second)) continue;
        if (image) *image = family[d.second];
        return d.first;
    }
    return nullptr;
}

bool has_button(HWND box, int id)
{
    HWND b = GetDlgItem(box, id);
    return b && IsWindowVisible(b);
}

std::string buttons_of(HWND box)
{
    bool ok = has_button(box, IDOK), cancel = has_button(box, IDCANCEL);
    std::string others;
    for (int id = IDABORT; id <= IDNO; ++id)
        if (has_button(box, id)) others += (others.empty() ? "" : ",") + std::to_string(id);
    if (others.empty() && ok && cancel) return "OKCANCEL";
    if (others.empty() && ok) return "OK";
    return "BUTTONS:" + std::string(ok ? "1" : "") + (cancel ? (ok ? ",2" : "2") : "")
           + (others.empty() ? "" : "," + others);
}

std::string icon_of(HWND box)
{
    DWORD style = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(GetPropW(box, STYLE_PROP)));
    if (!(style & STYLE_TAG)) return "unknown";
    switch (style & MB_ICONMASK) {
    case 0: return "none";
    case MB_ICONERROR: return "error";
    case MB_ICONWARNING: return "warning";
    case MB_ICONINFORMATION: return "information";
    case MB_ICONQUESTION: return "question";
    default: return "icon:" + std::to_string(style & MB_ICONMASK);
    }
}

std::wstring window_text(HWND hwnd)
{
    int len = GetWindowTextLengthW(hwnd);
    std::wstring s(len + 1, L'\0');
    int got = GetWindowTextW(hwnd, &s[0], len + 1);
    s.resize(got > 0 ? got : 0);
    return s;
}

std::wstring box_text(HWND box)
{
    HWND text = GetDlgItem(box, TEXT_CONTROL_ID);
    if (!text) return std::wstring();
    int len = GetWindowTextLengthW(text);
    std::wstring s(len + 1, L'\0');
    UINT got = GetDlgItemTextW(box, TEXT_CONTROL_ID, &s[0], len + 1);
    s.resize(got);
    return s;
}

// Asks the harness for a screenshot and waits until it is taken. The request
// holds the box's rectangle, so the harness may cut the box out of the screen.
void request_screenshot(const std::wstring &dir, size_t number, HWND box)
{
    std::wstring base = dir + L"\\box-" + std::to_wstring(number);
    std::wstring req = base + L".req", done = base + L".done";
    HANDLE h = CreateFileW(req.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    RECT r;
    if (GetWindowRect(box, &r)) {
        std::string rect = std::to_string(r.left) + " " + std::to_string(r.top) + " "
                           + std::to_string(r.right) + " " + std::to_string(r.bottom) + "\n";
        DWORD written;
        WriteFile(h, rect.data(), static_cast<DWORD>(rect.size()), &written, nullptr);
    }
    CloseHandle(h);
    for (DWORD waited = 0; waited < 10000; waited += POLL_MS) {
        if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) return;
        Sleep(POLL_MS);
    }
    emit("error no screenshot for box " + std::to_string(number) + " within 10 s");
}

void press(HWND box, int id)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

// Waits until the box is gone; false on timeout.
bool wait_box_closed(HWND box, DWORD timeout_ms)
{
    for (DWORD waited = 0; waited < timeout_ms; waited += POLL_MS) {
        if (!IsWindow(box) || !IsWindowVisible(box)) return true;
        Sleep(POLL_MS);
    }
    return false;
}

// A hook for all threads rather than the program's thread alone: a process
// the program starts (the 64-bit twin) may show its first box at once, before
// any poll could find it and hook its thread; a global hook is in place from
// its start. Wine loads the library only into processes of its own bitness.
HHOOK install_hook(const Script &script)
{
    if (script.hook_path.empty()) return nullptr;
    HMODULE lib = LoadLibraryW(script.hook_path.c_str());
    if (!lib) { emit("error cannot load the hook library (error " + std::to_string(GetLastError()) + ")"); return nullptr; }
    HOOKPROC proc = reinterpret_cast<HOOKPROC>(GetProcAddress(lib, "pilot_call_wnd_proc"));
    if (!proc) { emit("error the hook library has no pilot_call_wnd_proc"); return nullptr; }
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, proc, lib, 0);
    if (!hook) emit("error SetWindowsHookEx failed (error " + std::to_string(GetLastError()) + ")");
    return hook;
}

// The button a person pressed in the last box, as the hook library noted it
// (one line per WM_COMMAND: the button id); 0 when it noted none.
int user_answer(const std::wstring &path)
{
    FILE *f = _wfopen(path.c_str(), L"rb");
    if (!f) return 0;
    int id = 0, last = 0;
    while (fscanf(f, "%d", &id) == 1) last = id;
    fclose(f);
    DeleteFileW(path.c_str());
    return last;
}

bool text_has_any(const std::wstring &text, const std::vector<std::wstring> &parts)
{
    for (const std::wstring &p : parts)
        if (text.find(p) != std::wstring::npos) return true;
    return false;
}

// Tells the harness that the session is open and waits for its go.
bool pass_gate(const std::wstring &dir)
{
    std::wstring ready = dir + L"\\ready", go = dir + L"\\go";
    HANDLE h = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    for (DWORD waited = 0; waited < 30000; waited += POLL_MS) {
        if (GetFileAttributesW(go.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(POLL_MS);
    }
    return false;
}

// Waits until the session has started as on a PC where someone has logged
// on: the desktop is up (its shell starts the COM service, RpcSs, through
// the service manager) and the service manager answers and runs RpcSs.
// Removing a device opens the service manager first (SetupDiRemoveDevice),
// and in a fresh Wine session that call waits behind this start-up, for
// longer than the pilot's time limit on a busy machine: the program must
// not spend its limit on Wine's start-up.
void wait_for_session()
{
    GetDesktopWindow();
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE rpcss = manager ? OpenServiceW(manager, L"RpcSs", SERVICE_START | SERVICE_QUERY_STATUS) : nullptr;
    if (rpcss) {
        StartServiceW(rpcss, 0, nullptr);   // already running, or starting: either is fine
        SERVICE_STATUS status;
        for (DWORD waited = 0; waited < 60000 && QueryServiceStatus(rpcss, &status)
                               && status.dwCurrentState != SERVICE_RUNNING; waited += POLL_MS)
            Sleep(POLL_MS);
        CloseServiceHandle(rpcss);
    }
    if (manager) CloseServiceHandle(manager);
}

} // namespace

// Owns a named mutex made as the program makes its lock: owned by
// Administrators, SYSTEM and Administrators all access, everyone else waiting
// only (the program passes over a lock of another owner). Where the owner
// cannot be given, the default security.
static HANDLE own_lock_as_the_program_does(const std::wstring &name)
{
    PSECURITY_DESCRIPTOR security = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;WD)",
                                                             SDDL_REVISION_1, &security, nullptr)) {
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, security, FALSE};
        HANDLE h = CreateMutexW(&attributes, TRUE, name.c_str());
        DWORD error = GetLastError();
        LocalFree(security);
        SetLastError(error);
        if (h || error != ERROR_INVALID_OWNER)
            return h;
    }
    return CreateMutexW(nullptr, TRUE, name.c_str());
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: pilot.exe SCRIPT OUTPUT\n");
        return 2;
    }
    out_file = _wfopen(argv[2], L"wb");
    if (!out_file) {
        fprintf(stderr, "pilot: cannot write the output file\n");
        return 2;
    }
    Script script;
    std::string problem;
    if (!read_script(argv[1], script, problem)) {
        emit("error " + problem);
        return 1;
    }

    std::vector<HANDLE> held;
    for (const std::wstring &path : script.held_files) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            emit("error cannot hold " + to_utf8(path) + " open (error " + std::to_string(GetLastError()) + ")");
            return 1;
        }
        held.push_back(h);
    }
    for (const std::wstring &path : script.held_images) {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE m = f == INVALID_HANDLE_VALUE ? nullptr
                   : CreateFileMappingW(f, nullptr, PAGE_EXECUTE_READ | SEC_IMAGE, 0, 0, nullptr);
        DWORD error = GetLastError();
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        if (!m) {
            emit("error cannot map " + to_utf8(path) + " as an image (error " + std::to_string(error) + ")");
            return 1;
        }
        held.push_back(m);
    }
    for (const std::wstring &path : script.pending_deletes) {
        if (!MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            emit("error cannot set " + to_utf8(path) + " to be deleted at the restart (error "
                 + std::to_string(GetLastError()) + ")");
            return 1;
        }
    }
    for (const std::wstring &name : script.held_mutexes) {
        HANDLE h = own_lock_as_the_program_does(name);
        if (!h || GetLastError() == ERROR_ALREADY_EXISTS) {
            emit("error cannot own the mutex " + to_utf8(name) + " (error " + std::to_string(GetLastError()) + ")");
            return 1;
        }
        held.push_back(h);
    }

    // The exact command line: the program in quotes, one blank, the tail as given.
    std::wstring command = L"\"" + script.program + L"\" " + script.args;
    std::vector<wchar_t> command_buf(command.begin(), command.end());
    command_buf.push_back(L'\0');
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof pi);
    wait_for_session();
    if (!script.gate_dir.empty() && !pass_gate(script.gate_dir)) {
        emit("error the harness gave no go within 30 s");
        return 1;
    }
    if (!script.user_answer_file.empty()) {
        // The hook library, inside the program, notes the pressed buttons here.
        DeleteFileW(script.user_answer_file.c_str());
        SetEnvironmentVariableW(L"PILOT_ANSWER_FILE", script.user_answer_file.c_str());
    }
    if (!CreateProcessW(script.program.c_str(), command_buf.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
        emit("error CreateProcess failed (error " + std::to_string(GetLastError()) + ")");
        return 1;
    }
    HHOOK hook = install_hook(script);
    ResumeThread(pi.hThread);

    size_t boxes = 0, next_answer = 0;
    bool ended = false, failed = false;
    DWORD idle_ms = 0;
    while (!ended) {
        std::wstring image;
        HWND box = find_box(pi.dwProcessId, &image);
        if (!box) {
            if (WaitForSingleObject(pi.hProcess, POLL_MS) == WAIT_OBJECT_0) {
                // One last look: a box may have come up just before the end.
                if (!find_box(pi.dwProcessId, nullptr)) ended = true;
                continue;
            }
            idle_ms += POLL_MS;
            if (idle_ms >= script.timeout_ms) {
                if (boxes < script.expected_boxes)
                    emit("error timeout: box " + std::to_string(boxes + 1) + " did not come within "
                         + std::to_string(script.timeout_ms) + " ms");
                else
                    emit("error timeout: the program did not end within "
                         + std::to_string(script.timeout_ms) + " ms after its last box");
                TerminateProcess(pi.hProcess, 0xDEAD);
                WaitForSingleObject(pi.hProcess, 5000);
                failed = true;
                ended = true;
            }
            continue;
        }
        idle_ms = 0;
        ++boxes;
        Sleep(50);   // let the box finish painting before it is read and photographed
        std::wstring text = box_text(box);
        emit("box " + buttons_of(box) + " " + icon_of(box) + " | " + escape(window_text(box))
             + " | " + escape(text));
        emit("from " + to_utf8(image));
        if (!script.shots_dir.empty()) request_screenshot(script.shots_dir, boxes, box);

        if (!script.user_answer_file.empty()) {
            // A person answers: wait for as long as the box stays up.
            bool question = has_button(box, IDCANCEL);
            while (IsWindow(box) && IsWindowVisible(box)) Sleep(POLL_MS);
            int pressed = question ? user_answer(script.user_answer_file) : IDOK;
            DeleteFileW(script.user_answer_file.c_str());
            emit(pressed == IDOK ? "answer OK" : pressed == IDCANCEL ? "answer Cancel" : "answer unknown");
            continue;
        }
        int answer;
        if (!has_button(box, IDCANCEL)) {
            answer = IDOK;
        } else if (text_has_any(text, script.cancel_if)) {
            answer = IDCANCEL;
        } else if (next_answer < script.answers.size()) {
            answer = script.answers[next_answer++];
        } else if (script.otherwise) {
            answer = script.otherwise;
        } else {
            emit("unexpected " + std::to_string(boxes));
            answer = IDCANCEL;   // never let a stray question go ahead (a restart, say)
        }
        emit(answer == IDOK ? "answer OK" : "answer Cancel");
        press(box, answer);
        if (!wait_box_closed(box, script.timeout_ms)) {
            emit("error box " + std::to_string(boxes) + " did not close after the answer");
            TerminateProcess(pi.hProcess, 0xDEAD);
            WaitForSingleObject(pi.hProcess, 5000);
            failed = true;
            ended = true;
        }
    }

    if (hook) UnhookWindowsHookEx(hook);
    for (HANDLE h : held) CloseHandle(h);
    DWORD code = 0;
    if (!failed && GetExitCodeProcess(pi.hProcess, &code))
        emit("exit " + std::to_string(static_cast<long>(static_cast<LONG>(code))));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    fclose(out_file);
    return failed ? 1 : 0;
}
