#pragma once
// A copy of a list of listeners taken before they are told of an event: one
// of them may add or remove listeners meanwhile, and those changes must not
// disturb the round. A dataset tells its sources and a source its links of
// every move, a few each, so the usual few are copied onto the stack.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace fw {

template <typename T>
class ListenerSnapshot {
public:
    explicit ListenerSnapshot(const std::vector<T*>& listeners) : size_(listeners.size()) {
        if (size_ <= Inline)
            std::copy(listeners.begin(), listeners.end(), inline_.begin());
        else
            heap_ = listeners;
    }
    T* const* begin() const { return size_ <= Inline ? inline_.data() : heap_.data(); }
    T* const* end() const { return begin() + size_; }

private:
    static constexpr std::size_t Inline = 8;
    std::size_t size_;
    std::array<T*, Inline> inline_{};
    std::vector<T*> heap_;
};

}  // namespace fw
