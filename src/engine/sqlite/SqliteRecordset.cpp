#include "engine/sqlite/SqliteRecordset.h"

#include <cstring>

#include "engine/EngineError.h"
#include "engine/dialect/CurrencyColumns.h"
#include "engine/dialect/DateColumns.h"
#include "engine/dialect/WholeNumberColumns.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/QuoteIdentifier.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/SqliteKeysetCursor.h"
#include "engine/sqlite/SqlitePrinter.h"
#include "engine/sqlite/SqliteStaticCursor.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {

namespace {

const char* const kRecordsetSource = "DAO.Recordset";

[[noreturn]] void InvalidArgument() { RaiseEngineError(jetInvalidArgument, kRecordsetSource); }

bool IsBinary(std::int32_t type) { return type == dbBinary || type == dbLongBinary || type == dbVarBinary; }

bool IsVariableLength(std::int32_t type) {
    return type == dbText || type == dbMemo || type == dbBinary || type == dbLongBinary || type == dbVarBinary;
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

// A failure of a search or filter statement: a name SQLite does not know is one the engine
// does not recognise.
[[noreturn]] void RaiseSearchError(const SqliteFailure& failure, const std::string& sql) {
    const std::string m = failure.what();
    const std::string prefix = "no such column: ";
    if (m.compare(0, prefix.size(), prefix) == 0)
        RaiseEngineError(jetUnknownFieldName,
                         "The Microsoft Jet database engine does not recognize '" + m.substr(prefix.size()) +
                             "' as a valid field name or expression.",
                         kRecordsetSource);
    RaiseStatementError(failure, sql, kRecordsetSource);
}

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

const char* const RecordsetImpl::kSource = kRecordsetSource;
const char* const RecordsetImpl::kFieldSource = "DAO.Field";

void RecordsetImpl::NotSupported() { RaiseEngineError(jetNotSupported, kSource); }

void RecordsetImpl::WithoutEdit(const char* source) { RaiseEngineError(jetUpdateWithoutEdit, source); }

void RecordsetImpl::CheckUpdateType(std::int32_t type) {
    if (type == dbUpdateBatch) NotSupported();
    if (type != dbUpdateRegular) InvalidArgument();
}

void RecordsetImpl::BindValues(sqlite3_stmt* statement, const std::vector<Variant>& values, int count) {
    for (int i = 0; i < count && i < static_cast<int>(values.size()); ++i)
        BindVariant(statement, i + 1, values[static_cast<std::size_t>(i)]);
}

RecordsetImpl::RecordsetImpl(std::shared_ptr<DatabaseState> state, std::string name,
                             std::shared_ptr<const RecordsetSource> source, std::int32_t type)
    : state_(std::move(state)), name_(std::move(name)), source_(std::move(source)), type_(type), fieldsObject_(*this) {}

std::shared_ptr<RecordsetImpl> RecordsetImpl::Open(std::shared_ptr<DatabaseState> state, std::string name,
                                                   std::shared_ptr<const RecordsetSource> source, std::int32_t type,
                                                   std::int32_t options) {
    Connection& connection = state->Live(kSource);
    if (!IsRecordsetType(type)) InvalidArgument();
    if ((options & dbForwardOnly) != 0) type = dbOpenForwardOnly;
    bool keyset = false;
    try {
        keyset = type != dbOpenSnapshot && type != dbOpenForwardOnly && !source->BaseTable().empty() &&
                 IsRowidTable(connection, source->BaseTable());
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kSource, connection.Handle());
    }
    if (type == dbOpenTable && !(keyset && source->WholeTable())) RaiseEngineError(jetInvalidOperation, kSource);
    std::shared_ptr<RecordsetImpl> rs;
    if (keyset) rs.reset(new KeysetCursor(std::move(state), std::move(name), std::move(source), type));
    else rs.reset(new StaticCursor(std::move(state), std::move(name), std::move(source), type));
    rs->Start(options);
    return rs;
}

RecordsetImpl::~RecordsetImpl() { state_->cursors.erase(this); }

Connection& RecordsetImpl::Live() const { return state_->Live(kSource); }

void RecordsetImpl::Start(std::int32_t options) {
    Connection& connection = Live();
    try {
        scanSql_ = ScanSql();
        scan_ = Statement(connection, scanSql_.c_str());
        if (!scan_) RaiseEngineError(jetInvalidOperation, kSource);
        BindValues(scan_.Handle(), source_->Values(), sqlite3_bind_parameter_count(scan_.Handle()));
        DescribeColumns(sqlite3_column_count(scan_.Handle()) - KeyColumnCount(), KeyColumnCount() != 0);
        BeginScan(options);
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, scanSql_, kSource, connection.Handle());
    }
    for (ColumnInfo& c : columns_) {
        if (c.type == 0) {
            // No row told the type: an expression that gives only numbers is typed by it.
            const int storage = !c.numbers ? SQLITE_NULL : c.wholeNumbers ? SQLITE_INTEGER : SQLITE_FLOAT;
            ColumnType t = TypeOfStorageClass(storage);
            c.type = t.type;
            c.size = t.size;
        }
        c.attributes |= IsVariableLength(c.type) ? dbVariableField : dbFixedField;
        if (updatable_ && c.writable) c.attributes |= dbUpdatableField;
    }
    fields_.reserve(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i) fields_.emplace_back(*this, i);
    if (Exists(Ref{false, 0})) {
        GoTo(Ref{false, 0});
        anyLive_ = true;
    }
    state_->cursors.insert(this);
}

void RecordsetImpl::DescribeColumns(int count, bool writable) {
    Connection& connection = Live();
    sqlite3_stmt* st = scan_.Handle();
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
        c.writable = writable && !counter && !c.origin.empty() && SameAsciiText(c.table, source_->BaseTable());
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
    sqlite3* db = Live().Handle();
    state_->schema.Check(db);
    CachedSchema schema(state_->schema, db);
    const std::vector<bool> dates = dialect::DateColumns(statement, columns_.size(), schema);
    const std::vector<bool> whole = dialect::WholeNumberColumns(statement, columns_.size(), schema);
    const std::vector<bool> currency = dialect::CurrencyColumns(statement, columns_.size(), schema);
    const std::vector<bool> numbers = dialect::NumberColumns(statement, columns_.size(), schema);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        ColumnInfo& c = columns_[i];
        if (c.type != 0) continue;
        if (dates[i] || currency[i]) {
            c.type = dates[i] ? dbDate : dbCurrency;
            c.size = 8;
        }
        c.wholeNumbers = whole[i];
        c.numbers = numbers[i];
    }
}

// Default texts and zero-length rules of the columns that come from tables the engine made.
void RecordsetImpl::ReadColumnMetadata() {
    Connection& connection = Live();
    bool any = false;
    for (const ColumnInfo& c : columns_) any = any || !c.origin.empty();
    if (!any) return;
    if (!HasTable(connection, kColumnMetadataTable)) return;
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
            if (!typedByFirstRow_) {
                // Columns without a declared type take the type of their first value. A whole
                // first value makes a Long only of an expression that gives no other kind, and
                // only within 32 bits (Jet types a longer literal as a Double). A Null first
                // value of an expression that gives only numbers tells nothing: such a column
                // is a Long when it gives only whole numbers, else a Double.
                typedByFirstRow_ = true;
                for (std::size_t i = 0; i < columns_.size(); ++i) {
                    if (columns_[i].type != 0) continue;
                    int storage = sqlite3_column_type(st, static_cast<int>(i));
                    if (storage == SQLITE_NULL && columns_[i].numbers)
                        storage = columns_[i].wholeNumbers ? SQLITE_INTEGER : SQLITE_FLOAT;
                    ColumnType t = TypeOfStorageClass(storage);
                    const std::int64_t whole = sqlite3_column_int64(st, static_cast<int>(i));
                    if (t.type == dbLong && (!columns_[i].wholeNumbers || whole < INT32_MIN || whole > INT32_MAX))
                        t = {dbDouble, 8, false};
                    columns_[i].type = t.type;
                    columns_[i].size = t.size;
                }
            }
            if (TakeRow(st)) return true;
        }
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, scanSql_, kSource);
    }
    // Finishing the statement ends its read transaction at once.
    scanDone_ = true;
    scan_ = Statement();
    return false;
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

void RecordsetImpl::ObjectInvalid() const { RaiseEngineError(jetObjectInvalid, kSource); }

void RecordsetImpl::CheckScrollable() const {
    CheckOpen();
    if (type_ == dbOpenForwardOnly) NotSupported();
}

void RecordsetImpl::CheckUpdatable() const {
    CheckOpen();
    Live();
    if (!updatable_) RaiseEngineError(jetCannotUpdateReadOnly, kSource);
}

void RecordsetImpl::NoCurrentRecord() const { RaiseEngineError(jetNoCurrentRecord, kSource); }

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
    return CountReached();
}

void RecordsetImpl::MoveFirst() {
    CheckOpen();
    // A forward-only recordset can only stay on its first record.
    if (type_ == dbOpenForwardOnly && !(at_ == At::OnRecord && current_.index == 0 && Exists(current_))) NotSupported();
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

std::optional<Variant> RecordsetImpl::ValueAtPosition(std::int32_t positionKey, std::int32_t index) const {
    if (RecordsetImpl::PositionKey() != positionKey) return std::nullopt;
    if (index < 0 || static_cast<std::size_t>(index) >= columns_.size()) RaiseEngineError(jetItemNotFound, kSource);
    return CurrentValue(static_cast<std::size_t>(index));
}

std::optional<RecordsetImpl::Ref> RecordsetImpl::RefOfBookmark(const Variant& bookmark) {
    if (!bookmark.IsByteArray() || bookmark.Bytes().size() < 4) return std::nullopt;
    const auto& b = bookmark.Bytes();
    const auto mark =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                  static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
    if (mark == 0) return std::nullopt;
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

Variant RecordsetImpl::CurrentValue(std::size_t column) const {
    CheckOpen();
    if (editMode_ != dbEditNone) return editValues_[column];
    if (at_ != At::OnRecord) NoCurrentRecord();
    return ValueOfCurrent(column);
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

void RecordsetImpl::CancelUpdate(std::int32_t type) {
    CheckOpen();
    CheckUpdateType(type);
    if (editMode_ == dbEditNone) WithoutEdit(kSource);
    DropEdit();
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

bool RecordsetImpl::Passes(const Ref& r, Statement& test) {
    test.Reset();
    sqlite3_clear_bindings(test.Handle());
    BindRecord(test.Handle(), r);
    const bool match = test.Step();
    test.Reset();
    return match;
}

std::optional<RecordsetImpl::Ref> RecordsetImpl::FirstPassing(Statement& test) {
    for (std::optional<Ref> r = NextLive(std::nullopt); r; r = NextLive(r))
        if (Passes(*r, test)) return r;
    return std::nullopt;
}

void RecordsetImpl::FindFirst(const std::string& criteria) {
    CheckScrollable();
    dialect::ast::ExprPtr condition = RecordsetSource::ParseCriteria(criteria);
    Live();
    std::optional<Ref> found;
    std::string sql;
    try {
        found = FirstMatch(*condition, sql);
    } catch (const SqliteFailure& failure) {
        RaiseSearchError(failure, sql);
    }
    noMatch_ = !found;
    if (found) {
        DropEdit();
        GoTo(*found);
    }
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
    ReleaseRecords();
    DropEdit();
    closed_ = true;
    state_->cursors.erase(this);
}

}  // namespace pavana::engine::sqlite
