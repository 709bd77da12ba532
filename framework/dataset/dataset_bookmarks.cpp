// TDataSet's bookmarks and record numbers: the active record's bookmark, the
// move to a bookmark with the window read anew around it, and the defaults
// of a dataset that gives neither bookmarks nor record numbers.
#include <algorithm>

#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"

namespace fw {

TBookmark TDataSet::GetBookmark() const {
    if (state_ != TDataSetState::dsBrowse && state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
        return {};
    const RecordBuffer* active = ActiveBuffer();
    if (active == nullptr || BookmarkFlagOf(*active) != TBookmarkFlag::Current) return {};
    return BookmarkDataOf(*active);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) return;
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    // From here on the cursor stands wherever the positioning left it.
    CursorPosChanged();
    PositionOnBookmark(bookmark);
    ReadWindowAroundCursor(true);
    if (AfterScroll) AfterScroll(*this);
}

bool TDataSet::IsBookmarkValid(const TBookmark&) { return false; }

int TDataSet::CompareBookmarkPair(const TBookmark&, const TBookmark&) { return 0; }

std::int32_t TDataSet::RecordNumber() const { return -1; }

void TDataSet::SetRecordNumber(std::int32_t) {}

void TDataSet::PositionOnBookmark(const TBookmark&) {
    throw EDatabaseError(Prefixed("This dataset cannot go to a bookmark; it gives none"));
}

void TDataSet::ReadWindowAroundCursor(bool exact) {
    CursorPosChanged();
    // The record is read into a buffer that holds none of the window's
    // records, so a failure leaves the window as it was.
    RecordBuffer& first = buffers_.at(static_cast<std::size_t>(recordCount_));
    TFetchResult result = FetchRecord(first, TFetchMode::Current);
    if (exact) {
        if (result != TFetchResult::Ok) throw EDatabaseError(Prefixed("Record not found"));
    } else {
        if (result != TFetchResult::Ok) result = FetchRecord(first, TFetchMode::Next);
        if (result != TFetchResult::Ok) result = FetchRecord(first, TFetchMode::Prior);
        if (result != TFetchResult::Ok) {
            ClearBuffers();
            DataEvent(TDataEvent::deDataSetChange);
            return;
        }
    }
    std::swap(buffers_.front(), first);
    recordCount_ = 1;
    activeRecord_ = 0;
    currentRecord_ = 0;
    bof_ = false;
    eof_ = false;
    // As many records before it as fill the upper half of the window, then the rest after it.
    const int before = (static_cast<int>(bufferCount_) - 1) / 2;
    try {
        while (activeRecord_ < before && ReadPriorIntoWindow()) ++activeRecord_;
        GetNextRecords();
    } catch (...) {
        DataEvent(TDataEvent::deDataSetChange);
        throw;
    }
    DataEvent(TDataEvent::deDataSetChange);
}

bool TDataSet::ReadPriorIntoWindow() {
    SetCurrentRecord(0);
    RecordBuffer& target = buffers_.at(static_cast<std::size_t>(recordCount_));
    if (FetchRecord(target, TFetchMode::Prior) != TFetchResult::Ok) {
        CursorPosChanged();
        return false;
    }
    // The record read moves to the first row; a full window drops its last.
    std::rotate(buffers_.begin(), buffers_.begin() + recordCount_, buffers_.begin() + recordCount_ + 1);
    if (static_cast<std::size_t>(recordCount_) < bufferCount_) ++recordCount_;
    currentRecord_ = 0;
    return true;
}

}  // namespace fw
