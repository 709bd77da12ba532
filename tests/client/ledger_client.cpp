// ledger-client: a small tool of its own written on the access layer, the way
// another program for the practice would use it. For one chart it prints the
// practice's tables, the number of transactions, the chart's payments and
// adjustments found by a parameterised query, and under each payment the
// applications read from ZTPAX, a table opened through a lum.ini alias and
// kept on the payment's record as a detail.
//
//   ledger-client DICTIONARY_ALIAS FILES_ALIAS CHART USER PASSWORD
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "data/lum/connection.h"
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
