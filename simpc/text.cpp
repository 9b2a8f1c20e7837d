/*
 * text.cpp - case folding and path splitting for the simulated PC.
 */
#include <algorithm>
#include <cstring>

#include "sim.h"
#include "text.h"

namespace sim {

bool is_lead_byte(unsigned char c)
{
    return is_lead_byte_in(pc().code_page, c);
}

std::string fold(const std::string &s)
{
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = (unsigned char)out[i];
        if (is_lead_byte(c) && i + 1 < out.size()) {
            ++i; /* keep the trail byte as it is */
            continue;
        }
        if (c >= 'a' && c <= 'z')
            out[i] = (char)(c - 'a' + 'A');
    }
    return out;
}

/* fold(a) == fold(b), without building either: names are compared at
   every step of every registry path. */
bool iequal(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    bool trail_a = false, trail_b = false; /* the byte is a trail byte, kept as it is */
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char ca = (unsigned char)a[i], cb = (unsigned char)b[i];
        unsigned char fa = (!trail_a && ca >= 'a' && ca <= 'z') ? (unsigned char)(ca - 'a' + 'A') : ca;
        unsigned char fb = (!trail_b && cb >= 'a' && cb <= 'z') ? (unsigned char)(cb - 'a' + 'A') : cb;
        if (fa != fb)
            return false;
        trail_a = !trail_a && is_lead_byte(ca) && i + 1 < a.size();
        trail_b = !trail_b && is_lead_byte(cb) && i + 1 < b.size();
    }
    return true;
}

bool iless(const std::string &a, const std::string &b)
{
    return fold(a) < fold(b);
}

std::vector<std::string> split_path(const std::string &path)
{
    std::vector<std::string> parts;
    parts.reserve(std::count(path.begin(), path.end(), '\\') + 1); /* one allocation, not one per part */
    std::string cur;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = (unsigned char)path[i];
        if (is_lead_byte(c) && i + 1 < path.size()) {
            cur += path[i];
            cur += path[++i];
            continue;
        }
        if (c == '\\') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur += path[i];
        }
    }
    if (!cur.empty())
        parts.push_back(cur);
    return parts;
}

/* In one pass, into a buffer the caller may keep: the file system looks
   paths up hundreds of times a run. */
size_t fold_path_into(const std::string &path, std::string &out, bool drop_last)
{
    out.resize(path.size()); /* the folded path is never longer */
    char *o = &out[0];
    size_t n = 0;
    size_t parts = 0;
    size_t last_start = 0; /* where the last part, with its separator, begins in out */
    bool in_part = false;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = (unsigned char)path[i];
        if (c == '\\') {
            in_part = false;
            continue;
        }
        if (!in_part) {
            last_start = n;
            if (parts++ > 0)
                o[n++] = '\\';
            in_part = true;
        }
        if (is_lead_byte(c) && i + 1 < path.size()) {
            o[n++] = path[i];
            o[n++] = path[++i]; /* the trail byte as it is, even a '\' */
        } else {
            o[n++] = (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : (char)c;
        }
    }
    out.resize(drop_last ? last_start : n);
    return parts;
}

std::string trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

BOOL give_text(const std::string &text, PSTR buffer, DWORD size, PDWORD required)
{
    if (required)
        *required = (DWORD)text.size() + 1;
    if (!buffer || size < text.size() + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, text.c_str(), text.size() + 1);
    return TRUE;
}

} // namespace sim
