#include "engine/sqlite/Sqlite.h"

#include <utility>

namespace pavana::engine::sqlite {

namespace {

// Nothing here reads SQLite's memory statistics (sqlite3_memory_used, sqlite3_status), and
// keeping them takes a process-wide lock around every allocation SQLite makes. The setting
// only takes before SQLite's first use; afterwards SQLite refuses it and keeps its statistics.
void LeaveMemoryStatisticsOff() {
    static const int result = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    static_cast<void>(result);
}

}  // namespace

Connection::Connection(const std::string& path, int flags) {
    LeaveMemoryStatisticsOff();
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw SqliteFailure(rc, message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Connection::~Connection() { sqlite3_close_v2(db_); }

void Connection::Exec(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
}

void Connection::Fail(int rc) const { throw SqliteFailure(rc, sqlite3_errmsg(db_)); }

Statement::Statement(const Connection& connection, const char* sql, const char** tail) : db_(connection.Handle()) {
    const char* rest = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt_, &rest);
    if (rc != SQLITE_OK) connection.Fail(rc);
    if (tail != nullptr) *tail = rest;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = std::exchange(other.db_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // sqlite3_step leaves the statement's own error on the connection.
    throw SqliteFailure(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
}

void Statement::Reset() { sqlite3_reset(stmt_); }

std::string Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

bool HasTable(const Connection& connection, const char* table) {
    Statement exists(connection, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    sqlite3_bind_text(exists.Handle(), 1, table, -1, SQLITE_STATIC);
    return exists.Step();
}

Savepoint::Savepoint(Connection& connection) : connection_(connection) {
    connection_.Exec("SAVEPOINT pavana_statement");
    open_ = true;
}

Savepoint::~Savepoint() {
    if (!open_) return;
    // Rolling back cannot be reported from a destructor; a failure here leaves SQLite to
    // roll the transaction back itself when the connection closes.
    sqlite3_exec(connection_.Handle(), "ROLLBACK TO pavana_statement; RELEASE pavana_statement", nullptr, nullptr,
                 nullptr);
}

void Savepoint::Release() {
    connection_.Exec("RELEASE pavana_statement");
    open_ = false;
}

}  // namespace pavana::engine::sqlite
