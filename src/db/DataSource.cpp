#include "db/DataSource.h"

#include <algorithm>

namespace pavana {

TDataSource::~TDataSource() {
    for (TDataLink* link : std::vector<TDataLink*>(links_)) link->SetDataSource(nullptr);
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_ != nullptr) {
        dataSet_->RemoveDataSource(*this);
        RemoveFreeNotification(dataSet_);
    }
    dataSet_ = dataSet;
    if (dataSet_ != nullptr) {
        FreeNotification(dataSet_);
        dataSet_->AddDataSource(*this);
    }
    NotifyLinks(TDataEvent::deUpdateState, nullptr);
}

void TDataSource::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    NotifyLinks(TDataEvent::deUpdateState, nullptr);
}

TDataSetState TDataSource::State() const { return dataSet_ != nullptr && enabled_ ? dataSet_->State() : dsInactive; }

void TDataSource::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == dataSet_) {
        dataSet_ = nullptr;
        NotifyLinks(TDataEvent::deUpdateState, nullptr);
    }
}

void TDataSource::DataEvent(TDataEvent event, TField* field) {
    if (event == TDataEvent::deUpdateState) {
        if (OnStateChange) OnStateChange(*this);
    } else if (enabled_ && (event == TDataEvent::deFieldChange || event == TDataEvent::deRecordChange ||
                            event == TDataEvent::deDataSetChange || event == TDataEvent::deDataSetScroll ||
                            event == TDataEvent::deLayoutChange)) {
        if (OnDataChange) OnDataChange(*this, event == TDataEvent::deFieldChange ? field : nullptr);
    } else if (enabled_ && event == TDataEvent::deUpdateRecord) {
        if (OnUpdateData) OnUpdateData(*this);
    }
    NotifyLinks(event, field);
}

void TDataSource::NotifyLinks(TDataEvent event, TField* field) {
    for (TDataLink* link : std::vector<TDataLink*>(links_)) {
        if (event == TDataEvent::deUpdateState) link->UpdateState();
        else if (enabled_) link->DataEvent(event, field);
    }
}

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == dataSource_) return;
    if (dataSource_ != nullptr) {
        std::erase(dataSource_->links_, this);
        if (dataSource_->dataSet_ != nullptr) dataSource_->dataSet_->UpdateBufferCount();
    }
    dataSource_ = source;
    if (dataSource_ != nullptr) {
        dataSource_->links_.push_back(this);
        if (dataSource_->dataSet_ != nullptr) dataSource_->dataSet_->UpdateBufferCount();
    }
    UpdateState();
}

void TDataLink::SetBufferCount(int count) {
    bufferCount_ = std::max(count, 1);
    if (DataSet() != nullptr) DataSet()->UpdateBufferCount();
}

void TDataLink::UpdateState() {
    const bool active = dataSource_ != nullptr && dataSource_->State() != dsInactive;
    if (active != active_) {
        active_ = active;
        ActiveChanged();
    }
    const TDataSetState state = dataSource_ != nullptr ? dataSource_->State() : dsInactive;
    const bool editing = state == dsEdit || state == dsInsert;
    if (editing != editing_) {
        editing_ = editing;
        EditingChanged();
    }
}

void TDataLink::DataEvent(TDataEvent event, TField* field) {
    if (!active_) return;
    switch (event) {
        case TDataEvent::deFieldChange:
        case TDataEvent::deRecordChange: RecordChanged(field); break;
        case TDataEvent::deDataSetChange: DataSetChanged(); break;
        case TDataEvent::deDataSetScroll: DataSetScrolled(); break;
        case TDataEvent::deLayoutChange: LayoutChanged(); break;
        case TDataEvent::deUpdateRecord: UpdateData(); break;
        case TDataEvent::deCheckBrowseMode: CheckBrowseMode(); break;
        case TDataEvent::deUpdateState: UpdateState(); break;
        case TDataEvent::dePropertyChange: DataSetPropertyChanged(); break;
    }
}

}  // namespace pavana
