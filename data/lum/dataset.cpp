// TLumDataSet's cursor: opening with its buffers, moving, fetching record
// images, counting, and closing that never throws on the way out.
#include "data/lum/dataset.h"

#include <cstring>

#include "data/engine/record_format.h"
#include "data/lum/binding.h"
#include "data/lum/connection.h"

namespace lum {

using fw::TFetchMode;
using fw::TFetchResult;
using fw::TFieldType;

TLumDataSet::TLumDataSet(fw::TComponent* owner)
    : fw::TDataSet(owner),
      engine_(&DefaultEngine()),
      options_(std::make_unique<TLumTableOptions>(*this)),
      masterLink_(*this) {
    masterLink_.OnMasterChange = [this] { ApplyMasterValues(); };
    masterLink_.OnMasterDisable = [this] { DropRange(); };
    masterLink_.OnMasterGone = [this] { ReleaseRange(); };
    DataSetRegistry::Instance().Add(*this);
}

TLumDataSet::~TLumDataSet() {
    // Marked first, so the links this dataset tells below know it is going.
    MarkDestroying();
    fw::Quietly([this] { masterLink_.SetDataSource(nullptr); });
    AttachTo(nullptr);
    CloseQuietly();
    DataSetRegistry::Instance().Remove(*this);
}

// --- opening and closing --------------------------------------------------

void TLumDataSet::OpenEngineCursor() {
    if (cursorHandle_ != NoHandle) RaiseLayerError(this, "Table is already open.");
    if (activeHandle_ == NoHandle) {
        cursorHandle_ = AcquireCursorHandle();
    } else {
        // A handle handed in from outside.
        cursorHandle_ = activeHandle_;
        Check(engine_->LumGetTableType(cursorHandle_, &engineTableType_));
    }
    UNSIGNED32 length = 0;
    Check(engine_->LumGetRecordLength(cursorHandle_, &length));
    recordSize_ = length;
    UNSIGNED32 openOptions = 0;
    Check(engine_->LumGetTableOpenOptions(cursorHandle_, &openOptions));
    tableOpenOptions_ = openOptions;
    cursorWritable_ = (openOptions & 2u) == 0;
    if (cursorWritable_ && (openOptions & 1u) != 0) {
        UNSIGNED16 live = 1;
        if (engine_->LumSqlPeekStatement(cursorHandle_, &live) == 0 && live == 0) CursorOpenedExclusively();
    }
    switch (options_->LumRecordCache()) {
        case TLumRecordCacheTypes::rcNone: Check(engine_->LumCacheRecords(cursorHandle_, 0)); break;
        case TLumRecordCacheTypes::rcAggressive: Check(engine_->LumCacheRecords(cursorHandle_, 100)); break;
        case TLumRecordCacheTypes::rcStandard: break;
    }
    // The page size of the first index; any failure means none.
    {
        LUMHANDLE first = 0;
        UNSIGNED16 room = 1;
        const UNSIGNED32 rc = engine_->LumGetAllIndexes(cursorHandle_, &first, &room);
        UNSIGNED32 pageSize = 0;
        if ((rc == 0 || rc == LUM_ERR_BUFFER_TOO_SMALL) && room > 0 &&
            engine_->LumGetIndexPageSize(first, &pageSize) == 0 && pageSize <= 8192) {
            options_->SetLumIndexPageSize(static_cast<std::uint16_t>(pageSize));
        } else {
            options_->SetLumIndexPageSize(0);
        }
    }
    recordBufferSize_ = recordSize_;
    {
        const LUMHANDLE handle = (activeHandle_ != NoHandle && activeHandle_ != 0) ? activeHandle_ : cursorHandle_;
        UNSIGNED32 bookmark = 0;
        Check(engine_->LumGetBookmarkLength(handle, &bookmark));
        bookmarkSize_ = bookmark;
    }
    AllocateKeyBuffers();
    FieldDefs().SetUpdated(false);
    LoadFieldDefs(cursorHandle_);
    if (DefaultFields()) {
        CreateDefaultFields();
    } else {
        BindPersistentFields();
    }
    for (std::size_t i = 0; i < FieldCount(); ++i) {
        fw::TField& field = Field(i);
        const int column = lceFieldDefs_.IndexOf(field.FieldName());
        const std::uint16_t type = column >= 0 ? lceFieldDefs_[static_cast<std::size_t>(column)].EngineType : 0;
        if (auto* bcd = dynamic_cast<fw::TBCDField*>(&field); bcd != nullptr && field.DataType() == TFieldType::ftBCD) {
            if (dynamic_cast<TLumBCDField*>(&field) == nullptr) {
                bcd->SetCurrencyDisplay(true);
            } else if (type == 2 || type == 21) {
                bcd->SetCurrencyDisplay(false);
            }
        }
        if (auto* text = dynamic_cast<TLumStringField*>(&field); text != nullptr && type == 20)
            text->SetCaseInsensitive(true);
    }
    ComputeBufferLayout();
    indexDefs_.SetUpdated(false);
    ReadIndexDefsFromEngine();
    if (cursorHandle_ != 0) ChooseActiveIndex();
    exactSwitchedOff_ = false;
    if (cursorHandle_ != 0 && Filtered()) ActivateFilter(options_->LumOptimizedFilters());
    if (scoped_) ActivateUserScope();
    if (cursorHandle_ != 0) SeekBeforeFirst();
}

void TLumDataSet::CloseEngineCursor() {
    DestroyDefaultFields();
    for (KeyBuffer& key : keys_) key = KeyBuffer();
    currentKey_ = nullptr;
    oldRecord_.clear();
    oldRecord_.shrink_to_fit();
    DropBlobCaches();
    if (cursorHandle_ != NoHandle) {
        engine_->LumCloseTable(cursorHandle_);  // a failure here changes nothing for the caller
    }
    cursorHandle_ = NoHandle;
    activeHandle_ = NoHandle;
    keyLayoutFor_ = NoHandle;
    ForgetColumnCaches();
    cursorWritable_ = false;
}

void TLumDataSet::DoAfterOpen() {
    fw::TDataSet::DoAfterOpen();
    const fw::TDataSource* master = MasterSource();
    if (master != nullptr && master->DataSet() != nullptr && master->DataSet()->Active()) ApplyMasterValues();
}

void TLumDataSet::ReadCharType(LUMHANDLE handle) {
    Check(engine_->LumGetTableCharType(handle, &openCharType_));
    char collation[101] = {};
    UNSIGNED16 length = sizeof collation;
    const UNSIGNED32 rc = engine_->LumGetTableCollation(handle, collation, &length);
    if (rc != 0 && rc != LUM_ERR_NO_COLLATION) Check(rc);
    if (rc == LUM_ERR_NO_COLLATION || collation[0] == '\0') {
        const int ordinal = static_cast<int>(openCharType_) - 1;
        if (ordinal < 0 || ordinal >= CharTypeCount) RaiseLayerError(this, "Invalid or unknown character type.");
        options_->SetLumCharType(static_cast<TLumCharTypes>(ordinal));
    }
}

void TLumDataSet::ApplyRecordCache(std::uint16_t records) {
    if (cursorHandle_ != NoHandle) Check(engine_->LumCacheRecords(cursorHandle_, records));
}

std::uint32_t TLumDataSet::LastAutoinc() {
    if (cursorHandle_ == NoHandle) return 0;
    UNSIGNED32 value = 0;
    Check(engine_->LumGetLastAutoinc(cursorHandle_, &value));
    return value;
}

std::string TLumDataSet::CollationName() const {
    if (!options_->LumCollation().empty()) return options_->LumCollation();
    if (connection_ != nullptr && !connection_->LumCollation().empty()) return connection_->LumCollation();
    return CollationNames(options_->LumCharType());
}

// --- record buffers -------------------------------------------------------

void TLumDataSet::ComputeBufferLayout() {
    // The buffers are allocated anew after this, with empty cache slots.
    DropBlobCaches();
    blobCacheOffset_ = recordSize_ + static_cast<std::uint32_t>(CalcFieldsSize());
    recordInfoOffset_ = blobCacheOffset_ + 4 * static_cast<std::uint32_t>(blobColumnCount_);
    bookmarkOffset_ = recordInfoOffset_ + sizeof(RecordInfo);
    const LUMHANDLE handle = (activeHandle_ != NoHandle && activeHandle_ != 0) ? activeHandle_ : cursorHandle_;
    UNSIGNED32 bookmark = 0;
    Check(engine_->LumGetBookmarkLength(handle, &bookmark));
    bookmarkSize_ = bookmark;
    recordBufferSize_ = bookmarkOffset_ + bookmarkSize_;
}

fw::TBookmarkFlag TLumDataSet::BookmarkFlagOf(const fw::RecordBuffer& buffer) const {
    return static_cast<fw::TBookmarkFlag>(buffer.at(recordInfoOffset_ + offsetof(RecordInfo, BookmarkFlag)));
}

void TLumDataSet::SetBookmarkFlag(fw::RecordBuffer& buffer, fw::TBookmarkFlag flag) {
    buffer.at(recordInfoOffset_ + offsetof(RecordInfo, BookmarkFlag)) = static_cast<std::uint8_t>(flag);
}

void TLumDataSet::SeekBeforeFirst() { Check(engine_->LumGotoBOF(activeHandle_)); }
void TLumDataSet::SeekAfterLast() { Check(engine_->LumGotoEOF(activeHandle_)); }

void TLumDataSet::GotoEngineBookmark(std::uint32_t bookmark) {
    if (State() == fw::TDataSetState::dsInsert) return;
    const UNSIGNED32 rc = engine_->LumGotoBookmark(cursorHandle_, bookmark);
    if (rc != LUM_ERR_RECORD_NOT_FOUND) Check(rc);
}

void TLumDataSet::PositionOnBuffer(const fw::RecordBuffer& buffer) {
    std::uint32_t bookmark = 0;
    if (bookmarkSize_ >= 4) std::memcpy(&bookmark, buffer.data() + bookmarkOffset_, 4);
    GotoEngineBookmark(bookmark);
}

TFetchResult TLumDataSet::FetchRecord(fw::RecordBuffer& buffer, TFetchMode mode) {
    if (cursorHandle_ == NoHandle || State() == fw::TDataSetState::dsInsert) return TFetchResult::Failed;
    if (mode == TFetchMode::Next) Check(engine_->LumSkip(activeHandle_, 1));
    if (mode == TFetchMode::Prior) Check(engine_->LumSkip(activeHandle_, -1));
    for (;;) {
        UNSIGNED16 flag = 0;
        Check(engine_->LumAtEOF(cursorHandle_, &flag));
        if (flag != 0 && mode != TFetchMode::Prior) return TFetchResult::HitEnd;
        Check(engine_->LumAtBOF(cursorHandle_, &flag));
        if (flag != 0 && mode != TFetchMode::Next) return TFetchResult::HitBeginning;
        UNSIGNED16 visible = 0;
        const UNSIGNED32 rc = engine_->LumIsRecordVisible(activeHandle_, &visible);
        if (rc != LUM_ERR_NO_CURRENT_RECORD) Check(rc);
        if (rc == 0 && visible != 0) {
            LoadRecordImage(buffer);
            if (AcceptRecord(buffer)) break;
        }
        if (mode == TFetchMode::Current) return TFetchResult::Failed;
        Check(engine_->LumSkip(activeHandle_, mode == TFetchMode::Next ? 1 : -1));
    }
    RecordInfo info{};
    info.RecordNumber = CurrentRecordNumber();
    info.Zero = 0;
    info.BookmarkFlag = static_cast<std::uint8_t>(fw::TBookmarkFlag::Current);
    std::memcpy(buffer.data() + recordInfoOffset_, &info, sizeof info);
    return TFetchResult::Ok;
}

std::int32_t TLumDataSet::CurrentRecordNumber() {
    UNSIGNED32 number = 0;
    if ((indexName_.empty() && indexFieldNames_.empty()) || !sequenced_) {
        Check(engine_->LumGetRecordNum(cursorHandle_, 2, &number));
        return static_cast<std::int32_t>(number);
    }
    if (sequencedLevel_ == TLumSequencedLevel::slExact) {
        Check(engine_->LumGetKeyNum(activeHandle_, 1, &number));
        return static_cast<std::int32_t>(number);
    }
    UNSIGNED32 count = 0;
    Check(engine_->LumGetRecordCount(cursorHandle_, 2, &count));
    double position = 0;
    const UNSIGNED32 rc = engine_->LumGetRelKeyPos(activeHandle_, &position);
    if (rc == LUM_ERR_NO_KEY_POSITION) {
        position = 0;
    } else {
        Check(rc);
    }
    return static_cast<std::int32_t>(static_cast<double>(count) * position);
}

const std::vector<std::size_t>& TLumDataSet::BlobSlotColumns() {
    if (!blobSlotColumnsRead_) {
        blobSlotColumns_.clear();
        for (std::size_t i = 0; i < lceFieldDefs_.Count(); ++i)
            if (HasBlobCacheSlot(lceFieldDefs_[i].EngineType)) blobSlotColumns_.push_back(i);
        blobSlotColumnsRead_ = true;
    }
    return blobSlotColumns_;
}

void TLumDataSet::LoadRecordImage(fw::RecordBuffer& buffer) {
    UNSIGNED32 length = recordBufferSize_;
    Check(engine_->LumGetRecord(cursorHandle_, buffer.data(), &length));
    const LUMHANDLE bookmarkHandle = (activeHandle_ == NoHandle || activeHandle_ == 0) ? cursorHandle_ : activeHandle_;
    UNSIGNED32 bookmarkLength = bookmarkSize_;
    Check(engine_->LumGetBookmark60(bookmarkHandle, buffer.data() + bookmarkOffset_, &bookmarkLength));
    if (blobColumnCount_ > 0) {
        for (const std::size_t i : BlobSlotColumns()) {
            const TLCEFieldDef& column = lceFieldDefs_[i];
            if (column.ColumnOffset + 4 > recordSize_) continue;
            UNSIGNED16 empty = 0, null = 0;
            Check(engine_->LumIsEmpty(cursorHandle_, LUM_FIELD_NUMBER(column.ColumnNumber), &empty));
            // An empty value has no bytes whether or not it is also null.
            if (empty == 0) Check(engine_->LumIsNull(cursorHandle_, LUM_FIELD_NUMBER(column.ColumnNumber), &null));
            const std::uint32_t flag = (empty != 0 || null != 0) ? 0u : 0xFFFFFFFFu;
            std::memcpy(buffer.data() + column.ColumnOffset, &flag, 4);
        }
        switch (State()) {
            case fw::TDataSetState::dsBrowse:
            case fw::TDataSetState::dsEdit:
            case fw::TDataSetState::dsInsert:
            case fw::TDataSetState::dsCalcFields:
            case fw::TDataSetState::dsNewValue:
                // Without any cache (no memo or blob read yet) there is nothing to reset.
                if (!blobCaches_.empty()) ResetBlobCaches(buffer);
                break;
            default: break;
        }
    }
    if (openCharType_ == 2) {
        // The engine converts an OEM table's text; it writes a zero byte after the column.
        for (std::size_t i = 0; i < lceFieldDefs_.Count(); ++i) {
            const TLCEFieldDef& column = lceFieldDefs_[i];
            if (column.EngineType != 4 && column.EngineType != 20 && column.EngineType != 23) continue;
            const std::size_t end = column.ColumnOffset + column.ColumnLength;
            if (end >= buffer.size()) continue;
            const std::uint8_t saved = buffer[end];
            UNSIGNED32 fieldLength = column.ColumnLength + 1;
            const UNSIGNED32 rc = engine_->LumGetField(cursorHandle_, LUM_FIELD_NUMBER(column.ColumnNumber),
                                                       buffer.data() + column.ColumnOffset, &fieldLength, 0);
            buffer[end] = saved;
            Check(rc);
        }
    }
}

// --- counting -------------------------------------------------------------

std::int32_t TLumDataSet::CountRecords() {
    if (!Active()) throw fw::EDatabaseError(Prefixed("Cannot perform this operation on a closed dataset"));
    const UNSIGNED16 baseMode = [&]() -> UNSIGNED16 {
        if (options_->LumFilterOptions() == TLumRespectFilters::RESPECT_WHEN_COUNTING) return 1;
        if (options_->LumScopeOptions() == TLumRespectScopes::RESPECT_SCOPES_WHEN_COUNTING) return 3;
        return 2;
    }();
    LUMHANDLE handle = activeHandle_;
    if (baseMode == 1 && activeHandle_ != cursorHandle_) {
        UNSIGNED32 flags = 0;
        Check(engine_->LumGetIndexFlags(activeHandle_, &flags));
        if (tableType_ == TLumTableTypes::ttLumLDT || (flags & 1u) == 0) {
            char condition[510] = {};
            UNSIGNED16 length = sizeof condition;
            Check(engine_->LumGetIndexCondition(activeHandle_, reinterpret_cast<char*>(condition), &length));
            const auto scoped = [&](UNSIGNED16 end) {
                std::vector<UNSIGNED8> scope(4082);
                UNSIGNED16 scopeLength = static_cast<UNSIGNED16>(scope.size());
                const UNSIGNED32 rc = engine_->LumGetScope(activeHandle_, end, scope.data(), &scopeLength);
                if (rc == LUM_ERR_NO_SCOPE) return false;
                Check(rc);
                return true;
            };
            if (condition[0] == '\0' && !scoped(1) && !scoped(2)) handle = cursorHandle_;
        }
    }
    const UNSIGNED16 mode = options_->LumFreshRecordCount() ? static_cast<UNSIGNED16>(baseMode + 4) : baseMode;
    UNSIGNED32 count = 0;
    Check(engine_->LumGetRecordCount(handle, mode, &count));
    return static_cast<std::int32_t>(count);
}

}  // namespace lum
