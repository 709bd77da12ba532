// Fuzz target: the CSV reader used by import. Every input ends in records
// and the end, or in a CsvError.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "tools/csv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    payxref::db::CsvReader reader(in);
    std::size_t lastLine = 0;
    try {
        while (const auto record = reader.Next()) {
            // Records come in file order.
            if (record->line < lastLine) __builtin_trap();
            lastLine = record->line;
        }
    } catch (const payxref::db::CsvError&) {}
    return 0;
}
