// The figures of a listed payment, read from the query row and the table the
// master link has put on its transaction, as the line was built from them.
#include "search/listing.h"

#include <cmath>

#include "framework/variant.h"

namespace app {

ListedPayment ReadListedPayment(IDataSet& query, IDataSet& table, std::string line) {
    ListedPayment payment;
    payment.line = std::move(line);
    payment.entryNumber = query.FieldNamed("Entry Number").ValueAsInteger();
    const fw::Variant amount = query.FieldNamed("Amount").ValueAsVariant();
    const fw::Variant applied = query.FieldNamed("PayTotal").ValueAsVariant();
    payment.amount = amount.AsDouble();
    payment.applied = applied.AsDouble();
    payment.difference = fw::VarAbsDifference(amount, applied);
    payment.chart = table.FieldNamed("Chart Number").ValueAsText();
    IField& caseNumber = table.FieldNamed("Case Number");
    if (!caseNumber.ValueAsVariant().IsNull()) payment.caseNumber = caseNumber.ValueAsInteger();
    IField& dateFrom = table.FieldNamed("Date From");
    if (!dateFrom.ValueAsVariant().IsNull())
        payment.dateFrom = static_cast<long>(std::floor(dateFrom.ValueAsDateTime()));
    payment.code = table.FieldNamed("Procedure Code").ValueAsText();
    return payment;
}

}  // namespace app
