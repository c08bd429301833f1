// Text helpers of the framework, on UTF-8 `std::string`.
#pragma once

#include <string>
#include <string_view>

namespace pavana {

// Removes leading and trailing characters of codes 0 to 32.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

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
