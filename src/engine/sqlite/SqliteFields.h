// The engine's Fields, Field, Properties and Property of a recordset on SQLite.
//
// The field objects live inside their recordset and are handed out as shared pointers that
// share the recordset's ownership: a field keeps its recordset alive, and asking for a field
// allocates nothing. A field reads and writes through the recordset's current record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/DBEngine.h"

namespace pavana::engine::sqlite {

class RecordsetImpl;

// What a recordset knows of one of its columns.
struct ColumnInfo {
    std::string name;
    std::int32_t type = 0;
    std::int32_t size = 0;
    std::int32_t attributes = 0;
    bool required = false;
    bool allowZeroLength = false;  // the AllowZeroLength property (false unless set on the column)
    bool hasMetadata = false;      // the engine's column metadata holds a row for it
    std::string defaultText;       // its DefaultValue text there, empty when none
    bool writable = false;         // a column of the base table that may be set
    bool wholeNumbers = false;     // an expression known to give only whole numbers of Long range
    bool numbers = false;          // an expression known to give only numbers
    std::string table;             // source table, empty for an expression
    std::string origin;            // source column
};

class FieldImpl : public Field {
public:
    FieldImpl(RecordsetImpl& recordset, std::size_t index) : recordset_(&recordset), index_(index) {}

    std::string Name() const override;
    std::int32_t Type() const override;
    std::int32_t Size() const override;
    std::int32_t Attributes() const override;
    Variant DefaultValue() const override;
    Variant Value() const override;
    void SetValue(const Variant& value) override;
    void MoveValue(Variant&& value) override;
    std::shared_ptr<Properties> GetProperties() const override;

private:
    const ColumnInfo& Info() const;

    RecordsetImpl* recordset_;  // the owner
    std::size_t index_;
};

class FieldsImpl : public Fields {
public:
    explicit FieldsImpl(RecordsetImpl& recordset) : recordset_(&recordset) {}
    std::int32_t Count() const override;
    std::shared_ptr<Field> Item(std::int32_t index) const override;
    std::shared_ptr<Field> Item(const std::string& name) const override;

private:
    RecordsetImpl* recordset_;  // the owner
};

}  // namespace pavana::engine::sqlite
