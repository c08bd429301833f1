#include "engine/sqlite/TableRebuild.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/Constants.h"
#include "engine/EngineError.h"
#include "engine/dialect/CurrencyColumns.h"
#include "engine/dialect/DateColumns.h"
#include "engine/dialect/JetTypes.h"
#include "engine/dialect/WholeNumberColumns.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/DeclaredTypes.h"
#include "engine/sqlite/QuoteIdentifier.h"
#include "engine/sqlite/Relationships.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/SqlitePrinter.h"
#include "rtl/FormatSettings.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {
namespace {

using dialect::TableRebuild;

constexpr const char* kNewTable = "pavana_rebuild";

// ---- the stored CREATE TABLE text ---------------------------------------------------------
//
// SQLite keeps a table's definition as the text that created it. The rebuild reads it as a
// list of items (column definitions, then table constraints) separated by commas at the top
// level, and a column definition as units: words, quoted names and literals, parenthesised
// groups and single punctuation marks. Nothing is interpreted beyond what the change needs.

struct Unit {
    std::size_t begin = 0, end = 0;  // in the item text
    bool word = false;               // an unquoted word
};

// The end of the quoted run or group starting at `i`.
std::size_t SkipUnit(std::string_view s, std::size_t i) {
    const char c = s[i];
    if (c == '"' || c == '\'' || c == '`') {
        for (std::size_t j = i + 1; j < s.size(); ++j)
            if (s[j] == c) {
                if (j + 1 < s.size() && s[j + 1] == c) ++j;
                else return j + 1;
            }
        return s.size();
    }
    if (c == '[') {
        const std::size_t close = s.find(']', i);
        return close == std::string_view::npos ? s.size() : close + 1;
    }
    if (c == '(') {
        int depth = 0;
        for (std::size_t j = i; j < s.size();) {
            if (s[j] == '(') ++depth;
            else if (s[j] == ')' && --depth == 0) return j + 1;
            if (s[j] == '"' || s[j] == '\'' || s[j] == '`' || s[j] == '[') j = SkipUnit(s, j);
            else ++j;
        }
        return s.size();
    }
    return i + 1;
}

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::vector<Unit> Units(std::string_view s) {
    std::vector<Unit> units;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        Unit u;
        u.begin = i;
        if (IsWordChar(c)) {
            while (i < s.size() && IsWordChar(s[i])) ++i;
            u.word = true;
        } else {
            i = SkipUnit(s, i);
        }
        u.end = i;
        units.push_back(u);
    }
    return units;
}

std::string UnitName(std::string_view s, const Unit& u) {
    std::string_view t = s.substr(u.begin, u.end - u.begin);
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '`' || t.front() == '[')) {
        const char close = t.front() == '[' ? ']' : t.front();
        std::string out;
        for (std::size_t i = 1; i + 1 < t.size(); ++i) {
            out += t[i];
            if (t[i] == close && t[i + 1] == close) ++i;
        }
        return out;
    }
    return std::string(t);
}

bool IsWord(std::string_view s, const Unit& u, std::string_view word) {
    return u.word && SameAsciiText(s.substr(u.begin, u.end - u.begin), word);
}

struct CreateText {
    std::vector<std::string> items;
    std::string tail;  // after the closing parenthesis ("WITHOUT ROWID", ...)
};

CreateText SplitCreate(const std::string& sql) {
    CreateText out;
    std::size_t i = 0;
    while (i < sql.size() && sql[i] != '(')
        i = sql[i] == '"' || sql[i] == '[' || sql[i] == '`' ? SkipUnit(sql, i) : i + 1;
    const std::size_t close = SkipUnit(sql, i);
    const std::string_view body = std::string_view(sql).substr(i + 1, close - i - 2);
    out.tail = sql.substr(close);
    std::size_t start = 0;
    for (std::size_t j = 0; j <= body.size();) {
        if (j == body.size() || body[j] == ',') {
            std::string item(body.substr(start, j - start));
            const std::size_t a = item.find_first_not_of(" \t\r\n");
            const std::size_t b = item.find_last_not_of(" \t\r\n");
            if (a != std::string::npos) out.items.push_back(item.substr(a, b - a + 1));
            start = ++j;
            continue;
        }
        const char c = body[j];
        j = c == '"' || c == '\'' || c == '`' || c == '[' || c == '(' ? SkipUnit(body, j) : j + 1;
    }
    return out;
}

bool IsTableConstraint(const std::string& item) {
    const auto units = Units(item);
    if (units.empty()) return false;
    for (const char* word : {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"})
        if (IsWord(item, units[0], word)) return true;
    return false;
}

// A column definition: its name, the text of its name and type, and its constraint
// segments (each "[CONSTRAINT name] KIND ...") with the kind upper-cased.
struct ColumnItem {
    std::string name;
    std::string head;
    struct Segment {
        std::string kind;
        std::string name;  // of a named constraint
        std::string text;
    };
    std::vector<Segment> segments;
};

bool StartsSegment(std::string_view s, const std::vector<Unit>& u, std::size_t i) {
    for (const char* word :
         {"CONSTRAINT", "PRIMARY", "NULL", "UNIQUE", "CHECK", "DEFAULT", "COLLATE", "REFERENCES", "GENERATED", "AS"})
        if (IsWord(s, u[i], word)) return true;
    return IsWord(s, u[i], "NOT") && i + 1 < u.size() && IsWord(s, u[i + 1], "NULL");
}

ColumnItem ReadColumnItem(const std::string& item) {
    ColumnItem c;
    const auto u = Units(item);
    if (u.empty()) return c;
    c.name = UnitName(item, u[0]);
    std::size_t i = 1;
    while (i < u.size() && !StartsSegment(item, u, i)) ++i;
    c.head = item.substr(0, i < u.size() ? u[i - 1].end : item.size());
    while (i < u.size()) {
        ColumnItem::Segment segment;
        const std::size_t first = i;
        if (IsWord(item, u[i], "CONSTRAINT") && i + 1 < u.size()) {
            segment.name = UnitName(item, u[i + 1]);
            i += 2;
        }
        if (i < u.size()) {
            segment.kind = item.substr(u[i].begin, u[i].end - u[i].begin);
            for (char& ch : segment.kind)
                if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
            // The words that belong to the kind: NOT NULL, and the value of DEFAULT (with its sign).
            if (segment.kind == "NOT" || segment.kind == "COLLATE") ++i;
            if (segment.kind == "DEFAULT" && i + 1 < u.size() &&
                (item[u[i + 1].begin] == '-' || item[u[i + 1].begin] == '+'))
                ++i;
            if (segment.kind == "DEFAULT") ++i;
            ++i;
        }
        while (i < u.size() && !StartsSegment(item, u, i)) ++i;
        const std::size_t last = std::min(i, u.size()) - 1;
        segment.text = item.substr(u[first].begin, u[last].end - u[first].begin);
        c.segments.push_back(std::move(segment));
    }
    return c;
}

// The segments the engine gives every Yes/No column ("DEFAULT 0", "NOT NULL ON CONFLICT
// REPLACE"), which a default the statement gives ("DEFAULT (0)") is not.
bool IsYesNoNullRule(const ColumnItem::Segment& s) {
    if (s.kind == "DEFAULT") return s.text == "DEFAULT 0";
    return s.kind == "NOT" && s.text.find("REPLACE") != std::string::npos;
}

bool HasKind(const ColumnItem& c, std::string_view kind) {
    for (const auto& s : c.segments)
        if (s.kind == kind) return true;
    return false;
}

// The segments of `old` that still hold for the column once it is defined as `fresh`:
// its keys, references and own checks; not its collation, length and type checks, which follow
// the new type, nor a default or NOT NULL the new definition gives again, nor the No that
// stands for Null in a Yes/No column. A counter stops counting: the new type is never a counter.
std::string KeptSegments(const ColumnItem& old, const ColumnItem& fresh) {
    std::string out;
    for (const auto& s : old.segments) {
        if (s.kind == "COLLATE" || s.name == "pavana_size" || s.name == "pavana_type" || s.name == "pavana_range")
            continue;
        if (IsYesNoNullRule(s)) continue;
        if ((s.kind == "DEFAULT" || s.kind == "NOT" || s.kind == "NULL") && HasKind(fresh, s.kind)) continue;
        std::string text = s.text;
        if (s.kind == "PRIMARY") {
            const auto u = Units(text);
            std::string kept;
            for (const Unit& unit : u)
                if (!IsWord(text, unit, "AUTOINCREMENT"))
                    kept += (kept.empty() ? "" : " ") + text.substr(unit.begin, unit.end - unit.begin);
            text = kept;
        }
        out += " " + text;
    }
    return out;
}

// ---- errors ------------------------------------------------------------------------------

[[noreturn]] void NotFound(const std::string& table, const std::string& source) {
    RaiseEngineError(jetCannotFindInput,
                     "The database engine cannot find the input table or query '" + table +
                         "'. Make sure it exists and that its name is spelled correctly.",
                     source);
}

// ---- SQLite state around the change ------------------------------------------------------

// Switches foreign-key enforcement off for the life of the guard so that dropping the old
// table does not touch related rows. The connection setting is used rather than the pragma,
// which SQLite ignores inside a transaction: a rebuild inside a transaction (a Jet
// transaction, an update run's batch) works as it does on its own.
class ForeignKeysOff {
public:
    explicit ForeignKeysOff(Connection& c) : c_(c) {
        int enforced = 0;
        sqlite3_db_config(c_.Handle(), SQLITE_DBCONFIG_ENABLE_FKEY, 0, &enforced);
    }
    ~ForeignKeysOff() {
        int enforced = 0;
        sqlite3_db_config(c_.Handle(), SQLITE_DBCONFIG_ENABLE_FKEY, 1, &enforced);
    }
    ForeignKeysOff(const ForeignKeysOff&) = delete;
    ForeignKeysOff& operator=(const ForeignKeysOff&) = delete;

private:
    Connection& c_;
};

void Run(Connection& c, const std::string& sql) {
    Statement st(c, sql.c_str());
    while (st && st.Step()) {
    }
}

bool Exists(Connection& c, const char* sql, const std::string& name) {
    Statement st(c, sql);
    sqlite3_bind_text(st.Handle(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    return st.Step();
}

struct SourceColumn {
    std::string name;
    std::int32_t type = 0;  // DAO type of its declaration, 0 when unknown
    bool key = false;       // in the table's primary key
};

class Rebuilder {
public:
    Rebuilder(Connection& c, const TableRebuild& r, const std::string& source, CurrencyStorage currency)
        : c_(c), r_(r), source_(source), currency_(currency) {}

    // True when the change made a counter that was not the rowid an ordinary column, whose
    // sequence is then no longer needed.
    bool StoppedCounter() const { return stoppedCounter_; }

    void Run() {
        ReadTable();
        if (r_.kind == TableRebuild::Kind::DropConstraint && DropIndexConstraint()) return;
        Rebuild(NewDefinition());
        if (r_.definition.find(" REFERENCES ") != std::string::npos) CheckDeclaredRelationships(c_, table_, source_);
        CheckRelationships();
    }

    // Rebuilds the table under the current storage conventions when its definition is of an
    // earlier one. Its rows and relationships stay as they are.
    void Upgrade() {
        ReadTable();
        std::vector<std::string> yesNo;
        const std::string created = UpgradedDefinition(yesNo, amounts_);
        if (created.empty()) return;
        for (const std::string& column : yesNo)
            sqlite::Run(c_, "UPDATE " + QuoteIdentifier(table_) + " SET " + QuoteIdentifier(column) + " = 0 WHERE " +
                                QuoteIdentifier(column) + " IS NULL");
        Rebuild(created);
    }

private:
    void Rebuild(const std::string& created) {
        if (Exists(c_, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE", kNewTable))
            RaiseTableExists(kNewTable, source_);
        SaveSchema();
        sqlite::Run(c_, created);
        CopyRows();
        sqlite::Run(c_, "DROP TABLE " + QuoteIdentifier(table_));
        {
            // The new table takes the old name without SQLite re-reading views that named it.
            c_.Exec("PRAGMA legacy_alter_table = ON");
            struct Restore {
                Connection& c;
                ~Restore() { sqlite3_exec(c.Handle(), "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr); }
            } restore{c_};
            sqlite::Run(
                c_, std::string("ALTER TABLE ") + QuoteIdentifier(kNewTable) + " RENAME TO " + QuoteIdentifier(table_));
        }
        for (const std::string& sql : schema_) sqlite::Run(c_, sql);
        CarrySequence(created);
    }

    bool InKey(const std::string& column) const {
        return std::any_of(columns_.begin(), columns_.end(),
                           [&](const SourceColumn& c) { return c.key && SameAsciiText(c.name, column); });
    }

    void ReadTable() {
        Statement st(c_, "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
        sqlite3_bind_text(st.Handle(), 1, r_.table.c_str(), -1, SQLITE_TRANSIENT);
        if (!st.Step()) NotFound(r_.table, source_);
        table_ = st.Text(0);
        createSql_ = st.Text(1);
        Statement info(c_, "SELECT name, type, hidden, pk FROM pragma_table_xinfo(?1)");
        sqlite3_bind_text(info.Handle(), 1, table_.c_str(), -1, SQLITE_TRANSIENT);
        while (info.Step()) {
            if (sqlite3_column_int(info.Handle(), 2) != 0) continue;
            SourceColumn col;
            col.name = info.Text(0);
            if (auto t = TypeOfDeclaration(info.Text(1))) col.type = t->type;
            col.key = sqlite3_column_int(info.Handle(), 3) != 0;
            columns_.push_back(std::move(col));
        }
        rowid_ = createSql_.find("WITHOUT ROWID") == std::string::npos &&
                 createSql_.find("without rowid") == std::string::npos;
    }

    // A constraint added as an index ("t.name") is dropped with its triggers.
    bool DropIndexConstraint() {
        const std::string index = SqliteIndexName(table_, r_.column);
        if (!Exists(c_, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1 COLLATE NOCASE", index))
            return false;
        sqlite::Run(c_, "DROP INDEX " + QuoteIdentifier(index));
        for (const char* event : {".insert", ".update"})
            sqlite::Run(c_, "DROP TRIGGER IF EXISTS " + QuoteIdentifier(index + event));
        return true;
    }

    std::string NewDefinition() {
        CreateText text = SplitCreate(createSql_);
        std::size_t lastColumn = 0;
        bool found = false;
        for (std::size_t i = 0; i < text.items.size(); ++i) {
            std::string& item = text.items[i];
            if (IsTableConstraint(item)) {
                if (r_.kind == TableRebuild::Kind::DropConstraint && !found) {
                    const auto u = Units(item);
                    if (u.size() > 1 && IsWord(item, u[0], "CONSTRAINT") &&
                        SameAsciiText(UnitName(item, u[1]), r_.column)) {
                        item.clear();
                        found = true;
                    }
                }
                continue;
            }
            lastColumn = i;
            ColumnItem column = ReadColumnItem(item);
            if (r_.kind == TableRebuild::Kind::ReplaceColumn && SameAsciiText(column.name, r_.column)) {
                const ColumnItem fresh = ReadColumnItem(r_.definition);
                item = r_.definition + KeptSegments(WithDefaultOfNewType(column), fresh);
                // A counter that is not the rowid (declared COUNTER) stops counting, and its
                // triggers go; while it stays in the primary key, it takes no Null.
                const auto head = Units(column.head);
                stoppedCounter_ = head.size() > 1 && IsWord(column.head, head[1], "COUNTER");
                if (stoppedCounter_ && InKey(column.name) && !HasKind(fresh, "NOT")) item += " NOT NULL";
                changed_ = column.name;
                found = true;
            } else if (r_.kind == TableRebuild::Kind::AddColumn && SameAsciiText(column.name, r_.column)) {
                RaiseEngineError(jetFieldExists, "Field '" + r_.column + "' already exists in table '" + table_ + "'.",
                                 source_);
            } else if (r_.kind == TableRebuild::Kind::DropConstraint && !found) {
                std::string kept = column.head;
                for (const auto& s : column.segments) {
                    if (!found && !s.name.empty() && SameAsciiText(s.name, r_.column)) {
                        found = true;
                        continue;
                    }
                    kept += " " + s.text;
                }
                item = kept;
            }
        }
        switch (r_.kind) {
            case TableRebuild::Kind::ReplaceColumn:
                if (!found) RaiseEngineError(jetItemNotFound, source_);
                break;
            case TableRebuild::Kind::AddColumn:
                text.items.insert(text.items.begin() + static_cast<std::ptrdiff_t>(lastColumn) + 1, r_.definition);
                break;
            case TableRebuild::Kind::AddConstraint: text.items.push_back(r_.definition); break;
            case TableRebuild::Kind::DropConstraint:
                if (!found) RaiseEngineError(jetNoTableOrConstraint, source_);
                break;
        }
        return Joined(text);
    }

    // The definition of the table under the current conventions, or nothing when it is
    // already under them. Earlier builds declared a Long column INTEGER, which SQLite makes
    // the rowid of a table whose whole primary key it is, left Null into Yes/No columns and
    // stored currency amounts as they are; `yesNo` receives the Yes/No columns whose Nulls
    // must become No, `amounts` the Currency columns whose amounts must be scaled.
    std::string UpgradedDefinition(std::vector<std::string>& yesNo, std::vector<std::string>& amounts) const {
        CreateText text = SplitCreate(createSql_);
        std::string tableKey;  // the column of a one-column table-level primary key
        for (const std::string& item : text.items) {
            if (!IsTableConstraint(item)) continue;
            const auto u = Units(item);
            for (std::size_t i = 0; i + 2 < u.size(); ++i)
                if (IsWord(item, u[i], "PRIMARY") && item[u[i + 2].begin] == '(') {
                    const std::string group = item.substr(u[i + 2].begin + 1, u[i + 2].end - u[i + 2].begin - 2);
                    const auto names = Units(group);
                    if (names.size() == 1) tableKey = UnitName(group, names[0]);
                }
        }
        bool changed = false;
        for (std::string& item : text.items) {
            if (IsTableConstraint(item)) continue;
            const ColumnItem column = ReadColumnItem(item);
            const auto head = Units(column.head);
            if (head.size() < 2) continue;
            const Unit& type = head[1];
            const bool key = HasKind(column, "PRIMARY") || (!tableKey.empty() && SameAsciiText(column.name, tableKey));
            if (IsWord(column.head, type, "INTEGER") && key && item.find("AUTOINCREMENT") == std::string::npos) {
                item.replace(type.begin, type.end - type.begin, "INT");
                changed = true;
            } else if (IsWord(column.head, type, "BIT") &&
                       !std::any_of(column.segments.begin(), column.segments.end(), IsYesNoNullRule)) {
                std::string upgraded = column.head;
                for (const auto& segment : column.segments)
                    if (segment.kind != "NOT") upgraded += " " + segment.text;
                if (!HasKind(column, "DEFAULT")) upgraded += " DEFAULT 0";
                item = upgraded + " NOT NULL ON CONFLICT REPLACE";
                yesNo.push_back(column.name);
                changed = true;
            } else if (IsWord(column.head, type, "CURRENCY") || IsWord(column.head, type, "MONEY")) {
                item = ScaledCurrencyColumn(column);
                amounts.push_back(column.name);
                changed = true;
            }
        }
        if (!changed) return {};
        return Joined(text);
    }

    // A Currency column of amounts declared anew for scaled amounts: its default scaled, and
    // its type checks (when it has them; a column made before the checks stays without) for
    // whole numbers of ten-thousandths.
    std::string ScaledCurrencyColumn(const ColumnItem& column) const {
        std::string item = column.head;
        bool checked = false;
        for (const auto& segment : column.segments) {
            if (segment.name == "pavana_type" || segment.name == "pavana_range") {
                checked = true;
                continue;
            }
            item += " " + (segment.kind == "DEFAULT" ? ScaledDefault(segment.text) : segment.text);
        }
        if (checked) item += SqliteTypeChecks(dialect::JetType::Currency, QuoteIdentifier(column.name));
        return item;
    }

    // "DEFAULT (12.5)" as "DEFAULT (125000)" (`scale`) or back; a default that is no
    // constant number stays.
    std::string ScaledDefault(const std::string& segment, bool scale = true) const {
        const std::string expression = segment.substr(std::string_view("DEFAULT").size());
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(c_.Handle(), ("SELECT " + expression).c_str(), -1, &raw, nullptr) != SQLITE_OK)
            return segment;
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
        if (sqlite3_step(raw) != SQLITE_ROW) return segment;
        const int storage = sqlite3_column_type(raw, 0);
        if (!scale) {
            if (storage != SQLITE_INTEGER) return segment;
            const Currency amount{sqlite3_column_int64(raw, 0)};
            char text[32];
            const auto end = std::to_chars(text, text + sizeof text, amount.ToDouble()).ptr;
            return "DEFAULT (" + std::string(text, end) + ")";
        }
        if (storage != SQLITE_INTEGER && storage != SQLITE_FLOAT) return segment;
        const auto amount = Currency::TryFromDouble(sqlite3_column_double(raw, 0));
        return amount ? "DEFAULT (" + std::to_string(amount->Scaled) + ")" : segment;
    }

    // The changed column with the default it keeps in the form of its new type: scaled when
    // it becomes a Currency column of scaled amounts, the amount when it stops being one.
    ColumnItem WithDefaultOfNewType(ColumnItem column) const {
        const auto head = Units(column.head);
        const bool wasCurrency =
            head.size() > 1 && (IsWord(column.head, head[1], "CURRENCY") || IsWord(column.head, head[1], "MONEY"));
        const bool isCurrency = r_.type == dbCurrency;
        if (currency_ != CurrencyStorage::Scaled || wasCurrency == isCurrency) return column;
        for (auto& segment : column.segments)
            if (segment.kind == "DEFAULT") segment.text = ScaledDefault(segment.text, isCurrency);
        return column;
    }

    static std::string Joined(const CreateText& text) {
        std::string sql = std::string("CREATE TABLE ") + QuoteIdentifier(kNewTable) + " (";
        bool first = true;
        for (const std::string& item : text.items) {
            if (item.empty()) continue;
            if (!first) sql += ", ";
            sql += item;
            first = false;
        }
        return sql + ")" + text.tail;
    }

    // The indexes and triggers of the old table, which go with it when it is dropped (not the
    // triggers of a counter that stops counting).
    void SaveSchema() {
        Statement st(c_,
                     "SELECT name, sql FROM sqlite_master WHERE tbl_name = ?1 COLLATE NOCASE AND type IN ('index', "
                     "'trigger') AND sql IS NOT NULL ORDER BY type = 'trigger', rowid");
        sqlite3_bind_text(st.Handle(), 1, table_.c_str(), -1, SQLITE_TRANSIENT);
        while (st.Step()) {
            const std::string name = st.Text(0);
            if (stoppedCounter_ && (SameAsciiText(name, table_ + "." + changed_ + ".counter") ||
                                    SameAsciiText(name, table_ + "." + changed_ + ".counter.update")))
                continue;
            schema_.push_back(st.Text(1));
        }
        if (Exists(c_, "SELECT 1 FROM sqlite_master WHERE name = ?1", "sqlite_sequence")) {
            Statement seq(c_, "SELECT seq FROM sqlite_sequence WHERE name = ?1 COLLATE NOCASE");
            sqlite3_bind_text(seq.Handle(), 1, table_.c_str(), -1, SQLITE_TRANSIENT);
            if (seq.Step()) sequence_ = sqlite3_column_int64(seq.Handle(), 0);
        }
    }

    void CopyRows() {
        std::string names;
        std::string slots;
        int n = 0;
        if (rowid_) {
            names = "rowid";
            slots = "?1";
            n = 1;
        }
        for (const SourceColumn& col : columns_) {
            if (n) {
                names += ", ";
                slots += ", ";
            }
            names += QuoteIdentifier(col.name);
            slots += "?" + std::to_string(++n);
        }
        Statement read(c_, ("SELECT " + names + " FROM " + QuoteIdentifier(table_)).c_str());
        Statement write(
            c_, (std::string("INSERT INTO ") + QuoteIdentifier(kNewTable) + " (" + names + ") VALUES (" + slots + ")")
                    .c_str());
        const int offset = rowid_ ? 1 : 0;
        while (read.Step()) {
            if (rowid_) sqlite3_bind_value(write.Handle(), 1, sqlite3_column_value(read.Handle(), 0));
            for (std::size_t i = 0; i < columns_.size(); ++i) {
                const int at = static_cast<int>(i) + offset;
                if (!changed_.empty() && SameAsciiText(columns_[i].name, changed_)) {
                    BindStored(write.Handle(), at + 1, Converted(read.Handle(), at, columns_[i].type), currency_);
                } else if (IsAmountColumn(columns_[i].name)) {
                    BindStored(write.Handle(), at + 1,
                               ReadColumn(read.Handle(), at, dbCurrency, CurrencyStorage::Amount), currency_);
                } else {
                    sqlite3_bind_value(write.Handle(), at + 1, sqlite3_column_value(read.Handle(), at));
                }
            }
            try {
                write.Step();
            } catch (const SqliteFailure& failure) {
                if (failure.Code() == SQLITE_CONSTRAINT_NOTNULL)
                    RaiseEngineError(jetFieldRequired,
                                     "The field '" + table_ + "." + r_.column +
                                         "' cannot contain a Null value because the Required property for "
                                         "this field is set to True. Enter a value in this field.",
                                     source_);
                throw;
            }
            write.Reset();
            sqlite3_clear_bindings(write.Handle());
        }
    }

    bool IsAmountColumn(const std::string& column) const {
        return std::any_of(amounts_.begin(), amounts_.end(),
                           [&](const std::string& c) { return SameAsciiText(c, column); });
    }

    Variant Converted(sqlite3_stmt* st, int column, std::int32_t oldType) {
        const Variant value = ReadColumn(st, column, oldType, currency_);
        try {
            return ConvertToFieldType(value, r_.type, FormatSettings::Current());
        } catch (const EConvertError& e) {
            if (e.Message().find("verflow") != std::string::npos) RaiseEngineError(jetNumericOverflow, source_);
            RaiseEngineError(jetConversionError, source_);
        }
    }

    // A counter keeps its next value: rows deleted before the change are not numbered again.
    void CarrySequence(const std::string& created) {
        if (!sequence_) return;
        bool counter = false;
        for (const std::string& item : SplitCreate(created).items)
            for (const Unit& u : Units(item))
                if (IsWord(item, u, "AUTOINCREMENT")) counter = true;
        if (!counter) return;
        Statement update(c_, "UPDATE sqlite_sequence SET seq = max(seq, ?2) WHERE name = ?1");
        sqlite3_bind_text(update.Handle(), 1, table_.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(update.Handle(), 2, *sequence_);
        update.Step();
        if (sqlite3_changes(c_.Handle()) == 0) {
            Statement insert(c_, "INSERT INTO sqlite_sequence (name, seq) VALUES (?1, ?2)");
            sqlite3_bind_text(insert.Handle(), 1, table_.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(insert.Handle(), 2, *sequence_);
            insert.Step();
        }
    }

    void CheckRelationships() {
        Statement check(c_, "PRAGMA foreign_key_check");
        if (check.Step())
            RaiseEngineError(jetRelatedRecordRequired,
                             "You cannot add or change a record because a related record is required in table '" +
                                 check.Text(2) + "'.",
                             source_);
    }

    Connection& c_;
    const TableRebuild& r_;
    const std::string& source_;
    const CurrencyStorage currency_;
    std::string table_;
    std::string createSql_;
    std::vector<SourceColumn> columns_;
    bool rowid_ = true;
    std::string changed_;
    bool stoppedCounter_ = false;
    std::vector<std::string> schema_;
    std::optional<std::int64_t> sequence_;
    std::vector<std::string> amounts_;  // Currency columns of amounts that an upgrade scales
};

}  // namespace

void UpgradeTables(Connection& c) {
    std::vector<std::string> tables;
    {
        Statement list(c,
                       "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
                       "AND name NOT IN ('pavana_engine', 'pavana_columns', 'pavana_counters')");
        while (list.Step()) tables.push_back(list.Text(0));
    }
    TableRebuild upgrade;
    const std::string source = "DAO.Workspace";
    for (const std::string& table : tables) {
        upgrade.table = table;
        Rebuilder(c, upgrade, source, CurrencyStorage::Scaled).Upgrade();
    }
}

void RunRebuild(DatabaseState& state, const dialect::Translation& translation, const std::string& source) {
    Connection& c = state.Live(source);
    const TableRebuild& r = *translation.rebuild;
    try {
        ForeignKeysOff foreignKeysOff(c);
        Savepoint savepoint(c);
        Rebuilder rebuilder(c, r, source, state.currency);
        rebuilder.Run();
        for (const std::string& sql : translation.followUp) Run(c, sql);
        MetadataWrites writes(state);
        for (const std::string& sql : translation.metadata) Run(c, sql);
        if (rebuilder.StoppedCounter()) {
            const std::string forgetSql = std::string("DELETE FROM ") + kCounterTable + " WHERE table_name = ?1";
            Statement forget(c, forgetSql.c_str());
            sqlite3_bind_text(forget.Handle(), 1, r.table.c_str(), -1, SQLITE_TRANSIENT);
            forget.Step();
        }
        savepoint.Release();
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "ALTER TABLE " + QuoteIdentifier(r.table), source);
    }
}

namespace {

// The metadata rows of a table a make-table query made: as on the platform, no default and no
// zero-length rule comes over with its columns (SQLite's default text, the No of a Yes/No
// column, is the engine's own).
void WriteNoMetadata(DatabaseState& state, const std::string& table) {
    Connection& c = *state.connection;
    MetadataWrites writes(state);
    Run(c, kCreateColumnMetadata);
    Statement rows(c,
                   "INSERT OR REPLACE INTO pavana_columns (table_name, column_name) "
                   "SELECT ?1, name FROM pragma_table_info(?1)");
    sqlite3_bind_text(rows.Handle(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    rows.Step();
}

}  // namespace

std::int32_t RunMakeTable(DatabaseState& state, const dialect::Translation& translation,
                          const std::vector<Variant>& values, const std::string& source) {
    Connection& c = state.Live(source);
    const std::string& table = translation.makeTable;
    std::string failing = "CREATE TABLE " + QuoteIdentifier(table);
    try {
        if (Exists(c, "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE",
                   table))
            RaiseTableExists(table, source);
        std::string create = failing + " (";
        {
            Statement query(c, translation.makeTableQuery.c_str());
            const int count = sqlite3_column_count(query.Handle());
            const auto columns = static_cast<std::size_t>(count);
            state.schema.Check(c.Handle());
            CachedSchema schema(state.schema, c.Handle());
            const dialect::ast::Statement* statement = translation.statement.get();
            const std::vector<bool> whole = statement != nullptr
                                                ? dialect::WholeNumberColumns(*statement, columns, schema)
                                                : std::vector<bool>(columns, false);
            const std::vector<bool> dates = statement != nullptr ? dialect::DateColumns(*statement, columns, schema)
                                                                 : std::vector<bool>(columns, false);
            const std::vector<bool> currency = statement != nullptr
                                                   ? dialect::CurrencyColumns(*statement, columns, schema)
                                                   : std::vector<bool>(columns, false);
            for (int i = 0; i < count; ++i) {
                const std::string name = sqlite3_column_name(query.Handle(), i);
                const char* declared = sqlite3_column_decltype(query.Handle(), i);
                if (i) create += ", ";
                create += QuoteIdentifier(name);
                const auto type = declared ? TypeOfDeclaration(declared) : std::nullopt;
                // An expression that gives only dates makes a Date/Time column, one that gives
                // Currency a Currency column, one that gives only whole numbers a Long column;
                // any other keeps its values' own types.
                if (!type && dates[static_cast<std::size_t>(i)]) create += " DATETIME";
                else if (!type && currency[static_cast<std::size_t>(i)]) create += " CURRENCY";
                else if (!type && whole[static_cast<std::size_t>(i)]) create += " LONG";
                if (!type) continue;
                // A counter's values are copied as they are; the new column does not count.
                create += " " + (type->counter ? std::string("INT") : std::string(declared));
                if (type->type == dbBoolean) create += " DEFAULT 0 NOT NULL ON CONFLICT REPLACE";
                if (type->type == dbText || type->type == dbMemo) create += " COLLATE NOCASE";
                if (type->type == dbText && std::string_view(declared).find('(') != std::string_view::npos)
                    create += " CONSTRAINT \"pavana_size\" CHECK (length(" + QuoteIdentifier(name) +
                              ") <= " + std::to_string(type->size) + ")";
                create += SqliteTypeChecks(static_cast<dialect::JetType>(type->type), QuoteIdentifier(name));
            }
        }
        create += ")";
        Savepoint savepoint(c);
        Run(c, create);
        WriteNoMetadata(state, table);
        failing = "INSERT INTO " + QuoteIdentifier(table) + " " + translation.makeTableQuery;
        Statement fill(c, failing.c_str());
        const int slots = sqlite3_bind_parameter_count(fill.Handle());
        for (int i = 0; i < slots && i < static_cast<int>(values.size()); ++i)
            BindVariant(fill.Handle(), i + 1, values[static_cast<std::size_t>(i)]);
        while (fill.Step()) {
        }
        const auto rows = static_cast<std::int32_t>(sqlite3_changes64(c.Handle()));
        savepoint.Release();
        return rows;
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, failing, source);
    }
}

}  // namespace pavana::engine::sqlite
