#include "AccessFile.h"

#include <iconv.h>
#include <mdbtools.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>

#include "rtl/Encoding.h"

namespace pavana::tools {
namespace {

// The bits of MSysObjects.Flags that mark a saved query as the hidden record source of a
// form or report, and the bits of MSysRelationships.grbit that describe a relationship.
constexpr int kHiddenQuery = 0x3;
constexpr int kNoIntegrity = 0x2;
constexpr int kCascadeUpdates = 0x100;
constexpr int kCascadeDeletes = 0x1000;
constexpr int kDeleteSetsNull = 0x2000;

// A long value's header: its length in the low 30 bits, where its bytes are in the top two.
constexpr std::uint32_t kLongLengthMask = 0x3FFFFFFF;
constexpr std::size_t kLongValueHeader = 12;

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::uint64_t Le64(const unsigned char* p) { return Le32(p) | std::uint64_t{Le32(p + 4)} << 32; }

AccessType TypeOf(int mdbType) {
    switch (mdbType) {
        case MDB_BOOL: return AccessType::YesNo;
        case MDB_BYTE: return AccessType::Byte;
        case MDB_INT: return AccessType::Integer;
        case MDB_LONGINT: return AccessType::Long;
        case MDB_MONEY: return AccessType::Currency;
        case MDB_FLOAT: return AccessType::Single;
        case MDB_DOUBLE: return AccessType::Double;
        case MDB_DATETIME: return AccessType::DateTime;
        case MDB_BINARY: return AccessType::Binary;
        case MDB_TEXT: return AccessType::Text;
        case MDB_OLE: return AccessType::OleObject;
        case MDB_MEMO: return AccessType::Memo;
        case MDB_REPID: return AccessType::Guid;
        case MDB_NUMERIC: return AccessType::Decimal;
        case MDB_COMPLEX: return AccessType::Complex;
        default: return AccessType::Other;
    }
}

bool PropertyIsYes(const MdbColumn* col, const char* name) {
    const char* value = mdb_col_get_prop(col, name);
    return value != nullptr && std::strcmp(value, "yes") == 0;
}

// Jet 3 keeps text in the code page its header names; Windows-1252 when it names none.
std::string CodePageText(int codePage, const unsigned char* bytes, std::size_t length) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), length);
    if (codePage == 0 || codePage == 1252) return Cp1252ToUtf8(text);
    iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return Cp1252ToUtf8(text);
    std::string out(length * 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = length;
    char* to = out.data();
    std::size_t outLeft = out.size();
    const std::size_t converted = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (converted == static_cast<std::size_t>(-1)) return Cp1252ToUtf8(text);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

// A Decimal is a sign byte, then a 128-bit magnitude as four little-endian 32-bit words, the
// most significant first; the value is the magnitude divided by 10^scale.
std::string DecimalText(const unsigned char* p, int scale) {
    unsigned __int128 magnitude = 0;
    for (std::size_t word = 0; word < 4; ++word) magnitude = magnitude << 32 | Le32(p + 1 + 4 * word);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale)
            digits.insert(0, static_cast<std::size_t>(scale + 1) - digits.size(), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(scale), 1, '.');
    }
    if ((p[0] & 0x80) != 0 && digits.find_first_not_of("0.") != std::string::npos) digits.insert(0, 1, '-');
    return digits;
}

struct AccessFile::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle() {
        if (mdb != nullptr) mdb_close(mdb);
    }
};

AccessFile::AccessFile(const std::string& path) : path_(path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) throw AccessError("Could not find file '" + path + "'.");
        throw AccessError("Cannot read '" + path + "': " + std::strerror(errno) + ".");
    }
    char header[32] = {};
    in.read(header, sizeof header);
    const std::string_view signature(header + 4, 15);
    if (in.gcount() < static_cast<std::streamsize>(sizeof header) ||
        (signature != "Standard Jet DB" && signature != "Standard ACE DB"))
        throw AccessError("'" + path + "' is not an Access database (.mdb or .accdb).");
    // Text reaches this program as UTF-8 whatever the environment asks of the library.
    setenv("MDB_ICONV", "UTF-8", 1);
    handle_ = std::make_unique<Handle>();
    handle_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (handle_->mdb == nullptr) throw AccessError("'" + path + "' could not be opened as an Access database.");
    if (mdb_read_catalog(handle_->mdb, MDB_ANY) == nullptr || handle_->mdb->num_catalog == 0) {
        const bool ace = handle_->mdb->f->jet_version >= MDB_VER_ACCDB_2007;
        if (ace)
            throw AccessError("'" + path +
                              "' cannot be read: its tables are encrypted (an .accdb with a "
                              "database password, which mdbtools cannot decrypt) or damaged. Remove the "
                              "password in Access (File > Info > Decrypt Database) and import it again.");
        throw AccessError("'" + path + "' cannot be read: its catalog of tables is damaged.");
    }
}

AccessFile::~AccessFile() = default;

std::string AccessFile::FormatName() const {
    const auto version = handle_->mdb->f->jet_version;
    return version == MDB_VER_JET3 ? "Jet 3" : version == MDB_VER_JET4 ? "Jet 4" : "ACE";
}

bool AccessFile::Wide() const { return handle_->mdb->f->jet_version != MDB_VER_JET3; }

std::string AccessFile::DecodeText(const unsigned char* bytes, std::size_t length) const {
    if (!Wide()) return CodePageText(handle_->mdb->f->code_page, bytes, length);
    std::u16string units;
    units.reserve(length / 2);
    // Access's compression: after the mark FF FE, runs of characters below U+0100 are kept
    // one byte each; a zero byte switches between such runs and plain UTF-16 code units.
    if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        bool compressed = true;
        for (std::size_t i = 2; i < length;) {
            if (bytes[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(bytes[i++]);
            } else if (i + 1 < length) {
                units.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < length; i += 2)
            units.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    return Utf16ToUtf8(units);
}

std::vector<std::string> AccessFile::TableNames() const {
    std::vector<std::string> names;
    for (unsigned i = 0; i < handle_->mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle_->mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) names.emplace_back(entry->object_name);
    }
    return names;
}

std::vector<std::string> AccessFile::LinkedTableNames() const {
    std::vector<std::string> names;
    for (unsigned i = 0; i < handle_->mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle_->mdb->catalog, i));
        if (entry->object_type == MDB_LINKED_TABLE) names.emplace_back(entry->object_name);
    }
    return names;
}

std::vector<std::vector<AccessValue>> AccessFile::SystemRows(const std::string& table,
                                                             const std::vector<std::string>& columns) const {
    std::vector<std::vector<AccessValue>> rows;
    if (mdb_get_catalogentry_by_name(handle_->mdb, table.c_str()) == nullptr) return rows;
    Rows reader(const_cast<AccessFile&>(*this), table);
    std::vector<int> at;
    for (const std::string& name : columns) {
        int found = -1;
        for (std::size_t c = 0; c < reader.Table().columns.size(); ++c)
            if (reader.Table().columns[c].name == name) found = static_cast<int>(c);
        if (found < 0) throw AccessError("The system table " + table + " has no column " + name + ".");
        at.push_back(found);
    }
    while (reader.Next()) {
        std::vector<AccessValue> row;
        for (int c : at) {
            row.push_back(reader.Values()[static_cast<std::size_t>(c)]);
            if (row.back().null) row.back() = AccessValue{};
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<AccessQuery> AccessFile::Queries() const {
    std::map<unsigned long, AccessQuery> byPage;
    std::vector<unsigned long> order;
    for (unsigned i = 0; i < handle_->mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle_->mdb->catalog, i));
        if (entry->object_type != MDB_QUERY || (entry->flags & kHiddenQuery) == kHiddenQuery) continue;
        byPage[entry->table_pg] = AccessQuery{entry->object_name, entry->flags, {}};
        order.push_back(entry->table_pg);
    }
    if (order.empty()) return {};
    for (const auto& row :
         SystemRows("MSysQueries", {"ObjectId", "Attribute", "Flag", "Name1", "Name2", "Expression"})) {
        auto query = byPage.find(static_cast<unsigned long>(row[0].integer) & 0x00FFFFFF);
        if (query == byPage.end()) continue;
        query->second.rows.push_back(AccessQueryRow{static_cast<int>(row[1].integer), static_cast<int>(row[2].integer),
                                                    row[3].bytes, row[4].bytes, row[5].bytes});
    }
    std::vector<AccessQuery> queries;
    for (unsigned long page : order) queries.push_back(std::move(byPage[page]));
    return queries;
}

std::vector<AccessRelationship> AccessFile::Relationships() const {
    std::vector<AccessRelationship> relationships;
    std::map<std::string, std::map<std::int64_t, std::pair<std::string, std::string>>> columns;
    const auto rows = SystemRows("MSysRelationships", {"szRelationship", "grbit", "icolumn", "szObject", "szColumn",
                                                       "szReferencedObject", "szReferencedColumn"});
    for (const auto& row : rows) {
        const std::string& name = row[0].bytes;
        if (columns.count(name) == 0) {
            const auto grbit = row[1].integer;
            relationships.push_back(AccessRelationship{name,
                                                       row[3].bytes,
                                                       row[5].bytes,
                                                       {},
                                                       {},
                                                       (grbit & kNoIntegrity) == 0,
                                                       (grbit & kCascadeUpdates) != 0,
                                                       (grbit & kCascadeDeletes) != 0,
                                                       (grbit & kDeleteSetsNull) != 0});
        }
        columns[name][row[2].integer] = {row[4].bytes, row[6].bytes};
    }
    for (AccessRelationship& r : relationships) {
        for (const auto& [position, pair] : columns[r.name]) {
            r.columns.push_back(pair.first);
            r.referencedColumns.push_back(pair.second);
        }
    }
    return relationships;
}

AccessFile::Rows::Rows(AccessFile& file, const std::string& table) : file_(file), chunk_(MDB_BIND_SIZE) {
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(file.handle_->mdb, table.c_str());
    if (entry != nullptr) def_ = mdb_read_table(entry);
    if (def_ == nullptr) throw AccessError("The table " + table + " cannot be read.");
    mdb_read_columns(def_);
    mdb_read_indices(def_);
    mdb_rewind_table(def_);
    table_.name = def_->name;
    table_.rowCount = def_->num_rows;
    if (const char* rule = mdb_table_get_prop(def_, "ValidationRule"); rule != nullptr && *rule != '\0')
        table_.validationRule = rule;
    for (unsigned c = 0; c < def_->num_cols; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def_->columns, c));
        AccessColumn column;
        column.name = col->name;
        column.type = TypeOf(col->col_type);
        column.typeCode = col->col_type;
        column.size = column.type == AccessType::Text && file.Wide() ? col->col_size / 2 : col->col_size;
        // The descriptor holds a Decimal's precision, then its scale; the library reads
        // the first into col_scale and the second into col_prec.
        column.precision = col->col_scale;
        column.scale = col->col_prec;
        column.autoNumber = col->is_long_auto != 0;
        column.guidAutoNumber = col->is_uuid_auto != 0;
        column.required = PropertyIsYes(col, "Required");
        column.allowZeroLength = PropertyIsYes(col, "AllowZeroLength");
        if (const char* value = mdb_col_get_prop(col, "DefaultValue"); value != nullptr && *value != '\0')
            column.defaultValue = value;
        if (const char* value = mdb_col_get_prop(col, "ValidationRule"); value != nullptr && *value != '\0')
            column.validationRule = value;
        table_.columns.push_back(std::move(column));
        libraryColumn_.push_back(static_cast<int>(c));
    }
    for (unsigned i = 0; i < def_->num_idxs; ++i) {
        auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(def_->indices, i));
        AccessIndex index;
        index.name = idx->name;
        index.primaryKey = idx->index_type == 1;
        index.foreignKey = idx->index_type == 2;
        index.unique = (idx->flags & MDB_IDX_UNIQUE) != 0;
        index.ignoreNulls = (idx->flags & MDB_IDX_IGNORENULLS) != 0;
        index.required = (idx->flags & MDB_IDX_REQUIRED) != 0;
        for (unsigned k = 0; k < idx->num_keys; ++k) {
            // An index names its columns by their number in the file, which deleted
            // columns may set apart from their position.
            const int number = idx->key_col_num[k] - 1;
            int position = -1;
            for (unsigned c = 0; c < def_->num_cols; ++c)
                if (static_cast<MdbColumn*>(g_ptr_array_index(def_->columns, c))->col_num == number)
                    position = static_cast<int>(c);
            if (position < 0) position = number;
            if (position < 0 || position >= static_cast<int>(def_->num_cols))
                throw AccessError("An index of the table " + table_.name + " names a column it does not have.");
            index.keys.push_back(AccessIndex::Key{position, idx->key_col_order[k] == MDB_DESC});
        }
        table_.indexes.push_back(std::move(index));
    }
    values_.resize(table_.columns.size());
}

AccessFile::Rows::~Rows() {
    if (def_ != nullptr) mdb_free_tabledef(def_);
}

void AccessFile::Rows::Rewind() { mdb_rewind_table(def_); }

bool AccessFile::Rows::Next() {
    MdbHandle* mdb = file_.handle_->mdb;
    if (!mdb_fetch_row(def_)) return false;
    // The library has placed the row's page in its buffer; the row is split again here to
    // learn which values are Null, which its text forms do not tell.
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(mdb, static_cast<int>(def_->cur_row) - 1, &start, &size) != 0)
        throw AccessError("A row of the table " + table_.name + " cannot be read.");
    std::vector<MdbField> fields(def_->num_cols);
    const int count = mdb_crack_row(def_, start & 0x1FFF, size, fields.data());
    if (count < static_cast<int>(def_->num_cols))
        throw AccessError("A row of the table " + table_.name + " cannot be read.");
    for (std::size_t i = 0; i < table_.columns.size(); ++i) {
        const MdbField& field = fields[static_cast<std::size_t>(i)];
        const std::size_t c = static_cast<std::size_t>(field.colnum);
        AccessValue& v = values_[c];
        const AccessType type = table_.columns[c].type;
        if (type == AccessType::YesNo) {
            // A Yes/No value is its null bit: set means Yes.
            v.null = false;
            v.integer = field.is_null ? 0 : -1;
            continue;
        }
        v.null = field.is_null != 0;
        if (v.null) continue;
        const unsigned char* p = mdb->pg_buf + field.start;
        const int length = field.siz;
        switch (type) {
            case AccessType::Byte: v.integer = p[0]; break;
            case AccessType::Integer: v.integer = static_cast<std::int16_t>(p[0] | p[1] << 8); break;
            case AccessType::Long: v.integer = static_cast<std::int32_t>(Le32(p)); break;
            case AccessType::Currency: v.integer = static_cast<std::int64_t>(Le64(p)); break;
            case AccessType::Single: {
                float f;
                std::uint32_t bits = Le32(p);
                std::memcpy(&f, &bits, sizeof f);
                v.real = f;
                break;
            }
            case AccessType::Double:
            case AccessType::DateTime: {
                std::uint64_t bits = Le64(p);
                std::memcpy(&v.real, &bits, sizeof v.real);
                break;
            }
            case AccessType::Text: v.bytes = file_.DecodeText(p, static_cast<std::size_t>(length)); break;
            case AccessType::Binary:
            case AccessType::Guid:
                v.bytes.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(length));
                break;
            case AccessType::Decimal: v.bytes = DecimalText(p, table_.columns[c].scale); break;
            case AccessType::Memo:
            case AccessType::OleObject:
                ReadLongValue(c, field.start, length);
                v.bytes =
                    type == AccessType::Memo
                        ? file_.DecodeText(reinterpret_cast<const unsigned char*>(longBytes_.data()), longBytes_.size())
                        : longBytes_;
                break;
            case AccessType::Complex:
            case AccessType::Other: v.null = true; break;
            case AccessType::YesNo: break;
        }
    }
    return true;
}

// A Memo or OLE Object is a 12-byte header in the row (its length and where its bytes are:
// in the row itself, in one row of a long-value page, or in a chain of such rows), read
// through the library's long-value reader into `longBytes_`.
void AccessFile::Rows::ReadLongValue(std::size_t column, int start, int length) {
    longBytes_.clear();
    if (length < static_cast<int>(kLongValueHeader)) return;
    MdbHandle* mdb = file_.handle_->mdb;
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def_->columns, libraryColumn_[column]));
    unsigned char header[kLongValueHeader];
    std::memcpy(header, mdb->pg_buf + start, kLongValueHeader);
    const std::uint32_t expected = Le32(header) & kLongLengthMask;
    col->cur_value_start = start;
    col->cur_value_len = length;
    col->bind_ptr = chunk_.data();
    std::size_t n = mdb_ole_read(mdb, col, header, chunk_.size());
    longBytes_.append(reinterpret_cast<const char*>(chunk_.data()), n);
    while (longBytes_.size() < expected && (n = mdb_ole_read_next(mdb, col, header)) != 0)
        longBytes_.append(reinterpret_cast<const char*>(chunk_.data()), n);
    col->bind_ptr = nullptr;
    if (longBytes_.size() != expected)
        throw AccessError("A value of the column " + table_.columns[column].name + " of the table " + table_.name +
                          " holds " + std::to_string(longBytes_.size()) + " of its " + std::to_string(expected) +
                          " bytes: the file is damaged.");
}

}  // namespace pavana::tools
