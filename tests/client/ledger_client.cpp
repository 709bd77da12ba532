// ledger-client: a small tool of its own written on the access layer, the way
// another program for the practice would use it. It prints the dictionary's
// tables, counts of rows found by statements the connection runs itself, and
// for one chart its payments and adjustments found by a parameterised query,
// each followed by its applications read from ZTPAX, a table opened through a
// lum.ini alias and kept on the payment's record as a detail.
//
//   ledger-client DICTIONARY_ALIAS FILES_ALIAS CHART USER PASSWORD
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "data/lum/connection.h"
#include "data/lum/params.h"
#include "data/lum/query.h"
#include "data/lum/table.h"
#include "framework/dataset/data_source.h"
#include "framework/exceptions.h"

namespace {

struct Arguments {
    std::string dictionaryAlias;
    std::string filesAlias;
    std::string chart;
    std::string user;
    std::string password;
};

// Payments and adjustments of one chart, in entry order.
const std::vector<std::string> kChartPayments{
    "Select [Entry Number], [Transaction Type], [Amount]",
    "From ZTTRN",
    "Where [Chart Number] = :chart",
    " and Position([Transaction Type] in 'IJKLMNOSTUV') > 0",
    "Order By [Entry Number]",
};

std::string Money(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

void Run(const Arguments& args) {
    // Declared in the order they depend on each other, so they go in reverse.
    lum::TLumConnection connection;
    connection.SetName("Practice");
    connection.SetAliasName(args.dictionaryAlias);
    connection.SetLoginPrompt(false);
    connection.SetUsername(args.user);
    connection.SetPassword(args.password);
    connection.Connect();

    std::printf("tables");
    for (const std::string& name : connection.GetDictionaryTableNames()) std::printf(" %s", name.c_str());
    std::printf("\n");
    // Counts through statements the connection runs, the second one kept in
    // its statement cache and run twice to show it gives the same answer.
    const std::uint32_t transactions = connection.ExecuteSQL("Select [Entry Number] From ZTTRN");
    std::printf("transactions %u\n", transactions);
    lum::TParams chart;
    chart.Add("chart").SetAsString(args.chart);
    const std::string chartApplications = "Select * From ZTPAX Where [Chart Number] = :chart";
    const std::uint32_t first = connection.ExecuteSQL(chartApplications, &chart, nullptr, true);
    const std::uint32_t again = connection.ExecuteSQL(chartApplications, &chart, nullptr, true);
    std::printf("applications of the chart %u%s\n", first, first == again ? "" : " (differs when run again)");

    lum::TLumQuery payments;
    payments.SetDatabaseName("Practice");
    payments.SetSQL(kChartPayments);
    payments.ParamByName("chart").SetAsString(args.chart);
    fw::TDataSource paymentSource;
    paymentSource.SetDataSet(&payments);

    // ZTPAX as a free table of the folder the second alias names.
    lum::TLumTable applications;
    applications.SetDatabaseName(args.filesAlias);
    applications.SetTableName("ZTPAX.LDT");
    applications.SetIndexName("IDXPAYMENTREFERENCE");
    applications.SetMasterSource(&paymentSource);
    applications.SetMasterFields("Entry Number");

    payments.Open();
    applications.Open();
    std::printf("chart %s\n", args.chart.c_str());
    for (payments.MoveToFirst(); !payments.AtEnd(); payments.MoveToNext()) {
        std::printf("payment %d %s %s\n", payments.FieldNamed("Entry Number").ValueAsInteger(),
                    payments.FieldNamed("Transaction Type").ValueAsText().c_str(),
                    Money(payments.FieldNamed("Amount").ValueAsFloat()).c_str());
        for (applications.MoveToFirst(); !applications.AtEnd(); applications.MoveToNext()) {
            std::printf("  applied to %d %s\n", applications.FieldNamed("Charge Reference").ValueAsInteger(),
                        Money(applications.FieldNamed("Payment Amount").ValueAsFloat()).c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: ledger-client DICTIONARY_ALIAS FILES_ALIAS CHART USER PASSWORD\n");
        return 2;
    }
    try {
        Run(Arguments{argv[1], argv[2], argv[3], argv[4], argv[5]});
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ledger-client: %s\n", e.what());
        return 1;
    }
}
