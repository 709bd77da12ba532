// TDataSet: opening and closing, the record-buffer window and forward navigation,
// with the links told of every change.
#include "framework/dataset/dataset.h"

#include <algorithm>
#include <exception>

#include "framework/dataset/data_source.h"
#include "framework/exceptions.h"
#include "framework/text_compare.h"

namespace fw {

TDataSet::TDataSet(TComponent* owner) : TComponent(owner), fieldDefs_(this) {}

TDataSet::~TDataSet() {
    // A concrete dataset closes itself in its own destructor; here only the
    // data sources that show this dataset let go of it.
    MarkDestroying();
    const std::vector<TDataSource*> sources = sources_;
    for (TDataSource* source : sources) source->DataSetGoing();
}

std::string TDataSet::Prefixed(const std::string& message) const {
    return Name().empty() ? message : Name() + ": " + message;
}

void TDataSet::CheckActive() const {
    if (!Active()) throw EDatabaseError(Prefixed("Cannot perform this operation on a closed dataset"));
}

void TDataSet::CheckInactive() {
    if (Active()) throw EDatabaseError(Prefixed("Cannot perform this operation on an open dataset"));
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    if (state_ == TDataSetState::dsSetKey) SetState(TDataSetState::dsBrowse);
}

void TDataSet::SetActive(bool active) {
    if (active == Active()) return;
    if (active) {
        OpenCursor();
    } else {
        CloseCursor();
    }
}

void TDataSet::OpenCursor() {
    if (BeforeOpen) BeforeOpen(*this);
    state_ = TDataSetState::dsOpening;
    try {
        defaultFields_ = fields_.empty();
        OpenEngineCursor();
        bufferCount_ = WantedBufferCount();
        ReallocateBuffers();
        if (GetNextRecord()) GetNextRecords();
        bof_ = true;
    } catch (...) {
        // The open failed part-way: the dataset closes again.
        state_ = TDataSetState::dsInactive;
        buffers_.clear();
        ClearBuffers();
        try {
            CloseEngineCursor();
        } catch (...) {}
        throw;
    }
    SetState(TDataSetState::dsBrowse);
    DoAfterOpen();
}

void TDataSet::DoAfterOpen() {
    if (AfterOpen) AfterOpen(*this);
}

void TDataSet::CloseCursor() {
    if (BeforeClose) BeforeClose(*this);
    // Once the state is inactive the close is done: a link that fails on
    // hearing of it (a detail re-reading) does not keep the cursor open.
    std::exception_ptr failure;
    try {
        SetState(TDataSetState::dsInactive);
    } catch (...) {
        failure = std::current_exception();
    }
    ReleaseCursor();
    if (failure) std::rethrow_exception(failure);
    if (AfterClose) AfterClose(*this);
}

void TDataSet::ReleaseCursor() noexcept {
    state_ = TDataSetState::dsInactive;
    buffers_.clear();
    ClearBuffers();
    Quietly([this] { CloseEngineCursor(); });
}

void TDataSet::CloseQuietly() noexcept {
    if (!Active()) return;
    Quietly([this] { CloseCursor(); });
    // A BeforeClose handler that failed did not stop the way out.
    if (Active() || CursorIsOpen()) ReleaseCursor();
}

std::size_t TDataSet::WantedBufferCount() const {
    std::size_t count = 1;
    for (const TDataSource* source : sources_) count = std::max(count, source->WantedBufferCount());
    return count;
}

void TDataSet::ReallocateBuffers() {
    buffers_.assign(bufferCount_ + 1, RecordBuffer(RecordBufferSize()));
    ClearBuffers();
}

void TDataSet::ClearBuffers() {
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
    bof_ = true;
    eof_ = true;
}

void TDataSet::SetCurrentRecord(int index) {
    if (currentRecord_ == index) return;
    const RecordBuffer& buffer = buffers_.at(static_cast<std::size_t>(index));
    switch (BookmarkFlagOf(buffer)) {
        case TBookmarkFlag::Current:
        case TBookmarkFlag::Inserted: PositionOnBuffer(buffer); break;
        case TBookmarkFlag::BeforeFirst: SeekBeforeFirst(); break;
        case TBookmarkFlag::AfterLast: SeekAfterLast(); break;
    }
    currentRecord_ = index;
}

bool TDataSet::GetNextRecord() {
    if (recordCount_ > 0) SetCurrentRecord(recordCount_ - 1);
    RecordBuffer& target = buffers_.at(static_cast<std::size_t>(recordCount_));
    if (FetchRecord(target, TFetchMode::Next) != TFetchResult::Ok) {
        CursorPosChanged();
        return false;
    }
    if (recordCount_ == 0) {
        recordCount_ = 1;
        activeRecord_ = 0;
        bof_ = false;
        eof_ = false;
    } else if (static_cast<std::size_t>(recordCount_) < bufferCount_) {
        ++recordCount_;
    } else {
        // The window is full: the oldest buffer becomes the spare.
        std::rotate(buffers_.begin(), buffers_.begin() + 1, buffers_.end());
    }
    currentRecord_ = recordCount_ - 1;
    return true;
}

void TDataSet::GetNextRecords() {
    while (static_cast<std::size_t>(recordCount_) < bufferCount_ && GetNextRecord()) {}
}

const RecordBuffer* TDataSet::ActiveBuffer() const {
    if (recordCount_ == 0 || buffers_.empty()) return nullptr;
    return &buffers_[static_cast<std::size_t>(activeRecord_)];
}

void TDataSet::MoveToFirst() {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    ClearBuffers();
    const auto finish = [this] {
        bof_ = true;
        DataEvent(TDataEvent::deDataSetChange);
        if (AfterScroll) AfterScroll(*this);
    };
    try {
        SeekBeforeFirst();
        if (GetNextRecord()) GetNextRecords();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TDataSet::MoveToNext() {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    if (eof_) return;
    bof_ = false;
    eof_ = false;
    const int oldCount = recordCount_;
    if (activeRecord_ < recordCount_ - 1) {
        ++activeRecord_;
    } else {
        // A full window shifts, so the new record takes the active slot.
        const bool full = static_cast<std::size_t>(recordCount_) == bufferCount_;
        if (GetNextRecord()) {
            if (!full) ++activeRecord_;
        } else {
            eof_ = true;
        }
    }
    if (recordCount_ != oldCount) {
        DataEvent(TDataEvent::deDataSetChange);
    } else {
        DataEvent(TDataEvent::deDataSetScroll);
    }
    if (AfterScroll) AfterScroll(*this);
}

void TDataSet::Resync() {
    CheckActive();
    const RecordBuffer* active = ActiveBuffer();
    if (active != nullptr && BookmarkFlagOf(*active) == TBookmarkFlag::Current) {
        PositionOnBuffer(*active);
    }
    const bool hadRecord = active != nullptr;
    ClearBuffers();
    TFetchResult result = TFetchResult::Failed;
    if (hadRecord) {
        result = FetchRecord(buffers_[0], TFetchMode::Current);
        if (result != TFetchResult::Ok) result = FetchRecord(buffers_[0], TFetchMode::Next);
        if (result != TFetchResult::Ok) result = FetchRecord(buffers_[0], TFetchMode::Prior);
    } else {
        SeekBeforeFirst();
        result = FetchRecord(buffers_[0], TFetchMode::Next);
    }
    if (result == TFetchResult::Ok) {
        recordCount_ = 1;
        activeRecord_ = 0;
        currentRecord_ = 0;
        bof_ = false;
        eof_ = false;
        GetNextRecords();
    }
    DataEvent(TDataEvent::deDataSetChange);
}

std::int32_t TDataSet::CountRecords() {
    CheckActive();
    return -1;
}

TField* TDataSet::FindField(const std::string& name) const {
    for (const auto& field : fields_)
        if (AnsiSameText(field->FieldName(), name)) return field.get();
    return nullptr;
}

TField& TDataSet::FieldNamed(const std::string& name) const {
    if (TField* field = FindField(name)) return *field;
    throw EDatabaseError(Prefixed(Format("Field '%s' not found", {name})));
}

std::unique_ptr<TField> TDataSet::CreateFieldObject(const TFieldDef& def) {
    using T = TFieldType;
    const auto make = [&]<class F>() -> std::unique_ptr<TField> {
        return std::make_unique<F>(*this, def.DataType, def.Name, def.Size, def.FieldNo);
    };
    switch (def.DataType) {
        case T::ftString:
        case T::ftFixedChar: return make.operator()<TStringField>();
        case T::ftSmallint: return make.operator()<TSmallintField>();
        case T::ftInteger: return make.operator()<TIntegerField>();
        case T::ftAutoInc: return make.operator()<TAutoIncField>();
        case T::ftBoolean: return make.operator()<TBooleanField>();
        case T::ftFloat: return make.operator()<TFloatField>();
        case T::ftCurrency: return make.operator()<TCurrencyField>();
        case T::ftBCD: return make.operator()<TBCDField>();
        case T::ftFMTBcd: return make.operator()<TFMTBCDField>();
        case T::ftDate: return make.operator()<TDateField>();
        case T::ftTime: return make.operator()<TTimeField>();
        case T::ftDateTime:
        case T::ftTimeStamp: return make.operator()<TDateTimeField>();
        case T::ftBytes: return make.operator()<TBytesField>();
        case T::ftVarBytes: return make.operator()<TVarBytesField>();
        case T::ftMemo:
        case T::ftFmtMemo: return make.operator()<TMemoField>();
        case T::ftBlob:
        case T::ftGraphic: return make.operator()<TBlobField>();
        default: throw EDatabaseError(Prefixed(Format("Field '%s' is of an unknown type", {def.Name})));
    }
}

void TDataSet::CreateDefaultFields() {
    for (std::size_t i = 0; i < fieldDefs_.Count(); ++i) fields_.push_back(CreateFieldObject(fieldDefs_[i]));
}

void TDataSet::DestroyDefaultFields() {
    if (defaultFields_) fields_.clear();
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    const TDataSetState old = state_;
    state_ = state;
    return old;
}

void TDataSet::SetState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    DataEvent(TDataEvent::deUpdateState);
}

void TDataSet::UpdateFieldDefs() {
    if (fieldDefs_.Updated()) return;
    InitFieldDefs();
    fieldDefs_.SetUpdated(true);
}

void TDataSet::DisableControls() {
    if (disableCount_ == 0) {
        disableState_ = state_;
        enableEvent_ = TDataEvent::deDataSetChange;
    }
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0 || --disableCount_ > 0) return;
    if (disableState_ != state_) DataEvent(TDataEvent::deUpdateState);
    if (disableState_ != TDataSetState::dsInactive && state_ != TDataSetState::dsInactive) DataEvent(enableEvent_);
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
    if (disableCount_ > 0) {
        // Fields made again by a reopen, or a new layout, must be found again
        // by the links once they hear of the dataset.
        if (event == TDataEvent::deLayoutChange ||
            (event == TDataEvent::deUpdateState && state_ == TDataSetState::dsInactive)) {
            enableEvent_ = TDataEvent::deLayoutChange;
        }
        return;
    }
    const std::vector<TDataSource*> sources = sources_;
    for (TDataSource* source : sources) source->NotifyLinks(event, field);
}

void TDataSet::AddDataSource(TDataSource& source) {
    if (std::find(sources_.begin(), sources_.end(), &source) == sources_.end()) sources_.push_back(&source);
}

void TDataSet::RemoveDataSource(TDataSource& source) { std::erase(sources_, &source); }

}  // namespace fw
