// Runs the engine corpus: every tests/dialect/corpus/engine/*.test file is one test, run
// through the engine on a database file of its own, with invariant format settings unless a
// "locale NAME" record says otherwise. The
// records are those of the dialect corpus (see tests/dialect/CorpusRunner.cpp), run through
// Database.Execute and OpenRecordset, so that messages are the engine's, plus:
//
//   fields                  a table or query, then "----", then one line per field:
//                           name | Type | Size | Attributes | DefaultValue | Required |
//                           AllowZeroLength
//   reopen                  closes the database and opens it again
//
// Query rows show each value in its invariant text form.
#include <algorithm>
#include <fstream>

#include "../dialect/CorpusFile.h"
#include "EngineFixture.h"
#include "rtl/FormatSettings.h"

namespace pavana::engine {
namespace {

namespace fs = std::filesystem;

using corpus::Record;
using corpus::ExpectedErrorOf;
using corpus::ReadRecords;

std::string ValueText(const Variant& v) {
    if (v.IsNull()) return "NULL";
    if (v.IsEmpty()) return "(none)";
    if (v.VarType() == varBoolean) return v.ToBoolean() ? "True" : "False";
    if (v.IsByteArray()) return "(bytes " + std::to_string(v.Bytes().size()) + ")";
    const std::string text = v.ToString(FormatSettings::Invariant());
    return text.empty() ? "(empty)" : text;
}

class EngineCorpus : public EngineFixture, public ::testing::WithParamInterface<std::string> {
protected:
    std::vector<std::string> Rows(Database& db, const std::string& sql) {
        std::vector<std::string> rows;
        auto rs = db.OpenRecordset(sql, Variant(static_cast<std::int32_t>(dbOpenSnapshot)));
        auto fields = rs->GetFields();
        while (!rs->IsEOF()) {
            std::string row;
            for (std::int32_t i = 0; i < fields->Count(); ++i) {
                if (i) row += " | ";
                row += ValueText(fields->Item(i)->Value());
            }
            rows.push_back(row);
            rs->MoveNext();
        }
        return rows;
    }

    std::vector<std::string> Fields(Database& db, const std::string& source) {
        std::vector<std::string> lines;
        auto rs = db.OpenRecordset(source, Variant(static_cast<std::int32_t>(dbOpenDynaset)));
        auto fields = rs->GetFields();
        for (std::int32_t i = 0; i < fields->Count(); ++i) {
            auto f = fields->Item(i);
            auto p = f->GetProperties();
            lines.push_back(f->Name() + " | " + std::to_string(f->Type()) + " | " + std::to_string(f->Size()) +
                            " | " + std::to_string(f->Attributes()) + " | " + ValueText(f->DefaultValue()) +
                            " | " + ValueText(p->Item("Required")->Value()) + " | " +
                            ValueText(p->Item("AllowZeroLength")->Value()));
        }
        return lines;
    }
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += "    " + l + "\n";
    return s;
}

TEST_P(EngineCorpus, File) {
    const fs::path file = fs::path(PAVANA_SOURCE_DIR) / "tests" / "dialect" / "corpus" / "engine" / GetParam();
    std::shared_ptr<Database> db = Create("corpus.db");
    const std::vector<Record> records = ReadRecords(file);
    ASSERT_FALSE(records.empty()) << file;
    corpus::CorpusSettings settings;
    for (const Record& r : records) {
        const std::string where = GetParam() + ":" + std::to_string(r.line) + ": ";
        if (corpus::CorpusSettings::IsDirective(r)) {
            if (!settings.Apply(r, where)) return;
            continue;
        }
        if (!r.values.empty()) {
            ADD_FAILURE() << where << "parameter values are not taken here";
            continue;
        }
        if (r.directive == "reopen") {
            db->Close();
            db = engine_->DefaultWorkspace()->OpenDatabase(Path("corpus.db"), Variant(false), Variant(false), Variant(std::string()));
        } else if (r.directive == "statement ok") {
            RaisedError e = ErrorOf([&] { db->Execute(r.text, Variant(dbFailOnError)); });
            EXPECT_EQ(e.number, 0) << where << r.text << "\n  failed: " << e.message;
        } else if (r.directive == "statement fails") {
            EXPECT_NE(NumberOf([&] { db->Execute(r.text, Variant(dbFailOnError)); }), 0) << where << r.text;
        } else if (const auto expected = ExpectedErrorOf(r.directive)) {
            RaisedError e = ErrorOf([&] { db->Execute(r.text, Variant(dbFailOnError)); });
            EXPECT_EQ(e.number, expected->number) << where << r.text << "\n  message: " << e.message;
            EXPECT_EQ(e.message, expected->message) << where << r.text;
        } else if (r.directive == "query" || r.directive == "fields") {
            std::vector<std::string> rows;
            RaisedError e = ErrorOf([&] { rows = r.directive == "query" ? Rows(*db, r.text) : Fields(*db, r.text); });
            EXPECT_EQ(e.number, 0) << where << r.text << "\n  failed: " << e.message;
            EXPECT_EQ(rows, r.expected) << where << r.text << "\n  rows:\n" << Joined(rows);
        } else {
            ADD_FAILURE() << where << "unknown directive '" << r.directive << "'";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineCorpus, ::testing::ValuesIn(corpus::CorpusFiles(fs::path(PAVANA_SOURCE_DIR) / "tests" / "dialect" / "corpus" / "engine")),
                         corpus::FileName);

}  // namespace
}  // namespace pavana::engine
