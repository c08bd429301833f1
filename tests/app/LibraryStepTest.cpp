#include "app/LibraryStep.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "TestFolder.h"
#include "engine/ClassRegistry.h"
#include "rtl/Exceptions.h"

namespace pavana {
namespace {

std::string Extension(const std::string& name) { return PAVANA_BINARY_DIR "/tests/app/extensions/lib" + name + ".so"; }

bool IsLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

class LibraryStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto engine = engine::ClassRegistry::Default().Create(engine::kDao36ClassId);
        engine->DefaultWorkspace()->CreateDatabase(Path("base.mdb"))->Close();
        db_ = engine->OpenDatabase(Path("base.mdb"));
        db_->Execute("CREATE TABLE Marcas (texto TEXT(20))");
    }
    void TearDown() override { db_->Close(); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    std::string FailureOf(const std::string& path) {
        try {
            RunLibrary(path, db_);
        } catch (const Exception& e) {
            return e.Message();
        }
        return "no error";
    }
    // The first column of each row, as text, joined by "|".
    std::string Rows(const std::string& sql) {
        auto rs = db_->OpenRecordset(sql);
        std::string out;
        for (; !rs->IsEOF(); rs->MoveNext())
            out += (out.empty() ? "" : "|") + rs->GetFields()->Item(0)->Value().ToString();
        return out;
    }

    const test::TestFolder dir_;
    std::shared_ptr<engine::Database> db_;
};

TEST_F(LibraryStepTest, MissingFileAndDirectory) {
    EXPECT_EQ(FailureOf("/no/such/lib.so"), "Não foi possível ler o arquivo /no/such/lib.so.\r\nArquivo não existe!");
    EXPECT_EQ(FailureOf(dir_.Dir().string()),
              "Não foi possível ler o arquivo " + dir_.Dir().string() + ".\r\nArquivo não existe!");
}

TEST_F(LibraryStepTest, FileThatIsNotALibraryGivesTheLoadersReasonWithoutFullStop) {
    std::string path = Path("not a library.so");
    std::ofstream(path) << "just text\n";
    std::string message = FailureOf(path);
    std::string prefix = "Não foi possível ler o arquivo " + path + ".\r\n";
    ASSERT_EQ(message.substr(0, prefix.size()), prefix);
    std::string reason = message.substr(prefix.size());
    EXPECT_NE(reason.find("not a library.so"), std::string::npos) << reason;
    EXPECT_GT(reason.size(), path.size()) << reason;
    EXPECT_NE(reason.back(), '.');
}

TEST_F(LibraryStepTest, ReasonIsCleanedAndCut) {
    EXPECT_EQ(CleanLoaderReason("cannot open shared object file.. \r\n"), "cannot open shared object file");
    EXPECT_EQ(CleanLoaderReason(std::string(300, 'x')).size(), 255u);
}

TEST_F(LibraryStepTest, LibraryWithoutEntryIsLoadedAndUnloadedWithoutError) {
    std::string path = PAVANA_BINARY_DIR "/tests/app/libpavana_test_library.so";
    EXPECT_EQ(FailureOf(path), "no error");
    EXPECT_FALSE(IsLoaded(path));
}

TEST_F(LibraryStepTest, CLibraryWritesAndReadsThroughTheApi) {
    EXPECT_EQ(FailureOf(Extension("ext_writer")), "no error");
    EXPECT_FALSE(IsLoaded(Extension("ext_writer")));
    EXPECT_EQ(Rows("SELECT nome FROM Notas ORDER BY id"), "Ana|João|Zé");
    EXPECT_EQ(Rows("SELECT Format(quando, 'yyyy-mm-dd hh:nn') FROM Notas WHERE id = 3"), "2026-03-03 08:30");
    auto rs = db_->OpenRecordset("SELECT total, nomes, contagem FROM Resumo");
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_DOUBLE_EQ(rs->GetFields()->Item(0)->Value().ToDouble(), 22.75);
    EXPECT_EQ(rs->GetFields()->Item(1)->Value().ToString(), "Ana,João,Zé");
    EXPECT_EQ(rs->GetFields()->Item(2)->Value().ToInteger(), 3);
    // The recordset the library left open does not hold the file: a second run fails only
    // because the tables exist now.
    EXPECT_NE(FailureOf(Extension("ext_writer")).find("already exists"), std::string::npos);
}

TEST_F(LibraryStepTest, CppLibraryThroughTheWrapper) {
    EXPECT_EQ(FailureOf(Extension("ext_wrapper")), "no error");
    EXPECT_EQ(Rows("SELECT total FROM Itens ORDER BY id"), "450|15|60|135|240");
}

TEST_F(LibraryStepTest, ReportedErrorIsTheMessageAndEarlierChangesStay) {
    EXPECT_EQ(FailureOf(Extension("ext_report")), "Falha na atualização: cálculo impossível");
    EXPECT_FALSE(IsLoaded(Extension("ext_report")));
    EXPECT_EQ(Rows("SELECT texto FROM Marcas"), "feito");
}

TEST_F(LibraryStepTest, ExceptionsLeavingTheEntry) {
    EXPECT_EQ(FailureOf(Extension("ext_throw_std")), "Exceção do C++: estoque negativo");
    db_->Execute("DROP TABLE Itens");
    EXPECT_EQ(FailureOf(Extension("ext_throw_other")), "A biblioteca lançou uma exceção de tipo desconhecido.");
    EXPECT_EQ(FailureOf(Extension("ext_raw_throw")), "lógica quebrada");
    EXPECT_FALSE(IsLoaded(Extension("ext_raw_throw")));
    // The work done before the throw was committed statement by statement.
    EXPECT_EQ(Rows("SELECT Count(*) FROM Itens"), "5");
}

TEST_F(LibraryStepTest, OpenTransactionIsRolledBackAndReported) {
    EXPECT_EQ(FailureOf(Extension("ext_open_transaction")),
              "A biblioteca terminou com uma transação aberta; as alterações dessa transação foram desfeitas.");
    EXPECT_EQ(Rows("SELECT texto FROM Marcas"), "feito");
    db_->Execute("INSERT INTO Marcas VALUES ('seguinte')");
    EXPECT_EQ(Rows("SELECT texto FROM Marcas ORDER BY texto"), "feito|seguinte");
}

struct FaultCase {
    const char* library;
    const char* kind;
    const char* access;  // what follows the module, empty when nothing does
};

class LibraryFaultTest : public LibraryStepTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(LibraryFaultTest, FaultBecomesAnErrorAndTheRunGoesOn) {
    const FaultCase& c = GetParam();
    std::string message = FailureOf(Extension(c.library));
    std::string start = std::string(c.kind) + " at address ";
    ASSERT_EQ(message.substr(0, start.size()), start) << message;
    std::string module = " in module 'lib" + std::string(c.library) + ".so'" + c.access;
    EXPECT_NE(message.find(module), std::string::npos) << message;
    EXPECT_FALSE(IsLoaded(Extension(c.library)));
    db_->Execute("INSERT INTO Marcas VALUES ('seguinte')");
    EXPECT_EQ(Rows("SELECT texto FROM Marcas ORDER BY texto"), "antes|seguinte");
    // A second fault is trapped as well: the handlers were put back and installed again.
    EXPECT_EQ(FailureOf(Extension(c.library)).substr(0, start.size()), start);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LibraryFaultTest,
    ::testing::Values(FaultCase{"ext_segv", "Access violation", ". Write of address 0000000000000000"},
                      FaultCase{"ext_fpe", "Division by zero", ""}, FaultCase{"ext_ill", "Illegal instruction", ""},
                      FaultCase{"ext_bus", "Bus error", ". Access of address "},
                      FaultCase{"ext_stack", "Access violation", ""},
                      FaultCase{"ext_float", "Floating point division by zero", ""}),
    [](const auto& info) { return std::string(info.param.library); });

TEST_F(LibraryStepTest, FloatingPointTrapsOfALibraryDoNotOutliveItsCall) {
    EXPECT_EQ(FailureOf(Extension("ext_float_traps")), "no error");
    volatile double zero = 0.0;
    EXPECT_TRUE(std::isinf(1.0 / zero));
}

TEST_F(LibraryStepTest, ThousandRunsLeaveNothingLoaded) {
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(FailureOf(Extension("ext_nothing")), "no error");
    EXPECT_FALSE(IsLoaded(Extension("ext_nothing")));
}

TEST_F(LibraryStepTest, ExampleExtensionsDoTheirUpdate) {
    db_->Execute("CREATE TABLE Notas (aluno TEXT(50), nota1 DOUBLE, nota2 DOUBLE, media DOUBLE)");
    db_->Execute("INSERT INTO Notas (aluno, nota1, nota2) VALUES ('Ana', 8, 7)");
    db_->Execute("INSERT INTO Notas (aluno, nota1, nota2) VALUES ('Bruno', 4, 5)");
    db_->Execute("INSERT INTO Notas (aluno, nota1) VALUES ('Carla', 9)");
    const std::string examples = PAVANA_BINARY_DIR "/examples/extensions/";
    EXPECT_EQ(FailureOf(examples + "librecompute_averages.so"), "no error");
    EXPECT_EQ(Rows("SELECT media * 10 FROM Notas ORDER BY aluno"), "75|45|45");
    EXPECT_EQ(Rows("SELECT alunos FROM ResumoNotas WHERE Abs(media_geral - 5.5) < 0.0001"), "3");
    EXPECT_EQ(FailureOf(examples + "libgrade_report.so"), "no error");
    EXPECT_EQ(FailureOf(examples + "libgrade_report.so"), "no error");
    EXPECT_EQ(Rows("SELECT aprovados FROM RelatorioNotas"), "1|1");
    EXPECT_EQ(Rows("SELECT alunos FROM RelatorioNotas WHERE quando <= Now()"), "3|3");
}

TEST_F(LibraryStepTest, PathWithoutSlashIsTheWorkingDirectorysFile) {
    std::filesystem::copy_file(Extension("ext_report"), Path("lib report.so"));
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Dir());
    std::string message = FailureOf("lib report.so");
    std::filesystem::current_path(previous);
    EXPECT_EQ(message, "Falha na atualização: cálculo impossível");
}

}  // namespace
}  // namespace pavana
