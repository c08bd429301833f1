// Procedures: statements kept in the database under a name (CREATE PROCEDURE) and run by
// EXECUTE with values for their parameters. They live in the engine's table
// `pavana_procedures`, made when the first procedure is created (docs/storage.md).
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

// Creates or drops the procedure of `call`. A name that a table, a view or another procedure
// has already fails with 3010; dropping a procedure there is not fails with 3078.
void RunProcedureDefinition(DatabaseState& state, const dialect::ProcedureCall& call, const std::string& source);

// The statement kept as procedure `name` (any case); 3078 when there is none.
std::string ProcedureText(Connection& connection, const std::string& name, const std::string& source);

// The values an EXECUTE gives (`call.values`, a SQLite SELECT of constants), in order.
std::vector<Variant> ProcedureValues(Connection& connection, const dialect::ProcedureCall& call,
                                     const std::string& source);

}  // namespace pavana::engine::sqlite
