#include "engine/sqlite/SqliteRecordset.h"

#include <strings.h>

#include <cctype>
#include <limits>
#include <optional>

#include "engine/EngineError.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/SqliteQueryDef.h"

namespace pavana::engine::sqlite {
namespace {

const char* const kSource = "DAO.Recordset";
const char* const kFieldSource = "DAO.Field";

[[noreturn]] void ItemNotFound(const char* source) {
    RaiseEngineError(jetItemNotFound, "Item not found in this collection.", source);
}
[[noreturn]] void NotSupported() {
    RaiseEngineError(jetNotSupported, "Operation is not supported for this type of object.", kSource);
}
[[noreturn]] void ReadOnly() {
    RaiseEngineError(jetCannotUpdateReadOnly, "Cannot update. Database or object is read-only.", kSource);
}

bool IsVariableLength(std::int32_t type) {
    return type == dbText || type == dbMemo || type == dbBinary || type == dbLongBinary ||
           type == dbVarBinary;
}

class PropertyImpl : public Property {
public:
    PropertyImpl(std::string name, Variant value) : name_(std::move(name)), value_(std::move(value)) {}
    std::string Name() const override { return name_; }
    Variant Value() const override { return value_; }
    void SetValue(const Variant&) override {
        RaiseEngineError(jetCannotPerform, "Cannot perform this operation.", "DAO.Property");
    }

private:
    std::string name_;
    Variant value_;
};

class PropertiesImpl : public Properties {
public:
    explicit PropertiesImpl(std::vector<std::shared_ptr<Property>> items) : items_(std::move(items)) {}
    std::int32_t Count() const override { return static_cast<std::int32_t>(items_.size()); }
    std::shared_ptr<Property> Item(std::int32_t index) const override {
        if (index < 0 || index >= Count()) ItemNotFound("DAO.Properties");
        return items_[static_cast<std::size_t>(index)];
    }
    std::shared_ptr<Property> Item(const std::string& name) const override {
        for (const auto& p : items_)
            if (strcasecmp(p->Name().c_str(), name.c_str()) == 0) return p;
        RaiseEngineError(jetPropertyNotFound, "Property not found.", "DAO.Properties");
    }

private:
    std::vector<std::shared_ptr<Property>> items_;
};

class FieldImpl : public Field {
public:
    FieldImpl(std::shared_ptr<const RecordsetImpl> recordset, std::size_t index)
        : recordset_(std::move(recordset)), index_(index) {}

    std::string Name() const override { return Info().name; }
    std::int32_t Type() const override { return Info().type; }
    std::int32_t Size() const override { return Info().size; }
    std::int32_t Attributes() const override { return Info().attributes; }
    Variant DefaultValue() const override { return recordset_->ColumnDefault(index_); }
    Variant Value() const override { return recordset_->CurrentValue(index_); }
    void SetValue(const Variant&) override {
        RaiseEngineError(jetUpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.",
                         kFieldSource);
    }
    std::shared_ptr<Properties> GetProperties() const override {
        const ColumnInfo& c = Info();
        std::vector<std::shared_ptr<Property>> items;
        auto add = [&](const char* name, Variant value) {
            items.push_back(std::make_shared<PropertyImpl>(name, std::move(value)));
        };
        add("Name", Variant(c.name));
        add("Type", Variant(static_cast<std::int16_t>(c.type)));
        add("Size", Variant(static_cast<std::int32_t>(c.size)));
        add("Attributes", Variant(static_cast<std::int32_t>(c.attributes)));
        add("DefaultValue", DefaultValue());
        add("Required", Variant(c.required));
        add("AllowZeroLength", Variant(false));
        add("OrdinalPosition", Variant(static_cast<std::int16_t>(index_)));
        add("SourceTable", Variant(c.table));
        add("SourceField", Variant(c.origin));
        add("ValidationRule", Variant(std::string()));
        add("ValidationText", Variant(std::string()));
        return std::make_shared<PropertiesImpl>(std::move(items));
    }

private:
    const ColumnInfo& Info() const { return recordset_->Columns()[index_]; }

    std::shared_ptr<const RecordsetImpl> recordset_;
    std::size_t index_;
};

class FieldsImpl : public Fields {
public:
    explicit FieldsImpl(std::shared_ptr<const RecordsetImpl> recordset) : recordset_(std::move(recordset)) {}
    std::int32_t Count() const override { return static_cast<std::int32_t>(recordset_->Columns().size()); }
    std::shared_ptr<Field> Item(std::int32_t index) const override {
        if (index < 0 || index >= Count()) ItemNotFound("DAO.Fields");
        return std::make_shared<FieldImpl>(recordset_, static_cast<std::size_t>(index));
    }
    std::shared_ptr<Field> Item(const std::string& name) const override {
        const auto& columns = recordset_->Columns();
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (strcasecmp(columns[i].name.c_str(), name.c_str()) == 0)
                return std::make_shared<FieldImpl>(recordset_, i);
        ItemNotFound("DAO.Fields");
    }

private:
    std::shared_ptr<const RecordsetImpl> recordset_;
};

// The statement of a source text for composing a new query on it: the text without its
// final semicolon. Nothing when the text starts with a PARAMETERS clause.
std::optional<std::string> ComposableSource(const std::string& text) {
    std::string s = text;
    while (!s.empty() && (s.back() == ';' || std::isspace(static_cast<unsigned char>(s.back())))) s.pop_back();
    std::size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || strncasecmp(s.c_str() + first, "PARAMETERS", 10) == 0)
        return std::nullopt;
    return s.substr(first);
}

}  // namespace

RecordsetImpl::RecordsetImpl(std::shared_ptr<DatabaseState> state, std::string name, std::int32_t type)
    : state_(std::move(state)), name_(std::move(name)), type_(type) {}

std::shared_ptr<RecordsetImpl> RecordsetImpl::Open(std::shared_ptr<DatabaseState> state, std::string name,
                                                   const dialect::Translation& translation,
                                                   const std::vector<Variant>& values, std::int32_t type) {
    Connection& connection = state->Live(kSource);
    std::shared_ptr<RecordsetImpl> rs(new RecordsetImpl(state, std::move(name), type));
    rs->sql_ = translation.sql;
    std::vector<bool> undeclared;
    try {
        rs->statement_ = Statement(connection, translation.sql.c_str());
        if (!rs->statement_) RaiseEngineError(jetInvalidOperation, "Invalid operation.", kSource);
        sqlite3_stmt* st = rs->statement_.Handle();
        const int slots = sqlite3_bind_parameter_count(st);
        for (int i = 0; i < slots && i < static_cast<int>(values.size()); ++i)
            BindVariant(st, i + 1, values[static_cast<std::size_t>(i)]);
        const int count = sqlite3_column_count(st);
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
                sqlite3_table_column_metadata(connection.Handle(), db, table, origin, nullptr, nullptr,
                                              &notNull, &primaryKey, &autoIncrement);
            c.required = notNull != 0;
            if (type) {
                c.type = type->type;
                c.size = type->size;
                if (type->counter || autoIncrement != 0) c.attributes |= dbAutoIncrField;
            }
            undeclared.push_back(!type);
            rs->columns_.push_back(std::move(c));
        }
        if (rs->statement_.Step()) {
            for (std::size_t i = 0; i < rs->columns_.size(); ++i) {
                if (!undeclared[i]) continue;
                ColumnType t = TypeOfStorageClass(sqlite3_column_type(st, static_cast<int>(i)));
                rs->columns_[i].type = t.type;
                rs->columns_[i].size = t.size;
            }
            rs->ReadRow();
        } else {
            rs->done_ = true;
            rs->statement_ = Statement();
        }
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, translation.sql, kSource);
    }
    for (std::size_t i = 0; i < rs->columns_.size(); ++i) {
        ColumnInfo& c = rs->columns_[i];
        if (undeclared[i] && c.type == 0) {
            ColumnType t = TypeOfStorageClass(SQLITE_NULL);
            c.type = t.type;
            c.size = t.size;
        }
        c.attributes |= IsVariableLength(c.type) ? dbVariableField : dbFixedField;
    }
    if (!rs->rows_.empty()) {
        rs->position_ = 0;
        rs->bof_ = rs->eof_ = false;
    }
    if (!rs->done_) state->cursors.insert(rs.get());
    return rs;
}

RecordsetImpl::~RecordsetImpl() { state_->cursors.erase(this); }

void RecordsetImpl::ReadRow() {
    std::vector<Variant> row;
    row.reserve(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
        row.push_back(ReadColumn(statement_.Handle(), static_cast<int>(i), columns_[i].type));
    if (type_ == dbOpenForwardOnly && !rows_.empty()) {
        firstKept_ += static_cast<std::int64_t>(rows_.size());
        rows_.clear();
    }
    rows_.push_back(std::move(row));
}

bool RecordsetImpl::Fetch(std::int64_t index) {
    try {
        while (!done_ && firstKept_ + static_cast<std::int64_t>(rows_.size()) <= index) {
            if (statement_.Step()) {
                ReadRow();
            } else {
                // Finishing the statement ends its read transaction at once.
                done_ = true;
                statement_ = Statement();
                state_->cursors.erase(this);
            }
        }
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, sql_, kSource);
    }
    return index >= firstKept_ && index < firstKept_ + static_cast<std::int64_t>(rows_.size());
}

void RecordsetImpl::CheckOpen() const {
    if (closed_) RaiseEngineError(jetObjectInvalid, "Object invalid or no longer set.", kSource);
}

void RecordsetImpl::CheckScrollable() const {
    CheckOpen();
    if (type_ == dbOpenForwardOnly) NotSupported();
}

void RecordsetImpl::NoCurrentRecord() const {
    RaiseEngineError(jetNoCurrentRecord, "No current record.", kSource);
}

bool RecordsetImpl::IsBOF() const {
    CheckOpen();
    return bof_;
}

bool RecordsetImpl::IsEOF() const {
    CheckOpen();
    return eof_;
}

std::int32_t RecordsetImpl::RecordCount() const {
    CheckOpen();
    return static_cast<std::int32_t>(firstKept_ + static_cast<std::int64_t>(rows_.size()));
}

void RecordsetImpl::MoveFirst() {
    CheckScrollable();
    if (!Fetch(0)) NoCurrentRecord();
    position_ = 0;
    bof_ = eof_ = false;
}

void RecordsetImpl::MoveLast(std::int32_t) {
    CheckScrollable();
    Fetch(std::numeric_limits<std::int64_t>::max());
    if (rows_.empty()) NoCurrentRecord();
    position_ = firstKept_ + static_cast<std::int64_t>(rows_.size()) - 1;
    bof_ = eof_ = false;
}

void RecordsetImpl::MoveNext() {
    CheckOpen();
    if (eof_) NoCurrentRecord();
    ++position_;
    bof_ = false;
    eof_ = !Fetch(position_);
}

void RecordsetImpl::MovePrevious() {
    CheckScrollable();
    if (bof_) NoCurrentRecord();
    --position_;
    eof_ = false;
    if (position_ < 0) {
        position_ = -1;
        bof_ = true;
    }
}

Variant RecordsetImpl::Bookmark() const {
    CheckOpen();
    if (bof_ || eof_) NoCurrentRecord();
    auto mark = static_cast<std::uint32_t>(position_ + 1);
    return Variant(std::vector<std::uint8_t>{static_cast<std::uint8_t>(mark), static_cast<std::uint8_t>(mark >> 8),
                                             static_cast<std::uint8_t>(mark >> 16),
                                             static_cast<std::uint8_t>(mark >> 24)});
}

void RecordsetImpl::SetBookmark(const Variant& bookmark) {
    CheckScrollable();
    auto invalid = [] { RaiseEngineError(jetNotValidBookmark, "Not a valid bookmark.", kSource); };
    if (!bookmark.IsByteArray() || bookmark.Bytes().size() < 4) invalid();
    const auto& b = bookmark.Bytes();
    auto mark = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                          static_cast<std::uint32_t>(b[2]) << 16 |
                                          static_cast<std::uint32_t>(b[3]) << 24);
    if (mark <= 0 || !Fetch(mark - 1)) invalid();
    position_ = mark - 1;
    bof_ = eof_ = false;
}

Variant RecordsetImpl::LastModified() const {
    CheckOpen();
    NoCurrentRecord();
}

std::shared_ptr<Fields> RecordsetImpl::GetFields() const {
    CheckOpen();
    return std::make_shared<FieldsImpl>(shared_from_this());
}

const Variant& RecordsetImpl::CurrentValue(std::size_t column) const {
    CheckOpen();
    if (bof_ || eof_ || position_ < firstKept_) NoCurrentRecord();
    return rows_[static_cast<std::size_t>(position_ - firstKept_)][column];
}

Variant RecordsetImpl::ColumnDefault(std::size_t column) const {
    CheckOpen();
    const ColumnInfo& c = columns_[column];
    if (c.table.empty()) return Variant();
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

void RecordsetImpl::AddNew() {
    CheckOpen();
    ReadOnly();
}

void RecordsetImpl::Edit() {
    CheckOpen();
    ReadOnly();
}

void RecordsetImpl::Delete() {
    CheckOpen();
    ReadOnly();
}

void RecordsetImpl::Update(std::int32_t, bool) {
    CheckOpen();
    RaiseEngineError(jetUpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.", kSource);
}

void RecordsetImpl::CancelUpdate(std::int32_t) {
    CheckOpen();
    RaiseEngineError(jetUpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.", kSource);
}

void RecordsetImpl::SetFilter(const std::string& filter) {
    CheckOpen();
    filter_ = filter;
}

void RecordsetImpl::SetSort(const std::string& sort) {
    CheckOpen();
    sort_ = sort;
}

std::shared_ptr<Recordset> RecordsetImpl::OpenRecordset(const Variant& type, const Variant& options) {
    CheckOpen();
    std::optional<std::string> source = ComposableSource(name_);
    if (!source) NotSupported();
    std::string sql = "SELECT * FROM (" + *source + ")";
    if (!filter_.empty()) sql += " WHERE " + filter_;
    if (!sort_.empty()) sql += " ORDER BY " + sort_;
    QueryDefImpl query(state_, "", sql);
    return query.OpenRecordset(type.IsAbsent() ? Variant(type_) : type, options, Variant());
}

void RecordsetImpl::FindFirst(const std::string&) {
    CheckScrollable();
    NotSupported();
}

void RecordsetImpl::Close() {
    CheckOpen();
    CloseCursor();
}

void RecordsetImpl::CloseCursor() {
    statement_ = Statement();
    rows_.clear();
    closed_ = true;
    state_->cursors.erase(this);
}

}  // namespace pavana::engine::sqlite
