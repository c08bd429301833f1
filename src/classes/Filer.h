// Properties an object defines for itself in stored definitions, beyond the ones a class
// reads by name: typically binary data in a format of the object's own (a parameter list's
// "Data").
//
// An object that has such properties overrides `TPersistent::DefineProperties` and names
// each one to the filer it is given, with the functions that read and write its bytes and
// whether it has anything to store. Two filers exist: one that reads a property met in a
// definition (`ReadDefinedProperty`) and one that writes an object's defined properties in
// the definition text form (`WriteDefinedProperties`).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pavana {

class StoredValue;
class TPersistent;
class TStream;

class TFiler {
public:
    using TStreamProc = std::function<void(TStream& stream)>;

    explicit TFiler(const TPersistent* ancestor) : ancestor_(ancestor) {}
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;
    virtual ~TFiler() = default;

    // The same object in the definition this one inherits from, when there is one; an object
    // decides from it whether it differs and so has anything to store.
    const TPersistent* Ancestor() const { return ancestor_; }

    // Names a binary property: `readData` reads its bytes from a stream positioned at their
    // start, `writeData` writes them; `hasData` says whether it is stored at all.
    virtual void DefineBinaryProperty(std::string_view name, const TStreamProc& readData, const TStreamProc& writeData,
                                      bool hasData) = 0;

private:
    const TPersistent* ancestor_;
};

// Reads `value` into the property `name` that `object` defines. Returns false when the
// object defines no property of that name. A value that is not binary data raises
// EReadError "Invalid property value"; the object's own reading errors propagate.
bool ReadDefinedProperty(TPersistent& object, std::string_view name, const StoredValue& value);

// The definition lines of the properties `object` defines that have data to store, each
// named `prefix` + its name and indented by `indent` spaces:
//   <prefix>Data = {
//     0100020002...}
// with at most 32 bytes (64 hexadecimal digits) on each line of data. Empty when nothing is
// stored. The object's own writing errors propagate.
std::string WriteDefinedProperties(const TPersistent& object, const TPersistent* ancestor, std::string_view prefix,
                                   int indent);

}  // namespace pavana
