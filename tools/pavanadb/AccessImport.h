// `pavanadb import`: makes a new database of this engine from an Access file, with the same
// tables, columns, keys, indexes, relationships, select queries and values (docs/import.md).
//
// The schema is made by the engine itself, from Jet DDL statements, so its stored forms are
// the engine's own; the rows are then streamed, one at a time, into prepared INSERT
// statements in one transaction. Everything is done in a temporary file beside the target,
// which is renamed into place only when every table has been imported; an existing target is
// never replaced and a failed import leaves nothing behind.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace pavana::tools {

struct ImportRequest {
    std::string source;                   // the .mdb or .accdb file
    std::string target;                   // the database to make; must not exist
    std::optional<std::string> password;  // the new database's password
    bool progress = false;                // draw a progress bar on `progressOut`
};

// Runs the import and writes its summary to `out` (and the progress bar to `progressOut`).
// Returns 0 when the target was made with every table, 1 when some table could not be
// imported (no target is made then). A source that cannot be read or a target that exists
// raises AccessError (AccessFile.h) before anything is written.
int ImportAccess(const ImportRequest& request, std::ostream& out, std::ostream& progressOut);

}  // namespace pavana::tools
