// TDAODataLink: the link of a detail TDAODataset to the data source of its master.
//
// The detail owns its link. While the link is active, the detail follows the master: when
// the master opens, closes or moves to another record (a record change that names no single
// field), an open detail is closed and opened again, and a TDAOQuery detail then takes the
// values of its parameters from the master's fields of the same names. Before the master
// leaves a record, a pending edit of the detail is finished.
#pragma once

#include "db/DataSource.h"

namespace pavana {

class TDAODataset;

class TDAODataLink : public TDataLink {
public:
    explicit TDAODataLink(TDAODataset& detail) : detail_(detail) {}

    TDAODataset& Detail() const { return detail_; }

protected:
    void ActiveChanged() override;
    void RecordChanged(TField* field) override;
    void CheckBrowseMode() override;

private:
    // Closes and opens the detail, with its controls disabled meanwhile, while the master is
    // open and not in the set-key state.
    void ReopenDetail();

    TDAODataset& detail_;
};

}  // namespace pavana
