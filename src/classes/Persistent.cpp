#include "classes/Persistent.h"

#include "rtl/Exceptions.h"
#include "rtl/Format.h"

namespace pavana {

void TPersistent::Assign(const TPersistent* source) {
    if (source == nullptr) AssignError(nullptr);
    source->AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& destination) const { destination.AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
    std::string sourceName = source != nullptr ? std::string(source->ClassName()) : "nil";
    throw EConvertError(Format("Cannot assign a %s to a %s", {sourceName, std::string(ClassName())}));
}

}  // namespace pavana
