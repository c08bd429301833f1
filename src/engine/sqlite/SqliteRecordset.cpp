#include "engine/sqlite/SqliteRecordset.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/EngineError.h"
#include "engine/sqlite/QuoteIdentifier.h"
#include "engine/sqlite/Relationships.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/CurrencyColumns.h"
#include "engine/sqlite/DateColumns.h"
#include "engine/sqlite/WholeNumberColumns.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {
namespace {

const char* const kSource = "DAO.Recordset";
const char* const kFieldSource = "DAO.Field";

[[noreturn]] void NotSupported() {
    RaiseEngineError(jetNotSupported, kSource);
}
[[noreturn]] void ReadOnly() {
    RaiseEngineError(jetCannotUpdateReadOnly, kSource);
}
[[noreturn]] void WithoutEdit(const char* source) {
    RaiseEngineError(jetUpdateWithoutEdit, source);
}
[[noreturn]] void InvalidArgument() { RaiseEngineError(jetInvalidArgument, kSource); }

// From this size on a long binary value is handed over whole rather than copied out of the
// row cache, and written after its statement through incremental blob I/O, so that SQLite
// never builds a record holding a second copy of it.
constexpr std::size_t kStreamedBlobSize = std::size_t{1} << 20;
// The bytes written per sqlite3_blob_write call (its count is an int).
constexpr std::size_t kBlobChunk = std::size_t{1} << 24;

bool IsBinary(std::int32_t type) { return type == dbBinary || type == dbLongBinary || type == dbVarBinary; }

bool IsStreamedBlob(const Variant& value) {
    return value.IsByteArray() && value.Bytes().size() >= kStreamedBlobSize;
}

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
    const std::string body = std::string("BEGIN SELECT RAISE(ABORT, '") + EngineMessage(jetNullKey) + "'); END";
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
bool WriteBlob(Connection& connection, const std::string& schema, const std::string& table,
               const std::string& column, std::int64_t key, const std::vector<std::uint8_t>& bytes) {
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

bool IsVariableLength(std::int32_t type) {
    return type == dbText || type == dbMemo || type == dbBinary || type == dbLongBinary ||
           type == dbVarBinary;
}

bool IsRecordsetType(std::int32_t t) {
    return t == dbOpenTable || t == dbOpenDynaset || t == dbOpenSnapshot || t == dbOpenForwardOnly ||
           t == dbOpenDynamic;
}

std::int32_t OptionalInteger(const Variant& v, std::int32_t fallback) {
    if (v.IsAbsent()) return fallback;
    try {
        return v.ToInteger();
    } catch (const EConvertError&) {
        InvalidArgument();
    }
}

std::size_t Utf8Length(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

void BindValues(sqlite3_stmt* st, const std::vector<Variant>& values, int count) {
    for (int i = 0; i < count && i < static_cast<int>(values.size()); ++i)
        BindVariant(st, i + 1, values[static_cast<std::size_t>(i)]);
}

// A table with a rowid (not a view, not WITHOUT ROWID), in the main or the temporary schema.
bool IsRowidTable(Connection& connection, const std::string& table) {
    Statement type(connection,
                   "SELECT type FROM sqlite_temp_schema WHERE name = ?1 COLLATE NOCASE "
                   "UNION ALL SELECT type FROM sqlite_schema WHERE name = ?1 COLLATE NOCASE");
    sqlite3_bind_text(type.Handle(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (!type.Step()) return false;
    if (strcmp(reinterpret_cast<const char*>(sqlite3_column_text(type.Handle(), 0)), "table") != 0) return false;
    try {
        Statement probe(connection, ("SELECT rowid FROM " + QuoteIdentifier(table) + " LIMIT 0").c_str());
        return static_cast<bool>(probe);
    } catch (const SqliteFailure&) {
        return false;
    }
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

// A failure of a search or filter statement: a name SQLite does not know is one the engine
// does not recognise.
[[noreturn]] void RaiseSearchError(const SqliteFailure& failure, const std::string& sql) {
    const std::string m = failure.what();
    const std::string prefix = "no such column: ";
    if (m.compare(0, prefix.size(), prefix) == 0)
        RaiseEngineError(jetUnknownFieldName,
                         "The Microsoft Jet database engine does not recognize '" + m.substr(prefix.size()) +
                             "' as a valid field name or expression.",
                         kSource);
    RaiseStatementError(failure, sql, kSource);
}

}  // namespace

RecordsetImpl::RecordsetImpl(std::shared_ptr<DatabaseState> state, std::string name,
                             std::shared_ptr<const RecordsetSource> source, std::int32_t type)
    : state_(std::move(state)),
      name_(std::move(name)),
      source_(std::move(source)),
      type_(type),
      fieldsObject_(*this) {}

std::shared_ptr<RecordsetImpl> RecordsetImpl::Open(std::shared_ptr<DatabaseState> state, std::string name,
                                                   std::shared_ptr<const RecordsetSource> source,
                                                   std::int32_t type, std::int32_t options) {
    state->Live(kSource);
    if (!IsRecordsetType(type)) InvalidArgument();
    if ((options & dbForwardOnly) != 0) type = dbOpenForwardOnly;
    std::shared_ptr<RecordsetImpl> rs(new RecordsetImpl(std::move(state), std::move(name), std::move(source), type));
    rs->Start(options);
    return rs;
}

RecordsetImpl::~RecordsetImpl() { state_->cursors.erase(this); }

Connection& RecordsetImpl::Live() const { return state_->Live(kSource); }

RecordsetImpl::Stamp RecordsetImpl::CurrentStamp() const {
    sqlite3* db = Live().Handle();
    Stamp s;
    s.changes = sqlite3_total_changes64(db);
    sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, &s.version);
    return s;
}

void RecordsetImpl::Start(std::int32_t options) {
    Connection& connection = Live();
    try {
        const bool keyset = type_ != dbOpenSnapshot && type_ != dbOpenForwardOnly && !source_->BaseTable().empty() &&
                            IsRowidTable(connection, source_->BaseTable());
        if (type_ == dbOpenTable && !(keyset && source_->WholeTable()))
            RaiseEngineError(jetInvalidOperation, kSource);
        holding_ = keyset ? Holding::Keyset : Holding::Rows;
        scanSql_ = keyset ? source_->KeysetSql() : source_->Sql();
        scan_ = Statement(connection, scanSql_.c_str());
        if (!scan_) RaiseEngineError(jetInvalidOperation, kSource);
        BindValues(scan_.Handle(), source_->Values(), sqlite3_bind_parameter_count(scan_.Handle()));
        keyOrder_ = keyset && !source_->HasOrder() && IsPlainTableScan(connection, scanSql_);
        updatable_ = keyset && (options & dbReadOnly) == 0 && !state_->readOnly &&
                     sqlite3_db_readonly(connection.Handle(), "main") == 0;
        DescribeColumns();
        scanStartChanges_ = sqlite3_total_changes64(connection.Handle());
        if ((options & dbAppendOnly) != 0 && keyset) {
            scan_ = Statement();
            scanDone_ = true;
        } else {
            StepScan();
        }
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, scanSql_, kSource, connection.Handle());
    }
    for (ColumnInfo& c : columns_) {
        if (c.type == 0) {
            ColumnType t = TypeOfStorageClass(SQLITE_NULL);
            c.type = t.type;
            c.size = t.size;
        }
        c.attributes |= IsVariableLength(c.type) ? dbVariableField : dbFixedField;
        if (updatable_ && c.writable) c.attributes |= dbUpdatableField;
    }
    fields_.reserve(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i) fields_.emplace_back(*this, i);
    if (holding_ == Holding::Keyset ? !keys_.empty() : !rows_.empty()) {
        GoTo(Ref{false, 0});
        anyLive_ = true;
    }
    state_->cursors.insert(this);
}

void RecordsetImpl::DescribeColumns() {
    Connection& connection = Live();
    sqlite3_stmt* st = scan_.Handle();
    const int count = sqlite3_column_count(st) - (holding_ == Holding::Keyset ? 1 : 0);
    for (int i = 0; i < count; ++i) {
        ColumnInfo c;
        c.name = sqlite3_column_name(st, i);
        const char* table = sqlite3_column_table_name(st, i);
        const char* origin = sqlite3_column_origin_name(st, i);
        const char* db = sqlite3_column_database_name(st, i);
        if (table != nullptr) c.table = table;
        if (origin != nullptr) c.origin = origin;
        const char* declared = sqlite3_column_decltype(st, i);
        auto type = declared != nullptr ? TypeOfDeclaration(declared) : std::nullopt;
        int notNull = 0, primaryKey = 0, autoIncrement = 0;
        if (table != nullptr && origin != nullptr)
            sqlite3_table_column_metadata(connection.Handle(), db, table, origin, nullptr, nullptr, &notNull,
                                          &primaryKey, &autoIncrement);
        c.required = notNull != 0;
        bool counter = autoIncrement != 0;
        if (type) {
            c.type = type->type;
            c.size = type->size;
            counter = counter || type->counter;
        }
        if (counter) c.attributes |= dbAutoIncrField;
        // The NOT NULL of a Yes/No column is the engine's own (Null is stored as No), not the
        // Required property.
        if (c.type == dbBoolean) c.required = false;
        c.writable = holding_ == Holding::Keyset && !counter && !c.origin.empty() &&
                     SameAsciiText(c.table, source_->BaseTable());
        columns_.push_back(std::move(c));
    }
    TypeExpressionColumns();
    ReadColumnMetadata();
}

// A date column is typed at once, whatever storage class its values have (a whole day may be
// an INTEGER, a date from another program text); the others wait for their first value.
void RecordsetImpl::TypeExpressionColumns() {
    bool anyUntyped = false;
    for (const ColumnInfo& c : columns_) anyUntyped = anyUntyped || c.type == 0;
    if (!anyUntyped) return;
    const dialect::ast::Statement& statement = source_->Parsed();
    const DeclaredColumnType declaredType = DeclaredTypesOf(Live().Handle());
    const std::vector<bool> dates = DateColumns(statement, columns_.size(), declaredType);
    const std::vector<bool> whole = WholeNumberColumns(statement, columns_.size(), declaredType);
    const std::vector<bool> currency = CurrencyColumns(statement, columns_.size(), declaredType);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        ColumnInfo& c = columns_[i];
        if (c.type != 0) continue;
        if (dates[i] || currency[i]) {
            c.type = dates[i] ? dbDate : dbCurrency;
            c.size = 8;
        }
        c.wholeNumbers = whole[i];
    }
}

// Default texts and zero-length rules of the columns that come from tables the engine made.
void RecordsetImpl::ReadColumnMetadata() {
    Connection& connection = Live();
    bool any = false;
    for (const ColumnInfo& c : columns_) any = any || !c.origin.empty();
    if (!any) return;
    Statement exists(connection, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'pavana_columns'");
    if (!exists.Step()) return;
    Statement read(connection,
                   "SELECT default_value, allow_zero_length FROM pavana_columns WHERE table_name = ?1 AND "
                   "column_name = ?2");
    for (ColumnInfo& c : columns_) {
        if (c.origin.empty()) continue;
        sqlite3_bind_text(read.Handle(), 1, c.table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(read.Handle(), 2, c.origin.c_str(), -1, SQLITE_TRANSIENT);
        if (read.Step()) {
            c.hasMetadata = true;
            if (sqlite3_column_type(read.Handle(), 0) != SQLITE_NULL)
                c.defaultText = reinterpret_cast<const char*>(sqlite3_column_text(read.Handle(), 0));
            c.allowZeroLength = sqlite3_column_int(read.Handle(), 1) != 0;
        }
        read.Reset();
    }
}

bool RecordsetImpl::StepScan() {
    if (scanDone_) return false;
    try {
        while (scan_.Step()) {
            sqlite3_stmt* st = scan_.Handle();
            if (keys_.empty() && rows_.empty() && firstKept_ == 0) {
                // Columns without a declared type take the type of their first value. A whole
                // first value makes a Long only of an expression that gives no other kind, and
                // only within 32 bits (Jet types a longer literal as a Double).
                for (std::size_t i = 0; i < columns_.size(); ++i) {
                    if (columns_[i].type != 0) continue;
                    ColumnType t = TypeOfStorageClass(sqlite3_column_type(st, static_cast<int>(i)));
                    const std::int64_t whole = sqlite3_column_int64(st, static_cast<int>(i));
                    if (t.type == dbLong &&
                        (!columns_[i].wholeNumbers || whole < INT32_MIN || whole > INT32_MAX))
                        t = {dbDouble, 8, false};
                    columns_[i].type = t.type;
                    columns_[i].size = t.size;
                }
            }
            if (holding_ == Holding::Keyset) {
                const std::int64_t key = sqlite3_column_int64(st, static_cast<int>(columns_.size()));
                // Rows changed while the scan runs may come again (an updated row moving in an
                // index, a row added through this recordset): from then on each key is kept once.
                const std::int64_t changes = sqlite3_total_changes64(sqlite3_db_handle(st));
                if (!deduplicate_ && changes != scanStartChanges_) {
                    deduplicate_ = true;
                    seen_.insert(keys_.begin(), keys_.end());
                    seen_.insert(added_.begin(), added_.end());
                }
                if (deduplicate_ && !seen_.insert(key).second) continue;
                keys_.push_back(key);
                scanHolds_ = Ref{false, static_cast<std::int64_t>(keys_.size()) - 1};
                scanChanges_ = changes;
            } else {
                std::vector<Variant> row;
                row.reserve(columns_.size());
                for (std::size_t i = 0; i < columns_.size(); ++i)
                    row.push_back(ReadColumn(st, static_cast<int>(i), columns_[i].type));
                if (type_ == dbOpenForwardOnly && !rows_.empty()) {
                    firstKept_ += static_cast<std::int64_t>(rows_.size());
                    rows_.clear();
                }
                rows_.push_back(std::move(row));
            }
            return true;
        }
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, scanSql_, kSource);
    }
    // Finishing the statement ends its read transaction at once.
    scanDone_ = true;
    scan_ = Statement();
    scanHolds_ = Ref{};
    return false;
}

bool RecordsetImpl::Exists(const Ref& r) {
    if (r.index < 0) return false;
    if (r.sought) return r.index < static_cast<std::int64_t>(sought_.size());
    if (r.added) return r.index < static_cast<std::int64_t>(added_.size());
    if (holding_ == Holding::Keyset) {
        while (r.index >= static_cast<std::int64_t>(keys_.size()) && StepScan()) {
        }
        return r.index < static_cast<std::int64_t>(keys_.size());
    }
    while (r.index >= firstKept_ + static_cast<std::int64_t>(rows_.size()) && StepScan()) {
    }
    return r.index >= firstKept_ && r.index < firstKept_ + static_cast<std::int64_t>(rows_.size());
}

std::optional<RecordsetImpl::Ref> RecordsetImpl::NextLive(std::optional<Ref> from) {
    if (from && from->sought && !(from = Placed(*from))) return std::nullopt;
    Ref r = from ? *from : Ref{false, -1};
    for (;;) {
        ++r.index;
        if (!Exists(r)) {
            if (r.added || holding_ != Holding::Keyset) return std::nullopt;
            r = Ref{true, -1};
            continue;
        }
        if (!IsDeleted(r)) return r;
    }
}

std::optional<RecordsetImpl::Ref> RecordsetImpl::PreviousLive(std::optional<Ref> from) {
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
        r = holding_ == Holding::Keyset ? Ref{true, static_cast<std::int64_t>(added_.size())}
                                        : Ref{false, firstKept_ + static_cast<std::int64_t>(rows_.size())};
    }
    for (;;) {
        --r.index;
        if (r.index < 0) {
            if (!r.added) return std::nullopt;
            completeScan();
            r = Ref{false, static_cast<std::int64_t>(keys_.size())};
            continue;
        }
        if (!r.added && holding_ == Holding::Rows && r.index < firstKept_) return std::nullopt;
        if (!IsDeleted(r)) return r;
    }
}

void RecordsetImpl::GoTo(const Ref& r) {
    current_ = r;
    at_ = At::OnRecord;
}

void RecordsetImpl::DropEdit() {
    editMode_ = dbEditNone;
    editValues_.clear();
    editSet_.clear();
}

void RecordsetImpl::ObjectInvalid() const {
    RaiseEngineError(jetObjectInvalid, kSource);
}

void RecordsetImpl::CheckScrollable() const {
    CheckOpen();
    if (type_ == dbOpenForwardOnly) NotSupported();
}

void RecordsetImpl::CheckUpdatable() const {
    CheckOpen();
    Live();
    if (!updatable_) ReadOnly();
}

void RecordsetImpl::NoCurrentRecord() const {
    RaiseEngineError(jetNoCurrentRecord, kSource);
}

void RecordsetImpl::RecordDeleted() const { RaiseEngineError(jetRecordDeleted, kSource); }

bool RecordsetImpl::IsBOF() const {
    CheckOpen();
    return at_ == At::BeforeFirst || (!anyLive_ && at_ != At::OnRecord);
}

bool RecordsetImpl::IsEOF() const {
    CheckOpen();
    return at_ == At::AfterLast || (!anyLive_ && at_ != At::OnRecord);
}

bool RecordsetImpl::Updatable() const {
    CheckOpen();
    return updatable_;
}

std::int32_t RecordsetImpl::RecordCount() const {
    CheckOpen();
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
    if (holding_ == Holding::Keyset)
        return static_cast<std::int32_t>(keys_.size() + added_.size() - deletedKeys_.size());
    return static_cast<std::int32_t>(firstKept_ + static_cast<std::int64_t>(rows_.size()));
}

void RecordsetImpl::MoveFirst() {
    CheckOpen();
    // A forward-only recordset can only stay on its first record.
    if (type_ == dbOpenForwardOnly && !(at_ == At::OnRecord && current_.index == 0 && firstKept_ == 0))
        NotSupported();
    DropEdit();
    std::optional<Ref> r = NextLive(std::nullopt);
    if (!r) NoCurrentRecord();
    GoTo(*r);
}

void RecordsetImpl::MoveLast(std::int32_t) {
    CheckOpen();
    DropEdit();
    std::optional<Ref> r = PreviousLive(std::nullopt);
    if (!r) NoCurrentRecord();
    GoTo(*r);
}

void RecordsetImpl::MoveNext() {
    CheckOpen();
    if (IsEOF()) NoCurrentRecord();
    DropEdit();
    // The common step, browsing a keyset nothing was deleted from: its next key, read from
    // the scan when the keyset does not hold it yet.
    if (at_ == At::OnRecord && holding_ == Holding::Keyset && !current_.added && !current_.sought &&
        deletedKeys_.empty() && Exists(Ref{false, current_.index + 1})) {
        ++current_.index;
        return;
    }
    std::optional<Ref> r = NextLive(at_ == At::OnRecord ? std::optional<Ref>(current_) : std::nullopt);
    if (r) GoTo(*r);
    else at_ = At::AfterLast;
}

void RecordsetImpl::MovePrevious() {
    CheckScrollable();
    if (IsBOF()) NoCurrentRecord();
    DropEdit();
    std::optional<Ref> r = PreviousLive(at_ == At::OnRecord ? std::optional<Ref>(current_) : std::nullopt);
    if (r) GoTo(*r);
    else at_ = At::BeforeFirst;
}

namespace {

// Bookmarks below -kSoughtBase name records found ahead of the keyset.
constexpr std::int64_t kSoughtBase = std::int64_t{1} << 30;

std::uint32_t MarkOf(bool added, bool sought, std::int64_t index) {
    if (sought) return static_cast<std::uint32_t>(-(kSoughtBase + index + 1));
    return static_cast<std::uint32_t>(added ? -(index + 1) : index + 1);
}

Variant BookmarkOf(bool added, bool sought, std::int64_t index) {
    const std::uint32_t mark = MarkOf(added, sought, index);
    return Variant(std::vector<std::uint8_t>{static_cast<std::uint8_t>(mark), static_cast<std::uint8_t>(mark >> 8),
                                             static_cast<std::uint8_t>(mark >> 16),
                                             static_cast<std::uint8_t>(mark >> 24)});
}

}  // namespace

Variant RecordsetImpl::Bookmark() const {
    CheckOpen();
    if (at_ != At::OnRecord) NoCurrentRecord();
    if (IsDeleted(current_)) RecordDeleted();
    return BookmarkOf(current_.added, current_.sought, current_.index);
}

std::int32_t RecordsetImpl::BookmarkKey() const {
    CheckOpen();
    if (at_ != At::OnRecord) NoCurrentRecord();
    if (IsDeleted(current_)) RecordDeleted();
    return static_cast<std::int32_t>(MarkOf(current_.added, current_.sought, current_.index));
}

std::int32_t RecordsetImpl::PositionKey() const {
    CheckOpen();
    if (at_ != At::OnRecord) return 0;
    if (IsDeleted(current_)) RecordDeleted();
    return static_cast<std::int32_t>(MarkOf(current_.added, current_.sought, current_.index));
}

Variant RecordsetImpl::ValueAtPosition(std::int32_t positionKey, std::int32_t index, bool& read) const {
    read = RecordsetImpl::PositionKey() == positionKey;
    if (!read) return Variant();
    if (index < 0 || static_cast<std::size_t>(index) >= columns_.size())
        RaiseEngineError(jetItemNotFound, kSource);
    return CurrentValue(static_cast<std::size_t>(index));
}

std::optional<RecordsetImpl::Ref> RecordsetImpl::RefOfBookmark(const Variant& bookmark) {
    if (!bookmark.IsByteArray() || bookmark.Bytes().size() < 4) return std::nullopt;
    const auto& b = bookmark.Bytes();
    const auto mark = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) |
                                                static_cast<std::uint32_t>(b[1]) << 8 |
                                                static_cast<std::uint32_t>(b[2]) << 16 |
                                                static_cast<std::uint32_t>(b[3]) << 24);
    if (mark == 0 || (mark < 0 && holding_ != Holding::Keyset)) return std::nullopt;
    const std::int64_t m = mark;
    Ref r = m > 0 ? Ref{false, m - 1} : m < -kSoughtBase ? Ref{false, -m - kSoughtBase - 1, true} : Ref{true, -m - 1};
    if (!Exists(r)) return std::nullopt;
    return r;
}

void RecordsetImpl::SetBookmark(const Variant& bookmark) {
    CheckOpen();
    std::optional<Ref> r = RefOfBookmark(bookmark);
    if (!r) RaiseEngineError(jetNotValidBookmark, kSource);
    if (type_ == dbOpenForwardOnly && !(at_ == At::OnRecord && *r == current_)) NotSupported();
    DropEdit();
    if (IsDeleted(*r)) RecordDeleted();
    GoTo(*r);
}

Variant RecordsetImpl::LastModified() const {
    CheckOpen();
    if (!lastModified_) NoCurrentRecord();
    return BookmarkOf(lastModified_->added, lastModified_->sought, lastModified_->index);
}

std::shared_ptr<Fields> RecordsetImpl::GetFields() const {
    CheckOpen();
    auto self = std::const_pointer_cast<RecordsetImpl>(shared_from_this());
    return std::shared_ptr<Fields>(self, &self->fieldsObject_);
}

std::shared_ptr<Field> RecordsetImpl::FieldAt(std::size_t column) const {
    // One reference count taken, none copied: fields are read once per value.
    return std::shared_ptr<Field>(std::const_pointer_cast<RecordsetImpl>(shared_from_this()),
                                  const_cast<FieldImpl*>(&fields_[column]));
}

bool RecordsetImpl::LoadRow(const Ref& r) const {
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
                    cache_[i] = ReadColumn(st, static_cast<int>(i), columns_[i].type);
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

Variant RecordsetImpl::CurrentValue(std::size_t column) const {
    CheckOpen();
    if (editMode_ != dbEditNone) return editValues_[column];
    if (at_ != At::OnRecord) NoCurrentRecord();
    if (holding_ == Holding::Rows) {
        if (current_.index < firstKept_) NoCurrentRecord();
        return rows_[static_cast<std::size_t>(current_.index - firstKept_)][column];
    }
    if (IsDeleted(current_)) RecordDeleted();
    // While the scan runs it holds the connection's read transaction, so only this
    // connection's own changes can make the row it stands on stale.
    if (scan_ && scanHolds_ == current_ &&
        scanChanges_ == sqlite3_total_changes64(sqlite3_db_handle(scan_.Handle())))
        return ReadColumn(scan_.Handle(), static_cast<int>(column), columns_[column].type);
    if (!(cacheRef_ == current_ && cacheStamp_ == CurrentStamp()) && !LoadRow(current_)) RecordDeleted();
    if (cacheTaken_[column]) return LongBinaryOfCurrent(column);
    return cache_[column];
}

void RecordsetImpl::CheckColumnSettable(std::size_t column) const {
    CheckOpen();
    if (editMode_ == dbEditNone) WithoutEdit(kFieldSource);
    if (!columns_[column].writable) RaiseEngineError(jetFieldNotUpdatable, kFieldSource);
}

void RecordsetImpl::TakeCurrentValue(std::size_t column, Variant&& value) {
    CheckColumnSettable(column);
    // A byte array is a binary column's stored form already: there is nothing to convert.
    if (!value.IsByteArray() || !IsBinary(columns_[column].type)) {
        SetCurrentValue(column, value);
        return;
    }
    editValues_[column] = std::move(value);
    editSet_[column] = true;
}

std::string RecordsetImpl::RowSqlLeavingLongBlobs() const {
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
        const std::string large = "(typeof(" + name + ") = 'blob' AND length(" + name +
                                  ") >= " + std::to_string(kStreamedBlobSize) + ")";
        items += "CASE WHEN " + large + " THEN NULL ELSE " + name + " END";
        flags += ", " + large;
    }
    if (flags.empty()) return sql;
    return "WITH pavana_row_values (" + names + ") AS (" + sql + ") SELECT " + items + flags +
           " FROM pavana_row_values";
}

Variant RecordsetImpl::LongBinaryOfCurrent(std::size_t column) const {
    std::optional<Variant> whole = ReadLongBinary(column);
    if (!whole) RecordDeleted();
    return std::move(*whole);
}

// Reading the row through its statement would have SQLite hold a whole copy of the value
// while it is copied out; the blob handle reads it straight into the value's own memory.
// Nothing when the stored value is not a blob that long (or the row is gone): the row's
// statement then reads it, and reports what went wrong.
std::optional<Variant> RecordsetImpl::ReadLongBinary(std::size_t column) const {
    Connection& connection = Live();
    const std::string& table = source_->BaseTable();
    const ColumnInfo& c = columns_[column];
    try {
        Statement probe(connection, ("SELECT typeof(" + QuoteIdentifier(c.origin) + ") = 'blob' AND length(" +
                                     QuoteIdentifier(c.origin) + ") >= ?2 FROM " + QuoteIdentifier(table) +
                                     " WHERE rowid = ?1")
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
    if (sqlite3_blob_open(connection.Handle(), baseSchema_.c_str(), table.c_str(), c.origin.c_str(), KeyOf(current_),
                          0, &blob) == SQLITE_OK) {
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

void RecordsetImpl::SetCurrentValue(std::size_t column, const Variant& value) {
    CheckColumnSettable(column);
    const ColumnInfo& c = columns_[column];
    Variant v;
    try {
        // One conversion, straight from the caller's value: a blob is copied once, not twice.
        v = value.IsAbsent() ? Variant::Null() : ConvertToFieldType(value, c.type, FormatSettings::Current());
        // A Yes/No field has no Null: the value lives in the record's null mask, where Null is No.
        if (c.type == dbBoolean && v.IsNull()) v = Variant(false);
    } catch (const EConvertError&) {
        RaiseEngineError(jetConversionError, kFieldSource);
    }
    if (c.type == dbText && c.size > 0 && v.IsText() && Utf8Length(v.ToString()) > static_cast<std::size_t>(c.size))
        RaiseEngineError(jetFieldTooSmall, kFieldSource);
    editValues_[column] = std::move(v);
    editSet_[column] = true;
}

Variant RecordsetImpl::ColumnDefault(std::size_t column) const {
    CheckOpen();
    const ColumnInfo& c = columns_[column];
    if (c.table.empty()) return Variant();
    if (c.hasMetadata) return c.defaultText.empty() ? Variant() : Variant(c.defaultText);
    // A table another program made: SQLite's own default text.
    Connection& connection = state_->Live(kFieldSource);
    try {
        Statement query(connection, "SELECT dflt_value FROM pragma_table_info(?1) WHERE name = ?2");
        sqlite3_bind_text(query.Handle(), 1, c.table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(query.Handle(), 2, c.origin.c_str(), -1, SQLITE_TRANSIENT);
        if (!query.Step() || sqlite3_column_type(query.Handle(), 0) == SQLITE_NULL) return Variant();
        return Variant(std::string(reinterpret_cast<const char*>(sqlite3_column_text(query.Handle(), 0))));
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kFieldSource);
    }
}

std::int32_t RecordsetImpl::EditMode() const {
    CheckOpen();
    return editMode_;
}

void RecordsetImpl::AddNew() {
    CheckUpdatable();
    DropEdit();
    editValues_.assign(columns_.size(), Variant::Null());
    editSet_.assign(columns_.size(), false);
    editMode_ = dbEditAdd;
}

void RecordsetImpl::Edit() {
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

namespace {

void CheckUpdateType(std::int32_t type) {
    if (type == dbUpdateBatch) NotSupported();
    if (type != dbUpdateRegular) InvalidArgument();
}

}  // namespace

void RecordsetImpl::Update(std::int32_t type, bool) {
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

std::optional<std::int64_t> RecordsetImpl::RunUpdate(const std::string& sql, const std::vector<std::size_t>& set,
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
            else
                BindVariant(statement.Handle(), slot, value);
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

void RecordsetImpl::CancelUpdate(std::int32_t type) {
    CheckOpen();
    CheckUpdateType(type);
    if (editMode_ == dbEditNone) WithoutEdit(kSource);
    DropEdit();
}

void RecordsetImpl::Delete() {
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

void RecordsetImpl::RetireDeletedKey(std::int64_t key) {
    if (deletedKeys_.erase(key) == 0) return;
    // Keys no row has, from the bottom of the range up: SQLite never gives them.
    const std::int64_t retired = std::numeric_limits<std::int64_t>::min() + static_cast<std::int64_t>(retiredKeys_++);
    std::replace(keys_.begin(), keys_.end(), key, retired);
    std::replace(added_.begin(), added_.end(), key, retired);
    std::replace(sought_.begin(), sought_.end(), key, retired);
    deletedKeys_.insert(retired);
}

std::string RecordsetImpl::Filter() const {
    CheckOpen();
    return filter_;
}

void RecordsetImpl::SetFilter(const std::string& filter) {
    CheckOpen();
    if (type_ == dbOpenTable || type_ == dbOpenForwardOnly) NotSupported();
    filter_ = filter;
}

std::string RecordsetImpl::Sort() const {
    CheckOpen();
    return sort_;
}

void RecordsetImpl::SetSort(const std::string& sort) {
    CheckOpen();
    if (type_ == dbOpenTable || type_ == dbOpenForwardOnly) NotSupported();
    sort_ = sort;
}

std::shared_ptr<Recordset> RecordsetImpl::OpenRecordset(const Variant& type, const Variant& options) {
    CheckOpen();
    if (type_ == dbOpenForwardOnly) NotSupported();
    const std::int32_t t = OptionalInteger(type, type_ == dbOpenTable ? dbOpenDynaset : type_);
    const std::int32_t o = OptionalInteger(options, 0);
    if (!IsRecordsetType(t)) InvalidArgument();
    std::shared_ptr<const RecordsetSource> narrowed = source_->Narrowed(filter_, sort_);
    return Open(state_, name_, std::move(narrowed), t, o);
}

bool RecordsetImpl::RowMatches(const Ref& r, Statement& test) {
    sqlite3_stmt* st = test.Handle();
    test.Reset();
    sqlite3_clear_bindings(st);
    if (holding_ == Holding::Keyset) {
        const int n = source_->ParameterCount();
        BindValues(st, source_->Values(), n);
        sqlite3_bind_int64(st, n + 1, KeyOf(r));
    } else {
        const auto& row = rows_[static_cast<std::size_t>(r.index - firstKept_)];
        for (std::size_t i = 0; i < row.size(); ++i) BindVariant(st, static_cast<int>(i + 1), row[i]);
    }
    const bool match = test.Step();
    test.Reset();
    return match;
}

void RecordsetImpl::FindFirst(const std::string& criteria) {
    CheckScrollable();
    dialect::ast::ExprPtr condition = RecordsetSource::ParseCriteria(criteria);
    Connection& connection = Live();
    std::optional<Ref> found;
    std::string sql;
    try {
        bool searched = false;
        if (holding_ == Holding::Keyset) {
            // The query itself finds the first key that meets the criteria; the cursor then
            // finds that key in its keyset. Only records added through this recordset, or
            // a key the keyset does not hold, need testing one by one.
            if (std::optional<std::string> first = source_->FirstMatchSql(*condition, keyOrder_)) {
                sql = *first;
                Statement query(connection, sql.c_str());
                BindValues(query.Handle(), source_->Values(), sqlite3_bind_parameter_count(query.Handle()));
                std::optional<std::int64_t> key;
                if (query.Step()) key = sqlite3_column_int64(query.Handle(), static_cast<int>(columns_.size()));
                query = Statement();
                if (key) {
                    found = FoundRecord(*key);
                    if (found && IsDeleted(*found)) found.reset();
                    searched = found.has_value();
                } else {
                    sql = source_->RowMatchSql(*condition);
                    Statement test(connection, sql.c_str());
                    for (std::int64_t i = 0; i < static_cast<std::int64_t>(added_.size()) && !found; ++i) {
                        const Ref r{true, i};
                        if (!IsDeleted(r) && RowMatches(r, test)) found = r;
                    }
                    searched = true;
                }
            }
        }
        if (!searched) {
            if (holding_ == Holding::Keyset) {
                sql = source_->RowMatchSql(*condition);
            } else {
                std::vector<std::string> names;
                std::vector<bool> text;
                for (const ColumnInfo& c : columns_) {
                    names.push_back(c.name);
                    text.push_back(c.type == dbText || c.type == dbMemo);
                }
                sql = RecordsetSource::ValuesMatchSql(*condition, names, text);
            }
            Statement test(connection, sql.c_str());
            for (std::optional<Ref> r = NextLive(std::nullopt); r && !found; r = NextLive(r))
                if (RowMatches(*r, test)) found = r;
        }
    } catch (const SqliteFailure& failure) {
        RaiseSearchError(failure, sql);
    }
    noMatch_ = !found;
    if (found) {
        DropEdit();
        GoTo(*found);
    }
}

std::optional<RecordsetImpl::Ref> RecordsetImpl::HeldRecord(std::int64_t key) const {
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
std::optional<RecordsetImpl::Ref> RecordsetImpl::FoundRecord(std::int64_t key) {
    if (std::optional<Ref> held = HeldRecord(key)) return held;
    if (!scanDone_ && !deduplicate_ && (!keyOrder_ || keys_.empty() || key > keys_.back()) &&
        sqlite3_total_changes64(Live().Handle()) == scanStartChanges_) {
        auto it = std::find(sought_.begin(), sought_.end(), key);
        if (it == sought_.end()) it = sought_.insert(sought_.end(), key);
        return Ref{false, it - sought_.begin(), true};
    }
    return KeysetRecord(key);
}

std::optional<RecordsetImpl::Ref> RecordsetImpl::Placed(const Ref& r) {
    if (!r.sought) return r;
    return KeysetRecord(sought_[static_cast<std::size_t>(r.index)]);
}

std::optional<RecordsetImpl::Ref> RecordsetImpl::KeysetRecord(std::int64_t key) {
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
std::optional<RecordsetImpl::Ref> RecordsetImpl::CatchUpTo(std::int64_t key) {
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

bool RecordsetImpl::NoMatch() const {
    CheckOpen();
    return noMatch_;
}

void RecordsetImpl::Close() {
    CheckOpen();
    CloseCursor();
}

void RecordsetImpl::CloseCursor() {
    scan_ = Statement();
    rowStatement_ = Statement();
    rows_.clear();
    keys_.clear();
    added_.clear();
    sought_.clear();
    seen_.clear();
    DropEdit();
    closed_ = true;
    state_->cursors.erase(this);
}

}  // namespace pavana::engine::sqlite
