// Costs of the extension step:
//  1. one "executaDLL" of an extension that does nothing (load, call, unload): the median of
//     2,000 runs;
//  2. 100,000 INSERTs through the C API with one query definition and its parameters inside
//     one transaction, against the same loop written on the SQLite C API (one prepared
//     statement, BEGIN/COMMIT) on a database with the engine's journal settings. Median of 5
//     rounds each, and their ratio.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ExtensionSession.h"
#include "app/LibraryStep.h"
#include "engine/ClassRegistry.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRows = 100000;
constexpr int kRounds = 5;
constexpr int kLoads = 2000;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::shared_ptr<pavana::engine::Database> FreshDatabase(const fs::path& path) {
    fs::remove(path);
    fs::remove(path.string() + "-wal");
    fs::remove(path.string() + "-shm");
    auto engine = pavana::engine::ClassRegistry::Default().Create(pavana::engine::kDao36ClassId);
    engine->DefaultWorkspace()->CreateDatabase(path.string())->Close();
    auto db = engine->OpenDatabase(path.string());
    db->Execute("CREATE TABLE t (id LONG PRIMARY KEY, nome TEXT(40), valor DOUBLE)");
    return db;
}

void Check(int status, PavanaDatabase* db) {
    if (status != PAVANA_OK) {
        std::fprintf(stderr, "API call failed: %s\n", db->api->last_error(db));
        std::exit(1);
    }
}

double InsertThroughApi(const fs::path& path) {
    auto database = FreshDatabase(path);
    pavana::ExtensionSession session(database);
    PavanaDatabase* db = session.Object();
    const PavanaApi* api = db->api;
    auto start = Clock::now();
    PavanaQuery* q = nullptr;
    Check(api->query_create(db, "PARAMETERS [i] LONG, [n] TEXT(40), [v] DOUBLE; INSERT INTO t VALUES ([i], [n], [v])",
                            &q),
          db);
    Check(api->begin_transaction(db), db);
    char name[40];
    for (int i = 0; i < kRows; ++i) {
        std::snprintf(name, sizeof name, "linha %d", i);
        PavanaValue id = pavana_integer(i), text = pavana_text(name), value = pavana_real(i * 0.5);
        Check(api->query_set_parameter(q, 0, &id), db);
        Check(api->query_set_parameter(q, 1, &text), db);
        Check(api->query_set_parameter(q, 2, &value), db);
        Check(api->query_execute(q, PAVANA_FAIL_ON_ERROR, nullptr), db);
    }
    Check(api->commit_transaction(db), db);
    double seconds = Seconds(start);
    session.Finish();
    database->Close();
    return seconds;
}

double InsertThroughSqlite(const fs::path& path) {
    FreshDatabase(path)->Close();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    auto start = Clock::now();
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?1, ?2, ?3)", -1, &insert, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    char name[40];
    for (int i = 0; i < kRows; ++i) {
        std::snprintf(name, sizeof name, "linha %d", i);
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_text(insert, 2, name, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 3, i * 0.5);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            std::fprintf(stderr, "sqlite3_step failed: %s\n", sqlite3_errmsg(db));
            std::exit(1);
        }
        sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    double seconds = Seconds(start);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return seconds;
}

}  // namespace

int main() {
    fs::path dir = fs::temp_directory_path() / ("pavana-bench-extension-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    auto database = FreshDatabase(dir / "load.db");
    std::vector<double> loads;
    for (int i = 0; i < kLoads; ++i) {
        auto start = Clock::now();
        pavana::RunLibrary(NOOP_EXTENSION, database);
        loads.push_back(Seconds(start));
    }
    database->Close();
    std::printf("executaDLL of an extension that does nothing: median %.1f us over %d runs\n", Median(loads) * 1e6,
                kLoads);

    std::vector<double> api, direct;
    for (int round = 0; round < kRounds; ++round) {
        api.push_back(InsertThroughApi(dir / "api.db"));
        direct.push_back(InsertThroughSqlite(dir / "direct.db"));
    }
    std::printf("%d INSERTs in one transaction: C API median %.3f s, SQLite C API median %.3f s, ratio %.2f\n", kRows,
                Median(api), Median(direct), Median(api) / Median(direct));
    fs::remove_all(dir);
}
