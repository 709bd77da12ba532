#pragma once
// The command line of `payxref search`: what each option asks for, read and
// checked before anything is opened, and the help text that lists them.
#include <optional>
#include <string>
#include <vector>

namespace app {

enum class ListingFormat { Text, Csv, Json, None };

// A calendar date given as YYYY-MM-DD, kept as written and as the day count
// of the date-time scale (days since 30 December 1899).
struct IsoDate {
    std::string text;
    long day = 0;
};

struct SearchOptions {
    std::optional<std::string> folder;
    std::optional<IsoDate> from;
    std::optional<IsoDate> to;
    // Chart, provider and codes in the tables' 8-bit text, ready for the query.
    std::optional<std::string> chart;
    std::optional<std::string> provider;
    std::vector<std::string> codes;
    std::optional<double> minDifference;
    ListingFormat format = ListingFormat::Text;
    std::optional<std::string> output;
    bool summary = false;
    std::optional<std::string> pdf;
    bool quiet = false;
};

struct ParsedSearchCommand {
    bool help = false;
    SearchOptions options;
    std::string usageError;  // empty when the command line is valid
};

// Reads the arguments after "search". Every option takes its value as the
// next argument or after "="; "--" ends the options.
ParsedSearchCommand ParseSearchCommand(const std::vector<std::string>& args);

// The text of `payxref search --help`.
const std::string& SearchHelpText();

}  // namespace app
