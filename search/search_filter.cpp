// The filters of `payxref search` as SQL: dates as the engine's Julian day
// numbers, text as quoted literals, the difference threshold as a HAVING
// clause on the same figures the listing compares.
#include "search/search_filter.h"

#include "framework/format.h"
#include "search/listing_formats.h"
#include "search/search_description.h"

namespace app {
namespace {

// The query's WHERE clause ends on this line; GROUP BY is the last one.
constexpr std::size_t kLastWhereLine = 8;

std::string JulianDay(const IsoDate& date) { return std::to_string(date.day + fw::JulianDayOfDateTimeZero); }

std::vector<std::string> Conditions(const SearchOptions& options) {
    std::vector<std::string> lines;
    if (options.from) lines.push_back(" and pay.[Date From] >= " + JulianDay(*options.from));
    if (options.to) lines.push_back(" and pay.[Date From] <= " + JulianDay(*options.to));
    if (options.chart) lines.push_back(" and pay.[Chart Number] = " + SqlTextLiteral(*options.chart));
    if (options.provider) lines.push_back(" and pay.[Attending Provider] = " + SqlTextLiteral(*options.provider));
    if (!options.codes.empty()) {
        std::string list;
        for (const std::string& code : options.codes) list += (list.empty() ? "" : ", ") + SqlTextLiteral(code);
        lines.push_back(" and pay.[Procedure Code] In (" + list + ")");
    }
    return lines;
}

}  // namespace

std::string SqlTextLiteral(const std::string& value) {
    std::string literal = "'";
    for (const char ch : value) literal += ch == '\'' ? std::string("''") : std::string(1, ch);
    return literal + "'";
}

std::vector<std::string> FilteredSearchQueryLines(const SearchOptions& options) {
    std::vector<std::string> lines = SearchQueryLines();
    const std::vector<std::string> conditions = Conditions(options);
    lines.insert(lines.begin() + kLastWhereLine + 1, conditions.begin(), conditions.end());
    if (options.minDifference) {
        // A row with a null figure stays, so the search meets it as the window does.
        const std::string threshold = NumberText(*options.minDifference);
        lines.push_back(
            "Having pay.[Amount] Is Null or Sum([Payment Amount]) Is Null"
            " or Abs(Abs(pay.[Amount]) - Abs(Sum([Payment Amount]))) >= " +
            threshold);
    }
    return lines;
}

fw::StoredWindow SearchDescriptionWithQuery(const std::vector<std::string>& lines) {
    fw::StoredWindow description = SearchDescription();
    for (fw::StoredComponent& component : description.Components) {
        if (component.Name != "qryPay") continue;
        for (auto& [path, value] : component.Properties) {
            if (path == "SQL.Strings") value = lines;
        }
    }
    return description;
}

}  // namespace app
