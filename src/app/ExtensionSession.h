// The database object an extension library receives: the C API of include/pavana/extension.h
// over the engine's object model, for the length of one call.
//
// An `ExtensionSession` borrows the engine database and owns everything the library opens
// through the API (query definitions, recordsets), so that nothing outlives the call even
// when the library forgets to close it or stops in the middle. While a session lives it is
// the thread's current one: every API function checks that its database or handle belongs
// to it and answers PAVANA_MISUSE otherwise (another thread, a handle already closed, a call
// after the entry returned). No C++ exception ever crosses into the library: failures become
// statuses and the last error text.
#pragma once

#include <pavana/extension.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/DBEngine.h"

namespace pavana {

class ExtensionSession {
public:
    explicit ExtensionSession(std::shared_ptr<engine::Database> database);
    ~ExtensionSession();
    ExtensionSession(const ExtensionSession&) = delete;
    ExtensionSession& operator=(const ExtensionSession&) = delete;

    // The object handed to the library's entry.
    PavanaDatabase* Object() { return &object_.base; }

    // The text of the library's latest report_error, if it made one.
    const std::optional<std::string>& ReportedError() const { return reported_; }

    // Closes what the library left open and rolls back the transactions it began and did
    // not end; true when there were such transactions. A failure of the rollback raises the
    // engine's error.
    bool Finish();

    // The session of this thread, or nullptr outside a call.
    static ExtensionSession* Current();

    // For the API functions (ExtensionSession.cpp).
    struct DatabaseObject {
        PavanaDatabase base;  // first, so that the library's pointer is this object's
        ExtensionSession* session;
    };
    engine::Database& Engine() { return *database_; }
    PavanaQuery* Keep(std::unique_ptr<PavanaQuery> query);
    PavanaRecordset* Keep(std::unique_ptr<PavanaRecordset> recordset);
    bool Owns(PavanaQuery* query) const { return queries_.contains(query); }
    bool Owns(PavanaRecordset* recordset) const { return recordsets_.contains(recordset); }
    void Release(PavanaQuery* query);
    void Release(PavanaRecordset* recordset);
    void SetError(std::string text, std::int32_t number);
    void ClearError();
    const std::string& ErrorText() const { return errorText_; }
    std::int32_t ErrorNumber() const { return errorNumber_; }
    void Report(std::string message) { reported_ = std::move(message); }
    int& Transactions() { return transactions_; }

private:
    std::shared_ptr<engine::Database> database_;
    DatabaseObject object_;
    ExtensionSession* previous_;
    std::unordered_map<PavanaQuery*, std::unique_ptr<PavanaQuery>> queries_;
    std::unordered_map<PavanaRecordset*, std::unique_ptr<PavanaRecordset>> recordsets_;
    std::string errorText_;
    std::int32_t errorNumber_ = 0;
    std::optional<std::string> reported_;
    int transactions_ = 0;  // begun through the API and not yet ended
};

}  // namespace pavana
