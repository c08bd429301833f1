// The framework's `Format`: printf-like formatting with the framework's directives.
//
// A directive is  "%" [index ":"] ["-"] [width] ["." precision] type  with the types
//   d  signed integer          u  unsigned integer      x  hexadecimal (upper case)
//   e  scientific              f  fixed                 g  general      n  fixed with grouping
//   m  money (fixed, 2 digits) s  text                  p  pointer-sized hexadecimal
// and "%%" for a percent sign. Width and precision may be "*" (taken from the arguments).
// Arguments are taken in order; an index sets the position of the next one. A directive
// that does not match its argument, or runs out of arguments, raises `EConvertError`
// ("Format '%s' invalid or incompatible with argument"). Arguments are never interpreted
// as format text, so a "%" inside a text argument is copied as it stands.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace pavana {

// One argument of `Format`: an integer, a floating-point number or a text.
class FormatArg {
public:
    FormatArg(int v) : value_(std::int64_t{v}) {}
    FormatArg(long v) : value_(std::int64_t{v}) {}
    FormatArg(long long v) : value_(std::int64_t{v}) {}
    FormatArg(unsigned v) : value_(std::int64_t{v}) {}
    FormatArg(unsigned long v) : value_(static_cast<std::int64_t>(v)) {}
    FormatArg(unsigned long long v) : value_(static_cast<std::int64_t>(v)) {}
    FormatArg(double v) : value_(v) {}
    FormatArg(const char* v) : value_(std::string_view(v)) {}
    FormatArg(std::string_view v) : value_(v) {}
    FormatArg(const std::string& v) : value_(std::string_view(v)) {}

    const std::variant<std::int64_t, double, std::string_view>& Value() const { return value_; }

private:
    std::variant<std::int64_t, double, std::string_view> value_;
};

std::string Format(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace pavana
