// TvrxDataSet: the application's dataset, a TDAOQuery. The data module's `dstGeral` is one;
// the update run uses it only to execute statements.
#pragma once

#include "dao/DAOQuery.h"

namespace pavana {

class TvrxDataSet : public TDAOQuery {
public:
    explicit TvrxDataSet(TComponent* owner) : TDAOQuery(owner) {}

    std::string_view ClassName() const override { return "TvrxDataSet"; }
};

}  // namespace pavana
