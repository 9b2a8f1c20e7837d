/*
 * text.h - name comparison as Windows does it for registry keys and files:
 * letters compare without case; code page 932 double-byte characters are
 * left alone (their trail bytes are not letters).
 */
#ifndef QZ_SIMPC_TEXT_H
#define QZ_SIMPC_TEXT_H

#include <string>
#include <vector>

namespace sim {

bool is_lead_byte(unsigned char c); /* in the system code page */
bool is_lead_byte_in(unsigned int code_page, unsigned char c);
/* Between the system code page (CP_ACP), or another, and UTF-16; a
   character that does not convert becomes '?'. */
std::u16string to_utf16(const std::string &text, unsigned int code_page);
std::string from_utf16(const std::u16string &text, unsigned int code_page);
std::string in_code_page(const std::string &utf8, unsigned int code_page);
std::string fold(const std::string &s);           /* upper case, double-byte characters intact */
bool iequal(const std::string &a, const std::string &b);
bool iless(const std::string &a, const std::string &b);
std::vector<std::string> split_path(const std::string &path); /* on '\', empty parts dropped */
/* The parts of split_path, folded and joined by one '\', into `out` (its
   buffer reused), without the last part if `drop_last`; returns how many
   parts the path has. */
size_t fold_path_into(const std::string &path, std::string &out, bool drop_last = false);
std::string trim(const std::string &s); /* blanks, tabs and CRs off both ends */

} // namespace sim

#endif
