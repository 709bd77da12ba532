#pragma once
// The listing's three forms: the window's text lines, CSV (RFC 4180, a header
// row, CR LF line ends) and JSON Lines (one object per payment). CSV and JSON
// carry the figures as numbers and the text in UTF-8.
#include <iosfwd>
#include <memory>
#include <string>

#include "search/listing.h"
#include "search/search_options.h"

namespace app {

// The columns of the CSV header and the keys of the JSON objects, in order.
inline constexpr const char* kListingColumns[] = {
    "Entry Number", "Chart Number", "Case Number", "Date From", "Payment/Adjustment Code",
    "Amount",       "Applied",      "Difference"};

// A writer of `format` onto `out` (nothing for ListingFormat::None).
std::unique_ptr<IListingSink> MakeListingWriter(ListingFormat format, std::ostream& out);

// A day of the date-time scale as YYYY-MM-DD.
std::string IsoDateText(long day);

// The shortest decimal text that reads back as the same double.
std::string NumberText(double value);

}  // namespace app
