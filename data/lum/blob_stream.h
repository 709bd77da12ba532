#pragma once
// TLumBlobStream: a stream over a memo or binary field's value in the record
// its dataset's state reads. Opening loads the value into the record
// buffer's blob cache; writing changes the cache, and posting the record
// writes the changed cache to the engine.
#include <cstdint>

#include "data/lum/blob_cache.h"
#include "framework/dataset/stream.h"

namespace fw {
class TField;
}

namespace lum {

class TLumDataSet;
struct TLCEFieldDef;

class TLumBlobStream : public fw::TStream {
public:
    // "Invalid blob open on non-blob field." for a field over another kind of
    // column; "Table must be in Edit or Insert state to open blob stream in
    // Write Mode." for a writing mode outside edit and insert. bmWrite
    // empties the value.
    TLumBlobStream(TLumDataSet& dataSet, fw::TField& field, fw::TBlobStreamMode mode);

    std::size_t Read(void* buffer, std::size_t count) override;
    // "Error modifying read only blob." on a stream opened to read; "Cannot
    // write to blob in current state." once the dataset left edit or insert.
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::uint64_t Seek(std::int64_t offset, fw::TSeekOrigin origin) override;
    std::uint64_t Size() const override;
    void SetSize(std::uint64_t size) override;

private:
    static const TLCEFieldDef& ColumnFor(TLumDataSet& dataSet, const fw::TField& field);
    // The cache, as long as the dataset still keeps it.
    TLumBlobCache& Cache() const;
    void CheckWritable() const;
    void Changed();

    TLumDataSet& dataSet_;
    fw::TField& field_;
    const TLCEFieldDef& column_;
    fw::TBlobStreamMode mode_;
    std::uint32_t cacheId_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t position_ = 0;
    // The value of a dataset without a current record: empty.
    mutable TLumBlobCache detached_;
};

}  // namespace lum
