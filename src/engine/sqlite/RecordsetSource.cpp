#include "engine/sqlite/RecordsetSource.h"

#include "engine/sqlite/SchemaCache.h"

#include <cctype>

#include "engine/EngineError.h"
#include "engine/dialect/CurrencyColumns.h"
#include "engine/dialect/FunctionCatalog.h"
#include "engine/dialect/Parser.h"
#include "engine/sqlite/QuoteIdentifier.h"
#include "engine/sqlite/SqlitePrinter.h"

namespace pavana::engine::sqlite {
namespace {

using namespace dialect::ast;

const char* const kSource = "DAO.Recordset";
// The table name a filter, sort or criteria text is parsed against.
const char* const kFragmentTable = "pavana_source";

[[noreturn]] void RaiseSyntax(const dialect::SyntaxError& e, const std::string& source) {
    RaiseEngineError(e.Number(), e.Message(), source);
}

[[noreturn]] void MissingOperator() { RaiseEngineError(jetMissingOperator, kSource); }

std::unique_ptr<Query> Clone(const Query& q);

ExprPtr Clone(const Expr& e) {
    auto c = std::make_unique<Expr>();
    c->kind = e.kind;
    c->op = e.op;
    c->table = e.table;
    c->name = e.name;
    c->text = e.text;
    c->integer = e.integer;
    c->real = e.real;
    c->negated = e.negated;
    c->star = e.star;
    c->dateText = e.dateText;
    c->scaled = e.scaled;
    for (const auto& a : e.args) c->args.push_back(Clone(*a));
    if (e.query) c->query = Clone(*e.query);
    return c;
}

ExprPtr CloneOrNull(const ExprPtr& e) { return e ? Clone(*e) : nullptr; }

TableRefPtr Clone(const TableRef& t) {
    auto c = std::make_unique<TableRef>();
    c->kind = t.kind;
    c->name = t.name;
    c->alias = t.alias;
    if (t.query) c->query = Clone(*t.query);
    c->joinType = t.joinType;
    if (t.left) c->left = Clone(*t.left);
    if (t.right) c->right = Clone(*t.right);
    c->on = CloneOrNull(t.on);
    c->parenthesised = t.parenthesised;
    return c;
}

SelectCore Clone(const SelectCore& core) {
    SelectCore c;
    c.distinct = core.distinct;
    c.top = core.top;
    c.topPercent = core.topPercent;
    for (const auto& item : core.items) c.items.push_back({Clone(*item.expr), item.alias, item.scaled});
    c.into = core.into;
    for (const auto& t : core.from) c.from.push_back(Clone(*t));
    c.where = CloneOrNull(core.where);
    for (const auto& g : core.groupBy) c.groupBy.push_back(Clone(*g));
    c.having = CloneOrNull(core.having);
    return c;
}

std::unique_ptr<Query> Clone(const Query& q) {
    auto c = std::make_unique<Query>();
    for (const auto& core : q.cores) c->cores.push_back(Clone(core));
    c->unionAll = q.unionAll;
    for (const auto& o : q.orderBy) c->orderBy.push_back({Clone(*o.expr), o.descending});
    return c;
}

ExprPtr MakeColumn(const std::string& table, const std::string& name) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Column;
    e->table = table;
    e->name = name;
    return e;
}

ExprPtr MakeParameter(int index) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Parameter;
    e->integer = index;
    return e;
}

ExprPtr MakeBinary(const char* op, ExprPtr a, ExprPtr b) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Binary;
    e->op = op;
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    return e;
}

ExprPtr Both(ExprPtr a, ExprPtr b) {
    if (!a) return b;
    return MakeBinary("AND", std::move(a), std::move(b));
}

// True when the expression (outside its sub-queries) calls an aggregate function.
bool HasAggregate(const Expr& e) {
    if (e.kind == Expr::Kind::Function) {
        const dialect::FunctionInfo* info = dialect::FindFunction(e.name);
        if (info != nullptr && info->aggregate) return true;
    }
    for (const auto& a : e.args)
        if (HasAggregate(*a)) return true;
    return false;
}

bool IsBlank(const std::string& text) {
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

// "SELECT * FROM [pavana_source] WHERE <filter> ORDER BY <sort>" parsed, and checked to be
// no more than that: the texts cannot bring in clauses, unions or parameters of their own.
std::unique_ptr<Statement> ParseFragment(const std::string& filter, const std::string& sort) {
    std::string text = std::string("SELECT * FROM [") + kFragmentTable + "]";
    if (!IsBlank(filter)) text += " WHERE " + filter;
    if (!IsBlank(sort)) text += " ORDER BY " + sort;
    std::unique_ptr<Statement> s;
    try {
        s = std::make_unique<Statement>(dialect::Parse(text));
    } catch (const dialect::SyntaxError& e) {
        RaiseSyntax(e, kSource);
    }
    if (!s->select || !s->parameters.empty() || s->select->cores.size() != 1) MissingOperator();
    const SelectCore& core = s->select->cores.front();
    if (core.items.size() != 1 || core.items[0].expr->kind != Expr::Kind::Star || !core.items[0].expr->table.empty() ||
        core.from.size() != 1 || core.from[0]->kind != TableRef::Kind::Table || core.from[0]->name != kFragmentTable ||
        !core.from[0]->alias.empty() || core.top || core.distinct != Distinct::None || !core.into.empty() ||
        !core.groupBy.empty() || core.having)
        MissingOperator();
    return s;
}

}  // namespace

RecordsetSource::RecordsetSource(std::shared_ptr<const Statement> statement, std::vector<Variant> values,
                                 const std::string& errorSource, sqlite3* db, CurrencyStorage currency)
    : statement_(std::move(statement)), values_(std::move(values)), db_(db), currency_(currency) {
    if (!statement_ || !statement_->select || !statement_->select->cores.front().into.empty())
        RaiseEngineError(jetInvalidOperation, errorSource);
    FindBaseTable();
}

RecordsetSource::RecordsetSource(std::shared_ptr<const Statement> statement, std::vector<Variant> values, sqlite3* db,
                                 CurrencyStorage currency)
    : statement_(std::move(statement)), values_(std::move(values)), db_(db), currency_(currency) {
    FindBaseTable();
}

RecordsetSource::~RecordsetSource() = default;

void RecordsetSource::FindBaseTable() {
    const Query& q = *statement_->select;
    if (q.cores.size() != 1) return;
    const SelectCore& core = q.cores.front();
    if (core.distinct == Distinct::Distinct || !core.groupBy.empty() || core.having || core.from.size() != 1 ||
        core.from[0]->kind != TableRef::Kind::Table)
        return;
    for (const auto& item : core.items)
        if (HasAggregate(*item.expr)) return;
    for (const auto& o : q.orderBy)
        if (HasAggregate(*o.expr)) return;
    baseTable_ = core.from[0]->name;
    baseReference_ = core.from[0]->alias.empty() ? baseTable_ : core.from[0]->alias;
}

std::string RecordsetSource::Print(const Query& query) const {
    Statement s;
    s.parameters = statement_->parameters;
    s.select = Clone(query);
    if (currency_ == CurrencyStorage::Scaled) {
        SchemaCache schema;  // read afresh: the source outlives the statement it was made by
        CachedSchema view(schema, db_);
        dialect::MarkScaledCurrency(s, view);
    }
    dialect::Translation out;
    try {
        PrintForSqlite(s, out);
    } catch (const dialect::SyntaxError& e) {
        RaiseSyntax(e, kSource);
    }
    return out.sql;
}

std::string RecordsetSource::Sql() const {
    if (!statement_->crosstab) return Print(*statement_->select);
    // A crosstab query is printed whole: its value columns come from TRANSFORM and PIVOT.
    dialect::Translation out;
    try {
        PrintForSqlite(*statement_, out);
    } catch (const dialect::SyntaxError& e) {
        RaiseSyntax(e, kSource);
    }
    return out.sql;
}

bool RecordsetSource::WholeTable() const {
    if (baseTable_.empty()) return false;
    const Query& q = *statement_->select;
    const SelectCore& core = q.cores.front();
    return core.items.size() == 1 && core.items[0].expr->kind == Expr::Kind::Star && !core.where && q.orderBy.empty() &&
           !core.top && core.distinct == Distinct::None;
}

std::string RecordsetSource::KeysetSql() const {
    auto q = Clone(*statement_->select);
    q->cores.front().items.push_back({MakeColumn(baseReference_, "rowid"), kKeyColumn});
    return Print(*q);
}

std::string RecordsetSource::KeyRangeSql() const {
    auto q = Clone(*statement_->select);
    SelectCore& core = q->cores.front();
    core.items.clear();
    core.items.push_back({MakeColumn(baseReference_, "rowid"), kKeyColumn});
    ExprPtr range =
        MakeBinary("AND", MakeBinary(">", MakeColumn(baseReference_, "rowid"), MakeParameter(ParameterCount())),
                   MakeBinary("<=", MakeColumn(baseReference_, "rowid"), MakeParameter(ParameterCount() + 1)));
    core.where = Both(std::move(core.where), std::move(range));
    q->orderBy.clear();
    q->orderBy.push_back({MakeColumn(baseReference_, "rowid"), false});
    return Print(*q);
}

std::string RecordsetSource::KeysetAfterSql() const {
    auto q = Clone(*statement_->select);
    SelectCore& core = q->cores.front();
    core.items.push_back({MakeColumn(baseReference_, "rowid"), kKeyColumn});
    core.where = Both(std::move(core.where),
                      MakeBinary(">", MakeColumn(baseReference_, "rowid"), MakeParameter(ParameterCount())));
    q->orderBy.clear();
    q->orderBy.push_back({MakeColumn(baseReference_, "rowid"), false});
    return Print(*q);
}

std::string RecordsetSource::RowSql() const {
    auto q = Clone(*statement_->select);
    SelectCore& core = q->cores.front();
    core.where = MakeBinary("=", MakeColumn(baseReference_, "rowid"), MakeParameter(ParameterCount()));
    core.top.reset();
    core.topPercent = false;
    q->orderBy.clear();
    return Print(*q);
}

std::unique_ptr<RecordsetSource> RecordsetSource::Narrowed(const std::string& filter, const std::string& sort) const {
    std::unique_ptr<Statement> fragment = ParseFragment(filter, sort);
    SelectCore& narrowing = fragment->select->cores.front();
    auto statement = std::make_unique<Statement>();
    statement->parameters = statement_->parameters;
    const Query& own = *statement_->select;
    if (!baseTable_.empty() && !own.cores.front().top) {
        statement->select = Clone(own);
        SelectCore& core = statement->select->cores.front();
        if (narrowing.where) core.where = Both(std::move(core.where), std::move(narrowing.where));
        if (!fragment->select->orderBy.empty()) statement->select->orderBy = std::move(fragment->select->orderBy);
    } else {
        auto derived = std::make_unique<TableRef>();
        derived->kind = TableRef::Kind::Derived;
        derived->query = Clone(own);
        derived->alias = kFragmentTable;
        narrowing.from.clear();
        narrowing.from.push_back(std::move(derived));
        statement->select = std::move(fragment->select);
    }
    return std::unique_ptr<RecordsetSource>(new RecordsetSource(std::move(statement), values_, db_, currency_));
}

ExprPtr RecordsetSource::ParseCriteria(const std::string& criteria) {
    if (IsBlank(criteria)) MissingOperator();
    std::unique_ptr<Statement> fragment = ParseFragment(criteria, "");
    return std::move(fragment->select->cores.front().where);
}

std::optional<std::string> RecordsetSource::FirstMatchSql(const Expr& condition, bool inKeyOrder) const {
    if (statement_->select->cores.front().top) return std::nullopt;
    auto q = Clone(*statement_->select);
    SelectCore& core = q->cores.front();
    core.items.push_back({MakeColumn(baseReference_, "rowid"), kKeyColumn});
    core.where = Both(std::move(core.where), Clone(condition));
    core.top = 1;
    if (inKeyOrder && q->orderBy.empty()) q->orderBy.push_back({MakeColumn(baseReference_, "rowid"), false});
    return Print(*q);
}

std::string RecordsetSource::RowMatchSql(const Expr& condition) const {
    auto q = Clone(*statement_->select);
    SelectCore& core = q->cores.front();
    core.where =
        Both(MakeBinary("=", MakeColumn(baseReference_, "rowid"), MakeParameter(ParameterCount())), Clone(condition));
    core.top.reset();
    core.topPercent = false;
    q->orderBy.clear();
    return Print(*q);
}

std::string RecordsetSource::ValuesMatchSql(const Expr& condition, const std::vector<std::string>& columns,
                                            const std::vector<bool>& textColumns) {
    Statement s;
    s.select = std::make_unique<Query>();
    SelectCore core;
    auto star = std::make_unique<Expr>();
    star->kind = Expr::Kind::Star;
    core.items.push_back({std::move(star), ""});
    auto table = std::make_unique<TableRef>();
    table->name = kFragmentTable;
    core.from.push_back(std::move(table));
    core.where = Clone(condition);
    s.select->cores.push_back(std::move(core));
    dialect::Translation out;
    try {
        PrintForSqlite(s, out);
    } catch (const dialect::SyntaxError& e) {
        RaiseSyntax(e, kSource);
    }
    const std::string prefix = std::string("SELECT * FROM ") + QuoteIdentifier(kFragmentTable);
    if (out.sql.compare(0, prefix.size(), prefix) != 0) MissingOperator();
    std::string values = "SELECT ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) values += ", ";
        values += "?" + std::to_string(i + 1);
        if (textColumns[i]) values += " COLLATE NOCASE";
        values += " AS " + QuoteIdentifier(columns[i]);
    }
    if (columns.empty()) values += "NULL";
    return "SELECT 1 FROM (" + values + ") AS " + QuoteIdentifier(kFragmentTable) + out.sql.substr(prefix.size());
}

}  // namespace pavana::engine::sqlite
