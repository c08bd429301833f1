#include "engine/dialect/ResultColumnAnalysis.h"

#include "rtl/Strings.h"

namespace pavana::engine::dialect {
namespace {

using ast::Expr;
using ast::Query;
using ast::SelectCore;
using ast::TableRef;

}  // namespace

Verdict Either(Verdict a, Verdict b) {
    if (a == Verdict::No || b == Verdict::No) return Verdict::No;
    if (a == Verdict::Yes || b == Verdict::Yes) return Verdict::Yes;
    return Verdict::NullOnly;
}

std::vector<Verdict> ResultColumnAnalysis::OfQuery(const Query& query, std::size_t count) {
    std::vector<Verdict> verdicts(count, query.cores.empty() ? Verdict::No : Verdict::NullOnly);
    for (const SelectCore& core : query.cores) {
        const std::vector<Verdict> part = OfCore(core, count);
        for (std::size_t i = 0; i < count; ++i) verdicts[i] = Either(verdicts[i], part[i]);
    }
    return verdicts;
}

bool GivesTruthValue(Expr::Kind kind) {
    using K = Expr::Kind;
    switch (kind) {
        case K::Boolean:
        case K::Like:
        case K::IsNull:
        case K::Between:
        case K::InList:
        case K::InQuery:
        case K::Exists:
        case K::Quantified: return true;
        default: return false;
    }
}

bool GivesWholeNumber(const std::string& op) {
    static constexpr const char* kOperators[] = {
        "\\", "MOD", "=", "<>", "<", ">", "<=", ">=", "AND", "OR", "XOR", "EQV", "IMP"};
    for (const char* candidate : kOperators)
        if (SameAsciiText(op, candidate)) return true;
    return false;
}

std::vector<bool> ResultColumnAnalysis::ColumnsJudgedYes(const ast::Statement& statement, std::size_t count) {
    std::vector<bool> yes(count, false);
    if (statement.select == nullptr) return yes;
    std::vector<Verdict> verdicts = OfQuery(*statement.select, count);
    if (statement.crosstab && JudgesCrosstabValues())
        OfCrosstabValues(*statement.select, *statement.crosstab, verdicts);
    for (std::size_t i = 0; i < count; ++i) yes[i] = verdicts[i] == Verdict::Yes;
    return yes;
}

// A crosstab's value columns follow its row headings; each gives its value expression's kind
// (or Null, for a cell without rows).
void ResultColumnAnalysis::OfCrosstabValues(const ast::Query& query, const ast::Crosstab& crosstab,
                                            std::vector<Verdict>& verdicts) {
    if (query.cores.size() != 1 || !crosstab.value) return;
    const SelectCore& core = query.cores.front();
    for (const auto& item : core.items)
        if (item.expr->kind == Expr::Kind::Star) return;
    const Verdict value = Of(*crosstab.value, ScopeOf(core));
    for (std::size_t i = core.items.size(); i < core.items.size() + crosstab.columns.size() && i < verdicts.size(); ++i)
        verdicts[i] = value;
}

void ResultColumnAnalysis::AddSources(const TableRef& ref, Scope& scope) {
    switch (ref.kind) {
        case TableRef::Kind::Table:
            scope.push_back({ref.alias.empty() ? ref.name : ref.alias, ref.name, nullptr});
            break;
        case TableRef::Kind::Derived: scope.push_back({ref.alias, std::string(), ref.query.get()}); break;
        case TableRef::Kind::Join:
            if (ref.left) AddSources(*ref.left, scope);
            if (ref.right) AddSources(*ref.right, scope);
            break;
    }
}

ResultColumnAnalysis::Scope ResultColumnAnalysis::ScopeOf(const SelectCore& core) {
    Scope scope;
    for (const auto& ref : core.from) AddSources(*ref, scope);
    return scope;
}

// Items before the first `*` and after the last one have known positions; a single `*` over
// a single derived table stands for that table's columns.
std::vector<Verdict> ResultColumnAnalysis::OfCore(const SelectCore& core, std::size_t count) {
    const Scope scope = ScopeOf(core);
    const auto& items = core.items;
    std::vector<std::size_t> stars;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].expr->kind == Expr::Kind::Star) stars.push_back(i);
    std::vector<Verdict> verdicts(count, Verdict::No);
    if (stars.empty()) {
        for (std::size_t i = 0; i < items.size() && i < count; ++i) verdicts[i] = Of(*items[i].expr, scope);
        return verdicts;
    }
    if (items.size() - stars.size() > count) return verdicts;
    for (std::size_t i = 0; i < stars.front(); ++i) verdicts[i] = Of(*items[i].expr, scope);
    for (std::size_t i = stars.back() + 1; i < items.size(); ++i)
        verdicts[count - (items.size() - i)] = Of(*items[i].expr, scope);
    if (stars.size() == 1) {
        const Expr& star = *items[stars.front()].expr;
        const Source* only = nullptr;
        for (const Source& s : scope)
            if (star.table.empty() ? scope.size() == 1 : SameAsciiText(s.name, star.table)) only = &s;
        if (only != nullptr && only->derived != nullptr) {
            const std::size_t expanded = count - (items.size() - 1);
            const std::vector<Verdict> inner = OfQuery(*only->derived, expanded);
            for (std::size_t i = 0; i < expanded; ++i) verdicts[stars.front() + i] = inner[i];
        }
    }
    return verdicts;
}

Verdict ResultColumnAnalysis::Of(const Expr& e, const Scope& scope) {
    if (const auto known = judged_.find(&e); known != judged_.end()) return known->second;
    const Verdict verdict = OfExpression(e, scope);
    judged_.emplace(&e, verdict);
    return verdict;
}

Verdict ResultColumnAnalysis::OfColumn(const Expr& e, const Scope& scope) {
    for (const Source& s : scope) {
        if (!e.table.empty() && !SameAsciiText(s.name, e.table)) continue;
        if (s.derived != nullptr) {
            if (auto verdict = OfDerivedColumn(*s.derived, e.name)) return *verdict;
        } else if (auto type = schema_.FieldType(s.table, e.name)) {
            return OfType(*type);
        }
    }
    return Verdict::No;
}

Verdict ResultColumnAnalysis::OfParameter(const Expr& e) {
    if (e.integer < 0 || static_cast<std::size_t>(e.integer) >= parameters_.size()) return Verdict::No;
    const std::string& word = parameters_[static_cast<std::size_t>(e.integer)].typeWord;
    const std::optional<ColumnType> type = TypeFromWord(word);
    return OfType(static_cast<std::int32_t>(type ? type->type : JetType::Text));
}

// A derived table's column of that name: an item with that alias or a plain column reference
// of that name. A union is not looked into.
std::optional<Verdict> ResultColumnAnalysis::OfDerivedColumn(const Query& derived, const std::string& name) {
    if (derived.cores.size() != 1) return std::nullopt;
    const SelectCore& core = derived.cores.front();
    for (const auto& item : core.items) {
        const Expr& e = *item.expr;
        const bool named = item.alias.empty() ? e.kind == Expr::Kind::Column && SameAsciiText(e.name, name)
                                              : SameAsciiText(item.alias, name);
        if (named) return Of(e, ScopeOf(core));
    }
    return std::nullopt;
}

}  // namespace pavana::engine::dialect
