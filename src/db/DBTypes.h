// The enumerations of the dataset framework. Their ordinals are stored in definitions and in
// the stored form of parameter lists, so the order of every list here is fixed.
#pragma once

#include <cstdint>

namespace pavana {

enum TFieldType : std::uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
};

enum TParamType : std::uint8_t { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

enum TDataSetState : std::uint8_t {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening,
};

// How a blob stream is opened on a field.
enum class TBlobStreamMode : std::uint8_t { bmRead, bmWrite, bmReadWrite };

// Options of a search by key: compare text without regard to case, and accept a text key
// that is only the start of the field's value.
struct TLocateOptions {
    bool CaseInsensitive = false;
    bool PartialKey = false;
};

}  // namespace pavana
