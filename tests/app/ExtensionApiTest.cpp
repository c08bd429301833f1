#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "TestFolder.h"
#include "app/ExtensionSession.h"
#include "engine/ClassRegistry.h"

namespace pavana {
namespace {

// The C API called as a library calls it, on a real database.
class ExtensionApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto engine = engine::ClassRegistry::Default().Create(engine::kDao36ClassId);
        std::string path = (dir_ / "api.mdb").string();
        engine->DefaultWorkspace()->CreateDatabase(path)->Close();
        database_ = engine->OpenDatabase(path);
        session_ = std::make_unique<ExtensionSession>(database_);
        db_ = session_->Object();
        api_ = db_->api;
        ASSERT_EQ(api_->execute(db_,
                                "CREATE TABLE v (id LONG PRIMARY KEY, nome TEXT(20), nota DOUBLE, "
                                "quando DATETIME, foto LONGBINARY, ativo YESNO)",
                                0, nullptr),
                  PAVANA_OK)
            << api_->last_error(db_);
    }
    void TearDown() override {
        session_.reset();
        database_->Close();
    }

    PavanaRecordset* Open(const char* sql) {
        PavanaRecordset* rs = nullptr;
        EXPECT_EQ(api_->recordset_open(db_, sql, PAVANA_OPEN_DEFAULT, &rs), PAVANA_OK) << api_->last_error(db_);
        return rs;
    }
    std::int32_t Count(const char* table) {
        PavanaRecordset* rs = Open((std::string("SELECT Count(*) FROM ") + table).c_str());
        PavanaValue v{};
        EXPECT_EQ(api_->field_value(rs, 0, &v), PAVANA_OK) << api_->last_error(db_);
        api_->recordset_close(rs);
        return static_cast<std::int32_t>(v.integer);
    }

    const test::TestFolder dir_;
    std::shared_ptr<engine::Database> database_;
    std::unique_ptr<ExtensionSession> session_;
    PavanaDatabase* db_ = nullptr;
    const PavanaApi* api_ = nullptr;
};

TEST_F(ExtensionApiTest, TableDescribesItself) {
    EXPECT_EQ(api_->version, static_cast<std::uint32_t>(PAVANA_EXTENSION_API_VERSION));
    EXPECT_EQ(api_->size, sizeof(PavanaApi));
    EXPECT_TRUE(PAVANA_API_HAS(db_, recordset_close));
}

TEST_F(ExtensionApiTest, EveryKindOfValueRoundTripsThroughParametersAndFields) {
    PavanaQuery* q = nullptr;
    ASSERT_EQ(api_->query_create(db_,
                                 "PARAMETERS [i] LONG, [n] TEXT(20), [x] DOUBLE, [d] DATETIME, [f] LONGBINARY, "
                                 "[a] YESNO; INSERT INTO v VALUES ([i], [n], [x], [d], [f], [a])",
                                 &q),
              PAVANA_OK)
        << api_->last_error(db_);
    std::int32_t count = 0;
    ASSERT_EQ(api_->query_parameter_count(q, &count), PAVANA_OK);
    EXPECT_EQ(count, 6);
    const char* name = nullptr;
    ASSERT_EQ(api_->query_parameter_name(q, 1, &name), PAVANA_OK);
    EXPECT_STREQ(name, "n");

    const unsigned char photo[] = {0, 1, 2, 255};
    const double when = pavana_date_of(2026, 12, 9, 13, 45, 30);
    PavanaValue values[] = {pavana_integer(1), pavana_text("Conceição"), pavana_real(8.25),
                            pavana_date(when), pavana_bytes(photo, 4),   pavana_integer(-1)};
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(api_->query_set_parameter(q, i, &values[i]), PAVANA_OK) << api_->last_error(db_);
    std::int32_t affected = 0;
    ASSERT_EQ(api_->query_execute(q, PAVANA_FAIL_ON_ERROR, &affected), PAVANA_OK) << api_->last_error(db_);
    EXPECT_EQ(affected, 1);
    PavanaValue nothing = pavana_null();
    PavanaValue two = pavana_integer(2);
    ASSERT_EQ(api_->query_set_parameter_by_name(q, "I", &two), PAVANA_OK);
    for (const char* p : {"n", "x", "d", "f", "a"})
        ASSERT_EQ(api_->query_set_parameter_by_name(q, p, &nothing), PAVANA_OK);
    ASSERT_EQ(api_->query_execute(q, PAVANA_FAIL_ON_ERROR, nullptr), PAVANA_OK) << api_->last_error(db_);

    PavanaRecordset* rs = Open("SELECT * FROM v ORDER BY id");
    ASSERT_EQ(api_->field_count(rs, &count), PAVANA_OK);
    EXPECT_EQ(count, 6);
    std::int32_t type = 0;
    ASSERT_EQ(api_->field_type(rs, 1, &type), PAVANA_OK);
    EXPECT_EQ(type, PAVANA_TYPE_TEXT);
    ASSERT_EQ(api_->field_name(rs, 3, &name), PAVANA_OK);
    EXPECT_STREQ(name, "quando");
    std::int32_t index = -1;
    ASSERT_EQ(api_->field_index(rs, "FOTO", &index), PAVANA_OK);
    EXPECT_EQ(index, 4);

    PavanaValue v{};
    ASSERT_EQ(api_->field_value(rs, 0, &v), PAVANA_OK);
    EXPECT_EQ(v.type, PAVANA_VALUE_INTEGER);
    EXPECT_EQ(v.integer, 1);
    ASSERT_EQ(api_->field_value(rs, 1, &v), PAVANA_OK);
    ASSERT_EQ(v.type, PAVANA_VALUE_TEXT);
    EXPECT_EQ(std::string(v.text, v.size), "Conceição");
    EXPECT_EQ(v.text[v.size], '\0');
    ASSERT_EQ(api_->field_value(rs, 2, &v), PAVANA_OK);
    EXPECT_EQ(v.type, PAVANA_VALUE_REAL);
    EXPECT_DOUBLE_EQ(v.real, 8.25);
    ASSERT_EQ(api_->field_value(rs, 3, &v), PAVANA_OK);
    EXPECT_EQ(v.type, PAVANA_VALUE_DATE);
    EXPECT_NEAR(v.real, when, 1e-8);
    ASSERT_EQ(api_->field_value(rs, 4, &v), PAVANA_OK);
    ASSERT_EQ(v.type, PAVANA_VALUE_BYTES);
    ASSERT_EQ(v.size, 4u);
    EXPECT_EQ(std::memcmp(v.bytes, photo, 4), 0);
    ASSERT_EQ(api_->field_value(rs, 5, &v), PAVANA_OK);
    EXPECT_EQ(v.type, PAVANA_VALUE_INTEGER);
    EXPECT_EQ(v.integer, -1);

    // A row that left every field out: Null in each, but No in the Yes/No field.
    ASSERT_EQ(api_->recordset_move_next(rs), PAVANA_OK);
    for (int i = 1; i < 5; ++i) {
        ASSERT_EQ(api_->field_value(rs, i, &v), PAVANA_OK);
        EXPECT_EQ(v.type, PAVANA_VALUE_NULL) << i;
    }
    ASSERT_EQ(api_->field_value(rs, 5, &v), PAVANA_OK);
    EXPECT_EQ(v.type, PAVANA_VALUE_INTEGER);
    EXPECT_EQ(v.integer, 0);
}

TEST_F(ExtensionApiTest, MovingThroughARecordset) {
    for (const char* sql :
         {"INSERT INTO v (id) VALUES (1)", "INSERT INTO v (id) VALUES (2)", "INSERT INTO v (id) VALUES (3)"})
        ASSERT_EQ(api_->execute(db_, sql, PAVANA_FAIL_ON_ERROR, nullptr), PAVANA_OK);
    PavanaRecordset* rs = Open("SELECT id FROM v ORDER BY id");
    int eof = 1, bof = 1;
    std::int32_t count = 0;
    PavanaValue v{};
    ASSERT_EQ(api_->recordset_eof(rs, &eof), PAVANA_OK);
    EXPECT_EQ(eof, 0);
    ASSERT_EQ(api_->recordset_move_last(rs), PAVANA_OK);
    ASSERT_EQ(api_->recordset_record_count(rs, &count), PAVANA_OK);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(api_->recordset_move_previous(rs), PAVANA_OK);
    ASSERT_EQ(api_->field_value(rs, 0, &v), PAVANA_OK);
    EXPECT_EQ(v.integer, 2);
    ASSERT_EQ(api_->recordset_move_first(rs), PAVANA_OK);
    ASSERT_EQ(api_->recordset_move_previous(rs), PAVANA_OK);
    ASSERT_EQ(api_->recordset_bof(rs, &bof), PAVANA_OK);
    EXPECT_EQ(bof, 1);
    EXPECT_EQ(api_->field_value(rs, 0, &v), PAVANA_ERROR);
    EXPECT_EQ(api_->last_error_number(db_), 3021);
    EXPECT_STREQ(api_->last_error(db_), "No current record.");
    ASSERT_EQ(api_->recordset_move_last(rs), PAVANA_OK);
    ASSERT_EQ(api_->recordset_move_next(rs), PAVANA_OK);
    ASSERT_EQ(api_->recordset_eof(rs, &eof), PAVANA_OK);
    EXPECT_EQ(eof, 1);

    PavanaRecordset* empty = Open("SELECT id FROM v WHERE id > 10");
    ASSERT_EQ(api_->recordset_eof(empty, &eof), PAVANA_OK);
    ASSERT_EQ(api_->recordset_bof(empty, &bof), PAVANA_OK);
    EXPECT_EQ(eof + bof, 2);
}

TEST_F(ExtensionApiTest, EngineErrorsGiveTheirTextAndNumberUntilACallSucceeds) {
    std::int32_t affected = 99;
    EXPECT_EQ(api_->execute(db_, "CREATE TABLE v (x LONG)", 0, &affected), PAVANA_ERROR);
    EXPECT_EQ(api_->last_error_number(db_), 3010);
    EXPECT_NE(std::string(api_->last_error(db_)).find("already exists"), std::string::npos);
    EXPECT_EQ(affected, 99);
    EXPECT_EQ(api_->execute(db_, "INSERT INTO v (id) VALUES (1)", 0, &affected), PAVANA_OK);
    EXPECT_EQ(affected, 1);
    EXPECT_STREQ(api_->last_error(db_), "");
    EXPECT_EQ(api_->last_error_number(db_), 0);
    PavanaQuery* q = nullptr;
    EXPECT_EQ(api_->query_create(db_, "SELEC nada", &q), PAVANA_ERROR);
    EXPECT_EQ(q, nullptr);
    PavanaRecordset* rs = nullptr;
    EXPECT_EQ(api_->recordset_open(db_, "SELECT * FROM semtabela", 0, &rs), PAVANA_ERROR);
    EXPECT_EQ(rs, nullptr);
}

TEST_F(ExtensionApiTest, MisuseIsRefusedWithoutHarm) {
    EXPECT_EQ(api_->execute(db_, nullptr, 0, nullptr), PAVANA_MISUSE);
    EXPECT_EQ(api_->execute(db_, "INSERT INTO v (id, nome) VALUES (1, '\xE7')", 0, nullptr), PAVANA_MISUSE);
    EXPECT_STREQ(api_->last_error(db_), "A text argument is not valid UTF-8.");
    PavanaDatabase stranger{api_};
    EXPECT_EQ(api_->execute(&stranger, "INSERT INTO v (id) VALUES (1)", 0, nullptr), PAVANA_MISUSE);

    PavanaRecordset* rs = Open("SELECT id FROM v");
    PavanaValue v{};
    EXPECT_EQ(api_->field_value(rs, 1, &v), PAVANA_MISUSE);
    EXPECT_EQ(api_->field_value(rs, -1, &v), PAVANA_MISUSE);
    EXPECT_EQ(api_->field_count(rs, nullptr), PAVANA_MISUSE);
    ASSERT_EQ(api_->recordset_close(rs), PAVANA_OK);
    EXPECT_EQ(api_->recordset_move_next(rs), PAVANA_MISUSE);
    EXPECT_EQ(api_->recordset_close(rs), PAVANA_MISUSE);

    PavanaQuery* q = nullptr;
    ASSERT_EQ(api_->query_create(db_, "PARAMETERS [n] TEXT(20); INSERT INTO v (id, nome) VALUES (5, [n])", &q),
              PAVANA_OK);
    PavanaValue bad = pavana_text("\xFF\xFE");
    EXPECT_EQ(api_->query_set_parameter(q, 0, &bad), PAVANA_MISUSE);
    PavanaValue unknown{};
    unknown.type = 77;
    EXPECT_EQ(api_->query_set_parameter(q, 0, &unknown), PAVANA_MISUSE);
    EXPECT_EQ(api_->query_set_parameter(q, 1, &bad), PAVANA_MISUSE);
    EXPECT_EQ(api_->query_set_parameter(q, 0, nullptr), PAVANA_MISUSE);
    PavanaValue unsized{};
    unsized.type = PAVANA_VALUE_TEXT;
    unsized.text = "sem tamanho";
    ASSERT_EQ(api_->query_set_parameter(q, 0, &unsized), PAVANA_OK);
    ASSERT_EQ(api_->query_execute(q, PAVANA_FAIL_ON_ERROR, nullptr), PAVANA_OK) << api_->last_error(db_);
    ASSERT_EQ(api_->query_close(q), PAVANA_OK);
    EXPECT_EQ(api_->query_execute(q, 0, nullptr), PAVANA_MISUSE);
    EXPECT_EQ(Count("v WHERE nome = 'sem tamanho'"), 1);

    // After the call the object refuses everything.
    session_.reset();
    EXPECT_EQ(api_->execute(db_, "INSERT INTO v (id) VALUES (9)", 0, nullptr), PAVANA_MISUSE);
    session_ = std::make_unique<ExtensionSession>(database_);
    db_ = session_->Object();
    EXPECT_EQ(Count("v"), 1);
}

TEST_F(ExtensionApiTest, TransactionsAndWhatFinishUndoes) {
    EXPECT_EQ(api_->commit_transaction(db_), PAVANA_ERROR);
    EXPECT_EQ(api_->last_error_number(db_), 3034);
    ASSERT_EQ(api_->begin_transaction(db_), PAVANA_OK);
    ASSERT_EQ(api_->execute(db_, "INSERT INTO v (id) VALUES (1)", 0, nullptr), PAVANA_OK);
    ASSERT_EQ(api_->rollback_transaction(db_), PAVANA_OK);
    EXPECT_EQ(Count("v"), 0);
    ASSERT_EQ(api_->begin_transaction(db_), PAVANA_OK);
    ASSERT_EQ(api_->execute(db_, "INSERT INTO v (id) VALUES (2)", 0, nullptr), PAVANA_OK);
    ASSERT_EQ(api_->commit_transaction(db_), PAVANA_OK);
    EXPECT_FALSE(session_->Finish());

    ASSERT_EQ(api_->begin_transaction(db_), PAVANA_OK);
    ASSERT_EQ(api_->begin_transaction(db_), PAVANA_OK);
    ASSERT_EQ(api_->execute(db_, "INSERT INTO v (id) VALUES (3)", 0, nullptr), PAVANA_OK);
    PavanaRecordset* rs = Open("SELECT id FROM v");
    EXPECT_TRUE(session_->Finish());
    EXPECT_EQ(api_->recordset_move_next(rs), PAVANA_MISUSE);
    EXPECT_EQ(Count("v"), 1);
    // The engine has no transaction left either.
    EXPECT_EQ(api_->begin_transaction(db_), PAVANA_OK);
    EXPECT_EQ(api_->commit_transaction(db_), PAVANA_OK);
    EXPECT_EQ(api_->commit_transaction(db_), PAVANA_ERROR);
}

TEST_F(ExtensionApiTest, ChangingRecordsThroughARecordset) {
    ASSERT_EQ(api_->execute(db_, "INSERT INTO v (id, nome) VALUES (1, 'um')", 0, nullptr), PAVANA_OK);
    PavanaRecordset* rs = nullptr;
    ASSERT_EQ(api_->recordset_open(db_, "v", PAVANA_OPEN_DYNASET, &rs), PAVANA_OK) << api_->last_error(db_);
    ASSERT_EQ(api_->recordset_edit(rs), PAVANA_OK) << api_->last_error(db_);
    PavanaValue name = pavana_text("UM");
    ASSERT_EQ(api_->field_set_value(rs, 1, &name), PAVANA_OK) << api_->last_error(db_);
    ASSERT_EQ(api_->recordset_update(rs), PAVANA_OK) << api_->last_error(db_);
    ASSERT_EQ(api_->recordset_add_new(rs), PAVANA_OK) << api_->last_error(db_);
    PavanaValue id = pavana_integer(2);
    ASSERT_EQ(api_->field_set_value(rs, 0, &id), PAVANA_OK) << api_->last_error(db_);
    ASSERT_EQ(api_->recordset_update(rs), PAVANA_OK) << api_->last_error(db_);
    ASSERT_EQ(api_->recordset_add_new(rs), PAVANA_OK) << api_->last_error(db_);
    ASSERT_EQ(api_->recordset_cancel_update(rs), PAVANA_OK) << api_->last_error(db_);
    EXPECT_EQ(Count("v"), 2);
    EXPECT_EQ(Count("v WHERE nome = 'UM'"), 1);
    ASSERT_EQ(api_->recordset_move_first(rs), PAVANA_OK) << api_->last_error(db_);
    ASSERT_EQ(api_->recordset_delete(rs), PAVANA_OK) << api_->last_error(db_);
    EXPECT_EQ(Count("v"), 1);
    EXPECT_EQ(api_->field_set_value(rs, 0, &id), PAVANA_ERROR);
    EXPECT_EQ(api_->last_error_number(db_), 3020);
}

}  // namespace
}  // namespace pavana
