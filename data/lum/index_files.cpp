// Extra index files: the sorted list a dataset keeps of them, and opening and
// closing one on the dataset's open cursor.
#include "data/lum/index_files.h"

#include <algorithm>
#include <cstring>

#include "data/lum/dataset.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

// Room the engine gets for the handles of one index file's indexes.
constexpr UNSIGNED16 kIndexRoom = 256;

TLumDataSet& Checked(TLumDataSet* owner) {
    if (owner == nullptr) RaiseLayerError(nullptr, "TLumIndexFiles instances require a non-nil owner");
    return *owner;
}

bool IsPathName(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

std::string FileNamePart(const std::string& name) {
    const auto separator = name.find_last_of("/\\");
    return separator == std::string::npos ? name : name.substr(separator + 1);
}

// The list's order: names compared ignoring the case of letters.
bool SortsBefore(const std::string& a, const std::string& b) { return fw::AsciiUpperCase(a) < fw::AsciiUpperCase(b); }

}  // namespace

TLumIndexFiles::TLumIndexFiles(TLumDataSet* owner) : owner_(Checked(owner)) {}

int TLumIndexFiles::IndexOf(const std::string& name) const {
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (fw::SameText(names_[i], name)) return static_cast<int>(i);
    return -1;
}

void TLumIndexFiles::Add(const std::string& name) {
    if (IndexOf(name) >= 0) return;
    if (owner_.Active()) owner_.OpenIndexFile(name);
    owner_.MarkIndexDefsStale();
    names_.insert(std::upper_bound(names_.begin(), names_.end(), name, SortsBefore), name);
}

void TLumIndexFiles::Delete(std::size_t index) {
    const std::string name = names_.at(index);
    if (owner_.Active()) owner_.CloseIndexFile(name);
    owner_.MarkIndexDefsStale();
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TLumIndexFiles::Clear() {
    if (owner_.Active())
        for (const std::string& name : names_) owner_.CloseIndexFile(name);
    owner_.MarkIndexDefsStale();
    names_.clear();
}

void TLumIndexFiles::Assign(const std::vector<std::string>& names) {
    Clear();
    for (const std::string& name : names) Add(name);
}

void TLumDataSet::OpenIndexFile(const std::string& file) {
    if (!Active()) RaiseLayerError(this, "Table must be Active.");
    const std::string path = IsPathName(file) ? file : ResolveDatabasePath() + "\\" + file;
    std::vector<LUMHANDLE> handles(kIndexRoom);
    UNSIGNED16 count = kIndexRoom;
    Check(engine_->LumOpenIndex(cursorHandle_, path.c_str(), handles.data(), &count));
    MarkIndexDefsStale();
}

void TLumDataSet::CloseIndexFile(const std::string& file) {
    if (!Active()) RaiseLayerError(this, "Table must be Active.");
    const std::string wanted = fw::AsciiUpperCase(FileNamePart(file));
    const bool indexActive = activeHandle_ != cursorHandle_ && activeHandle_ != NoHandle && activeHandle_ != 0;
    const bool activeInFile = indexActive && IndexFileNameOf(activeHandle_) == wanted;
    UNSIGNED16 count = 0;
    Check(engine_->LumGetNumIndexes(cursorHandle_, &count));
    std::vector<LUMHANDLE> indexes(count);
    UNSIGNED16 room = count;
    if (count > 0) Check(engine_->LumGetAllIndexes(cursorHandle_, indexes.data(), &room));
    indexes.resize(std::min<std::size_t>(room, count));
    for (const LUMHANDLE index : indexes) {
        if (IndexFileNameOf(index) != wanted) continue;
        // The engine closes the whole file with any one of its indexes.
        Check(engine_->LumCloseIndex(index));
        ForgetColumnCaches();
        MarkIndexDefsStale();
        if (activeInFile) {
            // The closed handle is gone; the natural order takes its place.
            activeHandle_ = cursorHandle_;
            SetIndexName("");
        }
        return;
    }
}

std::string TLumDataSet::IndexFileNameOf(LUMHANDLE index) {
    char name[260] = {};
    UNSIGNED16 length = sizeof name;
    Check(engine_->LumGetIndexFilename(index, 2, name, &length));
    return fw::AsciiUpperCase(std::string(name, strnlen(name, sizeof name)));
}

}  // namespace lum
