#pragma once
// `payxref search [FOLDER]`: the search without a window. The practice folder
// is FOLDER, or the one recorded for the current user; the result lines go to
// standard output, a failure to standard error with exit code 1.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "framework/format.h"

namespace app {

// Prints the listing's lines to a PDF file headed by headerLine (`--pdf FILE`).
using ListingPdfWriter = std::function<void(const std::string& path, const std::string& headerLine,
                                            const std::vector<std::string>& lines)>;

int RunHeadlessSearch(const std::vector<std::string>& args, const fw::FormatSettings& settings,
                      std::ostream& out, std::ostream& err, const ListingPdfWriter& pdf = {});

}  // namespace app
