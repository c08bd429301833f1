// Pieces of the Access import that work on values alone: saved queries rebuilt from their
// MSysQueries rows (each select statement must be what the rows describe and read as a query
// of the engine's dialect; other kinds are refused) and the text of Decimal values.
#include <gtest/gtest.h>

#include "AccessFile.h"
#include "AccessQueries.h"
#include "engine/dialect/Translator.h"
#include "engine/sqlite/Translate.h"

namespace pavana::tools {
namespace {

// Rows as Access writes them: attribute, flag, name1, name2, expression.
AccessQuery Select(std::vector<AccessQueryRow> rows, int objectFlags = 0) {
    rows.insert(rows.begin(), AccessQueryRow{0, 1, "", "", ""});
    rows.push_back(AccessQueryRow{255, 0, "", "", ""});
    return AccessQuery{"q", objectFlags, std::move(rows)};
}

std::string Rebuilt(const AccessQuery& query) {
    auto statement = SelectStatementOf(query);
    if (auto* refusal = std::get_if<QueryRefusal>(&statement)) return "refused: " + refusal->reason;
    const std::string& sql = std::get<std::string>(statement);
    EXPECT_EQ(engine::sqlite::Translate(sql).kind, engine::dialect::StatementKind::Query) << sql;
    return sql;
}

TEST(AccessQueriesTest, JoinsNestInTheOrderAccessListsThemWithEveryCondition) {
    EXPECT_EQ(Rebuilt(Select({
                  {5, 0, "Alunos", "", ""},
                  {5, 0, "Notas", "N", ""},
                  {5, 0, "Cursos", "", ""},
                  {5, 0, "Avisos", "", ""},
                  {6, 0, "", "", "Alunos.Nome"},
                  {6, 0, "Media", "", "Avg(N.Nota)"},
                  {7, 2, "Alunos", "N", "Alunos.Codigo = N.Aluno"},
                  {7, 2, "Alunos", "N", "Alunos.Turma = N.Turma"},
                  {7, 1, "Cursos", "Alunos", "Cursos.Codigo = Alunos.Curso"},
                  {8, 0, "", "", "Cursos.Ativo = True"},
                  {9, 0, "", "", "Alunos.Nome"},
                  {10, 0, "", "", "Avg(N.Nota) > 5"},
                  {11, 0, "D", "", "Avg(N.Nota)"},
                  {11, 0, "", "", "Alunos.Nome"},
              })),
              "SELECT Alunos.Nome, Avg(N.Nota) AS [Media] FROM ([Alunos] LEFT JOIN [Notas] AS [N] ON "
              "Alunos.Codigo = N.Aluno AND Alunos.Turma = N.Turma) INNER JOIN [Cursos] ON Cursos.Codigo "
              "= "
              "Alunos.Curso, [Avisos] WHERE Cursos.Ativo = True GROUP BY Alunos.Nome HAVING Avg(N.Nota) "
              "> 5 "
              "ORDER BY Avg(N.Nota) DESC, Alunos.Nome");
    // A join whose left table joins the chain later is written from the chain's side.
    EXPECT_EQ(Rebuilt(Select({
                  {5, 0, "A", "", ""},
                  {5, 0, "B", "", ""},
                  {5, 0, "C", "", ""},
                  {6, 0, "", "", "A.x"},
                  {7, 1, "A", "B", "A.k = B.k"},
                  {7, 2, "C", "B", "C.k = B.j"},
              })),
              "SELECT A.x FROM ([A] INNER JOIN [B] ON A.k = B.k) RIGHT JOIN [C] ON C.k = B.j");
}

TEST(AccessQueriesTest, DistinctTopAndStarComeFromTheOptionsRow) {
    EXPECT_EQ(Rebuilt(Select({{3, 0x01 | 0x02 | 0x10 | 0x20, "10", "", ""}, {5, 0, "Alunos", "", ""}})),
              "SELECT DISTINCT TOP 10 PERCENT * FROM [Alunos]");
    EXPECT_EQ(Rebuilt(Select({{3, 0x08 | 0x10, "3", "", ""}, {5, 0, "Alunos", "", ""}, {6, 0, "", "", "Nome"}})),
              "SELECT DISTINCTROW TOP 3 Nome FROM [Alunos]");
}

TEST(AccessQueriesTest, OnlySelectQueriesWithoutParametersAreKept) {
    const std::vector<AccessQueryRow> rows = {{5, 0, "Alunos", "", ""}, {6, 0, "", "", "Nome"}};
    EXPECT_EQ(Rebuilt(Select(rows, 48)), "refused: it is an update query; this engine keeps only select queries");
    EXPECT_EQ(Rebuilt(Select(rows, 128)), "refused: it is a union query; this engine keeps only select queries");
    EXPECT_EQ(Rebuilt(Select(rows, 80 | 0x8)),
              "refused: it is a make-table query; this engine keeps only select queries");
    std::vector<AccessQueryRow> withParameter = rows;
    withParameter.push_back({2, 4, "Desde", "", ""});
    EXPECT_EQ(Rebuilt(Select(withParameter)),
              "refused: it takes parameters, which a stored query of this engine cannot");
    std::vector<AccessQueryRow> remote = rows;
    remote.push_back({4, 0, "C:\\dados\\outro.mdb", "", ""});
    EXPECT_EQ(Rebuilt(Select(remote)), "refused: it reads another database");
}

// A Decimal as a row holds it: the sign byte, then the magnitude's four 32-bit words, most
// significant first, each little-endian.
std::string Decimal(bool negative, std::uint32_t w0, std::uint32_t w1, std::uint32_t w2, std::uint32_t w3, int scale) {
    unsigned char bytes[17] = {static_cast<unsigned char>(negative ? 0x80 : 0)};
    const std::uint32_t words[] = {w0, w1, w2, w3};
    for (int w = 0; w < 4; ++w)
        for (int b = 0; b < 4; ++b) bytes[1 + 4 * w + b] = static_cast<unsigned char>(words[w] >> (8 * b));
    return DecimalText(bytes, scale);
}

TEST(AccessValuesTest, DecimalsAreWrittenExactlyWithTheirScale) {
    EXPECT_EQ(Decimal(false, 0, 0, 0, 12345678, 4), "1234.5678");
    EXPECT_EQ(Decimal(true, 0, 0, 0, 125000, 4), "-12.5000");
    EXPECT_EQ(Decimal(false, 0, 0, 0, 1, 4), "0.0001");
    EXPECT_EQ(Decimal(true, 0, 0, 0, 0, 2), "0.00");
    EXPECT_EQ(Decimal(false, 0, 0, 0, 42, 0), "42");
    // 10^28 - 1, the largest magnitude of 28 digits: 0x204FCE5E_3E250261_0FFFFFFF.
    EXPECT_EQ(Decimal(false, 0, 0x204FCE5E, 0x3E250261, 0x0FFFFFFF, 0), "9999999999999999999999999999");
    EXPECT_EQ(Decimal(false, 0, 0x204FCE5E, 0x3E250261, 0x0FFFFFFF, 28), "0.9999999999999999999999999999");
}

}  // namespace
}  // namespace pavana::tools
