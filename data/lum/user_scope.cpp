// The user's own scope on the active index (Scoped, ScopeBegin, ScopeEnd) and
// the editing of a range's keys. A user scope and a range for a master both
// live in the engine's scopes of the active index, so each refuses the other.
#include <cstring>

#include "data/lum/dataset.h"

namespace lum {

namespace {

// The longest scope text, named in the refusal; the engine gets the length.
constexpr std::size_t ScopeTextLimit = 4082;

}  // namespace

void TLumDataSet::CheckScopeText(const std::string& text) {
    if (text.size() > ScopeTextLimit)
        RaiseLayerError(this, "Scope text length exceeded " + std::to_string(ScopeTextLimit));
}

void TLumDataSet::SetScopeBegin(const std::string& text) {
    CheckScopeText(text);
    scopeBegin_ = text;
}

void TLumDataSet::SetScopeEnd(const std::string& text) {
    CheckScopeText(text);
    scopeEnd_ = text;
}

void TLumDataSet::ActivateUserScope() {
    if (activeHandle_ == cursorHandle_ || activeHandle_ == NoHandle)
        RaiseLayerError(this, "Cannot activate scope when there is no active index.");
    for (const UNSIGNED16 end : {UNSIGNED16{LUM_TOP}, UNSIGNED16{LUM_BOTTOM}}) {
        std::vector<UNSIGNED8> scope(ScopeTextLimit);
        UNSIGNED16 length = static_cast<UNSIGNED16>(scope.size());
        const UNSIGNED32 rc = engine_->LumGetScope(activeHandle_, end, scope.data(), &length);
        // A key too long for the buffer is a scope in force as well.
        if (rc == 0 || rc == LUM_ERR_BUFFER_TOO_SMALL)
            RaiseLayerError(this, "Cannot activate scope when there is an active range.");
        if (rc != LUM_ERR_NO_SCOPE) Check(rc);
    }
    const auto set = [this](UNSIGNED16 end, const std::string& text) {
        if (text.empty()) return;
        Check(engine_->LumSetScope(activeHandle_, end, reinterpret_cast<const UNSIGNED8*>(text.data()),
                                   static_cast<UNSIGNED16>(text.size()), LUM_STRINGKEY));
    };
    set(LUM_TOP, scopeBegin_);
    set(LUM_BOTTOM, scopeEnd_);
}

void TLumDataSet::ClearUserScope() {
    if (activeHandle_ == cursorHandle_ || activeHandle_ == NoHandle) return;
    for (const UNSIGNED16 end : {UNSIGNED16{LUM_TOP}, UNSIGNED16{LUM_BOTTOM}}) {
        const UNSIGNED32 rc = engine_->LumClearScope(activeHandle_, end);
        if (rc != LUM_ERR_NO_SCOPE) Check(rc);
    }
}

void TLumDataSet::SetScoped(bool value) {
    if (value == scoped_) return;
    if (!Active()) {
        // Activated by the open.
        scoped_ = value;
        return;
    }
    CheckBrowseMode();
    if (value) {
        UpdateCursorPos();
        ActivateUserScope();
        UNSIGNED16 visible = 0;
        const UNSIGNED32 rc = engine_->LumIsRecordVisible(activeHandle_, &visible);
        if (rc != LUM_ERR_NO_CURRENT_RECORD) Check(rc);
        // Stored once the engine's scope is in force: a refusal leaves it false.
        scoped_ = true;
        if (rc == 0 && visible != 0 && !IsEmpty()) {
            Resync();
        } else {
            MoveToFirst();
        }
        return;
    }
    ClearUserScope();
    scoped_ = false;
    const fw::RecordBuffer* active = ActiveBuffer();
    if ((AtBeginning() && AtEnd()) || active == nullptr) {
        MoveToFirst();
        return;
    }
    // Back to the record that was current, now among the whole index.
    std::uint32_t record = 0;
    const fw::TBookmark bookmark = BookmarkDataOf(*active);
    if (bookmark.size() >= sizeof record) std::memcpy(&record, bookmark.data(), sizeof record);
    CursorPosChanged();
    const UNSIGNED32 rc = engine_->LumGotoRecord(cursorHandle_, record);
    if (rc == LUM_ERR_RECORD_NOT_FOUND) {
        Check(engine_->LumSkip(activeHandle_, 1));
    } else {
        Check(rc);
    }
    ReadWindowAroundCursor(false);
}

int TLumDataSet::GetSegmentFieldNum(std::uint16_t segment) {
    if (activeHandle_ == cursorHandle_ || activeHandle_ == NoHandle)
        RaiseLayerError(this, "Internal Error: GetSegmentFieldNum : No Active Index");
    char name[128] = {};
    UNSIGNED16 length = sizeof name;
    Check(engine_->LumGetSegmentFieldname(activeHandle_, segment, name, &length));
    return lceFieldDefs_.IndexOf(name) + 1;
}

void TLumDataSet::EditRangeStart() { EditRangeKey(KeyKind::RangeStartKey); }
void TLumDataSet::EditRangeEnd() { EditRangeKey(KeyKind::RangeEndKey); }

void TLumDataSet::EditRangeKey(KeyKind kind) {
    if (activeHandle_ == cursorHandle_ || activeHandle_ == NoHandle) RaiseLayerError(this, "Index is not set.");
    CheckBrowseMode();
    KeyBuffer& key = Key(kind);
    currentKey_ = &key;
    Key(KeyKind::SavedKey) = key;
    ResetKey(key);
    key.FieldCount = 0;
    SetState(fw::TDataSetState::dsSetKey);
    key.Changed = true;
    SetModified(true);
    DataEvent(fw::TDataEvent::deDataSetChange);
}

}  // namespace lum
