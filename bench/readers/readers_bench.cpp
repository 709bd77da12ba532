// Time of the settings store parser and the CSV reader on their worst inputs
// within the limits, by size: each should grow linearly (see the oN fit).
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "store/reg_file.h"
#include "tools/cells.h"
#include "tools/csv.h"

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

// `lines` key lines, each as deep and as long as a line may be: the case
// that used to store every prefix of every path.
std::string DeepStore(std::int64_t lines) {
    std::string key = "[HKEY_CURRENT_USER";
    const std::size_t part = reg::kMaxStoreLineBytes / reg::kMaxKeyDepth - 2;
    for (std::size_t k = 0; k < reg::kMaxKeyDepth; ++k) key += "\\" + std::string(part, 'k');
    std::string store = kHeader;
    for (std::int64_t n = 0; n < lines; ++n) store += key + std::to_string(n) + "]\r\n\"v\"=\"x\"\r\n";
    return store;
}

// One long key followed by `lines` value lines and removals of keys below it.
std::string ManyValuesStore(std::int64_t lines) {
    std::string store = kHeader;
    const std::string key = "HKEY_CURRENT_USER\\" + std::string(reg::kMaxStoreLineBytes - 40, 'p');
    store += "[" + key + "]\r\n";
    for (std::int64_t n = 0; n < lines; ++n) store += "\"v" + std::to_string(n % 64) + "\"=\"x\"\r\n";
    return store;
}

void BM_StoreDeepKeys(benchmark::State& state) {
    const std::string store = DeepStore(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(reg::ParseStore(store));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * store.size()));
    state.SetComplexityN(static_cast<std::int64_t>(store.size()));
}
BENCHMARK(BM_StoreDeepKeys)->RangeMultiplier(4)->Range(4, 256)->Complexity(benchmark::oN);

void BM_StoreValuesUnderALongKey(benchmark::State& state) {
    const std::string store = ManyValuesStore(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(reg::ParseStore(store));
    state.SetComplexityN(static_cast<std::int64_t>(store.size()));
}
BENCHMARK(BM_StoreValuesUnderALongKey)->RangeMultiplier(4)->Range(1024, 65000)->Complexity(benchmark::oN);

// CSV records of quoted cells with doubled quotes and line breaks, every
// cell converted to table text.
void BM_CsvReadAndConvert(benchmark::State& state) {
    std::string csv;
    while (csv.size() < static_cast<std::size_t>(state.range(0)))
        csv +=
            "\"\xC3\x84rzte \"\"Nord\"\"\r\nHaus 2\",+12.50,\xE2\x82\xAC"
            "100\r\n";
    lce::ColumnDef memo;
    memo.type = lce::kMemo;
    for (auto _ : state) {
        std::istringstream in(csv);
        payxref::db::CsvReader reader(in);
        std::size_t cells = 0;
        while (auto record = reader.Next())
            for (const auto& field : record->fields)
                cells += payxref::db::ParseCell(field.text, field.quoted, memo).text.size();
        benchmark::DoNotOptimize(cells);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * csv.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CsvReadAndConvert)->RangeMultiplier(8)->Range(1 << 14, 1 << 23)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
