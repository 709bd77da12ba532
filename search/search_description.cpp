// The one stored description of the search's database components, read by
// the window, the headless run and the tests.
#include "search/search_description.h"

#include "data/lum/streaming.h"
#include "search/stored_transaction_defs.h"

namespace app {

namespace {

// tblpay's properties: its own, then the stored definitions of ZTTRN.
std::vector<std::pair<std::string, fw::PropertyValue>> TransactionTableProperties() {
    std::vector<std::pair<std::string, fw::PropertyValue>> properties{
        {"TableName", std::string("ZTTRN.LDT")},
        {"LumConnection", fw::ComponentRef{"LumConnection1"}},
        {"IndexFieldNames", std::string("ENTRY NUMBER")},
        // The join of the search: tblpay follows qryPay through dsQryChg, so
        // each query row puts the table on its own transaction (the ZTTRN
        // record whose Entry Number is the row's).
        {"MasterSource", fw::ComponentRef{"dsQryChg"}},
        {"MasterFields", std::string("Entry Number")},
        {"LumTableOptions.LumIndexPageSize", 512LL},
        {"StoreDefs", true}};
    const auto& defs = StoredTransactionDefs();
    properties.insert(properties.end(), defs.begin(), defs.end());
    return properties;
}

}  // namespace

const std::vector<fw::StoredComponent>& SearchComponentDescriptions() {
    // The connect path is replaced before every use.
    static const std::vector<fw::StoredComponent> components{
        {"TLumConnection",
         "LumConnection1",
         {{"ConnectPath", std::string("\\\\devhost\\Orvanta\\Data\\ZTDDF.LDD")},
          {"LumServerTypes", fw::IdentSet{{"stLUM_REMOTE", "stLUM_LOCAL"}}},
          {"LoginPrompt", false},
          {"Username", std::string("user")},
          {"Password", std::string("brindlex")}}},
        {"TLumQuery",
         "qryPay",
         {{"DatabaseName", std::string("LumConnection1")},
          {"LumConnection", fw::ComponentRef{"LumConnection1"}},
          {"LumTableOptions.LumScopeOptions", fw::Ident{"RESPECT_SCOPES_WHEN_COUNTING"}},
          {"LumTableOptions.LumIndexPageSize", 512LL},
          {"SQL.Strings", SearchQueryLines()}}},
        {"TLumTable", "tblpay", TransactionTableProperties()},
        {"TDataSource", "dsQryChg", {{"DataSet", fw::ComponentRef{"qryPay"}}}},
        {"TDataSource", "dsTblChg", {{"DataSet", fw::ComponentRef{"tblpay"}}}},
    };
    return components;
}

const fw::StoredWindow& SearchDescription() {
    static const fw::StoredWindow description{{}, SearchComponentDescriptions()};
    return description;
}

void RegisterSearchClasses(fw::TReader& reader) { lum::RegisterLumClasses(reader); }

}  // namespace app
