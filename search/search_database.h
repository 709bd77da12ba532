#pragma once
// The database side of the search: the window's connection and its two
// datasets, behind the search's contracts.
#include <map>
#include <memory>

#include "search/contracts.h"

namespace fw {
class TComponent;
class TDataSet;
class TField;
}  // namespace fw
namespace lum {
class TLumConnection;
}

namespace app {

class FieldContract : public IField {
public:
    explicit FieldContract(const fw::TField& field) : field_(field) {}
    std::string ValueAsText() const override;
    std::int32_t ValueAsInteger() const override;
    double ValueAsDateTime() const override;
    fw::Variant ValueAsVariant() const override;

private:
    const fw::TField& field_;
};

class DataSetContract : public IDataSet {
public:
    explicit DataSetContract(fw::TDataSet& dataSet) : dataSet_(dataSet) {}
    void SetActive(bool active) override;
    void MoveToFirst() override;
    void MoveToNext() override;
    bool AtEnd() const override;
    std::int64_t CountRecords() override;
    IField& FieldNamed(const std::string& name) override;

private:
    fw::TDataSet& dataSet_;
    // One wrapper per field object the dataset has handed out.
    std::map<const fw::TField*, std::unique_ptr<FieldContract>> fields_;
};

class ConnectionContract : public IConnection {
public:
    explicit ConnectionContract(lum::TLumConnection& connection) : connection_(connection) {}
    void SetIsConnected(bool connected) override;
    void SetConnectPath(const std::string& path) override;
    std::string ConnectPath() const override;

private:
    lum::TLumConnection& connection_;
};

// LumConnection1, qryPay and tblpay of an owner read from the search's
// description (alone, or within the window's).
class SearchDatabase {
public:
    // EConvertError when the owner lacks one of the three components.
    explicit SearchDatabase(fw::TComponent& owner);
    IConnection& Connection() { return *connection_; }
    IDataSet& Query() { return *query_; }
    IDataSet& Table() { return *table_; }

private:
    std::unique_ptr<ConnectionContract> connection_;
    std::unique_ptr<DataSetContract> query_;
    std::unique_ptr<DataSetContract> table_;
};

}  // namespace app
