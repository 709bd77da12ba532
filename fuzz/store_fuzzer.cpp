// Fuzz target: the settings store's reader (the registry editor's export
// format). Parsing never fails; a parsed document writes back the bytes it
// was read from.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const reg::Document document = reg::ParseStore(bytes);
    for (const auto& [path, key] : document.keys) document.FindKey(path);
    if (reg::SerializeStore(document) != bytes) __builtin_trap();
    return 0;
}
