#include "engine/sqlite/DeclaredTypes.h"

#include "rtl/Format.h"

namespace pavana::engine::sqlite {

std::string SqliteDeclaredType(const dialect::ColumnType& type) {
    switch (type.type) {
        case dialect::JetType::Boolean: return "BIT";
        case dialect::JetType::Byte: return "BYTE";
        case dialect::JetType::Integer: return "SMALLINT";
        // Never "INTEGER": SQLite makes an INTEGER primary key the rowid, which numbers itself
        // when a row leaves it out, and in Jet only a counter does that.
        case dialect::JetType::Long: return "INT";
        case dialect::JetType::Currency: return "CURRENCY";
        case dialect::JetType::Single: return "SINGLE";
        case dialect::JetType::Double: return "DOUBLE";
        case dialect::JetType::Date: return "DATETIME";
        case dialect::JetType::Binary: return Format("BINARY(%d)", {type.size});
        case dialect::JetType::Text: return Format("TEXT(%d)", {type.size});
        case dialect::JetType::LongBinary: return "LONGBINARY";
        case dialect::JetType::Memo: return "LONGTEXT";
        case dialect::JetType::Guid: return "GUID";
        case dialect::JetType::Decimal: return Format("DECIMAL(%d,%d)", {type.precision, type.scale});
    }
    return "";
}

std::string SqliteTypeChecks(dialect::JetType type, std::string_view quotedColumn) {
    // Every statement that writes the table compiles these checks anew, so they are kept to
    // plain comparisons. A value equals its whole-number form only if it is a whole number
    // (text and blobs compare unequal to numbers), and equals itself plus 0 only if it is a
    // number; Null passes, as CHECK lets Null through.
    const std::string c(quotedColumn);
    const std::string whole = " CONSTRAINT \"pavana_type\" CHECK (" + c + " = CAST(" + c + " AS INTEGER))";
    const std::string number = " CONSTRAINT \"pavana_type\" CHECK (" + c + " + 0 = " + c + ")";
    auto range = [&c](const std::string& condition) {
        return " CONSTRAINT \"pavana_range\" CHECK (" + c + condition + ")";
    };
    switch (type) {
        case dialect::JetType::Boolean: return " CONSTRAINT \"pavana_type\" CHECK (" + c + " = -1 OR " + c + " = 0)";
        case dialect::JetType::Byte: return whole + range(" BETWEEN 0 AND 255");
        case dialect::JetType::Integer: return whole + range(" BETWEEN -32768 AND 32767");
        case dialect::JetType::Long: return whole + range(" BETWEEN -2147483648 AND 2147483647");
        case dialect::JetType::Single: return number + range(" BETWEEN -3.402823466e38 AND 3.402823466e38");
        case dialect::JetType::Double: return number;
        // The engine stores an amount as a whole number of ten-thousandths (a file of another
        // program may hold the amount itself).
        case dialect::JetType::Currency: return number + range(" BETWEEN -9223372036854775808 AND 9223372036854775807");
        // 1 January 100 to the last second of 31 December 9999; before 30 December 1899 the
        // time is a negative fraction of the (negative) day.
        case dialect::JetType::Date: return number + range(" > -657435 AND " + c + " < 2958466");
        default: return "";
    }
}

}  // namespace pavana::engine::sqlite
