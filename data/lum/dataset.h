#pragma once
// TLumDataSet: the common base of the layer's datasets. It turns an engine
// cursor (a table or an SQL result) into the framework's dataset. A subclass
// supplies only AcquireCursorHandle, the step that obtains the engine handle.
// The class is one object but several responsibilities, each in a file of its
// own and a section below: binding to a connection (binding.cpp), the cursor
// and its record buffers (dataset.cpp), fields (dataset_fields.cpp), the
// index order (index_order.cpp), extra index files (index_files.cpp), the
// range that keeps a detail on its master's record (master_detail.cpp),
// record numbers, bookmarks and the version text (dataset_bookmarks.cpp),
// the editing of records (dataset_editing.cpp), filters
// (dataset_filters.cpp), locating records by key values
// (dataset_locate.cpp) and the user's own scope and range editing
// (user_scope.cpp).
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/lum/blob_cache.h"
#include "data/lum/engine.h"
#include "data/lum/errors.h"
#include "data/lum/fields.h"
#include "data/lum/index_files.h"
#include "data/lum/locate_expression.h"
#include "data/lum/master_detail.h"
#include "data/lum/table_options.h"
#include "data/lum/table_types.h"
#include "framework/dataset/data_link.h"
#include "framework/dataset/data_source.h"
#include "framework/dataset/dataset.h"

namespace lum {

class TLumConnection;
class TLumSQLCursor;
class TParams;

enum class TLumSequencedLevel : std::uint8_t { slStandard, slExact };
enum class TIndexSelection : std::uint8_t { None, ByName, ByFields, DictionaryDefault };

// The record info block of a record buffer, after the calculated area and
// the blob cache slots.
struct RecordInfo {
    std::int32_t RecordNumber;
    std::uint8_t Zero;
    std::uint8_t BookmarkFlag;  // fw::TBookmarkFlag
    std::uint8_t Spare[2];
};
static_assert(sizeof(RecordInfo) == 8);

// The handle a dataset holds when it has none.
constexpr LUMHANDLE NoHandle = static_cast<LUMHANDLE>(-1);

// Whether following the masters upward from `source` reaches `target`: a
// master link that would make a circle.
bool MasterChainReaches(const fw::TDataSource* source, const fw::TDataSet& target);

// The memo and binary column types (not the 51/52 blob types) each keep a
// blob cache slot in the record buffer.
constexpr bool HasBlobCacheSlot(std::uint16_t type) { return type >= LUM_MEMO && type <= LUM_VARCHAR_MEMO; }

class TLumDataSet : public fw::TDataSet {
public:
    explicit TLumDataSet(fw::TComponent* owner = nullptr);
    ~TLumDataSet() override;

    const LumFunctions& Engine() const { return *engine_; }
    void SetEngine(const LumFunctions& engine) { engine_ = &engine; }

    LUMHANDLE CursorHandle() const { return cursorHandle_; }
    LUMHANDLE ActiveHandle() const { return activeHandle_; }
    std::uint32_t RecordSize() const { return recordSize_; }
    std::uint16_t EngineTableType() const { return engineTableType_; }
    std::uint16_t OpenCharType() const { return openCharType_; }
    std::uint32_t TableOpenOptions() const { return tableOpenOptions_; }
    bool CursorWritable() const { return cursorWritable_; }
    const TLCEFieldDefs& LCEFieldDefs() const { return lceFieldDefs_; }
    TLumTableOptions& LumTableOptions() { return *options_; }
    const TLumTableOptions& LumTableOptions() const { return *options_; }

    // Table format; refused while open.
    TLumTableTypes TableType() const { return tableType_; }
    virtual void SetTableType(TLumTableTypes type);
    std::uint16_t OpenTableType() const { return openTableType_; }

    // Binding to a connection and a working folder.
    const std::string& DatabaseName() const { return databaseName_; }
    virtual void SetDatabaseName(const std::string& name);
    TLumConnection* LumConnection() const { return connection_; }
    void SetLumConnection(TLumConnection* connection);
    // The folder of the lum.ini alias DatabaseName names; empty otherwise.
    const std::string& AliasPath() const { return aliasPath_; }
    std::string ResolveDatabasePath();
    LUMHANDLE AcquireConnectionHandle();
    virtual std::string TableName() const { return {}; }

    // Index order: by field names or by index name (each empties the other).
    const std::string& IndexFieldNames() const { return indexFieldNames_; }
    void SetIndexFieldNames(const std::string& names);
    const std::string& IndexName() const { return indexName_; }
    void SetIndexName(const std::string& name);
    TIndexSelection IndexSelection() const { return indexSelection_; }
    const std::string& DictionaryDefaultIndex() const { return dictionaryDefaultIndex_; }
    // The engine's index definitions, read when out of date; definitions
    // given from outside (SetIndexDefs, a stored description) are shown as
    // they are while the dataset is closed.
    const fw::TIndexDefs& IndexDefs();
    // Copies the definitions: out of date for the engine, shown while closed.
    void SetIndexDefs(const fw::TIndexDefs& defs);
    // The same for the field definitions, whose getter is FieldDefs().
    void SetFieldDefs(const fw::TFieldDefs& defs);
    // The data dictionary's default index; a table reads it, a query has none.
    virtual void ReadDefaultIndex() {}
    // Index files opened on the cursor besides its own, named within the database folder.
    TLumIndexFiles& IndexFiles() { return indexFiles_; }
    const TLumIndexFiles& IndexFiles() const { return indexFiles_; }
    void SetIndexFiles(const std::vector<std::string>& files) { indexFiles_.Assign(files); }
    // Opens an index file on the open cursor: a name without "/" or "\" lies
    // in the database folder. "Table must be Active." when closed.
    void OpenIndexFile(const std::string& file);
    // Closes the index file of that file name (its folder is not compared);
    // when the active index lay in it, the order becomes the natural one.
    // "Table must be Active." when closed.
    void CloseIndexFile(const std::string& file);

    // Master-detail: the detail shows the records whose active index key
    // equals the master's current values of MasterFields.
    fw::TDataSource* MasterSource() const { return masterLink_.DataSource(); }
    // "Circular Data Link" when the source leads back to this dataset.
    void SetMasterSource(fw::TDataSource* source);
    const std::string& MasterFields() const { return masterFields_; }
    void SetMasterFields(const std::string& fields);
    fw::TDataSource* DataSource() const override { return MasterSource(); }

    bool Sequenced() const { return sequenced_; }
    void SetSequenced(bool value) { sequenced_ = value; }
    TLumSequencedLevel SequencedLevel() const { return sequencedLevel_; }
    void SetSequencedLevel(TLumSequencedLevel value) { sequencedLevel_ = value; }

    std::int32_t CountRecords() override;
    bool GetFieldData(const fw::TField& field, void* buffer) const override;

    // Told by the connection after it closed this dataset and disconnected.
    virtual void ConnectionClosed() {}
    // Changes the engine's read-ahead of the open cursor.
    void ApplyRecordCache(std::uint16_t records);
    // The collation the dataset opens with.
    std::string CollationName() const;

    // Engine-result check on behalf of this dataset.
    void Check(UNSIGNED32 result) { CheckLCEResult(*engine_, this, result); }

    // ---- blobs (blob_cache.cpp, blob_stream.cpp) ------------------------------
    // A TLumBlobStream over a memo or binary field (see blob_stream.h).
    std::unique_ptr<fw::TStream> CreateBlobStream(fw::TField& field, fw::TBlobStreamMode mode) override;

    // ---- refreshing (dataset_refresh.cpp) -------------------------------------
    // Reads the current record again as the engine holds it now (writes of
    // other handles and programs included), and the records around it; the
    // dataset stays on its record. Checks browse mode first.
    void RefreshRecord();

    // ---- provider support (dataset_provider.cpp) ------------------------------
    // What a data-provider component asks of any dataset of the layer: SQL
    // statements, quoted with the double quote, run through the connection.
    bool PSIsSQLBased() const { return true; }
    std::string PSGetQuoteChar() const { return "\""; }
    // Runs a statement through the dataset's connection with its options and
    // returns the engine's row count; with `cursor` a result cursor is handed
    // back. Without a LumConnection the layer's message says one is needed.
    std::uint32_t PSExecuteStatement(const std::string& sql, const TParams* params = nullptr,
                                     TLumSQLCursor* cursor = nullptr);
    // Opens the closed dataset over a cursor handed in from outside, such as
    // the result cursor of a provider statement, instead of one of its own:
    // the dataset closes it when it closes, or at once when opening fails.
    void OpenOnCursor(TLumSQLCursor cursor);
    // Not supported by the layer's datasets; each raises its message.
    [[noreturn]] void BatchMove();
    [[noreturn]] void UpdateStatus() const;

    // ---- editing (dataset_editing.cpp) ------------------------------------------
    // Records can be changed when the engine cursor is writable and the
    // component is not read-only.
    bool CanModify() const override { return cursorWritable_ && !ComponentReadOnly(); }
    // The record buffer copied when editing of the current record started;
    // none before the first edit and after close.
    const fw::RecordBuffer* OldRecordBuffer() const { return oldRecord_.empty() ? nullptr : &oldRecord_; }

    // ---- filters (dataset_filters.cpp) -----------------------------------------
    // The engine expression the records must meet while Filtered; on LDT
    // tables it passes through the engine's short form and back, and a
    // quoted value ending in "*" matches as a prefix. Changing it on an
    // open, filtered dataset applies it at once and moves to the first record.
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& text);
    // Applies or clears the filter on an open dataset, then moves to the first record.
    void SetFiltered(bool value) override;

    // ---- the last auto-increment value --------------------------------------
    // The value the last insert through the dataset's engine handle gave its
    // auto-increment column (LumGetLastAutoinc); 0 while the dataset holds no
    // handle. A table asks its cursor, a query its statement.
    virtual std::uint32_t LastAutoinc();

    // ---- record numbers, bookmarks and version (dataset_bookmarks.cpp) -------
    // The active record's number as it was read with the record (0 when the
    // dataset is empty); "Cannot perform this operation on a closed dataset"
    // when closed.
    std::int32_t RecordNumber() const override;
    // Moves to the record of that number: with Sequenced and slExact by
    // skipping from the top of the order; on an index by its relative key
    // position (number / record count, at most 1.0); else by the engine's
    // record number, falling back to skipping from the top when the engine
    // has no such record and the dataset is Sequenced.
    void SetRecordNumber(std::int32_t number) override;
    // False when closed, for no bookmark, and when the bookmark's record
    // cannot be reached or is deleted (DBF types) while the engine hides
    // deleted records. Leaves the cursor's position unknown.
    bool IsBookmarkValid(const fw::TBookmark& bookmark) override;
    // No bookmark sorts after every bookmark; two are compared by the engine.
    int CompareBookmarkPair(const fw::TBookmark& first, const fw::TBookmark& second) override;
    // "10.0.0.3 (LCE <major>.<minor, two digits>[letter])" of the linked engine.
    std::string Version();
    // The version is read-only; a stored or written value is ignored.
    void SetVersion(const std::string& /*ignored*/) {}
    // The engine's image of the active record, read afresh into `image`
    // (RecordSize bytes); false when the dataset is empty or the active
    // buffer holds no stored record (a new one, or none).
    bool GetCurrentRecord(std::vector<std::uint8_t>& image);

    // ---- locating records (dataset_locate.cpp) --------------------------------
    // Makes the first record whose key fields (names joined by ";") hold the
    // values the active one, one value per field (Null or Empty: an empty
    // field). loPartialKey lets a text value match the start of a field,
    // loCaseInsensitive ignores letter case. An index that leads with the key
    // fields is searched with a key seek; otherwise each record in the active
    // order is tested with an engine expression. False, the active record
    // unchanged, when no visible record matches.
    bool Locate(const std::string& keyFields, const std::vector<fw::Variant>& keyValues, TLocateOptions options);
    // The values of the result fields (names joined by ";") of the first
    // record that Locate would find without options, each Null when none
    // matches; the active record stays. Calculated result fields read Null.
    std::vector<fw::Variant> Lookup(const std::string& keyFields, const std::vector<fw::Variant>& keyValues,
                                    const std::string& resultFields);
    // Makes the first, last, next or prior record that OnFilterRecord accepts
    // the active one, whether Filtered is set or not; false, the active record
    // unchanged, when there is none. "Expected OnFilterRecord event." without
    // a handler.
    bool FindRecord(bool restart, bool goForward);
    bool FindFirst() { return FindRecord(true, true); }
    bool FindLast() { return FindRecord(true, false); }
    bool FindNext() { return FindRecord(false, true); }
    bool FindPrior() { return FindRecord(false, false); }

    // ---- the user scope and range editing (user_scope.cpp) ----------------------
    // While Scoped, navigation keeps within the keys from ScopeBegin to ScopeEnd
    // (texts of the active index's first segment; an empty text leaves that end
    // open). Setting it on an open dataset activates or clears the scope at
    // once: "Cannot activate scope when there is no active index." in natural
    // order, "Cannot activate scope when there is an active range." over a
    // range; a closed dataset activates it when it opens. A range for a
    // master is refused while Scoped; choosing another index switches it off.
    bool Scoped() const { return scoped_; }
    void SetScoped(bool value);
    // Refused beyond 4082 characters ("Scope text length exceeded 4082");
    // a scope in force keeps its texts until it is activated again.
    const std::string& ScopeBegin() const { return scopeBegin_; }
    void SetScopeBegin(const std::string& text);
    const std::string& ScopeEnd() const { return scopeEnd_; }
    void SetScopeEnd(const std::string& text);
    // Key editing of the range's start or end on the active index ("Index is
    // not set." in natural order): field writes go into that key until
    // ApplyRange sends the range (ending the editing) or Cancel drops them.
    void EditRangeStart();
    void EditRangeEnd();
    // Ends range editing and sends the range when it changed, moving to the
    // first record in it.
    void ApplyRange() { ActivateRange(); }
    // Removes an applied range.
    void CancelRange() { DropRange(); }
    // The field number (from 1; 0 for none) of the active index's segment
    // (from 0); "Internal Error: GetSegmentFieldNum : No Active Index" in
    // natural order.
    int GetSegmentFieldNum(std::uint16_t segment);

protected:
    // A buffer's bookmark, BookmarkSize bytes; the cursor put on a bookmark's record.
    fw::TBookmark BookmarkDataOf(const fw::RecordBuffer& buffer) const override;
    void SetBookmarkData(fw::RecordBuffer& buffer, const fw::TBookmark& bookmark) override;
    void PositionOnBookmark(const fw::TBookmark& bookmark) override;

    // Open the engine table or run the statement; set EngineTableType.
    virtual LUMHANDLE AcquireCursorHandle() = 0;
    virtual std::int32_t CurrentRecordNumber();
    // The engine reports the writable cursor as opened exclusively.
    virtual void CursorOpenedExclusively() {}
    // LumOptimizedFilters changed on this open dataset, away from `wasOptimized`.
    // A filtered dataset clears its filter in the old mode, applies it in the
    // new one and moves to the first record; one without a filter does nothing.
    virtual void FilterModeChanged(bool wasOptimized);
    void SetEngineTableType(std::uint16_t type) { engineTableType_ = type; }
    void SetOpenTableType(std::uint16_t type) { openTableType_ = type; }
    // Reads the table's character type and aligns LumCharType with it.
    void ReadCharType(LUMHANDLE handle);
    // Whether the dataset is a table, for the engine table type rules.
    bool Bound() const { return connection_ != nullptr; }
    // The dictionary default is chosen directly, leaving IndexFieldNames as it is.
    void SelectDictionaryDefault(const std::string& indexName);
    void ForgetDictionaryDefault();
    // A property that shapes the cursor changed: the index definitions are read again.
    void MarkIndexDefsStale() {
        indexDefs_.SetUpdated(false);
        indexDefsGiven_ = false;
    }
    // A property that shapes the cursor changed (statement, table, database):
    // field and index definitions are read again when next asked for, and
    // the links hear of the change.
    void MarkDefsStale() {
        FieldDefs().SetUpdated(false);
        fieldDefsGiven_ = false;
        PropertyChanged();
    }
    void PropertyChanged() override {
        MarkIndexDefsStale();
        fw::TDataSet::PropertyChanged();
    }
    // The field definitions from the open cursor; while closed, the ones set
    // from outside, else those of a handle acquired for the purpose and
    // closed again, the dataset staying closed.
    void InitFieldDefs() override;
    // Definitions set from outside: out of date for the engine, shown while
    // closed; DefChanged is told.
    fw::TIndexDefs& GivenIndexDefs();
    fw::TFieldDefs& GivenFieldDefs();
    // The index definitions as they are, without reading the engine.
    const fw::TIndexDefs& IndexDefsHeld() const { return indexDefs_; }
    // Told when the field or index definitions are changed from outside.
    virtual void DefChanged() {}
    // A range on the active index from values given for its key: each value
    // for the field it names, or, without a name, for the segment at its
    // position. CancelRange removes an applied range.
    struct RangeValue {
        std::string Field;
        fw::Variant Value;
    };
    void ApplyRange(const std::vector<RangeValue>& values);

    // Framework hooks.
    void OpenEngineCursor() override;
    void CloseEngineCursor() override;
    bool CursorIsOpen() const override { return cursorHandle_ != NoHandle; }
    fw::TFetchResult FetchRecord(fw::RecordBuffer& buffer, fw::TFetchMode mode) override;
    void SeekBeforeFirst() override;
    void SeekAfterLast() override;
    void PositionOnBuffer(const fw::RecordBuffer& buffer) override;
    std::size_t RecordBufferSize() const override { return recordBufferSize_; }
    fw::TBookmarkFlag BookmarkFlagOf(const fw::RecordBuffer& buffer) const override;
    void SetBookmarkFlag(fw::RecordBuffer& buffer, fw::TBookmarkFlag flag) override;
    std::unique_ptr<fw::TField> CreateFieldObject(const fw::TFieldDef& def) override;
    // Stores a value where the state says (the framework has checked the
    // state and the field): the record buffer of the state, or the key
    // being built in key editing.
    void InternalSetFieldData(fw::TField& field, const void* buffer) override;
    // A table or query the user made read-only.
    virtual bool ComponentReadOnly() const { return false; }

    // Editing hooks (dataset_editing.cpp).
    void InternalEdit() override;
    void InternalInsert() override;
    void InternalPost() override;
    void InternalCancel() override;
    void InternalDelete() override;
    void InternalAddRecord(fw::RecordBuffer& buffer, bool append) override;
    void InitRecord(fw::RecordBuffer& buffer) override;
    void InternalInitRecord(fw::RecordBuffer& buffer) override;
    void ClearCalcFields(fw::RecordBuffer& buffer) override;
    void PostKeyBuffer(bool commit) override;
    void DoOnNewRecord() override;
    // The default value of a column for a new record, as text the field
    // converts; none here (a table reads its dictionary's).
    virtual std::optional<std::string> ColumnDefault(const TLCEFieldDef& /*column*/) { return std::nullopt; }
    void DoAfterOpen() override;
    void Notification(fw::TComponent& component, fw::Operation operation) override;

private:
    friend class TLumConnection;
    friend class TLumTableOptions;
    friend class TLumIndexFiles;

    // ---- binding (binding.cpp) ----------------------------------------------
    void AttachTo(TLumConnection* connection);
    // Takes the table type an alias names, also while opening.
    void AdoptTableType(TLumTableTypes type);

    // ---- cursor and record buffers (dataset.cpp) ----------------------------
    void ComputeBufferLayout();
    // The block after the calculated area and the blob cache slots.
    struct RecordInfo {
        std::int32_t RecordNumber;
        std::uint8_t Zero;
        std::uint8_t BookmarkFlag;
        std::uint8_t Spare[2];
    };
    static_assert(sizeof(RecordInfo) == 8);
    void LoadRecordImage(fw::RecordBuffer& buffer);
    // Persistent data fields find their columns by name at every open:
    // "Field '%s' not found" for one the cursor lacks, "Type mismatch for
    // field '%s', expecting: %s actual: %s" for one of another type.
    void BindPersistentFields();
    // Positions the cursor on the record of a bookmark's first 32 bits,
    // unless a record is being inserted; a record that is gone is no failure.
    void GotoEngineBookmark(std::uint32_t bookmark);

    // ---- fields (dataset_fields.cpp) ----------------------------------------
    void LoadFieldDefs(LUMHANDLE handle);
    void LoadFieldDef(LUMHANDLE handle, UNSIGNED16 number);
    void MapNumericColumn(LUMHANDLE handle, LUMFIELD column, UNSIGNED32 length, UNSIGNED16& decimals,
                          fw::TFieldType& type, std::int32_t& size);
    RecordContext Context() const;
    const std::uint8_t* FieldSource() const;

    // ---- index order (index_order.cpp) --------------------------------------
    void ReadIndexDefsFromEngine();
    LUMHANDLE IndexHandleForFields(const std::string& names);
    void ChooseActiveIndex();
    struct IndexChoice {
        std::string name;
        std::string fieldNames;
        TIndexSelection selection;
    };
    void ActivateIndexOrRestore(const IndexChoice& previous, bool clearRanges);
    bool IsIndexField(const fw::TField& field) override;

    // ---- extra index files (index_files.cpp) ----------------------------------
    // The file name (without folder) of the file an index lives in, upper case.
    std::string IndexFileNameOf(LUMHANDLE index);

    // ---- the range that follows a master (master_detail.cpp) ----------------
    void AllocateKeyBuffers();
    void ResetKey(KeyBuffer& key);
    // Reads the column count and the empty record of the open cursor for the key buffers.
    void ReadKeyLayout();
    // The segment field names of an index with their columns, up to the first segment
    // the engine does not name; read once per index handle (see segments_).
    const std::vector<SegmentName>& SegmentNames(LUMHANDLE index);
    // Forgets what is read once per cursor, index and field descriptions.
    void ForgetColumnCaches() {
        segments_.clear();
        blobSlotColumnsRead_ = false;
    }
    // The positions of the memo and blob columns among the engine field
    // descriptions, read once after they are loaded.
    const std::vector<std::size_t>& BlobSlotColumns();
    KeyBuffer& Key(KeyKind kind) { return keys_[static_cast<std::size_t>(kind)]; }
    fw::TField& SegmentField(std::uint16_t segment);
    void ApplyMasterValues();
    void FillRangeFromMaster(const std::vector<fw::TField*>& masterFields);
    void FillRange(const std::vector<RangeValue>& values);
    void ActivateRange();
    bool ScopeToRange();
    // The raw key of a key buffer on an index (the active one for a range).
    void ComposeRangeKey(LUMHANDLE index, const KeyBuffer& key, std::uint8_t* area, UNSIGNED16& length);
    void DropRange();
    bool ClearRangeScopes();
    void ReleaseRange() noexcept;

    // ---- filters (dataset_filters.cpp) -----------------------------------------
    // The Filter text as the engine gets it; `prefix` tells that a trailing
    // "*" was taken off a quoted value.
    std::string EngineFilterText(bool& prefix);
    // Sets the filter on the engine cursor in the mode given (LumSetLOF or
    // LumSetFilter); nothing for an empty Filter.
    void ActivateFilter(bool optimized);
    // Clears it in that mode; the engine's "no filter" answer is no failure.
    void DeactivateFilter(bool optimized);
    // Calculated fields and the OnFilterRecord handler on a record just read;
    // false when the handler rejects it.
    bool AcceptRecord(fw::RecordBuffer& buffer);

    // ---- locating records (dataset_locate.cpp) ----------------------------------
    // Puts the engine cursor on the first matching visible record and reads
    // it into `buffer`; false when there is none. The window is not touched.
    bool LocateRecord(const std::string& keyFields, const std::vector<fw::Variant>& keyValues, TLocateOptions options,
                      fw::RecordBuffer& buffer);
    std::vector<fw::TField*> KeyFieldList(const std::string& names) const;
    // An index a key seek can use for the fields, 0 when there is none.
    LUMHANDLE SeekIndexFor(const std::vector<fw::TField*>& fields, TLocateOptions options);
    bool SeekKey(LUMHANDLE index, const std::vector<fw::TField*>& fields, const std::vector<fw::Variant>& values,
                 TLocateOptions options);
    // Reads on in the active order to the first visible record the engine
    // expression holds for; `prefix` evaluates its "=" as a prefix match.
    bool ScanForExpression(const std::string& expression, bool prefix, fw::RecordBuffer& buffer);

    // ---- the user scope (user_scope.cpp) ---------------------------------------
    void ActivateUserScope();
    void ClearUserScope();
    void CheckScopeText(const std::string& text);
    void EditRangeKey(KeyKind kind);

    // ---- editing (dataset_editing.cpp) ----------------------------------------
    enum class EditKind : std::uint8_t { None, Edit, Insert };
    // Raises a text of the layer's own through the engine (LUM_ERR_CALLER_TEXT).
    [[noreturn]] void RaiseThroughEngine(const std::string& text);
    void CheckTableRight(bool inserting);
    void CheckFieldRight(const fw::TField& field, const TLCEFieldDef& column);
    // Whether edit takes a record lock, and whether post compares the check image.
    bool LocksOnEdit() const;
    bool ChecksOnPost() const;
    void LockCurrentRecord();
    void UnlockEditedRecord() noexcept;
    std::vector<std::uint8_t> EngineImage();
    void VerifyUnchanged();
    void StartColumnMarks();
    void EndEdit() noexcept;
    void StoreRecordValue(fw::RecordBuffer& record, const fw::TField& field, const TLCEFieldDef& column,
                          const void* buffer);
    void StoreCalculatedValue(fw::RecordBuffer& record, const fw::TField& field, const void* buffer);
    // Sends the written columns of the record to the engine's pending record, then writes it.
    void WriteColumns(const fw::RecordBuffer& record);
    void WriteColumn(const fw::RecordBuffer& record, const TLCEFieldDef& column, std::uint8_t marks);
    void WriteNewRecord(const fw::RecordBuffer& record);
    void ApplyColumnDefaults();
    std::uint32_t BookmarkNumber(const fw::RecordBuffer& buffer) const;
    // The record buffer whose values a state reads, nullptr when there is none.
    const fw::RecordBuffer* RecordOfState() const;

    // ---- blobs (blob_cache.cpp) ---------------------------------------------------
    friend class TLumBlobStream;
    // The memo or binary column behind a field, nullptr for any other field.
    const TLCEFieldDef* BlobColumnOf(const fw::TField& field) const;
    // The record buffer blob streams use in the current state, nullptr for none.
    fw::RecordBuffer* BlobRecord();
    // The id of the buffer's cache for the column; a slot without one gets a new cache.
    std::uint32_t BlobCacheIdOf(fw::RecordBuffer& buffer, const TLCEFieldDef& column);
    // The cache of an id, nullptr once the caches were dropped since `generation`.
    TLumBlobCache* BlobCacheById(std::uint32_t id, std::uint64_t generation) const;
    const TLumBlobCache* FindBlobCache(const fw::RecordBuffer& buffer, const TLCEFieldDef& column) const;
    // The id in the buffer's slot for the column, 0 for none.
    std::uint32_t SlotCacheId(const fw::RecordBuffer& buffer, const TLCEFieldDef& column) const;
    std::uint64_t BlobGeneration() const { return blobGeneration_; }
    // Reads the engine's value of the buffer's record into the cache.
    void LoadBlob(const fw::RecordBuffer& buffer, const TLCEFieldDef& column, TLumBlobCache& cache);
    // A stream changed the value of the record being edited.
    void BlobChanged(const TLCEFieldDef& column, const TLumBlobCache& cache);
    // The column was cleared: its cache holds no value either.
    void BlobCleared(fw::RecordBuffer& record, const TLCEFieldDef& column);
    // The buffer holds another record: its caches are read again when asked for.
    void ResetBlobCaches(const fw::RecordBuffer& buffer);
    // The cache slots of a buffer, kept across its reinitialisation for a new
    // record (whose caches then hold no value).
    std::vector<std::uint8_t> BlobSlots(const fw::RecordBuffer& buffer) const;
    void RestoreBlobSlots(fw::RecordBuffer& buffer, const std::vector<std::uint8_t>& slots);
    // The buffers are allocated anew: every cache goes.
    void DropBlobCaches();
    // Sends a changed cache's value to the engine's pending record.
    void WriteBlobColumn(const fw::RecordBuffer& record, const TLCEFieldDef& column);
    // Whether the column's value in the record being edited is known from
    // its changed cache; `hasValue` then says whether it holds bytes.
    bool ChangedBlobValue(const TLCEFieldDef& column, bool& hasValue) const;

    // ---- state ----------------------------------------------------------------
    // The cursor, its record layout and the columns behind the fields.
    const LumFunctions* engine_;
    LUMHANDLE cursorHandle_ = NoHandle;
    LUMHANDLE activeHandle_ = NoHandle;
    std::uint32_t recordSize_ = 0;
    std::uint32_t blobCacheOffset_ = 0;
    std::uint32_t recordInfoOffset_ = 0;
    std::uint32_t bookmarkOffset_ = 0;
    std::uint32_t recordBufferSize_ = 0;
    std::uint32_t bookmarkSize_ = 0;
    std::uint16_t engineTableType_ = 0;
    std::uint16_t openCharType_ = 0;
    std::uint32_t tableOpenOptions_ = 0;
    bool cursorWritable_ = false;
    TLCEFieldDefs lceFieldDefs_;
    std::size_t blobColumnCount_ = 0;
    std::unique_ptr<TLumTableOptions> options_;
    TLumTableTypes tableType_ = TLumTableTypes::ttLumLDT;
    std::uint16_t openTableType_ = LUM_LDT;

    // Binding.
    std::string databaseName_;
    std::string aliasPath_;
    TLumConnection* connection_ = nullptr;

    // Index order.
    std::string indexFieldNames_;
    std::string indexName_;
    TIndexSelection indexSelection_ = TIndexSelection::None;
    std::string dictionaryDefaultIndex_;
    fw::TIndexDefs indexDefs_;
    // Definitions given from outside and not read from the engine since.
    bool indexDefsGiven_ = false;
    bool fieldDefsGiven_ = false;
    TLumIndexFiles indexFiles_{this};

    // Master-detail range.
    fw::TMasterDataLink masterLink_;
    std::string masterFields_;
    std::array<KeyBuffer, 6> keys_;
    KeyBuffer* currentKey_ = nullptr;
    std::vector<std::uint8_t> nullRecord_;
    // The cursor nullRecord_ and keyColumns_ were read for (NoHandle: not read).
    LUMHANDLE keyLayoutFor_ = NoHandle;
    std::uint16_t keyColumns_ = 0;
    // Segment names by index handle: an index keeps its segments while it is
    // open, so a range that follows its master builds each row's key without
    // asking for them again. Forgotten when the cursor or its fields change.
    std::vector<std::pair<LUMHANDLE, std::vector<SegmentName>>> segments_;
    // The master's values of the last row, kept for their room: a detail
    // takes them at every move of its master.
    std::vector<RangeValue> masterValues_;
    std::vector<std::uint8_t> rawKeyArea_;
    std::vector<std::size_t> blobSlotColumns_;
    bool blobSlotColumnsRead_ = false;

    // Filter.
    std::string filter_;
    // The cursor's exact matching was switched off for a prefix filter.
    bool exactSwitchedOff_ = false;

    // The user scope.
    bool scoped_ = false;
    std::string scopeBegin_;
    std::string scopeEnd_;
    // Locating: the index a search key is built for (0: the active one), and
    // the record whose values the fields show while a lookup reads them.
    LUMHANDLE searchIndex_ = 0;
    const fw::RecordBuffer* lookupRecord_ = nullptr;

    bool sequenced_ = false;
    TLumSequencedLevel sequencedLevel_ = TLumSequencedLevel::slStandard;

    // Editing.
    EditKind editKind_ = EditKind::None;
    fw::RecordBuffer oldRecord_;
    // The engine's image of the record when editing started (optimistic locking).
    std::vector<std::uint8_t> checkImage_;
    // The record locked for the edit, 0 for none.
    std::uint32_t lockedRecord_ = 0;
    // Per column, the WrittenFlag... bits of the record being edited.
    std::vector<std::uint8_t> writtenFlags_;

    // Blob caches, by id (index + 1) as the buffers' slots hold them; the
    // generation counts the times they were dropped.
    std::vector<std::unique_ptr<TLumBlobCache>> blobCaches_;
    std::uint64_t blobGeneration_ = 0;
};

}  // namespace lum
