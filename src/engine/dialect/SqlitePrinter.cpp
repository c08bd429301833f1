#include "engine/dialect/SqlitePrinter.h"

#include <charconv>
#include <set>

#include "engine/dialect/FunctionCatalog.h"
#include "engine/dialect/Messages.h"

namespace pavana::engine::dialect {
namespace {

using namespace ast;

std::string Upper(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool SameName(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

std::string Quote(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string QuoteString(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::string PrintReal(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string out(buffer, end);
    if (out.find_first_of(".en") == std::string::npos) out += ".0";
    return out;
}

enum class Mode { Value, Condition };

class Printer {
public:
    std::string Statement(const ast::Statement& s, Translation& out) {
        if (s.select) {
            const SelectCore& first = s.select->cores.front();
            if (!first.into.empty()) {
                out.kind = StatementKind::Action;
                return "CREATE TABLE " + Quote(first.into) + " AS " + Query(*s.select);
            }
            out.kind = StatementKind::Query;
            return Query(*s.select);
        }
        if (s.insert || s.update || s.del) {
            out.kind = StatementKind::Action;
            if (s.insert) return Insert(*s.insert);
            if (s.update) return Update(*s.update);
            return Delete(*s.del);
        }
        out.kind = StatementKind::Definition;
        if (s.createTable) return CreateTable(*s.createTable, out);
        if (s.alterTable) return AlterTable(*s.alterTable, out);
        if (s.dropTable) return "DROP TABLE " + Quote(s.dropTable->name);
        if (s.createIndex) return CreateIndex(*s.createIndex, out);
        const auto& drop = *s.dropIndex;
        const std::string name = SqliteIndexName(drop.table, drop.name);
        out.followUp.push_back("DROP TRIGGER IF EXISTS " + Quote(name + ".insert"));
        out.followUp.push_back("DROP TRIGGER IF EXISTS " + Quote(name + ".update"));
        return "DROP INDEX " + Quote(name);
    }

private:
    // ---- expressions --------------------------------------------------------------------

    std::string Expr(const ast::Expr& e, Mode mode) {
        using K = ast::Expr::Kind;
        switch (e.kind) {
            case K::Null: return "NULL";
            case K::Integer: return std::to_string(e.integer);
            case K::Real: return e.text;
            case K::String: return QuoteString(e.text);
            case K::Date: return PrintReal(e.real);
            case K::Boolean: return e.integer ? "-1" : "0";
            case K::Column: return Qualified(e.table) + Quote(e.name);
            case K::Star: return e.table.empty() ? "*" : Qualified(e.table) + "*";
            case K::Parameter: return "?" + std::to_string(e.integer + 1);
            case K::Unary:
                if (e.op == "NOT") return AsValue("NOT " + Expr(*e.args[0], Mode::Condition), mode);
                if (e.op == "-") return "(- " + Expr(*e.args[0], Mode::Value) + ")";
                return Expr(*e.args[0], Mode::Value);
            case K::Binary: return Binary(e, mode);
            case K::Like: {
                std::string call = "JetLike(" + Expr(*e.args[0], Mode::Value) + ", " +
                                   Expr(*e.args[1], Mode::Value) + ")";
                return e.negated ? AsValue("NOT " + call, mode) : call;
            }
            case K::IsNull:
                return AsValue(Expr(*e.args[0], Mode::Value) + (e.negated ? " IS NOT NULL" : " IS NULL"),
                               mode);
            case K::Between: return Between(e, mode);
            case K::InList: {
                std::string s = Expr(*e.args[0], Mode::Value) + (e.negated ? " NOT IN (" : " IN (");
                for (std::size_t i = 1; i < e.args.size(); ++i) {
                    if (i > 1) s += ", ";
                    s += Expr(*e.args[i], Mode::Value);
                }
                return AsValue(s + ")", mode);
            }
            case K::InQuery:
                return AsValue(Expr(*e.args[0], Mode::Value) + (e.negated ? " NOT IN (" : " IN (") +
                                   Query(*e.query) + ")",
                               mode);
            case K::Exists: return AsValue("EXISTS (" + Query(*e.query) + ")", mode);
            case K::Subquery: return "(" + Query(*e.query) + ")";
            case K::Quantified: {
                // SQLite has no ANY/ALL: the sub-query's one column is named and tested row by row.
                std::string inner = Query(*e.query, "pavana_value");
                std::string test = Expr(*e.args[0], Mode::Value) + " " + e.op + " \"pavana_value\"";
                if (e.text == "ALL")
                    return AsValue("NOT EXISTS (SELECT 1 FROM (" + inner + ") WHERE NOT (" + test + "))", mode);
                return AsValue("EXISTS (SELECT 1 FROM (" + inner + ") WHERE " + test + ")", mode);
            }
            case K::Function: return Function(e);
        }
        return "NULL";
    }

    // A truth value of SQLite (1/0/NULL) where a value is wanted becomes the engine's -1/0/NULL.
    static std::string AsValue(const std::string& condition, Mode mode) {
        if (mode == Mode::Condition) return "(" + condition + ")";
        return "(-(" + condition + "))";
    }

    std::string Qualified(const std::string& table) {
        if (table.empty()) return "";
        if (!renameFrom_.empty() && SameName(table, renameFrom_)) return Quote(renameTo_) + ".";
        return Quote(table) + ".";
    }

    std::string Call(const char* name, const ast::Expr& a, const ast::Expr& b) {
        return std::string(name) + "(" + Expr(a, Mode::Value) + ", " + Expr(b, Mode::Value) + ")";
    }

    std::string Binary(const ast::Expr& e, Mode mode) {
        const ast::Expr& a = *e.args[0];
        const ast::Expr& b = *e.args[1];
        const std::string& op = e.op;
        if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=")
            return AsValue(Expr(a, Mode::Value) + " " + op + " " + Expr(b, Mode::Value), mode);
        if (op == "AND" || op == "OR")
            return AsValue(Expr(a, Mode::Condition) + " " + op + " " + Expr(b, Mode::Condition), mode);
        if (op == "XOR") return Call("JetXor", a, b);
        if (op == "EQV") return Call("JetEqv", a, b);
        if (op == "IMP") return Call("JetImp", a, b);
        if (op == "&") return Call("JetConcat", a, b);
        if (op == "+") return Call("JetAdd", a, b);
        if (op == "/") return Call("JetDivide", a, b);
        if (op == "\\") return Call("JetIntDivide", a, b);
        if (op == "MOD") return Call("JetMod", a, b);
        if (op == "^") return Call("JetPower", a, b);
        return "(" + Expr(a, Mode::Value) + " " + op + " " + Expr(b, Mode::Value) + ")";
    }

    static bool NumericLiteral(const ast::Expr& e, double& value) {
        using K = ast::Expr::Kind;
        if (e.kind == K::Integer) value = static_cast<double>(e.integer);
        else if (e.kind == K::Date) value = e.real;
        else if (e.kind == K::Real) value = std::strtod(e.text.c_str(), nullptr);
        else return false;
        return true;
    }

    // Between accepts its bounds in either order: literal bounds are put in order here.
    std::string Between(const ast::Expr& e, Mode mode) {
        const ast::Expr* low = e.args[1].get();
        const ast::Expr* high = e.args[2].get();
        double l = 0, h = 0;
        if (NumericLiteral(*low, l) && NumericLiteral(*high, h) && l > h) std::swap(low, high);
        return AsValue(Expr(*e.args[0], Mode::Value) + (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
                           Expr(*low, Mode::Value) + " AND " + Expr(*high, Mode::Value),
                       mode);
    }

    std::string Function(const ast::Expr& e) {
        const FunctionInfo* info = FindFunction(e.name);
        const std::string name = info->jetName;
        if (name == "IIf")
            return "(CASE WHEN " + Expr(*e.args[0], Mode::Condition) + " THEN " + Expr(*e.args[1], Mode::Value) +
                   " ELSE " + Expr(*e.args[2], Mode::Value) + " END)";
        if (name == "Nz")
            return "coalesce(" + Expr(*e.args[0], Mode::Value) + ", " +
                   (e.args.size() > 1 ? Expr(*e.args[1], Mode::Value) : std::string("''")) + ")";
        if (name == "Switch") {
            if (e.args.size() % 2 != 0)
                throw SyntaxError("Wrong number of arguments used with function in query expression 'Switch'.",
                                  messages::kQueryExpression);
            std::string s = "(CASE";
            for (std::size_t i = 0; i < e.args.size(); i += 2)
                s += " WHEN " + Expr(*e.args[i], Mode::Condition) + " THEN " + Expr(*e.args[i + 1], Mode::Value);
            return s + " END)";
        }
        if (name == "Choose") {
            std::string s = "(CASE JetChooseIndex(" + Expr(*e.args[0], Mode::Value) + ")";
            for (std::size_t i = 1; i < e.args.size(); ++i)
                s += " WHEN " + std::to_string(i) + " THEN " + Expr(*e.args[i], Mode::Value);
            return s + " END)";
        }
        if (e.star) return std::string(info->sqliteName) + "(*)";
        std::string s = std::string(info->sqliteName) + "(";
        for (std::size_t i = 0; i < e.args.size(); ++i) {
            if (i) s += ", ";
            s += Expr(*e.args[i], Mode::Value);
        }
        return s + ")";
    }

    // ---- queries ------------------------------------------------------------------------

    // `firstAlias` names the first column of every core (used for ANY/ALL sub-queries).
    std::string Query(const ast::Query& q, const char* firstAlias = nullptr) {
        std::string s;
        const bool single = q.cores.size() == 1;
        for (std::size_t i = 0; i < q.cores.size(); ++i) {
            if (i) s += q.unionAll[i - 1] ? " UNION ALL " : " UNION ";
            const SelectCore& core = q.cores[i];
            if (single) {
                s += Core(core, firstAlias);
            } else if (core.top) {
                s += "SELECT * FROM (" + Core(core, firstAlias) + Limit(core, "") + ")";
            } else {
                s += Core(core, firstAlias);
            }
        }
        if (!q.orderBy.empty()) {
            s += " ORDER BY ";
            for (std::size_t i = 0; i < q.orderBy.size(); ++i) {
                if (i) s += ", ";
                s += Expr(*q.orderBy[i].expr, Mode::Value);
                if (q.orderBy[i].descending) s += " DESC";
            }
        }
        if (single && q.cores[0].top) s += Limit(q.cores[0], firstAlias);
        return s;
    }

    std::string Limit(const SelectCore& core, const char* firstAlias) {
        if (!core.topPercent) return " LIMIT " + std::to_string(*core.top);
        // TOP n PERCENT: n per cent of the rows, rounded up.
        return " LIMIT (SELECT (count(*) * " + std::to_string(*core.top) + " + 99) / 100 FROM (" +
               Core(core, firstAlias) + "))";
    }

    std::string Core(const SelectCore& core, const char* firstAlias) {
        std::string s = "SELECT ";
        if (core.distinct == Distinct::Distinct) s += "DISTINCT ";
        for (std::size_t i = 0; i < core.items.size(); ++i) {
            if (i) s += ", ";
            const SelectItem& item = core.items[i];
            s += Expr(*item.expr, Mode::Value);
            using K = ast::Expr::Kind;
            if (i == 0 && firstAlias) s += " AS " + Quote(firstAlias);
            else if (!item.alias.empty()) s += " AS " + Quote(item.alias);
            else if (item.expr->kind != K::Column && item.expr->kind != K::Star)
                s += " AS " + Quote("Expr" + std::to_string(1000 + i));
        }
        if (!core.from.empty()) s += " FROM " + FromList(core.from);
        if (core.where) s += " WHERE " + Expr(*core.where, Mode::Condition);
        if (!core.groupBy.empty()) {
            s += " GROUP BY ";
            for (std::size_t i = 0; i < core.groupBy.size(); ++i) {
                if (i) s += ", ";
                s += Expr(*core.groupBy[i], Mode::Value);
            }
        }
        if (core.having) s += " HAVING " + Expr(*core.having, Mode::Condition);
        return s;
    }

    std::string FromList(const std::vector<TableRefPtr>& from) {
        std::string s;
        for (std::size_t i = 0; i < from.size(); ++i) {
            if (i) s += ", ";
            s += Table(*from[i]);
        }
        return s;
    }

    std::string Table(const TableRef& t) {
        switch (t.kind) {
            case TableRef::Kind::Table: {
                // SQLite runs the FROM of an UPDATE as a sub-query, where the rowid of a
                // table is out of reach; the renamed target carries it as a column.
                if (&t == renamedTable_)
                    return "(SELECT rowid AS \"pavana_rowid\", * FROM " + Quote(t.name) + ") AS " +
                           Quote(renameTo_);
                std::string s = Quote(t.name);
                if (!t.alias.empty()) s += " AS " + Quote(t.alias);
                return s;
            }
            case TableRef::Kind::Derived: {
                std::string s = "(" + Query(*t.query) + ")";
                if (!t.alias.empty()) s += " AS " + Quote(t.alias);
                return s;
            }
            case TableRef::Kind::Join: {
                static constexpr const char* kJoins[] = {" INNER JOIN ", " LEFT JOIN ", " RIGHT JOIN "};
                std::string s = Table(*t.left) + kJoins[static_cast<int>(t.joinType)] + Table(*t.right) +
                                " ON " + Expr(*t.on, Mode::Condition);
                return t.parenthesised ? "(" + s + ")" : s;
            }
        }
        return "";
    }

    // The table of a FROM tree that `name` (a table name or alias) refers to, or nullptr.
    static const TableRef* FindTable(const TableRef& t, std::string_view name) {
        if (t.kind == TableRef::Kind::Table)
            return SameName(t.alias.empty() ? t.name : t.alias, name) ? &t : nullptr;
        if (t.kind == TableRef::Kind::Join) {
            if (auto* found = FindTable(*t.left, name)) return found;
            return FindTable(*t.right, name);
        }
        return nullptr;
    }
    static const TableRef* FirstTable(const TableRef& t) {
        if (t.kind == TableRef::Kind::Table) return &t;
        if (t.kind == TableRef::Kind::Join) return FirstTable(*t.left);
        return nullptr;
    }

    // ---- INSERT, UPDATE, DELETE ---------------------------------------------------------

    std::string Insert(const ast::Insert& insert) {
        std::string s = "INSERT INTO " + Quote(insert.table);
        if (!insert.columns.empty()) {
            s += " (";
            for (std::size_t i = 0; i < insert.columns.size(); ++i) {
                if (i) s += ", ";
                s += Quote(insert.columns[i]);
            }
            s += ")";
        }
        if (insert.query) return s + " " + Query(*insert.query);
        s += " VALUES (";
        for (std::size_t i = 0; i < insert.values.size(); ++i) {
            if (i) s += ", ";
            s += Expr(*insert.values[i], Mode::Value);
        }
        return s + ")";
    }

    std::string Sets(const ast::Update& update) {
        std::string s;
        for (std::size_t i = 0; i < update.sets.size(); ++i) {
            if (i) s += ", ";
            s += Quote(update.sets[i].column) + " = " + Expr(*update.sets[i].value, Mode::Value);
        }
        return s;
    }

    std::string Update(const ast::Update& update) {
        const TableRef& source = *update.source;
        if (source.kind == TableRef::Kind::Table) {
            std::string s = "UPDATE " + Table(source) + " SET " + Sets(update);
            if (update.where) s += " WHERE " + Expr(*update.where, Mode::Condition);
            return s;
        }
        if (source.kind != TableRef::Kind::Join) messages::Raise(messages::kNotUpdatable);
        // UPDATE a INNER JOIN b ON ... SET ...: the table whose fields are set is updated; the
        // join, with that table renamed, becomes the FROM of SQLite's UPDATE and is tied to the
        // updated row by its rowid.
        std::string targetName;
        for (const auto& set : update.sets) {
            if (set.table.empty()) continue;
            if (targetName.empty()) targetName = set.table;
            else if (!SameName(targetName, set.table)) messages::Raise(messages::kNotUpdatable);
        }
        const TableRef* target = targetName.empty() ? FirstTable(source) : FindTable(source, targetName);
        if (!target) messages::Raise(messages::kNotUpdatable);
        const std::string reference = target->alias.empty() ? target->name : target->alias;
        std::string s = "UPDATE " + Quote(target->name);
        if (!target->alias.empty()) s += " AS " + Quote(target->alias);
        s += " SET " + Sets(update);
        renameFrom_ = reference;
        renameTo_ = "pavana_target";
        renamedTable_ = target;
        s += " FROM " + Table(source);
        renameFrom_.clear();
        renamedTable_ = nullptr;
        s += " WHERE " + Quote(reference) + ".rowid = \"pavana_target\".\"pavana_rowid\"";
        if (update.where) s += " AND " + Expr(*update.where, Mode::Condition);
        return s;
    }

    std::string Delete(const ast::Delete& del) {
        const bool single = del.from.size() == 1 && del.from[0]->kind == TableRef::Kind::Table;
        if (single) {
            const TableRef& t = *del.from[0];
            if (!del.target.empty() && !SameName(del.target, t.alias.empty() ? t.name : t.alias) &&
                !SameName(del.target, t.name))
                messages::Raise(messages::kDeleteTarget);
            std::string s = "DELETE FROM " + Table(t);
            if (del.where) s += " WHERE " + Expr(*del.where, Mode::Condition);
            return s;
        }
        // Deleting through a join: the rows of the target table that the join selects.
        if (del.target.empty()) messages::Raise(messages::kDeleteTarget);
        const TableRef* target = nullptr;
        for (const auto& item : del.from)
            if (!target) target = FindTable(*item, del.target);
        if (!target) messages::Raise(messages::kDeleteTarget);
        std::string s = "DELETE FROM " + Quote(target->name) + " WHERE rowid IN (SELECT " +
                        Quote(target->alias.empty() ? target->name : target->alias) + ".rowid FROM " +
                        FromList(del.from);
        if (del.where) s += " WHERE " + Expr(*del.where, Mode::Condition);
        return s + ")";
    }

    // ---- DDL ----------------------------------------------------------------------------

    static bool IsText(const ColumnType& t) { return t.type == JetType::Text || t.type == JetType::Memo; }

    std::string Column(const ColumnDef& c, bool rowidCounter, bool forceNotNull, bool allowKeys,
                       const std::string& table, Translation& out) {
        std::string s = Quote(c.name) + " ";
        if (rowidCounter) {
            s += "INTEGER PRIMARY KEY AUTOINCREMENT";
        } else {
            s += SqliteDeclaredType(c.type);
            if (IsText(c.type)) s += " COLLATE NOCASE";
            // SQLite does not limit a declared length; the check makes a longer text fail as
            // Jet's field-too-small does (SqliteErrors.cpp knows the constraint's name).
            if (c.type.type == JetType::Text && c.type.size > 0)
                s += " CONSTRAINT \"pavana_size\" CHECK (length(" + Quote(c.name) + ") <= " +
                     std::to_string(c.type.size) + ")";
        }
        if (c.notNull || forceNotNull) s += " NOT NULL";
        for (const Constraint& k : c.constraints) {
            if (k.kind == ConstraintKind::PrimaryKey && rowidCounter) continue;
            if (k.kind == ConstraintKind::NotNull) {
                if (!c.notNull && !forceNotNull) s += " NOT NULL";
                continue;
            }
            if (!allowKeys && (k.kind == ConstraintKind::PrimaryKey || k.kind == ConstraintKind::Unique)) {
                const std::string name = k.name.empty() ? c.name : k.name;
                out.followUp.push_back("CREATE UNIQUE INDEX " + Quote(SqliteIndexName(table, name)) + " ON " +
                                       Quote(table) + " (" + Quote(c.name) + ")");
                continue;
            }
            if (!k.name.empty()) s += " CONSTRAINT " + Quote(k.name);
            if (k.kind == ConstraintKind::PrimaryKey) s += " PRIMARY KEY";
            else if (k.kind == ConstraintKind::Unique) s += " UNIQUE";
            else s += References(k);
        }
        return s;
    }

    static std::string NameList(const std::vector<std::string>& names) {
        std::string s = "(";
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i) s += ", ";
            s += Quote(names[i]);
        }
        return s + ")";
    }

    static std::string References(const Constraint& k) {
        std::string s = " REFERENCES " + Quote(k.refTable);
        if (!k.refColumns.empty()) s += " " + NameList(k.refColumns);
        return s;
    }

    static void CheckCounter(const ColumnType& type) {
        if (type.counter && type.increment != 1) messages::Raise(messages::kFieldDefinition);
    }

    std::string CreateTable(const ast::CreateTable& create, Translation& out) {
        std::set<std::string> names;
        const ColumnDef* counter = nullptr;
        for (const ColumnDef& c : create.columns) {
            if (!names.insert(Upper(c.name)).second) messages::Raise(messages::kCreateTable);
            CheckCounter(c.type);
            if (c.type.counter) {
                if (counter)
                    throw SyntaxError("Resultant table not allowed to have more than one AutoNumber field.", 3090);
                counter = &c;
            }
        }
        // Columns of the primary key and of table NOT NULL constraints.
        std::set<std::string> notNull;
        int primaryKeys = 0;
        for (const ColumnDef& c : create.columns)
            for (const Constraint& k : c.constraints)
                if (k.kind == ConstraintKind::PrimaryKey) {
                    ++primaryKeys;
                    notNull.insert(Upper(c.name));
                }
        for (const Constraint& k : create.constraints) {
            for (const std::string& col : k.columns)
                if (!names.count(Upper(col))) messages::Raise(messages::kConstraint);
            if (k.kind == ConstraintKind::PrimaryKey) ++primaryKeys;
            if (k.kind == ConstraintKind::PrimaryKey || k.kind == ConstraintKind::NotNull)
                for (const std::string& col : k.columns) notNull.insert(Upper(col));
        }
        if (primaryKeys > 1) throw SyntaxError("Primary key already exists.", 3283);
        std::string s = create.temporary ? "CREATE TEMP TABLE " : "CREATE TABLE ";
        s += Quote(create.name) + " (";
        for (std::size_t i = 0; i < create.columns.size(); ++i) {
            const ColumnDef& c = create.columns[i];
            if (i) s += ", ";
            s += Column(c, &c == counter, notNull.count(Upper(c.name)) > 0, true, create.name, out);
        }
        for (const Constraint& k : create.constraints) {
            if (k.kind == ConstraintKind::NotNull) continue;
            // A counter that is the whole primary key is already the rowid.
            if (k.kind == ConstraintKind::PrimaryKey && counter && k.columns.size() == 1 &&
                SameName(k.columns[0], counter->name))
                continue;
            s += ", ";
            if (!k.name.empty()) s += "CONSTRAINT " + Quote(k.name) + " ";
            // With a counter as rowid, another primary key is kept as a unique key.
            if (k.kind == ConstraintKind::PrimaryKey) s += counter ? "UNIQUE " : "PRIMARY KEY ";
            else if (k.kind == ConstraintKind::Unique) s += "UNIQUE ";
            else s += "FOREIGN KEY ";
            s += NameList(k.columns);
            if (k.kind == ConstraintKind::ForeignKey) s += References(k);
        }
        s += ")";
        if (counter && counter->type.seed != 1)
            out.followUp.push_back("INSERT INTO sqlite_sequence (name, seq) VALUES (" + QuoteString(create.name) +
                                   ", " + std::to_string(counter->type.seed - 1) + ")");
        return s;
    }

    std::string AlterTable(const ast::AlterTable& alter, Translation& out) {
        using A = ast::AlterTable::Action;
        const std::string table = Quote(alter.table);
        switch (alter.action) {
            case A::AddColumn:
                CheckCounter(alter.column.type);
                if (alter.column.type.counter) messages::Raise(messages::kAlterTable);
                return "ALTER TABLE " + table + " ADD COLUMN " +
                       Column(alter.column, false, false, false, alter.table, out);
            case A::DropColumn: return "ALTER TABLE " + table + " DROP COLUMN " + Quote(alter.name);
            case A::AddConstraint: {
                const Constraint& k = alter.constraint;
                if (k.kind != ConstraintKind::PrimaryKey && k.kind != ConstraintKind::Unique)
                    messages::Raise(messages::kAlterTable);
                const std::string name = k.name.empty() ? k.columns.front() : k.name;
                return "CREATE UNIQUE INDEX " + Quote(SqliteIndexName(alter.table, name)) + " ON " + table + " " +
                       NameList(k.columns);
            }
            case A::DropConstraint: return "DROP INDEX " + Quote(SqliteIndexName(alter.table, alter.name));
            case A::AlterColumn: break;
        }
        // Changing a column's type rebuilds the table; the engine does that from the schema it holds.
        messages::Raise(messages::kAlterTable);
    }

    std::string CreateIndex(const ast::CreateIndex& index, Translation& out) {
        const std::string name = SqliteIndexName(index.table, index.name);
        std::string s = index.unique || index.primary ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
        s += Quote(name) + " ON " + Quote(index.table) + " (";
        std::string anyNull;
        for (std::size_t i = 0; i < index.columns.size(); ++i) {
            if (i) {
                s += ", ";
                anyNull += " OR ";
            }
            s += Quote(index.columns[i].name);
            if (index.columns[i].descending) s += " DESC";
            anyNull += "NEW." + Quote(index.columns[i].name) + " IS NULL";
        }
        s += ")";
        if (index.primary || index.disallowNull) {
            for (const char* event : {"insert", "update"})
                out.followUp.push_back("CREATE TRIGGER " + Quote(name + "." + event) + " BEFORE " +
                                       Upper(event) + " ON " + Quote(index.table) + " WHEN " + anyNull +
                                       " BEGIN SELECT RAISE(ABORT, 'Index or primary key cannot contain a "
                                       "Null value.'); END");
        }
        return s;
    }

    std::string renameFrom_;
    std::string renameTo_;
    const TableRef* renamedTable_ = nullptr;
};

}  // namespace

std::string SqliteIndexName(std::string_view table, std::string_view index) {
    return std::string(table) + "." + std::string(index);
}

void PrintForSqlite(const ast::Statement& statement, Translation& out) {
    Printer printer;
    out.sql = printer.Statement(statement, out);
}

}  // namespace pavana::engine::dialect
