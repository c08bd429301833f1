#include "engine/sqlite/SqliteKeysetCursor.h"

#include <strings.h>

#include <algorithm>
#include <limits>

#include "engine/EngineError.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/QuoteIdentifier.h"
#include "engine/sqlite/Relationships.h"
#include "engine/sqlite/SqliteErrors.h"

namespace pavana::engine::sqlite {
namespace {

// From this size on a long binary value is handed over whole rather than copied out of the
// row cache, and written after its statement through incremental blob I/O, so that SQLite
// never builds a record holding a second copy of it.
constexpr std::size_t kStreamedBlobSize = std::size_t{1} << 20;
// The bytes written per sqlite3_blob_write call (its count is an int).
constexpr std::size_t kBlobChunk = std::size_t{1} << 24;

bool IsStreamedBlob(const Variant& value) { return value.IsByteArray() && value.Bytes().size() >= kStreamedBlobSize; }

std::size_t CountCaseless(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at)
        if (strncasecmp(text.c_str() + at, word.c_str(), word.size()) == 0) ++n;
    return n;
}

// Whether a CHECK constraint or a trigger in `sql` (a table's or a trigger's) could tell a
// zero blob from the value written into it afterwards. The engine's own are safe: the
// checks it names, which test text lengths and the kind and range of numbers, and the
// triggers that keep Null out of indexed columns.
bool SeesBlobContents(const std::string& type, const std::string& sql) {
    if (type == "table")
        return CountCaseless(sql, "CHECK") != CountCaseless(sql, "\"pavana_size\" CHECK (") +
                                                  CountCaseless(sql, "\"pavana_type\" CHECK (") +
                                                  CountCaseless(sql, "\"pavana_range\" CHECK (");
    const std::string body = "BEGIN SELECT RAISE(ABORT, 'Index or primary key cannot contain a Null value.'); END";
    return sql.size() < body.size() || sql.compare(sql.size() - body.size(), body.size(), body) != 0;
}

// The schema that holds `table`: "temp" for a temporary table, else "main". Empty when a
// constraint or a trigger could see the row between its statement and the blob writes:
// they would see zeros in place of the value.
std::string StreamingSchema(Connection& connection, const std::string& table) {
    Statement query(connection,
                    "SELECT type, ifnull(sql, ''), 'temp' FROM sqlite_temp_schema "
                    "WHERE tbl_name = ?1 COLLATE NOCASE AND type IN ('table', 'trigger') "
                    "UNION ALL SELECT type, ifnull(sql, ''), 'main' FROM sqlite_schema "
                    "WHERE tbl_name = ?1 COLLATE NOCASE AND type IN ('table', 'trigger')");
    sqlite3_bind_text(query.Handle(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    std::string schema;
    while (query.Step()) {
        const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(query.Handle(), 0));
        if (SeesBlobContents(type, reinterpret_cast<const char*>(sqlite3_column_text(query.Handle(), 1)))) return "";
        if (type == "table" && schema.empty())
            schema = reinterpret_cast<const char*>(sqlite3_column_text(query.Handle(), 2));
    }
    return schema;
}

// The schema SQLite finds `table` in by its name alone: "temp" before "main".
std::string SchemaOf(Connection& connection, const std::string& table) {
    Statement query(connection, "SELECT 1 FROM sqlite_temp_schema WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    sqlite3_bind_text(query.Handle(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    return query.Step() ? "temp" : "main";
}

// Writes `bytes` over the zero blob of the same length that column `column` of row `key`
// holds. False when SQLite refuses to open that column for writing (an indexed, key or
// generated column); a failure while writing raises SqliteFailure.
bool WriteBlob(Connection& connection, const std::string& schema, const std::string& table, const std::string& column,
               std::int64_t key, const std::vector<std::uint8_t>& bytes) {
    sqlite3_blob* blob = nullptr;
    if (sqlite3_blob_open(connection.Handle(), schema.c_str(), table.c_str(), column.c_str(), key, 1, &blob) !=
        SQLITE_OK) {
        sqlite3_blob_close(blob);
        return false;
    }
    int rc = SQLITE_OK;
    for (std::size_t offset = 0; rc == SQLITE_OK && offset < bytes.size(); offset += kBlobChunk) {
        const std::size_t n = std::min(kBlobChunk, bytes.size() - offset);
        rc = sqlite3_blob_write(blob, bytes.data() + offset, static_cast<int>(n), static_cast<int>(offset));
    }
    const int closed = sqlite3_blob_close(blob);
    if (rc == SQLITE_OK) rc = closed;
    if (rc != SQLITE_OK)
        throw SqliteFailure(sqlite3_extended_errcode(connection.Handle()), sqlite3_errmsg(connection.Handle()));
    return true;
}

// True when SQLite runs `sql` as one scan of a table in its rowid order: a plan of one step,
// "SCAN <table>", with no index and no sorting.
bool IsPlainTableScan(Connection& connection, const std::string& sql) {
    Statement plan(connection, ("EXPLAIN QUERY PLAN " + sql).c_str());
    int steps = 0;
    bool plain = false;
    while (plan.Step()) {
        const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(plan.Handle(), 3));
        const std::string text = detail != nullptr ? detail : "";
        plain = text.compare(0, 5, "SCAN ") == 0 && text.find(' ', 5) == std::string::npos;
        ++steps;
    }
    return steps == 1 && plain;
}

}  // namespace

KeysetCursor::KeysetCursor(std::shared_ptr<DatabaseState> state, std::string name,
                           std::shared_ptr<const RecordsetSource> source, std::int32_t type)
    : RecordsetImpl(std::move(state), std::move(name), std::move(source), type) {}

std::string KeysetCursor::ScanSql() const { return source_->KeysetSql(); }

void KeysetCursor::BeginScan(std::int32_t options) {
    Connection& connection = Live();
    keyOrder_ = !source_->HasOrder() && IsPlainTableScan(connection, scanSql_);
    updatable_ =
        (options & dbReadOnly) == 0 && !state_->readOnly && sqlite3_db_readonly(connection.Handle(), "main") == 0;
    scanStartChanges_ = sqlite3_total_changes64(connection.Handle());
    if ((options & dbAppendOnly) != 0) {
        scan_ = Statement();
        scanDone_ = true;
    } else {
        StepScan();
    }
}

bool KeysetCursor::TakeRow(sqlite3_stmt* statement) {
    const std::int64_t key = sqlite3_column_int64(statement, static_cast<int>(columns_.size()));
    // Rows changed while the scan runs may come again (an updated row moving in an index, a
    // row added through this recordset): from then on each key is kept once.
    const std::int64_t changes = sqlite3_total_changes64(sqlite3_db_handle(statement));
    if (!deduplicate_ && changes != scanStartChanges_) {
        deduplicate_ = true;
        seen_.insert(keys_.begin(), keys_.end());
        seen_.insert(added_.begin(), added_.end());
    }
    if (deduplicate_ && !seen_.insert(key).second) return false;
    keys_.push_back(key);
    scanHolds_ = Ref{false, static_cast<std::int64_t>(keys_.size()) - 1};
    scanChanges_ = changes;
    return true;
}

bool KeysetCursor::Exists(const Ref& r) {
    if (r.index < 0) return false;
    if (r.sought) return r.index < static_cast<std::int64_t>(sought_.size());
    if (r.added) return r.index < static_cast<std::int64_t>(added_.size());
    while (r.index >= static_cast<std::int64_t>(keys_.size()) && StepScan()) {
    }
    return r.index < static_cast<std::int64_t>(keys_.size());
}

std::optional<KeysetCursor::Ref> KeysetCursor::NextLive(std::optional<Ref> from) {
    if (from && from->sought && !(from = Placed(*from))) return std::nullopt;
    Ref r = from ? *from : Ref{false, -1};
    for (;;) {
        ++r.index;
        if (!Exists(r)) {
            if (r.added) return std::nullopt;
            r = Ref{true, -1};
            continue;
        }
        if (!IsDeleted(r)) return r;
    }
}

std::optional<KeysetCursor::Ref> KeysetCursor::PreviousLive(std::optional<Ref> from) {
    auto completeScan = [this] {
        while (StepScan()) {
        }
    };
    if (from && from->sought && !(from = Placed(*from))) return std::nullopt;
    Ref r;
    if (from) {
        r = *from;
    } else {
        completeScan();
        r = Ref{true, static_cast<std::int64_t>(added_.size())};
    }
    for (;;) {
        --r.index;
        if (r.index < 0) {
            if (!r.added) return std::nullopt;
            completeScan();
            r = Ref{false, static_cast<std::int64_t>(keys_.size())};
            continue;
        }
        if (!IsDeleted(r)) return r;
    }
}

std::int32_t KeysetCursor::CountReached() const {
    if (type_ == dbOpenTable) {
        // A table-type recordset counts the whole table.
        const std::string sql = "SELECT count(*) FROM " + QuoteIdentifier(source_->BaseTable());
        try {
            Statement count(Live(), sql.c_str());
            count.Step();
            return static_cast<std::int32_t>(sqlite3_column_int64(count.Handle(), 0));
        } catch (const SqliteFailure& failure) {
            RaiseStatementError(failure, sql, kSource);
        }
    }
    return static_cast<std::int32_t>(keys_.size() + added_.size() - deletedKeys_.size());
}

KeysetCursor::Stamp KeysetCursor::CurrentStamp() const {
    sqlite3* db = Live().Handle();
    Stamp s;
    s.changes = sqlite3_total_changes64(db);
    sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, &s.version);
    return s;
}

Variant KeysetCursor::ValueOfCurrent(std::size_t column) const {
    if (IsDeleted(current_)) RecordDeleted();
    // While the scan runs it holds the connection's read transaction, so only this
    // connection's own changes can make the row it stands on stale.
    if (scan_ && scanHolds_ == current_ && scanChanges_ == sqlite3_total_changes64(sqlite3_db_handle(scan_.Handle())))
        return ReadColumn(scan_.Handle(), static_cast<int>(column), columns_[column].type, state_->currency);
    if (!(cacheRef_ == current_ && cacheStamp_ == CurrentStamp()) && !LoadRow(current_)) RecordDeleted();
    if (cacheTaken_[column]) return LongBinaryOfCurrent(column);
    return cache_[column];
}

bool KeysetCursor::LoadRow(const Ref& r) const {
    Connection& connection = Live();
    try {
        if (!rowStatement_) rowStatement_ = Statement(connection, RowSqlLeavingLongBlobs().c_str());
        sqlite3_stmt* st = rowStatement_.Handle();
        rowStatement_.Reset();
        sqlite3_clear_bindings(st);
        const int n = source_->ParameterCount();
        BindValues(st, source_->Values(), n);
        sqlite3_bind_int64(st, n + 1, KeyOf(r));
        const bool found = rowStatement_.Step();
        if (found) {
            cache_.resize(columns_.size());
            cacheTaken_.assign(columns_.size(), false);
            int flag = static_cast<int>(columns_.size());
            for (std::size_t i = 0; i < columns_.size(); ++i) {
                if (LeavesOut(i) && sqlite3_column_int(st, flag++) != 0) {
                    cache_[i] = Variant::Null();
                    cacheTaken_[i] = true;
                } else {
                    cache_[i] = ReadColumn(st, static_cast<int>(i), columns_[i].type, state_->currency);
                }
            }
        }
        rowStatement_.Reset();
        if (!found) {
            cacheRef_ = Ref{};
            return false;
        }
        cacheRef_ = r;
        cacheStamp_ = CurrentStamp();
        return true;
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kSource);
    }
}

std::string KeysetCursor::RowSqlLeavingLongBlobs() const {
    const std::string sql = source_->RowSql();
    std::string names, items, flags;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const std::string name = "c" + std::to_string(i);
        names += (i ? ", " : "") + name;
        items += i ? ", " : "";
        if (!LeavesOut(i)) {
            items += name;
            continue;
        }
        // typeof() and length() of a column are answered without reading its value.
        const std::string large =
            "(typeof(" + name + ") = 'blob' AND length(" + name + ") >= " + std::to_string(kStreamedBlobSize) + ")";
        items += "CASE WHEN " + large + " THEN NULL ELSE " + name + " END";
        flags += ", " + large;
    }
    if (flags.empty()) return sql;
    return "WITH pavana_row_values (" + names + ") AS (" + sql + ") SELECT " + items + flags +
           " FROM pavana_row_values";
}

Variant KeysetCursor::LongBinaryOfCurrent(std::size_t column) const {
    std::optional<Variant> whole = ReadLongBinary(column);
    if (!whole) RecordDeleted();
    return std::move(*whole);
}

// Reading the row through its statement would have SQLite hold a whole copy of the value
// while it is copied out; the blob handle reads it straight into the value's own memory.
// Nothing when the stored value is not a blob that long (or the row is gone): the row's
// statement then reads it, and reports what went wrong.
std::optional<Variant> KeysetCursor::ReadLongBinary(std::size_t column) const {
    Connection& connection = Live();
    const std::string& table = source_->BaseTable();
    const ColumnInfo& c = columns_[column];
    try {
        Statement probe(connection,
                        ("SELECT typeof(" + QuoteIdentifier(c.origin) + ") = 'blob' AND length(" +
                         QuoteIdentifier(c.origin) + ") >= ?2 FROM " + QuoteIdentifier(table) + " WHERE rowid = ?1")
                            .c_str());
        sqlite3_bind_int64(probe.Handle(), 1, KeyOf(current_));
        sqlite3_bind_int64(probe.Handle(), 2, static_cast<std::int64_t>(kStreamedBlobSize));
        if (!probe.Step() || sqlite3_column_int(probe.Handle(), 0) == 0) return std::nullopt;
        if (baseSchema_.empty()) baseSchema_ = SchemaOf(connection, table);
    } catch (const SqliteFailure&) {
        return std::nullopt;
    }
    sqlite3_blob* blob = nullptr;
    std::optional<Variant> value;
    if (sqlite3_blob_open(connection.Handle(), baseSchema_.c_str(), table.c_str(), c.origin.c_str(), KeyOf(current_), 0,
                          &blob) == SQLITE_OK) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sqlite3_blob_bytes(blob)));
        int rc = SQLITE_OK;
        for (std::size_t offset = 0; rc == SQLITE_OK && offset < bytes.size(); offset += kBlobChunk) {
            const std::size_t n = std::min(kBlobChunk, bytes.size() - offset);
            rc = sqlite3_blob_read(blob, bytes.data() + offset, static_cast<int>(n), static_cast<int>(offset));
        }
        if (rc == SQLITE_OK) value = Variant(std::move(bytes));
    }
    sqlite3_blob_close(blob);
    return value;
}

void KeysetCursor::AddNew() {
    CheckUpdatable();
    DropEdit();
    editValues_.assign(columns_.size(), Variant::Null());
    editSet_.assign(columns_.size(), false);
    editMode_ = dbEditAdd;
}

void KeysetCursor::Edit() {
    CheckUpdatable();
    if (at_ != At::OnRecord) NoCurrentRecord();
    if (IsDeleted(current_)) RecordDeleted();
    DropEdit();
    if (!LoadRow(current_)) RecordDeleted();
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (cacheTaken_[i]) cache_[i] = LongBinaryOfCurrent(i);
    // The row read becomes the edit values; the cache is read afresh when next asked for.
    editValues_ = std::move(cache_);
    cacheRef_ = Ref{};
    editSet_.assign(columns_.size(), false);
    editMode_ = dbEditInProgress;
}

void KeysetCursor::Update(std::int32_t type, bool) {
    CheckOpen();
    CheckUpdateType(type);
    if (editMode_ == dbEditNone) WithoutEdit(kSource);
    Connection& connection = Live();
    std::vector<std::size_t> set;
    for (std::size_t i = 0; i < editSet_.size(); ++i)
        if (editSet_[i]) set.push_back(i);
    const std::string table = QuoteIdentifier(source_->BaseTable());
    std::string sql;
    if (editMode_ == dbEditInProgress) {
        if (set.empty()) {
            DropEdit();
            lastModified_ = current_;
            return;
        }
        sql = "UPDATE " + table + " SET ";
        for (std::size_t k = 0; k < set.size(); ++k)
            sql += (k ? ", " : "") + QuoteIdentifier(columns_[set[k]].origin) + " = ?" + std::to_string(k + 1);
        sql += " WHERE rowid = ?" + std::to_string(set.size() + 1);
    } else if (set.empty()) {
        sql = "INSERT INTO " + table + " DEFAULT VALUES";
    } else {
        std::string names, slots;
        for (std::size_t k = 0; k < set.size(); ++k) {
            names += (k ? ", " : "") + QuoteIdentifier(columns_[set[k]].origin);
            slots += (k ? ", ?" : "?") + std::to_string(k + 1);
        }
        sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + slots + ")";
    }
    const bool anyStreamed =
        std::any_of(set.begin(), set.end(), [&](std::size_t i) { return IsStreamedBlob(editValues_[i]); });
    std::optional<std::int64_t> changes = RunUpdate(sql, set, anyStreamed);
    if (!changes) changes = RunUpdate(sql, set, false);
    if (editMode_ == dbEditInProgress) {
        // Like any failed update, this one keeps the edit pending with its values.
        if (*changes == 0) RecordDeleted();
        lastModified_ = current_;
    } else {
        const std::int64_t key = sqlite3_last_insert_rowid(connection.Handle());
        RetireDeletedKey(key);
        added_.push_back(key);
        if (deduplicate_) seen_.insert(key);
        lastModified_ = Ref{true, static_cast<std::int64_t>(added_.size()) - 1};
        anyLive_ = true;
    }
    DropEdit();
}

std::optional<std::int64_t> KeysetCursor::RunUpdate(const std::string& sql, const std::vector<std::size_t>& set,
                                                    bool streamBlobs) {
    Connection& connection = Live();
    try {
        const std::string table = source_->BaseTable();
        const std::string schema = streamBlobs ? StreamingSchema(connection, table) : std::string();
        if (schema.empty()) streamBlobs = false;
        // The statement and the blob writes after it are one piece of work.
        std::optional<Savepoint> savepoint;
        if (streamBlobs) savepoint.emplace(connection);
        Statement statement(connection, sql.c_str());
        for (std::size_t k = 0; k < set.size(); ++k) {
            const Variant& value = editValues_[set[k]];
            const int slot = static_cast<int>(k + 1);
            // The edit values outlive the statement, so SQLite reads a blob in place rather
            // than taking a copy of it first.
            if (streamBlobs && IsStreamedBlob(value))
                sqlite3_bind_zeroblob64(statement.Handle(), slot, value.Bytes().size());
            else if (value.IsByteArray())
                sqlite3_bind_blob64(statement.Handle(), slot, value.Bytes().data(), value.Bytes().size(),
                                    SQLITE_STATIC);
            else BindStored(statement.Handle(), slot, value, state_->currency);
        }
        if (editMode_ == dbEditInProgress)
            sqlite3_bind_int64(statement.Handle(), static_cast<int>(set.size() + 1), KeyOf(current_));
        RunWrite(connection, statement, kSource);  // one statement: SQLite makes it atomic
        const std::int64_t changes = sqlite3_changes64(connection.Handle());
        if (streamBlobs && changes > 0) {
            const std::int64_t key =
                editMode_ == dbEditInProgress ? KeyOf(current_) : sqlite3_last_insert_rowid(connection.Handle());
            statement = Statement();
            for (std::size_t i : set)
                if (IsStreamedBlob(editValues_[i]) &&
                    !WriteBlob(connection, schema, table, columns_[i].origin, key, editValues_[i].Bytes()))
                    return std::nullopt;  // the savepoint rolls the statement back
        }
        if (savepoint) savepoint->Release();
        return changes;
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, sql, kSource, connection.Handle());
    }
}

void KeysetCursor::Delete() {
    CheckUpdatable();
    if (at_ != At::OnRecord) NoCurrentRecord();
    if (IsDeleted(current_)) RecordDeleted();
    DropEdit();
    Connection& connection = Live();
    const std::string sql = "DELETE FROM " + QuoteIdentifier(source_->BaseTable()) + " WHERE rowid = ?1";
    std::int64_t changes = 0;
    try {
        Statement statement(connection, sql.c_str());
        sqlite3_bind_int64(statement.Handle(), 1, KeyOf(current_));
        RunWrite(connection, statement, kSource);  // one statement: SQLite makes it atomic
        changes = sqlite3_changes64(connection.Handle());
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, sql, kSource, connection.Handle());
    }
    if (changes == 0) RecordDeleted();
    deletedKeys_.insert(KeyOf(current_));
    anyLive_ = NextLive(std::nullopt).has_value();
}

void KeysetCursor::RetireDeletedKey(std::int64_t key) {
    if (deletedKeys_.erase(key) == 0) return;
    // Keys no row has, from the bottom of the range up: SQLite never gives them.
    const std::int64_t retired = std::numeric_limits<std::int64_t>::min() + static_cast<std::int64_t>(retiredKeys_++);
    std::replace(keys_.begin(), keys_.end(), key, retired);
    std::replace(added_.begin(), added_.end(), key, retired);
    std::replace(sought_.begin(), sought_.end(), key, retired);
    deletedKeys_.insert(retired);
}

std::optional<KeysetCursor::Ref> KeysetCursor::FirstMatch(const dialect::ast::Expr& condition, std::string& sql) {
    Connection& connection = Live();
    // The query itself finds the first key that meets the criteria; the cursor then finds
    // that key in its keyset. Only records added through this recordset, or a key the keyset
    // does not hold, need testing one by one.
    if (std::optional<std::string> first = source_->FirstMatchSql(condition, keyOrder_)) {
        sql = *first;
        Statement query(connection, sql.c_str());
        BindValues(query.Handle(), source_->Values(), sqlite3_bind_parameter_count(query.Handle()));
        std::optional<std::int64_t> key;
        if (query.Step()) key = sqlite3_column_int64(query.Handle(), static_cast<int>(columns_.size()));
        query = Statement();
        if (!key) {
            sql = source_->RowMatchSql(condition);
            Statement test(connection, sql.c_str());
            for (std::int64_t i = 0; i < static_cast<std::int64_t>(added_.size()); ++i) {
                const Ref r{true, i};
                if (!IsDeleted(r) && Passes(r, test)) return r;
            }
            return std::nullopt;
        }
        std::optional<Ref> found = FoundRecord(*key);
        if (found && !IsDeleted(*found)) return found;
    }
    sql = source_->RowMatchSql(condition);
    Statement test(connection, sql.c_str());
    return FirstPassing(test);
}

void KeysetCursor::BindRecord(sqlite3_stmt* test, const Ref& r) const {
    const int n = source_->ParameterCount();
    BindValues(test, source_->Values(), n);
    sqlite3_bind_int64(test, n + 1, KeyOf(r));
}

void KeysetCursor::ReleaseRecords() {
    rowStatement_ = Statement();
    keys_.clear();
    added_.clear();
    sought_.clear();
    seen_.clear();
}

std::optional<KeysetCursor::Ref> KeysetCursor::HeldRecord(std::int64_t key) const {
    // A keyset read in key order is sorted; one that met changes of the connection on its way
    // may not be, and is searched whole.
    if (keyOrder_) {
        auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
        if (it != keys_.end() && *it == key) return Ref{false, it - keys_.begin()};
    }
    auto it = std::find(keys_.begin(), keys_.end(), key);
    if (it != keys_.end()) return Ref{false, it - keys_.begin()};
    return std::nullopt;
}

// A record the keyset has not reached is taken by its key alone while the keyset is still
// being read, unchanged, and may hold it: reaching its place can wait until the cursor moves
// on from it, and a search need not read every key before it.
std::optional<KeysetCursor::Ref> KeysetCursor::FoundRecord(std::int64_t key) {
    if (std::optional<Ref> held = HeldRecord(key)) return held;
    if (!scanDone_ && !deduplicate_ && (!keyOrder_ || keys_.empty() || key > keys_.back()) &&
        sqlite3_total_changes64(Live().Handle()) == scanStartChanges_) {
        auto it = std::find(sought_.begin(), sought_.end(), key);
        if (it == sought_.end()) it = sought_.insert(sought_.end(), key);
        return Ref{false, it - sought_.begin(), true};
    }
    return KeysetRecord(key);
}

std::optional<KeysetCursor::Ref> KeysetCursor::Placed(const Ref& r) {
    if (!r.sought) return r;
    return KeysetRecord(sought_[static_cast<std::size_t>(r.index)]);
}

std::optional<KeysetCursor::Ref> KeysetCursor::KeysetRecord(std::int64_t key) {
    if (std::optional<Ref> held = HeldRecord(key)) return held;
    if (keyOrder_ && !scanDone_ && !deduplicate_ && (keys_.empty() || key > keys_.back()) &&
        sqlite3_total_changes64(Live().Handle()) == scanStartChanges_)
        return CatchUpTo(key);
    while (StepScan())
        if (keys_.back() == key) return Ref{false, static_cast<std::int64_t>(keys_.size()) - 1};
    return std::nullopt;
}

// Reading the keys alone, in one statement, costs a fraction of stepping the scan over every
// row; the scan then goes on from the row after `key` as if it had stepped there itself.
std::optional<KeysetCursor::Ref> KeysetCursor::CatchUpTo(std::int64_t key) {
    Connection& connection = Live();
    const int n = source_->ParameterCount();
    const std::int64_t after = keys_.empty() ? std::numeric_limits<std::int64_t>::min() : keys_.back();
    std::optional<Ref> found;
    std::string sql = source_->KeyRangeSql();
    try {
        Statement range(connection, sql.c_str());
        BindValues(range.Handle(), source_->Values(), n);
        sqlite3_bind_int64(range.Handle(), n + 1, after);
        sqlite3_bind_int64(range.Handle(), n + 2, key);
        while (range.Step()) keys_.push_back(sqlite3_column_int64(range.Handle(), 0));
        range = Statement();
        if (!keys_.empty() && keys_.back() == key) found = Ref{false, static_cast<std::int64_t>(keys_.size()) - 1};
        sql = source_->KeysetAfterSql();
        Statement next(connection, sql.c_str());
        BindValues(next.Handle(), source_->Values(), n);
        sqlite3_bind_int64(next.Handle(), n + 1, keys_.empty() ? after : keys_.back());
        scan_ = std::move(next);
        scanSql_ = sql;
        scanHolds_ = Ref{};
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, sql, kSource);
    }
    return found;
}

}  // namespace pavana::engine::sqlite
