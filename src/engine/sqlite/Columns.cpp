#include "engine/sqlite/Columns.h"

#include <cctype>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/Constants.h"
#include "rtl/DateTime.h"

namespace pavana::engine::sqlite {
namespace {

struct TypeWord {
    const char* word;
    std::int32_t type;
    std::int32_t size;
};

// Jet's type words and synonyms, then SQLite's own names. Sizes are Field.Size.
constexpr TypeWord kTypeWords[] = {
    {"TEXT", dbText, 255},
    {"ALPHANUMERIC", dbText, 255},
    {"CHAR", dbText, 255},
    {"CHARACTER", dbText, 255},
    {"STRING", dbText, 255},
    {"VARCHAR", dbText, 255},
    {"NVARCHAR", dbText, 255},
    {"NCHAR", dbText, 255},
    {"LONGTEXT", dbMemo, 0},
    {"MEMO", dbMemo, 0},
    {"LONGCHAR", dbMemo, 0},
    {"NOTE", dbMemo, 0},
    {"NTEXT", dbMemo, 0},
    {"CLOB", dbMemo, 0},
    {"BYTE", dbByte, 1},
    {"INTEGER1", dbByte, 1},
    {"TINYINT", dbByte, 1},
    {"SHORT", dbInteger, 2},
    {"SMALLINT", dbInteger, 2},
    {"INTEGER2", dbInteger, 2},
    {"LONG", dbLong, 4},
    {"INTEGER", dbLong, 4},
    {"INT", dbLong, 4},
    {"INTEGER4", dbLong, 4},
    {"COUNTER", dbLong, 4},
    {"AUTOINCREMENT", dbLong, 4},
    {"BIGINT", dbBigInt, 8},
    {"INT8", dbBigInt, 8},
    {"SINGLE", dbSingle, 4},
    {"FLOAT4", dbSingle, 4},
    {"IEEESINGLE", dbSingle, 4},
    {"REAL", dbDouble, 8},
    {"DOUBLE", dbDouble, 8},
    {"FLOAT", dbDouble, 8},
    {"FLOAT8", dbDouble, 8},
    {"IEEEDOUBLE", dbDouble, 8},
    {"NUMBER", dbDouble, 8},
    {"NUMERIC", dbDouble, 8},
    {"DECIMAL", dbDouble, 8},
    {"DEC", dbDouble, 8},
    {"CURRENCY", dbCurrency, 8},
    {"MONEY", dbCurrency, 8},
    {"DATETIME", dbDate, 8},
    {"DATE", dbDate, 8},
    {"TIME", dbDate, 8},
    {"TIMESTAMP", dbDate, 8},
    {"BIT", dbBoolean, 1},
    {"BOOLEAN", dbBoolean, 1},
    {"BOOL", dbBoolean, 1},
    {"LOGICAL", dbBoolean, 1},
    {"LOGICAL1", dbBoolean, 1},
    {"YESNO", dbBoolean, 1},
    {"BINARY", dbBinary, 255},
    {"VARBINARY", dbBinary, 255},
    {"LONGBINARY", dbLongBinary, 0},
    {"OLEOBJECT", dbLongBinary, 0},
    {"GENERAL", dbLongBinary, 0},
    {"IMAGE", dbLongBinary, 0},
    {"BLOB", dbLongBinary, 0},
    {"GUID", dbGUID, 16},
    {"UNIQUEIDENTIFIER", dbGUID, 16},
};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

const TypeWord* FindWord(const std::string& word) {
    for (const auto& w : kTypeWords)
        if (word == w.word) return &w;
    return nullptr;
}

// A value of an integer field type: the field's own variant type when the value fits it,
// else the narrowest wider one, so that no value is cut.
Variant IntegerOf(std::int64_t v, std::int32_t type) {
    if (type == dbByte && v >= 0 && v <= 255) return Variant(static_cast<std::uint8_t>(v));
    if ((type == dbByte || type == dbInteger) && v >= -32768 && v <= 32767)
        return Variant(static_cast<std::int16_t>(v));
    if (type == dbBigInt) return Variant(v);
    if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<std::int32_t>(v));
    return Variant(static_cast<double>(v));
}

// "yyyy-mm-dd", optionally followed by " hh:nn" or " hh:nn:ss" (or "T" in place of the
// space): the text form other SQLite programs commonly store in date columns.
std::optional<TDateTime> ParseIsoDate(std::string_view s) {
    auto num = [&](std::size_t pos, std::size_t len, int& out) {
        if (pos + len > s.size()) return false;
        out = 0;
        for (std::size_t i = pos; i < pos + len; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
            out = out * 10 + (s[i] - '0');
        }
        return true;
    };
    int y = 0, m = 0, d = 0, hh = 0, nn = 0, ss = 0;
    if (!num(0, 4, y) || s.size() < 10 || s[4] != '-' || !num(5, 2, m) || s[7] != '-' || !num(8, 2, d))
        return std::nullopt;
    auto date = TryEncodeDate(y, m, d);
    if (!date) return std::nullopt;
    if (s.size() == 10) return date;
    if ((s[10] != ' ' && s[10] != 'T') || !num(11, 2, hh) || s.size() < 16 || s[13] != ':' || !num(14, 2, nn))
        return std::nullopt;
    if (s.size() > 16 && (s[16] != ':' || !num(17, 2, ss) || s.size() != 19)) return std::nullopt;
    auto time = TryEncodeTime(hh, nn, ss, 0);
    if (!time) return std::nullopt;
    return *date + *time;
}

// The column's value is read through its value object: one lookup of the column for all
// the calls on it. The statement belongs to the calling thread's connection, the only one
// that touches it.
std::string ValueText(sqlite3_value* v) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string();
}

std::vector<std::uint8_t> ValueBytes(sqlite3_value* v) {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_value_blob(v));
    auto n = static_cast<std::size_t>(sqlite3_value_bytes(v));
    return data != nullptr ? std::vector<std::uint8_t>(data, data + n) : std::vector<std::uint8_t>();
}

}  // namespace

std::optional<ColumnType> TypeOfDeclaration(std::string_view declaration) {
    std::string decl = Upper(declaration);
    std::size_t paren = decl.find('(');
    std::string word = decl.substr(0, paren);
    while (!word.empty() && word.back() == ' ') word.pop_back();
    while (!word.empty() && word.front() == ' ') word.erase(word.begin());
    if (word == "DOUBLE PRECISION") word = "DOUBLE";
    const TypeWord* w = FindWord(word);
    if (w == nullptr) return std::nullopt;
    ColumnType t{w->type, w->size, word == "COUNTER" || word == "AUTOINCREMENT"};
    if (paren != std::string::npos && (t.type == dbText || t.type == dbBinary)) {
        int n = std::atoi(decl.c_str() + paren + 1);
        if (n > 0) t.size = n;
    } else if (word == "TEXT") {
        t = {dbMemo, 0, false};
    }
    return t;
}

ColumnType TypeOfStorageClass(int storageClass) {
    switch (storageClass) {
        case SQLITE_INTEGER: return {dbLong, 4, false};
        case SQLITE_FLOAT: return {dbDouble, 8, false};
        case SQLITE_BLOB: return {dbLongBinary, 0, false};
        default: return {dbMemo, 0, false};
    }
}

std::int32_t TypeOfParameterWord(std::string_view word) {
    const TypeWord* w = FindWord(Upper(word));
    return w != nullptr ? w->type : dbText;
}

Variant ReadColumn(sqlite3_stmt* st, int col, std::int32_t type, CurrencyStorage currency) {
    sqlite3_value* v = sqlite3_column_value(st, col);
    const int storage = sqlite3_value_type(v);
    if (storage == SQLITE_NULL) return Variant::Null();
    switch (type) {
        case dbBoolean:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) return Variant(sqlite3_value_double(v) != 0);
            break;
        case dbByte:
        case dbInteger:
        case dbLong:
        case dbBigInt:
            if (storage == SQLITE_INTEGER) return IntegerOf(sqlite3_value_int64(v), type);
            break;
        case dbCurrency:
            if (storage == SQLITE_INTEGER && currency == CurrencyStorage::Scaled)
                return Variant(Currency{sqlite3_value_int64(v)});
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
                const double amount = sqlite3_value_double(v);
                if (auto currency = Currency::TryFromDouble(amount)) return Variant(*currency);
                return Variant(amount);
            }
            break;
        case dbSingle:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return Variant(static_cast<float>(sqlite3_value_double(v)));
            break;
        case dbDouble:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) return Variant(sqlite3_value_double(v));
            break;
        case dbDate:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) return Variant::FromDate(sqlite3_value_double(v));
            if (storage == SQLITE_TEXT)
                if (auto d = ParseIsoDate(ValueText(v))) return Variant::FromDate(*d);
            break;
        case dbText:
        case dbMemo:
            if (storage != SQLITE_BLOB) return Variant(ValueText(v));
            break;
        case dbBinary:
        case dbLongBinary:
        case dbGUID:
        case dbVarBinary:
            if (storage == SQLITE_BLOB || storage == SQLITE_TEXT) return Variant(ValueBytes(v));
            break;
        default: break;
    }
    switch (storage) {
        case SQLITE_INTEGER: return IntegerOf(sqlite3_value_int64(v), dbLong);
        case SQLITE_FLOAT: return Variant(sqlite3_value_double(v));
        case SQLITE_BLOB: return Variant(ValueBytes(v));
        default: return Variant(ValueText(v));
    }
}

void BindVariant(sqlite3_stmt* st, int index, const Variant& v) {
    switch (v.VarType()) {
        case varEmpty:
        case varNull: sqlite3_bind_null(st, index); return;
        case varBoolean: sqlite3_bind_int(st, index, v.ToBoolean() ? -1 : 0); return;
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: sqlite3_bind_int64(st, index, v.ToInt64()); return;
        case varSingle:
        case varDouble:
        case varCurrency:
        case varDate: sqlite3_bind_double(st, index, v.ToDouble()); return;
        default: break;
    }
    if (v.IsByteArray()) {
        const auto& bytes = v.Bytes();
        sqlite3_bind_blob64(st, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        return;
    }
    std::string text = v.ToString(FormatSettings::Invariant());
    sqlite3_bind_text64(st, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

std::vector<std::string> ColumnNames(sqlite3* db, const std::string& table) {
    std::vector<std::string> names;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1) ORDER BY cid", -1, &raw, nullptr) != SQLITE_OK)
        return names;
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    sqlite3_bind_text(raw, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(raw) == SQLITE_ROW)
        if (const auto* name = sqlite3_column_text(raw, 0)) names.emplace_back(reinterpret_cast<const char*>(name));
    return names;
}

void BindStored(sqlite3_stmt* st, int index, const Variant& v, CurrencyStorage currency) {
    if (v.VarType() == varCurrency && currency == CurrencyStorage::Scaled)
        return static_cast<void>(sqlite3_bind_int64(st, index, v.ToCurrency().Scaled));
    BindVariant(st, index, v);
}

Variant ConvertToFieldType(const Variant& value, std::int32_t type, const FormatSettings& settings) {
    if (value.IsEmpty() || value.IsNull()) return value;
    switch (type) {
        case dbBoolean: return Variant(value.ToBoolean(settings));
        case dbByte: return value.ConvertTo(varByte, settings);
        case dbInteger: return value.ConvertTo(varSmallint, settings);
        case dbLong: return value.ConvertTo(varInteger, settings);
        case dbBigInt: return value.ConvertTo(varInt64, settings);
        case dbSingle: return value.ConvertTo(varSingle, settings);
        case dbDouble:
        case dbDecimal:
        case dbNumeric:
        case dbFloat: return value.ConvertTo(varDouble, settings);
        case dbCurrency: return value.ConvertTo(varCurrency, settings);
        case dbDate:
        case dbTime:
        case dbTimeStamp: return value.ConvertTo(varDate, settings);
        case dbBinary:
        case dbLongBinary:
        case dbVarBinary:
            if (value.IsText()) {
                std::string s = value.ToString(settings);
                return Variant(std::vector<std::uint8_t>(s.begin(), s.end()));
            }
            return value;
        default:
            if (value.IsByteArray()) return value;
            return Variant(value.ToString(settings));
    }
}

}  // namespace pavana::engine::sqlite
