/*
 * code_page.cpp - the system code page (932, 936, 949 or 1252) and the
 * conversions between it and UTF-16, as the A and W functions of Windows
 * make them: MultiByteToWideChar, WideCharToMultiByte, CharNextA, CharPrevA.
 * A-function paths and texts are kept in the system code page.
 */
#include <cerrno>
#include <cstring>
#include <iconv.h>

#include "sim.h"
#include "text.h"

namespace sim {

bool is_lead_byte_in(UINT code_page, unsigned char c)
{
    switch (code_page) {
    case 932:
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:
    case 949:
        return c >= 0x81 && c <= 0xFE;
    default:
        return false; /* 1252 and UTF-8 have no lead bytes */
    }
}

static const char *iconv_name(UINT code_page)
{
    switch (code_page) {
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 1252: return "CP1252";
    case CP_UTF8: return "UTF-8";
    default: return nullptr;
    }
}

static UINT actual(UINT code_page)
{
    return code_page == CP_ACP ? pc().code_page : code_page;
}

/* `in` from one iconv encoding into another; false when any of it cannot be. */
static bool iconv_convert(const std::string &in, const char *from, const char *to, std::string *out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1)
        return false;
    out->assign(in.size() * 4 + 8, '\0');
    char *src = const_cast<char *>(in.data());
    size_t src_left = in.size();
    char *dst = &(*out)[0];
    size_t dst_left = out->size();
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    out->resize(out->size() - dst_left);
    return r != (size_t)-1;
}

static std::u16string as_utf16(const std::string &bytes)
{
    std::u16string out(bytes.size() / 2, u'\0');
    memcpy(&out[0], bytes.data(), out.size() * 2);
    return out;
}

static std::string utf16_bytes(const std::u16string &text)
{
    return std::string(reinterpret_cast<const char *>(text.data()), text.size() * 2);
}

/* One character at a time, so that one that does not convert becomes '?'
   (and U+30FB/U+FFFD aside, that is what Windows puts in its place). */
std::u16string to_utf16(const std::string &text, UINT code_page)
{
    code_page = actual(code_page);
    std::string out;
    if (code_page == CP_UTF8) {
        iconv_convert(text, "UTF-8", "UTF-16LE", &out);
        return as_utf16(out);
    }
    std::u16string wide;
    for (size_t i = 0; i < text.size();) {
        size_t size = is_lead_byte_in(code_page, (unsigned char)text[i]) && i + 1 < text.size() ? 2 : 1;
        if (iconv_convert(text.substr(i, size), iconv_name(code_page), "UTF-16LE", &out) && !out.empty())
            wide += as_utf16(out);
        else
            wide += u'?';
        i += size;
    }
    return wide;
}

std::string from_utf16(const std::u16string &text, UINT code_page)
{
    code_page = actual(code_page);
    std::string out, narrow;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t size = (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size()) ? 2 : 1;
        if (iconv_convert(utf16_bytes(text.substr(i, size)), "UTF-16LE", iconv_name(code_page), &out))
            narrow += out;
        else
            narrow += '?';
        i += size - 1;
    }
    return narrow;
}

std::string in_code_page(const std::string &utf8, UINT code_page)
{
    return from_utf16(to_utf16(utf8, CP_UTF8), code_page);
}

} // namespace sim

using namespace sim;

/* The length of a NUL-terminated or counted text of either width. */
template <typename C> static size_t counted(const C *text, int count)
{
    if (count >= 0)
        return (size_t)count;
    size_t n = 0;
    while (text[n])
        ++n;
    return n + 1; /* -1 counts the NUL too */
}

/* Gives `text` (in units of C) into a caller's buffer as the conversion
   functions do: size 0 asks for the length; too small fails. */
template <typename C> static int give_units(const std::basic_string<C> &text, C *buffer, int size)
{
    if (size == 0)
        return (int)text.size();
    if ((int)text.size() > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(buffer, text.data(), text.size() * sizeof(C));
    return (int)text.size();
}

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar)
{
    (void)dwFlags;
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || !iconv_name(actual(CodePage))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string text(lpMultiByteStr, counted(lpMultiByteStr, cbMultiByte));
    return give_units(to_utf16(text, CodePage), lpWideCharStr, cchWideChar);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    (void)dwFlags;
    (void)lpDefaultChar;
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = FALSE;
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || !iconv_name(actual(CodePage))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string text(lpWideCharStr, counted(lpWideCharStr, cchWideChar));
    return give_units(from_utf16(text, CodePage), lpMultiByteStr, cbMultiByte);
}

/* As user32 does it: a lead byte with a byte after it starts a double-byte
   character of the system code page; the end of the text stays where it is. */
LPSTR CharNextA(LPCSTR lpsz)
{
    if (*lpsz == '\0')
        return (LPSTR)lpsz;
    if (is_lead_byte((unsigned char)lpsz[0]) && lpsz[1] != '\0')
        return (LPSTR)(lpsz + 2);
    return (LPSTR)(lpsz + 1);
}

LPSTR CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent)
{
    while (*lpszStart && lpszStart < lpszCurrent) {
        LPCSTR next = CharNextA(lpszStart);
        if (next >= lpszCurrent)
            break;
        lpszStart = next;
    }
    return (LPSTR)lpszStart;
}
