// What a dataset asks of the engine while it browses: the recordset it stands on is wrapped
// in one that counts bookmark reads and field value reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestFolder.h"
#include "dao/DAODatabase.h"
#include "dao/DAOQuery.h"
#include "engine/ClassRegistry.h"

namespace pavana {
namespace {

struct EngineReads {
    int bookmarks = 0;
    int values = 0;
    bool textSizeZero = false;       // report every text column with Size 0
    bool zeroLengthAllowed = false;  // report every text column as allowing zero-length texts
};

class FixedProperty : public engine::Property {
public:
    FixedProperty(std::string name, Variant value) : name_(std::move(name)), value_(std::move(value)) {}
    std::string Name() const override { return name_; }
    Variant Value() const override { return value_; }
    void SetValue(const Variant& value) override { value_ = value; }

private:
    std::string name_;
    Variant value_;
};

// The engine's properties of a field, with AllowZeroLength reported as true.
class ZeroLengthProperties : public engine::Properties {
public:
    explicit ZeroLengthProperties(std::shared_ptr<engine::Properties> inner) : inner_(std::move(inner)) {}
    std::int32_t Count() const override { return inner_->Count(); }
    std::shared_ptr<engine::Property> Item(std::int32_t index) const override { return inner_->Item(index); }
    std::shared_ptr<engine::Property> Item(const std::string& name) const override {
        if (name == "AllowZeroLength") return std::make_shared<FixedProperty>(name, Variant(true));
        return inner_->Item(name);
    }

private:
    std::shared_ptr<engine::Properties> inner_;
};

class CountingField : public engine::Field {
public:
    CountingField(std::shared_ptr<engine::Field> inner, EngineReads& reads) : inner_(std::move(inner)), reads_(reads) {}
    std::string Name() const override { return inner_->Name(); }
    std::int32_t Type() const override { return inner_->Type(); }
    std::int32_t Size() const override {
        return reads_.textSizeZero && inner_->Type() == engine::dbText ? 0 : inner_->Size();
    }
    std::int32_t Attributes() const override { return inner_->Attributes(); }
    Variant DefaultValue() const override { return inner_->DefaultValue(); }
    Variant Value() const override {
        ++reads_.values;
        return inner_->Value();
    }
    void SetValue(const Variant& value) override { inner_->SetValue(value); }
    std::shared_ptr<engine::Properties> GetProperties() const override {
        if (reads_.zeroLengthAllowed && inner_->Type() == engine::dbText)
            return std::make_shared<ZeroLengthProperties>(inner_->GetProperties());
        return inner_->GetProperties();
    }

private:
    std::shared_ptr<engine::Field> inner_;
    EngineReads& reads_;
};

class CountingFields : public engine::Fields {
public:
    CountingFields(std::shared_ptr<engine::Fields> inner, EngineReads& reads)
        : inner_(std::move(inner)), reads_(reads) {}
    std::int32_t Count() const override { return inner_->Count(); }
    std::shared_ptr<engine::Field> Item(std::int32_t index) const override {
        return std::make_shared<CountingField>(inner_->Item(index), reads_);
    }
    std::shared_ptr<engine::Field> Item(const std::string& name) const override {
        return std::make_shared<CountingField>(inner_->Item(name), reads_);
    }

private:
    std::shared_ptr<engine::Fields> inner_;
    EngineReads& reads_;
};

class CountingRecordset : public engine::Recordset {
public:
    CountingRecordset(std::shared_ptr<engine::Recordset> inner, EngineReads& reads)
        : inner_(std::move(inner)), reads_(reads) {}
    std::string Name() const override { return inner_->Name(); }
    std::int32_t Type() const override { return inner_->Type(); }
    bool IsBOF() const override { return inner_->IsBOF(); }
    bool IsEOF() const override { return inner_->IsEOF(); }
    bool Updatable() const override { return inner_->Updatable(); }
    std::int32_t RecordCount() const override { return inner_->RecordCount(); }
    void MoveFirst() override { inner_->MoveFirst(); }
    void MoveLast(std::int32_t options) override { inner_->MoveLast(options); }
    void MoveNext() override { inner_->MoveNext(); }
    void MovePrevious() override { inner_->MovePrevious(); }
    Variant Bookmark() const override {
        ++reads_.bookmarks;
        return inner_->Bookmark();
    }
    void SetBookmark(const Variant& bookmark) override { inner_->SetBookmark(bookmark); }
    Variant LastModified() const override { return inner_->LastModified(); }
    std::shared_ptr<engine::Fields> GetFields() const override {
        return std::make_shared<CountingFields>(inner_->GetFields(), reads_);
    }
    std::int32_t EditMode() const override { return inner_->EditMode(); }
    void AddNew() override { inner_->AddNew(); }
    void Edit() override { inner_->Edit(); }
    void Update(std::int32_t type, bool force) override { inner_->Update(type, force); }
    void CancelUpdate(std::int32_t type) override { inner_->CancelUpdate(type); }
    void Delete() override { inner_->Delete(); }
    std::string Filter() const override { return inner_->Filter(); }
    void SetFilter(const std::string& filter) override { inner_->SetFilter(filter); }
    std::string Sort() const override { return inner_->Sort(); }
    void SetSort(const std::string& sort) override { inner_->SetSort(sort); }
    std::shared_ptr<engine::Recordset> OpenRecordset(const Variant& type, const Variant& options) override {
        return inner_->OpenRecordset(type, options);
    }
    void FindFirst(const std::string& criteria) override { inner_->FindFirst(criteria); }
    bool NoMatch() const override { return inner_->NoMatch(); }
    void Close() override { inner_->Close(); }

private:
    std::shared_ptr<engine::Recordset> inner_;
    EngineReads& reads_;
};

class CountedQuery : public TDAOQuery {
public:
    CountedQuery() : TDAOQuery(nullptr) {}
    ~CountedQuery() override { Close(); }
    EngineReads reads;

protected:
    void CreateRecordset() override {
        TDAOQuery::CreateRecordset();
        recordset_ = std::make_shared<CountingRecordset>(recordset_, reads);
    }
};

class DAODatasetCostTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = (dir_ / "d.mdb").string();
        auto db =
            engine::ClassRegistry::Default().Create(engine::kDao35ClassId)->DefaultWorkspace()->CreateDatabase(path);
        db->Execute("CREATE TABLE aluno (id LONG PRIMARY KEY, nome TEXT(10), nota DOUBLE, obs MEMO)");
        for (int i = 1; i <= 5; ++i)
            db->Execute("INSERT INTO aluno VALUES (" + std::to_string(i) + ", 'n" + std::to_string(i) + "', " +
                        std::to_string(i) + ".5, 'texto')");
        db->Close();
        database_.SetDatabaseName(path);
        query_.SetDatabase(&database_);
        query_.SQL().SetText("SELECT * FROM aluno ORDER BY id");
    }
    void TearDown() override {
        query_.Close();
        database_.Disconnect();
    }

    const test::TestFolder dir_;
    TDAODatabase database_{nullptr};
    CountedQuery query_;
};

TEST_F(DAODatasetCostTest, BrowsingReadsOneBookmarkPerRecordAndOnlyTheFieldsAsked) {
    query_.Open();
    EXPECT_EQ(query_.reads.values, 0);
    query_.reads = {};
    int records = 0;
    for (query_.First(); !query_.Eof(); query_.Next()) ++records;
    EXPECT_EQ(records, 5);
    EXPECT_EQ(query_.reads.bookmarks, 5);
    EXPECT_EQ(query_.reads.values, 0);

    query_.reads = {};
    std::string names;
    for (query_.First(); !query_.Eof(); query_.Next()) {
        names += query_.FieldByName("nome").AsString();
        names += query_.FieldByName("nome").AsString() + ";";
    }
    EXPECT_EQ(names, "n1n1;n2n2;n3n3;n4n4;n5n5;");
    // Each record: its fetch, and one comparison with the current record for the first read.
    EXPECT_EQ(query_.reads.values, 5);
    EXPECT_EQ(query_.reads.bookmarks, 10);
}

TEST_F(DAODatasetCostTest, TextColumnReportedWithoutSizeHoldsTwoHundredFiftyFiveCharacters) {
    query_.reads.textSizeZero = true;
    query_.Open();
    EXPECT_EQ(query_.FieldDefs().Items(1).Size, 255);
    EXPECT_EQ(query_.FieldDescs().Items(1).DataSize, static_cast<std::int32_t>(SlotDataSize(ftString, 255)));
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "n1");
}

TEST_F(DAODatasetCostTest, EmptyTextIsPostedAsItselfOnlyWhereBothConnectionAndFieldAllowIt) {
    query_.reads.zeroLengthAllowed = true;
    auto postEmptyName = [&] {
        query_.Open();
        query_.Edit();
        query_.FieldByName("nome").SetAsString("");
        query_.Post();
        query_.Close();
        auto rs = database_.EngineDatabase()->OpenRecordset("SELECT nome FROM aluno WHERE id = 1");
        return rs->GetFields()->Item(0)->Value();
    };
    EXPECT_TRUE(postEmptyName().IsNull());
    database_.Disconnect();
    database_.SetAllowZeroLength(true);
    EXPECT_EQ(postEmptyName(), Variant(""));
}

}  // namespace
}  // namespace pavana
