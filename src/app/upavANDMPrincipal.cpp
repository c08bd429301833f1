#include "app/upavANDMPrincipal.h"

#include <cstdlib>

#include "app/BesideFront.h"
#include "app/LibraryStep.h"
#include "app/RunSession.h"
#include "app/ScriptRunner.h"
#include "app/upavANDMPrincipalDefinition.h"
#include "app/upavANMensagensHints.h"
#include "classes/DefinitionReader.h"
#include "rtl/Exceptions.h"
#include "ui/uMarvoDialogs.h"

namespace pavana {

std::unique_ptr<TfpavANDMPrincipal> fpavANDMPrincipal;

namespace {

const ComponentClasses& ModuleClasses() {
    static const ComponentClasses classes = [] {
        ComponentClasses registry;
        registry.Register<TDAODatabase>("TDAODatabase");
        registry.Register<TvrxDataSet>("TvrxDataSet");
        return registry;
    }();
    return classes;
}

template <class T>
T& Child(const TComponent& module, std::string_view name) {
    auto* child = dynamic_cast<T*>(module.FindComponent(name));
    if (child == nullptr) throw EReadError("The data module's definition lacks " + std::string(name));
    return *child;
}

}  // namespace

TfpavANDMPrincipal::TfpavANDMPrincipal(TComponent* owner) : TComponent(owner) {
    LoadDefinition(*this, resources::kupavANDMPrincipalDefinition, ModuleClasses());
    dbsCurriculo_ = &Child<TDAODatabase>(*this, "dbsCurriculo");
    dstGeral_ = &Child<TvrxDataSet>(*this, "dstGeral");
}

bool TfpavANDMPrincipal::ReadParameters(const std::vector<std::string>& arguments) {
    if (arguments.size() < 3) {
        if (Session != nullptr) Session->ArgumentsRefused(kNumeroParametrosInvalido);
        MessageDlgEx(kNumeroParametrosInvalido, mkError, kButtonOK, 0);
        return false;
    }
    DatabaseFile = arguments[0];
    AnimationFolder = arguments[1];
    ScriptFile = arguments[2];
    if (arguments.size() == 4) {
        DatabasePassword = arguments[3];
    } else if (arguments.size() == 3) {
        // The environment keeps the password out of the process list.
        const char* environment = std::getenv("PAVANA_PASSWORD");
        if (environment != nullptr) DatabasePassword = environment;
    }
    if (Session != nullptr) Session->SetPaths(DatabaseFile, ScriptFile);
    return true;
}

bool TfpavANDMPrincipal::ConnectDatabase() {
    try {
        // The connect text ";PWD=..." would end the password at a ";" and open the database
        // with a shorter one.
        if (DatabasePassword.find(';') != std::string::npos)
            throw Exception("A senha não pode conter \";\": o texto de conexão (;PWD=...) a cortaria ali.");
        if (!DatabasePassword.empty()) dbsCurriculo_->SetPassword(DatabasePassword);
        dbsCurriculo_->SetDatabaseName(DatabaseFile);
        dbsCurriculo_->SetConnected(true);
        if (Session != nullptr) Session->Connected(dbsCurriculo_->EngineDatabase());
    } catch (const std::exception& error) {
        if (Session != nullptr) Session->ConnectionFailed(error.what());
        if (dbsCurriculo_->Connected()) {
            try {
                dbsCurriculo_->Disconnect();
            } catch (const std::exception&) {
            }
        }
        MessageDlgDetails(kErroConexao, error.what(), true);
        return false;
    }
    return true;
}

void TfpavANDMPrincipal::RunScript(const std::string& scriptPath) {
    ScriptRunner runner(
        [this](const std::string& statement) {
            dstGeral_->SQL().SetText(statement);
            dstGeral_->ExecSQL();
            if (Session != nullptr) Session->AddRecordsAffected(dstGeral_->RowsAffected());
        },
        [this](const std::string& libraryPath) { RunLibrary(libraryPath); },
        Session != nullptr && Session->Options().mode == RunMode::DryRun ? "" : "script.log", Session);
    // Statements, library calls and their commits may hold the thread for long: the front's
    // windows stay alive meanwhile.
    RunBesideFront([&] { runner.Run(scriptPath); });
    if (Session != nullptr) Session->ScriptFinished();
}

void TfpavANDMPrincipal::RunLibrary(const std::string& libraryPath) {
    pavana::RunLibrary(libraryPath, dbsCurriculo_->EngineDatabase());
}

void TfpavANDMPrincipal::CloseDatabase() {
    try {
        // Closing folds the write-ahead log back into the file, which may wait long for the
        // disk: the front's windows stay alive meanwhile, and a failure is shown from here.
        RunBesideFront([&] { dbsCurriculo_->Disconnect(); });
        if (Session != nullptr) Session->Closed();
    } catch (const std::exception& error) {
        if (Session != nullptr) Session->CloseFailed(error.what());
        MessageDlgDetails(kErroConexao, error.what(), true);
    }
}

}  // namespace pavana
