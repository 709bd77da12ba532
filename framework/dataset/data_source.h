#pragma once
// TDataSource: publishes a dataset to the links attached to it, such as the
// master link of a detail dataset.
#include <vector>

#include "framework/component.h"
#include "framework/dataset/dataset.h"
#include "framework/reader.h"

namespace fw {

class TDataLink;

class TDataSource : public TComponent, public IStreamable {
public:
    explicit TDataSource(TComponent* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* dataSet);
    // The dataset's state, dsInactive without one.
    TDataSetState State() const;
    // This source or its dataset is being destroyed: links hear of a master
    // that is going, not of one that merely closed.
    bool Going() const;

    // Stored property: "DataSet" (a component reference).
    void SetStoredProperty(const std::string& path, const PropertyValue& value) override;

protected:
    void Notification(TComponent& component, Operation operation) override;

private:
    friend class TDataLink;
    friend class TDataSet;
    // Told by a dataset being destroyed; lets go of it without failing.
    void DataSetGoing() noexcept;
    void AddLink(TDataLink& link);
    void RemoveLink(TDataLink& link);
    void NotifyLinks(TDataEvent event, TField* field, int distance = 0);
    std::size_t WantedBufferCount() const;

    TDataSet* dataSet_ = nullptr;
    bool dataSetGoing_ = false;
    std::vector<TDataLink*> links_;
};

// Registers TDataSource with a reader.
void RegisterDataSetClasses(TReader& reader);

}  // namespace fw
