// Synthetic practice data for payxref-db demo: the same rows for the same
// seed on every machine (own generator, no library distributions).
//
// Patients have cases; each case has charges and then payments or
// adjustments of the letters I J K L M N O S T U V, most settled exactly by
// their applications (amounts in quarters, so any order of adding is exact),
// some partly, some over-applied, some with the sign of the amount flipped,
// some differing only by rounding (10.1 + 20.2 against 30.3), some with an
// application to a charge that no longer exists, some with no application;
// a few transactions have a blank type, and a few charges are named as a
// payment reference.
#pragma once

#include <cstdint>

#include "engine/lce_builder.h"

namespace payxref::db {

struct DemoOptions {
    std::int64_t transactions = 10000;
    std::uint64_t seed = 1;
};

// Where the generated rows go; rows follow the schemas given to GenerateDemo.
class DemoSink {
public:
    virtual ~DemoSink() = default;
    virtual void Transaction(const lce::Row& row) = 0;  // a ZTTRN record
    virtual void Application(const lce::Row& row) = 0;  // a ZTPAX record
};

struct DemoSummary {
    std::int64_t transactions = 0;
    std::int64_t charges = 0;
    std::int64_t payments = 0;
    std::int64_t applications = 0;
    std::int64_t exact = 0;
    std::int64_t partial = 0;
    std::int64_t over = 0;
    std::int64_t signFlip = 0;
    std::int64_t rounding = 0;
    std::int64_t dangling = 0;   // payments with an application to a vanished charge
    std::int64_t unapplied = 0;  // payments without any application
    std::int64_t blankType = 0;
    std::int64_t chargeAsPayment = 0;
};

// Emits exactly options.transactions ZTTRN rows and their ZTPAX rows.
// The schemas must have the columns "Entry Number", "Transaction Type",
// "Amount" (ZTTRN) and "Payment Reference", "Charge Reference",
// "Payment Amount" (ZTPAX); other known columns are filled when present.
DemoSummary GenerateDemo(const DemoOptions& options, const lce::TableSchema& transactions,
                         const lce::TableSchema& applications, DemoSink& sink);

}  // namespace payxref::db
