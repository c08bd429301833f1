// Locate on a 1,000,000-row dynaset: on an indexed column, and on a column without an index
// against its reference, the same search as one plain SQLite "SELECT rowid ... WHERE ...
// LIMIT 1" plus the engine recordset's move to that record by bookmark.
//
// "Fresh" benchmarks open a new dataset for every search (its keyset has read one row); the
// others search one dataset that stays open. The records searched for lie near the end of
// the table.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "../common/BenchDatabase.h"
#include "dao/DAODatabase.h"
#include "dao/DAOQuery.h"
#include "engine/ClassRegistry.h"

namespace {

using namespace pavana;

constexpr int kRows = 1000000;

bench::BenchDatabase& Shared() {
    static bench::BenchDatabase database("locate", [](const std::string& path) {
        auto db =
            engine::ClassRegistry::Default().Create(engine::kDao35ClassId)->DefaultWorkspace()->CreateDatabase(path);
        db->Execute("CREATE TABLE linhas (id COUNTER PRIMARY KEY, codigo LONG, valor LONG, nome TEXT(40))");
        db->Close();
        // Filled with SQLite directly: a million rows through the engine would only slow the setup.
        sqlite3* raw = nullptr;
        sqlite3_open(path.c_str(), &raw);
        sqlite3_exec(raw,
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
                     "INSERT INTO linhas (id, codigo, valor, nome) SELECT i, i * 3, i * 7, 'linha ' || i FROM n;"
                     "CREATE INDEX linhas_codigo ON linhas (codigo);",
                     nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    });
    return database;
}

std::unique_ptr<TDAOQuery> OpenQuery() {
    auto query = std::make_unique<TDAOQuery>(nullptr);
    query->SetDatabase(&Shared().Database());
    query->SQL().SetText("SELECT * FROM linhas");
    query->Open();
    return query;
}

// The row searched for in iteration `i`: one of the last 10,000.
int TargetRow(std::int64_t i) { return kRows - 10000 + static_cast<int>(i * 7919 % 10000); }

void Check(bool found, TDAOQuery& query, int row, benchmark::State& state) {
    if (!found || query.FieldByName("id").AsInteger() != row) state.SkipWithError("wrong record");
}

// Runs `search` once an iteration on a dataset opened for it outside the timing, for the row
// TargetRow gives.
void ForEachFreshSearch(benchmark::State& state, const std::function<void(TDAOQuery& query, int row)>& search) {
    std::int64_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto query = OpenQuery();
        const int row = TargetRow(i++);
        state.ResumeTiming();
        search(*query, row);
    }
}

void BM_LocateIndexedFresh(benchmark::State& state) {
    ForEachFreshSearch(
        state, [&](TDAOQuery& query, int row) { Check(query.Locate("codigo", Variant(row * 3)), query, row, state); });
}
BENCHMARK(BM_LocateIndexedFresh)->Unit(benchmark::kMillisecond);

// The record found ahead of the keyset has no place among its neighbours yet: the first move
// from it reads the keyset up to it.
void BM_LocateIndexedFreshThenNext(benchmark::State& state) {
    ForEachFreshSearch(state, [&](TDAOQuery& query, int row) {
        Check(query.Locate("codigo", Variant(row * 3)), query, row, state);
        query.Next();
        if (query.FieldByName("id").AsInteger() != row + 1) state.SkipWithError("wrong next record");
    });
}
BENCHMARK(BM_LocateIndexedFreshThenNext)->Unit(benchmark::kMillisecond);

void BM_LocateIndexedOpen(benchmark::State& state) {
    auto query = OpenQuery();
    std::int64_t i = 0;
    for (auto _ : state) {
        const int row = TargetRow(i++);
        Check(query->Locate("codigo", Variant(row * 3)), *query, row, state);
    }
}
BENCHMARK(BM_LocateIndexedOpen)->Unit(benchmark::kMillisecond);

void BM_LocateUnindexedFresh(benchmark::State& state) {
    ForEachFreshSearch(
        state, [&](TDAOQuery& query, int row) { Check(query.Locate("valor", Variant(row * 7)), query, row, state); });
}
BENCHMARK(BM_LocateUnindexedFresh)->Unit(benchmark::kMillisecond);

// The reference of the unindexed search: SQLite finds the row, and a fresh engine recordset
// moves to it by bookmark (the n-th record of the table's order has bookmark n + 1).
void BM_ReferenceSelectLimitOneAndBookmark(benchmark::State& state) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(Shared().Path().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(raw, "SELECT rowid FROM linhas WHERE valor = ?1 LIMIT 1", -1, &select, nullptr);
    engine::Database& db = *Shared().Database().EngineDatabase();
    std::int64_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto rs = db.OpenRecordset("SELECT * FROM linhas", Variant(engine::dbOpenDynaset));
        const int row = TargetRow(i++);
        state.ResumeTiming();
        sqlite3_reset(select);
        sqlite3_bind_int64(select, 1, static_cast<sqlite3_int64>(row) * 7);
        if (sqlite3_step(select) != SQLITE_ROW) state.SkipWithError("no row");
        const auto rowid = static_cast<std::int32_t>(sqlite3_column_int64(select, 0));
        std::vector<std::uint8_t> bookmark(4);
        for (int b = 0; b < 4; ++b) bookmark[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(rowid >> (8 * b));
        rs->SetBookmark(Variant(std::move(bookmark)));
        if (rs->GetFields()->Item(0)->Value().ToInteger() != row) state.SkipWithError("wrong record");
    }
    sqlite3_finalize(select);
    sqlite3_close(raw);
}
BENCHMARK(BM_ReferenceSelectLimitOneAndBookmark)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
