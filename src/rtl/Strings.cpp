#include "Strings.h"

#include <algorithm>
#include <cwctype>

#include "Encoding.h"

namespace pavana {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Upper case of one code point: ASCII, Latin-1 and Latin Extended-A by table, so that accented
// Portuguese letters compare alike whatever the process locale; the C library for the rest.
char ToUpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

char32_t ToUpper(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c < 0x80) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17E && c != 0x138 && c != 0x149) {
        bool lowerIsEven = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (lowerIsEven ? (c % 2 == 0) : (c % 2 == 1)) return c - 1;
        return c;
    }
    return static_cast<char32_t>(std::towupper(static_cast<wint_t>(c)));
}

}  // namespace

std::string Trim(std::string_view text) { return std::string(TrimmedView(text)); }

std::string_view TrimmedView(std::string_view text) {
    std::size_t start = 0;
    std::size_t end = text.size();
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    return text.substr(start, end - start);
}

std::string TrimLeft(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(0, end));
}

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = ToUpperAscii(c);
    return out;
}

bool SameAsciiText(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return ToUpperAscii(x) == ToUpperAscii(y); });
}

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string AnsiUpperCase(std::string_view text) {
    std::u32string wide = Utf8ToUtf32(text);
    for (char32_t& c : wide) c = ToUpper(c);
    return Utf32ToUtf8(wide);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    std::u32string wa = Utf8ToUtf32(a);
    std::u32string wb = Utf8ToUtf32(b);
    std::size_t n = std::min(wa.size(), wb.size());
    for (std::size_t i = 0; i < n; ++i) {
        char32_t ca = ToUpper(wa[i]);
        char32_t cb = ToUpper(wb[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (wa.size() == wb.size()) return 0;
    return wa.size() < wb.size() ? -1 : 1;
}

}  // namespace pavana
