/*
 * inf.cpp - the INF reading half of the simulated setup API:
 * SetupOpenInfFileA, SetupGetLineTextA and SetupCloseInfFile over the
 * bytes of a file in the simulated file system.
 *
 * As Windows (and Wine) read an INF file:
 *   - a bare file name is looked for in the INF directory, then in the
 *     system directory; INF_STYLE_WIN4 needs a [Version] section whose
 *     Signature is "$Chicago$", "$Windows NT$" or "$Windows 95$";
 *   - sections and keys compare without case; a section may be written in
 *     several parts; ';' starts a comment outside quotes; a '\' at the end
 *     of a line continues it;
 *   - a line is `key = field, field, ...` or just fields; blanks around a
 *     field go, quotes are removed ("" inside quotes is one quote);
 *   - %name% in keys and fields is replaced by the [Strings] entry of that
 *     name (%% gives %; an unknown name stays as written);
 *   - SetupGetLineTextA gives the fields after the key joined by commas;
 *     sizes include the NUL; a line not found, in its section or for
 *     want of the section, sets ERROR_LINE_NOT_FOUND. A success leaves the last error alone: Wine
 *     clears it, but Windows documents nothing, so the program must not
 *     look at it then.
 * Pc::inf_handles holds the files still open, so tests see a leaked handle.
 */
#include <cstring>

#include "sim.h"
#include "text.h"

#ifndef ERROR_WRONG_INF_STYLE
#define ERROR_WRONG_INF_STYLE 0xE0000100L
#endif

namespace sim {

struct InfLine {
    bool has_key = false;
    std::string key;
    std::vector<std::string> fields;
};

struct InfSection {
    std::string name;
    std::vector<InfLine> lines;
};

/* Splits one logical line (comment and continuation handled) into its key
   and fields, quotes removed and blanks trimmed. */
static InfLine parse_line(const std::string &text)
{
    InfLine line;
    std::vector<std::string> parts;
    std::string field;
    size_t keep = 0; /* length of `field` up to its last quoted or non-blank character */
    bool quoted = false;
    bool saw_equals = false;
    auto finish = [&]() {
        parts.push_back(field.substr(0, keep));
        field.clear();
        keep = 0;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            keep = field.size();
            continue;
        }
        if (c == '"') {
            quoted = true;
            keep = field.size();
            continue;
        }
        if (c == ',' || (c == '=' && !saw_equals && parts.empty())) {
            if (c == '=') {
                saw_equals = true;
                line.has_key = true;
            }
            finish();
            continue;
        }
        if ((c == ' ' || c == '\t') && field.empty())
            continue;
        field += c;
        if (c != ' ' && c != '\t')
            keep = field.size();
    }
    finish();
    if (line.has_key) {
        line.key = parts.front();
        line.fields.assign(parts.begin() + 1, parts.end());
    } else {
        line.fields = parts;
    }
    return line;
}

/* Cuts a ';' comment that lies outside quotes. */
static std::string without_comment(const std::string &text)
{
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == ';' && !quoted)
            return text.substr(0, i);
    }
    return text;
}

static std::vector<InfSection> parse_inf(const std::string &text)
{
    std::vector<InfSection> sections;
    std::vector<std::string> raw;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        raw.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::string pending;
    for (const std::string &physical : raw) {
        std::string line = trim(without_comment(physical));
        if (!line.empty() && line.back() == '\\') { /* continues on the next line */
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        line = pending + line;
        pending.clear();
        if (line.empty())
            continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            InfSection s;
            s.name = trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            sections.push_back(s);
            continue;
        }
        if (sections.empty())
            continue; /* text before the first section is ignored */
        sections.back().lines.push_back(parse_line(line));
    }
    return sections;
}

/* The last text parsed, with its sections: the uninstaller reads one file
   three times in a row (opening it, asking the line's size, reading it). */
static std::string parsed_text;
static std::vector<InfSection> parsed_sections;
static bool parsed_valid = false;

static const std::vector<InfSection> &parsed_inf(const std::string &text)
{
    if (!parsed_valid || text != parsed_text) {
        parsed_sections = parse_inf(text);
        parsed_text = text;
        parsed_valid = true;
    }
    return parsed_sections;
}

void forget_parsed_inf()
{
    parsed_valid = false;
    std::string().swap(parsed_text);
    std::vector<InfSection>().swap(parsed_sections);
}

/* The [Strings] entry `name`, or null. */
static const std::string *string_entry(const std::vector<InfSection> &inf, const std::string &name)
{
    for (const InfSection &s : inf) {
        if (!iequal(s.name, "Strings"))
            continue;
        for (const InfLine &l : s.lines)
            if (l.has_key && iequal(l.key, name) && !l.fields.empty())
                return &l.fields[0];
    }
    return nullptr;
}

/* Replaces %name% with its [Strings] entry; %% is one %. */
static std::string substitute(const std::vector<InfSection> &inf, const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        size_t close = text.find('%', i + 1);
        if (close == std::string::npos) {
            out += text.substr(i);
            break;
        }
        std::string name = text.substr(i + 1, close - i - 1);
        if (name.empty())
            out += '%';
        else if (const std::string *value = string_entry(inf, name))
            out += *value;
        else
            out += text.substr(i, close - i + 1);
        i = close;
    }
    return out;
}

static bool has_win4_signature(const std::vector<InfSection> &inf)
{
    for (const InfSection &s : inf) {
        if (!iequal(s.name, "Version"))
            continue;
        for (const InfLine &l : s.lines) {
            if (!l.has_key || !iequal(l.key, "Signature") || l.fields.empty())
                continue;
            std::string sig = substitute(inf, l.fields[0]);
            if (iequal(sig, "$Chicago$") || iequal(sig, "$Windows NT$") || iequal(sig, "$Windows 95$"))
                return true;
        }
    }
    return false;
}

/* The path, in buffers kept from call to call (valid until the next call):
   the uninstaller opens a hundred names a pass, nearly all absent. */
static const std::string &inf_path(const std::string &name)
{
    static std::string direct, in_inf, in_system;
    if (name.find('\\') != std::string::npos || name.find(':') != std::string::npos)
        return direct = redirected(name);
    in_inf.assign(pc().windows_dir).append("\\inf\\").append(name);
    if (pc().files.exists(in_inf))
        return in_inf;
    in_system.assign(pc().system_dir).append("\\").append(name);
    if (pc().wow64)
        in_system = redirected(in_system);
    return pc().files.exists(in_system) ? in_system : in_inf;
}

} // namespace sim

using namespace sim;

HINF SetupOpenInfFileA(PCSTR FileName, PCSTR InfClass, DWORD InfStyle, PUINT ErrorLine)
{
    (void)InfClass;
    const std::string name = FileName ? FileName : "";
    const std::string &path = inf_path(name);
    if (fails("SetupOpenInfFileA", path))
        return INVALID_HANDLE_VALUE;
    const FileEntry *file = pc().files.find(path);
    if (!file || file->directory) {
        SetLastError(file ? ERROR_ACCESS_DENIED : (pc().files.parent_exists(path) ? ERROR_FILE_NOT_FOUND
                                                                                 : ERROR_PATH_NOT_FOUND));
        return INVALID_HANDLE_VALUE;
    }
    std::string text(file->data.begin(), file->data.end());
    if ((InfStyle & INF_STYLE_WIN4) && !(InfStyle & INF_STYLE_OLDNT) && !has_win4_signature(parsed_inf(text))) {
        SetLastError(ERROR_WRONG_INF_STYLE);
        return INVALID_HANDLE_VALUE;
    }
    if (ErrorLine)
        *ErrorLine = 0;
    uintptr_t handle = new_handle();
    pc().inf_handles[handle] = path;
    pc().inf_texts[handle] = text;
    return (HINF)handle;
}

BOOL SetupGetLineTextA(PINFCONTEXT Context, HINF InfHandle, PCSTR Section, PCSTR Key, PSTR ReturnBuffer,
                       DWORD ReturnBufferSize, PDWORD RequiredSize)
{
    auto it = pc().inf_handles.find((uintptr_t)InfHandle);
    if (fails("SetupGetLineTextA", it != pc().inf_handles.end() ? it->second : ""))
        return FALSE;
    if (Context || it == pc().inf_handles.end() || !Section || !Key) {
        SetLastError(Context ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE); /* only the name lookup is simulated */
        return FALSE;
    }
    const std::vector<InfSection> &inf = parsed_inf(pc().inf_texts[(uintptr_t)InfHandle]);
    const InfLine *found = nullptr;
    for (const InfSection &s : inf) {
        if (!iequal(s.name, Section))
            continue;
        for (const InfLine &l : s.lines) {
            if (l.has_key && iequal(substitute(inf, l.key), Key)) {
                found = &l;
                break;
            }
        }
        if (found)
            break;
    }
    if (!found) {
        SetLastError(ERROR_LINE_NOT_FOUND); /* no section is no line, as Windows says */
        return FALSE;
    }
    std::string text;
    for (size_t i = 0; i < found->fields.size(); ++i)
        text += (i ? "," : "") + substitute(inf, found->fields[i]);
    DWORD need = (DWORD)text.size() + 1;
    if (RequiredSize)
        *RequiredSize = need;
    if (ReturnBuffer) {
        if (ReturnBufferSize < need) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        memcpy(ReturnBuffer, text.c_str(), need);
    }
    return TRUE; /* the last error is left as it was: Windows documents nothing for a success */
}

void SetupCloseInfFile(HINF InfHandle)
{
    auto it = pc().inf_handles.find((uintptr_t)InfHandle);
    pc().faults.note("SetupCloseInfFile", it != pc().inf_handles.end() ? it->second : ""); /* it returns nothing */
    if (it != pc().inf_handles.end()) {
        pc().inf_texts.erase(it->first);
        pc().inf_handles.erase(it);
    }
}
