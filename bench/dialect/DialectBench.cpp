// Translation cost of a 100,000-statement INSERT script in the dialect (dates as #...#,
// True/False, bracketed names) against running the translated statements on SQLite, each
// committed on its own in a WAL database with synchronous=NORMAL, as the engine runs them;
// and the translation cost of the statements of the whole-run benchmark.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/dialect/Translator.h"
#include "engine/sqlite/JetFunctions.h"
#include "engine/sqlite/Translate.h"

namespace {

constexpr int kStatements = 100000;

std::vector<std::string> Script() {
    std::vector<std::string> script;
    script.reserve(kStatements);
    for (int i = 0; i < kStatements; ++i) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "INSERT INTO [Aulas Dadas] ([Código], [Nome da Aula], [Data], Ativo, Valor) "
                      "VALUES (%d, 'Aula %d', #%d/%d/2024 10:30#, %s, %d.25)",
                      i, i, 1 + i % 12, 1 + i % 28, i % 2 ? "True" : "False", i % 1000);
        script.emplace_back(line);
    }
    return script;
}

// The statements of the whole-run benchmark (bench/update-run.sh): plain single-row INSERTs
// and UPDATEs by key as an update script has them, with the terminating semicolon.
std::vector<std::string> UpdateRunScript() {
    std::vector<std::string> script;
    script.reserve(kStatements);
    for (int i = 1; i <= kStatements; ++i) {
        char line[160];
        if (i % 5 == 0) std::snprintf(line, sizeof line, "UPDATE Notas SET Nota = %d WHERE Id = %d;", i % 10, i / 5);
        else
            std::snprintf(line, sizeof line,
                          "INSERT INTO Notas (Id, Aluno, Nome, Nota) VALUES (%d, %d, 'aluno %d', %d.5);", i,
                          (i * 7919) % kStatements, i, i % 10);
        script.emplace_back(line);
    }
    return script;
}

void Translate100k(benchmark::State& state) {
    const std::vector<std::string> script = Script();
    for (auto _ : state)
        for (const auto& s : script) benchmark::DoNotOptimize(pavana::engine::sqlite::Translate(s));
}
BENCHMARK(Translate100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void TranslateUpdateRun100k(benchmark::State& state) {
    const std::vector<std::string> script = UpdateRunScript();
    for (auto _ : state)
        for (const auto& s : script) benchmark::DoNotOptimize(pavana::engine::sqlite::Translate(s));
}
BENCHMARK(TranslateUpdateRun100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void Execute100k(benchmark::State& state) {
    std::vector<std::string> sql;
    for (const auto& s : Script()) sql.push_back(pavana::engine::sqlite::Translate(s).sql);
    const std::string path = (std::filesystem::temp_directory_path() / "pavana-dialect-bench.db").string();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(path);
        std::filesystem::remove(path + "-wal");
        std::filesystem::remove(path + "-shm");
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        pavana::engine::sqlite::RegisterJetFunctions(db);
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
        sqlite3_exec(db,
                     pavana::engine::sqlite::Translate(
                         "CREATE TABLE [Aulas Dadas] ([Código] LONG PRIMARY KEY, [Nome da Aula] TEXT(50), "
                         "[Data] DATETIME, Ativo YESNO, Valor CURRENCY)")
                         .sql.c_str(),
                     nullptr, nullptr, nullptr);
        state.ResumeTiming();
        for (const auto& s : sql) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, s.c_str(), -1, &stmt, nullptr);
            sqlite3_step(stmt);
            sqlite3_finalize(stmt);
        }
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
}
BENCHMARK(Execute100k)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
