#include "app/ExtensionSession.h"

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "engine/Constants.h"
#include "engine/EngineError.h"
#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"
#include "rtl/Variant.h"

// The handles of extension.h. Their names are the C header's, so they live outside any
// namespace; only this file sees their members.
struct PavanaQuery {
    std::shared_ptr<pavana::engine::QueryDef> query;
    std::shared_ptr<pavana::engine::Parameters> parameters;
    std::vector<std::string> names;  // of the parameters, in order
};

struct PavanaRecordset {
    // Text and bytes of the latest value read from one field, which the library may hold.
    struct Slot {
        std::string text;
        std::vector<std::uint8_t> bytes;
    };
    std::shared_ptr<pavana::engine::Recordset> recordset;
    std::vector<std::shared_ptr<pavana::engine::Field>> fields;
    std::vector<std::string> names;
    std::vector<Slot> slots;
};

namespace pavana {
namespace {

thread_local ExtensionSession* t_current = nullptr;

// A call the library made wrongly: answered with PAVANA_MISUSE.
class Misuse {
public:
    explicit Misuse(const char* text) : text_(text) {}
    const char* Text() const { return text_; }

private:
    const char* text_;
};

template <typename T>
T& Out(T* pointer) {
    if (pointer == nullptr) throw Misuse("A result pointer is null.");
    return *pointer;
}

const char* In(const char* text) {
    if (text == nullptr) throw Misuse("A text argument is null.");
    if (!IsValidUtf8(text)) throw Misuse("A text argument is not valid UTF-8.");
    return text;
}

// Runs one API function's body: success empties the last error, every failure sets it.
template <typename Body>
int Run(ExtensionSession* session, Body&& body) {
    if (session == nullptr) return PAVANA_MISUSE;
    try {
        body(*session);
        session->ClearError();
        return PAVANA_OK;
    } catch (const Misuse& misuse) {
        session->SetError(misuse.Text(), 0);
        return PAVANA_MISUSE;
    } catch (const EOleException& e) {
        session->SetError(e.Message(), engine::EngineErrorNumber(e.ErrorCode()));
    } catch (const std::bad_alloc&) {
        session->SetError("Out of memory.", 0);
    } catch (const std::exception& e) {
        session->SetError(e.what(), 0);
    } catch (...) {
        session->SetError("Unknown error.", 0);
    }
    return PAVANA_ERROR;
}

template <typename Body>
int OnDatabase(PavanaDatabase* db, Body&& body) {
    return Run(ExtensionSession::Current(), [&](ExtensionSession& session) {
        if (db != session.Object()) throw Misuse("Not the database of this call.");
        body(session);
    });
}

template <typename Body>
int OnQuery(PavanaQuery* query, Body&& body) {
    return Run(ExtensionSession::Current(), [&](ExtensionSession& session) {
        if (!session.Owns(query)) throw Misuse("Unknown or closed query definition.");
        body(session, *query);
    });
}

template <typename Body>
int OnRecordset(PavanaRecordset* recordset, Body&& body) {
    return Run(ExtensionSession::Current(), [&](ExtensionSession& session) {
        if (!session.Owns(recordset)) throw Misuse("Unknown or closed recordset.");
        body(session, *recordset);
    });
}

std::size_t FieldAt(const PavanaRecordset& recordset, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= recordset.fields.size())
        throw Misuse("Field index out of range.");
    return static_cast<std::size_t>(index);
}

Variant TypeArgument(std::int32_t type) { return type == 0 ? Variant() : Variant(type); }
Variant OptionsArgument(std::int32_t options) { return options == 0 ? Variant() : Variant(options); }

Variant ToVariant(const PavanaValue* value) {
    if (value == nullptr) throw Misuse("A value argument is null.");
    const PavanaValue& v = *value;
    switch (v.type) {
        case PAVANA_VALUE_NULL: return Variant::Null();
        case PAVANA_VALUE_INTEGER:
            if (v.integer >= INT32_MIN && v.integer <= INT32_MAX) return Variant(static_cast<std::int32_t>(v.integer));
            return Variant(static_cast<std::int64_t>(v.integer));
        case PAVANA_VALUE_REAL: return Variant(v.real);
        case PAVANA_VALUE_DATE: return Variant::FromDate(v.real);
        case PAVANA_VALUE_TEXT: {
            if (v.text == nullptr) throw Misuse("A text value is null.");
            // A value built by hand may leave the size 0: the text then runs to its NUL.
            std::string text = v.size == 0 ? std::string(v.text) : std::string(v.text, v.size);
            if (!IsValidUtf8(text)) throw Misuse("A text value is not valid UTF-8.");
            return Variant(std::move(text));
        }
        case PAVANA_VALUE_BYTES: {
            if (v.bytes == nullptr && v.size != 0) throw Misuse("A byte value is null.");
            const auto* bytes = static_cast<const std::uint8_t*>(v.bytes);
            return Variant(std::vector<std::uint8_t>(bytes, bytes + v.size));
        }
        default: throw Misuse("Unknown value type.");
    }
}

PavanaValue FromVariant(const Variant& v, PavanaRecordset::Slot& slot) {
    switch (v.VarType()) {
        case varEmpty:
        case varNull: return pavana_null();
        case varBoolean: return pavana_integer(v.ToBoolean() ? -1 : 0);
        case varShortInt:
        case varByte:
        case varSmallint:
        case varWord:
        case varInteger:
        case varLongWord:
        case varInt64: return pavana_integer(v.ToInt64());
        case varSingle:
        case varDouble:
        case varCurrency: return pavana_real(v.ToDouble());
        case varDate: return pavana_date(v.ToDateTime());
        case varArray | varByte: slot.bytes = v.Bytes(); return pavana_bytes(slot.bytes.data(), slot.bytes.size());
        default: {
            slot.text = v.ToString();
            PavanaValue out = pavana_text(slot.text.c_str());
            out.size = slot.text.size();
            return out;
        }
    }
}

// A C message of the library, made UTF-8: text that is not is taken as Windows-1252, as
// the program reads other text of Windows origin.
std::string MessageText(const char* text) {
    std::string message(text);
    return IsValidUtf8(message) ? message : Cp1252ToUtf8(message);
}

PavanaRecordset* KeepRecordset(ExtensionSession& session, std::shared_ptr<engine::Recordset> rs) {
    auto handle = std::make_unique<PavanaRecordset>();
    auto fields = rs->GetFields();
    const std::int32_t count = fields->Count();
    for (std::int32_t i = 0; i < count; ++i) {
        handle->fields.push_back(fields->Item(i));
        handle->names.push_back(handle->fields.back()->Name());
    }
    handle->slots.resize(handle->fields.size());
    handle->recordset = std::move(rs);
    return session.Keep(std::move(handle));
}

// The functions of the table, in its order.

const char* LastError(PavanaDatabase* db) {
    ExtensionSession* session = ExtensionSession::Current();
    if (session == nullptr || db != session->Object()) return "Not the database of this call.";
    return session->ErrorText().c_str();
}

std::int32_t LastErrorNumber(PavanaDatabase* db) {
    ExtensionSession* session = ExtensionSession::Current();
    return session != nullptr && db == session->Object() ? session->ErrorNumber() : 0;
}

int ReportError(PavanaDatabase* db, const char* message) {
    return OnDatabase(db, [&](ExtensionSession& s) {
        if (message == nullptr) throw Misuse("A text argument is null.");
        s.Report(MessageText(message));
    });
}

int Execute(PavanaDatabase* db, const char* sql, std::int32_t options, std::int32_t* affected) {
    return OnDatabase(db, [&](ExtensionSession& s) {
        s.Engine().Execute(In(sql), OptionsArgument(options));
        if (affected != nullptr) *affected = s.Engine().RecordsAffected();
    });
}

int BeginTransaction(PavanaDatabase* db) {
    return OnDatabase(db, [&](ExtensionSession& s) {
        s.Engine().BeginTrans();
        ++s.Transactions();
    });
}

// Commit and rollback need a transaction the library began.
void RequireTransaction(ExtensionSession& s) {
    if (s.Transactions() == 0) engine::RaiseEngineError(engine::jetNoTransaction, "DAO.Database");
}

int CommitTransaction(PavanaDatabase* db) {
    return OnDatabase(db, [&](ExtensionSession& s) {
        RequireTransaction(s);
        s.Engine().CommitTrans();
        --s.Transactions();
    });
}

int RollbackTransaction(PavanaDatabase* db) {
    return OnDatabase(db, [&](ExtensionSession& s) {
        RequireTransaction(s);
        s.Engine().Rollback();
        --s.Transactions();
    });
}

int QueryCreate(PavanaDatabase* db, const char* sql, PavanaQuery** query) {
    return OnDatabase(db, [&](ExtensionSession& s) {
        PavanaQuery*& result = Out(query);
        auto handle = std::make_unique<PavanaQuery>();
        handle->query = s.Engine().CreateQueryDef("", In(sql));
        handle->parameters = handle->query->GetParameters();
        const std::int32_t count = handle->parameters->Count();
        for (std::int32_t i = 0; i < count; ++i) handle->names.push_back(handle->parameters->Item(i)->Name());
        result = s.Keep(std::move(handle));
    });
}

int QueryParameterCount(PavanaQuery* query, std::int32_t* count) {
    return OnQuery(query,
                   [&](ExtensionSession&, PavanaQuery& q) { Out(count) = static_cast<std::int32_t>(q.names.size()); });
}

int QueryParameterName(PavanaQuery* query, std::int32_t index, const char** name) {
    return OnQuery(query, [&](ExtensionSession&, PavanaQuery& q) {
        const char*& result = Out(name);
        if (index < 0 || static_cast<std::size_t>(index) >= q.names.size())
            throw Misuse("Parameter index out of range.");
        result = q.names[static_cast<std::size_t>(index)].c_str();
    });
}

int QuerySetParameter(PavanaQuery* query, std::int32_t index, const PavanaValue* value) {
    return OnQuery(query, [&](ExtensionSession&, PavanaQuery& q) {
        if (index < 0 || static_cast<std::size_t>(index) >= q.names.size())
            throw Misuse("Parameter index out of range.");
        q.parameters->Item(index)->SetValue(ToVariant(value));
    });
}

int QuerySetParameterByName(PavanaQuery* query, const char* name, const PavanaValue* value) {
    return OnQuery(query, [&](ExtensionSession&, PavanaQuery& q) {
        q.parameters->Item(std::string(In(name)))->SetValue(ToVariant(value));
    });
}

int QueryExecute(PavanaQuery* query, std::int32_t options, std::int32_t* affected) {
    return OnQuery(query, [&](ExtensionSession&, PavanaQuery& q) {
        q.query->Execute(OptionsArgument(options));
        if (affected != nullptr) *affected = q.query->RecordsAffected();
    });
}

int QueryOpenRecordset(PavanaQuery* query, std::int32_t type, PavanaRecordset** recordset) {
    return OnQuery(query, [&](ExtensionSession& s, PavanaQuery& q) {
        PavanaRecordset*& result = Out(recordset);
        result = KeepRecordset(s, q.query->OpenRecordset(TypeArgument(type)));
    });
}

int QueryClose(PavanaQuery* query) {
    return OnQuery(query, [&](ExtensionSession& s, PavanaQuery& q) {
        q.query->Close();
        s.Release(&q);
    });
}

int RecordsetOpen(PavanaDatabase* db, const char* source, std::int32_t type, PavanaRecordset** recordset) {
    return OnDatabase(db, [&](ExtensionSession& s) {
        PavanaRecordset*& result = Out(recordset);
        result = KeepRecordset(s, s.Engine().OpenRecordset(In(source), TypeArgument(type)));
    });
}

int MoveFirst(PavanaRecordset* recordset) {
    return OnRecordset(recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->MoveFirst(); });
}

int MoveNext(PavanaRecordset* recordset) {
    return OnRecordset(recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->MoveNext(); });
}

int MovePrevious(PavanaRecordset* recordset) {
    return OnRecordset(recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->MovePrevious(); });
}

int MoveLast(PavanaRecordset* recordset) {
    return OnRecordset(recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->MoveLast(0); });
}

int Eof(PavanaRecordset* recordset, int* eof) {
    return OnRecordset(recordset,
                       [&](ExtensionSession&, PavanaRecordset& r) { Out(eof) = r.recordset->IsEOF() ? 1 : 0; });
}

int Bof(PavanaRecordset* recordset, int* bof) {
    return OnRecordset(recordset,
                       [&](ExtensionSession&, PavanaRecordset& r) { Out(bof) = r.recordset->IsBOF() ? 1 : 0; });
}

int RecordCount(PavanaRecordset* recordset, std::int32_t* count) {
    return OnRecordset(recordset,
                       [&](ExtensionSession&, PavanaRecordset& r) { Out(count) = r.recordset->RecordCount(); });
}

int FieldCount(PavanaRecordset* recordset, std::int32_t* count) {
    return OnRecordset(recordset, [&](ExtensionSession&, PavanaRecordset& r) {
        Out(count) = static_cast<std::int32_t>(r.fields.size());
    });
}

int FieldName(PavanaRecordset* recordset, std::int32_t index, const char** name) {
    return OnRecordset(recordset, [&](ExtensionSession&, PavanaRecordset& r) {
        const char*& result = Out(name);
        result = r.names[FieldAt(r, index)].c_str();
    });
}

int FieldType(PavanaRecordset* recordset, std::int32_t index, std::int32_t* type) {
    return OnRecordset(recordset, [&](ExtensionSession&, PavanaRecordset& r) {
        std::int32_t& result = Out(type);
        result = r.fields[FieldAt(r, index)]->Type();
    });
}

int FieldIndex(PavanaRecordset* recordset, const char* name, std::int32_t* index) {
    return OnRecordset(recordset, [&](ExtensionSession&, PavanaRecordset& r) {
        std::int32_t& result = Out(index);
        const std::string wanted = r.recordset->GetFields()->Item(std::string(In(name)))->Name();
        for (std::size_t i = 0; i < r.names.size(); ++i)
            if (r.names[i] == wanted) {
                result = static_cast<std::int32_t>(i);
                return;
            }
        engine::RaiseEngineError(engine::jetItemNotFound, "DAO.Fields");
    });
}

int FieldValue(PavanaRecordset* recordset, std::int32_t index, PavanaValue* value) {
    return OnRecordset(recordset, [&](ExtensionSession&, PavanaRecordset& r) {
        PavanaValue& result = Out(value);
        const std::size_t i = FieldAt(r, index);
        result = FromVariant(r.fields[i]->Value(), r.slots[i]);
    });
}

int FieldSetValue(PavanaRecordset* recordset, std::int32_t index, const PavanaValue* value) {
    return OnRecordset(recordset, [&](ExtensionSession&, PavanaRecordset& r) {
        r.fields[FieldAt(r, index)]->SetValue(ToVariant(value));
    });
}

int AddNew(PavanaRecordset* recordset) {
    return OnRecordset(recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->AddNew(); });
}

int Edit(PavanaRecordset* recordset) {
    return OnRecordset(recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->Edit(); });
}

int Update(PavanaRecordset* recordset) {
    return OnRecordset(
        recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->Update(engine::dbUpdateRegular, false); });
}

int CancelUpdate(PavanaRecordset* recordset) {
    return OnRecordset(
        recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->CancelUpdate(engine::dbUpdateRegular); });
}

int Delete(PavanaRecordset* recordset) {
    return OnRecordset(recordset, [](ExtensionSession&, PavanaRecordset& r) { r.recordset->Delete(); });
}

int RecordsetClose(PavanaRecordset* recordset) {
    return OnRecordset(recordset, [](ExtensionSession& s, PavanaRecordset& r) {
        r.recordset->Close();
        s.Release(&r);
    });
}

const PavanaApi kApi = {
    .version = PAVANA_EXTENSION_API_VERSION,
    .size = sizeof(PavanaApi),
    .last_error = LastError,
    .last_error_number = LastErrorNumber,
    .report_error = ReportError,
    .execute = Execute,
    .begin_transaction = BeginTransaction,
    .commit_transaction = CommitTransaction,
    .rollback_transaction = RollbackTransaction,
    .query_create = QueryCreate,
    .query_parameter_count = QueryParameterCount,
    .query_parameter_name = QueryParameterName,
    .query_set_parameter = QuerySetParameter,
    .query_set_parameter_by_name = QuerySetParameterByName,
    .query_execute = QueryExecute,
    .query_open_recordset = QueryOpenRecordset,
    .query_close = QueryClose,
    .recordset_open = RecordsetOpen,
    .recordset_move_first = MoveFirst,
    .recordset_move_next = MoveNext,
    .recordset_move_previous = MovePrevious,
    .recordset_move_last = MoveLast,
    .recordset_eof = Eof,
    .recordset_bof = Bof,
    .recordset_record_count = RecordCount,
    .field_count = FieldCount,
    .field_name = FieldName,
    .field_type = FieldType,
    .field_index = FieldIndex,
    .field_value = FieldValue,
    .field_set_value = FieldSetValue,
    .recordset_add_new = AddNew,
    .recordset_edit = Edit,
    .recordset_update = Update,
    .recordset_cancel_update = CancelUpdate,
    .recordset_delete = Delete,
    .recordset_close = RecordsetClose,
};

}  // namespace

ExtensionSession::ExtensionSession(std::shared_ptr<engine::Database> database)
    : database_(std::move(database)), object_{{&kApi}, this}, previous_(std::exchange(t_current, this)) {}

ExtensionSession::~ExtensionSession() { t_current = previous_; }

ExtensionSession* ExtensionSession::Current() { return t_current; }

PavanaQuery* ExtensionSession::Keep(std::unique_ptr<PavanaQuery> query) {
    PavanaQuery* handle = query.get();
    queries_.emplace(handle, std::move(query));
    return handle;
}

PavanaRecordset* ExtensionSession::Keep(std::unique_ptr<PavanaRecordset> recordset) {
    PavanaRecordset* handle = recordset.get();
    recordsets_.emplace(handle, std::move(recordset));
    return handle;
}

void ExtensionSession::Release(PavanaQuery* query) { queries_.erase(query); }

void ExtensionSession::Release(PavanaRecordset* recordset) { recordsets_.erase(recordset); }

void ExtensionSession::SetError(std::string text, std::int32_t number) {
    errorText_ = std::move(text);
    errorNumber_ = number;
}

void ExtensionSession::ClearError() {
    errorText_.clear();
    errorNumber_ = 0;
}

bool ExtensionSession::Finish() {
    recordsets_.clear();
    queries_.clear();
    const bool open = transactions_ > 0;
    for (; transactions_ > 0; --transactions_) database_->Rollback();
    return open;
}

}  // namespace pavana
