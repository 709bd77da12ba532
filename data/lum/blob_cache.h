#pragma once
// TLumBlobCache: the value of one memo or binary column of one record
// buffer, read from the engine when a blob stream first needs it and kept
// with the buffer until the buffer holds another record. Changes made through
// a stream stay here until the record is posted, which writes them.
#include <cstdint>
#include <string>

namespace lum {

// The largest blob value the layer reads or builds; a larger one is refused
// before anything is allocated.
constexpr std::uint64_t MaxBlobBytes = 256u << 20;

class TLumBlobCache {
public:
    // The engine's value has been read (or replaced) for the buffer's record.
    bool Loaded() const { return loaded_; }
    // Written through a stream since the buffer got its record.
    bool Modified() const { return modified_; }
    const std::string& Data() const { return data_; }
    std::string& MutableData() { return data_; }

    // The value the engine holds for the record.
    void Load(std::string bytes) {
        data_ = std::move(bytes);
        loaded_ = true;
        modified_ = false;
    }
    void MarkModified() {
        loaded_ = true;
        modified_ = true;
    }
    // The buffer holds another record: the value is read again when asked for.
    void Reset() {
        std::string().swap(data_);
        loaded_ = false;
        modified_ = false;
    }

private:
    std::string data_;
    bool loaded_ = false;
    bool modified_ = false;
};

}  // namespace lum
