#pragma once
// Data links: what a data source tells about its dataset. A link hears when
// the dataset opens or closes, when its current record or its whole content
// changes, and when its layout changes. The master link of a detail dataset
// turns those into "master changed" and "master gone".
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "framework/dataset/dataset.h"

namespace fw {

class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return source_; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    // The data source has an open dataset.
    bool Active() const { return active_; }
    // Records the link wants buffered around the current one.
    virtual std::size_t BufferCount() const { return 1; }

protected:
    // The source this link hears from, or the one it is leaving, is being
    // destroyed or is losing a dataset that is.
    bool SourceGoing() const;
    virtual void ActiveChanged() {}
    virtual void RecordChanged(TField*) {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int) { DataSetChanged(); }
    virtual void LayoutChanged() { DataSetChanged(); }

private:
    friend class TDataSource;
    void UpdateActive();
    void DataEvent(TDataEvent event, TField* field);

    TDataSource* source_ = nullptr;
    bool active_ = false;
    bool leavingGoingSource_ = false;
};

class TMasterDataLink : public TDataLink {
public:
    explicit TMasterDataLink(TDataSet& detail) : detail_(detail) {}

    const std::string& FieldNames() const { return fieldNames_; }
    // Stores the ";"-separated names and resolves them on an open master.
    void SetFieldNames(const std::string& names);
    const std::vector<TField*>& Fields() const { return fields_; }

    std::function<void()> OnMasterChange;
    std::function<void()> OnMasterDisable;
    // Instead of OnMasterDisable when the master is going while the detail
    // stays; it must not fail, as it runs inside a teardown.
    std::function<void()> OnMasterGone;

protected:
    void ActiveChanged() override;
    void RecordChanged(TField* field) override;
    void LayoutChanged() override { ActiveChanged(); }

private:
    // The master's fields for the names; "Field '%s' not found" leaves the list empty.
    void ResolveFields();

    TDataSet& detail_;
    std::string fieldNames_;
    std::vector<TField*> fields_;
};

}  // namespace fw
