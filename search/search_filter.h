#pragma once
// The search query narrowed by the command's filters: conditions added to the
// window's query text, so the engine selects the payments and nothing is
// listed only to be dropped.
#include <string>
#include <vector>

#include "framework/reader.h"
#include "search/search_options.h"

namespace app {

// The query's ten lines with a condition line per filter after the WHERE
// clause's last line and, for --min-difference, a HAVING line after GROUP BY.
// Unfiltered options give the ten lines unchanged.
std::vector<std::string> FilteredSearchQueryLines(const SearchOptions& options);

// The search's stored description with the query's SQL replaced by `lines`.
fw::StoredWindow SearchDescriptionWithQuery(const std::vector<std::string>& lines);

// A character value as an SQL literal: in apostrophes, each apostrophe doubled.
std::string SqlTextLiteral(const std::string& value);

}  // namespace app
