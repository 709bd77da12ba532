// What every dataset of the layer answers a data-provider component: its
// statements run through the connection, and the operations the layer does
// not support refused with their messages.
#include "data/lum/connection.h"
#include "data/lum/dataset.h"

namespace lum {

std::uint32_t TLumDataSet::PSExecuteStatement(const std::string& sql, const TParams* params, TLumSQLCursor* cursor) {
    if (connection_ == nullptr) {
        RaiseLayerError(this,
                        "A TLumConnection component is required for TClientDataSet/IProvider support. Use either the "
                        "LumConnection  property or the Database property to specify a TLumConnection instance.");
    }
    return connection_->ExecuteSQLWithOptions(sql, options_->DatasetOptions(), params, cursor);
}

void TLumDataSet::BatchMove() { RaiseLayerError(this, "The method BatchMove in TLumDataSet is not supported."); }

void TLumDataSet::UpdateStatus() const {
    RaiseLayerError(const_cast<TLumDataSet*>(this), "The method UpdateStatus in TLumDataSet is not supported.");
}

}  // namespace lum
