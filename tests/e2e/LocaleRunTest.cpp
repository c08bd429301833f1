// The text an update script writes, run by the real PavanaScript under the users' Brazilian
// locale and under C.UTF-8: numbers and dates turned into text follow the locale's settings,
// Str and the literals of the script do not, and pavanadb evaluates a statement as
// PavanaScript does while printing its rows in its own locale-independent form.
#include <gtest/gtest.h>

#include <locale.h>

#include "RunFixture.h"

namespace pavana::e2e {
namespace {

const std::string kPassword = "qorvimband";

// One row per value the script writes into a text column, and text written into a Double.
const char* const kScript =
    "CREATE TABLE Saida (Id LONG PRIMARY KEY, Texto TEXT(60));\r\n"
    "CREATE TABLE Numeros (Id LONG PRIMARY KEY, Valor DOUBLE);\r\n"
    "INSERT INTO Saida VALUES (1, CStr(7.75));\r\n"
    "INSERT INTO Saida VALUES (2, Str(7.75));\r\n"
    "INSERT INTO Saida VALUES (3, Format(7.75, '0.00'));\r\n"
    "INSERT INTO Saida VALUES (4, Format(1234.5, '#,##0.00'));\r\n"
    "INSERT INTO Saida VALUES (5, CStr(CCur(1234.5)));\r\n"
    "INSERT INTO Saida VALUES (6, Format(#3/15/2024#, 'Short Date'));\r\n"
    "INSERT INTO Saida VALUES (7, CStr(#3/15/2024 2:30:00 PM#));\r\n"
    "INSERT INTO Saida VALUES (8, Format(0.5, 'Percent'));\r\n"
    "INSERT INTO Saida VALUES (9, 7.75);\r\n"
    "INSERT INTO Saida VALUES (10, Format(1234.5, 'Currency'));\r\n"
    "INSERT INTO Numeros VALUES (1, '8,5');\r\n"
    "INSERT INTO Numeros VALUES (2, 7.5);\r\n"
    "INSERT INTO Saida SELECT 10 + Id, 'Valor ' & Valor FROM Numeros;\r\n";

class LocaleRunTest : public RunFixture {
protected:
    // Runs the script under `locale` and answers what pavanadb, under the same locale, reads
    // back: the text rows, then the Double values, then a value pavanadb itself turns into text.
    std::string RunUnder(const std::string& locale) {
        options_.environment["LC_ALL"] = locale;
        const std::string db = Path("curriculo.db");
        ProcessResult created = RunProcess(PAVANADB_BIN, {"create", db, "--password", kPassword}, options_);
        EXPECT_EQ(created.exitCode, 0) << created.err;
        WriteFile(Path("script.sql"), kScript);
        ProcessResult run = RunProcess(PAVANASCRIPT_BIN, {"--console", db, Path("anim"), Path("script.sql")}, options_);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadFile(Path("script.log")), "");
        ProcessResult query = RunProcess(
            PAVANADB_BIN,
            {"sql", db, "--password", kPassword, "SELECT Id, Texto FROM Saida ORDER BY Id",
             "SELECT Id, Valor FROM Numeros ORDER BY Id", "SELECT CStr(Valor) AS Texto FROM Numeros WHERE Id = 2"},
            options_);
        EXPECT_EQ(query.exitCode, 0) << query.err;
        return query.out;
    }
};

TEST_F(LocaleRunTest, BrazilianLocaleWritesNumbersAndDatesAsItsUsersReadThem) {
    locale_t installed = newlocale(LC_ALL_MASK, "pt_BR.UTF-8", nullptr);
    ASSERT_NE(installed, nullptr) << "pt_BR.UTF-8 is not installed: scripts/install-deps.sh generates it";
    freelocale(installed);
    EXPECT_EQ(RunUnder("pt_BR.UTF-8"),
              "Id\tTexto\n"
              "1\t7,75\n"
              "2\t 7.75\n"
              "3\t7,75\n"
              "4\t1.234,50\n"
              "5\t1234,5\n"
              "6\t15/03/2024\n"
              "7\t15/03/2024 14:30:00\n"
              "8\t50,00%\n"
              "9\t7,75\n"
              "10\tR$ 1.234,50\n"
              "11\tValor 8,5\n"
              "12\tValor 7,5\n"
              "Id\tValor\n"
              "1\t8.5\n"
              "2\t7.5\n"
              "Texto\n"
              "7,5\n");
}

TEST_F(LocaleRunTest, CLocaleWritesTheUnitedStatesForms) {
    EXPECT_EQ(RunUnder("C.UTF-8"),
              "Id\tTexto\n"
              "1\t7.75\n"
              "2\t 7.75\n"
              "3\t7.75\n"
              "4\t1,234.50\n"
              "5\t1234.5\n"
              "6\t3/15/2024\n"
              "7\t3/15/2024 2:30:00 PM\n"
              "8\t50.00%\n"
              "9\t7.75\n"
              "10\t$1,234.50\n"
              "11\tValor 85\n"
              "12\tValor 7.5\n"
              "Id\tValor\n"
              "1\t85\n"
              "2\t7.5\n"
              "Texto\n"
              "7.5\n");
}

}  // namespace
}  // namespace pavana::e2e
