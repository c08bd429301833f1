// 10,000 edits posted through the application dataset, with its change log kept and with
// TrackChanges off; each pass opens the dataset (which empties the log), edits every record
// once and closes it. The ratio of the two times is the cost of the log. Every pass grows the
// database's write-ahead log, which slows later passes: run with
// --benchmark_enable_random_interleaving=true and several repetitions so that neither side
// always comes last.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "../common/BenchDatabase.h"
#include "dao/DAODatabase.h"
#include "dao/uvrxDataSet.h"
#include "engine/ClassRegistry.h"

namespace {

using namespace pavana;

constexpr int kRecords = 10000;

// One database of kRecords rows for the whole run.
bench::BenchDatabase& Shared() {
    static bench::BenchDatabase database("log", [](const std::string& path) {
        auto db =
            engine::ClassRegistry::Default().Create(engine::kDao35ClassId)->DefaultWorkspace()->CreateDatabase(path);
        db->Execute("CREATE TABLE curso (Codigo LONG PRIMARY KEY, Nome TEXT(40), Valor DOUBLE)");
        db->Execute("INSERT INTO curso VALUES (1, 'curso', 1.5)");
        for (int have = 1; have < kRecords; have *= 2)
            db->Execute("INSERT INTO curso SELECT TOP " + std::to_string(kRecords - have) + " Codigo + " +
                        std::to_string(have) + ", Nome, Valor FROM curso");
        db->Close();
    });
    return database;
}

void EditEveryRecord(benchmark::State& state, bool track) {
    TvrxDataSet data(nullptr);
    data.SetDatabase(&Shared().Database());
    data.SetTrackChanges(track);
    data.SQL().SetText("SELECT * FROM curso");
    int pass = 0;
    for (auto _ : state) {
        data.Open();
        const std::string name = "nome " + std::to_string(++pass);
        int edits = 0;
        for (; !data.Eof(); data.Next(), ++edits) {
            data.Edit();
            data.FieldByName("Nome").SetAsString(name);
            data.Post();
        }
        const int logged = data.ChangeLog().RecordCount();
        data.Close();
        if (edits != kRecords || logged != (track ? kRecords : 0))
            state.SkipWithError("not every edit was made or logged");
    }
    state.counters["edits/s"] = benchmark::Counter(
        static_cast<double>(kRecords) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EditsWithChangeLog(benchmark::State& state) { EditEveryRecord(state, true); }
void BM_EditsWithoutChangeLog(benchmark::State& state) { EditEveryRecord(state, false); }
BENCHMARK(BM_EditsWithoutChangeLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditsWithChangeLog)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
