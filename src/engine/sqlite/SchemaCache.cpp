#include "engine/sqlite/SchemaCache.h"

#include <memory>

#include "engine/sqlite/Columns.h"
#include "engine/sqlite/StoreConversion.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {
namespace {

using StatementHandle = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

StatementHandle Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        raw = nullptr;
    }
    return StatementHandle(raw, sqlite3_finalize);
}

// The schema cookie; -1 when it cannot be read (the cache then starts afresh every time).
int SchemaCookie(sqlite3* db) {
    const StatementHandle statement = Prepare(db, "PRAGMA schema_version");
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return -1;
    return sqlite3_column_int(statement.get(), 0);
}

std::vector<SchemaCache::Column> ReadColumns(sqlite3* db, const std::string& table) {
    std::vector<SchemaCache::Column> columns;
    const StatementHandle statement = Prepare(db, "SELECT name, type FROM pragma_table_info(?1) ORDER BY cid");
    if (!statement) return columns;
    sqlite3_bind_text(statement.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
        const auto* declared = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 1));
        SchemaCache::Column column{name != nullptr ? name : "", std::nullopt, std::nullopt};
        if (declared != nullptr) {
            column.type = TypeOfDeclaredType(declared);
            if (const std::optional<ColumnType> field = TypeOfDeclaration(declared)) column.fieldType = field->type;
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

}  // namespace

unsigned SchemaCache::DataVersion(sqlite3* db) {
    unsigned version = 0;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, &version);
    return version;
}

void SchemaCache::Check(sqlite3* db) {
    if (version_ && *version_ == DataVersion(db)) return;
    const int cookie = SchemaCookie(db);
    if (cookie != cookie_ || cookie < 0) {
        tables_.clear();
        ++generation_;
    }
    cookie_ = cookie;
    // Reading the cookie may itself have come upon what others committed.
    version_ = DataVersion(db);
}

const std::vector<SchemaCache::Column>& SchemaCache::Columns(sqlite3* db, const std::string& table) {
    std::string key = LowerCase(table);
    auto found = tables_.find(key);
    if (found != tables_.end()) return found->second;
    return tables_.emplace(std::move(key), ReadColumns(db, table)).first->second;
}

std::optional<dialect::JetType> SchemaCache::ColumnType(sqlite3* db, const std::string& table,
                                                        const std::string& column) {
    for (const Column& c : Columns(db, table))
        if (SameAsciiText(c.name, column)) return c.type;
    return std::nullopt;
}

void SchemaCache::AfterWrite(sqlite3* db, unsigned versionBefore, bool committed) {
    if (!version_ || *version_ != versionBefore) return;
    const unsigned now = DataVersion(db);
    if (now - versionBefore == (committed ? 1u : 0u)) version_ = now;
}

void SchemaCache::Forget() {
    tables_.clear();
    ++generation_;
    version_.reset();
}

}  // namespace pavana::engine::sqlite
