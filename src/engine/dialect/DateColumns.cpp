#include "engine/dialect/DateColumns.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/Constants.h"
#include "engine/dialect/FunctionCatalog.h"
#include "rtl/Strings.h"

namespace pavana::engine::dialect {
namespace {

using ast::Expr;

template <std::size_t N>
bool OneOf(const char* name, const char* const (&names)[N]) {
    for (const char* n : names)
        if (SameAsciiText(name, n)) return true;
    return false;
}

// The verdict of IIf, Switch, Choose and Nz from those of their possible results (`judge`
// gives one); nothing for another function. Nz without a value for Null gives a zero-length
// text for it, so only Nz with two arguments qualifies.
template <class Judge>
std::optional<Verdict> OfChoice(const Expr& e, const char* jetName, Judge judge) {
    std::size_t from = 1, step = 1;
    if (SameAsciiText(jetName, "IIf")) {
        if (e.args.size() != 3) return Verdict::No;
    } else if (SameAsciiText(jetName, "Switch")) {
        step = 2;
    } else if (SameAsciiText(jetName, "Nz")) {
        if (e.args.size() != 2) return Verdict::No;
        from = 0;
    } else if (!SameAsciiText(jetName, "Choose")) {
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
    NumberClassifier(const std::vector<ast::Parameter>& parameters, SchemaView& schema, DateClassifier& dates)
        : ResultColumnAnalysis(parameters, schema), dates_(dates) {}

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
    DateClassifier(const std::vector<ast::Parameter>& parameters, SchemaView& schema)
        : ResultColumnAnalysis(parameters, schema), numbers_(parameters, schema, *this) {}

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
        static constexpr const char* kDateResults[] = {"Now",        "Date",      "Time",      "DateAdd", "DateSerial",
                                                       "TimeSerial", "DateValue", "TimeValue", "CDate",   "CVDate"};
        if (OneOf(f->jetName, kDateResults)) return Verdict::Yes;
        static constexpr const char* kDateOfArgument[] = {"CVar", "Min", "Max", "First", "Last"};
        if (OneOf(f->jetName, kDateOfArgument)) return e.args.size() == 1 ? Of(*e.args[0], scope) : Verdict::No;
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
    if (e.op == "-" && dates_.Of(a, scope) == Verdict::Yes && dates_.Of(b, scope) == Verdict::Yes) return Verdict::Yes;
    if (e.op == "+" || e.op == "-" || e.op == "*" || e.op == "/" || e.op == "^")
        return Either(Of(a, scope), Of(b, scope));
    return Verdict::No;
}

Verdict NumberClassifier::OfFunction(const Expr& e, const Scope& scope) {
    const dialect::FunctionInfo* f = dialect::FindFunction(e.name);
    if (f == nullptr) return Verdict::No;
    static constexpr const char* kNumberResults[] = {
        "Count",   "Len",    "InStr",  "InStrRev", "StrComp",  "Asc",      "AscW",   "CInt",      "CLng",
        "CByte",   "CBool",  "CSng",   "CDbl",     "CCur",     "CDec",     "Val",    "Sgn",       "Sqr",
        "Exp",     "Log",    "Sin",    "Cos",      "Tan",      "Atn",      "Year",   "Month",     "Day",
        "Hour",    "Minute", "Second", "Weekday",  "DatePart", "DateDiff", "IsNull", "IsNumeric", "IsDate",
        "IsEmpty", "StDev",  "StDevP", "Var",      "VarP"};
    if (OneOf(f->jetName, kNumberResults)) return Verdict::Yes;
    // These keep the kind of their argument: the total or the whole part of dates is no
    // plain number.
    static constexpr const char* kNumberOfArgument[] = {"Abs", "Int", "Fix",   "Round", "Sum", "Avg",
                                                        "Min", "Max", "First", "Last",  "CVar"};
    if (OneOf(f->jetName, kNumberOfArgument)) return !e.args.empty() ? Of(*e.args[0], scope) : Verdict::No;
    return OfChoice(e, f->jetName, [&](const Expr& x) { return Of(x, scope); }).value_or(Verdict::No);
}

// Walks a statement and marks the dates that are made text (MarkDatesMadeText). The date
// analysis is made only when the walk comes upon such a place.
class DatesMadeText {
public:
    DatesMadeText(const std::vector<ast::Parameter>& parameters, SchemaView& schema)
        : parameters_(parameters), schema_(schema) {}

    void InStatement(ast::Statement& s) {
        if (s.select) {
            InQuery(*s.select, {});
            return InResultColumns(*s.select);
        }
        if (s.insert) return InInsert(*s.insert);
        if (s.update) return InUpdate(*s.update);
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

    // The sources of `core` before those of the queries around it.
    static Scope Inner(const SelectCore& core, const Scope& outer) {
        Scope scope = ResultColumnAnalysis::ScopeOf(core);
        scope.insert(scope.end(), outer.begin(), outer.end());
        return scope;
    }

    void InQuery(Query& q, const Scope& outer) {
        for (SelectCore& core : q.cores) InCore(core, outer);
        if (q.orderBy.empty()) return;
        const Scope scope = Inner(q.cores.front(), outer);
        for (auto& key : q.orderBy) InExpr(*key.expr, scope);
    }

    void InCore(SelectCore& core, const Scope& outer) {
        const Scope scope = Inner(core, outer);
        for (auto& ref : core.from) InTable(*ref, outer);
        for (auto& item : core.items) InExpr(*item.expr, scope);
        if (core.where) InExpr(*core.where, scope);
        for (auto& key : core.groupBy) InExpr(*key, scope);
        if (core.having) InExpr(*core.having, scope);
    }

    // A join's condition sees the sources of the whole FROM tree; a derived table only those
    // around the query it is part of.
    void InTable(TableRef& t, const Scope& outer) {
        ResultColumnAnalysis::WalkFrom(
            t, outer, [this](Query& q, const Scope& around) { InQuery(q, around); },
            [this](MutableExpr& on, const Scope& scope) { InExpr(on, scope); });
    }

    void InExpr(MutableExpr& e, const Scope& scope) {
        using K = MutableExpr::Kind;
        if (e.kind == K::Binary && e.op == "&") {
            for (auto& operand : e.args) MarkDateResults(*operand, scope);
        } else if (e.kind == K::Function && !e.args.empty() && MakesTextOfArgument(e)) {
            MarkDateResults(*e.args[0], scope);
        }
        for (auto& a : e.args) InExpr(*a, scope);
        if (e.query) InQuery(*e.query, scope);
    }

    // The results of IIf, Switch, Choose or Nz (nothing for another expression), and whether
    // one of them is plainly text.
    static std::vector<MutableExpr*> ChoiceResults(MutableExpr& e, bool& text) {
        std::vector<MutableExpr*> results;
        text = false;
        const dialect::FunctionInfo* f =
            e.kind == MutableExpr::Kind::Function ? dialect::FindFunction(e.name) : nullptr;
        if (f == nullptr) return results;
        OfChoice(e, f->jetName, [&](const MutableExpr& x) {
            for (auto& a : e.args)
                if (a.get() == &x) results.push_back(a.get());
            text = text || x.kind == MutableExpr::Kind::String || (x.kind == MutableExpr::Kind::Binary && x.op == "&");
            return Verdict::NullOnly;
        });
        return results;
    }

    // `e` gives text: a date it gives, also as one result of a choice, is made text.
    void MarkDateResults(MutableExpr& e, const Scope& scope) {
        if (Dates().Of(e, scope) == Verdict::Yes) {
            e.dateText = true;
            return;
        }
        bool text = false;
        for (MutableExpr* result : ChoiceResults(e, text)) MarkDateResults(*result, scope);
    }

    // A result column of the statement's query that chooses between text and dates is a text
    // column, as Jet types it: its dates are made text. Elsewhere the choice keeps the date
    // itself, which compares as a date.
    void InResultColumns(Query& q) {
        for (SelectCore& core : q.cores) {
            const Scope scope = ResultColumnAnalysis::ScopeOf(core);
            for (auto& item : core.items) {
                bool text = false;
                const std::vector<MutableExpr*> results = ChoiceResults(*item.expr, text);
                if (text)
                    for (MutableExpr* result : results) MarkDateResults(*result, scope);
            }
        }
    }

    static bool MakesTextOfArgument(const MutableExpr& e) {
        const dialect::FunctionInfo* f = dialect::FindFunction(e.name);
        if (f == nullptr) return false;
        return SameAsciiText(f->jetName, "CStr") || SameAsciiText(f->jetName, "Str") ||
               (SameAsciiText(f->jetName, "Format") && e.args.size() == 1);
    }

    // Whether value `e`, written into a column, gives dates, also as one result of a choice.
    bool WritesDate(MutableExpr& e, const Scope& scope) {
        using K = MutableExpr::Kind;
        switch (e.kind) {
            case K::Null:
            case K::Integer:
            case K::Real:
            case K::String:
            case K::Boolean:
            case K::Star: return false;
            default: break;
        }
        if (Dates().Of(e, scope) == Verdict::Yes) return true;
        bool text = false;
        for (MutableExpr* result : ChoiceResults(e, text))
            if (WritesDate(*result, scope)) return true;
        return false;
    }

    // Value `e` is written into column `column` of `table`: into a Text or Memo column, the
    // dates it gives are made text.
    void Written(MutableExpr& e, const Scope& scope, const std::string& table, const std::string& column) {
        const std::optional<std::int32_t> type = schema_.FieldType(table, column);
        if (type && (*type == dbText || *type == dbMemo)) MarkDateResults(e, scope);
    }

    void InInsert(ast::Insert& insert) {
        // Without a column list the values go to the table's columns in order, looked up only
        // when a date is written.
        std::optional<std::vector<std::string>> tableColumns;
        auto written = [&](MutableExpr& e, const Scope& scope, std::size_t i) {
            if (!WritesDate(e, scope)) return;
            if (insert.columns.empty() && !tableColumns) tableColumns = schema_.ColumnNames(insert.table);
            const std::vector<std::string>& columns = insert.columns.empty() ? *tableColumns : insert.columns;
            if (i < columns.size()) Written(e, scope, insert.table, columns[i]);
        };
        for (std::size_t i = 0; i < insert.values.size(); ++i) {
            InExpr(*insert.values[i], {});
            written(*insert.values[i], {}, i);
        }
        if (!insert.query) return;
        InQuery(*insert.query, {});
        // Every part of a union gives the values of the same columns; a part with a `*` has
        // no known positions.
        for (SelectCore& core : insert.query->cores) {
            const bool star = std::any_of(core.items.begin(), core.items.end(),
                                          [](const auto& item) { return item.expr->kind == MutableExpr::Kind::Star; });
            if (star) continue;
            const Scope scope = ResultColumnAnalysis::ScopeOf(core);
            for (std::size_t i = 0; i < core.items.size(); ++i) written(*core.items[i].expr, scope, i);
        }
    }

    // The column an assignment sets belongs to the table it is qualified with, else to the
    // first table of the source that has it.
    void InUpdate(ast::Update& update) {
        Scope scope;
        ResultColumnAnalysis::AddSources(*update.source, scope);
        InTable(*update.source, {});
        if (update.where) InExpr(*update.where, scope);
        for (auto& set : update.sets) {
            InExpr(*set.value, scope);
            if (!WritesDate(*set.value, scope)) continue;
            for (const auto& source : scope) {
                const bool named = set.table.empty() || SameAsciiText(source.name, set.table);
                if (source.derived != nullptr || !named || !schema_.FieldType(source.table, set.column)) continue;
                Written(*set.value, scope, source.table, set.column);
                break;
            }
        }
    }

    DateClassifier& Dates() {
        if (!dates_) dates_.emplace(parameters_, schema_);
        return *dates_;
    }

    const std::vector<ast::Parameter>& parameters_;
    SchemaView& schema_;
    std::optional<DateClassifier> dates_;
};

}  // namespace

std::vector<bool> DateColumns(const ast::Statement& statement, std::size_t columnCount, SchemaView& schema) {
    return DateClassifier(statement.parameters, schema).ColumnsJudgedYes(statement, columnCount);
}

std::vector<bool> NumberColumns(const ast::Statement& statement, std::size_t columnCount, SchemaView& schema) {
    DateClassifier dates(statement.parameters, schema);
    return NumberClassifier(statement.parameters, schema, dates).ColumnsJudgedYes(statement, columnCount);
}

void MarkDatesMadeText(ast::Statement& statement, SchemaView& schema) {
    DatesMadeText(statement.parameters, schema).InStatement(statement);
}

}  // namespace pavana::engine::dialect
