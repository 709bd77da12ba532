// TDataSet's moves: to either end and by a number of records, with the window
// of record buffers shifted or refilled, and the window read anew around the
// cursor after an edit or a change of order.
#include <algorithm>

#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"

namespace fw {

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

// Reads the record after the window's last one into the window; a full
// window drops its first record. The active index is left alone.
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
    try {
        while (static_cast<std::size_t>(recordCount_) < bufferCount_ && GetNextRecord()) {}
    } catch (...) {
        InternalHandleException();
    }
}

void TDataSet::InternalHandleException() {
    const ExceptionHook& hook = ApplicationExceptionHook();
    if (!hook) throw;
    // The records read so far stay; the cursor's place is no longer known.
    CursorPosChanged();
    hook(std::current_exception());
}

// Reads the record before the window's first one into the window's first
// row; a full window drops its last record. While the window grows the
// active index follows its record.
bool TDataSet::GetPriorRecord() {
    if (recordCount_ > 0) SetCurrentRecord(0);
    RecordBuffer& target = buffers_.at(static_cast<std::size_t>(recordCount_));
    if (FetchRecord(target, TFetchMode::Prior) != TFetchResult::Ok) {
        CursorPosChanged();
        return false;
    }
    if (recordCount_ == 0) {
        recordCount_ = 1;
        activeRecord_ = 0;
        bof_ = false;
        eof_ = false;
    } else {
        // The buffer read moves to the front; in a full window the last
        // record moves out to the spare.
        std::rotate(buffers_.begin(), buffers_.begin() + recordCount_, buffers_.begin() + recordCount_ + 1);
        if (static_cast<std::size_t>(recordCount_) < bufferCount_) {
            ++recordCount_;
            ++activeRecord_;
        }
    }
    currentRecord_ = 0;
    return true;
}

void TDataSet::GetPriorRecords() {
    try {
        while (static_cast<std::size_t>(recordCount_) < bufferCount_ && GetPriorRecord()) {}
    } catch (...) {
        InternalHandleException();
    }
}

void TDataSet::MoveToFirst() { MoveToEnd(false); }

void TDataSet::MoveToLast() { MoveToEnd(true); }

// The window read anew from one end. Whatever happens, the dataset stands at
// that end and its links and AfterScroll hear of it.
void TDataSet::MoveToEnd(bool last) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    ClearBuffers();
    const auto finish = [this, last] {
        (last ? eof_ : bof_) = true;
        DataEvent(TDataEvent::deDataSetChange);
        if (AfterScroll) AfterScroll(*this);
    };
    try {
        if (last) {
            SeekAfterLast();
            GetPriorRecords();
            if (recordCount_ > 0) activeRecord_ = recordCount_ - 1;
        } else {
            SeekBeforeFirst();
            if (GetNextRecord()) GetNextRecords();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TDataSet::MoveToNext() { MoveBy(1); }

void TDataSet::MoveToPrior() { MoveBy(-1); }

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    if (!((distance > 0 && !eof_) || (distance < 0 && !bof_))) return 0;
    bof_ = false;
    eof_ = false;
    const int oldCount = recordCount_;
    int moved = 0;
    // The links hear of what happened, also when a read failed on the way.
    const auto finish = [&] {
        if (recordCount_ != oldCount) {
            DataEvent(TDataEvent::deDataSetChange);
        } else {
            DataEvent(TDataEvent::deDataSetScroll, nullptr, moved);
        }
        if (AfterScroll) AfterScroll(*this);
    };
    try {
        for (; distance > 0; --distance, ++moved) {
            if (activeRecord_ < recordCount_ - 1) {
                ++activeRecord_;
            } else if (GetNextRecord()) {
                activeRecord_ = recordCount_ - 1;
            } else {
                eof_ = true;
                break;
            }
        }
        for (; distance < 0; ++distance, --moved) {
            if (activeRecord_ > 0) {
                --activeRecord_;
            } else if (GetPriorRecord()) {
                activeRecord_ = 0;
            } else {
                bof_ = true;
                break;
            }
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return moved;
}

void TDataSet::Resync() {
    CheckActive();
    const RecordBuffer* active = ActiveBuffer();
    if (active == nullptr) {
        ClearBuffers();
        SeekBeforeFirst();
        if (GetNextRecord()) GetNextRecords();
        DataEvent(TDataEvent::deDataSetChange);
        return;
    }
    if (BookmarkFlagOf(*active) == TBookmarkFlag::Current) PositionOnBuffer(*active);
    ResyncFromCursor();
}

void TDataSet::ResyncFromCursor() {
    const int row = activeRecord_;
    ClearBuffers();
    TFetchResult result = FetchRecord(buffers_[0], TFetchMode::Current);
    if (result != TFetchResult::Ok) result = FetchRecord(buffers_[0], TFetchMode::Next);
    if (result != TFetchResult::Ok) result = FetchRecord(buffers_[0], TFetchMode::Prior);
    if (result == TFetchResult::Ok) {
        recordCount_ = 1;
        activeRecord_ = 0;
        currentRecord_ = 0;
        bof_ = false;
        eof_ = false;
        // The records before it, as many as stood above it, then the window filled.
        for (int i = 0; i < row && GetPriorRecord(); ++i) {}
        GetNextRecords();
        GetPriorRecords();
    } else {
        CursorPosChanged();
    }
    DataEvent(TDataEvent::deDataSetChange);
}

}  // namespace fw
