// TLumDataSet's persistent fields, bound to the cursor's columns at each
// open. (The calculated fields of a fetched record are computed beside the
// record filter handler, in dataset_filters.cpp.)
#include "data/lum/dataset.h"
#include "framework/exceptions.h"
#include "framework/format.h"
#include "framework/text_compare.h"

namespace lum {

void TLumDataSet::BindPersistentFields() {
    for (std::size_t i = 0; i < FieldCount(); ++i) {
        fw::TField& field = Field(i);
        if (field.FieldKind() != fw::TFieldKind::fkData) continue;
        const fw::TFieldDef* def = nullptr;
        for (std::size_t d = 0; d < FieldDefs().Count() && def == nullptr; ++d)
            if (fw::AnsiSameText(FieldDefs()[d].Name, field.FieldName())) def = &FieldDefs()[d];
        if (def == nullptr) throw fw::EDatabaseError(Prefixed(fw::Format("Field '%s' not found", {field.FieldName()})));
        if (def->DataType != field.DataType()) {
            throw fw::EDatabaseError(Prefixed(fw::Format(
                "Type mismatch for field '%s', expecting: %s actual: %s",
                {field.FieldName(), fw::FieldTypeName(field.DataType()), fw::FieldTypeName(def->DataType)})));
        }
        BindFieldNo(field, def->FieldNo);
    }
}

}  // namespace lum
