// The search's contracts over the access layer's connection, datasets and
// fields, and the three components found by name in their owner.
#include "search/search_database.h"

#include "data/lum/connection.h"
#include "data/lum/query.h"
#include "data/lum/table.h"
#include "framework/component.h"
#include "framework/dataset/dataset.h"
#include "framework/dataset/field.h"
#include "framework/exceptions.h"

namespace app {

std::string FieldContract::ValueAsText() const { return field_.ValueAsText(); }
std::int32_t FieldContract::ValueAsInteger() const { return field_.ValueAsInteger(); }
double FieldContract::ValueAsDateTime() const { return field_.ValueAsDateTime(); }
fw::Variant FieldContract::ValueAsVariant() const { return field_.ValueAsVariant(); }

void DataSetContract::SetActive(bool active) {
    // Reopening makes new field objects; wrappers of the old ones go.
    fields_.clear();
    dataSet_.SetActive(active);
}
void DataSetContract::MoveToFirst() { dataSet_.MoveToFirst(); }
void DataSetContract::MoveToNext() { dataSet_.MoveToNext(); }
bool DataSetContract::AtEnd() const { return dataSet_.AtEnd(); }
std::int64_t DataSetContract::CountRecords() { return dataSet_.CountRecords(); }

IField& DataSetContract::FieldNamed(const std::string& name) {
    const fw::TField& field = dataSet_.FieldNamed(name);
    auto& wrapper = fields_[&field];
    if (!wrapper) wrapper = std::make_unique<FieldContract>(field);
    return *wrapper;
}

void ConnectionContract::SetIsConnected(bool connected) { connection_.SetIsConnected(connected); }
void ConnectionContract::SetConnectPath(const std::string& path) { connection_.SetConnectPath(path); }
std::string ConnectionContract::ConnectPath() const { return connection_.ConnectPath(); }

namespace {

template <class T>
T& Find(fw::TComponent& owner, const char* name) {
    auto* found = dynamic_cast<T*>(owner.FindComponent(name));
    if (found == nullptr) throw fw::EConvertError(fw::Format("Component %s not found", {name}));
    return *found;
}

}  // namespace

SearchDatabase::SearchDatabase(fw::TComponent& owner)
    : connection_(std::make_unique<ConnectionContract>(Find<lum::TLumConnection>(owner, "LumConnection1"))),
      query_(std::make_unique<DataSetContract>(Find<lum::TLumQuery>(owner, "qryPay"))),
      table_(std::make_unique<DataSetContract>(Find<lum::TLumTable>(owner, "tblpay"))) {}

}  // namespace app
