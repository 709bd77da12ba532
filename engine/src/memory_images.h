// Record images (packed, or as they are when small) held in memory one after
// another, numbered from 0: a query's result while it is read in record
// order (table_store.h). They go into chunks of a fixed capacity, so a
// result growing to hundreds of thousands of records never copies what it
// holds (a single buffer doubling would, holding both copies for a moment);
// each record costs its image and eight bytes of position.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lce {

class MemoryImages {
public:
    explicit MemoryImages(std::size_t chunkCapacity = std::size_t{1} << 20) : chunkCapacity_(chunkCapacity) {}

    std::size_t size() const { return at_.size(); }
    bool empty() const { return at_.empty(); }
    void reserve(std::size_t count) { at_.reserve(count); }

    void add(std::string_view image) {
        if (chunks_.empty() || chunks_.back().size() + image.size() > chunks_.back().capacity()) {
            chunks_.emplace_back();
            chunks_.back().reserve(std::max(chunkCapacity_, image.size()));
        }
        at_.push_back((static_cast<std::uint64_t>(chunks_.size() - 1) << 32) | chunks_.back().size());
        chunks_.back() += image;
    }

    // Image i (below size()): it ends where the next one of its chunk
    // begins, or with its chunk.
    std::string_view image(std::size_t i) const {
        const std::uint64_t chunk = at_[i] >> 32, begin = at_[i] & kOffset;
        const std::uint64_t end =
            i + 1 < at_.size() && (at_[i + 1] >> 32) == chunk ? (at_[i + 1] & kOffset) : chunks_[chunk].size();
        return std::string_view(chunks_[chunk]).substr(begin, end - begin);
    }

private:
    static constexpr std::uint64_t kOffset = 0xFFFFFFFFu;
    std::size_t chunkCapacity_;
    std::vector<std::string> chunks_;
    // Where each image begins: its chunk in the upper 32 bits, its offset in
    // the chunk (below the chunk's capacity or the image's own size) in the lower.
    std::vector<std::uint64_t> at_;
};

}  // namespace lce
