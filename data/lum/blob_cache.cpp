// TLumDataSet's blob caches: one per memo or binary column in every record
// buffer, found through the buffer's cache slots; loaded from the engine on
// demand, reset when the buffer gets another record, and written to the
// engine's pending record when the record is posted.
#include <algorithm>
#include <cstring>

#include "data/engine/record_format.h"
#include "data/lum/blob_stream.h"
#include "data/lum/dataset.h"

namespace lum {

using fw::TDataSetState;

namespace {

// The part of a blob value sent to the engine in one call.
constexpr std::size_t BlobWritePiece = 1u << 20;
// The 32-bit presence flag of a blob column in the record image.
constexpr std::uint32_t BlobPresent = 0xFFFFFFFFu;
constexpr std::uint32_t BlobAbsent = 0;

bool IsTextBlob(std::uint16_t type) { return type == LUM_MEMO || type == LUM_VARCHAR_MEMO; }

}  // namespace

std::unique_ptr<fw::TStream> TLumDataSet::CreateBlobStream(fw::TField& field, fw::TBlobStreamMode mode) {
    return std::make_unique<TLumBlobStream>(*this, field, mode);
}

const TLCEFieldDef* TLumDataSet::BlobColumnOf(const fw::TField& field) const {
    if (field.FieldKind() != fw::TFieldKind::fkData || field.FieldNo() < 1) return nullptr;
    const auto index = static_cast<std::size_t>(field.FieldNo() - 1);
    if (index >= lceFieldDefs_.Count()) return nullptr;
    const TLCEFieldDef& column = lceFieldDefs_[index];
    return HasBlobCacheSlot(column.EngineType) ? &column : nullptr;
}

fw::RecordBuffer* TLumDataSet::BlobRecord() {
    // The old values are the copy editing started with, a buffer of the dataset's own.
    return const_cast<fw::RecordBuffer*>(RecordOfState());
}

namespace {

// Where a column's cache slot lies: slots follow the calculated area, one per
// memo or binary column in column order.
std::size_t SlotIndex(const TLCEFieldDefs& columns, const TLCEFieldDef& column) {
    std::size_t slot = 0;
    for (std::size_t i = 0; i + 1 < column.ColumnNumber && i < columns.Count(); ++i)
        if (HasBlobCacheSlot(columns[i].EngineType)) ++slot;
    return slot;
}

}  // namespace

std::uint32_t TLumDataSet::BlobCacheIdOf(fw::RecordBuffer& buffer, const TLCEFieldDef& column) {
    const std::size_t at = blobCacheOffset_ + 4 * SlotIndex(lceFieldDefs_, column);
    if (at + 4 > buffer.size()) RaiseLayerError(this, "Invalid blob open on non-blob field.");
    std::uint32_t id = 0;
    std::memcpy(&id, buffer.data() + at, 4);
    if (id == 0 || id > blobCaches_.size()) {
        blobCaches_.push_back(std::make_unique<TLumBlobCache>());
        id = static_cast<std::uint32_t>(blobCaches_.size());
        std::memcpy(buffer.data() + at, &id, 4);
    }
    return id;
}

TLumBlobCache* TLumDataSet::BlobCacheById(std::uint32_t id, std::uint64_t generation) const {
    if (generation != blobGeneration_ || id == 0 || id > blobCaches_.size()) return nullptr;
    return blobCaches_[id - 1].get();
}

const TLumBlobCache* TLumDataSet::FindBlobCache(const fw::RecordBuffer& buffer, const TLCEFieldDef& column) const {
    return BlobCacheById(SlotCacheId(buffer, column), blobGeneration_);
}

std::uint32_t TLumDataSet::SlotCacheId(const fw::RecordBuffer& buffer, const TLCEFieldDef& column) const {
    const std::size_t at = blobCacheOffset_ + 4 * SlotIndex(lceFieldDefs_, column);
    if (at + 4 > buffer.size()) return 0;
    std::uint32_t id = 0;
    std::memcpy(&id, buffer.data() + at, 4);
    return id;
}

void TLumDataSet::LoadBlob(const fw::RecordBuffer& buffer, const TLCEFieldDef& column, TLumBlobCache& cache) {
    std::uint32_t present = BlobAbsent;
    if (column.ColumnOffset + 4 <= buffer.size()) std::memcpy(&present, buffer.data() + column.ColumnOffset, 4);
    // A new record, and a record whose value is empty or null, have no bytes to read.
    if (present == BlobAbsent || State() == TDataSetState::dsInsert ||
        BookmarkFlagOf(buffer) != fw::TBookmarkFlag::Current) {
        cache.Load({});
        return;
    }
    switch (State()) {
        case TDataSetState::dsEdit:
        case TDataSetState::dsCalcFields:
        case TDataSetState::dsFilter: break;  // the engine stands on this record
        default:
            // Another record of the window may be the engine's current one.
            PositionOnBuffer(buffer);
            CursorPosChanged();
    }
    const LUMFIELD field = LUM_FIELD_NUMBER(column.ColumnNumber);
    const bool text = IsTextBlob(column.EngineType);
    UNSIGNED32 length = 0;
    UNSIGNED32 rc = text ? engine_->LumGetDataLength(cursorHandle_, field, &length)
                         : engine_->LumGetBinaryLength(cursorHandle_, field, &length);
    const auto gone = [](UNSIGNED32 code) {
        return code == LUM_ERR_NO_CURRENT_RECORD || code == LUM_ERR_RECORD_NOT_FOUND;
    };
    if (gone(rc)) {
        cache.Load({});
        return;
    }
    Check(rc);
    if (length > MaxBlobBytes) {
        RaiseLayerError(this, "The value of field " + column.ColumnName + " is larger than " +
                                  std::to_string(MaxBlobBytes >> 20) + " MiB and cannot be read.");
    }
    std::string bytes(static_cast<std::size_t>(length) + (text ? 1 : 0), '\0');
    UNSIGNED32 got = static_cast<UNSIGNED32>(bytes.size());
    rc = text ? engine_->LumGetField(cursorHandle_, field, reinterpret_cast<UNSIGNED8*>(bytes.data()), &got, 0)
              : engine_->LumGetBinary(cursorHandle_, field, 0, reinterpret_cast<UNSIGNED8*>(bytes.data()), &got);
    if (gone(rc)) {
        cache.Load({});
        return;
    }
    Check(rc);
    bytes.resize(std::min<std::size_t>(got, length));
    cache.Load(std::move(bytes));
}

void TLumDataSet::BlobChanged(const TLCEFieldDef& column, const TLumBlobCache& cache) {
    fw::RecordBuffer* record = StateBuffer();
    if (record != nullptr && column.ColumnOffset + 4 <= record->size()) {
        const std::uint32_t present = cache.Data().empty() ? BlobAbsent : BlobPresent;
        std::memcpy(record->data() + column.ColumnOffset, &present, 4);
    }
    const std::size_t index = column.ColumnNumber - 1u;
    if (index < writtenFlags_.size()) writtenFlags_[index] = WrittenFlagSet;
    lceFieldDefs_.SetValueWritten(index, 1);
    SetModified(true);
}

void TLumDataSet::BlobCleared(fw::RecordBuffer& record, const TLCEFieldDef& column) {
    if (!HasBlobCacheSlot(column.EngineType)) return;
    TLumBlobCache* cache = BlobCacheById(BlobCacheIdOf(record, column), blobGeneration_);
    if (cache == nullptr) return;
    cache->Load({});
    cache->MarkModified();
}

void TLumDataSet::ResetBlobCaches(const fw::RecordBuffer& buffer) {
    for (std::size_t i = 0; i < lceFieldDefs_.Count(); ++i) {
        if (!HasBlobCacheSlot(lceFieldDefs_[i].EngineType)) continue;
        if (TLumBlobCache* cache = BlobCacheById(SlotCacheId(buffer, lceFieldDefs_[i]), blobGeneration_))
            cache->Reset();
    }
}

std::vector<std::uint8_t> TLumDataSet::BlobSlots(const fw::RecordBuffer& buffer) const {
    const std::size_t end = std::min<std::size_t>(blobCacheOffset_ + 4 * blobColumnCount_, buffer.size());
    if (end <= blobCacheOffset_) return {};
    return {buffer.begin() + blobCacheOffset_, buffer.begin() + end};
}

void TLumDataSet::RestoreBlobSlots(fw::RecordBuffer& buffer, const std::vector<std::uint8_t>& slots) {
    if (slots.empty() || blobCacheOffset_ + slots.size() > buffer.size()) return;
    std::copy(slots.begin(), slots.end(), buffer.begin() + blobCacheOffset_);
    // A new record has no values yet: nothing to read from the engine.
    for (std::size_t i = 0; i < lceFieldDefs_.Count(); ++i) {
        if (!HasBlobCacheSlot(lceFieldDefs_[i].EngineType)) continue;
        if (TLumBlobCache* cache = BlobCacheById(BlobCacheIdOf(buffer, lceFieldDefs_[i]), blobGeneration_))
            cache->Load({});
    }
}

void TLumDataSet::DropBlobCaches() {
    blobCaches_.clear();
    ++blobGeneration_;
}

void TLumDataSet::WriteBlobColumn(const fw::RecordBuffer& record, const TLCEFieldDef& column) {
    const TLumBlobCache* cache = FindBlobCache(record, column);
    if (cache == nullptr || !cache->Modified()) return;
    const LUMFIELD field = LUM_FIELD_NUMBER(column.ColumnNumber);
    const std::string& bytes = cache->Data();
    if (bytes.empty()) {
        Check(engine_->LumSetNull(cursorHandle_, field));
        return;
    }
    // In pieces at their offsets: the engine puts the value together.
    for (std::size_t offset = 0; offset < bytes.size(); offset += BlobWritePiece) {
        const std::size_t piece = std::min(BlobWritePiece, bytes.size() - offset);
        Check(engine_->LumSetBinary(cursorHandle_, field, column.EngineType, static_cast<UNSIGNED32>(bytes.size()),
                                    static_cast<UNSIGNED32>(offset),
                                    reinterpret_cast<const UNSIGNED8*>(bytes.data() + offset),
                                    static_cast<UNSIGNED32>(piece)));
    }
}

bool TLumDataSet::ChangedBlobValue(const TLCEFieldDef& column, bool& hasValue) const {
    if (State() != TDataSetState::dsEdit && State() != TDataSetState::dsInsert) return false;
    const fw::RecordBuffer* record = ActiveBuffer();
    if (record == nullptr) return false;
    const TLumBlobCache* cache = FindBlobCache(*record, column);
    if (cache == nullptr || !cache->Modified()) return false;
    hasValue = !cache->Data().empty();
    return true;
}

}  // namespace lum
