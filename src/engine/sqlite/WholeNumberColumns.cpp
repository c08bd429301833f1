#include "engine/sqlite/WholeNumberColumns.h"

#include <strings.h>

#include <cstdint>

#include "engine/Constants.h"
#include "engine/dialect/FunctionCatalog.h"

namespace pavana::engine::sqlite {
namespace {

using dialect::ast::Expr;
using dialect::ast::Query;
using dialect::ast::SelectCore;
using dialect::ast::TableRef;

bool IsWholeType(std::int32_t type) {
    return type == dbBoolean || type == dbByte || type == dbInteger || type == dbLong;
}

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// A name a column reference may be qualified with: a table of the FROM clause (under its
// alias when it has one) or a derived table.
struct Source {
    std::string name;
    std::string table;
    const Query* derived = nullptr;
};
using Scope = std::vector<Source>;

void AddSources(const TableRef& ref, Scope& scope) {
    switch (ref.kind) {
        case TableRef::Kind::Table: scope.push_back({ref.alias.empty() ? ref.name : ref.alias, ref.name, nullptr}); break;
        case TableRef::Kind::Derived: scope.push_back({ref.alias, std::string(), ref.query.get()}); break;
        case TableRef::Kind::Join:
            if (ref.left) AddSources(*ref.left, scope);
            if (ref.right) AddSources(*ref.right, scope);
            break;
    }
}

Scope ScopeOf(const SelectCore& core) {
    Scope scope;
    for (const auto& ref : core.from) AddSources(*ref, scope);
    return scope;
}

class Classifier {
public:
    Classifier(const std::vector<dialect::ast::Parameter>& parameters, const DeclaredColumnType& declaredType)
        : parameters_(parameters), declaredType_(declaredType) {}

    // A column is whole only when it is whole in every part of a union.
    std::vector<bool> OfQuery(const Query& query, std::size_t count) {
        std::vector<bool> whole(count, !query.cores.empty());
        for (const SelectCore& core : query.cores) {
            const std::vector<bool> part = OfCore(core, count);
            for (std::size_t i = 0; i < count; ++i) whole[i] = whole[i] && part[i];
        }
        return whole;
    }

private:
    // Items before the first `*` and after the last one have known positions; a single `*`
    // over a single derived table stands for that table's columns.
    std::vector<bool> OfCore(const SelectCore& core, std::size_t count) {
        const Scope scope = ScopeOf(core);
        const auto& items = core.items;
        std::vector<std::size_t> stars;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].expr->kind == Expr::Kind::Star) stars.push_back(i);
        std::vector<bool> whole(count, false);
        if (stars.empty()) {
            for (std::size_t i = 0; i < items.size() && i < count; ++i) whole[i] = Whole(*items[i].expr, scope);
            return whole;
        }
        if (items.size() - stars.size() > count) return whole;
        for (std::size_t i = 0; i < stars.front(); ++i) whole[i] = Whole(*items[i].expr, scope);
        for (std::size_t i = stars.back() + 1; i < items.size(); ++i)
            whole[count - (items.size() - i)] = Whole(*items[i].expr, scope);
        if (stars.size() == 1) {
            const Expr& star = *items[stars.front()].expr;
            const Source* only = nullptr;
            for (const Source& s : scope)
                if (star.table.empty() ? scope.size() == 1 : SameName(s.name, star.table.c_str())) only = &s;
            if (only != nullptr && only->derived != nullptr) {
                const std::size_t expanded = count - (items.size() - 1);
                const std::vector<bool> inner = OfQuery(*only->derived, expanded);
                for (std::size_t i = 0; i < expanded; ++i) whole[stars.front() + i] = inner[i];
            }
        }
        return whole;
    }

    bool Whole(const Expr& e, const Scope& scope) {
        using K = Expr::Kind;
        switch (e.kind) {
            case K::Null:
            case K::Boolean:
            case K::Like:
            case K::IsNull:
            case K::Between:
            case K::InList:
            case K::InQuery:
            case K::Exists:
            case K::Quantified: return true;
            case K::Integer: return e.integer >= INT32_MIN && e.integer <= INT32_MAX;
            case K::Column: return WholeColumn(e, scope);
            case K::Parameter:
                return e.integer >= 0 && static_cast<std::size_t>(e.integer) < parameters_.size() &&
                       IsWholeType(TypeOfParameterWord(parameters_[static_cast<std::size_t>(e.integer)].typeWord));
            case K::Unary: return e.op == "NOT" || (!e.args.empty() && Whole(*e.args[0], scope));
            case K::Binary: return WholeBinary(e, scope);
            case K::Subquery: return e.query != nullptr && OfQuery(*e.query, 1)[0];
            case K::Function: return WholeFunction(e, scope);
            default: return false;
        }
    }

    bool WholeBinary(const Expr& e, const Scope& scope) {
        if (e.args.size() != 2) return false;
        static constexpr const char* kAlwaysWhole[] = {"\\", "MOD", "=", "<>", "<", ">", "<=", ">=",
                                                       "AND", "OR", "XOR", "EQV", "IMP"};
        for (const char* op : kAlwaysWhole)
            if (SameName(e.op, op)) return true;
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
            "Count", "Len", "InStr", "InStrRev", "StrComp", "Asc", "AscW", "CInt", "CLng", "CByte", "CBool",
            "Year", "Month", "Day", "Hour", "Minute", "Second", "Weekday", "DatePart", "Sgn", "IsNull",
            "IsNumeric", "IsDate", "IsEmpty"};
        for (const char* name : kWholeResults)
            if (SameName(f->jetName, name)) return true;
        // Sum is left out: the total of whole numbers can outgrow the Long range.
        static constexpr const char* kWholeOfArgument[] = {"Abs", "Min", "Max", "First", "Last"};
        for (const char* name : kWholeOfArgument)
            if (SameName(f->jetName, name)) return !e.args.empty() && Whole(*e.args[0], scope);
        if (SameName(f->jetName, "IIf")) return e.args.size() == 3 && AllWhole(e, 1, 1, scope);
        if (SameName(f->jetName, "Nz")) return AllWhole(e, 0, 1, scope);
        if (SameName(f->jetName, "Switch")) return AllWhole(e, 1, 2, scope);
        if (SameName(f->jetName, "Choose")) return AllWhole(e, 1, 1, scope);
        return false;
    }

    // The column of the first source, among those the reference may name, that has it.
    bool WholeColumn(const Expr& e, const Scope& scope) {
        for (const Source& s : scope) {
            if (!e.table.empty() && !SameName(s.name, e.table.c_str())) continue;
            if (s.derived != nullptr) {
                if (auto whole = WholeDerivedColumn(*s.derived, e.name)) return *whole;
            } else if (auto type = declaredType_(s.table, e.name)) {
                return IsWholeType(type->type);
            }
        }
        return false;
    }

    // A derived table's column of that name: an item with that alias or a plain column
    // reference of that name. A union is not looked into.
    std::optional<bool> WholeDerivedColumn(const Query& derived, const std::string& name) {
        if (derived.cores.size() != 1) return std::nullopt;
        const SelectCore& core = derived.cores.front();
        for (const auto& item : core.items) {
            const Expr& e = *item.expr;
            const bool named = item.alias.empty() ? e.kind == Expr::Kind::Column && SameName(e.name, name.c_str())
                                                  : SameName(item.alias, name.c_str());
            if (named) return Whole(e, ScopeOf(core));
        }
        return std::nullopt;
    }

    const std::vector<dialect::ast::Parameter>& parameters_;
    const DeclaredColumnType& declaredType_;
};

}  // namespace

DeclaredColumnType DeclaredTypesOf(sqlite3* db) {
    return [db](const std::string& table, const std::string& column) -> std::optional<ColumnType> {
        const char* declared = nullptr;
        if (sqlite3_table_column_metadata(db, nullptr, table.c_str(), column.c_str(), &declared, nullptr, nullptr,
                                          nullptr, nullptr) != SQLITE_OK ||
            declared == nullptr)
            return std::nullopt;
        return TypeOfDeclaration(declared);
    };
}

std::vector<bool> WholeNumberColumns(const dialect::ast::Statement& statement, std::size_t columnCount,
                                     const DeclaredColumnType& declaredType) {
    if (statement.select == nullptr) return std::vector<bool>(columnCount, false);
    return Classifier(statement.parameters, declaredType).OfQuery(*statement.select, columnCount);
}

}  // namespace pavana::engine::sqlite
