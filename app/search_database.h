#pragma once
// The database side of the search: the connection and its two datasets, as
// the main window owns them.
#include <memory>

#include "app/contracts.h"

namespace app {

class SearchDatabase {
public:
    virtual ~SearchDatabase() = default;
    virtual IConnection& Connection() = 0;
    virtual IDataSet& Query() = 0;
    virtual IDataSet& Table() = 0;
};

// The components the window is configured with.
std::unique_ptr<SearchDatabase> CreateSearchDatabase();

}  // namespace app
