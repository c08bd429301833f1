#include "engine/dialect/FunctionCatalog.h"

#include <array>
#include <climits>

#include "rtl/Strings.h"

namespace pavana::engine::dialect {
namespace {

constexpr int kMany = INT_MAX;

// sqliteName "" marks the functions the printer writes as SQLite expressions (IIf, Nz,
// Switch, Choose) so that only the chosen branch is evaluated.
constexpr std::array<FunctionInfo, 100> kFunctions{{
    {"IIf", "", 3, 3, false},
    {"Nz", "", 1, 2, false},
    {"Switch", "", 2, kMany, false},
    {"Choose", "", 2, kMany, false},
    {"IsNull", "JetIsNull", 1, 1, false},
    {"IsNumeric", "JetIsNumeric", 1, 1, false},
    {"IsDate", "JetIsDate", 1, 1, false},
    {"IsEmpty", "JetIsNull", 1, 1, false},
    {"Len", "JetLen", 1, 1, false},
    {"Left", "JetLeft", 2, 2, false},
    {"Right", "JetRight", 2, 2, false},
    {"Mid", "JetMid", 2, 3, false},
    {"InStr", "JetInStr", 2, 4, false},
    {"InStrRev", "JetInStrRev", 2, 4, false},
    {"UCase", "JetUCase", 1, 1, false},
    {"LCase", "JetLCase", 1, 1, false},
    {"StrConv", "JetStrConv", 2, 3, false},
    {"Trim", "JetTrim", 1, 1, false},
    {"LTrim", "JetLTrim", 1, 1, false},
    {"RTrim", "JetRTrim", 1, 1, false},
    {"Replace", "JetReplace", 3, 6, false},
    {"Space", "JetSpace", 1, 1, false},
    {"String", "JetString", 2, 2, false},
    {"StrComp", "JetStrComp", 2, 3, false},
    {"StrReverse", "JetStrReverse", 1, 1, false},
    {"Chr", "JetChr", 1, 1, false},
    {"ChrW", "JetChrW", 1, 1, false},
    {"Asc", "JetAsc", 1, 1, false},
    {"AscW", "JetAscW", 1, 1, false},
    {"Val", "JetVal", 1, 1, false},
    {"Str", "JetStr", 1, 1, false},
    {"Hex", "JetHex", 1, 1, false},
    {"Oct", "JetOct", 1, 1, false},
    {"CStr", "JetCStr", 1, 1, false},
    {"CInt", "JetCInt", 1, 1, false},
    {"CLng", "JetCLng", 1, 1, false},
    {"CByte", "JetCByte", 1, 1, false},
    {"CSng", "JetCSng", 1, 1, false},
    {"CDbl", "JetCDbl", 1, 1, false},
    {"CCur", "JetCCur", 1, 1, false},
    {"CDec", "JetCDbl", 1, 1, false},
    {"CDate", "JetCDate", 1, 1, false},
    {"CVDate", "JetCDate", 1, 1, false},
    {"CBool", "JetCBool", 1, 1, false},
    {"CVar", "JetCVar", 1, 1, false},
    {"Int", "JetInt", 1, 1, false},
    {"Fix", "JetFix", 1, 1, false},
    {"Round", "JetRound", 1, 2, false},
    {"Abs", "JetAbs", 1, 1, false},
    {"Sgn", "JetSgn", 1, 1, false},
    {"Sqr", "JetSqr", 1, 1, false},
    {"Exp", "JetExp", 1, 1, false},
    {"Log", "JetLog", 1, 1, false},
    {"Sin", "JetSin", 1, 1, false},
    {"Cos", "JetCos", 1, 1, false},
    {"Tan", "JetTan", 1, 1, false},
    {"Atn", "JetAtn", 1, 1, false},
    {"Rnd", "JetRnd", 0, 1, false},
    {"Randomize", "JetRandomize", 0, 1, false},
    {"FV", "JetFV", 3, 5, false},
    {"PV", "JetPV", 3, 5, false},
    {"Pmt", "JetPmt", 3, 5, false},
    {"NPer", "JetNPer", 3, 5, false},
    {"Rate", "JetRate", 3, 6, false},
    {"IPmt", "JetIPmt", 4, 6, false},
    {"PPmt", "JetPPmt", 4, 6, false},
    {"SLN", "JetSLN", 3, 3, false},
    {"SYD", "JetSYD", 4, 4, false},
    {"DDB", "JetDDB", 4, 5, false},
    {"Now", "JetNow", 0, 0, false},
    {"Date", "JetDate", 0, 0, false},
    {"Time", "JetTime", 0, 0, false},
    {"Year", "JetYear", 1, 1, false},
    {"Month", "JetMonth", 1, 1, false},
    {"Day", "JetDay", 1, 1, false},
    {"Hour", "JetHour", 1, 1, false},
    {"Minute", "JetMinute", 1, 1, false},
    {"Second", "JetSecond", 1, 1, false},
    {"Weekday", "JetWeekday", 1, 2, false},
    {"MonthName", "JetMonthName", 1, 2, false},
    {"WeekdayName", "JetWeekdayName", 1, 3, false},
    {"DateSerial", "JetDateSerial", 3, 3, false},
    {"TimeSerial", "JetTimeSerial", 3, 3, false},
    {"DateValue", "JetDateValue", 1, 1, false},
    {"TimeValue", "JetTimeValue", 1, 1, false},
    {"DateAdd", "JetDateAdd", 3, 3, false},
    {"DateDiff", "JetDateDiff", 3, 5, false},
    {"DatePart", "JetDatePart", 2, 4, false},
    {"Format", "JetFormat", 1, 4, false},
    {"Count", "count", 1, 1, true},
    {"Sum", "JetSum", 1, 1, true},
    {"Avg", "avg", 1, 1, true},
    {"Min", "min", 1, 1, true},
    {"Max", "max", 1, 1, true},
    {"First", "JetFirst", 1, 1, true},
    {"Last", "JetLast", 1, 1, true},
    {"StDev", "JetStDev", 1, 1, true},
    {"StDevP", "JetStDevP", 1, 1, true},
    {"Var", "JetVar", 1, 1, true},
    {"VarP", "JetVarP", 1, 1, true},
}};

}  // namespace

const FunctionInfo* FindFunction(std::string_view name) {
    for (const auto& f : kFunctions)
        if (SameAsciiText(name, f.jetName)) return &f;
    return nullptr;
}

}  // namespace pavana::engine::dialect
