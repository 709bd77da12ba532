// Index keys: byte strings whose memcmp order is the index order. Each
// segment starts with a marker (0x00 null or empty, 0x01 value); numbers are
// big-endian with the sign flipped, text runs to a 0x00 terminator with 0x00
// and 0x01 escaped. Descending indexes invert every byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/lce_builder.h"

namespace lce {

// Appends one segment. A character value of blanks only counts as empty.
// With partial set a character value gets no terminator, so the key matches
// every value that starts with it.
void appendKeySegment(std::string& key, std::uint16_t type, const Value& normalized, bool partial = false);
// Greatest length a segment of this column can take.
std::uint32_t maxSegmentLength(std::uint16_t type, std::uint32_t length);
// Inverts every byte of the key from `from` on (descending indexes).
void invertKey(std::string& key, std::size_t from = 0);
// Smallest key greater than every key that starts with prefix; empty when
// there is none (prefix is all 0xFF).
std::string prefixSuccessor(const std::string& prefix);

}  // namespace lce
