// The cost of one committed INSERT into an indexed table: through Database.Execute (the
// statement translated from the dialect at each call), through a parameterised QueryDef
// (translated once), and through SQLite alone (sqlite3_exec of the same SQLite text,
// autocommit). All run in WAL with synchronous=NORMAL, as the engine opens files;
// SqliteExec/Full uses synchronous=FULL, to show what surviving power loss at every commit
// would cost. The file lives in the current folder (run it on a real disk, not tmpfs: the cost of a commit is the
// point) and is removed afterwards.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "engine/ClassRegistry.h"
#include "engine/DBEngine.h"

namespace {

using namespace pavana;

const char* const kSchema = "CREATE TABLE Notas (Id LONG PRIMARY KEY, Aluno LONG, Nome TEXT(50), Nota DOUBLE)";
const char* const kIndex = "CREATE INDEX ixAluno ON Notas (Aluno)";

std::string FreshPath(const char* name) {
    std::string path = (std::filesystem::current_path() / name).string();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    return path;
}

std::string Insert(std::int64_t i) {
    return "INSERT INTO Notas (Id, Aluno, Nome, Nota) VALUES (" + std::to_string(i) + ", " +
           std::to_string(i * 7919 % 100000) + ", 'aluno " + std::to_string(i) + "', " + std::to_string(i % 10) + ".5)";
}

std::shared_ptr<engine::Database> EngineDatabase(const char* name) {
    std::string path = FreshPath(name);
    auto engine = engine::ClassRegistry::Default().Create(engine::kDao36ClassId);
    engine->DefaultWorkspace()->CreateDatabase(path)->Close();
    auto db = engine->OpenDatabase(path);
    db->Execute(kSchema);
    db->Execute(kIndex);
    return db;
}

void DatabaseExecute(benchmark::State& state) {
    auto db = EngineDatabase("bench-engine-db.db");
    std::int64_t i = 0;
    for (auto _ : state) db->Execute(Insert(++i), Variant(engine::dbFailOnError));
    state.SetItemsProcessed(state.iterations());
    db->Close();
    FreshPath(db->Name().c_str());
}
BENCHMARK(DatabaseExecute)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void QueryDefExecute(benchmark::State& state) {
    auto db = EngineDatabase("bench-engine-qd.db");
    auto q = db->CreateQueryDef("",
                                "PARAMETERS [i] LONG, [a] LONG, [n] TEXT, [v] DOUBLE; "
                                "INSERT INTO Notas (Id, Aluno, Nome, Nota) VALUES ([i], [a], [n], [v])");
    auto p = q->GetParameters();
    std::int64_t i = 0;
    for (auto _ : state) {
        ++i;
        p->Item(0)->SetValue(Variant(static_cast<std::int32_t>(i)));
        p->Item(1)->SetValue(Variant(static_cast<std::int32_t>(i * 7919 % 100000)));
        p->Item(2)->SetValue(Variant("aluno " + std::to_string(i)));
        p->Item(3)->SetValue(Variant(static_cast<double>(i % 10) + 0.5));
        q->Execute(Variant(engine::dbFailOnError));
    }
    state.SetItemsProcessed(state.iterations());
    db->Close();
    FreshPath(db->Name().c_str());
}
BENCHMARK(QueryDefExecute)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// SQLite alone: the same table (as the engine declares it) and the same statements, each
// its own autocommit transaction, as the sqlite3 shell runs a script.
void SqliteExec(benchmark::State& state, const char* synchronous) {
    std::string path = FreshPath("bench-engine-raw.db");
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, (std::string("PRAGMA synchronous = ") + synchronous).c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db,
                 "CREATE TABLE Notas (Id INTEGER PRIMARY KEY, Aluno INTEGER, Nome TEXT(50) COLLATE NOCASE, "
                 "Nota DOUBLE); CREATE INDEX ixAluno ON Notas (Aluno)",
                 nullptr, nullptr, nullptr);
    std::int64_t i = 0;
    for (auto _ : state) {
        if (sqlite3_exec(db, Insert(++i).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            state.SkipWithError(sqlite3_errmsg(db));
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    sqlite3_close(db);
    FreshPath(path.c_str());
}
BENCHMARK_CAPTURE(SqliteExec, Normal, "NORMAL")->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK_CAPTURE(SqliteExec, Full, "FULL")->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
