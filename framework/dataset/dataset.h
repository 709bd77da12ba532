#pragma once
// TDataSet: a cursor over records with named fields. It keeps a window of
// record buffers and the navigation flags; a concrete dataset supplies the
// cursor underneath through the protected operations (open, close, fetch one
// record into a buffer, seek to either end, position on a buffer's record)
// and the decoding of a field's bytes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/component.h"
#include "framework/dataset/field.h"
#include "framework/dataset/field_defs.h"
#include "framework/format.h"

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
    deUpdateState
};
enum class TFetchMode : std::uint8_t { Current, Next, Prior };
enum class TFetchResult : std::uint8_t { Ok, HitBeginning, HitEnd, Failed };
// Where a buffer's record lies: on a record, before the first, after the last, newly inserted.
enum class TBookmarkFlag : std::uint8_t { Current = 0, BeforeFirst = 1, AfterLast = 2, Inserted = 3 };

using RecordBuffer = std::vector<std::uint8_t>;

class TDataSet : public TComponent {
public:
    explicit TDataSet(TComponent* owner = nullptr);
    ~TDataSet() override;

    bool Active() const { return state_ != TDataSetState::dsInactive && state_ != TDataSetState::dsOpening; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }

    void MoveToFirst();
    void MoveToNext();  // a move by one record
    bool AtEnd() const { return eof_; }
    bool AtBeginning() const { return bof_; }
    bool IsEmpty() const { return recordCount_ == 0; }
    // Raises EDatabaseError "Cannot perform this operation on a closed dataset" when closed.
    virtual std::int32_t CountRecords();

    std::size_t FieldCount() const { return fields_.size(); }
    TField& Field(std::size_t index) const { return *fields_.at(index); }
    // Names compare ignoring case as the system's locale does (AnsiSameText).
    TField* FindField(const std::string& name) const;
    // EDatabaseError "Field '%s' not found", prefixed by the dataset's name and ": ".
    TField& FieldNamed(const std::string& name) const;
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
    void CheckBrowseMode();    // also ends a key edit

    // The data source this dataset follows (a detail's master source); none by default.
    virtual TDataSource* DataSource() const { return nullptr; }

    std::function<void(TDataSet&)> BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeScroll, AfterScroll;

    // Called by fields: the value of a field in the value format of its type.
    virtual bool GetFieldData(const TField& field, void* buffer) const = 0;
    virtual void SetFieldData(TField& field, const void* buffer) = 0;

    // Called by data sources.
    void AddDataSource(TDataSource& source);
    void RemoveDataSource(TDataSource& source);

    // While controls are disabled the links hear nothing. The calls nest; the
    // last EnableControls tells the links once what changed meanwhile: a new
    // state, then, on a dataset that was and is open, its whole content, or
    // its layout when it closed or changed its layout in between (so links
    // that hold fields find them again). Enabling more often than disabling
    // does nothing.
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
    virtual std::unique_ptr<TField> CreateFieldObject(const TFieldDef& def);
    virtual void DoAfterOpen();
    // Fills the field definitions from the source, also when the dataset is
    // closed; by default there is nothing to read.
    virtual void InitFieldDefs() {}

    // Helpers for concrete datasets.
    void CreateDefaultFields();
    void DestroyDefaultFields();
    bool DefaultFields() const { return defaultFields_; }
    // The buffer of the current record, nullptr when there is none.
    const RecordBuffer* ActiveBuffer() const;
    // Empties and reallocates the buffer window, e.g. after the record layout changed.
    void ReallocateBuffers();
    // Fills the window again around the cursor's current record.
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
    void SetState(TDataSetState state);
    void DataEvent(TDataEvent event, TField* field = nullptr);
    // Prefixes the dataset's name and ": " when it has one.
    std::string Prefixed(const std::string& message) const;
    // Closes on a way out (a destructor, a master that went): the events and
    // links are told as by Close, but a failure among them is dropped and the
    // cursor is released whatever happened.
    void CloseQuietly() noexcept;

    // Bookmarks (dataset_bookmarks.cpp): what a concrete dataset that gives
    // them supplies, and the window read around the cursor.
    // The bookmark a buffer's record carries; none by default.
    virtual TBookmark BookmarkOfBuffer(const RecordBuffer&) const { return {}; }
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
    void ClearBuffers();
    bool GetNextRecord();
    void GetNextRecords();
    void SetCurrentRecord(int index);
    std::size_t WantedBufferCount() const;

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
