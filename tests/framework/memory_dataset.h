// A dataset over records held in a std::vector, for the framework's tests of
// moves and editing: the columns ID (integer, the only key field), NAME (text
// of 10) and AMOUNT (float). Every editing hook notes its call in a log and
// can be made to fail; a link notes what it hears in the same log, so a test
// sees events, hooks and notifications in one order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/dataset/data_link.h"
#include "framework/dataset/data_source.h"
#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"

namespace memtest {

using fw::RecordBuffer;
using fw::TBookmarkFlag;
using fw::TDataSetState;
using fw::TFetchMode;
using fw::TFetchResult;
using fw::TFieldType;

struct Row {
    std::optional<std::int32_t> id;
    std::optional<std::string> name;
    std::optional<double> amount;
    bool operator==(const Row&) const = default;
};

using Log = std::vector<std::string>;

class Memory : public fw::TDataSet {
public:
    // Record image: per column a null flag byte, then the value.
    static constexpr std::size_t Offsets[3] = {0, 5, 17};
    static constexpr std::size_t Sizes[3] = {4, 11, 8};
    static constexpr std::size_t ImageSize = 26;

    explicit Memory(std::vector<Row> rows = {}) {
        SetName("mem");
        for (const Row& row : rows) stored_.push_back({nextBookmark_++, Encode(row)});
    }
    ~Memory() override { CloseQuietly(); }

    Log log;
    // Hooks named here fail with EDatabaseError "<hook> failed".
    std::set<std::string> failing;
    // Fetches left before one fails with EDatabaseError "read failed" (none: -1).
    int fetchesBeforeFailure = -1;
    // Whether records can be changed; otherwise the framework's default answers.
    bool writable = true;

    std::vector<Row> Stored() const {
        std::vector<Row> rows;
        for (const Record& record : stored_) rows.push_back(Decode(record.image.data()));
        return rows;
    }
    std::vector<std::int32_t> StoredIds() const {
        std::vector<std::int32_t> ids;
        for (const Row& row : Stored()) ids.push_back(row.id.value_or(-1));
        return ids;
    }
    // The ID of the current record, -1 without one.
    std::int32_t CurrentId() const {
        const fw::TField* id = FindField("ID");
        return id != nullptr && !id->IsNull() ? id->ValueAsInteger() : -1;
    }

    // Persistent fields ID, NAME, AMOUNT and, with `twice`, a calculated
    // TWICE that OnCalcFields sets to ID x 2.
    void AddPersistentFields(bool twice) {
        AddField(std::make_unique<fw::TIntegerField>(*this, TFieldType::ftInteger, "ID", 0, 1));
        AddField(std::make_unique<fw::TStringField>(*this, TFieldType::ftString, "NAME", 10, 2));
        AddField(std::make_unique<fw::TFloatField>(*this, TFieldType::ftFloat, "AMOUNT", 0, 3));
        if (!twice) return;
        auto calc = std::make_unique<fw::TIntegerField>(*this, TFieldType::ftInteger, "TWICE", 0, 0);
        calc->SetFieldKind(fw::TFieldKind::fkCalculated);
        AddField(std::move(calc));
        OnCalcFields = [](fw::TDataSet& d) {
            const fw::TField& id = d.FieldNamed("ID");
            if (!id.IsNull()) d.FieldNamed("TWICE").SetValueAsInteger(id.ValueAsInteger() * 2);
        };
    }

    // Starts key editing on the key ID, as a dataset with an index would.
    void EditKey() {
        CheckBrowseMode();
        savedKey_ = key_;
        SetState(TDataSetState::dsSetKey);
        DataEvent(fw::TDataEvent::deDataSetChange);
    }
    std::optional<std::int32_t> KeyId() const { return Decode(key_.data()).id; }

    // Every event notes its name in the log.
    void Trace() {
        const auto note = [this](const char* name) { return [this, name](fw::TDataSet&) { log.push_back(name); }; };
        BeforeEdit = note("BeforeEdit");
        AfterEdit = note("AfterEdit");
        BeforeInsert = note("BeforeInsert");
        AfterInsert = note("AfterInsert");
        BeforePost = note("BeforePost");
        AfterPost = note("AfterPost");
        BeforeCancel = note("BeforeCancel");
        AfterCancel = note("AfterCancel");
        BeforeDelete = note("BeforeDelete");
        AfterDelete = note("AfterDelete");
        BeforeScroll = note("BeforeScroll");
        AfterScroll = note("AfterScroll");
        OnNewRecord = note("OnNewRecord");
    }

    std::int32_t CountRecords() override {
        CheckActive();
        return static_cast<std::int32_t>(stored_.size());
    }
    bool CanModify() const override { return writable || fw::TDataSet::CanModify(); }

    bool GetFieldData(const fw::TField& field, void* buffer) const override {
        const std::uint8_t* image = nullptr;
        const bool keyOrOld = State() == TDataSetState::dsSetKey || State() == TDataSetState::dsOldValue;
        if (keyOrOld && field.FieldKind() != fw::TFieldKind::fkData) return false;  // images without them
        if (State() == TDataSetState::dsSetKey) {
            image = key_.data();
        } else if (State() == TDataSetState::dsOldValue) {
            // The old value is the record as stored.
            const RecordBuffer* active = ActiveBuffer();
            const Record* record = active != nullptr ? Find(BookmarkOf(*active)) : nullptr;
            if (record == nullptr) return false;
            image = record->image.data();
        } else {
            const RecordBuffer* record = StateBuffer();
            if (record == nullptr) return false;
            image = record->data();
        }
        const std::uint8_t* slot = Slot(field, image);
        if (slot == nullptr || slot[0] == 0) return false;
        if (buffer != nullptr) std::memcpy(buffer, slot + 1, field.DataSize());
        return true;
    }

protected:
    void InternalSetFieldData(fw::TField& field, const void* buffer) override {
        std::uint8_t* image = State() == TDataSetState::dsSetKey ? key_.data() : StateBuffer()->data();
        auto* slot = const_cast<std::uint8_t*>(Slot(field, image));
        const std::size_t size = field.DataSize();
        std::memset(slot, 0, size + 1);
        if (buffer == nullptr) return;
        slot[0] = 1;
        // A text is given up to its zero byte.
        const std::size_t length =
            field.DataType() == TFieldType::ftString ? strnlen(static_cast<const char*>(buffer), size - 1) : size;
        std::memcpy(slot + 1, buffer, length);
    }
    bool IsIndexField(const fw::TField& field) override { return field.FieldName() == "ID"; }

    void InitFieldDefs() override {
        FieldDefs().Clear();
        FieldDefs().Add("ID", TFieldType::ftInteger, 0, false);
        FieldDefs().Add("NAME", TFieldType::ftString, 10, false);
        FieldDefs().Add("AMOUNT", TFieldType::ftFloat, 0, false);
    }
    void OpenEngineCursor() override {
        Note("OpenEngineCursor");
        open_ = true;
        pos_ = -1;
        UpdateFieldDefs();
        if (DefaultFields()) CreateDefaultFields();
    }
    void CloseEngineCursor() override {
        DestroyDefaultFields();
        open_ = false;
    }
    bool CursorIsOpen() const override { return open_; }
    TFetchResult FetchRecord(RecordBuffer& buffer, TFetchMode mode) override {
        Note("FetchRecord", false);
        if (fetchesBeforeFailure == 0) throw fw::EDatabaseError("read failed");
        if (fetchesBeforeFailure > 0) --fetchesBeforeFailure;
        if (State() == TDataSetState::dsInsert) return TFetchResult::Failed;
        const auto count = static_cast<int>(stored_.size());
        for (;;) {
            if (mode == TFetchMode::Next) {
                if (pos_ >= count - 1) {
                    pos_ = count;
                    return TFetchResult::HitEnd;
                }
                ++pos_;
            } else if (mode == TFetchMode::Prior) {
                if (pos_ <= 0) {
                    pos_ = -1;
                    return TFetchResult::HitBeginning;
                }
                --pos_;
            } else if (pos_ < 0 || pos_ >= count) {
                return TFetchResult::Failed;
            }
            const Record& record = stored_[static_cast<std::size_t>(pos_)];
            std::copy(record.image.begin(), record.image.end(), buffer.begin());
            SetBookmarkOf(buffer, record.bookmark);
            SetBookmarkFlag(buffer, TBookmarkFlag::Current);
            if (!Filtered() || FilterRecord(buffer)) break;
            if (mode == TFetchMode::Current) return TFetchResult::Failed;
        }
        CalculateFields(buffer);
        return TFetchResult::Ok;
    }
    void SeekBeforeFirst() override { pos_ = -1; }
    void SeekAfterLast() override { pos_ = static_cast<int>(stored_.size()); }
    void PositionOnBuffer(const RecordBuffer& buffer) override {
        const std::uint32_t bookmark = BookmarkOf(buffer);
        for (std::size_t i = 0; i < stored_.size(); ++i)
            if (stored_[i].bookmark == bookmark) pos_ = static_cast<int>(i);
    }
    std::size_t RecordBufferSize() const override { return ImageSize + CalcFieldsSize() + 5; }
    TBookmarkFlag BookmarkFlagOf(const RecordBuffer& buffer) const override {
        return static_cast<TBookmarkFlag>(buffer.back());
    }
    void SetBookmarkFlag(RecordBuffer& buffer, TBookmarkFlag flag) override {
        buffer.back() = static_cast<std::uint8_t>(flag);
    }
    fw::TBookmark BookmarkDataOf(const RecordBuffer& buffer) const override {
        const auto at = buffer.begin() + static_cast<std::ptrdiff_t>(BookmarkAt());
        return fw::TBookmark(at, at + 4);
    }
    void SetBookmarkData(RecordBuffer& buffer, const fw::TBookmark& bookmark) override {
        std::copy(bookmark.begin(), bookmark.end(), buffer.begin() + static_cast<std::ptrdiff_t>(BookmarkAt()));
    }
    void ClearCalcFields(RecordBuffer& buffer) override {
        std::fill_n(buffer.begin() + ImageSize, CalcFieldsSize(), 0);
    }

    void InternalEdit() override { Note("InternalEdit"); }
    void InternalInsert() override { Note("InternalInsert"); }
    void InternalPost() override {
        Note("InternalPost");
        const RecordBuffer& buffer = *StateBuffer();
        const std::vector<std::uint8_t> image(buffer.begin(), buffer.begin() + ImageSize);
        if (State() == TDataSetState::dsEdit) {
            stored_.at(static_cast<std::size_t>(pos_)).image = image;
            return;
        }
        switch (BookmarkFlagOf(buffer)) {
            case TBookmarkFlag::AfterLast: pos_ = static_cast<int>(stored_.size()); break;
            case TBookmarkFlag::BeforeFirst: pos_ = 0; break;
            default: pos_ = std::clamp(pos_, 0, static_cast<int>(stored_.size())); break;
        }
        stored_.insert(stored_.begin() + pos_, {nextBookmark_++, image});
    }
    void InternalCancel() override { Note("InternalCancel"); }
    void InternalDelete() override {
        Note("InternalDelete");
        stored_.erase(stored_.begin() + pos_);
    }
    void InternalAddRecord(RecordBuffer& buffer, bool append) override {
        Note(append ? "InternalAddRecord(append)" : "InternalAddRecord(insert)");
        if (&buffer != ActiveBuffer()) throw fw::EDatabaseError("not the active buffer");
        pos_ = append ? static_cast<int>(stored_.size()) : std::clamp(pos_, 0, static_cast<int>(stored_.size()));
        stored_.insert(stored_.begin() + pos_, {nextBookmark_++, {buffer.begin(), buffer.begin() + ImageSize}});
    }
    void PostKeyBuffer(bool commit) override {
        Note(commit ? "PostKeyBuffer(commit)" : "PostKeyBuffer(cancel)");
        if (!commit) key_ = savedKey_;
    }

private:
    struct Record {
        std::uint32_t bookmark;
        std::vector<std::uint8_t> image;
    };

    void Note(const std::string& hook, bool logged = true) {
        if (logged) log.push_back(hook);
        if (failing.count(hook) != 0) throw fw::EDatabaseError(hook + " failed");
    }
    std::size_t BookmarkAt() const { return ImageSize + CalcFieldsSize(); }
    std::uint32_t BookmarkOf(const RecordBuffer& buffer) const {
        std::uint32_t bookmark = 0;
        std::memcpy(&bookmark, buffer.data() + BookmarkAt(), 4);
        return bookmark;
    }
    void SetBookmarkOf(RecordBuffer& buffer, std::uint32_t bookmark) const {
        std::memcpy(buffer.data() + BookmarkAt(), &bookmark, 4);
    }
    const Record* Find(std::uint32_t bookmark) const {
        for (const Record& record : stored_)
            if (record.bookmark == bookmark) return &record;
        return nullptr;
    }
    // Where a field's flag byte lies in an image (a calculated field's in the calculated area).
    static const std::uint8_t* Slot(const fw::TField& field, const std::uint8_t* image) {
        if (field.FieldKind() != fw::TFieldKind::fkData) return image + ImageSize + field.Offset();
        if (field.FieldNo() < 1 || field.FieldNo() > 3) return nullptr;
        return image + Offsets[field.FieldNo() - 1];
    }
    static std::vector<std::uint8_t> Encode(const Row& row) {
        std::vector<std::uint8_t> image(ImageSize, 0);
        if (row.id) {
            image[Offsets[0]] = 1;
            std::memcpy(&image[Offsets[0] + 1], &*row.id, 4);
        }
        if (row.name) {
            image[Offsets[1]] = 1;
            std::memcpy(&image[Offsets[1] + 1], row.name->data(), std::min<std::size_t>(row.name->size(), 10));
        }
        if (row.amount) {
            image[Offsets[2]] = 1;
            std::memcpy(&image[Offsets[2] + 1], &*row.amount, 8);
        }
        return image;
    }
    static Row Decode(const std::uint8_t* image) {
        Row row;
        if (image[Offsets[0]] != 0) {
            std::int32_t id = 0;
            std::memcpy(&id, image + Offsets[0] + 1, 4);
            row.id = id;
        }
        if (image[Offsets[1]] != 0) row.name = std::string(reinterpret_cast<const char*>(image + Offsets[1] + 1));
        if (image[Offsets[2]] != 0) {
            double amount = 0;
            std::memcpy(&amount, image + Offsets[2] + 1, 8);
            row.amount = amount;
        }
        return row;
    }

    std::vector<Record> stored_;
    std::uint32_t nextBookmark_ = 1;
    int pos_ = -1;
    bool open_ = false;
    std::vector<std::uint8_t> key_ = std::vector<std::uint8_t>(ImageSize, 0);
    std::vector<std::uint8_t> savedKey_ = key_;
};

// Notes what a data link hears, into a log.
class Recorder : public fw::TDataLink {
public:
    explicit Recorder(Log& log, std::size_t bufferCount = 1) : log_(log), bufferCount_(bufferCount) {}
    std::size_t BufferCount() const override { return bufferCount_; }

protected:
    void ActiveChanged() override { log_.push_back(Active() ? "link:active" : "link:inactive"); }
    void EditingChanged() override { log_.push_back(Editing() ? "link:editing" : "link:browsing"); }
    void RecordChanged(fw::TField* field) override {
        log_.push_back(field != nullptr ? "link:field:" + field->FieldName() : "link:record");
    }
    void DataSetChanged() override { log_.push_back("link:changed"); }
    void DataSetScrolled(int distance) override { log_.push_back("link:scrolled:" + std::to_string(distance)); }
    void LayoutChanged() override { log_.push_back("link:layout"); }
    void UpdateData() override { log_.push_back("link:update"); }
    void CheckBrowseMode() override { log_.push_back("link:check"); }

private:
    Log& log_;
    std::size_t bufferCount_;
};

// A dataset with a data source and a recording link whose buffer count sets
// the dataset's window of record buffers.
struct Watched {
    explicit Watched(std::vector<Row> rows, std::size_t window = 1) : data(std::move(rows)), link(data.log, window) {
        source.SetDataSet(&data);
        link.SetDataSource(&source);
    }
    Memory data;
    fw::TDataSource source;
    Recorder link;
};

// Rows with IDs 1 to n, named "r1" ... and with amounts 1.5, 2.5, ...
inline std::vector<Row> Numbered(int n) {
    std::vector<Row> rows;
    for (int i = 1; i <= n; ++i) rows.push_back({i, "r" + std::to_string(i), i + 0.5});
    return rows;
}

}  // namespace memtest
