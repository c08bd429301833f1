// The plain SQLite loop the browse benchmarks are measured against: each iteration steps
// `SELECT nome, valor, dia FROM linhas` on a read-only connection of its own to the file at
// `path`, reading the three columns of every row. The benchmark fails unless every
// iteration reads `rows` rows.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

namespace pavana::bench {

inline void StepThreeColumns(benchmark::State& state, const std::string& path, int rows) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT nome, valor, dia FROM linhas", -1, &st, nullptr);
        int read = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text(st, 0));
            benchmark::DoNotOptimize(sqlite3_column_double(st, 1));
            benchmark::DoNotOptimize(sqlite3_column_double(st, 2));
            ++read;
        }
        sqlite3_finalize(st);
        if (read != rows) state.SkipWithError("the loop did not read every row");
    }
    sqlite3_close(db);
}

}  // namespace pavana::bench
