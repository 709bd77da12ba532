#pragma once
// One listed payment with the figures behind its line, and the receiver of a
// listing: the output formats, the summary and the PDF report each take the
// head lines and the payments as the search lists them.
#include <cstdint>
#include <optional>
#include <string>

#include "search/contracts.h"

namespace app {

struct ListedPayment {
    std::string line;  // the line as the window writes it (table text)
    std::int32_t entryNumber = 0;
    std::string chart;  // table text
    std::optional<std::int32_t> caseNumber;
    std::optional<long> dateFrom;  // days of the date-time scale
    std::string code;              // table text
    double amount = 0;
    double applied = 0;
    long double difference = 0;  // |amount| - |applied|, as the line shows it
};

class IListingSink {
public:
    virtual ~IListingSink() = default;
    // The connect path and the empty line before the payments.
    virtual void Head(const std::string& line) = 0;
    virtual void Payment(const ListedPayment& payment) = 0;
    // The search ended without failure.
    virtual void Finish() {}
};

// The payment the query row and the table stand on, as `line` lists it.
ListedPayment ReadListedPayment(IDataSet& query, IDataSet& table, std::string line);

}  // namespace app
