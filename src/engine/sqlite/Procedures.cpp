#include "engine/sqlite/Procedures.h"

#include "engine/EngineError.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/SqliteDatabase.h"
#include "engine/sqlite/SqliteErrors.h"

namespace pavana::engine::sqlite {
namespace {

constexpr const char* kCreateProcedures =
    "CREATE TABLE IF NOT EXISTS pavana_procedures (name TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
    "sql TEXT NOT NULL) WITHOUT ROWID";

constexpr const char* kCreateViews =
    "CREATE TABLE IF NOT EXISTS pavana_views (name TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
    "sql TEXT NOT NULL) WITHOUT ROWID";

bool HasProcedures(Connection& connection) { return HasTable(connection, kProceduresTable); }

[[noreturn]] void NotFound(const std::string& name, const std::string& source) {
    RaiseEngineError(jetCannotFindInput,
                     "The database engine cannot find the input table or query '" + name +
                         "'. Make sure it exists and that its name is spelled correctly.",
                     source);
}

bool NameTaken(Connection& connection, const std::string& name) {
    Statement schema(connection,
                     "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE");
    sqlite3_bind_text(schema.Handle(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    if (schema.Step()) return true;
    if (!HasProcedures(connection)) return false;
    Statement kept(connection, "SELECT 1 FROM pavana_procedures WHERE name = ?1");
    sqlite3_bind_text(kept.Handle(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    return kept.Step();
}

}  // namespace

void RunProcedureDefinition(DatabaseState& state, const dialect::ProcedureCall& call, const std::string& source) {
    Connection& connection = state.Live(source);
    try {
        Savepoint savepoint(connection);
        state.metadataWrites = true;
        struct Restore {
            DatabaseState& s;
            ~Restore() { s.metadataWrites = false; }
        } restore{state};
        if (call.action == dialect::ProcedureCall::Action::Create) {
            if (NameTaken(connection, call.name))
                RaiseEngineError(jetTableExists, "Table '" + call.name + "' already exists.", source);
            connection.Exec(kCreateProcedures);
            Statement insert(connection, "INSERT INTO pavana_procedures (name, sql) VALUES (?1, ?2)");
            sqlite3_bind_text(insert.Handle(), 1, call.name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert.Handle(), 2, call.text.c_str(), -1, SQLITE_TRANSIENT);
            insert.Step();
        } else {
            if (!HasProcedures(connection)) NotFound(call.name, source);
            Statement remove(connection, "DELETE FROM pavana_procedures WHERE name = ?1");
            sqlite3_bind_text(remove.Handle(), 1, call.name.c_str(), -1, SQLITE_TRANSIENT);
            remove.Step();
            if (sqlite3_changes(connection.Handle()) == 0) NotFound(call.name, source);
        }
        savepoint.Release();
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", source, connection.Handle());
    }
}

std::string ProcedureText(Connection& connection, const std::string& name, const std::string& source) {
    try {
        if (!HasProcedures(connection)) NotFound(name, source);
        Statement read(connection, "SELECT sql FROM pavana_procedures WHERE name = ?1");
        sqlite3_bind_text(read.Handle(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
        if (!read.Step()) NotFound(name, source);
        return read.Text(0);
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", source, connection.Handle());
    }
}

std::vector<Variant> ProcedureValues(Connection& connection, const dialect::ProcedureCall& call,
                                     const std::string& source) {
    std::vector<Variant> values;
    if (call.values.empty()) return values;
    try {
        Statement select(connection, call.values.c_str());
        select.Step();
        const int count = sqlite3_column_count(select.Handle());
        for (int i = 0; i < count; ++i) {
            const ColumnType type = TypeOfStorageClass(sqlite3_column_type(select.Handle(), i));
            values.push_back(ReadColumn(select.Handle(), i, type.type, CurrencyStorage::Amount));
        }
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, call.values, source, connection.Handle());
    }
    return values;
}

void KeepViewText(Connection& connection, const std::string& name, const std::string& text) {
    connection.Exec(kCreateViews);
    Statement keep(connection, "INSERT OR REPLACE INTO pavana_views (name, sql) VALUES (?1, ?2)");
    sqlite3_bind_text(keep.Handle(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(keep.Handle(), 2, text.c_str(), -1, SQLITE_TRANSIENT);
    keep.Step();
}

void ForgetViewText(Connection& connection, const std::string& name) {
    if (!HasTable(connection, kViewsTable)) return;
    Statement forget(connection, "DELETE FROM pavana_views WHERE name = ?1");
    sqlite3_bind_text(forget.Handle(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    forget.Step();
}

std::vector<KeptQuery> KeptQueries(Connection& connection) {
    std::string sql = HasTable(connection, kViewsTable)
                          ? "SELECT v.name, coalesce(k.sql, 'SELECT * FROM [' || v.name || ']') FROM sqlite_master v "
                            "LEFT JOIN pavana_views k ON k.name = v.name WHERE v.type = 'view'"
                          : "SELECT name, 'SELECT * FROM [' || name || ']' FROM sqlite_master WHERE type = 'view'";
    if (HasProcedures(connection)) sql += " UNION ALL SELECT name, sql FROM pavana_procedures";
    sql += " ORDER BY 1 COLLATE NOCASE";
    std::vector<KeptQuery> queries;
    Statement list(connection, sql.c_str());
    while (list.Step()) queries.push_back({list.Text(0), list.Text(1)});
    return queries;
}

}  // namespace pavana::engine::sqlite
