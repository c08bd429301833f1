#include "engine/sqlite/JetFunctions.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "engine/dialect/JetDate.h"
#include "engine/sqlite/FunctionSupport.h"
#include "engine/sqlite/StoreConversion.h"
#include "rtl/Exceptions.h"

namespace pavana::engine::sqlite {

using namespace dialect;
namespace {

using namespace support;

bool IsText(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_TEXT; }

// ---- operators --------------------------------------------------------------------------

// a & b: Null counts as "" unless both are Null.
void Concat(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) && IsNull(argv[1])) return sqlite3_result_null(ctx);
    ResultText(ctx, ToText(argv[0]) + ToText(argv[1]));
}

// a + b: text + text concatenates, anything + Null is Null, otherwise a sum.
void Add(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    if (IsText(argv[0]) && IsText(argv[1])) return ResultText(ctx, ToText(argv[0]) + ToText(argv[1]));
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
        sqlite3_int64 r;
        if (!__builtin_add_overflow(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]), &r))
            return sqlite3_result_int64(ctx, r);
    }
    const double r = ToNumber(argv[0]) + ToNumber(argv[1]);
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT || sqlite3_value_type(argv[1]) == SQLITE_FLOAT)
        return sqlite3_result_double(ctx, r);
    ResultNumber(ctx, r);
}

void Divide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    const double b = ToNumber(argv[1]);
    if (b == 0) throw FunctionError{kDivisionByZero};
    sqlite3_result_double(ctx, ToNumber(argv[0]) / b);
}

void IntDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    const std::int64_t a = ToInteger(argv[0]), b = ToInteger(argv[1]);
    if (b == 0) throw FunctionError{kDivisionByZero};
    if (b == -1) return sqlite3_result_int64(ctx, -a);
    sqlite3_result_int64(ctx, a / b);
}

void Mod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    const std::int64_t a = ToInteger(argv[0]), b = ToInteger(argv[1]);
    if (b == 0) throw FunctionError{kDivisionByZero};
    if (b == -1) return sqlite3_result_int64(ctx, 0);
    sqlite3_result_int64(ctx, a % b);
}

void Power(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    const double a = ToNumber(argv[0]), b = ToNumber(argv[1]);
    if (a < 0 && std::nearbyint(b) != b) throw FunctionError{kInvalidCall};
    if (a == 0 && b < 0) throw FunctionError{kDivisionByZero};
    const double r = std::pow(a, b);
    if (!std::isfinite(r)) throw FunctionError{kOverflow};
    sqlite3_result_double(ctx, r);
}

// Xor, Eqv and Imp work bit by bit on whole numbers; on -1/0 that is the logical operator.
void Xor(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, ToInteger(argv[0]) ^ ToInteger(argv[1]));
}

void Eqv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, ~(ToInteger(argv[0]) ^ ToInteger(argv[1])));
}

// Null Imp x is True when x is True, Null otherwise; x Imp Null is True when x is False.
void Imp(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const bool aNull = IsNull(argv[0]), bNull = IsNull(argv[1]);
    if (aNull && bNull) return sqlite3_result_null(ctx);
    if (aNull) return ToInteger(argv[1]) == -1 ? sqlite3_result_int64(ctx, -1) : sqlite3_result_null(ctx);
    if (bNull) return ToInteger(argv[0]) == 0 ? sqlite3_result_int64(ctx, -1) : sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, ~ToInteger(argv[0]) | ToInteger(argv[1]));
}

// ---- tests and conversions --------------------------------------------------------------

void IsNullFn(sqlite3_context* ctx, int, sqlite3_value** argv) { sqlite3_result_int(ctx, IsNull(argv[0]) ? -1 : 0); }

void IsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT: return sqlite3_result_int(ctx, -1);
        case SQLITE_TEXT: return sqlite3_result_int(ctx, ParseNumber(ToText(argv[0])) ? -1 : 0);
        default: return sqlite3_result_int(ctx, 0);
    }
}

// Dates are stored as day numbers (a whole day may be kept as an INTEGER), so a number in
// the date range counts as a date.
void IsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT: return sqlite3_result_int(ctx, InDateRange(sqlite3_value_double(argv[0])) ? -1 : 0);
        case SQLITE_TEXT: return sqlite3_result_int(ctx, ParseDateText(ToText(argv[0]), Settings()) ? -1 : 0);
        default: return sqlite3_result_int(ctx, 0);
    }
}

void CStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    ResultText(ctx, ToText(argv[0]));
}

std::int64_t RangedInteger(sqlite3_value* v, double low, double high) {
    if (IsNull(v)) throw FunctionError{kInvalidNull};
    const double r = RoundHalfEven(ToNumber(v));
    if (r < low || r > high) throw FunctionError{kOverflow};
    return static_cast<std::int64_t>(r);
}

void CInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int64(ctx, RangedInteger(argv[0], -32768, 32767));
}
void CLng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int64(ctx, RangedInteger(argv[0], -2147483648.0, 2147483647.0));
}
void CByte(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int64(ctx, RangedInteger(argv[0], 0, 255));
}
void CSng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    const double v = ToNumber(argv[0]);
    if (std::fabs(v) > std::numeric_limits<float>::max()) throw FunctionError{kOverflow};
    // Single precision keeps about 7 significant digits.
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(static_cast<float>(v)),
                                       std::chars_format::general, 7);
    double rounded = 0;
    std::from_chars(buffer, written.ptr, rounded);
    sqlite3_result_double(ctx, rounded);
}
void CDbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    sqlite3_result_double(ctx, ToNumber(argv[0]));
}
// Currency keeps four decimals, rounded half to even.
void CCur(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    const double v = ToNumber(argv[0]);
    if (std::fabs(v) > 922337203685477.0) throw FunctionError{kOverflow};
    sqlite3_result_double(ctx, RoundHalfEven(v * 10000.0) / 10000.0);
}
void CDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    const double d = ToDate(argv[0]);
    if (!InDateRange(d)) throw FunctionError{kOverflow};
    sqlite3_result_double(ctx, d);
}
void CBool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    sqlite3_result_int(ctx, ToNumber(argv[0]) != 0 ? -1 : 0);
}
void CVar(sqlite3_context* ctx, int, sqlite3_value** argv) { sqlite3_result_value(ctx, argv[0]); }

// Choose(index, ...) picks by the index rounded half to even; Null or out of range picks none.
void ChooseIndex(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, ToInteger(argv[0]));
}

// ---- numbers ----------------------------------------------------------------------------

// A result that rounds to zero is 0, never the -0 that would print as "-0".
double Unsigned0(double v) { return v == 0 ? 0.0 : v; }

// Int and Fix keep the type of their argument: whole numbers stay whole.
template <double (*F)(double)>
void Integral(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    const double r = Unsigned0(F(ToNumber(argv[0])));
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT) return sqlite3_result_double(ctx, r);
    ResultNumber(ctx, r);
}
double Floor(double v) { return std::floor(v); }
double Trunc(double v) { return std::trunc(v); }

void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::int64_t digits = 0;
    if (argc > 1) {
        if (IsNull(argv[1])) throw FunctionError{kInvalidNull};
        digits = ToInteger(argv[1]);
        if (digits < 0 || digits > 15) throw FunctionError{kInvalidCall};
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    const double v = ToNumber(argv[0]);
    const double scale = std::pow(10.0, static_cast<double>(digits));
    double r = Unsigned0(RoundHalfEven(v * scale) / scale);
    if (!std::isfinite(v * scale)) r = v;
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT) return sqlite3_result_double(ctx, r);
    ResultNumber(ctx, r);
}

void Abs(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_int64(argv[0]) != INT64_MIN)
        return sqlite3_result_int64(ctx, std::llabs(sqlite3_value_int64(argv[0])));
    const double r = std::fabs(ToNumber(argv[0]));
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT) return sqlite3_result_double(ctx, r);
    ResultNumber(ctx, r);
}

void Sgn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const double v = ToNumber(argv[0]);
    sqlite3_result_int(ctx, v > 0 ? 1 : v < 0 ? -1 : 0);
}

template <double (*F)(double), bool (*Valid)(double)>
void Math(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const double v = ToNumber(argv[0]);
    if (!Valid(v)) throw FunctionError{kInvalidCall};
    const double r = F(v);
    if (!std::isfinite(r)) throw FunctionError{kOverflow};
    sqlite3_result_double(ctx, r);
}
bool Any(double) { return true; }
bool NonNegative(double v) { return v >= 0; }
bool Positive(double v) { return v > 0; }
double Sqrt(double v) { return std::sqrt(v); }
double Exp(double v) { return std::exp(v); }
double Log(double v) { return std::log(v); }
double Sin(double v) { return std::sin(v); }
double Cos(double v) { return std::cos(v); }
double Tan(double v) { return std::tan(v); }
double Atan(double v) { return std::atan(v); }

// ---- aggregates -------------------------------------------------------------------------

// Sum: Null over no rows or only Nulls; whole numbers stay whole while they fit.
struct SumState {
    bool any = false;
    bool real = false;
    sqlite3_int64 integer = 0;
    double total = 0;
};

void SumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<SumState*>(sqlite3_aggregate_context(ctx, sizeof(SumState)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    if (IsNull(argv[0])) return;
    try {
        if (!s->any) *s = SumState{};
        s->any = true;
        if (!s->real && sqlite3_value_type(argv[0]) == SQLITE_INTEGER &&
            !__builtin_add_overflow(s->integer, sqlite3_value_int64(argv[0]), &s->integer)) {
            s->total = static_cast<double>(s->integer);
            return;
        }
        if (!s->real) s->total = static_cast<double>(s->integer);
        s->real = true;
        s->total += ToNumber(argv[0]);
    } catch (const FunctionError& e) {
        sqlite3_result_error(ctx, e.message, -1);
    }
}

void SumFinal(sqlite3_context* ctx) {
    auto* s = static_cast<SumState*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->any) return sqlite3_result_null(ctx);
    if (s->real) return sqlite3_result_double(ctx, s->total);
    sqlite3_result_int64(ctx, s->integer);
}

// First and Last: the value of the first or last row of the group, Nulls included.
struct PickState {
    bool seen = false;
    sqlite3_value* value = nullptr;
};

template <bool Last>
void PickStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<PickState*>(sqlite3_aggregate_context(ctx, sizeof(PickState)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    if (s->seen && !Last) return;
    sqlite3_value_free(s->value);
    s->value = sqlite3_value_dup(argv[0]);
    s->seen = true;
}

void PickFinal(sqlite3_context* ctx) {
    auto* s = static_cast<PickState*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->value) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, s->value);
    sqlite3_value_free(s->value);
    s->value = nullptr;
}

// StDev, StDevP, Var, VarP by Welford's method; Null values are skipped.
struct VarianceState {
    std::int64_t n = 0;
    double mean = 0;
    double m2 = 0;
};

void VarianceStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<VarianceState*>(sqlite3_aggregate_context(ctx, sizeof(VarianceState)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    if (IsNull(argv[0])) return;
    try {
        const double x = ToNumber(argv[0]);
        ++s->n;
        const double delta = x - s->mean;
        s->mean += delta / static_cast<double>(s->n);
        s->m2 += delta * (x - s->mean);
    } catch (const FunctionError& e) {
        sqlite3_result_error(ctx, e.message, -1);
    }
}

template <bool Sample, bool Root>
void VarianceFinal(sqlite3_context* ctx) {
    auto* s = static_cast<VarianceState*>(sqlite3_aggregate_context(ctx, 0));
    const std::int64_t minimum = Sample ? 2 : 1;
    if (!s || s->n < minimum) return sqlite3_result_null(ctx);
    const double variance = s->m2 / static_cast<double>(Sample ? s->n - 1 : s->n);
    sqlite3_result_double(ctx, Root ? std::sqrt(variance) : variance);
}

void DefineAggregate(sqlite3* db, const char* name, void (*step)(sqlite3_context*, int, sqlite3_value**),
                     void (*final)(sqlite3_context*)) {
    if (sqlite3_create_function_v2(db, name, 1, SQLITE_UTF8, nullptr, nullptr, step, final, nullptr) != SQLITE_OK)
        throw Exception(std::string("Cannot register function ") + name + ": " + sqlite3_errmsg(db));
}

}  // namespace

void RegisterJetFunctions(sqlite3* db, LocalClock clock) {
    RegisterStoreConversion(db, CurrencyStorage::Scaled);
    Define(db, "JetConcat", 2, Concat);
    Define(db, "JetAdd", 2, Add);
    Define(db, "JetDivide", 2, Divide);
    Define(db, "JetIntDivide", 2, IntDivide);
    Define(db, "JetMod", 2, Mod);
    Define(db, "JetPower", 2, Power);
    Define(db, "JetXor", 2, Xor);
    Define(db, "JetEqv", 2, Eqv);
    Define(db, "JetImp", 2, Imp);
    Define(db, "JetIsNull", 1, IsNullFn);
    Define(db, "JetIsNumeric", 1, IsNumeric);
    Define(db, "JetIsDate", 1, IsDate);
    Define(db, "JetCStr", 1, CStr);
    Define(db, "JetCInt", 1, CInt);
    Define(db, "JetCLng", 1, CLng);
    Define(db, "JetCByte", 1, CByte);
    Define(db, "JetCSng", 1, CSng);
    Define(db, "JetCDbl", 1, CDbl);
    Define(db, "JetCCur", 1, CCur);
    Define(db, "JetCDate", 1, CDate);
    Define(db, "JetCBool", 1, CBool);
    Define(db, "JetCVar", 1, CVar);
    Define(db, "JetChooseIndex", 1, ChooseIndex);
    Define(db, "JetInt", 1, Integral<Floor>);
    Define(db, "JetFix", 1, Integral<Trunc>);
    Define(db, "JetRound", -1, Round);
    Define(db, "JetAbs", 1, Abs);
    Define(db, "JetSgn", 1, Sgn);
    Define(db, "JetSqr", 1, Math<Sqrt, NonNegative>);
    Define(db, "JetExp", 1, Math<Exp, Any>);
    Define(db, "JetLog", 1, Math<Log, Positive>);
    Define(db, "JetSin", 1, Math<Sin, Any>);
    Define(db, "JetCos", 1, Math<Cos, Any>);
    Define(db, "JetTan", 1, Math<Tan, Any>);
    Define(db, "JetAtn", 1, Math<Atan, Any>);
    DefineAggregate(db, "JetSum", SumStep, SumFinal);
    DefineAggregate(db, "JetFirst", PickStep<false>, PickFinal);
    DefineAggregate(db, "JetLast", PickStep<true>, PickFinal);
    DefineAggregate(db, "JetStDev", VarianceStep, VarianceFinal<true, true>);
    DefineAggregate(db, "JetStDevP", VarianceStep, VarianceFinal<false, true>);
    DefineAggregate(db, "JetVar", VarianceStep, VarianceFinal<true, false>);
    DefineAggregate(db, "JetVarP", VarianceStep, VarianceFinal<false, false>);
    RegisterTextFunctions(db);
    RegisterDateFunctions(db, std::make_shared<LocalClock>(std::move(clock)));
    RegisterFormatFunction(db);
    RegisterNumberFunctions(db);
}

std::optional<int> FunctionErrorNumber(std::string_view message) {
    struct Entry {
        const char* text;
        int number;
    };
    static constexpr Entry kEntries[] = {
        {kTypeMismatch, jetDataTypeMismatch},
        {kDivisionByZero, 11},
        {kOverflow, 6},
        {kInvalidCall, 5},
        {kInvalidNull, 94},
        {kInvalidPattern, 93},
        {kStrConvUnsupported, 5},
        {kNullKey, jetNullKey},
        {kFieldOverflow, jetNumericOverflow},
    };
    for (const auto& e : kEntries)
        if (message == e.text) return e.number;
    return std::nullopt;
}

}  // namespace pavana::engine::sqlite
