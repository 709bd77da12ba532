// The subcommands of payxref-db, callable without a process so tests can
// run them. Each returns the exit code: 0 success, 1 failure, 2 usage.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/demo.h"
#include "tools/schema.h"

namespace payxref::db {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs a command line (without the program name). Results go to out,
// messages to err.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The operations behind the subcommands; they throw std::exception with a
// message for the user.
void CreatePractice(const std::string& folder, const PracticeLayout& layout);
std::int64_t ImportCsv(const std::string& folder, const std::string& table, const std::string& csvPath);
void ExportCsv(const std::string& folder, const std::string& table, std::ostream& out);
DemoSummary BuildDemo(const std::string& folder, const DemoOptions& options);

}  // namespace payxref::db
