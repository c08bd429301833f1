#include "engine/sqlite/MakeTable.h"

#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "engine/Constants.h"
#include "engine/sqlite/Columns.h"
#include "engine/sqlite/Sqlite.h"

namespace pavana::engine::sqlite {
namespace {

// The dialect prints a make-table query as CREATE TABLE "name" AS <query>, a table
// definition as CREATE TABLE "name" (...).
constexpr std::string_view kLead = "CREATE TABLE \"";
constexpr std::string_view kAs = " AS ";

// The position of the quote that closes the name (quotes inside it are doubled).
std::size_t NameEnd(const std::string& sql) {
    std::size_t end = kLead.size();
    while (end < sql.size() && !(sql[end] == '"' && (end + 1 == sql.size() || sql[end + 1] != '"')))
        end += sql[end] == '"' ? 2 : 1;
    return end;
}

struct Finalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, Finalizer>;

[[noreturn]] void Fail(sqlite3* db) { throw SqliteFailure(sqlite3_extended_errcode(db), sqlite3_errmsg(db)); }

StatementPtr Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) Fail(db);
    return StatementPtr(raw);
}

void Run(sqlite3* db, sqlite3_stmt* statement) {
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) Fail(db);
}

std::string Quoted(const char* name) {
    std::string out = "\"";
    for (const char* c = name; *c; ++c) {
        out += *c;
        if (*c == '"') out += '"';
    }
    return out + "\"";
}

// The declaration of the new field that takes column `i` of the prepared query.
std::string FieldDeclaration(sqlite3_stmt* query, int i) {
    const char* column = sqlite3_column_name(query, i);
    if (!column) throw std::bad_alloc();
    const std::string name = Quoted(column);
    const char* declared = sqlite3_column_decltype(query, i);
    if (!declared || !*declared) return name;
    std::string out = name + " " + declared;
    const std::optional<ColumnType> type = TypeOfDeclaration(declared);
    if (type && (type->type == dbText || type->type == dbMemo)) out += " COLLATE NOCASE";
    if (type && type->type == dbText && std::string_view(declared).find('(') != std::string_view::npos)
        out += " CONSTRAINT \"pavana_size\" CHECK (length(" + name + ") <= " + std::to_string(type->size) + ")";
    return out;
}

// Rolls the work back unless released.
class Undo {
public:
    explicit Undo(sqlite3* db) : db_(db) {
        if (sqlite3_exec(db_, "SAVEPOINT pavana_make_table", nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db_);
    }
    ~Undo() {
        if (!released_) sqlite3_exec(db_, "ROLLBACK TO pavana_make_table; RELEASE pavana_make_table", nullptr, nullptr,
                                     nullptr);
    }
    Undo(const Undo&) = delete;
    Undo& operator=(const Undo&) = delete;
    void Release() {
        if (sqlite3_exec(db_, "RELEASE pavana_make_table", nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db_);
        released_ = true;
    }

private:
    sqlite3* db_;
    bool released_ = false;
};

}  // namespace

bool MakesTable(const std::string& sql) {
    if (sql.rfind(kLead, 0) != 0) return false;
    const std::size_t after = NameEnd(sql) + 1;
    return after <= sql.size() && sql.compare(after, kAs.size(), kAs) == 0;
}

std::int64_t RunMakeTable(sqlite3* db, const std::string& sql, const std::function<void(sqlite3_stmt*)>& bind) {
    const std::size_t end = NameEnd(sql);
    const std::string table = sql.substr(kLead.size() - 1, end + 1 - (kLead.size() - 1));
    const std::string query = sql.substr(std::min(sql.size(), end + 1 + kAs.size()));

    StatementPtr select = Prepare(db, query);
    std::string create = "CREATE TABLE " + table + " (";
    for (int i = 0; i < sqlite3_column_count(select.get()); ++i) {
        if (i) create += ", ";
        create += FieldDeclaration(select.get(), i);
    }
    create += ")";

    Undo undo(db);
    StatementPtr made = Prepare(db, create);
    Run(db, made.get());
    StatementPtr fill = Prepare(db, "INSERT INTO " + table + " " + query);
    if (bind) bind(fill.get());
    Run(db, fill.get());
    const std::int64_t rows = sqlite3_changes64(db);
    undo.Release();
    return rows;
}

}  // namespace pavana::engine::sqlite
