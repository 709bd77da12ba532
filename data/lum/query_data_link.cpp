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

void TLumQueryDataLink::RequeryFromMaster() {
    if (query_.Destroying() || !query_.Active()) return;
    const fw::TDataSet* master = DataSet();
    if (master == nullptr || !master->Active() || master->State() == fw::TDataSetState::dsSetKey) return;
    query_.Close();
    query_.Open();
}

}  // namespace lum
