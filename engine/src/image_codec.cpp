#include "engine/src/image_codec.h"

#include <cstring>

namespace lce {

namespace {
constexpr std::size_t kMinRun = 3;
constexpr std::size_t kMaxRun = 0x7F + kMinRun;
constexpr std::size_t kMaxLiteral = 0x80;

void flushLiteral(std::string& out, std::string_view image, std::size_t from, std::size_t to) {
  while (from < to) {
    const std::size_t n = std::min(kMaxLiteral, to - from);
    out += static_cast<char>(n - 1);
    out.append(image.data() + from, n);
    from += n;
  }
}
}  // namespace

std::string packImage(std::string_view image) {
  std::string out;
  out.reserve(image.size() / 4 + 16);
  std::size_t literal = 0, i = 0;
  while (i < image.size()) {
    std::size_t run = 1;
    while (i + run < image.size() && image[i + run] == image[i] && run < kMaxRun) ++run;
    if (run >= kMinRun) {
      flushLiteral(out, image, literal, i);
      out += static_cast<char>(0x80 + run - kMinRun);
      out += image[i];
      i += run;
      literal = i;
    } else {
      i += run;
    }
  }
  flushLiteral(out, image, literal, image.size());
  return out;
}

bool unpackImage(std::string_view packed, std::size_t expectedSize, std::string& out) {
  // Short literals and runs are copied in whole chunks: the slack at the end
  // of out takes the overshoot, the input is only read within its bounds.
  constexpr std::size_t kChunk = 16;
  out.resize(expectedSize + 2 * kChunk);
  char* dst = out.data();
  const char* src = packed.data();
  const std::size_t size = packed.size();
  std::size_t at = 0, i = 0;
  while (i < size) {
    const auto c = static_cast<unsigned char>(src[i++]);
    if (c < 0x80) {
      const std::size_t n = c + 1u;
      if (i + n > size || at + n > expectedSize) return false;
      if (n <= kChunk && i + kChunk <= size) std::memcpy(dst + at, src + i, kChunk);
      else std::memcpy(dst + at, src + i, n);
      i += n;
      at += n;
    } else {
      const std::size_t n = c - 0x80u + kMinRun;
      if (i >= size || at + n > expectedSize) return false;
      if (n <= 2 * kChunk) std::memset(dst + at, src[i], 2 * kChunk);
      else std::memset(dst + at, src[i], n);
      ++i;
      at += n;
    }
  }
  out.resize(expectedSize);
  return at == expectedSize;
}

}  // namespace lce
