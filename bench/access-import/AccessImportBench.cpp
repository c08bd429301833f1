// Rows per second of the Access import against the engine's own bulk INSERT of the same
// rows in one transaction, and the peak memory of the process.
//
//   access_import_bench SOURCE PASSES
//
// The largest table of SOURCE is imported once (pavanadb's import, in process) to give the
// schema; its unique keys are dropped, so that its rows can be written PASSES times over.
// Then, each in a copy of that empty table:
//   import     the rows are read from the Access file and written as the import writes them,
//              PASSES times, in one transaction;
//   reference  the same rows, read beforehand into variants, are written PASSES times through
//              a parameterised INSERT query definition of the engine (its fastest own way),
//              between BeginTrans and CommitTrans.
// Both copies must then hold the same number of rows. The import reads one row at a time,
// so the process's peak memory after it must not grow with PASSES.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "AccessFile.h"
#include "AccessImport.h"
#include "AccessRowWriter.h"
#include "engine/ClassRegistry.h"
#include "engine/Constants.h"
#include "engine/DBEngine.h"
#include "engine/sqlite/Sqlite.h"

namespace {

using namespace pavana;
using namespace pavana::tools;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::shared_ptr<engine::DBEngine> Engine() { return engine::ClassRegistry::Default().Create(engine::kDao36ClassId); }

const char* ParameterWord(AccessType type) {
    switch (type) {
        case AccessType::YesNo: return "YESNO";
        case AccessType::Byte: return "BYTE";
        case AccessType::Integer: return "SHORT";
        case AccessType::Long: return "LONG";
        case AccessType::Currency: return "CURRENCY";
        case AccessType::Single: return "SINGLE";
        case AccessType::Double: return "DOUBLE";
        case AccessType::DateTime: return "DATETIME";
        case AccessType::Memo: return "MEMO";
        case AccessType::Binary:
        case AccessType::OleObject: return "LONGBINARY";
        default: return "TEXT";
    }
}

Variant ToVariant(const AccessColumn& c, const AccessValue& v) {
    if (v.null) return Variant::Null();
    switch (c.type) {
        case AccessType::YesNo: return Variant(v.integer != 0);
        case AccessType::Currency: return Variant(Currency{v.integer});
        case AccessType::DateTime: return Variant::FromDate(v.real);
        case AccessType::Single:
        case AccessType::Double: return Variant(v.real);
        case AccessType::Byte:
        case AccessType::Integer:
        case AccessType::Long: return Variant(static_cast<std::int32_t>(v.integer));
        case AccessType::Binary:
        case AccessType::OleObject: return Variant(std::vector<std::uint8_t>(v.bytes.begin(), v.bytes.end()));
        default: return Variant(v.bytes);
    }
}

std::int64_t Count(const std::string& path, const std::string& table) {
    auto db = Engine()->OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT COUNT(*) AS n FROM [" + table + "]");
    return rs->GetFields()->Item(0)->Value().ToInt64();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: access_import_bench SOURCE PASSES\n";
        return 2;
    }
    const std::string source = argv[1];
    const int passes = std::atoi(argv[2]);
    const fs::path work = fs::temp_directory_path() / ("pavana-access-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    const std::string base = (work / "base.db").string();
    std::ostringstream summary;
    std::ostringstream progress;
    if (ImportAccess(ImportRequest{source, base, std::nullopt, false}, summary, progress) != 0) {
        std::cerr << summary.str();
        return 1;
    }

    AccessFile file(source);
    std::string table;
    std::uint32_t largest = 0;
    for (const std::string& name : file.TableNames()) {
        AccessFile::Rows rows(file, name);
        if (table.empty() || rows.Table().rowCount > largest) {
            table = name;
            largest = rows.Table().rowCount;
        }
    }
    std::vector<AccessColumn> columns;
    std::vector<std::vector<Variant>> values;
    {
        AccessFile::Rows rows(file, table);
        columns = rows.Table().columns;
        while (rows.Next()) {
            std::vector<Variant> row;
            for (std::size_t c = 0; c < columns.size(); ++c) row.push_back(ToVariant(columns[c], rows.Values()[c]));
            values.push_back(std::move(row));
        }
        auto db = Engine()->OpenDatabase(base);
        for (const AccessIndex& index : rows.Table().indexes) {
            if (index.primaryKey) db->Execute("ALTER TABLE [" + table + "] DROP CONSTRAINT [" + index.name + "]");
            else if (index.unique) db->Execute("DROP INDEX [" + index.name + "] ON [" + table + "]");
        }
        db->Execute("DELETE FROM [" + table + "]");
        db->Close();
    }
    const std::string imported = (work / "import.db").string();
    const std::string reference = (work / "reference.db").string();
    fs::copy_file(base, imported);
    fs::copy_file(base, reference);

    const auto t0 = Clock::now();
    {
        engine::sqlite::Connection c(imported, SQLITE_OPEN_READWRITE);
        c.Exec("BEGIN");
        AccessFile::Rows rows(file, table);
        AccessRowWriter writer(c, rows.Table(), table);
        for (int pass = 0; pass < passes; ++pass) {
            rows.Rewind();
            while (rows.Next()) writer.Write(rows.Values());
        }
        c.Exec("COMMIT");
    }
    const auto t1 = Clock::now();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long importPeak = usage.ru_maxrss;
    {
        auto db = Engine()->OpenDatabase(reference);
        std::string declarations, names, parameters;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string p = "p" + std::to_string(c);
            declarations += (c ? ", " : "") + p + " " + ParameterWord(columns[c].type);
            names += (c ? ", [" : "[") + columns[c].name + "]";
            parameters += (c ? ", " : "") + p;
        }
        auto insert = db->CreateQueryDef("", "PARAMETERS " + declarations + "; INSERT INTO [" + table + "] (" + names +
                                                 ") VALUES (" + parameters + ")");
        auto params = insert->GetParameters();
        db->BeginTrans();
        for (int pass = 0; pass < passes; ++pass) {
            for (const auto& row : values) {
                for (std::size_t c = 0; c < row.size(); ++c)
                    params->Item(static_cast<std::int32_t>(c))->SetValue(row[c]);
                insert->Execute(Variant(engine::dbFailOnError));
            }
        }
        db->CommitTrans();
        db->Close();
    }
    const auto t2 = Clock::now();

    const std::int64_t rowsImported = Count(imported, table);
    const std::int64_t rowsReference = Count(reference, table);
    fs::remove_all(work);
    if (rowsImported != rowsReference || rowsImported != static_cast<std::int64_t>(values.size()) * passes) {
        std::cerr << "the two ways wrote different rows: " << rowsImported << " and " << rowsReference << "\n";
        return 1;
    }
    const double importSeconds = std::chrono::duration<double>(t1 - t0).count();
    const double referenceSeconds = std::chrono::duration<double>(t2 - t1).count();
    std::printf(
        "  %s [%s]: %lld rows (%d passes of %zu)  import %.0f rows/s  engine INSERT %.0f rows/s  "
        "time ratio import/engine %.3f  peak memory after the import %ld KiB\n",
        fs::path(source).filename().c_str(), table.c_str(), static_cast<long long>(rowsImported), passes, values.size(),
        rowsImported / importSeconds, rowsReference / referenceSeconds, importSeconds / referenceSeconds, importPeak);
    return 0;
}
