#include "engine/sqlite/SqliteDatabase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "engine/Activity.h"
#include "engine/EngineError.h"
#include "engine/dialect/CurrencyColumns.h"
#include "engine/dialect/DateColumns.h"
#include "engine/dialect/Messages.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/ExternalTables.h"
#include "engine/sqlite/JetFunctions.h"
#include "engine/sqlite/Password.h"
#include "engine/sqlite/Procedures.h"
#include "engine/sqlite/Relationships.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/SqlitePrinter.h"
#include "engine/sqlite/SqliteQueryDef.h"
#include "engine/sqlite/SqliteRecordset.h"
#include "engine/sqlite/StoreConversion.h"
#include "engine/sqlite/TableRebuild.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {
namespace {

const char* const kSource = "DAO.Database";
const char* const kWorkspaceSource = "DAO.Workspace";
// Opening waits for a lock only briefly, so that a file held exclusively elsewhere is
// reported soon; statements wait up to the thread's lock-wait limit (Activity.h).
constexpr std::chrono::milliseconds kOpenLockWait{200};
constexpr std::chrono::milliseconds kLongestPause{50};
// The version of the storage conventions (docs/storage.md) this build writes; files of
// earlier versions are brought up to it when opened for writing.
constexpr const char* kFormatVersion = "3";
// The first format whose Currency columns hold scaled amounts.
constexpr int kScaledCurrencyFormat = 3;
constexpr int kMaxTransactions = 5;
// Prepared action statements kept per database.
constexpr std::size_t kPreparedActions = 32;
// Virtual machine steps between two calls of the activity handler during a statement.
constexpr int kActivitySteps = 10000;

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

[[noreturn]] void FileNotFound(const std::string& full) {
    RaiseEngineError(jetFileNotFound, "Could not find file '" + full + "'.", kWorkspaceSource);
}
[[noreturn]] void InvalidPath(const std::string& folder) {
    RaiseEngineError(jetInvalidPath,
                     "'" + folder +
                         "' is not a valid path. Make sure that the path name is spelled correctly "
                         "and that you are connected to the server on which the file resides.",
                     kWorkspaceSource);
}
[[noreturn]] void Unrecognized(const std::string& full) {
    RaiseEngineError(jetUnrecognizedFormat, "Unrecognized database format '" + full + "'.", kWorkspaceSource);
}
[[noreturn]] void InUse(const std::string& full) {
    RaiseEngineError(jetFileInUse, "Could not use '" + full + "'; file already in use.", kWorkspaceSource);
}
[[noreturn]] void CannotOpen(const std::string& full) {
    RaiseEngineError(jetCannotOpenFile,
                     "The database engine cannot open the file '" + full +
                         "'. It is already opened exclusively by another user, or you need "
                         "permission to view its data.",
                     kWorkspaceSource);
}
[[noreturn]] void NotValidPassword(const char* source) { RaiseEngineError(jetNotValidPassword, source); }

[[noreturn]] void NoTransaction(const char* source) { RaiseEngineError(jetNoTransaction, source); }

bool FolderExists(const std::string& full) {
    std::error_code ec;
    auto parent = std::filesystem::path(full).parent_path();
    return parent.empty() || std::filesystem::is_directory(parent, ec);
}

// The engine's failure for an error met while opening: locks and unreadable files.
[[noreturn]] void OpenFailure(const SqliteFailure& failure, const std::string& full) {
    switch (failure.Primary()) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: InUse(full);
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT: Unrecognized(full);
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH: CannotOpen(full);
        default: RaiseStatementError(failure, "", kWorkspaceSource);
    }
}

int Progress(void*) {
    ReportActivity();
    return 0;
}

// SQLite's busy handler: pauses (1, 2, 4, ... up to 50 ms) until the lock is free or the
// limit is reached, telling the thread's handlers meanwhile.
int WaitForLock(void* user, int attempt) {
    using namespace std::chrono;
    auto* state = static_cast<DatabaseState*>(user);
    const auto now = steady_clock::now();
    if (attempt == 0) state->lockWaitStart = now;
    const auto waited = duration_cast<milliseconds>(now - state->lockWaitStart);
    const milliseconds limit = state->opening ? kOpenLockWait : LockWaitLimit();
    if (waited >= limit) return 0;
    if (!state->opening) ReportLockWait(waited, limit);
    std::this_thread::sleep_for(std::min({milliseconds(1 << std::min(attempt, 6)), kLongestPause, limit - waited}));
    ReportActivity();
    return 1;
}

[[noreturn]] void BatchLost(const char* source) { NoTransaction(source); }

// Refuses statements of users that would change the engine's own tables. The sequences of
// counters change only through the engine's triggers ("<table>.<column>.counter").
int Authorize(void* user, int action, const char* a1, const char* a2, const char*, const char* trigger) {
    auto* state = static_cast<DatabaseState*>(user);
    if (state->metadataWrites) return SQLITE_OK;
    const char* table = nullptr;
    switch (action) {
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
        case SQLITE_DELETE:
        case SQLITE_DROP_TABLE:
        case SQLITE_CREATE_TABLE: table = a1; break;
        case SQLITE_ALTER_TABLE:
        case SQLITE_CREATE_INDEX:
        case SQLITE_CREATE_TRIGGER:
        case SQLITE_DROP_INDEX: table = a2; break;
        default: break;
    }
    if (table == nullptr) return SQLITE_OK;
    if (SameAsciiText(table, kCounterTable)) return trigger != nullptr ? SQLITE_OK : SQLITE_DENY;
    return SameAsciiText(table, kMetadataTable) || SameAsciiText(table, kColumnMetadataTable) ||
                   SameAsciiText(table, kProceduresTable) || SameAsciiText(table, kViewsTable)
               ? SQLITE_DENY
               : SQLITE_OK;
}

// The file's first 16 bytes must be SQLite's header; an empty file is not a database here
// (SQLite would take it as a new empty one).
void CheckHeader(const std::string& path, const std::string& full) {
    std::ifstream in(path, std::ios::binary);
    if (!in) CannotOpen(full);
    char header[16] = {};
    in.read(header, sizeof header);
    if (in.gcount() != sizeof header || std::string(header, 16) != std::string("SQLite format 3\0", 16))
        Unrecognized(full);
}

bool HasEngineTable(Connection& connection) { return HasTable(connection, "pavana_engine"); }

std::optional<std::string> ReadVerifier(Connection& connection) {
    if (!HasEngineTable(connection)) return std::nullopt;
    Statement read(connection, "SELECT value FROM pavana_engine WHERE key = 'password'");
    if (!read.Step()) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(read.Handle(), 0));
    if (text == nullptr || *text == '\0') return std::nullopt;
    return std::string(text);
}

void WriteVerifier(Connection& connection, const std::string& password) {
    if (password.empty()) {
        connection.Exec("DELETE FROM pavana_engine WHERE key = 'password'");
        return;
    }
    Statement write(connection,
                    "INSERT INTO pavana_engine (key, value) VALUES ('password', ?1) "
                    "ON CONFLICT (key) DO UPDATE SET value = excluded.value");
    std::string verifier = MakePasswordVerifier(password);
    sqlite3_bind_text(write.Handle(), 1, verifier.c_str(), -1, SQLITE_TRANSIENT);
    write.Step();
}

// Brings a file the engine made under earlier storage conventions up to the current ones, in
// one transaction; a file of another program (no engine table) is left as it is. Foreign keys
// are switched off for it (tables others refer to are rebuilt); the caller switches them on.
void UpgradeFormat(Connection& connection) {
    {
        if (!HasEngineTable(connection)) return;
        Statement format(connection, "SELECT value FROM pavana_engine WHERE key = 'format'");
        if (format.Step() && sqlite3_column_int(format.Handle(), 0) >= std::atoi(kFormatVersion)) return;
    }
    connection.Exec("PRAGMA foreign_keys = OFF");
    connection.Exec("BEGIN IMMEDIATE");
    try {
        UpgradeTables(connection);
        Statement write(connection,
                        "INSERT INTO pavana_engine (key, value) VALUES ('format', ?1) "
                        "ON CONFLICT (key) DO UPDATE SET value = excluded.value");
        sqlite3_bind_text(write.Handle(), 1, kFormatVersion, -1, SQLITE_STATIC);
        write.Step();
        connection.Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(connection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace

CurrencyStorage CurrencyStorageOf(Connection& connection) {
    if (!HasEngineTable(connection)) return CurrencyStorage::Amount;
    Statement kept(connection, "SELECT 1 FROM pavana_engine WHERE key = 'currency' AND value = 'amount'");
    if (kept.Step()) return CurrencyStorage::Amount;
    Statement format(connection, "SELECT value FROM pavana_engine WHERE key = 'format'");
    return format.Step() && sqlite3_column_int(format.Handle(), 0) >= kScaledCurrencyFormat ? CurrencyStorage::Scaled
                                                                                            : CurrencyStorage::Amount;
}

namespace {

// A statement text that names a table alone ("Alunos", "[Notas finais]").
bool IsTableName(const std::string& source) {
    std::size_t i = source.find_first_not_of(" \t\r\n");
    if (i == std::string::npos) return false;
    if (source[i] == '[') return source.find(']', i) == source.find_last_not_of(" \t\r\n");
    for (std::size_t k = i; k < source.size(); ++k) {
        auto c = static_cast<unsigned char>(source[k]);
        if (!(std::isalnum(c) || c == '_' || c >= 0x80))
            return source.find_first_not_of(" \t\r\n", k) == std::string::npos;
    }
    std::string word = source.substr(i, 6);
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word != "SELECT";
}

std::string BracketedName(const std::string& source) {
    std::size_t a = source.find_first_not_of(" \t\r\n");
    std::size_t b = source.find_last_not_of(" \t\r\n");
    std::string name = source.substr(a, b - a + 1);
    if (name.front() == '[') name = name.substr(1, name.size() - 2);
    return "[" + name + "]";
}

}  // namespace

Connection& DatabaseState::Live(std::string_view source) {
    if (!connection) RaiseEngineError(jetObjectInvalid, std::string(source));
    return *connection;
}

void DatabaseState::ReleaseStatements() {
    auto open = cursors;
    for (OpenCursor* cursor : open) cursor->CloseCursor();
    cursors.clear();
    actions.clear();
}

void DatabaseState::Close() {
    ReleaseStatements();
    connection.reset();
    transactions = 0;
}

Statement& DatabaseState::PreparedAction(const std::string& sql) {
    auto found = actions.find(sql);
    if (found != actions.end()) return found->second;
    if (actions.size() >= kPreparedActions) actions.clear();
    return actions.emplace(sql, Statement(*connection, sql.c_str())).first->second;
}

std::string PasswordOfConnect(const std::string& connect) {
    std::size_t start = 0;
    while (start <= connect.size()) {
        std::size_t end = connect.find(';', start);
        if (end == std::string::npos) end = connect.size();
        std::string part = connect.substr(start, end - start);
        std::size_t eq = part.find('=');
        if (eq != std::string::npos) {
            std::string key = part.substr(0, eq);
            std::size_t a = key.find_first_not_of(' ');
            std::size_t b = key.find_last_not_of(' ');
            key = a == std::string::npos ? std::string() : key.substr(a, b - a + 1);
            if (SameAsciiText(key, "PWD")) return part.substr(eq + 1);
        }
        start = end + 1;
    }
    return {};
}

namespace {

// A crosstab query that does not write its column values takes them from its rows, each
// once, sorted, as Jet does (a Null value heads the column "<>"). Parameters would be needed
// before their values are known: such a query must write its values.
void FillCrosstabColumns(dialect::ast::Statement& statement, Connection& connection, const std::string& source) {
    using dialect::ast::Expr;
    if (!statement.crosstab || !statement.crosstab->columns.empty()) return;
    if (!statement.parameters.empty())
        throw dialect::SyntaxError(kCrosstabValuesNeeded, dialect::messages::kTransform.number);
    const std::string sql = CrosstabValuesSql(statement);
    try {
        Statement values(connection, sql.c_str());
        while (values.Step()) {
            auto value = std::make_unique<Expr>();
            sqlite3_stmt* row = values.Handle();
            const int type = sqlite3_column_type(row, 0);
            // The values of a Date/Time column are dates, headed as dates.
            const char* declared = sqlite3_column_decltype(row, 0);
            if ((type == SQLITE_INTEGER || type == SQLITE_FLOAT) && declared != nullptr &&
                SameAsciiText(declared, "DATETIME")) {
                value->kind = Expr::Kind::Date;
                value->real = sqlite3_column_double(row, 0);
                statement.crosstab->columns.push_back(std::move(value));
                continue;
            }
            switch (type) {
                case SQLITE_NULL: value->kind = Expr::Kind::Null; break;
                case SQLITE_INTEGER:
                    value->kind = Expr::Kind::Integer;
                    value->integer = sqlite3_column_int64(row, 0);
                    break;
                case SQLITE_FLOAT: {
                    value->kind = Expr::Kind::Real;
                    value->real = sqlite3_column_double(row, 0);
                    char text[32];
                    const auto written = std::to_chars(text, text + sizeof text, value->real);
                    value->text.assign(text, written.ptr);
                    break;
                }
                case SQLITE_TEXT:
                    value->kind = Expr::Kind::String;
                    value->text = values.Text(0);
                    break;
                default: throw dialect::SyntaxError(kCrosstabValuesNeeded, dialect::messages::kTransform.number);
            }
            statement.crosstab->columns.push_back(std::move(value));
        }
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, sql, source, connection.Handle());
    }
}

}  // namespace

dialect::Translation TranslateStatement(const std::string& jetSql, const std::string& source, DatabaseState* state,
                                        bool fitConstants) {
    try {
        if (!state) return sqlite::Translate(jetSql);
        sqlite3* db = state->Live(source).Handle();
        SchemaCache& cache = state->schema;
        cache.Check(db);
        dialect::SchemaLookup schema;
        schema.columnType = [db, &cache](const std::string& table, const std::string& column) {
            return cache.ColumnType(db, table, column);
        };
        CachedSchema view(cache, db);
        schema.columnNames = [&view](const std::string& table) { return view.ColumnNames(table); };
        const auto marks = [&view, state, &source](dialect::ast::Statement& statement) {
            dialect::MarkDatesMadeText(statement, view);
            if (state->currency == CurrencyStorage::Scaled) dialect::MarkScaledCurrency(statement, view);
            FillCrosstabColumns(statement, state->Live(source), source);
        };
        if (!fitConstants) return sqlite::Translate(jetSql, {}, marks);
        return sqlite::Translate(jetSql, schema, marks);
    } catch (const dialect::SyntaxError& e) {
        RaiseEngineError(e.Number(), e.Message(), source);
    }
}

std::int32_t RunAction(DatabaseState& state, const dialect::Translation& translation,
                       const std::vector<Variant>& values, const std::string& source) {
    if (translation.kind == dialect::StatementKind::Query) RaiseEngineError(jetCannotExecuteSelect, source);
    Connection& connection = state.Live(source);
    std::optional<ExternalCopies> external;
    if (!translation.external.empty()) external.emplace(connection, state.currency, translation.external, source);
    // Several definitions of one statement succeed or fail together.
    if (!translation.then.empty()) {
        try {
            Savepoint savepoint(connection);
            dialect::Translation first = translation;
            first.then.clear();
            RunAction(state, first, values, source);
            for (const dialect::Translation& next : translation.then) RunAction(state, next, values, source);
            savepoint.Release();
        } catch (const SqliteFailure& failure) {
            RaiseStatementError(failure, translation.sql, source, connection.Handle());
        }
        return 0;
    }
    const bool changesSchema = translation.kind == dialect::StatementKind::Definition || translation.rebuild ||
                               !translation.makeTable.empty() || translation.procedure.has_value();
    if (changesSchema) state.schema.Forget();
    if (translation.procedure) {
        // EXECUTE runs as a query definition of the procedure's statement (QueryDefImpl).
        if (translation.procedure->action == dialect::ProcedureCall::Action::Execute)
            RaiseEngineError(jetInvalidOperation, source);
        RunProcedureDefinition(state, *translation.procedure, source);
        return 0;
    }
    if (translation.rebuild) {
        RunRebuild(state, translation, source);
        return 0;
    }
    if (!translation.makeTable.empty()) return RunMakeTable(state, translation, values, source);
    try {
        // Definitions change the schema and are seldom repeated: they are not kept.
        Statement definition;
        if (translation.kind == dialect::StatementKind::Definition)
            definition = Statement(connection, translation.sql.c_str());
        Statement& statement =
            translation.kind == dialect::StatementKind::Definition ? definition : state.PreparedAction(translation.sql);
        if (!statement) return 0;
        const unsigned versionBefore = SchemaCache::DataVersion(connection.Handle());
        struct Rewind {
            Statement& statement;
            ~Rewind() {
                statement.Reset();
                sqlite3_clear_bindings(statement.Handle());
            }
        } rewind{statement};
        const int slots = sqlite3_bind_parameter_count(statement.Handle());
        for (int i = 0; i < slots && i < static_cast<int>(values.size()); ++i)
            BindVariant(statement.Handle(), i + 1, values[static_cast<std::size_t>(i)]);
        const bool dropsTable = translation.kind == dialect::StatementKind::Definition &&
                                translation.sql.compare(0, 11, "DROP TABLE ") == 0;
        if (dropsTable) CheckDroppable(connection, StatementTable(translation.sql), source);
        // A relationship is checked when it is declared, in the definition's transaction.
        const bool declaresRelationship = translation.kind == dialect::StatementKind::Definition &&
                                          translation.sql.find(" REFERENCES ") != std::string::npos;
        // A view's SELECT is kept as written, for the query definitions that list it.
        const dialect::ast::Statement* tree = translation.statement.get();
        const bool namesView = tree != nullptr && (tree->createView || tree->dropView);
        // One SQLite statement is atomic on its own; a savepoint is needed only to make the
        // statement and its follow-ups one unit.
        std::optional<Savepoint> savepoint;
        if (!translation.followUp.empty() || !translation.metadata.empty() || declaresRelationship || namesView)
            savepoint.emplace(connection);
        RunWrite(connection, statement, source);
        if (declaresRelationship) CheckDeclaredRelationships(connection, StatementTable(translation.sql), source);
        if (namesView) {
            MetadataWrites writes(state);
            // A view that names its own columns is listed as a read of the view, which gives
            // them; its SELECT alone would not.
            if (tree->createView && tree->createView->columns.empty())
                KeepViewText(connection, tree->createView->name, tree->createView->text);
            else ForgetViewText(connection, tree->createView ? tree->createView->name : tree->dropView->name);
        }
        std::int64_t changes = 0;
        if (translation.kind == dialect::StatementKind::Action) changes = sqlite3_changes64(connection.Handle());
        for (const std::string& more : translation.followUp) {
            Statement next(connection, more.c_str());
            while (next && next.Step()) {
            }
        }
        if (!translation.metadata.empty()) {
            MetadataWrites writes(state);
            for (const std::string& more : translation.metadata) {
                Statement next(connection, more.c_str());
                while (next && next.Step()) {
                }
            }
        }
        if (savepoint) savepoint->Release();
        if (!changesSchema)
            state.schema.AfterWrite(connection.Handle(), versionBefore,
                                    sqlite3_get_autocommit(connection.Handle()) != 0);
        return static_cast<std::int32_t>(changes);
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, translation.sql, source, connection.Handle());
    }
}

std::shared_ptr<DatabaseImpl> DatabaseImpl::Open(const std::string& path, bool exclusive, bool readOnly,
                                                 const std::string& connect) {
    const std::string full = FullPath(path);
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        if (errno == EACCES) CannotOpen(full);
        if (!path.empty() && !FolderExists(full)) InvalidPath(std::filesystem::path(full).parent_path().string());
        FileNotFound(full);
    }
    // Only a regular file can be a database; reading a FIFO's header would wait for a writer.
    if (!S_ISREG(info.st_mode)) Unrecognized(full);
    CheckHeader(path, full);

    auto state = std::make_shared<DatabaseState>();
    state->path = path;
    state->connect = connect;
    state->exclusive = exclusive;
    state->readOnly = readOnly;
    try {
        // Keeping others out takes a write lock, which a read-only SQLite connection cannot
        // hold; an exclusive read-only open is a writable connection in query-only mode.
        const bool writable = !readOnly || exclusive;
        const int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
        state->connection = std::make_unique<Connection>(path, flags);
        Connection& c = *state->connection;
        sqlite3_busy_handler(c.Handle(), WaitForLock, state.get());
        if (exclusive) c.Exec("PRAGMA locking_mode = EXCLUSIVE");
        std::optional<std::string> verifier = ReadVerifier(c);
        if (verifier && !CheckPassword(*verifier, PasswordOfConnect(connect))) NotValidPassword(kWorkspaceSource);
        const bool fileWritable = sqlite3_db_readonly(c.Handle(), "main") == 0;
        if (!readOnly && fileWritable) {
            c.Exec("PRAGMA journal_mode = WAL");
            c.Exec("PRAGMA synchronous = NORMAL");
        }
        if (exclusive)
            c.Exec(fileWritable ? "BEGIN EXCLUSIVE; COMMIT" : "BEGIN; SELECT count(*) FROM sqlite_master; COMMIT");
        // From here on a lock is waited for as by any statement: the upgrade below writes.
        state->opening = false;
        if (!readOnly && fileWritable) UpgradeFormat(c);
        if (readOnly) c.Exec("PRAGMA query_only = ON");
        // REFERENCES constraints are relationships the engine keeps, as Jet does.
        c.Exec("PRAGMA foreign_keys = ON");
        sqlite3_set_authorizer(c.Handle(), Authorize, state.get());
        RegisterJetFunctions(c.Handle());
        state->currency = CurrencyStorageOf(c);
        if (state->currency != CurrencyStorage::Scaled) RegisterStoreConversion(c.Handle(), state->currency);
        sqlite3_progress_handler(c.Handle(), kActivitySteps, Progress, nullptr);
        // Every identifier the dialect prints is double-quoted: an unknown name must fail as
        // one, not be taken as a string literal.
        sqlite3_db_config(c.Handle(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    } catch (const SqliteFailure& failure) {
        state->connection.reset();
        OpenFailure(failure, full);
    }
    return std::make_shared<DatabaseImpl>(std::move(state));
}

std::shared_ptr<DatabaseImpl> DatabaseImpl::Create(const std::string& path, const std::string& connect) {
    const std::string full = FullPath(path);
    const std::string password = PasswordOfConnect(connect);
    if (password.find(';') != std::string::npos) NotValidPassword(kWorkspaceSource);
    if (!FolderExists(full)) InvalidPath(std::filesystem::path(full).parent_path().string());
    int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) RaiseEngineError(jetDatabaseExists, kWorkspaceSource);
        CannotOpen(full);
    }
    ::close(fd);
    try {
        Connection c(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
        c.Exec("PRAGMA journal_mode = WAL");
        c.Exec("BEGIN IMMEDIATE");
        c.Exec("CREATE TABLE pavana_engine (key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID");
        Statement format(c, "INSERT INTO pavana_engine (key, value) VALUES ('format', ?1)");
        sqlite3_bind_text(format.Handle(), 1, kFormatVersion, -1, SQLITE_STATIC);
        format.Step();
        WriteVerifier(c, password);
        c.Exec("COMMIT");
    } catch (...) {
        for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
        try {
            throw;
        } catch (const SqliteFailure& failure) {
            OpenFailure(failure, full);
        }
    }
    return Open(path, true, false, connect);
}

bool DatabaseImpl::Updatable() const {
    Connection& c = state_->Live(kSource);
    return !state_->readOnly && sqlite3_db_readonly(c.Handle(), "main") == 0;
}

std::shared_ptr<QueryDef> DatabaseImpl::CreateQueryDef(const std::string& name, const std::string& sql) {
    state_->Live(kSource);
    if (!name.empty()) RaiseEngineError(jetNotSupported, kSource);
    return std::make_shared<QueryDefImpl>(state_, name, sql);
}

std::shared_ptr<QueryDefs> DatabaseImpl::GetQueryDefs() {
    state_->Live(kSource);
    return std::make_shared<QueryDefsImpl>(state_);
}

void DatabaseImpl::Execute(const std::string& sql, const Variant&) {
    state_->Live(kSource);
    ReportActivity();
    dialect::Translation translation = TranslateStatement(sql, kSource, state_.get());
    if (translation.procedure && translation.procedure->action == dialect::ProcedureCall::Action::Execute) {
        QueryDefImpl call(state_, "", sql);
        call.Execute({});
        recordsAffected_ = call.RecordsAffected();
        return;
    }
    if (!translation.parameters.empty()) RaiseTooFewParameters(translation.parameters.size(), kSource);
    recordsAffected_ = RunAction(*state_, translation, {}, kSource);
}

std::shared_ptr<Recordset> DatabaseImpl::OpenRecordset(const std::string& source, const Variant& type,
                                                       const Variant& options, const Variant& lockEdit) {
    state_->Live(kSource);
    std::string sql = IsTableName(source) ? "SELECT * FROM " + BracketedName(source) : source;
    QueryDefImpl query(state_, "", sql);
    return query.OpenRecordset(type, options, lockEdit);
}

void DatabaseImpl::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
    Connection& c = state_->Live(kSource);
    if (!state_->exclusive) RaiseEngineError(jetSharedPassword, kSource);
    if (newPassword.find(';') != std::string::npos) NotValidPassword(kSource);
    try {
        std::optional<std::string> verifier = ReadVerifier(c);
        bool matches = verifier ? CheckPassword(*verifier, oldPassword) : oldPassword.empty();
        if (!matches) NotValidPassword(kSource);
        MetadataWrites writes(*state_);
        Savepoint savepoint(c);
        const bool madeByThisEngine = HasEngineTable(c);
        c.Exec(
            "CREATE TABLE IF NOT EXISTS pavana_engine (key TEXT PRIMARY KEY, value TEXT NOT NULL) "
            "WITHOUT ROWID");
        // Another program's file keeps its Currency columns' amounts as they are.
        if (!madeByThisEngine) c.Exec("INSERT INTO pavana_engine (key, value) VALUES ('currency', 'amount')");
        c.Exec((std::string("INSERT OR IGNORE INTO pavana_engine (key, value) VALUES ('format', '") + kFormatVersion +
                "')")
                   .c_str());
        WriteVerifier(c, newPassword);
        savepoint.Release();
        state_->schema.Forget();
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kSource);
    }
}

void DatabaseImpl::BeginTrans() {
    Connection& c = state_->Live(kSource);
    if (state_->transactions >= kMaxTransactions) RaiseEngineError(jetTooManyTransactions, kSource);
    try {
        c.Exec("SAVEPOINT pavana_transaction");
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kSource);
    }
    ++state_->transactions;
}

void DatabaseImpl::CommitTrans() {
    Connection& c = state_->Live(kSource);
    if (state_->transactions == 0) NoTransaction(kSource);
    try {
        c.Exec("RELEASE pavana_transaction");
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kSource);
    }
    --state_->transactions;
}

void DatabaseImpl::Rollback() {
    Connection& c = state_->Live(kSource);
    if (state_->transactions == 0) NoTransaction(kSource);
    try {
        // The definitions of the transaction are undone with it.
        state_->schema.Forget();
        c.Exec("ROLLBACK TO pavana_transaction; RELEASE pavana_transaction");
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kSource);
    }
    --state_->transactions;
}

void DatabaseImpl::ReleaseStepStatements() {
    markStep_ = Statement();
    releaseStep_ = Statement();
    undoStep_ = Statement();
}

void DatabaseImpl::Close() {
    ReleaseStepStatements();
    if (!state_->connection) return;
    sqlite3* db = state_->connection->Handle();
    // Closing writes the log back into the file; done first here, so a failure is heard.
    int rc = SQLITE_OK;
    if (!state_->readOnly && sqlite3_db_readonly(db, "main") == 0) {
        state_->ReleaseStatements();
        rc = sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
    state_->Close();
    const int primary = rc & 0xFF;
    if (primary == SQLITE_FULL || primary == SQLITE_IOERR)
        RaiseEngineError(jetDiskError,
                         "Disk or network error. The saved changes could not be written back into '" +
                             FullPath(state_->path) + "'; they are kept in '" + FullPath(state_->path) +
                             "-wal'. Keep that file beside the database: it is read back when the "
                             "database is opened again with room on the disk.",
                         kSource);
}

bool DatabaseImpl::StillAtPath() {
    if (!state_->connection) return true;
    sqlite3* db = state_->connection->Handle();
    int moved = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || moved == 0) return true;
    ReleaseStepStatements();
    state_->ReleaseStatements();
    if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    state_->Close();
    return false;
}

std::vector<std::string> DatabaseImpl::QuickCheck() {
    Connection& c = state_->Live(kSource);
    std::vector<std::string> problems;
    try {
        Statement check(c, "PRAGMA quick_check");
        while (check.Step()) {
            std::string line = check.Text(0);
            if (line != "ok") problems.push_back(std::move(line));
        }
    } catch (const SqliteFailure& failure) {
        problems.push_back(failure.Message());
    }
    return problems;
}

void DatabaseImpl::BeginBatch() {
    Connection& c = state_->Live(kSource);
    try {
        c.Exec("BEGIN IMMEDIATE");
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kSource);
    }
}

void DatabaseImpl::MarkStep() {
    Connection& c = state_->Live(kSource);
    if (sqlite3_get_autocommit(c.Handle()) != 0) BatchLost(kSource);
    RunStepStatement(markStep_, "SAVEPOINT pavana_step");
}

void DatabaseImpl::RunStepStatement(Statement& statement, const char* sql) {
    Connection& c = state_->Live(kSource);
    try {
        if (!statement) statement = Statement(c, sql);
        statement.Reset();
        statement.Step();
    } catch (const SqliteFailure& failure) {
        statement.Reset();
        RaiseStatementError(failure, "", kSource);
    }
}

void DatabaseImpl::EndStep(bool keep) {
    Connection& c = state_->Live(kSource);
    if (sqlite3_get_autocommit(c.Handle()) != 0) BatchLost(kSource);
    // A step undone is a statement that failed, and each statement is undone on its own
    // already: what the cache read stays true.
    if (!keep) RunStepStatement(undoStep_, "ROLLBACK TO pavana_step");
    RunStepStatement(releaseStep_, "RELEASE pavana_step");
}

void DatabaseImpl::EndBatch(bool commit) {
    Connection& c = state_->Live(kSource);
    if (sqlite3_get_autocommit(c.Handle()) != 0) {
        if (commit) BatchLost(kSource);
        return;
    }
    if (!commit) state_->schema.Forget();
    try {
        c.Exec(commit ? "COMMIT" : "ROLLBACK");
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", kSource);
    }
    state_->transactions = 0;
}

}  // namespace pavana::engine::sqlite
