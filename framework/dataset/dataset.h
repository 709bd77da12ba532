#pragma once
// TDataSet: a cursor over records with named fields. It keeps a window of
// record buffers, the navigation flags and the dataset's state (browse, edit,
// insert, key editing and the states that last for one operation); a concrete
// dataset supplies the cursor underneath through the protected operations
// (open, close, fetch one record into a buffer, seek to either end, position
// on a buffer's record), the decoding and storing of a field's bytes, and,
// when it can change its records, the editing hooks (InternalEdit,
// InternalInsert, InternalPost, InternalCancel, InternalDelete,
// InternalAddRecord). The work is split by responsibility: opening, fields,
// states and links (dataset.cpp), moves (dataset_navigation.cpp) and
// editing (dataset_editing.cpp).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/component.h"
#include "framework/dataset/field.h"
#include "framework/dataset/field_defs.h"
#include "framework/format.h"
#include "framework/variant.h"

namespace fw {

class TDataSource;

// The bytes that find a record again; their meaning is the concrete
// dataset's. Empty means no bookmark.
using TBookmark = std::vector<std::uint8_t>;

enum class TDataSetState : std::uint8_t {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsBlockRead,
    dsOpening
};
enum class TDataEvent : std::uint8_t {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    dePropertyChange
};
enum class TFetchMode : std::uint8_t { Current, Next, Prior };
enum class TFetchResult : std::uint8_t { Ok, HitBeginning, HitEnd, Failed };
// Where a buffer's record lies: on a record, before the first, after the last, newly inserted.
enum class TBookmarkFlag : std::uint8_t { Current = 0, BeforeFirst = 1, AfterLast = 2, Inserted = 3 };

using RecordBuffer = std::vector<std::uint8_t>;

// The states in which a record or a key is being changed.
constexpr bool IsEditMode(TDataSetState state) {
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert || state == TDataSetState::dsSetKey;
}

class TDataSet : public TComponent {
public:
    using Event = std::function<void(TDataSet&)>;

    explicit TDataSet(TComponent* owner = nullptr);
    ~TDataSet() override;

    bool Active() const { return state_ != TDataSetState::dsInactive && state_ != TDataSetState::dsOpening; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    // Closing while a record is edited or inserted drops the changes.
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }

    // ---- moves (dataset_navigation.cpp) ----------------------------------------
    // Every move first checks browse mode (a changed record is posted, an
    // unchanged one cancelled) and runs BeforeScroll; AfterScroll follows a
    // move that was made. AtBeginning holds after MoveToFirst and after a
    // move backward that found no earlier record; AtEnd after MoveToLast and
    // after a move forward that found no further record. Either flag is
    // cleared by a move away from its end; on an empty dataset both hold.
    void MoveToFirst();
    void MoveToLast();
    void MoveToNext();   // MoveBy(1)
    void MoveToPrior();  // MoveBy(-1)
    // Moves by `distance` records, toward the end when positive; stops at
    // either end. Returns the signed number of records moved. A move toward
    // an end the dataset is already at does nothing beyond BeforeScroll.
    int MoveBy(int distance);
    bool AtEnd() const { return eof_; }
    bool AtBeginning() const { return bof_; }
    bool IsEmpty() const { return recordCount_ == 0; }
    // Raises EDatabaseError "Cannot perform this operation on a closed dataset" when closed.
    virtual std::int32_t CountRecords();

    // ---- editing (dataset_editing.cpp) -----------------------------------------
    // Edit: starts changing the current record (an empty dataset inserts
    // instead). Insert: a new record before the current one; Append: a new
    // record after the last. Post stores the record, Cancel drops the
    // changes and reads the record again; Delete removes the current record
    // (in insert or key editing it cancels). A dataset whose CanModify is
    // false refuses Edit, Insert, Append and Delete with "Cannot modify a
    // read-only dataset"; Post outside editing raises "Dataset not in edit
    // mode"; Delete on an empty dataset "Cannot perform this operation on an
    // empty dataset". A failure of a Before event or of the concrete
    // dataset's step leaves the state as it was before the call (a failed
    // Post stays in edit or insert with the values written).
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    // Inserts (before the current record) or appends a record with the given
    // values for the fields in order, and posts it, through
    // InternalAddRecord. An Empty value leaves its field as the new record
    // has it, Null clears it. The links hear of it once, at the end.
    void InsertRecord(const std::vector<Variant>& values);
    void AppendRecord(const std::vector<Variant>& values);
    // Asks the links to write a value still being typed into their fields.
    // Raises "Dataset not in edit mode" outside edit, insert and key editing.
    void UpdateRecord();
    // A data field was written since editing started (values given by
    // OnNewRecord do not count).
    bool Modified() const { return modified_; }
    // Whether records can be changed at all; a dataset that supplies the
    // editing hooks says so. The framework's own datasets cannot.
    virtual bool CanModify() const { return false; }
    // Ends a record or key edit before something that needs browse mode:
    // tells the links (details check theirs; also while controls are
    // disabled), then posts a modified record and cancels an unmodified one;
    // a key edit is posted. "Cannot perform this operation on a closed
    // dataset" when closed.
    void CheckBrowseMode();

    // Calculated fields are computed by OnCalcFields with the dataset in
    // calc-fields state, when a record is read and, with AutoCalcFields, when
    // a data field is written in edit or insert.
    bool AutoCalcFields() const { return autoCalcFields_; }
    void SetAutoCalcFields(bool value) { autoCalcFields_ = value; }
    // With Filtered the concrete dataset offers each record it reads to
    // OnFilterRecord (FilterRecord). Changing it on an open dataset checks
    // browse mode and moves to the first record.
    bool Filtered() const { return filtered_; }
    virtual void SetFiltered(bool value);

    // A field's value read or written with the dataset in another state for
    // the time of the call (old-value, new-value); "Cannot perform this
    // operation on a closed dataset" when closed.
    Variant StateFieldValue(TDataSetState state, const TField& field);
    void SetStateFieldValue(TDataSetState state, TField& field, const Variant& value);

    std::size_t FieldCount() const { return fields_.size(); }
    TField& Field(std::size_t index) const { return *fields_.at(index); }
    // Names compare ignoring case as the system's locale does (AnsiSameText).
    TField* FindField(const std::string& name) const;
    // EDatabaseError "Field '%s' not found", prefixed by the dataset's name and ": ".
    TField& FieldNamed(const std::string& name) const;
    // Adds a persistent field (a data field of a column, or a calculated one)
    // to a closed dataset; a dataset with persistent fields makes no default
    // fields. "Cannot perform this operation on an open dataset" when open.
    TField& AddField(std::unique_ptr<TField> field);
    // Bytes the calculated and lookup fields take in a record buffer: each
    // has a flag byte and its value, at its Offset.
    std::size_t CalcFieldsSize() const { return calcFieldsSize_; }
    TFieldDefs& FieldDefs() { return fieldDefs_; }
    const TFieldDefs& FieldDefs() const { return fieldDefs_; }
    // Brings the field definitions up to date when they are out of date, also
    // on a closed dataset, which stays closed (InitFieldDefs). Definitions
    // that are up to date (the open cursor's, or stored ones) are kept.
    void UpdateFieldDefs();

    // The regional settings field texts are made with.
    const FormatSettings& Settings() const { return settings_; }
    void SetSettings(const FormatSettings& settings) { settings_ = settings; }

    // Checks that raise EDatabaseError prefixed by the dataset's name.
    void CheckActive() const;  // "Cannot perform this operation on a closed dataset"
    void CheckInactive();      // "Cannot perform this operation on an open dataset"

    // The data source this dataset follows (a detail's master source); none by default.
    virtual TDataSource* DataSource() const { return nullptr; }

    Event BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeScroll, AfterScroll;
    Event BeforeEdit, AfterEdit, BeforeInsert, AfterInsert, BeforePost, AfterPost;
    Event BeforeCancel, AfterCancel, BeforeDelete, AfterDelete;
    // Gives a new record its first values, in insert state.
    Event OnNewRecord;
    // Sets the calculated fields of the record in calc-fields state.
    Event OnCalcFields;
    // Sets `accept` to false to hide the record, in filter state.
    std::function<void(TDataSet&, bool& accept)> OnFilterRecord;

    // Called by fields: the value of a field in the value format of its type.
    virtual bool GetFieldData(const TField& field, void* buffer) const = 0;
    // Called by fields: writes a value (nullptr clears the field) after the
    // checks of the state: "Dataset not in edit mode" outside edit, insert,
    // key editing, calc-fields (calculated fields only), filter and
    // new-value; "Field '%s' is not indexed and cannot be modified" for a
    // key value of a field that is no index field; "Field '%s' cannot be
    // modified" for a read-only data field (key and filter values aside).
    // In edit and insert a data field's write marks the record modified and
    // recalculates the calculated fields (AutoCalcFields); in edit, insert
    // and key editing it is told to the field's OnChange and the links. (A
    // dataset that starts key editing marks itself modified if it wants to:
    // a key built for a moment, as a detail's range is, leaves no trace.)
    void SetFieldData(TField& field, const void* buffer);

    // The value of `resultField` in the first record whose `keyFields` equal
    // `keys` (VarNotEqual false for each), Null when none does; the dataset
    // stays on its record. By default the records are read in order, the
    // links told nothing; a dataset that can seek may do better. Null on a
    // closed dataset.
    virtual Variant LookupFieldValue(const std::vector<std::string>& keyFields, const std::vector<Variant>& keys,
                                     const std::string& resultField);

    // A stream over a blob field's value in the record the state reads (the
    // current record, the one being edited, ...). None from a dataset
    // without blob values, as the framework's own datasets are.
    virtual std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode);

    // Called by data sources.
    void AddDataSource(TDataSource& source);
    void RemoveDataSource(TDataSource& source);

    // While controls are disabled the links hear nothing (except the check of
    // browse mode). The calls nest; the last EnableControls tells the links
    // once what changed meanwhile: a new state, then, on a dataset that was
    // and is open, its whole content, or its layout when it closed or
    // changed its layout in between (so links that hold fields find them
    // again). Enabling more often than disabling does nothing.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ != 0; }

    // ---- bookmarks and record numbers (dataset_bookmarks.cpp) ------------------
    // The active record's bookmark in browse, edit and insert; none while the
    // dataset is closed or empty, when the active buffer holds no record of
    // the cursor's (before the first, after the last, a new one), and for a
    // dataset that gives no bookmarks.
    TBookmark GetBookmark() const;
    TBookmark Bookmark() const { return GetBookmark(); }
    void SetBookmark(const TBookmark& bookmark) { GotoBookmark(bookmark); }
    // Makes the bookmark's record the active one, the window read anew with
    // it in the middle: checks browse mode, BeforeScroll, positions the
    // cursor, reads, AfterScroll. No bookmark does nothing. A bookmark whose
    // record cannot be read raises "Record not found".
    void GotoBookmark(const TBookmark& bookmark);
    // Whether the bookmark still finds a record; false for a dataset that
    // gives no bookmarks.
    virtual bool IsBookmarkValid(const TBookmark& bookmark);
    // -1, 0 or 1 as the first bookmark's record lies before, at or after the
    // second's; 0 for a dataset that gives no bookmarks.
    virtual int CompareBookmarkPair(const TBookmark& first, const TBookmark& second);
    // The active record's number; -1 for a dataset that does not number its records.
    virtual std::int32_t RecordNumber() const;
    // Makes the record of that number the active one; nothing for a dataset
    // that does not number its records.
    virtual void SetRecordNumber(std::int32_t number);

protected:
    // Called inside the handler of a failure while the window reads ahead:
    // hands it to the application's exception hook when one is installed,
    // else raises it again.
    virtual void InternalHandleException();
    // A property that shapes the dataset's records or order changed while it
    // was closed (its statement, its table): the links hear of it.
    virtual void PropertyChanged() { DataEvent(TDataEvent::dePropertyChange); }
    // What a concrete dataset supplies.
    virtual void OpenEngineCursor() = 0;
    virtual void CloseEngineCursor() = 0;
    virtual bool CursorIsOpen() const = 0;
    virtual TFetchResult FetchRecord(RecordBuffer& buffer, TFetchMode mode) = 0;
    virtual void SeekBeforeFirst() = 0;
    virtual void SeekAfterLast() = 0;
    virtual void PositionOnBuffer(const RecordBuffer& buffer) = 0;
    virtual std::size_t RecordBufferSize() const = 0;
    virtual TBookmarkFlag BookmarkFlagOf(const RecordBuffer& buffer) const = 0;
    virtual void SetBookmarkFlag(RecordBuffer& buffer, TBookmarkFlag flag) = 0;
    // The bookmark a buffer carries, and writing one into a buffer. Insert
    // gives the new record the bookmark of the record it goes before, so
    // PositionOnBuffer of the new record finds that record.
    virtual TBookmark BookmarkDataOf(const RecordBuffer&) const { return {}; }
    virtual void SetBookmarkData(RecordBuffer&, const TBookmark&) {}
    // Stores a field's value (nullptr: clears it) where the state says:
    // StateBuffer for records, the dataset's own key for key editing. Only
    // called once SetFieldData's checks passed.
    virtual void InternalSetFieldData(TField& field, const void* buffer) = 0;
    // Whether a key value may be given for the field in key editing; every
    // data field by default.
    virtual bool IsIndexField(const TField& field);
    virtual std::unique_ptr<TField> CreateFieldObject(const TFieldDef& def);
    virtual void DoAfterOpen();
    // Fills the field definitions from the source, also when the dataset is
    // closed; by default there is nothing to read.
    virtual void InitFieldDefs() {}

    // Editing hooks. The framework calls each with the cursor on the active
    // record (UpdateCursorPos) and re-reads the window from the cursor after
    // Post, Cancel and Delete.
    // Prepares the active record for changes (a lock, a copy of the old
    // values); may read the record again into the active buffer. A failure
    // leaves the dataset in browse mode.
    virtual void InternalEdit() {}
    // The active buffer holds a new record (InitRecord done); its flag says
    // where it goes: Inserted, with the bookmark of the record it goes
    // before; BeforeFirst in an empty dataset; AfterLast when appended.
    virtual void InternalInsert() {}
    // Stores the active buffer: in edit over the record at the cursor, in
    // insert as a new record before the cursor's record (after the last when
    // the cursor is after the last). Leaves the cursor on the stored record.
    // A failure leaves the dataset in edit or insert, the values kept. By
    // default the dataset is read-only.
    virtual void InternalPost();
    // Undoes what InternalEdit or InternalInsert prepared; the record's
    // values come back by the re-read. Also runs when a dataset closes while
    // editing, and after a failed OnNewRecord; it should not fail.
    virtual void InternalCancel() {}
    // Removes the record at the cursor (the dataset may be in edit on it)
    // and leaves the cursor where a fetch of the current record, else of the
    // next or prior one, finds its neighbour. By default the dataset is
    // read-only.
    virtual void InternalDelete();
    // Stores `buffer` (the active buffer) as a new record in one step, at
    // the end when `append`, else before the cursor's record, and leaves the
    // cursor on it (InsertRecord, AppendRecord). By default read-only.
    virtual void InternalAddRecord(RecordBuffer& buffer, bool append);
    // Prepares a buffer for a new record: InternalInitRecord, ClearCalcFields
    // and the flag Inserted. A concrete dataset adds its own bookkeeping.
    virtual void InitRecord(RecordBuffer& buffer);
    // Empties a new record's values; zero bytes by default.
    virtual void InternalInitRecord(RecordBuffer& buffer);
    // Empties the calculated-field area of a buffer.
    virtual void ClearCalcFields(RecordBuffer&) {}
    // Ends key editing: keeps the key when `commit`, else restores the one
    // saved when key editing started. The framework then returns to browse.
    virtual void PostKeyBuffer(bool /*commit*/) {}
    // Runs OnNewRecord; a detail first gives the new record its master's key.
    virtual void DoOnNewRecord();

    // Helpers for concrete datasets.
    // Ties a persistent data field to its column, counted from 1, at open.
    static void BindFieldNo(TField& field, std::int32_t fieldNo) { field.fieldNo_ = fieldNo; }
    void CreateDefaultFields();
    void DestroyDefaultFields();
    bool DefaultFields() const { return defaultFields_; }
    // The buffer of the current record, nullptr when there is none.
    const RecordBuffer* ActiveBuffer() const;
    // The record buffer the state reads and writes: the active buffer in
    // browse, edit, insert, new-value and block-read (none when empty), the
    // calculation buffer in calc-fields, the buffer being filtered in filter.
    // None in key editing and old-value, whose values the dataset keeps.
    RecordBuffer* StateBuffer();
    const RecordBuffer* StateBuffer() const;
    // Computes the calculated fields of a buffer (OnCalcFields in calc-fields
    // state on that buffer) when there are any; for FetchRecord.
    void CalculateFields(RecordBuffer& buffer);
    // Offers a buffer to OnFilterRecord in filter state; true when it is
    // accepted or there is nothing to ask.
    bool FilterRecord(RecordBuffer& buffer);
    void SetModified(bool modified) { modified_ = modified; }
    // Empties and reallocates the buffer window, e.g. after the record layout changed.
    void ReallocateBuffers();
    // Fills the window again around the active record, read anew, keeping it
    // on its row; without one, from the first record.
    void Resync();
    // Marks the cursor as no longer on any buffered record.
    void CursorPosChanged() { currentRecord_ = -1; }
    // Brings the cursor underneath to the current record, when there is one.
    void UpdateCursorPos() {
        if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
    }
    // A state that lasts for one operation (a key being built, ...).
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state) { state_ = state; }
    // A new state, told to the links; the record counts as unmodified.
    void SetState(TDataSetState state);
    void DataEvent(TDataEvent event, TField* field = nullptr, int distance = 0);
    // Prefixes the dataset's name and ": " when it has one.
    std::string Prefixed(const std::string& message) const;
    // Closes on a way out (a destructor, a master that went): the events and
    // links are told as by Close, but a failure among them is dropped and the
    // cursor is released whatever happened.
    void CloseQuietly() noexcept;

    // Bookmarks (dataset_bookmarks.cpp): what a concrete dataset that gives
    // them supplies, and the window read around the cursor.
    // The bookmark a buffer's record carries is BookmarkDataOf's (none by default).
    // Puts the cursor underneath on the bookmark's record. By default the
    // dataset gives no bookmarks and refuses.
    virtual void PositionOnBookmark(const TBookmark& bookmark);
    // Reads the window anew around the record the cursor stands on, which
    // becomes the active record in the window's middle row. Exact: that very
    // record, else "Record not found" with the window left as it was;
    // otherwise, when that record cannot be read, the next one, else the
    // prior one, else the window stays empty. The links hear of a changed
    // dataset.
    void ReadWindowAroundCursor(bool exact);

private:
    void OpenCursor();
    void CloseCursor();
    void ReleaseCursor() noexcept;
    void DiscardEdit() noexcept;
    void ClearBuffers();
    bool GetNextRecord();
    // Fill the rest of the window after (before) the records read; a
    // failure goes through InternalHandleException.
    void GetNextRecords();
    bool GetPriorRecord();
    void GetPriorRecords();
    void MoveToEnd(bool last);
    void SetCurrentRecord(int index);
    std::size_t WantedBufferCount() const;
    void BindCalcFields();
    // Sets every lookup field of the record being calculated (dataset_lookup.cpp).
    void CalculateLookupFields();
    // Fills the window from the cursor's record (else the next, else the
    // prior one), the active record keeping its row.
    void ResyncFromCursor();
    // Editing steps (dataset_editing.cpp).
    void CheckCanModify() const;
    [[noreturn]] void RaiseNotEditing() const;
    void BeginInsertAppend();
    void PlaceNewRecord(bool append);
    void EndInsertAppend();
    void AbandonInsert(bool started) noexcept;
    void AddRecord(const std::vector<Variant>& values, bool append);
    void CheckFieldWrite(TField& field);
    void FieldChanged(TField& field);
    void CheckRequiredFields() const;
    void EndKeyEdit(bool commit);

    TDataSetState state_ = TDataSetState::dsInactive;
    TFieldDefs fieldDefs_;
    std::vector<std::unique_ptr<TField>> fields_;
    bool defaultFields_ = false;
    std::vector<RecordBuffer> buffers_;  // bufferCount_ + 1: the last is the spare
    std::size_t bufferCount_ = 0;
    int recordCount_ = 0;
    int activeRecord_ = 0;
    int currentRecord_ = -1;  // the buffer the cursor stands on, -1 unknown
    bool bof_ = true;
    bool eof_ = true;
    bool modified_ = false;
    bool autoCalcFields_ = true;
    bool filtered_ = false;
    std::size_t calcFieldsSize_ = 0;
    RecordBuffer* calcBuffer_ = nullptr;    // in calc-fields state
    RecordBuffer* filterBuffer_ = nullptr;  // in filter state
    FormatSettings settings_;
    std::vector<TDataSource*> sources_;
    int disableCount_ = 0;
    TDataSetState disableState_ = TDataSetState::dsInactive;  // when the controls were disabled
    TDataEvent enableEvent_ = TDataEvent::deDataSetChange;    // told when they are enabled

    // Reads the record before the window's first one into the first row; for
    // ReadWindowAroundCursor, whose window is not yet full.
    bool ReadPriorIntoWindow();
};

}  // namespace fw
