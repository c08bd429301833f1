#include "engine/sqlite/SqliteQueryDef.h"

#include "engine/Activity.h"
#include "engine/EngineError.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/Procedures.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/SqliteRecordset.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {
namespace {

const char* const kSource = "DAO.QueryDef";
const char* const kParameterSource = "DAO.Parameter";

[[noreturn]] void ItemNotFound(const char* source) { RaiseEngineError(jetItemNotFound, source); }

std::int32_t OptionalInteger(const Variant& v, std::int32_t fallback) {
    if (v.IsAbsent()) return fallback;
    try {
        return v.ToInteger();
    } catch (const EConvertError&) {
        RaiseEngineError(jetInvalidArgument, kSource);
    }
}

}  // namespace

ParameterImpl::ParameterImpl(std::string name, std::string typeWord)
    : name_(std::move(name)), type_(TypeOfParameterWord(typeWord)) {}

void ParameterImpl::SetValue(const Variant& value) {
    try {
        value_ = ConvertToFieldType(value, type_, FormatSettings::Current());
    } catch (const EConvertError&) {
        RaiseEngineError(jetConversionError, kParameterSource);
    }
}

std::shared_ptr<Parameter> ParametersImpl::Item(std::int32_t index) const {
    if (index < 0 || index >= Count()) ItemNotFound("DAO.Parameters");
    return items_[static_cast<std::size_t>(index)];
}

std::shared_ptr<Parameter> ParametersImpl::Item(const std::string& name) const {
    for (const auto& p : items_)
        if (SameAsciiText(p->Name(), name)) return p;
    ItemNotFound("DAO.Parameters");
}

QueryDefImpl::QueryDefImpl(std::shared_ptr<DatabaseState> state, std::string name, std::string sql)
    : state_(std::move(state)), name_(std::move(name)), sql_(std::move(sql)) {
    // A temporary definition runs on the schema it was made on, so constants that already fit
    // their columns can skip the conversion on the way in (the columns' checks still guard
    // them); a saved one may outlive schema changes and converts every value.
    translation_ = TranslateStatement(sql_, kSource, state_.get(), name_.empty());
    // EXECUTE name values: the definition is the procedure's statement with its parameters set.
    std::vector<Variant> values;
    if (translation_.procedure && translation_.procedure->action == dialect::ProcedureCall::Action::Execute) {
        Connection& connection = state_->Live(kSource);
        const dialect::ProcedureCall call = *translation_.procedure;
        sql_ = ProcedureText(connection, call.name, kSource);
        values = ProcedureValues(connection, call, kSource);
        translation_ = TranslateStatement(sql_, kSource, state_.get(), name_.empty());
        if (values.size() > translation_.parameters.size()) RaiseEngineError(jetInvalidArgument, kSource);
    }
    schemaGeneration_ = state_->schema.Generation();
    parameters_.reserve(translation_.parameters.size());
    for (const auto& p : translation_.parameters)
        parameters_.push_back(std::make_shared<ParameterImpl>(p.name, p.typeWord));
    for (std::size_t i = 0; i < values.size(); ++i) parameters_[i]->SetValue(values[i]);
}

void QueryDefImpl::Retranslate() {
    SchemaCache& cache = state_->schema;
    cache.Check(state_->Live(kSource).Handle());
    if (cache.Generation() == schemaGeneration_) return;
    translation_ = TranslateStatement(sql_, kSource, state_.get(), name_.empty());
    schemaGeneration_ = cache.Generation();
}

void QueryDefImpl::CheckOpen() const {
    if (closed_) RaiseEngineError(jetObjectInvalid, kSource);
    state_->Live(kSource);
}

std::shared_ptr<Parameters> QueryDefImpl::GetParameters() const {
    CheckOpen();
    return std::make_shared<ParametersImpl>(parameters_);
}

std::vector<Variant> QueryDefImpl::Values() const {
    std::vector<Variant> values;
    values.reserve(parameters_.size());
    std::size_t missing = 0;
    for (const auto& p : parameters_) {
        values.push_back(p->Value());
        if (values.back().IsEmpty()) ++missing;
    }
    if (missing > 0) RaiseTooFewParameters(missing, kSource);
    return values;
}

void QueryDefImpl::Execute(const Variant& options) {
    CheckOpen();
    ReportActivity();
    OptionalInteger(options, 0);
    Retranslate();
    recordsAffected_ = RunAction(*state_, translation_, Values(), kSource);
}

std::shared_ptr<Recordset> QueryDefImpl::OpenRecordset(const Variant& type, const Variant& options,
                                                       const Variant& lockEdit) {
    CheckOpen();
    const std::int32_t t = OptionalInteger(type, dbOpenDynaset);
    std::int32_t o = OptionalInteger(options, 0);
    const std::int32_t lock = OptionalInteger(lockEdit, dbPessimistic);
    if (t != dbOpenTable && t != dbOpenDynaset && t != dbOpenSnapshot && t != dbOpenForwardOnly && t != dbOpenDynamic)
        RaiseEngineError(jetInvalidArgument, kSource);
    if (lock != dbOptimisticValue && lock != dbPessimistic && lock != dbOptimistic && lock != dbReadOnly &&
        lock != dbOptimisticBatch)
        RaiseEngineError(jetInvalidArgument, kSource);
    if (translation_.kind != dialect::StatementKind::Query) RaiseEngineError(jetInvalidOperation, kSource);
    // A recordset reads its rows as it moves, long after a statement would have ended.
    if (!translation_.external.empty())
        RaiseEngineError(jetInvalidOperation,
                         "A query that reads another database (IN) cannot be opened as a recordset; copy "
                         "its rows into this database with INSERT INTO ... SELECT or SELECT ... INTO.",
                         kSource);
    Retranslate();
    // Read-only as a lock mode keeps the recordset from changing records.
    if (lock == dbReadOnly) o |= dbReadOnly;
    auto source = std::make_shared<const RecordsetSource>(translation_.statement, Values(), kSource,
                                                          state_->Live(kSource).Handle(), state_->currency);
    return RecordsetImpl::Open(state_, sql_, std::move(source), t, o);
}

void QueryDefImpl::Close() { closed_ = true; }

namespace {

const char* const kQueryDefsSource = "DAO.QueryDefs";

std::vector<KeptQuery> ReadKeptQueries(DatabaseState& state) {
    Connection& connection = state.Live(kQueryDefsSource);
    try {
        return KeptQueries(connection);
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kQueryDefsSource, connection.Handle());
    }
}

}  // namespace

QueryDefImpl& KeptQueryDef::Definition() const {
    if (closed_) RaiseEngineError(jetObjectInvalid, kSource);
    if (!definition_) definition_ = std::make_unique<QueryDefImpl>(state_, name_, sql_);
    return *definition_;
}

void KeptQueryDef::Close() {
    closed_ = true;
    if (definition_) definition_->Close();
}

std::int32_t QueryDefsImpl::Count() const { return static_cast<std::int32_t>(ReadKeptQueries(*state_).size()); }

std::shared_ptr<QueryDef> QueryDefsImpl::Item(std::int32_t index) const {
    std::vector<KeptQuery> queries = ReadKeptQueries(*state_);
    if (index < 0 || index >= static_cast<std::int32_t>(queries.size())) ItemNotFound(kQueryDefsSource);
    KeptQuery& query = queries[static_cast<std::size_t>(index)];
    return std::make_shared<KeptQueryDef>(state_, std::move(query.name), std::move(query.sql));
}

std::shared_ptr<QueryDef> QueryDefsImpl::Item(const std::string& name) const {
    for (KeptQuery& query : ReadKeptQueries(*state_))
        if (SameAsciiText(query.name, name))
            return std::make_shared<KeptQueryDef>(state_, std::move(query.name), std::move(query.sql));
    ItemNotFound(kQueryDefsSource);
}

}  // namespace pavana::engine::sqlite
