// The component base: an object with an owner, a name and a life cycle driven by stored
// definitions.
//
// Ownership. A component created with an owner is owned by it: the owner's destructor frees
// its components, the most recently created first. A component freed earlier (by whoever holds
// it) removes itself from its owner's list first. A component created without an owner
// belongs to its creator, normally through a std::unique_ptr.
//
// Loading. While a definition is read into a component, `IsLoading()` and `IsReading()` are
// true; a property that depends on others only records its value then. When the whole
// definition has been read, `Loaded()` runs on every component read, and loading ends.
//
// Notifications. A component that keeps a reference to another asks it with
// `FreeNotification` to be told, through `Notification(c, opRemove)`, when that one goes;
// a component's owner and siblings are told without asking.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "classes/Persistent.h"

namespace pavana {

class StoredValue;
class DefinitionReader;

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
    // Registers with `owner` (which then owns this component) when one is given.
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    std::string_view ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // Fails with EComponentError "A component named %s already exists" when a sibling of the
    // same owner has the name (ignoring case); an empty name is always accepted.
    void SetName(std::string name);

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const;
    // The owned component of that name (ignoring case), or null.
    TComponent* FindComponent(std::string_view name) const;

    bool IsLoading() const { return loading_; }
    bool IsReading() const { return reading_; }
    bool IsDesigning() const { return designing_; }
    bool IsDestroying() const { return destroying_; }
    void SetDesigning(bool designing) { designing_ = designing; }

    // Asks `other` to notify this component when it is freed.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

    // Sets one stored property named `name` (dotted names reach owned sub-objects). Returns
    // false when the class has no such property; the reader then reports the error. Values
    // of the wrong kind raise EReadError.
    virtual bool ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader);

protected:
    // Called when the whole definition holding this component has been read. Derived classes
    // call the base first; the base ends the loading state.
    virtual void Loaded();
    // `component` is being inserted or removed; derived classes drop references to it.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    friend class DefinitionReader;

    void Insert(TComponent* component);
    void Remove(TComponent* component);
    void NotifyRemoval();
    void BeginLoading();

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;    // owned, in creation order
    std::vector<TComponent*> freeNotifies_;  // borrowed, both directions
    bool loading_ = false;
    bool reading_ = false;
    bool designing_ = false;
    bool destroying_ = false;
};

}  // namespace pavana
