// The engine's Database on a SQLite file: opening (the checks Jet makes, in Jet's order),
// creating, the password, running action statements and opening recordsets.
//
// A `DatabaseImpl` shares its `DatabaseState`, which holds the connection, with every object
// opened on the database (query definitions, recordsets, fields): the file stays open until
// Close or until the last of them is released, and after Close they fail with 3420 "Object
// invalid or no longer set.".
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/DBEngine.h"
#include "engine/dialect/Translator.h"
#include "engine/sqlite/SchemaCache.h"
#include "engine/sqlite/Sqlite.h"
#include "engine/sqlite/StoreConversion.h"
#include "engine/sqlite/Translate.h"

namespace pavana::engine::sqlite {

// An object that holds SQLite statements and must give them up when the database closes.
class OpenCursor {
public:
    virtual ~OpenCursor() = default;
    virtual void CloseCursor() = 0;
};

// The name of the engine's own table in each database file (docs/storage.md).
inline constexpr const char* kMetadataTable = "pavana_engine";

struct DatabaseState {
    std::unique_ptr<Connection> connection;  // none once closed
    std::string path;                        // as given to OpenDatabase
    std::string connect;
    bool exclusive = false;
    bool readOnly = false;
    // How the Currency columns of the file hold their amounts: scaled, or as the amounts
    // themselves in a file of an earlier build opened read-only or another program's file.
    CurrencyStorage currency = CurrencyStorage::Scaled;
    // True while the engine itself writes its metadata table; statements of users may not.
    bool metadataWrites = false;
    std::set<OpenCursor*> cursors;
    int transactions = 0;  // BeginTrans not yet committed or rolled back
    // While opening, a lock is waited for only briefly; the start of the current lock wait.
    bool opening = true;
    std::chrono::steady_clock::time_point lockWaitStart;
    // Action statements prepared once and run again by later runs of the same text (a query
    // definition executed in a loop); finalized on Close.
    std::unordered_map<std::string, Statement> actions;
    // The tables' columns and their types, as translations read them.
    SchemaCache schema;

    // The open connection; raises 3420 "Object invalid or no longer set." once closed.
    Connection& Live(std::string_view source);
    // The prepared action statement of `sql`, reset, from `actions` or prepared now.
    Statement& PreparedAction(const std::string& sql);
    // Closes the cursors and finalizes the kept statements; the connection stays open.
    void ReleaseStatements();
    void Close();
};

// Lets the engine write its own metadata tables for the life of the guard (the authorizer
// refuses those writes to users' statements otherwise).
class MetadataWrites {
public:
    explicit MetadataWrites(DatabaseState& state) : state_(state) { state_.metadataWrites = true; }
    ~MetadataWrites() { state_.metadataWrites = false; }
    MetadataWrites(const MetadataWrites&) = delete;
    MetadataWrites& operator=(const MetadataWrites&) = delete;

private:
    DatabaseState& state_;
};

// Runs one translated action or definition statement and its follow-up statements
// atomically (one autocommit transaction; a savepoint binds the follow-ups to it) with `values` bound to ?1, ?2, ... of
// the main statement; returns the records the main statement changed. A query fails with 3065 "Cannot execute a select
// query.".
std::int32_t RunAction(DatabaseState& state, const dialect::Translation& translation,
                       const std::vector<Variant>& values, const std::string& source);

// The dialect's translation of `jetSql`; a syntax error becomes the engine's error. With
// `state`, the dates the database's schema shows (Date/Time columns, expressions over them)
// are written as dates where they become text, and, with `fitConstants`, each written value
// gets the conversion its column's type needs, none when it already has the column's stored
// form (a translation for the current schema, run at once); the schema is read from the
// state's cache. When the database keeps its Currency columns scaled (DatabaseState::currency),
// the expressions that give scaled amounts are marked so (MarkScaledCurrency).
dialect::Translation TranslateStatement(const std::string& jetSql, const std::string& source,
                                        DatabaseState* state = nullptr, bool fitConstants = true);

class DatabaseImpl : public Database, public std::enable_shared_from_this<DatabaseImpl> {
public:
    // Opens `path` as Workspace.OpenDatabase says (see DBEngine.h).
    static std::shared_ptr<DatabaseImpl> Open(const std::string& path, bool exclusive, bool readOnly,
                                              const std::string& connect);
    // Creates the file (see Workspace.CreateDatabase) and opens it exclusively.
    static std::shared_ptr<DatabaseImpl> Create(const std::string& path, const std::string& connect);

    explicit DatabaseImpl(std::shared_ptr<DatabaseState> state) : state_(std::move(state)) {}

    std::string Name() const override { return state_->path; }
    std::string Connect() const override { return state_->connect; }
    bool Updatable() const override;
    std::shared_ptr<QueryDef> CreateQueryDef(const std::string& name, const std::string& sql) override;
    std::shared_ptr<QueryDefs> GetQueryDefs() override;
    void Execute(const std::string& sql, const Variant& options) override;
    std::int32_t RecordsAffected() const override { return recordsAffected_; }
    std::shared_ptr<Recordset> OpenRecordset(const std::string& source, const Variant& type, const Variant& options,
                                             const Variant& lockEdit) override;
    void NewPassword(const std::string& oldPassword, const std::string& newPassword) override;
    // A transaction is a savepoint of its own name, so that the savepoint of each statement
    // nests inside it and the outermost one commits to the file when it is released.
    void BeginTrans() override;
    void CommitTrans() override;
    void Rollback() override;
    void Close() override;
    bool StillAtPath() override;
    std::vector<std::string> QuickCheck() override;
    void BeginBatch() override;
    void MarkStep() override;
    void EndStep(bool keep) override;
    void EndBatch(bool commit) override;

private:
    // Runs one of the batch's step statements, prepared once.
    void RunStepStatement(Statement& statement, const char* sql);
    // Finalizes the step statements, before the connection is closed.
    void ReleaseStepStatements();

    std::shared_ptr<DatabaseState> state_;
    std::int32_t recordsAffected_ = 0;
    Statement markStep_;
    Statement releaseStep_;
    Statement undoStep_;
};

// The password given in a connect text (";PWD=secret;..."), empty when none.
std::string PasswordOfConnect(const std::string& connect);

// How the database open on `connection` holds Currency amounts: files of the current format
// scaled; files of earlier builds, and files of other programs (no engine table), the amounts.
CurrencyStorage CurrencyStorageOf(Connection& connection);

}  // namespace pavana::engine::sqlite
