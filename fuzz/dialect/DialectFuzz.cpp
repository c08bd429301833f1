// Fuzzes the Jet front: any input either translates or raises SyntaxError. What translates
// (the statement, its follow-up and metadata statements) is then prepared and run (a
// bounded number of steps) on a fresh in-memory database with the dialect's functions, so
// the printed SQL and the functions are exercised as well.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/dialect/Translator.h"
#include "engine/sqlite/JetFunctions.h"
#include "engine/sqlite/Translate.h"

namespace {

int StopLongRuns(void* counter) { return ++*static_cast<int*>(counter) > 2000; }

void Run(const pavana::engine::dialect::Translation& t) {
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    pavana::engine::sqlite::RegisterJetFunctions(db, [] { return 45306.5; });
    sqlite3_exec(db,
                 "CREATE TABLE t (a INTEGER, b TEXT COLLATE NOCASE, c DATETIME);"
                 "CREATE TABLE u (a INTEGER, d TEXT COLLATE NOCASE);"
                 "INSERT INTO t VALUES (1, 'x', 45306.25), (2, NULL, NULL), (-3, 'Abc', 0.5);"
                 "INSERT INTO u VALUES (1, 'one'), (2, 'two');",
                 nullptr, nullptr, nullptr);
    int counter = 0;
    sqlite3_progress_handler(db, 100, StopLongRuns, &counter);
    auto step = [db](const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
            for (int i = 0; i < 100 && sqlite3_step(stmt) == SQLITE_ROW; ++i) {
            }
        }
        sqlite3_finalize(stmt);
    };
    step(t.sql);
    for (const auto& sql : t.followUp) step(sql);
    for (const auto& sql : t.metadata) step(sql);
    if (t.rebuild) step("CREATE TABLE pavana_rebuild (" + t.rebuild->definition + ")");
    sqlite3_close(db);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const pavana::engine::dialect::Translation t = pavana::engine::sqlite::Translate(text);
        Run(t);
    } catch (const pavana::engine::dialect::SyntaxError&) {
    }
    return 0;
}
