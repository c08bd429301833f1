// RAII holders for SQLite handles: the connection, a prepared statement, and a savepoint
// guard that makes a run of work atomic.
//
// Failures of SQLite calls raise `SqliteFailure` carrying SQLite's extended result code and
// message; the engine objects translate it into the engine's own error (SqliteErrors.h).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "rtl/Exceptions.h"

namespace pavana::engine::sqlite {

class SqliteFailure : public Exception {
public:
    SqliteFailure(int code, std::string message) : Exception(std::move(message)), code_(code) {}
    int Code() const noexcept { return code_; }            // extended result code
    int Primary() const noexcept { return code_ & 0xFF; }  // primary result code

private:
    int code_;
};

// One open connection; closed on destruction (sqlite3_close_v2, so statements still alive
// keep it usable until they are finalized).
class Connection {
public:
    // sqlite3_open_v2 with `flags`; a failure raises SqliteFailure.
    Connection(const std::string& path, int flags);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* Handle() const { return db_; }
    // Runs statements that return no rows of interest (pragmas, DDL of the engine itself).
    void Exec(const char* sql);
    [[noreturn]] void Fail(int rc) const;

private:
    sqlite3* db_ = nullptr;
};

// One prepared statement; finalized on destruction.
class Statement {
public:
    Statement() = default;
    // Prepares exactly one statement from a NUL-terminated text; text after the first
    // statement is reported through `tail` when given, else ignored.
    Statement(const Connection& connection, const char* sql, const char** tail = nullptr);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt* Handle() const { return stmt_; }
    // One step: true when a row is ready, false when done; a failure raises SqliteFailure.
    bool Step();
    void Reset();
    // The text of column `column` of the current row; empty for Null.
    std::string Text(int column) const;

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// Whether the database of `connection` has a table named exactly `table` (the engine's own
// tables, which are made only when first needed).
bool HasTable(const Connection& connection, const char* table);

// A savepoint for the life of the guard: `Release` commits it (and, outside any other
// transaction, commits to the file); a guard destroyed without `Release` rolls the work back.
class Savepoint {
public:
    explicit Savepoint(Connection& connection);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    void Release();

private:
    Connection& connection_;
    bool open_ = false;
};

}  // namespace pavana::engine::sqlite
