#pragma once
// `payxref search [FOLDER] [OPTIONS]`: the search without a window. The
// practice folder is FOLDER, or the one recorded for the current user; the
// listing goes to standard output or a file in the chosen format, a failure
// to standard error with exit code 1, a usage error with exit code 2.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "framework/format.h"

namespace app {

// Writes the PDF report of `--pdf FILE`. `headerLine` is "<practice folder> —
// <date>" (the date as YYYY-MM-DD); `lines` are what the window's pane would
// hold, as the Print button prints it: the connect path, an empty line, the
// listing's text lines and, with --summary, an empty line and the summary
// table. Everything is UTF-8. A failure is thrown and reported with exit 1.
using ListingPdfWriter =
    std::function<void(const std::string& path, const std::string& headerLine, const std::vector<std::string>& lines)>;

int RunHeadlessSearch(const std::vector<std::string>& args, const fw::FormatSettings& settings, std::ostream& out,
                      std::ostream& err, const ListingPdfWriter& pdf = {});

}  // namespace app
