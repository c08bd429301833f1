// Counting the names of a statement that are neither columns nor parameters, which Jet
// reports as parameters without values ("Too few parameters. Expected 2.").
#pragma once

#include <sqlite3.h>

#include <string>

namespace pavana::engine::sqlite {

// The number of distinct names (compared without regard to case) that `sql`, the printed
// SQLite text of a statement, names but SQLite does not know: `first` is the one its failed
// preparation reported ("Alunos.Nme" or "Nme", as SQLite words it). SQLite reports one name
// at a time, so the text is prepared again with each reported name read as Null until it
// prepares or fails for another reason; only the count is kept, never the changed text.
// At least 1.
int CountUnknownNames(sqlite3* db, std::string sql, const std::string& first);

}  // namespace pavana::engine::sqlite
