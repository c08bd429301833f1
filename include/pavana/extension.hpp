// PavanaScript extension libraries in C++ (C++17 or later): a header-only layer over
// extension.h.
//
// Handles close themselves (RAII), failures throw `pavana::extension::Error`, values are
// `Value`s. The entry is written with PAVANA_EXTENSION:
//
//     #include <pavana/extension.hpp>
//     static void Run(pavana::extension::Database& db) {
//         pavana::extension::Transaction transaction(db);
//         db.Execute("UPDATE Alunos SET Ativo = True");
//         transaction.Commit();
//     }
//     PAVANA_EXTENSION(Run)
//
// An exception that leaves the function fails the statement with its what(), exactly as an
// error reported through report_error does. Everything in extension.h about lifetimes and
// threads holds here too: no object of this header may outlive the call.
#ifndef PAVANA_EXTENSION_HPP
#define PAVANA_EXTENSION_HPP

#include <pavana/extension.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace pavana::extension {

// A failed call: the last error's text, its engine error number (0 when not an engine
// error) and the status (PAVANA_ERROR or PAVANA_MISUSE).
class Error : public std::runtime_error {
public:
    Error(const std::string& message, std::int32_t number, int status)
        : std::runtime_error(message), number_(number), status_(status) {}
    std::int32_t Number() const noexcept { return number_; }
    int Status() const noexcept { return status_; }

private:
    std::int32_t number_;
    int status_;
};

// Days since 30 December 1899, the time of day as fraction (pavana_date_of builds one).
struct Date {
    double days = 0;
    bool operator==(const Date& other) const { return days == other.days; }
};
using Bytes = std::vector<std::uint8_t>;
// Null, integer, real, text (UTF-8), date or bytes.
using Value = std::variant<std::nullptr_t, std::int64_t, double, std::string, Date, Bytes>;

namespace detail {

inline PavanaValue ToC(const Value& value) {
    struct Visitor {
        PavanaValue operator()(std::nullptr_t) const { return pavana_null(); }
        PavanaValue operator()(std::int64_t v) const { return pavana_integer(v); }
        PavanaValue operator()(double v) const { return pavana_real(v); }
        PavanaValue operator()(const std::string& v) const {
            PavanaValue c = pavana_text(v.c_str());
            c.size = v.size();
            return c;
        }
        PavanaValue operator()(Date v) const { return pavana_date(v.days); }
        PavanaValue operator()(const Bytes& v) const { return pavana_bytes(v.data(), v.size()); }
    };
    return std::visit(Visitor{}, value);
}

inline Value FromC(const PavanaValue& v) {
    switch (v.type) {
        case PAVANA_VALUE_INTEGER: return v.integer;
        case PAVANA_VALUE_REAL: return v.real;
        case PAVANA_VALUE_TEXT: return std::string(v.text, v.size);
        case PAVANA_VALUE_DATE: return Date{v.real};
        case PAVANA_VALUE_BYTES: {
            const auto* p = static_cast<const std::uint8_t*>(v.bytes);
            return Bytes(p, p + v.size);
        }
        default: return nullptr;
    }
}

}  // namespace detail

class Recordset;
class Query;

// The borrowed database of the call.
class Database {
public:
    explicit Database(PavanaDatabase* db) : db_(db) {}

    PavanaDatabase* Handle() const { return db_; }
    const PavanaApi& Api() const { return *db_->api; }
    // Throws the last error unless `status` is PAVANA_OK.
    void Check(int status) const {
        if (status != PAVANA_OK) throw Error(db_->api->last_error(db_), db_->api->last_error_number(db_), status);
    }

    // Runs an action statement; the records it changed.
    std::int32_t Execute(const std::string& sql, std::int32_t options = PAVANA_FAIL_ON_ERROR) {
        std::int32_t affected = 0;
        Check(db_->api->execute(db_, sql.c_str(), options, &affected));
        return affected;
    }
    inline Query CreateQuery(const std::string& sql);
    inline Recordset OpenRecordset(const std::string& source, std::int32_t type = PAVANA_OPEN_DEFAULT);

    void BeginTransaction() { Check(db_->api->begin_transaction(db_)); }
    void CommitTransaction() { Check(db_->api->commit_transaction(db_)); }
    void RollbackTransaction() { Check(db_->api->rollback_transaction(db_)); }

    // Fails the statement with `message` once the entry returns.
    void ReportError(const std::string& message) { Check(db_->api->report_error(db_, message.c_str())); }

private:
    PavanaDatabase* db_;
};

// A transaction for the life of the guard: rolled back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) { db_.BeginTransaction(); }
    ~Transaction() {
        if (open_) db_.Api().rollback_transaction(db_.Handle());
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        db_.CommitTransaction();
        open_ = false;
    }
    void Rollback() {
        db_.RollbackTransaction();
        open_ = false;
    }

private:
    Database& db_;
    bool open_ = true;
};

// A cursor over rows; closed on destruction. Fields by 0-based position or by name.
class Recordset {
public:
    Recordset(Database& db, PavanaRecordset* handle) : db_(&db), rs_(handle) {}
    ~Recordset() {
        if (rs_) db_->Api().recordset_close(rs_);
    }
    Recordset(Recordset&& other) noexcept : db_(other.db_), rs_(std::exchange(other.rs_, nullptr)) {}
    Recordset& operator=(Recordset&& other) noexcept {
        std::swap(db_, other.db_);
        std::swap(rs_, other.rs_);
        return *this;
    }
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool Eof() const {
        int eof = 0;
        db_->Check(db_->Api().recordset_eof(rs_, &eof));
        return eof != 0;
    }
    bool Bof() const {
        int bof = 0;
        db_->Check(db_->Api().recordset_bof(rs_, &bof));
        return bof != 0;
    }
    void MoveFirst() { db_->Check(db_->Api().recordset_move_first(rs_)); }
    void MoveNext() { db_->Check(db_->Api().recordset_move_next(rs_)); }
    void MovePrevious() { db_->Check(db_->Api().recordset_move_previous(rs_)); }
    void MoveLast() { db_->Check(db_->Api().recordset_move_last(rs_)); }
    std::int32_t RecordCount() const {
        std::int32_t n = 0;
        db_->Check(db_->Api().recordset_record_count(rs_, &n));
        return n;
    }

    std::int32_t FieldCount() const {
        std::int32_t n = 0;
        db_->Check(db_->Api().field_count(rs_, &n));
        return n;
    }
    std::string FieldName(std::int32_t index) const {
        const char* name = nullptr;
        db_->Check(db_->Api().field_name(rs_, index, &name));
        return name;
    }
    std::int32_t FieldType(std::int32_t index) const {
        std::int32_t type = 0;
        db_->Check(db_->Api().field_type(rs_, index, &type));
        return type;
    }
    std::int32_t FieldIndex(const std::string& name) const {
        std::int32_t index = 0;
        db_->Check(db_->Api().field_index(rs_, name.c_str(), &index));
        return index;
    }
    Value Get(std::int32_t index) const {
        PavanaValue v;
        db_->Check(db_->Api().field_value(rs_, index, &v));
        return detail::FromC(v);
    }
    Value Get(const std::string& name) const { return Get(FieldIndex(name)); }
    void Set(std::int32_t index, const Value& value) {
        PavanaValue v = detail::ToC(value);
        db_->Check(db_->Api().field_set_value(rs_, index, &v));
    }
    void Set(const std::string& name, const Value& value) { Set(FieldIndex(name), value); }

    void AddNew() { db_->Check(db_->Api().recordset_add_new(rs_)); }
    void Edit() { db_->Check(db_->Api().recordset_edit(rs_)); }
    void Update() { db_->Check(db_->Api().recordset_update(rs_)); }
    void CancelUpdate() { db_->Check(db_->Api().recordset_cancel_update(rs_)); }
    void Delete() { db_->Check(db_->Api().recordset_delete(rs_)); }

private:
    Database* db_;
    PavanaRecordset* rs_;
};

// A query definition; closed on destruction.
class Query {
public:
    Query(Database& db, PavanaQuery* handle) : db_(&db), q_(handle) {}
    ~Query() {
        if (q_) db_->Api().query_close(q_);
    }
    Query(Query&& other) noexcept : db_(other.db_), q_(std::exchange(other.q_, nullptr)) {}
    Query& operator=(Query&& other) noexcept {
        std::swap(db_, other.db_);
        std::swap(q_, other.q_);
        return *this;
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    std::int32_t ParameterCount() const {
        std::int32_t n = 0;
        db_->Check(db_->Api().query_parameter_count(q_, &n));
        return n;
    }
    std::string ParameterName(std::int32_t index) const {
        const char* name = nullptr;
        db_->Check(db_->Api().query_parameter_name(q_, index, &name));
        return name;
    }
    void Set(std::int32_t index, const Value& value) {
        PavanaValue v = detail::ToC(value);
        db_->Check(db_->Api().query_set_parameter(q_, index, &v));
    }
    void Set(const std::string& name, const Value& value) {
        PavanaValue v = detail::ToC(value);
        db_->Check(db_->Api().query_set_parameter_by_name(q_, name.c_str(), &v));
    }
    std::int32_t Execute(std::int32_t options = PAVANA_FAIL_ON_ERROR) {
        std::int32_t affected = 0;
        db_->Check(db_->Api().query_execute(q_, options, &affected));
        return affected;
    }
    Recordset OpenRecordset(std::int32_t type = PAVANA_OPEN_DEFAULT) {
        PavanaRecordset* rs = nullptr;
        db_->Check(db_->Api().query_open_recordset(q_, type, &rs));
        return Recordset(*db_, rs);
    }

private:
    Database* db_;
    PavanaQuery* q_;
};

inline Query Database::CreateQuery(const std::string& sql) {
    PavanaQuery* q = nullptr;
    Check(db_->api->query_create(db_, sql.c_str(), &q));
    return Query(*this, q);
}

inline Recordset Database::OpenRecordset(const std::string& source, std::int32_t type) {
    PavanaRecordset* rs = nullptr;
    Check(db_->api->recordset_open(db_, source.c_str(), type, &rs));
    return Recordset(*this, rs);
}

}  // namespace pavana::extension

// Defines the entry so that it calls `function(pavana::extension::Database&)`; a
// std::exception that leaves it is reported as the statement's error.
#define PAVANA_EXTENSION(function)                              \
    extern "C" void pavana_extension_main(PavanaDatabase* db) { \
        pavana::extension::Database database(db);               \
        try {                                                   \
            function(database);                                 \
        } catch (const std::exception& e) {                     \
            db->api->report_error(db, e.what());                \
        }                                                       \
    }

#endif  // PAVANA_EXTENSION_HPP
