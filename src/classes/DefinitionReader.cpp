#include "classes/DefinitionReader.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "classes/Component.h"
#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace pavana {

// ---- StoredValue ------------------------------------------------------------------------

namespace {

[[noreturn]] void InvalidValue() { throw EReadError("Invalid property value"); }

}  // namespace

StoredValue StoredValue::Text(std::string text) {
    StoredValue v;
    v.kind_ = Kind::Text;
    v.text_ = std::move(text);
    return v;
}

StoredValue StoredValue::Integer(std::int64_t value) {
    StoredValue v;
    v.kind_ = Kind::Integer;
    v.integer_ = value;
    return v;
}

StoredValue StoredValue::Real(double value) {
    StoredValue v;
    v.kind_ = Kind::Real;
    v.real_ = value;
    return v;
}

StoredValue StoredValue::Identifier(std::string name) {
    StoredValue v;
    v.kind_ = Kind::Identifier;
    v.text_ = std::move(name);
    return v;
}

StoredValue StoredValue::Set(std::vector<std::string> names) {
    StoredValue v;
    v.kind_ = Kind::Set;
    v.items_ = std::move(names);
    return v;
}

StoredValue StoredValue::List(std::vector<std::string> items) {
    StoredValue v;
    v.kind_ = Kind::List;
    v.items_ = std::move(items);
    return v;
}

StoredValue StoredValue::Binary(std::vector<std::uint8_t> bytes) {
    StoredValue v;
    v.kind_ = Kind::Binary;
    v.bytes_ = std::move(bytes);
    return v;
}

const std::string& StoredValue::AsText() const {
    if (kind_ != Kind::Text) InvalidValue();
    return text_;
}

std::int64_t StoredValue::AsInteger() const {
    if (kind_ != Kind::Integer) InvalidValue();
    return integer_;
}

double StoredValue::AsReal() const {
    if (kind_ == Kind::Integer) return static_cast<double>(integer_);
    if (kind_ != Kind::Real) InvalidValue();
    return real_;
}

bool StoredValue::AsBoolean() const {
    if (kind_ == Kind::Identifier) {
        if (AnsiSameText(text_, "True")) return true;
        if (AnsiSameText(text_, "False")) return false;
    }
    InvalidValue();
}

const std::string& StoredValue::AsIdentifier() const {
    if (kind_ != Kind::Identifier) InvalidValue();
    return text_;
}

const std::string& StoredValue::AsIdentifierOrString() const {
    if (kind_ != Kind::Identifier && kind_ != Kind::Text) InvalidValue();
    return text_;
}

const std::vector<std::string>& StoredValue::AsSet() const {
    if (kind_ != Kind::Set) InvalidValue();
    return items_;
}

const std::vector<std::string>& StoredValue::AsList() const {
    if (kind_ != Kind::List) InvalidValue();
    return items_;
}

const std::vector<std::uint8_t>& StoredValue::AsBinary() const {
    if (kind_ != Kind::Binary) InvalidValue();
    return bytes_;
}

// ---- ComponentClasses -------------------------------------------------------------------

ComponentClasses& ComponentClasses::Default() {
    static ComponentClasses classes;
    return classes;
}

void ComponentClasses::Register(std::string className, Factory factory) {
    factories_[UpperCase(className)] = std::move(factory);
}

TComponent& ComponentClasses::Create(std::string_view className, TComponent& owner) const {
    auto found = factories_.find(UpperCase(className));
    if (found == factories_.end()) throw EReadError(Format("Class %s not found", {std::string(className)}));
    return *found->second(&owner);
}

// ---- DefinitionReader -------------------------------------------------------------------

void DefinitionReader::ResolveReference(std::string name, Resolver resolver) {
    pending_.push_back({std::move(name), where_, std::move(resolver)});
}

// The text form, token by token. Line ends matter only as white space.
class DefinitionParser {
public:
    explicit DefinitionParser(std::string_view text) : text_(text) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= ' ') ++pos_;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos_ >= text_.size();
    }
    char Peek() {
        SkipBlanks();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    void Expect(char c) {
        if (Peek() != c) Fail(Format("'%s' expected", {std::string(1, c)}));
        ++pos_;
    }
    bool TryConsume(char c) {
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }

    // A name, possibly dotted (Workspace.UserName).
    std::string Name() {
        SkipBlanks();
        std::size_t start = pos_;
        while (pos_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_' || text_[pos_] == '.'))
            ++pos_;
        if (start == pos_) Fail("Identifier expected");
        return std::string(text_.substr(start, pos_ - start));
    }

    StoredValue Value() {
        char c = Peek();
        if (c == '\'' || c == '#') return StoredValue::Text(Text());
        if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) return Number();
        if (c == '[') return StoredValue::Set(SetItems());
        if (c == '(') return StoredValue::List(ListItems());
        if (c == '{') return StoredValue::Binary(Binary());
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') return StoredValue::Identifier(Name());
        Fail("Invalid property value");
    }

    [[noreturn]] void Fail(const std::string& what) const {
        std::size_t line = 1;
        for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i)
            if (text_[i] == '\n') ++line;
        throw EReadError(Format("%s on line %d", {what, static_cast<int>(line)}));
    }

private:
    // 'abc'#13#10'def' + 'ghi': adjacent pieces join; + continues on the next line.
    std::string Text() {
        std::string result;
        for (;;) {
            SkipBlanks();
            ReadAdjacentPieces(result);
            std::size_t afterPieces = pos_;
            if (!TryConsume('+')) {
                pos_ = afterPieces;
                return result;
            }
            char next = Peek();
            if (next != '\'' && next != '#') Fail("String expected");
        }
    }

    void ReadAdjacentPieces(std::string& result) {
        while (pos_ < text_.size() && (text_[pos_] == '\'' || text_[pos_] == '#')) {
            if (text_[pos_] == '\'') ReadQuoted(result);
            else ReadCharacterCode(result);
        }
    }

    void ReadQuoted(std::string& result) {
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r') Fail("Unterminated string");
            if (text_[pos_] == '\'') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                    result += '\'';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return;
            }
            result += text_[pos_++];
        }
    }

    void ReadCharacterCode(std::string& result) {
        std::size_t start = ++pos_;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        std::uint32_t code = 0;
        auto [end, error] = std::from_chars(text_.data() + start, text_.data() + pos_, code);
        if (start == pos_ || error != std::errc() || end != text_.data() + pos_ || code > 0x10FFFF ||
            (code >= 0xD800 && code < 0xE000))
            Fail("Invalid character code");
        result += Utf32ToUtf8(std::u32string(1, static_cast<char32_t>(code)));
    }

    StoredValue Number() {
        SkipBlanks();
        std::size_t start = pos_;
        if (text_[pos_] == '-' || text_[pos_] == '+') ++pos_;
        bool real = false;
        while (pos_ < text_.size() &&
               (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.' || text_[pos_] == 'e' ||
                text_[pos_] == 'E' ||
                ((text_[pos_] == '-' || text_[pos_] == '+') && (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E')))) {
            if (!std::isdigit(static_cast<unsigned char>(text_[pos_]))) real = true;
            ++pos_;
        }
        std::string_view digits = text_.substr(start, pos_ - start);
        if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
        const char* first = digits.data();
        const char* last = digits.data() + digits.size();
        if (real) {
            double value = 0;
            auto [end, error] = std::from_chars(first, last, value);
            if (error != std::errc() || end != last) Fail("Invalid number");
            return StoredValue::Real(value);
        }
        std::int64_t value = 0;
        auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last) Fail("Invalid number");
        return StoredValue::Integer(value);
    }

    std::vector<std::string> SetItems() {
        Expect('[');
        std::vector<std::string> names;
        if (TryConsume(']')) return names;
        do names.push_back(Name());
        while (TryConsume(','));
        Expect(']');
        return names;
    }

    std::vector<std::string> ListItems() {
        Expect('(');
        std::vector<std::string> items;
        while (!TryConsume(')')) {
            if (AtEnd()) Fail("')' expected");
            StoredValue item = Value();
            if (item.GetKind() == StoredValue::Kind::Text || item.GetKind() == StoredValue::Kind::Identifier)
                items.push_back(item.AsIdentifierOrString());
            else Fail("Invalid property value");
        }
        return items;
    }

    std::vector<std::uint8_t> Binary() {
        Expect('{');
        std::vector<std::uint8_t> bytes;
        int high = -1;
        for (;;) {
            char c = Peek();
            if (c == '}') break;
            int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                        : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                        : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                                                                    : -1;
            if (digit < 0) Fail("Invalid binary value");
            ++pos_;
            if (high < 0) {
                high = digit;
            } else {
                bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
                high = -1;
            }
        }
        if (high >= 0) Fail("Invalid binary value");
        Expect('}');
        return bytes;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// object Name: Class <properties> <objects> end
void DefinitionReader::ReadObject(DefinitionParser& parser, TComponent& component, const ComponentClasses& classes,
                                  std::vector<TComponent*>& loaded) {
    component.BeginLoading();
    loaded.push_back(&component);
    for (;;) {
        if (parser.AtEnd()) parser.Fail("'end' expected");
        std::string word = parser.Name();
        if (AnsiSameText(word, "end")) break;
        if (AnsiSameText(word, "object")) {
            std::string name = parser.Name();
            parser.Expect(':');
            std::string className = parser.Name();
            TComponent& child = classes.Create(className, *root_);
            child.SetName(name);
            ReadObject(parser, child, classes, loaded);
            continue;
        }
        parser.Expect('=');
        StoredValue value = parser.Value();
        where_ = component.Name() + "." + word;
        try {
            if (!component.ReadProperty(word, value, *this))
                throw EReadError(Format("Property %s does not exist", {word}));
        } catch (const EReadError& error) {
            throw EReadError(Format("Error reading %s: %s", {where_, error.Message()}));
        } catch (const Exception& error) {
            throw EReadError(Format("Error reading %s: %s", {where_, error.Message()}));
        }
    }
}

void DefinitionReader::Load(TComponent& root, std::string_view text, const ComponentClasses& classes) {
    root_ = &root;
    DefinitionParser parser(text);
    std::vector<TComponent*> loaded;
    std::string word = parser.Name();
    if (!AnsiSameText(word, "object")) parser.Fail("'object' expected");
    std::string name = parser.Name();
    parser.Expect(':');
    std::string className = parser.Name();
    if (!AnsiSameText(className, root.ClassName()))
        throw EReadError(Format("The definition is of class %s, not %s", {className, std::string(root.ClassName())}));
    root.SetName(name);
    ReadObject(parser, root, classes, loaded);
    if (!parser.AtEnd()) parser.Fail("Text after the last 'end'");

    for (PendingReference& reference : pending_) {
        TComponent* target = nullptr;
        if (!reference.name.empty() && !AnsiSameText(reference.name, "nil")) {
            target = AnsiSameText(reference.name, root.Name()) ? &root : root.FindComponent(reference.name);
            if (target == nullptr)
                throw EReadError(Format("Error reading %s: Component %s not found", {reference.where, reference.name}));
        }
        reference.resolver(target);
    }
    for (TComponent* component : loaded) component->reading_ = false;
    for (TComponent* component : loaded) component->Loaded();
}

void LoadDefinition(TComponent& root, std::string_view text, const ComponentClasses& classes) {
    DefinitionReader reader;
    reader.Load(root, text, classes);
}

}  // namespace pavana
