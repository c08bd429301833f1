#include "dao/DAODataLink.h"

#include "dao/DAODataset.h"

namespace pavana {

void TDAODataLink::ActiveChanged() {
    if (detail_.Active()) ReopenDetail();
}

void TDAODataLink::RecordChanged(TField* field) {
    if (field == nullptr && detail_.Active()) ReopenDetail();
}

void TDAODataLink::CheckBrowseMode() {
    if (detail_.Active()) detail_.CheckBrowseMode();
}

void TDAODataLink::ReopenDetail() {
    detail_.DisableControls();
    try {
        TDataSet* master = DataSet();
        if (master != nullptr && master->Active() && master->State() != dsSetKey) {
            detail_.Close();
            detail_.Open();
        }
    } catch (...) {
        detail_.EnableControls();
        throw;
    }
    detail_.EnableControls();
}

}  // namespace pavana
