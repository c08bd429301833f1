// TDataSource and TDataLink: how controls and dependent datasets follow a dataset.
//
// A data source names one dataset (borrowed; cleared when the dataset goes) and passes the
// dataset's notifications to every link attached to it, while it is enabled. A link is
// owned by whoever uses it (a control, a detail dataset) and attaches to one data source
// (borrowed; the source detaches its links when it goes). A link overrides the virtual
// reactions it needs; `BufferCount` asks the dataset to keep that many records in its window.
#pragma once

#include <functional>
#include <vector>

#include "classes/Component.h"
#include "db/DataSet.h"

namespace pavana {

class TDataLink;

class TDataSource : public TComponent {
public:
    using TNotifyEvent = std::function<void(TDataSource& Sender)>;
    using TDataChangeEvent = std::function<void(TDataSource& Sender, TField* Field)>;

    explicit TDataSource(TComponent* owner) : TComponent(owner) {}
    ~TDataSource() override;

    std::string_view ClassName() const override { return "TDataSource"; }

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* dataSet);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // The dataset's state, dsInactive without an (enabled) dataset.
    TDataSetState State() const;

    TNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TNotifyEvent OnUpdateData;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TDataSet;
    friend class TDataLink;
    void DataEvent(TDataEvent event, TField* field);
    void NotifyLinks(TDataEvent event, TField* field);

    TDataSet* dataSet_ = nullptr;
    bool enabled_ = true;
    std::vector<TDataLink*> links_;
};

class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const { return dataSource_ != nullptr ? dataSource_->DataSet() : nullptr; }
    // True while the source is enabled and its dataset open.
    bool Active() const { return active_; }
    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int count);

protected:
    virtual void ActiveChanged() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled() { DataSetChanged(); }
    virtual void LayoutChanged() { DataSetChanged(); }
    // `field` is the field whose value changed, null for the whole record.
    virtual void RecordChanged(TField*) {}
    virtual void EditingChanged() {}
    // The dataset is about to post or leave the record: write pending edits into the fields.
    virtual void UpdateData() {}
    virtual void CheckBrowseMode() {}
    // A property that shapes the dataset's rows changed (a query's text, for one).
    virtual void DataSetPropertyChanged() {}

private:
    friend class TDataSource;
    void DataEvent(TDataEvent event, TField* field);
    void UpdateState();

    TDataSource* dataSource_ = nullptr;
    bool active_ = false;
    bool editing_ = false;
    int bufferCount_ = 1;
};

}  // namespace pavana
