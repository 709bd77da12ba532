// TLumDataSet's record numbers, bookmarks and version text: the record number
// read with each record and the move to a record number, the bookmark of a
// buffer, the check whether a bookmark still finds its record, the order of
// two bookmarks, the component's version beside the engine's, and a copy of
// the current record's image.
#include <algorithm>
#include <climits>
#include <cstring>

#include "data/lum/dataset.h"

namespace lum {

namespace {

// The component's own version, shown before the engine's.
constexpr const char* ComponentVersion = "10.0.0.3";
// Count mode of LumGetRecordCount that ignores filters and scopes.
constexpr UNSIGNED16 CountIgnoringFiltersAndScopes = 2;

// The engine finds a record by the first 32 bits of its bookmark.
std::uint32_t First32Bits(const fw::TBookmark& bookmark) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, bookmark.data(), std::min(bookmark.size(), sizeof bits));
    return bits;
}

// DBF tables keep deleted records in the file.
bool KeepsDeletedRecords(TLumTableTypes type) {
    return type == TLumTableTypes::ttLumCDX || type == TLumTableTypes::ttLumNTX || type == TLumTableTypes::ttLumVFP;
}

}  // namespace

std::int32_t TLumDataSet::RecordNumber() const {
    CheckActive();
    if (State() == fw::TDataSetState::dsCalcFields) {
        // The record being calculated is the calculation buffer's, found by its bookmark.
        const fw::RecordBuffer* calc = StateBuffer();
        return calc != nullptr ? static_cast<std::int32_t>(First32Bits(BookmarkDataOf(*calc))) : 0;
    }
    const fw::RecordBuffer* active = ActiveBuffer();
    if (active == nullptr) return 0;
    RecordInfo info{};
    std::memcpy(&info, active->data() + recordInfoOffset_, sizeof info);
    return info.RecordNumber;
}

void TLumDataSet::SetRecordNumber(std::int32_t number) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    const SIGNED32 skip = number > INT32_MIN ? number - 1 : INT32_MIN;
    const auto skipFromTop = [&](LUMHANDLE handle) {
        Check(engine_->LumGotoTop(handle));
        Check(engine_->LumSkip(handle, skip));
    };
    if (sequenced_ && sequencedLevel_ == TLumSequencedLevel::slExact) {
        skipFromTop(activeHandle_);
    } else if (activeHandle_ != cursorHandle_) {
        UNSIGNED32 count = 0;
        Check(engine_->LumGetRecordCount(cursorHandle_, CountIgnoringFiltersAndScopes, &count));
        double fraction = count == 0 ? 0.0 : static_cast<double>(number) / static_cast<double>(count);
        if (fraction >= 1.0) fraction = 1.0;
        Check(engine_->LumSetRelKeyPos(activeHandle_, fraction));
    } else if (Filtered()) {
        // A record number says nothing about where a record lies among those the filter lets through.
        skipFromTop(cursorHandle_);
    } else {
        const UNSIGNED32 rc = engine_->LumGotoRecord(cursorHandle_, static_cast<UNSIGNED32>(number));
        if (rc == LUM_ERR_RECORD_NOT_FOUND && sequenced_) {
            // No record of that physical number: counted from the top instead.
            skipFromTop(cursorHandle_);
        } else {
            Check(rc);
        }
    }
    ReadWindowAroundCursor(false);
    if (AfterScroll) AfterScroll(*this);
}

bool TLumDataSet::IsBookmarkValid(const fw::TBookmark& bookmark) {
    if (!Active() || cursorHandle_ == NoHandle || bookmark.empty()) return false;
    CursorPosChanged();
    // A bookmark that cannot be reached is an answer, not a failure.
    if (engine_->LumGotoBookmark(cursorHandle_, First32Bits(bookmark)) != 0) return false;
    UNSIGNED16 atEnd = 0;
    if (engine_->LumAtEOF(cursorHandle_, &atEnd) != 0 || atEnd != 0) return false;
    if (KeepsDeletedRecords(tableType_)) {
        UNSIGNED16 deleted = 0;
        Check(engine_->LumIsRecordDeleted(cursorHandle_, &deleted));
        if (deleted == 1) {
            UNSIGNED16 showDeleted = 0;
            Check(engine_->LumGetDeleted(&showDeleted));
            return showDeleted != 0;
        }
    }
    return true;
}

int TLumDataSet::CompareBookmarkPair(const fw::TBookmark& first, const fw::TBookmark& second) {
    if (first.empty() && second.empty()) return 0;
    if (first.empty()) return 1;
    if (second.empty()) return -1;
    // The engine reads a whole bookmark from each; a short one is padded with zeros.
    const std::size_t length = std::max<std::size_t>(bookmarkSize_, sizeof(std::uint32_t));
    fw::TBookmark one = first;
    fw::TBookmark two = second;
    one.resize(std::max(one.size(), length));
    two.resize(std::max(two.size(), length));
    SIGNED32 result = 0;
    Check(engine_->LumCompareBookmarks(one.data(), two.data(), &result));
    return (result > 0) - (result < 0);
}

std::string TLumDataSet::Version() {
    UNSIGNED32 major = 0;
    UNSIGNED32 minor = 0;
    char letter = ' ';
    Check(engine_->LumGetVersion(&major, &minor, &letter, nullptr, nullptr));
    std::string text = std::string(ComponentVersion) + " (LCE " + std::to_string(major) + ".";
    if (minor <= 9) text += '0';
    text += std::to_string(minor);
    // A blank letter, or none at all, is not shown.
    if (letter != ' ' && letter != '\0') text += letter;
    return text + ")";
}

// A buffer's bookmark: the bytes the engine gave its record. Insert also
// writes one into a new record, to place it before that record.
fw::TBookmark TLumDataSet::BookmarkDataOf(const fw::RecordBuffer& buffer) const {
    if (bookmarkOffset_ + bookmarkSize_ > buffer.size()) return {};
    return fw::TBookmark(buffer.begin() + bookmarkOffset_, buffer.begin() + bookmarkOffset_ + bookmarkSize_);
}

void TLumDataSet::SetBookmarkData(fw::RecordBuffer& buffer, const fw::TBookmark& bookmark) {
    if (bookmarkOffset_ + bookmarkSize_ > buffer.size()) return;
    const std::size_t n = std::min<std::size_t>(bookmark.size(), bookmarkSize_);
    std::copy_n(bookmark.begin(), n, buffer.begin() + bookmarkOffset_);
}

void TLumDataSet::PositionOnBookmark(const fw::TBookmark& bookmark) { GotoEngineBookmark(First32Bits(bookmark)); }

bool TLumDataSet::GetCurrentRecord(std::vector<std::uint8_t>& image) {
    const fw::RecordBuffer* active = ActiveBuffer();
    if (IsEmpty() || active == nullptr || BookmarkFlagOf(*active) != fw::TBookmarkFlag::Current) return false;
    UpdateCursorPos();
    image.assign(recordSize_, 0);
    UNSIGNED32 length = recordSize_;
    Check(engine_->LumGetRecord(cursorHandle_, image.data(), &length));
    image.resize(std::min<std::size_t>(length, recordSize_));
    return true;
}

}  // namespace lum
