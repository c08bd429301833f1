// The engine's QueryDef and its Parameters on SQLite. The SQL text is translated when the
// query definition is created, so a syntax error fails CreateQueryDef; the statement is
// prepared at each Execute or OpenRecordset, against the schema of that moment.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/DBEngine.h"
#include "engine/sqlite/SqliteDatabase.h"

namespace pavana::engine::sqlite {

class ParameterImpl : public Parameter {
public:
    ParameterImpl(std::string name, std::string typeWord);
    std::string Name() const override { return name_; }
    std::int32_t Type() const override { return type_; }
    Variant Value() const override { return value_; }
    void SetValue(const Variant& value) override;

private:
    std::string name_;
    std::int32_t type_;
    Variant value_;
};

class ParametersImpl : public Parameters {
public:
    explicit ParametersImpl(std::vector<std::shared_ptr<ParameterImpl>> items) : items_(std::move(items)) {}
    std::int32_t Count() const override { return static_cast<std::int32_t>(items_.size()); }
    std::shared_ptr<Parameter> Item(std::int32_t index) const override;
    std::shared_ptr<Parameter> Item(const std::string& name) const override;

private:
    std::vector<std::shared_ptr<ParameterImpl>> items_;
};

class QueryDefImpl : public QueryDef {
public:
    // Translates `sql`; raises the engine's syntax error.
    QueryDefImpl(std::shared_ptr<DatabaseState> state, std::string name, std::string sql);

    std::string Name() const override { return name_; }
    std::string SQL() const override { return sql_; }
    std::shared_ptr<Parameters> GetParameters() const override;
    void Execute(const Variant& options) override;
    std::int32_t RecordsAffected() const override { return recordsAffected_; }
    std::shared_ptr<Recordset> OpenRecordset(const Variant& type, const Variant& options,
                                             const Variant& lockEdit) override;
    void Close() override;

private:
    void CheckOpen() const;
    // Translates the text again when the schema changed since it was translated.
    void Retranslate();
    // The parameter values in order; 3061 "Too few parameters. Expected n." when some are unset.
    std::vector<Variant> Values() const;

    std::shared_ptr<DatabaseState> state_;
    std::string name_;
    std::string sql_;
    dialect::Translation translation_;
    std::uint64_t schemaGeneration_ = 0;  // of the schema cache when translated
    std::vector<std::shared_ptr<ParameterImpl>> parameters_;
    std::int32_t recordsAffected_ = 0;
    bool closed_ = false;
};

// A query kept in the database, as its collection gives it: the name and SQL read as kept,
// the text translated only when the definition is first used, so that a query whose tables
// are gone is still listed (and fails when it is opened or executed).
class KeptQueryDef : public QueryDef {
public:
    KeptQueryDef(std::shared_ptr<DatabaseState> state, std::string name, std::string sql)
        : state_(std::move(state)), name_(std::move(name)), sql_(std::move(sql)) {}

    std::string Name() const override { return name_; }
    std::string SQL() const override { return sql_; }
    std::shared_ptr<Parameters> GetParameters() const override { return Definition().GetParameters(); }
    void Execute(const Variant& options) override { Definition().Execute(options); }
    std::int32_t RecordsAffected() const override { return definition_ ? definition_->RecordsAffected() : 0; }
    std::shared_ptr<Recordset> OpenRecordset(const Variant& type, const Variant& options,
                                             const Variant& lockEdit) override {
        return Definition().OpenRecordset(type, options, lockEdit);
    }
    void Close() override;

private:
    QueryDefImpl& Definition() const;

    std::shared_ptr<DatabaseState> state_;
    std::string name_;
    std::string sql_;
    mutable std::unique_ptr<QueryDefImpl> definition_;
    bool closed_ = false;
};

// The database's views and procedures (KeptQueries), read again at each call.
class QueryDefsImpl : public QueryDefs {
public:
    explicit QueryDefsImpl(std::shared_ptr<DatabaseState> state) : state_(std::move(state)) {}
    std::int32_t Count() const override;
    std::shared_ptr<QueryDef> Item(std::int32_t index) const override;
    std::shared_ptr<QueryDef> Item(const std::string& name) const override;

private:
    std::shared_ptr<DatabaseState> state_;
};

}  // namespace pavana::engine::sqlite
