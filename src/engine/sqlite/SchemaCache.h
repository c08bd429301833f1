// What a connection knows of its database's tables between statements: each table's columns
// in order with their declared types, read from the schema once and kept until the schema
// changes, whether this connection or another program changes it.
//
// Whether the schema may have changed is told without a query: SQLite's data version
// (SQLITE_FCNTL_DATA_VERSION) moves with every transaction committed to the file, this
// connection's and those of others it has seen. `Check` compares the schema cookie (PRAGMA
// schema_version) only when the version has moved in a way the connection's own statements
// do not explain (`AfterWrite`). A change by another program becomes visible to the
// connection when its next statement starts reading the file; the statement after that one
// is translated with the new schema.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/dialect/JetTypes.h"
#include "engine/dialect/SchemaView.h"

namespace pavana::engine::sqlite {

class SchemaCache {
public:
    using Column = dialect::SchemaView::Column;

    // Forgets what it knows when the schema may have changed since it was read.
    void Check(sqlite3* db);
    // The columns of `table` (any case) in their order; empty when there is no such table.
    const std::vector<Column>& Columns(sqlite3* db, const std::string& table);
    // The type of column `column` of `table` (both any case); nullopt when there is no such
    // column or its declaration names no type.
    std::optional<dialect::JetType> ColumnType(sqlite3* db, const std::string& table, const std::string& column);
    // Called after a statement of this connection that may have written, with the data
    // version read just before it ran: a statement committed on its own moves the version by
    // one, a statement inside a transaction not at all; anything more is another program's.
    void AfterWrite(sqlite3* db, unsigned versionBefore, bool committed);
    // Forgets everything: this connection changed the schema.
    void Forget();
    // Moves on whenever the cache forgets what it read: a translation made at another
    // generation may have been made for another schema.
    std::uint64_t Generation() const { return generation_; }

    static unsigned DataVersion(sqlite3* db);

private:
    std::unordered_map<std::string, std::vector<Column>> tables_;  // keyed by the lower-case name
    std::optional<unsigned> version_;                              // data version the cache agrees with
    int cookie_ = -1;
    std::uint64_t generation_ = 0;
};

// The schema a statement of connection `db` is translated and analysed with: what `cache`
// knows of it, read on demand. Both are borrowed; call `cache.Check(db)` before.
class CachedSchema final : public dialect::SchemaView {
public:
    CachedSchema(SchemaCache& cache, sqlite3* db) : cache_(cache), db_(db) {}
    const std::vector<Column>& Columns(const std::string& table) override { return cache_.Columns(db_, table); }

private:
    SchemaCache& cache_;
    sqlite3* db_;
};

}  // namespace pavana::engine::sqlite
