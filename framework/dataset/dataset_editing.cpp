// TDataSet's editing: the edit, insert and key-editing states entered and
// left through Edit, Insert, Append, Post, Cancel and Delete, the checks of
// every field write, and the order in which the events, the links and the
// concrete dataset's hooks are called, so that a failure anywhere leaves the
// dataset in the state it had before the failing call.
#include <algorithm>
#include <exception>

#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"

namespace fw {

namespace {

void Fire(const TDataSet::Event& event, TDataSet& dataSet) {
    if (event) event(dataSet);
}

}  // namespace

void TDataSet::RaiseNotEditing() const { throw EDatabaseError(Prefixed("Dataset not in edit mode")); }

void TDataSet::CheckCanModify() const {
    if (!CanModify()) throw EDatabaseError(Prefixed("Cannot modify a read-only dataset"));
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(TDataEvent::deCheckBrowseMode);
    switch (state_) {
        case TDataSetState::dsEdit:
        case TDataSetState::dsInsert:
            UpdateRecord();
            if (modified_) {
                Post();
            } else {
                Cancel();
            }
            break;
        case TDataSetState::dsSetKey: Post(); break;
        default: break;
    }
}

void TDataSet::UpdateRecord() {
    if (!IsEditMode(state_)) RaiseNotEditing();
    DataEvent(TDataEvent::deUpdateRecord);
}

// --- edit -------------------------------------------------------------------

void TDataSet::Edit() {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
    if (recordCount_ == 0) return Insert();
    CheckBrowseMode();
    CheckCanModify();
    Fire(BeforeEdit, *this);
    UpdateCursorPos();
    InternalEdit();
    try {
        CalculateFields(*StateBuffer());
    } catch (...) {
        Quietly([this] { InternalCancel(); });
        throw;
    }
    SetState(TDataSetState::dsEdit);
    DataEvent(TDataEvent::deRecordChange);
    Fire(AfterEdit, *this);
}

// --- insert and append ------------------------------------------------------

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    Fire(BeforeInsert, *this);
    Fire(BeforeScroll, *this);
}

// Puts an initialised buffer for the new record in the window and makes it
// the active one: before the current record, or after the last records.
void TDataSet::PlaceNewRecord(bool append) {
    if (append) {
        ClearBuffers();
        RecordBuffer& buffer = buffers_[0];
        InitRecord(buffer);
        SetBookmarkFlag(buffer, TBookmarkFlag::AfterLast);
        recordCount_ = 1;
        activeRecord_ = 0;
        bof_ = false;
        eof_ = false;
        GetPriorRecords();  // the last records above it
    } else {
        const bool hadRecord = recordCount_ > 0;
        TBookmark before;
        if (hadRecord) before = BookmarkDataOf(buffers_[static_cast<std::size_t>(activeRecord_)]);
        // The spare (or first free) buffer moves to the active row; in a full
        // window the last record moves out.
        CursorPosChanged();
        std::rotate(buffers_.begin() + activeRecord_, buffers_.begin() + recordCount_,
                    buffers_.begin() + recordCount_ + 1);
        RecordBuffer& buffer = buffers_[static_cast<std::size_t>(activeRecord_)];
        InitRecord(buffer);
        if (hadRecord) {
            SetBookmarkData(buffer, before);
        } else {
            SetBookmarkFlag(buffer, TBookmarkFlag::BeforeFirst);
        }
        if (static_cast<std::size_t>(recordCount_) < bufferCount_) ++recordCount_;
        bof_ = false;
        eof_ = false;
    }
    CursorPosChanged();
}

void TDataSet::EndInsertAppend() {
    SetState(TDataSetState::dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        AbandonInsert(true);
        throw;
    }
    modified_ = false;  // the first values are not changes
    DataEvent(TDataEvent::deDataSetChange);
    Fire(AfterInsert, *this);
    Fire(AfterScroll, *this);
}

// A new record that could not be made: the window is read again around the
// place it was to go, as after Cancel, and the state is browse.
void TDataSet::AbandonInsert(bool started) noexcept {
    Quietly([this] { UpdateCursorPos(); });
    if (started) Quietly([this] { InternalCancel(); });
    Quietly([this] { SetState(TDataSetState::dsBrowse); });
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    Quietly([this] { ResyncFromCursor(); });
}

void TDataSet::Insert() {
    BeginInsertAppend();
    try {
        PlaceNewRecord(false);
        InternalInsert();
    } catch (...) {
        AbandonInsert(false);
        throw;
    }
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    try {
        PlaceNewRecord(true);
        InternalInsert();
    } catch (...) {
        AbandonInsert(false);
        throw;
    }
    EndInsertAppend();
}

void TDataSet::DoOnNewRecord() { Fire(OnNewRecord, *this); }

void TDataSet::InsertRecord(const std::vector<Variant>& values) { AddRecord(values, false); }

void TDataSet::AppendRecord(const std::vector<Variant>& values) { AddRecord(values, true); }

void TDataSet::AddRecord(const std::vector<Variant>& values, bool append) {
    if (values.size() > fields_.size()) {
        throw EDatabaseError(Prefixed(Format("%d values given for a record of %d fields",
                                             {std::to_string(values.size()), std::to_string(fields_.size())})));
    }
    BeginInsertAppend();
    DisableControls();
    bool stored = false;
    try {
        PlaceNewRecord(append);
        SetState(TDataSetState::dsInsert);
        DoOnNewRecord();
        Fire(AfterInsert, *this);
        for (std::size_t i = 0; i < values.size(); ++i)
            if (!values[i].IsEmpty()) fields_[i]->SetValueAsVariant(values[i]);
        Fire(BeforePost, *this);
        CheckRequiredFields();
        UpdateCursorPos();
        InternalAddRecord(buffers_[static_cast<std::size_t>(activeRecord_)], append);
        stored = true;
        SetState(TDataSetState::dsBrowse);
        ResyncFromCursor();
    } catch (...) {
        if (!stored) AbandonInsert(false);
        Quietly([this] { EnableControls(); });
        throw;
    }
    Fire(AfterPost, *this);
    EnableControls();
    Fire(AfterScroll, *this);
}

// --- post, cancel, delete ---------------------------------------------------

void TDataSet::CheckRequiredFields() const {
    for (const auto& field : fields_) {
        if (field->Required() && !field->ReadOnly() && field->FieldKind() == TFieldKind::fkData && field->IsNull()) {
            throw EDatabaseError(Format("Field '%s' must have a value", {field->DisplayName()}));
        }
    }
}

void TDataSet::EndKeyEdit(bool commit) {
    PostKeyBuffer(commit);
    SetState(TDataSetState::dsBrowse);
    DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Post() {
    CheckActive();
    UpdateRecord();
    if (state_ == TDataSetState::dsSetKey) return EndKeyEdit(true);
    DataEvent(TDataEvent::deCheckBrowseMode);
    Fire(BeforePost, *this);
    CheckRequiredFields();
    UpdateCursorPos();
    InternalPost();
    SetState(TDataSetState::dsBrowse);
    ResyncFromCursor();
    Fire(AfterPost, *this);
}

void TDataSet::Cancel() {
    if (state_ == TDataSetState::dsSetKey) return EndKeyEdit(false);
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
    DataEvent(TDataEvent::deCheckBrowseMode);
    Fire(BeforeCancel, *this);
    const bool scrolls = state_ == TDataSetState::dsInsert;
    if (scrolls) Fire(BeforeScroll, *this);
    UpdateCursorPos();
    InternalCancel();
    SetState(TDataSetState::dsBrowse);
    ResyncFromCursor();
    Fire(AfterCancel, *this);
    if (scrolls) Fire(AfterScroll, *this);
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) return Cancel();
    CheckCanModify();
    if (recordCount_ == 0) throw EDatabaseError(Prefixed("Cannot perform this operation on an empty dataset"));
    DataEvent(TDataEvent::deCheckBrowseMode);
    Fire(BeforeDelete, *this);
    Fire(BeforeScroll, *this);
    UpdateCursorPos();
    InternalDelete();
    SetState(TDataSetState::dsBrowse);
    ResyncFromCursor();
    Fire(AfterDelete, *this);
    Fire(AfterScroll, *this);
}

// --- the concrete dataset's defaults ------------------------------------------

void TDataSet::InternalPost() { CheckCanModify(); }

void TDataSet::InternalDelete() { CheckCanModify(); }

void TDataSet::InternalAddRecord(RecordBuffer&, bool) { CheckCanModify(); }

void TDataSet::InitRecord(RecordBuffer& buffer) {
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, TBookmarkFlag::Inserted);
}

void TDataSet::InternalInitRecord(RecordBuffer& buffer) { std::fill(buffer.begin(), buffer.end(), 0); }

bool TDataSet::IsIndexField(const TField& field) { return field.FieldKind() == TFieldKind::fkData; }

// --- field writes -------------------------------------------------------------

void TDataSet::CheckFieldWrite(TField& field) {
    const bool data = field.FieldKind() == TFieldKind::fkData;
    switch (state_) {
        case TDataSetState::dsEdit:
        case TDataSetState::dsInsert:
        case TDataSetState::dsNewValue: break;
        case TDataSetState::dsSetKey:
            if (!data || !IsIndexField(field)) {
                throw EDatabaseError(Format("Field '%s' is not indexed and cannot be modified", {field.DisplayName()}));
            }
            return;
        case TDataSetState::dsFilter: return;  // values to compare with, not the record's
        case TDataSetState::dsCalcFields:
            if (data) RaiseNotEditing();  // only calculated values are set while calculating
            return;
        default: RaiseNotEditing();
    }
    if (data && field.ReadOnly()) throw EDatabaseError(Format("Field '%s' cannot be modified", {field.DisplayName()}));
}

void TDataSet::SetFieldData(TField& field, const void* buffer) {
    CheckFieldWrite(field);
    InternalSetFieldData(field, buffer);
    if (IsEditMode(state_)) FieldChanged(field);
}

void TDataSet::FieldChanged(TField& field) {
    if (state_ != TDataSetState::dsSetKey && field.FieldKind() == TFieldKind::fkData) {
        modified_ = true;
        if (autoCalcFields_) {
            if (RecordBuffer* buffer = StateBuffer()) CalculateFields(*buffer);
        }
    }
    if (field.OnChange) field.OnChange(field);
    DataEvent(TDataEvent::deFieldChange, &field);
}

}  // namespace fw
