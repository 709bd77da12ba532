// Adding up the listed differences and writing the totals as a text table or
// a JSON object.
#include "search/listing_summary.h"

#include <algorithm>
#include <cmath>

#include "search/table_text.h"

namespace app {
namespace {

void Add(DifferenceTotals& totals, long double difference) {
    ++totals.payments;
    if (difference > 0) totals.notApplied += difference;
    if (difference < 0) totals.overApplied += difference;
}

// A total as money: to the ten-thousandth, the scale amounts are kept in, so
// the floating-point noise of many added differences does not show.
double MoneyTotal(long double sum) { return static_cast<double>(std::round(sum * 10000.0L) / 10000.0L); }

std::string PadLeft(const std::string& text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

std::string PadRight(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

nlohmann::ordered_json TotalsJson(const DifferenceTotals& totals) {
    nlohmann::ordered_json object;
    object["payments"] = totals.payments;
    object["not_applied"] = MoneyTotal(totals.notApplied);
    object["over_applied"] = MoneyTotal(totals.overApplied);
    return object;
}

}  // namespace

void ListingSummary::Payment(const ListedPayment& payment) {
    Add(total_, payment.difference);
    Add(perCode_[payment.code], payment.difference);
}

std::vector<std::string> ListingSummary::TextLines(const fw::FormatSettings& settings) const {
    std::vector<std::vector<std::string>> rows{{"Code", "Payments", "Not applied", "Over-applied"}};
    const auto row = [&](const std::string& code, const DifferenceTotals& t) {
        rows.push_back({code, std::to_string(t.payments), fw::FormatGeneral15(MoneyTotal(t.notApplied), settings),
                        fw::FormatGeneral15(MoneyTotal(t.overApplied), settings)});
    };
    for (const auto& [code, totals] : perCode_) row(code, totals);
    row("Total", total_);
    std::vector<std::size_t> widths(4, 0);
    for (const auto& cells : rows) {
        for (std::size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
    }
    std::vector<std::string> lines;
    for (const auto& cells : rows) {
        std::string line = PadRight(cells[0], widths[0]);
        for (std::size_t i = 1; i < cells.size(); ++i) line += "  " + PadLeft(cells[i], widths[i]);
        lines.push_back(line);
    }
    return lines;
}

nlohmann::ordered_json ListingSummary::Json() const {
    nlohmann::ordered_json summary = TotalsJson(total_);
    summary["codes"] = nlohmann::ordered_json::array();
    for (const auto& [code, totals] : perCode_) {
        nlohmann::ordered_json entry;
        entry["code"] = Utf8FromTableText(code);
        entry.update(TotalsJson(totals));
        summary["codes"].push_back(entry);
    }
    nlohmann::ordered_json wrapped;
    wrapped["summary"] = summary;
    return wrapped;
}

}  // namespace app
