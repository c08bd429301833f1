#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "TestFolder.h"
#include "engine/ClassRegistry.h"
#include "engine/EngineError.h"

namespace pavana::engine {
namespace {

std::int32_t FailureOf(Recordset& rs) {
    try {
        rs.Update();
    } catch (const EOleException& e) {
        return EngineErrorNumber(e.ErrorCode());
    }
    return 0;
}

// Long enough to go into the record through incremental blob writes.
std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 31 + (i >> 12));
    return bytes;
}

class LongBinaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = ClassRegistry::Default().Create(kDao35ClassId);
        db_ = engine_->DefaultWorkspace()->CreateDatabase(Path());
        db_->Execute("CREATE TABLE doc (id LONG PRIMARY KEY, nome TEXT(20), dados LONGBINARY)");
    }
    void TearDown() override { db_->Close(); }
    std::string Path() const { return (dir_ / "b.mdb").string(); }

    // Adds tables the engine did not make, through SQLite itself.
    void RunOutsideTheEngine(const char* sql) {
        db_->Close();
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(Path().c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
        sqlite3_close(raw);
        db_ = engine_->OpenDatabase(Path());
    }

    std::shared_ptr<Recordset> Open(const std::string& sql) { return db_->OpenRecordset(sql, Variant(dbOpenDynaset)); }
    static void Add(Recordset& rs, std::int32_t id, std::vector<std::uint8_t> bytes) {
        rs.AddNew();
        rs.GetFields()->Item("id")->SetValue(Variant(id));
        rs.GetFields()->Item("dados")->MoveValue(Variant(std::move(bytes)));
        rs.Update();
    }
    static Variant Dados(Recordset& rs) { return rs.GetFields()->Item("dados")->Value(); }
    // The stored value's length seen through another recordset; -1 when there is no record.
    std::int64_t StoredLength(std::int32_t id) {
        auto rs = Open("SELECT * FROM doc WHERE id = " + std::to_string(id));
        return rs->IsEOF() ? -1 : static_cast<std::int64_t>(Dados(*rs).Bytes().size());
    }

    const test::TestFolder dir_;
    std::shared_ptr<DBEngine> engine_;
    std::shared_ptr<Database> db_;
};

TEST_F(LongBinaryTest, LongValuesRoundTripThroughAddNewAndEdit) {
    const auto first = Pattern(3u << 20, 1);
    const auto second = Pattern((2u << 20) + 7, 2);
    auto rs = Open("SELECT * FROM doc");
    Add(*rs, 1, first);
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(Dados(*rs).Bytes(), first);
    // Read twice, and a short field after the long one, from the same record.
    EXPECT_EQ(Dados(*rs).Bytes(), first);
    EXPECT_EQ(rs->GetFields()->Item("id")->Value(), Variant(1));
    rs->Edit();
    EXPECT_EQ(Dados(*rs).Bytes(), first);
    rs->GetFields()->Item("dados")->MoveValue(Variant(second));
    rs->GetFields()->Item("nome")->SetValue(Variant("segundo"));
    rs->Update();
    EXPECT_EQ(Dados(*rs).Bytes(), second);
    EXPECT_EQ(rs->GetFields()->Item("nome")->Value(), Variant("segundo"));
    EXPECT_EQ(StoredLength(1), static_cast<std::int64_t>(second.size()));
    // A short value replaces a long one.
    rs->Edit();
    rs->GetFields()->Item("dados")->SetValue(Variant(std::vector<std::uint8_t>{9, 8, 7}));
    rs->Update();
    EXPECT_EQ(Dados(*rs).Bytes(), (std::vector<std::uint8_t>{9, 8, 7}));
}

TEST_F(LongBinaryTest, AFailedOrUndoneUpdateLeavesNoPartOfTheValue) {
    const auto bytes = Pattern(2u << 20, 3);
    auto rs = Open("SELECT * FROM doc");
    Add(*rs, 1, bytes);
    // A key that is taken: nothing is added and the edit keeps its values.
    rs->AddNew();
    rs->GetFields()->Item("id")->SetValue(Variant(1));
    rs->GetFields()->Item("dados")->MoveValue(Variant(Pattern(2u << 20, 4)));
    EXPECT_NE(FailureOf(*rs), 0);
    EXPECT_EQ(rs->EditMode(), dbEditAdd);
    EXPECT_EQ(Dados(*rs).Bytes(), Pattern(2u << 20, 4));
    rs->CancelUpdate();
    EXPECT_EQ(Open("SELECT * FROM doc")->RecordCount(), 1);

    db_->BeginTrans();
    Add(*rs, 2, bytes);
    db_->Rollback();
    EXPECT_EQ(StoredLength(2), -1);
    EXPECT_EQ(StoredLength(1), static_cast<std::int64_t>(bytes.size()));
}

TEST_F(LongBinaryTest, TablesThatCheckOrCopyTheValueGetItWhole) {
    RunOutsideTheEngine(
        "CREATE TABLE visto (id INTEGER PRIMARY KEY, dados BLOB CHECK (dados IS NULL OR substr(dados, 1, 1) = x'05'));"
        "CREATE TABLE copia (dados BLOB);"
        "CREATE TABLE copiado (id INTEGER PRIMARY KEY, dados BLOB);"
        "CREATE TRIGGER copiar AFTER INSERT ON copiado BEGIN INSERT INTO copia VALUES (NEW.dados); END;"
        "CREATE TABLE indexado (id INTEGER PRIMARY KEY, dados BLOB);"
        "CREATE INDEX indexado_dados ON indexado (dados);");
    const auto bytes = Pattern(2u << 20, 5);
    for (const char* table : {"visto", "copiado", "indexado"}) {
        auto rs = Open(std::string("SELECT * FROM ") + table);
        Add(*rs, 1, bytes);
        rs->SetBookmark(rs->LastModified());
        EXPECT_EQ(Dados(*rs).Bytes(), bytes) << table;
    }
    auto copy = Open("SELECT * FROM copia");
    EXPECT_EQ(Dados(*copy).Bytes(), bytes);
}

TEST_F(LongBinaryTest, ALongTextInABinaryColumnReadsAsItsBytes) {
    RunOutsideTheEngine("INSERT INTO doc (id, dados) VALUES (1, printf('%.*c', 2000000, 'x'))");
    auto rs = Open("SELECT * FROM doc");
    rs->Edit();
    EXPECT_EQ(Dados(*rs).Bytes(), std::vector<std::uint8_t>(2000000, 'x'));
    rs->CancelUpdate();
    EXPECT_EQ(Dados(*rs).Bytes(), std::vector<std::uint8_t>(2000000, 'x'));
}

TEST_F(LongBinaryTest, UpdatingADeletedRecordKeepsTheEditPending) {
    auto rs = Open("SELECT * FROM doc");
    Add(*rs, 1, Pattern(2u << 20, 6));
    rs->MoveFirst();
    rs->Edit();
    rs->GetFields()->Item("dados")->MoveValue(Variant(Pattern(2u << 20, 7)));
    db_->Execute("DELETE FROM doc WHERE id = 1");
    EXPECT_EQ(FailureOf(*rs), 3167);
    EXPECT_EQ(rs->EditMode(), dbEditInProgress);
    EXPECT_EQ(Dados(*rs).Bytes(), Pattern(2u << 20, 7));
}

}  // namespace
}  // namespace pavana::engine
