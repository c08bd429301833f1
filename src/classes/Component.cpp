#include "classes/Component.h"

#include <algorithm>

#include "classes/DefinitionReader.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace pavana {

TComponent::TComponent(TComponent* owner) {
    if (owner != nullptr) owner->Insert(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    NotifyRemoval();
    while (!components_.empty()) {
        TComponent* last = components_.back();
        delete last;  // the owner tree: the child removes itself from components_
    }
    if (owner_ != nullptr) owner_->Remove(this);
}

void TComponent::SetName(std::string name) {
    if (name == name_) return;
    if (!name.empty() && owner_ != nullptr) {
        TComponent* sibling = owner_->FindComponent(name);
        if (sibling != nullptr && sibling != this)
            throw EComponentError(Format("A component named %s already exists", {name}));
    }
    name_ = std::move(name);
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", {index}));
    return components_[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* component : components_)
        if (AnsiSameText(component->name_, name)) return component;
    return nullptr;
}

void TComponent::FreeNotification(TComponent* other) {
    if (other == nullptr || other == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
        freeNotifies_.push_back(other);
    if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) == other->freeNotifies_.end())
        other->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (other == nullptr) return;
    std::erase(freeNotifies_, other);
    std::erase(other->freeNotifies_, this);
}

bool TComponent::ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader&) {
    if (name == "Name") {
        SetName(value.AsIdentifierOrString());
        return true;
    }
    return false;
}

void TComponent::Loaded() { loading_ = false; }

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove) std::erase(freeNotifies_, component);
}

void TComponent::Insert(TComponent* component) {
    components_.push_back(component);
    component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
    std::erase(components_, component);
    component->owner_ = nullptr;
    Notification(component, TOperation::opRemove);
    for (TComponent* sibling : components_) sibling->Notification(component, TOperation::opRemove);
}

// Everyone that asked to hear of this component's end hears it now, while this object is
// still whole; each drops its reference in Notification.
void TComponent::NotifyRemoval() {
    while (!freeNotifies_.empty()) {
        TComponent* listener = freeNotifies_.back();
        freeNotifies_.pop_back();
        std::erase(listener->freeNotifies_, this);
        listener->Notification(this, TOperation::opRemove);
    }
}

void TComponent::BeginLoading() {
    loading_ = true;
    reading_ = true;
}

}  // namespace pavana
