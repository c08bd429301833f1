#include "engine/sqlite/SqliteFields.h"

#include "engine/EngineError.h"
#include "engine/sqlite/SqliteRecordset.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {
namespace {

[[noreturn]] void ItemNotFound(const char* source) { RaiseEngineError(jetItemNotFound, source); }

class PropertyImpl : public Property {
public:
    PropertyImpl(std::string name, Variant value) : name_(std::move(name)), value_(std::move(value)) {}
    std::string Name() const override { return name_; }
    Variant Value() const override { return value_; }
    void SetValue(const Variant&) override { RaiseEngineError(jetCannotPerform, "DAO.Property"); }

private:
    std::string name_;
    Variant value_;
};

class PropertiesImpl : public Properties {
public:
    explicit PropertiesImpl(std::vector<std::shared_ptr<Property>> items) : items_(std::move(items)) {}
    std::int32_t Count() const override { return static_cast<std::int32_t>(items_.size()); }
    std::shared_ptr<Property> Item(std::int32_t index) const override {
        if (index < 0 || index >= Count()) ItemNotFound("DAO.Properties");
        return items_[static_cast<std::size_t>(index)];
    }
    std::shared_ptr<Property> Item(const std::string& name) const override {
        for (const auto& p : items_)
            if (SameAsciiText(p->Name(), name)) return p;
        RaiseEngineError(jetPropertyNotFound, "DAO.Properties");
    }

private:
    std::vector<std::shared_ptr<Property>> items_;
};

}  // namespace

const ColumnInfo& FieldImpl::Info() const { return recordset_->Columns()[index_]; }
std::string FieldImpl::Name() const { return Info().name; }
std::int32_t FieldImpl::Type() const { return Info().type; }
std::int32_t FieldImpl::Size() const { return Info().size; }
std::int32_t FieldImpl::Attributes() const { return Info().attributes; }
Variant FieldImpl::DefaultValue() const { return recordset_->ColumnDefault(index_); }
Variant FieldImpl::Value() const { return recordset_->CurrentValue(index_); }
void FieldImpl::SetValue(const Variant& value) { recordset_->SetCurrentValue(index_, value); }
void FieldImpl::MoveValue(Variant&& value) { recordset_->TakeCurrentValue(index_, std::move(value)); }

std::shared_ptr<Properties> FieldImpl::GetProperties() const {
    const ColumnInfo& c = Info();
    std::vector<std::shared_ptr<Property>> items;
    auto add = [&](const char* name, Variant value) {
        items.push_back(std::make_shared<PropertyImpl>(name, std::move(value)));
    };
    add("Name", Variant(c.name));
    add("Type", Variant(static_cast<std::int16_t>(c.type)));
    add("Size", Variant(static_cast<std::int32_t>(c.size)));
    add("Attributes", Variant(static_cast<std::int32_t>(c.attributes)));
    add("DefaultValue", DefaultValue());
    add("Required", Variant(c.required));
    // False unless set on the column, as for the text fields CREATE TABLE makes: the DAO
    // layer then stores an empty text as Null.
    add("AllowZeroLength", Variant(c.allowZeroLength));
    add("OrdinalPosition", Variant(static_cast<std::int16_t>(index_)));
    add("SourceTable", Variant(c.table));
    add("SourceField", Variant(c.origin));
    add("ValidationRule", Variant(std::string()));
    add("ValidationText", Variant(std::string()));
    return std::make_shared<PropertiesImpl>(std::move(items));
}

std::int32_t FieldsImpl::Count() const { return static_cast<std::int32_t>(recordset_->Columns().size()); }

std::shared_ptr<Field> FieldsImpl::Item(std::int32_t index) const {
    if (index < 0 || index >= Count()) ItemNotFound("DAO.Fields");
    return recordset_->FieldAt(static_cast<std::size_t>(index));
}

std::shared_ptr<Field> FieldsImpl::Item(const std::string& name) const {
    const auto& columns = recordset_->Columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (SameAsciiText(columns[i].name, name)) return recordset_->FieldAt(i);
    ItemNotFound("DAO.Fields");
}

}  // namespace pavana::engine::sqlite
