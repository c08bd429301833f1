// Text helpers of the framework, on UTF-8 `std::string`.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace pavana {

// Removes leading and trailing characters of codes 0 to 32.
std::string Trim(std::string_view text);
// The same, as a view into `text`.
std::string_view TrimmedView(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Calls `visit(begin, size)` for each line of `text`, in order, where `begin` is the offset of
// the line's first byte; lines end at CR LF, a lone CR or a lone LF, which are not part of
// them. A break at the very end of the text starts no further line, so "" has no line and
// "a\r\n" has one.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
    const std::size_t size = text.size();
    // The next CR and LF at or after `start` (size when there is none), each searched for anew
    // only once passed, so that text with one kind of break is read in one pass.
    std::size_t nextCr = std::min(text.find('\r'), size);
    std::size_t nextLf = std::min(text.find('\n'), size);
    std::size_t start = 0;
    while (start < size) {
        if (nextCr < start) nextCr = std::min(text.find('\r', start), size);
        if (nextLf < start) nextLf = std::min(text.find('\n', start), size);
        const std::size_t end = std::min(nextCr, nextLf);
        visit(start, end - start);
        if (end == size) break;
        start = end + ((text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') ? 2 : 1);
    }
}

// ASCII-only case mapping; other bytes (UTF-8 sequences included) are kept.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

// ASCII-only case-insensitive equality, for names and keywords: A-Z match a-z and every
// other byte (UTF-8 sequences included) matches only itself, whatever the user's locale.
bool SameAsciiText(std::string_view a, std::string_view b);

// Case-insensitive comparison with the user's locale rules: <0, 0 or >0. Letters outside
// ASCII (accented Latin letters included) compare without regard to case as well.
int AnsiCompareText(std::string_view a, std::string_view b);
inline bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

// The locale-aware upper-case form used for case-insensitive searches.
std::string AnsiUpperCase(std::string_view text);

}  // namespace pavana
