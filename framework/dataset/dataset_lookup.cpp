// Lookup fields: a calculated value taken from another dataset, the record
// there found by key values of this one. The lookup dataset is searched by
// LookupFieldValue, by default by reading its records in order and coming
// back to the record it stood on.
#include <algorithm>
#include <exception>

#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"
#include "framework/format.h"

namespace fw {

namespace {

std::vector<std::string> SplitNames(const std::string& names) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= names.size()) {
        const std::size_t end = std::min(names.find(';', start), names.size());
        std::string part = names.substr(start, end - start);
        const auto first = part.find_first_not_of(' ');
        const auto last = part.find_last_not_of(' ');
        if (first != std::string::npos) parts.push_back(part.substr(first, last - first + 1));
        start = end + 1;
    }
    return parts;
}

}  // namespace

void TDataSet::CalculateLookupFields() {
    for (const auto& field : fields_) {
        if (field->FieldKind() != TFieldKind::fkLookup) continue;
        TDataSet* source = field->LookupDataSet();
        const std::vector<std::string> keyFields = SplitNames(field->KeyFields());
        const std::vector<std::string> lookupKeys = SplitNames(field->LookupKeyFields());
        if (source == nullptr || source == this || keyFields.empty() || keyFields.size() != lookupKeys.size() ||
            field->LookupResultField().empty()) {
            throw EDatabaseError(
                Prefixed(Format("Lookup information for field '%s' is incomplete", {field->DisplayName()})));
        }
        std::vector<Variant> keys;
        for (const std::string& name : keyFields) keys.push_back(FieldNamed(name).ValueAsVariant());
        field->SetValueAsVariant(source->LookupFieldValue(lookupKeys, keys, field->LookupResultField()));
    }
}

Variant TDataSet::LookupFieldValue(const std::vector<std::string>& keyFields, const std::vector<Variant>& keys,
                                   const std::string& resultField) {
    if (!Active() || keyFields.size() != keys.size()) return Variant::Null();
    std::vector<TField*> fields;
    for (const std::string& name : keyFields) fields.push_back(&FieldNamed(name));
    TField& result = FieldNamed(resultField);
    CheckBrowseMode();
    const TBookmark start = GetBookmark();
    DisableControls();
    Variant found = Variant::Null();
    std::exception_ptr failure;
    try {
        for (MoveToFirst(); !AtEnd(); MoveToNext()) {
            bool match = true;
            for (std::size_t i = 0; i < fields.size() && match; ++i)
                match = !VarNotEqual(fields[i]->ValueAsVariant(), keys[i]);
            if (match) {
                found = result.ValueAsVariant();
                break;
            }
        }
        if (!start.empty()) GotoBookmark(start);
    } catch (...) {
        failure = std::current_exception();
    }
    EnableControls();
    if (failure) std::rethrow_exception(failure);
    return found;
}

}  // namespace fw
