// Fuzz target: record images as the engine reads them from a table file.
// The input is unpacked as a stored (packed) image, packed and unpacked again,
// and decoded field by field under a layout the input also chooses.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/lce_builder.h"
#include "engine/src/image_codec.h"
#include "engine/src/layout.h"

namespace {

// Unpacking a damaged code must fail or give exactly the expected size.
void Unpack(std::string_view packed, std::size_t expected) {
    std::string out;
    if (lce::unpackImage(packed, expected, out) && out.size() != expected) __builtin_trap();
    std::string buffer(expected, '\0');
    lce::unpackImage(packed, buffer.data(), buffer.size());
}

// Packing round-trips any bytes.
void RoundTrip(std::string_view image) {
    const std::string packed = lce::packImage(image);
    std::string out;
    if (!lce::unpackImage(packed, image.size(), out) || out != image) __builtin_trap();
}

// Layout from the first bytes: table type, character type, then per column a
// type and a length; the image is the rest, cut or padded to the record size.
void Decode(std::string_view input) {
    if (input.size() < 3) return;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(input[i]); };
    lce::TableSchema schema;
    schema.tableType = static_cast<std::uint16_t>(byte(0) % 4 + 1);
    schema.charType = byte(1) % 2 == 0 ? lce::kAnsi : lce::kOem;
    const std::size_t columns = byte(2) % 8 + 1;
    std::size_t at = 3;
    for (std::size_t c = 0; c < columns && at + 3 <= input.size(); ++c, at += 3) {
        lce::ColumnDef def;
        def.name = "c" + std::to_string(c);
        def.type = byte(at);
        def.length = byte(at + 1) % 64 + 1;
        def.decimals = byte(at + 2) % 8;
        def.nullable = byte(at + 2) >= 128;
        schema.columns.push_back(def);
    }
    lce::RecordLayout layout;
    try {
        layout = lce::RecordLayout::build(schema);
    } catch (const lce::Error&) {
        return;
    }
    std::string image(input.substr(at));
    image.resize(layout.recordSize(), '\0');
    for (std::size_t c = 0; c < layout.columns().size(); ++c) layout.decode(image, c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (size >= 2) {
        // The first two bytes give the image size the table expects.
        const std::size_t expected = static_cast<std::size_t>(data[0]) | (data[1] << 8);
        Unpack(input.substr(2), expected);
    }
    RoundTrip(input);
    Decode(input);
    return 0;
}
