// What the function families of the dialect share: conversions of SQLite values the way the
// dialect converts them, UTF-8 helpers, and the registration of one family on a connection.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/EngineError.h"
#include "rtl/FormatSettings.h"

namespace pavana::engine::sqlite::support {

// The messages functions fail with (and their numbers, see FunctionErrorNumber).
inline constexpr const char* kTypeMismatch = EngineMessage(jetDataTypeMismatch);
inline constexpr const char* kDivisionByZero = "Division by zero.";
inline constexpr const char* kOverflow = "Overflow.";
inline constexpr const char* kFieldOverflow = EngineMessage(jetNumericOverflow);  // a value beyond a column's type
inline constexpr const char* kNullKey = EngineMessage(jetNullKey);
inline constexpr const char* kInvalidCall = "Invalid procedure call or argument.";
inline constexpr const char* kInvalidNull = "Invalid use of Null.";
inline constexpr const char* kInvalidPattern = "Invalid pattern string.";
inline constexpr const char* kStrConvUnsupported =
    "StrConv converts only to upper case (1), lower case (2) or proper case (3).";

// A failure inside a function; the wrapper reports it through sqlite3_result_error.
struct FunctionError {
    const char* message;
};

bool IsNull(sqlite3_value* v);

// The settings every conversion between a value and text follows: the process-wide ones, read
// from the locale once (rtl/FormatSettings.h). Literals of a statement never depend on them,
// nor do Str and Val, which take `FormatSettings::Invariant()`.
inline const FormatSettings& Settings() { return FormatSettings::Current(); }

// Text that reads as a number (spaces around it allowed, "&H" and "&O" numbers too), as the
// platform's numeric conversion reads it: the decimal separator of `settings` and its
// thousands separator between digits (skipped).
std::optional<double> ParseNumber(std::string_view text, const FormatSettings& settings = Settings());

// "&H1F" or "&O17" at the start of `text`: a hex or octal number, `used` the characters
// read. Up to four hex digits (octal up to 177777) make a 16-bit Integer, up to eight a
// 32-bit Long, so "&HFFFF" is -1. nullopt when the text starts with no such number.
std::optional<double> ParseRadix(std::string_view text, std::size_t& used);

// The value as a number; text must read as one (else kTypeMismatch); Null raises kInvalidNull.
double ToNumber(sqlite3_value* v);

// The value as text, the way CStr writes numbers: up to 15 significant digits, no trailing
// zeros, the decimal separator of `settings` ("7,75" under pt_BR's).
std::string ToText(sqlite3_value* v, const FormatSettings& settings = Settings());
std::string NumberText(double value, const FormatSettings& settings = Settings());
// A date (a day number) as CStr writes it: the general date, the short date followed by the
// long time when the value has a time of day.
std::string DateText(double date, const FormatSettings& settings = Settings());

// Round half to even, the rounding of CInt, CLng, Round, \ and Mod.
double RoundHalfEven(double value);
std::int64_t ToInteger(sqlite3_value* v);  // ToNumber, rounded half to even, Overflow beyond int64

// The value as a date (a day number): numbers as they stand, text parsed as a date under
// `Settings()`.
double ToDate(sqlite3_value* v);

// The optional first-day-of-week argument at `index`: 1 (Sunday) to 7 (Saturday), 0 or
// absent for the system's, Sunday. The first-week-of-year argument: 1 (the week of
// 1 January), 2 (the first week of four days) or 3 (the first full week), 0 or absent for 1.
// Other values raise kInvalidCall.
int FirstDayArgument(int argc, sqlite3_value** argv, int index);
int FirstWeekArgument(int argc, sqlite3_value** argv, int index);

// Dates as a straight line of days (the stored form counts the time forwards from midnight
// also before 1899-12-30, so it is not linear there).
double DateToLinear(double date);
double LinearToDate(double linear);

// UTF-8 <-> code points; invalid bytes are taken as Latin-1 characters.
std::u32string Decode(std::string_view text);
std::string Encode(std::u32string_view text);
char32_t FoldCase(char32_t c);  // lower case, for case-insensitive comparison
char32_t UpperCase(char32_t c);

void ResultNumber(sqlite3_context* ctx, double value);  // integral values as integers
void ResultText(sqlite3_context* ctx, const std::string& text);

// A function body; it may throw FunctionError, which the registered wrapper reports.
using Body = void (*)(sqlite3_context*, int, sqlite3_value**);
// Registers `body` under `name` for `argc` arguments (-1: any), deterministic unless stated;
// `data` is shared by the functions registered with it and freed with the last of them;
// UserData returns it inside the body.
void Define(sqlite3* db, const char* name, int argc, Body body, bool deterministic = true,
            std::shared_ptr<void> data = {});
void* UserData(sqlite3_context* ctx);

void RegisterTextFunctions(sqlite3* db);
// `clock` is a LocalClock; an empty one reads the system's local time.
void RegisterDateFunctions(sqlite3* db, std::shared_ptr<void> clock);
void RegisterFormatFunction(sqlite3* db);
// Rnd and Randomize (one generator per connection) and the financial functions.
void RegisterNumberFunctions(sqlite3* db);

}  // namespace pavana::engine::sqlite::support
