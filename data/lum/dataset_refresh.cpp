// TLumDataSet's refresh: the engine reads the current record again from the
// table (what other handles and programs wrote since), and the buffer window
// is read anew around it.
#include "data/lum/dataset.h"

namespace lum {

void TLumDataSet::RefreshRecord() {
    CheckActive();
    CheckBrowseMode();
    UpdateCursorPos();
    // Before the first or after the last record there is nothing to read again.
    const UNSIGNED32 rc = engine_->LumRefreshRecord(cursorHandle_);
    if (rc != LUM_ERR_NO_CURRENT_RECORD) Check(rc);
    Resync();
}

}  // namespace lum
