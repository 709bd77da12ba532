#pragma once
// The search's query as the tool holds it: ten lines, sent each followed by CR LF.
#include <string>
#include <vector>

namespace testing_search {

inline std::vector<std::string> SearchLines() {
    return {"Select ",
            " pay.[Entry Number],",
            " pay.[Amount],",
            " Sum([Payment Amount]) PayTotal",
            "From ZTTRN pay, ZTPAX, ZTTRN chg",
            "Where",
            " pay.[Entry Number] = ZTPAX.[Payment Reference]",
            " and chg.[Entry Number] = ZTPAX.[Charge Reference]",
            " and Position(pay.[Transaction Type] in 'IJKLMNOSTUV') > 0",
            "Group By pay.[Entry Number], pay.[Amount]"};
}

inline std::string SearchStatement() {
    std::string text;
    for (const std::string& line : SearchLines()) text += line + "\r\n";
    return text;
}

}  // namespace testing_search
