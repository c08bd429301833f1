// Update scripts in the Access/Jet dialect, run end to end by the real PavanaScript.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "RunFixture.h"

namespace pavana::e2e {
namespace {

// The password of the data module's stored definition, which a run with three arguments uses.
const std::string kPassword = "qorvimband";

class JetScriptTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        db_ = Path("curriculo.db");
        ProcessResult created = RunProcess(PAVANADB_BIN, {"create", db_, "--password", kPassword}, options_);
        ASSERT_EQ(created.exitCode, 0) << created.err;
    }

    // Runs the script three ways and answers the real run: a trial must change nothing and
    // show the failures the real run logs, an all-or-nothing run (on a copy) must log them
    // and leave the same database.
    ProcessResult Run(const std::string& script) {
        WriteFile(Path("script.sql"), script);
        const std::string before = Dump(db_);
        std::filesystem::copy_file(db_, Path("inteira.db"), std::filesystem::copy_options::overwrite_existing);
        ProcessResult trial =
            RunProcess(PAVANASCRIPT_BIN, {"--console", "--dry-run", db_, Path("anim"), Path("script.sql")}, options_);
        EXPECT_EQ(Dump(db_), before) << "the trial changed the database";
        ProcessResult whole = RunProcess(
            PAVANASCRIPT_BIN, {"--console", "--one-transaction", Path("inteira.db"), Path("anim"), Path("script.sql")},
            options_);
        EXPECT_EQ(whole.exitCode, 0) << whole.err;
        const std::string wholeLog = Log();
        std::filesystem::remove(Path("script.log"));
        ProcessResult real =
            RunProcess(PAVANASCRIPT_BIN, {"--console", db_, Path("anim"), Path("script.sql")}, options_);
        const std::string log = Log();
        EXPECT_EQ(wholeLog, log);
        EXPECT_EQ(Dump(Path("inteira.db")), Dump(db_));
        std::string shown = log;
        for (std::size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.replace(at, 2, "\n");
        EXPECT_NE(trial.err.find(shown), std::string::npos) << trial.err;
        EXPECT_EQ(std::count(trial.err.begin(), trial.err.end(), '\n'),
                  std::count(shown.begin(), shown.end(), '\n') + 2)
            << "the trial showed other failures: " << trial.err;
        return real;
    }

    std::string Dump(const std::string& db) {
        ProcessResult dump = RunProcess("/usr/bin/sqlite3", {db, ".dump"}, options_);
        EXPECT_EQ(dump.exitCode, 0) << dump.err;
        return dump.out;
    }

    std::string Query(const std::string& sql) {
        ProcessResult result = RunProcess(PAVANADB_BIN, {"sql", db_, "--password", kPassword, sql}, options_);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }

    std::string Log() const { return ReadFile(Path("script.log")); }

    std::string db_;
};

// A term's update as schools write them: tables made and reshaped, rows brought over from
// other tables and from last year's database, marks worked out through joins, old rows
// removed (with the enrolments that cascade), indexes made and dropped, a view and a
// procedure kept for the next term.
TEST_F(JetScriptTest, TermUpdateRunsWithoutALogEntryAndLeavesTheExpectedRows) {
    const std::string lastYear = Path("ano anterior.db");
    ProcessResult made = RunProcess(PAVANADB_BIN, {"create", lastYear, "--password", kPassword}, options_);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ProcessResult filled = RunProcess(
        PAVANADB_BIN,
        {"sql", lastYear, "--password", kPassword, "CREATE TABLE Formados (Nome TEXT(50), Curso LONG, Ano SHORT)",
         "INSERT INTO Formados VALUES ('Lia', 1, 2023)", "INSERT INTO Formados VALUES ('Rui', 2, 2023)",
         "INSERT INTO Formados VALUES ('Téo', 1, 2022)"},
        options_);
    ASSERT_EQ(filled.exitCode, 0) << filled.err;
    ProcessResult run =
        Run("CREATE TABLE Cursos (Codigo LONG CONSTRAINT pkCursos PRIMARY KEY, [Nome do curso] TEXT(40) NOT NULL,\r\n"
            "  Ativo YESNO);\r\n"
            "CREATE TABLE Alunos (Id COUNTER PRIMARY KEY, Nome TEXT(50) NOT NULL, Curso LONG\r\n"
            "  CONSTRAINT fkCurso REFERENCES Cursos (Codigo), Nascimento DATETIME, Bolsista BIT);\r\n"
            "CREATE TABLE [Notas antigas] (Aluno TEXT(50), Nota TEXT(6), Lancada DATETIME);\r\n"
            "INSERT INTO Cursos VALUES (1, 'Artes', True);\r\n"
            "INSERT INTO Cursos VALUES (2, \"Música\", False);\r\n"
            "INSERT INTO Alunos (Nome, Curso, Nascimento, Bolsista) VALUES ('Ana', 1, #3/4/2010#, True);\r\n"
            "INSERT INTO Alunos (Nome, Curso, Nascimento, Bolsista) VALUES ('Bruno', 2, #2011-07-20#, No);\r\n"
            "INSERT INTO Alunos (Nome, Curso, Nascimento) VALUES ('Carla', 1, #12/31/2009 10:30:00 PM#);\r\n"
            "INSERT INTO Alunos (Nome, Curso) VALUES ('Davi', 2);\r\n"
            "INSERT INTO [Notas antigas] VALUES ('ana', '7.5', #2/10/2024#);\r\n"
            "INSERT INTO [Notas antigas] VALUES ('Carla', '9', #2/12/2024#);\r\n"
            "INSERT INTO [Notas antigas] VALUES ('Davi', Null, #2/12/2024#);\r\n"
            "ALTER TABLE [Notas antigas] ALTER COLUMN Nota DOUBLE;\r\n"
            "ALTER TABLE Alunos ADD COLUMN Media DOUBLE;\r\n"
            "ALTER TABLE Alunos ADD COLUMN Situacao TEXT(12) DEFAULT 'Cursando';\r\n"
            "ALTER TABLE Alunos ADD COLUMN Revisao DATETIME;\r\n"
            "CREATE TABLE Notas (Aluno LONG, Nota DOUBLE, Lancada DATETIME,\r\n"
            "  CONSTRAINT pkNotas PRIMARY KEY (Aluno, Lancada));\r\n"
            "INSERT INTO Notas (Aluno, Nota, Lancada)\r\n"
            "  SELECT a.Id, n.Nota, n.Lancada FROM Alunos AS a INNER JOIN [Notas antigas] AS n ON a.Nome = n.Aluno;\r\n"
            "CREATE INDEX ixNota ON Notas (Nota DESC);\r\n"
            "UPDATE Alunos INNER JOIN Notas ON Alunos.Id = Notas.Aluno\r\n"
            "  SET Alunos.Media = Nz(Notas.Nota, 0),\r\n"
            "      Alunos.Situacao = IIf(Nz(Notas.Nota, 0) >= 7, 'Aprovado', 'Recuperação'),\r\n"
            "      Alunos.Revisao = DateAdd('m', 1, Notas.Lancada) + 2;\r\n"
            "ALTER TABLE Alunos ADD COLUMN Obs TEXT(60);\r\n"
            "UPDATE Alunos SET Obs = 'date: ' & Nascimento & IIf(Revisao Is Null, '', ', revisão ' & Revisao)\r\n"
            "  WHERE Nascimento Is Not Null;\r\n"
            "INSERT INTO Cursos (Codigo, [Nome do curso]) SELECT 3, Max(Revisao) FROM Alunos;\r\n"
            "ALTER TABLE Cursos ADD COLUMN Lotado YESNO;\r\n"
            "UPDATE Cursos SET Lotado = True WHERE Not Lotado AND Codigo <> 2;\r\n"
            "CREATE TABLE Taxas (Id COUNTER PRIMARY KEY, Aluno LONG, Valor CURRENCY);\r\n"
            "INSERT INTO Taxas (Aluno, Valor) VALUES (1, 0.1);\r\n"
            "INSERT INTO Taxas (Aluno, Valor) VALUES (1, '0.1');\r\n"
            "INSERT INTO Taxas (Aluno, Valor) SELECT 1, 0.1 FROM Cursos WHERE Codigo = 1;\r\n"
            "SELECT Aluno, Sum(Valor) AS Total INTO [Taxas do termo] FROM Taxas GROUP BY Aluno;\r\n"
            "UPDATE Alunos SET Bolsista = False WHERE Bolsista Is Null;\r\n"
            "UPDATE Alunos SET Situacao = 'Sem nota' WHERE Media Is Null AND DateDiff('yyyy', Nascimento, #1/1/2024#) "
            ">= 13;\r\n"
            "CREATE TABLE Matriculas (Aluno LONG REFERENCES Alunos (Id) ON DELETE CASCADE, Turma TEXT(10));\r\n"
            "CREATE PROCEDURE Matricular (pAluno LONG, pTurma TEXT(10)) AS\r\n"
            "  INSERT INTO Matriculas (Aluno, Turma) VALUES (pAluno, pTurma);\r\n"
            "INSERT INTO Matriculas SELECT Id, 'T1' FROM Alunos;\r\n"
            "EXECUTE Matricular 1, 'T2';\r\n"
            "CREATE TABLE Veteranos (Nome TEXT(50), Curso LONG);\r\n"
            "INSERT INTO Veteranos SELECT Nome, Curso FROM Formados IN '" +
            lastYear +
            "' WHERE Ano = 2023;\r\n"
            "DELETE * FROM [Notas antigas] WHERE Lancada < #2/11/2024#;\r\n"
            "DELETE DISTINCTROW Notas.* FROM Notas INNER JOIN Alunos ON Notas.Aluno = Alunos.Id WHERE Alunos.Nome Like "
            "'D*';\r\n"
            "DELETE FROM Alunos WHERE Curso = 2 AND Nascimento Is Null;\r\n"
            "DROP INDEX ixNota ON Notas;\r\n"
            "CREATE UNIQUE INDEX ixNome ON Alunos (Nome) WITH DISALLOW NULL;\r\n"
            "SELECT Nome, Situacao INTO [Resumo do termo] FROM Alunos WHERE Situacao <> 'Cursando';\r\n"
            "CREATE VIEW Aprovados AS SELECT Nome, Media FROM Alunos WHERE Situacao = 'Aprovado';\r\n"
            "DROP TABLE [Notas antigas];\r\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Query("SELECT Id, Nome, Curso, Nascimento, Bolsista, Media, Situacao, Revisao FROM Alunos ORDER BY Id"),
              "Id\tNome\tCurso\tNascimento\tBolsista\tMedia\tSituacao\tRevisao\n"
              "1\tAna\t1\t2010-03-04\t-1\t7.5\tAprovado\t2024-03-12\n"
              "2\tBruno\t2\t2011-07-20\t0\tNULL\tSem nota\tNULL\n"
              "3\tCarla\t1\t2009-12-31 22:30:00\t0\t9\tAprovado\t2024-03-14\n");
    EXPECT_EQ(Query("SELECT Aluno, Nota, Lancada FROM Notas ORDER BY Aluno"),
              "Aluno\tNota\tLancada\n1\t7.5\t2024-02-10\n3\t9\t2024-02-12\n");
    EXPECT_EQ(Query("SELECT Nome, Situacao FROM [Resumo do termo] ORDER BY Nome"),
              "Nome\tSituacao\nAna\tAprovado\nBruno\tSem nota\nCarla\tAprovado\n");
    EXPECT_EQ(Query("SELECT Count(*) AS n FROM Cursos WHERE Ativo = True"), "n\n1\n");
    // Dates written into text read as dates, not as day numbers.
    EXPECT_EQ(Query("SELECT Id, Obs FROM Alunos ORDER BY Id"),
              "Id\tObs\n1\tdate: 3/4/2010, revisão 3/12/2024\n2\tdate: 7/20/2011\n"
              "3\tdate: 12/31/2009 10:30:00 PM, revisão 3/14/2024\n");
    EXPECT_EQ(Query("SELECT [Nome do curso] FROM Cursos WHERE Codigo = 3"), "Nome do curso\n3/14/2024\n");
    // A Yes/No column added to rows reads No, never Null; fees total exactly.
    EXPECT_EQ(Query("SELECT Codigo, Lotado FROM Cursos ORDER BY Codigo"), "Codigo\tLotado\n1\t-1\n2\t0\n3\t-1\n");
    EXPECT_EQ(Query("SELECT Aluno, Total FROM [Taxas do termo]"), "Aluno\tTotal\n1\t0.3\n");
    // Davi's enrolment went with him; the procedure enrolled Ana again; last year's
    // graduates came over from the other file; the view reads the approved students.
    EXPECT_EQ(Query("SELECT Aluno, Turma FROM Matriculas ORDER BY Aluno, Turma"),
              "Aluno\tTurma\n1\tT1\n1\tT2\n2\tT1\n3\tT1\n");
    EXPECT_EQ(Query("SELECT Nome, Curso FROM Veteranos ORDER BY Nome"), "Nome\tCurso\nLia\t1\nRui\t2\n");
    EXPECT_EQ(Query("SELECT Nome, Media FROM Aprovados ORDER BY Nome"), "Nome\tMedia\nAna\t7.5\nCarla\t9\n");

    // The script left its keys, indexes and relationships in force: a second run of the
    // same kind of statements fails where they say so, and the run goes on.
    ProcessResult again =
        Run("INSERT INTO Alunos (Nome, Curso) VALUES ('ANA', 1);\r\n"
            "INSERT INTO Alunos (Nome, Curso) VALUES ('Eva', 9);\r\n"
            "INSERT INTO Cursos ([Nome do curso]) VALUES ('Sem código');\r\n"
            "SELECT * FROM [Notas antigas];\r\n"
            "INSERT INTO Alunos (Nome, Curso) VALUES ('Eva', 1);\r\n");
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(Log(),
              Entry(" INSERT INTO Alunos (Nome, Curso) VALUES ('ANA', 1);",
                    "The changes you requested to the table were not successful because they would create "
                    "duplicate values in the index, primary key, or relationship. Change the data in the field or "
                    "fields that contain duplicate data, remove the index, or redefine the index to permit "
                    "duplicate entries and try again.") +
                  Entry(" INSERT INTO Alunos (Nome, Curso) VALUES ('Eva', 9);",
                        "You cannot add or change a record because a related record is required in table "
                        "'Cursos'.") +
                  Entry(" INSERT INTO Cursos ([Nome do curso]) VALUES ('Sem código');",
                        "Index or primary key cannot contain a Null value.") +
                  Entry(" SELECT * FROM [Notas antigas];", "Cannot execute a select query."));
    EXPECT_EQ(Query("SELECT Id, Situacao FROM Alunos WHERE Nome = 'Eva'"), "Id\tSituacao\n5\tCursando\n");
}

// Malformed statements of every kind are logged with the syntax message of their kind, and
// the statements after them still run.
TEST_F(JetScriptTest, MalformedStatementsAreLoggedWithTheirSyntaxMessages) {
    ProcessResult run =
        Run("CREATE TABLE T (a LONG, b TEXT(10));\n"
            "CREATE TABLE (a LONG);\n"
            "CREATE TABLE U (a NADA);\n"
            "CREATE TABLE U (a LONG, CONSTRAINT pk PRIMARY (a));\n"
            "ALTER TABLE T RENAME TO U;\n"
            "CREATE INDEX ix ON T a;\n"
            "DROP T;\n"
            "INSERT INTO T (a VALUES (1);\n"
            "UPDATE T a = 1;\n"
            "DELETE T WHERE;\n"
            "SELECT a b c INTO U FROM T;\n"
            "UPDATE T SET b = 'aberto;\n"
            "MERGE INTO T;\n"
            "INSERT INTO T VALUES (1, 'ok');\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(
        Log(),
        Entry(" CREATE TABLE (a LONG);", "Syntax error in CREATE TABLE statement.") +
            Entry(" CREATE TABLE U (a NADA);", "Syntax error in field definition.") +
            Entry(" CREATE TABLE U (a LONG, CONSTRAINT pk PRIMARY (a));", "Syntax error in CONSTRAINT clause.") +
            Entry(" ALTER TABLE T RENAME TO U;", "Syntax error in ALTER TABLE statement.") +
            Entry(" CREATE INDEX ix ON T a;", "Syntax error in CREATE INDEX statement.") +
            Entry(" DROP T;", "Syntax error in DROP TABLE or DROP INDEX.") +
            Entry(" INSERT INTO T (a VALUES (1);", "Syntax error in INSERT INTO statement.") +
            Entry(" UPDATE T a = 1;", "Syntax error in UPDATE statement.") +
            Entry(" DELETE T WHERE;", "Syntax error in DELETE statement.") +
            Entry(" SELECT a b c INTO U FROM T;", "Syntax error (missing operator) in query expression 'a b c'.") +
            Entry(" UPDATE T SET b = 'aberto;", "Syntax error in string in query expression ''aberto;  '.") +
            Entry(" MERGE INTO T;",
                  "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
                  "'UPDATE'."));
    EXPECT_EQ(Query("SELECT a, b FROM T"), "a\tb\n1\tok\n");
}

}  // namespace
}  // namespace pavana::e2e
