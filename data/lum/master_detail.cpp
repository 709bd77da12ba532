// The range that keeps a detail dataset on its master's current record: the
// master's values go into a key of the detail's active index, which becomes a
// top and a bottom engine scope.
#include <cstring>

#include "data/lum/connection.h"
#include "data/lum/dataset.h"

namespace lum {

bool MasterChainReaches(const fw::TDataSource* source, const fw::TDataSet& target) {
    // A chain longer than any real form is a circle elsewhere: stop there.
    constexpr int MaxLinkDepth = 1000;
    int depth = 0;
    for (const fw::TDataSource* s = source; s != nullptr && depth < MaxLinkDepth; ++depth) {
        const fw::TDataSet* dataSet = s->DataSet();
        if (dataSet == &target) return true;
        s = dataSet != nullptr ? dataSet->DataSource() : nullptr;
    }
    return false;
}

void TLumDataSet::SetMasterSource(fw::TDataSource* source) {
    if (MasterChainReaches(source, *this)) RaiseLayerError(this, "Circular Data Link");
    if (MasterSource() != nullptr) RemoveFreeNotification(*MasterSource());
    masterLink_.SetDataSource(source);
    if (source != nullptr) {
        FreeNotification(*source);
    } else {
        SetMasterFields("");
    }
}

void TLumDataSet::SetMasterFields(const std::string& fields) {
    masterLink_.SetFieldNames(fields);
    masterFields_ = fields;
}

void TLumDataSet::Notification(fw::TComponent& component, fw::Operation operation) {
    fw::TDataSet::Notification(component, operation);
    if (operation != fw::Operation::Remove) return;
    if (&component == MasterSource()) masterLink_.SetDataSource(nullptr);
    if (connection_ != nullptr && &component == static_cast<fw::TComponent*>(connection_)) AttachTo(nullptr);
}

void TLumDataSet::AllocateKeyBuffers() {
    keyLayoutFor_ = NoHandle;
    ForgetColumnCaches();
    for (KeyBuffer& key : keys_) ResetKey(key);
}

void TLumDataSet::ReadKeyLayout() {
    UNSIGNED16 columns = 0;
    Check(engine_->LumGetNumFields(cursorHandle_, &columns));
    std::vector<std::uint8_t> image(recordSize_, 0);
    UNSIGNED32 length = recordSize_;
    Check(engine_->LumGetNullRecord(cursorHandle_, image.data(), &length));
    nullRecord_ = std::move(image);
    keyColumns_ = columns;
    keyLayoutFor_ = cursorHandle_;
}

void TLumDataSet::ResetKey(KeyBuffer& key) {
    // An open cursor keeps its columns and its empty record: a range that
    // follows its master resets its key for every master row.
    if (cursorHandle_ == NoHandle || keyLayoutFor_ != cursorHandle_ || nullRecord_.size() != recordSize_)
        ReadKeyLayout();
    key.Changed = false;
    key.FieldCount = 0;
    key.Size = recordSize_ + 2u * keyColumns_ + 12u;
    key.Image = nullRecord_;
    key.Markers.assign(keyColumns_, KeyBuffer::NotSet);
}

const std::vector<SegmentName>& TLumDataSet::SegmentNames(LUMHANDLE index) {
    for (const auto& [handle, names] : segments_)
        if (handle == index) return names;
    std::vector<SegmentName> names;
    for (UNSIGNED16 segment = 0;; ++segment) {
        char name[129] = {};
        UNSIGNED16 nameLength = sizeof name;
        if (engine_->LumGetSegmentFieldname(index, segment, name, &nameLength) != 0) break;
        names.push_back({name, lceFieldDefs_.IndexOf(name)});
    }
    segments_.emplace_back(index, std::move(names));
    return segments_.back().second;
}

fw::TField& TLumDataSet::SegmentField(std::uint16_t segment) {
    const std::vector<SegmentName>& names = SegmentNames(activeHandle_);
    if (segment < names.size()) return FieldNamed(names[segment].Name);
    // Past the last segment: the engine says what is wrong.
    char name[129] = {};
    UNSIGNED16 length = sizeof name;
    Check(engine_->LumGetSegmentFieldname(activeHandle_, segment, name, &length));
    return FieldNamed(name);
}

void TLumDataSet::ApplyMasterValues() {
    CheckBrowseMode();
    FillRangeFromMaster(masterLink_.Fields());
    ActivateRange();
}

void TLumDataSet::FillRangeFromMaster(const std::vector<fw::TField*>& masterFields) {
    // Taken out while in use: writing the key runs the fields' own code.
    std::vector<RangeValue> values = std::move(masterValues_);
    values.clear();
    for (const fw::TField* field : masterFields) values.push_back({"", field->ValueAsVariant()});
    FillRange(values);
    masterValues_ = std::move(values);
}

void TLumDataSet::ApplyRange(const std::vector<RangeValue>& values) {
    CheckBrowseMode();
    FillRange(values);
    ActivateRange();
}

void TLumDataSet::FillRange(const std::vector<RangeValue>& values) {
    const fw::TDataSetState saved = SetTempState(fw::TDataSetState::dsSetKey);
    try {
        KeyBuffer& start = Key(KeyKind::RangeStartKey);
        ResetKey(start);
        currentKey_ = &start;
        start.Changed = true;
        for (std::size_t i = 0; i < values.size(); ++i) {
            fw::TField& field =
                values[i].Field.empty() ? SegmentField(static_cast<std::uint16_t>(i)) : FieldNamed(values[i].Field);
            field.SetValueAsVariant(values[i].Value);
        }
        start.FieldCount = static_cast<std::int32_t>(values.size());
    } catch (...) {
        currentKey_ = nullptr;
        RestoreState(saved);
        throw;
    }
    currentKey_ = nullptr;
    RestoreState(saved);
    Key(KeyKind::RangeEndKey) = Key(KeyKind::RangeStartKey);
}

void TLumDataSet::ActivateRange() {
    CheckBrowseMode();
    if (ScopeToRange()) MoveToFirst();
}

bool TLumDataSet::ScopeToRange() {
    if (scoped_) RaiseLayerError(this, "Cannot set range on table when there is an active scope.");
    const KeyBuffer& start = Key(KeyKind::RangeStartKey);
    const KeyBuffer& end = Key(KeyKind::RangeEndKey);
    if (start.SameKey(Key(KeyKind::AppliedStartKey)) && end.SameKey(Key(KeyKind::AppliedEndKey))) return false;
    UNSIGNED16 keyLength = 0;
    Check(engine_->LumGetKeyLength(activeHandle_, &keyLength));
    rawKeyArea_.resize(RawKeyAreaSize);
    UNSIGNED16 length = 0;
    if (start.Changed) {
        length = RawKeyAreaSize;
        ComposeRangeKey(activeHandle_, start, rawKeyArea_.data(), length);
        Check(engine_->LumSetScope(activeHandle_, LUM_TOP, rawKeyArea_.data(), length, LUM_RAWKEY));
        Key(KeyKind::AppliedStartKey) = start;
    }
    if (end.Changed) {
        // A master's range ends where it starts: the key just built serves again.
        const bool sameAsStart = start.Changed && end.SameKey(start) && end.Markers == start.Markers;
        if (!sameAsStart) {
            length = RawKeyAreaSize;
            ComposeRangeKey(activeHandle_, end, rawKeyArea_.data(), length);
        }
        Check(engine_->LumSetScope(activeHandle_, LUM_BOTTOM, rawKeyArea_.data(), length, LUM_RAWKEY));
        Key(KeyKind::AppliedEndKey) = end;
    }
    SetState(fw::TDataSetState::dsBrowse);
    return true;
}

void TLumDataSet::ComposeRangeKey(LUMHANDLE index, const KeyBuffer& key, std::uint8_t* area, UNSIGNED16& length) {
    Check(engine_->LumInitRawKey(index));
    for (const SegmentName& segment : SegmentNames(index)) {
        if (segment.Column < 0) continue;
        const char* name = segment.Name.c_str();
        const TLCEFieldDef& def = lceFieldDefs_[static_cast<std::size_t>(segment.Column)];
        const std::uint16_t marker = key.Markers.at(static_cast<std::size_t>(segment.Column));
        if (marker == KeyBuffer::NotSet) {
            if (options_->LumAutoKeyFieldCount() || key.FieldCount != 0) continue;
            Check(engine_->LumSetEmpty(index, name));
            continue;
        }
        const std::size_t extent =
            def.ColumnLength + ((def.EngineType == LUM_VARCHAR || def.EngineType == LUM_VARBINARY) ? 2 : 0);
        if (def.ColumnOffset + extent > key.Image.size()) continue;
        const std::uint8_t* value = key.Image.data() + def.ColumnOffset;
        if (def.EngineType == LUM_STRING || def.EngineType == LUM_CISTRING || def.EngineType == LUM_VARCHAR) {
            Check(engine_->LumSetField(index, name, value, def.ColumnLength));
        } else {
            Check(engine_->LumSetFieldRaw(index, name, value, def.ColumnLength));
        }
    }
    Check(engine_->LumBuildRawKey(index, area, &length));
}

void TLumDataSet::DropRange() {
    CheckBrowseMode();
    UpdateCursorPos();
    if (ClearRangeScopes()) Resync();
}

// The master is going while this detail stays. Nothing is read: the records
// in the window stay as they are, and the engine's scopes go, so the next move
// reads the whole table. When the scopes cannot be cleared the detail closes
// rather than stay kept to a master that is gone.
void TLumDataSet::ReleaseRange() noexcept {
    KeyBuffer& start = Key(KeyKind::AppliedStartKey);
    KeyBuffer& end = Key(KeyKind::AppliedEndKey);
    if (!start.Changed && !end.Changed) return;
    start = KeyBuffer();
    end = KeyBuffer();
    if (engine_->LumClearAllScopes(cursorHandle_) != 0) CloseQuietly();
}

bool TLumDataSet::ClearRangeScopes() {
    // The engine's scopes are the user's: no range can be in force.
    if (scoped_) return true;
    if (!Key(KeyKind::AppliedStartKey).Changed && !Key(KeyKind::AppliedEndKey).Changed) return false;
    Check(engine_->LumClearAllScopes(cursorHandle_));
    UNSIGNED16 eof = 0, bof = 0;
    Check(engine_->LumAtEOF(cursorHandle_, &eof));
    Check(engine_->LumAtBOF(cursorHandle_, &bof));
    if (eof != 0 && bof != 0) Check(engine_->LumGotoTop(activeHandle_));
    ResetKey(Key(KeyKind::AppliedStartKey));
    ResetKey(Key(KeyKind::AppliedEndKey));
    return true;
}

}  // namespace lum
