// The framework's dataset base: the open/closed life cycle that every dataset shares.
//
// A dataset is closed (dsInactive) or open (dsBrowse and the editing states). `Open` calls
// `InternalOpen`, which a derived class implements to reach its rows; when it raises, the
// dataset stays closed and the error propagates. `Close` calls `InternalClose`. Around both
// run the Before/After notifications, which derived classes extend (base first).
//
// While a definition is being read, writing `Active` only records the wish; the dataset
// opens in `Loaded`, after every property it depends on has been read.
#pragma once

#include <string_view>

#include "classes/Component.h"
#include "db/DBTypes.h"

namespace pavana {

class TDataSet : public TComponent {
public:
    explicit TDataSet(TComponent* owner) : TComponent(owner) {}
    // Derived classes close the dataset in their own destructor, while they are whole.
    ~TDataSet() override = default;

    std::string_view ClassName() const override { return "TDataSet"; }

    bool Active() const { return state_ != dsInactive; }
    void SetActive(bool active);
    TDataSetState State() const { return state_; }

    void Open() { SetActive(true); }
    void Close() { SetActive(false); }

    // Fails with EDatabaseError "Cannot perform this operation on an open dataset" while open.
    void CheckInactive() const;

    bool ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) override;

protected:
    void Loaded() override;

    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;

    virtual void DoBeforeOpen() {}
    virtual void DoAfterOpen() {}
    virtual void DoBeforeClose() {}
    virtual void DoAfterClose() {}

private:
    TDataSetState state_ = dsInactive;
    bool streamedActive_ = false;
};

}  // namespace pavana
