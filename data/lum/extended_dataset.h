#pragma once
// The intermediate classes of the layer's datasets. TLumExtendedDataSet adds
// the stored-property reading shared by queries and tables (the LumConnection
// property itself lives in TLumDataSet); TLumExtendedTable is the base of
// tables.
#include <string>

#include "data/lum/dataset.h"
#include "framework/reader.h"

namespace lum {

class TLumExtendedDataSet : public TLumDataSet, public fw::IStreamable {
public:
    using TLumDataSet::TLumDataSet;

    // Common stored properties: "DatabaseName", "LumConnection", "IndexFieldNames",
    // "IndexName", "MasterSource", "MasterFields", "Filter", "Filtered", "Sequenced", "SequencedLevel",
    // "Version" (ignored) and "LumTableOptions.<option>".
    void SetStoredProperty(const std::string& path, const fw::PropertyValue& value) override;

    // Told by the connection before a rollback when its CancelOnRollback is
    // set: a pending edit or insert is dropped (Cancel).
    virtual void CancelPendingEdit();
    // Reads the records around the current one again from the engine, as
    // after a rollback; the dataset stays on its record where it still exists.
    virtual void Refresh();

protected:
    // False when the path is not a common property.
    bool SetCommonStoredProperty(const std::string& path, const fw::PropertyValue& value);
};

class TLumExtendedTable : public TLumExtendedDataSet {
public:
    using TLumExtendedDataSet::TLumExtendedDataSet;
};

}  // namespace lum
