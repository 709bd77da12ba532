#pragma once
// The search's non-visual components as stored: the connection, the payment
// query, the transaction table and the two data sources. The window adds its
// dialogs to this; the headless run reads it alone.
#include "framework/reader.h"
#include "search/search_query.h"

namespace app {

// LumConnection1, qryPay, tblpay, dsQryChg and dsTblChg, in that order.
const std::vector<fw::StoredComponent>& SearchComponentDescriptions();

// The five components alone, as a description a reader can read.
const fw::StoredWindow& SearchDescription();

// Makes the classes of the search's components known to a reader.
void RegisterSearchClasses(fw::TReader& reader);

}  // namespace app
