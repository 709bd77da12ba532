// Data links and the master link that keeps a detail dataset on its master's record.
#include "framework/dataset/data_link.h"

#include "framework/dataset/data_source.h"
#include "framework/exceptions.h"

namespace fw {

TDataLink::~TDataLink() {
    if (source_ != nullptr) source_->RemoveLink(*this);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == source_) return;
    const bool leavingGoing = source_ != nullptr && source_->Going();
    if (source_ != nullptr) source_->RemoveLink(*this);
    source_ = source;
    if (source_ != nullptr) source_->AddLink(*this);
    // Remembered while the link reacts, as the source it leaves is no longer at hand.
    leavingGoingSource_ = leavingGoing;
    try {
        UpdateActive();
    } catch (...) {
        leavingGoingSource_ = false;
        throw;
    }
    leavingGoingSource_ = false;
}

bool TDataLink::SourceGoing() const { return leavingGoingSource_ || (source_ != nullptr && source_->Going()); }

TDataSet* TDataLink::DataSet() const { return source_ != nullptr ? source_->DataSet() : nullptr; }

void TDataLink::UpdateActive() {
    const TDataSet* dataSet = DataSet();
    const bool active = dataSet != nullptr && dataSet->Active();
    if (active != active_) {
        active_ = active;
        ActiveChanged();
    }
    UpdateEditing();
}

void TDataLink::UpdateEditing() {
    const TDataSet* dataSet = DataSet();
    const bool editing = active_ && dataSet != nullptr && IsEditMode(dataSet->State());
    if (editing == editing_) return;
    editing_ = editing;
    EditingChanged();
}

void TDataLink::DataEvent(TDataEvent event, TField* field, int distance) {
    if (event == TDataEvent::deUpdateState) {
        UpdateActive();
        return;
    }
    if (event == TDataEvent::dePropertyChange) {
        DataSetPropertyChanged();
        return;
    }
    if (!active_) return;
    switch (event) {
        case TDataEvent::deFieldChange:
        case TDataEvent::deRecordChange: RecordChanged(field); break;
        case TDataEvent::deDataSetChange: DataSetChanged(); break;
        case TDataEvent::deDataSetScroll: DataSetScrolled(distance); break;
        case TDataEvent::deLayoutChange: LayoutChanged(); break;
        case TDataEvent::deUpdateRecord: UpdateData(); break;
        case TDataEvent::deCheckBrowseMode: CheckBrowseMode(); break;
        case TDataEvent::deUpdateState:
        case TDataEvent::dePropertyChange: break;
    }
}

void TMasterDataLink::SetFieldNames(const std::string& names) {
    if (names == fieldNames_) return;
    fieldNames_ = names;
    ResolveFields();
}

void TMasterDataLink::ResolveFields() {
    fields_.clear();
    if (!Active()) return;
    const TDataSet& master = *DataSet();
    std::vector<TField*> found;
    std::size_t start = 0;
    while (start <= fieldNames_.size()) {
        std::size_t end = fieldNames_.find(';', start);
        if (end == std::string::npos) end = fieldNames_.size();
        std::string name = fieldNames_.substr(start, end - start);
        const auto first = name.find_first_not_of(' ');
        name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(' ') - first + 1);
        if (!name.empty()) found.push_back(&master.FieldNamed(name));
        start = end + 1;
    }
    fields_ = std::move(found);
}

void TMasterDataLink::ActiveChanged() {
    ResolveFields();
    if (!detail_.Active() || detail_.Destroying()) return;
    if (Active() && !fields_.empty()) {
        if (OnMasterChange) OnMasterChange();
    } else if (SourceGoing()) {
        if (OnMasterGone) OnMasterGone();
    } else {
        if (OnMasterDisable) OnMasterDisable();
    }
}

void TMasterDataLink::CheckBrowseMode() {
    if (detail_.Active() && !detail_.Destroying()) detail_.CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField* field) {
    if (DataSource() == nullptr || DataSource()->State() == TDataSetState::dsSetKey) return;
    if (!detail_.Active() || fields_.empty()) return;
    if (field != nullptr && std::find(fields_.begin(), fields_.end(), field) == fields_.end()) return;
    if (OnMasterChange) OnMasterChange();
}

}  // namespace fw
