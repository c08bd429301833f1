// A TDAOQuery over a 1,000,000-row table: opening it as a dynaset and reaching the first
// record; browsing every record reading three fields through the field objects, against the
// engine recordset alone and against a plain sqlite3_step loop reading the same three columns; 10,000 moves to random
// bookmarks reading one field, against 10,000 rowid lookups through a prepared SQLite statement.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "../common/BenchDatabase.h"
#include "../common/SqliteStepReference.h"
#include "dao/DAODatabase.h"
#include "dao/DAOQuery.h"
#include "engine/ClassRegistry.h"

namespace {

using namespace pavana;

constexpr int kRows = 1000000;
constexpr int kJumps = 10000;

// One database for the whole run, filled once, and one connection to it.
bench::BenchDatabase& Shared() {
    static bench::BenchDatabase database("ds", [](const std::string& path) {
        auto engine = engine::ClassRegistry::Default().Create(engine::kDao35ClassId);
        auto db = engine->DefaultWorkspace()->CreateDatabase(path);
        db->Execute("CREATE TABLE linhas (id COUNTER PRIMARY KEY, nome TEXT(40), valor DOUBLE, dia DATETIME)");
        db->Execute("INSERT INTO linhas (nome, valor, dia) VALUES ('linha', 1.5, #1/2/2000#)");
        while (db->OpenRecordset("linhas", Variant(engine::dbOpenTable))->RecordCount() < kRows)
            db->Execute("INSERT INTO linhas (nome, valor, dia) SELECT TOP " + std::to_string(kRows) +
                        " nome, valor + id, dia + id FROM linhas");
        db->Execute("DELETE FROM linhas WHERE id > " + std::to_string(kRows));
        db->Execute("UPDATE linhas SET nome = 'linha ' & id");
        db->Close();
    });
    return database;
}

void OpenAll(TDAOQuery& query) {
    query.SetDatabase(&Shared().Database());
    query.SQL().SetText("SELECT * FROM linhas");
    query.Open();
}

// Row ids of the random records both jump loops visit, the same for both.
std::vector<int> RandomIds() {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> id(1, kRows);
    std::vector<int> ids(kJumps);
    for (int& i : ids) i = id(random);
    return ids;
}

void BM_QueryOpenDynasetFirstRecord(benchmark::State& state) {
    Shared();
    for (auto _ : state) {
        TDAOQuery query(nullptr);
        OpenAll(query);
        benchmark::DoNotOptimize(query.FieldByName("nome").AsString());
    }
}
BENCHMARK(BM_QueryOpenDynasetFirstRecord)->Unit(benchmark::kMillisecond);

void BM_QueryBrowseThreeFields(benchmark::State& state) {
    Shared();
    for (auto _ : state) {
        TDAOQuery query(nullptr);
        OpenAll(query);
        const TField& nome = query.FieldByName("nome");
        const TField& valor = query.FieldByName("valor");
        const TField& dia = query.FieldByName("dia");
        int rows = 0;
        for (; !query.Eof(); query.Next(), ++rows) {
            benchmark::DoNotOptimize(nome.AsString());
            benchmark::DoNotOptimize(valor.AsFloat());
            benchmark::DoNotOptimize(dia.AsDateTime());
        }
        if (rows != kRows) state.SkipWithError("the browse did not reach every record");
    }
}
BENCHMARK(BM_QueryBrowseThreeFields)->Unit(benchmark::kMillisecond);

// The engine recordset alone, for the share of the dataset layer in the browse above.
void BM_RecordsetBrowseThreeFields(benchmark::State& state) {
    engine::Database& db = *Shared().Database().EngineDatabase();
    for (auto _ : state) {
        auto rs = db.OpenRecordset("SELECT * FROM linhas", Variant(engine::dbOpenDynaset));
        auto fields = rs->GetFields();
        auto nome = fields->Item(1), valor = fields->Item(2), dia = fields->Item(3);
        int rows = 0;
        for (; !rs->IsEOF(); rs->MoveNext(), ++rows) {
            benchmark::DoNotOptimize(nome->Value());
            benchmark::DoNotOptimize(valor->Value());
            benchmark::DoNotOptimize(dia->Value());
        }
        if (rows != kRows) state.SkipWithError("the browse did not reach every record");
    }
}
BENCHMARK(BM_RecordsetBrowseThreeFields)->Unit(benchmark::kMillisecond);

void BM_SqliteStepThreeColumns(benchmark::State& state) { bench::StepThreeColumns(state, Shared().Path(), kRows); }
BENCHMARK(BM_SqliteStepThreeColumns)->Unit(benchmark::kMillisecond);

void BM_QueryGotoRandomBookmarks(benchmark::State& state) {
    TDAOQuery query(nullptr);
    OpenAll(query);
    // The bookmarks of the records visited, gathered by one browse; reaching every key once
    // leaves the dynaset's whole keyset built, as any program that has browsed it has it.
    const std::vector<int> ids = RandomIds();
    std::vector<TBookmark> all;
    all.reserve(kRows);
    for (; !query.Eof(); query.Next()) all.push_back(query.GetBookmark());
    std::vector<TBookmark> marks;
    for (int id : ids) marks.push_back(all[static_cast<std::size_t>(id - 1)]);
    all.clear();
    const TField& nome = query.FieldByName("nome");
    for (auto _ : state) {
        for (const TBookmark& mark : marks) {
            query.GotoBookmark(mark);
            benchmark::DoNotOptimize(nome.AsString());
        }
    }
    state.SetItemsProcessed(state.iterations() * kJumps);
}
BENCHMARK(BM_QueryGotoRandomBookmarks)->Unit(benchmark::kMillisecond);

void BM_SqliteRowidLookups(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(Shared().Path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT nome FROM linhas WHERE rowid = ?", -1, &st, nullptr);
    const std::vector<int> ids = RandomIds();
    for (auto _ : state) {
        for (int id : ids) {
            sqlite3_bind_int(st, 1, id);
            if (sqlite3_step(st) != SQLITE_ROW) state.SkipWithError("a row is missing");
            benchmark::DoNotOptimize(sqlite3_column_text(st, 0));
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kJumps);
}
BENCHMARK(BM_SqliteRowidLookups)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
