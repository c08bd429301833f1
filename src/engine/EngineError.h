// Raising the engine's errors: EOleException with the engine's English message, the status
// 0x800A0000 + the engine's error number, and the reporting object as its source
// ("DAO.Database", "DAO.QueryDef", ...).
#pragma once

#include <cstdint>
#include <string>

#include "rtl/Exceptions.h"

namespace pavana::engine {

inline constexpr std::int32_t kEngineStatusBase = static_cast<std::int32_t>(0x800A0000u);

// The engine's error numbers used in this engine.
enum JetError : std::int32_t {
    jetTableExists = 3010,
    jetNoCurrentRecord = 3021,
    jetDuplicateValue = 3022,
    jetFileNotFound = 3024,
    jetUpdateWithoutEdit = 3020,
    jetNotValidPassword = 3031,
    jetCannotPerform = 3032,
    jetFileInUse = 3045,
    jetCannotOpenFile = 3051,
    jetTooFewParameters = 3061,
    jetCannotExecuteSelect = 3065,
    jetCannotFindInput = 3078,
    jetAmbiguousField = 3079,
    jetUndefinedFunction = 3085,
    jetUnknownInsertField = 3127,
    jetUnionColumnsMismatch = 3307,
    jetValueCountMismatch = 3346,
    jetInvalidSqlStatement = 3129,
    jetNotValidBookmark = 3159,
    jetFieldTooSmall = 3163,
    jetFieldNotUpdatable = 3164,
    jetRecordDeleted = 3167,
    jetCannotUpdateReadOnly = 3027,
    jetNotSupported = 3251,
    jetItemNotFound = 3265,
    jetPropertyNotFound = 3270,
    jetFieldRequired = 3314,
    jetValidationRule = 3317,
    jetUnrecognizedFormat = 3343,
    jetNumericOverflow = 3349,
    jetObjectInvalid = 3420,
    jetDataTypeMismatch = 3464,
    jetTableDoesNotExist = 3376,
    jetFieldExists = 3380,
    jetReservedError = 3000,
    jetInvalidArgument = 3001,
    jetTooManyTransactions = 3003,
    jetNoTransaction = 3034,
    jetDiskError = 3043,
    jetInvalidPath = 3044,
    jetCannotOpenDatabase = 3049,
    jetReadOnlyFile = 3050,
    jetTooLarge = 3183,
    jetFieldDefinedTwice = 3191,
    jetDatabaseExists = 3204,
    jetLocked = 3218,
    jetInvalidOperation = 3219,
    jetIndexExists = 3284,
    jetNoTableOrConstraint = 3371,
    jetNoSuchIndex = 3372,
    jetFieldInIndex = 3280,
    jetConversionError = 3421,
    jetSharedPassword = 3621,
    jetNullKey = 3058,
    jetRelatedRecords = 3200,
    jetRelatedRecordRequired = 3201,
    jetTableInRelationship = 3281,
    jetRelationshipFieldCount = 3368,
    jetNoPrimaryKey = 3373,
    jetNotUniquelyIndexed = 3374,
    jetInvalidRelationshipField = 3409,
    jetUnknownFieldName = 3070,
    jetNotUpdatableQuery = 3073,
    jetMissingOperator = 3077,
    jetSyntaxDelete = 3130,
    jetSyntaxFrom = 3131,
    jetSyntaxGroupBy = 3132,
    jetSyntaxHaving = 3133,
    jetSyntaxInsert = 3134,
    jetSyntaxJoin = 3135,
    jetMissingSemicolon = 3137,
    jetSyntaxOrderBy = 3138,
    jetSyntaxParameters = 3139,
    jetSyntaxSelect = 3141,
    jetCharactersAfterEnd = 3142,
    jetSyntaxUpdate = 3144,
    jetSyntaxWhere = 3145,
    jetDeleteTarget = 3128,
    jetSyntaxConstraint = 3289,
    jetSyntaxCreateTable = 3290,
    jetSyntaxCreateIndex = 3291,
    jetSyntaxFieldDefinition = 3292,
    jetSyntaxAlterTable = 3293,
    jetSyntaxDrop = 3295,
};

// The engine's messages that name nothing of the statement, one per error number; the
// messages that do (a table's, a field's name) are built where they are raised.
struct EngineMessageText {
    JetError number;
    const char* text;
};
inline constexpr EngineMessageText kEngineMessages[] = {
    {jetCannotExecuteSelect, "Cannot execute a select query."},
    {jetCannotOpenDatabase,
     "Cannot open database ''. It may not be a database that your application "
     "recognizes, or the file may be corrupt."},
    {jetCannotPerform, "Cannot perform this operation."},
    {jetCannotUpdateReadOnly, "Cannot update. Database or object is read-only."},
    {jetConversionError, "Data type conversion error."},
    {jetDataTypeMismatch, "Data type mismatch in criteria expression."},
    {jetDatabaseExists, "Database already exists."},
    {jetDiskError, "Disk or network error."},
    {jetDuplicateValue,
     "The changes you requested to the table were not successful because they would "
     "create duplicate values in the index, primary key, or relationship. Change the "
     "data in the field or fields that contain duplicate data, remove the index, or "
     "redefine the index to permit duplicate entries and try again."},
    {jetFieldDefinedTwice, "Cannot define field more than once."},
    {jetFieldInIndex, "Cannot delete a field that is part of an index or is needed by the system."},
    {jetFieldNotUpdatable, "Field cannot be updated."},
    {jetFieldTooSmall,
     "The field is too small to accept the amount of data you attempted to add. Try "
     "inserting or pasting less data."},
    {jetIndexExists, "Index already exists."},
    {jetInvalidArgument, "Invalid argument."},
    {jetInvalidOperation, "Invalid operation."},
    {jetItemNotFound, "Item not found in this collection."},
    {jetLocked, "Could not update; currently locked."},
    {jetMissingOperator, "Syntax error (missing operator) in expression."},
    {jetNoCurrentRecord, "No current record."},
    {jetNoTableOrConstraint, "Cannot find table or constraint."},
    {jetNoTransaction,
     "You tried to commit or rollback a transaction without first beginning a "
     "transaction."},
    {jetNotSupported, "Operation is not supported for this type of object."},
    {jetNotValidBookmark, "Not a valid bookmark."},
    {jetNotValidPassword, "Not a valid password."},
    {jetNullKey, "Index or primary key cannot contain a Null value."},
    {jetNumericOverflow, "Numeric field overflow."},
    {jetObjectInvalid, "Object invalid or no longer set."},
    {jetPropertyNotFound, "Property not found."},
    {jetRecordDeleted, "Record is deleted."},
    {jetRelatedRecordRequired, "You cannot add or change a record because a related record is required."},
    {jetRelationshipFieldCount, "Relationship must be on the same number of fields with the same data types."},
    {jetSharedPassword, "Cannot change password on a shared open database."},
    {jetTableInRelationship,
     "Cannot delete this index or table. It is either the current index or is used "
     "in a relationship."},
    {jetTooLarge,
     "The query cannot be completed. Either the size of the query result is larger than the "
     "maximum size of a database (2 GB), or there is not enough temporary storage space on "
     "the disk to store the query result."},
    {jetTooManyTransactions, "Could not start transaction; too many transactions already nested."},
    {jetUnionColumnsMismatch,
     "The number of columns in the two selected tables or queries of a union query "
     "do not match."},
    {jetUpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit."},
    {jetValidationRule, "One or more values are prohibited by the validation rule set."},
    {jetValueCountMismatch, "Number of query values and destination fields are not the same."},
    {jetInvalidSqlStatement,
     "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
     "'UPDATE'."},
    {jetDeleteTarget, "Specify the table containing the records you want to delete."},
    {jetNotUpdatableQuery, "Operation must use an updatable query."},
    {jetSyntaxDelete, "Syntax error in DELETE statement."},
    {jetSyntaxFrom, "Syntax error in FROM clause."},
    {jetSyntaxGroupBy, "Syntax error in GROUP BY clause."},
    {jetSyntaxHaving, "Syntax error in HAVING clause."},
    {jetSyntaxInsert, "Syntax error in INSERT INTO statement."},
    {jetSyntaxJoin, "Syntax error in JOIN operation."},
    {jetMissingSemicolon, "Missing semicolon (;) at end of SQL statement."},
    {jetSyntaxOrderBy, "Syntax error in ORDER BY clause."},
    {jetSyntaxParameters, "Syntax error in PARAMETER clause."},
    {jetSyntaxSelect,
     "The SELECT statement includes a reserved word or an argument name that is misspelled "
     "or missing, or the punctuation is incorrect."},
    {jetCharactersAfterEnd, "Characters found after end of SQL statement."},
    {jetSyntaxUpdate, "Syntax error in UPDATE statement."},
    {jetSyntaxWhere, "Syntax error in WHERE clause."},
    {jetSyntaxConstraint, "Syntax error in CONSTRAINT clause."},
    {jetSyntaxCreateTable, "Syntax error in CREATE TABLE statement."},
    {jetSyntaxCreateIndex, "Syntax error in CREATE INDEX statement."},
    {jetSyntaxFieldDefinition, "Syntax error in field definition."},
    {jetSyntaxAlterTable, "Syntax error in ALTER TABLE statement."},
    {jetSyntaxDrop, "Syntax error in DROP TABLE or DROP INDEX."},
};

constexpr bool EachMessageNumberOnce() {
    for (const EngineMessageText& a : kEngineMessages) {
        int seen = 0;
        for (const EngineMessageText& b : kEngineMessages) seen += a.number == b.number;
        if (seen != 1) return false;
    }
    return true;
}
static_assert(EachMessageNumberOnce(), "an error number has two messages in kEngineMessages");

// The fixed message of `number` from kEngineMessages; empty for a number not there.
constexpr const char* EngineMessage(JetError number) {
    for (const EngineMessageText& m : kEngineMessages)
        if (m.number == number) return m.text;
    return "";
}

// The status of an engine error number.
constexpr std::int32_t EngineStatus(std::int32_t number) { return kEngineStatusBase + number; }
// The engine error number of a status (the status with the bits 0x800A0000 cleared).
constexpr std::int32_t EngineErrorNumber(std::int32_t status) { return status & ~kEngineStatusBase; }

[[noreturn]] void RaiseEngineError(std::int32_t number, const std::string& message, const std::string& source);
// Raises `number` with its fixed message (kEngineMessages).
[[noreturn]] void RaiseEngineError(JetError number, const std::string& source);

}  // namespace pavana::engine
