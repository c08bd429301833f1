#include "engine/dialect/CriteriaTypes.h"

#include <optional>
#include <string>
#include <vector>

#include "engine/EngineError.h"
#include "rtl/Strings.h"

namespace pavana::engine::dialect {
namespace {

using ast::Expr;
using ast::Query;
using ast::TableRef;

// A name a column reference may be qualified with: a table (under its alias when it has
// one) or a derived table.
struct Source {
    const std::string* name;
    const std::string* table;  // nullptr for a derived table
    const Query* derived;
};

// The sources of one query level; `outer` is the level around it, for correlated names.
struct Scope {
    std::vector<Source> sources;
    const Scope* outer = nullptr;
};

bool IsComparison(const std::string& op) {
    return op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=";
}

bool TakesNoText(JetType type) {
    switch (type) {
        case JetType::Byte:
        case JetType::Integer:
        case JetType::Long:
        case JetType::Currency:
        case JetType::Single:
        case JetType::Double:
        case JetType::Date:
        case JetType::Decimal: return true;
        default: return false;
    }
}

[[noreturn]] void Mismatch() { throw SyntaxError(EngineMessage(jetDataTypeMismatch), jetDataTypeMismatch); }

void AddSources(const TableRef& ref, Scope& scope) {
    switch (ref.kind) {
        case TableRef::Kind::Table:
            scope.sources.push_back({ref.alias.empty() ? &ref.name : &ref.alias, &ref.name, nullptr});
            return;
        case TableRef::Kind::Derived: scope.sources.push_back({&ref.alias, nullptr, ref.query.get()}); return;
        case TableRef::Kind::Join:
            AddSources(*ref.left, scope);
            AddSources(*ref.right, scope);
            return;
    }
}

class Checker {
public:
    explicit Checker(const ColumnTypeLookup& columnTypes) : columnTypes_(columnTypes) {}

    void Statement(const ast::Statement& s) {
        const Scope none;
        if (s.select) return QueryOf(*s.select, nullptr);
        if (s.insert) {
            for (const auto& v : s.insert->values) Walk(*v, none);
            if (s.insert->query) QueryOf(*s.insert->query, nullptr);
            return;
        }
        if (s.update) {
            Scope scope;
            AddSources(*s.update->source, scope);
            WalkSources(*s.update->source, scope);
            for (const auto& set : s.update->sets) Walk(*set.value, scope);
            if (s.update->where) Walk(*s.update->where, scope);
            return;
        }
        if (s.del) {
            Scope scope;
            for (const auto& ref : s.del->from) AddSources(*ref, scope);
            for (const auto& ref : s.del->from) WalkSources(*ref, scope);
            if (s.del->where) Walk(*s.del->where, scope);
        }
    }

private:
    void QueryOf(const Query& query, const Scope* outer) {
        for (const auto& core : query.cores) {
            Scope scope;
            scope.outer = outer;
            for (const auto& ref : core.from) AddSources(*ref, scope);
            for (const auto& ref : core.from) WalkSources(*ref, scope);
            for (const auto& item : core.items) Walk(*item.expr, scope);
            if (core.where) Walk(*core.where, scope);
            for (const auto& g : core.groupBy) Walk(*g, scope);
            if (core.having) Walk(*core.having, scope);
            if (&core == &query.cores.front())
                for (const auto& o : query.orderBy) Walk(*o.expr, scope);
        }
    }

    // The queries of derived tables and the conditions of joins in `ref`, which adds its
    // names to `scope`.
    void WalkSources(const TableRef& ref, const Scope& scope) {
        if (ref.kind == TableRef::Kind::Derived) QueryOf(*ref.query, scope.outer);
        if (ref.kind != TableRef::Kind::Join) return;
        WalkSources(*ref.left, scope);
        WalkSources(*ref.right, scope);
        if (ref.on) Walk(*ref.on, scope);
    }

    void Walk(const Expr& e, const Scope& scope) {
        using K = Expr::Kind;
        if (e.kind == K::Binary && IsComparison(e.op)) {
            Compare(*e.args[0], *e.args[1], scope);
            Compare(*e.args[1], *e.args[0], scope);
        } else if (e.kind == K::Between) {
            Compare(*e.args[0], *e.args[1], scope);
            Compare(*e.args[0], *e.args[2], scope);
        } else if (e.kind == K::InList) {
            for (std::size_t i = 1; i < e.args.size(); ++i) Compare(*e.args[0], *e.args[i], scope);
        }
        for (const auto& a : e.args) Walk(*a, scope);
        if (e.query) QueryOf(*e.query, &scope);
    }

    // Fails when `column` is a number or date column and `value` a text literal.
    void Compare(const Expr& column, const Expr& value, const Scope& scope) {
        if (value.kind != Expr::Kind::String || column.kind != Expr::Kind::Column) return;
        const std::optional<JetType> type = TypeOf(column.table, column.name, scope);
        if (type && TakesNoText(*type)) Mismatch();
    }

    // The declared type of the table column `qualifier`.`name` names (`qualifier` may be
    // empty): the first source, from the innermost query level out, that the qualifier names
    // or that has the column.
    std::optional<JetType> TypeOf(const std::string& qualifier, const std::string& name, const Scope& scope) const {
        for (const Scope* level = &scope; level; level = level->outer) {
            for (const Source& s : level->sources) {
                if (!qualifier.empty() && !SameAsciiText(*s.name, qualifier)) continue;
                std::optional<JetType> type;
                if (s.derived) type = DerivedColumnType(*s.derived, name);
                else type = columnTypes_(*s.table, name);
                if (type || !qualifier.empty()) return type;
            }
        }
        return std::nullopt;
    }

    // The declared type of column `name` of a derived table: the table column its first
    // part gives under that name, nothing for an expression.
    std::optional<JetType> DerivedColumnType(const Query& query, const std::string& name) const {
        const ast::SelectCore& core = query.cores.front();
        Scope scope;
        for (const auto& ref : core.from) AddSources(*ref, scope);
        for (const auto& item : core.items) {
            const Expr& e = *item.expr;
            if (e.kind == Expr::Kind::Star) {
                if (auto type = TypeOf(e.table, name, scope)) return type;
                continue;
            }
            const bool named = item.alias.empty() ? e.kind == Expr::Kind::Column && SameAsciiText(e.name, name)
                                                  : SameAsciiText(item.alias, name);
            if (!named) continue;
            if (e.kind != Expr::Kind::Column) return std::nullopt;
            return TypeOf(e.table, e.name, scope);
        }
        return std::nullopt;
    }

    const ColumnTypeLookup& columnTypes_;
};

}  // namespace

void CheckCriteriaTypes(const ast::Statement& statement, const ColumnTypeLookup& columnTypes) {
    Checker(columnTypes).Statement(statement);
}

}  // namespace pavana::engine::dialect
