// TfpavANDMPrincipal: the main data module of the update run.
//
// It holds the connection `dbsCurriculo` and the application dataset `dstGeral`, both built
// from the module's stored definition when the module is created, the four values taken from
// the command line, and the operations of the run. The module owns its two components.
//
//   ReadParameters   false (after an error dialog) for fewer than three arguments; with
//                    exactly three, PAVANA_PASSWORD (when set) stands for the fourth
//   ConnectDatabase  false (after the connection dialog) when connecting raised
//   RunScript        runs the update script, logging failing statements; raises when the
//                    script or the log cannot be read or written. With windows on screen
//                    the script runs on a thread of its own (app/BesideFront.h)
//   RunLibrary       runs one extension library on the open database; raises on failure
//   CloseDatabase    disconnects, beside the front as the script runs (its final checkpoint may
//                    wait for the disk); a failure is shown in the connection dialog, never raised
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classes/Component.h"
#include "dao/DAODatabase.h"
#include "dao/uvrxDataSet.h"

namespace pavana {

class RunSession;

class TfpavANDMPrincipal : public TComponent {
public:
    explicit TfpavANDMPrincipal(TComponent* owner);

    std::string_view ClassName() const override { return "TfpavANDMPrincipal"; }

    TDAODatabase& dbsCurriculo() const { return *dbsCurriculo_; }
    TvrxDataSet& dstGeral() const { return *dstGeral_; }

    std::string DatabaseFile;
    std::string AnimationFolder;
    std::string ScriptFile;
    std::string DatabasePassword;
    // The run's options and record; none runs the script with no observer.
    RunSession* Session = nullptr;

    // `arguments` are the positional arguments, without the program's name.
    bool ReadParameters(const std::vector<std::string>& arguments);
    bool ConnectDatabase();
    void RunScript(const std::string& scriptPath);
    void RunLibrary(const std::string& libraryPath);
    void CloseDatabase();

private:
    TDAODatabase* dbsCurriculo_ = nullptr;  // owned by this module (component tree)
    TvrxDataSet* dstGeral_ = nullptr;       // owned by this module (component tree)
};

// The process's one data module; created at start-up, released at process end.
extern std::unique_ptr<TfpavANDMPrincipal> fpavANDMPrincipal;

}  // namespace pavana
