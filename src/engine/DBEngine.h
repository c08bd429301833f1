// The engine object model: DBEngine, Workspace, Database, QueryDef, Parameters, Recordset,
// Fields and Properties, with the members the DAO layer and extension libraries call.
//
// These are interfaces; an engine (src/engine/sqlite/) implements them and the engine class
// registry (ClassRegistry.h) creates its DBEngine. Every object is reference counted: each
// holder keeps a std::shared_ptr, and an object stays usable as long as someone holds it
// (a Recordset keeps its Database's connection alive, a Field its Recordset).
//
// Text is UTF-8. Optional arguments are variants; an argument that is Empty, Null or
// missing (Variant::Missing()) takes the engine's default. Every failure raises
// EOleException with the engine's English message and the status 0x800A0000 + the engine's
// error number (EngineError.h); nothing is retried.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Constants.h"
#include "rtl/Variant.h"

namespace pavana::engine {

class Workspace;
class Database;
class QueryDef;
class Recordset;

// A named value attached to an object ("AllowZeroLength" of a field, ...).
class Property {
public:
    virtual ~Property() = default;
    virtual std::string Name() const = 0;
    virtual Variant Value() const = 0;
    // Fails with 3032 "Cannot perform this operation." for a read-only property.
    virtual void SetValue(const Variant& value) = 0;
};

class Properties {
public:
    virtual ~Properties() = default;
    virtual std::int32_t Count() const = 0;
    // By 0-based position, or by name (case-insensitive); an unknown one fails with
    // 3270 "Property not found." (a position out of range with 3265 "Item not found in this
    // collection.").
    virtual std::shared_ptr<Property> Item(std::int32_t index) const = 0;
    virtual std::shared_ptr<Property> Item(const std::string& name) const = 0;
};

// One column of a recordset.
class Field {
public:
    virtual ~Field() = default;
    virtual std::string Name() const = 0;
    virtual std::int32_t Type() const = 0;        // DataTypeEnum
    virtual std::int32_t Size() const = 0;        // characters for dbText, bytes otherwise
    virtual std::int32_t Attributes() const = 0;  // FieldAttributeEnum bits
    virtual Variant DefaultValue() const = 0;     // the default's text, Empty when none
    // The value of the recordset's current record; fails with 3021 "No current record."
    // when the recordset stands before the first or after the last record.
    virtual Variant Value() const = 0;
    // Sets the value in the record being edited or added (fails with 3020 "Update or
    // CancelUpdate without AddNew or Edit." when none is).
    virtual void SetValue(const Variant& value) = 0;
    // As SetValue, taking over `value`'s contents where the field keeps them as they are (a
    // long binary value is then not copied); `value` is left unspecified.
    virtual void MoveValue(Variant&& value) { SetValue(value); }
    virtual std::shared_ptr<Properties> GetProperties() const = 0;
};

class Fields {
public:
    virtual ~Fields() = default;
    virtual std::int32_t Count() const = 0;
    // By 0-based position or by name (case-insensitive); 3265 "Item not found in this
    // collection." otherwise. The order is the same at every call while the recordset lives.
    virtual std::shared_ptr<Field> Item(std::int32_t index) const = 0;
    virtual std::shared_ptr<Field> Item(const std::string& name) const = 0;
};

// A parameter of a query definition, declared in its PARAMETERS clause.
class Parameter {
public:
    virtual ~Parameter() = default;
    virtual std::string Name() const = 0;
    virtual std::int32_t Type() const = 0;  // DataTypeEnum of the declared type word
    virtual Variant Value() const = 0;      // Empty until set
    // Text is converted to the declared type with the current format settings (a text that
    // does not convert fails with 3421 "Data type conversion error.");
    // Null and values of other types are kept and converted when the statement runs.
    virtual void SetValue(const Variant& value) = 0;
};

class Parameters {
public:
    virtual ~Parameters() = default;
    virtual std::int32_t Count() const = 0;
    // Position i is the i-th name of the PARAMETERS clause; by name is case-insensitive.
    virtual std::shared_ptr<Parameter> Item(std::int32_t index) const = 0;
    virtual std::shared_ptr<Parameter> Item(const std::string& name) const = 0;
};

// A cursor over the rows of a query or table.
class Recordset {
public:
    virtual ~Recordset() = default;

    virtual std::string Name() const = 0;   // the source text it was opened on
    virtual std::int32_t Type() const = 0;  // RecordsetTypeEnum
    // BOF and EOF (EOF is a C macro, hence the names).
    virtual bool IsBOF() const = 0;
    virtual bool IsEOF() const = 0;
    virtual bool Updatable() const = 0;
    // Records reached so far (all of them after MoveLast), as DAO counts them.
    virtual std::int32_t RecordCount() const = 0;

    virtual void MoveFirst() = 0;
    virtual void MoveLast(std::int32_t options = 0) = 0;
    virtual void MoveNext() = 0;
    virtual void MovePrevious() = 0;

    // The current record's bookmark, a byte array of at least 4 bytes; setting one makes
    // its record current (3159 "Not a valid bookmark." for anything else).
    virtual Variant Bookmark() const = 0;
    // The first 4 bytes of Bookmark() as a little-endian signed integer, with the same
    // failures; an engine that can tell it without building the array overrides this.
    virtual std::int32_t BookmarkKey() const {
        const Variant bookmark = Bookmark();
        const std::vector<std::uint8_t>& b = bookmark.Bytes();
        std::uint32_t key = 0;
        for (std::size_t i = 0; i < 4 && i < b.size(); ++i) key |= static_cast<std::uint32_t>(b[i]) << (8 * i);
        return static_cast<std::int32_t>(key);
    }
    // BookmarkKey() of the current record, or 0 when the cursor stands before the first or
    // after the last record: in one call what IsBOF, IsEOF and BookmarkKey tell.
    virtual std::int32_t PositionKey() const { return IsBOF() || IsEOF() ? 0 : BookmarkKey(); }
    // The value of field `index` (by position, as GetFields) of the current record when
    // PositionKey() is `positionKey`; nothing, with no field read, when the cursor stands
    // elsewhere. One call where a reader would otherwise ask PositionKey and then Value.
    virtual std::optional<Variant> ValueAtPosition(std::int32_t positionKey, std::int32_t index) const {
        if (PositionKey() != positionKey) return std::nullopt;
        return GetFields()->Item(index)->Value();
    }
    virtual void SetBookmark(const Variant& bookmark) = 0;
    virtual Variant LastModified() const = 0;

    virtual std::shared_ptr<Fields> GetFields() const = 0;

    // Changing records.
    virtual std::int32_t EditMode() const = 0;  // EditModeEnum
    virtual void AddNew() = 0;
    virtual void Edit() = 0;
    virtual void Update(std::int32_t type = dbUpdateRegular, bool force = false) = 0;
    virtual void CancelUpdate(std::int32_t type = dbUpdateRegular) = 0;
    virtual void Delete() = 0;

    // Filter and sort apply to recordsets opened from this one with OpenRecordset.
    virtual std::string Filter() const = 0;
    virtual void SetFilter(const std::string& filter) = 0;
    virtual std::string Sort() const = 0;
    virtual void SetSort(const std::string& sort) = 0;
    virtual std::shared_ptr<Recordset> OpenRecordset(const Variant& type = {}, const Variant& options = {}) = 0;

    // Searching: FindFirst makes the first record that meets the criteria current and sets
    // NoMatch false, or sets NoMatch true.
    virtual void FindFirst(const std::string& criteria) = 0;
    virtual bool NoMatch() const = 0;

    virtual void Close() = 0;
};

// A query definition. One created with an empty name is temporary: never kept in the file.
class QueryDef {
public:
    virtual ~QueryDef() = default;
    virtual std::string Name() const = 0;
    virtual std::string SQL() const = 0;
    virtual std::shared_ptr<Parameters> GetParameters() const = 0;
    // Runs the action statement. Each run is atomic (all or nothing) and committed when
    // Execute returns. With dbFailOnError any failure fails the call; without it, rows that
    // cannot be changed are left alone and the call still fails on errors of the statement
    // as a whole. A query that returns rows fails with 3065 "Cannot execute a select query.".
    virtual void Execute(const Variant& options = {}) = 0;
    // Records changed by the last successful Execute (0 before the first).
    virtual std::int32_t RecordsAffected() const = 0;
    virtual std::shared_ptr<Recordset> OpenRecordset(const Variant& type = {}, const Variant& options = {},
                                                     const Variant& lockEdit = {}) = 0;
    virtual void Close() = 0;
};

// The queries kept in a database: its views and its procedures, sorted by name without regard
// to case. Each item is read when it is asked for, so the collection follows the statements
// that create and drop queries. A view's SQL is the SELECT it was created with; a procedure's
// is its statement, its parameters written as a PARAMETERS clause in front.
class QueryDefs {
public:
    virtual ~QueryDefs() = default;
    virtual std::int32_t Count() const = 0;
    // By 0-based position or by name (case-insensitive); 3265 "Item not found in this
    // collection." otherwise.
    virtual std::shared_ptr<QueryDef> Item(std::int32_t index) const = 0;
    virtual std::shared_ptr<QueryDef> Item(const std::string& name) const = 0;
};

// An open database file.
class Database {
public:
    virtual ~Database() = default;
    virtual std::string Name() const = 0;     // the path it was opened with
    virtual std::string Connect() const = 0;  // the connect text it was opened with
    virtual bool Updatable() const = 0;       // false when opened read-only
    virtual std::shared_ptr<QueryDef> CreateQueryDef(const std::string& name = {}, const std::string& sql = {}) = 0;
    virtual std::shared_ptr<QueryDefs> GetQueryDefs() = 0;
    // Runs one action statement, as QueryDef.Execute does.
    virtual void Execute(const std::string& sql, const Variant& options = {}) = 0;
    virtual std::int32_t RecordsAffected() const = 0;
    // `source` is a table name or a query.
    virtual std::shared_ptr<Recordset> OpenRecordset(const std::string& source, const Variant& type = {},
                                                     const Variant& options = {}, const Variant& lockEdit = {}) = 0;
    // Sets, changes or removes (an empty `newPassword`) the database password. The database
    // must be open exclusively (3621 "Cannot change password on a shared open database."),
    // `oldPassword` must be the current one, empty when there is none (3031 "Not a valid
    // password."). A password cannot contain ";" (3031), since the connect text could not
    // carry it.
    virtual void NewPassword(const std::string& oldPassword, const std::string& newPassword) = 0;
    // Transactions on this database. BeginTrans starts one, nested in the one open (at most
    // five deep: 3003 "Could not start transaction; too many transactions already nested.");
    // CommitTrans keeps the work of the innermost one, which reaches the file when the
    // outermost commits; Rollback undoes it. Statements run inside a transaction are still
    // atomic each, but are committed or undone with it. CommitTrans and Rollback without a
    // transaction fail with 3034 "You tried to commit or rollback a transaction without first
    // beginning a transaction.". Closing the database undoes what is still open.
    virtual void BeginTrans() = 0;
    virtual void CommitTrans() = 0;
    virtual void Rollback() = 0;
    // Closes the file; objects opened on it fail afterwards with 3420 "Object invalid or no
    // longer set.". Closing a closed database does nothing. When the changes saved in the
    // write-ahead log cannot be written back into the file (a full disk), the database is
    // closed all the same and 3043 says so, naming the log file that holds them.
    virtual void Close() = 0;

    // For runs of many statements (an update script).
    //
    // Whether the file at the path the database was opened with is still the one open; one
    // stat of the path. When it is not (moved, deleted or replaced), the connection is first
    // made harmless: what is open is rolled back, the write-ahead log is written back into
    // the file that is open and emptied, and the database is closed, so nothing left beside
    // the path can change another file.
    virtual bool StillAtPath() = 0;
    // What a quick check of the file's structure finds wrong; empty when it is sound.
    virtual std::vector<std::string> QuickCheck() = 0;
    // One transaction around many steps. BeginBatch takes the write lock at once (waiting for
    // it as statements do, Activity.h); MarkStep opens a savepoint for one step, EndStep keeps
    // or undoes it; EndBatch commits or rolls back everything. Statements and BeginTrans nest
    // inside as usual, and the batch does not count among BeginTrans's five levels. EndStep
    // and EndBatch(true) fail with 3034 when the engine has already rolled the batch back.
    virtual void BeginBatch() = 0;
    virtual void MarkStep() = 0;
    virtual void EndStep(bool keep) = 0;
    virtual void EndBatch(bool commit) = 0;
};

// A session of one user in which databases are opened.
class Workspace {
public:
    virtual ~Workspace() = default;
    virtual std::string Name() const = 0;
    virtual std::string UserName() const = 0;
    virtual std::int32_t Type() const = 0;  // WorkspaceTypeEnum
    // Opens an existing database file; never creates one.
    //   options   Boolean: open exclusively (other processes cannot open it meanwhile)
    //   readOnly  Boolean: open for reading only
    //   connect   ";PWD=<password>" (other parts of the text are ignored); a database
    //             without a password opens with any password; one with a password needs
    //             exactly it, case-sensitive.
    // Fails with 3024 "Could not find file '<path>'.", 3343 "Unrecognized database format
    // '<path>'.", 3031 "Not a valid password.", 3045 "Could not use '<path>'; file already in
    // use." (locked by another process), 3051 for a file the process may not open.
    virtual std::shared_ptr<Database> OpenDatabase(const std::string& path, const Variant& options = {},
                                                   const Variant& readOnly = {}, const Variant& connect = {}) = 0;
    // Creates a new, empty database file and opens it exclusively; `connect` may carry
    // ";PWD=<password>" to give it a password. An existing file is never replaced: it fails
    // with 3204 "Database already exists.".
    virtual std::shared_ptr<Database> CreateDatabase(const std::string& path, const std::string& connect = {}) = 0;
    // Transactions on every database open in this workspace, as Database's members say
    // (the workspace's own nesting is checked: 3034 without a transaction of its own).
    virtual void BeginTrans() = 0;
    virtual void CommitTrans() = 0;
    virtual void Rollback() = 0;
    // Closes every database opened in this workspace.
    virtual void Close() = 0;
};

// The engine: the root object, one per engine class created.
class DBEngine {
public:
    virtual ~DBEngine() = default;
    virtual std::string Version() const = 0;
    virtual std::string SystemDB() const = 0;
    // Kept for the workspaces created afterwards; this engine has no system database of
    // its own, so the path only has to be stored.
    virtual void SetSystemDB(const std::string& path) = 0;
    // type dbUseJet; dbUseODBC fails with 3251 "Operation is not supported for this type of
    // object.".
    virtual std::shared_ptr<Workspace> CreateWorkspace(const std::string& name, const std::string& userName,
                                                       const std::string& password, const Variant& type = {}) = 0;
    // The default workspace (created on first use, user "admin").
    virtual std::shared_ptr<Workspace> DefaultWorkspace() = 0;
    // OpenDatabase in the default workspace.
    virtual std::shared_ptr<Database> OpenDatabase(const std::string& path, const Variant& options = {},
                                                   const Variant& readOnly = {}, const Variant& connect = {}) = 0;
};

}  // namespace pavana::engine
