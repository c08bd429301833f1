// The engine's published constants, with DAO's numbers: recordset types, options, lock
// modes, edit modes, update types, field types and attributes, workspace types.
#pragma once

#include <cstdint>

namespace pavana::engine {

// Recordset types (the type argument of OpenRecordset).
enum RecordsetTypeEnum : std::int32_t {
    dbOpenTable = 1,
    dbOpenDynaset = 2,
    dbOpenSnapshot = 4,
    dbOpenForwardOnly = 8,
    dbOpenDynamic = 16,
};

// Option bits of OpenRecordset and Execute.
enum RecordsetOptionEnum : std::int32_t {
    dbDenyWrite = 1,
    dbDenyRead = 2,
    dbReadOnly = 4,
    dbAppendOnly = 8,
    dbInconsistent = 16,
    dbConsistent = 32,
    dbSQLPassThrough = 64,
    dbFailOnError = 128,
    dbForwardOnly = 256,
    dbSeeChanges = 512,
    dbRunAsync = 1024,
    dbExecDirect = 2048,
};

// Lock modes (the lockedits argument of OpenRecordset).
enum LockTypeEnum : std::int32_t {
    dbOptimisticValue = 1,
    dbPessimistic = 2,
    dbOptimistic = 3,
    dbOptimisticBatch = 5,
};

// Recordset.EditMode.
enum EditModeEnum : std::int32_t {
    dbEditNone = 0,
    dbEditInProgress = 1,
    dbEditAdd = 2,
};

// The type argument of Update and CancelUpdate.
enum UpdateTypeEnum : std::int32_t {
    dbUpdateRegular = 1,
    dbUpdateBatch = 4,
};

// Field.Type codes.
enum DataTypeEnum : std::int32_t {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
    dbBigInt = 16,
    dbVarBinary = 17,
    dbChar = 18,
    dbNumeric = 19,
    dbDecimal = 20,
    dbFloat = 21,
    dbTime = 22,
    dbTimeStamp = 23,
};

// Field.Attributes bits.
enum FieldAttributeEnum : std::int32_t {
    dbFixedField = 1,
    dbVariableField = 2,
    dbAutoIncrField = 16,
    dbUpdatableField = 32,
    dbSystemField = 8192,
    dbHyperlinkField = 32768,
};

// Workspace types (the type argument of CreateWorkspace).
enum WorkspaceTypeEnum : std::int32_t {
    dbUseODBC = 1,
    dbUseJet = 2,
};

}  // namespace pavana::engine
