#include "engine/sqlite/SqlitePrinter.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "engine/dialect/FunctionCatalog.h"
#include "engine/dialect/Messages.h"
#include "engine/sqlite/DeclaredTypes.h"
#include "engine/sqlite/FunctionSupport.h"
#include "engine/sqlite/StoreConversion.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {

using namespace dialect;
namespace {

using namespace ast;

std::string Upper(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Appends `text` between `delimiter`s, each delimiter inside it doubled.
void AppendDelimited(std::string& out, std::string_view text, char delimiter) {
    out += delimiter;
    for (std::size_t i = 0;;) {
        const std::size_t at = text.find(delimiter, i);
        if (at == std::string_view::npos) {
            out.append(text, i);
            break;
        }
        out.append(text, i, at + 1 - i);
        out += delimiter;
        i = at + 1;
    }
    out += delimiter;
}

std::string Quote(std::string_view name) {
    std::string out;
    AppendDelimited(out, name, '"');
    return out;
}

std::string QuoteString(std::string_view text) {
    std::string out;
    AppendDelimited(out, text, '\'');
    return out;
}

void AppendInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, end);
}

void AppendReal(std::string& out, double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    out += text;
    if (text.find_first_of(".en") == std::string_view::npos) out += ".0";
}

enum class Mode { Value, Condition };

// Prints into one buffer, `sql_`; follow-up statements are built on their own.
class Printer {
public:
    Printer(std::string& sql, const SchemaLookup& schema) : sql_(sql), schema_(schema) {}

    void ReadExternalTablesInto(std::vector<ExternalTable>& external) { external_ = &external; }

    friend std::string sqlite::CrosstabValuesSql(const ast::Statement& statement);

    void Statement(const ast::Statement& s, Translation& out) {
        if ((s.insert && !s.insert->database.empty()) || (s.select && !s.select->cores.front().intoDatabase.empty()))
            throw SyntaxError(
                "This engine does not write into another database (INTO ... IN); run the statement "
                "on that database, reading this one with IN.",
                s.insert ? messages::kInsert.number : messages::kSelect.number);
        if (s.select) {
            const SelectCore& first = s.select->cores.front();
            if (!first.into.empty()) {
                out.kind = StatementKind::Action;
                Put("CREATE TABLE ");
                PutName(first.into);
                Put(" AS ");
                const std::size_t query = sql_.size();
                Query(*s.select);
                out.makeTable = first.into;
                out.makeTableQuery = sql_.substr(query);
                return;
            }
            out.kind = StatementKind::Query;
            if (s.crosstab) return Crosstab(*s.select, *s.crosstab);
            Query(*s.select);
            return;
        }
        if (s.insert || s.update || s.del) {
            out.kind = StatementKind::Action;
            if (s.insert) Insert(*s.insert);
            else if (s.update) Update(*s.update);
            else Delete(*s.del);
            return;
        }
        out.kind = StatementKind::Definition;
        if (s.procedure) return Procedure(*s.procedure, out);
        if (s.createView) {
            if (!out.parameters.empty())
                throw SyntaxError("A view cannot take parameters; make it a procedure (CREATE PROCEDURE).",
                                  messages::kCreateView.number);
            Put("CREATE VIEW ");
            PutName(s.createView->name);
            if (!s.createView->columns.empty()) {
                Put(" ");
                NameList(s.createView->columns);
            }
            Put(" AS ");
            return Query(*s.createView->query);
        }
        if (s.dropView) {
            Put("DROP VIEW ");
            return PutName(s.dropView->name);
        }
        if (s.createTable) return CreateTable(*s.createTable, out);
        if (s.alterTable) {
            for (const ast::AlterTable& addition : s.moreAdditions) {
                Translation& next = out.then.emplace_back();
                next.kind = StatementKind::Definition;
                Printer(next.sql, schema_).AlterTable(addition, next);
            }
            return AlterTable(*s.alterTable, out);
        }
        if (s.dropTable) {
            Put("DROP TABLE ");
            PutName(s.dropTable->name);
            return DropMetadata(s.dropTable->name, nullptr, out);
        }
        if (s.createIndex) return CreateIndex(*s.createIndex, out);
        const auto& drop = *s.dropIndex;
        const std::string name = SqliteIndexName(drop.table, drop.name);
        out.followUp.push_back("DROP TRIGGER IF EXISTS " + Quote(name + ".insert"));
        out.followUp.push_back("DROP TRIGGER IF EXISTS " + Quote(name + ".update"));
        Put("DROP INDEX ");
        PutName(name);
    }

private:
    void Put(std::string_view text) { sql_ += text; }
    void PutName(std::string_view name) { AppendDelimited(sql_, name, '"'); }

    // ---- expressions --------------------------------------------------------------------

    void Expr(const ast::Expr& e, Mode mode) {
        if (e.dateText) return GeneralDate(e);
        if (e.scaled) {
            Put("(");
            ScaledItself(e);
            return Put(" / 10000.0)");
        }
        ExprItself(e, mode);
    }

    // ---- currency amounts held scaled -----------------------------------------------------

    // `e` as a whole number of ten-thousandths: as it is when it is marked scaled, a numeric
    // literal scaled here, anything else converted as a value written into a Currency column.
    void Scaled(const ast::Expr& e) {
        if (e.scaled) return ScaledItself(e);
        if (const auto literal = ScaledLiteral(e)) return AppendInteger(sql_, *literal);
        Put("pavana_scaled(");
        Expr(e, Mode::Value);
        Put(")");
    }

    // An expression marked scaled. Arithmetic that leaves the currency range (SQLite turns an
    // overflowing whole number into a real one) fails in pavana_currency with Jet's overflow.
    void ScaledItself(const ast::Expr& e) {
        using K = ast::Expr::Kind;
        if (e.kind == K::Unary) {
            Put("pavana_currency(- ");
            Scaled(*e.args[0]);
            return Put(")");
        }
        if (e.kind == K::Binary) {
            const bool product = e.op == "*";
            Put("pavana_currency(");
            for (std::size_t i = 0; i < 2; ++i) {
                if (i) {
                    Put(" ");
                    Put(e.op);
                    Put(" ");
                }
                // A product has one scaled factor; the other is a whole number.
                if (product && !e.args[i]->scaled) Expr(*e.args[i], Mode::Value);
                else Scaled(*e.args[i]);
            }
            return Put(")");
        }
        if (e.kind == K::Function) {
            const FunctionInfo* info = FindFunction(e.name);
            // Min, Max, First and Last give one of their values, which is in the range.
            const std::string_view name = info->jetName;
            const bool exact = name == "Min" || name == "Max" || name == "First" || name == "Last";
            if (!exact) Put("pavana_currency(");
            Put(info->sqliteName);
            Put("(");
            Scaled(*e.args[0]);
            Put(")");
            if (!exact) Put(")");
            return;
        }
        ExprItself(e, Mode::Value);
    }

    // A numeric literal (also negated) scaled exactly; nothing when it has more than four
    // decimals, an exponent or lies beyond the currency range.
    static std::optional<std::int64_t> ScaledLiteral(const ast::Expr& e) {
        using K = ast::Expr::Kind;
        const bool negative = e.kind == K::Unary && e.op == "-" && e.args.size() == 1;
        const ast::Expr& literal = negative ? *e.args[0] : e;
        // The magnitude, counted negative so that the smallest amount fits.
        std::int64_t scaled = 0;
        if (literal.kind == K::Integer) {
            if (__builtin_mul_overflow(-literal.integer, std::int64_t{10000}, &scaled)) return std::nullopt;
        } else if (literal.kind == K::Real) {
            int decimals = -1;
            for (const char c : literal.text) {
                if (c == '.' && decimals < 0) {
                    decimals = 0;
                    continue;
                }
                if (c < '0' || c > '9' || decimals == 4) return std::nullopt;
                if (decimals >= 0) ++decimals;
                if (__builtin_mul_overflow(scaled, std::int64_t{10}, &scaled) ||
                    __builtin_sub_overflow(scaled, std::int64_t{c - '0'}, &scaled))
                    return std::nullopt;
            }
            for (int d = decimals < 0 ? 0 : decimals; d < 4; ++d)
                if (__builtin_mul_overflow(scaled, std::int64_t{10}, &scaled)) return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (negative) return scaled;
        if (scaled == INT64_MIN) return std::nullopt;
        return -scaled;
    }

    // Operands that compare as scaled amounts: at least one is marked scaled and every other
    // is one too or a literal that scales exactly.
    static bool CompareScaled(std::initializer_list<const ast::Expr*> operands) {
        bool any = false;
        for (const ast::Expr* e : operands) {
            if (e->scaled) any = true;
            else if (!ScaledLiteral(*e)) return false;
        }
        return any;
    }

    // A query whose one column gives scaled amounts.
    static bool GivesScaled(const ast::Query& q) {
        const auto& items = q.cores.front().items;
        return items.size() == 1 && items[0].scaled;
    }

    // The left operand of In (sub-query) or a quantified comparison, in the form of the
    // sub-query's column.
    void OperandOf(const ast::Expr& e, const ast::Query& q) {
        if (GivesScaled(q)) return Scaled(e);
        Expr(e, Mode::Value);
    }

    // The expression as it is, before a date it gives is made text.
    void ExprItself(const ast::Expr& e, Mode mode) {
        using K = ast::Expr::Kind;
        switch (e.kind) {
            case K::Null: return Put("NULL");
            case K::Integer: return AppendInteger(sql_, e.integer);
            case K::Real: return Put(e.text);
            case K::String: return AppendDelimited(sql_, e.text, '\'');
            case K::Date: return AppendReal(sql_, e.real);
            case K::Boolean: return Put(e.integer ? "-1" : "0");
            case K::Bytes:
                Put("X'");
                Put(e.text);
                return Put("'");
            case K::Column: Qualified(e.table); return PutName(e.name);
            case K::Star:
                if (!e.table.empty()) Qualified(e.table);
                return Put("*");
            case K::Parameter: Put("?"); return AppendInteger(sql_, e.integer + 1);
            case K::Unary:
                if (e.op == "NOT") {
                    OpenValue(mode);
                    Put("NOT ");
                    Expr(*e.args[0], Mode::Condition);
                    return CloseValue(mode);
                }
                if (e.op == "-") {
                    Put("(- ");
                    Expr(*e.args[0], Mode::Value);
                    return Put(")");
                }
                return Expr(*e.args[0], Mode::Value);
            case K::Binary: return Binary(e, mode);
            case K::Like:
                if (e.negated) {
                    OpenValue(mode);
                    Put("NOT ");
                }
                Call("JetLike", *e.args[0], *e.args[1]);
                if (e.negated) CloseValue(mode);
                return;
            case K::IsNull:
                OpenValue(mode);
                Expr(*e.args[0], Mode::Value);
                Put(e.negated ? " IS NOT NULL" : " IS NULL");
                return CloseValue(mode);
            case K::Between: return Between(e, mode);
            case K::InList: {
                bool scaled = e.args[0]->scaled;
                for (std::size_t i = 1; i < e.args.size(); ++i) scaled = scaled && CompareScaled({e.args[i].get()});
                OpenValue(mode);
                if (scaled) Scaled(*e.args[0]);
                else Expr(*e.args[0], Mode::Value);
                if (CaseBlind(*e.args[0], e.args[1].get())) Put(" COLLATE NOCASE");
                Put(e.negated ? " NOT IN (" : " IN (");
                for (std::size_t i = 1; i < e.args.size(); ++i) {
                    if (i > 1) Put(", ");
                    if (scaled) Scaled(*e.args[i]);
                    else Expr(*e.args[i], Mode::Value);
                }
                Put(")");
                return CloseValue(mode);
            }
            case K::InQuery:
                OpenValue(mode);
                OperandOf(*e.args[0], *e.query);
                Put(e.negated ? " NOT IN (" : " IN (");
                SubQuery(*e.query);
                Put(")");
                return CloseValue(mode);
            case K::Exists:
                OpenValue(mode);
                Put("EXISTS (");
                SubQuery(*e.query);
                Put(")");
                return CloseValue(mode);
            case K::Subquery:
                Put("(");
                SubQuery(*e.query);
                return Put(")");
            case K::Quantified: {
                // SQLite has no ANY/ALL: the sub-query's one column is named and tested row by row.
                // ALL holds when no row fails the comparison or leaves it unknown (Null).
                const bool all = e.text == "ALL";
                OpenValue(mode);
                Put(all ? "NOT EXISTS (SELECT 1 FROM (" : "EXISTS (SELECT 1 FROM (");
                SubQuery(*e.query, "pavana_value");
                Put(all ? ") WHERE (" : ") WHERE ");
                OperandOf(*e.args[0], *e.query);
                Put(" ");
                Put(e.op);
                Put(" \"pavana_value\"");
                Put(all ? ") IS NOT 1)" : ")");
                return CloseValue(mode);
            }
            case K::Function: return Function(e);
        }
        Put("NULL");
    }

    // A query inside an expression, which may refer to the fields of the query around it.
    void SubQuery(const ast::Query& q, const char* firstAlias = nullptr) {
        ++subQueries_;
        Query(q, firstAlias);
        --subQueries_;
    }

    // A truth value of SQLite (1/0/NULL) where a value is wanted becomes the engine's -1/0/NULL:
    // the condition printed between OpenValue and CloseValue is wrapped accordingly.
    void OpenValue(Mode mode) { Put(mode == Mode::Condition ? "(" : "(-("); }
    void CloseValue(Mode mode) { Put(mode == Mode::Condition ? ")" : "))"); }

    void Qualified(const std::string& table) {
        if (table.empty()) return;
        if (!renameFrom_.empty() && SameAsciiText(table, renameFrom_)) PutName(renameTo_);
        else PutName(table);
        Put(".");
    }

    void Call(const char* name, const ast::Expr& a, const ast::Expr& b) {
        Put(name);
        Put("(");
        Expr(a, Mode::Value);
        Put(", ");
        Expr(b, Mode::Value);
        Put(")");
    }

    void Binary(const ast::Expr& e, Mode mode) {
        const ast::Expr& a = *e.args[0];
        const ast::Expr& b = *e.args[1];
        const std::string& op = e.op;
        const bool comparison = op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=";
        if (comparison || op == "AND" || op == "OR") {
            const Mode operands = comparison ? Mode::Value : Mode::Condition;
            const bool scaled = comparison && CompareScaled({&a, &b});
            OpenValue(mode);
            if (scaled) Scaled(a);
            else Expr(a, operands);
            if (comparison && CaseBlind(a, &b)) Put(" COLLATE NOCASE");
            Put(" ");
            Put(op);
            Put(" ");
            if (scaled) Scaled(b);
            else Expr(b, operands);
            return CloseValue(mode);
        }
        if (op == "XOR") return Call("JetXor", a, b);
        if (op == "EQV") return Call("JetEqv", a, b);
        if (op == "IMP") return Call("JetImp", a, b);
        if (op == "&") {
            Put("JetConcat(");
            TextOperand(a);
            Put(", ");
            TextOperand(b);
            return Put(")");
        }
        if (op == "+") return Call("JetAdd", a, b);
        if (op == "/") return Call("JetDivide", a, b);
        if (op == "\\") return Call("JetIntDivide", a, b);
        if (op == "MOD") return Call("JetMod", a, b);
        if (op == "^") return Call("JetPower", a, b);
        Put("(");
        Expr(a, Mode::Value);
        Put(" ");
        Put(op);
        Put(" ");
        Expr(b, Mode::Value);
        Put(")");
    }

    // Text compares without regard to case. A column brings its own collation (text columns
    // are NOCASE), so only comparisons with no column on either side, and no operand that
    // is plainly not text, name the collation; columns keep the use of their indexes.
    static bool CaseBlind(const ast::Expr& a, const ast::Expr* b) {
        using K = ast::Expr::Kind;
        auto plain = [](const ast::Expr& e) {
            return e.kind == K::Column || e.kind == K::Integer || e.kind == K::Real || e.kind == K::Date ||
                   e.kind == K::Boolean || e.kind == K::Null;
        };
        return !plain(a) && !(b && plain(*b));
    }

    // A sort or grouping key: text sorts and groups without regard to case, also when it is
    // computed (a column brings its own collation; a number is a column's position).
    void SortKey(const ast::Expr& e) {
        if (e.scaled) ScaledItself(e);
        else Expr(e, Mode::Value);
        if (CaseBlind(e, nullptr)) Put(" COLLATE NOCASE");
    }

    // Whether the expression is plainly a date: a date literal or a built-in that gives one.
    // Which other expressions give dates depends on the schema: the engine marks them
    // (Expr::dateText) where they become text.
    static bool IsDate(const ast::Expr& e) {
        if (e.kind == ast::Expr::Kind::Date) return true;
        if (e.kind != ast::Expr::Kind::Function) return false;
        const FunctionInfo* info = FindFunction(e.name);
        if (!info) return false;
        for (const char* name : {"Now", "Date", "Time", "DateAdd", "DateSerial", "TimeSerial", "DateValue", "TimeValue",
                                 "CDate", "CVDate"})
            if (std::string_view(info->jetName) == name) return true;
        return false;
    }

    // An operand that becomes text: a date is written as the platform writes it (1/15/2024,
    // 1/15/2024 8:30:00 PM, 8:30:00 PM).
    void TextOperand(const ast::Expr& e) {
        if (IsDate(e)) return GeneralDate(e);
        Expr(e, Mode::Value);
    }

    // A date as text: Jet's general date in the run's format settings (the date alone at
    // midnight, the time alone on day 0). Null stays Null.
    void GeneralDate(const ast::Expr& e) {
        Put("JetFormat(");
        ExprItself(e, Mode::Value);
        Put(", 'General Date')");
    }

    static bool NumericLiteral(const ast::Expr& e, double& value) {
        using K = ast::Expr::Kind;
        if (e.kind == K::Integer) value = static_cast<double>(e.integer);
        else if (e.kind == K::Date) value = e.real;
        else if (e.kind == K::Real) std::from_chars(e.text.data(), e.text.data() + e.text.size(), value);
        else return false;
        return true;
    }

    // Between accepts its bounds in either order: literal bounds are put in order here.
    void Between(const ast::Expr& e, Mode mode) {
        const ast::Expr* low = e.args[1].get();
        const ast::Expr* high = e.args[2].get();
        double l = 0, h = 0;
        if (NumericLiteral(*low, l) && NumericLiteral(*high, h) && l > h) std::swap(low, high);
        const bool scaled = CompareScaled({e.args[0].get(), low, high});
        auto operand = [&](const ast::Expr& x) {
            if (scaled) Scaled(x);
            else Expr(x, Mode::Value);
        };
        OpenValue(mode);
        operand(*e.args[0]);
        if (CaseBlind(*e.args[0], low)) Put(" COLLATE NOCASE");
        Put(e.negated ? " NOT BETWEEN " : " BETWEEN ");
        operand(*low);
        Put(" AND ");
        operand(*high);
        CloseValue(mode);
    }

    void Function(const ast::Expr& e) {
        const FunctionInfo* info = FindFunction(e.name);
        const std::string_view name = info->jetName;
        if (name == "IIf") {
            Put("(CASE WHEN ");
            Expr(*e.args[0], Mode::Condition);
            Put(" THEN ");
            Expr(*e.args[1], Mode::Value);
            Put(" ELSE ");
            Expr(*e.args[2], Mode::Value);
            return Put(" END)");
        }
        if (name == "Nz") {
            Put("coalesce(");
            Expr(*e.args[0], Mode::Value);
            Put(", ");
            if (e.args.size() > 1) Expr(*e.args[1], Mode::Value);
            else Put("''");
            return Put(")");
        }
        if (name == "Switch") {
            if (e.args.size() % 2 != 0)
                throw SyntaxError("Wrong number of arguments used with function in query expression 'Switch'.",
                                  messages::kQueryExpression);
            Put("(CASE");
            for (std::size_t i = 0; i < e.args.size(); i += 2) {
                Put(" WHEN ");
                Expr(*e.args[i], Mode::Condition);
                Put(" THEN ");
                Expr(*e.args[i + 1], Mode::Value);
            }
            return Put(" END)");
        }
        if (name == "Choose") {
            Put("(CASE JetChooseIndex(");
            Expr(*e.args[0], Mode::Value);
            Put(")");
            for (std::size_t i = 1; i < e.args.size(); ++i) {
                Put(" WHEN ");
                AppendInteger(sql_, static_cast<std::int64_t>(i));
                Put(" THEN ");
                Expr(*e.args[i], Mode::Value);
            }
            return Put(" END)");
        }
        // CStr, Str and Format without a format give a date as its general date; CStr keeps
        // refusing Null.
        if ((name == "CStr" || name == "Str" || (name == "Format" && e.args.size() == 1)) &&
            (IsDate(*e.args[0]) || e.args[0]->dateText)) {
            Put(name == "CStr" ? "JetCStr(" : "(");
            TextOperand(*e.args[0]);
            return Put(")");
        }
        Put(info->sqliteName);
        if (e.star) return Put("(*)");
        Put("(");
        for (std::size_t i = 0; i < e.args.size(); ++i) {
            if (i) Put(", ");
            Expr(*e.args[i], Mode::Value);
        }
        Put(")");
    }

    // ---- queries ------------------------------------------------------------------------

    // `firstAlias` names the first column of every core (used for ANY/ALL sub-queries).
    void Query(const ast::Query& q, const char* firstAlias = nullptr) {
        const bool single = q.cores.size() == 1;
        bool unionDistinct = false;
        for (const bool all : q.unionAll) unionDistinct = unionDistinct || !all;
        for (std::size_t i = 0; i < q.cores.size(); ++i) {
            if (i) Put(q.unionAll[i - 1] ? " UNION ALL " : " UNION ");
            const SelectCore& core = q.cores[i];
            if (!single && core.top) {
                Put("SELECT * FROM (");
                Core(core, firstAlias, unionDistinct);
                Limit(core, "");
                Put(")");
            } else {
                Core(core, firstAlias, unionDistinct);
            }
        }
        if (!q.orderBy.empty()) {
            Put(" ORDER BY ");
            for (std::size_t i = 0; i < q.orderBy.size(); ++i) {
                if (i) Put(", ");
                SortKey(*q.orderBy[i].expr);
                if (q.orderBy[i].descending) Put(" DESC");
            }
        }
        if (single && q.cores[0].top) {
            if (subQueries_ == 0 && TiesCount(q)) return TopWithTies(q);
            Limit(q.cores[0], firstAlias);
        }
    }

    // TOP n of an ordered query returns the rows that tie with the n-th row too. The
    // sort keys are ranked inside the query itself, so they must be expressions of its
    // fields: a sort by a column number or by a name the SELECT list gives is limited plainly,
    // and so is a query inside an expression, whose LIMIT could not see the fields of the
    // query around it.
    static bool TiesCount(const ast::Query& q) {
        const SelectCore& core = q.cores.front();
        if (q.orderBy.empty() || core.topPercent || core.distinct == Distinct::Distinct) return false;
        for (const auto& key : q.orderBy) {
            const ast::Expr& e = *key.expr;
            if (e.kind == ast::Expr::Kind::Integer) return false;
            if (e.kind == ast::Expr::Kind::Column && e.table.empty())
                for (const auto& item : core.items)
                    if (SameAsciiText(item.alias, e.name)) return false;
        }
        return true;
    }

    void TopWithTies(const ast::Query& q) {
        Put(" LIMIT (SELECT count(*) FROM (SELECT rank() OVER (ORDER BY ");
        for (std::size_t i = 0; i < q.orderBy.size(); ++i) {
            if (i) Put(", ");
            SortKey(*q.orderBy[i].expr);
            if (q.orderBy[i].descending) Put(" DESC");
        }
        Put(") AS \"pavana_rank\"");
        CoreBody(q.cores.front());
        Put(") WHERE \"pavana_rank\" <= ");
        AppendInteger(sql_, *q.cores.front().top);
        Put(")");
    }

    void Limit(const SelectCore& core, const char* firstAlias) {
        if (!core.topPercent) {
            Put(" LIMIT ");
            return AppendInteger(sql_, *core.top);
        }
        // TOP n PERCENT: n per cent of the rows, rounded up.
        Put(" LIMIT (SELECT (count(*) * ");
        AppendInteger(sql_, *core.top);
        Put(" + 99) / 100 FROM (");
        Core(core, firstAlias);
        Put("))");
    }

    // `unionDistinct`: the core's rows are compared with those of the other cores of a UNION.
    void Core(const SelectCore& core, const char* firstAlias, bool unionDistinct = false) {
        Put("SELECT ");
        if (core.distinct == Distinct::Distinct) Put("DISTINCT ");
        // Rows that are told apart by their values tell computed text apart without regard
        // to case, as they do text columns.
        const bool distinctRows = unionDistinct || core.distinct == Distinct::Distinct;
        for (std::size_t i = 0; i < core.items.size(); ++i) {
            if (i) Put(", ");
            const SelectItem& item = core.items[i];
            if (item.scaled) Scaled(*item.expr);
            else Expr(*item.expr, Mode::Value);
            if (distinctRows && CaseBlind(*item.expr, nullptr)) Put(" COLLATE NOCASE");
            using K = ast::Expr::Kind;
            if (i == 0 && firstAlias) {
                Put(" AS ");
                PutName(firstAlias);
            } else if (!item.alias.empty()) {
                Put(" AS ");
                PutName(item.alias);
            } else if (item.expr->kind == K::Column && item.expr->scaled && !item.scaled) {
                // A currency column given as an amount keeps its name.
                Put(" AS ");
                PutName(item.expr->name);
            } else if (item.expr->kind != K::Column && item.expr->kind != K::Star) {
                Put(" AS \"Expr");
                AppendInteger(sql_, static_cast<std::int64_t>(1000 + i));
                Put("\"");
            }
        }
        if (crosstab_ && &core == crosstabCore_) CrosstabColumns(*crosstab_);
        CoreBody(core);
    }

    // A crosstab query: its SELECT with one column per pivot value after the row headings,
    // its rows in the order of the headings unless it orders them itself.
    void Crosstab(const ast::Query& q, const ast::Crosstab& crosstab) {
        if (crosstab.columns.empty()) throw SyntaxError(kCrosstabValuesNeeded, messages::kTransform.number);
        crosstab_ = &crosstab;
        crosstabCore_ = &q.cores.front();
        Query(q);
        crosstab_ = nullptr;
        crosstabCore_ = nullptr;
        if (!q.orderBy.empty()) return;
        Put(" ORDER BY ");
        const auto& keys = q.cores.front().groupBy;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (i) Put(", ");
            SortKey(*keys[i]);
        }
    }

    // The pivot values of a crosstab's rows, each once, in order: the query that finds its
    // columns when the statement does not write them.
    void CrosstabValues(const ast::Query& q, const ast::Crosstab& crosstab) {
        const SelectCore& core = q.cores.front();
        Put("SELECT DISTINCT ");
        Expr(*crosstab.pivot, Mode::Value);
        FromAndWhere(core.from, core.where.get());
        Put(" ORDER BY 1");
    }

    // Each cell is the aggregate of the rows of its pivot value; a cell without rows is Null.
    void CrosstabColumns(const ast::Crosstab& crosstab) {
        const ast::Expr& value = *crosstab.value;
        const FunctionInfo* aggregate = FindFunction(value.name);
        for (const ExprPtr& column : crosstab.columns) {
            // The column of Null ("<>") takes the rows whose pivot is Null.
            const auto when = [&] {
                Put("CASE WHEN (");
                Expr(*crosstab.pivot, Mode::Value);
                if (column->kind == ast::Expr::Kind::Null) {
                    Put(") IS NULL THEN ");
                    return;
                }
                Put(") = (");
                Expr(*column, Mode::Value);
                Put(") THEN ");
            };
            Put(", CASE WHEN count(");
            when();
            Put("1 END) > 0 THEN ");
            Put(aggregate->sqliteName);
            Put("(");
            when();
            if (value.star) Put("1");
            else Expr(*value.args[0], Mode::Value);
            Put(" END) END AS ");
            PutName(ColumnHeading(*column));
        }
    }

    // The name of a crosstab column: its value as CStr writes it under the user's settings
    // (a date as the general date, a number with the decimal separator).
    static std::string ColumnHeading(const ast::Expr& value) {
        using K = ast::Expr::Kind;
        double number = 0;
        switch (value.kind) {
            case K::String: return value.text;
            case K::Integer: return std::to_string(value.integer);
            case K::Real: NumericLiteral(value, number); return support::NumberText(number);
            case K::Date: return support::DateText(value.real);
            case K::Boolean: return value.integer ? "True" : "False";
            case K::Null: return "<>";
            case K::Unary:
                if (value.args[0]->kind != K::Integer && value.args[0]->kind != K::Real) return "Expr";
                if (value.op == "-") return "-" + ColumnHeading(*value.args[0]);
                if (value.op == "+") return ColumnHeading(*value.args[0]);
                return "Expr";
            default: return "Expr";
        }
    }

    // " FROM ... WHERE ...", each part only when there is one.
    void FromAndWhere(const std::vector<TableRefPtr>& from, const ast::Expr* where) {
        if (!from.empty()) {
            Put(" FROM ");
            FromList(from);
        }
        if (where) {
            Put(" WHERE ");
            Expr(*where, Mode::Condition);
        }
    }

    // FROM, WHERE, GROUP BY and HAVING of a core.
    void CoreBody(const SelectCore& core) {
        FromAndWhere(core.from, core.where.get());
        if (core.distinct == Distinct::DistinctRow) DistinctRows(core);
        if (!core.groupBy.empty()) {
            Put(" GROUP BY ");
            for (std::size_t i = 0; i < core.groupBy.size(); ++i) {
                if (i) Put(", ");
                SortKey(*core.groupBy[i]);
            }
        }
        if (core.having) {
            Put(" HAVING ");
            Expr(*core.having, Mode::Condition);
        }
    }

    // ---- DISTINCTROW --------------------------------------------------------------------

    static void Tables(const TableRef& t, std::vector<const TableRef*>& out) {
        if (t.kind == TableRef::Kind::Join) {
            Tables(*t.left, out);
            Tables(*t.right, out);
        } else {
            out.push_back(&t);
        }
    }

    static bool HasAggregate(const ast::Expr& e) {
        if (e.kind == ast::Expr::Kind::Function) {
            const FunctionInfo* info = FindFunction(e.name);
            if (info && info->aggregate) return true;
        }
        for (const auto& a : e.args)
            if (HasAggregate(*a)) return true;
        return false;
    }

    // The names (alias or table name) the expression takes fields from; false when a field
    // names no table, so that its table is unknown.
    static bool FieldTables(const ast::Expr& e, std::vector<std::string>& names) {
        using K = ast::Expr::Kind;
        if (e.kind == K::Column || e.kind == K::Star) {
            if (e.table.empty()) return false;
            names.push_back(e.table);
        }
        for (const auto& a : e.args)
            if (!FieldTables(*a, names)) return false;
        return true;
    }

    // DISTINCTROW keeps each combination of the records of the tables whose fields are
    // selected once, however many records of the other tables join them: the query is
    // grouped by those records. With fields of every table, an aggregate or a GROUP BY it
    // changes nothing.
    void DistinctRows(const SelectCore& core) {
        if (!core.groupBy.empty() || core.having) return;
        std::vector<const TableRef*> tables;
        for (const auto& item : core.from) Tables(*item, tables);
        if (tables.size() < 2) return;
        std::vector<std::string> names;
        for (const auto& item : core.items)
            if (HasAggregate(*item.expr) || !FieldTables(*item.expr, names)) return;
        std::vector<const TableRef*> selected;
        for (const TableRef* t : tables) {
            const std::string& reference = t->alias.empty() ? t->name : t->alias;
            bool used = false;
            for (const auto& n : names) used = used || SameAsciiText(n, reference);
            if (!used) continue;
            if (t->kind != TableRef::Kind::Table) return;
            selected.push_back(t);
        }
        if (selected.empty() || selected.size() == tables.size()) return;
        Put(" GROUP BY ");
        for (std::size_t i = 0; i < selected.size(); ++i) {
            if (i) Put(", ");
            PutName(selected[i]->alias.empty() ? selected[i]->name : selected[i]->alias);
            Put(".rowid");
        }
    }

    void FromList(const std::vector<TableRefPtr>& from) {
        for (std::size_t i = 0; i < from.size(); ++i) {
            if (i) Put(", ");
            Table(*from[i]);
        }
    }

    void Table(const TableRef& t) {
        switch (t.kind) {
            case TableRef::Kind::Table:
                // SQLite runs the FROM of an UPDATE as a sub-query, where the rowid of a
                // table is out of reach; the renamed target carries it as a column.
                if (&t == renamedTable_) {
                    Put("(SELECT rowid AS \"pavana_rowid\", * FROM ");
                    PutName(t.name);
                    Put(") AS ");
                    PutName(renameTo_);
                    return;
                }
                if (!t.database.empty()) {
                    // A table of another database is read from its copy, under its own name.
                    Put("\"temp\".");
                    PutName(ExternalCopy(t));
                    Put(" AS ");
                    PutName(t.alias.empty() ? t.name : t.alias);
                    return;
                }
                PutName(t.name);
                if (!t.alias.empty()) {
                    Put(" AS ");
                    PutName(t.alias);
                }
                return;
            case TableRef::Kind::Derived:
                Put("(");
                Query(*t.query);
                Put(")");
                if (!t.alias.empty()) {
                    Put(" AS ");
                    PutName(t.alias);
                }
                return;
            case TableRef::Kind::Join: {
                static constexpr const char* kJoins[] = {" INNER JOIN ", " LEFT JOIN ", " RIGHT JOIN "};
                if (t.parenthesised) Put("(");
                Table(*t.left);
                Put(kJoins[static_cast<int>(t.joinType)]);
                Table(*t.right);
                Put(" ON ");
                Expr(*t.on, Mode::Condition);
                if (t.parenthesised) Put(")");
                return;
            }
        }
    }

    // The table of a FROM tree that `name` (a table name or alias) refers to, or nullptr.
    static const TableRef* FindTable(const TableRef& t, std::string_view name) {
        if (t.kind == TableRef::Kind::Table)
            return SameAsciiText(t.alias.empty() ? t.name : t.alias, name) ? &t : nullptr;
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

    // A value written into column `column` (a quoted name or a position) of `table` passes
    // through the engine's conversion to the column's stored form (StoreConversion.h).
    // A constant already in the stored form of its column's known type (`type`) needs no
    // conversion.
    static bool Unconverted(const ast::Expr& e, const std::optional<JetType>& type) {
        using K = ast::Expr::Kind;
        // A Null written into a Yes/No field is No: the conversion gives it.
        if (e.kind == K::Null) return type != JetType::Boolean;
        if (!type) return true;
        const bool negative = e.kind == K::Unary && e.op == "-" && e.args.size() == 1 && e.args[0]->kind == K::Integer;
        const ast::Expr& literal = negative ? *e.args[0] : e;
        switch (*type) {
            // A number becomes text under the format settings; text and whole numbers are
            // already written as they are stored.
            case JetType::Text:
            case JetType::Memo: return literal.kind == K::String || literal.kind == K::Integer;
            case JetType::Binary:
            case JetType::LongBinary:
            case JetType::Guid:
            case JetType::Decimal: return true;
            default: break;
        }
        if (literal.kind == K::Integer || literal.kind == K::Boolean) {
            const double v = static_cast<double>(negative ? -literal.integer : literal.integer);
            switch (*type) {
                case JetType::Boolean: return v == -1 || v == 0;
                case JetType::Byte: return v >= 0 && v <= 255;
                case JetType::Integer: return v >= -32768 && v <= 32767;
                case JetType::Long: return v >= -2147483648.0 && v <= 2147483647.0;
                case JetType::Date: return v > -657435 && v < 2958466;
                case JetType::Single:
                case JetType::Double: return true;
                default: return false;
            }
        }
        if (literal.kind == K::Real && !negative) return *type == JetType::Double;
        if (literal.kind == K::Date && !negative) return *type == JetType::Date || *type == JetType::Double;
        return false;
    }

    // The column's type is looked up once per value, and its quoted name made only where the
    // text names it.
    void StoredExpr(const ast::Expr& e, const std::string& table, const std::string& column) {
        if (e.scaled) return StoredLookedUp([&] { ScaledItself(e); }, table, QuoteString(column), true);
        if (BeyondDouble(e)) {
            StoredLiteral(e, table, QuoteString(column));
            return;
        }
        if (!schema_) return StoredLookedUp([&] { Expr(e, Mode::Value); }, table, QuoteString(column), false);
        const std::optional<JetType> type = schema_.columnType(table, column);
        if (Unconverted(e, type)) return Expr(e, Mode::Value);
        StoredAs(type, [&] { Expr(e, Mode::Value); });
    }

    // The scaled amount of a literal with more significant digits than a double holds to its
    // fourth decimal (922337203685477.5807); nothing for any other expression.
    static std::optional<std::int64_t> BeyondDouble(const ast::Expr& e) {
        constexpr std::int64_t kDoubleHeld = 1000000000000000;  // 10^15 ten-thousandths
        const auto scaled = ScaledLiteral(e);
        if (!scaled || (*scaled > -kDoubleHeld && *scaled < kDoubleHeld)) return std::nullopt;
        return scaled;
    }

    // A literal beyond a double is written as a scaled amount, so that a Currency column takes
    // it exactly. `column` is the column's quoted name or its position in the table.
    bool StoredLiteral(const ast::Expr& e, const std::string& table, const std::string& column) {
        const auto scaled = BeyondDouble(e);
        if (!scaled) return false;
        StoredLookedUp([&] { AppendInteger(sql_, *scaled); }, table, column, true);
        return true;
    }

    // Value `value` converted for column `column` of `table`: with the schema, by the function
    // of the column's type (none for a column that takes values as they are); without it, by
    // the conversion that looks the column up when the statement runs.
    void Stored(const std::function<void()>& value, const std::string& table, const std::string& column) {
        if (schema_) return StoredAs(schema_.columnType(table, column), value);
        StoredLookedUp(value, table, QuoteString(column), false);
    }

    // Value `value` converted by the function of column type `type`.
    void StoredAs(const std::optional<JetType>& type, const std::function<void()>& value) {
        const char* function = type ? StoreFunction(*type) : nullptr;
        if (function == nullptr) return value();
        Put(function);
        Put("(");
        value();
        Put(")");
    }

    // `column` is the column's quoted name or its position in the table; `scaled`: the value is
    // a scaled currency amount, which a Currency column takes as it is.
    void StoredLookedUp(const std::function<void()>& value, const std::string& table, const std::string& column,
                        bool scaled) {
        Put(scaled ? "pavana_store_scaled(" : "pavana_store(");
        value();
        Put(", ");
        Put(QuoteString(table));
        Put(", ");
        Put(column);
        Put(")");
    }

    // INSERT without a column list: the values go to the table's columns in their order,
    // `tableColumns` when the schema tells them.
    void StoredInPlace(const ast::Expr& e, const std::string& table, std::size_t position,
                       const std::optional<std::vector<std::string>>& tableColumns) {
        if (!tableColumns) {
            if (StoredLiteral(e, table, std::to_string(position))) return;
            return StoredLookedUp([&] { Expr(e, Mode::Value); }, table, std::to_string(position), false);
        }
        // A value beyond the table's columns is refused by SQLite itself.
        if (position >= tableColumns->size()) return Expr(e, Mode::Value);
        StoredExpr(e, table, (*tableColumns)[position]);
    }

    void Insert(const ast::Insert& insert) {
        // INSERT ... SELECT into named columns takes the query's rows through a common table
        // expression, so that each value can be converted on its way in.
        const bool convertQuery = insert.query && !insert.columns.empty();
        if (convertQuery) {
            Put("WITH \"pavana_source\" (");
            for (std::size_t i = 0; i < insert.columns.size(); ++i) {
                if (i) Put(", ");
                Put("\"c");
                AppendInteger(sql_, static_cast<std::int64_t>(i));
                Put("\"");
            }
            Put(") AS (");
            Query(*insert.query);
            Put(") ");
        }
        Put("INSERT INTO ");
        PutName(insert.table);
        if (!insert.columns.empty()) {
            Put(" (");
            for (std::size_t i = 0; i < insert.columns.size(); ++i) {
                if (i) Put(", ");
                PutName(insert.columns[i]);
            }
            Put(")");
        }
        if (convertQuery) {
            Put(" SELECT ");
            for (std::size_t i = 0; i < insert.columns.size(); ++i) {
                if (i) Put(", ");
                const auto& items = insert.query->cores.front().items;
                const auto column = [&] {
                    Put("\"c");
                    AppendInteger(sql_, static_cast<std::int64_t>(i));
                    Put("\"");
                };
                if (i < items.size() && items[i].scaled)
                    StoredLookedUp(column, insert.table, QuoteString(insert.columns[i]), true);
                else Stored(column, insert.table, insert.columns[i]);
            }
            Put(" FROM \"pavana_source\"");
            return;
        }
        if (insert.query) {
            Put(" ");
            return Query(*insert.query);
        }
        Put(" VALUES (");
        std::optional<std::vector<std::string>> tableColumns;
        if (insert.columns.empty() && schema_ && schema_.columnNames) tableColumns = schema_.columnNames(insert.table);
        for (std::size_t i = 0; i < insert.values.size(); ++i) {
            if (i) Put(", ");
            if (insert.columns.empty()) StoredInPlace(*insert.values[i], insert.table, i, tableColumns);
            else if (i < insert.columns.size()) StoredExpr(*insert.values[i], insert.table, insert.columns[i]);
            else Expr(*insert.values[i], Mode::Value);
        }
        Put(")");
    }

    void Sets(const ast::Update& update, const std::string& table) {
        for (std::size_t i = 0; i < update.sets.size(); ++i) {
            if (i) Put(", ");
            PutName(update.sets[i].column);
            Put(" = ");
            StoredExpr(*update.sets[i].value, table, update.sets[i].column);
        }
    }

    void Update(const ast::Update& update) {
        const TableRef& source = *update.source;
        if (source.kind == TableRef::Kind::Table) {
            Put("UPDATE ");
            Table(source);
            Put(" SET ");
            Sets(update, source.name);
            if (update.where) {
                Put(" WHERE ");
                Expr(*update.where, Mode::Condition);
            }
            return;
        }
        if (source.kind != TableRef::Kind::Join) messages::Raise(messages::kNotUpdatable);
        // UPDATE a INNER JOIN b ON ... SET ...: the table whose fields are set is updated; the
        // join, with that table renamed, becomes the FROM of SQLite's UPDATE and is tied to the
        // updated row by its rowid.
        std::string targetName;
        for (const auto& set : update.sets) {
            if (set.table.empty()) continue;
            if (targetName.empty()) targetName = set.table;
            else if (!SameAsciiText(targetName, set.table)) messages::Raise(messages::kNotUpdatable);
        }
        const TableRef* target = targetName.empty() ? FirstTable(source) : FindTable(source, targetName);
        if (!target) messages::Raise(messages::kNotUpdatable);
        const std::string reference = target->alias.empty() ? target->name : target->alias;
        Put("UPDATE ");
        PutName(target->name);
        if (!target->alias.empty()) {
            Put(" AS ");
            PutName(target->alias);
        }
        Put(" SET ");
        Sets(update, target->name);
        renameFrom_ = reference;
        renameTo_ = "pavana_target";
        renamedTable_ = target;
        Put(" FROM ");
        Table(source);
        renameFrom_.clear();
        renamedTable_ = nullptr;
        Put(" WHERE ");
        PutName(reference);
        Put(".rowid = \"pavana_target\".\"pavana_rowid\"");
        if (update.where) {
            Put(" AND ");
            Expr(*update.where, Mode::Condition);
        }
    }

    void Delete(const ast::Delete& del) {
        const bool single = del.from.size() == 1 && del.from[0]->kind == TableRef::Kind::Table;
        if (single) {
            const TableRef& t = *del.from[0];
            if (!del.target.empty() && !SameAsciiText(del.target, t.alias.empty() ? t.name : t.alias) &&
                !SameAsciiText(del.target, t.name))
                messages::Raise(messages::kDeleteTarget);
            Put("DELETE FROM ");
            Table(t);
            if (del.where) {
                Put(" WHERE ");
                Expr(*del.where, Mode::Condition);
            }
            return;
        }
        // Deleting through a join: the rows of the target table that the join selects.
        if (del.target.empty()) messages::Raise(messages::kDeleteTarget);
        const TableRef* target = nullptr;
        for (const auto& item : del.from)
            if (!target) target = FindTable(*item, del.target);
        if (!target) messages::Raise(messages::kDeleteTarget);
        Put("DELETE FROM ");
        PutName(target->name);
        Put(" WHERE rowid IN (SELECT ");
        PutName(target->alias.empty() ? target->name : target->alias);
        Put(".rowid");
        FromAndWhere(del.from, del.where.get());
        Put(")");
    }

    // ---- DDL ----------------------------------------------------------------------------

    static bool IsText(const ColumnType& t) { return t.type == JetType::Text || t.type == JetType::Memo; }

    void Column(const ColumnDef& c, bool rowidCounter, bool forceNotNull, bool allowKeys, const std::string& table,
                Translation& out) {
        PutName(c.name);
        Put(" ");
        if (rowidCounter) {
            if (c.defaultValue) messages::Raise(messages::kFieldDefinition);
            Put("INTEGER PRIMARY KEY AUTOINCREMENT");
        } else if (&c == keyedCounter_) {
            if (c.defaultValue) messages::Raise(messages::kFieldDefinition);
            Put("COUNTER");
            Put(sqlite::SqliteTypeChecks(JetType::Long, Quote(c.name)));
        } else {
            DeclaredType(c);
        }
        const bool yesNo = c.type.type == JetType::Boolean;
        if (c.defaultValue) {
            Put(" DEFAULT (");
            // A Currency column holds its amounts scaled by 10,000.
            if (c.scaledDefault) Scaled(*c.defaultValue);
            else Expr(*c.defaultValue, Mode::Value);
            Put(")");
        } else if (yesNo) {
            // Written without parentheses, unlike a default the statement gives, so that a
            // rebuild that changes the type knows it for the engine's own.
            Put(" DEFAULT 0");
        }
        // A Yes/No field holds no Null: one written into it is No (or its default), as a
        // Jet record keeps the value in its null mask.
        if (yesNo) Put(" NOT NULL ON CONFLICT REPLACE");
        else if (c.notNull || forceNotNull) Put(" NOT NULL");
        for (const Constraint& k : c.constraints) {
            if (k.kind == ConstraintKind::PrimaryKey && rowidCounter) continue;
            if (k.kind == ConstraintKind::NotNull) {
                if (!c.notNull && !forceNotNull && !yesNo) Put(" NOT NULL");
                continue;
            }
            if (!allowKeys && (k.kind == ConstraintKind::PrimaryKey || k.kind == ConstraintKind::Unique)) {
                const std::string name = k.name.empty() ? c.name : k.name;
                out.followUp.push_back("CREATE UNIQUE INDEX " + Quote(SqliteIndexName(table, name)) + " ON " +
                                       Quote(table) + " (" + Quote(c.name) + ")");
                if (k.kind == ConstraintKind::PrimaryKey) NullTriggers(table, name, {c.name}, out);
                continue;
            }
            if (k.kind == ConstraintKind::Check) {
                Put(" ");
                Check(table, k);
                continue;
            }
            if (!k.name.empty()) {
                Put(" CONSTRAINT ");
                PutName(k.name);
            }
            // With a counter as the rowid, another column's primary key is kept as a unique key.
            if (k.kind == ConstraintKind::PrimaryKey) Put(counterIsRowid_ ? " UNIQUE" : " PRIMARY KEY");
            else if (k.kind == ConstraintKind::Unique) Put(" UNIQUE");
            else References(k);
        }
    }

    // The declared type of a column that is not the rowid counter, with what keeps its values
    // in shape: the collation of text and the length check of sized text.
    void DeclaredType(const ColumnDef& c) {
        Put(sqlite::SqliteDeclaredType(c.type));
        if (IsText(c.type)) Put(" COLLATE NOCASE");
        // SQLite does not limit a declared length; the check makes a longer text fail as
        // Jet's field-too-small does (SqliteErrors.cpp knows the constraint's name).
        if (c.type.type == JetType::Text && c.type.size > 0) {
            Put(" CONSTRAINT \"pavana_size\" CHECK (length(");
            PutName(c.name);
            Put(") <= ");
            AppendInteger(sql_, c.type.size);
            Put(")");
        }
        // Likewise the type checks make a value of another kind fail as Jet's conversion does.
        Put(sqlite::SqliteTypeChecks(c.type.type, Quote(c.name)));
    }

    // Triggers that keep Null out of the columns of index `index` (WITH PRIMARY, DISALLOW NULL).
    static void NullTriggers(const std::string& table, const std::string& index,
                             const std::vector<std::string>& columns, Translation& out) {
        const std::string name = SqliteIndexName(table, index);
        std::string anyNull;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i) anyNull += " OR ";
            anyNull += "NEW." + Quote(columns[i]) + " IS NULL";
        }
        for (const char* event : {"insert", "update"})
            out.followUp.push_back("CREATE TRIGGER " + Quote(name + "." + event) + " BEFORE " + Upper(event) + " ON " +
                                   Quote(table) + " WHEN " + anyNull +
                                   " BEGIN SELECT RAISE(ABORT, 'Index or primary key cannot contain a Null "
                                   "value.'); END");
    }

    // ---- column metadata ----------------------------------------------------------------

    static std::string DefaultLiteral(const ColumnDef& c) {
        return c.defaultValue ? QuoteString(c.defaultText) : std::string("NULL");
    }

    // The metadata rows of a new table replace whatever rows an earlier table of that name left.
    static void CreateTableMetadata(const ast::CreateTable& create, Translation& out) {
        out.metadata.push_back(kCreateColumnMetadata);
        out.metadata.push_back("DELETE FROM pavana_columns WHERE table_name = " + QuoteString(create.name));
        for (const ColumnDef& c : create.columns)
            out.metadata.push_back("INSERT INTO pavana_columns (table_name, column_name, default_value) VALUES (" +
                                   QuoteString(create.name) + ", " + QuoteString(c.name) + ", " + DefaultLiteral(c) +
                                   ")");
    }

    // A column added or altered: its default is set when the statement gives one (an altered
    // column keeps its default otherwise); its zero-length rule stays.
    static void ColumnMetadata(const std::string& table, const ColumnDef& c, bool altered, Translation& out) {
        out.metadata.push_back(kCreateColumnMetadata);
        std::string upsert = "INSERT INTO pavana_columns (table_name, column_name, default_value) VALUES (" +
                             QuoteString(table) + ", " + QuoteString(c.name) + ", " + DefaultLiteral(c) +
                             ") ON CONFLICT (table_name, column_name) DO ";
        if (altered && !c.defaultValue) upsert += "NOTHING";
        else upsert += "UPDATE SET default_value = excluded.default_value";
        out.metadata.push_back(std::move(upsert));
    }

    static void DropMetadata(const std::string& table, const std::string* column, Translation& out) {
        out.metadata.push_back(kCreateColumnMetadata);
        std::string del = "DELETE FROM pavana_columns WHERE table_name = " + QuoteString(table);
        if (column) del += " AND column_name = " + QuoteString(*column);
        out.metadata.push_back(std::move(del));
        if (column) return;
        out.metadata.push_back(kCreateCounters);
        out.metadata.push_back(std::string("DELETE FROM ") + kCounterTable +
                               " WHERE table_name = " + QuoteString(table));
    }

    void NameList(const std::vector<std::string>& names) {
        Put("(");
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i) Put(", ");
            PutName(names[i]);
        }
        Put(")");
    }

    void References(const Constraint& k) {
        Put(" REFERENCES ");
        PutName(k.refTable);
        if (!k.refColumns.empty()) {
            Put(" ");
            NameList(k.refColumns);
        }
        if (k.onUpdate != ReferentialAction::Refuse) Put(ActionText(" ON UPDATE ", k.onUpdate));
        if (k.onDelete != ReferentialAction::Refuse) Put(ActionText(" ON DELETE ", k.onDelete));
    }

    static std::string ActionText(const char* event, ReferentialAction action) {
        return std::string(event) + (action == ReferentialAction::Cascade ? "CASCADE" : "SET NULL");
    }

    static bool HasQuery(const ast::Expr& e) {
        if (e.query) return true;
        return std::any_of(e.args.begin(), e.args.end(), [](const ExprPtr& a) { return HasQuery(*a); });
    }

    // A CHECK constraint of table `table`. Its SQLite name carries the table and the rule's
    // name (its text when it has none), which the engine's message of a refused row quotes
    // (kCheckPrefix).
    void Check(const std::string& table, const Constraint& k) {
        if (HasQuery(*k.check))
            throw SyntaxError(
                "A CHECK constraint cannot hold a subquery in this engine; check the related "
                "records with a relationship (REFERENCES) instead.",
                messages::kConstraint.number);
        Put("CONSTRAINT ");
        PutName(std::string(kCheckPrefix) + table + "|" + (k.name.empty() ? k.checkText : k.name));
        Put(" CHECK (");
        Expr(*k.check, Mode::Condition);
        Put(")");
    }

    // A counter that is not the rowid (see kCounterTable) starts its table's sequence below its
    // seed. After a row is added, its counter takes the next number when the row leaves it
    // Null; a number a row is given or changed to raises the sequence, so that no number given
    // later meets it. Changing it to Null is refused, as for any key column.
    static void KeyedCounter(const std::string& table, const ColumnDef& c, Translation& out) {
        const std::string counter = "NEW." + Quote(c.name);
        const std::string row = " WHERE table_name = " + QuoteString(table);
        const std::string raise =
            std::string("UPDATE ") + kCounterTable + " SET seq = " + counter + row + " AND " + counter + " > seq";
        out.followUp.push_back("CREATE TRIGGER " + Quote(table + "." + c.name + ".counter") + " AFTER INSERT ON " +
                               Quote(table) + " BEGIN UPDATE " + kCounterTable + " SET seq = seq + " +
                               std::to_string(c.type.increment) + row + " AND " + counter + " IS NULL; " + raise +
                               "; UPDATE " + Quote(table) + " SET " + Quote(c.name) + " = (SELECT seq FROM " +
                               kCounterTable + row + ") WHERE " + counter + " IS NULL AND rowid = NEW.rowid; END");
        out.followUp.push_back("CREATE TRIGGER " + Quote(table + "." + c.name + ".counter.update") +
                               " BEFORE UPDATE OF " + Quote(c.name) + " ON " + Quote(table) +
                               " BEGIN SELECT RAISE(ABORT, '" + EngineMessage(jetNullKey) + "') WHERE " + counter +
                               " IS NULL; " + raise + "; END");
        out.metadata.push_back(kCreateCounters);
        out.metadata.push_back(std::string("INSERT OR REPLACE INTO ") + kCounterTable + " (table_name, seq) VALUES (" +
                               QuoteString(table) + ", " + std::to_string(c.type.seed - c.type.increment) + ")");
    }

    // The sequences count upwards: a counter that counts down is refused.
    static void CheckCounter(const ColumnType& type) {
        if (type.counter && type.increment < 1) messages::Raise(messages::kFieldDefinition);
    }

    void CreateTable(const ast::CreateTable& create, Translation& out) {
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
        // A counter inside a primary key of several columns is unique only with the others, so
        // it cannot be the rowid (a temporary table, which keeps no sequence, keeps it so).
        if (counter && counter->type.increment != 1 && create.temporary) messages::Raise(messages::kFieldDefinition);
        // So is a counter that counts by more than one, which SQLite's rowid cannot.
        const bool keyed = counter && !create.temporary &&
                           (counter->type.increment != 1 ||
                            std::any_of(create.constraints.begin(), create.constraints.end(), [&](const Constraint& k) {
                                return k.kind == ConstraintKind::PrimaryKey && k.columns.size() > 1 &&
                                       std::any_of(k.columns.begin(), k.columns.end(), [&](const std::string& col) {
                                           return SameAsciiText(col, counter->name);
                                       });
                            }));
        if (keyed) {
            keyedCounter_ = counter;
            notNull.erase(Upper(counter->name));
            counter = nullptr;
        }
        Put(create.temporary ? "CREATE TEMP TABLE " : "CREATE TABLE ");
        PutName(create.name);
        Put(" (");
        counterIsRowid_ = counter != nullptr;
        for (std::size_t i = 0; i < create.columns.size(); ++i) {
            const ColumnDef& c = create.columns[i];
            if (i) Put(", ");
            Column(c, &c == counter, notNull.count(Upper(c.name)) > 0, true, create.name, out);
        }
        counterIsRowid_ = false;
        if (keyedCounter_) KeyedCounter(create.name, *keyedCounter_, out);
        keyedCounter_ = nullptr;
        for (const Constraint& k : create.constraints) {
            if (k.kind == ConstraintKind::NotNull) continue;
            // A counter that is the whole primary key is already the rowid.
            if (k.kind == ConstraintKind::PrimaryKey && counter && k.columns.size() == 1 &&
                SameAsciiText(k.columns[0], counter->name))
                continue;
            Put(", ");
            if (k.kind == ConstraintKind::Check) {
                Check(create.name, k);
                continue;
            }
            if (!k.name.empty()) {
                Put("CONSTRAINT ");
                PutName(k.name);
                Put(" ");
            }
            // With a counter as rowid, another primary key is kept as a unique key.
            if (k.kind == ConstraintKind::PrimaryKey) Put(counter ? "UNIQUE " : "PRIMARY KEY ");
            else if (k.kind == ConstraintKind::Unique) Put("UNIQUE ");
            else Put("FOREIGN KEY ");
            NameList(k.columns);
            if (k.kind == ConstraintKind::ForeignKey) References(k);
        }
        Put(")");
        if (counter && counter->type.seed != 1)
            out.followUp.push_back("INSERT INTO sqlite_sequence (name, seq) VALUES (" + QuoteString(create.name) +
                                   ", " + std::to_string(counter->type.seed - 1) + ")");
        // A temporary table lives only as long as the connection: it keeps no metadata.
        if (!create.temporary) CreateTableMetadata(create, out);
    }

    // A column definition printed on its own, for a table the engine rebuilds.
    std::string RebuiltColumn(const ColumnDef& c, const std::string& table, Translation& out) {
        std::string text;
        Printer printer(text, schema_);
        printer.Column(c, false, false, false, table, out);
        return text;
    }

    void AlterTable(const ast::AlterTable& alter, Translation& out) {
        using A = ast::AlterTable::Action;
        using R = TableRebuild::Kind;
        auto rebuild = [&](R kind, std::string column, std::string definition) {
            out.rebuild.emplace();
            out.rebuild->kind = kind;
            out.rebuild->table = alter.table;
            out.rebuild->column = std::move(column);
            out.rebuild->definition = std::move(definition);
        };
        switch (alter.action) {
            case A::AddColumn: {
                const ColumnDef& c = alter.column;
                CheckCounter(c.type);
                if (c.type.counter) messages::Raise(messages::kAlterTable);
                ColumnMetadata(alter.table, c, false, out);
                // SQLite adds a column in place only when the rows need not be written: a
                // NOT NULL column without a default, a default computed at insert time
                // (Date()), or a relationship whose rows would get a default, takes a rebuild.
                const bool notNull =
                    c.notNull || std::any_of(c.constraints.begin(), c.constraints.end(), [](const Constraint& k) {
                        return k.kind == ConstraintKind::NotNull || k.kind == ConstraintKind::PrimaryKey;
                    });
                const bool computed = c.defaultValue && HasFunction(*c.defaultValue);
                // A Yes/No column always has one: No.
                const bool anyDefault = c.defaultValue || c.type.type == JetType::Boolean;
                const bool relatedDefault =
                    anyDefault && std::any_of(c.constraints.begin(), c.constraints.end(),
                                              [](const Constraint& k) { return k.kind == ConstraintKind::ForeignKey; });
                if ((notNull && !anyDefault) || computed || relatedDefault)
                    return rebuild(R::AddColumn, c.name, RebuiltColumn(c, alter.table, out));
                Put("ALTER TABLE ");
                PutName(alter.table);
                Put(" ADD COLUMN ");
                return Column(c, false, false, false, alter.table, out);
            }
            case A::AlterColumn: {
                const ColumnDef& c = alter.column;
                CheckCounter(c.type);
                if (c.type.counter) messages::Raise(messages::kAlterTable);
                ColumnMetadata(alter.table, c, true, out);
                rebuild(R::ReplaceColumn, c.name, RebuiltColumn(c, alter.table, out));
                out.rebuild->type = static_cast<int>(c.type.type);
                out.rebuild->size = FieldSize(c.type);
                return;
            }
            case A::DropColumn:
                Put("ALTER TABLE ");
                PutName(alter.table);
                Put(" DROP COLUMN ");
                PutName(alter.name);
                return DropMetadata(alter.table, &alter.name, out);
            case A::AddConstraint: {
                const Constraint& k = alter.constraint;
                const std::string name = !k.name.empty() ? k.name : k.columns.empty() ? k.checkText : k.columns.front();
                if (k.kind == ConstraintKind::Check) {
                    std::string text;
                    Printer(text, schema_).Check(alter.table, k);
                    return rebuild(R::AddConstraint, name, std::move(text));
                }
                if (k.kind == ConstraintKind::ForeignKey) {
                    std::string text;
                    Printer printer(text, schema_);
                    printer.Put("CONSTRAINT ");
                    printer.PutName(name);
                    printer.Put(" FOREIGN KEY ");
                    printer.NameList(k.columns);
                    printer.References(k);
                    return rebuild(R::AddConstraint, name, std::move(text));
                }
                if (k.kind == ConstraintKind::NotNull) messages::Raise(messages::kAlterTable);
                Put("CREATE UNIQUE INDEX ");
                PutName(SqliteIndexName(alter.table, name));
                Put(" ON ");
                PutName(alter.table);
                Put(" ");
                NameList(k.columns);
                if (k.kind == ConstraintKind::PrimaryKey) NullTriggers(alter.table, name, k.columns, out);
                return;
            }
            case A::DropConstraint: return rebuild(R::DropConstraint, alter.name, "");
        }
    }

    void Procedure(const ast::Procedure& p, Translation& out) {
        using A = ast::Procedure::Action;
        ProcedureCall& call = out.procedure.emplace();
        call.name = p.name;
        call.text = p.text;
        call.action = p.action == A::Create ? ProcedureCall::Action::Create
                      : p.action == A::Drop ? ProcedureCall::Action::Drop
                                            : ProcedureCall::Action::Execute;
        if (p.action != A::Execute) return;
        out.kind = StatementKind::Action;
        if (p.values.empty()) return;
        Printer values(call.values, schema_);
        values.Put("SELECT ");
        for (std::size_t i = 0; i < p.values.size(); ++i) {
            if (i) values.Put(", ");
            values.Expr(*p.values[i], Mode::Value);
        }
    }

    // The temporary table that holds the copy of external table `t`, one per file and table.
    std::string ExternalCopy(const TableRef& t) {
        if (!external_) messages::Raise(messages::kFrom);
        for (const ExternalTable& e : *external_)
            if (e.database == t.database && SameAsciiText(e.table, t.name)) return e.copy;
        external_->push_back({t.database, t.name, "pavana_in_" + std::to_string(external_->size() + 1)});
        return external_->back().copy;
    }

    static bool HasFunction(const ast::Expr& e) {
        if (e.kind == ast::Expr::Kind::Function) return true;
        return std::any_of(e.args.begin(), e.args.end(), [](const ExprPtr& a) { return HasFunction(*a); });
    }

    void CreateIndex(const ast::CreateIndex& index, Translation& out) {
        const std::string name = SqliteIndexName(index.table, index.name);
        Put(index.unique || index.primary ? "CREATE UNIQUE INDEX " : "CREATE INDEX ");
        PutName(name);
        Put(" ON ");
        PutName(index.table);
        Put(" (");
        std::vector<std::string> columns;
        for (std::size_t i = 0; i < index.columns.size(); ++i) {
            if (i) Put(", ");
            PutName(index.columns[i].name);
            if (index.columns[i].descending) Put(" DESC");
            columns.push_back(index.columns[i].name);
        }
        Put(")");
        if (index.primary || index.disallowNull) NullTriggers(index.table, index.name, columns, out);
    }

    std::string& sql_;
    const SchemaLookup& schema_;
    std::vector<ExternalTable>* external_ = nullptr;  // set by PrintForSqlite
    const ast::Crosstab* crosstab_ = nullptr;         // while a crosstab query is printed
    const SelectCore* crosstabCore_ = nullptr;        // its SELECT
    int subQueries_ = 0;                              // depth of queries inside expressions being printed
    bool counterIsRowid_ = false;                     // while the columns of a table with a counter are printed
    const ColumnDef* keyedCounter_ = nullptr;         // while printed, a counter that is not the rowid
    std::string renameFrom_;
    std::string renameTo_;
    const TableRef* renamedTable_ = nullptr;
};

}  // namespace

std::string SqliteIndexName(std::string_view table, std::string_view index) {
    std::string name;
    name.reserve(table.size() + 1 + index.size());
    name += table;
    name += '.';
    name += index;
    return name;
}

std::string CrosstabValuesSql(const ast::Statement& statement) {
    std::string sql;
    const SchemaLookup none;
    Printer(sql, none).CrosstabValues(*statement.select, *statement.crosstab);
    return sql;
}

void PrintForSqlite(const ast::Statement& statement, Translation& out, const SchemaLookup& schema) {
    // The printed text is a little longer than the statement text; one reservation covers it.
    std::string sql;
    sql.reserve(256);
    Printer printer(sql, schema);
    printer.ReadExternalTablesInto(out.external);
    printer.Statement(statement, out);
    out.sql = std::move(sql);
}

}  // namespace pavana::engine::sqlite
