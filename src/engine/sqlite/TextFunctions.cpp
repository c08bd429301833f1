// The text built-ins and the Like operator. Positions and lengths count characters (code
// points), not bytes. Comparisons inside InStr, InStrRev, Replace and StrComp ignore case
// unless the compare argument is 0 (binary), as text comparison does everywhere in the engine.
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "engine/sqlite/FunctionSupport.h"
#include "rtl/Encoding.h"

namespace pavana::engine::sqlite::support {
namespace {

std::u32string Chars(sqlite3_value* v) { return Decode(ToText(v)); }

std::int64_t Count(sqlite3_value* v) {
    if (IsNull(v)) throw FunctionError{kInvalidNull};
    return ToInteger(v);
}

void ResultChars(sqlite3_context* ctx, std::u32string_view chars) { ResultText(ctx, Encode(chars)); }

void Len(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(Chars(argv[0]).size()));
}

void Left(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t n = Count(argv[1]);
    if (n < 0) throw FunctionError{kInvalidCall};
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const std::u32string s = Chars(argv[0]);
    ResultChars(ctx, std::u32string_view(s).substr(
                         0, static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(s.size())))));
}

void Right(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t n = Count(argv[1]);
    if (n < 0) throw FunctionError{kInvalidCall};
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const std::u32string s = Chars(argv[0]);
    const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(s.size())));
    ResultChars(ctx, std::u32string_view(s).substr(s.size() - take));
}

void Mid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::int64_t start = Count(argv[1]);
    if (start < 1) throw FunctionError{kInvalidCall};
    std::int64_t length = -1;
    if (argc > 2) {
        length = Count(argv[2]);
        if (length < 0) throw FunctionError{kInvalidCall};
    }
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const std::u32string s = Chars(argv[0]);
    if (start > static_cast<std::int64_t>(s.size())) return ResultText(ctx, "");
    const std::size_t from = static_cast<std::size_t>(start - 1);
    const std::size_t take = length < 0 ? std::u32string::npos : static_cast<std::size_t>(length);
    ResultChars(ctx, std::u32string_view(s).substr(from, take));
}

std::u32string Folded(std::u32string s) {
    for (auto& c : s) c = FoldCase(c);
    return s;
}

bool Binary(sqlite3_value* compare) {
    if (!compare || IsNull(compare)) return false;
    return ToInteger(compare) == 0;
}

// InStr([start,] s1, s2 [, compare])
void InStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::int64_t start = 1;
    int first = 0;
    if (argc >= 3) {
        start = Count(argv[0]);
        if (start < 1) throw FunctionError{kInvalidCall};
        first = 1;
    }
    sqlite3_value* compare = argc == 4 ? argv[3] : nullptr;
    if (IsNull(argv[first]) || IsNull(argv[first + 1])) return sqlite3_result_null(ctx);
    std::u32string s1 = Chars(argv[first]), s2 = Chars(argv[first + 1]);
    if (!Binary(compare)) {
        s1 = Folded(std::move(s1));
        s2 = Folded(std::move(s2));
    }
    if (start > static_cast<std::int64_t>(s1.size())) return sqlite3_result_int(ctx, 0);
    if (s2.empty()) return sqlite3_result_int64(ctx, start);
    const std::size_t pos = s1.find(s2, static_cast<std::size_t>(start - 1));
    sqlite3_result_int64(ctx, pos == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(pos + 1));
}

// InStrRev(s1, s2 [, start [, compare]])
void InStrRev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::int64_t start = -1;
    if (argc >= 3) {
        start = Count(argv[2]);
        if (start == 0 || start < -1) throw FunctionError{kInvalidCall};
    }
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    std::u32string s1 = Chars(argv[0]), s2 = Chars(argv[1]);
    if (!Binary(argc == 4 ? argv[3] : nullptr)) {
        s1 = Folded(std::move(s1));
        s2 = Folded(std::move(s2));
    }
    if (start == -1) start = static_cast<std::int64_t>(s1.size());
    if (start > static_cast<std::int64_t>(s1.size())) return sqlite3_result_int(ctx, 0);
    if (s2.empty()) return sqlite3_result_int64(ctx, start);
    if (static_cast<std::int64_t>(s2.size()) > start) return sqlite3_result_int(ctx, 0);
    const std::size_t pos = s1.rfind(s2, static_cast<std::size_t>(start) - s2.size());
    sqlite3_result_int64(ctx, pos == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(pos + 1));
}

template <char32_t (*F)(char32_t)>
void MapCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::u32string s = Chars(argv[0]);
    for (auto& c : s) c = F(c);
    ResultChars(ctx, s);
}

// The separators after which StrConv's proper case starts a word.
bool IsWordSeparator(char32_t c) { return c == 0 || c == ' ' || (c >= 9 && c <= 13); }

// StrConv(text, conversion [, LCID]): 1 upper case, 2 lower case, 3 proper case (each word's
// first letter upper, the rest lower). The conversions between character widths, scripts and
// byte encodings belong to East Asian and ANSI texts, which the engine does not keep.
void StrConv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[1])) throw FunctionError{kInvalidNull};
    const std::int64_t conversion = ToInteger(argv[1]);
    if (conversion < 1 || conversion > 3) throw FunctionError{kStrConvUnsupported};
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::u32string s = Chars(argv[0]);
    bool wordStart = true;
    for (auto& c : s) {
        const bool upper = conversion == 1 || (conversion == 3 && wordStart);
        wordStart = IsWordSeparator(c);
        c = upper ? UpperCase(c) : FoldCase(c);
    }
    ResultChars(ctx, s);
}

template <bool Leading, bool Trailing>
void TrimSpaces(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const std::string s = ToText(argv[0]);
    std::size_t b = 0, e = s.size();
    if (Leading)
        while (b < e && s[b] == ' ') ++b;
    if (Trailing)
        while (e > b && s[e - 1] == ' ') --e;
    ResultText(ctx, s.substr(b, e - b));
}

// Replace(s, find, with [, start [, count [, compare]]]): the result starts at `start`.
void Replace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) throw FunctionError{kInvalidNull};
    std::int64_t start = argc > 3 ? Count(argv[3]) : 1;
    std::int64_t count = argc > 4 ? Count(argv[4]) : -1;
    if (start < 1 || count < -1) throw FunctionError{kInvalidCall};
    const bool binary = Binary(argc > 5 ? argv[5] : nullptr);
    const std::u32string s = Chars(argv[0]), find = Chars(argv[1]), with = Chars(argv[2]);
    if (start > static_cast<std::int64_t>(s.size())) return ResultText(ctx, "");
    const std::u32string rest = s.substr(static_cast<std::size_t>(start - 1));
    if (find.empty() || count == 0) return ResultChars(ctx, rest);
    const std::u32string haystack = binary ? rest : Folded(rest);
    const std::u32string needle = binary ? find : Folded(find);
    std::u32string out;
    std::size_t at = 0;
    std::int64_t done = 0;
    while (count == -1 || done < count) {
        const std::size_t pos = haystack.find(needle, at);
        if (pos == std::u32string::npos) break;
        out.append(rest, at, pos - at);
        out += with;
        at = pos + needle.size();
        ++done;
    }
    out.append(rest, at, std::u32string::npos);
    ResultChars(ctx, out);
}

void Space(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t n = Count(argv[0]);
    if (n < 0 || n > 1 << 24) throw FunctionError{kInvalidCall};
    ResultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
}

// String(n, character): the character as a code or as the first character of a text.
void String(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t n = Count(argv[0]);
    if (n < 0 || n > 1 << 24) throw FunctionError{kInvalidCall};
    if (IsNull(argv[1])) return sqlite3_result_null(ctx);
    char32_t c;
    if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        const std::u32string s = Chars(argv[1]);
        if (s.empty()) throw FunctionError{kInvalidCall};
        c = s[0];
    } else {
        const std::int64_t code = ToInteger(argv[1]);
        if (code < 0) throw FunctionError{kInvalidCall};
        c = static_cast<char32_t>(code % 256);
    }
    ResultChars(ctx, std::u32string(static_cast<std::size_t>(n), c));
}

void StrComp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    std::u32string a = Chars(argv[0]), b = Chars(argv[1]);
    if (!Binary(argc > 2 ? argv[2] : nullptr)) {
        a = Folded(std::move(a));
        b = Folded(std::move(b));
    }
    const int c = a.compare(b);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
}

void StrReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    std::u32string s = Chars(argv[0]);
    ResultChars(ctx, std::u32string(s.rbegin(), s.rend()));
}

// Chr and Asc speak the Windows character set the scripts were written in (Chr(128) is the
// euro sign); ChrW and AscW speak Unicode.
void Chr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t code = Count(argv[0]);
    if (code < 0 || code > 255) throw FunctionError{kInvalidCall};
    ResultText(ctx, Cp1252ToUtf8(std::string(1, static_cast<char>(code))));
}

void ChrW(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::int64_t code = Count(argv[0]);
    if (code < -32768 || code > 0xFFFF) throw FunctionError{kInvalidCall};
    if (code < 0) code += 0x10000;
    ResultChars(ctx, std::u32string(1, static_cast<char32_t>(code)));
}

char32_t FirstChar(sqlite3_value* v) {
    if (IsNull(v)) throw FunctionError{kInvalidNull};
    const std::u32string s = Chars(v);
    if (s.empty()) throw FunctionError{kInvalidCall};
    return s[0];
}

// A character outside the Windows set keeps its Unicode number.
void Asc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const char32_t c = FirstChar(argv[0]);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return sqlite3_result_int64(ctx, c);
    for (int b = 0x80; b < 0xA0; ++b)
        if (Decode(Cp1252ToUtf8(std::string(1, static_cast<char>(b))))[0] == c) return sqlite3_result_int(ctx, b);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(c));
}

void AscW(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(FirstChar(argv[0])));
}

// Val: the number at the start of the text; blanks are skipped, &H and &O read hex and octal.
// The decimal separator is always '.', whatever the settings.
void Val(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    std::string s;
    for (char c : ToText(argv[0], FormatSettings::Invariant()))
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
    std::size_t used = 0;
    if (auto radix = ParseRadix(s, used)) return sqlite3_result_double(ctx, *radix);
    std::size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) number += s[i++];
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            number += s[i];
            digits = true;
        } else if (s[i] == '.' && !point) {
            number += s[i];
            point = true;
        } else {
            break;
        }
    }
    if (digits && i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::string exponent = "e";
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '-' || s[j] == '+')) exponent += s[j++];
        bool any = false;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            exponent += s[j++];
            any = true;
        }
        if (any) number += exponent;
    }
    double value = 0.0;
    if (digits) {
        const char* first = number.data() + (number[0] == '+' ? 1 : 0);
        const char* last = number.data() + number.size();
        // Beyond the range of a Double: too small reads as 0, too large overflows.
        long double wide = 0;
        if (std::from_chars(first, last, value).ec == std::errc::result_out_of_range &&
            !(std::from_chars(first, last, wide).ec == std::errc() && std::fabs(wide) < 1))
            throw FunctionError{kOverflow};
    }
    if (!std::isfinite(value)) throw FunctionError{kOverflow};
    sqlite3_result_double(ctx, value);
}

// Str: the number as text with a leading blank for a positive number, and no zero before
// the decimal point (Str(0.5) is " .5"); the decimal separator is always '.'.
void Str(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const double v = ToNumber(argv[0]);
    std::string digits = NumberText(std::fabs(v), FormatSettings::Invariant());
    if (digits.rfind("0.", 0) == 0) digits.erase(0, 1);
    ResultText(ctx, (v >= 0 ? " " : "-") + digits);
}

template <int Base>
void Radix(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::int64_t v = ToInteger(argv[0]);
    std::uint64_t u = static_cast<std::uint64_t>(v);
    if (v < 0 && v >= -32768) u &= 0xFFFF;
    else if (v < 0 && v >= INT32_MIN) u &= 0xFFFFFFFFu;
    std::string out;
    do {
        out.insert(out.begin(), "0123456789ABCDEF"[u % Base]);
        u /= Base;
    } while (u);
    ResultText(ctx, out);
}

// ---- Like -------------------------------------------------------------------------------

// One element of a compiled pattern.
struct PatternItem {
    enum Kind { Char, Any, Digit, Set, Star };
    PatternItem(Kind k, char32_t ch = 0) : kind(k), c(ch) {}
    Kind kind;
    char32_t c;
    bool negated = false;
    std::u32string ranges;  // pairs low, high
};

std::vector<PatternItem> Compile(const std::u32string& p) {
    std::vector<PatternItem> items;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == '*') {
            if (items.empty() || items.back().kind != PatternItem::Star) items.push_back({PatternItem::Star});
        } else if (c == '?') {
            items.push_back({PatternItem::Any});
        } else if (c == '#') {
            items.push_back({PatternItem::Digit});
        } else if (c == '[') {
            const std::size_t close = p.find(']', i + 1);
            if (close == std::u32string::npos) throw FunctionError{kInvalidPattern};
            PatternItem set{PatternItem::Set};
            std::size_t j = i + 1;
            if (j < close && p[j] == '!') {
                set.negated = true;
                ++j;
            }
            if (j == close) {
                // [] matches the empty string: it adds nothing; [!] matches one "!" literally.
                if (set.negated) items.push_back({PatternItem::Char, U'!'});
                i = close;
                continue;
            }
            for (; j < close; ++j) {
                char32_t low = FoldCase(p[j]);
                char32_t high = low;
                if (j + 2 < close && p[j + 1] == '-') {
                    high = FoldCase(p[j + 2]);
                    if (high < low) throw FunctionError{kInvalidPattern};
                    j += 2;
                }
                set.ranges += low;
                set.ranges += high;
            }
            items.push_back(std::move(set));
            i = close;
        } else {
            items.push_back({PatternItem::Char, FoldCase(c)});
        }
    }
    return items;
}

bool MatchOne(const PatternItem& item, char32_t c) {
    switch (item.kind) {
        case PatternItem::Char: return item.c == c;
        case PatternItem::Any: return true;
        case PatternItem::Digit: return c >= '0' && c <= '9';
        case PatternItem::Set: {
            bool in = false;
            for (std::size_t k = 0; k + 1 < item.ranges.size(); k += 2)
                if (c >= item.ranges[k] && c <= item.ranges[k + 1]) in = true;
            return in != item.negated;
        }
        case PatternItem::Star: return false;
    }
    return false;
}

// Every element but * matches exactly one character, so backtracking to the last * suffices.
bool Match(const std::vector<PatternItem>& pattern, const std::u32string& text) {
    std::size_t p = 0, t = 0, starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p].kind == PatternItem::Star) {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && MatchOne(pattern[p], text[t])) {
            ++p;
            ++t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p].kind == PatternItem::Star) ++p;
    return p == pattern.size();
}

void Like(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    const std::vector<PatternItem> pattern = Compile(Chars(argv[1]));
    sqlite3_result_int(ctx, Match(pattern, Folded(Chars(argv[0]))) ? -1 : 0);
}

}  // namespace

void RegisterTextFunctions(sqlite3* db) {
    Define(db, "JetLen", 1, Len);
    Define(db, "JetLeft", 2, Left);
    Define(db, "JetRight", 2, Right);
    Define(db, "JetMid", -1, Mid);
    Define(db, "JetInStr", -1, InStr);
    Define(db, "JetInStrRev", -1, InStrRev);
    Define(db, "JetUCase", 1, MapCase<UpperCase>);
    Define(db, "JetLCase", 1, MapCase<FoldCase>);
    Define(db, "JetStrConv", -1, StrConv);
    Define(db, "JetTrim", 1, TrimSpaces<true, true>);
    Define(db, "JetLTrim", 1, TrimSpaces<true, false>);
    Define(db, "JetRTrim", 1, TrimSpaces<false, true>);
    Define(db, "JetReplace", -1, Replace);
    Define(db, "JetSpace", 1, Space);
    Define(db, "JetString", 2, String);
    Define(db, "JetStrComp", -1, StrComp);
    Define(db, "JetStrReverse", 1, StrReverse);
    Define(db, "JetChr", 1, Chr);
    Define(db, "JetChrW", 1, ChrW);
    Define(db, "JetAsc", 1, Asc);
    Define(db, "JetAscW", 1, AscW);
    Define(db, "JetVal", 1, Val);
    Define(db, "JetStr", 1, Str);
    Define(db, "JetHex", 1, Radix<16>);
    Define(db, "JetOct", 1, Radix<8>);
    Define(db, "JetLike", 2, Like);
}

}  // namespace pavana::engine::sqlite::support
