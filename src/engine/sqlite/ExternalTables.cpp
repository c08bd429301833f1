#include "engine/sqlite/ExternalTables.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/EngineError.h"
#include "engine/sqlite/JetFunctions.h"
#include "engine/sqlite/QuoteIdentifier.h"
#include "engine/sqlite/SqliteDatabase.h"
#include "engine/sqlite/SqliteErrors.h"
#include "rtl/Variant.h"

namespace pavana::engine::sqlite {
namespace {

// Binds `value`, a currency amount in the other form than `target`, in the form `target`. What
// is no number (Null, text another program left) and an amount beyond the currency range are
// copied as they are.
void BindCurrencyAs(sqlite3_stmt* write, int slot, sqlite3_value* value, CurrencyStorage target) {
    const int kind = sqlite3_value_type(value);
    if (kind != SQLITE_INTEGER && kind != SQLITE_FLOAT) {
        sqlite3_bind_value(write, slot, value);
    } else if (target == CurrencyStorage::Amount) {
        sqlite3_bind_double(write, slot, static_cast<double>(sqlite3_value_int64(value)) / 10000.0);
    } else if (const auto amount = Currency::TryFromDouble(sqlite3_value_double(value))) {
        sqlite3_bind_int64(write, slot, amount->Scaled);
    } else {
        sqlite3_bind_value(write, slot, value);
    }
}

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

// Opens the other database read-only, after checking that it is one of this engine's.
std::unique_ptr<Connection> OpenOther(const std::string& path, const std::string& source) {
    const std::string full = FullPath(path);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        RaiseEngineError(jetFileNotFound, "Could not find file '" + full + "'.", source);
    char header[20] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(header, sizeof header);
    const std::string head(header, static_cast<std::size_t>(in.gcount()));
    // Access files start with a page whose bytes 4 on name the engine that wrote them.
    if (head.size() >= 19 &&
        (head.compare(4, 15, "Standard Jet DB") == 0 || head.compare(4, 15, "Standard ACE DB") == 0))
        RaiseEngineError(jetUnrecognizedFormat,
                         "'" + path +
                             "' is an Access database, which this engine does not read in place. "
                             "Import it into a database of this engine with `pavanadb import " +
                             path + " TARGET` and name that database in IN.",
                         source);
    if (!S_ISREG(info.st_mode) || head.compare(0, 16, std::string("SQLite format 3\0", 16)) != 0)
        RaiseEngineError(jetUnrecognizedFormat, "Unrecognized database format '" + full + "'.", source);
    try {
        auto other = std::make_unique<Connection>(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
        RegisterJetFunctions(other->Handle());
        return other;
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", source, nullptr);
    }
}

}  // namespace

ExternalCopies::ExternalCopies(Connection& connection, CurrencyStorage currency,
                               const std::vector<dialect::ExternalTable>& tables, const std::string& source)
    : connection_(connection), currency_(currency) {
    std::unique_ptr<Connection> other;
    std::string otherPath;
    for (const dialect::ExternalTable& table : tables) {
        if (!other || otherPath != table.database) {
            other = OpenOther(table.database, source);
            otherPath = table.database;
        }
        Copy(*other, table, source);
    }
}

ExternalCopies::~ExternalCopies() {
    for (const std::string& copy : copies_)
        sqlite3_exec(connection_.Handle(), ("DROP TABLE IF EXISTS temp." + QuoteIdentifier(copy)).c_str(), nullptr,
                     nullptr, nullptr);
}

void ExternalCopies::Copy(Connection& other, const dialect::ExternalTable& table, const std::string& source) {
    try {
        std::string columns;
        std::string slots;
        // The currency columns whose amounts change form on the way (the files differ in it).
        std::vector<bool> convert;
        const bool formsDiffer = CurrencyStorageOf(other) != currency_;
        {
            Statement info(other, ("PRAGMA table_info(" + QuoteIdentifier(table.table) + ")").c_str());
            for (int n = 1; info.Step(); ++n) {
                if (n > 1) {
                    columns += ", ";
                    slots += ", ";
                }
                columns += QuoteIdentifier(info.Text(1)) + " " + info.Text(2);
                const auto type = dialect::TypeFromWord(info.Text(2));
                convert.push_back(formsDiffer && type && type->type == dialect::JetType::Currency);
                slots += "?" + std::to_string(n);
            }
        }
        if (columns.empty())
            RaiseEngineError(jetCannotFindInput,
                             "The database engine cannot find the input table or query '" + table.table +
                                 "'. Make sure it exists and that its name is spelled correctly.",
                             source);
        const std::string copy = "temp." + QuoteIdentifier(table.copy);
        connection_.Exec(("DROP TABLE IF EXISTS " + copy).c_str());
        connection_.Exec(("CREATE TABLE " + copy + " (" + columns + ")").c_str());
        copies_.push_back(table.copy);
        Statement read(other, ("SELECT * FROM " + QuoteIdentifier(table.table)).c_str());
        Statement write(connection_, ("INSERT INTO " + copy + " VALUES (" + slots + ")").c_str());
        const int count = sqlite3_column_count(read.Handle());
        while (read.Step()) {
            for (int i = 0; i < count; ++i) {
                sqlite3_value* value = sqlite3_column_value(read.Handle(), i);
                if (convert[static_cast<std::size_t>(i)]) BindCurrencyAs(write.Handle(), i + 1, value, currency_);
                else sqlite3_bind_value(write.Handle(), i + 1, value);
            }
            write.Step();
            write.Reset();
        }
    } catch (const SqliteFailure& failure) {
        RaiseStatementError(failure, "", source, connection_.Handle());
    }
}

}  // namespace pavana::engine::sqlite
