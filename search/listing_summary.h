#pragma once
// The totals of a listing: how many payments it lists, the sum of the
// positive differences (not completely applied) and of the negative ones
// (over-applied), overall and per payment or adjustment code.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "framework/format.h"
#include "search/listing.h"

namespace app {

struct DifferenceTotals {
    std::int64_t payments = 0;
    long double notApplied = 0;   // the sum of the positive differences
    long double overApplied = 0;  // the sum of the negative differences
};

class ListingSummary : public IListingSink {
public:
    void Head(const std::string&) override {}
    void Payment(const ListedPayment& payment) override;

    const DifferenceTotals& Total() const { return total_; }
    // Per code in the tables' text, in byte order.
    const std::map<std::string, DifferenceTotals>& PerCode() const { return perCode_; }

    // A small table: a header row, one row per code and a total row, the
    // numbers as the listing writes them; codes in the tables' text.
    std::vector<std::string> TextLines(const fw::FormatSettings& settings) const;
    // {"summary": {"payments", "not_applied", "over_applied", "codes": [{"code", ...}]}}
    nlohmann::ordered_json Json() const;

private:
    DifferenceTotals total_;
    std::map<std::string, DifferenceTotals> perCode_;
};

}  // namespace app
