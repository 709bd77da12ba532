#pragma once
// The search's query as the engine receives it: the search's own ten lines,
// each followed by CR LF.
#include <string>
#include <vector>

#include "search/search_query.h"

namespace testing_search {

inline const std::vector<std::string>& SearchLines() { return app::SearchQueryLines(); }

inline std::string SearchStatement() {
    std::string text;
    for (const std::string& line : SearchLines()) text += line + "\r\n";
    return text;
}

}  // namespace testing_search
