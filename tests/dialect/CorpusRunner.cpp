// Runs the dialect corpus: every corpus/*.test file is one test, run on a fresh in-memory
// SQLite connection set up as the engine sets up its own (foreign keys on, double-quoted
// names never taken as strings), the dialect's functions registered and the clock fixed at
// 2024-03-15 10:30:00. A file is a sequence of records separated by blank lines:
//
//   statement ok                    the statement translates and runs
//   statement error N message       it fails with error number N and exactly that message
//   statement fails                 it fails (any error)
//   query                           a query, then "----", then its rows, columns joined by
//                                   " | "; NULL is Null, (empty) the zero-length text
//   translate                       a statement, then "----", then the SQLite text it becomes
//   locale NAME                     the records after it run under the format settings of
//                                   locale NAME (pt_BR.UTF-8, C); a file starts under C's
//
// "statement ok" and "query" may end in "with v1 | v2 ...": the values of the statement's
// parameters in the order of its PARAMETERS clause ('text', a number, or Null).
// Failures of SQLite are reported the way the engine reports them (its message and number).
// Lines starting with "#" are comments. Statement texts may span lines.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CorpusFile.h"
#include "engine/EngineError.h"
#include "engine/dialect/JetDate.h"
#include "engine/dialect/Translator.h"
#include "engine/sqlite/JetFunctions.h"
#include "engine/sqlite/SqliteErrors.h"
#include "engine/sqlite/StoreConversion.h"
#include "engine/sqlite/Translate.h"

namespace pavana::engine::dialect {
namespace {

namespace fs = std::filesystem;

using sqlite::CurrencyStorage;
using sqlite::RegisterJetFunctions;
using sqlite::RegisterStoreConversion;
using sqlite::Translate;

using corpus::ExpectedErrorOf;
using corpus::ReadRecords;
using corpus::Record;

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

std::string ValueText(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_NULL: return "NULL";
        case SQLITE_INTEGER: return std::to_string(sqlite3_column_int64(stmt, column));
        case SQLITE_FLOAT: {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.15g", sqlite3_column_double(stmt, column));
            return buffer;
        }
        case SQLITE_BLOB: {
            std::string out = "x'";
            const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, column));
            for (int i = 0; i < sqlite3_column_bytes(stmt, column); ++i) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
                out += hex;
            }
            return out + "'";
        }
        default: {
            std::string text(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                             static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
            return text.empty() ? "(empty)" : text;
        }
    }
}

// The outcome of one statement: rows, or an error number and message.
struct Outcome {
    bool failed = false;
    int number = 0;
    std::string message;
    std::vector<std::string> rows;
};

void Bind(sqlite3_stmt* stmt, int slot, const std::string& value) {
    if (value == "Null") {
        sqlite3_bind_null(stmt, slot);
    } else if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        const std::string text = value.substr(1, value.size() - 2);
        sqlite3_bind_text(stmt, slot, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    } else if (value.find_first_of(".eE") == std::string::npos) {
        sqlite3_bind_int64(stmt, slot, std::stoll(value));
    } else {
        sqlite3_bind_double(stmt, slot, std::stod(value));
    }
}

// The engine's number and message of SQLite's failure of `sql`.
void TranslateFailure(sqlite3* db, const std::string& sql, Outcome& outcome) {
    try {
        sqlite::RaiseStatementError(sqlite::SqliteFailure(sqlite3_extended_errcode(db), outcome.message), sql,
                                    "corpus");
    } catch (const EOleException& e) {
        outcome.number = EngineErrorNumber(e.ErrorCode());
        outcome.message = e.Message();
    }
}

Outcome Execute(sqlite3* db, const std::string& sql, bool collect, const std::vector<std::string>& values = {}) {
    Outcome outcome;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        outcome.failed = true;
        outcome.message = sqlite3_errmsg(db);
        TranslateFailure(db, sql, outcome);
        return outcome;
    }
    std::unique_ptr<sqlite3_stmt, StmtFinalizer> stmt(raw);
    for (std::size_t i = 0; i < values.size(); ++i) Bind(stmt.get(), static_cast<int>(i) + 1, values[i]);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        if (!collect) continue;
        std::string row;
        for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c) {
            if (c) row += " | ";
            row += ValueText(stmt.get(), c);
        }
        outcome.rows.push_back(row);
    }
    if (rc != SQLITE_DONE) {
        outcome.failed = true;
        outcome.message = sqlite3_errmsg(db);
        TranslateFailure(db, sql, outcome);
    }
    return outcome;
}

Outcome Run(sqlite3* db, const std::string& jet, bool collect, const std::vector<std::string>& values = {}) {
    Outcome outcome;
    Translation t;
    try {
        t = Translate(jet);
    } catch (const SyntaxError& e) {
        outcome.failed = true;
        outcome.number = e.Number();
        outcome.message = e.Message();
        return outcome;
    }
    sqlite3_exec(db, "SAVEPOINT corpus", nullptr, nullptr, nullptr);
    outcome = Execute(db, t.sql, collect, values);
    for (std::size_t i = 0; !outcome.failed && i < t.followUp.size(); ++i) {
        Outcome more = Execute(db, t.followUp[i], false);
        if (more.failed) outcome = more;
    }
    for (std::size_t i = 0; !outcome.failed && i < t.metadata.size(); ++i) {
        Outcome more = Execute(db, t.metadata[i], false);
        if (more.failed) outcome = more;
    }
    if (outcome.failed) {
        sqlite3_exec(db, "ROLLBACK TO corpus", nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "RELEASE corpus", nullptr, nullptr, nullptr);
    return outcome;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += "    " + l + "\n";
    return s;
}

void RunFile(const fs::path& file) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, DbCloser> db(raw);
    // The connection is set up as the engine sets up its own.
    sqlite3_exec(db.get(), "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    const double now = DateValueOf({2024, 3, 15, 10, 30, 0});
    RegisterJetFunctions(db.get(), [now] { return now; });
    // The translator alone knows no schema, so nothing is marked as a scaled amount: its
    // Currency columns hold the amounts themselves, as in a file of another program.
    RegisterStoreConversion(db.get(), CurrencyStorage::Amount);
    const std::vector<Record> records = ReadRecords(file);
    ASSERT_FALSE(records.empty()) << file;
    corpus::CorpusSettings settings;
    for (const Record& r : records) {
        const std::string where = file.filename().string() + ":" + std::to_string(r.line) + ": ";
        if (corpus::CorpusSettings::IsDirective(r)) {
            if (!settings.Apply(r, where)) return;
        } else if (r.directive == "translate") {
            std::string actual;
            try {
                actual = Translate(r.text).sql;
            } catch (const SyntaxError& e) {
                actual = "error " + std::to_string(e.Number()) + " " + e.Message();
            }
            ASSERT_EQ(r.expected.size(), 1u) << where << "translate needs one expected line";
            EXPECT_EQ(actual, r.expected[0]) << where << r.text;
        } else if (r.directive == "statement ok") {
            Outcome o = Run(db.get(), r.text, false, r.values);
            EXPECT_FALSE(o.failed) << where << r.text << "\n  failed: " << o.number << " " << o.message;
        } else if (r.directive == "statement fails") {
            Outcome o = Run(db.get(), r.text, false);
            EXPECT_TRUE(o.failed) << where << r.text;
        } else if (const auto expected = ExpectedErrorOf(r.directive)) {
            Outcome o = Run(db.get(), r.text, false);
            EXPECT_TRUE(o.failed) << where << r.text << "\n  succeeded";
            EXPECT_EQ(o.number, expected->number) << where << r.text << "\n  message: " << o.message;
            EXPECT_EQ(o.message, expected->message) << where << r.text;
        } else if (r.directive == "query") {
            Outcome o = Run(db.get(), r.text, true, r.values);
            EXPECT_FALSE(o.failed) << where << r.text << "\n  failed: " << o.number << " " << o.message;
            EXPECT_EQ(o.rows, r.expected) << where << r.text << "\n  rows:\n" << Joined(o.rows);
        } else {
            ADD_FAILURE() << where << "unknown directive '" << r.directive << "'";
        }
    }
}

class Corpus : public ::testing::TestWithParam<std::string> {};

const fs::path kCorpus = fs::path(PAVANA_SOURCE_DIR) / "tests" / "dialect" / "corpus";

TEST_P(Corpus, File) { RunFile(kCorpus / GetParam()); }

INSTANTIATE_TEST_SUITE_P(Dialect, Corpus, ::testing::ValuesIn(corpus::CorpusFiles(kCorpus)), corpus::FileName);

}  // namespace
}  // namespace pavana::engine::dialect
