// TDataSource: tells its links what happens to its dataset, and that it is going
// when it or the dataset is destroyed.
#include "framework/dataset/data_source.h"

#include <algorithm>

#include "framework/dataset/data_link.h"
#include "framework/dataset/listener_snapshot.h"
#include "framework/exceptions.h"
#include "framework/stored_property.h"

namespace fw {

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    MarkDestroying();
    Quietly([this] { SetDataSet(nullptr); });
    for (TDataLink* link : ListenerSnapshot<TDataLink>(links_)) Quietly([link] { link->SetDataSource(nullptr); });
}

bool TDataSource::Going() const {
    return Destroying() || dataSetGoing_ || (dataSet_ != nullptr && dataSet_->Destroying());
}

void TDataSource::DataSetGoing() noexcept {
    dataSetGoing_ = true;
    Quietly([this] { SetDataSet(nullptr); });
    dataSetGoing_ = false;
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_ != nullptr) {
        dataSet_->RemoveDataSource(*this);
        RemoveFreeNotification(*dataSet_);
    }
    dataSet_ = dataSet;
    if (dataSet_ != nullptr) {
        dataSet_->AddDataSource(*this);
        FreeNotification(*dataSet_);
    }
    NotifyLinks(TDataEvent::deUpdateState, nullptr);
}

TDataSetState TDataSource::State() const { return dataSet_ != nullptr ? dataSet_->State() : TDataSetState::dsInactive; }

void TDataSource::SetStoredProperty(const std::string& path, const PropertyValue& value) {
    if (path == "DataSet") {
        TComponent* const target = Stored<TComponent*>(value, path);
        TDataSet* dataSet = target != nullptr ? dynamic_cast<TDataSet*>(target) : nullptr;
        if (target != nullptr && dataSet == nullptr) RaiseInvalidPropertyValue(path);
        SetDataSet(dataSet);
        return;
    }
    throw EConvertError(Format("Unknown property: %s", {path}));
}

void TDataSource::Notification(TComponent& component, Operation operation) {
    TComponent::Notification(component, operation);
    if (operation == Operation::Remove && &component == dataSet_) DataSetGoing();
}

void TDataSource::AddLink(TDataLink& link) { links_.push_back(&link); }

void TDataSource::RemoveLink(TDataLink& link) { std::erase(links_, &link); }

void TDataSource::NotifyLinks(TDataEvent event, TField* field, int distance) {
    for (TDataLink* link : ListenerSnapshot<TDataLink>(links_))
        if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->DataEvent(event, field, distance);
}

std::size_t TDataSource::WantedBufferCount() const {
    std::size_t count = 1;
    for (const TDataLink* link : links_) count = std::max(count, link->BufferCount());
    return count;
}

void RegisterDataSetClasses(TReader& reader) {
    reader.RegisterClass("TDataSource",
                         [](TComponent& owner) -> TComponent& { return owner.CreateOwned<TDataSource>(); });
}

}  // namespace fw
