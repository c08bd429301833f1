// Procedures: statements kept in the database under a name (CREATE PROCEDURE) and run by
// EXECUTE with values for their parameters. They live in the engine's table
// `pavana_procedures`, made when the first procedure is created (docs/storage.md).
// Views are SQLite views; the SELECT each was created with is kept in `pavana_views`, made
// when the first view is created, so that the database's queries can be listed as written.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/dialect/Translator.h"
#include "engine/sqlite/Sqlite.h"
#include "rtl/Variant.h"

namespace pavana::engine::sqlite {

struct DatabaseState;

inline constexpr const char* kProceduresTable = "pavana_procedures";
inline constexpr const char* kViewsTable = "pavana_views";

// A query kept in the database: a view or a procedure, with its Jet text.
struct KeptQuery {
    std::string name;
    std::string sql;
};

// Creates or drops the procedure of `call`. A name that a table, a view or another procedure
// has already fails with 3010; dropping a procedure there is not fails with 3078.
void RunProcedureDefinition(DatabaseState& state, const dialect::ProcedureCall& call, const std::string& source);

// The statement kept as procedure `name` (any case); 3078 when there is none.
std::string ProcedureText(Connection& connection, const std::string& name, const std::string& source);

// The values an EXECUTE gives (`call.values`, a SQLite SELECT of constants), in order.
std::vector<Variant> ProcedureValues(Connection& connection, const dialect::ProcedureCall& call,
                                     const std::string& source);

// Keeps (replacing any earlier) or forgets the SELECT that view `name` was created with. The
// caller lets the engine write its metadata (MetadataWrites).
void KeepViewText(Connection& connection, const std::string& name, const std::string& text);
void ForgetViewText(Connection& connection, const std::string& name);

// The views and procedures of the database, sorted by name without regard to case. A view
// whose SELECT was not kept (one made by an earlier build, or one that names its own columns)
// reads as `SELECT * FROM [name]`, which gives the same rows and columns.
std::vector<KeptQuery> KeptQueries(Connection& connection);

}  // namespace pavana::engine::sqlite
