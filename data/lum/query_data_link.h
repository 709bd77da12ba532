#pragma once
// TLumQueryDataLink: the link from a query to the data source whose dataset
// gives its parameter values. The query runs again when that dataset moves to
// another record.
#include "framework/dataset/data_link.h"

namespace lum {

class TLumQuery;

class TLumQueryDataLink : public fw::TDataLink {
public:
    explicit TLumQueryDataLink(TLumQuery& query) : query_(query) {}

protected:
    void ActiveChanged() override;
    void RecordChanged(fw::TField* field) override;
    // An edit of the open query is settled before its master moves.
    void CheckBrowseMode() override;

private:
    // Closes and opens the query again, with its controls disabled, when it
    // is open and the master can be read.
    void RequeryFromMaster();

    TLumQuery& query_;
};

}  // namespace lum
