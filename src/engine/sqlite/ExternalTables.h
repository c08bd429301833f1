// The tables of other databases a statement reads (FROM t IN 'file', [;DATABASE=file].t).
//
// Each table is copied, with its columns' declared types, into a table of the connection's
// temporary schema for the statement, and the copy is dropped when the statement ends. Nothing
// of the other database stays open or attached, also inside a transaction (where SQLite could
// not detach a database the transaction has read).
#pragma once

#include <string>
#include <vector>

#include "engine/dialect/Translator.h"
#include "engine/sqlite/Sqlite.h"
#include "engine/sqlite/StoreConversion.h"

namespace pavana::engine::sqlite {

class ExternalCopies {
public:
    // Copies `tables`. A file that is not there fails with 3024 "Could not find file '...'.";
    // an Access file with a message that says to import it with `pavanadb import`; a file that
    // is no database of this engine with 3343; a table the file does not have with 3078.
    // Currency amounts are copied in the form `currency` says this database holds them, whatever
    // form the other file holds them in.
    ExternalCopies(Connection& connection, CurrencyStorage currency, const std::vector<dialect::ExternalTable>& tables,
                   const std::string& source);
    ~ExternalCopies();
    ExternalCopies(const ExternalCopies&) = delete;
    ExternalCopies& operator=(const ExternalCopies&) = delete;

private:
    void Copy(Connection& other, const dialect::ExternalTable& table, const std::string& source);

    Connection& connection_;
    CurrencyStorage currency_;
    std::vector<std::string> copies_;
};

}  // namespace pavana::engine::sqlite
