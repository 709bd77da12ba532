// Run-length packing and bounded unpacking of stored record images.
#include "engine/src/image_codec.h"

#include <algorithm>
#include <cstring>

namespace lce {

namespace {
constexpr std::size_t kMinRun = 8;
constexpr std::size_t kMaxLength = 255;  // of a literal and of a run in one token
constexpr std::size_t kLiteralChunk = 32;
constexpr std::size_t kRunChunk = 64;

void emit(std::string& out, std::string_view literal, std::size_t run, char byte) {
    out += static_cast<char>(literal.size());
    out += static_cast<char>(run);
    out.append(literal);
    out += byte;
}

// Moves n bytes (n <= kChunk) as kChunk: the caller made sure both ends have
// the room, so the copy needs no branch on n.
template <std::size_t kChunk>
void copyChunks(char* dst, const char* src, std::size_t n) {
    for (std::size_t k = 0; k < n; k += kChunk) std::memcpy(dst + k, src + k, kChunk);
}
template <std::size_t kChunk>
void fillChunks(char* dst, char byte, std::size_t n) {
    char fill[kChunk];
    std::memset(fill, byte, kChunk);
    for (std::size_t k = 0; k < n; k += kChunk) std::memcpy(dst + k, fill, kChunk);
}
}  // namespace

std::string packImage(std::string_view image) {
    std::string out;
    packImageInto(image, out);
    return out;
}

void packImageInto(std::string_view image, std::string& out) {
    out.clear();
    out.reserve(image.size() / 2 + 16);
    const std::size_t size = image.size();
    std::size_t literal = 0, i = 0;
    auto flush = [&](std::size_t to, std::size_t run, char byte) {
        // Literal stretches longer than one token go out without a run first.
        while (to - literal > kMaxLength) {
            emit(out, image.substr(literal, kMaxLength), 0, 0);
            literal += kMaxLength;
        }
        emit(out, image.substr(literal, to - literal), run, byte);
    };
    while (i < size) {
        std::size_t run = 1;
        while (i + run < size && image[i + run] == image[i]) ++run;
        if (run < kMinRun) {
            i += run;
            continue;
        }
        // A long run takes several tokens; a remainder too short for a run
        // starts the next literal stretch.
        std::size_t left = run;
        while (left >= kMinRun) {
            const std::size_t take = std::min(left, kMaxLength);
            flush(i, take, image[i]);
            i += take;
            literal = i;
            left -= take;
        }
        i += left;
    }
    if (literal < size) flush(size, 0, 0);
}

bool unpackImage(std::string_view packed, char* dst, std::size_t expectedSize) {
    const char* src = packed.data();
    const std::size_t size = packed.size();
    std::size_t at = 0, i = 0;
    while (i + 2 <= size) {
        const std::size_t l = static_cast<unsigned char>(src[i]);
        const std::size_t r = static_cast<unsigned char>(src[i + 1]);
        i += 2;
        if (i + l + 1 > size || at + l + r > expectedSize) return false;
        // Whole chunks where both ends have room; exact moves near the ends.
        if (i + l + kLiteralChunk <= size && at + l + kLiteralChunk <= expectedSize)
            copyChunks<kLiteralChunk>(dst + at, src + i, l);
        else
            std::memcpy(dst + at, src + i, l);
        i += l;
        at += l;
        const char byte = src[i++];
        if (at + r + kRunChunk <= expectedSize)
            fillChunks<kRunChunk>(dst + at, byte, r);
        else
            std::memset(dst + at, byte, r);
        at += r;
    }
    return i == size && at == expectedSize;
}

bool unpackImage(std::string_view packed, std::size_t expectedSize, std::string& out) {
    out.resize(expectedSize);
    return unpackImage(packed, out.data(), expectedSize);
}

}  // namespace lce
