// Example extension in C++: counts the students of Notas who passed (average of 6 or more)
// and records the count, dated, in RelatorioNotas (created on the first run).
//
//   c++ -std=c++17 -shared -fPIC -I<PavanaScript>/include -o libgrade_report.so grade_report.cpp
#include <pavana/extension.hpp>

#include <ctime>

namespace {

using pavana::extension::Database;
using pavana::extension::Date;
using pavana::extension::Error;

double Today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return pavana_date_of(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec);
}

void Report(Database& db) {
    try {
        db.Execute("CREATE TABLE RelatorioNotas (quando DATETIME, alunos LONG, aprovados LONG)");
    } catch (const Error& e) {
        if (e.Number() != 3010) throw;  // 3010: the table exists already
    }
    std::int64_t students = 0;
    std::int64_t passed = 0;
    auto rows = db.OpenRecordset("SELECT media FROM Notas", PAVANA_OPEN_SNAPSHOT);
    for (; !rows.Eof(); rows.MoveNext()) {
        ++students;
        const pavana::extension::Value media = rows.Get(0);
        if (const auto* value = std::get_if<double>(&media); value != nullptr && *value >= 6.0) ++passed;
    }
    pavana::extension::Transaction transaction(db);
    auto insert = db.CreateQuery(
        "PARAMETERS [q] DATETIME, [a] LONG, [p] LONG; "
        "INSERT INTO RelatorioNotas VALUES ([q], [a], [p])");
    insert.Set("q", Date{Today()});
    insert.Set("a", students);
    insert.Set("p", passed);
    insert.Execute();
    transaction.Commit();
}

}  // namespace

PAVANA_EXTENSION(Report)
