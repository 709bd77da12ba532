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

void TLumDataSet::OpenOnCursor(TLumSQLCursor cursor) {
    if (Active()) RaiseLayerError(this, "Cannot perform this operation on an open dataset");
    if (!cursor) RaiseLayerError(this, "The statement gave no result set to open.");
    activeHandle_ = cursor.Release();
    try {
        SetActive(true);
    } catch (...) {
        // Closing after a failed open released the handle once it had become
        // the cursor; a failure before that leaves it here.
        if (activeHandle_ != NoHandle && cursorHandle_ == NoHandle) {
            engine_->LumCloseTable(activeHandle_);
            activeHandle_ = NoHandle;
        }
        throw;
    }
}

void TLumDataSet::BatchMove() { RaiseLayerError(this, "The method BatchMove in TLumDataSet is not supported."); }

void TLumDataSet::UpdateStatus() const {
    RaiseLayerError(const_cast<TLumDataSet*>(this), "The method UpdateStatus in TLumDataSet is not supported.");
}

}  // namespace lum
