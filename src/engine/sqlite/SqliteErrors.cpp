#include "engine/sqlite/SqliteErrors.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "engine/EngineError.h"
#include "engine/sqlite/JetFunctions.h"
#include "engine/sqlite/SqlitePrinter.h"
#include "engine/sqlite/UnknownNames.h"

namespace pavana::engine::sqlite {
namespace {

// SQLite quotes the names in some messages the way the statement wrote them; the dialect
// prints every name double-quoted, with inner quotes doubled.
std::string UnquotedName(const std::string& name) {
    if (name.size() < 2 || name.front() != '"' || name.back() != '"') return name;
    std::string plain;
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
        plain += name[i];
        if (name[i] == '"' && name[i + 1] == '"') ++i;
    }
    return plain;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The text after `prefix` in SQLite's message ("no such table: main.t" gives "t").
std::string NameAfter(std::string_view message, std::string_view prefix) {
    std::string name(message.substr(prefix.size()));
    if (StartsWith(name, "main.")) name.erase(0, 5);
    return name;
}

// The statement's leading words, upper-cased and with runs of blanks made one space.
std::string Lead(const std::string& sql, std::size_t words) {
    std::string out;
    std::size_t count = 0;
    bool inWord = false;
    for (char c : sql) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == '(') {
            if (inWord && ++count == words) break;
            inWord = false;
            continue;
        }
        if (!inWord && !out.empty()) out += ' ';
        inWord = true;
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// The name after ALTER TABLE, without quotes or brackets.
std::string AlteredTable(const std::string& sql) {
    std::string lead = Lead(sql, 3);
    std::size_t space = lead.rfind(' ');
    std::string name = space == std::string::npos ? std::string() : lead.substr(space + 1);
    // Take the original spelling from the text.
    std::size_t at = std::string::npos;
    for (std::size_t i = 0; i + name.size() <= sql.size(); ++i) {
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k)
            same = std::toupper(static_cast<unsigned char>(sql[i + k])) == name[k];
        if (same) {
            at = i;
            break;
        }
    }
    std::string original = at == std::string::npos ? name : sql.substr(at, name.size());
    std::string out;
    for (char c : original)
        if (c != '"' && c != '[' && c != ']' && c != '`') out += c;
    return out;
}

// Whether `field`, "table.column" as SQLite names a column in its messages, is part of the
// table's primary key (a name may hold dots itself: every split is tried).
bool IsPrimaryKeyField(sqlite3* db, const std::string& field) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2 AND pk > 0", -1, &raw, nullptr) !=
        SQLITE_OK)
        return false;
    struct Finalize {
        sqlite3_stmt* st;
        ~Finalize() { sqlite3_finalize(st); }
    } finalize{raw};
    for (std::size_t dot = field.find('.'); dot != std::string::npos; dot = field.find('.', dot + 1)) {
        sqlite3_reset(raw);
        sqlite3_bind_text(raw, 1, field.c_str(), static_cast<int>(dot), SQLITE_TRANSIENT);
        sqlite3_bind_text(raw, 2, field.c_str() + dot + 1, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(raw) == SQLITE_ROW) return true;
    }
    return false;
}

// The syntax error Jet reports for a statement of the kind `sql` begins with.
JetError SyntaxErrorOf(const std::string& sql) {
    const std::string lead = Lead(sql, 2);
    struct Entry {
        const char* lead;
        JetError number;
    };
    static constexpr Entry kEntries[] = {
        {"INSERT", jetSyntaxInsert},
        {"UPDATE", jetSyntaxUpdate},
        {"DELETE", jetSyntaxDelete},
        {"SELECT", jetSyntaxSelect},
        {"CREATE TABLE", jetSyntaxCreateTable},
        {"CREATE INDEX", jetSyntaxCreateIndex},
        {"CREATE UNIQUE", jetSyntaxCreateIndex},
        {"ALTER TABLE", jetSyntaxAlterTable},
        {"DROP", jetSyntaxDrop},
    };
    for (const auto& e : kEntries)
        if (StartsWith(lead, e.lead)) return e.number;
    return jetInvalidSqlStatement;
}

}  // namespace

void RaiseTableExists(const std::string& table, const std::string& source) {
    RaiseEngineError(jetTableExists, "Table '" + table + "' already exists.", source);
}

void RaiseTableDoesNotExist(const std::string& table, const std::string& source) {
    RaiseEngineError(jetTableDoesNotExist, "Table '" + table + "' does not exist.", source);
}

void RaiseTooFewParameters(std::size_t expected, const std::string& source) {
    RaiseEngineError(jetTooFewParameters, "Too few parameters. Expected " + std::to_string(expected) + ".", source);
}

void RaiseStatementError(const SqliteFailure& failure, const std::string& sql, const std::string& source, sqlite3* db) {
    const std::string& m = failure.Message();
    const int code = failure.Code();
    switch (failure.Primary()) {
        case SQLITE_READONLY: RaiseEngineError(jetCannotUpdateReadOnly, source);
        case SQLITE_BUSY:
        case SQLITE_LOCKED: RaiseEngineError(jetLocked, source);
        case SQLITE_FULL: RaiseEngineError(jetTooLarge, source);
        case SQLITE_IOERR: RaiseEngineError(jetDiskError, source);
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: RaiseEngineError(jetCannotOpenDatabase, source);
        case SQLITE_TOOBIG: RaiseEngineError(jetFieldTooSmall, source);
        case SQLITE_MISMATCH: RaiseEngineError(jetDataTypeMismatch, source);
        case SQLITE_AUTH: RaiseEngineError(jetCannotUpdateReadOnly, source);
        case SQLITE_CONSTRAINT:
            if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY ||
                code == SQLITE_CONSTRAINT_ROWID)
                RaiseEngineError(jetDuplicateValue, source);
            if (code == SQLITE_CONSTRAINT_NOTNULL) {
                std::string field = NameAfter(m, "NOT NULL constraint failed: ");
                if (db && IsPrimaryKeyField(db, field)) RaiseEngineError(jetNullKey, source);
                RaiseEngineError(jetFieldRequired,
                                 "The field '" + field +
                                     "' cannot contain a Null value because the Required property "
                                     "for this field is set to True. Enter a value in this field.",
                                 source);
            }
            // The engine's own triggers raise the engine's message.
            if (code == SQLITE_CONSTRAINT_TRIGGER)
                if (auto number = FunctionErrorNumber(m)) RaiseEngineError(*number, m, source);
            if (code == SQLITE_CONSTRAINT_CHECK && m.find("pavana_size") != std::string::npos)
                RaiseEngineError(jetFieldTooSmall, source);
            // The type checks of number, date and Yes/No columns (JetTypes.h).
            if (code == SQLITE_CONSTRAINT_CHECK && m.find("pavana_type") != std::string::npos)
                RaiseEngineError(jetDataTypeMismatch, source);
            if (code == SQLITE_CONSTRAINT_CHECK && m.find("pavana_range") != std::string::npos)
                RaiseEngineError(jetNumericOverflow, source);
            // A CHECK constraint of the user's: its name tells the table and the rule.
            if (code == SQLITE_CONSTRAINT_CHECK && m.find(kCheckPrefix) != std::string::npos) {
                const std::string named = m.substr(m.find(kCheckPrefix) + std::strlen(kCheckPrefix));
                const std::size_t bar = named.find('|');
                RaiseEngineError(jetValidationRule,
                                 "One or more values are prohibited by the validation rule '" + named.substr(bar + 1) +
                                     "' set for '" + named.substr(0, bar) +
                                     "'. Enter a value that the expression for this field can accept.",
                                 source);
            }
            // Writes that can tell which relationship broke raise it themselves (RunWrite).
            if (code == SQLITE_CONSTRAINT_FOREIGNKEY) RaiseEngineError(jetRelatedRecordRequired, source);
            RaiseEngineError(jetValidationRule, source);
        default: break;
    }
    if (auto number = FunctionErrorNumber(m)) RaiseEngineError(*number, m, source);
    if (StartsWith(m, "table ") && m.find(" already exists") != std::string::npos) {
        std::string name = UnquotedName(m.substr(6, m.find(" already exists") - 6));
        RaiseTableExists(name, source);
    }
    if (StartsWith(m, "view ") && m.find(" already exists") != std::string::npos) {
        std::string name = UnquotedName(m.substr(5, m.find(" already exists") - 5));
        RaiseTableExists(name, source);
    }
    if (StartsWith(m, "no such view: "))
        RaiseEngineError(jetTableDoesNotExist, "Table '" + NameAfter(m, "no such view: ") + "' does not exist.",
                         source);
    if (StartsWith(m, "no such table: ")) {
        std::string name = NameAfter(m, "no such table: ");
        if (StartsWith(Lead(sql, 2), "DROP TABLE")) RaiseTableDoesNotExist(name, source);
        RaiseEngineError(jetCannotFindInput,
                         "The database engine cannot find the input table or query '" + name +
                             "'. Make sure it exists and that its name is spelled correctly.",
                         source);
    }
    // Relationships are checked when declared; one a file brought from elsewhere does not
    // keep is reported by what is wrong with it.
    if (StartsWith(m, "foreign key mismatch - ")) {
        const std::size_t referencing = m.rfind(" referencing ");
        const std::string parent =
            referencing == std::string::npos ? std::string() : UnquotedName(m.substr(referencing + 13));
        RaiseEngineError(jetNotUniquelyIndexed,
                         "The specified fields are not uniquely indexed in table '" + parent + "'.", source);
    }
    if (StartsWith(m, "number of columns in foreign key does not match") ||
        (StartsWith(m, "foreign key on ") && m.find(" should reference only one column") != std::string::npos))
        RaiseEngineError(jetRelationshipFieldCount, source);
    if (StartsWith(m, "unknown column ") && m.find(" in foreign key definition") != std::string::npos) {
        const std::string field = UnquotedName(m.substr(15, m.find(" in foreign key definition") - 15));
        RaiseEngineError(jetInvalidRelationshipField,
                         "Invalid field name '" + field + "' in definition of index or relationship.", source);
    }
    // SQLite refuses to drop a column that an index, a key or a relationship needs.
    if (m.find(" after drop column") != std::string::npos || StartsWith(m, "cannot drop "))
        RaiseEngineError(jetFieldInIndex, source);
    if (StartsWith(m, "table ") && m.find(" has no column named ") != std::string::npos) {
        const std::string field = m.substr(m.find(" has no column named ") + 21);
        RaiseEngineError(jetUnknownInsertField,
                         "The INSERT INTO statement contains the following unknown field name: '" + field +
                             "'. Make sure you have typed the name correctly, and try the operation again.",
                         source);
    }
    // "3 values for 2 columns", "table t has 4 columns but 2 values were supplied".
    if ((m.find(" values for ") != std::string::npos && m.find(" columns") != std::string::npos) ||
        m.find(" values were supplied") != std::string::npos)
        RaiseEngineError(jetValueCountMismatch, source);
    if (StartsWith(m, "ambiguous column name: ")) {
        std::string field = NameAfter(m, "ambiguous column name: ");
        if (field.find('.') != std::string::npos) field.erase(0, field.rfind('.') + 1);
        RaiseEngineError(jetAmbiguousField,
                         "The specified field '" + field +
                             "' could refer to more than one table listed in the FROM clause of your SQL statement.",
                         source);
    }
    if (m.find("do not have the same number of result columns") != std::string::npos)
        RaiseEngineError(jetUnionColumnsMismatch, source);
    if (StartsWith(m, "no such column")) {
        if (StartsWith(Lead(sql, 2), "ALTER TABLE")) RaiseEngineError(jetItemNotFound, source);
        const int expected = db ? CountUnknownNames(db, sql, NameAfter(m, "no such column: ")) : 1;
        RaiseTooFewParameters(static_cast<std::size_t>(expected), source);
    }
    if (StartsWith(m, "no such function: "))
        RaiseEngineError(jetUndefinedFunction,
                         "Undefined function '" + NameAfter(m, "no such function: ") + "' in expression.", source);
    if (StartsWith(m, "duplicate column name: ")) {
        std::string field = NameAfter(m, "duplicate column name: ");
        if (StartsWith(Lead(sql, 2), "ALTER TABLE"))
            RaiseEngineError(jetFieldExists,
                             "Field '" + field + "' already exists in table '" + AlteredTable(sql) + "'.", source);
        RaiseEngineError(jetFieldDefinedTwice, source);
    }
    if (StartsWith(m, "index ") && m.find(" already exists") != std::string::npos)
        RaiseEngineError(jetIndexExists, source);
    // Index names are "<table>.<index>" in SQLite.
    if (StartsWith(m, "no such index: ")) {
        const std::string name = NameAfter(m, "no such index: ");
        const std::size_t dot = name.find('.');
        if (dot == std::string::npos) RaiseEngineError(jetNoTableOrConstraint, source);
        RaiseEngineError(jetNoSuchIndex,
                         "No such index '" + name.substr(dot + 1) + "' on table '" + name.substr(0, dot) + "'.",
                         source);
    }
    if (m.find("syntax error") != std::string::npos || StartsWith(m, "incomplete input") ||
        StartsWith(m, "unrecognized token")) {
        RaiseEngineError(SyntaxErrorOf(sql), source);
    }
    if (StartsWith(m, "integer overflow")) RaiseEngineError(jetNumericOverflow, source);
    // Anything else keeps SQLite's own description, written as a sentence.
    std::string text = m;
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (!text.empty() && text.back() != '.') text += '.';
    RaiseEngineError(jetReservedError, text, source);
}

}  // namespace pavana::engine::sqlite
