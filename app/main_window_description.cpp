#include "app/main_window_description.h"

#include "app/print_dialog.h"
#include "data/lum/streaming.h"
#include "ui/shell_browser_dialog.h"

namespace app {

const std::vector<std::string>& SearchQueryLines() {
    static const std::vector<std::string> lines{
        "Select ",
        " pay.[Entry Number],",
        " pay.[Amount],",
        " Sum([Payment Amount]) PayTotal",
        "From ZTTRN pay, ZTPAX, ZTTRN chg",
        "Where",
        " pay.[Entry Number] = ZTPAX.[Payment Reference]",
        " and chg.[Entry Number] = ZTPAX.[Charge Reference]",
        " and Position(pay.[Transaction Type] in 'IJKLMNOSTUV') > 0",
        "Group By pay.[Entry Number], pay.[Amount]",
    };
    return lines;
}

const fw::StoredWindow& MainWindowDescription() {
    // The connect path is replaced before every use; the dialogs keep their defaults.
    static const fw::StoredWindow description{
        {},
        {
            {"TpxShellBrowserDialog", "pxShellBrowserDialog1", {}},
            {"TLumConnection", "LumConnection1",
             {{"ConnectPath", std::string("\\\\devhost\\Orvanta\\Data\\ZTDDF.LDD")},
              {"LumServerTypes", fw::IdentSet{{"stLUM_REMOTE", "stLUM_LOCAL"}}},
              {"LoginPrompt", false},
              {"Username", std::string("user")},
              {"Password", std::string("brindlex")}}},
            {"TLumQuery", "qryPay",
             {{"DatabaseName", std::string("LumConnection1")},
              {"LumConnection", fw::ComponentRef{"LumConnection1"}},
              {"LumTableOptions.LumScopeOptions", fw::Ident{"RESPECT_SCOPES_WHEN_COUNTING"}},
              {"LumTableOptions.LumIndexPageSize", 512LL},
              {"SQL.Strings", SearchQueryLines()}}},
            {"TLumTable", "tblpay",
             {{"TableName", std::string("ZTTRN.LDT")},
              {"LumConnection", fw::ComponentRef{"LumConnection1"}},
              {"IndexFieldNames", std::string("ENTRY NUMBER")},
              {"MasterSource", fw::ComponentRef{"dsQryChg"}},
              {"MasterFields", std::string("Entry Number")},
              {"LumTableOptions.LumIndexPageSize", 512LL},
              {"StoreDefs", true}}},
            {"TDataSource", "dsQryChg", {{"DataSet", fw::ComponentRef{"qryPay"}}}},
            {"TDataSource", "dsTblChg", {{"DataSet", fw::ComponentRef{"tblpay"}}}},
            {"TPrintDialog", "PrintDialog1", {}},
        },
    };
    return description;
}

void RegisterWindowClasses(fw::TReader& reader) {
    lum::RegisterLumClasses(reader);
    reader.RegisterClass("TpxShellBrowserDialog", [](fw::TComponent& owner) -> fw::TComponent& {
        return owner.CreateOwned<TpxShellBrowserDialog>();
    });
    reader.RegisterClass("TPrintDialog", [](fw::TComponent& owner) -> fw::TComponent& {
        return owner.CreateOwned<TPrintDialog>();
    });
}

}  // namespace app
