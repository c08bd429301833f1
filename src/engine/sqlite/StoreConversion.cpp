#include "engine/sqlite/StoreConversion.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/dialect/JetTypes.h"
#include "engine/sqlite/FunctionSupport.h"
#include "rtl/Strings.h"
#include "rtl/Variant.h"

namespace pavana::engine::sqlite {

using namespace dialect;
namespace {

using support::FunctionError;

// The type of column `column` of `table` on `db`; nullopt when the table has no such column
// or its declaration names no type.
std::optional<JetType> DeclaredColumnType(sqlite3* db, const char* table, const char* column) {
    const char* declared = nullptr;
    if (sqlite3_table_column_metadata(db, nullptr, table, column, &declared, nullptr, nullptr, nullptr, nullptr) !=
            SQLITE_OK ||
        !declared)
        return std::nullopt;
    return TypeOfDeclaredType(declared);
}

// The column's type, looked up once per statement: SQLite keeps the answer with the constant
// column argument. `column` is a name or a 0-based position.
std::optional<JetType> ColumnTypeOf(sqlite3_context* ctx, sqlite3_value* tableArg, sqlite3_value* columnArg) {
    if (auto* cached = static_cast<std::optional<JetType>*>(sqlite3_get_auxdata(ctx, 2))) return *cached;
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const auto* table = reinterpret_cast<const char*>(sqlite3_value_text(tableArg));
    std::optional<JetType> type;
    if (sqlite3_value_type(columnArg) == SQLITE_INTEGER) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT type FROM pragma_table_info(?1) WHERE cid = ?2", -1, &st, nullptr) ==
            SQLITE_OK) {
            sqlite3_bind_text(st, 1, table, -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 2, sqlite3_value_int64(columnArg));
            if (sqlite3_step(st) == SQLITE_ROW)
                if (auto* text = sqlite3_column_text(st, 0))
                    type = TypeOfDeclaredType(reinterpret_cast<const char*>(text));
        }
        sqlite3_finalize(st);
    } else {
        type = DeclaredColumnType(db, table, reinterpret_cast<const char*>(sqlite3_value_text(columnArg)));
    }
    auto found = std::make_unique<std::optional<JetType>>(type);
    sqlite3_set_auxdata(ctx, 2, found.release(), [](void* p) { delete static_cast<std::optional<JetType>*>(p); });
    return type;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string_view TextOf(sqlite3_value* v) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

// The value as a number: a number as it is, text that reads as one; anything else (other
// text, a blob) is no number.
double NumberOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
        case SQLITE_FLOAT: return sqlite3_value_double(v);
        case SQLITE_TEXT:
            if (auto n = support::ParseNumber(TextOf(v))) return *n;
            break;
        default: break;
    }
    throw FunctionError{support::kTypeMismatch};
}

void StoreWhole(sqlite3_context* ctx, sqlite3_value* v, double low, double high) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        const sqlite3_int64 n = sqlite3_value_int64(v);
        if (static_cast<double>(n) < low || static_cast<double>(n) > high) throw FunctionError{support::kFieldOverflow};
        return sqlite3_result_int64(ctx, n);
    }
    const double rounded = support::RoundHalfEven(NumberOf(v));
    if (!(rounded >= low && rounded <= high)) throw FunctionError{support::kFieldOverflow};
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(rounded));
}

void StoreReal(sqlite3_context* ctx, sqlite3_value* v, double limit) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(v);
        if (!(std::fabs(d) <= limit)) throw FunctionError{support::kFieldOverflow};
        return sqlite3_result_value(ctx, v);
    }
    const double d = NumberOf(v);
    if (!(std::fabs(d) <= limit)) throw FunctionError{support::kFieldOverflow};
    support::ResultNumber(ctx, d);
}

constexpr sqlite3_int64 kWholeAmountLimit = 922337203685477;  // the largest whole amount

// The amount as a whole number of ten-thousandths, rounded half to even.
sqlite3_int64 ScaledAmount(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        const sqlite3_int64 n = sqlite3_value_int64(v);
        if (n < -kWholeAmountLimit || n > kWholeAmountLimit) throw FunctionError{support::kFieldOverflow};
        return n * 10000;
    }
    // Rounded half to even (the default rounding mode) to 4 decimals.
    const long double scaled = std::nearbyint(Currency::ScaledValue(NumberOf(v)));
    if (!(scaled >= -9223372036854775808.0L && scaled < 9223372036854775808.0L))
        throw FunctionError{support::kFieldOverflow};
    return static_cast<sqlite3_int64>(scaled);
}

// Currency columns of files of earlier builds hold the amount itself.
void StoreCurrencyAmount(sqlite3_context* ctx, sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        const sqlite3_int64 n = sqlite3_value_int64(v);
        if (n < -kWholeAmountLimit || n > kWholeAmountLimit) throw FunctionError{support::kFieldOverflow};
        return sqlite3_result_int64(ctx, n);
    }
    support::ResultNumber(ctx, static_cast<double>(static_cast<long double>(ScaledAmount(v)) / 10000.0L));
}

void StoreDate(sqlite3_context* ctx, sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_BLOB) throw FunctionError{support::kTypeMismatch};
    double day = 0;
    try {
        day = support::ToDate(v);
    } catch (const FunctionError& e) {
        // A day number outside years 100..9999 is beyond the field, not of the wrong kind.
        if (std::string_view(e.message) == support::kOverflow) throw FunctionError{support::kFieldOverflow};
        throw;
    }
    support::ResultNumber(ctx, day);
}

void StoreYesNo(sqlite3_context* ctx, sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
        const std::string_view word = Trimmed(TextOf(v));
        if (SameAsciiText(word, "true")) return sqlite3_result_int(ctx, -1);
        if (SameAsciiText(word, "false")) return sqlite3_result_int(ctx, 0);
    }
    sqlite3_result_int(ctx, NumberOf(v) != 0 ? -1 : 0);
}

// A number written into a text column becomes the text CStr gives it under the format
// settings ("7,75" under pt_BR's, "2" for 2.0), not SQLite's own form of it.
void StoreText(sqlite3_context* ctx, sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT)
        return support::ResultText(ctx, support::NumberText(sqlite3_value_double(v)));
    sqlite3_result_value(ctx, v);
}

// What a conversion function knows of the column it converts for: its type, when the
// statement's translation settled it, and how the database holds Currency amounts.
struct StoreContext {
    std::optional<JetType> type;
    CurrencyStorage currency = CurrencyStorage::Scaled;
};

const StoreContext& ContextOf(sqlite3_context* ctx) {
    return *static_cast<const StoreContext*>(support::UserData(ctx));
}

bool ScaledCurrency(sqlite3_context* ctx) { return ContextOf(ctx).currency == CurrencyStorage::Scaled; }

// Value `v` as a column of `type` stores it; a column without a known type takes it as it is.
void StoreAs(sqlite3_context* ctx, sqlite3_value* v, std::optional<JetType> type) {
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return type == JetType::Boolean ? sqlite3_result_int(ctx, 0) : sqlite3_result_null(ctx);
    if (!type) return sqlite3_result_value(ctx, v);
    switch (*type) {
        case JetType::Byte: return StoreWhole(ctx, v, 0, 255);
        case JetType::Integer: return StoreWhole(ctx, v, -32768, 32767);
        case JetType::Long: return StoreWhole(ctx, v, -2147483648.0, 2147483647.0);
        case JetType::Single: return StoreReal(ctx, v, 3.402823466e38);
        case JetType::Double: return StoreReal(ctx, v, HUGE_VAL);
        case JetType::Currency:
            if (ScaledCurrency(ctx)) return sqlite3_result_int64(ctx, ScaledAmount(v));
            return StoreCurrencyAmount(ctx, v);
        case JetType::Date: return StoreDate(ctx, v);
        case JetType::Boolean: return StoreYesNo(ctx, v);
        case JetType::Text:
        case JetType::Memo: return StoreText(ctx, v);
        default: return sqlite3_result_value(ctx, v);
    }
}

// pavana_store(value, table, column): the column looked up once per statement.
void Store(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) != SQLITE_TEXT) return sqlite3_result_value(ctx, argv[0]);
    StoreAs(ctx, argv[0], ColumnTypeOf(ctx, argv[1], argv[2]));
}

// pavana_store_<type>(value): the column's type settled when the statement was translated.
void StoreTyped(sqlite3_context* ctx, int, sqlite3_value** argv) { StoreAs(ctx, argv[0], ContextOf(ctx).type); }

// A scaled currency amount written into a column: a Currency column of scaled amounts takes
// it as it is, any other column the amount it stands for.
void StoreScaled(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) == SQLITE_INTEGER && sqlite3_value_type(argv[1]) == SQLITE_TEXT &&
        ColumnTypeOf(ctx, argv[1], argv[2]) == JetType::Currency && ScaledCurrency(ctx))
        return sqlite3_result_value(ctx, v);
    if (sqlite3_value_type(v) != SQLITE_INTEGER) return Store(ctx, argc, argv);
    const auto amount = static_cast<double>(static_cast<long double>(sqlite3_value_int64(v)) / 10000.0L);
    using Value = std::unique_ptr<sqlite3_value, void (*)(sqlite3_value*)>;
    sqlite3_stmt* raw = nullptr;
    // The amount as a value of its own, converted as any other written value.
    if (sqlite3_prepare_v2(sqlite3_context_db_handle(ctx), "SELECT ?1", -1, &raw, nullptr) != SQLITE_OK)
        throw FunctionError{support::kTypeMismatch};
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    sqlite3_bind_double(raw, 1, amount);
    if (sqlite3_step(raw) != SQLITE_ROW) throw FunctionError{support::kTypeMismatch};
    const Value copy(sqlite3_value_dup(sqlite3_column_value(raw, 0)), sqlite3_value_free);
    sqlite3_value* args[] = {copy.get(), argv[1], argv[2]};
    Store(ctx, argc, args);
}

// The value as a scaled amount, as a Currency column stores it.
void Scale(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    try {
        sqlite3_result_int64(ctx, ScaledAmount(argv[0]));
    } catch (const FunctionError&) {
        if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) throw;
        throw FunctionError{support::kOverflow};
    }
}

// The result of scaled arithmetic: SQLite gives a real number where a whole one overflows.
void CheckCurrency(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT) throw FunctionError{support::kOverflow};
    sqlite3_result_value(ctx, argv[0]);
}

struct TypedStore {
    JetType type;
    const char* function;
};

// One function per type whose stored form a written value may need to be converted to;
// the other types (binary, GUID, decimal) take values as they are.
constexpr TypedStore kTypedStores[] = {
    {JetType::Boolean, "pavana_store_yesno"},     {JetType::Byte, "pavana_store_byte"},
    {JetType::Integer, "pavana_store_short"},     {JetType::Long, "pavana_store_long"},
    {JetType::Currency, "pavana_store_currency"}, {JetType::Single, "pavana_store_single"},
    {JetType::Double, "pavana_store_double"},     {JetType::Date, "pavana_store_date"},
    {JetType::Text, "pavana_store_text"},         {JetType::Memo, "pavana_store_text"},
};

}  // namespace

void RegisterStoreConversion(sqlite3* db, CurrencyStorage currency) {
    const auto untyped = std::make_shared<StoreContext>(StoreContext{std::nullopt, currency});
    support::Define(db, "pavana_store", 3, Store, true, untyped);
    support::Define(db, "pavana_store_scaled", 3, StoreScaled, true, untyped);
    support::Define(db, "pavana_scaled", 1, Scale);
    support::Define(db, "pavana_currency", 1, CheckCurrency);
    for (const TypedStore& store : kTypedStores)
        if (store.type != JetType::Memo)  // Memo shares Text's function
            support::Define(db, store.function, 1, StoreTyped, true,
                            std::make_shared<StoreContext>(StoreContext{store.type, currency}));
}

const char* StoreFunction(JetType type) {
    for (const TypedStore& store : kTypedStores)
        if (store.type == type) return store.function;
    return nullptr;
}

std::optional<JetType> TypeOfDeclaredType(std::string_view declared) {
    const auto type = TypeFromWord(declared.substr(0, declared.find_first_of(" (\t")));
    return type ? std::optional<JetType>(type->type) : std::nullopt;
}

}  // namespace pavana::engine::sqlite
