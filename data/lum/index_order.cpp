// The index order of a dataset: index definitions read from the engine and
// the choice of the active index from IndexName or IndexFieldNames.
#include <algorithm>

#include "data/lum/dataset.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

const fw::TIndexDefs& TLumDataSet::IndexDefs() {
    if (!indexDefsGiven_ || cursorHandle_ != NoHandle) ReadIndexDefsFromEngine();
    return indexDefs_;
}

void TLumDataSet::SetIndexDefs(const fw::TIndexDefs& defs) {
    fw::TIndexDefs& target = GivenIndexDefs();
    target = defs;
    target.SetUpdated(false);
}

fw::TIndexDefs& TLumDataSet::GivenIndexDefs() {
    indexDefs_.SetUpdated(false);
    indexDefsGiven_ = true;
    DefChanged();
    return indexDefs_;
}

void TLumDataSet::ReadIndexDefsFromEngine() {
    if (indexDefs_.Updated()) return;
    const bool borrowed = cursorHandle_ == NoHandle;
    const LUMHANDLE handle = borrowed ? AcquireCursorHandle() : cursorHandle_;
    const auto read = [&] {
        indexDefs_.Clear();
        UNSIGNED16 count = 0;
        Check(engine_->LumGetNumIndexes(handle, &count));
        std::vector<LUMHANDLE> indexes(count);
        UNSIGNED16 room = count;
        if (count > 0) Check(engine_->LumGetAllIndexes(handle, indexes.data(), &room));
        indexes.resize(std::min<std::size_t>(room, count));
        for (const LUMHANDLE index : indexes) {
            char name[260] = {};
            UNSIGNED16 length = sizeof name;
            Check(engine_->LumGetIndexName(index, name, &length));
            UNSIGNED16 segments = 0;
            Check(engine_->LumGetNumSegments(index, &segments));
            std::string fields;
            for (UNSIGNED16 s = 0; s < segments; ++s) {
                char segment[510] = {};
                UNSIGNED16 segmentLength = sizeof segment;
                Check(engine_->LumGetSegmentFieldname(index, s, segment, &segmentLength));
                if (s > 0) fields += ';';
                fields += segment;
            }
            UNSIGNED16 flag = 0;
            std::uint8_t options = 0;
            Check(engine_->LumIsIndexDescending(index, &flag));
            if (flag == 1) options |= static_cast<std::uint8_t>(fw::TIndexOption::ixDescending);
            Check(engine_->LumIsIndexUnique(index, &flag));
            bool unique = flag == 1;
            if (!unique && tableType_ == TLumTableTypes::ttLumVFP) {
                Check(engine_->LumIsIndexCandidate(index, &flag));
                unique = flag == 1;
            }
            if (unique) options |= static_cast<std::uint8_t>(fw::TIndexOption::ixUnique);
            Check(engine_->LumIsIndexPrimaryKey(index, &flag));
            if (flag == 1) options |= static_cast<std::uint8_t>(fw::TIndexOption::ixPrimary);
            indexDefs_.Add(name, fw::AsciiUpperCase(fields), options);
        }
        indexDefs_.SetUpdated(true);
        indexDefsGiven_ = false;
    };
    if (!borrowed) return read();
    try {
        read();
    } catch (...) {
        engine_->LumCloseTable(handle);
        throw;
    }
    Check(engine_->LumCloseTable(handle));
}

LUMHANDLE TLumDataSet::IndexHandleForFields(const std::string& names) {
    ReadIndexDefsFromEngine();
    const fw::TIndexDef* def = indexDefs_.FindIndexForFields(names);
    if (def == nullptr) return 0;
    LUMHANDLE index = 0;
    Check(engine_->LumGetIndexHandle(cursorHandle_, def->Name.c_str(), &index));
    return index;
}

void TLumDataSet::ChooseActiveIndex() {
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
    }
    LUMHANDLE chosen = cursorHandle_;
    switch (indexSelection_) {
        case TIndexSelection::None: break;
        case TIndexSelection::ByName:
            Check(engine_->LumGetIndexHandle(cursorHandle_, indexName_.c_str(), &chosen));
            break;
        case TIndexSelection::ByFields:
            chosen = IndexHandleForFields(indexFieldNames_);
            if (chosen == 0) RaiseLayerError(this, "Not a valid index field name:" + indexFieldNames_);
            break;
        case TIndexSelection::DictionaryDefault:
            Check(engine_->LumGetIndexHandle(cursorHandle_, dictionaryDefaultIndex_.c_str(), &chosen));
            break;
    }
    // The engine answers 0 for "no index": the table's own order.
    activeHandle_ = chosen != 0 ? chosen : cursorHandle_;
    try {
        ComputeBufferLayout();
        ReallocateBuffers();
    } catch (...) {
        // Without buffers for the new order an open dataset cannot go on.
        CloseQuietly();
        throw;
    }
}

// Makes the order just set the active one. When it cannot be chosen, the
// order before it comes back and the failure travels on.
void TLumDataSet::ActivateIndexOrRestore(const IndexChoice& previous, bool clearRanges) {
    if (cursorHandle_ == NoHandle) return;
    try {
        if (clearRanges) ClearRangeScopes();
        ChooseActiveIndex();
    } catch (...) {
        indexName_ = previous.name;
        indexFieldNames_ = previous.fieldNames;
        indexSelection_ = previous.selection;
        try {
            ChooseActiveIndex();
        } catch (...) {}
        if (Active()) Resync();
        throw;
    }
}

void TLumDataSet::SetIndexFieldNames(const std::string& names) {
    if (Active()) CheckBrowseMode();
    if (scoped_ && cursorHandle_ != NoHandle) SetScoped(false);
    const IndexChoice previous{indexName_, indexFieldNames_, indexSelection_};
    indexFieldNames_ = Trim(names);
    indexName_.clear();
    indexSelection_ = indexFieldNames_.empty() ? TIndexSelection::None : TIndexSelection::ByFields;
    ActivateIndexOrRestore(previous, false);
    if (cursorHandle_ != NoHandle && Active()) Resync();
}

void TLumDataSet::SetIndexName(const std::string& name) {
    if (Active()) CheckBrowseMode();
    if (scoped_ && cursorHandle_ != NoHandle) SetScoped(false);
    const IndexChoice previous{indexName_, indexFieldNames_, indexSelection_};
    indexName_ = name;
    indexFieldNames_.clear();
    if (name.empty()) {
        indexSelection_ = TIndexSelection::None;
    } else if (fw::AsciiUpperCase(name) == "LUM_DEFAULT") {
        indexSelection_ = TIndexSelection::DictionaryDefault;
    } else {
        indexSelection_ = TIndexSelection::ByName;
    }
    ActivateIndexOrRestore(previous, true);
    if (Active()) {
        if (masterLink_.Active() && !masterLink_.Fields().empty()) ApplyMasterValues();
        Resync();
    }
}

void TLumDataSet::SelectDictionaryDefault(const std::string& indexName) {
    dictionaryDefaultIndex_ = indexName;
    indexSelection_ = TIndexSelection::DictionaryDefault;
    indexName_ = "LUM_DEFAULT";
}

void TLumDataSet::ForgetDictionaryDefault() {
    dictionaryDefaultIndex_.clear();
    indexName_.clear();
    indexSelection_ = indexFieldNames_.empty() ? TIndexSelection::None : TIndexSelection::ByFields;
}

bool TLumDataSet::IsIndexField(const fw::TField& field) {
    // A search key is built for the index the search uses.
    const LUMHANDLE index = searchIndex_ != 0 ? searchIndex_ : activeHandle_;
    const bool hasIndex = index != cursorHandle_ && index != NoHandle && index != 0;
    UNSIGNED16 segments = 0;
    if (hasIndex) Check(engine_->LumGetNumSegments(index, &segments));
    if (State() == fw::TDataSetState::dsSetKey && segments == 0) return true;
    if (field.FieldNo() < 1) return false;
    if (segments == 0) return false;
    // The segments' names are read once per index (SegmentNames); one the
    // engine did not name there is asked for again, so its error is raised.
    const std::vector<SegmentName>& names = SegmentNames(index);
    for (UNSIGNED16 s = 0; s < segments; ++s) {
        if (s < names.size()) {
            if (names[s].Column == field.FieldNo() - 1) return true;
            continue;
        }
        char name[129] = {};
        UNSIGNED16 length = sizeof name;
        Check(engine_->LumGetSegmentFieldname(index, s, name, &length));
        if (lceFieldDefs_.IndexOf(name) == field.FieldNo() - 1) return true;
    }
    return false;
}

}  // namespace lum
