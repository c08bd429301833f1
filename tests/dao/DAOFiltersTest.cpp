#include <gtest/gtest.h>

#include <filesystem>

#include "TestFolder.h"
#include "classes/ApplicationException.h"
#include "classes/DefinitionReader.h"
#include "dao/DAOBlobStream.h"
#include "dao/DAODatabase.h"
#include "dao/DAOLocate.h"
#include "dao/DAOQuery.h"
#include "engine/ClassRegistry.h"

namespace pavana {
namespace {

// Filters, searches, blob streams and master links over a real database file.
class DAOFiltersTest : public ::testing::Test {
protected:
    void SetUp() override {
        FormatSettings::SetCurrent(FormatSettings::Invariant());
        const std::string path = (dir_ / "d.mdb").string();
        auto db =
            engine::ClassRegistry::Default().Create(engine::kDao35ClassId)->DefaultWorkspace()->CreateDatabase(path);
        db->Execute(
            "CREATE TABLE aluno (id LONG PRIMARY KEY, nome TEXT(20), nota DOUBLE, nascido DATETIME, "
            "obs MEMO, foto LONGBINARY)");
        db->Execute(
            "INSERT INTO aluno (id, nome, nota, nascido, obs) VALUES "
            "(1, 'Ana', 7.5, #1/2/2000 3:04:05 PM#, 'longo texto')");
        db->Execute("INSERT INTO aluno (id, nome, nota, nascido) VALUES (2, 'Bruno', 4, #3/4/2001#)");
        db->Execute("INSERT INTO aluno (id, nome, nota, obs) VALUES (3, 'Carla \"C\"', 9, 'x')");
        db->Execute("CREATE TABLE prova (aluno LONG, valor DOUBLE)");
        db->Execute("INSERT INTO prova VALUES (1, 10)");
        db->Execute("INSERT INTO prova VALUES (1, 8)");
        db->Execute("INSERT INTO prova VALUES (3, 6)");
        db->Close();
        database_.SetDatabaseName(path);
        query_.SetDatabase(&database_);
        handlerWas_ =
            SetApplicationExceptionHandler([this](const std::exception& e) { reported_.push_back(e.what()); });
    }
    void TearDown() override {
        SetApplicationExceptionHandler(handlerWas_);
        query_.Close();
        database_.Disconnect();
    }

    void Open(TDAOQuery& query, const std::string& sql) {
        query.SQL().SetText(sql);
        query.Open();
    }
    std::string Names(TDataSet& dataset) {
        std::string out;
        for (dataset.First(); !dataset.Eof(); dataset.Next()) out += dataset.FieldByName("nome").AsString() + ";";
        return out;
    }
    std::string Current() { return query_.FieldByName("nome").AsString(); }

    const test::TestFolder dir_;
    TDAODatabase database_{nullptr};
    TDAOQuery query_{nullptr};
    std::vector<std::string> reported_;
    TApplicationExceptionHandler handlerWas_;
};

TEST(LocateCriteria, ConditionsPerFieldTypeAndValue) {
    FormatSettings::SetCurrent(FormatSettings::Invariant());
    TStringField name(nullptr);
    name.SetFieldName("nome");
    TIntegerField id(nullptr);
    id.SetFieldName("id");
    TDateTimeField born(nullptr);
    born.SetFieldName("nascido");
    std::string text;

    EXPECT_TRUE(BuildLocateCriteria({&name}, {Variant::Null()}, false, text));
    EXPECT_EQ(text, "[nome] IS NULL");
    EXPECT_TRUE(BuildLocateCriteria({&name}, {Variant("Ca\"rla")}, true, text));
    EXPECT_EQ(text, "[nome] LIKE \"Ca\"\"rla*\"");
    EXPECT_TRUE(BuildLocateCriteria({&id, &name}, {Variant(2), Variant("Bruno")}, false, text));
    EXPECT_EQ(text, "[id] = 2 AND [nome] = \"Bruno\"");
    EXPECT_TRUE(BuildLocateCriteria({&born}, {Variant::FromDate(EncodeDate(2001, 3, 4))}, false, text));
    EXPECT_EQ(text, "[nascido] = #03/04/2001#");
    EXPECT_TRUE(BuildLocateCriteria({&born}, {Variant::FromDate(EncodeDate(2000, 1, 2) + EncodeTime(15, 4, 5, 0))},
                                    false, text));
    EXPECT_EQ(text, "[nascido] = #01/02/2000 03:04:05 pm#");
    EXPECT_FALSE(BuildLocateCriteria({}, {}, false, text));
    EXPECT_EQ(text, "");
    EXPECT_THROW(BuildLocateCriteria({&id, &name}, {Variant(2)}, false, text), EVariantError);

    FormatSettings local = FormatSettings::Invariant();
    local.DateSeparator = "-";
    local.TimeSeparator = ".";
    local.DecimalSeparator = ",";
    FormatSettings::SetCurrent(local);
    EXPECT_EQ(FormatLocateValue(Variant::FromDate(EncodeDate(2000, 1, 2) + EncodeTime(9, 4, 5, 0))),
              "#01/02/2000 09:04:05 am#");
    EXPECT_EQ(FormatLocateValue(Variant(7.5)), "7.5");
    // A number searched in a text column is the text the settings write.
    EXPECT_TRUE(BuildLocateCriteria({&id, &name}, {Variant(7.5), Variant(7.5)}, false, text));
    FormatSettings::SetCurrent(FormatSettings::Invariant());
    EXPECT_EQ(text, "[id] = 7.5 AND [nome] = \"7,5\"");
}

TEST_F(DAOFiltersTest, LocateFindsFractionsAndDatesUnderALocaleWithOtherSeparators) {
    FormatSettings local = FormatSettings::Invariant();
    local.DecimalSeparator = ",";
    local.DateSeparator = "-";
    FormatSettings::SetCurrent(local);
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    query_.Last();
    const bool fraction = query_.Locate("nota", Variant(7.5));
    const bool date = fraction && query_.Locate("nascido", Variant::FromDate(EncodeDate(2001, 3, 4)));
    FormatSettings::SetCurrent(FormatSettings::Invariant());
    ASSERT_TRUE(fraction);
    ASSERT_TRUE(date);
    EXPECT_EQ(Current(), "Bruno");
}

TEST_F(DAOFiltersTest, LocateFindsThroughTheEngineAndMovesTheWindow) {
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    int before = 0, after = 0;
    query_.BeforeScroll = [&](TDataSet&) { ++before; };
    query_.AfterScroll = [&](TDataSet&) { ++after; };

    EXPECT_TRUE(query_.Locate("nome", Variant("Bruno")));
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 2);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    EXPECT_TRUE(query_.Locate("nome", Variant("Carla \""), TLocateOptions{.PartialKey = true}));
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 3);
    EXPECT_TRUE(query_.Locate("nascido", Variant::Null()));
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 3);
    EXPECT_TRUE(query_.Locate("id;nome", {Variant(1), Variant("Ana")}, {}));
    EXPECT_EQ(Current(), "Ana");
    EXPECT_TRUE(query_.Locate("nascido", Variant::FromDate(EncodeDate(2001, 3, 4))));
    EXPECT_EQ(Current(), "Bruno");
    EXPECT_TRUE(query_.Locate("nascido", Variant::FromDate(EncodeDate(2000, 1, 2) + EncodeTime(15, 4, 5, 0))));
    EXPECT_EQ(Current(), "Ana");
    query_.Next();
    EXPECT_EQ(Current(), "Bruno");

    EXPECT_FALSE(query_.Locate("id;nome", {Variant(2), Variant("Ana")}, {}));
    EXPECT_FALSE(query_.Locate("", Variant(1)));
    EXPECT_EQ(Current(), "Bruno");
    query_.Next();
    EXPECT_EQ(Current(), "Carla \"C\"");
    EXPECT_EQ(after, 8);
    EXPECT_THROW(query_.Locate("sem", Variant(1)), EDatabaseError);
}

TEST_F(DAOFiltersTest, LookupReadsTheFoundRecordWithoutMoving) {
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    int scrolls = 0;
    query_.AfterScroll = [&](TDataSet&) { ++scrolls; };
    EXPECT_EQ(query_.Lookup("id", {Variant(3)}, "nota"), std::vector<Variant>{Variant(9.0)});
    EXPECT_EQ(query_.Lookup("nome", {Variant("Bruno")}, "id;nota"), (std::vector<Variant>{Variant(2), Variant(4.0)}));
    EXPECT_EQ(query_.Lookup("id", {Variant(7)}, "nome;nota"), (std::vector<Variant>{Variant::Null(), Variant::Null()}));
    EXPECT_EQ(Current(), "Ana");
    query_.Next();
    EXPECT_EQ(Current(), "Bruno");
    EXPECT_EQ(scrolls, 1);
}

TEST_F(DAOFiltersTest, FilterTextReachesTheEngineAndFilteredShowsTheFirstRecord) {
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    query_.Last();
    query_.SetFilterText("nota > 5");
    EXPECT_EQ(Current(), "Carla \"C\"");  // not filtered yet: the text alone does not move
    query_.SetFiltered(true);
    EXPECT_TRUE(query_.Bof());
    EXPECT_EQ(Current(), "Ana");
    EXPECT_EQ(Names(query_), "Ana;Carla \"C\";");
    query_.Last();
    query_.SetFilterText("nome LIKE \"B*\"");
    EXPECT_EQ(Current(), "Bruno");
    EXPECT_EQ(Names(query_), "Bruno;");
    query_.SetFiltered(false);
    EXPECT_EQ(Names(query_), "Ana;Bruno;Carla \"C\";");
}

TEST_F(DAOFiltersTest, FilterThatCannotBeBuiltLeavesTheDatasetClosed) {
    Open(query_, "SELECT * FROM aluno");
    query_.SetFilterText("nota >");
    EXPECT_THROW(query_.SetFiltered(true), EOleException);
    EXPECT_FALSE(query_.Active());
    EXPECT_THROW(query_.Open(), EOleException);
    query_.SetFilterText("nota > 8");
    query_.Open();
    EXPECT_EQ(Names(query_), "Carla \"C\";");
}

// A dataset whose recordset is table-type, which a query never publishes.
class TableDataset : public TDAOQuery {
public:
    TableDataset() : TDAOQuery(nullptr) { openType_ = 4; }
};

TEST_F(DAOFiltersTest, TableTypeRecordsetsRefuseAFilterText) {
    TableDataset table;
    table.SetFiltered(true);
    table.SetFiltered(false);
    table.SetFilterText("nota > 5");
    try {
        table.SetFiltered(true);
        FAIL();
    } catch (const EDAODatabaseError& e) {
        EXPECT_EQ(e.Message(), "Filter only valid if OpenType <> db_OpenTable");
    }
    EXPECT_FALSE(table.Filtered());
    table.SetFilterText("");
    table.SetFiltered(true);
    EXPECT_THROW(table.SetFilterText("nota > 5"), EDAODatabaseError);
    EXPECT_EQ(table.Filter(), "");
}

TEST_F(DAOFiltersTest, FilterHandlerJudgesEveryFetchAttempt) {
    int calls = 0;
    query_.OnFilterRecord = [&](TDataSet& dataset, bool& accept) {
        ++calls;
        accept = dataset.FieldByName("nota").AsFloat() > 5;
    };
    query_.SetFiltered(true);
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    EXPECT_EQ(Names(query_), "Ana;Carla \"C\";");
    EXPECT_TRUE(query_.Locate("id", Variant(2)));  // the engine finds Bruno; the window takes the next accepted
    EXPECT_EQ(Current(), "Carla \"C\"");

    query_.Close();
    calls = 0;
    query_.OnFilterRecord = [&](TDataSet&, bool& accept) {
        ++calls;
        accept = false;
    };
    query_.Open();
    EXPECT_TRUE(query_.IsEmpty());
    EXPECT_TRUE(query_.Eof());
    // Three records, the attempt that reached the end, and the window's second try to fill.
    EXPECT_EQ(calls, 5);

    query_.Close();
    query_.OnFilterRecord = [&](TDataSet&, bool&) { throw EDatabaseError("handler failed"); };
    query_.Open();
    EXPECT_TRUE(query_.IsEmpty());
    EXPECT_EQ(query_.State(), dsBrowse);
    EXPECT_EQ(reported_, (std::vector<std::string>{"handler failed", "handler failed"}));
}

TEST_F(DAOFiltersTest, BlobStreamWritesBackWhenFreedAndReadsWhole) {
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    TField& photo = query_.FieldByName("foto");
    TField& note = query_.FieldByName("obs");
    EXPECT_THROW(query_.CreateBlobStream(photo, TBlobStreamMode::bmWrite), EDAODatabaseError);
    EXPECT_THROW(query_.CreateBlobStream(query_.FieldByName("nome"), TBlobStreamMode::bmRead), EInvalidCast);

    std::vector<std::uint8_t> bytes(100000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    query_.Edit();
    {
        std::unique_ptr<TStream> stream = query_.CreateBlobStream(photo, TBlobStreamMode::bmWrite);
        stream->WriteBuffer(bytes.data(), 60000);
        stream->WriteBuffer(bytes.data() + 60000, 40000);
    }
    { auto unwritten = query_.CreateBlobStream(note, TBlobStreamMode::bmWrite); }
    EXPECT_TRUE(note.IsNull());
    query_.Post();
    EXPECT_EQ(Current(), "Ana");
    {
        std::unique_ptr<TStream> stream = query_.CreateBlobStream(photo, TBlobStreamMode::bmRead);
        ASSERT_EQ(stream->Size(), 100000);
        std::vector<std::uint8_t> back(100000);
        stream->ReadBuffer(back.data(), back.size());
        EXPECT_EQ(back, bytes);
    }
    EXPECT_TRUE(note.IsNull());

    query_.Next();
    query_.Next();
    {
        std::unique_ptr<TStream> stream = query_.CreateBlobStream(note, TBlobStreamMode::bmRead);
        EXPECT_EQ(stream->Size(), 1);
    }
    query_.Edit();
    {
        std::unique_ptr<TStream> stream = query_.CreateBlobStream(note, TBlobStreamMode::bmReadWrite);
        stream->Seek(0, TSeekOrigin::soEnd);
        stream->WriteBuffer("yz", 2);
    }
    query_.Post();
    EXPECT_EQ(note.AsString(), "xyz");
}

TEST_F(DAOFiltersTest, BlobStreamOfAnEmptyDatasetIsEmptyAndAFailedWriteBackIsReported) {
    Open(query_, "SELECT * FROM aluno WHERE id = 0");
    {
        std::unique_ptr<TStream> stream = query_.CreateBlobStream(query_.FieldByName("obs"), TBlobStreamMode::bmWrite);
        EXPECT_EQ(stream->Size(), 0);
    }
    EXPECT_TRUE(reported_.empty());
    query_.Close();
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    query_.Edit();
    auto stream = query_.CreateBlobStream(query_.FieldByName("obs"), TBlobStreamMode::bmWrite);
    stream->WriteBuffer("abc", 3);
    query_.Cancel();
    stream.reset();
    EXPECT_EQ(reported_, std::vector<std::string>{"Dataset not in edit or insert mode"});
    EXPECT_EQ(query_.FieldByName("obs").AsString(), "longo texto");
}

TEST_F(DAOFiltersTest, ABlobWhosePostFailsStaysInTheRecordToPostAgain) {
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    std::vector<std::uint8_t> bytes(3u << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 10));
    auto readPhoto = [&] {
        std::unique_ptr<TStream> stream = query_.CreateBlobStream(query_.FieldByName("foto"), TBlobStreamMode::bmRead);
        std::vector<std::uint8_t> out(static_cast<std::size_t>(stream->Size()));
        stream->ReadBuffer(out.data(), out.size());
        return out;
    };
    query_.Append();
    query_.FieldByName("id").SetAsInteger(1);  // taken
    query_.FieldByName("nome").SetAsString("Davi");
    query_.CreateBlobStream(query_.FieldByName("foto"), TBlobStreamMode::bmWrite)
        ->WriteBuffer(bytes.data(), bytes.size());
    EXPECT_THROW(query_.Post(), EDAOError);
    EXPECT_EQ(query_.State(), dsInsert);
    EXPECT_EQ(readPhoto(), bytes);
    query_.FieldByName("id").SetAsInteger(4);
    query_.Post();
    EXPECT_EQ(readPhoto(), bytes);
    query_.Edit();
    query_.FieldByName("nome").SetAsString("Davi D");
    query_.Post();
    EXPECT_EQ(readPhoto(), bytes);
    query_.Close();
    Open(query_, "SELECT * FROM aluno WHERE id = 4");
    EXPECT_EQ(readPhoto(), bytes);
}

TEST_F(DAOFiltersTest, DetailFollowsItsMasterAndRefusesCircles) {
    TDataSource masterSource(nullptr);
    masterSource.SetDataSet(&query_);
    TDAOQuery detail(nullptr);
    detail.SetDatabase(&database_);
    detail.SetDataSource(&masterSource);
    Open(query_, "SELECT * FROM aluno ORDER BY id");
    Open(detail, "SELECT * FROM prova WHERE aluno = :id ORDER BY valor");
    auto values = [&] {
        std::string out;
        for (detail.First(); !detail.Eof(); detail.Next()) out += detail.FieldByName("valor").AsString() + ";";
        return out;
    };
    EXPECT_EQ(values(), "8;10;");
    query_.Next();
    EXPECT_TRUE(detail.IsEmpty());
    query_.Last();
    EXPECT_EQ(values(), "6;");
    EXPECT_TRUE(query_.Locate("id", Variant(1)));
    EXPECT_EQ(values(), "8;10;");

    detail.First();
    detail.Edit();
    detail.FieldByName("valor").SetAsFloat(9);
    query_.Next();  // the master's move posts the detail's edit first
    EXPECT_EQ(query_.Lookup("id", {Variant(1)}, "id")[0].ToInteger(), 1);
    query_.First();
    EXPECT_EQ(values(), "9;10;");

    TDataSource detailSource(nullptr);
    detailSource.SetDataSet(&detail);
    try {
        query_.SetDataSource(&detailSource);
        FAIL();
    } catch (const EDAODatabaseError& e) {
        EXPECT_EQ(e.Message(), "Circular datalinks are not allowed");
    }
    EXPECT_THROW(detail.SetDataSource(&detailSource), EDAODatabaseError);
    EXPECT_EQ(detail.DataSource(), &masterSource);
    detail.Close();
}

class TModule : public TComponent {
public:
    TModule() : TComponent(nullptr) {}
    std::string_view ClassName() const override { return "TModule"; }
};

TEST(StoredDetail, DataSourceAndFilterComeFromTheDefinition) {
    ComponentClasses classes;
    classes.Register<TDataSource>("TDataSource");
    classes.Register<TDAOQuery>("TDAOQuery");
    TModule module;
    LoadDefinition(module,
                   "object modulo: TModule\n"
                   "  object detalhe: TDAOQuery\n"
                   "    DataSource = fonte\n"
                   "    Filter = 'nota > 5'\n"
                   "    Filtered = True\n"
                   "  end\n"
                   "  object fonte: TDataSource\n"
                   "  end\n"
                   "end\n",
                   classes);
    auto& detail = dynamic_cast<TDAOQuery&>(*module.FindComponent("detalhe"));
    EXPECT_EQ(detail.DataSource(), module.FindComponent("fonte"));
    EXPECT_EQ(detail.Filter(), "nota > 5");
    EXPECT_TRUE(detail.Filtered());
}

}  // namespace
}  // namespace pavana
