// A query following the current record of another dataset: its unbound
// parameters take that record's values and it runs again when the record changes.
#include "data/lum/query_data_link.h"

#include "data/lum/query.h"

namespace lum {

void TLumQueryDataLink::ActiveChanged() {
    if (Active()) RequeryFromMaster();
}

void TLumQueryDataLink::RecordChanged(fw::TField* field) {
    if (field == nullptr) RequeryFromMaster();
}

void TLumQueryDataLink::CheckBrowseMode() {
    if (query_.Active() && !query_.Destroying()) query_.CheckBrowseMode();
}

void TLumQueryDataLink::RequeryFromMaster() {
    if (query_.Destroying() || !query_.Active()) return;
    // Those who show or follow the query hear of the new rows once, when the
    // controls are enabled again, not of the close and open in between.
    query_.DisableControls();
    try {
        const fw::TDataSet* master = DataSet();
        if (master != nullptr && master->Active() && master->State() != fw::TDataSetState::dsSetKey) {
            query_.Close();
            query_.Open();
        }
    } catch (...) {
        // The failure of the requery is the one reported; the links still
        // learn that the query closed.
        fw::Quietly([this] { query_.EnableControls(); });
        throw;
    }
    query_.EnableControls();
}

}  // namespace lum
