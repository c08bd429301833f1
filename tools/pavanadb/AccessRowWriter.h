// Writes the rows of an Access table into a table of this engine with the same columns,
// through one prepared INSERT on a SQLite connection to the database file. Each value is
// bound in the form the engine itself stores for its column type (docs/storage.md): a
// Date/Time as its day number, Yes/No as -1 or 0, a Currency as the engine binds an amount,
// text as UTF-8, binary values as blobs. Attachment and multi-valued columns are left out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AccessFile.h"
#include "engine/sqlite/Sqlite.h"

namespace pavana::tools {

class AccessRowWriter {
public:
    // Prepares the INSERT into `target` on `connection`, which must outlive the writer.
    AccessRowWriter(engine::sqlite::Connection& connection, const AccessTable& source, const std::string& target);

    // Inserts one row of `source`'s values; a refused row raises the SQLite failure.
    void Write(const std::vector<AccessValue>& row);

private:
    std::vector<AccessType> types_;     // the type of each carried column
    std::vector<std::size_t> carried_;  // the positions in a row of the carried columns
    engine::sqlite::Statement insert_;
};

}  // namespace pavana::tools
