#include "engine/sqlite/DateColumns.h"

#include <strings.h>

#include <cstdint>
#include <optional>

#include "engine/Constants.h"
#include "engine/dialect/FunctionCatalog.h"

namespace pavana::engine::sqlite {
namespace {

using dialect::ast::Expr;

template <std::size_t N>
bool OneOf(const char* name, const char* const (&names)[N]) {
    for (const char* n : names)
        if (strcasecmp(name, n) == 0) return true;
    return false;
}

// The verdict of IIf, Switch, Choose and Nz from those of their possible results (`judge`
// gives one); nothing for another function. Nz without a value for Null gives a zero-length
// text for it, so only Nz with two arguments qualifies.
template <class Judge>
std::optional<Verdict> OfChoice(const Expr& e, const char* jetName, Judge judge) {
    std::size_t from = 1, step = 1;
    if (strcasecmp(jetName, "IIf") == 0) {
        if (e.args.size() != 3) return Verdict::No;
    } else if (strcasecmp(jetName, "Switch") == 0) {
        step = 2;
    } else if (strcasecmp(jetName, "Nz") == 0) {
        if (e.args.size() != 2) return Verdict::No;
        from = 0;
    } else if (strcasecmp(jetName, "Choose") != 0) {
        return std::nullopt;
    }
    if (from >= e.args.size()) return Verdict::No;
    Verdict verdict = Verdict::NullOnly;
    for (std::size_t i = from; i < e.args.size(); i += step) verdict = Either(verdict, judge(*e.args[i]));
    return verdict;
}

class DateClassifier;

// Which expressions give only numbers (or Null): what a date may be moved by. Only the
// operand of a date's + or - asks this, so it knows what such operands commonly are.
class NumberClassifier final : public ResultColumnAnalysis {
public:
    NumberClassifier(const std::vector<dialect::ast::Parameter>& parameters, const DeclaredColumnType& declaredType,
                     DateClassifier& dates)
        : ResultColumnAnalysis(parameters, declaredType), dates_(dates) {}

private:
    Verdict OfExpression(const Expr& e, const Scope& scope) override;
    Verdict OfType(std::int32_t type) override {
        switch (type) {
            case dbBoolean:
            case dbByte:
            case dbInteger:
            case dbLong:
            case dbBigInt:
            case dbCurrency:
            case dbSingle:
            case dbDouble:
            case dbDecimal:
            case dbNumeric:
            case dbFloat: return Verdict::Yes;
            default: return Verdict::No;
        }
    }

    Verdict OfBinary(const Expr& e, const Scope& scope);
    Verdict OfFunction(const Expr& e, const Scope& scope);

    DateClassifier& dates_;
};

class DateClassifier final : public ResultColumnAnalysis {
public:
    DateClassifier(const std::vector<dialect::ast::Parameter>& parameters, const DeclaredColumnType& declaredType)
        : ResultColumnAnalysis(parameters, declaredType), numbers_(parameters, declaredType, *this) {}

private:
    Verdict OfExpression(const Expr& e, const Scope& scope) override {
        using K = Expr::Kind;
        switch (e.kind) {
            case K::Date: return Verdict::Yes;
            case K::Null: return Verdict::NullOnly;
            case K::Column: return OfColumn(e, scope);
            case K::Parameter: return OfParameter(e);
            case K::Binary: return OfBinary(e, scope);
            case K::Subquery: return e.query != nullptr ? OfQuery(*e.query, 1)[0] : Verdict::No;
            case K::Function: return OfFunction(e, scope);
            default: return Verdict::No;
        }
    }

    Verdict OfType(std::int32_t type) override { return type == dbDate ? Verdict::Yes : Verdict::No; }

    // A date moved by a number of days stays a date; the difference of two dates is a number.
    Verdict OfBinary(const Expr& e, const Scope& scope) {
        if (e.args.size() != 2) return Verdict::No;
        const Expr& a = *e.args[0];
        const Expr& b = *e.args[1];
        auto moved = [&](const Expr& date, const Expr& days) {
            return Of(date, scope) == Verdict::Yes && numbers_.Of(days, scope) != Verdict::No;
        };
        if (e.op == "+" && (moved(a, b) || moved(b, a))) return Verdict::Yes;
        if (e.op == "-" && moved(a, b)) return Verdict::Yes;
        return Verdict::No;
    }

    Verdict OfFunction(const Expr& e, const Scope& scope) {
        const dialect::FunctionInfo* f = dialect::FindFunction(e.name);
        if (f == nullptr) return Verdict::No;
        static constexpr const char* kDateResults[] = {"Now",      "Date",      "Time",      "DateAdd", "DateSerial",
                                                       "TimeSerial", "DateValue", "TimeValue", "CDate",   "CVDate"};
        if (OneOf(f->jetName, kDateResults)) return Verdict::Yes;
        static constexpr const char* kDateOfArgument[] = {"CVar", "Min", "Max", "First", "Last"};
        if (OneOf(f->jetName, kDateOfArgument))
            return e.args.size() == 1 ? Of(*e.args[0], scope) : Verdict::No;
        return OfChoice(e, f->jetName, [&](const Expr& x) { return Of(x, scope); }).value_or(Verdict::No);
    }

    NumberClassifier numbers_;
};

Verdict NumberClassifier::OfExpression(const Expr& e, const Scope& scope) {
    using K = Expr::Kind;
    switch (e.kind) {
        case K::Null: return Verdict::NullOnly;
        case K::Integer:
        case K::Real: return Verdict::Yes;
        case K::Column: return OfColumn(e, scope);
        case K::Parameter: return OfParameter(e);
        case K::Unary:
            if (e.op == "NOT") return Verdict::Yes;
            return e.args.size() == 1 ? Of(*e.args[0], scope) : Verdict::No;
        case K::Binary: return OfBinary(e, scope);
        case K::Subquery: return e.query != nullptr ? OfQuery(*e.query, 1)[0] : Verdict::No;
        case K::Function: return OfFunction(e, scope);
        default: return GivesTruthValue(e.kind) ? Verdict::Yes : Verdict::No;
    }
}

Verdict NumberClassifier::OfBinary(const Expr& e, const Scope& scope) {
    if (e.args.size() != 2) return Verdict::No;
    if (GivesWholeNumber(e.op)) return Verdict::Yes;
    const Expr& a = *e.args[0];
    const Expr& b = *e.args[1];
    if (e.op == "-" && dates_.Of(a, scope) == Verdict::Yes && dates_.Of(b, scope) == Verdict::Yes)
        return Verdict::Yes;
    if (e.op == "+" || e.op == "-" || e.op == "*" || e.op == "/" || e.op == "^")
        return Either(Of(a, scope), Of(b, scope));
    return Verdict::No;
}

Verdict NumberClassifier::OfFunction(const Expr& e, const Scope& scope) {
    const dialect::FunctionInfo* f = dialect::FindFunction(e.name);
    if (f == nullptr) return Verdict::No;
    static constexpr const char* kNumberResults[] = {
        "Count", "Len",   "InStr", "InStrRev", "StrComp", "Asc",      "AscW",    "CInt",  "CLng",  "CByte",
        "CBool", "CSng",  "CDbl",  "CCur",     "CDec",    "Val",      "Sgn",     "Sqr",   "Exp",   "Log",
        "Sin",   "Cos",   "Tan",   "Atn",      "Year",    "Month",    "Day",     "Hour",  "Minute", "Second",
        "Weekday", "DatePart", "DateDiff", "IsNull", "IsNumeric", "IsDate", "IsEmpty", "StDev", "StDevP", "Var",
        "VarP"};
    if (OneOf(f->jetName, kNumberResults)) return Verdict::Yes;
    // These keep the kind of their argument: the total or the whole part of dates is no
    // plain number.
    static constexpr const char* kNumberOfArgument[] = {"Abs", "Int", "Fix",   "Round", "Sum", "Avg",
                                                        "Min", "Max", "First", "Last",  "CVar"};
    if (OneOf(f->jetName, kNumberOfArgument))
        return !e.args.empty() ? Of(*e.args[0], scope) : Verdict::No;
    return OfChoice(e, f->jetName, [&](const Expr& x) { return Of(x, scope); }).value_or(Verdict::No);
}

}  // namespace

std::vector<bool> DateColumns(const dialect::ast::Statement& statement, std::size_t columnCount,
                              const DeclaredColumnType& declaredType) {
    return DateClassifier(statement.parameters, declaredType).ColumnsJudgedYes(statement, columnCount);
}

}  // namespace pavana::engine::sqlite
