// Putting a blob value together from the pieces a caller writes at offsets.
#include "engine/src/blob_pieces.h"

#include "engine/src/error.h"

namespace lce {

std::string valueBytes(const Value& value) { return value.isNull() ? std::string() : value.text; }

void spliceBlobPiece(std::string& bytes, std::uint32_t total, std::uint32_t offset, std::string_view piece,
                     const std::string& column) {
    if (total > kMaxBlobBytes) {
        fail(kErrInvalidArgument, "A value of " + std::to_string(total) + " bytes is too large for column \"" + column +
                                      "\" (at most " + std::to_string(kMaxBlobBytes) + " bytes)");
    }
    if (static_cast<std::uint64_t>(offset) + piece.size() > total) {
        fail(kErrInvalidArgument, "The part at offset " + std::to_string(offset) + " of " +
                                      std::to_string(piece.size()) + " bytes ends past the value's length of " +
                                      std::to_string(total) + " bytes for column \"" + column + "\"");
    }
    bytes.resize(total, '\0');
    bytes.replace(offset, piece.size(), piece);
}

}  // namespace lce
