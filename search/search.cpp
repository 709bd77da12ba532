// The search itself: it drives the components through their contracts only,
// so the window, the headless run and the tests' doubles share it.
#include "search/search.h"

#include "framework/variant.h"

namespace app {
namespace {

// Enables the Search button again when the search ends, whichever way.
class ReenableOnExit {
public:
    explicit ReenableOnExit(IButton& button) : button_(button) {}
    ~ReenableOnExit() { button_.SetEnabled(true); }
    ReenableOnExit(const ReenableOnExit&) = delete;
    ReenableOnExit& operator=(const ReenableOnExit&) = delete;

private:
    IButton& button_;
};

}  // namespace

std::string DictionaryPathIn(const std::string& folder) { return folder + "/ZTDDF.LDD"; }

std::string BuildOutputLine(IDataSet& query, IDataSet& table, const fw::FormatSettings& settings) {
    // Fields are looked up by name at every read, in the order the line needs them.
    const std::string date =
        fw::FormatDateTime("mm/dd/yyyy", table.FieldNamed("Date From").ValueAsDateTime(), settings);
    const std::string chart = table.FieldNamed("Chart Number").ValueAsText();
    const std::string caseNumber = std::to_string(table.FieldNamed("Case Number").ValueAsInteger());
    const std::string code = table.FieldNamed("Procedure Code").ValueAsText();
    const fw::Variant amount = query.FieldNamed("Amount").ValueAsVariant();
    const fw::Variant applied = query.FieldNamed("PayTotal").ValueAsVariant();
    const std::string difference = fw::FormatGeneral15(fw::VarAbsDifference(amount, applied), settings);
    return "Chart: " + chart + " Case Number: " + caseNumber + " Date From: " + date +
           " Payment/Adjustment Code: " + code + " Difference: " + difference;
}

void RunSearch(const SearchComponents& c, const fw::FormatSettings& settings) {
    c.SearchButton.SetEnabled(false);
    const ReenableOnExit reenable(c.SearchButton);

    // Every search starts the dialog at the recorded folder.
    c.FolderDialog.SetPath(c.Location.ReadCurrentPracticePath());
    if (!c.FolderDialog.RunModal()) return;

    c.Connection.SetIsConnected(false);
    c.Connection.SetConnectPath(DictionaryPathIn(c.FolderDialog.Path()));
    c.Pane.ClearText();
    c.Pane.AppendLine(c.Connection.ConnectPath());
    c.Pane.AppendLine("");
    c.Messages.ProcessPendingMessages();

    c.Query.SetActive(true);
    c.Table.SetActive(true);

    c.Bar.SetPosition(0);
    c.Bar.SetMax(static_cast<double>(c.Query.CountRecords()));

    // The join: Table is read here but never moved. Its master link (tblpay on
    // qryPay by Entry Number, in the search's description) puts it on the
    // query row's own transaction at every move of the query.
    c.Query.MoveToFirst();
    while (!c.Query.AtEnd()) {
        c.Bar.SetPosition(c.Bar.Position() + 1);
        c.Messages.ProcessPendingMessages();
        const fw::Variant amount = c.Query.FieldNamed("Amount").ValueAsVariant();
        const fw::Variant applied = c.Query.FieldNamed("PayTotal").ValueAsVariant();
        if (fw::VarNotEqual(amount, applied)) c.Pane.AppendLine(BuildOutputLine(c.Query, c.Table, settings));
        c.Query.MoveToNext();
    }
}

}  // namespace app
