// Time of `payxref search` narrowed by its filters, through the headless
// core as the command runs it (query, table lookups, lines to a string): one
// patient, one patient with a difference threshold, one provider in a month.
// Goal: one patient on the 1 000 000-transaction demo in under 0.3 s.
//
// PAYXREF_BENCH_PRACTICE=FOLDER uses an existing practice (for example one
// made by `payxref-db demo FOLDER --transactions 1000000 --seed 1`); otherwise
// a demo practice of PAYXREF_BENCH_TRANSACTIONS (default 20000) transactions
// is built in a temporary folder first. PAYXREF_BENCH_CHART names the patient;
// by default it is the first one listed for June 2015.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/sql/bench_practice.h"
#include "search/headless_search.h"
#include "tools/commands.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Practice() {
    static const fs::path folder = bench_practice::Practice("payxref_filtered_bench");
    return folder;
}

std::string Search(const std::vector<std::string>& options) {
    std::vector<std::string> args{Practice().string(), "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out, err;
    if (app::RunHeadlessSearch(args, fw::FormatSettings{}, out, err) != 0)
        throw std::runtime_error("the search failed: " + err.str());
    return out.str();
}

const std::string& Chart() {
    static const std::string chart = [] {
        if (const char* given = std::getenv("PAYXREF_BENCH_CHART"); given != nullptr && *given != '\0')
            return std::string(given);
        std::istringstream rows(Search({"--from", "2015-06-01", "--to", "2015-06-30", "--format", "csv"}));
        std::string header, first;
        std::getline(rows, header);
        std::getline(rows, first);
        const auto start = first.find(',') + 1;
        if (first.empty()) throw std::runtime_error("no payment is listed for June 2015");
        return first.substr(start, first.find(',', start) - start);
    }();
    return chart;
}

void Run(benchmark::State& state, const std::vector<std::string>& options) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string listing = Search(options);
        bytes = listing.size();
        benchmark::DoNotOptimize(listing.data());
    }
    state.counters["listing_bytes"] = static_cast<double>(bytes);
}

void BM_OnePatient(benchmark::State& state) { Run(state, {"--chart", Chart()}); }
void BM_OnePatientAboveNoise(benchmark::State& state) {
    Run(state, {"--chart", Chart(), "--min-difference", "0.005", "--format", "csv"});
}
void BM_OneProviderOneMonth(benchmark::State& state) {
    Run(state, {"--provider", "DR02", "--from", "2020-03-01", "--to", "2020-03-31"});
}

BENCHMARK(BM_OnePatient)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnePatientAboveNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneProviderOneMonth)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
