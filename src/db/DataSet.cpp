#include "db/DataSet.h"

#include "classes/DefinitionReader.h"
#include "rtl/Exceptions.h"

namespace pavana {

void TDataSet::SetActive(bool active) {
    if (IsReading()) {
        streamedActive_ = active;
        return;
    }
    if (active == Active()) return;
    if (active) {
        DoBeforeOpen();
        state_ = dsOpening;
        try {
            InternalOpen();
        } catch (...) {
            state_ = dsInactive;
            throw;
        }
        state_ = dsBrowse;
        DoAfterOpen();
    } else {
        DoBeforeClose();
        InternalClose();
        state_ = dsInactive;
        DoAfterClose();
    }
}

void TDataSet::CheckInactive() const {
    if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
}

bool TDataSet::ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) {
    if (name == "Active") {
        SetActive(value.AsBoolean());
        return true;
    }
    return TComponent::ReadProperty(name, value, reader);
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (streamedActive_) SetActive(true);
}

}  // namespace pavana
