#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <set>

#include "TestFolder.h"
#include "engine/ClassRegistry.h"
#include "engine/EngineError.h"

namespace pavana::engine {
namespace {

struct Failure {
    std::int32_t number = 0;
    std::string message;
};

Failure FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EOleException& e) {
        return {EngineErrorNumber(e.ErrorCode()), e.Message()};
    }
    return {};
}

std::int32_t NumberOf(const std::function<void()>& f) { return FailureOf(f).number; }

class RecordsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = ClassRegistry::Default().Create(kDao35ClassId);
        db_ = engine_->DefaultWorkspace()->CreateDatabase((dir_ / "r.mdb").string());
        db_->Execute(
            "CREATE TABLE aluno (id COUNTER PRIMARY KEY, nome TEXT(10) NOT NULL, nota DOUBLE, "
            "nascido DATETIME, ativo YESNO)");
        db_->Execute("INSERT INTO aluno (nome, nota, nascido, ativo) VALUES ('Ana', 7.5, #1/2/2000#, True)");
        db_->Execute("INSERT INTO aluno (nome, nota, nascido, ativo) VALUES ('Bruno', 4, #3/4/2001#, False)");
        db_->Execute("INSERT INTO aluno (nome, nota, nascido, ativo) VALUES ('Carla', 9, #5/6/2002#, True)");
    }
    void TearDown() override { db_->Close(); }

    std::shared_ptr<Recordset> Open(const std::string& sql, std::int32_t type = dbOpenDynaset) {
        return db_->OpenRecordset(sql, Variant(type));
    }
    static Variant Value(const std::shared_ptr<Recordset>& rs, const char* field) {
        return rs->GetFields()->Item(field)->Value();
    }
    static std::string Names(const std::shared_ptr<Recordset>& rs) {
        std::string out;
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) out += Value(rs, "nome").ToString() + " ";
        return out;
    }

    const test::TestFolder dir_;
    std::shared_ptr<DBEngine> engine_;
    std::shared_ptr<Database> db_;
};

TEST_F(RecordsetTest, MovesSetBofAndEofAsJetDoes) {
    auto empty = Open("SELECT * FROM aluno WHERE nota > 100");
    EXPECT_TRUE(empty->IsBOF());
    EXPECT_TRUE(empty->IsEOF());
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_EQ(NumberOf([&] { empty->MoveFirst(); }), 3021);
    EXPECT_EQ(NumberOf([&] { empty->MoveNext(); }), 3021);

    auto rs = Open("SELECT * FROM aluno ORDER BY nome");
    EXPECT_FALSE(rs->IsBOF());
    EXPECT_EQ(Value(rs, "nome"), Variant("Ana"));
    rs->MovePrevious();
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_FALSE(rs->IsEOF());
    EXPECT_EQ(FailureOf([&] { Value(rs, "nome"); }).message, "No current record.");
    EXPECT_EQ(NumberOf([&] { rs->MovePrevious(); }), 3021);
    rs->MoveNext();
    EXPECT_EQ(Value(rs, "nome"), Variant("Ana"));
    rs->MoveLast();
    EXPECT_EQ(Value(rs, "nome"), Variant("Carla"));
    rs->MoveNext();
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(NumberOf([&] { rs->MoveNext(); }), 3021);
    rs->MovePrevious();
    EXPECT_EQ(Value(rs, "nome"), Variant("Carla"));
    EXPECT_EQ(Names(rs), "Ana Bruno Carla ");
}

TEST_F(RecordsetTest, DynasetReadsItsKeysetAsItMoves) {
    db_->Execute("CREATE TABLE muitos (n LONG)");
    db_->Execute("INSERT INTO muitos (n) VALUES (1)");
    for (int i = 0; i < 12; ++i) db_->Execute("INSERT INTO muitos (n) SELECT n + 1 FROM muitos");
    auto rs = Open("SELECT * FROM muitos");
    EXPECT_EQ(rs->RecordCount(), 1);
    rs->MoveNext();
    rs->MoveNext();
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 4096);
    auto table = Open("muitos", dbOpenTable);
    EXPECT_EQ(table->RecordCount(), 4096);
    EXPECT_EQ(NumberOf([&] { Open("SELECT n FROM muitos WHERE n > 1", dbOpenTable); }), 3219);
}

TEST_F(RecordsetTest, BookmarksReturnToTheirRecords) {
    for (std::int32_t type : {dbOpenDynaset, dbOpenSnapshot}) {
        auto rs = Open("SELECT * FROM aluno ORDER BY nome DESC", type);
        std::vector<Variant> marks;
        std::set<std::int32_t> firstFour;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            marks.push_back(rs->Bookmark());
            const auto& b = marks.back().Bytes();
            ASSERT_GE(b.size(), 4u);
            std::int32_t v = b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24;
            EXPECT_NE(v, 0);
            firstFour.insert(v);
        }
        EXPECT_EQ(firstFour.size(), 3u);
        rs->SetBookmark(marks[1]);
        EXPECT_EQ(Value(rs, "nome"), Variant("Bruno"));
        rs->SetBookmark(marks[0]);
        EXPECT_EQ(Value(rs, "nome"), Variant("Carla"));
        for (const Variant& bad :
             {Variant(std::vector<std::uint8_t>{0, 0, 0, 0}), Variant(std::vector<std::uint8_t>{9, 0, 0, 0}),
              Variant(std::vector<std::uint8_t>{1, 0}), Variant("x")})
            EXPECT_EQ(FailureOf([&] { rs->SetBookmark(bad); }).message, "Not a valid bookmark.");
    }
}

// A reader that holds a record's position key reads a field only while the cursor stands
// on that record, for the dynaset's own implementation and for the interface's general one.
TEST_F(RecordsetTest, ValueAtPositionReadsOnlyTheRecordTheCursorStandsOn) {
    for (std::int32_t type : {dbOpenDynaset, dbOpenSnapshot}) {
        auto rs = Open("SELECT nome, nota FROM aluno ORDER BY nome", type);
        const std::int32_t ana = rs->PositionKey();
        EXPECT_EQ(rs->ValueAtPosition(ana, 0), Variant("Ana"));
        EXPECT_EQ(rs->Recordset::ValueAtPosition(ana, 1), Variant(7.5));
        rs->MoveNext();
        EXPECT_EQ(rs->ValueAtPosition(ana, 0), std::nullopt);
        EXPECT_EQ(rs->Recordset::ValueAtPosition(ana, 0), std::nullopt);
        EXPECT_EQ(NumberOf([&] { rs->ValueAtPosition(rs->PositionKey(), 2); }), 3265);
        rs->MoveLast(0);
        rs->MoveNext();
        EXPECT_EQ(rs->ValueAtPosition(ana, 0), std::nullopt);
    }
}

TEST_F(RecordsetTest, ChangesPersistAndAnotherRecordsetSeesThem) {
    auto rs = Open("SELECT * FROM aluno ORDER BY nome");
    EXPECT_TRUE(rs->Updatable());
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    rs->Edit();
    EXPECT_EQ(rs->EditMode(), dbEditInProgress);
    rs->GetFields()->Item("nota")->SetValue(Variant(8.5));
    rs->Update();
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    EXPECT_EQ(Value(rs, "nota"), Variant(8.5));

    rs->AddNew();
    EXPECT_EQ(rs->EditMode(), dbEditAdd);
    rs->GetFields()->Item("nome")->SetValue(Variant("Davi"));
    rs->GetFields()->Item("ativo")->SetValue(Variant("-1"));
    rs->Update();
    EXPECT_EQ(Value(rs, "nome"), Variant("Ana"));  // the current record stays
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(Value(rs, "nome"), Variant("Davi"));
    EXPECT_EQ(Value(rs, "id"), Variant(4));
    EXPECT_TRUE(Value(rs, "nota").IsNull());

    rs->MoveFirst();
    rs->MoveNext();  // Bruno
    rs->Delete();
    EXPECT_EQ(FailureOf([&] { Value(rs, "nome"); }).message, "Record is deleted.");
    EXPECT_EQ(NumberOf([&] { rs->Edit(); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(Value(rs, "nome"), Variant("Carla"));
    EXPECT_EQ(Names(rs), "Ana Carla Davi ");
    EXPECT_EQ(rs->RecordCount(), 3);

    auto other = Open("SELECT nome, nota FROM aluno ORDER BY nome", dbOpenSnapshot);
    EXPECT_EQ(Names(other), "Ana Carla Davi ");
    other->MoveFirst();
    EXPECT_EQ(Value(other, "nota"), Variant(8.5));

    rs->MoveFirst();
    rs->Edit();
    rs->GetFields()->Item("nome")->SetValue(Variant("Zoe"));
    rs->CancelUpdate();
    EXPECT_EQ(Value(rs, "nome"), Variant("Ana"));
    EXPECT_EQ(FailureOf([&] { rs->Update(); }).message, "Update or CancelUpdate without AddNew or Edit.");
    EXPECT_EQ(NumberOf([&] { rs->GetFields()->Item(1)->SetValue(Variant("x")); }), 3020);
}

TEST_F(RecordsetTest, AddedRecordsFollowAKeysetStillBeingRead) {
    for (int i = 0; i < 50; ++i) db_->Execute("INSERT INTO aluno (nome) VALUES ('x" + std::to_string(i) + "')");
    auto rs = Open("SELECT id, nome FROM aluno");
    rs->AddNew();
    rs->GetFields()->Item("nome")->SetValue(Variant("novo"));
    rs->Update();
    std::set<std::int32_t> ids;
    std::int32_t count = 0;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext(), ++count) ids.insert(Value(rs, "id").ToInteger());
    EXPECT_EQ(count, 54);
    EXPECT_EQ(ids.size(), 54u);
    rs->MoveLast();
    EXPECT_EQ(Value(rs, "nome"), Variant("novo"));
    EXPECT_EQ(rs->RecordCount(), 54);
}

TEST_F(RecordsetTest, SnapshotsAndReadOnlyRecordsetsRefuseChanges) {
    auto snap = Open("SELECT * FROM aluno", dbOpenSnapshot);
    EXPECT_FALSE(snap->Updatable());
    EXPECT_EQ(FailureOf([&] { snap->AddNew(); }).message, "Cannot update. Database or object is read-only.");
    EXPECT_EQ(NumberOf([&] { snap->Edit(); }), 3027);
    EXPECT_EQ(NumberOf([&] { snap->Delete(); }), 3027);
    EXPECT_EQ(snap->GetFields()->Item("nome")->Attributes() & dbUpdatableField, 0);
    db_->Execute("UPDATE aluno SET nome = 'Alice' WHERE nome = 'Ana'");
    EXPECT_EQ(Value(snap, "nome"), Variant("Ana"));  // a fixed copy

    auto grouped = Open("SELECT ativo, Count(*) AS n FROM aluno GROUP BY ativo");
    EXPECT_FALSE(grouped->Updatable());
    EXPECT_EQ(NumberOf([&] { grouped->Edit(); }), 3027);

    auto q = db_->CreateQueryDef("", "SELECT * FROM aluno");
    EXPECT_FALSE(q->OpenRecordset(Variant(dbOpenDynaset), Variant(dbReadOnly), Variant::Missing())->Updatable());
    EXPECT_EQ(NumberOf([&] { q->OpenRecordset(Variant(dbOpenDynaset), Variant(0), Variant(9)); }), 3001);
    EXPECT_EQ(NumberOf([&] { q->OpenRecordset(Variant(3)); }), 3001);
}

TEST_F(RecordsetTest, DynasetSeesChangesMadeThroughExecute) {
    auto rs = Open("SELECT id, nome FROM aluno ORDER BY id");
    rs->MoveLast();
    rs->MoveFirst();
    EXPECT_EQ(Value(rs, "nome"), Variant("Ana"));
    db_->Execute("UPDATE aluno SET nome = 'Alice' WHERE id = 1");
    EXPECT_EQ(Value(rs, "nome"), Variant("Alice"));
    rs->MoveNext();
    db_->Execute("UPDATE aluno SET nome = 'Beto' WHERE id = 2");
    rs->MovePrevious();
    rs->MoveNext();
    EXPECT_EQ(Value(rs, "nome"), Variant("Beto"));
    db_->Execute("DELETE FROM aluno WHERE id = 3");
    rs->MoveNext();
    EXPECT_EQ(NumberOf([&] { Value(rs, "nome"); }), 3167);
    rs->MovePrevious();
    rs->Edit();
    db_->Execute("DELETE FROM aluno WHERE id = 2");
    rs->GetFields()->Item("nome")->SetValue(Variant("x"));
    EXPECT_EQ(NumberOf([&] { rs->Update(); }), 3167);
}

TEST_F(RecordsetTest, FilterAndSortApplyToTheReopenedRecordset) {
    auto rs = Open("SELECT * FROM aluno");
    rs->SetFilter("nota >= 5 Or nome Like 'b*'");
    rs->SetSort("nome DESC");
    auto narrowed = rs->OpenRecordset();
    EXPECT_EQ(Names(narrowed), "Carla Bruno Ana ");
    EXPECT_TRUE(narrowed->Updatable());
    EXPECT_EQ(narrowed->Type(), dbOpenDynaset);
    rs->SetFilter("ativo");
    rs->SetSort("");
    EXPECT_EQ(Names(rs->OpenRecordset(Variant(dbOpenSnapshot))), "Ana Carla ");

    auto q = db_->CreateQueryDef("", "PARAMETERS [minima] DOUBLE; SELECT nome, nota FROM aluno WHERE nota > [minima]");
    q->GetParameters()->Item(0)->SetValue(Variant("4"));
    auto withParameter = q->OpenRecordset();
    withParameter->SetSort("nota DESC");
    EXPECT_EQ(Names(withParameter->OpenRecordset()), "Carla Ana ");

    auto grouped = Open("SELECT ativo, Count(*) AS n FROM aluno GROUP BY ativo");
    grouped->SetFilter("n > 1");
    auto g = grouped->OpenRecordset();
    EXPECT_EQ(Value(g, "n"), Variant(2));
    g->MoveNext();
    EXPECT_TRUE(g->IsEOF());

    rs->SetFilter("nota >");
    EXPECT_NE(NumberOf([&] { rs->OpenRecordset(); }), 0);
    rs->SetFilter("1 = 1 UNION SELECT * FROM aluno");
    EXPECT_EQ(NumberOf([&] { rs->OpenRecordset(); }), 3077);
    EXPECT_EQ(NumberOf([&] { Open("aluno", dbOpenTable)->SetFilter("nota > 1"); }), 3251);
}

TEST_F(RecordsetTest, FindFirstFindsTheFirstRecordInOrder) {
    for (std::int32_t type : {dbOpenDynaset, dbOpenSnapshot}) {
        auto rs = Open("SELECT * FROM aluno ORDER BY nome DESC", type);
        rs->FindFirst("[nome] = \"BRUNO\"");
        EXPECT_FALSE(rs->NoMatch());
        EXPECT_EQ(Value(rs, "nome"), Variant("Bruno"));
        rs->FindFirst("nota > 5");
        EXPECT_EQ(Value(rs, "nome"), Variant("Carla"));
        rs->FindFirst("[nascido] = #1/2/2000# AND ativo");
        EXPECT_EQ(Value(rs, "nome"), Variant("Ana"));
        rs->FindFirst("[nome] LIKE \"Z*\"");
        EXPECT_TRUE(rs->NoMatch());
        EXPECT_EQ(Value(rs, "nome"), Variant("Ana"));  // the current record stays
        rs->FindFirst("[nota] IS NULL");
        EXPECT_TRUE(rs->NoMatch());
        EXPECT_EQ(FailureOf([&] { rs->FindFirst("[sobrenome] = 1"); }).number, 3070);
        EXPECT_NE(NumberOf([&] { rs->FindFirst("nome = "); }), 0);
    }
    auto rs = Open("SELECT * FROM aluno");
    rs->AddNew();
    rs->GetFields()->Item("nome")->SetValue(Variant("Zeca"));
    rs->Update();
    rs->FindFirst("nome = 'Zeca'");
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(Value(rs, "id"), Variant(4));
    auto forward = Open("SELECT * FROM aluno", dbOpenForwardOnly);
    EXPECT_EQ(NumberOf([&] { forward->FindFirst("nota > 1"); }), 3251);
}

TEST_F(RecordsetTest, FindFirstAheadOfTheKeysetFindsTheFirstInTableOrder) {
    // An index whose order is the reverse of the table's: the first match in the table's
    // order is not the first the index gives.
    db_->Execute("CREATE TABLE fila (id COUNTER PRIMARY KEY, ordem LONG)");
    db_->Execute("CREATE INDEX fila_ordem ON fila (ordem)");
    for (int i = 1; i <= 50; ++i) db_->Execute("INSERT INTO fila (ordem) VALUES (" + std::to_string(100 - i) + ")");
    auto rs = Open("SELECT * FROM fila");
    EXPECT_EQ(rs->RecordCount(), 1);
    rs->FindFirst("ordem < 60");
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(Value(rs, "id"), Variant(41));
    const Variant found = rs->Bookmark();
    rs->MoveNext();
    EXPECT_EQ(Value(rs, "id"), Variant(42));
    rs->MovePrevious();
    rs->MovePrevious();
    EXPECT_EQ(Value(rs, "id"), Variant(40));
    rs->FindFirst("[id] = 7");
    EXPECT_EQ(Value(rs, "id"), Variant(7));
    rs->SetBookmark(found);
    EXPECT_EQ(Value(rs, "ordem"), Variant(59));
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 50);
    std::string ids;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) ids += Value(rs, "id").ToString() + ",";
    std::string expected;
    for (int i = 1; i <= 50; ++i) expected += std::to_string(i) + ",";
    EXPECT_EQ(ids, expected);

    // A record found ahead can be changed and deleted before the keyset reaches it.
    auto fresh = Open("SELECT * FROM fila");
    fresh->FindFirst("[id] = 45");
    fresh->Edit();
    fresh->GetFields()->Item("ordem")->SetValue(Variant(1));
    fresh->Update();
    fresh->SetBookmark(fresh->LastModified());
    EXPECT_EQ(Value(fresh, "ordem"), Variant(1));
    fresh->FindFirst("[id] = 46");
    fresh->Delete();
    fresh->MoveNext();
    EXPECT_EQ(Value(fresh, "id"), Variant(47));
    ids.clear();
    for (fresh->MoveFirst(); !fresh->IsEOF(); fresh->MoveNext()) ids += Value(fresh, "id").ToString() + ",";
    EXPECT_EQ(ids, expected.substr(0, expected.find("46,")) + expected.substr(expected.find("47,")));
}

TEST_F(RecordsetTest, ForwardOnlyRecordsetsOnlyMoveForward) {
    auto rs = Open("SELECT nome FROM aluno ORDER BY nome", dbOpenForwardOnly);
    EXPECT_EQ(rs->Type(), dbOpenForwardOnly);
    rs->MoveFirst();
    rs->MoveNext();
    EXPECT_EQ(Value(rs, "nome"), Variant("Bruno"));
    EXPECT_EQ(FailureOf([&] { rs->MovePrevious(); }).message, "Operation is not supported for this type of object.");
    EXPECT_EQ(NumberOf([&] { rs->MoveFirst(); }), 3251);
    rs->MoveNext();
    rs->MoveNext();
    EXPECT_TRUE(rs->IsEOF());
}

TEST_F(RecordsetTest, AnAddedRecordTakesTheNumberOfACounterInsideItsKey) {
    db_->Execute("CREATE TABLE chamada (turma LONG, numero COUNTER, CONSTRAINT pk PRIMARY KEY (turma, numero))");
    db_->Execute("INSERT INTO chamada (turma, numero) VALUES (1, 7)");
    auto rs = Open("SELECT numero, turma FROM chamada");
    EXPECT_EQ(rs->GetFields()->Item(0)->Attributes() & (dbAutoIncrField | dbUpdatableField), dbAutoIncrField);
    rs->AddNew();
    rs->GetFields()->Item("turma")->SetValue(Variant(1));
    rs->Update();
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(Value(rs, "numero"), Variant(8));
}

TEST_F(RecordsetTest, FieldsDescribeColumnsAndCheckTheirValues) {
    auto rs = Open("SELECT id, nome, nota, nascido, ativo, nota * 2 AS dobro FROM aluno");
    auto fields = rs->GetFields();
    ASSERT_EQ(fields->Count(), 6);
    EXPECT_EQ(fields->Item(0)->Attributes() & (dbAutoIncrField | dbUpdatableField), dbAutoIncrField);
    EXPECT_EQ(fields->Item(1)->Type(), dbText);
    EXPECT_EQ(fields->Item(1)->Size(), 10);
    EXPECT_NE(fields->Item(1)->Attributes() & dbUpdatableField, 0);
    EXPECT_EQ(fields->Item(1)->GetProperties()->Item("AllowZeroLength")->Value().VarType(), varBoolean);
    EXPECT_EQ(fields->Item(2)->Value().VarType(), varDouble);
    EXPECT_EQ(fields->Item(3)->Value().VarType(), varDate);
    EXPECT_EQ(fields->Item(4)->Value(), Variant(true));
    EXPECT_EQ(fields->Item(5)->Value(), Variant(15.0));
    EXPECT_EQ(NumberOf([&] { fields->Item(6); }), 3265);

    rs->Edit();
    EXPECT_EQ(FailureOf([&] { fields->Item(0)->SetValue(Variant(9)); }).message, "Field cannot be updated.");
    EXPECT_EQ(NumberOf([&] { fields->Item(5)->SetValue(Variant(1)); }), 3164);
    EXPECT_EQ(NumberOf([&] { fields->Item(1)->SetValue(Variant("nome comprido")); }), 3163);
    EXPECT_EQ(NumberOf([&] { fields->Item(2)->SetValue(Variant("muito")); }), 3421);
    fields->Item(1)->SetValue(Variant());
    EXPECT_EQ(NumberOf([&] { rs->Update(); }), 3314);
    EXPECT_EQ(rs->EditMode(), dbEditInProgress);  // the edit survives a failed update
    fields->Item(1)->SetValue(Variant("Ana Maria"));
    rs->Update();
    EXPECT_EQ(fields->Item(1)->Value(), Variant("Ana Maria"));
}

TEST_F(RecordsetTest, OptionsShapeTheRecordset) {
    auto q = db_->CreateQueryDef("", "SELECT * FROM aluno");
    auto append = q->OpenRecordset(Variant(dbOpenDynaset), Variant(dbAppendOnly), Variant(dbOptimistic));
    EXPECT_TRUE(append->IsEOF());
    EXPECT_EQ(append->RecordCount(), 0);
    EXPECT_EQ(NumberOf([&] { append->LastModified(); }), 3021);
    append->AddNew();
    append->GetFields()->Item("nome")->SetValue(Variant("Eva"));
    append->Update();
    append->MoveFirst();
    EXPECT_EQ(Value(append, "nome"), Variant("Eva"));

    auto forward = q->OpenRecordset(Variant(dbOpenSnapshot), Variant(dbForwardOnly), Variant::Missing());
    EXPECT_EQ(forward->Type(), dbOpenForwardOnly);
    EXPECT_EQ(NumberOf([&] { forward->OpenRecordset(); }), 3251);

    auto table = Open("aluno", dbOpenTable);
    EXPECT_TRUE(table->Updatable());
    table->Delete();
    EXPECT_EQ(table->RecordCount(), 3);
}

TEST_F(RecordsetTest, UnknownNamesFailInsteadOfReadingAsText) {
    EXPECT_EQ(NumberOf([&] { db_->Execute("UPDATE aluno SET nome = [apelido]"); }), 3061);
    EXPECT_EQ(Names(Open("SELECT nome FROM aluno ORDER BY id")), "Ana Bruno Carla ");
}

// A parameter declared as a date, and a date column that holds the text form other programs
// write, give dates also through expressions.
TEST_F(RecordsetTest, ExpressionsOfDatesReadAsDates) {
    auto q = db_->CreateQueryDef("", "PARAMETERS [dia] DATETIME; SELECT [dia] + 1 AS seguinte, nome FROM aluno");
    q->GetParameters()->Item(0)->SetValue(Variant("1/31/2024"));
    auto withParameter = q->OpenRecordset();
    EXPECT_EQ(withParameter->GetFields()->Item(0)->Type(), dbDate);
    EXPECT_EQ(Value(withParameter, "seguinte"), Variant::FromDate(45323.0));

    db_->Close();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ / "r.mdb").string().c_str(), &raw), SQLITE_OK);
    const char* outside =
        "CREATE TABLE fora (id INTEGER, quando DATETIME);"
        "INSERT INTO fora VALUES (1, '2024-01-31 08:30'), (2, '2023-12-25'), (3, NULL)";
    const int rc = sqlite3_exec(raw, outside, nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    ASSERT_EQ(rc, SQLITE_OK);
    db_ = engine_->OpenDatabase((dir_ / "r.mdb").string());
    auto rs =
        Open("SELECT Max(quando) AS ultimo, IIf(id > 1, quando, Null) AS talvez FROM fora GROUP BY id ORDER BY id",
             dbOpenSnapshot);
    EXPECT_EQ(rs->GetFields()->Item(0)->Type(), dbDate);
    EXPECT_EQ(rs->GetFields()->Item(1)->Type(), dbDate);
    EXPECT_EQ(Value(rs, "ultimo"), Variant::FromDate(45322.0 + 8.5 / 24));
    EXPECT_TRUE(Value(rs, "talvez").IsNull());
    rs->MoveNext();
    EXPECT_EQ(Value(rs, "ultimo").VarType(), varDate);
    EXPECT_EQ(Value(rs, "talvez"), Variant::FromDate(45285.0));
}

TEST_F(RecordsetTest, ClosedDatabaseInvalidatesItsRecordsets) {
    auto rs = Open("SELECT * FROM aluno");
    auto field = rs->GetFields()->Item(0);
    db_->Close();
    EXPECT_EQ(NumberOf([&] { field->Value(); }), 3420);
    EXPECT_EQ(NumberOf([&] { rs->MoveNext(); }), 3420);
}

// The ends of the currency range go through fields, filters and searches with every digit;
// a file of the previous format opened read-only reads its amounts as they were stored.
TEST_F(RecordsetTest, CurrencyAmountsKeepEveryDigit) {
    const Currency highest{INT64_MAX};
    const Currency lowest{INT64_MIN};
    db_->Execute("CREATE TABLE taxa (id LONG, valor CURRENCY)");
    auto rs = Open("SELECT * FROM taxa");
    rs->AddNew();
    rs->GetFields()->Item("id")->SetValue(Variant(1));
    rs->GetFields()->Item("valor")->SetValue(Variant(highest));
    rs->Update();
    rs->AddNew();
    rs->GetFields()->Item("id")->SetValue(Variant(2));
    rs->GetFields()->Item("valor")->SetValue(Variant(0.1));
    rs->Update();
    rs->MoveFirst();
    rs->Edit();
    rs->GetFields()->Item("valor")->SetValue(Variant(lowest));
    rs->Update();
    EXPECT_EQ(Value(rs, "valor"), Variant(lowest));

    auto total = Open("SELECT Sum(valor) AS s, Max(valor) AS m FROM taxa WHERE valor < 0 Or valor = 0.1");
    EXPECT_EQ(Value(total, "s"), Variant(Currency{INT64_MIN + 1000}));
    EXPECT_EQ(Value(total, "m").VarType(), varCurrency);

    db_->Execute("UPDATE taxa SET valor = 922337203685477.5807 WHERE id = 2");
    rs->SetFilter("valor > 922337203685477.5806");
    auto narrowed = rs->OpenRecordset(Variant(dbOpenSnapshot));
    EXPECT_EQ(Value(narrowed, "id"), Variant(2));
    EXPECT_EQ(Value(narrowed, "valor"), Variant(highest));
    for (std::int32_t type : {dbOpenDynaset, dbOpenSnapshot}) {
        auto found = Open("SELECT * FROM taxa ORDER BY id DESC", type);
        found->FindFirst("valor <= -922337203685477.5808");
        EXPECT_FALSE(found->NoMatch());
        EXPECT_EQ(Value(found, "id"), Variant(1));
    }

    const std::string earlier = (dir_ / "format2.db").string();
    std::filesystem::copy_file(std::string(PAVANA_SOURCE_DIR) + "/tests/engine/data/format2.db", earlier);
    auto old =
        engine_->DefaultWorkspace()->OpenDatabase(earlier, Variant(false), Variant(true), Variant(std::string()));
    auto amounts = old->OpenRecordset(
        "SELECT Sum(Valor) AS s, Max(Valor) AS m FROM Taxas WHERE Valor > 0 AND Valor < 1000", Variant(dbOpenSnapshot));
    EXPECT_EQ(amounts->GetFields()->Item("s")->Value(), Variant(Currency{1630500}));
    EXPECT_EQ(amounts->GetFields()->Item("m")->Value(), Variant(Currency{1502500}));
    auto highestOld = old->OpenRecordset("SELECT Valor FROM Taxas WHERE Aluno = 2", Variant(dbOpenSnapshot));
    EXPECT_EQ(highestOld->GetFields()->Item("Valor")->Value(), Variant(Currency{9223372036854770000}));
    highestOld->Close();
    amounts->Close();
    old->Close();
}

}  // namespace
}  // namespace pavana::engine
