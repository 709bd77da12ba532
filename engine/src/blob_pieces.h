#pragma once
// Blob values written in pieces: a caller sends a memo or binary value of a
// known total length in parts at offsets (LumSetBinary), and the record's
// pending value is put together from them.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/lce_builder.h"

namespace lce {

// The most bytes one blob value may hold; a larger total is refused before
// anything is allocated.
constexpr std::uint32_t kMaxBlobBytes = 256u << 20;

// The bytes of a value as a blob holds them (a null value has none).
std::string valueBytes(const Value& value);

// Makes `bytes` (the value so far) the value of `total` bytes that has
// `piece` at `offset`: bytes beyond the total are cut, missing bytes are zero.
// A piece that ends past the total, or a total above kMaxBlobBytes, is
// refused (LUM_ERR_INVALID_ARGUMENT naming the column).
void spliceBlobPiece(std::string& bytes, std::uint32_t total, std::uint32_t offset, std::string_view piece,
                     const std::string& column);

}  // namespace lce
