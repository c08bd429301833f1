// The SQL text of a saved Access query, rebuilt from its rows in MSysQueries.
//
// Access keeps a query not as text but as pieces: its kind, its tables and their aliases,
// its output columns, its joins with their conditions and kinds, WHERE, GROUP BY, HAVING and
// ORDER BY expressions, DISTINCT and TOP. Only a select query without parameters can become
// a query of this engine's database (a view); every other kind is refused with the reason.
#pragma once

#include <string>
#include <variant>

#include "AccessFile.h"

namespace pavana::tools {

struct QueryRefusal {
    std::string reason;
};

// The select statement of `query` in the Access/Jet dialect, or why it cannot be kept.
std::variant<std::string, QueryRefusal> SelectStatementOf(const AccessQuery& query);

}  // namespace pavana::tools
