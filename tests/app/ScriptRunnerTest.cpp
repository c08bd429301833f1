#include "app/ScriptRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestFolder.h"
#include "rtl/Exceptions.h"

namespace pavana {
namespace {

class ScriptRunnerTest : public testing::Test {
protected:
    void SetUp() override {}

    std::string Write(const std::string& name, const std::string& content) {
        std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Runs a script; statements containing "FAIL" fail with message "M".
    void Run(const std::string& script) {
        ScriptRunner runner(
            [this](const std::string& s) {
                sql.push_back(s);
                if (s.find("FAIL") != std::string::npos) throw Exception("M");
            },
            [this](const std::string& path) {
                libraries.push_back(path);
                throw Exception("library " + path);
            },
            (dir_ / "script.log").string());
        runner.Run(Write("script.sql", script));
    }

    const test::TestFolder dir_;
    std::vector<std::string> sql;
    std::vector<std::string> libraries;
};

TEST_F(ScriptRunnerTest, StatementsAreCutAtLinesContainingSemicolon) {
    Run("UPDATE A SET B = 1\r\n;\r\n"
        "SELECT 1\n\n  \nFROM T;\n"
        "INSERT INTO T VALUES (1); INSERT INTO T VALUES (2);\n"
        "\tDELETE FROM T\r"
        "never ended");
    EXPECT_EQ(sql, (std::vector<std::string>{" UPDATE A SET B = 1 ;", " SELECT 1  FROM T;",
                                             " INSERT INTO T VALUES (1); INSERT INTO T VALUES (2);"}));
    EXPECT_EQ(Read("script.log"), "");
}

TEST_F(ScriptRunnerTest, SemicolonInsideALiteralEndsTheStatement) {
    Run("INSERT INTO T VALUES ('a;\nb');\n");
    EXPECT_EQ(sql, (std::vector<std::string>{" INSERT INTO T VALUES ('a;", " b');"}));
}

TEST_F(ScriptRunnerTest, FailuresAreLoggedByteForByteAndAppendedAcrossRuns) {
    const std::string script = "DELETE FROM FAIL WHERE c = '100%s';\nUPDATE ok SET a = 1;\n";
    const std::string entry =
        "Erro na execução do comando  DELETE FROM FAIL WHERE c = '100%s';.\r\n"
        "Verifique a opção detalhes para maiores informações. == M\r\n";
    Run(script);
    EXPECT_EQ(Read("script.log"), entry);
    Run(script);
    EXPECT_EQ(Read("script.log"), entry + entry);
}

TEST_F(ScriptRunnerTest, LibraryStatementsGoToTheLibraryStep) {
    Run("executaDLL /opt/lib/atualiza.so;\n"
        "executaDLL \"/opt/my libs/a.so;\"\n"
        "SELECT 'executaDLL' AS x, 2 FROM t;\n"
        "  \tEXECUTAdll /x.so;\n"
        "executaDLLs /y.so;\n"
        "executaDLL;\n");
    EXPECT_EQ(libraries, (std::vector<std::string>{"/opt/lib/atualiza.so", "/opt/my libs/a.so", "/x.so"}));
    EXPECT_EQ(sql, (std::vector<std::string>{" SELECT 'executaDLL' AS x, 2 FROM t;", " executaDLLs /y.so;"}));
    std::string log = Read("script.log");
    EXPECT_NE(log.find("comando  executaDLL /opt/lib/atualiza.so;.\r\nVerifique a opção detalhes para "
                       "maiores informações. == library /opt/lib/atualiza.so\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("comando  executaDLL;.\r\nVerifique a opção detalhes para maiores informações. "
                       "== List index out of bounds (1)\r\n"),
              std::string::npos);
}

TEST_F(ScriptRunnerTest, EightBitScriptsAreReadAsUtf8OrWindows1252) {
    Run("\xEF\xBB\xBFUPDATE a SET b = 'ç'\r\n  \r\n;\r\n");
    Run("UPDATE a SET b = '\xE7'\r;\r");
    EXPECT_EQ(sql, (std::vector<std::string>{" UPDATE a SET b = 'ç'  ;", " UPDATE a SET b = 'ç' ;"}));
}

TEST_F(ScriptRunnerTest, EmptyScriptCreatesAnEmptyLog) {
    Run("\n\r\n\n");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "script.log"));
    EXPECT_EQ(Read("script.log"), "");
    EXPECT_TRUE(sql.empty());
}

TEST_F(ScriptRunnerTest, ANulMakesTheScriptUnreadableUnlessTheTextIsUtf16) {
    try {
        Run(std::string("UPDATE a SET b = 1;\r\n\r\nUPDATE c\0 SET d = 1;\n", 43));
        FAIL() << "no error raised";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "O roteiro " + (dir_ / "script.sql").string() +
                                   " não pode ser lido: a linha 3 contém um caractere NUL.");
    }
    EXPECT_TRUE(sql.empty());
    // UTF-16 without a byte-order mark, in either byte order.
    const std::u16string text = u"UPDATE a SET b = 'ç€';\nUPDATE c SET d = 1;\n";
    for (bool bigEndian : {false, true}) {
        std::string bytes;
        for (char16_t u : text) {
            const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        sql.clear();
        Run(bytes);
        EXPECT_EQ(sql, (std::vector<std::string>{" UPDATE a SET b = 'ç€';", " UPDATE c SET d = 1;"}));
    }
}

TEST_F(ScriptRunnerTest, MissingScriptRaisesAndLogsNothing) {
    ScriptRunner runner([](const std::string&) {}, [](const std::string&) {}, (dir_ / "script.log").string());
    try {
        runner.Run((dir_ / "missing.sql").string());
        FAIL() << "no error raised";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + (dir_ / "missing.sql").string());
    }
    EXPECT_EQ(Read("script.log"), "");
}

TEST_F(ScriptRunnerTest, UnwritableLogRaisesBeforeAnyStatement) {
    ScriptRunner runner([this](const std::string& s) { sql.push_back(s); }, [](const std::string&) {},
                        (dir_ / "no-such-dir" / "script.log").string());
    EXPECT_THROW(runner.Run(Write("s.sql", "UPDATE a SET b = 1;\n")), EInOutError);
    EXPECT_TRUE(sql.empty());
}

}  // namespace
}  // namespace pavana
