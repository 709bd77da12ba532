// What a table tells a data-provider component: its table name, key fields,
// default order and index definitions, a range from parameter values, and
// the fields that pair a detail with its master.
#include "data/lum/table.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

std::vector<std::string> SplitFields(const std::string& fields) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= fields.size()) {
        const std::size_t end = std::min(fields.find(';', start), fields.size());
        names.push_back(fields.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool Has(const fw::TIndexDef& def, fw::TIndexOption option) { return def.Has(option); }

}  // namespace

std::string TLumTable::PSGetTableName() const {
    const std::string& name = tableName_;
    if (name.size() > 4 && name[name.size() - 4] == '.') return name.substr(0, name.size() - 4);
    return name;
}

bool TLumTable::FieldsExist(const std::string& fields) const {
    for (const std::string& name : SplitFields(fields))
        if (FindField(name) == nullptr) return false;
    return true;
}

std::string TLumTable::PSGetKeyFields() {
    // The framework marks no key fields; the first usable unique index gives them.
    const fw::TIndexDefs& defs = IndexDefs();
    for (std::size_t i = 0; i < defs.Count(); ++i)
        if (Has(defs[i], fw::TIndexOption::ixUnique) && FieldsExist(defs[i].Fields)) return defs[i].Fields;
    return {};
}

void TLumTable::PSSetCommandText(const std::string& text) {
    if (!text.empty()) SetTableName(text);
}

const fw::TIndexDef* TLumTable::CurrentIndexDef() {
    const fw::TIndexDefs& defs = IndexDefs();
    if (!IndexName().empty()) {
        const std::string name =
            IndexSelection() == TIndexSelection::DictionaryDefault ? DictionaryDefaultIndex() : IndexName();
        for (std::size_t i = 0; i < defs.Count(); ++i)
            if (fw::SameText(defs[i].Name, name)) return &defs[i];
        return nullptr;
    }
    if (!IndexFieldNames().empty()) return defs.FindIndexForFields(IndexFieldNames());
    return nullptr;
}

std::optional<fw::TIndexDef> TLumTable::PSGetDefaultOrder() {
    if (const fw::TIndexDef* current = CurrentIndexDef()) return *current;
    const fw::TIndexDefs& defs = IndexDefs();
    for (std::size_t i = 0; i < defs.Count(); ++i)
        if (Has(defs[i], fw::TIndexOption::ixPrimary)) return defs[i];
    for (std::size_t i = 0; i < defs.Count(); ++i)
        if (Has(defs[i], fw::TIndexOption::ixUnique) && FieldsExist(defs[i].Fields)) return defs[i];
    return std::nullopt;
}

fw::TIndexDefs TLumTable::PSGetIndexDefs(std::uint8_t options) {
    const fw::TIndexDefs& defs = IndexDefs();
    fw::TIndexDefs chosen;
    for (std::size_t i = 0; i < defs.Count(); ++i)
        if (options == 0 || (defs[i].Options & options) != 0) chosen.Add(defs[i].Name, defs[i].Fields, defs[i].Options);
    chosen.SetUpdated(true);
    return chosen;
}

void TLumTable::PSSetParams(const TParams& params) {
    if (params.Count() == 0) {
        if (Active()) CancelRange();
        return;
    }
    Open();
    std::vector<RangeValue> values;
    for (std::size_t i = 0; i < params.Count(); ++i)
        values.push_back({params.Items(i).Name(), params.Items(i).Value()});
    ApplyRange(values);
}

std::vector<std::pair<fw::TField*, fw::TField*>> TLumTable::GetDetailLinkFields() {
    std::vector<std::pair<fw::TField*, fw::TField*>> pairs;
    const fw::TDataSource* source = MasterSource();
    const fw::TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
    const fw::TIndexDef* index = master != nullptr && !MasterFields().empty() ? CurrentIndexDef() : nullptr;
    if (index == nullptr) return pairs;
    const std::vector<std::string> masterNames = SplitFields(MasterFields());
    const std::vector<std::string> detailNames = SplitFields(index->Fields);
    for (std::size_t i = 0; i < masterNames.size() && i < detailNames.size(); ++i) {
        fw::TField* masterField = master->FindField(masterNames[i]);
        fw::TField* detailField = FindField(detailNames[i]);
        if (masterField != nullptr && detailField != nullptr) pairs.emplace_back(masterField, detailField);
    }
    return pairs;
}

}  // namespace lum
