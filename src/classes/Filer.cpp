#include "classes/Filer.h"

#include "classes/DefinitionReader.h"
#include "classes/Persistent.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"

namespace pavana {

namespace {

class PropertyReader : public TFiler {
public:
    PropertyReader(std::string_view name, const StoredValue& value) : TFiler(nullptr), name_(name), value_(value) {}

    void DefineBinaryProperty(std::string_view name, const TStreamProc& readData, const TStreamProc&, bool) override {
        if (found_ || name != name_) return;
        found_ = true;
        TMemoryStream stream(value_.AsBinary());
        readData(stream);
    }
    bool Found() const { return found_; }

private:
    std::string_view name_;
    const StoredValue& value_;
    bool found_ = false;
};

class PropertyWriter : public TFiler {
public:
    PropertyWriter(const TPersistent* ancestor, std::string_view prefix, int indent)
        : TFiler(ancestor), prefix_(prefix), indent_(static_cast<std::size_t>(indent), ' ') {}

    void DefineBinaryProperty(std::string_view name, const TStreamProc&, const TStreamProc& writeData,
                              bool hasData) override {
        if (!hasData) return;
        TMemoryStream stream;
        writeData(stream);
        static constexpr char kDigits[] = "0123456789ABCDEF";
        text_ += indent_;
        text_ += prefix_;
        text_ += name;
        text_ += " = {";
        const std::vector<std::uint8_t>& bytes = stream.Bytes();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i % 32 == 0) text_ += "\n" + indent_ + "  ";
            text_ += kDigits[bytes[i] >> 4];
            text_ += kDigits[bytes[i] & 15];
        }
        text_ += "}\n";
    }
    std::string Text() && { return std::move(text_); }

private:
    std::string_view prefix_;
    std::string indent_;
    std::string text_;
};

}  // namespace

bool ReadDefinedProperty(TPersistent& object, std::string_view name, const StoredValue& value) {
    PropertyReader reader(name, value);
    object.DefineProperties(reader);
    return reader.Found();
}

std::string WriteDefinedProperties(const TPersistent& object, const TPersistent* ancestor, std::string_view prefix,
                                   int indent) {
    PropertyWriter writer(ancestor, prefix, indent);
    // A writing filer never calls the read functions, the only ones that change the object.
    const_cast<TPersistent&>(object).DefineProperties(writer);
    return std::move(writer).Text();
}

}  // namespace pavana
