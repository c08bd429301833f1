#include "engine/dialect/WholeNumberColumns.h"

#include <cstdint>

#include "engine/Constants.h"
#include "engine/dialect/FunctionCatalog.h"
#include "rtl/Strings.h"

namespace pavana::engine::dialect {
namespace {

using ast::Expr;

bool IsWholeType(std::int32_t type) {
    return type == dbBoolean || type == dbByte || type == dbInteger || type == dbLong;
}

Verdict VerdictOf(bool whole) { return whole ? Verdict::Yes : Verdict::No; }

// Null counts as whole here: it never makes a column's values other than whole.
class Classifier final : public ResultColumnAnalysis {
public:
    using ResultColumnAnalysis::ResultColumnAnalysis;

private:
    Verdict OfExpression(const Expr& e, const Scope& scope) override { return VerdictOf(Whole(e, scope)); }
    Verdict OfType(std::int32_t type) override { return VerdictOf(IsWholeType(type)); }

    bool Whole(const Expr& e, const Scope& scope) {
        using K = Expr::Kind;
        switch (e.kind) {
            case K::Null: return true;
            case K::Integer: return e.integer >= INT32_MIN && e.integer <= INT32_MAX;
            case K::Column: return OfColumn(e, scope) == Verdict::Yes;
            case K::Parameter: return OfParameter(e) == Verdict::Yes;
            case K::Unary: return e.op == "NOT" || (!e.args.empty() && Whole(*e.args[0], scope));
            case K::Binary: return WholeBinary(e, scope);
            case K::Subquery: return e.query != nullptr && OfQuery(*e.query, 1)[0] == Verdict::Yes;
            case K::Function: return WholeFunction(e, scope);
            default: return GivesTruthValue(e.kind);
        }
    }

    bool WholeBinary(const Expr& e, const Scope& scope) {
        if (e.args.size() != 2) return false;
        if (GivesWholeNumber(e.op)) return true;
        if (e.op == "+" || e.op == "-" || e.op == "*") return Whole(*e.args[0], scope) && Whole(*e.args[1], scope);
        return false;
    }

    bool AllWhole(const Expr& e, std::size_t from, std::size_t step, const Scope& scope) {
        for (std::size_t i = from; i < e.args.size(); i += step)
            if (!Whole(*e.args[i], scope)) return false;
        return true;
    }

    bool WholeFunction(const Expr& e, const Scope& scope) {
        const dialect::FunctionInfo* f = dialect::FindFunction(e.name);
        if (f == nullptr) return false;
        static constexpr const char* kWholeResults[] = {
            "Count",  "Len",     "InStr",    "InStrRev", "StrComp", "Asc",       "AscW",   "CInt",
            "CLng",   "CByte",   "CBool",    "Year",     "Month",   "Day",       "Hour",   "Minute",
            "Second", "Weekday", "DatePart", "Sgn",      "IsNull",  "IsNumeric", "IsDate", "IsEmpty"};
        for (const char* name : kWholeResults)
            if (SameAsciiText(f->jetName, name)) return true;
        // Sum is left out: the total of whole numbers can outgrow the Long range.
        static constexpr const char* kWholeOfArgument[] = {"Abs", "Min", "Max", "First", "Last"};
        for (const char* name : kWholeOfArgument)
            if (SameAsciiText(f->jetName, name)) return !e.args.empty() && Whole(*e.args[0], scope);
        if (SameAsciiText(f->jetName, "IIf")) return e.args.size() == 3 && AllWhole(e, 1, 1, scope);
        if (SameAsciiText(f->jetName, "Nz")) return AllWhole(e, 0, 1, scope);
        if (SameAsciiText(f->jetName, "Switch")) return AllWhole(e, 1, 2, scope);
        if (SameAsciiText(f->jetName, "Choose")) return AllWhole(e, 1, 1, scope);
        return false;
    }
};

}  // namespace

std::vector<bool> WholeNumberColumns(const ast::Statement& statement, std::size_t columnCount, SchemaView& schema) {
    return Classifier(statement.parameters, schema).ColumnsJudgedYes(statement, columnCount);
}

}  // namespace pavana::engine::dialect
