#pragma once
// Data links: what a data source tells about its dataset. A link hears when
// the dataset opens or closes, when it starts or stops editing, when its
// current record, a field of it or its whole content changes, when it
// scrolls, when its layout changes, when a record is about to be stored and
// when the dataset is about to leave a record. The master link of a detail
// dataset turns those into "master changed" and "master gone", and settles
// the detail's own edit before the master moves.
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
    // That dataset is editing a record or a key.
    bool Editing() const { return editing_; }
    // Records the link wants buffered around the current one.
    virtual std::size_t BufferCount() const { return 1; }

protected:
    // The source this link hears from, or the one it is leaving, is being
    // destroyed or is losing a dataset that is.
    bool SourceGoing() const;
    virtual void ActiveChanged() {}
    virtual void EditingChanged() {}
    virtual void RecordChanged(TField*) {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    // The current record moved by `distance` records (negative: backward)
    // without the buffered records changing in number.
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void LayoutChanged() { DataSetChanged(); }
    // The record is about to be stored: a value still being typed goes into its field.
    virtual void UpdateData() {}
    // The dataset is about to leave its record or key (a move, a post, a
    // cancel); what follows the dataset settles its own edit first. Told also
    // while the dataset's controls are disabled.
    virtual void CheckBrowseMode() {}
    // A property of the dataset that shapes its records changed. Heard also
    // while the dataset is closed, as such properties change only then.
    virtual void DataSetPropertyChanged() {}

private:
    friend class TDataSource;
    void UpdateActive();
    void UpdateEditing();
    void DataEvent(TDataEvent event, TField* field, int distance);

    TDataSource* source_ = nullptr;
    bool active_ = false;
    bool editing_ = false;
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
    // A record or key being edited in the open detail is posted or cancelled.
    void CheckBrowseMode() override;

private:
    // The master's fields for the names; "Field '%s' not found" leaves the list empty.
    void ResolveFields();

    TDataSet& detail_;
    std::string fieldNames_;
    std::vector<TField*> fields_;
};

}  // namespace fw
