#pragma once
// The search's SQL as the query stores it. Kept in a header of its own, with
// no dependencies, so the engine's and the SQL dialect's tests read the same
// ten lines without linking the search.
#include <string>
#include <vector>

namespace app {

// The search query's ten lines, as stored. The engine receives them each
// followed by CR LF. One row per payment or adjustment that has applications:
// its Entry Number, its Amount and the sum of what was applied (PayTotal).
inline const std::vector<std::string>& SearchQueryLines() {
    static const std::vector<std::string> lines{
        "Select ",
        " pay.[Entry Number],",
        " pay.[Amount],",
        " Sum([Payment Amount]) PayTotal",
        "From ZTTRN pay, ZTPAX, ZTTRN chg",
        "Where",
        " pay.[Entry Number] = ZTPAX.[Payment Reference]",
        " and chg.[Entry Number] = ZTPAX.[Charge Reference]",
        " and Position(pay.[Transaction Type] in 'IJKLMNOSTUV') > 0",
        "Group By pay.[Entry Number], pay.[Amount]",
    };
    return lines;
}

}  // namespace app
