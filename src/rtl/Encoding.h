// Text encodings. Internal 8-bit text is UTF-8; files arrive in UTF-16, UTF-8 or Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace pavana {

bool IsValidUtf8(std::string_view bytes);

// Decodes the bytes of a text file to UTF-8:
//  - a UTF-16 byte-order mark (FF FE or FE FF) means UTF-16 of that byte order; a NUL code unit
//    ends the text, unpaired surrogates become U+FFFD;
//  - otherwise the text ends at the first NUL byte, and what comes before it is UTF-8 when it
//    is valid UTF-8 (a leading UTF-8 byte-order mark is dropped), else Windows-1252.
// The rvalue form decodes UTF-8 input in place, without a second copy of the text.
std::string DecodeTextFile(std::string_view bytes);
std::string DecodeTextFile(std::string&& bytes);
// The 8-bit part of that rule on text without NUL bytes: valid UTF-8 (its byte-order mark
// dropped) is kept in place and sets `utf8`; anything else is read as Windows-1252.
std::string DecodeEightBitText(std::string&& bytes, bool& utf8);

std::string Cp1252ToUtf8(std::string_view bytes);

// Conversions between UTF-8 and wide forms. Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
std::u32string Utf8ToUtf32(std::string_view text);
std::string Utf32ToUtf8(std::u32string_view text);

// Cuts a UTF-8 text to at most `maxBytes` bytes without splitting a character.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace pavana
