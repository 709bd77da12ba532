// Column and index descriptions of a dataset, and the fields made from them.
#include "framework/dataset/field_defs.h"

#include "framework/dataset/dataset.h"

#include "framework/exceptions.h"
#include "framework/text_compare.h"

namespace fw {

const char* FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "ftUnknown",     "ftString",    "ftSmallint",  "ftInteger",    "ftWord",     "ftBoolean",    "ftFloat",
        "ftCurrency",    "ftBCD",       "ftDate",      "ftTime",       "ftDateTime", "ftBytes",      "ftVarBytes",
        "ftAutoInc",     "ftBlob",      "ftMemo",      "ftGraphic",    "ftFmtMemo",  "ftParadoxOle", "ftDBaseOle",
        "ftTypedBinary", "ftCursor",    "ftFixedChar", "ftWideString", "ftLargeint", "ftADT",        "ftArray",
        "ftReference",   "ftDataSet",   "ftOraBlob",   "ftOraClob",    "ftVariant",  "ftInterface",  "ftIDispatch",
        "ftGuid",        "ftTimeStamp", "ftFMTBcd"};
    return names[static_cast<std::size_t>(type)];
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, std::int32_t size, bool required) {
    TFieldDef def;
    def.Name = name;
    def.DataType = type;
    def.Size = size;
    def.Required = required;
    def.FieldNo = static_cast<std::int32_t>(items_.size()) + 1;
    items_.push_back(def);
    return items_.back();
}

void TFieldDefs::Update() {
    if (dataSet_ != nullptr) return dataSet_->UpdateFieldDefs();
    updated_ = true;
}

const TFieldDef* TFieldDefs::Find(const std::string& name) const {
    for (const TFieldDef& def : items_)
        if (AnsiSameText(def.Name, name)) return &def;
    return nullptr;
}

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields, std::uint8_t options) {
    for (const TIndexDef& def : items_)
        if (SameText(def.Name, name)) throw EDatabaseError(Format("Duplicate index name '%s'", {name}));
    items_.push_back({name, fields, options});
    return items_.back();
}

const TIndexDef* TIndexDefs::FindIndexForFields(const std::string& fields) const {
    const auto usable = [](const TIndexDef& def) {
        return !def.Has(TIndexOption::ixDescending) && !def.Has(TIndexOption::ixExpression);
    };
    for (const TIndexDef& def : items_)
        if (usable(def) && SameText(def.Fields, fields)) return &def;
    const std::size_t length = fields.size();
    for (const TIndexDef& def : items_) {
        if (!usable(def) || def.Fields.size() < length) continue;
        if (!SameText(std::string_view(def.Fields).substr(0, length), fields)) continue;
        if (def.Fields.size() == length || def.Fields[length] == ';') return &def;
    }
    return nullptr;
}

}  // namespace fw
