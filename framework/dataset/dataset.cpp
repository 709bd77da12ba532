// TDataSet: opening and closing, the record-buffer window, fields and
// calculated fields, the states that last for one operation, and the links
// told of every change. Moves are in dataset_navigation.cpp, editing in
// dataset_editing.cpp.
#include "framework/dataset/dataset.h"

#include <algorithm>
#include <exception>

#include "framework/dataset/data_source.h"
#include "framework/dataset/listener_snapshot.h"
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
    modified_ = false;
    try {
        defaultFields_ = fields_.empty();
        BindCalcFields();
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
    DiscardEdit();
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

// A record being edited or inserted when the dataset closes: its changes go,
// and the concrete dataset undoes what it prepared for them.
void TDataSet::DiscardEdit() noexcept {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        Quietly([this] { UpdateCursorPos(); });
        Quietly([this] { InternalCancel(); });
    }
    modified_ = false;
}

void TDataSet::ReleaseCursor() noexcept {
    DiscardEdit();
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

const RecordBuffer* TDataSet::ActiveBuffer() const {
    if (recordCount_ == 0 || buffers_.empty()) return nullptr;
    return &buffers_[static_cast<std::size_t>(activeRecord_)];
}

RecordBuffer* TDataSet::StateBuffer() {
    switch (state_) {
        case TDataSetState::dsBrowse:
        case TDataSetState::dsBlockRead:
        case TDataSetState::dsEdit:
        case TDataSetState::dsInsert:
        case TDataSetState::dsNewValue:
            if (recordCount_ == 0 || buffers_.empty()) return nullptr;
            return &buffers_[static_cast<std::size_t>(activeRecord_)];
        case TDataSetState::dsCalcFields: return calcBuffer_;
        case TDataSetState::dsFilter: return filterBuffer_;
        default: return nullptr;
    }
}

const RecordBuffer* TDataSet::StateBuffer() const { return const_cast<TDataSet*>(this)->StateBuffer(); }

std::int32_t TDataSet::CountRecords() {
    CheckActive();
    return -1;
}

// --- fields -----------------------------------------------------------------

TField* TDataSet::FindField(const std::string& name) const {
    for (const auto& field : fields_)
        if (AnsiSameText(field->FieldName(), name)) return field.get();
    return nullptr;
}

TField& TDataSet::FieldNamed(const std::string& name) const {
    if (TField* field = FindField(name)) return *field;
    throw EDatabaseError(Prefixed(Format("Field '%s' not found", {name})));
}

TField& TDataSet::AddField(std::unique_ptr<TField> field) {
    CheckInactive();
    if (&field->DataSet() != this) {
        throw EDatabaseError(Prefixed(Format("Field '%s' belongs to another dataset", {field->FieldName()})));
    }
    if (FindField(field->FieldName()) != nullptr) {
        throw EDatabaseError(Prefixed(Format("Duplicate field name '%s'", {field->FieldName()})));
    }
    fields_.push_back(std::move(field));
    BindCalcFields();
    return *fields_.back();
}

void TDataSet::BindCalcFields() {
    std::size_t offset = 0;
    for (const auto& field : fields_) {
        if (field->FieldKind() == TFieldKind::fkData) continue;
        field->offset_ = offset;
        offset += field->DataSize() + 1;  // the flag byte, then the value
    }
    calcFieldsSize_ = offset;
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
    BindCalcFields();
}

void TDataSet::DestroyDefaultFields() {
    if (defaultFields_) fields_.clear();
    BindCalcFields();
}

void TDataSet::UpdateFieldDefs() {
    if (fieldDefs_.Updated()) return;
    InitFieldDefs();
    fieldDefs_.SetUpdated(true);
}

void TDataSet::CalculateFields(RecordBuffer& buffer) {
    if (calcFieldsSize_ == 0) return;
    const TDataSetState saved = SetTempState(TDataSetState::dsCalcFields);
    calcBuffer_ = &buffer;
    const auto restore = [&] {
        calcBuffer_ = nullptr;
        RestoreState(saved);
    };
    try {
        ClearCalcFields(buffer);
        CalculateLookupFields();
        if (OnCalcFields) OnCalcFields(*this);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

bool TDataSet::FilterRecord(RecordBuffer& buffer) {
    if (!OnFilterRecord) return true;
    const TDataSetState saved = SetTempState(TDataSetState::dsFilter);
    filterBuffer_ = &buffer;
    const auto restore = [&] {
        filterBuffer_ = nullptr;
        RestoreState(saved);
    };
    bool accept = true;
    try {
        OnFilterRecord(*this, accept);
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return accept;
}

void TDataSet::SetFiltered(bool value) {
    if (!Active()) {
        filtered_ = value;
        return;
    }
    CheckBrowseMode();
    if (filtered_ == value) return;
    filtered_ = value;
    MoveToFirst();
}

// --- states -----------------------------------------------------------------

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    const TDataSetState old = state_;
    state_ = state;
    return old;
}

void TDataSet::SetState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    modified_ = false;
    DataEvent(TDataEvent::deUpdateState);
}

Variant TDataSet::StateFieldValue(TDataSetState state, const TField& field) {
    CheckActive();
    const TDataSetState saved = SetTempState(state);
    Variant value;
    try {
        value = field.ValueAsVariant();
    } catch (...) {
        RestoreState(saved);
        throw;
    }
    RestoreState(saved);
    return value;
}

void TDataSet::SetStateFieldValue(TDataSetState state, TField& field, const Variant& value) {
    CheckActive();
    const TDataSetState saved = SetTempState(state);
    try {
        field.SetValueAsVariant(value);
    } catch (...) {
        RestoreState(saved);
        throw;
    }
    RestoreState(saved);
}

// --- links ------------------------------------------------------------------

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

void TDataSet::DataEvent(TDataEvent event, TField* field, int distance) {
    // A record being edited in a detail must be settled before its master
    // moves, whether or not anyone is shown the move.
    if (disableCount_ > 0 && event != TDataEvent::deCheckBrowseMode) {
        // Fields made again by a reopen, or a new layout, must be found again
        // by the links once they hear of the dataset.
        if (event == TDataEvent::deLayoutChange ||
            (event == TDataEvent::deUpdateState && state_ == TDataSetState::dsInactive)) {
            enableEvent_ = TDataEvent::deLayoutChange;
        }
        return;
    }
    for (TDataSource* source : ListenerSnapshot<TDataSource>(sources_)) source->NotifyLinks(event, field, distance);
}

void TDataSet::AddDataSource(TDataSource& source) {
    if (std::find(sources_.begin(), sources_.end(), &source) == sources_.end()) sources_.push_back(&source);
}

void TDataSet::RemoveDataSource(TDataSource& source) { std::erase(sources_, &source); }

}  // namespace fw
