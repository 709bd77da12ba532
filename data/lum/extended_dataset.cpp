#include "data/lum/extended_dataset.h"

#include "data/lum/connection.h"

namespace lum {

namespace {

template <class T>
const T& Stored(const fw::PropertyValue& value, const std::string& path) {
    if (const auto* v = std::get_if<T>(&value)) return *v;
    throw fw::EConvertError(fw::Format("Invalid property value: %s", {path}));
}

// A resolved component reference of the wanted class, or none.
template <class T>
T* Reference(const fw::PropertyValue& value, const std::string& path) {
    fw::TComponent* component = Stored<fw::TComponent*>(value, path);
    if (component == nullptr) return nullptr;
    T* typed = dynamic_cast<T*>(component);
    if (typed == nullptr) throw fw::EConvertError(fw::Format("Invalid property value: %s", {path}));
    return typed;
}

}  // namespace

void TLumExtendedDataSet::SetStoredProperty(const std::string& path, const fw::PropertyValue& value) {
    if (!SetCommonStoredProperty(path, value)) throw fw::EConvertError(fw::Format("Unknown property: %s", {path}));
}

bool TLumExtendedDataSet::SetCommonStoredProperty(const std::string& path, const fw::PropertyValue& value) {
    const std::string optionPrefix = "LumTableOptions.";
    if (path.rfind(optionPrefix, 0) == 0) {
        LumTableOptions().SetStoredProperty(path.substr(optionPrefix.size()), value);
    } else if (path == "DatabaseName") {
        SetDatabaseName(Stored<std::string>(value, path));
    } else if (path == "LumConnection") {
        SetLumConnection(Reference<TLumConnection>(value, path));
    } else if (path == "IndexFieldNames") {
        SetIndexFieldNames(Stored<std::string>(value, path));
    } else if (path == "IndexName") {
        SetIndexName(Stored<std::string>(value, path));
    } else if (path == "MasterSource") {
        SetMasterSource(Reference<fw::TDataSource>(value, path));
    } else if (path == "MasterFields") {
        SetMasterFields(Stored<std::string>(value, path));
    } else if (path == "Sequenced") {
        SetSequenced(Stored<bool>(value, path));
    } else if (path == "SequencedLevel") {
        const std::string& name = Stored<fw::Ident>(value, path).Name;
        if (name == "slStandard") {
            SetSequencedLevel(TLumSequencedLevel::slStandard);
        } else if (name == "slExact") {
            SetSequencedLevel(TLumSequencedLevel::slExact);
        } else {
            throw fw::EConvertError(fw::Format("Invalid property value: %s", {path}));
        }
    } else {
        return false;
    }
    return true;
}

}  // namespace lum
