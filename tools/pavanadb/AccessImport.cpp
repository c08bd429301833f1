#include "AccessImport.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <variant>
#include <vector>

#include "AccessFile.h"
#include "AccessQueries.h"
#include "AccessRowWriter.h"
#include "engine/ClassRegistry.h"
#include "engine/DBEngine.h"
#include "engine/dialect/CurrencyColumns.h"
#include "engine/dialect/Translator.h"
#include "engine/sqlite/Procedures.h"
#include "engine/sqlite/QuoteIdentifier.h"
#include "engine/sqlite/SchemaCache.h"
#include "engine/sqlite/Sqlite.h"
#include "engine/sqlite/Translate.h"

namespace pavana::tools {
namespace {

namespace fs = std::filesystem;
using engine::sqlite::Connection;
using engine::sqlite::Statement;

// A name in brackets, as the dialect takes it. Access allows no brackets in names: a name
// with one comes from a damaged file and is refused rather than written into a statement.
std::string Bracketed(const std::string& name) {
    if (name.empty() || name.find_first_of("[]") != std::string::npos)
        throw AccessError("the name '" + name + "' is not one Access allows");
    return "[" + name + "]";
}

// Whether `expression` is one expression: its parentheses close in order and no comma stands
// outside them, quoted text, bracketed names and date literals left aside. Anything else
// could close the column's definition and add to the statement.
bool IsOneExpression(const std::string& expression) {
    int depth = 0;
    char closing = 0;
    for (char ch : expression) {
        if (closing != 0) {
            if (ch == closing) closing = 0;
        } else if (ch == '\'' || ch == '"' || ch == '#') {
            closing = ch;
        } else if (ch == '[') {
            closing = ']';
        } else if (ch == '(') {
            ++depth;
        } else if (ch == ')') {
            if (--depth < 0) return false;
        } else if ((ch == ',' || ch == ';') && depth == 0) {
            return false;
        }
    }
    return depth == 0 && closing == 0;
}
std::string Quoted(const std::string& name) { return engine::sqlite::QuoteIdentifier(name); }

// The Jet type of an Access column in this engine's DDL; empty for a column it cannot hold.
std::string JetTypeOf(const AccessColumn& c) {
    switch (c.type) {
        case AccessType::YesNo: return "YESNO";
        case AccessType::Byte: return "BYTE";
        case AccessType::Integer: return "SHORT";
        case AccessType::Long: return c.autoNumber ? "COUNTER" : "LONG";
        case AccessType::Currency: return "CURRENCY";
        case AccessType::Single: return "SINGLE";
        case AccessType::Double: return "DOUBLE";
        case AccessType::DateTime: return "DATETIME";
        case AccessType::Binary: return "BINARY(" + std::to_string(c.size) + ")";
        case AccessType::Text: return "TEXT(" + std::to_string(c.size) + ")";
        case AccessType::OleObject: return "LONGBINARY";
        case AccessType::Memo: return "MEMO";
        case AccessType::Guid: return "GUID";
        case AccessType::Decimal: return "DECIMAL(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
        case AccessType::Complex:
        case AccessType::Other: return {};
    }
    return {};
}

// Access keeps a default as the expression typed in its table designer, sometimes with a
// leading "=". It is kept when the dialect reads it as a DEFAULT clause.
std::optional<std::string> DefaultClause(const AccessColumn& c, const std::string& type) {
    if (!c.defaultValue) return std::nullopt;
    std::string expression = *c.defaultValue;
    if (!expression.empty() && expression[0] == '=') expression.erase(0, 1);
    if (!IsOneExpression(expression)) return std::nullopt;
    try {
        engine::sqlite::Translate("CREATE TABLE t (c " + type + " DEFAULT " + expression + ")");
        return " DEFAULT " + expression;
    } catch (const Exception&) {
        return std::nullopt;
    }
}

std::string KeyList(const AccessTable& t, const AccessIndex& index, bool withOrder) {
    std::string list;
    for (const AccessIndex::Key& k : index.keys) {
        list += (list.empty() ? "" : ", ") + Bracketed(t.columns[static_cast<std::size_t>(k.column)].name);
        if (withOrder && k.descending) list += " DESC";
    }
    return "(" + list + ")";
}

std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names) list += (list.empty() ? "" : ", ") + Bracketed(n);
    return "(" + list + ")";
}

// What the summary reports.
struct Report {
    int tables = 0;
    int tablesImported = 0;
    std::int64_t rows = 0;
    int indexes = 0;
    int relationships = 0;
    int relationshipsImported = 0;
    int queries = 0;
    std::vector<std::string> queriesImported;
    std::vector<std::string> failures;  // tables that could not be imported
    std::vector<std::string> skipped;   // queries and relationships left out, with the reason
    std::vector<std::string> lossy;     // what was carried with less than the original held
};

// The temporary file the import works in, beside the target, removed with its companion
// files unless it was renamed into place.
class WorkFile {
public:
    explicit WorkFile(const std::string& target) {
        for (int attempt = 0;; ++attempt) {
            path_ = target + ".import-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
            std::error_code ec;
            if (!fs::exists(path_, ec) && !fs::exists(path_ + "-wal", ec)) break;
        }
    }
    ~WorkFile() {
        if (kept_) return;
        std::error_code ec;
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path_ + suffix, ec);
    }
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    const std::string& Path() const { return path_; }
    // Puts the file in place as `target` without ever replacing a file of that name (a
    // rename that refuses an existing name, or a hard link where the file system has no
    // such rename), then makes the new name durable.
    void MoveTo(const std::string& target) {
        if (renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno != EINVAL && errno != ENOSYS) Refuse(target);
            if (link(path_.c_str(), target.c_str()) != 0) Refuse(target);
            std::error_code ec;
            fs::remove(path_, ec);
        }
        kept_ = true;
        const fs::path folder = fs::absolute(target).parent_path();
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            fsync(fd);
            close(fd);
        }
    }

private:
    [[noreturn]] static void Refuse(const std::string& target) {
        if (errno == EEXIST) throw AccessError("'" + target + "' already exists; an import never replaces a file.");
        throw AccessError("Cannot create '" + target + "': " + std::strerror(errno) + ".");
    }

    std::string path_;
    bool kept_ = false;
};

// A progress bar on a terminal: the rows read of all the rows the tables declare.
class ProgressBar {
public:
    ProgressBar(std::ostream* out, std::int64_t total) : out_(out), total_(total > 0 ? total : 1) {}
    void Show(const std::string& table, std::int64_t done) {
        if (out_ == nullptr) return;
        const int percent = static_cast<int>(std::min<std::int64_t>(100, done * 100 / total_));
        if (percent == shown_ && table == table_) return;
        shown_ = percent;
        table_ = table;
        const int filled = percent * 30 / 100;
        *out_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(30 - filled), ' ') << "] " << percent << "% " << table << "\x1b[K"
              << std::flush;
    }
    void Done() {
        if (out_ != nullptr && shown_ >= 0) *out_ << "\r\x1b[K" << std::flush;
    }

private:
    std::ostream* out_;
    std::int64_t total_;
    int shown_ = -1;
    std::string table_;
};

class Importer {
public:
    Importer(const ImportRequest& request, AccessFile& source, std::ostream& out, std::ostream* progress)
        : request_(request), source_(source), out_(out), progress_(progress) {}

    int Run();

private:
    void MakeSchema(engine::Database& db);
    bool MakeTable(engine::Database& db, const AccessTable& t);
    // The column definitions and primary key of `t` in Jet DDL; what cannot be carried is
    // reported.
    std::string TableItems(const AccessTable& t);
    void MakeIndexes(engine::Database& db, const AccessTable& t);
    void MakeRelationships(engine::Database& db);
    void LoadRows(Connection& c, ProgressBar& bar);
    void LoadTable(Connection& c, const std::string& name, ProgressBar& bar, std::int64_t& done);
    void MakeQueries(Connection& c);
    void DropUnusableQueries(const std::string& path);
    void CheckRelationships(Connection& c);
    void PrintSummary(const std::string& made) const;
    std::string ConnectText() const { return request_.password ? ";PWD=" + *request_.password : std::string(); }

    const ImportRequest& request_;
    AccessFile& source_;
    std::ostream& out_;
    std::ostream* progress_;
    Report report_;
    std::vector<AccessTable> tables_;  // the tables whose schema was made
    std::vector<std::string> views_;   // the queries made as views
};

std::string Importer::TableItems(const AccessTable& t) {
    std::string items;
    const AccessIndex* primary = nullptr;
    for (const AccessIndex& index : t.indexes)
        if (index.primaryKey) primary = &index;
    for (const AccessColumn& c : t.columns) {
        const std::string type = JetTypeOf(c);
        if (type.empty()) {
            report_.lossy.push_back(
                "column " + t.name + "." + c.name +
                (c.type == AccessType::Complex
                     ? " left out: an attachment or multi-valued field has no counterpart here"
                     : " left out: its type (" + std::to_string(c.typeCode) + ") has no counterpart here"));
            continue;
        }
        std::string item = Bracketed(c.name) + " " + type;
        if (c.required) item += " NOT NULL";
        if (c.defaultValue && !c.autoNumber) {
            if (auto clause = DefaultClause(c, type)) item += *clause;
            else
                report_.lossy.push_back("default of " + t.name + "." + c.name + " (" + *c.defaultValue +
                                        ") left out: not a constant this engine reads");
        }
        if (c.validationRule)
            report_.lossy.push_back("validation rule of " + t.name + "." + c.name + " (" + *c.validationRule +
                                    ") left out: this engine keeps no validation rules");
        if (c.guidAutoNumber)
            report_.lossy.push_back("column " + t.name + "." + c.name +
                                    " is a GUID that new rows do not fill in (Replication ID AutoNumber)");
        items += (items.empty() ? "" : ", ") + item;
    }
    if (t.validationRule)
        report_.lossy.push_back("validation rule of " + t.name + " (" + *t.validationRule +
                                ") left out: this engine keeps no validation rules");
    if (primary != nullptr) {
        items += ", CONSTRAINT " + Bracketed(primary->name) + " PRIMARY KEY " + KeyList(t, *primary, false);
        for (const AccessIndex::Key& k : primary->keys)
            if (k.descending) {
                report_.lossy.push_back("primary key " + t.name + "." + primary->name + " kept in ascending order");
                break;
            }
    }
    return items;
}

bool Importer::MakeTable(engine::Database& db, const AccessTable& t) {
    try {
        db.Execute("CREATE TABLE " + Bracketed(t.name) + " (" + TableItems(t) + ")", Variant(engine::dbFailOnError));
        return true;
    } catch (const Exception& e) {
        report_.failures.push_back(t.name + ": its table could not be made: " + e.Message());
        return false;
    }
}

void Importer::MakeIndexes(engine::Database& db, const AccessTable& t) {
    for (const AccessIndex& index : t.indexes) {
        if (index.primaryKey) {
            ++report_.indexes;
            continue;
        }
        try {
            std::string sql = std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " +
                              Bracketed(index.name) + " ON " + Bracketed(t.name) + " " + KeyList(t, index, true);
            if (index.required) sql += " WITH DISALLOW NULL";
            else if (index.ignoreNulls) sql += " WITH IGNORE NULL";
            db.Execute(sql, Variant(engine::dbFailOnError));
            ++report_.indexes;
        } catch (const Exception& e) {
            report_.failures.push_back(t.name + ": its index " + index.name + " could not be made: " + e.Message());
        }
    }
}

void Importer::MakeRelationships(engine::Database& db) {
    auto imported = [&](const std::string& name) {
        return std::any_of(tables_.begin(), tables_.end(), [&](const AccessTable& t) { return t.name == name; });
    };
    for (const AccessRelationship& r : source_.Relationships()) {
        if (!imported(r.table) || !imported(r.referencedTable)) continue;  // between system tables
        ++report_.relationships;
        if (!r.enforced) {
            report_.skipped.push_back("relationship " + r.name + " (" + r.table + " to " + r.referencedTable +
                                      "): Access did not enforce it, so it is no rule of the data");
            continue;
        }
        std::string rules;
        if (r.cascadeUpdates) rules += " ON UPDATE CASCADE";
        if (r.cascadeDeletes) rules += " ON DELETE CASCADE";
        else if (r.deletesSetNull) rules += " ON DELETE SET NULL";
        try {
            db.Execute("ALTER TABLE " + Bracketed(r.table) + " ADD CONSTRAINT " + Bracketed(r.name) + " FOREIGN KEY " +
                           NameList(r.columns) + " REFERENCES " + Bracketed(r.referencedTable) + " " +
                           NameList(r.referencedColumns) + rules,
                       Variant(engine::dbFailOnError));
            ++report_.relationshipsImported;
        } catch (const Exception& e) {
            report_.skipped.push_back("relationship " + r.name + " (" + r.table + " to " + r.referencedTable +
                                      "): " + e.Message());
        }
    }
}

void Importer::MakeSchema(engine::Database& db) {
    for (const std::string& name : source_.TableNames()) {
        ++report_.tables;
        AccessFile::Rows reader(source_, name);
        if (MakeTable(db, reader.Table())) tables_.push_back(reader.Table());
    }
    for (const std::string& name : source_.LinkedTableNames())
        report_.skipped.push_back("linked table " + name + ": its rows live in another file");
    // A relationship needs the unique key it refers to.
    for (const AccessTable& t : tables_) MakeIndexes(db, t);
    MakeRelationships(db);
}

void Importer::LoadTable(Connection& c, const std::string& name, ProgressBar& bar, std::int64_t& done) {
    AccessFile::Rows reader(source_, name);
    const AccessTable& t = reader.Table();
    c.Exec("SAVEPOINT import_table");
    std::int64_t rows = 0;
    try {
        AccessRowWriter writer(c, t, t.name);
        while (reader.Next()) {
            writer.Write(reader.Values());
            ++rows;
            bar.Show(t.name, ++done);
        }
    } catch (const Exception& e) {
        c.Exec("ROLLBACK TO import_table");
        c.Exec("RELEASE import_table");
        report_.failures.push_back(t.name + ": row " + std::to_string(rows + 1) +
                                   " could not be imported: " + e.Message());
        return;
    }
    c.Exec("RELEASE import_table");
    report_.rows += rows;
    ++report_.tablesImported;
}

void Importer::LoadRows(Connection& c, ProgressBar& bar) {
    std::int64_t done = 0;
    Statement allowZeroLength(c,
                              "UPDATE pavana_columns SET allow_zero_length = -1 WHERE table_name = "
                              "?1 AND column_name = ?2");
    for (const AccessTable& t : tables_) {
        for (const AccessColumn& col : t.columns) {
            if (!col.allowZeroLength || (col.type != AccessType::Text && col.type != AccessType::Memo)) continue;
            sqlite3_bind_text(allowZeroLength.Handle(), 1, t.name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(allowZeroLength.Handle(), 2, col.name.c_str(), -1, SQLITE_TRANSIENT);
            allowZeroLength.Step();
            allowZeroLength.Reset();
        }
        LoadTable(c, t.name, bar, done);
    }
}

void Importer::MakeQueries(Connection& c) {
    for (const AccessQuery& query : source_.Queries()) {
        ++report_.queries;
        auto statement = SelectStatementOf(query);
        if (auto* refusal = std::get_if<QueryRefusal>(&statement)) {
            report_.skipped.push_back("query " + query.name + ": " + refusal->reason);
            continue;
        }
        const std::string& jet = std::get<std::string>(statement);
        try {
            // Currency columns are read as the tables hold them: scaled amounts.
            engine::sqlite::SchemaCache cache;
            engine::sqlite::CachedSchema schema(cache, c.Handle());
            const engine::dialect::Translation translation =
                engine::sqlite::Translate(jet, {}, [&schema](engine::dialect::ast::Statement& s) {
                    engine::dialect::MarkScaledCurrency(s, schema, true);
                });
            if (translation.kind != engine::dialect::StatementKind::Query || !translation.parameters.empty())
                throw AccessError("it is not a plain select query");
            Statement view(c, ("CREATE VIEW " + Quoted(query.name) + " AS " + translation.sql).c_str());
            view.Step();
            engine::sqlite::KeepViewText(c, query.name, jet);
            views_.push_back(query.name);
        } catch (const Exception& e) {
            report_.skipped.push_back("query " + query.name + ": " + e.Message() + " (" + jet + ")");
        }
    }
}

// A view is kept only when the engine can open it: its names must exist and its functions
// be the engine's.
void Importer::DropUnusableQueries(const std::string& path) {
    std::vector<std::string> unusable;
    {
        auto db = engine::ClassRegistry::Default()
                      .Create(engine::kDao36ClassId)
                      ->OpenDatabase(path, Variant(true), Variant(false), Variant(ConnectText()));
        for (const std::string& view : views_) {
            try {
                db->OpenRecordset("SELECT * FROM " + Bracketed(view), Variant(engine::dbOpenForwardOnly))->Close();
                report_.queriesImported.push_back(view);
            } catch (const Exception& e) {
                unusable.push_back(view);
                report_.skipped.push_back("query " + view + ": " + e.Message());
            }
        }
        db->Close();
    }
    if (unusable.empty()) return;
    Connection c(path, SQLITE_OPEN_READWRITE);
    for (const std::string& view : unusable) {
        c.Exec(("DROP VIEW " + Quoted(view)).c_str());
        engine::sqlite::ForgetViewText(c, view);
    }
}

// Access checked the rows of enforced relationships as they were written; the import writes
// them without the checks, table after table, and checks them all at the end.
void Importer::CheckRelationships(Connection& c) {
    try {
        Statement check(c, "PRAGMA foreign_key_check");
        if (!check.Step()) return;
        const auto* table = reinterpret_cast<const char*>(sqlite3_column_text(check.Handle(), 0));
        const auto* parent = reinterpret_cast<const char*>(sqlite3_column_text(check.Handle(), 2));
        report_.failures.push_back(std::string(table ? table : "") + ": a row refers to a record missing from " +
                                   (parent ? parent : "") + ", which its relationship requires");
    } catch (const Exception& e) {
        report_.failures.push_back("the relationships could not be checked: " + e.Message());
    }
}

void Importer::PrintSummary(const std::string& made) const {
    out_ << "Imported from " << request_.source << " (" << source_.FormatName() << ")";
    out_ << (made.empty() ? ": no database was made.\n" : " into " + made + ".\n");
    out_ << "  tables:        " << report_.tablesImported << " of " << report_.tables << ", " << report_.rows
         << " rows\n";
    out_ << "  indexes:       " << report_.indexes << "\n";
    out_ << "  relationships: " << report_.relationshipsImported << " of " << report_.relationships << "\n";
    out_ << "  queries:       " << report_.queriesImported.size() << " of " << report_.queries << "\n";
    auto list = [&](const char* title, const std::vector<std::string>& lines) {
        if (lines.empty()) return;
        out_ << title << "\n";
        for (const std::string& line : lines) out_ << "  " << line << "\n";
    };
    list("Not imported:", report_.failures);
    list("Left out:", report_.skipped);
    list("Carried with a loss:", report_.lossy);
}

int Importer::Run() {
    WorkFile work(request_.target);
    {
        auto db = engine::ClassRegistry::Default()
                      .Create(engine::kDao36ClassId)
                      ->DefaultWorkspace()
                      ->CreateDatabase(work.Path(), ConnectText());
        MakeSchema(*db);
        db->Close();
    }
    {
        std::int64_t total = 0;
        for (const AccessTable& t : tables_) total += t.rowCount;
        ProgressBar bar(progress_, total);
        Connection c(work.Path(), SQLITE_OPEN_READWRITE);
        c.Exec("BEGIN");
        LoadRows(c, bar);
        MakeQueries(c);
        CheckRelationships(c);
        c.Exec("COMMIT");
        bar.Done();
    }
    if (!views_.empty()) DropUnusableQueries(work.Path());
    if (!report_.failures.empty()) {
        PrintSummary({});
        return 1;
    }
    work.MoveTo(request_.target);
    PrintSummary(request_.target);
    return 0;
}

}  // namespace

int ImportAccess(const ImportRequest& request, std::ostream& out, std::ostream& progressOut) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(request.target, ec)))
        throw AccessError("'" + request.target + "' already exists; an import never replaces a file.");
    AccessFile source(request.source);
    Importer importer(request, source, out, request.progress ? &progressOut : nullptr);
    return importer.Run();
}

}  // namespace pavana::tools
