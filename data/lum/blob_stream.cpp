// TLumBlobStream: reading and writing a memo or binary value through the
// record buffer's blob cache, with the layer's refusals for a field that is
// no blob, a write outside edit or insert, and a read-only stream.
#include "data/lum/blob_stream.h"

#include <algorithm>
#include <cstring>

#include "data/lum/dataset.h"

namespace lum {

namespace {

bool Writing(fw::TBlobStreamMode mode) { return mode != fw::TBlobStreamMode::bmRead; }

bool Editing(const TLumDataSet& dataSet) {
    return dataSet.State() == fw::TDataSetState::dsEdit || dataSet.State() == fw::TDataSetState::dsInsert;
}

}  // namespace

const TLCEFieldDef& TLumBlobStream::ColumnFor(TLumDataSet& dataSet, const fw::TField& field) {
    const TLCEFieldDef* column = dataSet.BlobColumnOf(field);
    if (column == nullptr) RaiseLayerError(&dataSet, "Invalid blob open on non-blob field.");
    return *column;
}

TLumBlobStream::TLumBlobStream(TLumDataSet& dataSet, fw::TField& field, fw::TBlobStreamMode mode)
    : dataSet_(dataSet), field_(field), column_(ColumnFor(dataSet, field)), mode_(mode) {
    if (Writing(mode) && !Editing(dataSet))
        RaiseLayerError(&dataSet, "Table must be in Edit or Insert state to open blob stream in Write Mode.");
    fw::RecordBuffer* record = dataSet.BlobRecord();
    if (record == nullptr) return;  // no record: an empty value
    if (dataSet.State() == fw::TDataSetState::dsOldValue) {
        // The copy editing started with shares the edited record's caches,
        // whose changes the engine has not seen: its value is the engine's.
        dataSet.LoadBlob(*record, column_, detached_);
        return;
    }
    cacheId_ = dataSet.BlobCacheIdOf(*record, column_);
    generation_ = dataSet.BlobGeneration();
    TLumBlobCache& cache = Cache();
    if (mode == fw::TBlobStreamMode::bmWrite) {
        cache.Load({});
        Changed();
    } else if (!cache.Loaded()) {
        dataSet.LoadBlob(*record, column_, cache);
    }
}

TLumBlobCache& TLumBlobStream::Cache() const {
    if (cacheId_ == 0) return detached_;
    TLumBlobCache* cache = dataSet_.BlobCacheById(cacheId_, generation_);
    if (cache == nullptr) {
        RaiseLayerError(&dataSet_, "The record of the blob stream of field " + field_.FieldName() +
                                       " is no longer in memory; open the stream again.");
    }
    return *cache;
}

void TLumBlobStream::CheckWritable() const {
    if (!Writing(mode_)) RaiseLayerError(nullptr, "Error modifying read only blob.");
    if (!Editing(dataSet_) || cacheId_ == 0 || dataSet_.BlobCacheById(cacheId_, generation_) == nullptr)
        RaiseLayerError(nullptr, "Cannot write to blob in current state.");
}

void TLumBlobStream::Changed() {
    TLumBlobCache& cache = Cache();
    cache.MarkModified();
    dataSet_.BlobChanged(column_, cache);
}

std::size_t TLumBlobStream::Read(void* buffer, std::size_t count) {
    const std::string& data = Cache().Data();
    if (position_ >= data.size()) return 0;
    const std::size_t n = std::min<std::size_t>(count, data.size() - static_cast<std::size_t>(position_));
    std::memcpy(buffer, data.data() + position_, n);
    position_ += n;
    return n;
}

std::size_t TLumBlobStream::Write(const void* buffer, std::size_t count) {
    CheckWritable();
    if (count == 0) return 0;
    if (position_ + count > MaxBlobBytes)
        RaiseLayerError(&dataSet_, "A blob value of field " + field_.FieldName() + " may hold at most " +
                                       std::to_string(MaxBlobBytes >> 20) + " MiB.");
    std::string& data = Cache().MutableData();
    const auto end = static_cast<std::size_t>(position_ + count);
    if (end > data.size()) data.resize(end, '\0');
    std::memcpy(data.data() + position_, buffer, count);
    position_ = end;
    Changed();
    return count;
}

std::uint64_t TLumBlobStream::Seek(std::int64_t offset, fw::TSeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == fw::TSeekOrigin::soCurrent) base = static_cast<std::int64_t>(position_);
    if (origin == fw::TSeekOrigin::soEnd) base = static_cast<std::int64_t>(Size());
    const std::int64_t target = base + offset;
    position_ = target < 0 ? 0 : static_cast<std::uint64_t>(target);
    return position_;
}

std::uint64_t TLumBlobStream::Size() const { return Cache().Data().size(); }

void TLumBlobStream::SetSize(std::uint64_t size) {
    CheckWritable();
    if (size > MaxBlobBytes)
        RaiseLayerError(&dataSet_, "A blob value of field " + field_.FieldName() + " may hold at most " +
                                       std::to_string(MaxBlobBytes >> 20) + " MiB.");
    Cache().MutableData().resize(static_cast<std::size_t>(size), '\0');
    Changed();
}

}  // namespace lum
