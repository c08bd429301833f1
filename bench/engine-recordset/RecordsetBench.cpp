// Opening a 100,000-row table as a dynaset and reaching its first record, against reading
// every key (MoveLast) and against a plain sqlite3_step loop over the same rows; browsing the
// whole dynaset reading three fields of each record.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "../common/SqliteStepReference.h"
#include "engine/ClassRegistry.h"

namespace {

using namespace pavana;
using namespace pavana::engine;

constexpr int kRows = 100000;

// One database for the whole run, filled once.
class Fixture {
public:
    Fixture() {
        path_ = (std::filesystem::temp_directory_path() / ("pavana-bench-rs-" + std::to_string(::getpid()) + ".mdb"))
                    .string();
        engine_ = ClassRegistry::Default().Create(kDao35ClassId);
        db_ = engine_->DefaultWorkspace()->CreateDatabase(path_);
        db_->Execute("CREATE TABLE linhas (id COUNTER PRIMARY KEY, nome TEXT(40), valor DOUBLE, dia DATETIME)");
        db_->Execute("INSERT INTO linhas (nome, valor, dia) VALUES ('linha', 1.5, #1/2/2000#)");
        while (db_->OpenRecordset("linhas", Variant(dbOpenTable))->RecordCount() < kRows)
            db_->Execute("INSERT INTO linhas (nome, valor, dia) SELECT TOP " + std::to_string(kRows) +
                         " nome, valor + id, dia + id FROM linhas");
        db_->Execute("DELETE FROM linhas WHERE id > " + std::to_string(kRows));
        db_->Execute("UPDATE linhas SET nome = 'linha ' & id");
        // Created databases are open exclusively; reopened shared, the plain loop can read too.
        db_->Close();
        db_ = engine_->OpenDatabase(path_);
    }
    ~Fixture() {
        db_->Close();
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
    }
    Database& Db() { return *db_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::shared_ptr<DBEngine> engine_;
    std::shared_ptr<Database> db_;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void BM_OpenDynasetFirstRecord(benchmark::State& state) {
    Database& db = Shared().Db();
    for (auto _ : state) {
        auto rs = db.OpenRecordset("SELECT * FROM linhas", Variant(dbOpenDynaset));
        benchmark::DoNotOptimize(rs->GetFields()->Item(1)->Value());
        state.counters["records_read"] = rs->RecordCount();
    }
}
BENCHMARK(BM_OpenDynasetFirstRecord)->Unit(benchmark::kMicrosecond);

void BM_OpenDynasetMoveLast(benchmark::State& state) {
    Database& db = Shared().Db();
    for (auto _ : state) {
        auto rs = db.OpenRecordset("SELECT * FROM linhas", Variant(dbOpenDynaset));
        rs->MoveLast();
        state.counters["records_read"] = rs->RecordCount();
    }
}
BENCHMARK(BM_OpenDynasetMoveLast)->Unit(benchmark::kMillisecond);

void BM_BrowseDynasetThreeFields(benchmark::State& state) {
    Database& db = Shared().Db();
    for (auto _ : state) {
        auto rs = db.OpenRecordset("SELECT * FROM linhas", Variant(dbOpenDynaset));
        auto fields = rs->GetFields();
        int rows = 0;
        for (; !rs->IsEOF(); rs->MoveNext(), ++rows) {
            benchmark::DoNotOptimize(fields->Item(1)->Value());
            benchmark::DoNotOptimize(fields->Item(2)->Value());
            benchmark::DoNotOptimize(fields->Item(3)->Value());
        }
        if (rows != kRows) state.SkipWithError("the browse did not reach every record");
    }
}
BENCHMARK(BM_BrowseDynasetThreeFields)->Unit(benchmark::kMillisecond);

void BM_SqliteStepThreeColumns(benchmark::State& state) { bench::StepThreeColumns(state, Shared().Path(), kRows); }
BENCHMARK(BM_SqliteStepThreeColumns)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
