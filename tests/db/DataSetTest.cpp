#include "db/DataSet.h"

#include <gtest/gtest.h>

#include <cstring>

#include "db/DataSource.h"
#include "rtl/Exceptions.h"

namespace pavana {
namespace {

// A dataset over rows kept in memory: each row is the data area of a record buffer (a
// present byte and the native data of every column). Bookmarks are row ids.
class MemoryDataSet : public TDataSet {
public:
    explicit MemoryDataSet(std::vector<TFieldDef> columns) : TDataSet(nullptr), columns_(std::move(columns)) {}
    ~MemoryDataSet() override { Close(); }

    std::vector<TRecordBuffer> rows;
    std::vector<std::int32_t> ids;
    bool canModify = true;

    bool GetFieldData(TField& field, void* out) override {
        TRecordBuffer* buffer = ActiveBuffer();
        if (buffer == nullptr) return false;
        const std::uint8_t* place = Place(*buffer, field);
        if (place[0] == 0) return false;
        if (out != nullptr) std::memcpy(out, place + 1, field.DataSize());
        return true;
    }
    void SetFieldData(TField& field, const void* in) override {
        if (State() != dsEdit && State() != dsInsert && State() != dsCalcFields)
            throw EDatabaseError("Dataset not in edit or insert mode");
        std::uint8_t* place = Place(*ActiveBuffer(), field);
        if (in != nullptr && !field.Calculated()) field.Validate(in);
        place[0] = in != nullptr;
        if (in != nullptr) std::memcpy(place + 1, in, field.DataSize());
        if (State() != dsCalcFields) DataEvent(TDataEvent::deFieldChange, &field);
    }

protected:
    void InternalOpen() override {
        FieldDefs().Clear();
        dataSize_ = 0;
        offsets_.clear();
        for (const TFieldDef& c : columns_) {
            FieldDefs().Add(c.Name, c.DataType, c.Size, c.Required);
            offsets_.push_back(dataSize_);
            dataSize_ += 1 + NativeDataSize(c.DataType, c.Size);
        }
        CreateAndBindFields();
        open_ = true;
        pos_ = -1;
    }
    void InternalClose() override {
        DestroyDefaultFields();
        open_ = false;
    }
    bool IsCursorOpen() const override { return open_; }
    std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override {
        auto buffer = std::make_unique<TRecordBuffer>();
        buffer->Bytes.assign(dataSize_ + CalcFieldsSize() + 5, 0);
        return buffer;
    }
    TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode) override {
        const int count = static_cast<int>(rows.size());
        if (mode == TGetMode::gmNext && ++pos_ >= count) return pos_ = count, TGetResult::grEOF;
        if (mode == TGetMode::gmPrior && --pos_ < 0) return pos_ = -1, TGetResult::grBOF;
        if (pos_ < 0 || pos_ >= count) return TGetResult::grError;
        const auto& row = rows[static_cast<std::size_t>(pos_)].Bytes;
        std::copy(row.begin(), row.end(), buffer.Bytes.begin());
        std::memcpy(Info(buffer), &ids[static_cast<std::size_t>(pos_)], 4);
        Info(buffer)[4] = 0;
        return TGetResult::grOK;
    }
    void InternalInitRecord(TRecordBuffer& buffer) override { std::fill(buffer.Bytes.begin(), buffer.Bytes.end(), 0); }
    void ClearCalcFields(TRecordBuffer& buffer) override {
        std::fill(buffer.Bytes.begin() + static_cast<std::ptrdiff_t>(dataSize_), buffer.Bytes.end() - 5, 0);
    }
    void InternalFirst() override { pos_ = -1; }
    void InternalLast() override { pos_ = static_cast<int>(rows.size()); }
    void InternalSetToRecord(TRecordBuffer& buffer) override { InternalGotoBookmark(GetBookmarkData(buffer)); }
    TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const override {
        return static_cast<TBookmarkFlag>(buffer.Bytes[buffer.Bytes.size() - 1]);
    }
    void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) override {
        buffer.Bytes.back() = static_cast<std::uint8_t>(flag);
    }
    TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override {
        const std::uint8_t* info = buffer.Bytes.data() + buffer.Bytes.size() - 5;
        return TBookmark(info, info + 4);
    }
    void InternalGotoBookmark(const TBookmark& bookmark) override {
        std::int32_t id;
        std::memcpy(&id, bookmark.data(), 4);
        for (std::size_t i = 0; i < ids.size(); ++i)
            if (ids[i] == id) pos_ = static_cast<int>(i);
    }
    bool GetCanModify() const override { return canModify; }
    void InternalPost() override {
        TRecordBuffer row{
            std::vector<std::uint8_t>(ActiveBuffer()->Bytes.begin(),
                                      ActiveBuffer()->Bytes.begin() + static_cast<std::ptrdiff_t>(dataSize_)),
            {}};
        if (State() == dsEdit) {
            rows[static_cast<std::size_t>(pos_)] = std::move(row);
            return;
        }
        const int at = std::clamp(pos_, 0, static_cast<int>(rows.size()));
        rows.insert(rows.begin() + at, std::move(row));
        ids.insert(ids.begin() + at, nextId_++);
        pos_ = at;
    }
    void InternalDelete() override {
        rows.erase(rows.begin() + pos_);
        ids.erase(ids.begin() + pos_);
    }
    void InternalAddRecord(TRecordBuffer&, bool) override {}
    int GetRecordCount() const override { return static_cast<int>(rows.size()); }

private:
    std::uint8_t* Place(TRecordBuffer& buffer, const TField& field) {
        const std::size_t at =
            field.Calculated() ? dataSize_ + field.Offset() : offsets_[static_cast<std::size_t>(field.FieldNo() - 1)];
        return buffer.Bytes.data() + at;
    }
    std::uint8_t* Info(TRecordBuffer& buffer) { return buffer.Bytes.data() + buffer.Bytes.size() - 5; }

    std::vector<TFieldDef> columns_;
    std::vector<std::size_t> offsets_;
    std::size_t dataSize_ = 0;
    bool open_ = false;
    int pos_ = -1;
    std::int32_t nextId_ = 1;
};

class DataSetTest : public ::testing::Test {
protected:
    DataSetTest() : data_({{"n", ftInteger}, {"nome", ftString, 4}, {"curto", ftSmallint}, {"quando", ftDate}}) {}

    void Fill(int count) {
        data_.Open();
        for (int i = 1; i <= count; ++i) {
            data_.Append();
            data_.FieldByName("n").SetAsInteger(i);
            data_.Post();
        }
        data_.First();
    }
    std::string Numbers() {
        std::string out;
        for (data_.First(); !data_.Eof(); data_.Next()) out += data_.FieldByName("n").AsString() + ",";
        return out;
    }

    MemoryDataSet data_;
};

TEST_F(DataSetTest, WindowOfSeveralBuffersKeepsTheCursorOrder) {
    struct Link : TDataLink {
    } link;
    TDataSource source(nullptr);
    source.SetDataSet(&data_);
    link.SetDataSource(&source);
    link.SetBufferCount(3);
    Fill(7);
    EXPECT_EQ(Numbers(), "1,2,3,4,5,6,7,");
    data_.Last();
    std::string backwards;
    for (; !data_.Bof(); data_.Prior()) backwards += data_.FieldByName("n").AsString() + ",";
    EXPECT_EQ(backwards, "7,6,5,4,3,2,1,");
    EXPECT_EQ(data_.MoveBy(4), 4);
    EXPECT_EQ(data_.FieldByName("n").AsInteger(), 5);
    const TBookmark five = data_.GetBookmark();
    data_.Delete();
    EXPECT_EQ(data_.FieldByName("n").AsInteger(), 6);
    EXPECT_EQ(Numbers(), "1,2,3,4,6,7,");
    data_.Last();
    data_.Insert();
    data_.FieldByName("n").SetAsInteger(10);
    data_.Post();
    EXPECT_EQ(Numbers(), "1,2,3,4,6,10,7,");
    EXPECT_EQ(data_.CompareBookmarks(five, five), 0);
    EXPECT_EQ(data_.CompareBookmarks({}, five), 1);
}

TEST_F(DataSetTest, StatesAndEventsOfInsertCancelAndEdit) {
    Fill(2);
    std::vector<std::string> log;
    auto note = [&](const char* what) {
        return [&log, what](TDataSet& d) { log.push_back(what + std::to_string(d.State())); };
    };
    data_.BeforeInsert = note("BI");
    data_.AfterInsert = note("AI");
    data_.BeforeCancel = note("BC");
    data_.AfterCancel = note("AC");
    data_.OnNewRecord = [](TDataSet& d) { d.FieldByName("nome").SetAsString("novo"); };
    data_.Insert();
    EXPECT_EQ(data_.State(), dsInsert);
    EXPECT_EQ(data_.FieldByName("nome").AsString(), "novo");
    EXPECT_FALSE(data_.Modified());
    data_.Cancel();
    EXPECT_EQ(log, (std::vector<std::string>{"BI1", "AI3", "BC3", "AC1"}));
    EXPECT_EQ(data_.RecordCount(), 2);

    data_.Edit();
    data_.FieldByName("nome").SetAsString("x");
    data_.Next();  // leaving a changed record posts it
    EXPECT_EQ(data_.State(), dsBrowse);
    data_.First();
    EXPECT_EQ(data_.FieldByName("nome").AsString(), "x");
    data_.BeforeEdit = [](TDataSet&) { throw EDatabaseError("no"); };
    EXPECT_THROW(data_.Edit(), EDatabaseError);
    EXPECT_EQ(data_.State(), dsBrowse);
    data_.canModify = false;
    data_.BeforeEdit = nullptr;
    EXPECT_THROW(data_.Edit(), EDatabaseError);
    EXPECT_THROW(data_.Delete(), EDatabaseError);
}

TEST_F(DataSetTest, FieldsConvertCheckRangesAndValidate) {
    Fill(1);
    data_.Edit();
    TField& curto = data_.FieldByName("curto");
    try {
        curto.SetAsInteger(40000);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "40000 is not a valid value for field 'curto'. The allowed range is -32768 to 32767");
    }
    curto.SetAsString("-12");
    EXPECT_EQ(curto.AsInteger(), -12);
    EXPECT_EQ(curto.Value().VarType(), varSmallint);
    EXPECT_THROW(curto.SetAsString("doze"), EConvertError);

    TField& nome = data_.FieldByName("nome");
    nome.SetAsString("abcdefg");
    EXPECT_EQ(nome.AsString(), "abcd");
    nome.OnValidate = [](TField& f) {
        if (f.AsString() == "ruim") throw EDatabaseError("recusado");
    };
    EXPECT_THROW(nome.SetAsString("ruim"), EDatabaseError);
    EXPECT_EQ(nome.AsString(), "abcd");
    std::string changed;
    nome.OnChange = [&](TField& f) { changed = f.AsString(); };
    nome.SetAsString("bom");
    EXPECT_EQ(changed, "bom");
    nome.Clear();
    EXPECT_TRUE(nome.IsNull());
    EXPECT_EQ(nome.AsString(), "");

    TField& quando = data_.FieldByName("quando");
    quando.SetAsDateTime(EncodeDate(2024, 2, 29) + 0.75);
    EXPECT_EQ(quando.AsDateTime(), EncodeDate(2024, 2, 29));
    nome.SetReadOnly(true);
    EXPECT_THROW(nome.SetAsString("x"), EDatabaseError);
    nome.SetReadOnly(false);
    nome.SetRequired(true);
    try {
        data_.Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'nome' must have a value");
    }
    EXPECT_EQ(data_.State(), dsEdit);
}

TEST_F(DataSetTest, PersistentAndCalculatedFields) {
    TIntegerField n(nullptr);
    n.SetFieldName("n");
    TStringField dobro(nullptr, 10);
    dobro.SetFieldName("dobro");
    dobro.SetFieldKind(TFieldKind::fkCalculated);
    n.SetDataSet(&data_);
    dobro.SetDataSet(&data_);
    data_.OnCalcFields = [&](TDataSet& d) { dobro.SetAsString(std::to_string(d.FieldByName("n").AsInteger() * 2)); };
    Fill(3);
    EXPECT_FALSE(data_.DefaultFields());
    EXPECT_EQ(data_.Fields().Count(), 2);
    EXPECT_EQ(data_.FindField("nome"), nullptr);
    data_.Next();
    EXPECT_EQ(dobro.AsString(), "4");
    data_.Edit();
    n.SetAsInteger(21);
    EXPECT_EQ(dobro.AsString(), "42");
    data_.Post();
    EXPECT_THROW(n.SetDataSet(nullptr), EDatabaseError);
    data_.Close();

    TBooleanField wrong(nullptr);
    wrong.SetFieldName("n");
    n.SetDataSet(nullptr);
    wrong.SetDataSet(&data_);
    EXPECT_THROW(data_.Open(), EDatabaseError);
    EXPECT_FALSE(data_.Active());
}

TEST_F(DataSetTest, LookupFieldsAndFieldValueLists) {
    MemoryDataSet names({{"codigo", ftSmallint}, {"nome", ftString, 10}});
    names.Open();
    for (const auto& [code, name] : {std::pair{2, "dois"}, std::pair{3, "três"}}) {
        names.Append();
        names.SetFieldValues("codigo; nome", {Variant(std::int32_t{code}), Variant(name)});
        names.Post();
    }
    EXPECT_THROW(names.SetFieldValues("codigo;nome", {Variant(1)}), EDatabaseError);
    names.Last();
    EXPECT_EQ(names.Lookup("codigo", {Variant(2.0)}, "nome")[0].ToString(), "dois");
    EXPECT_TRUE(names.Lookup("codigo", {Variant("2")}, "nome")[0].IsNull());
    EXPECT_TRUE(names.Lookup("codigo", {Variant::Null()}, "nome")[0].IsNull());
    EXPECT_EQ(names.FieldByName("codigo").AsInteger(), 3);

    TIntegerField n(nullptr);
    n.SetFieldName("n");
    TStringField extenso(nullptr, 10);
    extenso.SetFieldName("extenso");
    extenso.SetFieldKind(TFieldKind::fkLookup);
    extenso.SetLookupDataSet(&names);
    extenso.SetKeyFields("n");
    extenso.SetLookupKeyFields("codigo");
    extenso.SetLookupResultField("nome");
    n.SetDataSet(&data_);
    extenso.SetDataSet(&data_);
    Fill(3);
    // Looked-up values are the dataset's own work, also where records cannot be changed.
    data_.canModify = false;
    data_.Refresh();
    std::string shown;
    for (data_.First(); !data_.Eof(); data_.Next())
        shown += extenso.IsNull() ? std::string("-;") : extenso.AsString() + ";";
    EXPECT_EQ(shown, "-;dois;três;");
    EXPECT_EQ(data_.FieldValues("extenso;n")[1].ToInteger(), 3);
    EXPECT_EQ(names.FieldByName("codigo").AsInteger(), 3);
    data_.Close();

    extenso.SetLookupResultField("");
    EXPECT_THROW(data_.Open(), EDatabaseError);
    extenso.SetLookupResultField("nome");
    {
        MemoryDataSet gone({{"codigo", ftSmallint}});
        extenso.SetLookupDataSet(&gone);
    }
    EXPECT_EQ(extenso.LookupDataSet(), nullptr);
}

}  // namespace
}  // namespace pavana
