/*
 * scenario_format.cpp - reading scenario folders, and printing one as JSON.
 * No test framework here: build/native/scenario_json links this file too.
 */
#include "scenario_format.h"

/* The system code page of a Windows in that language (0: not one the scenarios know). */
unsigned scenario_code_page(const std::string &locale)
{
    static const struct {
        const char *locale;
        unsigned code_page;
    } languages[] = {
        {"ja_JP.UTF-8", 932}, {"zh_CN.UTF-8", 936}, {"ko_KR.UTF-8", 949}, {"en_US.UTF-8", 1252},
    };
    for (auto &l : languages)
        if (locale == l.locale)
            return l.code_page;
    return 0;
}

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "../simpc/sim.h"
#include "../simpc/text.h"

bool read_whole_file(const std::string &path, std::string *out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *out = ss.str();
    return true;
}

static std::string unescape(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

/* "TEXT" -> TEXT; a quoted field keeps its blanks. */
static bool unquote(const std::string &field, std::string *out)
{
    std::string t = sim::trim(field);
    if (t.size() < 2 || t.front() != '"' || t.back() != '"')
        return false;
    *out = t.substr(1, t.size() - 2);
    return true;
}

static std::vector<std::string> words(const std::string &s)
{
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

/* What load_scenario insists on having seen once all includes are read,
   and where the directives that only the simulated PC can play were given. */
struct Seen {
    bool version = false, args = false, exit = false;
    std::string user_line, lock_line, device_line; /* "FILE:LINE: " */
};

static bool parse_lines(const std::string &folder, const std::string &file, Scenario *s, Seen *seen,
                        std::string *error, int depth)
{
    std::string text;
    if (depth > 4 || !read_whole_file(folder + "/" + file, &text)) {
        *error = "cannot read " + folder + "/" + file;
        return false;
    }
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        std::string line = sim::trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        std::string where = file + ":" + std::to_string(number) + ": ";
        size_t space = line.find_first_of(" \t");
        std::string directive = line.substr(0, space);
        std::string rest = space == std::string::npos ? "" : sim::trim(line.substr(space));
        std::vector<std::string> w = words(rest);

        if (directive == "title") {
            s->title = rest;
        } else if (directive == "version") {
            s->version = rest;
            seen->version = true;
            if (!sim::version_named(rest)) {
                *error = where + "unknown version " + rest;
                return false;
            }
        } else if (directive == "args") {
            /* the text between the first and the last quote of the raw line, blanks kept */
            size_t first = raw.find('"');
            size_t last = raw.rfind('"');
            if (first == std::string::npos || last == first) {
                *error = where + "args needs a quoted text";
                return false;
            }
            s->args = raw.substr(first + 1, last - first - 1);
            seen->args = true;
        } else if (directive == "registry") {
            s->registry_files.push_back(rest);
        } else if (directive == "dir") {
            s->dirs.push_back(rest);
        } else if (directive == "file") {
            ScenarioFile f;
            std::string path_and_attrs = rest;
            size_t lt = path_and_attrs.find('<');
            if (lt != std::string::npos) {
                f.source = sim::trim(path_and_attrs.substr(lt + 1));
                path_and_attrs = path_and_attrs.substr(0, lt);
            }
            std::vector<std::string> parts = words(path_and_attrs);
            if (parts.empty()) {
                *error = where + "file needs a path";
                return false;
            }
            f.path = parts[0];
            f.attributes.assign(parts.begin() + 1, parts.end());
            for (const std::string &a : f.attributes)
                if (a != "readonly" && a != "hidden" && a != "system" && a != "inuse" && a != "loaded") {
                    *error = where + "unknown file attribute " + a;
                    return false;
                }
            s->files.push_back(f);
        } else if (directive == "answer") {
            if (rest == "OK")
                s->answers.push_back(IDOK);
            else if (rest == "Cancel")
                s->answers.push_back(IDCANCEL);
            else {
                *error = where + "answer is OK or Cancel";
                return false;
            }
        } else if (directive == "box") {
            size_t bar1 = rest.find(" | ");
            size_t bar2 = bar1 == std::string::npos ? bar1 : rest.find(" | ", bar1 + 3);
            if (bar2 == std::string::npos) {
                *error = where + "box needs BUTTONS ICON | CAPTION | TEXT";
                return false;
            }
            std::vector<std::string> head = words(rest.substr(0, bar1));
            if (head.size() != 2) {
                *error = where + "box needs BUTTONS ICON";
                return false;
            }
            ExpectedBox b{head[0], head[1], rest.substr(bar1 + 3, bar2 - bar1 - 3),
                          unescape(rest.substr(bar2 + 3))};
            s->boxes.push_back(b);
        } else if (directive == "exit") {
            char *end = nullptr;
            errno = 0;
            long code = strtol(rest.c_str(), &end, 10);
            if (rest.empty() || *end || errno) {
                *error = where + "exit needs a number";
                return false;
            }
            s->exit_code = (int)code;
            seen->exit = true;
        } else if (directive == "removed") {
            if (w.size() >= 2 && w[0] == "key") {
                s->removed_keys.push_back(sim::trim(rest.substr(3)));
            } else if (w.size() >= 2 && w[0] == "file") {
                s->removed_files.push_back(sim::trim(rest.substr(4)));
            } else if (w.size() >= 3 && w[0] == "value") {
                size_t q = rest.find('"');
                std::string name;
                if (q == std::string::npos || !unquote(rest.substr(q), &name)) {
                    *error = where + "removed value needs PATH \"NAME\"";
                    return false;
                }
                s->removed_values.push_back({sim::trim(rest.substr(5, q - 5)), name});
            } else {
                *error = where + "removed key|value|file";
                return false;
            }
        } else if (directive == "restart-delete") {
            if (w.size() != 1) {
                *error = where + "restart-delete needs one path";
                return false;
            }
            s->restart_deletes.push_back(w[0]);
        } else if (directive == "pending-delete") {
            if (w.size() != 1) {
                *error = where + "pending-delete needs one path";
                return false;
            }
            s->pending_deletes.push_back(w[0]);
        } else if (directive == "attrs") {
            if (w.size() != 2 || w[1] != "normal") {
                *error = where + "attrs PATH normal";
                return false;
            }
            s->normal_attrs.push_back(w[0]);
        } else if (directive == "restart") {
            s->restart = rest == "yes";
        } else if (directive == "sim-only" || directive == "wine-todo") {
            /* the reason is what the harness prints instead of a result */
            if (rest.empty()) {
                *error = where + directive + " needs a reason";
                return false;
            }
            (directive == "sim-only" ? s->sim_only : s->wine_todo) = rest;
        } else if (directive == "wine-keeps") {
            if (rest.empty()) {
                *error = where + "wine-keeps needs a path";
                return false;
            }
            s->wine_keeps.push_back(rest);
        } else if (directive == "locale") {
            if (!scenario_code_page(rest)) {
                *error = where + "locale ja_JP.UTF-8|zh_CN.UTF-8|ko_KR.UTF-8|en_US.UTF-8";
                return false;
            }
            s->locale = rest;
        } else if (directive == "wow64") {
            if (rest != "yes" && rest != "no" && rest != "alone") {
                *error = where + "wow64 yes|no|alone";
                return false;
            }
            s->wow64 = rest != "no";
            s->wow64_alone = rest == "alone";
        } else if (directive == "boxes-from") {
            if (w.size() != 1) {
                *error = where + "boxes-from needs one image file name";
                return false;
            }
            s->boxes_from = w[0];
        } else if (directive == "log") {
            /* as args: the text between the first and the last quote, blanks kept */
            size_t first = raw.find('"');
            size_t last = raw.rfind('"');
            if (first == std::string::npos || last == first) {
                *error = where + "log needs a quoted text";
                return false;
            }
            s->log.push_back(raw.substr(first + 1, last - first - 1));
        } else if (directive == "log-file") {
            if (rest.empty()) {
                *error = where + "log-file needs a path";
                return false;
            }
            s->log_file = rest;
        } else if (directive == "package") {
            if (w.size() != 4) {
                *error = where + "package OEM-NAME ORIGINAL-NAME STORE-FOLDER|- CATALOG|-";
                return false;
            }
            s->packages.push_back({w[0], w[1], w[2] == "-" ? "" : w[2], w[3] == "-" ? "" : w[3]});
        } else if (directive == "user") {
            if (rest != "standard" && rest != "administrator") {
                *error = where + "user standard|administrator";
                return false;
            }
            s->standard_user = rest == "standard";
            seen->user_line = where;
        } else if (directive == "lock") {
            if (rest != "held" && rest != "refused") {
                *error = where + "lock held|refused";
                return false;
            }
            s->lock = rest;
            seen->lock_line = where;
        } else if (directive == "device-in-use") {
            if (w.size() != 1) {
                *error = where + "device-in-use KEY";
                return false;
            }
            s->devices_in_use.push_back(w[0]);
            seen->device_line = where;
        } else if (directive == "link") {
            if (w.size() != 2) {
                *error = where + "link KEY TARGET";
                return false;
            }
            s->links.push_back({w[0], w[1]});
        } else if (directive == "include") {
            std::string sub = rest;
            size_t slash = sub.find_last_of('/');
            std::string dir = folder;
            if (slash != std::string::npos) {
                dir = folder + "/" + sub.substr(0, slash);
                sub = sub.substr(slash + 1);
            }
            if (!parse_lines(dir, sub, s, seen, error, depth + 1))
                return false;
        } else {
            *error = where + "unknown directive " + directive;
            return false;
        }
    }
    return true;
}

bool load_scenario(const std::string &folder, Scenario *out, std::string *error)
{
    *out = Scenario();
    out->folder = folder;
    std::string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    size_t slash = trimmed.find_last_of('/');
    out->name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    Seen seen;
    if (!parse_lines(folder, "scenario", out, &seen, error, 0))
        return false;
    /* a scenario that leaves these to a default says less than it seems to */
    const char *missing = !seen.version ? "version" : !seen.args ? "args" : !seen.exit ? "exit" : nullptr;
    if (missing) {
        *error = folder + "/scenario: no " + missing + " line";
        return false;
    }
    /* A Wine prefix has one user, an administrator, and no lock made by
       another user: such a run can only be played on the simulated PC. */
    if (out->sim_only.empty() && (out->standard_user || out->lock == "refused")) {
        *error = out->standard_user ? seen.user_line + "user standard" : seen.lock_line + "lock refused";
        *error += " needs a sim-only line (a Wine prefix has one user, an administrator)";
        return false;
    }
    /* nor a device that is plugged in and open */
    if (out->sim_only.empty() && !out->devices_in_use.empty()) {
        *error = seen.device_line + "device-in-use needs a sim-only line (a Wine prefix has no such device)";
        return false;
    }
    /* a wine-todo pins its difference: the files Wine keeps, each one the
       scenario has Windows remove; the Wine run must differ in them only */
    if (out->wine_todo.empty() != out->wine_keeps.empty()) {
        *error = folder + "/scenario: a wine-todo line needs wine-keeps lines, and they need it";
        return false;
    }
    for (const std::string &kept : out->wine_keeps)
        if (std::find(out->removed_files.begin(), out->removed_files.end(), kept) == out->removed_files.end()) {
            *error = folder + "/scenario: wine-keeps " + kept + " is no removed file of the scenario";
            return false;
        }
    return true;
}

std::vector<std::string> scenario_folders(const std::string &root)
{
    std::vector<std::string> out;
    DIR *dir = opendir(root.c_str());
    if (!dir)
        return out;
    while (struct dirent *e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (stat((root + "/" + name + "/scenario").c_str(), &st) == 0)
            out.push_back(root + "/" + name);
    }
    closedir(dir);
    std::sort(out.begin(), out.end());
    return out;
}

/* ---- JSON ---------------------------------------------------------------- */

static std::string quoted(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

static std::string list(const std::vector<std::string> &items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? ", " : "") + quoted(items[i]);
    return out + "]";
}

static std::string pairs(const std::vector<std::pair<std::string, std::string>> &items)
{
    std::vector<std::string> parts;
    for (auto &p : items)
        parts.push_back("[" + quoted(p.first) + ", " + quoted(p.second) + "]");
    std::string out = "[";
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? ", " : "") + parts[i];
    return out + "]";
}

std::string scenario_json(const Scenario &s)
{
    std::vector<std::string> answers, files, boxes;
    for (int a : s.answers)
        answers.push_back(a == IDOK ? "OK" : "Cancel");
    for (const ScenarioFile &f : s.files)
        files.push_back("{\"path\": " + quoted(f.path) + ", \"attributes\": " + list(f.attributes) +
                        ", \"source\": " + quoted(f.source) + "}");
    for (const ExpectedBox &b : s.boxes)
        boxes.push_back("{\"buttons\": " + quoted(b.buttons) + ", \"icon\": " + quoted(b.icon) +
                        ", \"caption\": " + quoted(b.caption) + ", \"text\": " + quoted(b.text) + "}");
    auto objects = [](const std::vector<std::string> &items) {
        std::string out = "[";
        for (size_t i = 0; i < items.size(); ++i)
            out += (i ? ",\n    " : "\n    ") + items[i];
        return out + (items.empty() ? "]" : "\n  ]");
    };
    std::string out = "{\n";
    out += "  \"name\": " + quoted(s.name) + ",\n";
    out += "  \"folder\": " + quoted(s.folder) + ",\n";
    out += "  \"title\": " + quoted(s.title) + ",\n";
    out += "  \"version\": " + quoted(s.version) + ",\n";
    out += "  \"args\": " + quoted(s.args) + ",\n";
    out += "  \"registry\": " + list(s.registry_files) + ",\n";
    out += "  \"dirs\": " + list(s.dirs) + ",\n";
    out += "  \"files\": " + objects(files) + ",\n";
    out += "  \"answers\": " + list(answers) + ",\n";
    out += "  \"boxes\": " + objects(boxes) + ",\n";
    out += "  \"exit\": " + std::to_string(s.exit_code) + ",\n";
    out += "  \"removed_keys\": " + list(s.removed_keys) + ",\n";
    out += "  \"removed_values\": " + pairs(s.removed_values) + ",\n";
    out += "  \"removed_files\": " + list(s.removed_files) + ",\n";
    out += "  \"attrs\": " + list(s.normal_attrs) + ",\n";
    out += "  \"restart_deletes\": " + list(s.restart_deletes) + ",\n";
    out += "  \"pending_deletes\": " + list(s.pending_deletes) + ",\n";
    out += std::string("  \"restart\": ") + (s.restart ? "true" : "false") + ",\n";
    out += "  \"links\": " + pairs(s.links) + ",\n";
    out += "  \"sim_only\": " + quoted(s.sim_only) + ",\n";
    out += "  \"wine_todo\": " + quoted(s.wine_todo) + ",\n";
    out += "  \"wine_keeps\": " + list(s.wine_keeps) + ",\n";
    out += std::string("  \"wow64\": ") + (s.wow64 ? "true" : "false") + ",\n";
    out += std::string("  \"wow64_alone\": ") + (s.wow64_alone ? "true" : "false") + ",\n";
    out += "  \"boxes_from\": " + quoted(s.boxes_from) + ",\n";
    out += "  \"locale\": " + quoted(s.locale) + ",\n";
    out += "  \"log\": " + list(s.log) + ",\n";
    out += "  \"log_file\": " + quoted(s.log_file) + ",\n";
    out += std::string("  \"standard_user\": ") + (s.standard_user ? "true" : "false") + ",\n";
    out += "  \"lock\": " + quoted(s.lock) + "\n";
    return out + "}\n";
}
