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
};

// The status of an engine error number.
constexpr std::int32_t EngineStatus(std::int32_t number) { return kEngineStatusBase + number; }
// The engine error number of a status (the status with the bits 0x800A0000 cleared).
constexpr std::int32_t EngineErrorNumber(std::int32_t status) {
    return status & ~kEngineStatusBase;
}

[[noreturn]] void RaiseEngineError(std::int32_t number, const std::string& message,
                                   const std::string& source);

}  // namespace pavana::engine
