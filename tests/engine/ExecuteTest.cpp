// Running statements: parameters converted to their declared types, each Execute all or
// nothing, the records it affected, and SQLite's failures as the engine's errors.
#include "EngineFixture.h"
#include "rtl/FormatSettings.h"

namespace pavana::engine {
namespace {

class ExecuteTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        saved_ = FormatSettings::Current();
        db_ = Create("e.mdb");
    }
    void TearDown() override {
        FormatSettings::SetCurrent(saved_);
        db_->Close();
        EngineFixture::TearDown();
    }
    std::int32_t Count(const std::string& table) { return Scalar(*db_, "SELECT COUNT(*) FROM " + table).ToInteger(); }

    FormatSettings saved_;
    std::shared_ptr<Database> db_;
};

TEST_F(ExecuteTest, ParameterTextsAreReadWithTheFormatSettingsAsTheDeclaredType) {
    FormatSettings brazil = FormatSettings::Invariant();
    brazil.DecimalSeparator = ",";
    brazil.ThousandSeparator = ".";
    brazil.ShortDateFormat = "dd/mm/yyyy";
    brazil.LongTimeFormat = "hh:nn:ss";
    FormatSettings::SetCurrent(brazil);

    db_->Execute("CREATE TABLE p (d DATETIME, n LONG, v DOUBLE, c CURRENCY, b YESNO, t TEXT(40))");
    auto q =
        db_->CreateQueryDef("",
                            "PARAMETERS [Quando] DATETIME, [n] LONG, [v] DOUBLE, [c] CURRENCY, [b] YESNO, [t] TEXT; "
                            "INSERT INTO p VALUES ([quando], [N], [v], [c], [b], [t])");
    auto params = q->GetParameters();
    ASSERT_EQ(params->Count(), 6);
    params->Item("QUANDO")->SetValue(Variant("02/01/2024 10:30:00"));
    params->Item(1)->SetValue(Variant("42"));
    params->Item(2)->SetValue(Variant("1,5"));
    params->Item(3)->SetValue(Variant("12,3456"));
    params->Item(4)->SetValue(Variant("True"));
    params->Item(5)->SetValue(Variant("O'Brien\"; DROP TABLE p; --"));
    EXPECT_EQ(params->Item(0)->Value().VarType(), varDate);
    EXPECT_EQ(params->Item(1)->Value(), Variant(42));
    EXPECT_EQ(params->Item(0)->Type(), dbDate);
    q->Execute(Variant(dbFailOnError));

    auto rs = db_->OpenRecordset("SELECT d, n, v, c, b, t FROM p");
    auto f = rs->GetFields();
    EXPECT_DOUBLE_EQ(f->Item(0)->Value().ToDouble(), 45293.4375);
    EXPECT_EQ(f->Item(1)->Value(), Variant(42));
    EXPECT_EQ(f->Item(2)->Value(), Variant(1.5));
    EXPECT_EQ(f->Item(3)->Value(), Variant(Currency{123456}));
    EXPECT_EQ(f->Item(4)->Value(), Variant(true));
    EXPECT_EQ(f->Item(5)->Value(), Variant("O'Brien\"; DROP TABLE p; --"));
    rs->Close();

    // Null is kept and stored as Null.
    for (std::int32_t i = 0; i < 6; ++i) params->Item(i)->SetValue(Variant::Null());
    EXPECT_TRUE(params->Item(1)->Value().IsNull());
    q->Execute(Variant(dbFailOnError));
    EXPECT_EQ(Scalar(*db_, "SELECT COUNT(*) FROM p WHERE d IS NULL AND n IS NULL AND t IS NULL").ToInteger(), 1);
}

TEST_F(ExecuteTest, BadParameterTextsAndMissingValuesAreRefused) {
    db_->Execute("CREATE TABLE p (d DATETIME, n LONG)");
    auto q = db_->CreateQueryDef("", "PARAMETERS [d] DATETIME, [n] LONG; INSERT INTO p VALUES ([d], [n])");
    auto params = q->GetParameters();
    for (const char* text : {"abc", "", "12x"}) {
        RaisedError e = ErrorOf([&] { params->Item("n")->SetValue(Variant(text)); });
        EXPECT_EQ(e.number, 3421) << text;
        EXPECT_EQ(e.message, "Data type conversion error.");
    }
    EXPECT_EQ(NumberOf([&] { params->Item("d")->SetValue(Variant("2/30/2024")); }), 3421);
    EXPECT_TRUE(params->Item("n")->Value().IsEmpty());
    EXPECT_EQ(NumberOf([&] { params->Item("x"); }), 3265);

    RaisedError two = ErrorOf([&] { q->Execute(); });
    EXPECT_EQ(two.number, 3061);
    EXPECT_EQ(two.message, "Too few parameters. Expected 2.");
    params->Item("d")->SetValue(Variant("1/2/2024"));
    EXPECT_EQ(ErrorOf([&] { q->Execute(); }).message, "Too few parameters. Expected 1.");
    EXPECT_EQ(ErrorOf([&] { db_->Execute("PARAMETERS [a] LONG; DELETE FROM p WHERE n = [a]"); }).number, 3061);
    EXPECT_EQ(Count("p"), 0);
}

TEST_F(ExecuteTest, AFailingStatementLeavesNoneOfItsRows) {
    db_->Execute("CREATE TABLE u (k LONG PRIMARY KEY, n LONG NOT NULL)");
    db_->Execute("CREATE TABLE src (k LONG, n LONG)");
    for (int k : {1, 2, 3}) db_->Execute("INSERT INTO u VALUES (" + std::to_string(k) + ", " + std::to_string(k) + ")");
    for (int k : {10, 11, 2, 12}) db_->Execute("INSERT INTO src VALUES (" + std::to_string(k) + ", 0)");
    db_->Execute("UPDATE u SET n = n WHERE k = 1");
    ASSERT_EQ(db_->RecordsAffected(), 1);

    EXPECT_EQ(NumberOf([&] { db_->Execute("INSERT INTO u SELECT k, n FROM src", Variant(dbFailOnError)); }), 3022);
    EXPECT_EQ(Count("u"), 3);
    EXPECT_EQ(db_->RecordsAffected(), 1);  // the last successful Execute's

    RaisedError required = ErrorOf([&] { db_->Execute("UPDATE u SET n = IIf(k = 3, Null, n + 100)"); });
    EXPECT_EQ(required.number, 3314);
    EXPECT_EQ(required.message.rfind("The field 'u.n' cannot contain a Null value", 0), 0u) << required.message;
    EXPECT_EQ(Scalar(*db_, "SELECT SUM(n) FROM u").ToInteger(), 6);

    // A query definition is atomic in the same way, run after run.
    auto q = db_->CreateQueryDef("", "DELETE FROM u WHERE k IN (SELECT k FROM src) OR k = 1");
    q->Execute();
    EXPECT_EQ(q->RecordsAffected(), 2);
    EXPECT_EQ(Count("u"), 1);
}

TEST_F(ExecuteTest, RecordsAffectedCountsTheRowsOfEachKindOfStatement) {
    EXPECT_EQ(db_->RecordsAffected(), 0);
    db_->Execute("CREATE TABLE t (k LONG PRIMARY KEY, n LONG)");
    EXPECT_EQ(db_->RecordsAffected(), 0);
    db_->Execute("CREATE TABLE d (n LONG)");
    for (int n = 0; n < 5; ++n) db_->Execute("INSERT INTO d VALUES (" + std::to_string(n) + ")");
    db_->Execute("INSERT INTO t (k, n) SELECT a.n * 10 + b.n, a.n FROM d AS a, d AS b");
    EXPECT_EQ(db_->RecordsAffected(), 25);
    db_->Execute("UPDATE t SET n = n + 1 WHERE n >= 3");
    EXPECT_EQ(db_->RecordsAffected(), 10);
    db_->Execute("UPDATE t INNER JOIN d ON t.k = d.n SET t.n = 0");
    EXPECT_EQ(db_->RecordsAffected(), 5);
    db_->Execute("DELETE * FROM t WHERE k > 40");
    EXPECT_EQ(db_->RecordsAffected(), 4);
    db_->Execute("UPDATE t SET n = 1 WHERE k = -1");
    EXPECT_EQ(db_->RecordsAffected(), 0);
    db_->Execute("SELECT * INTO [cópia \"nova\"] FROM t WHERE k < 10");
    EXPECT_EQ(db_->RecordsAffected(), 5);
    EXPECT_EQ(Count("[cópia \"nova\"]"), 5);
    db_->Execute("SELECT * INTO vazia FROM t WHERE k < 0");
    EXPECT_EQ(db_->RecordsAffected(), 0);
    db_->Execute("CREATE INDEX ix ON t (n)");
    EXPECT_EQ(db_->RecordsAffected(), 0);

    auto q = db_->CreateQueryDef("", "DELETE FROM t");
    EXPECT_EQ(q->RecordsAffected(), 0);
    q->Execute();
    EXPECT_EQ(q->RecordsAffected(), 21);
    EXPECT_EQ(db_->RecordsAffected(), 0);
}

TEST_F(ExecuteTest, SqliteFailuresBecomeTheEngineErrors) {
    db_->Execute("CREATE TABLE Cursos (Id LONG PRIMARY KEY)");
    db_->Execute("CREATE TABLE Alunos (Codigo LONG PRIMARY KEY, Nome TEXT(20), Curso LONG REFERENCES Cursos (Id))");
    db_->Execute("INSERT INTO Cursos VALUES (1)");
    db_->Execute("INSERT INTO Alunos VALUES (1, 'Ana', 1)");
    struct Case {
        const char* sql;
        std::int32_t number;
        const char* message;  // the whole message, or its start when it ends in "…"
    };
    const Case cases[] = {
        {"INSERT INTO Alunos VALUES (1, 'Bia', 1)", 3022,
         "The changes you requested to the table were not successful because they would create duplicate "
         "values in the index, primary key, or relationship. …"},
        {"INSERT INTO Alunos VALUES (5, 'um nome longo demais p/ 20', 1)", 3163,
         "The field is too small to accept the amount of data you attempted to add. Try inserting or pasting "
         "less data."},
        {"INSERT INTO Alunos VALUES (5, 'vinte letras: çãõéáí', 1)", 0, ""},
        {"CREATE TABLE alunos (x LONG)", 3010, "Table 'alunos' already exists."},
        {"INSERT INTO Turmas VALUES (1)", 3078,
         "The database engine cannot find the input table or query 'Turmas'. Make sure it exists and that its "
         "name is spelled correctly."},
        {"DROP TABLE Turmas", 3376, "Table 'Turmas' does not exist."},
        {"INSERT INTO Alunos VALUES (2, 'Caio', 9)", 3201,
         "You cannot add or change a record because a related record is required in table 'Cursos'."},
        {"ALTER TABLE Alunos ADD COLUMN Nome TEXT(5)", 3380, "Field 'Nome' already exists in table 'Alunos'."},
        {"CREATE INDEX ix ON Alunos (Nome)", 0, ""},
        {"CREATE INDEX ix ON Alunos (Curso)", 3284, "Index already exists."},
        {"UPDATE Alunos SET Nome = Nada(1)", 3085, "Undefined function 'Nada' in expression."},
        {"SELECT * FROM Alunos", 3065, "Cannot execute a select query."},
        {"INSERT INTO Alunos (Codigo VALUES (3)", 3134, "Syntax error in INSERT INTO statement."},
        {"UPDATE Alunos Nome = 'x'", 3144, "Syntax error in UPDATE statement."},
        {"DELETE FROM", 3131, "Syntax error in FROM clause."},
        {"CREATE TABLE [Notas \"finais\"] (x LONG)", 0, ""},
        {"CREATE TABLE [notas \"FINAIS\"] (x LONG)", 3010, "Table 'notas \"FINAIS\"' already exists."},
        {"CREATE TABLE (x LONG)", 3290, "Syntax error in CREATE TABLE statement."},
        {"MERGE INTO Alunos", 3129,
         "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    };
    for (const Case& c : cases) {
        RaisedError e = ErrorOf([&] { db_->Execute(c.sql); });
        EXPECT_EQ(e.number, c.number) << c.sql << ": " << e.message;
        std::string expected = c.message;
        if (expected.size() > 3 && expected.substr(expected.size() - 3) == "…")
            EXPECT_EQ(e.message.rfind(expected.substr(0, expected.size() - 3), 0), 0u) << e.message;
        else EXPECT_EQ(e.message, expected) << c.sql;
        if (c.number != 0) {
            EXPECT_EQ(e.source, "DAO.Database") << c.sql;
        }
    }
    EXPECT_EQ(Count("Alunos"), 2);
}

// Recordset edits name the table of a broken relationship as statements do, and a file
// whose relationships were never checked (data/unchecked-relationships.db, written before
// relationships were checked when declared) keeps working and reports what is wrong with
// them in the engine's words.
TEST_F(ExecuteTest, RecordsetEditsAndUncheckedRelationshipsFailWithTheEngineMessages) {
    db_->Execute("CREATE TABLE Cursos (Codigo LONG PRIMARY KEY, Nome TEXT(20))");
    db_->Execute("CREATE TABLE Alunos (Nome TEXT(20), Curso LONG REFERENCES Cursos (Codigo))");
    db_->Execute("INSERT INTO Cursos VALUES (1, 'Artes')");
    db_->Execute("INSERT INTO Alunos VALUES ('Ana', 1)");
    auto alunos = db_->OpenRecordset("Alunos", Variant(static_cast<std::int32_t>(dbOpenDynaset)));
    alunos->AddNew();
    alunos->GetFields()->Item("Nome")->SetValue(Variant("Bia"));
    alunos->GetFields()->Item("Curso")->SetValue(Variant(static_cast<std::int32_t>(7)));
    RaisedError added = ErrorOf([&] { alunos->Update(); });
    EXPECT_EQ(added.number, 3201);
    EXPECT_EQ(added.message,
              "You cannot add or change a record because a related record is required in table 'Cursos'.");
    alunos->CancelUpdate();
    auto cursos = db_->OpenRecordset("Cursos", Variant(static_cast<std::int32_t>(dbOpenDynaset)));
    RaisedError deleted = ErrorOf([&] { cursos->Delete(); });
    EXPECT_EQ(deleted.number, 3200);
    EXPECT_EQ(deleted.message,
              "The record cannot be deleted or changed because table 'Alunos' includes related records.");
    alunos->Close();
    cursos->Close();
    db_->Close();

    // Cursos (1 Artes) and Alunos (Ana in course 1) as above; Filhos refers to a column of Pais
    // that no unique index covers, and Orfaos to a table that does not exist.
    std::filesystem::copy_file(
        std::filesystem::path(PAVANA_SOURCE_DIR) / "tests/engine/data/unchecked-relationships.db", Path("old.mdb"));
    db_ = engine_->DefaultWorkspace()->OpenDatabase(Path("old.mdb"), Variant(false), Variant(false),
                                                    Variant(std::string()));
    RaisedError missing = ErrorOf([&] { db_->Execute("INSERT INTO Alunos VALUES ('Bia', 9)"); });
    EXPECT_EQ(missing.message,
              "You cannot add or change a record because a related record is required in table 'Cursos'.");
    RaisedError related = ErrorOf([&] { db_->Execute("DELETE FROM Cursos"); });
    EXPECT_EQ(related.message,
              "The record cannot be deleted or changed because table 'Alunos' includes related records.");
    RaisedError mismatch = ErrorOf([&] { db_->Execute("INSERT INTO Filhos VALUES (1)"); });
    EXPECT_EQ(mismatch.number, 3374);
    EXPECT_EQ(mismatch.message, "The specified fields are not uniquely indexed in table 'Pais'.");
    EXPECT_EQ(NumberOf([&] { db_->Execute("INSERT INTO Orfaos VALUES (1)"); }), 3078);
    EXPECT_EQ(NumberOf([&] { db_->Execute("DROP TABLE Pais"); }), 3281);
    EXPECT_EQ(NumberOf([&] { db_->Execute("DROP TABLE Cursos"); }), 3281);
    db_->Execute("INSERT INTO Alunos VALUES ('Bia', 1)");
    EXPECT_EQ(Count("Alunos"), 2);
    EXPECT_EQ(Count("Filhos") + Count("Orfaos"), 0);
}

}  // namespace
}  // namespace pavana::engine
