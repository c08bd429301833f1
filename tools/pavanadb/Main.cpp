// pavanadb: the engine's command-line tool. It creates databases, changes their password,
// runs statements of the Access/Jet dialect on them, printing query results in one stable,
// locale-independent text form (ValueText.h), and imports Access files (AccessImport.h).
// The help text below is its documentation.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AccessFile.h"
#include "AccessImport.h"
#include "StatementReader.h"
#include "ValueText.h"
#include "dao/DAODatabase.h"
#include "dao/DAOQuery.h"
#include "engine/ClassRegistry.h"
#include "engine/DBEngine.h"
#include "engine/EngineError.h"
#include "engine/dialect/Parser.h"
#include "engine/dialect/Translator.h"
#include "engine/sqlite/Translate.h"
#include "rtl/Encoding.h"

namespace pavana::tools {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* const kHelp = R"(Usage:
  pavanadb create FILE [--password PASSWORD | --password-file PATH]
  pavanadb password FILE OLD NEW
  pavanadb sql FILE [--password PASSWORD | --password-file PATH] [STATEMENT...]
  pavanadb queries FILE [--password PASSWORD | --password-file PATH]
  pavanadb import SOURCE.mdb|SOURCE.accdb TARGET [--password PASSWORD]
  pavanadb --help | --version

create    makes a new, empty database file, with a password when one is given. An
          existing file is never replaced.
password  changes the password of FILE from OLD to NEW; "" stands for no password (so
          `password FILE "" NEW` sets one and `password FILE OLD ""` removes it). The
          database must not be open elsewhere.
sql       opens FILE with PASSWORD (a database without a password opens with any) and runs
          each STATEMENT argument in turn, in the Access/Jet SQL dialect. Without STATEMENT
          arguments the statements are read from standard input: the lines of a statement
          are joined with one blank and the first line that contains a ";" ends it, as in
          an update script; text after the last ";" runs as a last statement.
queries   lists the queries kept in FILE (its views and procedures, imported queries
          among them), sorted by name: a header line "Name<tab>SQL", then one line per
          query with its name and its SQL text, written as the text values below.
import    makes the new database TARGET (with PASSWORD, when one is given) from an Access
          file: its user tables with their columns, keys, indexes and rows, its
          relationships, and its select queries as queries of the new database. The
          import works in a temporary file beside TARGET and renames it when every table
          is in; an existing TARGET is never replaced. A summary ends the import: tables,
          rows, indexes, relationships and queries carried, what was left out and why,
          and what was carried with a loss. docs/import.md says what is carried.

Each statement is committed as soon as it has run. An action statement (INSERT, UPDATE,
DELETE, SELECT ... INTO) prints "records affected: N"; a definition (CREATE, ALTER, DROP)
prints nothing; a query prints a header line with the column names and one line per row,
the values separated by one tab, every line ended by "\n". Values are written in one
locale-independent form:
  Null          NULL
  Yes/No        -1 or 0
  numbers       "." as the decimal point, no grouping; whole numbers without decimals,
                Single and Double in the shortest form that reads back to the same number
                (0.1, 2.5e-07, 1e+20), Currency with up to 4 decimals
  dates         yyyy-mm-dd hh:nn:ss (rounded to the second), or yyyy-mm-dd when the time
                is midnight
  binary        0x and two hex digits per byte
  text          as stored, with tab, line feed, carriage return and backslash written
                \t, \n, \r and \\ (column names too)

Statements themselves are evaluated as PavanaScript evaluates them, under the user's
regional settings taken from the locale (LC_NUMERIC, LC_MONETARY, LC_TIME): CStr(7.75),
'8,5' written into a Double column or a number written into a text column give the same
data through either program (docs/locale.md). Only the printed form above ignores them.

Without --password, the password is the first line of the file named by --password-file,
else the value of the environment variable PAVANA_PASSWORD when it is set: unlike an
argument, neither can be read by other local users through the process list. A password
cannot contain ";", which would end it in the connect text (";PWD=...").

The password is access control, not encryption: a SQLite reader can read the file.

Exit status: 0 when every statement succeeded; 1 when a command fails (the engine's
message is printed as "pavanadb: MESSAGE" on standard error and no later statement runs),
or when a table could not be imported (no TARGET is made then); 2 for a usage error.
)";

class UsageError {
public:
    explicit UsageError(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const { return message_; }

private:
    std::string message_;
};

// The arguments after the command: positional ones and the password of --password,
// --password-file or PAVANA_PASSWORD.
struct Arguments {
    std::vector<std::string> positional;
    std::optional<std::string> password;
};

// A password the connect text can carry; one holding ";" would be cut there.
const std::string& Carriable(const std::string& password) {
    if (password.find(';') != std::string::npos)
        throw UsageError("a password cannot contain \";\" (the connect text ;PWD=... would end there)");
    return password;
}

std::string ReadPasswordFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) throw Exception("Cannot read the password file " + path);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

Arguments Parse(const std::vector<std::string>& args, bool passwordAllowed) {
    Arguments out;
    std::optional<std::string> passwordFile;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && passwordAllowed && a == "--password") {
            if (i + 1 == args.size()) throw UsageError("--password needs a value");
            out.password = args[++i];
        } else if (options && passwordAllowed && a.rfind("--password=", 0) == 0) {
            out.password = a.substr(11);
        } else if (options && passwordAllowed && a == "--password-file") {
            if (i + 1 == args.size()) throw UsageError("--password-file needs a value");
            passwordFile = args[++i];
        } else if (options && passwordAllowed && a.rfind("--password-file=", 0) == 0) {
            passwordFile = a.substr(16);
        } else if (options && a.size() > 2 && a.rfind("--", 0) == 0) {
            throw UsageError("unknown option " + a);
        } else {
            out.positional.push_back(a);
        }
    }
    if (!passwordAllowed) {
        for (std::size_t i = 1; i < out.positional.size(); ++i) Carriable(out.positional[i]);
        return out;
    }
    if (!out.password && passwordFile) out.password = ReadPasswordFile(*passwordFile);
    if (!out.password) {
        if (const char* environment = std::getenv("PAVANA_PASSWORD")) out.password = environment;
    }
    if (out.password) Carriable(*out.password);
    return out;
}

std::string ConnectText(const std::optional<std::string>& password) {
    return password ? ";PWD=" + *password : std::string();
}

std::shared_ptr<engine::DBEngine> Engine() { return engine::ClassRegistry::Default().Create(engine::kDao36ClassId); }

int Create(const Arguments& a) {
    if (a.positional.size() != 1) throw UsageError("create needs exactly one FILE");
    Engine()->DefaultWorkspace()->CreateDatabase(a.positional[0], ConnectText(a.password))->Close();
    return 0;
}

int ChangePassword(const Arguments& a) {
    if (a.positional.size() != 3) throw UsageError("password needs FILE OLD NEW");
    auto db =
        Engine()->OpenDatabase(a.positional[0], Variant(true), Variant(false), Variant(";PWD=" + a.positional[1]));
    db->NewPassword(a.positional[1], a.positional[2]);
    db->Close();
    return 0;
}

// Query results are read the way a program using the DAO layer reads them: through a
// forward-only TDAOQuery and its field objects. The statement goes to the engine as written
// (no parameters or macros are taken from it). A column of a type that has no field object
// (binary, GUID, big integer) is read from the engine record the dataset stands on.
void PrintRows(TDAODatabase& connection, const std::string& statement) {
    TDAOQuery query(nullptr);
    query.SetDatabase(&connection);
    query.SetOpenType(TDAOQueryOpenType::db_OpenForwardOnly);
    query.SQL().SetText(statement);
    query.Params().Clear();
    query.Macros().Clear();
    query.Open();
    const TDAOFieldDescs& descs = query.FieldDescs();
    const TFieldDefs& defs = query.FieldDefs();
    std::vector<const TField*> fieldOfColumn(static_cast<std::size_t>(descs.Count()), nullptr);
    for (int i = 0; i < query.Fields().Count(); ++i) {
        const TField& field = query.Fields()[i];
        if (field.FieldNo() >= 1) fieldOfColumn[static_cast<std::size_t>(field.FieldNo() - 1)] = &field;
    }
    std::string line;
    for (int i = 0; i < defs.Count(); ++i) {
        if (i > 0) line += '\t';
        line += EscapedText(defs.Items(i).Name);
    }
    std::cout << line << '\n';
    for (; !query.Eof(); query.Next()) {
        line.clear();
        for (int i = 0; i < descs.Count(); ++i) {
            if (i > 0) line += '\t';
            const TField* field = fieldOfColumn[static_cast<std::size_t>(i)];
            // The dataset holds an amount as a double; the engine's field has every digit.
            if (field == nullptr || descs.Items(i).DAOType == engine::dbCurrency) {
                line += ValueText(query.Recordset()->GetFields()->Item(i)->Value());
                continue;
            }
            Variant value = field->Value();
            // A Single travels in the dataset as a double; it is printed in its own shortest form.
            if (descs.Items(i).DAOType == engine::dbSingle && !value.IsNull())
                value = Variant(static_cast<float>(value.ToDouble()));
            line += ValueText(value);
        }
        std::cout << line << '\n';
    }
    query.Close();
}

// The kind of statement; a text the dialect cannot read is run as an action, so that the
// engine reports its syntax error. EXECUTE has the kind of the procedure it runs; one the
// database does not have is run as an action, which reports it missing.
engine::dialect::StatementKind KindOf(engine::Database& db, const std::string& statement) {
    try {
        const engine::dialect::ast::Statement parsed = engine::dialect::Parse(statement);
        // A crosstab query is printed only once the engine has read its column values.
        if (parsed.crosstab) return engine::dialect::StatementKind::Query;
        if (parsed.procedure && parsed.procedure->action == engine::dialect::ast::Procedure::Action::Execute) {
            std::string procedure;
            try {
                procedure = db.GetQueryDefs()->Item(parsed.procedure->name)->SQL();
            } catch (const Exception&) {
                return engine::dialect::StatementKind::Action;
            }
            return KindOf(db, procedure);
        }
        return engine::sqlite::Translate(statement).kind;
    } catch (const engine::dialect::SyntaxError&) {
        return engine::dialect::StatementKind::Action;
    }
}

void Run(TDAODatabase& connection, const std::string& statement) {
    using engine::dialect::StatementKind;
    const StatementKind kind = KindOf(*connection.EngineDatabase(), statement);
    if (kind == StatementKind::Query) {
        PrintRows(connection, statement);
        return;
    }
    engine::Database& db = *connection.EngineDatabase();
    db.Execute(statement, Variant(engine::dbFailOnError));
    if (kind == StatementKind::Action) std::cout << "records affected: " << db.RecordsAffected() << '\n';
}

int Sql(const Arguments& a) {
    if (a.positional.empty()) throw UsageError("sql needs a FILE");
    std::vector<std::string> statements(a.positional.begin() + 1, a.positional.end());
    if (statements.empty()) {
        std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
        statements = CutStatements(DecodeTextFile(std::move(input)));
    }
    TDAODatabase connection(nullptr);
    connection.SetDAOVersion(TDAOVersion::Dao36);
    connection.SetDatabaseName(a.positional[0]);
    connection.SetPassword(a.password.value_or(std::string()));
    connection.Connect();
    for (const std::string& statement : statements) {
        Run(connection, statement);
        std::cout.flush();
    }
    connection.Disconnect();
    return 0;
}

int Queries(const Arguments& a) {
    if (a.positional.size() != 1) throw UsageError("queries needs exactly one FILE");
    auto db = Engine()->OpenDatabase(a.positional[0], Variant(false), Variant(true), Variant(ConnectText(a.password)));
    std::shared_ptr<engine::QueryDefs> queries = db->GetQueryDefs();
    std::cout << "Name\tSQL\n";
    const std::int32_t count = queries->Count();
    for (std::int32_t i = 0; i < count; ++i) {
        std::shared_ptr<engine::QueryDef> query = queries->Item(i);
        std::cout << EscapedText(query->Name()) << '\t' << EscapedText(query->SQL()) << '\n';
    }
    db->Close();
    return 0;
}

int Import(const Arguments& a) {
    if (a.positional.size() != 2) throw UsageError("import needs SOURCE and TARGET");
    ImportRequest request{a.positional[0], a.positional[1], a.password, isatty(STDERR_FILENO) != 0};
    return ImportAccess(request, std::cout, std::cerr);
}

int Main(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError("a command is needed");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::cout << kHelp;
        return 0;
    }
    if (command == "--version") {
        std::cout << "pavanadb " << PAVANA_VERSION << '\n';
        return 0;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "create") return Create(Parse(rest, true));
    if (command == "password") return ChangePassword(Parse(rest, false));
    if (command == "sql") return Sql(Parse(rest, true));
    if (command == "queries") return Queries(Parse(rest, true));
    if (command == "import") return Import(Parse(rest, true));
    throw UsageError("unknown command " + command);
}

}  // namespace
}  // namespace pavana::tools

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    try {
        return pavana::tools::Main(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const pavana::tools::UsageError& e) {
        std::cerr << "pavanadb: " << e.Message() << "\nTry 'pavanadb --help'.\n";
        return pavana::tools::kUsage;
    } catch (const pavana::Exception& e) {
        std::cout.flush();
        std::cerr << "pavanadb: " << e.Message() << '\n';
        return pavana::tools::kFailed;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "pavanadb: " << e.what() << '\n';
        return pavana::tools::kFailed;
    }
}
