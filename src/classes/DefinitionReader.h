// Stored definitions: the text form in which components and their properties are kept.
//
//   object fpavANDMPrincipal: TfpavANDMPrincipal
//     object dbsCurriculo: TDAODatabase
//       Password = 'qorvimband'
//     end
//   end
//
// `LoadDefinition` reads such a text into an existing root component: the root's own
// properties are set on it, and every nested `object` is created through the class registry
// with the root as its owner, named, and given its properties. References to other
// components (`Database = dbsCurriculo`) are resolved when the whole text has been read, so
// they may name components that come later. Then `Loaded` runs on the root and on every
// component read, in the order they were read. Any failure raises EReadError naming the
// component and property; components already created stay owned by the root.
//
// Values: 'text' (with '' for an apostrophe, #nnn for a character code, + to continue on the
// next line), integers, reals, identifiers (True, False, enumeration names, component names),
// sets [a, b], lists of texts ( 'a' 'b' ) and binary data { hex digits }.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pavana {

class TComponent;
class DefinitionParser;

class StoredValue {
public:
    enum class Kind { Text, Integer, Real, Identifier, Set, List, Binary };

    static StoredValue Text(std::string text);
    static StoredValue Integer(std::int64_t value);
    static StoredValue Real(double value);
    static StoredValue Identifier(std::string name);
    static StoredValue Set(std::vector<std::string> names);
    static StoredValue List(std::vector<std::string> items);
    static StoredValue Binary(std::vector<std::uint8_t> bytes);

    Kind GetKind() const { return kind_; }

    // Each accessor raises EReadError "Invalid property value" for a value of another kind.
    const std::string& AsText() const;
    std::int64_t AsInteger() const;
    double AsReal() const;   // integers are accepted too
    bool AsBoolean() const;  // the identifiers True and False, in any case
    const std::string& AsIdentifier() const;
    const std::string& AsIdentifierOrString() const;
    const std::vector<std::string>& AsSet() const;
    const std::vector<std::string>& AsList() const;
    const std::vector<std::uint8_t>& AsBinary() const;

private:
    Kind kind_ = Kind::Text;
    std::string text_;
    std::int64_t integer_ = 0;
    double real_ = 0;
    std::vector<std::string> items_;
    std::vector<std::uint8_t> bytes_;
};

// Creates components of the classes a definition may name.
class ComponentClasses {
public:
    using Factory = std::function<TComponent*(TComponent* owner)>;

    // The registry that LoadDefinition uses unless given another.
    static ComponentClasses& Default();

    void Register(std::string className, Factory factory);
    template <class T>
    void Register(std::string className) {
        Register(std::move(className), [](TComponent* owner) -> TComponent* { return new T(owner); });
    }
    // Creates a component of `className` owned by `owner`; EReadError "Class %s not found"
    // when the class is not registered.
    TComponent& Create(std::string_view className, TComponent& owner) const;

private:
    std::map<std::string, Factory, std::less<>> factories_;
};

// The state of one definition being read, handed to ReadProperty so that a property can
// defer what depends on the rest of the definition.
class DefinitionReader {
public:
    using Resolver = std::function<void(TComponent* component)>;

    // Calls `resolver` with the component named `name` (null for an empty name or "nil")
    // once the whole definition has been read.
    void ResolveReference(std::string name, Resolver resolver);

    // Reads `text` into `root` (see LoadDefinition). One reader reads one definition.
    void Load(TComponent& root, std::string_view text, const ComponentClasses& classes);

private:
    void ReadObject(DefinitionParser& parser, TComponent& component, const ComponentClasses& classes,
                    std::vector<TComponent*>& loaded);

    struct PendingReference {
        std::string name;
        std::string where;
        Resolver resolver;
    };
    TComponent* root_ = nullptr;
    std::string where_;
    std::vector<PendingReference> pending_;
};

void LoadDefinition(TComponent& root, std::string_view text,
                    const ComponentClasses& classes = ComponentClasses::Default());

}  // namespace pavana
