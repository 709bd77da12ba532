// TLumDataSet's editing: the record lock or the check image taken when a
// record is edited, values written into the record buffer and sent to the
// engine column by column when the record is posted, new records appended
// (a detail's new record taking its master's key), deletion, and the rights
// the engine reports checked before the engine is asked to write.
#include <algorithm>
#include <cstring>
#include <limits>

#include "data/engine/record_format.h"
#include "data/lum/dataset.h"
#include "data/lum/extended_dataset.h"
#include "framework/dataset/field_text.h"

namespace lum {

namespace rf = record_format;
using fw::TDataSetState;
using fw::TFieldType;

namespace {

// Bits of the open options the engine reports (LumGetTableOpenOptions).
constexpr std::uint32_t OpenedExclusively = 1;
constexpr std::uint32_t UpdatePermitted = 0x20;
constexpr std::uint32_t InsertPermitted = 0x40;
// Bits of a column's permissions (LumGetColumnPermissions).
constexpr std::uint8_t ColumnUpdatePermitted = 2;
constexpr std::uint8_t ColumnInsertPermitted = 4;
// The code of the default-value messages, which come from the layer and not the engine.
constexpr std::uint32_t NoEngineCode = 0;

bool IsIntegerField(TFieldType type) {
    return type == TFieldType::ftSmallint || type == TFieldType::ftInteger || type == TFieldType::ftAutoInc;
}

std::string TrimTrailingBlanks(std::string text) {
    const auto last = text.find_last_not_of(' ');
    text.resize(last == std::string::npos ? 0 : last + 1);
    return text;
}

}  // namespace

// --- rights and messages ------------------------------------------------------

void TLumDataSet::RaiseThroughEngine(const std::string& text) {
    Check(engine_->LumSetLastError(LUM_ERR_CALLER_TEXT, text.c_str()));
    // An engine that kept the text but answered 0.
    throw ELUMDatabaseError(this, LUM_ERR_CALLER_TEXT, text);
}

void TLumDataSet::CheckTableRight(bool inserting) {
    if ((tableOpenOptions_ & (inserting ? InsertPermitted : UpdatePermitted)) != 0) return;
    RaiseThroughEngine(inserting ? "Insert permission not granted on this table."
                                 : "Update permission not granted on this table.");
}

// A column the user may not change refuses the write before anything is
// stored; without rights checking the engine lets every column be written.
void TLumDataSet::CheckFieldRight(const fw::TField& field, const TLCEFieldDef& column) {
    if (!options_->LumRightsCheck()) return;
    if (State() == TDataSetState::dsInsert && (column.Permissions & ColumnInsertPermitted) == 0)
        RaiseThroughEngine("Insert permission not granted on this field: " + field.FieldName() + ".");
    if (State() == TDataSetState::dsEdit && (column.Permissions & ColumnUpdatePermitted) == 0)
        RaiseThroughEngine("Update permission not granted on this field: " + field.FieldName() + ".");
}

// --- locks and the check image ------------------------------------------------

// An exclusive table needs neither a lock nor a check: nobody else writes it.
bool TLumDataSet::LocksOnEdit() const {
    return (tableOpenOptions_ & OpenedExclusively) == 0 &&
           options_->LumRecordLockingMode() == TLumRecordLockingModes::lmPessimistic;
}

bool TLumDataSet::ChecksOnPost() const {
    return (tableOpenOptions_ & OpenedExclusively) == 0 &&
           options_->LumRecordLockingMode() == TLumRecordLockingModes::lmOptimistic;
}

void TLumDataSet::LockCurrentRecord() {
    const UNSIGNED32 rc = engine_->LumLockRecord(cursorHandle_, 0);
    if (rc == LUM_ERR_STATIC_VIEW) {
        throw ELUMDatabaseError(this, LUM_ERR_STATIC_VIEW,
                                "This table is based on a static VIEW. Static VIEWs can not be updated.");
    }
    Check(rc);
    const fw::RecordBuffer* active = ActiveBuffer();
    lockedRecord_ = active != nullptr ? BookmarkNumber(*active) : 0;
}

void TLumDataSet::UnlockEditedRecord() noexcept {
    if (lockedRecord_ == 0 || cursorHandle_ == NoHandle) return;
    engine_->LumUnlockRecord(cursorHandle_, lockedRecord_);  // a lock that is gone already is no failure
    lockedRecord_ = 0;
}

// The record as the engine holds it now, for the optimistic check. The
// image itself is the check value: equal images cannot hide a change the way
// equal checksums of different images could.
std::vector<std::uint8_t> TLumDataSet::EngineImage() {
    std::vector<std::uint8_t> image(recordSize_);
    UNSIGNED32 length = recordSize_;
    Check(engine_->LumGetRecord(cursorHandle_, image.data(), &length));
    image.resize(std::min<std::size_t>(length, image.size()));
    return image;
}

// Under the record's lock: the stored record must still be the one editing
// started from, else "Record was changed by another user.".
void TLumDataSet::VerifyUnchanged() {
    LockCurrentRecord();
    try {
        Check(engine_->LumRefreshRecord(cursorHandle_));
        if (EngineImage() != checkImage_)
            throw ELUMDatabaseError(this, LUM_ERR_RECORD_CHANGED, "Record was changed by another user.");
    } catch (...) {
        UnlockEditedRecord();
        throw;
    }
}

// --- the record being edited --------------------------------------------------

void TLumDataSet::StartColumnMarks() {
    writtenFlags_.assign(lceFieldDefs_.Count(), 0);
    lceFieldDefs_.ClearValueWritten();
}

void TLumDataSet::EndEdit() noexcept {
    editKind_ = EditKind::None;
    checkImage_.clear();
    std::fill(writtenFlags_.begin(), writtenFlags_.end(), std::uint8_t{0});
    lceFieldDefs_.ClearValueWritten();
}

std::uint32_t TLumDataSet::BookmarkNumber(const fw::RecordBuffer& buffer) const {
    std::uint32_t number = 0;
    if (bookmarkSize_ >= 4 && bookmarkOffset_ + 4 <= buffer.size())
        std::memcpy(&number, buffer.data() + bookmarkOffset_, 4);
    return number;
}

const fw::RecordBuffer* TLumDataSet::RecordOfState() const {
    if (lookupRecord_ != nullptr) return lookupRecord_;
    if (State() != TDataSetState::dsOldValue) return StateBuffer();
    // The values before the changes: the copy editing started with; a new
    // record has none, and outside editing the stored values are the old ones.
    if (editKind_ == EditKind::Edit && !oldRecord_.empty()) return &oldRecord_;
    if (editKind_ == EditKind::Insert) return nullptr;
    return ActiveBuffer();
}

void TLumDataSet::StoreRecordValue(fw::RecordBuffer& record, const fw::TField& field, const TLCEFieldDef& column,
                                   const void* buffer) {
    CheckFieldRight(field, column);
    const std::size_t extent = rf::ImageExtent(engineTableType_, column.EngineType, column.ColumnLength);
    if (column.ColumnOffset + extent > recordSize_ || record.size() < recordSize_) return;
    std::uint8_t* p = record.data() + column.ColumnOffset;
    std::uint8_t marks = WrittenFlagSet;
    if (buffer == nullptr) {
        // Cleared: the engine's empty record for the column; a blob is absent.
        if (nullRecord_.size() >= column.ColumnOffset + extent) {
            std::memcpy(p, nullRecord_.data() + column.ColumnOffset, extent);
        } else {
            std::memset(p, 0, extent);
        }
        if (rf::IsBlobType(column.EngineType) && extent >= 4) std::memset(p, 0, 4);
        BlobCleared(record, column);
        marks |= WrittenFlagNull;
    } else if (rf::IsBlobType(column.EngineType)) {
        return;  // blob values are written through blob streams, not field buffers
    } else {
        EncodeFieldValue(Context(), column, field.DataType(), record.data(), recordSize_, buffer);
        if (rf::HasFullFlag(engineTableType_, column.EngineType)) {
            std::size_t length = 0;
            if (column.EngineType == LUM_VARCHAR) {
                length = strnlen(static_cast<const char*>(buffer), column.ColumnLength + 1);
            } else {
                std::uint16_t stored = 0;
                std::memcpy(&stored, buffer, sizeof stored);
                length = stored;
            }
            if (length >= column.ColumnLength) marks |= WrittenFlagFull;
        }
    }
    // Only the record being edited keeps marks; a filter's comparison values do not.
    const fw::RecordBuffer* active = ActiveBuffer();
    if (editKind_ == EditKind::None || active == nullptr || &record != active) return;
    const std::size_t index = column.ColumnNumber - 1u;
    if (index < writtenFlags_.size()) writtenFlags_[index] = marks;
    lceFieldDefs_.SetValueWritten(index, 1);
}

void TLumDataSet::StoreCalculatedValue(fw::RecordBuffer& record, const fw::TField& field, const void* buffer) {
    const std::size_t at = recordSize_ + field.Offset();
    if (at + 1 + field.DataSize() > record.size()) return;
    record[at] = buffer != nullptr ? 1 : 0;
    if (buffer != nullptr) std::memcpy(record.data() + at + 1, buffer, field.DataSize());
}

// --- sending a record to the engine ---------------------------------------------

void TLumDataSet::WriteColumn(const fw::RecordBuffer& record, const TLCEFieldDef& column, std::uint8_t marks) {
    const LUMFIELD number = LUM_FIELD_NUMBER(column.ColumnNumber);
    const std::uint8_t* p = record.data() + column.ColumnOffset;
    if ((marks & WrittenFlagNull) != 0) {
        // The engine writes a null as the table type keeps it: a null value or
        // VFP null flag, or the blanks a DBF column reads as null.
        Check(engine_->LumSetNull(cursorHandle_, number));
        return;
    }
    if (rf::IsBlobType(column.EngineType)) return WriteBlobColumn(record, column);
    if (rf::IsCharacterType(column.EngineType)) {
        const bool full = (marks & WrittenFlagFull) != 0;
        const std::size_t length = column.EngineType == LUM_VARCHAR
                                       ? rf::VariableLength(engineTableType_, p, column.ColumnLength, full)
                                       : strnlen(reinterpret_cast<const char*>(p), column.ColumnLength);
        std::string text(reinterpret_cast<const char*>(p), length);
        const bool preserve = options_->LumPreserveSpaces();
        if (!preserve) text = TrimTrailingBlanks(text);
        if (!preserve && text.empty()) {
            Check(engine_->LumSetEmpty(cursorHandle_, number));
        } else {
            Check(engine_->LumSetField(cursorHandle_, number, reinterpret_cast<const UNSIGNED8*>(text.data()),
                                       static_cast<UNSIGNED32>(text.size())));
        }
        return;
    }
    if (column.EngineType == LUM_VARBINARY && rf::IsVfp(engineTableType_)) {
        // A VFP value's length lies in the image's system field, which the
        // raw bytes do not carry: the bytes go with their length.
        const std::size_t length =
            rf::VariableLength(engineTableType_, p, column.ColumnLength, (marks & WrittenFlagFull) != 0);
        Check(engine_->LumSetBinary(cursorHandle_, number, column.EngineType, static_cast<UNSIGNED32>(length), 0, p,
                                    static_cast<UNSIGNED32>(length)));
        return;
    }
    const std::size_t extent = rf::ImageExtent(engineTableType_, column.EngineType, column.ColumnLength);
    Check(engine_->LumSetFieldRaw(cursorHandle_, number, p, static_cast<UNSIGNED32>(extent)));
}

// Only the written columns; the engine keeps the others as stored. A write
// that fails drops the engine's pending record and keeps the buffer's values.
void TLumDataSet::WriteColumns(const fw::RecordBuffer& record) {
    try {
        for (std::size_t i = 0; i < lceFieldDefs_.Count() && i < writtenFlags_.size(); ++i)
            if ((writtenFlags_[i] & WrittenFlagSet) != 0) WriteColumn(record, lceFieldDefs_[i], writtenFlags_[i]);
        Check(engine_->LumWriteRecord(cursorHandle_));
    } catch (...) {
        engine_->LumCancelUpdate(cursorHandle_);  // the write's own failure is the one reported
        throw;
    }
}

void TLumDataSet::WriteNewRecord(const fw::RecordBuffer& record) {
    Check(engine_->LumAppendRecord(cursorHandle_));
    WriteColumns(record);
}

// --- the framework's hooks --------------------------------------------------------

void TLumDataSet::InternalEdit() {
    CheckTableRight(false);
    fw::RecordBuffer* record = StateBuffer();
    if (record == nullptr) return;
    if (LocksOnEdit()) LockCurrentRecord();
    try {
        // The record as stored now, under the lock when there is one.
        Check(engine_->LumRefreshRecord(cursorHandle_));
        LoadRecordImage(*record);
        if (ChecksOnPost()) checkImage_ = EngineImage();
    } catch (...) {
        UnlockEditedRecord();
        throw;
    }
    oldRecord_ = *record;
    editKind_ = EditKind::Edit;
    StartColumnMarks();
}

void TLumDataSet::InternalInsert() { CheckTableRight(true); }

void TLumDataSet::InternalPost() {
    const fw::RecordBuffer* active = ActiveBuffer();
    if (active == nullptr) RaiseLayerError(this, "Dataset not in edit mode");
    if (State() == TDataSetState::dsEdit) {
        const bool checked = ChecksOnPost();
        if (checked) VerifyUnchanged();
        try {
            WriteColumns(*active);
        } catch (...) {
            // A pessimistic lock stays with the edit; the check's lock goes.
            if (checked) UnlockEditedRecord();
            throw;
        }
        UnlockEditedRecord();
    } else {
        CheckTableRight(true);
        WriteNewRecord(*active);
    }
    EndEdit();
}

void TLumDataSet::InternalCancel() {
    UnlockEditedRecord();
    EndEdit();
}

void TLumDataSet::InternalDelete() {
    try {
        Check(engine_->LumDeleteRecord(cursorHandle_));
        Check(engine_->LumWriteRecord(cursorHandle_));
    } catch (...) {
        engine_->LumCancelUpdate(cursorHandle_);  // the deletion's own failure is the one reported
        throw;
    }
    if (editKind_ == EditKind::Edit) {
        UnlockEditedRecord();
        EndEdit();
    }
    // An LDT record is gone and a DBF record stays with its deletion flag;
    // where deleted records are hidden the cursor goes on to the next one
    // (the engine skips on from the removed record's place).
    UNSIGNED16 shown = 0;
    if (!rf::IsLdt(engineTableType_)) Check(engine_->LumGetDeleted(&shown));
    if (shown == 0) Check(engine_->LumSkip(activeHandle_, 1));
}

void TLumDataSet::InternalAddRecord(fw::RecordBuffer& buffer, bool /*append*/) {
    // The engine places a new record by the order of its indexes, wherever it was asked for.
    if (&buffer != ActiveBuffer()) RaiseLayerError(this, "Unexpected error in InternalAddRecord.");
    CheckTableRight(true);
    WriteNewRecord(buffer);
    EndEdit();
}

void TLumDataSet::InitRecord(fw::RecordBuffer& buffer) {
    fw::TDataSet::InitRecord(buffer);
    RecordInfo info{};
    std::memcpy(&info, buffer.data() + recordInfoOffset_, sizeof info);
    info.RecordNumber = -1;
    info.Zero = 0;
    std::memcpy(buffer.data() + recordInfoOffset_, &info, sizeof info);
    std::fill(buffer.begin() + bookmarkOffset_, buffer.begin() + bookmarkOffset_ + bookmarkSize_, std::uint8_t{0});
    editKind_ = EditKind::Insert;
    oldRecord_.clear();
    StartColumnMarks();
}

// A new record starts as the engine's empty record: every column null.
void TLumDataSet::InternalInitRecord(fw::RecordBuffer& buffer) {
    const std::vector<std::uint8_t> blobSlots = BlobSlots(buffer);
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    RestoreBlobSlots(buffer, blobSlots);
    std::copy_n(nullRecord_.begin(), std::min<std::size_t>(nullRecord_.size(), recordSize_), buffer.begin());
    for (std::size_t i = 0; i < lceFieldDefs_.Count(); ++i) {
        const TLCEFieldDef& column = lceFieldDefs_[i];
        if (rf::IsBlobType(column.EngineType) && column.ColumnOffset + 4 <= recordSize_)
            std::memset(buffer.data() + column.ColumnOffset, 0, 4);
    }
}

void TLumDataSet::ClearCalcFields(fw::RecordBuffer& buffer) {
    const std::size_t end = std::min<std::size_t>(recordSize_ + CalcFieldsSize(), buffer.size());
    if (end > recordSize_) std::fill(buffer.begin() + recordSize_, buffer.begin() + end, std::uint8_t{0});
}

void TLumDataSet::PostKeyBuffer(bool commit) {
    if (!commit && currentKey_ != nullptr) *currentKey_ = Key(KeyKind::SavedKey);
    currentKey_ = nullptr;
}

void TLumDataSet::DoOnNewRecord() {
    ApplyColumnDefaults();
    // A detail's new record belongs to its master's record: the master's
    // values go into the fields of the active index's segments, in order.
    if (masterLink_.Active()) {
        const std::vector<fw::TField*>& masters = masterLink_.Fields();
        for (std::size_t i = 0; i < masters.size(); ++i)
            SegmentField(static_cast<std::uint16_t>(i)).SetValueAsVariant(masters[i]->ValueAsVariant());
    }
    fw::TDataSet::DoOnNewRecord();
}

// Each column's default value for a new record, written as the user would
// write it; one that does not convert names its field.
void TLumDataSet::ApplyColumnDefaults() {
    for (std::size_t i = 0; i < FieldCount(); ++i) {
        fw::TField& field = Field(i);
        if (field.FieldKind() != fw::TFieldKind::fkData || field.FieldNo() < 1 ||
            static_cast<std::size_t>(field.FieldNo()) > lceFieldDefs_.Count())
            continue;
        const std::optional<std::string> value =
            ColumnDefault(lceFieldDefs_[static_cast<std::size_t>(field.FieldNo() - 1)]);
        if (!value) continue;
        try {
            if (IsIntegerField(field.DataType())) {
                std::int64_t number = 0;
                const bool small = field.DataType() == TFieldType::ftSmallint;
                const std::int64_t low =
                    small ? std::numeric_limits<std::int16_t>::min() : std::numeric_limits<std::int32_t>::min();
                const std::int64_t high =
                    small ? std::numeric_limits<std::int16_t>::max() : std::numeric_limits<std::int32_t>::max();
                if (fw::ParseIntegerText(*value, number) && (number < low || number > high))
                    throw ELUMDatabaseError(nullptr, NoEngineCode, "Numeric out of range:" + *value);
            }
            field.SetValueAsText(*value);
        } catch (const fw::Exception& e) {
            throw ELUMDatabaseError(
                this, NoEngineCode,
                "Error setting default field value. (" + field.DisplayName() + ")\r\n" + e.Message());
        }
    }
}

void TLumExtendedDataSet::CancelPendingEdit() {
    if (State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert) Cancel();
}

}  // namespace lum
