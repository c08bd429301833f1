#include "engine/sqlite/Relationships.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <vector>

#include "engine/EngineError.h"
#include "engine/sqlite/SqliteErrors.h"

namespace pavana::engine::sqlite {
namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A statement over one bound name.
Statement Prepared(Connection& c, const char* sql, const std::string& name) {
    Statement st(c, sql);
    sqlite3_bind_text(st.Handle(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    return st;
}

// One relationship a table declares: the table it refers to and the columns it names there
// (none when it refers to that table's primary key).
struct Relationship {
    std::string parent;
    std::size_t columns = 0;
    std::vector<std::string> referenced;
};

std::vector<Relationship> RelationshipsOf(Connection& c, const std::string& table) {
    std::vector<Relationship> out;
    Statement list =
        Prepared(c, "SELECT id, \"table\", \"to\" FROM pragma_foreign_key_list(?1) ORDER BY id, seq", table);
    std::optional<int> id;
    while (list.Step()) {
        const int next = sqlite3_column_int(list.Handle(), 0);
        if (id != next) out.push_back({list.Text(1), 0, {}});
        id = next;
        ++out.back().columns;
        if (sqlite3_column_type(list.Handle(), 2) != SQLITE_NULL) out.back().referenced.push_back(list.Text(2));
    }
    return out;
}

// The column sets of `table` that are unique: its primary key and its unique indexes.
std::vector<std::set<std::string>> UniqueKeys(Connection& c, const std::string& table, std::size_t& primaryKeySize) {
    std::vector<std::set<std::string>> keys;
    std::set<std::string> primary;
    Statement info = Prepared(c, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0", table);
    while (info.Step()) primary.insert(Upper(info.Text(0)));
    primaryKeySize = primary.size();
    if (!primary.empty()) keys.push_back(std::move(primary));
    Statement indexes =
        Prepared(c,
                 "SELECT i.name, c.name FROM pragma_index_list(?1) AS i, pragma_index_info(i.name) AS c "
                 "WHERE i.\"unique\" = 1 AND i.partial = 0 ORDER BY i.seq",
                 table);
    std::string current;
    while (indexes.Step()) {
        const std::string index = indexes.Text(0);
        if (keys.empty() || index != current) keys.emplace_back();
        current = index;
        keys.back().insert(Upper(indexes.Text(1)));
    }
    return keys;
}

// The name `table` is stored under, or `table` itself when no table has it.
std::string StoredName(Connection& c, const std::string& table) {
    Statement st =
        Prepared(c, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE", table);
    return st.Step() ? st.Text(0) : table;
}

bool TableExists(Connection& c, const std::string& table) {
    Statement st = Prepared(c, "SELECT 1 FROM pragma_table_info(?1)", table);
    return st.Step();
}

// With the statement's rows written and the checks deferred: the table whose record a row
// of `table` lacks, empty when none does.
std::string MissingParent(Connection& c, const std::string& table) {
    Statement check = Prepared(c, "SELECT parent FROM pragma_foreign_key_check(?1) LIMIT 1", table);
    return check.Step() ? StoredName(c, check.Text(0)) : std::string();
}

// With the statement's rows written and the checks deferred: a table whose rows refer to
// records of `table` that are gone, empty when none does.
std::string OrphanedChild(Connection& c, const std::string& table) {
    Statement children =
        Prepared(c,
                 "SELECT DISTINCT m.name FROM sqlite_master AS m, pragma_foreign_key_list(m.name) AS f "
                 "WHERE m.type = 'table' AND f.\"table\" = ?1 COLLATE NOCASE",
                 table);
    while (children.Step()) {
        const std::string child = children.Text(0);
        Statement check(c, "SELECT 1 FROM pragma_foreign_key_check(?1) WHERE parent = ?2 COLLATE NOCASE LIMIT 1");
        sqlite3_bind_text(check.Handle(), 1, child.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(check.Handle(), 2, table.c_str(), -1, SQLITE_TRANSIENT);
        if (check.Step()) return child;
    }
    return {};
}

}  // namespace

std::string StatementTable(const std::string& sql) {
    const std::size_t open = sql.find('"');
    if (open == std::string::npos) return {};
    std::string name;
    for (std::size_t i = open + 1; i < sql.size(); ++i) {
        if (sql[i] == '"') {
            if (i + 1 < sql.size() && sql[i + 1] == '"') {
                name += '"';
                ++i;
                continue;
            }
            break;
        }
        name += sql[i];
    }
    return name;
}

void CheckDeclaredRelationships(Connection& connection, const std::string& table, const std::string& source) {
    for (const Relationship& r : RelationshipsOf(connection, table)) {
        if (!TableExists(connection, r.parent)) RaiseTableDoesNotExist(r.parent, source);
        const std::string parent = StoredName(connection, r.parent);
        std::size_t primaryKeySize = 0;
        const std::vector<std::set<std::string>> keys = UniqueKeys(connection, parent, primaryKeySize);
        if (r.referenced.empty()) {
            if (primaryKeySize == 0)
                RaiseEngineError(
                    jetNoPrimaryKey,
                    "Cannot create relationship. Referenced table '" + parent + "' does not have a primary key.",
                    source);
            if (primaryKeySize != r.columns) RaiseEngineError(jetRelationshipFieldCount, source);
            continue;
        }
        std::set<std::string> named;
        for (const std::string& column : r.referenced) named.insert(Upper(column));
        if (std::find(keys.begin(), keys.end(), named) == keys.end())
            RaiseEngineError(jetNotUniquelyIndexed,
                             "The specified fields are not uniquely indexed in table '" + parent + "'.", source);
    }
}

void CheckDroppable(Connection& connection, const std::string& table, const std::string& source) {
    Statement st(connection,
                 "SELECT 1 FROM sqlite_master AS m, pragma_foreign_key_list(m.name) AS f "
                 "WHERE m.type = 'table' AND f.\"table\" = ?1 COLLATE NOCASE AND m.name <> ?1 COLLATE NOCASE LIMIT 1");
    sqlite3_bind_text(st.Handle(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (st.Step()) RaiseEngineError(jetTableInRelationship, source);
}

void RaiseBrokenRelationship(Connection& connection, Statement& statement, const std::string& source) {
    const std::string sql = sqlite3_sql(statement.Handle());
    const std::string table = StatementTable(sql);
    const std::string verb = Upper(sql.substr(0, sql.find(' ')));
    std::string parent;
    std::string child;
    try {
        connection.Exec("SAVEPOINT pavana_relationship");
        struct Undo {
            Connection& c;
            ~Undo() {
                sqlite3_exec(c.Handle(),
                             "ROLLBACK TO pavana_relationship; RELEASE pavana_relationship; "
                             "PRAGMA defer_foreign_keys = OFF",
                             nullptr, nullptr, nullptr);
            }
        } undo{connection};
        connection.Exec("PRAGMA defer_foreign_keys = ON");
        statement.Reset();
        while (statement.Step()) {
        }
        if (verb != "DELETE") parent = MissingParent(connection, table);
        if (parent.empty() && verb != "INSERT") child = OrphanedChild(connection, table);
    } catch (const SqliteFailure&) {
        // The second run met another failure first: the relationship stays unnamed.
    }
    if (!child.empty())
        RaiseEngineError(
            jetRelatedRecords,
            "The record cannot be deleted or changed because table '" + child + "' includes related records.", source);
    RaiseEngineError(jetRelatedRecordRequired,
                     parent.empty() ? std::string("You cannot add or change a record because a related record is "
                                                  "required.")
                                    : "You cannot add or change a record because a related record is required in "
                                      "table '" +
                                          parent + "'.",
                     source);
}

void RunWrite(Connection& connection, Statement& statement, const std::string& source) {
    try {
        while (statement.Step()) {
        }
    } catch (const SqliteFailure& failure) {
        if (failure.Code() == SQLITE_CONSTRAINT_FOREIGNKEY) RaiseBrokenRelationship(connection, statement, source);
        throw;
    }
}

}  // namespace pavana::engine::sqlite
