#pragma once
// The search for payments and adjustments that are not completely applied.
#include <string>

#include "framework/format.h"
#include "search/contracts.h"

namespace app {

struct SearchComponents {
    IButton& SearchButton;
    IPracticeLocation& Location;
    IFolderDialog& FolderDialog;
    IConnection& Connection;
    IDataSet& Query;  // the payment query, master of Table
    IDataSet& Table;  // the transaction table, linked to Query on Entry Number
    IProgressBar& Bar;
    IOutputPane& Pane;
    IMessagePump& Messages;
};

// The data dictionary in a practice folder: the folder, the directory
// separator and "ZTDDF.LDD", joined without any check.
std::string DictionaryPathIn(const std::string& folder);

// One output line for the transaction the table stands on and the query row.
std::string BuildOutputLine(IDataSet& query, IDataSet& table, const fw::FormatSettings& settings);

// Runs the whole search: one pass over Query, listing each row whose applied
// total differs from its amount, with the transaction's details read from
// Table, which its master link has put on that row's transaction. Any failure
// leaves the components as the failing step left them and travels on as an
// exception; the Search button is enabled again on every way out.
void RunSearch(const SearchComponents& components, const fw::FormatSettings& settings);

}  // namespace app
