// pavanadb run as a child process: its commands, its output form and its exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestFolder.h"
#include "e2e/Process.h"

namespace pavana::e2e {
namespace {

namespace fs = std::filesystem;

class PavanadbTest : public testing::Test {
protected:
    void SetUp() override {
        options_.workingDirectory = dir_.Dir().string();
        options_.environment = {{"LC_ALL", "C.UTF-8"}};
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    ProcessResult Run(const std::vector<std::string>& args, const std::string& input = {}) {
        ProcessOptions options = options_;
        options.input = input;
        return RunProcess(PAVANADB_BIN, args, options);
    }
    // `sql` on `db` with the statements as arguments (or `input` on stdin when there are none).
    ProcessResult Sql(const std::string& db, const std::string& password, const std::vector<std::string>& statements,
                      const std::string& input = {}) {
        std::vector<std::string> args = {"sql", db, "--password", password};
        args.insert(args.end(), statements.begin(), statements.end());
        return Run(args, input);
    }
    std::string Created(const std::string& name, const std::string& password = "segredo") {
        ProcessResult r = Run({"create", Path(name), "--password", password});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return Path(name);
    }

    const test::TestFolder dir_;
    ProcessOptions options_;
};

TEST_F(PavanadbTest, CreateNeverReplacesAFileAndOpeningChecksThePassword) {
    std::string db = Created("a.db");
    EXPECT_EQ(Sql(db, "segredo", {"CREATE TABLE t (n LONG)", "INSERT INTO t VALUES (1)"}).exitCode, 0);

    ProcessResult again = Run({"create", db});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "pavanadb: Database already exists.\n");
    EXPECT_EQ(Sql(db, "segredo", {"SELECT n FROM t"}).out, "n\n1\n");

    ProcessResult wrong = Sql(db, "Segredo", {"SELECT n FROM t"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, "pavanadb: Not a valid password.\n");

    ProcessResult missing = Sql(Path("none.db"), "x", {"SELECT 1"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "pavanadb: Could not find file '" + Path("none.db") + "'.\n");
    EXPECT_FALSE(fs::exists(Path("none.db")));
}

TEST_F(PavanadbTest, PasswordIsChangedRemovedAndSetOnlyWithTheOldOne) {
    std::string db = Created("a.db", "velha");
    EXPECT_EQ(Run({"password", db, "errada", "nova"}).err, "pavanadb: Not a valid password.\n");
    EXPECT_EQ(Run({"password", db, "velha", "nova"}).exitCode, 0);
    EXPECT_EQ(Sql(db, "velha", {"SELECT 1 AS x"}).exitCode, 1);
    EXPECT_EQ(Sql(db, "nova", {"SELECT 1 AS x"}).out, "x\n1\n");
    // Removed: any password opens it; setting one again needs "" as the old one.
    EXPECT_EQ(Run({"password", db, "nova", ""}).exitCode, 0);
    EXPECT_EQ(Sql(db, "qualquer", {"SELECT 1 AS x"}).exitCode, 0);
    EXPECT_EQ(Run({"password", db, "qualquer", "outra"}).exitCode, 1);
    EXPECT_EQ(Run({"password", db, "", "outra"}).exitCode, 0);
    EXPECT_EQ(Sql(db, "qualquer", {"SELECT 1 AS x"}).err, "pavanadb: Not a valid password.\n");
}

TEST_F(PavanadbTest, PasswordsComeFromAFileOrTheEnvironmentAndMustFitTheConnectText) {
    // A ";" would end the password in the connect text: refused, no file made or changed.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"create", Path("c.db"), "--password", ";x"},
          std::vector<std::string>{"create", Path("c.db"), "--password", "a;b"}}) {
        ProcessResult refused = Run(args);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_NE(refused.err.find("a password cannot contain \";\""), std::string::npos) << refused.err;
        EXPECT_FALSE(fs::exists(Path("c.db")));
    }
    std::string db = Created("a.db", "velha");
    EXPECT_EQ(Run({"password", db, "velha", "nova;"}).exitCode, 2);
    EXPECT_EQ(Sql(db, "velha", {"SELECT 1 AS x"}).out, "x\n1\n");

    WriteFile(Path("senha"), "do arquivo\r\nsegunda linha\n");
    EXPECT_EQ(Run({"create", Path("f.db"), "--password-file", Path("senha")}).exitCode, 0);
    EXPECT_EQ(Sql(Path("f.db"), "do arquivo", {"SELECT 1 AS x"}).exitCode, 0);
    EXPECT_EQ(Sql(Path("f.db"), "outra", {"SELECT 1 AS x"}).exitCode, 1);
    ProcessOptions environment = options_;
    environment.environment["PAVANA_PASSWORD"] = "do ambiente";
    EXPECT_EQ(RunProcess(PAVANADB_BIN, {"create", Path("e.db")}, environment).exitCode, 0);
    EXPECT_EQ(RunProcess(PAVANADB_BIN, {"sql", Path("e.db"), "SELECT 1 AS x"}, environment).out, "x\n1\n");
    EXPECT_EQ(Sql(Path("e.db"), "outra", {"SELECT 1 AS x"}).exitCode, 1);
    // An argument wins over the environment.
    EXPECT_EQ(RunProcess(PAVANADB_BIN, {"sql", Path("f.db"), "--password", "do arquivo", "SELECT 1 AS x"}, environment)
                  .exitCode,
              0);
}

TEST_F(PavanadbTest, QueryValuesArePrintedInOneLocaleIndependentForm) {
    std::string db = Created("a.db");
    ProcessResult made = Sql(
        db, "segredo",
        {"CREATE TABLE v (id LONG PRIMARY KEY, [Nome do aluno] TEXT(30), d DATETIME, b YESNO, "
         "c CURRENCY, f DOUBLE, s SINGLE, i SHORT, blob LONGBINARY)",
         "INSERT INTO v (id, [Nome do aluno], d, b, c, f, s, i) VALUES "
         "(1, 'tab' & Chr(9) & 'lf' & Chr(10) & 'cr' & Chr(13) & 'bs\\', #1/2/2024 10:30#, True, 12.5, 0.1, 0.1, -7)",
         "INSERT INTO v (id, d, b, c, f, s) VALUES (2, #1/3/2024#, False, -3, 1e20, 2.5e-7)",
         "INSERT INTO v (id, d, c, f) VALUES (3, 45293.99999537, 0.0001, -1234567.125)",
         "INSERT INTO v (id, d) VALUES (4, -1.25)"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.out, "records affected: 1\nrecords affected: 1\nrecords affected: 1\nrecords affected: 1\n");
    ProcessResult blob = RunProcess("/usr/bin/sqlite3", {db, "UPDATE v SET blob = X'00FF7A' WHERE id = 4"}, options_);
    ASSERT_EQ(blob.exitCode, 0) << blob.err;

    ProcessResult rows = Sql(db, "segredo", {"SELECT * FROM v ORDER BY id"});
    EXPECT_EQ(rows.exitCode, 0) << rows.err;
    EXPECT_EQ(rows.out,
              "id\tNome do aluno\td\tb\tc\tf\ts\ti\tblob\n"
              "1\ttab\\tlf\\ncr\\rbs\\\\\t2024-01-02 10:30:00\t-1\t12.5\t0.1\t0.1\t-7\tNULL\n"
              "2\tNULL\t2024-01-03\t0\t-3\t1e+20\t2.5e-07\tNULL\tNULL\n"
              "3\tNULL\t2024-01-03\t0\t0.0001\t-1234567.125\tNULL\tNULL\tNULL\n"
              "4\tNULL\t1899-12-29 06:00:00\t0\tNULL\tNULL\tNULL\tNULL\t0x00FF7A\n");
    EXPECT_EQ(Sql(db, "segredo", {"SELECT id FROM v WHERE id > 9"}).out, "id\n");
    // An expression whose first value is whole keeps the fractions of later rows.
    EXPECT_EQ(Sql(db, "segredo", {"SELECT IIf(id > 1, id / 4, 1) AS x, id * 2 AS y FROM v ORDER BY id"}).out,
              "x\ty\n1\t2\n0.5\t4\n0.75\t6\n1\t8\n");
}

TEST_F(PavanadbTest, StandardInputIsCutAtLinesWithASemicolon) {
    std::string db = Created("a.db");
    ProcessResult r = Sql(db, "segredo", {},
                          "CREATE TABLE t (n LONG,\r\n  nome TEXT(10));\r\n"
                          ";\n\n"
                          "INSERT INTO t\nVALUES (1, 'um');\n"
                          "INSERT INTO t VALUES (2, 'dois'); UPDATE t SET n = 3;\n"
                          "UPDATE t SET nome = 'x'\rWHERE n = 1;\r"
                          "SELECT n, nome\nFROM t ORDER BY n");
    // The third statement holds two and fails; nothing after it runs.
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "records affected: 1\n");
    EXPECT_EQ(r.err, "pavanadb: Characters found after end of SQL statement.\n");

    r = Sql(db, "segredo", {}, "UPDATE t SET nome = 'x'\rWHERE n = 1;\rSELECT n, nome\nFROM t ORDER BY n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "records affected: 1\nn\tnome\n1\tx\n");

    // A procedure's select prints its rows; an action one its count. The view and the
    // procedures are the database's queries.
    r = Sql(db, "segredo", {},
            "CREATE PROCEDURE Acima (m LONG) AS SELECT n, nome FROM t WHERE n > m ORDER BY n;\n"
            "CREATE PROC Marcar (m LONG) AS UPDATE t SET nome = 'y' WHERE n = m;\n"
            "CREATE VIEW Nomes AS SELECT nome FROM t;\n"
            "EXECUTE Acima 0;\nEXEC Marcar 1;\nEXECUTE Acima 0;\nEXECUTE Nada 1");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "n\tnome\n1\tx\nrecords affected: 1\nn\tnome\n1\ty\n");
    EXPECT_EQ(r.err.rfind("pavanadb: The database engine cannot find the input table or query 'Nada'.", 0), 0u)
        << r.err;
    r = Run({"queries", db, "--password", "segredo"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "Name\tSQL\nAcima\tPARAMETERS m LONG; SELECT n, nome FROM t WHERE n > m ORDER BY n\n"
              "Marcar\tPARAMETERS m LONG; UPDATE t SET nome = 'y' WHERE n = m\nNomes\tSELECT nome FROM t\n");
}

TEST_F(PavanadbTest, FirstFailingStatementStopsTheRunAndEarlierOnesStay) {
    std::string db = Created("a.db");
    ProcessResult r = Sql(db, "segredo",
                          {"CREATE TABLE t (n LONG PRIMARY KEY)", "INSERT INTO t VALUES (1)",
                           "INSERT INTO t VALUES (1)", "INSERT INTO t VALUES (2)"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "records affected: 1\n");
    EXPECT_EQ(r.err.rfind("pavanadb: The changes you requested to the table were not successful", 0), 0u) << r.err;
    EXPECT_EQ(Sql(db, "segredo", {"SELECT COUNT(*) AS n FROM t"}).out, "n\n1\n");
    EXPECT_EQ(Sql(db, "segredo", {"DELETE FROM t"}).out, "records affected: 1\n");
}

TEST_F(PavanadbTest, UsageErrorsExitTwoAndHelpDocumentsTheForm) {
    ProcessResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("NULL"), std::string::npos);
    EXPECT_NE(help.out.find("yyyy-mm-dd hh:nn:ss"), std::string::npos);
    EXPECT_EQ(Run({"--version"}).out, "pavanadb 1.0.0\n");
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"drop", "a.db"},
                                                                  {"create"},
                                                                  {"create", "a.db", "--password"},
                                                                  {"password", "a.db", "x"},
                                                                  {"sql"},
                                                                  {"queries"},
                                                                  {"sql", "a.db", "--bogus"}}) {
        ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args.size();
        EXPECT_NE(r.err.find("pavanadb --help"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(Path("a.db")));
}

}  // namespace
}  // namespace pavana::e2e
