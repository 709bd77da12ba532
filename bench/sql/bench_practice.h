// The demo practice a search benchmark runs on: PAYXREF_BENCH_PRACTICE when
// given, else one of PAYXREF_BENCH_TRANSACTIONS (20 000) transactions built
// once into the temporary folder and kept for the next run.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/commands.h"

namespace bench_practice {

inline std::filesystem::path Practice(const std::string& name) {
    namespace fs = std::filesystem;
    if (const char* given = std::getenv("PAYXREF_BENCH_PRACTICE"); given != nullptr && *given != '\0') {
        return fs::path(given);
    }
    std::int64_t n = 20000;
    if (const char* count = std::getenv("PAYXREF_BENCH_TRANSACTIONS")) n = std::atoll(count);
    const fs::path made = fs::temp_directory_path() / (name + "_" + std::to_string(n));
    if (!fs::exists(made / "ZTDDF.LDD")) {
        fs::remove_all(made);
        payxref::db::BuildDemo(made.string(), {n, 1});
    }
    return made;
}

}  // namespace bench_practice
