// The text form in which pavanadb prints query results: one locale-independent form per
// value, stable so that scripts and tests can read it.
//
//   Null                 NULL
//   Yes/No               -1 or 0, as stored
//   whole numbers        decimal digits, with a leading "-" when negative
//   Single, Double       the shortest text that reads back to the same number, "." as the
//                        decimal point, no grouping ("0.1", "2.5e-07", "1e+20", "inf", "nan")
//   Currency             up to 4 decimals, trailing zeros dropped ("12.5", "-3")
//   dates                yyyy-mm-dd hh:nn:ss, rounded to the second; yyyy-mm-dd alone when
//                        the time is midnight; a day number outside years 1..9999 is printed
//                        as a number
//   binary               0x followed by two upper-case hex digits per byte
//   text                 as stored, except that a tab, line feed, carriage return or
//                        backslash is written as a backslash followed by t, n, r or a
//                        second backslash
#pragma once

#include <string>
#include <string_view>

#include "rtl/Variant.h"

namespace pavana::tools {

// The printed form of `value`.
std::string ValueText(const Variant& value);
// `text` with tab, line feed, carriage return and backslash escaped.
std::string EscapedText(std::string_view text);

}  // namespace pavana::tools
