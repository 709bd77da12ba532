// Stored properties shared by queries and tables: the connection by reference or
// name, index order, master fields and the options object's paths.
#include "data/lum/extended_dataset.h"

#include "data/lum/connection.h"
#include "framework/stored_property.h"

namespace lum {

namespace {

// A resolved component reference of the wanted class, or none.
template <class T>
T* Reference(const fw::PropertyValue& value, const std::string& path) {
    fw::TComponent* component = fw::Stored<fw::TComponent*>(value, path);
    if (component == nullptr) return nullptr;
    T* typed = dynamic_cast<T*>(component);
    if (typed == nullptr) fw::RaiseInvalidPropertyValue(path);
    return typed;
}

}  // namespace

void TLumExtendedDataSet::Refresh() { RefreshRecord(); }

void TLumExtendedDataSet::SetStoredProperty(const std::string& path, const fw::PropertyValue& value) {
    if (!SetCommonStoredProperty(path, value)) throw fw::EConvertError(fw::Format("Unknown property: %s", {path}));
}

bool TLumExtendedDataSet::SetCommonStoredProperty(const std::string& path, const fw::PropertyValue& value) {
    const std::string optionPrefix = "LumTableOptions.";
    if (path.rfind(optionPrefix, 0) == 0) {
        LumTableOptions().SetStoredProperty(path.substr(optionPrefix.size()), value);
    } else if (path == "DatabaseName") {
        SetDatabaseName(fw::Stored<std::string>(value, path));
    } else if (path == "LumConnection") {
        SetLumConnection(Reference<TLumConnection>(value, path));
    } else if (path == "IndexFieldNames") {
        SetIndexFieldNames(fw::Stored<std::string>(value, path));
    } else if (path == "IndexName") {
        SetIndexName(fw::Stored<std::string>(value, path));
    } else if (path == "MasterSource") {
        SetMasterSource(Reference<fw::TDataSource>(value, path));
    } else if (path == "MasterFields") {
        SetMasterFields(fw::Stored<std::string>(value, path));
    } else if (path == "Filter") {
        SetFilter(fw::Stored<std::string>(value, path));
    } else if (path == "Filtered") {
        SetFiltered(fw::Stored<bool>(value, path));
    } else if (path == "Scoped") {
        SetScoped(fw::Stored<bool>(value, path));
    } else if (path == "ScopeBegin") {
        SetScopeBegin(fw::Stored<std::string>(value, path));
    } else if (path == "ScopeEnd") {
        SetScopeEnd(fw::Stored<std::string>(value, path));
    } else if (path == "Sequenced") {
        SetSequenced(fw::Stored<bool>(value, path));
    } else if (path == "Version") {
        // Read-only: a stored version text is read and ignored.
        SetVersion(fw::Stored<std::string>(value, path));
    } else if (path == "SequencedLevel") {
        static constexpr const char* kLevels[] = {"slStandard", "slExact"};
        SetSequencedLevel(fw::EnumOf<TLumSequencedLevel>(value, kLevels, path));
    } else {
        return false;
    }
    return true;
}

}  // namespace lum
