// pavanadb import on the sample Access files: the schema as the engine's recordsets report
// it, the values against the raw values the files hold (day numbers, scaled amounts), the
// queries, and the refusals.
#include <gtest/gtest.h>
#include <mdbtools.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "TestFolder.h"
#include "e2e/Process.h"
#include "engine/ClassRegistry.h"
#include "engine/Constants.h"
#include "engine/DBEngine.h"
#include "rtl/Encoding.h"

namespace pavana::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = PAVANA_SOURCE_DIR "/tests/tools/data/access/";

class AccessImportTest : public testing::Test {
protected:
    void SetUp() override {
        options_.workingDirectory = dir_.Dir().string();
        options_.environment = {{"LC_ALL", "pt_BR.UTF-8"}};
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    ProcessResult Run(const std::vector<std::string>& args) { return RunProcess(PAVANADB_BIN, args, options_); }
    std::string Query(const std::string& db, const std::string& sql) {
        ProcessResult r = Run({"sql", db, sql});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Dir())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Type, Size, Required, AllowZeroLength and DefaultValue of each field of `table`, as a
    // program using the engine reads them.
    static std::string FieldProperties(const std::string& db, const std::string& table) {
        auto engine = engine::ClassRegistry::Default().Create(engine::kDao36ClassId);
        auto rs = engine->OpenDatabase(db)->OpenRecordset("SELECT * FROM [" + table + "]");
        std::string out;
        auto fields = rs->GetFields();
        for (int i = 0; i < fields->Count(); ++i) {
            auto f = fields->Item(i);
            auto props = f->GetProperties();
            out += f->Name() + " " + std::to_string(f->Type()) + "/" + std::to_string(f->Size()) +
                   (props->Item("Required")->Value().ToBoolean() ? " required" : "") +
                   (props->Item("AllowZeroLength")->Value().ToBoolean() ? " zero-length" : "") +
                   (f->DefaultValue().IsEmpty() ? "" : " default " + f->DefaultValue().ToString()) + "\n";
        }
        return out;
    }

    const test::TestFolder dir_;
    ProcessOptions options_;
};

TEST_F(AccessImportTest, Jet4DatesKeepTheirDayNumbersAcrossTheWholeRangeAndTextStaysWhole) {
    ProcessResult r = Run({"import", kSamples + "DateTestDatabase.mdb", Path("datas.db")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Imported from " + kSamples + "DateTestDatabase.mdb (Jet 4) into " + Path("datas.db") +
                         ".\n  tables:        1 of 1, 6 rows\n  indexes:       0\n  relationships: 0 of 0\n"
                         "  queries:       0 of 0\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"datas.db"});
    // The day numbers the file holds (8-byte doubles): 2 Dec 2021, 1 Jan 9999, 1 Jan 1898,
    // 1899 and 1900, and 1 Jan 632, 633 and 634.
    EXPECT_EQ(Query(Path("datas.db"),
                    "SELECT IDCol, CDbl(DateTimeCol) AS a, CDbl(DateCol) AS b, CDbl(TimeCol) AS c, "
                    "Year(DateCol) AS y, LongTextCol, ShortTextCol FROM DateTest ORDER BY IDCol"),
              "IDCol\ta\tb\tc\ty\tLongTextCol\tShortTextCol\n"
              "1\t44532\t44532\t44532\t2021\tHello\tHello\n"
              "2\t2958101\t2958101\t2958101\t9999\tYear 9999\tYear 1999\n"
              "3\t-728\t-363\t2\t1899\tPre-1900 years\tPre-1900 years\n"
              "4\t-463126\t-462760\t-462395\t633\tPre-1000 years\tPre-1000 years\n"
              "5\t44532\t44532\t44532\t2021\tEscaped new line \\\\r\\\\n in field\tEscaped new "
              "line \\\\r\\\\n in field\n"
              "6\t44532\t44532\t44532\t2021\tNew line\\r\\nin field\tNo new line\n");
    EXPECT_EQ(FieldProperties(Path("datas.db"), "DateTest"),
              "IDCol 4/4 default 0\nDateTimeCol 8/8\nDateCol 8/8\nTimeCol 8/8\n"
              "LongTextCol 12/0 zero-length\nShortTextCol 10/255 zero-length\n");
}

TEST_F(AccessImportTest, AceCurrencyKeysAndSelectQueriesAreCarried) {
    ProcessResult r = Run({"import", kSamples + "ASampleDatabase.accdb", Path("bens.db")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Imported from " + kSamples + "ASampleDatabase.accdb (ACE) into " + Path("bens.db") +
                         ".\n  tables:        1 of 1, 65 rows\n  indexes:       1\n  relationships: 0 of 0\n"
                         "  queries:       3 of 3\n");
    const std::string db = Path("bens.db");
    // The amounts the file holds × 10 000: 19955000, 24500000 and 2440000; the total of all 65.
    EXPECT_EQ(Query(db,
                    "SELECT [Asset No], Cost, Acquired, Warranty, Comments FROM [Asset Items] "
                    "WHERE [Asset No] IN ('30050', '30051', '30052') ORDER BY [Asset No]"),
              "Asset No\tCost\tAcquired\tWarranty\tComments\n30050\t1995.5\t1997-09-02\t12\tNULL\n"
              "30051\t2450\t1997-09-02\t12\tNULL\n30052\t244\t1997-09-02\t6\tNULL\n");
    EXPECT_EQ(Query(db, "SELECT COUNT(*) AS n, SUM(Cost) AS total FROM [Asset Items]"), "n\ttotal\n65\t98164.5\n");
    EXPECT_EQ(FieldProperties(db, "Asset Items").substr(0, 60),
              "Asset No 10/5 required\nAsset Category 10/20\nMake 10/25\nModel");
    EXPECT_NE(FieldProperties(db, "Asset Items").find("Cost 5/8 default 0\n"), std::string::npos);
    // The primary key holds: a second asset of the same number is refused.
    ProcessResult duplicate = Run({"sql", db, "INSERT INTO [Asset Items] ([Asset No]) VALUES ('30050')"});
    EXPECT_EQ(duplicate.exitCode, 1);
    EXPECT_NE(duplicate.err.find("duplicate values"), std::string::npos) << duplicate.err;
    // Saved select queries are queries of the new database, joins of grouping and
    // expressions included.
    EXPECT_EQ(Query(db,
                    "SELECT Owner, SumOfCost FROM qryCostsSummedByOwner WHERE [Asset Category] = "
                    "'Office Furniture' ORDER BY Owner"),
              "Owner\tSumOfCost\nAdmin & Accounts\t1212\nMaintenance\t3504\nManagement\t3425.5\n"
              "Production\t6861\nSales\t8919\n");
    EXPECT_EQ(Query(db, "SELECT COUNT(*) AS n FROM qryComputerHardwareInOwnerOrder"), "n\n24\n");
    EXPECT_EQ(Query(db, "SELECT [Ex Tax], GST FROM qryGSTCalculations WHERE [Asset No] = '30052'"),
              "Ex Tax\tGST\n200\t44\n");
    // They are listed as the database's queries, with the SQL Access kept.
    ProcessResult queries = Run({"queries", db});
    ASSERT_EQ(queries.exitCode, 0) << queries.err;
    EXPECT_NE(queries.out.find("\nqryCostsSummedByOwner\tSELECT [Asset Items].[Owner], [Asset Items].[Asset "
                               "Category], Sum([Asset Items].[Cost]) AS [SumOfCost] FROM [Asset Items] GROUP BY "
                               "[Asset Items].[Owner], [Asset Items].[Asset Category]\n"),
              std::string::npos)
        << queries.out;
    EXPECT_EQ(std::count(queries.out.begin(), queries.out.end(), '\n'), 4) << queries.out;
}

// A copy of the Jet 4 sample made into the case of a table with a non-ASCII name and an
// AutoNumber: every UTF-16 "DateTest" (the catalog row and the navigation pane's) becomes
// "Umsätzen", and IDCol's flags byte (its descriptor is the first on the table definition
// page 18, after the page's 63 header bytes; flags at offset 15) gains the auto-increment bit.
TEST_F(AccessImportTest, AutoNumbersAndNamesOutsideAsciiAreKept) {
    std::string mdb = ReadFile(kSamples + "DateTestDatabase.mdb");
    const std::size_t flags = 18 * 4096 + 63 + 15;
    ASSERT_EQ(mdb[18 * 4096 + 63], '\x04');  // a Long column
    ASSERT_EQ(mdb[flags], '\x03');
    mdb[flags] = '\x07';
    const std::string from("D\0a\0t\0e\0T\0e\0s\0t\0", 16);
    const std::string to("U\0m\0s\0\xe4\0t\0z\0e\0n\0", 16);
    int renamed = 0;
    for (std::size_t at = mdb.find(from); at != std::string::npos; at = mdb.find(from, at + 1), ++renamed)
        mdb.replace(at, from.size(), to);
    ASSERT_GT(renamed, 0);
    WriteFile(Path("umsätze.mdb"), mdb);
    ProcessResult r = Run({"import", Path("umsätze.mdb"), Path("umsätze.db")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("tables:        1 of 1, 6 rows"), std::string::npos) << r.out;
    const std::string db = Path("umsätze.db");
    EXPECT_EQ(FieldProperties(db, "Umsätzen").substr(0, 10), "IDCol 4/4\n");
    {
        auto engine = engine::ClassRegistry::Default().Create(engine::kDao36ClassId);
        auto rs = engine->OpenDatabase(db)->OpenRecordset("SELECT IDCol FROM [Umsätzen]");
        EXPECT_NE(rs->GetFields()->Item(0)->Attributes() & engine::dbAutoIncrField, 0);
    }
    EXPECT_EQ(Query(db, "SELECT IDCol FROM [Umsätzen] ORDER BY IDCol"), "IDCol\n1\n2\n3\n4\n5\n6\n");
    ProcessResult added = Run({"sql", db, "DELETE FROM [Umsätzen] WHERE IDCol = 6",
                               "INSERT INTO [Umsätzen] (ShortTextCol) VALUES ('novo')",
                               "SELECT IDCol, ShortTextCol FROM [Umsätzen] WHERE IDCol > 4"});
    EXPECT_EQ(added.out,
              "records affected: 1\nrecords affected: 1\nIDCol\tShortTextCol\n5\tEscaped new line "
              "\\\\r\\\\n in field\n7\tnovo\n");
}

// Adds a one-column relationship to MSysRelationships of the Access file at `path`, through
// the library's row writer: `table`.`column` refers to `referenced`.`referencedColumn`.
void AddRelationship(const std::string& path, const std::string& name, std::int32_t grbit, const std::string& table,
                     const std::string& column, const std::string& referenced, const std::string& referencedColumn) {
    MdbHandle* mdb = mdb_open(path.c_str(), MDB_WRITABLE);
    ASSERT_NE(mdb, nullptr);
    mdb_read_catalog(mdb, MDB_ANY);
    char tableName[] = "MSysRelationships";
    MdbTableDef* def = mdb_read_table_by_name(mdb, tableName, MDB_TABLE);
    ASSERT_NE(def, nullptr);
    mdb_read_columns(def);
    mdb_read_indices(def);
    std::vector<std::string> texts;
    auto unicode = [&](const std::string& text) {
        std::string out(text.size() * 2 + 8, '\0');
        out.resize(static_cast<std::size_t>(mdb_ascii2unicode(mdb, text.c_str(), 0, out.data(), out.size())));
        texts.push_back(out);
    };
    for (const std::string& text : {name, table, column, referenced, referencedColumn}) unicode(text);
    std::int32_t columns = 1, position = 0;
    // szRelationship, grbit, ccolumn, icolumn, szObject, szColumn, szReferencedObject,
    // szReferencedColumn
    const std::pair<void*, int> values[] = {{texts[0].data(), static_cast<int>(texts[0].size())},
                                            {&grbit, 4},
                                            {&columns, 4},
                                            {&position, 4},
                                            {texts[1].data(), static_cast<int>(texts[1].size())},
                                            {texts[2].data(), static_cast<int>(texts[2].size())},
                                            {texts[3].data(), static_cast<int>(texts[3].size())},
                                            {texts[4].data(), static_cast<int>(texts[4].size())}};
    MdbField fields[8] = {};
    for (int i = 0; i < 8; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        mdb_fill_temp_field(&fields[i], values[i].first, values[i].second, col->is_fixed, 0, 0, i);
    }
    EXPECT_EQ(mdb_insert_row(def, 8, fields), 1);
    mdb_free_tabledef(def);
    mdb_close(mdb);
}

// Appends a row to `table` of the Access file at `path` through the library's row writer:
// the raw bytes of the named columns, Null in the others.
void AppendRow(const std::string& path, const std::string& table, const std::map<std::string, std::string>& bytes) {
    MdbHandle* mdb = mdb_open(path.c_str(), MDB_WRITABLE);
    ASSERT_NE(mdb, nullptr);
    mdb_read_catalog(mdb, MDB_ANY);
    std::string name = table;
    MdbTableDef* def = mdb_read_table_by_name(mdb, name.data(), MDB_TABLE);
    ASSERT_NE(def, nullptr);
    mdb_read_columns(def);
    mdb_read_indices(def);
    // The row is read by scanning the table; its indexes are left as they were (the
    // library cannot add keys of text columns to them).
    def->num_idxs = 0;
    std::vector<MdbField> fields(def->num_cols);
    std::vector<std::string> values(def->num_cols);
    for (unsigned i = 0; i < def->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        auto value = bytes.find(col->name);
        if (value != bytes.end()) values[i] = value->second;
        mdb_fill_temp_field(&fields[i], values[i].data(), static_cast<int>(values[i].size()), col->is_fixed,
                            value == bytes.end(), 0, static_cast<int>(i));
    }
    EXPECT_EQ(mdb_insert_row(def, static_cast<int>(def->num_cols), fields.data()), 1);
    mdb_free_tabledef(def);
    mdb_close(mdb);
}

template <typename T>
std::string Raw(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Rows with the values the sample lacks, written into a copy: an amount with all four
// decimals beyond the range a double holds to the cent's hundredth part, a date before 30
// December 1899 with its time, one with seconds, and the smallest Long.
TEST_F(AccessImportTest, AmountsAndDatesWithTimesKeepTheirRawValues) {
    fs::copy_file(kSamples + "ASampleDatabase.accdb", Path("valores.accdb"));
    AppendRow(Path("valores.accdb"), "Asset Items",
              {{"Asset No", std::string("Z\0"
                                        "1\0",
                                        4)},
               {"Acquired", Raw(-1.25)},
               {"Cost", Raw(std::int64_t{1234567891234})},
               {"Warranty", Raw(std::int32_t{-2147483647 - 1})}});
    AppendRow(Path("valores.accdb"), "Asset Items",
              {{"Asset No", std::string("Z\0"
                                        "2\0",
                                        4)},
               {"Acquired", Raw(36525.99998842592)},
               {"Cost", Raw(std::int64_t{-1})}});
    // One ten-thousandth more than a double holds exactly at this size: kept exactly.
    AppendRow(Path("valores.accdb"), "Asset Items",
              {{"Asset No", std::string("Z\0"
                                        "3\0",
                                        4)},
               {"Acquired", Raw(0.0)},
               {"Cost", Raw(std::int64_t{9007199254740993})}});
    ProcessResult r = Run({"import", Path("valores.accdb"), Path("valores.db")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Query(Path("valores.db"),
                    "SELECT [Asset No], Cost, CDbl(Acquired) AS dia, Acquired, Warranty "
                    "FROM [Asset Items] WHERE [Asset No] LIKE 'Z*' ORDER BY [Asset No]"),
              "Asset No\tCost\tdia\tAcquired\tWarranty\n"
              "Z1\t123456789.1234\t-1.25\t1899-12-29 06:00:00\t-2147483648\n"
              "Z2\t-0.0001\t36525.99998842592\t1999-12-31 23:59:59\tNULL\n"
              "Z3\t900719925474.0993\t0\t1899-12-30\tNULL\n");
    EXPECT_EQ(r.out.find("Currency amounts"), std::string::npos) << r.out;
}

// Appends to the Access file at `path` long-value pages that hold `bytes` as a chain of rows
// (one per page: the next row's page and number, then up to 4000 bytes) and returns the
// 12-byte header a row keeps for such a value: its length, with no flags, and where the
// chain starts.
std::string AppendLongValue(const std::string& path, const std::string& bytes) {
    constexpr std::size_t kPage = 4096, kChunk = 4000;
    std::string file = ReadFile(path);
    const std::uint32_t first = static_cast<std::uint32_t>(file.size() / kPage);
    const std::size_t pages = (bytes.size() + kChunk - 1) / kChunk;
    for (std::size_t k = 0; k < pages; ++k) {
        const std::string chunk = bytes.substr(k * kChunk, kChunk);
        std::string page(kPage, '\0');
        page[0] = 1;
        page[1] = 1;
        page.replace(4, 4, "LVAL");
        page[12] = 1;  // one row, which ends the page
        const auto start = static_cast<std::uint16_t>(kPage - 4 - chunk.size());
        page.replace(14, 2, Raw(start));
        const std::uint32_t next = k + 1 < pages ? (first + static_cast<std::uint32_t>(k) + 1) << 8 : 0;
        page.replace(start, 4, Raw(next));
        page.replace(start + 4u, chunk.size(), chunk);
        file += page;
    }
    WriteFile(path, file);
    return Raw(static_cast<std::uint32_t>(bytes.size())) + Raw(first << 8) + Raw(std::uint32_t{0});
}

// A memo of 24 000 bytes, over the 16 KB the library's text form keeps, in a chain of six
// long-value pages added to a copy of the sample.
TEST_F(AccessImportTest, MemosOfAnyLengthAreReadWhole) {
    std::u16string text;
    while (text.size() < 12000)
        text += u"Avalia\u00e7\u00e3o do curr\u00edculo n\u00ba " + std::u16string(1, u'0' + text.size() % 10);
    text.resize(12000);
    const std::string utf16(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    fs::copy_file(kSamples + "ASampleDatabase.accdb", Path("memo.accdb"));
    const std::string header = AppendLongValue(Path("memo.accdb"), utf16);
    AppendRow(Path("memo.accdb"), "Asset Items",
              {{"Asset No", std::string("Z\0"
                                        "9\0",
                                        4)},
               {"Comments", header}});
    ProcessResult r = Run({"import", Path("memo.accdb"), Path("memo.db")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Query(Path("memo.db"), "SELECT Len(Comments) AS n FROM [Asset Items] WHERE [Asset No] = 'Z9'"),
              "n\n12000\n");
    EXPECT_EQ(Query(Path("memo.db"), "SELECT Comments FROM [Asset Items] WHERE [Asset No] = 'Z9'"),
              "Comments\n" + Utf16ToUtf8(text) + "\n");

    // A header that states more bytes than its chain holds is a damaged file, not a shorter memo.
    fs::copy_file(kSamples + "ASampleDatabase.accdb", Path("curto.accdb"));
    std::string stated = AppendLongValue(Path("curto.accdb"), utf16);
    stated.replace(0, 4, Raw(std::uint32_t{30000}));
    AppendRow(Path("curto.accdb"), "Asset Items",
              {{"Asset No", std::string("Z\0"
                                        "9\0",
                                        4)},
               {"Comments", stated}});
    ProcessResult damaged = Run({"import", Path("curto.accdb"), Path("curto.db")});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.out.find("Not imported:\n  Asset Items: row 66 could not be imported: A value of the column "
                               "Comments of the table Asset Items holds 24000 of its 30000 bytes: the file is "
                               "damaged."),
              std::string::npos)
        << damaged.out;
    EXPECT_FALSE(fs::exists(Path("curto.db")));
}

// Relationships added to copies of the .accdb sample: an enforced one with cascading updates
// and deletes (each asset refers to itself), one Access did not enforce, and one whose rows
// break it (supplier numbers are no asset numbers).
TEST_F(AccessImportTest, RelationshipsBecomeForeignKeysAndRowsThatBreakOneStopTheImport) {
    fs::copy_file(kSamples + "ASampleDatabase.accdb", Path("relacoes.accdb"));
    AddRelationship(Path("relacoes.accdb"), "Proprio", 0x1100, "Asset Items", "Asset No", "Asset Items", "Asset No");
    AddRelationship(Path("relacoes.accdb"), "Desenho", 0x2, "Asset Items", "Supplier No", "Asset Items", "Asset No");
    ProcessResult r = Run({"import", Path("relacoes.accdb"), Path("relacoes.db")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("  relationships: 1 of 2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Left out:\n  relationship Desenho (Asset Items to Asset Items): Access "
                         "did not enforce it"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("relationship Proprio kept without"), std::string::npos) << r.out;
    ProcessResult keys = RunProcess("/usr/bin/sqlite3",
                                    {Path("relacoes.db"),
                                     "SELECT \"table\", \"from\", \"to\", on_update, on_delete FROM "
                                     "pragma_foreign_key_list('Asset Items')"},
                                    options_);
    EXPECT_EQ(keys.out, "Asset Items|Asset No|Asset No|CASCADE|CASCADE\n") << keys.err;

    fs::copy_file(kSamples + "ASampleDatabase.accdb", Path("quebrada.accdb"));
    AddRelationship(Path("quebrada.accdb"), "Fornecedor", 0, "Asset Items", "Supplier No", "Asset Items", "Asset No");
    ProcessResult broken = Run({"import", Path("quebrada.accdb"), Path("quebrada.db")});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.out.find("): no database was made.\n"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("Not imported:\n  Asset Items: a row refers to a record missing from Asset Items"),
              std::string::npos)
        << broken.out;
    EXPECT_FALSE(fs::exists(Path("quebrada.db")));
    EXPECT_EQ(Files(), (std::vector<std::string>{"quebrada.accdb", "relacoes.accdb", "relacoes.db"}));
}

TEST_F(AccessImportTest, RefusalsSayWhyAndLeaveNothingBehind) {
    ProcessResult missing = Run({"import", Path("nada.mdb"), Path("x.db")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "pavanadb: Could not find file '" + Path("nada.mdb") + "'.\n");

    WriteFile(Path("texto.mdb"), "Standard text, not a database at all");
    ProcessResult notAccess = Run({"import", Path("texto.mdb"), Path("x.db")});
    EXPECT_EQ(notAccess.exitCode, 1);
    EXPECT_EQ(notAccess.err, "pavanadb: '" + Path("texto.mdb") + "' is not an Access database (.mdb or .accdb).\n");

    // An .accdb whose pages after the header cannot be read, as an encrypted one's cannot.
    std::string accdb = ReadFile(kSamples + "ASampleDatabase.accdb");
    for (std::size_t i = 4096; i < accdb.size(); ++i) accdb[i] = static_cast<char>(i * 7919 % 251);
    WriteFile(Path("cifrado.accdb"), accdb);
    ProcessResult encrypted = Run({"import", Path("cifrado.accdb"), Path("x.db")});
    EXPECT_EQ(encrypted.exitCode, 1);
    EXPECT_NE(encrypted.err.find("pavanadb: '" + Path("cifrado.accdb") + "' cannot be read: its tables are encrypted"),
              std::string::npos)
        << encrypted.err;

    WriteFile(Path("existe.db"), "mine");
    ProcessResult existing = Run({"import", kSamples + "DateTestDatabase.mdb", Path("existe.db")});
    EXPECT_EQ(existing.exitCode, 1);
    EXPECT_EQ(existing.err, "pavanadb: '" + Path("existe.db") + "' already exists; an import never replaces a file.\n");
    EXPECT_EQ(ReadFile(Path("existe.db")), "mine");

    EXPECT_EQ(Files(), (std::vector<std::string>{"cifrado.accdb", "existe.db", "texto.mdb"}));
}

}  // namespace
}  // namespace pavana::e2e
