// What the corpus cannot express: the Translation contract (kinds, declared parameters and
// their positions, follow-up statements) and that malformed text never escapes as anything
// but SyntaxError.
#include <gtest/gtest.h>

#include "engine/dialect/Translator.h"
#include "engine/sqlite/Translate.h"

namespace pavana::engine::dialect {
namespace {

using sqlite::Translate;

TEST(Translator, DeclaredParametersBecomeNumberedInDeclarationOrder) {
    Translation t = Translate(
        "PARAMETERS [Data Inicial] DateTime, pCodigo Long, [Nome] Text(50);\n"
        "UPDATE Alunos SET Nome = [nome], Inicio = [DATA INICIAL] WHERE Codigo = pcodigo OR Pai = [pCodigo]");
    ASSERT_EQ(t.parameters.size(), 3u);
    EXPECT_EQ(t.parameters[0].name, "Data Inicial");
    EXPECT_EQ(t.parameters[0].typeWord, "DATETIME");
    EXPECT_EQ(t.parameters[1].typeWord, "LONG");
    EXPECT_EQ(t.parameters[2].typeWord, "TEXT");
    EXPECT_EQ(t.sql,
              "UPDATE \"Alunos\" SET \"Nome\" = pavana_store(?3, 'Alunos', 'Nome'), \"Inicio\" = "
              "pavana_store(?1, 'Alunos', 'Inicio') WHERE ((\"Codigo\" = ?2) OR (\"Pai\" = ?2))");
    EXPECT_EQ(t.kind, StatementKind::Action);
}

TEST(Translator, EveryParameterTypeWordIsAccepted) {
    for (const char* type :
         {"Bit",   "Byte",       "Short",    "Long",  "Currency", "IEEESingle", "IEEEDouble", "DateTime", "Binary",
          "Text",  "LongBinary", "LongText", "Value", "Integer",  "Single",     "Double",     "Date",     "Memo",
          "YesNo", "Guid",       "Counter",  "Money", "Float",    "Real",       "Char"}) {
        Translation t = Translate(std::string("PARAMETERS p ") + type + "; SELECT p");
        ASSERT_EQ(t.parameters.size(), 1u) << type;
        EXPECT_EQ(t.sql, "SELECT ?1 AS \"Expr1000\"") << type;
    }
    EXPECT_THROW(Translate("PARAMETERS p Widget; SELECT p"), SyntaxError);
}

TEST(Translator, KindsFollowTheStatement) {
    EXPECT_EQ(Translate("SELECT * FROM t").kind, StatementKind::Query);
    EXPECT_EQ(Translate("SELECT * INTO u FROM t").kind, StatementKind::Action);
    EXPECT_EQ(Translate("DELETE FROM t").kind, StatementKind::Action);
    EXPECT_EQ(Translate("INSERT INTO t VALUES (1)").kind, StatementKind::Action);
    EXPECT_EQ(Translate("CREATE TABLE t (a LONG)").kind, StatementKind::Definition);
    EXPECT_EQ(Translate("DROP INDEX i ON t").kind, StatementKind::Definition);
}

TEST(Translator, CounterSeedAndDisallowNullNeedFollowUpStatements) {
    Translation t = Translate("CREATE TABLE t (id COUNTER(100, 1) PRIMARY KEY, a TEXT)");
    ASSERT_EQ(t.followUp.size(), 1u);
    EXPECT_EQ(t.followUp[0], "INSERT INTO sqlite_sequence (name, seq) VALUES ('t', 99)");
    Translation i = Translate("CREATE INDEX ix ON t (a) WITH DISALLOW NULL");
    ASSERT_EQ(i.followUp.size(), 2u);
    EXPECT_NE(i.followUp[0].find("BEFORE INSERT ON \"t\" WHEN NEW.\"a\" IS NULL"), std::string::npos);
}

TEST(Translator, SyntaxErrorCarriesTheNumber) {
    try {
        Translate("UPDATE t SET");
        FAIL();
    } catch (const SyntaxError& e) {
        EXPECT_EQ(e.Number(), 3144);
        EXPECT_EQ(e.Message(), "Syntax error in UPDATE statement.");
    }
}

TEST(Translator, DeepNestingFailsCleanly) {
    std::string deep = "SELECT " + std::string(100000, '(') + "1" + std::string(100000, ')');
    EXPECT_THROW(Translate(deep), SyntaxError);
    std::string minus = "SELECT " + std::string(100000, '-') + "1";
    EXPECT_THROW(Translate(minus), SyntaxError);
}

}  // namespace
}  // namespace pavana::engine::dialect
