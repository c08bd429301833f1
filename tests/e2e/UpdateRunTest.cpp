// The update run end to end: the real PavanaScript on databases made by pavanadb.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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

    // Polls `condition` for up to 20 seconds.
    template <typename Condition>
    static bool WaitFor(Condition condition) {
        for (int i = 0; i < 2000; ++i) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The rows and schema of a database file, as the sqlite3 shell dumps them.
    std::string Dump(const std::string& db) {
        ProcessResult dump = RunProcess("/usr/bin/sqlite3", {db, ".dump"}, options_);
        EXPECT_EQ(dump.exitCode, 0) << dump.err;
        return dump.out;
    }
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
                               "Detalhes: Could not find file '" +
                               Path("missing.db") + "'.\n"),
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
    ProcessResult run =
        Pavana({db, Path("anim"), Script("executaDLL /no/such/lib.so;\nexecutaDLL " TEST_LIBRARY ";\n")});
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
    // NUL bytes make a script unreadable (ReadingRefusesWhatIsNotAScript).
    for (int i = 1; i < 20000; ++i) garbage += static_cast<char>(std::max(1, (i * 7919) % 256));
    const std::vector<std::string> scripts = {
        "UPDATE Alunos SET Nome = 'N' WHERE Codigo = 1;\n",
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
    Sql(db, "qorvimband", {"CREATE TABLE Dez (N INTEGER)", "CREATE TABLE Copia (Lote INTEGER, N INTEGER)"});
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

TEST_F(UpdateRunTest, ReadingRefusesWhatIsNotAScriptOrADatabaseAtOnce) {
    std::string db = CreateDatabase("curriculo.db");
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    fs::create_directory(Path("pasta"));
    for (const std::string& script : {Path("fifo"), std::string("/dev/zero"), Path("pasta")}) {
        ProcessResult run = Pavana({db, Path("anim"), script});
        EXPECT_EQ(run.exitCode, 1) << script;
        EXPECT_NE(run.err.find("O roteiro " + script + " não pode ser lido: não é um arquivo comum."),
                  std::string::npos)
            << run.err;
    }
    for (const std::string& database : {Path("fifo"), Path("pasta")}) {
        ProcessResult run = Pavana({database, Path("anim"), Script("UPDATE Alunos SET Nome = 'X';\n")});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.err.find("Detalhes: Unrecognized database format '" + database + "'."), std::string::npos)
            << run.err;
    }
    // A NUL outside UTF-16 text: nothing runs, the message names the line.
    std::string nul = Script(std::string("UPDATE Alunos SET Nome = 'N' WHERE Codigo = 1;\n\nUPDATE\0;\n", 58));
    ProcessResult run = Pavana({db, Path("anim"), nul});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("O roteiro " + nul + " não pode ser lido: a linha 3 contém um caractere NUL."),
              std::string::npos)
        << run.err;
    // "executaDLL" inside a value is data; only a statement's first word makes a library step.
    run = Pavana({db, Path("anim"), Script("INSERT INTO Alunos (Codigo, Nome) VALUES (3, 'veja executaDLL x');\n")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Sql(db, "qorvimband", {"SELECT Codigo, Nome FROM Alunos ORDER BY Codigo"}),
              "Codigo\tNome\n1\tAna\n2\tBruno\n3\tveja executaDLL x\n");
}

TEST_F(UpdateRunTest, TwoRunsSharingTheLogNeverMixTheirEntries) {
    std::vector<std::string> entries;
    for (const char* run : {"a", "b"}) {
        std::string db = CreateDatabase(std::string(run) + ".db");
        std::string script;
        for (int n = 0; n < 150; ++n) {
            const std::string statement =
                "UPDATE Falta SET Nome = '" + std::string(6000, run[0]) + std::to_string(n) + "';";
            script += statement + "\n";
            entries.push_back(Entry(" " + statement,
                                    "The database engine cannot find the input table or query 'Falta'. "
                                    "Make sure it exists and that its name is spelled correctly."));
        }
        WriteFile(Path(std::string(run) + ".sql"), script);
    }
    BackgroundProcess a(PAVANASCRIPT_BIN, {"--console", Path("a.db"), Path("anim"), Path("a.sql")}, options_);
    BackgroundProcess b(PAVANASCRIPT_BIN, {"--console", Path("b.db"), Path("anim"), Path("b.sql")}, options_);
    EXPECT_EQ(a.Wait(60), std::optional<int>(0));
    EXPECT_EQ(b.Wait(60), std::optional<int>(0));
    std::string log = Log();
    std::size_t whole = 0;
    for (const std::string& entry : entries)
        if (log.find(entry) != std::string::npos) ++whole;
    EXPECT_EQ(whole, entries.size());
    std::size_t total = 0;
    for (const std::string& entry : entries) total += entry.size();
    EXPECT_EQ(log.size(), total);
}

TEST_F(UpdateRunTest, MovedDeletedOrReplacedDatabaseStopsTheRunAndLeavesNothingToApplyElsewhere) {
    std::string script;
    for (int n = 0; n < 40000; ++n)
        script += "INSERT INTO Alunos (Codigo, Nome) VALUES (" + std::to_string(n + 10) + ", 'x');\n";
    Script(script);
    std::string other = CreateDatabase("outra.db");
    const std::string otherDump = Dump(other);
    for (bool replace : {false, true}) {
        std::string db = CreateDatabase(replace ? "substituida.db" : "apagada.db");
        BackgroundProcess run(PAVANASCRIPT_BIN, {"--console", db, Path("anim"), Path("script.sql")}, options_);
        ASSERT_TRUE(WaitFor([&] { return fs::exists(db + "-wal") && fs::file_size(db + "-wal") > 0; }))
            << "the run wrote nothing";
        if (replace) {
            fs::rename(other, db);
        } else {
            fs::remove(db);
        }
        EXPECT_EQ(run.Wait(60), std::optional<int>(1)) << "the run did not stop with exit code 1";
        EXPECT_TRUE(!fs::exists(db + "-wal") || fs::file_size(db + "-wal") == 0);
        if (replace) {
            EXPECT_EQ(Dump(db), otherDump) << "the replacing file was changed";
        }
    }
    ProcessResult again = Pavana({Path("substituida.db"), Path("anim"), Script("UPDATE Alunos SET Nome = 'Z';\n")});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    ProcessResult check = RunProcess("/usr/bin/sqlite3", {Path("substituida.db"), "PRAGMA integrity_check;"}, options_);
    EXPECT_EQ(check.out, "ok\n");
}

TEST_F(UpdateRunTest, ALockHeldByAnotherProgramIsWaitedForUpToTheLimit) {
    std::string db = CreateDatabase("curriculo.db");
    std::string script =
        Script("UPDATE Alunos SET Nome = 'X' WHERE Codigo = 1;\nUPDATE Alunos SET Nome = 'Y' WHERE Codigo = 2;\n");
    auto holdLock = [&](int seconds) {
        return std::make_unique<BackgroundProcess>(
            "/bin/sh",
            std::vector<std::string>{"-c", "(echo 'BEGIN IMMEDIATE;'; echo '.shell touch " + Path("locked") +
                                               "'; sleep " + std::to_string(seconds) +
                                               "; echo 'COMMIT;') | /usr/bin/sqlite3 " + db},
            options_);
    };
    auto lockTaken = [&] {
        const bool held = WaitFor([&] { return fs::exists(Path("locked")); });
        fs::remove(Path("locked"));
        return held;
    };
    auto holder = holdLock(3);
    ASSERT_TRUE(lockTaken());
    ProcessResult waited = Pavana({db, Path("anim"), script});
    EXPECT_EQ(waited.exitCode, 0);
    EXPECT_NE(waited.err.find("Aguardando a base de dados, bloqueada por outro programa: 1 s de 60 s."),
              std::string::npos)
        << waited.err;
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Sql(db, "qorvimband", {"SELECT Nome FROM Alunos ORDER BY Codigo"}), "Nome\nX\nY\n");
    holder->Wait(10);

    holder = holdLock(3);
    ASSERT_TRUE(lockTaken());
    ProcessResult gaveUp = Pavana({"--wait", "1", db, Path("anim"), script});
    EXPECT_EQ(gaveUp.exitCode, 0);
    const std::string locked = "Could not update; currently locked.";
    EXPECT_EQ(Log(), Entry(" UPDATE Alunos SET Nome = 'X' WHERE Codigo = 1;", locked) +
                         Entry(" UPDATE Alunos SET Nome = 'Y' WHERE Codigo = 2;", locked));
    holder->Wait(10);
}

TEST_F(UpdateRunTest, TrialAndAllOrNothingRunsFailWhereARealRunFails) {
    std::string db = CreateDatabase("curriculo.db");
    Sql(db, "qorvimband",
        {"CREATE TABLE Notas (Id LONG PRIMARY KEY, Aluno LONG REFERENCES Alunos (Codigo))",
         "INSERT INTO Notas (Id, Aluno) VALUES (1, 2)"});
    std::string script = Script(
        "INSERT INTO Alunos (Codigo, Nome) VALUES (3, 'Carla');\n"
        "INSERT INTO Alunos (Codigo, Nome) VALUES (3, 'de novo');\n"
        "ALTER TABLE Alunos ALTER COLUMN Nome TEXT(80);\n"
        "DELETE FROM Alunos WHERE Codigo = 2;\n"
        "CREATE TABLE Alunos (X LONG);\n"
        "executaDLL /nao/existe.so;\n"
        "UPDATE Alunos SET Nome = 'Ana Maria' WHERE Codigo = 1;\n"
        "SELEC errado;\n");
    for (const char* copy : {"real.db", "ensaio.db", "inteira.db"}) fs::copy_file(db, Path(copy));
    const std::string before = Dump(Path("ensaio.db"));

    ProcessResult real = Pavana({"--exit-code", Path("real.db"), Path("anim"), script});
    EXPECT_EQ(real.exitCode, 3);
    const std::string realLog = Log();
    EXPECT_NE(realLog.find("CREATE TABLE Alunos (X LONG)"), std::string::npos) << realLog;
    fs::remove(Path("script.log"));

    ProcessResult trial =
        Pavana({"--dry-run", "--report", Path("ensaio.json"), Path("ensaio.db"), Path("anim"), script});
    EXPECT_EQ(trial.exitCode, 0);
    EXPECT_FALSE(fs::exists(Path("script.log")));
    std::string shown = realLog;
    for (std::size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.replace(at, 2, "\n");
    EXPECT_NE(trial.err.find(shown), std::string::npos) << trial.err;
    EXPECT_EQ(Dump(Path("ensaio.db")), before);
    const std::string report = ReadFile(Path("ensaio.json"));
    EXPECT_NE(report.find("\"mode\": \"dry-run\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"failed\": 5"), std::string::npos) << report;

    ProcessResult whole = Pavana({"--one-transaction", Path("inteira.db"), Path("anim"), script});
    EXPECT_EQ(whole.exitCode, 0);
    EXPECT_EQ(Log(), realLog);
    EXPECT_EQ(Dump(Path("inteira.db")), Dump(Path("real.db")));
}

TEST_F(UpdateRunTest, KilledAllOrNothingRunLeavesTheDatabaseAsItWas) {
    std::string db = CreateDatabase("curriculo.db");
    std::string script;
    for (int n = 0; n < 200000; ++n)
        script += "INSERT INTO Alunos (Codigo, Nome) VALUES (" + std::to_string(n + 10) + ", 'x');\n";
    Script(script);
    const std::string before = Dump(db);
    BackgroundProcess run(PAVANASCRIPT_BIN, {"--console", "--one-transaction", db, Path("anim"), Path("script.sql")},
                          options_);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(run.Kill()) << "the run ended before it could be killed";
    EXPECT_EQ(Dump(db), before);

    // A run with a report stops at SIGTERM after the statement in progress and reports it.
    BackgroundProcess stopped(
        PAVANASCRIPT_BIN,
        {"--console", "--one-transaction", "--report", Path("r.json"), db, Path("anim"), Path("script.sql")}, options_);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ::kill(stopped.Pid(), SIGTERM);
    EXPECT_EQ(stopped.Wait(30), std::optional<int>(1));
    const std::string report = ReadFile(Path("r.json"));
    EXPECT_NE(report.find("\"message\": \"A execução foi interrompida pelo sinal SIGTERM após o comando "),
              std::string::npos)
        << report;
    EXPECT_EQ(Dump(db), before);
}

TEST_F(UpdateRunTest, ExitCodesReportAndPasswordFromTheEnvironment) {
    std::string db = CreateDatabase("curriculo.db", "do ambiente");
    options_.environment["PAVANA_PASSWORD"] = "do ambiente";
    ProcessResult good = Pavana(
        {"--exit-code", "--report", Path("r.json"), db, Path("anim"), Script("UPDATE Alunos SET Nome = 'X';\n")});
    EXPECT_EQ(good.exitCode, 0) << good.err;
    const std::string report = ReadFile(Path("r.json"));
    for (const std::string& field :
         {std::string("\"outcome\": \"completed\""), std::string("\"script_encoding\": \"UTF-8\""),
          std::string("\"statements\": 1, \"run\": 1, \"succeeded\": 1, \"failed\": 0, \"records_affected\": 2"),
          std::string("\"script_sha256\": \"")})
        EXPECT_NE(report.find(field), std::string::npos) << report;
    EXPECT_EQ(Pavana({"--exit-code", db, Path("anim"), Script("SELEC x;\n")}).exitCode, 3);
    EXPECT_EQ(Pavana({"--exit-code", db, Path("anim"), Script("SELEC x;\n"), "errada"}).exitCode, 2);
    EXPECT_EQ(Pavana({db, Path("anim"), Script("SELEC x;\n"), "errada"}).exitCode, 0);
    // "do ambiente;x" would reach the engine as "do ambiente" and open the database.
    ProcessResult cut = Pavana({"--exit-code", db, Path("anim"), Script("SELEC x;\n"), "do ambiente;x"});
    EXPECT_EQ(cut.exitCode, 2);
    EXPECT_NE(cut.err.find("Detalhes: A senha não pode conter \";\""), std::string::npos) << cut.err;
    ProcessResult missing = Pavana({"--exit-code", "--report", Path("r.json"), db, Path("anim"), Path("nada.sql")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(ReadFile(Path("r.json")).find("\"outcome\": \"error\""), std::string::npos);
    EXPECT_EQ(Pavana({"--wait", "x", db, Path("anim"), Path("nada.sql")}).exitCode, 1);
    // Too few arguments: nothing ran, which only the option's codes tell a caller.
    EXPECT_EQ(Pavana({db, Path("anim")}).exitCode, 0);
    EXPECT_EQ(Pavana({"--exit-code", "--report", Path("r.json"), db, Path("anim")}).exitCode, 1);
    EXPECT_NE(ReadFile(Path("r.json")).find("\"message\": \"Número de parâmetros invalido.\""), std::string::npos);
}

TEST_F(UpdateRunTest, CheckRefusesADamagedDatabaseAndAFullDiskNamesTheLogToKeep) {
    std::string db = CreateDatabase("curriculo.db");
    std::string rows;
    for (int n = 0; n < 6000; ++n)
        rows += "INSERT INTO Alunos (Codigo, Nome) VALUES (" + std::to_string(n + 10) + ", '" + std::string(40, 'n') +
                "');\n";
    ASSERT_EQ(Pavana({db, Path("anim"), Script(rows)}).exitCode, 0);
    fs::copy_file(db, Path("cheia.db"));

    // A page in the middle of the table overwritten.
    {
        std::string bytes = ReadFile(db);
        ASSERT_GT(bytes.size(), 200000u);
        for (std::size_t i = 100000; i < 104096; ++i) bytes[i] = static_cast<char>(i * 31);
        WriteFile(db, bytes);
    }
    ProcessResult checked = Pavana({"--check", "--exit-code", db, Path("anim"), Script("DELETE FROM Alunos;\n")});
    EXPECT_EQ(checked.exitCode, 2);
    EXPECT_NE(
        checked.err.find("Detalhes: A verificação da base de dados encontrou danos; nenhum comando foi executado."),
        std::string::npos)
        << checked.err;

    // A file size limit below the database's size: the log can grow, the database cannot.
    const std::string full = Path("cheia.db");
    const std::string command =
        "trap '' XFSZ; exec /usr/bin/prlimit --fsize=100000 " PAVANASCRIPT_BIN " --console --exit-code " + full + " " +
        Path("anim") + " " + Script("UPDATE Alunos SET Nome = 'mudou' WHERE Codigo = 6000;\n");
    ProcessResult limited = RunProcess("/bin/sh", {"-c", command}, options_);
    EXPECT_EQ(limited.exitCode, 2) << limited.err;
    EXPECT_NE(limited.err.find("they are kept in '" + full + "-wal'"), std::string::npos) << limited.err;
    EXPECT_EQ(Sql(full, "qorvimband", {"SELECT Nome FROM Alunos WHERE Codigo = 6000"}), "Nome\nmudou\n");
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
    EXPECT_EQ(Sql(db, "",
                  {"SELECT [Asset No], Cost, Comments, Acquired FROM [Asset Items] "
                   "WHERE [Asset No] IN ('30050', '30054', '90001') ORDER BY [Asset No]",
                   "SELECT COUNT(*) AS n FROM [Asset Items]",
                   "SELECT SumOfCost FROM qryCostsSummedByOwner WHERE Owner = 'Escola'"}),
              "Asset No\tCost\tComments\tAcquired\n"
              "30054\t2560.0125\trevisado\t1998-11-10\n90001\t1234.5678\tNULL\t1890-03-15 10:30:00\n"
              "n\n41\nSumOfCost\n1234.5678\n");
}

}  // namespace
}  // namespace pavana::e2e
