#include "engine/sqlite/CurrencyColumns.h"

#include "engine/Constants.h"
#include "engine/dialect/FunctionCatalog.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {
namespace {

using dialect::ast::Expr;

bool OneOf(const char* name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (SameAsciiText(name, n)) return true;
    return false;
}

class CurrencyClassifier final : public ResultColumnAnalysis {
public:
    using ResultColumnAnalysis::ResultColumnAnalysis;

private:
    Verdict OfExpression(const Expr& e, const Scope& scope) override {
        using K = Expr::Kind;
        switch (e.kind) {
            case K::Null: return Verdict::NullOnly;
            case K::Column: return OfColumn(e, scope);
            case K::Parameter: return OfParameter(e);
            case K::Unary: return e.op == "-" && e.args.size() == 1 ? Of(*e.args[0], scope) : Verdict::No;
            case K::Binary: return OfBinary(e, scope);
            case K::Subquery: return e.query != nullptr ? OfQuery(*e.query, 1)[0] : Verdict::No;
            case K::Function: return OfFunction(e, scope);
            default: return Verdict::No;
        }
    }

    Verdict OfType(std::int32_t type) override { return type == dbCurrency ? Verdict::Yes : Verdict::No; }

    Verdict OfBinary(const Expr& e, const Scope& scope) {
        if (e.args.size() != 2 || (e.op != "+" && e.op != "-" && e.op != "*")) return Verdict::No;
        auto operand = [&](const Expr& x) {
            return x.kind == Expr::Kind::Integer ? Verdict::NullOnly : Of(x, scope);
        };
        return Either(operand(*e.args[0]), operand(*e.args[1]));
    }

    Verdict OfFunction(const Expr& e, const Scope& scope) {
        const dialect::FunctionInfo* f = dialect::FindFunction(e.name);
        if (f == nullptr) return Verdict::No;
        if (SameAsciiText(f->jetName, "CCur")) return Verdict::Yes;
        if (OneOf(f->jetName, {"Sum", "Min", "Max", "First", "Last", "Abs", "Int", "Fix", "Round", "CVar"}))
            return !e.args.empty() ? Of(*e.args[0], scope) : Verdict::No;
        return Verdict::No;
    }
};

}  // namespace

std::vector<bool> CurrencyColumns(const dialect::ast::Statement& statement, std::size_t columnCount,
                                  const DeclaredColumnType& declaredType) {
    return CurrencyClassifier(statement.parameters, declaredType).ColumnsJudgedYes(statement, columnCount);
}

}  // namespace pavana::engine::sqlite
