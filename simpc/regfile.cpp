/*
 * regfile.cpp - REGEDIT4 text in and a canonical snapshot out.
 *
 * The import reads the files that regedit imports on Windows and Wine:
 * [key] and [-key] lines, "name"="string", @="default", dword:, hex:,
 * hex(N): with continuation lines, ';' comments. Only HKEY_LOCAL_MACHINE is
 * simulated; keys below other roots are skipped.
 */
#include <cstdio>
#include <sstream>

#include "sim.h"
#include "text.h"

namespace sim {

static std::string hex_bytes(const std::vector<uint8_t> &data)
{
    std::string out;
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
        snprintf(buf, sizeof buf, "%s%02x", i ? "," : "", data[i]);
        out += buf;
    }
    return out;
}

static bool parse_hex(const std::string &text, std::vector<uint8_t> *out)
{
    std::string digits;
    for (char c : text) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!digits.empty()) {
                out->push_back((uint8_t)strtoul(digits.c_str(), nullptr, 16));
                digits.clear();
            }
            continue;
        }
        if (!isxdigit((unsigned char)c))
            return false;
        digits += c;
    }
    if (!digits.empty())
        out->push_back((uint8_t)strtoul(digits.c_str(), nullptr, 16));
    return true;
}

/* Reads a quoted string starting at text[pos] == '"'; returns the position after it. */
static size_t parse_quoted(const std::string &text, size_t pos, std::string *out)
{
    ++pos;
    while (pos < text.size() && text[pos] != '"') {
        if (text[pos] == '\\' && pos + 1 < text.size()) {
            char n = text[pos + 1];
            *out += (n == 'n') ? '\n' : n;
            pos += 2;
            continue;
        }
        *out += text[pos++];
    }
    return pos < text.size() ? pos + 1 : std::string::npos;
}

static std::vector<std::string> logical_lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line, joined;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        /* a hex list continues on the next line after a trailing backslash */
        if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            joined += line.substr(0, line.size() - 1);
            continue;
        }
        if (!joined.empty()) {
            size_t start = line.find_first_not_of(" \t");
            joined += start == std::string::npos ? "" : line.substr(start);
            if (!joined.empty() && joined.back() == '\\') {
                joined.pop_back();
                continue;
            }
            lines.push_back(joined);
            joined.clear();
            continue;
        }
        lines.push_back(line);
    }
    if (!joined.empty())
        lines.push_back(joined);
    return lines;
}

bool Registry::import_reg(const std::string &text, std::string *error)
{
    std::string current; /* key path below HKLM, or "" when outside HKLM */
    bool in_hklm = false;
    int number = 0;
    for (const std::string &raw : logical_lines(text)) {
        ++number;
        std::string line = raw;
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos)
            continue;
        line = line.substr(start);
        if (line[0] == ';' || line.rfind("REGEDIT4", 0) == 0 ||
            line.rfind("Windows Registry Editor", 0) == 0)
            continue;
        if (line[0] == '[') {
            size_t end = line.rfind(']');
            if (end == std::string::npos) {
                if (error)
                    *error = "line " + std::to_string(number) + ": no closing bracket";
                return false;
            }
            std::string path = line.substr(1, end - 1);
            bool remove_key = !path.empty() && path[0] == '-';
            if (remove_key)
                path = path.substr(1);
            std::vector<std::string> parts = split_path(path);
            in_hklm = !parts.empty() && (iequal(parts[0], "HKEY_LOCAL_MACHINE") || iequal(parts[0], "HKLM"));
            if (!in_hklm)
                continue;
            current = path;
            if (remove_key) {
                remove(path);
                in_hklm = false;
            } else {
                create(path);
            }
            continue;
        }
        if (!in_hklm)
            continue;
        std::string name;
        size_t pos;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] == '"') {
            pos = parse_quoted(line, 0, &name);
            if (pos == std::string::npos) {
                if (error)
                    *error = "line " + std::to_string(number) + ": unterminated name";
                return false;
            }
        } else {
            if (error)
                *error = "line " + std::to_string(number) + ": unexpected text";
            return false;
        }
        if (pos >= line.size() || line[pos] != '=') {
            if (error)
                *error = "line " + std::to_string(number) + ": '=' expected";
            return false;
        }
        std::string data = line.substr(pos + 1);
        if (data == "-") {
            RegKey *key = find(current);
            if (key)
                for (auto it = key->values.begin(); it != key->values.end(); ++it)
                    if (iequal(it->name, name)) {
                        key->values.erase(it);
                        break;
                    }
        } else if (!data.empty() && data[0] == '"') {
            std::string s;
            if (parse_quoted(data, 0, &s) == std::string::npos) {
                if (error)
                    *error = "line " + std::to_string(number) + ": unterminated string";
                return false;
            }
            set_string(current, name, s);
        } else if (data.rfind("dword:", 0) == 0) {
            set_dword(current, name, (DWORD)strtoul(data.c_str() + 6, nullptr, 16));
        } else if (data.rfind("hex", 0) == 0) {
            DWORD type = REG_BINARY;
            size_t colon = data.find(':');
            if (colon == std::string::npos) {
                if (error)
                    *error = "line " + std::to_string(number) + ": ':' expected";
                return false;
            }
            if (data[3] == '(')
                type = (DWORD)strtoul(data.c_str() + 4, nullptr, 16);
            std::vector<uint8_t> bytes;
            if (!parse_hex(data.substr(colon + 1), &bytes)) {
                if (error)
                    *error = "line " + std::to_string(number) + ": bad hex";
                return false;
            }
            set_raw(current, name, type, bytes);
        } else {
            if (error)
                *error = "line " + std::to_string(number) + ": unknown data";
            return false;
        }
    }
    return true;
}

static void snapshot_key(const RegKey &key, const std::string &path, std::set<std::string> *out)
{
    if (!path.empty())
        out->insert("key " + fold(path));
    if (key.link) {
        out->insert("link " + fold(path));
        return;
    }
    for (const RegValue &v : key.values)
        out->insert("value " + fold(path) + " \"" + fold(v.name) + "\" " + std::to_string(v.type) + ":" +
                    hex_bytes(v.data));
    for (const auto &sub : key.subkeys)
        snapshot_key(*sub, path.empty() ? "HKLM\\" + sub->name : path + "\\" + sub->name, out);
}

std::set<std::string> Registry::snapshot() const
{
    std::set<std::string> out;
    snapshot_key(*root, "", &out);
    return out;
}

} // namespace sim
