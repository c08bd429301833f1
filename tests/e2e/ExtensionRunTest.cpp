// Extension libraries end to end: scripts with "executaDLL" statements run by the real
// PavanaScript, their log and the database afterwards.
#include <gtest/gtest.h>

#include <filesystem>

#include "RunFixture.h"

namespace pavana::e2e {
namespace {

namespace fs = std::filesystem;

std::string Extension(const std::string& name) { return PAVANA_TEST_EXTENSIONS "/lib" + name + ".so"; }

class ExtensionRunTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        db_ = Path("curriculo.db");
        ProcessResult created = RunProcess(PAVANADB_BIN, {"create", db_}, options_);
        ASSERT_EQ(created.exitCode, 0) << created.err;
        Sql("CREATE TABLE Marcas (texto TEXT(20))");
    }
    std::string Sql(const std::string& statement) {
        ProcessResult result = RunProcess(PAVANADB_BIN, {"sql", db_, statement}, options_);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }
    // Runs the script; PavanaScript must end normally.
    std::string Run(const std::string& script) {
        WriteFile(Path("script.sql"), script);
        ProcessResult run =
            RunProcess(PAVANASCRIPT_BIN, {"--console", db_, Path("anim"), Path("script.sql")}, options_);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return ReadFile(Path("script.log"));
    }
    void ExpectIntact() {
        ProcessResult check = RunProcess("/usr/bin/sqlite3", {db_, "PRAGMA integrity_check;"}, options_);
        EXPECT_EQ(check.out, "ok\n") << check.err;
    }

    std::string db_;
};

TEST_F(ExtensionRunTest, LoaderFailuresAndALibraryWithoutEntry) {
    WriteFile(Path("texto.so"), "não sou uma biblioteca\n");
    std::string log = Run("executaDLL " + Path("falta.so") + ";\nexecutaDLL " + Path("texto.so") +
                          ";\nexecutaDLL " TEST_LIBRARY ";\n");
    std::string missing = Entry(" executaDLL " + Path("falta.so") + ";",
                                "Não foi possível ler o arquivo " + Path("falta.so") + ".\r\nArquivo não existe!");
    ASSERT_EQ(log.substr(0, missing.size()), missing);
    std::string rest = log.substr(missing.size());
    std::string start =
        Entry(" executaDLL " + Path("texto.so") + ";", "Não foi possível ler o arquivo " + Path("texto.so") + ".\r\n");
    start = start.substr(0, start.size() - 2);
    ASSERT_EQ(rest.substr(0, start.size()), start) << rest;
    EXPECT_EQ(rest.find("Erro na execução", 1), std::string::npos) << "the library without entry logged";
    ASSERT_GE(rest.size(), start.size() + 3);
    EXPECT_NE(rest[rest.size() - 3], '.') << rest;
}

TEST_F(ExtensionRunTest, LibraryWritesAreCommittedAndSeenByTheNextStatement) {
    std::string log =
        Run("executaDLL " + Extension("ext_writer") + ";\nINSERT INTO Marcas SELECT nomes FROM Resumo;\n");
    EXPECT_EQ(log, "");
    EXPECT_EQ(Sql("SELECT texto FROM Marcas"), "texto\nAna,João,Zé\n");
}

TEST_F(ExtensionRunTest, FailingLibrariesGiveOneEntryEachAndTheRunGoesOn) {
    const char* libraries[] = {"ext_report", "ext_segv", "ext_fpe", "ext_throw_other", "ext_open_transaction"};
    std::string script;
    for (const char* library : libraries)
        script += "executaDLL " + Extension(library) + ";\nINSERT INTO Marcas VALUES ('" + library + "');\n";
    std::string log = Run(script);
    std::size_t entries = 0;
    for (std::size_t at = log.find("Erro na execução"); at != std::string::npos;
         at = log.find("Erro na execução", at + 1))
        ++entries;
    EXPECT_EQ(entries, 5u) << log;
    EXPECT_NE(log.find(" == Falha na atualização: cálculo impossível\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" == Access violation at address "), std::string::npos) << log;
    EXPECT_NE(log.find(" == Division by zero at address "), std::string::npos) << log;
    EXPECT_NE(log.find(" == A biblioteca lançou uma exceção de tipo desconhecido.\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" == A biblioteca terminou com uma transação aberta"), std::string::npos) << log;
    // What each library did before failing and every later statement are in the file; the
    // open transaction's row is not.
    EXPECT_EQ(
        Sql("SELECT texto FROM Marcas ORDER BY texto"),
        "texto\nantes\nantes\next_fpe\next_open_transaction\next_report\next_segv\next_throw_other\nfeito\nfeito\n");
    EXPECT_EQ(Sql("SELECT Count(*) AS n FROM Itens"), "n\n5\n");
    ExpectIntact();
}

TEST_F(ExtensionRunTest, QuotedPathWithBlanks) {
    fs::create_directories(dir_ / "com espaço");
    fs::copy_file(Extension("ext_report"), dir_ / "com espaço" / "lib report.so");
    std::string path = Path("com espaço/lib report.so");
    std::string log = Run("executaDLL \"" + path + ";\"\n");
    EXPECT_EQ(log, Entry(" executaDLL \"" + path + ";\"", "Falha na atualização: cálculo impossível")) << log;
}

TEST_F(ExtensionRunTest, ALibraryThatForksOrExitsNeitherRunsTheRestTwiceNorEndsTheRunUnheard) {
    // The forked child ends as soon as the library returns in it: "depois" is inserted once.
    EXPECT_EQ(Run("executaDLL " + Extension("ext_fork") + ";\nINSERT INTO Marcas VALUES ('depois');\n"), "");
    EXPECT_EQ(Sql("SELECT texto FROM Marcas"), "texto\nantes\ndepois\n");

    WriteFile(Path("script.sql"), "executaDLL " + Extension("ext_exit") + ";\nINSERT INTO Marcas VALUES ('nunca');\n");
    ProcessResult run = RunProcess(PAVANASCRIPT_BIN, {"--console", db_, Path("anim"), Path("script.sql")}, options_);
    const std::string message = "A biblioteca " + Extension("ext_exit") + " encerrou o processo (exit 7).";
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("PavanaScript: " + message), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(Path("script.log")), Entry(" executaDLL " + Extension("ext_exit") + ";", message));
    EXPECT_EQ(Sql("SELECT texto FROM Marcas"), "texto\nantes\ndepois\nantes\n");
    ExpectIntact();
}

}  // namespace
}  // namespace pavana::e2e
