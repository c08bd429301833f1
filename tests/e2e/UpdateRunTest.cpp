// The update run end to end: the real PavanaScript on databases made by pavanadb.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "RunFixture.h"
#include "ui/DialogStore.h"

namespace pavana::e2e {
namespace {

namespace fs = std::filesystem;


class UpdateRunTest : public RunFixture {
protected:
    UpdateRunTest() : RunFixture("e2e_") {}

    // Creates a database with a table Alunos(Codigo, Nome) holding two rows.
    std::string CreateDatabase(const std::string& name, const std::string& password = "qorvimband") {
        std::string db = Path(name);
        std::vector<std::string> args = {"create", db};
        if (!password.empty()) args.insert(args.end(), {"--password", password});
        ProcessResult created = RunProcess(PAVANADB_BIN, args, options_);
        EXPECT_EQ(created.exitCode, 0) << created.err;
        Sql(db, password,
            {"CREATE TABLE Alunos (Codigo INTEGER PRIMARY KEY, Nome TEXT(50))",
             "INSERT INTO Alunos (Codigo, Nome) VALUES (1, 'Ana')",
             "INSERT INTO Alunos (Codigo, Nome) VALUES (2, 'Bruno')"});
        return db;
    }

    std::string Sql(const std::string& db, const std::string& password, const std::vector<std::string>& statements) {
        std::vector<std::string> args = {"sql", db};
        if (!password.empty()) args.insert(args.end(), {"--password", password});
        args.insert(args.end(), statements.begin(), statements.end());
        ProcessResult result = RunProcess(PAVANADB_BIN, args, options_);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }

    std::string Script(const std::string& content) {
        WriteFile(Path("script.sql"), content);
        return Path("script.sql");
    }

    ProcessResult Pavana(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"--console"};
        all.insert(all.end(), args.begin(), args.end());
        return RunProcess(PAVANASCRIPT_BIN, all, options_);
    }

    std::string Log() const { return ReadFile(Path("script.log")); }

};

TEST_F(UpdateRunTest, TooFewArgumentsShowTheErrorAndExitZero) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"a", "b"}, {"", "b", "c"}, {}}) {
        ProcessResult run = Pavana(args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "Erro: Número de parâmetros invalido.\n");
        EXPECT_FALSE(fs::exists(Path("script.log")));
    }
}

TEST_F(UpdateRunTest, GoodRunAppliesTheStatementsAndLogsOnlyFailures) {
    std::string db = CreateDatabase("curriculo.db");
    std::string script = Script(
        "UPDATE Alunos SET Nome = 'Ana Maria'\r\n"
        "  WHERE Codigo = 1\r\n"
        ";\r\n"
        "CREATE TABLE Alunos (X INTEGER);\r\n"
        "INSERT INTO Alunos (Codigo, Nome) VALUES (3, 'Carla');\r\n"
        "lines after the last statement are dropped\r\n");
    ProcessResult run = Pavana({db, Path("anim"), script});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Log(), Entry(" CREATE TABLE Alunos (X INTEGER);", "Table 'Alunos' already exists."));
    EXPECT_EQ(Sql(db, "qorvimband", {"SELECT Codigo, Nome FROM Alunos ORDER BY Codigo"}),
              "Codigo\tNome\n1\tAna Maria\n2\tBruno\n3\tCarla\n");
}

TEST_F(UpdateRunTest, StatementsAreCutAtTheFirstLineHoldingASemicolon) {
    std::string db = CreateDatabase("curriculo.db");
    std::string script = Script(
        "UPDATE Alunos SET Nome = 'Ana'\n"
        "   \t \n"
        "  WHERE Codigo = 1; UPDATE Alunos SET Nome = 'Bia' WHERE Codigo = 2;\n"
        "INSERT INTO Alunos (Codigo, Nome) VALUES (3, 'a;\n"
        "b');\n");
    ProcessResult run = Pavana({db, Path("anim"), script});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The blank-only line adds a blank; two statements on one line go as one text; the ";"
    // inside the literal ends the INSERT, whose rest becomes a statement of its own.
    std::string log = Log();
    EXPECT_NE(log.find("comando  UPDATE Alunos SET Nome = 'Ana'  WHERE Codigo = 1; UPDATE Alunos SET Nome = 'Bia' "
                       "WHERE Codigo = 2;."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("comando  INSERT INTO Alunos (Codigo, Nome) VALUES (3, 'a;."), std::string::npos) << log;
    EXPECT_NE(log.find("comando  b');."), std::string::npos) << log;
    EXPECT_EQ(Sql(db, "qorvimband", {"SELECT Codigo, Nome FROM Alunos ORDER BY Codigo"}),
              "Codigo\tNome\n1\tAna\n2\tBruno\n");
}

TEST_F(UpdateRunTest, ReadOnlyDatabaseLogsEveryWrite) {
    if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind the superuser";
    std::string db = CreateDatabase("curriculo.db");
    fs::permissions(db, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string script = Script(
        "UPDATE Alunos SET Nome = 'X' WHERE Codigo = 1;\n"
        "DELETE FROM Alunos;\n");
    ProcessResult run = Pavana({db, Path("anim"), script});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string readOnly = "Cannot update. Database or object is read-only.";
    EXPECT_EQ(Log(), Entry(" UPDATE Alunos SET Nome = 'X' WHERE Codigo = 1;", readOnly) +
                         Entry(" DELETE FROM Alunos;", readOnly));
}

TEST_F(UpdateRunTest, PasswordArgumentsAreCountedAsTheRunExpects) {
    std::string stored = CreateDatabase("stored.db");
    std::string other = CreateDatabase("other.db", "outra");
    std::string script = Script("UPDATE Alunos SET Nome = 'X' WHERE Codigo = 2;\n");
    // Four arguments: the fourth replaces the stored password.
    EXPECT_EQ(Pavana({other, Path("anim"), script, "outra"}).err.find("Mensagem"), std::string::npos);
    // Five arguments: the fourth and fifth are ignored, the stored password is used.
    ProcessResult five = Pavana({stored, Path("anim"), script, "wrong", "extra"});
    EXPECT_EQ(five.err.find("Mensagem"), std::string::npos) << five.err;
    // Three arguments on a database with another password: the stored one fails.
    ProcessResult three = Pavana({other, Path("anim"), script});
    EXPECT_EQ(three.exitCode, 0);
    EXPECT_NE(three.err.find("Detalhes: Not a valid password."), std::string::npos) << three.err;
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Sql(stored, "qorvimband", {"SELECT Nome FROM Alunos WHERE Codigo = 2"}), "Nome\nX\n");
}

TEST_F(UpdateRunTest, ConnectionFailuresShowTheEnginesMessageAndTouchNoScript) {
    std::string script = Script("UPDATE Alunos SET Nome = 'X';\n");
    ProcessResult missing = Pavana({Path("missing.db"), Path("anim"), script});
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("Mensagem: Erro na conexão com a base de dados.\n"
                               "Verifique a opção detalhes para maiores informações.\n"
                               "Detalhes: Could not find file '" + Path("missing.db") + "'.\n"),
              std::string::npos)
        << missing.err;
    EXPECT_FALSE(fs::exists(Path("missing.db")));

    WriteFile(Path("garbage.db"), std::string(4096, '\x7f'));
    ProcessResult garbage = Pavana({Path("garbage.db"), Path("anim"), script});
    EXPECT_EQ(garbage.exitCode, 0);
    EXPECT_NE(garbage.err.find("Detalhes: Unrecognized database format '" + Path("garbage.db") + "'."),
              std::string::npos)
        << garbage.err;
    EXPECT_EQ(ReadFile(Path("garbage.db")), std::string(4096, '\x7f'));
    EXPECT_FALSE(fs::exists(Path("script.log")));
}

TEST_F(UpdateRunTest, TickedConnectionDialogIsNotShownAgain) {
    setenv("PAVANA_REGISTRY", Path("registry.ini").c_str(), 1);
    DSAIdentsSetState("SOFTWARE\\PavanaScript\\Dialogos",
                      "Erro na conexão com a base de dados.\r\nVerifique a opção detalhes para maiores "
                      "informações.",
                      false);
    unsetenv("PAVANA_REGISTRY");
    ProcessResult run = Pavana({Path("missing.db"), Path("anim"), Script("SELECT 1;\n")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.find("Mensagem"), std::string::npos) << run.err;
}

TEST_F(UpdateRunTest, MissingScriptEndsWithExitOneAndClosesTheDatabase) {
    std::string db = CreateDatabase("curriculo.db");
    ProcessResult run = Pavana({db, Path("anim"), Path("nope.sql")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Cannot open file " + Path("nope.sql")), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(db + "-wal"));
    EXPECT_EQ(Log(), "");
}

TEST_F(UpdateRunTest, UnwritableLogEndsWithExitOne) {
    std::string db = CreateDatabase("curriculo.db");
    fs::create_directory(Path("script.log"));
    ProcessResult run = Pavana({db, Path("anim"), Script("UPDATE Alunos SET Nome = 'Z';\n")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("script.log"), std::string::npos) << run.err;
    EXPECT_EQ(Sql(db, "qorvimband", {"SELECT Nome FROM Alunos WHERE Codigo = 1"}), "Nome\nAna\n");
}

TEST_F(UpdateRunTest, LibraryStatementsAreLoggedWhenTheFileIsMissing) {
    std::string db = CreateDatabase("curriculo.db");
    ProcessResult run = Pavana({db, Path("anim"),
                                Script("executaDLL /no/such/lib.so;\nexecutaDLL " TEST_LIBRARY ";\n")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Log(), Entry(" executaDLL /no/such/lib.so;",
                           "Não foi possível ler o arquivo /no/such/lib.so.\r\nArquivo não existe!"));
}

TEST_F(UpdateRunTest, EntriesAccumulateAcrossRunsAndAnEmptyScriptLeavesAnEmptyLog) {
    std::string db = CreateDatabase("curriculo.db");
    ProcessResult empty = Pavana({db, Path("anim"), Script("\n\n")});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_TRUE(fs::exists(Path("script.log")));
    EXPECT_EQ(Log(), "");
    std::string script = Script("CREATE TABLE Alunos (X INTEGER);\nCREATE TABLE Alunos (Y INTEGER);\n");
    Pavana({db, Path("anim"), script});
    Pavana({db, Path("anim"), script});
    std::string one = Entry(" CREATE TABLE Alunos (X INTEGER);", "Table 'Alunos' already exists.") +
                      Entry(" CREATE TABLE Alunos (Y INTEGER);", "Table 'Alunos' already exists.");
    EXPECT_EQ(Log(), one + one);
}

TEST_F(UpdateRunTest, HostileScriptsNeverCrash) {
    std::string db = CreateDatabase("curriculo.db");
    std::string garbage;
    for (int i = 1; i < 20000; ++i) garbage += static_cast<char>((i * 7919) % 256);
    const std::vector<std::string> scripts = {
        std::string("UPDATE Alunos SET Nome = 'N' WHERE Codigo = 1;\n\0UPDATE Alunos SET Nome = 'no';\n", 74),
        "UPDATE Alunos\rSET Nome = 'lone CR'\rWHERE Codigo = 2;\r",
        "SELECT '" + std::string(10 * 1024 * 1024, 'x') + "';\n",
        "UPDATE Alunos SET Nome = 'inv\xe1lido \xff\xfe' WHERE Codigo = 2;\n",
        garbage,
    };
    for (const std::string& content : scripts) {
        ProcessResult run = Pavana({db, Path("anim"), Script(content)});
        EXPECT_EQ(run.exitCode, 0) << run.err.substr(0, 400);
        EXPECT_EQ(run.signal, 0);
    }
    EXPECT_EQ(Sql(db, "qorvimband", {"SELECT Codigo, Nome FROM Alunos ORDER BY Codigo"}),
              "Codigo\tNome\n1\tN\n2\tinv\xc3\xa1lido \xc3\xbf\xc3\xbe\n");
}

TEST_F(UpdateRunTest, KilledRunLeavesEveryStatementWhollyAppliedOrNot) {
    std::string db = CreateDatabase("curriculo.db");
    Sql(db, "qorvimband",
        {"CREATE TABLE Dez (N INTEGER)", "CREATE TABLE Copia (Lote INTEGER, N INTEGER)"});
    for (int n = 0; n < 10; ++n) Sql(db, "qorvimband", {"INSERT INTO Dez (N) VALUES (" + std::to_string(n) + ")"});
    std::string script;
    for (int lote = 0; lote < 20000; ++lote)
        script += "INSERT INTO Copia (Lote, N) SELECT " + std::to_string(lote) + ", N FROM Dez;\n";
    Script(script);
    BackgroundProcess run(PAVANASCRIPT_BIN, {"--console", db, Path("anim"), Path("script.sql")}, options_);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(run.Kill()) << "the run ended before it could be killed";
    std::string partial = Sql(db, "qorvimband",
                              {"SELECT COUNT(*) AS Lotes FROM (SELECT Lote FROM Copia GROUP BY Lote "
                               "HAVING COUNT(*) <> 10) AS Partes"});
    EXPECT_EQ(partial, "Lotes\n0\n");
    std::string rows = Sql(db, "qorvimband", {"SELECT COUNT(*) AS Linhas FROM Copia"});
    EXPECT_NE(rows, "Linhas\n0\n") << "nothing was applied before the kill";
    ProcessResult check = RunProcess("/usr/bin/sqlite3", {db, "PRAGMA integrity_check;"}, options_);
    EXPECT_EQ(check.out, "ok\n") << check.err;
}

TEST_F(UpdateRunTest, AnImportedAccessDatabaseTakesTheUpdateScriptItsOriginalTook) {
    options_.environment["LC_ALL"] = "pt_BR.UTF-8";
    const std::string db = Path("bens.db");
    ProcessResult imported = RunProcess(
        PAVANADB_BIN, {"import", PAVANA_SOURCE_DIR "/tests/tools/data/access/ASampleDatabase.accdb", db}, options_);
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    std::string script = Script(
        "UPDATE [Asset Items] SET Cost = Cost + 0.0125, Comments = 'revisado'\r\n"
        "  WHERE [Asset No] = '30054';\r\n"
        "INSERT INTO [Asset Items] ([Asset No], Owner, [Asset Category], Acquired, Cost)\r\n"
        "  VALUES ('90001', 'Escola', 'Office Furniture', #3/15/1890 10:30:00#, 1234.5678);\r\n"
        "INSERT INTO [Asset Items] ([Asset No]) VALUES ('30051');\r\n"
        "DELETE FROM [Asset Items] WHERE Owner = 'Sales';\r\n");
    ProcessResult run = Pavana({db, Path("anim"), script});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Log(), Entry(" INSERT INTO [Asset Items] ([Asset No]) VALUES ('30051');",
                           "The changes you requested to the table were not successful because they would create "
                           "duplicate values in the index, primary key, or relationship. Change the data in the field "
                           "or fields that contain duplicate data, remove the index, or redefine the index to permit "
                           "duplicate entries and try again."));
    // 65 assets, 25 of them of Sales, one added.
    EXPECT_EQ(Sql(db, "", {"SELECT [Asset No], Cost, Comments, Acquired FROM [Asset Items] "
                           "WHERE [Asset No] IN ('30050', '30054', '90001') ORDER BY [Asset No]",
                           "SELECT COUNT(*) AS n FROM [Asset Items]",
                           "SELECT SumOfCost FROM qryCostsSummedByOwner WHERE Owner = 'Escola'"}),
              "Asset No\tCost\tComments\tAcquired\n"
              "30054\t2560.0125\trevisado\t1998-11-10\n90001\t1234.5678\tNULL\t1890-03-15 10:30:00\n"
              "n\n41\nSumOfCost\n1234.5678\n");
}

}  // namespace
}  // namespace pavana::e2e
