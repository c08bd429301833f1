// The base of every object that can be stored in a definition and assigned from another.
//
// `Assign` copies the state of another object into this one. The source decides first (a
// class that knows how to copy itself into foreign classes overrides `AssignTo`); when neither
// side knows the pair, the copy fails with EConvertError "Cannot assign a <source> to a
// <destination>" and nothing changes. An empty source ("nil") is refused the same way.
#pragma once

#include <string>
#include <string_view>

namespace pavana {

class TFiler;

class TPersistent {
public:
    TPersistent() = default;
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;
    virtual ~TPersistent() = default;

    // The class name shown in error messages ("TParam", "TDAODatabase").
    virtual std::string_view ClassName() const = 0;

    // Copies `source` into this object; `source` null means "nil" and always fails.
    virtual void Assign(const TPersistent* source);

    // Copies this object into `destination`; the base refuses every destination.
    virtual void AssignTo(TPersistent& destination) const;

    // Names to the filer the properties this object stores in its own form (Filer.h); the
    // base has none. An override changes the object only through the read functions it
    // names, which only a reading filer calls.
    virtual void DefineProperties(TFiler&) {}

protected:
    // Raises the cannot-assign error for `source` (null reads "nil") into this object.
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

}  // namespace pavana
