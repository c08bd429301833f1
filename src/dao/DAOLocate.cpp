#include "dao/DAOLocate.h"

#include <cmath>

#include "rtl/DateTime.h"

namespace pavana {
namespace {

std::string DoubledQuotes(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out;
}

std::string Condition(const TField& field, const Variant& value, bool partialKey) {
    std::string condition = "[" + field.FieldName() + "]";
    if (value.IsNull()) return condition + " IS NULL";
    if (field.DataType() == ftString || field.DataType() == ftMemo) {
        // Text is compared with text as the user's settings write it, as it was stored.
        const std::string text = value.ToString();
        if (partialKey) return condition + " LIKE \"" + DoubledQuotes(text) + "*\"";
        return condition + " = \"" + DoubledQuotes(text) + "\"";
    }
    return condition + " = " + FormatLocateValue(value);
}

}  // namespace

std::string FormatLocateValue(const Variant& value) {
    // The engine reads literals in one form whatever the user's locale: a locale's decimal
    // comma or date dash would make the search text unreadable ("7,5", "#01-02-2000#").
    const FormatSettings& literal = FormatSettings::Invariant();
    if (value.VarType() == varDate) {
        const TDateTime date = value.ToDateTime();
        double whole = 0;
        if (std::modf(date, &whole) == 0) return FormatDateTime("#mm/dd/yyyy#", date, literal);
        return FormatDateTime("#mm/dd/yyyy hh:mm:ss am/pm#", date, literal);
    }
    return value.ToString(literal);
}

bool BuildLocateCriteria(const std::vector<TField*>& fields, const std::vector<Variant>& values, bool partialKey,
                         std::string& text) {
    text.clear();
    if (values.size() < fields.size()) throw EVariantError("Variant or safe array index out of bounds");
    for (std::size_t i = 0; i < fields.size(); ++i) text += Condition(*fields[i], values[i], partialKey) + " AND ";
    if (text.size() > 4) text.erase(text.size() - 5);
    return !text.empty();
}

}  // namespace pavana
