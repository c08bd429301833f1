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
//   open FILE               closes the database and opens, in its place, a copy of
//                           tests/engine/data/FILE (a database written by an earlier build)
//   copy FILE               copies tests/engine/data/FILE beside the database, where a
//                           statement names it as FILE (a file runs in the database's folder)
//   queries                 "----", then one line per query of the database: name | SQL
//   querydef NAME           "----", then the rows of the database's query NAME, opened
//                           through its query definition
//
// "statement ok" and "query" take parameter values ("with ...") through a temporary query
// definition.
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

using corpus::ExpectedErrorOf;
using corpus::ReadRecords;
using corpus::Record;

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
    // A temporary query definition of `sql` with its parameters set from `values` ('text',
    // Null or a number).
    static std::shared_ptr<QueryDef> WithValues(Database& db, const std::string& sql,
                                                const std::vector<std::string>& values) {
        auto q = db.CreateQueryDef("", sql);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::string& v = values[i];
            Variant value;
            if (v == "Null") value = Variant::Null();
            else if (v.size() >= 2 && v.front() == '\'') value = Variant(v.substr(1, v.size() - 2));
            else value = Variant(std::stod(v));
            q->GetParameters()->Item(static_cast<std::int32_t>(i))->SetValue(value);
        }
        return q;
    }

    std::vector<std::string> Rows(Database& db, const std::string& sql, const std::vector<std::string>& values) {
        const Variant snapshot(static_cast<std::int32_t>(dbOpenSnapshot));
        return RowsOf(values.empty() ? db.OpenRecordset(sql, snapshot)
                                     : WithValues(db, sql, values)->OpenRecordset(snapshot));
    }

    static std::vector<std::string> RowsOf(const std::shared_ptr<Recordset>& rs) {
        std::vector<std::string> rows;
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

    // The database's queries, one line each: name | SQL.
    static std::vector<std::string> Queries(Database& db) {
        std::vector<std::string> lines;
        auto queries = db.GetQueryDefs();
        for (std::int32_t i = 0; i < queries->Count(); ++i) {
            auto q = queries->Item(i);
            lines.push_back(q->Name() + " | " + q->SQL());
        }
        return lines;
    }

    std::vector<std::string> Fields(Database& db, const std::string& source) {
        std::vector<std::string> lines;
        auto rs = db.OpenRecordset(source, Variant(static_cast<std::int32_t>(dbOpenDynaset)));
        auto fields = rs->GetFields();
        for (std::int32_t i = 0; i < fields->Count(); ++i) {
            auto f = fields->Item(i);
            auto p = f->GetProperties();
            lines.push_back(f->Name() + " | " + std::to_string(f->Type()) + " | " + std::to_string(f->Size()) + " | " +
                            std::to_string(f->Attributes()) + " | " + ValueText(f->DefaultValue()) + " | " +
                            ValueText(p->Item("Required")->Value()) + " | " +
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
    struct Folder {
        fs::path previous = fs::current_path();
        ~Folder() { fs::current_path(previous); }
    } folder;
    fs::current_path(Path(""));
    const std::vector<Record> records = ReadRecords(file);
    ASSERT_FALSE(records.empty()) << file;
    corpus::CorpusSettings settings;
    for (const Record& r : records) {
        const std::string where = GetParam() + ":" + std::to_string(r.line) + ": ";
        if (corpus::CorpusSettings::IsDirective(r)) {
            if (!settings.Apply(r, where)) return;
            continue;
        }
        const auto execute = [&] {
            if (r.values.empty()) db->Execute(r.text, Variant(dbFailOnError));
            else WithValues(*db, r.text, r.values)->Execute(Variant(dbFailOnError));
        };
        if (r.directive.rfind("copy ", 0) == 0) {
            const std::string name = r.directive.substr(5);
            fs::copy_file(fs::path(PAVANA_SOURCE_DIR) / "tests" / "engine" / "data" / name, Path(name),
                          fs::copy_options::overwrite_existing);
        } else if (r.directive == "reopen" || r.directive.rfind("open ", 0) == 0) {
            db->Close();
            if (r.directive != "reopen")
                fs::copy_file(fs::path(PAVANA_SOURCE_DIR) / "tests" / "engine" / "data" / r.directive.substr(5),
                              Path("corpus.db"), fs::copy_options::overwrite_existing);
            db = engine_->DefaultWorkspace()->OpenDatabase(Path("corpus.db"), Variant(false), Variant(false),
                                                           Variant(std::string()));
        } else if (r.directive == "statement ok") {
            RaisedError e = ErrorOf(execute);
            EXPECT_EQ(e.number, 0) << where << r.text << "\n  failed: " << e.message;
        } else if (r.directive == "statement fails") {
            EXPECT_NE(NumberOf([&] { db->Execute(r.text, Variant(dbFailOnError)); }), 0) << where << r.text;
        } else if (const auto expected = ExpectedErrorOf(r.directive)) {
            RaisedError e = ErrorOf([&] { db->Execute(r.text, Variant(dbFailOnError)); });
            EXPECT_EQ(e.number, expected->number) << where << r.text << "\n  message: " << e.message;
            EXPECT_EQ(e.message, expected->message) << where << r.text;
        } else if (r.directive == "query" || r.directive == "fields" || r.directive == "queries" ||
                   r.directive.rfind("querydef ", 0) == 0) {
            std::vector<std::string> rows;
            RaisedError e = ErrorOf([&] {
                if (r.directive == "query") rows = Rows(*db, r.text, r.values);
                else if (r.directive == "fields") rows = Fields(*db, r.text);
                else if (r.directive == "queries") rows = Queries(*db);
                else
                    rows =
                        RowsOf(db->GetQueryDefs()->Item(r.directive.substr(9))->OpenRecordset(Variant(dbOpenSnapshot)));
            });
            EXPECT_EQ(e.number, 0) << where << r.text << "\n  failed: " << e.message;
            EXPECT_EQ(rows, r.expected) << where << r.text << "\n  rows:\n" << Joined(rows);
        } else {
            ADD_FAILURE() << where << "unknown directive '" << r.directive << "'";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineCorpus,
                         ::testing::ValuesIn(corpus::CorpusFiles(fs::path(PAVANA_SOURCE_DIR) / "tests" / "dialect" /
                                                                 "corpus" / "engine")),
                         corpus::FileName);

}  // namespace
}  // namespace pavana::engine
