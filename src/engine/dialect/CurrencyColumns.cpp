#include "engine/dialect/CurrencyColumns.h"

#include <algorithm>
#include <string>

#include "engine/Constants.h"
#include "engine/dialect/FunctionCatalog.h"
#include "rtl/Strings.h"

namespace pavana::engine::dialect {
namespace {

using ast::Expr;

bool OneOf(const char* name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (SameAsciiText(name, n)) return true;
    return false;
}

class CurrencyClassifier final : public ResultColumnAnalysis {
public:
    using ResultColumnAnalysis::ResultColumnAnalysis;

private:
    // A crosstab's cells are printed from its value's argument as the rows hold it, not marked
    // as scaled amounts: their values keep the type of their first one.
    bool JudgesCrosstabValues() const override { return false; }
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
        auto operand = [&](const Expr& x) { return x.kind == Expr::Kind::Integer ? Verdict::NullOnly : Of(x, scope); };
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

// Walks a statement and marks its scaled amounts (MarkScaledCurrency): operands before the
// expressions over them, derived tables before the queries that read them.
class ScaledAmounts {
public:
    ScaledAmounts(const std::vector<ast::Parameter>& parameters, SchemaView& schema)
        : schema_(schema), currency_(parameters, schema) {}

    // A query stored as a view is read later as a table, whose columns SQLite types only when
    // they are plain columns: only those stay scaled.
    void InTopQuery(ast::Query& query, bool stored) {
        InQuery(query, {});
        if (!stored) return;
        for (auto& core : query.cores)
            for (auto& item : core.items) item.scaled = item.scaled && item.expr->kind == MutableExpr::Kind::Column;
    }

    void InStatement(ast::Statement& s, bool stored) {
        if (s.select) return InTopQuery(*s.select, stored);
        if (s.createView) return InTopQuery(*s.createView->query, true);
        if (s.insert) return InInsert(*s.insert);
        if (s.createTable)
            for (auto& column : s.createTable->columns) MarkDefault(column);
        if (s.alterTable) MarkDefault(s.alterTable->column);
        for (auto& addition : s.moreAdditions) MarkDefault(addition.column);
        if (s.update) {
            Scope scope;
            ResultColumnAnalysis::AddSources(*s.update->source, scope);
            InTable(*s.update->source, {});
            if (s.update->where) InExpr(*s.update->where, scope);
            for (auto& set : s.update->sets) InExpr(*set.value, scope);
            return;
        }
        if (s.del) {
            Scope scope;
            for (const auto& ref : s.del->from) {
                InTable(*ref, {});
                ResultColumnAnalysis::AddSources(*ref, scope);
            }
            if (s.del->where) InExpr(*s.del->where, scope);
        }
    }

private:
    using Scope = ResultColumnAnalysis::Scope;
    using Query = ast::Query;
    using SelectCore = ast::SelectCore;
    using TableRef = ast::TableRef;
    using MutableExpr = ast::Expr;

    static void MarkDefault(ast::ColumnDef& column) {
        column.scaledDefault = column.type.type == dialect::JetType::Currency;
    }

    static Scope Inner(const SelectCore& core, const Scope& outer) {
        Scope scope = ResultColumnAnalysis::ScopeOf(core);
        scope.insert(scope.end(), outer.begin(), outer.end());
        return scope;
    }

    void InQuery(Query& q, const Scope& outer) {
        for (SelectCore& core : q.cores) {
            const Scope scope = Inner(core, outer);
            for (auto& ref : core.from) InTable(*ref, outer);
            if (HasStar(core))
                for (auto& ref : core.from) KeepPlainColumnsScaled(*ref);
            for (auto& item : core.items) InExpr(*item.expr, scope);
            if (core.where) InExpr(*core.where, scope);
            for (auto& key : core.groupBy) InExpr(*key, scope);
            if (core.having) InExpr(*core.having, scope);
        }
        MarkResultColumns(q, outer);
        const Scope scope = Inner(q.cores.front(), outer);
        for (auto& key : q.orderBy) InExpr(*key.expr, scope);
    }

    // A column is printed scaled where it gives Currency in every part of the query; the
    // positions of a part with a `*` are known only when it is the one part.
    void MarkResultColumns(Query& q, const Scope& outer) {
        const std::size_t count = q.cores.front().items.size();
        for (const SelectCore& core : q.cores)
            if (core.items.size() != count || (HasStar(core) && q.cores.size() > 1)) return;
        for (std::size_t i = 0; i < count; ++i) {
            Verdict verdict = Verdict::NullOnly;
            for (const SelectCore& core : q.cores)
                verdict = Either(verdict, core.items[i].expr->kind == MutableExpr::Kind::Star
                                              ? Verdict::No
                                              : currency_.Of(*core.items[i].expr, Inner(core, outer)));
            for (SelectCore& core : q.cores) core.items[i].scaled = verdict == Verdict::Yes;
        }
    }

    static bool HasStar(const SelectCore& core) {
        return std::any_of(core.items.begin(), core.items.end(),
                           [](const auto& item) { return item.expr->kind == MutableExpr::Kind::Star; });
    }

    // The columns a `*` gives of a derived table are read as they come, typed by SQLite, which
    // types only plain columns: of a derived table's computed columns none stays scaled there.
    static void KeepPlainColumnsScaled(TableRef& t) {
        if (t.kind == TableRef::Kind::Join) {
            KeepPlainColumnsScaled(*t.left);
            KeepPlainColumnsScaled(*t.right);
        } else if (t.kind == TableRef::Kind::Derived) {
            for (auto& core : t.query->cores)
                for (auto& item : core.items) item.scaled = item.scaled && item.expr->kind == MutableExpr::Kind::Column;
        }
    }

    void InTable(TableRef& t, const Scope& outer) {
        ResultColumnAnalysis::WalkFrom(
            t, outer, [this](Query& q, const Scope& around) { InQuery(q, around); },
            [this](MutableExpr& on, const Scope& scope) { InExpr(on, scope); });
    }

    void InExpr(MutableExpr& e, const Scope& scope) {
        for (auto& a : e.args) InExpr(*a, scope);
        if (e.query) InQuery(*e.query, scope);
        e.scaled = Scaled(e, scope);
    }

    bool Scaled(const MutableExpr& e, const Scope& scope) {
        using K = MutableExpr::Kind;
        auto scaledOrWhole = [](const MutableExpr& x) { return x.scaled || x.kind == K::Integer; };
        switch (e.kind) {
            case K::Column: return ScaledColumn(e, scope);
            case K::Subquery: {
                const auto& items = e.query->cores.front().items;
                return items.size() == 1 && items[0].scaled;
            }
            case K::Unary: return e.op == "-" && e.args.size() == 1 && e.args[0]->scaled;
            case K::Binary:
                if (e.args.size() != 2 || currency_.Of(e, scope) != Verdict::Yes) return false;
                if (e.op == "+" || e.op == "-") return scaledOrWhole(*e.args[0]) && scaledOrWhole(*e.args[1]);
                if (e.op == "*")
                    return (e.args[0]->scaled && e.args[1]->kind == K::Integer) ||
                           (e.args[1]->scaled && e.args[0]->kind == K::Integer);
                return false;
            case K::Function: {
                const dialect::FunctionInfo* f = dialect::FindFunction(e.name);
                return f != nullptr && e.args.size() == 1 && e.args[0]->scaled &&
                       OneOf(f->jetName, {"Sum", "Min", "Max", "First", "Last", "Abs"});
            }
            default: return false;
        }
    }

    // The column of the first source, among those the reference may name, that has it: a
    // Currency table column, or a derived table's column printed scaled.
    bool ScaledColumn(const MutableExpr& e, const Scope& scope) {
        for (const auto& s : scope) {
            if (!e.table.empty() && !SameAsciiText(s.name, e.table)) continue;
            if (s.derived == nullptr) {
                if (const auto type = schema_.FieldType(s.table, e.name)) return *type == dbCurrency;
                continue;
            }
            for (const auto& item : s.derived->cores.front().items) {
                const MutableExpr& x = *item.expr;
                const std::string& name = item.alias.empty() ? x.name : item.alias;
                const bool named =
                    (!item.alias.empty() || x.kind == MutableExpr::Kind::Column) && SameAsciiText(name, e.name);
                if (named) return item.scaled;
            }
        }
        return false;
    }

    void InInsert(ast::Insert& insert) {
        for (auto& value : insert.values) InExpr(*value, {});
        if (!insert.query) return;
        InQuery(*insert.query, {});
        if (!insert.columns.empty()) return;
        const std::vector<std::string> names = schema_.ColumnNames(insert.table);
        bool currency = false;
        for (const auto& item : insert.query->cores.front().items) currency = currency || item.scaled;
        for (const std::string& name : names) {
            const auto type = schema_.FieldType(insert.table, name);
            currency = currency || (type && *type == dbCurrency);
        }
        const std::size_t count = insert.query->cores.front().items.size();
        const bool star =
            std::any_of(insert.query->cores.front().items.begin(), insert.query->cores.front().items.end(),
                        [](const auto& item) { return item.expr->kind == MutableExpr::Kind::Star; });
        if (!currency || star || count > names.size()) return;
        insert.columns.assign(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(count));
    }

    SchemaView& schema_;
    CurrencyClassifier currency_;
};

}  // namespace

void MarkScaledCurrency(ast::Statement& statement, SchemaView& schema, bool stored) {
    ScaledAmounts(statement.parameters, schema).InStatement(statement, stored);
}

std::vector<bool> CurrencyColumns(const ast::Statement& statement, std::size_t columnCount, SchemaView& schema) {
    return CurrencyClassifier(statement.parameters, schema).ColumnsJudgedYes(statement, columnCount);
}

}  // namespace pavana::engine::dialect
